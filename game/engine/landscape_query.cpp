// The landscape queries (see landscape_query.h): surface location by the edge graph, ground
// heights, ray casts, the segment traces against surfaces and objects, and plan-view overlap.
// Indices in the records were checked at load, so the queries trust them.
#include "engine/landscape_query.h"

#include <cmath>
#include <vector>

#include "engine/lnd.h"

int32_t g_ObjectsDrawn = 0;
int32_t g_LocateCount = 0;

namespace {

// Scratch kept from query to query and grown with the map: the two rings of the surface search,
// the explicit stack of the flood trace and the marks of the polygon query.
std::vector<int32_t> g_RingA, g_RingB, g_FloodStack;
std::vector<uint32_t> g_PolygonMark;
uint32_t g_PolygonStamp = 0;

Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float Length2(const Vec3& v) { return Dot(v, v); }
Vec3 Unit(const Vec3& v) {
    const float length = std::sqrt(Length2(v));
    if (!(length > 0.0f) || !std::isfinite(length)) return {0.0f, 0.0f, 0.0f};
    return {v.x / length, v.y / length, v.z / length};
}

bool Loaded() { return g_Landscape && g_Landscape->surfaces && g_Landscape->edges && g_Landscape->vertices; }

const Vec3& Corner(const Landscape* l, int32_t s, int i) {
    return l->vertices[l->edges[l->surfaces[s].edges[i]].vertex1].position;
}

bool ContainsUnderStamp(int32_t s, const Vec3* p) {
    for (uint16_t e : g_Landscape->surfaces[s].edges)
        if (LND_EdgeSide(e, p) > 0.0f) return false;
    return true;
}

// Neighbour across an edge: the twin's surface, 0 when none or not a surface number.
int32_t Across(const Landscape* l, uint16_t edge) {
    const uint16_t twin = l->edges[edge].otherEdge;
    if (!twin) return 0;
    const int32_t s = l->edges[twin].surface;
    return (s >= 1 && s <= l->surfaceCount) ? s : 0;
}

// The ray of the segment from a to b through the triangle, at t > 0; point in out.
bool RayHits(Vec3* out, const Vec3* a, const Vec3* b, const Vec3& p0, const Vec3& p1, const Vec3& p2) {
    return MTH_SegmentCrossesTriangle(a, b, &p0, &p1, &p2) && MTH_SegmentTriangleHit(out, a, b, &p0, &p1, &p2) == 1;
}

int SignOf(float v) {
    // Truncated to an integer first, as the flood's relevance test does.
    const long long t = (v >= 9.0e18f || v <= -9.0e18f) ? (v > 0 ? 1 : -1) : static_cast<long long>(v);
    return t < 0 ? -1 : 1;
}

void GrowScratch(size_t n) {
    if (g_RingA.size() < n) g_RingA.resize(n);
    if (g_RingB.size() < n) g_RingB.resize(n);
}

int TraceSegmentWith(TraceHit* hit, int32_t startSurface, int32_t endSurface, const Vec3* from, const Vec3* to,
                     bool solidOnly) {
    if (!hit || !from || !to || !Loaded() || !g_LocateList) return 0;
    Landscape* l = g_Landscape;
    const Vec3 d = Sub(*to, *from);
    const float length = std::sqrt(Length2(d));
    // A zero-length segment has no plan direction: the prefilter then sees every object.
    float ux = 0.0f, uz = 0.0f;
    if (length > 0.0f) {
        ux = d.x / length;
        uz = d.z / length;
    }
    hit->object = 0;
    const int32_t s0 = LND_LocateSurface(startSurface, from);
    hit->surface = 0;
    hit->hit = 0;
    hit->distance = 1.0e12f;
    g_LocateCount = LND_WalkSegment(hit, g_LocateList, s0, endSurface, from, to);
    const int recorded = hit->hit;
    hit->hit = 0;
    int result = 0;
    if (g_LocateCount > 0 && recorded && hit->surface && Length2(d) >= hit->distance) {
        hit->normal = l->surfaces[hit->surface].normal;
        hit->hit = 1;
        hit->distance = std::sqrt(hit->distance);
        result = 1;
    }
    const uint32_t stamp = ++g_LandscapeQueryStamp;
    for (int32_t i = 0; i < g_LocateCount; ++i) {
        const LandscapeSurface& s = l->surfaces[g_LocateList[i]];
        for (int k = 0; k < s.objectCount; ++k) {
            const int32_t o = s.objectList[k];
            if (o < 1 || o > l->objectCount) continue;
            LandscapeObject& obj = l->objects[o];
            if ((solidOnly && obj.collisionMode == 0) || obj.active == 0 || obj.queryStamp == stamp) continue;
            obj.queryStamp = stamp;
            const Vec3& origin = l->vertices[obj.positionRef].position;
            if ((origin.x - from->x) * uz - (origin.z - from->z) * ux > obj.planRadius) continue;
            if (LND_TraceObject(o, hit, from, &d)) result = 1;
        }
    }
    if (result) hit->kind = hit->object ? 2 : 1;
    return result;
}

}  // namespace

float LND_EdgeSide(int32_t edge, const Vec3* p) {
    LandscapeEdge* edges = g_Landscape->edges;
    LandscapeEdge& e = edges[edge];
    if (e.queryStamp == g_LandscapeQueryStamp) return e.sideValue;
    const Vec3& a = g_Landscape->vertices[e.vertex1].position;
    const Vec3& b = g_Landscape->vertices[e.vertex2].position;
    const float side = (b.z - a.z) * (p->x - a.x) - (b.x - a.x) * (p->z - a.z);
    e.queryStamp = g_LandscapeQueryStamp;
    e.sideValue = side;
    if (e.otherEdge) {
        edges[e.otherEdge].queryStamp = g_LandscapeQueryStamp;
        edges[e.otherEdge].sideValue = -side;
    }
    return side;
}

int32_t LND_FindSurfaceByScan(const Vec3* point) {
    if (!point || !Loaded()) return 0;
    ++g_LandscapeQueryStamp;
    for (int32_t s = 1; s <= g_Landscape->surfaceCount; ++s)
        if (ContainsUnderStamp(s, point)) return s;
    return 0;
}

int32_t LND_LocateSurface(int32_t start, const Vec3* point) {
    if (!point || !Loaded()) return 0;
    Landscape* l = g_Landscape;
    if (start == 0) return LND_FindSurfaceByScan(point);
    const uint32_t stamp = ++g_LandscapeQueryStamp;
    if (start < 1 || start > l->surfaceCount) start = l->surfaceCount / 2;
    if (start < 1) return 0;
    if (ContainsUnderStamp(start, point)) return start;
    GrowScratch(size_t(l->surfaceCount) + 1);
    int32_t* current = g_RingA.data();
    int32_t* next = g_RingB.data();
    int32_t currentCount = 1, nextCount = 0;
    current[0] = start;
    for (;;) {
        for (int32_t r = 0; r < currentCount; ++r) {
            const int32_t s = current[r];
            int inside = 0;
            for (uint16_t e : l->surfaces[s].edges) {
                if (LND_EdgeSide(e, point) <= 0.0f) {
                    ++inside;
                    continue;
                }
                const int32_t n = Across(l, e);
                if (n && l->surfaces[n].queryStamp != stamp && nextCount <= l->surfaceCount) {
                    next[nextCount++] = n;
                    l->surfaces[n].queryStamp = stamp;
                }
            }
            if (inside == 3) return s;
        }
        if (nextCount == 0) return 0;
        std::swap(current, next);
        currentCount = nextCount;
        nextCount = 0;
    }
}

double LND_GetGroundHeight(const Vec3* point, int32_t surface) {
    if (!point || !Loaded()) return 0.0;
    const Landscape* l = g_Landscape;
    // A surface that is not a surface number is searched for like 0.
    if (surface < 1 || surface > l->surfaceCount) {
        surface = LND_FindSurfaceByScan(point);
        if (!surface) return 0.0;
    }
    return MTH_PlaneHeightAt(&Corner(l, surface, 0), &Corner(l, surface, 1), &Corner(l, surface, 2), point->x,
                             point->z);
}

void LND_GetSurfaceCentre(Vec3* out, int32_t surface) {
    if (!out || !Loaded() || surface < 1 || surface > g_Landscape->surfaceCount) return;
    const Vec3& p0 = Corner(g_Landscape, surface, 0);
    const Vec3& p1 = Corner(g_Landscape, surface, 1);
    const Vec3& p2 = Corner(g_Landscape, surface, 2);
    Vec3 c{(p0.x + p1.x) / 2.0f, (p0.y + p1.y) / 2.0f, (p0.z + p1.z) / 2.0f};
    *out = Vec3{(c.x + p2.x) / 2.0f, (c.y + p2.y) / 2.0f, (c.z + p2.z) / 2.0f};
}

float LND_GetPointsRadius(const Vec3* points, int32_t count) {
    float best = 0.0f;
    if (!points) return 0.0f;
    for (int32_t i = 0; i < count; ++i) best = std::fmax(best, std::sqrt(Length2(points[i])));
    return best;
}

void LND_TriangleNormal(Vec3* out, const float* c) {
    const Vec3 p0{c[0], c[1], c[2]}, p1{c[3], c[4], c[5]}, p2{c[6], c[7], c[8]};
    *out = Unit(Cross(Sub(p1, p0), Sub(p2, p0)));
}

void LND_TriangleNormalOf(Vec3* out, const Vec3* a, const Vec3* b, const Vec3* c) {
    *out = Unit(Cross(Sub(*a, *b), Sub(*c, *b)));
}

int LND_IsTriangleFacing(const Vec3* direction, const Vec3* p0, const Vec3* p1, const Vec3* p2) {
    return Dot(Cross(Sub(*p0, *p1), Sub(*p2, *p1)), *direction) < 0.0f ? 1 : 0;
}

int LND_CastRay(TraceHit* hit, const Vec3* from, const Vec3* direction) {
    if (!hit || !from || !direction) return 0;
    hit->surface = 0;
    hit->hit = 0;
    hit->distance = 1.0e12f;
    if (!Loaded()) return 0;
    const Landscape* l = g_Landscape;
    const Vec3 end{from->x + direction->x, from->y + direction->y, from->z + direction->z};
    for (int32_t s = 1; s <= l->surfaceCount; ++s) {
        const Vec3 &p0 = Corner(l, s, 0), &p1 = Corner(l, s, 1), &p2 = Corner(l, s, 2);
        Vec3 point;
        if (!LND_IsTriangleFacing(direction, &p0, &p1, &p2) || !RayHits(&point, from, &end, p0, p1, p2)) continue;
        const float d2 = Length2(Sub(point, *from));
        if (d2 < hit->distance) {
            hit->surface = s;
            hit->distance = d2;
            hit->point = point;
            hit->hit = 1;
        }
    }
    return hit->surface ? 1 : 0;
}

int LND_TraceAllObjects(TraceHit* hit, const Vec3* from, const Vec3* direction) {
    if (!hit || !from || !direction) return 0;
    LND_CastRay(hit, from, direction);
    if (hit->hit) {
        hit->distance = std::sqrt(hit->distance);
        hit->normal = g_Landscape->surfaces[hit->surface].normal;
    }
    hit->object = 0;
    if (g_ObjectsDrawn == 1 && Loaded())
        for (int32_t o = 1; o <= g_Landscape->objectCount; ++o) LND_TraceObject(o, hit, from, direction);
    if (!hit->hit) return 0;
    hit->kind = hit->object ? 2 : 1;
    return 1;
}

int LND_TraceObject(int32_t object, TraceHit* hit, const Vec3* from, const Vec3* direction) {
    if (!hit || !from || !direction || !Loaded() || object < 1 || object > g_Landscape->objectCount) return 0;
    const Landscape* l = g_Landscape;
    const LandscapeObject& o = l->objects[object];
    const Vec3& origin = l->vertices[o.positionRef].position;
    const Vec3 end{from->x + direction->x, from->y + direction->y, from->z + direction->z};
    const float reach = std::sqrt(Length2(*direction));
    auto place = [&](int32_t v) {
        const Vec3 r = (o.spinMode & 1) ? MTH_RotateEulerXYZ(o.vertices[v], o.angle) : o.vertices[v];
        return Vec3{r.x + origin.x, r.y + origin.y, r.z + origin.z};
    };
    for (int32_t k = 0; k < o.surfaceCount; ++k) {
        const ObjectSurface& os = o.objectSurfaces[k];
        const Vec3 p0 = place(os.vrefs[0]), p1 = place(os.vrefs[1]), p2 = place(os.vrefs[2]);
        if (Dot(Cross(Sub(p1, *from), Sub(p0, p1)), Sub(p2, p1)) > 0.0f) continue;
        Vec3 point;
        if (!RayHits(&point, from, &end, p0, p1, p2)) continue;
        const float d = std::sqrt(Length2(Sub(point, *from)));
        if (d < hit->distance && d <= reach) {
            hit->distance = d;
            hit->object = object;
            hit->surface = k;
            hit->normal = os.normal;
            hit->hit = 1;
            hit->point = point;
        }
    }
    if (!hit->object) return 0;
    hit->kind = 2;
    return 1;
}

int LND_TraceSegmentLandscape(TraceHit* hit, int32_t startSurface, int32_t endSurface, const Vec3* from,
                              const Vec3* to) {
    if (!hit || !from || !to || !Loaded() || !g_LocateList) return 0;
    Landscape* l = g_Landscape;
    g_LocateCount = 0;
    hit->surface = hit->object = hit->hit = 0;
    hit->distance = 1.0e6f;
    const int32_t sA = LND_LocateSurface(startSurface, from);
    const int32_t sB = LND_LocateSurface(endSurface, to);
    if (!sA || !sB) return 0;
    // The flood marks surfaces under a stamp of its own, taken after both locates so that their
    // marks and cached sides do not count as visited.
    const uint32_t stamp = ++g_LandscapeQueryStamp;
    const Vec3 direction = Sub(*to, *from);
    const float l2 = Length2(direction);
    auto relevant = [&](int32_t s) {
        if (s == sA) return true;
        for (uint16_t e : l->surfaces[s].edges) {
            const Vec3& v1 = l->vertices[l->edges[e].vertex1].position;
            const Vec3& v2 = l->vertices[l->edges[e].vertex2].position;
            const float s1 = (from->x - v1.x) * (v2.z - v1.z) - (from->z - v1.z) * (v2.x - v1.x);
            const float s2 = (to->x - v1.x) * (v2.z - v1.z) - (to->z - v1.z) * (v2.x - v1.x);
            if (SignOf(s1) * SignOf(s2) < 0) return true;
        }
        bool inside = true;
        for (uint16_t e : l->surfaces[s].edges) {
            const Vec3& a = l->vertices[l->edges[e].vertex1].position;
            const Vec3& b = l->vertices[l->edges[e].vertex2].position;
            if ((b.z - a.z) * (from->x - a.x) - (b.x - a.x) * (from->z - a.z) > 0.0f) inside = false;
        }
        if (inside) return true;
        for (int i = 0; i < 3; ++i)
            if (Length2(Sub(Corner(l, s, i), *from)) <= l2) return true;
        return false;
    };
    // Depth first in edge order 0, 1, 2: neighbours go on the stack in reverse order and are
    // checked when taken, which visits them as a recursion would.
    if (g_FloodStack.size() < size_t(l->surfaceCount) * 3 + 1) g_FloodStack.resize(size_t(l->surfaceCount) * 3 + 1);
    size_t top = 0;
    g_FloodStack[top++] = sA;
    while (top > 0) {
        const int32_t s = g_FloodStack[--top];
        LandscapeSurface& surface = l->surfaces[s];
        if (surface.queryStamp == stamp || !relevant(s)) continue;
        surface.queryStamp = stamp;
        g_LocateList[g_LocateCount++] = s;
        Vec3 point;
        if (RayHits(&point, from, to, Corner(l, s, 0), Corner(l, s, 1), Corner(l, s, 2))) {
            const float d = std::sqrt(Length2(Sub(point, *from)));
            if (d < hit->distance && d * d <= l2) {
                hit->distance = d;
                hit->surface = s;
                hit->hit = 1;
                hit->point = point;
                hit->normal = surface.normal;
            }
        }
        for (int i = 2; i >= 0; --i) {
            const int32_t n = Across(l, surface.edges[i]);
            if (n && l->surfaces[n].queryStamp != stamp) g_FloodStack[top++] = n;
        }
    }
    if (!hit->surface) return 0;
    hit->kind = 1;
    return 1;
}

int LND_WalkSegment(TraceHit* hit, int32_t* list, int32_t startSurface, int32_t, const Vec3* from, const Vec3* to) {
    if (!list || !from || !to || !Loaded() || startSurface < 1 || startSurface > g_Landscape->surfaceCount) return 0;
    const Landscape* l = g_Landscape;
    list[0] = startSurface;
    int32_t count = 1;
    int32_t current = startSurface;
    int32_t entry = 0;
    auto record = [&](int32_t s) {
        Vec3 point;
        if (!RayHits(&point, from, to, Corner(l, s, 0), Corner(l, s, 1), Corner(l, s, 2))) return false;
        hit->surface = s;
        hit->distance = Length2(Sub(point, *from));
        hit->point = point;
        hit->hit = 1;
        return true;
    };
    if (hit && record(current)) return 1;
    auto side = [&](const Vec3& v) { return (v.x - from->x) * (to->z - from->z) - (to->x - from->x) * (v.z - from->z); };
    while (l->surfaceCount > 1 && count < l->surfaceCount) {
        int32_t crossing = 0;
        for (uint16_t e : l->surfaces[current].edges) {
            if (e == entry) continue;
            const LandscapeEdge& edge = l->edges[e];
            if (side(l->vertices[edge.vertex1].position) >= 0.0f && side(l->vertices[edge.vertex2].position) <= 0.0f) {
                crossing = e;
                break;
            }
        }
        if (!crossing) return count;
        entry = l->edges[crossing].otherEdge;
        if (!entry) return count;
        current = l->edges[entry].surface;
        if (current < 1 || current > l->surfaceCount) return count;
        if (list[count - 1] != current) list[count++] = current;
        if (hit && record(current)) return count;
        const LandscapeEdge& in = l->edges[entry];
        const Vec3& a = l->vertices[in.vertex1].position;
        const Vec3& b = l->vertices[in.vertex2].position;
        if ((b.z - a.z) * (to->x - a.x) - (b.x - a.x) * (to->z - a.z) >= 0.0f) return count;
    }
    return count;
}

int LND_TraceSegment(TraceHit* hit, int32_t startSurface, int32_t endSurface, const Vec3* from, const Vec3* to) {
    return TraceSegmentWith(hit, startSurface, endSurface, from, to, true);
}

int LND_TraceSegmentAnyObject(TraceHit* hit, int32_t startSurface, int32_t endSurface, const Vec3* from,
                              const Vec3* to) {
    return TraceSegmentWith(hit, startSurface, endSurface, from, to, false);
}

int32_t LND_SurfacesInPolygon(int32_t* list, int32_t n, const Vec3* points) {
    if (!list || !points || n < 1 || !Loaded()) return 0;
    const Landscape* l = g_Landscape;
    if (g_PolygonMark.size() < size_t(l->surfaceCount) + 1) g_PolygonMark.assign(size_t(l->surfaceCount) + 1, 0);
    const uint32_t mark = ++g_PolygonStamp;
    int32_t count = 0;
    auto add = [&](int32_t s) {
        if (g_PolygonMark[s] == mark) return;
        g_PolygonMark[s] = mark;
        list[count++] = s;
    };
    // Each point under a stamp of its own: the cached side values hold for one point only.
    for (int32_t k = 0; k < n; ++k) {
        ++g_LandscapeQueryStamp;
        for (int32_t s = 1; s <= l->surfaceCount; ++s)
            if (ContainsUnderStamp(s, &points[k])) add(s);
    }
    auto insidePolygon = [&](const Vec3& v) {
        for (int32_t k = 0; k < n; ++k) {
            const Vec3& a = points[k];
            const Vec3& b = points[(k + 1) % n];
            if ((b.z - a.z) * (v.x - a.x) - (b.x - a.x) * (v.z - a.z) < 0.0f) return false;
        }
        return true;
    };
    // A polygon without area in plan view (a spot light shining straight down makes one) holds
    // no corner; the side test alone would find every corner of the map on all its sides.
    float area = 0.0f;
    for (int32_t k = 0; k < n; ++k) {
        const Vec3& a = points[k];
        const Vec3& b = points[(k + 1) % n];
        area += a.x * b.z - b.x * a.z;
    }
    for (int32_t s = 1; s <= l->surfaceCount && area != 0.0f; ++s)
        for (int i = 0; i < 3; ++i)
            if (insidePolygon(Corner(l, s, i))) {
                add(s);
                break;
            }
    for (int32_t s = 1; s <= l->surfaceCount; ++s) {
        bool crosses = false;
        for (int i = 0; i < 3 && !crosses; ++i) {
            const LandscapeEdge& e = l->edges[l->surfaces[s].edges[i]];
            const Vec3& v1 = l->vertices[e.vertex1].position;
            const Vec3& v2 = l->vertices[e.vertex2].position;
            for (int32_t k = 0; k < n && !crosses; ++k)
                crosses = LND_SegmentsCrossInPlan(&v1, &v2, &points[k], &points[(k + 1) % n]) != 0;
        }
        if (crosses) add(s);
    }
    return count;
}

int LND_SegmentsCrossInPlan(const Vec3* a, const Vec3* b, const Vec3* c, const Vec3* d) {
    const bool abVertical = a->x == b->x, cdVertical = c->x == d->x;
    if (abVertical && cdVertical) return 0;
    auto within = [](float v, float p, float q) { return v >= std::fmin(p, q) && v <= std::fmax(p, q); };
    auto strictly = [](float v, float p, float q) { return v > std::fmin(p, q) && v < std::fmax(p, q); };
    if (abVertical || cdVertical) {
        const Vec3 *v0 = abVertical ? a : c, *v1 = abVertical ? b : d;
        const Vec3 *o0 = abVertical ? c : a, *o1 = abVertical ? d : b;
        const float x = v0->x;
        const float m = (o1->z - o0->z) / (o1->x - o0->x);
        const float z = o0->z + m * (x - o0->x);
        return (strictly(z, v0->z, v1->z) && strictly(z, o0->z, o1->z) && within(x, o0->x, o1->x)) ? 1 : 0;
    }
    const float m1 = (b->z - a->z) / (b->x - a->x);
    const float m2 = (d->z - c->z) / (d->x - c->x);
    if (m1 == m2) return 0;
    // z = a.z + m1 (x - a.x) = c.z + m2 (x - c.x)
    const float x = (c->z - a->z + m1 * a->x - m2 * c->x) / (m1 - m2);
    const float z = a->z + m1 * (x - a->x);
    return (within(x, a->x, b->x) && within(x, c->x, d->x) && within(z, a->z, b->z) && within(z, c->z, d->z)) ? 1 : 0;
}
