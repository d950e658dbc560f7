// Stand-in for the display start-up and the bitmaps of the shell until they are built.
#pragma once
#include <cstdint>

#include "win32.h"

// One loaded picture.
struct Bitmap {
    int32_t width;
    int32_t height;
    int32_t sourceBits;
    void* surface;
    void* palette;
    void* picture;
};

// 0 success, -1 failure (the stand-in: the result set for "GAME_InitGraphics", else 0).
int GAME_InitGraphics(HWND window);
void DSP_Release(HWND window);
// A record for a disk file that exists, else null.
Bitmap* DSP_LoadBitmap(const char* path);
// Null is ignored.
void DSP_FreeBitmap(Bitmap* bitmap);
void DSP_BlitBitmap(Bitmap* bitmap, float x, float y, int width, int height);
