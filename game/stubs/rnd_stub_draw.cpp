// Stand-in for the renderer's triangle pipeline (see rnd_stub_draw.h).
#include "stubs/rnd_stub_draw.h"

#include <cmath>
#include <map>

#include "stubs/rnd_display_stub.h"
#include "stubs/rnd_stub.h"
#include "stubs/trace.h"

namespace {
std::function<int(const RenderTriangle&)> g_TriangleHook;
std::map<const RenderTexture*, uint32_t> g_TextureFlags;
constexpr float kAngle = 0.31415927f;

float Factor(float half) {
    const float far = g_RndFar;
    return half * far / (half + far * std::tan(kAngle));
}
}  // namespace

int RND_DrawTriangle(RenderTriangle* triangle) {
    if (!triangle)
        return 0;
    if (g_TriangleHook)
        return g_TriangleHook(*triangle);
    for (const Vec3& p : triangle->position)
        if (p.z >= g_RndNear + 1.0f)
            return 1;
    return 0;
}

uint8_t RND_OutCode(const Vec3* p) {
    const float width = g_RndScreenWidth, height = g_RndScreenHeight;
    const int hw = int(width) / 2, hh = int(height) / 2;
    auto screenBits = [&](uint8_t code) {
        const float sx = width / 2.0f + p->x * Factor(float(hw)) / p->z;
        const float sy = height / 2.0f - p->y * Factor(float(hh)) / p->z;
        if (sx < 0.0f) code |= 1;
        if (sx >= width) code |= 2;
        if (sy < 0.0f) code |= 8;
        if (sy >= height) code |= 4;
        return code;
    };
    if (p->z >= g_RndNear + 1.0f)
        return screenBits(p->z > g_RndFar - 1.0f ? 0x10 : 0);
    if (p->z > 0.0f)
        return screenBits(0x20);
    uint8_t code = 0x20;
    if (p->x < 0.0f) code = 0x21;
    if (p->x > 0.0f) code |= 2;
    if (p->y < 0.0f) code |= 4;
    if (p->y > 0.0f) code |= 8;
    return code;
}

RenderTexture* RND_LoadTextureKeyed(const char* fileName) {
    RenderTexture* texture = RND_LoadTexture(fileName);
    if (texture)
        g_TextureFlags[texture] |= 1u;
    return texture;
}

uint32_t RND_SetTextureFlags(RenderTexture* texture, uint32_t flags) {
    STUB_Trace("RND_SetTextureFlags", "%u", flags);
    if (!texture)
        return 0;
    const uint32_t previous = g_TextureFlags[texture];
    g_TextureFlags[texture] = flags;
    return previous;
}

uint32_t RND_StubTextureFlags(const RenderTexture* texture) {
    const auto it = g_TextureFlags.find(texture);
    return it == g_TextureFlags.end() ? 0 : it->second;
}

void RND_StubSetTriangleHook(std::function<int(const RenderTriangle& triangle)> hook) {
    g_TriangleHook = std::move(hook);
}
