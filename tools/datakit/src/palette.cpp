// Palette files and the demo's game palette (see palette.h).
#include "datakit/palette.h"

#include "datakit/bytes.h"

namespace dk {

std::vector<uint8_t> EncodePalette(const Palette& palette) {
    Bytes out;
    for (const Rgb& c : palette)
        out.u8(c.r).u8(c.g).u8(c.b);
    return out.data;
}

bool WritePalette(const std::string& path, const Palette& palette) {
    return WriteFile(path, EncodePalette(palette));
}

Palette DemoGamePalette() {
    Palette p{};
    for (int i = 0; i < 256; ++i)  // red 3 bits, green 3 bits, blue 2 bits
        p[size_t(i)] = Rgb{uint8_t((i >> 5) << 5), uint8_t(((i >> 2) & 7) << 5), uint8_t((i & 3) << 6)};
    for (int i = 0; i < 64; ++i)
        p[size_t(kDemoSky + i)] = {uint8_t(8 + i * 1.2), uint8_t(6 + i / 3), uint8_t(24 + i * 1.4)};
    for (int i = 0; i < 16; ++i)
        p[size_t(kDemoGround + i)] = {uint8_t(10 + i), uint8_t(22 + i * 2), uint8_t(12 + i)};
    p[kDemoStone] = {118, 118, 126};
    p[kDemoStoneDark] = {70, 70, 80};
    p[kDemoMoon] = {236, 232, 200};
    p[kDemoLetter] = {150, 220, 120};
    p[kDemoShadow] = {20, 30, 16};
    return p;
}

}  // namespace dk
