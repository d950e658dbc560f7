// The renderer's frame, clears and debug text (see rnd_frame.h).
#include "engine/rnd_frame.h"

#include <cstring>
#include <vector>

#include "engine/rnd_batch.h"
#include "engine/rnd_clip.h"
#include "engine/rnd_projection.h"
#include "engine/rnd_state.h"
#include "engine/rnd_texture.h"
#include "engine/rnd_trace.h"
#include "gdi.h"
#include "plat.h"

int32_t g_RndBackgroundFill = 1;
uint32_t g_RndBackgroundColour = 0;

namespace {
constexpr int kBlankWidth = 640, kBlankHeight = 480;

// A colour fill of the back buffer. The blit converts the packed colour to the surface's pixel
// format (5-6-5, or the nearest palette entry), so a colour looks alike in every depth; a
// rectangle off the surface is refused by the blit.
void FillBackBuffer(const RECT& rect, uint32_t colour) {
    if (!g_Rnd.backBuffer)
        return;
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = colour;
    g_Rnd.backBuffer->Blt(&rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

// After the display was lost the video-memory copies of the textures are gone: each loaded
// texture gives its copy up and goes to the head of the unloaded list, to be uploaded again when
// next drawn. The walk starts again from the head after every move.
void UnloadLostTextures() {
    for (;;) {
        RenderTexture* texture = RND_FirstLoadedTexture();
        while (texture && !texture->loaded)
            texture = RND_NextTexture(texture);
        if (!texture)
            return;
        g_Rnd.device->SetRenderState(D3DRENDERSTATE_FLUSHBATCH, 1);
        RND_UnloadTexture(texture);
    }
}
}  // namespace

int RND_BeginFrame() {
    RND_Trace("RND_BeginFrame");
    RND_SetClipPlanes(g_RndProjectionNear, g_RndProjectionFar);
    if (!g_Rnd.device || !g_Rnd.primary || !g_Rnd.backBuffer)
        return 0;
    if (g_Rnd.primary->IsLost() == DDERR_SURFACELOST) {
        g_Rnd.primary->Restore();
        if (g_Rnd.zBuffer) {
            g_Rnd.zBuffer->Restore();
            g_Rnd.backBuffer->AddAttachedSurface(g_Rnd.zBuffer);
        }
        if (g_Rnd.hardwareDevice)
            UnloadLostTextures();
    }
    const RECT& clip = g_Rnd.clipRect;
    if (g_Rnd.viewport) {
        const D3DRECT zone{clip.left, clip.top, clip.right, clip.bottom};
        g_Rnd.viewport->Clear(1, &zone, D3DCLEAR_ZBUFFER);
    }
    if (g_RndBackgroundFill)
        FillBackBuffer(clip, g_RndBackgroundColour);
    RND_ResetTextureQueues();
    return g_Rnd.device->BeginScene() == D3D_OK ? 1 : 0;
}

void RND_EndScene() {
    RND_Trace("RND_EndScene");
    RND_DrawQueues();
    if (g_Rnd.device)
        g_Rnd.device->EndScene();
}

void RND_Flip() {
    RND_Trace("RND_Flip");
    if (g_Rnd.primary) {
        g_Rnd.primary->Flip(nullptr, DDFLIP_WAIT);
        return;
    }
    static const std::vector<uint32_t> black(size_t(kBlankWidth) * kBlankHeight, 0);
    plat::PresentFrame(black.data(), kBlankWidth, kBlankHeight);
}

void RND_SetBackgroundColour(const float* rgb) {
    if (!rgb) {
        RND_Trace("RND_SetBackgroundColour", "null");
        g_RndBackgroundFill = 0;
        return;
    }
    // A component outside 0..1 is held at the end of its byte rather than spilling into its
    // neighbour.
    uint32_t packed = 0;
    for (int i = 0; i < 3; ++i) {
        const int c = int(rgb[i] * 255.0f + 0.5f);
        packed = (packed << 8) | uint32_t(c < 0 ? 0 : c > 255 ? 255 : c);
    }
    g_RndBackgroundColour = packed;
    g_RndBackgroundFill = 1;
    RND_Trace("RND_SetBackgroundColour", "0x%06X", packed);
}

void RND_ClearScreen() {
    RND_Trace("RND_ClearScreen");
    FillBackBuffer(RECT{0, 0, LONG(g_Rnd.screenWidth), LONG(g_Rnd.screenHeight)}, g_RndBackgroundColour);
}

void RND_ClearRect(int x, int y, int width, int height) {
    RND_Trace("RND_ClearRect", "%d,%d,%d,%d,0x%06X", x, y, width, height, g_RndBackgroundColour);
    FillBackBuffer(RECT{x, y, x + width, y + height}, g_RndBackgroundColour);
}

void RND_DrawDebugText(float x, float y, const char* text) {
    if (!text)
        return;
    RND_Trace("RND_DrawDebugText", "%.2f,%.2f,%s", x, y, text);
    RND_DrawTextOnSurface(g_Rnd.backBuffer, x, y, text);
}

void RND_DrawTextOnSurface(IDirectDrawSurface3* surface, float x, float y, const char* text) {
    // The debug font, made on first use and kept for the life of the process.
    static HFONT font = CreateFontA(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, VARIABLE_PITCH, "Terminal");
    HDC dc = nullptr;
    if (!surface || !text || !font || surface->GetDC(&dc) != DD_OK)
        return;
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, font);
    SetTextColor(dc, 0xFFFFFF);
    TextOutA(dc, int(x * g_Rnd.screenWidth), int(y * g_Rnd.screenHeight), text, int(std::strlen(text)));
    surface->ReleaseDC(dc);
}
