// Stand-in for the landscape's per-frame drawing, its clock and its visibility tests until they
// are built: nothing is drawn; each call is recorded.
#pragma once
#include <cstdint>

#include "shell/mth.h"

// Result: the number of surfaces queued (the stand-in: 0).
int LND_Draw(const Matrix34* camera, int32_t cameraSurface);
int LND_DrawObjects(const Matrix34* camera);
// The landscape clock in seconds.
void LND_SetTime(float seconds);
// The previous setting.
int LND_SetDynamicLighting(int on);
// 1 when the surface was drawn in this frame (the stand-in: the result set for the name, else 1).
int LND_IsSurfaceDrawn(int32_t surface);
// 0 when a view-space sphere lies wholly outside the view (the stand-in: the result set, else 1).
int LND_IsSphereVisible(const Vec3* centre, float radius);
