// Synthetic landscapes for the world tests: floors and walls as pairs of triangles in the real
// landscape records, installed as the loaded map.
#include <cmath>

#include "engine/lnd.h"
#include "world_harness.h"
#include "world_harness_internal.h"

namespace {
Landscape* g_Built = nullptr;

Vec3 Normal(const Vec3& a, const Vec3& b, const Vec3& c) {
    const Vec3 u{b.x - a.x, b.y - a.y, b.z - a.z}, v{c.x - a.x, c.y - a.y, c.z - a.z};
    Vec3 n{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
    const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (length > 0.0f)
        n = Vec3{n.x / length, n.y / length, n.z / length};
    return n;
}

// Adds the triangle (a, b, c) as the next surface with its three edges and vertices.
void AddTriangle(Landscape* l, const Vec3& a, const Vec3& b, const Vec3& c) {
    const uint16_t s = ++l->surfaceCount;
    const Vec3 corners[3] = {a, b, c};
    const uint16_t firstVertex = uint16_t(l->vertexCount + 1);
    for (int i = 0; i < 3; ++i)
        l->vertices[++l->vertexCount].position = corners[i];
    for (int i = 0; i < 3; ++i) {
        const uint16_t e = ++l->edgeCount;
        l->edges[e].vertex1 = uint16_t(firstVertex + i);
        l->edges[e].vertex2 = uint16_t(firstVertex + (i + 1) % 3);
        l->edges[e].surface = s;
        l->surfaces[s].edges[i] = e;
    }
    l->surfaces[s].normal = Normal(a, b, c);
}
}  // namespace

void WH_ReleaseLandscape() {
    if (g_Landscape == g_Built) {
        g_Landscape = nullptr;
        g_MapLoaded = 0;
    }
    LND_FreeLandscape(g_Built);
    g_Built = nullptr;
}

void WH_BuildLandscape(const std::vector<WhFloor>& floors, const std::vector<WhWall>& walls) {
    WH_ReleaseLandscape();
    Landscape* l = LND_CreateLandscape();
    if (!l)
        return;
    const int triangles = int(2 * (floors.size() + walls.size()));
    l->vertexCount = uint16_t(3 * triangles);
    l->edgeCount = uint16_t(3 * triangles);
    l->surfaceCount = uint16_t(triangles);
    if (!LND_AllocateArrays(l)) {
        LND_FreeLandscape(l);
        return;
    }
    // Filled from index 1 again as the triangles are added.
    l->vertexCount = l->edgeCount = l->surfaceCount = 0;
    for (const WhFloor& f : floors) {
        // Wound so that the inside lies on the non-positive side of every edge (x1 > x0, z1 > z0).
        const Vec3 a{f.x0, f.y, f.z0}, b{f.x1, f.y, f.z0}, c{f.x1, f.y, f.z1}, d{f.x0, f.y, f.z1};
        AddTriangle(l, a, b, c);
        AddTriangle(l, a, c, d);
    }
    for (const WhWall& w : walls) {
        const Vec3 a{w.x0, w.bottom, w.z0}, b{w.x1, w.bottom, w.z1}, c{w.x1, w.top, w.z1}, d{w.x0, w.top, w.z0};
        AddTriangle(l, a, b, c);
        AddTriangle(l, a, c, d);
    }
    g_Built = l;
    g_Landscape = l;
    g_MapLoaded = 1;
    g_LandscapeQueryStamp = 1;
    g_LandscapeDrawStamp = 1;
}
