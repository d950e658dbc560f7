// Stand-in for the landscape's ground height and segment trace: every surface of the loaded
// landscape is tested in index order.
#include "stubs/lnd_trace_stub.h"

#include <cmath>

#include "engine/lnd.h"
#include "stubs/lnd_query_stub.h"

namespace {
// The three corners of a surface, false when its records lie outside the arrays.
bool Corners(const Landscape* l, int32_t s, Vec3 out[3]) {
    if (s < 1 || s > l->surfaceCount)
        return false;
    for (int i = 0; i < 3; ++i) {
        const uint16_t e = l->surfaces[s].edges[i];
        if (e < 1 || e > l->edgeCount || l->edges[e].vertex1 > l->vertexCount)
            return false;
        out[i] = l->vertices[l->edges[e].vertex1].position;
    }
    return true;
}

float Distance(const Vec3& a, const Vec3& b) {
    const float dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}
}  // namespace

double LND_GetGroundHeight(const Vec3* point, int32_t surface) {
    const Landscape* l = g_Landscape;
    if (!l || !point || !l->surfaces)
        return 0.0;
    if (surface == 0)
        surface = LND_LocateSurface(0, point);
    Vec3 c[3];
    if (!Corners(l, surface, c))
        return 0.0;
    return MTH_PlaneHeightAt(&c[0], &c[1], &c[2], point->x, point->z);
}

int LND_TraceSegment(TraceHit* hit, int32_t, int32_t, const Vec3* from, const Vec3* to) {
    const Landscape* l = g_Landscape;
    if (!hit || !from || !to || !l || !l->surfaces)
        return 0;
    const float length = Distance(*from, *to);
    int found = 0;
    float best = length;
    for (int32_t s = 1; s <= l->surfaceCount; ++s) {
        Vec3 c[3];
        Vec3 point;
        if (!Corners(l, s, c) || !MTH_SegmentCrossesTriangle(from, to, &c[0], &c[1], &c[2]) ||
            MTH_SegmentTriangleHit(&point, from, to, &c[0], &c[1], &c[2]) != 1)
            continue;
        const float d = Distance(*from, point);
        if (d > best)
            continue;
        best = d;
        found = 1;
        hit->kind = 1;
        hit->object = 0;
        hit->surface = s;
        hit->distance = d;
        hit->point = point;
        hit->hit = 1;
        hit->normal = l->surfaces[s].normal;
    }
    return found;
}
