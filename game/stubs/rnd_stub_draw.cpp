// Stand-in for the renderer's triangle pipeline (see rnd_stub_draw.h).
#include "stubs/rnd_stub_draw.h"

#include "stubs/rnd_display_stub.h"
#include "stubs/rnd_stub.h"
#include "stubs/trace.h"

namespace {
std::function<int(const RenderTriangle&)> g_TriangleHook;
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

void RND_StubSetTriangleHook(std::function<int(const RenderTriangle& triangle)> hook) {
    g_TriangleHook = std::move(hook);
}
