// Lighting and queueing of model meshes by the landscape's view-space lights (see lnd_draw.h).
// Faces are drawn with stored corner 2 - k at corner k, as landscape triangles are; their normals
// then point into the mesh, as the lighting (n . L) expects.
#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/landscape_query.h"
#include "engine/lnd_draw.h"
#include "engine/lnd_light.h"
#include "engine/mdl.h"
#include "common/mem.h"

namespace {

std::function<void(const LndModelMesh&)> g_MeshObserver;
// Transformed vertices and normals of the mesh being drawn; grown, never shrunk.
std::vector<Vec3> g_ModelScratch, g_ModelNormals;

Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 UnitFrom(const Vec3& from, const Vec3& to) {
    const Vec3 d = Sub(to, from);
    const float length = std::sqrt(Dot(d, d));
    if (!(length > 0.0f)) return {0.0f, 0.0f, 0.0f};
    return {d.x / length, d.y / length, d.z / length};
}

void Finish(float* rgb) {
    for (int i = 0; i < 3; ++i) rgb[i] = std::max(std::min(rgb[i], 1.0f), g_AmbientFloor[i]);
}

void Add(float* rgb, const LandscapeLight& light, float f) {
    for (int i = 0; i < 3; ++i) rgb[i] += light.colour[i] * f;
}

bool Culled(const Matrix34* m, float radius) {
    if (!(radius > 0.0f)) return false;
    const Vec3 low{m->m[9] - radius, m->m[10] - radius, m->m[11]};
    const Vec3 high{m->m[9] + radius, m->m[10] + radius, m->m[11]};
    return (RND_OutCode(&low) & (2 | 8)) || (RND_OutCode(&high) & (1 | 4));
}

// The lights that reach the surface, or every light when the surface is not a surface number.
void LightsFor(uint32_t surface, int* count, const uint8_t** list) {
    const Landscape* l = g_Landscape;
    *count = 0;
    *list = nullptr;
    if (!l) return;
    if (l->surfaces && surface >= 1 && surface <= l->surfaceCount) {
        *count = l->surfaces[surface].lightCount;
        *list = l->surfaces[surface].lightList;
    } else if (g_AllLights) {
        *count = l->lightCount;
        *list = g_AllLights;
    }
}

int Draw(int smooth, float** lightCache, uint32_t surface, const Matrix34* matrix, const float* vertices,
         const float* normals, RenderTexture* texture, ModelTriangle* faces, int vertexCount, int faceCount,
         int normalsGiven, float radius) {
    if (!faces || !vertices || vertexCount <= 0 || !matrix || (smooth && !normals)) return 0;
    if (g_MeshObserver)
        g_MeshObserver({smooth, lightCache, surface, matrix, vertices, normals, texture, faces, vertexCount, faceCount,
                        normalsGiven, radius});
    if (Culled(matrix, radius)) return 0;
    if (g_ModelScratch.size() < size_t(vertexCount)) g_ModelScratch.resize(size_t(vertexCount));
    for (int v = 0; v < vertexCount; ++v) {
        const Vec3 p{vertices[3 * v], vertices[3 * v + 1], vertices[3 * v + 2]};
        MTH_TransformPoint(&g_ModelScratch[size_t(v)], &p, matrix);
    }
    if (smooth) {
        if (g_ModelNormals.size() < size_t(vertexCount)) g_ModelNormals.resize(size_t(vertexCount));
        for (int v = 0; v < vertexCount; ++v) {
            const Vec3 n{normals[3 * v], normals[3 * v + 1], normals[3 * v + 2]};
            MTH_RotateVector(&g_ModelNormals[size_t(v)], &n, matrix);
        }
    }
    float* cache = nullptr;
    bool cached = false;
    if (lightCache) {
        if (*lightCache) {
            cache = *lightCache;
            cached = true;
        } else if (faceCount > 0) {
            cache = static_cast<float*>(MEM_Alloc(uint32_t(faceCount) * 9u * sizeof(float), MEM_TAG_MODEL));
            *lightCache = cache;
        }
    }
    int lightCount;
    const uint8_t* lightList;
    LightsFor(surface, &lightCount, &lightList);
    for (int f = 0; f < faceCount; ++f) {
        ModelTriangle& face = faces[f];
        if (face.corner[0] >= uint32_t(vertexCount) || face.corner[1] >= uint32_t(vertexCount) ||
            face.corner[2] >= uint32_t(vertexCount))
            continue;
        RenderTriangle t{};
        for (int k = 0; k < 3; ++k) {
            t.position[k] = g_ModelScratch[face.corner[2 - k]];
            t.uv[k][0] = face.uv[2 - k][0];
            t.uv[k][1] = face.uv[2 - k][1];
        }
        float colour[9];
        if (cached) {
            std::copy(cache + 9 * f, cache + 9 * f + 9, colour);
        } else {
            if (RND_OutCode(&t.position[0]) & RND_OutCode(&t.position[1]) & RND_OutCode(&t.position[2])) {
                if (cache) std::fill(cache + 9 * f, cache + 9 * f + 9, 1.0f);
                continue;
            }
            if (!g_DynamicLighting) {
                std::fill(colour, colour + 9, 1.0f);
            } else if (smooth) {
                for (int k = 0; k < 3; ++k)
                    LND_LightVertex(colour + 3 * k, lightCount, lightList, &g_ModelNormals[face.corner[2 - k]],
                                    &t.position[k]);
            } else {
                Vec3 n;
                if (normalsGiven)
                    MTH_RotateVector(&n, &face.normal, matrix);
                else
                    LND_TriangleNormalOf(&n, &t.position[0], &t.position[1], &t.position[2]);
                float red[3], green[3], blue[3];
                LND_LightTriangle(red, green, blue, lightCount, lightList, &n, &t.position[0], &t.position[1],
                                  &t.position[2]);
                for (int k = 0; k < 3; ++k) {
                    colour[3 * k] = red[k];
                    colour[3 * k + 1] = green[k];
                    colour[3 * k + 2] = blue[k];
                }
            }
            if (cache) std::copy(colour, colour + 9, cache + 9 * f);
        }
        if (!g_DynamicLighting) std::fill(colour, colour + 9, 1.0f);
        for (int k = 0; k < 3; ++k) {
            t.colour[k][0] = colour[3 * k];
            t.colour[k][1] = colour[3 * k + 1];
            t.colour[k][2] = colour[3 * k + 2];
            t.colour[k][3] = 0.0f;
        }
        t.texture = texture ? texture : face.texture;
        RND_DrawTriangle(&t);
    }
    return 1;
}

}  // namespace

void LND_LightTriangle(float* red, float* green, float* blue, int lightCount, const uint8_t* lightList,
                       const Vec3* normal, const Vec3* c0, const Vec3* c1, const Vec3* c2) {
    float rgb[3][3] = {};
    const Vec3* corners[3] = {c0, c1, c2};
    for (int i = 0; i < lightCount && lightList; ++i) {
        const int index = lightList[i];
        if (index < 1 || index > LND_LIGHTS_MAX) continue;
        const LandscapeLight& light = g_ViewLights[index];
        const float d = Dot(*normal, light.unitDirection);
        switch (light.type) {
        case 1:
            if (d >= 0.0f)
                for (auto& c : rgb) Add(c, light, d);
            break;
        case 2:
            if (d < 0.0f) break;
            for (int k = 0; k < 3; ++k)
                if (Dot(UnitFrom(light.position, *corners[k]), light.unitDirection) > std::cos(light.coneAngle))
                    Add(rgb[k], light, d);
            break;
        case 3: {
            const Vec3 toLight = Sub(light.position, *c1);
            if (Dot(toLight, Cross(Sub(*c0, *c1), Sub(*c2, *c1))) > 0.0f) break;
            for (int k = 0; k < 3; ++k) {
                const Vec3 d3 = Sub(*corners[k], light.position);
                const float r = std::sqrt(Dot(d3, d3));
                if (r < light.coneAngle) Add(rgb[k], light, (light.coneAngle - r) / light.coneAngle);
            }
            break;
        }
        default: break;
        }
    }
    for (int k = 0; k < 3; ++k) {
        Finish(rgb[k]);
        red[k] = rgb[k][0];
        green[k] = rgb[k][1];
        blue[k] = rgb[k][2];
    }
}

void LND_LightVertex(float* rgb, int lightCount, const uint8_t* lightList, const Vec3* n, const Vec3* vertex) {
    if (!lightList || lightCount <= 0) {
        rgb[0] = rgb[1] = rgb[2] = 1.0f;
        return;
    }
    rgb[0] = rgb[1] = rgb[2] = 0.0f;
    for (int i = 0; i < lightCount; ++i) {
        const int index = lightList[i];
        if (index < 1 || index > LND_LIGHTS_MAX) continue;
        const LandscapeLight& light = g_ViewLights[index];
        const Vec3 fromLight = Sub(*vertex, light.position);
        switch (light.type) {
        case 1: {
            const float d = Dot(*n, light.unitDirection);
            if (d >= 0.0f) Add(rgb, light, d);
            break;
        }
        case 2: {
            const float d = Dot(light.unitDirection, *n);
            if (Dot(fromLight, *n) < 0.0f && d > 0.0f &&
                Dot(UnitFrom(light.position, *vertex), light.unitDirection) >= std::cos(light.coneAngle))
                Add(rgb, light, d);
            break;
        }
        case 3: {
            if (!(Dot(fromLight, *n) > 0.0f)) break;
            const float r = std::sqrt(Dot(fromLight, fromLight));
            if (r < light.coneAngle) Add(rgb, light, (light.coneAngle - r) / light.coneAngle);
            break;
        }
        default: break;
        }
    }
    Finish(rgb);
}

int LND_DrawModelTriangles(float** lightCache, uint32_t surface, const Matrix34* matrix, const float* vertices,
                           RenderTexture* texture, ModelTriangle* faces, int vertexCount, int faceCount,
                           int normalsGiven, float radius) {
    return Draw(0, lightCache, surface, matrix, vertices, nullptr, texture, faces, vertexCount, faceCount,
                normalsGiven, radius);
}

int LND_DrawModelTrianglesSmooth(float** lightCache, uint32_t surface, const Matrix34* matrix, const float* vertices,
                                 const float* normals, RenderTexture* texture, ModelTriangle* faces, int vertexCount,
                                 int faceCount, float radius) {
    return Draw(1, lightCache, surface, matrix, vertices, normals, texture, faces, vertexCount, faceCount, 1, radius);
}

void LND_SetModelMeshObserver(std::function<void(const LndModelMesh& mesh)> observer) {
    g_MeshObserver = std::move(observer);
}
