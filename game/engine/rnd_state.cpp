// The renderer's state words, their accessors and the counted heap blocks (see rnd_state.h).
#include "engine/rnd_state.h"

#include <cstdlib>

#include "engine/rnd_trace.h"
#include "engine/rnd_display.h"

IDirectDraw2* g_RndDirectDraw = nullptr;
IDirectDrawSurface3* g_RndPrimary = nullptr;
IDirectDrawSurface3* g_RndBackBuffer = nullptr;
IDirectDrawSurface3* g_RndZBuffer = nullptr;
IDirectDrawPalette* g_RndPalette = nullptr;
IDirect3D2* g_RndDirect3D = nullptr;
IDirect3DDevice2* g_RndDevice = nullptr;
IDirect3DViewport2* g_RndViewport = nullptr;
int32_t g_RndHardwareAllowed = 1;
int32_t g_RndHardwareDevice = 1;
int32_t g_RndCanBlendAdditive = 0;
int32_t g_RndModeRow = 0;
float g_RndScreenWidth = 320.0f, g_RndScreenHeight = 240.0f;
RECT g_RndClipRect = {0, 0, 640, 480};
int32_t g_RndLiveBlocks = 0, g_RndAllocatedBytes = 0;

const DisplayMode* RND_CurrentMode() {
    if (g_RndModeRow < 1 || g_RndModeRow > DSP_MODE_COUNT)
        return nullptr;
    return &g_DspModes[g_RndModeRow];
}

IDirectDraw2* RND_GetDirectDraw() {
    return g_RndDirectDraw;
}

IDirectDrawSurface3* RND_GetPrimarySurface() {
    return g_RndPrimary;
}

IDirectDrawSurface3* RND_GetBackBuffer() {
    return g_RndBackBuffer;
}

IDirectDrawPalette* RND_GetPalette() {
    return g_RndPalette;
}

IDirect3D2* RND_GetDirect3D() {
    return g_RndDirect3D;
}

IDirect3DDevice2* RND_GetDevice() {
    return g_RndDevice;
}

int RND_IsHardwareDevice() {
    return g_RndHardwareDevice;
}

int RND_CanBlendAdditive() {
    return g_RndCanBlendAdditive;
}

float RND_GetScreenWidth() {
    return g_RndScreenWidth;
}

float RND_GetScreenHeight() {
    return g_RndScreenHeight;
}

int RND_GetBitDepth() {
    const DisplayMode* mode = RND_CurrentMode();
    return mode ? mode->bitsPerPixel : 0;
}

void RND_SetHardwareAllowed(int flag) {
    RND_Trace("RND_SetHardwareAllowed", "%d", flag);
    g_RndHardwareAllowed = flag;
}

float RND_ScaleByAspect(float value) {
    const DisplayMode* mode = RND_CurrentMode();
    if (!mode)
        return value * g_RndScreenHeight / g_RndScreenWidth;
    return value * float(mode->height) / float(mode->width);
}

void* RND_Alloc(size_t size) {
    void* block = std::malloc(size);
    if (block) {
        ++g_RndLiveBlocks;
        g_RndAllocatedBytes += int32_t(size);
    }
    return block;
}

void RND_Free(void* block) {
    if (!block)
        return;
    std::free(block);
    --g_RndLiveBlocks;
}
