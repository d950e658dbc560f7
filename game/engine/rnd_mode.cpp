// The renderer's display-mode switch (see rnd_mode.h).
#include "engine/rnd_mode.h"

#include "engine/rnd_projection.h"
#include "engine/rnd_state.h"
#include "engine/rnd_trace.h"
#include "engine/rnd_view.h"
#include "engine/rnd_display.h"

namespace {
constexpr uint32_t kMinimumTextureMemory = 0x100000;  // 1 MB

// The mode row of the table, the mode set, and the projection for half the new size.
int SwitchMode(int width, int height, int bpp) {
    g_Rnd.modeRow = DSP_FindMode(width, height, bpp);
    const DisplayMode& row = g_DspModes[g_Rnd.modeRow];
    const int result = DSP_SetMode(row.width, row.height, row.bitsPerPixel);
    // The 3D view fills the new mode.
    g_RndViewWidth = g_RndViewHeight = 0;
    RND_SetProjection(g_RndProjectionNear, g_RndProjectionFar, g_RndProjectionFar, g_RndHorizontalAngle,
                      g_RndVerticalAngle);
    return result;
}
}  // namespace

int RND_SetDisplayMode(int width, int height, int bpp) {
    RND_Trace("RND_SetDisplayMode", "%d,%d,%d", width, height, bpp);
    return SwitchMode(width, height, bpp);
}

int RND_SetDisplayModeEx(int width, int height, int bpp, int checkTextureMemory) {
    RND_Trace("RND_SetDisplayModeEx", "%d,%d,%d,%d", width, height, bpp, checkTextureMemory);
    int result = SwitchMode(width, height, bpp);
    if (checkTextureMemory && g_Rnd.hardwareDevice && g_Rnd.directDraw) {
        DDSCAPS caps{DDSCAPS_TEXTURE};
        uint32_t total = 0, free = 0;
        if (g_Rnd.directDraw->GetAvailableVidMem(&caps, &total, &free) == DD_OK && free < kMinimumTextureMemory)
            result = SwitchMode(320, 240, bpp);
    }
    return result;
}
