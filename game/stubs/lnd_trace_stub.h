// Stand-in for the landscape's ground height and segment trace until they are built: plain scans
// over the loaded landscape's surfaces (no edge graph, no objects).
#pragma once
#include <cstdint>

#include "shell/mth.h"

// The result of a landscape trace.
struct TraceHit {
    int32_t kind;      // 1 a surface was hit, 2 a landscape object
    int32_t object;    // index of the object hit, 0 none
    int32_t surface;   // the surface hit
    float distance;    // from the segment's start to the hit point
    Vec3 point;
    int32_t hit;       // 1 when something was hit
    uint32_t unused1, unused2;
    Vec3 normal;       // unit normal of the surface hit
};

// Height of the plane of `surface` at (x, z), truncated toward zero; surface 0: the first surface
// holding the point, 0.0 when none (or no landscape).
double LND_GetGroundHeight(const Vec3* point, int32_t surface);
// 1 and the nearest surface crossed between from and to; the hint surfaces are not needed here.
int LND_TraceSegment(TraceHit* hit, int32_t startSurface, int32_t endSurface, const Vec3* from, const Vec3* to);
