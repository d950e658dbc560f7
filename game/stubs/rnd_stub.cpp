// Stand-in for the renderer: draws nothing, presents black frames so that the platform counts
// frames (PLATFORM_FRAMES) and keeps a last frame (PLATFORM_SCREENSHOT). Each call is recorded.
#include "stubs/rnd_stub.h"

#include <cstring>
#include <deque>
#include <vector>

#include "plat.h"
#include "stubs/trace.h"

namespace {
constexpr int kFrameWidth = 640, kFrameHeight = 480;
uint32_t g_StubBackground = 0;
}  // namespace

int RND_BeginFrame() {
    STUB_Trace("RND_BeginFrame");
    return 1;
}

void RND_EndScene() {
    STUB_Trace("RND_EndScene");
}

void RND_Flip() {
    STUB_Trace("RND_Flip");
    static const std::vector<uint32_t> black(size_t(kFrameWidth) * kFrameHeight, 0);
    plat::PresentFrame(black.data(), kFrameWidth, kFrameHeight);
}

void RND_SetBackgroundColour(const float* rgb) {
    if (!rgb) {
        STUB_Trace("RND_SetBackgroundColour", "null");
        return;
    }
    uint32_t packed = 0;
    for (int i = 0; i < 3; ++i)
        packed = (packed << 8) | (uint32_t(int(rgb[i] * 255.0f + 0.5f)) & 0xFF);
    g_StubBackground = packed;
    STUB_Trace("RND_SetBackgroundColour", "0x%06X", packed);
}

uint32_t RND_GetBackgroundColour() {
    return g_StubBackground;
}

void RND_ClearScreen() {
    STUB_Trace("RND_ClearScreen");
}

void RND_ClearRect(int x, int y, int width, int height) {
    STUB_Trace("RND_ClearRect", "%d,%d,%d,%d,0x%06X", x, y, width, height, g_StubBackground);
}

void RND_SetClipRectRaw(int left, int top, int right, int bottom) {
    STUB_Trace("RND_SetClipRectRaw", "%d,%d,%d,%d", left, top, right, bottom);
}

void RND_DrawDebugText(float x, float y, const char* text) {
    if (!text)
        return;
    STUB_Trace("RND_DrawDebugText", "%.2f,%.2f,%s", x, y, text);
}

int RND_IsHardwareDevice() {
    return STUB_Result("RND_IsHardwareDevice", 1);
}

float RND_GetScreenWidth() {
    return float(STUB_Result("RND_GetScreenWidth", kFrameWidth));
}

float RND_GetScreenHeight() {
    return float(STUB_Result("RND_GetScreenHeight", kFrameHeight));
}

RenderTexture* RND_LoadTexture(const char* fileName) {
    STUB_Trace("RND_LoadTexture", "%s", fileName ? fileName : "(null)");
    if (!STUB_Result("RND_LoadTexture", 1))
        return nullptr;
    static std::deque<RenderTexture> loaded;
    RenderTexture& texture = loaded.emplace_back();
    std::strncpy(texture.name, fileName ? fileName : "No texture filename!!", sizeof texture.name - 1);
    return &texture;
}
