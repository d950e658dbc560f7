// Colour conversions shared by the display family: 5-6-5 pixels, the 3-3-2 default palette and
// the nearest palette entry for a true colour.
#include "ddraw_internal.h"

namespace plat::detail {

uint16_t PackRgb565(uint8_t r, uint8_t g, uint8_t b) {
    return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

uint32_t Rgb565ToXrgb(uint16_t pixel) {
    const uint32_t r5 = (pixel >> 11) & 0x1F, g6 = (pixel >> 5) & 0x3F, b5 = pixel & 0x1F;
    const uint32_t r = (r5 << 3) | (r5 >> 2), g = (g6 << 2) | (g6 >> 4), b = (b5 << 3) | (b5 >> 2);
    return (r << 16) | (g << 8) | b;
}

uint32_t Rgb555ToXrgb(uint16_t pixel) {
    const uint32_t r5 = (pixel >> 10) & 0x1F, g5 = (pixel >> 5) & 0x1F, b5 = pixel & 0x1F;
    const uint32_t r = (r5 << 3) | (r5 >> 2), g = (g5 << 3) | (g5 >> 2), b = (b5 << 3) | (b5 >> 2);
    return (r << 16) | (g << 8) | b;
}

PALETTEENTRY ThreeThreeTwoEntry(int index) {
    return PALETTEENTRY{uint8_t(((index >> 5) & 7) << 5), uint8_t(((index >> 2) & 7) << 5), uint8_t((index & 3) << 6),
                        0};
}

uint8_t NearestPaletteIndex(const PALETTEENTRY* entries, int count, uint8_t r, uint8_t g, uint8_t b) {
    if (!entries)
        count = 256;
    int best = 0;
    int bestDistance = 0x7FFFFFFF;
    for (int i = 0; i < count && i < 256; ++i) {
        const PALETTEENTRY e = entries ? entries[i] : ThreeThreeTwoEntry(i);
        const int dr = int(e.peRed) - r, dg = int(e.peGreen) - g, db = int(e.peBlue) - b;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return uint8_t(best);
}

uint32_t ColourToPixel(int bitsPerPixel, const PALETTEENTRY* palette, int paletteCount, uint8_t r, uint8_t g,
                       uint8_t b) {
    if (bitsPerPixel == 16)
        return PackRgb565(r, g, b);
    return NearestPaletteIndex(palette, paletteCount, r, g, b);
}

}  // namespace plat::detail
