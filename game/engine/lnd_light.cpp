// Static lighting and per-frame lights (see lnd_light.h). Colour slot k of a surface holds the
// light of corner 2 - k for the lights whose result depends on the position; the drawing code
// pairs slots and corners in that order.
#include "engine/lnd_light.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/landscape_query.h"

LandscapeLight g_ViewLights[LND_LIGHTS_MAX + 1];
int32_t g_DynamicLighting = 0;
float g_AmbientFloor[4] = {0.1f, 0.1f, 0.1f, 0.0f};

namespace {
float g_PreviousFloor[4];
void (*g_LightTrace)(const char*) = nullptr;

Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float Length(const Vec3& v) { return std::sqrt(Dot(v, v)); }

// range = |direction|, unitDirection = direction / range; a light without direction keeps a zero
// unit direction instead of dividing by zero.
void PrepareLight(LandscapeLight& light) {
    light.range = Length(light.direction);
    if (light.range > 0.0f && std::isfinite(light.range))
        light.unitDirection = {light.direction.x / light.range, light.direction.y / light.range,
                               light.direction.z / light.range};
    else
        light.unitDirection = {0.0f, 0.0f, 0.0f};
}

Vec3 UnitFrom(const Vec3& from, const Vec3& to) {
    const Vec3 d = Sub(to, from);
    const float length = Length(d);
    if (!(length > 0.0f)) return {0.0f, 0.0f, 0.0f};
    return {d.x / length, d.y / length, d.z / length};
}

void AddColour(const LandscapeLight& light, float f, float* r, float* g, float* b) {
    *r += light.colour[0] * f;
    *g += light.colour[1] * f;
    *b += light.colour[2] * f;
}

void Clamp(float* r, float* g, float* b) {
    for (int k = 0; k < 3; ++k) {
        r[k] = std::clamp(r[k], 0.0f, 1.0f);
        g[k] = std::clamp(g[k], 0.0f, 1.0f);
        b[k] = std::clamp(b[k], 0.0f, 1.0f);
    }
}

void AddLight(LandscapeSurface& s, uint8_t light) {
    for (int k = 0; k < s.lightCount; ++k)
        if (s.lightList[k] == light) return;
    if (s.lightCount < LND_LIGHTS_MAX) s.lightList[s.lightCount++] = light;
}

const Vec3& Corner(const Landscape* l, int32_t s, int i) {
    return l->vertices[l->edges[l->surfaces[s].edges[i]].vertex1].position;
}
}  // namespace

void LND_AddPointLight(const LandscapeLight* light, const Vec3* t, const Vec3* p, float* r, float* g, float* b) {
    const float dist = Length(Sub(*p, light->position));
    if (!(dist < light->coneAngle)) return;
    const Vec3& lp = light->position;
    if (Dot(Cross(Sub(t[1], lp), Sub(t[0], t[1])), Sub(t[2], t[1])) > 0.0f) return;
    AddColour(*light, (light->coneAngle - dist) / light->coneAngle, r, g, b);
}

void LND_LightSurface(int32_t index) {
    Landscape* l = g_Landscape;
    if (!l || index < 1 || index > l->surfaceCount) return;
    LandscapeSurface& s = l->surfaces[index];
    if (s.material == 0) return;
    const int32_t lmode = l->materials[s.material].lmode;
    float* red = s.cornerRed;
    float* green = s.cornerGreen;
    float* blue = s.cornerBlue;
    for (int k = 0; k < 3; ++k) red[k] = green[k] = blue[k] = 0.0f;
    const Vec3 corners[3] = {Corner(l, index, 0), Corner(l, index, 1), Corner(l, index, 2)};
    const Vec3& n = s.normal;
    for (int i = 1; i <= l->lightCount; ++i) {
        LandscapeLight& light = l->lights[i];
        PrepareLight(light);
        switch (light.type) {
        case 1:
            for (int k = 0; k < 3; ++k) {
                if (lmode == 0) {
                    red[k] = green[k] = blue[k] = 1.0f;
                    continue;
                }
                const float f = -Dot(light.unitDirection, n);
                if (f > 0.0f) AddColour(light, f, &red[k], &green[k], &blue[k]);
            }
            break;
        case 2:
            for (int c = 0; c < 3; ++c) {
                const Vec3 dn = UnitFrom(light.position, corners[c]);
                const float f = -Dot(light.unitDirection, n);
                if (std::cos(light.coneAngle) < Dot(light.unitDirection, dn) && f > 0.0f)
                    AddColour(light, std::sqrt(f), &red[2 - c], &green[2 - c], &blue[2 - c]);
            }
            break;
        case 3:
            for (int c = 0; c < 3; ++c) {
                if (lmode == 0) {
                    red[c] = green[c] = blue[c] = 1.0f;
                    continue;
                }
                LND_AddPointLight(&light, corners, &corners[c], &red[2 - c], &green[2 - c], &blue[2 - c]);
            }
            break;
        default: break;
        }
    }
    Clamp(red, green, blue);
}

void LND_LightObjectSurface(const Vec3* vertices, ObjectSurface* os, const Vec3* origin) {
    Landscape* l = g_Landscape;
    if (!l || !vertices || !os || !origin) return;
    float* red = os->cornerRed;
    float* green = os->cornerGreen;
    float* blue = os->cornerBlue;
    for (int k = 0; k < 3; ++k) red[k] = green[k] = blue[k] = 0.0f;
    Vec3 corners[3];
    for (int k = 0; k < 3; ++k) {
        const Vec3& v = vertices[os->vrefs[k]];
        corners[k] = {origin->x + v.x, origin->y + v.y, origin->z + v.z};
    }
    const Vec3& n = os->normal;
    for (int i = 1; i <= l->lightCount; ++i) {
        LandscapeLight& light = l->lights[i];
        PrepareLight(light);
        switch (light.type) {
        case 1:
            for (int k = 0; k < 3; ++k) {
                if (os->lmode == 0) {
                    red[k] = green[k] = blue[k] = 1.0f;
                    continue;
                }
                const float f = -Dot(light.unitDirection, n);
                if (f > 0.0f) AddColour(light, f, &red[k], &green[k], &blue[k]);
            }
            break;
        case 2: {
            const float f = -Dot(light.unitDirection, n);
            if (!(f > 0.0f)) break;
            for (int k = 0; k < 3; ++k) {
                const Vec3 dn = UnitFrom(light.position, corners[2 - k]);
                if (std::cos(light.coneAngle) < Dot(light.unitDirection, dn))
                    AddColour(light, f, &red[k], &green[k], &blue[k]);
            }
            break;
        }
        case 3:
            for (int k = 0; k < 3; ++k) {
                if (os->lmode == 0) {
                    red[k] = green[k] = blue[k] = 1.0f;
                    continue;
                }
                LND_AddPointLight(&light, corners, &corners[2 - k], &red[k], &green[k], &blue[k]);
            }
            break;
        default: break;
        }
    }
    Clamp(red, green, blue);
}

void LND_AssignLightToSurfaces(int32_t index) {
    Landscape* l = g_Landscape;
    if (!l || index < 1 || index > l->lightCount) return;
    const LandscapeLight& light = l->lights[index];
    const uint8_t id = uint8_t(index);
    switch (light.type) {
    case 1:
        for (int32_t s = 1; s <= l->surfaceCount; ++s) AddLight(l->surfaces[s], id);
        break;
    case 2: {
        TraceHit hit{};
        if (!LND_CastRay(&hit, &light.position, &light.unitDirection) || !g_LocateList) break;
        const Vec3 h = hit.point;
        const float d = Length(Sub(light.position, h));
        const float radius = std::tan(light.coneAngle) * d;
        const float step = 0.16666667f * 3.14159265359f;
        Vec3 ring[12];
        for (int k = 0; k < 12; ++k)
            ring[k] = {h.x + radius * std::sin(float(k) * step), 0.0f, h.z + radius * std::cos(float(k) * step)};
        int32_t count = LND_SurfacesInPolygon(g_LocateList, 12, ring);
        for (int32_t i = 0; i < count; ++i) AddLight(l->surfaces[g_LocateList[i]], id);
        const float ul = Length(light.unitDirection);
        const Vec3 u = ul > 0.0f ? Vec3{light.unitDirection.x / ul, light.unitDirection.y / ul,
                                        light.unitDirection.z / ul}
                                 : Vec3{0.0f, 0.0f, 0.0f};
        const Vec3 across{-u.z * radius, 0.0f, u.x * radius};
        const Vec3 wedge[3] = {light.position, {h.x + across.x, h.y, h.z + across.z},
                               {h.x - across.x, h.y, h.z - across.z}};
        count = LND_SurfacesInPolygon(g_LocateList, 3, wedge);
        for (int32_t i = 0; i < count; ++i) AddLight(l->surfaces[g_LocateList[i]], id);
        g_LocateCount = count;
        break;
    }
    case 3: {
        const float reach = 1.1f * light.coneAngle;
        for (int32_t s = 1; s <= l->surfaceCount; ++s) {
            bool inside = true;
            for (uint16_t e : l->surfaces[s].edges) {
                const Vec3& a = l->vertices[l->edges[e].vertex1].position;
                const Vec3& b = l->vertices[l->edges[e].vertex2].position;
                const Vec3& p = light.position;
                if ((b.z - a.z) * (p.x - a.x) - (b.x - a.x) * (p.z - a.z) > 0.0f) inside = false;
            }
            bool near = false;
            for (int i = 0; i < 3 && !inside && !near; ++i) {
                const Vec3& c = Corner(l, s, i);
                const float dx = c.x - light.position.x, dz = c.z - light.position.z;
                near = std::sqrt(dx * dx + dz * dz) <= reach;
            }
            if (inside || near) AddLight(l->surfaces[s], id);
        }
        break;
    }
    default: break;
    }
}

void LND_ComputeStaticLighting() {
    Landscape* l = g_Landscape;
    if (!l || !l->surfaces || !l->lights) return;
    // The list of every light; the load driver makes it for every map, so it is refilled here and
    // made only when missing.
    if (!g_AllLights) g_AllLights = static_cast<uint8_t*>(MAP_AllocZeroed("All lights", l->lightCount + 1u));
    if (g_AllLights)
        for (int i = 1; i <= l->lightCount; ++i) g_AllLights[i - 1] = uint8_t(i);
    for (int i = 1; i <= l->lightCount; ++i) PrepareLight(l->lights[i]);
    for (int32_t s = 1; s <= l->surfaceCount; ++s) LND_LightSurface(s);
    for (int i = 1; i <= l->lightCount; ++i) LND_AssignLightToSurfaces(i);
    for (int32_t o = 1; o <= l->objectCount; ++o) {
        LandscapeObject& object = l->objects[o];
        const Vec3& origin = l->vertices[object.positionRef].position;
        for (int32_t k = 0; k < object.surfaceCount; ++k)
            LND_LightObjectSurface(object.vertices, &object.objectSurfaces[k], &origin);
    }
}

void LND_UpdateFrameLights(const Matrix34* viewMatrix) {
    const Landscape* l = g_Landscape;
    if (!g_DynamicLighting || !l || !l->lights || !viewMatrix) return;
    const int count = std::min<int>(l->lightCount, LND_LIGHTS_MAX);
    for (int i = 1; i <= count; ++i) {
        g_ViewLights[i] = l->lights[i];
        MTH_TransformPoint(&g_ViewLights[i].position, &l->lights[i].position, viewMatrix);
        MTH_RotateVector(&g_ViewLights[i].unitDirection, &l->lights[i].unitDirection, viewMatrix);
    }
}

void LND_SetCallTrace(void (*trace)(const char* entry)) { g_LightTrace = trace; }

int LND_SetDynamicLighting(int on) {
    if (g_LightTrace) {
        char entry[64];
        std::snprintf(entry, sizeof entry, "LND_SetDynamicLighting(%d)", on);
        g_LightTrace(entry);
    }
    const int previous = g_DynamicLighting;
    g_DynamicLighting = on;
    return previous;
}

float* LND_SetAmbientLight(const float* floor) {
    if (g_LightTrace) {
        char entry[160];
        std::snprintf(entry, sizeof entry, "LND_SetAmbientLight(%g,%g,%g,%g)", floor ? floor[0] : -1.0,
                      floor ? floor[1] : -1.0, floor ? floor[2] : -1.0, floor ? floor[3] : -1.0);
        g_LightTrace(entry);
    }
    for (int i = 0; i < 4; ++i) g_PreviousFloor[i] = g_AmbientFloor[i];
    if (floor)
        for (int i = 0; i < 4; ++i) g_AmbientFloor[i] = floor[i];
    return g_PreviousFloor;
}
