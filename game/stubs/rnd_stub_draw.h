// Stand-in for the renderer's triangle pipeline until it is built: the view-space triangle record,
// keyed texture loading and texture flag words. Nothing is
// drawn; a hook may watch every triangle queued.
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
// Loads a texture drawn with its colour key (flag value 1).
RenderTexture* RND_LoadTextureKeyed(const char* fileName);
// Sets a texture's flag word; the previous one (0 for null, which is not changed).
uint32_t RND_SetTextureFlags(RenderTexture* texture, uint32_t flags);
// The flag word the stand-in keeps for a texture (0 for null or unknown).
uint32_t RND_StubTextureFlags(const RenderTexture* texture);

// Test and tool seam: called with each triangle handed to RND_DrawTriangle; an empty function
// removes it.
void RND_StubSetTriangleHook(std::function<int(const RenderTriangle& triangle)> hook);
