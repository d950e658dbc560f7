// The renderer's projection: view space (x right, y up, z forward distance from the eye) to screen
// pixels and back, the plan-view heading arc test, and the landscape's kept view projection.
#pragma once
#include <cstdint>

#include "common/mth.h"

// Projection state: near and far distances, the field-of-view angles (centre to edge, radians)
// and the pixels per unit of x / z and y / z.
extern float g_RndProjectionNear, g_RndProjectionFar;
extern float g_RndHorizontalAngle, g_RndVerticalAngle;
extern float g_RndFactorX, g_RndFactorY;

// Keeps near, far and both angles (spare is ignored), computes both factors for the integer half
// sizes of the current mode and hands near and far to the clipper. Returns 1.
int RND_SetProjection(float nearPlane, float farPlane, float spare, float horizontalAngle, float verticalAngle);
// The factors for the given half sizes from the kept far and angles:
// half x far / (half + far x tan(angle)).
void RND_SetProjectionFactors(float halfWidth, float halfHeight);
// Keeps near and far and hands them to the clipper; the factors stay.
void RND_SetNearFar(float nearPlane, float farPlane);
// Screen x, y (pixels, y down) and the view z of p: 1, or 0 with out untouched when no display mode
// is set yet or p.z is 0.
int RND_ProjectPoint(Vec3* out, const Vec3* p);
// Design-space (640 x 480) x, y at the given view depth into view space; y is not flipped (callers
// pass 480 - y).
void RND_ScreenToView(Vec3* out, float x, float y, float depth);
// 1 when point lies outside the arc of half-width `width` (at the point's distance) around the
// heading from eye, in the x-z plane; a point at the eye is inside.
int RND_IsOutsideHeadingArc(const Vec3* point, const Vec3* eye, float heading, float width);

// The landscape's own near, far and angles (kept for LND_ResetView).
extern float g_LndViewNear, g_LndViewFar, g_LndViewHorizontalAngle, g_LndViewVerticalAngle;
// Keeps near, far and both angles for the landscape, then RND_SetProjection with the same values.
void LND_SetViewProjection(float nearPlane, float farPlane, float spare, float horizontalAngle, float verticalAngle);
// Display start-up reset: the landscape's near and far back to the renderer, and the device's
// additive-blend capability kept for the landscape's drawing.
void LND_ResetView();
