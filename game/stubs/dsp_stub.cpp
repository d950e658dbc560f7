// Stand-in for the display start-up and the bitmaps: no surfaces; a bitmap is a bare record for a
// file that exists. Each call is recorded.
#include "stubs/dsp_stub.h"

#include <cstdio>

#include "plat.h"
#include "stubs/trace.h"

int GAME_InitGraphics(HWND) {
    STUB_Trace("GAME_InitGraphics");
    return STUB_Result("GAME_InitGraphics", 0);
}

void DSP_Release(HWND) {
    STUB_Trace("DSP_Release");
}

Bitmap* DSP_LoadBitmap(const char* path) {
    STUB_Trace("DSP_LoadBitmap", "%s", path ? path : "(null)");
    if (!path)
        return nullptr;
    std::FILE* file = std::fopen(plat::ResolvePath(path).c_str(), "rb");
    if (!file)
        return nullptr;
    std::fclose(file);
    return new Bitmap{640, 480, 8, nullptr, nullptr, nullptr};
}

void DSP_FreeBitmap(Bitmap* bitmap) {
    STUB_Trace("DSP_FreeBitmap", "%s", bitmap ? "bitmap" : "null");
    delete bitmap;
}

void DSP_BlitBitmap(Bitmap*, float x, float y, int width, int height) {
    STUB_Trace("DSP_BlitBitmap", "%g,%g,%d,%d", x, y, width, height);
}
