// The set-up of a landscape object after a text map is read (see lnd_material.h): object surface
// normals, extents and radii, the surface under the origin, and the registration of the object
// on every surface it overlaps (or on border surfaces, or the always-drawn list).
#include <cmath>

#include "engine/landscape_query.h"
#include "engine/lnd_material.h"

namespace {

Vec3 Add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

const Vec3& Corner(const Landscape* l, int32_t s, int i) {
    return l->vertices[l->edges[l->surfaces[s].edges[i]].vertex1].position;
}

// Lists the object on a surface unless it is there already or the list is full.
void Register(int32_t surface, int32_t object) {
    if (surface < 1 || surface > g_Landscape->surfaceCount) return;
    LandscapeSurface& s = g_Landscape->surfaces[surface];
    for (int k = 0; k < s.objectCount; ++k)
        if (s.objectList[k] == object) return;
    if (s.objectCount < LND_SURFACE_OBJECTS_MAX) s.objectList[s.objectCount++] = uint16_t(object);
}

bool Contains(int32_t s, const Vec3& p) {
    for (uint16_t e : g_Landscape->surfaces[s].edges)
        if (LND_EdgeSide(e, &p) > 0.0f) return false;
    return true;
}

// The next surface after `after` holding p, under a new query stamp; 0 when none.
int32_t NextContaining(int32_t after, const Vec3& p) {
    ++g_LandscapeQueryStamp;
    for (int32_t s = after + 1; s <= g_Landscape->surfaceCount; ++s)
        if (Contains(s, p)) return s;
    return 0;
}

void ObjectNormals(LandscapeObject& o) {
    for (int32_t k = 0; k < o.surfaceCount; ++k) {
        ObjectSurface& s = o.objectSurfaces[k];
        s.flags &= ~1u;
        s.hasNormal = 1;
        const Vec3& p0 = o.vertices[s.vrefs[2]];
        const Vec3& p1 = o.vertices[s.vrefs[1]];
        const Vec3& p2 = o.vertices[s.vrefs[0]];
        const float corners[9] = {p0.x, p0.y, p0.z, p1.x, p1.y, p1.z, p2.x, p2.y, p2.z};
        LND_TriangleNormal(&s.normal, corners);
        for (int c = 0; c < 3; ++c) s.cornerRed[c] = s.cornerGreen[c] = s.cornerBlue[c] = 1.0f;
    }
}

void Extents(LandscapeObject& o) {
    o.extent = {0.0f, 0.0f, 0.0f};
    o.radius = o.planRadius = 0.0f;
    float lowest = 0.0f, highest = 0.0f;
    for (int32_t i = 0; i < o.vertexCount; ++i) {
        const Vec3& v = o.vertices[i];
        o.extent.x = std::fmax(o.extent.x, std::fabs(v.x));
        o.extent.y = std::fmax(o.extent.y, std::fabs(v.y));
        o.extent.z = std::fmax(o.extent.z, std::fabs(v.z));
        o.radius = std::fmax(o.radius, std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z));
        o.planRadius = std::fmax(o.planRadius, std::sqrt(v.x * v.x + v.z * v.z));
        if (i == 0 || v.y < lowest) lowest = v.y;
        if (i == 0 || v.y > highest) highest = v.y;
    }
    o.depth = -lowest;
    o.height = highest;
}

void RegisterStatic(int32_t index, LandscapeObject& o, const Vec3& p) {
    for (int32_t s = o.surface; s; s = NextContaining(s, p)) {
        Register(s, index);
        for (int32_t i = 0; i < o.vertexCount; ++i) {
            const Vec3 v = Add(p, o.vertices[i]);
            Register(LND_LocateSurface(s, &v), index);
        }
    }
    if (!g_LocateList) return;
    for (int32_t k = 0; k < o.surfaceCount; ++k) {
        const ObjectSurface& os = o.objectSurfaces[k];
        for (int side = 0; side < 3; ++side) {
            const Vec3 a = Add(p, o.vertices[os.vrefs[side]]);
            const Vec3 b = Add(p, o.vertices[os.vrefs[(side + 1) % 3]]);
            const int32_t sa = LND_LocateSurface(o.surface, &a);
            const int32_t sb = LND_LocateSurface(o.surface, &b);
            if (!sa || !sb) continue;
            const int32_t count = LND_WalkSegment(nullptr, g_LocateList, sa, sb, &a, &b);
            for (int32_t i = 0; i < count; ++i) Register(g_LocateList[i], index);
        }
    }
}

}  // namespace

int32_t LND_SetUpObject(int32_t index) {
    Landscape* l = g_Landscape;
    if (!l || !l->objects || index < 1 || index > l->objectCount) return 0;
    LandscapeObject& o = l->objects[index];
    ObjectNormals(o);
    Extents(o);
    o.flags |= 1u;
    const Vec3 p = l->vertices[o.positionRef].position;
    o.surface = LND_FindSurfaceByScan(&p);
    if (o.spinMode == 0) {
        RegisterStatic(index, o, p);
    } else if (g_LocateList) {
        // A turning object may sweep anything within its radius.
        const float step = 0.16666667f * 3.14159265359f;
        Vec3 ring[12];
        for (int k = 0; k < 12; ++k)
            ring[k] = {p.x + o.radius * std::sin(float(k) * step), 0.0f, p.z + o.radius * std::cos(float(k) * step)};
        const int32_t count = LND_SurfacesInPolygon(g_LocateList, 12, ring);
        for (int32_t i = 0; i < count; ++i) Register(g_LocateList[i], index);
    }
    if (!o.surface) {
        bool listed = false;
        for (int32_t s = 1; s <= l->surfaceCount; ++s) {
            bool border = false;
            for (uint16_t e : l->surfaces[s].edges) border = border || l->edges[e].otherEdge == 0;
            if (!border) continue;
            bool near = false;
            for (int i = 0; i < 3 && !near; ++i) {
                const Vec3& c = Corner(l, s, i);
                const float dx = c.x - p.x, dy = c.y - p.y, dz = c.z - p.z;
                near = std::sqrt(dx * dx + dy * dy + dz * dz) <= o.radius;
            }
            if (near) {
                Register(s, index);
                listed = true;
            }
        }
        if (!listed && g_RenderObjects && g_RenderObjectCount < l->objectCount)
            g_RenderObjects[g_RenderObjectCount++] = index;
    }
    o.active = 1;
    return l->objectCount;
}
