// The renderer's clipper: the near, far and fog-start depth clips in view space, the four screen
// edge clips with perspective-correct interpolation, and the packing of projected triangles into
// Direct3D TL vertices with the colour scale.
#pragma once
#include <cstdint>

#include "d3d.h"
#include "common/mth.h"

struct RenderTexture;

// The clipper's working polygon. Before projection the positions are view space; after it they
// hold screen x, screen y (pixels, y down) and the view z. Each clip adds at most one corner and
// no piece meets more than seven planes, so 12 corners always suffice.
constexpr int RND_CLIP_CORNERS = 12;
struct ClipPolygon {
    Vec3 position[RND_CLIP_CORNERS];
    float uv[RND_CLIP_CORNERS][2];
    float colour[RND_CLIP_CORNERS][4];  // r, g, b, a; a is carried, never interpolated
    int count;
    RenderTexture* texture;
};

// Clip state: triangles are kept from near + 1 to far - 1; the fog fades colours beyond fog start
// toward black at the far plane; the colour scale multiplies r, g, b when colours are packed.
extern float g_RndNear, g_RndFar;
extern int32_t g_RndFogEnabled;
extern float g_RndFogStart;
extern float g_RndColourScale[3];

void RND_SetClipPlanes(float nearPlane, float farPlane);
// Both return the previous value.
int RND_SetFogEnabled(int flag);
float RND_SetFogStart(float depth);
// The colour scale: r, g, b x 255 on the HAL device, their mean x 255 for all three on Ramp.
void RND_SetFogColour(const float* rgb);

// Outcode of a view-space point: 1 left of, 2 right of, 8 above, 4 below the clip rectangle on the
// screen, 0x10 beyond far - 1, 0x20 nearer than near + 1. A point at or behind the eye (z <= 0)
// cannot be projected: its x and y signs stand for the screen bits (0x21 when x < 0).
uint8_t RND_OutCode(const Vec3* point);

// Depth clips in view space (linear crossings): far keeps z <= depth, near keeps z >= depth.
void RND_ClipPolygonFar(ClipPolygon* p, float depth);
void RND_ClipPolygonNear(ClipPolygon* p, float depth);
// Fades the colour of each corner beyond the fog start with its depth: 1 at the fog start, 0 at
// the far plane; corners before the fog start keep theirs.
void RND_FadeBeyondFogStart(ClipPolygon* p);
// Screen-edge clips of a projected polygon (perspective-correct crossings).
void RND_ClipPolygonTop(ClipPolygon* p, float top);
void RND_ClipPolygonBottom(ClipPolygon* p, float bottom);
void RND_ClipPolygonLeft(ClipPolygon* p, float left);
void RND_ClipPolygonRight(ClipPolygon* p, float right);

// Twice the signed screen area of corners 0, 1, 2 with y down: negative is a back face.
float RND_ScreenWinding(const Vec3& a, const Vec3& b, const Vec3& c);
// Three projected corners of p (indices i0, i1, i2) into TL vertices, written in the order that
// makes the winding non-negative; sz and rhw from the clip near and far, colours scaled, clamped
// to 0..255 and packed 0x00RRGGBB.
void RND_MakeTLVertices(const ClipPolygon& p, int i0, int i1, int i2, D3DTLVERTEX out[3]);
// One packed colour from r, g, b with the colour scale.
uint32_t RND_PackColour(const float* rgb);
