// Stand-in for the renderer's triangle pipeline (see rnd_stub_draw.h).
#include "stubs/rnd_stub_draw.h"

#include <map>

#include "stubs/rnd_display_stub.h"
#include "stubs/rnd_stub.h"
#include "stubs/trace.h"

namespace {
std::function<int(const RenderTriangle&)> g_TriangleHook;
std::map<const RenderTexture*, uint32_t> g_TextureFlags;
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
