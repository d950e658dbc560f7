// The renderer's triangle path: a view-space triangle is clipped to the near and far planes,
// split at the fog start (the far piece fading toward black), dropped when it faces away,
// projected, clipped to the clip rectangle with perspective-correct interpolation, and queued on
// its texture (or drawn at once when untextured).
#pragma once
#include <functional>

#include "engine/rnd_clip.h"
#include "common/mth.h"

struct RenderTexture;

// A triangle in view space (x right, y up, z forward distance from the eye).
struct RenderTriangle {
    Vec3 position[3];
    float uv[3][2];      // 1.0 = one texture width; the device wraps
    float colour[3][4];  // r, g, b, a; 1.0 = full intensity; a never reaches the device
    RenderTexture* texture;  // null: untextured
};

// 1 when at least one piece was queued or drawn, 0 when everything was clipped or culled.
int RND_DrawTriangle(RenderTriangle* triangle);
// Projects a view-space polygon, drops it when corners 0, 1, 2 face away, clips it to the clip
// rectangle and queues it: 1 when queued.
int RND_FinishPolygon(ClipPolygon* p);
// A fan from corner 0 of a projected polygon: untextured triangles are drawn at once, textured
// ones appended to their texture's queue (dropped when the pool has no entry).
void RND_QueuePolygon(const ClipPolygon& p);
// The Ramp device draws in grey: r, g and b become their mean.
void RND_GreyVertexColours(ClipPolygon* p);

// Test and tool seam, off by default: while set, RND_DrawTriangle hands each triangle to the hook
// instead of drawing it and returns the hook's result. An empty function removes it.
void RND_SetTriangleHook(std::function<int(const RenderTriangle& triangle)> hook);
