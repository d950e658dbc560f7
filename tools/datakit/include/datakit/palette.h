// The game's palette files ("def_pal.bin", and a level's "graphics\maps\*.bin"): 256 entries of
// red, green and blue bytes, 768 bytes in all, and the palette of the demo data.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "datakit/bmp.h"

namespace dk {

using Palette = std::array<Rgb, 256>;

std::vector<uint8_t> EncodePalette(const Palette& palette);
bool WritePalette(const std::string& path, const Palette& palette);

// The demo's game palette: the night sky, ground, stone, moon and lettering of the demo pictures
// at fixed entries, and a 3-3-2 colour cube in the entries they leave free. "def_pal.bin" holds
// it, so that 8-bit displays show the pictures in their own colours.
Palette DemoGamePalette();
// Entries of DemoGamePalette that the pictures draw with.
enum : uint8_t {
    kDemoSky = 0,      // 64 entries, black-blue at the top to dusk violet at the horizon
    kDemoGround = 64,  // 16 entries
    kDemoStone = 100,
    kDemoStoneDark = 101,
    kDemoMoon = 200,
    kDemoLetter = 230,
    kDemoShadow = 231,
};

}  // namespace dk
