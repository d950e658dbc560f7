// Private interfaces of the GDI family: bitmaps, fonts and device contexts (memory contexts that
// hold a bitmap, and a surface's context that draws into its pixels), the object registry that
// validates every handle, the bitmap file decoder and the built-in glyphs. Not seen outside
// platform/.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "ddraw_internal.h"
#include "gdi.h"

// A device-independent bitmap: rows top first, each `stride` bytes (a multiple of 4), pixels
// packed as in the file (1, 4 or 8 bits of palette index, or blue, green, red bytes).
struct PlatBitmap {
    int width = 0, height = 0, bitsPerPixel = 0, stride = 0;
    int32_t xPelsPerMeter = 0, yPelsPerMeter = 0;  // the file header's resolution
    std::vector<RGBQUAD> colours;  // the colour table of a palettised bitmap
    std::vector<uint8_t> bits;
    int selections = 0;  // memory device contexts holding it (0 or 1)
    bool stock = false;  // the 1 x 1 bitmap a memory context starts with: never deleted
};

struct PlatFont {
    int height = 12;  // cell height in pixels
    bool stock = false;
};

struct PlatDC {
    bool memory = true;             // a memory context, else a surface's
    PlatBitmap* bitmap = nullptr;   // memory context: the selected bitmap
    plat::detail::SurfaceView view = {};  // surface context: where it draws
    PlatFont* font = nullptr;
    int stretchMode = BLACKONWHITE;
    int bkMode = OPAQUE;
    COLORREF textColour = 0x000000;
    COLORREF bkColour = 0xFFFFFF;
};

namespace plat::detail {

// Live objects (gdi_objects.cpp): null for anything that is not one.
PlatBitmap* LiveBitmap(const void* handle);
PlatFont* LiveFont(const void* handle);
PlatDC* LiveDC(const void* handle);
HBITMAP RegisterBitmap(std::unique_ptr<PlatBitmap> bitmap);

// The bitmap of a .bmp file's bytes; null when any field disagrees with the file (gdi_bmp.cpp).
std::unique_ptr<PlatBitmap> DecodeBmp(const uint8_t* data, size_t size);
// A pixel of a bitmap: the palette index (up to 8 bits per pixel) or 0x00RRGGBB (24 bits).
uint32_t BitmapPixel(const PlatBitmap& bitmap, int x, int y);
// The colour of a palette index, black beyond the table.
void BitmapColour(const PlatBitmap& bitmap, uint32_t index, uint8_t* r, uint8_t* g, uint8_t* b);

// The 7 rows of a character's glyph, bit 4 the leftmost of 5 columns; null for bytes without
// one (gdi_font.cpp).
const uint8_t* GlyphRows(unsigned char character);
constexpr int kGlyphWidth = 5, kGlyphHeight = 7, kCellWidth = 6;

}  // namespace plat::detail
