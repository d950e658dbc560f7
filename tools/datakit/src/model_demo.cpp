// The demo install's models: the two character bodies and a rigid object model with its skin.
// The archive step packs them into "data.muf".
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

}  // namespace

bool DemoModels(const std::string& dir) {
    const QkmModel body = QkmHumanoid();
    return WriteQkm(dir + "/graphics/models/female.qkm", body) && WriteQkm(dir + "/graphics/models/male.qkm", body) &&
           WriteQmd(dir + "/graphics/models/weapons/axe.qmd", QmdCube(8.0f, 2, true)) &&
           WriteBmp8(dir + "/graphics/models/weapons/axe.bmp", QuarterSkin());
}

}  // namespace dk
