// GDI objects and device contexts: the registry that every handle is checked against, memory
// contexts and selection, bitmap information and colour tables, fonts, the drawing settings of a
// context, surface contexts for DirectDraw, and DeleteObject for bitmaps and fonts.
#include <mutex>
#include <set>

#include "gdi_internal.h"
#include "internal.h"

namespace plat::detail {
namespace {
struct Registry {
    std::mutex lock;
    std::set<const void*> bitmaps, fonts, dcs;
    PlatBitmap stockBitmap;
    PlatFont stockFont;
    Registry() {
        stockBitmap.width = stockBitmap.height = 1;
        stockBitmap.bitsPerPixel = 1;
        stockBitmap.stride = 4;
        stockBitmap.colours = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
        stockBitmap.bits.assign(4, 0);
        stockBitmap.stock = true;
        stockFont.stock = true;
        bitmaps.insert(&stockBitmap);
        fonts.insert(&stockFont);
    }
};
Registry& R() {
    static auto* registry = new Registry;
    return *registry;
}

PlatDC* NewDC() {
    auto* dc = new PlatDC;
    dc->bitmap = &R().stockBitmap;
    dc->font = &R().stockFont;
    std::lock_guard<std::mutex> guard(R().lock);
    R().dcs.insert(dc);
    return dc;
}

void FreeDC(PlatDC* dc) {
    {
        std::lock_guard<std::mutex> guard(R().lock);
        R().dcs.erase(dc);
    }
    if (dc->bitmap && !dc->bitmap->stock)
        --dc->bitmap->selections;
    delete dc;
}
}  // namespace

PlatBitmap* LiveBitmap(const void* handle) {
    std::lock_guard<std::mutex> guard(R().lock);
    return R().bitmaps.count(handle) ? static_cast<PlatBitmap*>(const_cast<void*>(handle)) : nullptr;
}

PlatFont* LiveFont(const void* handle) {
    std::lock_guard<std::mutex> guard(R().lock);
    return R().fonts.count(handle) ? static_cast<PlatFont*>(const_cast<void*>(handle)) : nullptr;
}

PlatDC* LiveDC(const void* handle) {
    std::lock_guard<std::mutex> guard(R().lock);
    return R().dcs.count(handle) ? static_cast<PlatDC*>(const_cast<void*>(handle)) : nullptr;
}

HBITMAP RegisterBitmap(std::unique_ptr<PlatBitmap> bitmap) {
    PlatBitmap* b = bitmap.release();
    std::lock_guard<std::mutex> guard(R().lock);
    R().bitmaps.insert(b);
    return b;
}

HDC CreateSurfaceDC(const SurfaceView& view) {
    PlatDC* dc = NewDC();
    dc->memory = false;
    dc->bitmap = nullptr;
    dc->view = view;
    return dc;
}

void DeleteSurfaceDC(HDC dc) {
    if (PlatDC* d = LiveDC(dc))
        FreeDC(d);
}

int GdiDeleteObject(void* object) {
    if (PlatBitmap* b = LiveBitmap(object)) {
        if (b->stock)
            return TRUE;
        if (b->selections > 0)
            return FALSE;
        {
            std::lock_guard<std::mutex> guard(R().lock);
            R().bitmaps.erase(b);
        }
        delete b;
        return TRUE;
    }
    if (PlatFont* f = LiveFont(object)) {
        if (f->stock)
            return TRUE;
        {
            std::lock_guard<std::mutex> guard(R().lock);
            R().fonts.erase(f);
        }
        // Contexts that still hold it go back to the built-in font.
        std::lock_guard<std::mutex> guard(R().lock);
        for (const void* handle : R().dcs) {
            auto* dc = static_cast<PlatDC*>(const_cast<void*>(handle));
            if (dc->font == f)
                dc->font = &R().stockFont;
        }
        delete f;
        return TRUE;
    }
    return -1;
}

}  // namespace plat::detail

using namespace plat::detail;

PLATAPI HDC CreateCompatibleDC(HDC) {
    return NewDC();
}

PLATAPI BOOL DeleteDC(HDC dc) {
    PlatDC* d = LiveDC(dc);
    if (!d || !d->memory)
        return FALSE;  // a surface's context goes back with ReleaseDC
    FreeDC(d);
    return TRUE;
}

PLATAPI HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    PlatDC* d = LiveDC(dc);
    if (!d)
        return nullptr;
    if (PlatBitmap* b = LiveBitmap(object)) {
        if (!d->memory)
            return nullptr;
        PlatBitmap* previous = d->bitmap;
        if (b == previous)
            return previous;
        if (!b->stock && b->selections > 0)
            return nullptr;  // already selected into another context
        if (!previous->stock)
            --previous->selections;
        if (!b->stock)
            ++b->selections;
        d->bitmap = b;
        return previous;
    }
    if (PlatFont* f = LiveFont(object)) {
        PlatFont* previous = d->font;
        d->font = f;
        return previous;
    }
    return nullptr;
}

PLATAPI int GetObjectA(HGDIOBJ object, int size, void* out) {
    PlatBitmap* b = LiveBitmap(object);
    if (!b)
        return 0;
    if (!out)
        return int(sizeof(BITMAP));
    if (size < int(sizeof(BITMAP)))
        return 0;
    BITMAP info{};
    info.bmType = 0;
    info.bmWidth = b->width;
    info.bmHeight = b->height;
    info.bmWidthBytes = b->stride;
    info.bmPlanes = 1;
    info.bmBitsPixel = WORD(b->bitsPerPixel);
    info.bmBits = b->stock ? nullptr : b->bits.data();
    *static_cast<BITMAP*>(out) = info;
    return int(sizeof(BITMAP));
}

PLATAPI int GetDIBits(HDC, HBITMAP bitmap, UINT, UINT lines, void* bits, BITMAPINFOHEADER* header, UINT) {
    PlatBitmap* b = LiveBitmap(bitmap);
    if (!b || b->stock || !header || header->biSize < sizeof(BITMAPINFOHEADER) || bits || lines)
        return 0;
    *header = BITMAPINFOHEADER{};
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = b->width;
    header->biHeight = b->height;
    header->biPlanes = 1;
    header->biBitCount = WORD(b->bitsPerPixel);
    header->biSizeImage = DWORD(b->stride) * DWORD(b->height);
    header->biXPelsPerMeter = b->xPelsPerMeter;
    header->biYPelsPerMeter = b->yPelsPerMeter;
    header->biClrUsed = DWORD(b->colours.size());
    return b->height;
}

PLATAPI UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colours) {
    PlatDC* d = LiveDC(dc);
    if (!d || !d->memory || !colours || d->bitmap->stock || start >= d->bitmap->colours.size())
        return 0;
    const std::vector<RGBQUAD>& table = d->bitmap->colours;
    const UINT n = count < table.size() - start ? count : UINT(table.size() - start);
    for (UINT i = 0; i < n; ++i)
        colours[i] = table[start + i];
    return n;
}

PLATAPI UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colours) {
    PlatDC* d = LiveDC(dc);
    if (!d || !d->memory || !colours || d->bitmap->stock || start >= d->bitmap->colours.size())
        return 0;
    std::vector<RGBQUAD>& table = d->bitmap->colours;
    const UINT n = count < table.size() - start ? count : UINT(table.size() - start);
    for (UINT i = 0; i < n; ++i)
        table[start + i] = colours[i];
    return n;
}

PLATAPI int SetStretchBltMode(HDC dc, int mode) {
    PlatDC* d = LiveDC(dc);
    if (!d || mode < BLACKONWHITE || mode > COLORONCOLOR)
        return 0;
    const int previous = d->stretchMode;
    d->stretchMode = mode;
    return previous;
}

PLATAPI int SetBkMode(HDC dc, int mode) {
    PlatDC* d = LiveDC(dc);
    if (!d || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    const int previous = d->bkMode;
    d->bkMode = mode;
    return previous;
}

PLATAPI COLORREF SetBkColor(HDC dc, COLORREF colour) {
    PlatDC* d = LiveDC(dc);
    if (!d)
        return 0xFFFFFFFFu;
    const COLORREF previous = d->bkColour;
    d->bkColour = colour & 0xFFFFFF;
    return previous;
}

PLATAPI COLORREF SetTextColor(HDC dc, COLORREF colour) {
    PlatDC* d = LiveDC(dc);
    if (!d)
        return 0xFFFFFFFFu;
    const COLORREF previous = d->textColour;
    d->textColour = colour & 0xFFFFFF;
    return previous;
}

PLATAPI HFONT CreateFontA(int height, int, int, int, int, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                          LPCSTR) {
    auto* font = new PlatFont;
    const int h = height < 0 ? -height : height;
    font->height = h == 0 ? 12 : (h < 8 ? 8 : (h > 64 ? 64 : h));
    std::lock_guard<std::mutex> guard(R().lock);
    R().fonts.insert(font);
    return font;
}
