// The demo install's title picture: a 640 x 480 8-bit bitmap of the project's own placeholder art
// (a night sky with a moon, a graveyard skyline and the game's name) in the demo's game palette,
// shown by start-up.
#include <cmath>
#include <string>

#include "datakit/bmp.h"
#include "datakit/demo_steps.h"
#include "datakit/palette.h"
#include "glyph5x7.h"

namespace dk {

namespace {
constexpr int kWidth = 640, kHeight = 480;

// Entries of the game palette: 0..63 the sky from black-blue at the top to dusk violet at the
// horizon, 64..79 the ground, and a few single colours.
constexpr uint8_t kSky = kDemoSky, kGround = kDemoGround, kStone = kDemoStone, kStoneDark = kDemoStoneDark,
                  kMoon = kDemoMoon, kLetter = kDemoLetter, kShadow = kDemoShadow;

void Fill(Bmp8& p, int x0, int y0, int x1, int y1, uint8_t colour) {
    for (int y = y0 < 0 ? 0 : y0; y < y1 && y < p.height; ++y)
        for (int x = x0 < 0 ? 0 : x0; x < x1 && x < p.width; ++x)
            p.at(x, y) = colour;
}

void Text(Bmp8& p, const std::string& text, int x, int y, int scale, uint8_t colour) {
    for (char letter : text) {
        if (const Glyph5x7* g = Glyph5x7Of(letter))
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (g->rows[row][col] == '#')
                        Fill(p, x + col * scale, y + row * scale, x + (col + 1) * scale, y + (row + 1) * scale,
                             colour);
        x += 6 * scale;
    }
}

Bmp8 TitlePicture() {
    Bmp8 p(kWidth, kHeight);
    p.palette = DemoGamePalette();

    const int horizon = 360;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            p.at(x, y) = y < horizon ? uint8_t(kSky + y * 63 / horizon) : uint8_t(kGround + (y - horizon) * 15 / 120);
    // The moon.
    for (int y = 50; y < 170; ++y)
        for (int x = 440; x < 560; ++x)
            if ((x - 500) * (x - 500) + (y - 110) * (y - 110) < 55 * 55)
                p.at(x, y) = kMoon;
    // Rolling ground along the horizon, then a row of gravestones.
    for (int x = 0; x < kWidth; ++x) {
        const int top = horizon - 12 + int(10.0 * std::sin(x / 53.0));
        Fill(p, x, top, x + 1, horizon, kGround + 2);
    }
    for (int i = 0; i < 9; ++i) {
        const int x = 30 + i * 68 + (i % 3) * 9, h = 44 + (i * 7) % 23, w = 30;
        Fill(p, x, horizon + 30 - h, x + w, horizon + 30, kStone);
        Fill(p, x + 4, horizon + 30 - h - 6, x + w - 4, horizon + 30 - h, kStone);  // a rounded top
        Fill(p, x + w - 5, horizon + 30 - h, x + w, horizon + 30, kStoneDark);
        Fill(p, x + 13, horizon + 38 - h, x + 17, horizon + 62 - h, kStoneDark);    // a cross cut in
        Fill(p, x + 8, horizon + 44 - h, x + 22, horizon + 48 - h, kStoneDark);
    }
    // The name, with a shadow.
    const int scale = 12, width = 8 * 6 * scale - scale;
    const int x = (kWidth - width) / 2, y = 190;
    Text(p, "GHOULDEN", x + 4, y + 4, scale, kShadow);
    Text(p, "GHOULDEN", x, y, scale, kLetter);
    return p;
}
}  // namespace

bool DemoTitle(const std::string& dir) {
    return WriteBmp8(dir + "/graphics/interface/outgame/backgrounds/title.bmp", TitlePicture());
}

}  // namespace dk
