// The renderer's state words, their accessors and the counted heap blocks (see rnd_state.h).
#include "engine/rnd_state.h"

#include <cstdlib>

#include "engine/rnd_trace.h"
#include "engine/rnd_display.h"

RndState g_Rnd;

const DisplayMode* RND_CurrentMode() {
    if (g_Rnd.modeRow < 1 || g_Rnd.modeRow > DSP_MODE_COUNT)
        return nullptr;
    return &g_DspModes[g_Rnd.modeRow];
}

IDirectDraw2* RND_GetDirectDraw() {
    return g_Rnd.directDraw;
}

IDirectDrawSurface3* RND_GetPrimarySurface() {
    return g_Rnd.primary;
}

IDirectDrawSurface3* RND_GetBackBuffer() {
    return g_Rnd.backBuffer;
}

IDirectDrawPalette* RND_GetPalette() {
    return g_Rnd.palette;
}

IDirect3D2* RND_GetDirect3D() {
    return g_Rnd.direct3D;
}

IDirect3DDevice2* RND_GetDevice() {
    return g_Rnd.device;
}

int RND_IsHardwareDevice() {
    return g_Rnd.hardwareDevice;
}

int RND_CanBlendAdditive() {
    return g_Rnd.canBlendAdditive;
}

float RND_GetScreenWidth() {
    return g_Rnd.screenWidth;
}

float RND_GetScreenHeight() {
    return g_Rnd.screenHeight;
}

int RND_GetBitDepth() {
    const DisplayMode* mode = RND_CurrentMode();
    return mode ? mode->bitsPerPixel : 0;
}

void RND_SetHardwareAllowed(int flag) {
    RND_Trace("RND_SetHardwareAllowed", "%d", flag);
    g_Rnd.hardwareAllowed = flag;
}

float RND_ScaleByAspect(float value) {
    const DisplayMode* mode = RND_CurrentMode();
    if (!mode)
        return value * g_Rnd.screenHeight / g_Rnd.screenWidth;
    return value * float(mode->height) / float(mode->width);
}

void* RND_Alloc(size_t size) {
    void* block = std::malloc(size);
    if (block) {
        ++g_Rnd.liveBlocks;
        g_Rnd.allocatedBytes += int32_t(size);
    }
    return block;
}

void RND_Free(void* block) {
    if (!block)
        return;
    std::free(block);
    --g_Rnd.liveBlocks;
}
