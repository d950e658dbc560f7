// GAME_InitGraphics: the whole display start-up of WinMain, from the first display creation and
// the mode probe to the first view set-up and the camera.
#include "engine/rnd_display.h"
#include "engine/lnd_draw.h"
#include "engine/lnd_light.h"
#include "engine/rnd_projection.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"
#include "engine/rnd_trace.h"

namespace {
constexpr float kAmbientFloor[4] = {0.1f, 0.1f, 0.1f, 0.0f};
constexpr float kFieldOfView = 0.6283f;
constexpr float kNear = 100.0f, kFar = 2500.0f;
constexpr int kModeHardware640x480x16 = 7, kModeSoftware640x480x16 = 6;
}  // namespace

uint32_t g_GraphicsReady = 0;

int RND_InitDisplay(HWND window) {
    RND_Trace("RND_InitDisplay");
    return DSP_CreateDevice(window) ? 1 : 0;
}

int GAME_InitGraphics(HWND window) {
    DSP_Trace("GAME_InitGraphics");
    RND_SetHardwareAllowed(1);
    if (!RND_InitDisplay(window))
        return -1;
    APP_ProbeDisplayModes();
    // The probe leaves the display as its last test made it: start again from scratch.
    DSP_Release(window);
    RND_SetHardwareAllowed(1);
    DSP_CreateDevice(window);

    LND_ResetView();
    LND_SetDynamicLighting(1);
    LND_SetAmbientLight(kAmbientFloor);
    RND_SetBackgroundColour(nullptr);
    LND_SetViewProjection(kNear, kFar, kFar, kFieldOfView, RND_ScaleByAspect(kFieldOfView));
    APP_SetDisplayMode(RND_IsHardwareDevice() ? kModeHardware640x480x16 : kModeSoftware640x480x16, 1);
    if (g_RndCameraResetHook)
        g_RndCameraResetHook();
    g_GraphicsReady = 1;
    return 0;
}
