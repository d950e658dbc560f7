// Stand-in for the renderer's triangle pipeline until it is built: the view-space triangle record.
// Nothing is drawn; a hook may watch every triangle queued.
#pragma once
#include <cstdint>
#include <functional>

#include "engine/rnd_clip.h"
#include "engine/rnd_projection.h"
#include "shell/mth.h"

struct RenderTexture;

// A triangle in view space (x right, y up, z forward distance from the eye).
struct RenderTriangle {
    Vec3 position[3];
    float uv[3][2];
    float colour[3][4];  // r, g, b, a; 1.0 = full intensity
    RenderTexture* texture;
};

// Queues a triangle. The stand-in hands it to the hook (when set) and returns the hook's result,
// else 1 when the triangle is not wholly behind the near plane.
int RND_DrawTriangle(RenderTriangle* triangle);

// Test and tool seam: called with each triangle handed to RND_DrawTriangle; an empty function
// removes it.
void RND_StubSetTriangleHook(std::function<int(const RenderTriangle& triangle)> hook);
