// 2D drawing in the 640 x 480 design space of the interface: conversions between the design space
// and screen pixels, pictures loaded from .bmp files into surfaces already scaled to the current
// display mode, and their blits to the back buffer (plain, with black transparent, clipped to a
// window, or through an affine mapping), and single pixels read back for hit tests.
#pragma once
#include <cstdint>

#include "ddraw.h"
#include "gdi.h"

// One loaded picture.
struct Bitmap {
    int32_t width;       // of the surface in screen pixels: the picture scaled to the mode
    int32_t height;
    int32_t sourceBits;  // bits per pixel of the picture in its file
    IDirectDrawSurface3* surface;
    IDirectDrawPalette* palette;  // the surface's palette in 8-bit modes, or null
    HBITMAP picture;              // only while loading
};

// A position in the design space.
struct DesignPoint {
    float x, y;
};
// A window or destination rectangle in the design space.
struct DesignRect {
    int32_t x, y, width, height;
};
// The mapped blit's source coordinates (source pixels) at the destination's top-left, top-right
// and bottom-left corners.
struct BitmapMapping {
    float topLeftU, topLeftV;
    float topRightU, topRightV;
    float bottomLeftU, bottomLeftV;
};

extern float g_DspDesignWidth, g_DspDesignHeight;  // 640 x 480 unless changed

float DSP_DesignToScreenX(float x);
float DSP_DesignToScreenY(float y);
float DSP_ScreenToDesignX(float x);
float DSP_ScreenToDesignY(float y);
void DSP_SetDesignSize(int32_t width, int32_t height);
// A value truncated toward zero, held to the 32-bit range (a position far off any surface stays
// far off instead of wrapping).
int32_t DSP_Trunc(double value);

// A disk file; null when it cannot be loaded.
Bitmap* DSP_LoadBitmap(const char* path);
// Releases the surface and its palette; null does nothing.
void DSP_FreeBitmap(Bitmap* bitmap);
// Converts *position to screen pixels in place (callers rely on it), then copies (0, 0, w', h')
// of the picture there, w' and h' being width and height scaled to pixels. The keyed version
// leaves black pixels out.
void DSP_BlitBitmap(Bitmap* bitmap, DesignPoint* position, int32_t width, int32_t height);
void DSP_BlitBitmapKeyed(Bitmap* bitmap, DesignPoint* position, int32_t width, int32_t height);
// Clips (position, width, height) to the window in the design space, then copies that part of
// the picture (its offset from the picture's corner kept) scaled to pixels.
void DSP_BlitBitmapPart(Bitmap* bitmap, const DesignPoint* position, int32_t width, int32_t height,
                        const DesignRect* clip);
void DSP_BlitBitmapPartKeyed(Bitmap* bitmap, const DesignPoint* position, int32_t width, int32_t height,
                             const DesignRect* clip);
// The pixel at a design-space position: palette index at 8 bits, the colour word at 16; 0
// outside the picture or when it cannot be read.
uint16_t DSP_ReadBitmapPixel(Bitmap* bitmap, int32_t x, int32_t y);
// Converts *rect to screen pixels in place, then fills it from the picture through the mapping
// (8.8 fixed point); source pixels outside the picture give black. Only what lies on the back
// buffer is drawn.
void DSP_BlitBitmapMapped(DesignRect* rect, Bitmap* bitmap, const BitmapMapping* mapping);
