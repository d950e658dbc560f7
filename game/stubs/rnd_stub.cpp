// Stand-in for the renderer's frame: no 3D drawing, but the frame start, the clears, the debug
// text and the flip work on the display's surfaces once the display exists. Without a display a
// flip presents a black frame, so that the platform still counts frames (PLATFORM_FRAMES) and
// keeps a last frame (PLATFORM_SCREENSHOT). Each call is recorded.
#include "stubs/rnd_stub.h"

#include <cstring>
#include <vector>

#include "gdi.h"
#include "plat.h"
#include "stubs/rnd_display_stub.h"
#include "stubs/trace.h"

namespace {
constexpr int kFrameWidth = 640, kFrameHeight = 480;
uint32_t g_StubBackground = 0;
int g_StubBackgroundFill = 1;

// A colour fill of the back buffer; rectangles off the surface are refused by the blit.
void FillBackBuffer(const RECT& rect, uint32_t colour) {
    if (!g_RndBackBuffer)
        return;
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = colour;
    g_RndBackBuffer->Blt(&rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}
}  // namespace

int RND_BeginFrame() {
    STUB_Trace("RND_BeginFrame");
    if (!g_RndDevice || !g_RndPrimary || !g_RndBackBuffer)
        return 1;
    if (g_RndPrimary->IsLost() == DDERR_SURFACELOST) {
        g_RndPrimary->Restore();
        if (g_RndZBuffer) {
            g_RndZBuffer->Restore();
            g_RndBackBuffer->AddAttachedSurface(g_RndZBuffer);
        }
    }
    const RECT& clip = g_RndClipRect;
    if (g_RndViewport) {
        const D3DRECT zone{clip.left, clip.top, clip.right, clip.bottom};
        g_RndViewport->Clear(1, &zone, D3DCLEAR_ZBUFFER);
    }
    if (g_StubBackgroundFill)
        FillBackBuffer(clip, g_StubBackground);
    return g_RndDevice->BeginScene() == D3D_OK ? 1 : 0;
}

void RND_EndScene() {
    STUB_Trace("RND_EndScene");
    if (g_RndDevice)
        g_RndDevice->EndScene();
}

void RND_Flip() {
    STUB_Trace("RND_Flip");
    if (g_RndPrimary) {
        g_RndPrimary->Flip(nullptr, DDFLIP_WAIT);
        return;
    }
    static const std::vector<uint32_t> black(size_t(kFrameWidth) * kFrameHeight, 0);
    plat::PresentFrame(black.data(), kFrameWidth, kFrameHeight);
}

void RND_SetBackgroundColour(const float* rgb) {
    if (!rgb) {
        STUB_Trace("RND_SetBackgroundColour", "null");
        g_StubBackgroundFill = 0;
        return;
    }
    uint32_t packed = 0;
    for (int i = 0; i < 3; ++i)
        packed = (packed << 8) | (uint32_t(int(rgb[i] * 255.0f + 0.5f)) & 0xFF);
    g_StubBackground = packed;
    g_StubBackgroundFill = 1;
    STUB_Trace("RND_SetBackgroundColour", "0x%06X", packed);
}

uint32_t RND_GetBackgroundColour() {
    return g_StubBackground;
}

void RND_ClearScreen() {
    STUB_Trace("RND_ClearScreen");
    FillBackBuffer(RECT{0, 0, LONG(RND_GetScreenWidth()), LONG(RND_GetScreenHeight())}, g_StubBackground);
}

void RND_ClearRect(int x, int y, int width, int height) {
    STUB_Trace("RND_ClearRect", "%d,%d,%d,%d,0x%06X", x, y, width, height, g_StubBackground);
    FillBackBuffer(RECT{x, y, x + width, y + height}, g_StubBackground);
}

void RND_SetClipRectRaw(int left, int top, int right, int bottom) {
    STUB_Trace("RND_SetClipRectRaw", "%d,%d,%d,%d", left, top, right, bottom);
    g_RndClipRect = RECT{left, top, right, bottom};
}

void RND_DrawDebugText(float x, float y, const char* text) {
    if (!text)
        return;
    STUB_Trace("RND_DrawDebugText", "%.2f,%.2f,%s", x, y, text);
    RND_DrawTextOnSurface(g_RndBackBuffer, x, y, text);
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
    TextOutA(dc, int(x * RND_GetScreenWidth()), int(y * RND_GetScreenHeight()), text, int(std::strlen(text)));
    surface->ReleaseDC(dc);
}

int RND_IsHardwareDevice() {
    return STUB_Result("RND_IsHardwareDevice", g_RndHardwareDevice);
}

float RND_GetScreenWidth() {
    return float(STUB_Result("RND_GetScreenWidth", int(g_RndScreenWidth)));
}

float RND_GetScreenHeight() {
    return float(STUB_Result("RND_GetScreenHeight", int(g_RndScreenHeight)));
}
