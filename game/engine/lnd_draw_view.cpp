// The per-frame view-space transform of landscape corners, the view normal of object surfaces
// and screen picking (see lnd_draw.h).
#include <cmath>

#include "engine/landscape_query.h"
#include "engine/lnd_draw.h"

uint8_t LND_TransformSurfaceVertices(uint16_t* cornerIndices, const Matrix34* m, int32_t surface) {
    Landscape* l = g_Landscape;
    const LandscapeSurface& s = l->surfaces[surface];
    uint8_t code = 0xFF;
    for (int i = 0; i < 3; ++i) {
        const uint16_t index = l->edges[s.edges[i]].vertex1;
        cornerIndices[i] = index;
        LandscapeVertex& v = l->vertices[index];
        if (v.drawStamp != g_LandscapeDrawStamp) {
            v.drawStamp = g_LandscapeDrawStamp;
            MTH_TransformPoint(&g_RelativeVertices[index], &v.position, m);
            v.outcode = RND_OutCode(&g_RelativeVertices[index]);
        }
        code &= v.outcode;
    }
    // Keyed or blended textures are never culled here. Texture 1 is not part of the rule; culling
    // it is still geometrically correct.
    if (s.material) {
        const uint16_t t = l->materials[s.material].currentTexture;
        if (t >= 2 && t <= l->textureCount && l->textures[t].mode != 0) return 0;
    }
    return code;
}

Vec3* LND_ObjectSurfaceViewNormal(const Matrix34* m, const ObjectSurface* surfaces, int32_t i, int32_t object) {
    static Vec3 result;
    Vec3 n = surfaces[i].normal;
    const Vec3& angle = g_Landscape->objects[object].angle;
    if (angle.x != 0.0f) {
        const float c = std::cos(angle.x), s = std::sin(angle.x);
        n = {n.x, n.y * c - n.z * s, n.z * c + n.y * s};
    }
    if (angle.y != 0.0f) {
        const float c = std::cos(angle.y), s = std::sin(angle.y);
        n = {n.x * c - n.z * s, n.y, n.z * c + n.x * s};
    }
    if (angle.z != 0.0f) {
        const float c = std::cos(angle.z), s = std::sin(angle.z);
        n = {n.x * c - n.y * s, n.y * c + n.x * s, n.z};
    }
    MTH_RotateVector(&result, &n, m);
    MTH_VectorNegate(&result);
    return &result;
}

int RND_PickScreenPoint(Vec3* out, float x, float y, const Matrix34* m) {
    if (!out || !m) return 0;
    Vec3 a, b;
    RND_ScreenToView(&a, x, 480.0f - y, 100.0f);
    RND_ScreenToView(&b, x, 480.0f - y, 1000.0f);
    MTH_TransformPoint(&a, &a, m);
    MTH_TransformPoint(&b, &b, m);
    const Vec3 direction{b.x - a.x, b.y - a.y, b.z - a.z};
    TraceHit hit{};
    if (!LND_TraceAllObjects(&hit, &a, &direction)) return 0;
    *out = hit.point;
    return 1;
}
