// The renderer's 3D view and clip rectangle (see rnd_view.h).
#include "engine/rnd_view.h"

#include "engine/rnd_batch.h"
#include "engine/rnd_clip.h"
#include "engine/rnd_projection.h"
#include "engine/rnd_display.h"
#include "engine/rnd_bitmap.h"
#include "engine/rnd_state.h"
#include "engine/rnd_trace.h"

int32_t g_RndViewWidth = 0, g_RndViewHeight = 0;

void RND_SetViewScale(float factor) {
    const DisplayMode* mode = RND_CurrentMode();
    if (!mode)
        return;
    D3DVIEWPORT2 viewport{};
    viewport.dwSize = sizeof viewport;
    const bool haveViewport = g_Rnd.viewport && g_Rnd.viewport->GetViewport2(&viewport) == D3D_OK;

    const int32_t viewWidth = g_RndViewWidth ? g_RndViewWidth : mode->width;
    const int32_t viewHeight = g_RndViewHeight ? g_RndViewHeight : mode->height;
    // The limits are checked before the sizes are truncated to whole pixels, so that a zoom of 0
    // (an infinite factor) or a NaN is refused rather than converted.
    const float fw = float(viewWidth) * factor, fh = float(viewHeight) * factor;
    if (!(fw >= float(mode->width / 8) && fw < float(mode->width + 1) && fh >= float(mode->height / 8) &&
          fh < float(mode->height + 1)))
        return;
    const int32_t w = int32_t(fw), h = int32_t(fh);
    g_RndViewWidth = w;
    g_RndViewHeight = h;
    // The new view starts on a clean Z buffer and an empty batch.
    if (g_Rnd.viewport) {
        const RECT& clip = g_Rnd.clipRect;
        const D3DRECT zone{clip.left, clip.top, clip.right, clip.bottom};
        g_Rnd.viewport->Clear(1, &zone, D3DCLEAR_ZBUFFER);
    }
    RND_ResetTextureQueues();
    if (!haveViewport)
        return;

    const uint32_t ratio = uint32_t(mode->width) / uint32_t(w);
    const int32_t x = (mode->width - w) / 2, y = (mode->height - h) / 2;
    viewport.dwX = uint32_t(x);
    viewport.dwY = uint32_t(y);
    viewport.dwWidth = uint32_t(w);
    viewport.dwHeight = uint32_t(h);
    viewport.dvClipX = float(x);
    viewport.dvClipY = float(y);
    viewport.dvClipWidth = float(w) * 10.0f / float(ratio);
    viewport.dvClipHeight = float(h) * 10.0f / float(ratio);
    viewport.dvMinZ = 0.0f;
    viewport.dvMaxZ = 1.0f;
    g_Rnd.viewport->SetViewport2(&viewport);
    if (g_Rnd.device)
        g_Rnd.device->SetCurrentViewport(g_Rnd.viewport);

    RND_SetProjectionFactors(float(uint32_t(mode->width) / ratio) * 0.5f, float(uint32_t(mode->height) / ratio) * 0.5f);
    RND_SetClipPlanes(g_RndProjectionNear, g_RndProjectionFar);

    const LONG cap = mode->width == 640 ? 425 : 212;
    const LONG bottom = y + h;
    g_Rnd.clipRect = RECT{x, y, x + w, bottom > cap ? cap : bottom};
}

void RND_SetViewZoom(float zoom) {
    RND_SetViewScale(1.0f / zoom);
}

void RND_SetClipRectRaw(int left, int top, int right, int bottom) {
    RND_Trace("RND_SetClipRectRaw", "%d,%d,%d,%d", left, top, right, bottom);
    g_Rnd.clipRect = RECT{left, top, right, bottom};
}

void RND_SetClipRect(int left, int top, int right, int bottom) {
    RND_SetClipRectRaw(int(DSP_DesignToScreenX(float(left))), int(DSP_DesignToScreenY(float(top))),
                       int(DSP_DesignToScreenX(float(right))), int(DSP_DesignToScreenY(float(bottom))));
}

void RND_GetClipRect(int rect[4]) {
    const RECT& clip = g_Rnd.clipRect;
    rect[0] = int(DSP_ScreenToDesignX(float(clip.left)));
    rect[1] = int(DSP_ScreenToDesignY(float(clip.top)));
    rect[2] = int(DSP_ScreenToDesignX(float(clip.right - clip.left)));
    rect[3] = int(DSP_ScreenToDesignY(float(clip.bottom - clip.top)));
}

void RND_GetClipRectRaw(int rect[4]) {
    const RECT& clip = g_Rnd.clipRect;
    rect[0] = clip.left;
    rect[1] = clip.top;
    rect[2] = clip.right - clip.left;
    rect[3] = clip.bottom - clip.top;
}

void RND_ResetClipRect() {
    const DisplayMode* mode = RND_CurrentMode();
    if (!mode)
        return;
    const int32_t viewWidth = g_RndViewWidth ? g_RndViewWidth : mode->width;
    if (viewWidth == mode->width)
        RND_SetClipRect(0, 0, mode->width, mode->height);
}
