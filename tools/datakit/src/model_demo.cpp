// The demo install's models: the two character bodies with the skins of every human kind and
// zombie look, and a small rigid placeholder model with its skin for every world-object model
// and skin file the game's per-type table names. The archive step packs them into "data.muf".
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

// The world objects' model and skin files, as the game's per-type table names them (a world test
// checks that every file the table names is here). Weapons: NAME.qmd and NAME.bmp under
// graphics/models/weapons/.
constexpr const char* kWeaponNames[] = {
    "baseball_bat", "nailbat", "grey_brick", "cattleprod", "chain", "chainsaw", "colt_revolver", "coltammo",
    "crowbar", "bomb_detonator", "dynamite", "gascan", "golf_club", "grenade", "huntrifl", "huntammo",
    "throwknife", "hunting_knife", "m16", "m72", "m72ammo", "machinegun", "machineammo", "nailgun", "nailammo",
    "pickaxe", "bent_pipe", "pipe_bomb", "pistol", "pistol_ammo", "pitchfork", "nightstick", "pump_action",
    "pumpammo", "spade", "tennis_ball", "tennis_racket", "woodlog", "timebomb", "amfootb", "uzi", "uzi_ammo",
    "screwdriver", "key", "hand", "forcegun", "laser", "baskbl", "serum", "sledge_hammer", "enbottle",
    "m72rocket", "crank", "spanner", "iron_post", "plastic", "nasat", "padlock", "surgical_saw"};
// Models that wear a skin of another name, and the other skins.
constexpr const char* kWeaponModelsOnly[] = {"swipecard", "Leg", "Arm", "forcebolt", "laserbolt"};
constexpr const char* kWeaponSkinsOnly[] = {"cardyell", "cardwhit", "cardviol", "cardred", "cardpink", "cardblue",
                                            "cardlblu", "cardgree", "cardgray", "carddred", "carddgre", "cardbrow",
                                            "limb", "metal1", "metal2"};

// A 16 x 16 skin of one colour from its number.
Bmp8 ObjectSkin(int number) {
    Bmp8 skin(16, 16);
    skin.palette[1] = {uint8_t(80 + (number * 37) % 170), uint8_t(80 + (number * 59) % 170), uint8_t(80 + (number * 13) % 170)};
    for (uint8_t& p : skin.pixels) p = 1;
    return skin;
}

bool ObjectModels(const std::string& dir) {
    const std::string weapons = dir + "/graphics/models/weapons/";
    const QmdModel cube = QmdCube(8.0f, 1, true);
    int number = 0;
    for (const char* name : kWeaponNames)
        if (!WriteQmd(weapons + name + ".qmd", cube) || !WriteBmp8(weapons + name + ".bmp", ObjectSkin(number++)))
            return false;
    for (const char* name : kWeaponModelsOnly)
        if (!WriteQmd(weapons + name + ".qmd", cube)) return false;
    for (const char* name : kWeaponSkinsOnly)
        if (!WriteBmp8(weapons + name + ".bmp", ObjectSkin(number++))) return false;
    const std::string models = dir + "/graphics/models/";
    return WriteQmd(models + "town/roadrolr.qmd", QmdCube(40.0f, 1, true)) &&
           WriteBmp8(models + "town/roadrolr.bmp", ObjectSkin(number++)) &&
           WriteQkm(models + "farm/combine3.qkm", QkmHumanoid()) &&
           WriteBmp8(models + "farm/combine3.bmp", ObjectSkin(number++)) &&
           WriteQmd(models + "cablboat.qmd", QmdCube(40.0f, 1, true)) &&
           WriteBmp8(models + "cablboat.bmp", ObjectSkin(number++));
}

}  // namespace

bool DemoModels(const std::string& dir) {
    int number = 0;
    for (const char* name : kCharacterSkins)
        if (!WriteBmp8(dir + "/graphics/skins/Human Skins/" + name + ".bmp", CharacterSkin(number++))) return false;
    const QkmModel body = QkmCharacterBody();
    return WriteQkm(dir + "/graphics/models/female.qkm", body) && WriteQkm(dir + "/graphics/models/male.qkm", body) &&
           WriteQmd(dir + "/graphics/models/weapons/axe.qmd", QmdCube(8.0f, 2, true)) &&
           WriteBmp8(dir + "/graphics/models/weapons/axe.bmp", QuarterSkin()) && ObjectModels(dir);
}

}  // namespace dk
