// Pictures for the interface: a .bmp file loaded into an off-screen surface already scaled from
// the design space to the current mode (so every blit is an unscaled fast blit), the plain,
// keyed and clipped blits to the back buffer, and single pixels read back.
#include <cstring>

#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"
#include "engine/rnd_texture_palette.h"
#include "engine/rnd_display.h"
#include "engine/rnd_bitmap.h"

namespace {
constexpr uint32_t kBitmapCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;

// A design-space value in pixels: screen x value / design, truncated.
int32_t DSP_ScaleWidth(double value) {
    return DSP_Trunc(double(RND_GetScreenWidth()) * value / double(g_DspDesignWidth));
}
int32_t DSP_ScaleHeight(double value) {
    return DSP_Trunc(double(RND_GetScreenHeight()) * value / double(g_DspDesignHeight));
}

// In a 16-bit display, a palettised picture's dark channels are raised to 8 so that no colour
// but pure black becomes the transparent black of the colour key.
void DSP_RaiseDarkColours(HDC memory) {
    RGBQUAD table[256];
    const UINT count = GetDIBColorTable(memory, 0, 256, table);
    bool anyColour = false;
    for (UINT i = 0; i < count; ++i) {
        RGBQUAD& c = table[i];
        if (c.rgbRed == 0 && c.rgbGreen == 0 && c.rgbBlue == 0)
            continue;
        anyColour = true;
        for (uint8_t* channel : {&c.rgbRed, &c.rgbGreen, &c.rgbBlue})
            if (*channel < 8)
                *channel = 8;
    }
    if (anyColour)
        SetDIBColorTable(memory, 0, count, table);
}

void DSP_DeleteRecord(Bitmap* b) {
    if (b->surface)
        b->surface->Release();
    if (b->palette)
        b->palette->Release();
    if (b->picture)
        DeleteObject(b->picture);
    RND_Free(b);
}

void DSP_BlitWhole(Bitmap* b, DesignPoint* position, int32_t width, int32_t height, uint32_t flags) {
    if (!position)
        return;
    position->x = RND_GetScreenWidth() * position->x / g_DspDesignWidth;
    position->y = RND_GetScreenHeight() * position->y / g_DspDesignHeight;
    IDirectDrawSurface3* back = RND_GetBackBuffer();
    if (!back || !b || !b->surface)
        return;
    const RECT source{0, 0, DSP_ScaleWidth(width), DSP_ScaleHeight(height)};
    // A rectangle outside the back buffer is refused by the blit: nothing is drawn.
    back->BltFast(uint32_t(DSP_Trunc(position->x)), uint32_t(DSP_Trunc(position->y)), b->surface, &source, flags);
}

void DSP_BlitPart(Bitmap* b, const DesignPoint* position, int32_t width, int32_t height, const DesignRect* clip,
                  uint32_t flags) {
    IDirectDrawSurface3* back = RND_GetBackBuffer();
    if (!back || !b || !b->surface || !position || !clip)
        return;
    int64_t x = DSP_Trunc(position->x), y = DSP_Trunc(position->y), sx = 0, sy = 0, w = width, h = height;
    const int64_t clipRight = int64_t(clip->x) + clip->width, clipBottom = int64_t(clip->y) + clip->height;
    if (x >= clipRight)
        return;
    if (x < clip->x) {
        w += x - clip->x;
        sx = clip->x - x;
        x = clip->x;
    }
    if (w > clipRight - x)
        w = clipRight - x;
    if (y >= clipBottom)
        return;
    if (y < clip->y) {
        h += y - clip->y;
        sy = clip->y - y;
        y = clip->y;
    }
    if (h > clipBottom - y)
        h = clipBottom - y;
    if (w <= 0 || h <= 0)
        return;
    // Each edge is scaled on its own: the right edge is scale x (sx + w), not sx' + scale x w.
    const RECT source{DSP_ScaleWidth(double(sx)), DSP_ScaleHeight(double(sy)), DSP_ScaleWidth(double(sx + w)),
                      DSP_ScaleHeight(double(sy + h))};
    back->BltFast(uint32_t(DSP_ScaleWidth(double(x))), uint32_t(DSP_ScaleHeight(double(y))), b->surface, &source,
                  flags);
}
}  // namespace

Bitmap* DSP_LoadBitmap(const char* path) {
    DSP_Trace("DSP_LoadBitmap", "%s", path ? path : "(null)");
    auto* b = static_cast<Bitmap*>(RND_Alloc(sizeof(Bitmap)));
    if (!b)
        return nullptr;
    std::memset(b, 0, sizeof *b);
    b->picture = path ? static_cast<HBITMAP>(LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0,
                                                          LR_LOADFROMFILE | LR_CREATEDIBSECTION))
                      : nullptr;
    BITMAP info{};
    if (!b->picture || GetObjectA(b->picture, sizeof info, &info) != int(sizeof info)) {
        DSP_DeleteRecord(b);
        return nullptr;
    }

    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ stock = SelectObject(memory, b->picture);
    if (RND_GetBitDepth() == 16 && info.bmBitsPixel <= 8)
        DSP_RaiseDarkColours(memory);

    b->width = DSP_ScaleWidth(info.bmWidth);
    b->height = DSP_ScaleHeight(info.bmHeight);
    b->sourceBits = info.bmBitsPixel;
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.dwWidth = uint32_t(b->width);
    desc.dwHeight = uint32_t(b->height);
    desc.ddsCaps.dwCaps = kBitmapCaps;
    IDirectDraw2* directDraw = RND_GetDirectDraw();
    HDC surfaceDc = nullptr;
    bool drawn = false;
    if (directDraw && b->width > 0 && b->height > 0 &&
        directDraw->CreateSurface(&desc, &b->surface, nullptr) == DD_OK) {
        DDPIXELFORMAT format{};
        format.dwSize = sizeof format;
        b->surface->GetPixelFormat(&format);
        if (format.dwRGBBitCount == 8) {
            b->palette = RND_GetBitDepth() == 16 ? RND_SetPaletteFromBitmap(directDraw, b->picture)
                                                 : RND_ClonePalette(directDraw);
            if (b->palette)
                b->surface->SetPalette(b->palette);
        }
        if (b->surface->GetDC(&surfaceDc) == DD_OK) {
            SetStretchBltMode(surfaceDc, COLORONCOLOR);
            SetStretchBltMode(memory, COLORONCOLOR);
            StretchBlt(surfaceDc, 0, 0, b->width, b->height, memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
            b->surface->ReleaseDC(surfaceDc);
            const DDCOLORKEY black{0, 0};
            b->surface->SetColorKey(DDCKEY_SRCBLT, &black);
            drawn = true;
        }
    }
    SelectObject(memory, stock);
    DeleteDC(memory);
    DeleteObject(b->picture);
    b->picture = nullptr;
    if (!drawn) {
        DSP_DeleteRecord(b);
        return nullptr;
    }
    return b;
}

void DSP_FreeBitmap(Bitmap* bitmap) {
    DSP_Trace("DSP_FreeBitmap", "%s", bitmap ? "bitmap" : "null");
    if (bitmap)
        DSP_DeleteRecord(bitmap);
}

void DSP_BlitBitmap(Bitmap* bitmap, DesignPoint* position, int32_t width, int32_t height) {
    DSP_Trace("DSP_BlitBitmap", "%g,%g,%d,%d", position ? position->x : 0.0f, position ? position->y : 0.0f, width,
              height);
    DSP_BlitWhole(bitmap, position, width, height, DDBLTFAST_WAIT);
}

void DSP_BlitBitmapKeyed(Bitmap* bitmap, DesignPoint* position, int32_t width, int32_t height) {
    DSP_BlitWhole(bitmap, position, width, height, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
}

void DSP_BlitBitmapPart(Bitmap* bitmap, const DesignPoint* position, int32_t width, int32_t height,
                        const DesignRect* clip) {
    DSP_BlitPart(bitmap, position, width, height, clip, DDBLTFAST_WAIT);
}

void DSP_BlitBitmapPartKeyed(Bitmap* bitmap, const DesignPoint* position, int32_t width, int32_t height,
                             const DesignRect* clip) {
    DSP_BlitPart(bitmap, position, width, height, clip, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
}

uint16_t DSP_ReadBitmapPixel(Bitmap* bitmap, int32_t x, int32_t y) {
    x = DSP_ScaleWidth(x);
    y = DSP_ScaleHeight(y);
    if (!bitmap || !bitmap->surface)
        return 0;
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    if (bitmap->surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK)
        return 0;
    uint16_t value = 0;
    // Coordinates outside the picture read nothing, in both depths.
    if (x >= 0 && y >= 0 && uint32_t(x) < desc.dwWidth && uint32_t(y) < desc.dwHeight) {
        const uint8_t* row = static_cast<const uint8_t*>(desc.lpSurface) + size_t(y) * size_t(desc.lPitch);
        if (desc.ddpfPixelFormat.dwRGBBitCount == 8)
            value = row[x];
        else
            std::memcpy(&value, row + size_t(x) * 2, 2);
    }
    bitmap->surface->Unlock(nullptr);
    return value;
}
