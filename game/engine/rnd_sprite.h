// The renderer's camera-facing sprites: two triangles at one view depth, faded beyond the fog
// start, clipped one triangle at a time to the clip rectangle and queued on their texture.
#pragma once
#include "engine/rnd_clip.h"
#include "common/mth.h"

struct RenderTexture;

// A width x height rectangle centred on a view-space point, every corner in colour (r, g, b);
// drawn only when near + 1 <= centre z <= far - 1.
void RND_DrawSprite(RenderTexture* texture, float width, float height, const Vec3* centre, const float* colour);
// One view-space triangle of a sprite with fog on: corners beyond the fog start are faded, and a
// triangle that straddles the fog start is cut there into a near and a far part.
void RND_DrawSpriteFogged(const ClipPolygon& triangle);
// The single-triangle clip path of a projected triangle (corners 0..2 of t): top, left, right,
// bottom in turn; one corner outside gives two triangles, two outside one, three none. The
// survivors are queued like a polygon's fan.
void RND_ClipTriangleTop(const ClipPolygon& t);
