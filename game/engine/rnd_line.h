// The renderer's 3D lines: a view-space segment rejected by its end outcodes, its ends pulled in
// to the near and far planes, projected and drawn at once, untextured.
#pragma once
#include "common/mth.h"

// colourA, colourB: r, g, b of each end (0..1).
void RND_DrawLine3D(const Vec3* a, const Vec3* b, const float* colourA, const float* colourB);
