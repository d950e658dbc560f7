// Stand-in for the landscape queries: a plain scan for the surface under a point.
#include "stubs/lnd_query_stub.h"

#include "engine/lnd.h"
#include "stubs/trace.h"

namespace {

// Plan-view side of p against the edge: at most 0 on the inner side.
float Side(const Landscape* l, const LandscapeEdge& e, const Vec3& p) {
    const Vec3& a = l->vertices[e.vertex1].position;
    const Vec3& b = l->vertices[e.vertex2].position;
    return (b.z - a.z) * (p.x - a.x) - (b.x - a.x) * (p.z - a.z);
}

}  // namespace

int32_t LND_LocateSurface(int32_t start, const Vec3* point) {
    STUB_Trace("LND_LocateSurface", "%d,%g,%g", start, point ? point->x : 0.0, point ? point->z : 0.0);
    const Landscape* l = g_Landscape;
    if (!l || !point || !l->surfaces || !l->edges || !l->vertices) return 0;
    for (int s = 1; s <= l->surfaceCount; ++s) {
        bool inside = true;
        for (uint16_t e : l->surfaces[s].edges) {
            // Unchecked records may still be read here: stay inside the arrays.
            if (e > l->edgeCount || l->edges[e].vertex1 > l->vertexCount || l->edges[e].vertex2 > l->vertexCount ||
                Side(l, l->edges[e], *point) > 0.0f) {
                inside = false;
                break;
            }
        }
        if (inside) return s;
    }
    return 0;
}
