// Stand-in for the renderer's triangle batch and its plan-view heading test until they are built.
#pragma once
#include "shell/mth.h"

// Draws and empties the batch (recorded).
void RND_FlushBatch();
// 1 when point lies outside the arc of half-width `width` (at the point's distance) around the
// heading from eye, in the x-z plane; a point at the eye is inside.
int RND_IsOutsideHeadingArc(const Vec3* point, const Vec3* eye, float heading, float width);
