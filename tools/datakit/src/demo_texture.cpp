// The demo install's fallback texture "deftxtr.bmp" in the install root: the picture a texture
// takes when its own file cannot be loaded, read straight from disk.
#include "datakit/bmp.h"
#include "datakit/demo_steps.h"

namespace dk {

Bmp24 DemoFallbackTexturePicture() {
    // A 32 x 32 checker of 8-pixel squares, magenta and dark grey, so that a missing texture
    // stands out in a level.
    Bmp24 picture(32, 32);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            picture.at(x, y) = ((x / 8) + (y / 8)) % 2 ? Rgb{200, 0, 200} : Rgb{48, 48, 48};
    return picture;
}

bool DemoFallbackTexture(const std::string& dir) {
    return WriteBmp24(dir + "/deftxtr.bmp", DemoFallbackTexturePicture());
}

}  // namespace dk
