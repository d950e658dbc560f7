// Drawing into a surface's device context: the nearest-neighbour StretchBlt of a bitmap, with
// conversion into the surface's pixel format, and text in the built-in font. Everything is
// clipped to the surface.
#include <algorithm>
#include <cstring>

#include "gdi_internal.h"

namespace plat::detail {
namespace {
void Put(const SurfaceView& view, int x, int y, uint32_t value) {
    uint8_t* at = view.pixels + size_t(y) * size_t(view.pitch) + size_t(x) * size_t(view.bitsPerPixel / 8);
    if (view.bitsPerPixel == 8) {
        *at = uint8_t(value);
    } else {
        const uint16_t v = uint16_t(value);
        std::memcpy(at, &v, 2);
    }
}

uint32_t PixelOf(const SurfaceView& view, COLORREF colour) {
    return ColourToPixel(view.bitsPerPixel, view.palette, view.paletteCount, uint8_t(colour), uint8_t(colour >> 8),
                         uint8_t(colour >> 16));
}
}  // namespace
}  // namespace plat::detail

using namespace plat::detail;

PLATAPI BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sw, int sh,
                        DWORD rop) {
    PlatDC* d = LiveDC(dest);
    PlatDC* s = LiveDC(source);
    if (!d || !s || d->memory || !s->memory || s->bitmap->stock || rop != SRCCOPY)
        return FALSE;
    const PlatBitmap& b = *s->bitmap;
    if (width <= 0 || height <= 0 || sw <= 0 || sh <= 0 || sx < 0 || sy < 0 || sx > b.width - sw ||
        sy > b.height - sh)
        return FALSE;
    const SurfaceView& view = d->view;
    const bool trueColour = b.bitsPerPixel == 24;
    // A palettised picture into a 16-bit surface: its colours, converted once.
    uint16_t packed[256] = {};
    if (!trueColour && view.bitsPerPixel == 16)
        for (uint32_t i = 0; i < 256; ++i) {
            uint8_t r, g, bl;
            BitmapColour(b, i, &r, &g, &bl);
            packed[i] = PackRgb565(r, g, bl);
        }
    const int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
    const int64_t x1 = std::min<int64_t>(int64_t(x) + width, view.width);
    const int64_t y1 = std::min<int64_t>(int64_t(y) + height, view.height);
    for (int64_t dy = y0; dy < y1; ++dy) {
        const int row = sy + int((dy - y) * sh / height);
        for (int64_t dx = x0; dx < x1; ++dx) {
            const int column = sx + int((dx - x) * sw / width);
            const uint32_t p = BitmapPixel(b, column, row);
            uint32_t value;
            if (!trueColour)
                value = view.bitsPerPixel == 16 ? packed[p & 0xFF] : p;  // indices are copied at 8 bits
            else
                value = ColourToPixel(view.bitsPerPixel, view.palette, view.paletteCount, uint8_t(p >> 16),
                                      uint8_t(p >> 8), uint8_t(p));
            Put(view, int(dx), int(dy), value);
        }
    }
    return TRUE;
}

PLATAPI BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop) {
    return StretchBlt(dest, x, y, width, height, source, sx, sy, width, height, rop);
}

PLATAPI BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
    PlatDC* d = LiveDC(dc);
    if (!d || d->memory || !text || length < 0)
        return FALSE;
    const SurfaceView& view = d->view;
    const int cellHeight = d->font ? d->font->height : 12;
    const int top = (cellHeight - kGlyphHeight) / 2;
    const uint32_t ink = PixelOf(view, d->textColour), paper = PixelOf(view, d->bkColour);
    for (int i = 0; i < length; ++i) {
        const int64_t cellX = int64_t(x) + int64_t(i) * kCellWidth;
        if (cellX >= view.width)
            break;
        const uint8_t* rows = GlyphRows(static_cast<unsigned char>(text[i]));
        for (int cy = 0; cy < cellHeight; ++cy) {
            const int64_t py = int64_t(y) + cy;
            if (py < 0 || py >= view.height)
                continue;
            const int glyphRow = cy - top;
            const uint8_t bits = (rows && glyphRow >= 0 && glyphRow < kGlyphHeight) ? rows[glyphRow] : 0;
            for (int cx = 0; cx < kCellWidth; ++cx) {
                const int64_t px = cellX + cx;
                if (px < 0 || px >= view.width)
                    continue;
                const bool on = cx < kGlyphWidth && (bits >> (kGlyphWidth - 1 - cx)) & 1;
                if (on)
                    Put(view, int(px), int(py), ink);
                else if (d->bkMode == OPAQUE)
                    Put(view, int(px), int(py), paper);
            }
        }
    }
    return TRUE;
}
