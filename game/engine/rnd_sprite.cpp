// The renderer's camera-facing sprites (see rnd_sprite.h).
#include "engine/rnd_sprite.h"

#include "engine/rnd_draw.h"
#include "engine/rnd_projection.h"
#include "engine/rnd_state.h"

namespace {
enum Edge { kTop, kLeft, kRight, kBottom, kDone };

// One stage of the triangle path: the triangle is clipped to one edge, a quad left over is cut
// along its diagonal, and each triangle goes on to the next edge.
void ClipTriangleAt(Edge edge, const ClipPolygon& t) {
    if (edge == kDone) {
        RND_QueuePolygon(t);
        return;
    }
    ClipPolygon p = t;
    const RECT& clip = g_Rnd.clipRect;
    switch (edge) {
    case kTop:
        RND_ClipPolygonTop(&p, float(clip.top));
        break;
    case kLeft:
        RND_ClipPolygonLeft(&p, float(clip.left));
        break;
    case kRight:
        RND_ClipPolygonRight(&p, float(clip.right));
        break;
    default:
        RND_ClipPolygonBottom(&p, float(clip.bottom));
        break;
    }
    const Edge next = Edge(edge + 1);
    if (p.count == 3) {
        ClipTriangleAt(next, p);
    } else if (p.count == 4) {
        ClipPolygon second = p;
        p.count = 3;
        ClipTriangleAt(next, p);
        // Corners 0, 2, 3: the other half of the quad.
        second.position[1] = second.position[2];
        second.position[2] = second.position[3];
        for (int k = 0; k < 2; ++k) {
            second.uv[1][k] = second.uv[2][k];
            second.uv[2][k] = second.uv[3][k];
        }
        for (int k = 0; k < 4; ++k) {
            second.colour[1][k] = second.colour[2][k];
            second.colour[2][k] = second.colour[3][k];
        }
        second.count = 3;
        ClipTriangleAt(next, second);
    }
}

// Projects a view-space polygon of 3 or 4 corners and sends each front-facing triangle of its
// fan down the triangle path; a corner that cannot be projected drops the polygon.
void ProjectAndClip(const ClipPolygon& view) {
    if (view.count < 3)
        return;
    ClipPolygon p = view;
    for (int i = 0; i < p.count; ++i)
        if (!RND_ProjectPoint(&p.position[i], &view.position[i]))
            return;
    for (int i = 1; i + 1 < p.count; ++i) {
        ClipPolygon t = p;
        t.count = 3;
        const int corners[3] = {0, i, i + 1};
        for (int k = 0; k < 3; ++k) {
            const int c = corners[k];
            t.position[k] = p.position[c];
            t.uv[k][0] = p.uv[c][0];
            t.uv[k][1] = p.uv[c][1];
            for (int j = 0; j < 4; ++j)
                t.colour[k][j] = p.colour[c][j];
        }
        if (RND_ScreenWinding(t.position[0], t.position[1], t.position[2]) > 0.0f)
            RND_ClipTriangleTop(t);
    }
}
}  // namespace

void RND_ClipTriangleTop(const ClipPolygon& t) {
    ClipTriangleAt(kTop, t);
}

void RND_DrawSpriteFogged(const ClipPolygon& triangle) {
    int fogged = 0;
    for (int i = 0; i < 3; ++i)
        fogged += triangle.position[i].z > g_RndFogStart;
    if (fogged == 0 || fogged == 3) {
        ClipPolygon p = triangle;
        if (fogged)
            RND_FadeBeyondFogStart(&p);
        ProjectAndClip(p);
        return;
    }
    ClipPolygon nearPart = triangle, farPart = triangle;
    RND_ClipPolygonFar(&nearPart, g_RndFogStart);
    RND_ClipPolygonNear(&farPart, g_RndFogStart);
    RND_FadeBeyondFogStart(&farPart);
    ProjectAndClip(nearPart);
    ProjectAndClip(farPart);
}

void RND_DrawSprite(RenderTexture* texture, float width, float height, const Vec3* centre, const float* colour) {
    const Vec3 c = *centre;
    if (c.z < g_RndNear + 1.0f || c.z > g_RndFar - 1.0f)
        return;
    const float hw = width / 2.0f, hh = height / 2.0f;
    struct Corner {
        float x, y, u, v;
    };
    const Corner corners[2][3] = {
        {{c.x - hw, c.y + hh, 0, 0}, {c.x + hw, c.y + hh, 1, 0}, {c.x + hw, c.y - hh, 1, 1}},
        {{c.x - hw, c.y + hh, 0, 0}, {c.x + hw, c.y - hh, 1, 1}, {c.x - hw, c.y - hh, 0, 1}},
    };
    for (const auto& triangle : corners) {
        ClipPolygon t;
        t.count = 3;
        t.texture = texture;
        for (int k = 0; k < 3; ++k) {
            t.position[k] = Vec3{triangle[k].x, triangle[k].y, c.z};
            t.uv[k][0] = triangle[k].u;
            t.uv[k][1] = triangle[k].v;
            t.colour[k][0] = colour[0];
            t.colour[k][1] = colour[1];
            t.colour[k][2] = colour[2];
            t.colour[k][3] = 1.0f;
        }
        if (g_RndFogEnabled)
            RND_DrawSpriteFogged(t);
        else
            ProjectAndClip(t);
    }
}
