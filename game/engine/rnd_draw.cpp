// The renderer's triangle path (see rnd_draw.h). All clip records are on the stack; nothing is
// allocated while drawing.
#include "engine/rnd_draw.h"

#include <cmath>

#include "engine/rnd_batch.h"
#include "engine/rnd_blend.h"
#include "engine/rnd_projection.h"
#include "engine/rnd_state.h"
#include "engine/rnd_texture.h"

namespace {
std::function<int(const RenderTriangle&)> g_TriangleHook;

// Keeps texture coordinates near 0 however often a surface repeats its texture: the whole
// repeats common to the three corners (running truncated sums, then integer thirds) come off.
// Coordinates whose sums an int cannot hold (beyond its range, or not numbers, as a damaged
// model file can give) have no such repeats taken off: the triangle keeps them as they are.
void NormaliseUV(RenderTriangle* t) {
    constexpr float kIntLimit = 2147483520.0f;  // the largest float below 2^31
    int su = 0, sv = 0;
    for (int k = 0; k < 3; ++k) {
        const float u = float(su) + t->uv[k][0], v = float(sv) + t->uv[k][1];
        if (!(std::fabs(u) < kIntLimit) || !(std::fabs(v) < kIntLimit))
            return;
        su = int(u);
        sv = int(v);
    }
    const float du = float(su / 3), dv = float(sv / 3);
    for (int k = 0; k < 3; ++k) {
        t->uv[k][0] -= du;
        t->uv[k][1] -= dv;
    }
}
}  // namespace

void RND_SetTriangleHook(std::function<int(const RenderTriangle& triangle)> hook) {
    g_TriangleHook = std::move(hook);
}

void RND_GreyVertexColours(ClipPolygon* p) {
    for (int i = 0; i < p->count; ++i) {
        const float grey = (p->colour[i][0] + p->colour[i][1] + p->colour[i][2]) * 0.33333334f;
        p->colour[i][0] = p->colour[i][1] = p->colour[i][2] = grey;
    }
}

int RND_DrawTriangle(RenderTriangle* triangle) {
    if (!triangle)
        return 0;
    if (g_TriangleHook)
        return g_TriangleHook(*triangle);
    RenderTriangle t = *triangle;
    NormaliseUV(&t);
    ClipPolygon p;
    p.count = 3;
    p.texture = t.texture;
    for (int i = 0; i < 3; ++i) {
        p.position[i] = t.position[i];
        p.uv[i][0] = t.uv[i][0];
        p.uv[i][1] = t.uv[i][1];
        for (int k = 0; k < 4; ++k)
            p.colour[i][k] = t.colour[i][k];
    }
    if (!g_Rnd.hardwareDevice)
        RND_GreyVertexColours(&p);
    RND_ClipPolygonFar(&p, g_RndFar - 1.0f);
    RND_ClipPolygonNear(&p, g_RndNear + 1.0f);
    if (p.count < 3)
        return 0;

    bool fogged = false;
    for (int i = 0; i < p.count; ++i)
        fogged = fogged || p.position[i].z > g_RndFogStart;
    if (!g_RndFogEnabled || !fogged)
        return RND_FinishPolygon(&p);

    // Split at the fog start: the far piece fades, the near piece keeps its colours.
    ClipPolygon farPiece = p;
    RND_ClipPolygonNear(&farPiece, g_RndFogStart);
    RND_FadeBeyondFogStart(&farPiece);
    const int farDrawn = RND_FinishPolygon(&farPiece);
    RND_ClipPolygonFar(&p, g_RndFogStart);
    const int nearDrawn = RND_FinishPolygon(&p);
    return farDrawn || nearDrawn ? 1 : 0;
}

int RND_FinishPolygon(ClipPolygon* p) {
    if (p->count < 3)
        return 0;
    for (int i = 0; i < p->count; ++i) {
        Vec3 screen{};
        if (!RND_ProjectPoint(&screen, &p->position[i]))
            return 0;
        p->position[i] = screen;
    }
    // Back faces go before any screen clipping.
    if (RND_ScreenWinding(p->position[0], p->position[1], p->position[2]) < 0.0f)
        return 0;
    const RECT& clip = g_Rnd.clipRect;
    RND_ClipPolygonTop(p, float(clip.top));
    RND_ClipPolygonBottom(p, float(clip.bottom));
    RND_ClipPolygonLeft(p, float(clip.left));
    RND_ClipPolygonRight(p, float(clip.right));
    if (p->count < 3)
        return 0;
    RND_QueuePolygon(*p);
    return 1;
}

void RND_QueuePolygon(const ClipPolygon& p) {
    for (int i = 1; i + 1 < p.count; ++i) {
        if (!p.texture) {
            if (!g_Rnd.device)
                continue;
            D3DTLVERTEX vertices[3];
            RND_SetTextureState(g_Rnd.device, nullptr);
            RND_MakeTLVertices(p, 0, i, i + 1, vertices);
            g_Rnd.device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DVT_TLVERTEX, vertices, 3, D3DDP_DONOTCLIP);
            continue;
        }
        BatchPrimitive* primitive = RND_AllocPrimitive();
        if (!primitive)
            continue;
        RND_MakeTLVertices(p, 0, i, i + 1, primitive->vertices);
        primitive->texture = p.texture;
        LST_AddTail(&p.texture->queue, &primitive->link);
    }
}
