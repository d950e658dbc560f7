// The demo install's models: the two character bodies with the skins of every human kind and
// zombie look, and a rigid object model with its skin. The archive step packs them into
// "data.muf".
#include "datakit/bmp.h"
#include "datakit/demo_steps.h"
#include "datakit/model_qkm.h"
#include "datakit/model_qmd.h"

namespace dk {

namespace {

// A 64 x 64 skin of four coloured quarters.
Bmp8 QuarterSkin() {
    Bmp8 skin(64, 64);
    skin.palette[1] = {200, 40, 40};
    skin.palette[2] = {40, 160, 40};
    skin.palette[3] = {40, 60, 200};
    skin.palette[4] = {220, 200, 60};
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) skin.at(x, y) = uint8_t(1 + (x >= 32) + 2 * (y >= 32));
    return skin;
}

// A 64 x 64 character skin: the upper half a shirt colour, the lower half trousers, both from the
// skin's number so that every skin looks different.
Bmp8 CharacterSkin(int number) {
    Bmp8 skin(64, 64);
    skin.palette[1] = {uint8_t(60 + (number * 53) % 180), uint8_t(60 + (number * 97) % 180), uint8_t(60 + (number * 31) % 180)};
    skin.palette[2] = {uint8_t(40 + (number * 17) % 100), uint8_t(40 + (number * 23) % 100), uint8_t(80 + (number * 41) % 140)};
    skin.palette[3] = {210, 170, 140};  // face and hands
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) skin.at(x, y) = uint8_t(y < 12 && x < 16 ? 3 : y < 32 ? 1 : 2);
    return skin;
}

// The skin files of the human kinds and the zombie looks, as the game's kind tables name them.
constexpr const char* kCharacterSkins[] = {
    "ace", "bo", "cy", "di", "ed", "fox", "ace_b", "bo_b", "cy_b", "di_b", "ed_b", "fox_b", "guard", "nurse",
    "guard_b", "nurse_b", "zombie00", "zombie01", "zombie02", "zombie03", "zombie04", "zombie05", "zombie06",
    "zombie07", "zombie08", "zombie09", "zombie10", "zombie11", "zombie12", "zombie13", "zombie14", "zombie15"};

}  // namespace

bool DemoModels(const std::string& dir) {
    int number = 0;
    for (const char* name : kCharacterSkins)
        if (!WriteBmp8(dir + "/graphics/skins/Human Skins/" + name + ".bmp", CharacterSkin(number++))) return false;
    const QkmModel body = QkmCharacterBody();
    return WriteQkm(dir + "/graphics/models/female.qkm", body) && WriteQkm(dir + "/graphics/models/male.qkm", body) &&
           WriteQmd(dir + "/graphics/models/weapons/axe.qmd", QmdCube(8.0f, 2, true)) &&
           WriteBmp8(dir + "/graphics/models/weapons/axe.bmp", QuarterSkin());
}

}  // namespace dk
