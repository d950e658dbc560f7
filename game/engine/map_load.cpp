// The map load driver and the unload (see map_load.h).
#include "engine/map_load.h"

#include <cctype>
#include <cstdio>
#include <cmath>
#include <cstring>

#include "engine/lnd.h"
#include "engine/map_check.h"
#include "engine/map_read.h"
#include "engine/rnd_display.h"
#include "common/muf.h"
#include "engine/lnd_light.h"
#include "win32.h"
#include "engine/lnd_material.h"

namespace {

enum MapKind { MAP_KIND_ALM, MAP_KIND_BLM, MAP_KIND_CLM, MAP_KIND_ZLM, MAP_KIND_OTHER };

struct MapExtension {
    const char* text;
    MapKind kind;
};
constexpr MapExtension kMapExtensions[] = {
    {".alm", MAP_KIND_ALM},
    {".blm", MAP_KIND_BLM},
    {".clm", MAP_KIND_CLM},
    {".zlm", MAP_KIND_ZLM},
};

bool SameIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
    return *a == *b;
}

// By the part of the file name from its last dot, compared without regard to case.
MapKind KindOf(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') name = p + 1;
    const char* dot = std::strrchr(name, '.');
    if (!dot) return MAP_KIND_OTHER;
    for (const MapExtension& e : kMapExtensions)
        if (SameIgnoringCase(dot, e.text)) return e.kind;
    return MAP_KIND_OTHER;
}

void FreeWorkArrays() {
    MAP_Free(g_RelativeVertices);
    g_RelativeVertices = nullptr;
    MAP_Free(g_RenderObjects);
    g_RenderObjects = nullptr;
    g_RenderObjectCount = 0;
    MAP_Free(g_LocateList);
    g_LocateList = nullptr;
    MAP_Free(g_AllLights);
    g_AllLights = nullptr;
}

// Drops a landscape that failed to load.
void Discard() {
    g_MapLoaded = 0;
    LND_FreeLandscape(g_Landscape);
    g_Landscape = nullptr;
    FreeWorkArrays();
}

bool MakeWorkArrays(const Landscape* l) {
    g_RenderObjectCount = 0;
    g_RenderObjects = static_cast<int32_t*>(MAP_AllocZeroed("Render Objects", size_t(l->objectCount + 1) * sizeof(int32_t)));
    if (!g_RenderObjects) return false;
    g_RelativeVertices = static_cast<Vec3*>(MAP_AllocZeroed("Relative vertex array", (l->vertexCount + 1u) * sizeof(Vec3)));
    if (!g_RelativeVertices) return false;
    g_LocateList = static_cast<int32_t*>(MAP_AllocZeroed("Loccate list", (l->surfaceCount + 1u) * sizeof(int32_t)));
    if (!g_LocateList) return false;
    // The list of every light, for models that stand on no surface; a .zlm map needs it as much
    // as a text map.
    g_AllLights = static_cast<uint8_t*>(MAP_AllocZeroed("All lights", l->lightCount + 1u));
    if (!g_AllLights) return false;
    for (int i = 1; i <= l->lightCount; ++i) g_AllLights[i - 1] = uint8_t(i);
    return true;
}

// normalise((p2 - p0) x (p1 - p0)); a degenerate triangle gives the zero vector.
Vec3 SurfaceNormal(const Vec3& p0, const Vec3& p1, const Vec3& p2) {
    const float ax = p2.x - p0.x, ay = p2.y - p0.y, az = p2.z - p0.z;
    const float bx = p1.x - p0.x, by = p1.y - p0.y, bz = p1.z - p0.z;
    Vec3 n{ay * bz - az * by, az * bx - ax * bz, ax * by - ay * bx};
    const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (!(length > 0.0f) || !std::isfinite(length)) return Vec3{0.0f, 0.0f, 0.0f};
    return Vec3{n.x / length, n.y / length, n.z / length};
}

// What a .zlm map stores and a text map leaves to the loader.
void CompleteTextMap(Landscape* l) {
    for (int i = 1; i <= l->textureCount; ++i) l->textures[i].flags &= ~2u;
    for (int i = 1; i <= l->vertexCount; ++i) l->vertices[i].drawStamp = 0;
    for (int i = 1; i <= l->edgeCount; ++i) {
        l->edges[i].drawStamp = 0;
        l->edges[i].queryStamp = 0;
    }
    for (int i = 1; i <= l->surfaceCount; ++i) {
        LandscapeSurface& s = l->surfaces[i];
        s.flags &= ~3u;
        s.objectCount = 0;
        s.objectList[0] = 0;
        s.flags32 |= 1u;
        const Vec3& p0 = l->vertices[l->edges[s.edges[0]].vertex1].position;
        const Vec3& p1 = l->vertices[l->edges[s.edges[1]].vertex1].position;
        const Vec3& p2 = l->vertices[l->edges[s.edges[2]].vertex1].position;
        s.normal = SurfaceNormal(p0, p1, p2);
        s.drawStamp = 0;
        s.queryStamp = 0;
        for (int k = 0; k < 3; ++k) s.cornerRed[k] = s.cornerGreen[k] = s.cornerBlue[k] = 1.0f;
    }
    for (int32_t i = 1; i <= l->objectCount; ++i) {
        LandscapeObject& o = l->objects[i];
        o.flags &= ~6u;
        o.angle = Vec3{0.0f, 0.0f, 0.0f};
        o.queryStamp = 0;
        LND_SetUpObject(i);
        o.lightCount = 0;
    }
    LND_ComputeStaticLighting();
    for (int32_t i = 1; i <= l->objectCount; ++i) {
        LandscapeObject& o = l->objects[i];
        if (o.surface < 1 || o.surface > l->surfaceCount) continue;
        const LandscapeSurface& s = l->surfaces[o.surface];
        o.lightCount = s.lightCount <= LND_LIGHTS_MAX ? s.lightCount : LND_LIGHTS_MAX;
        std::memcpy(o.lightList, s.lightList, o.lightCount);
    }
}

}  // namespace

int32_t MAP_LoadMap(Matrix34* camera, const char* path) {
    if (!path) return 0;
    MAP_UnloadMap();
    // The map's file or archive entry is opened and read once; the reader works on its bytes.
    std::vector<uint8_t> bytes;
    if (!MAP_ReadWholeFile(path, &bytes)) return 0;

    g_Landscape = LND_CreateLandscape();
    if (!g_Landscape) return 0;
    Matrix34 scratch;
    if (!camera) camera = &scratch;
    const MapKind kind = KindOf(path);
    int result = MAP_READ_OK;
    switch (kind) {
    case MAP_KIND_ALM: result = MAP_ReadAlm(camera, path, bytes); break;
    case MAP_KIND_BLM: result = MAP_ReadBlm(camera, path, bytes); break;
    case MAP_KIND_CLM: result = MAP_ReadClm(camera, path, bytes); break;
    case MAP_KIND_ZLM: result = MAP_ReadZlm(path, bytes); break;
    case MAP_KIND_OTHER: break;
    }
    Landscape* l = g_Landscape;
    if (result == MAP_READ_OK && !l->vertices && !LND_AllocateArrays(l)) result = MAP_READ_REFUSED;
    if (result == MAP_READ_OK) {
        if (const char* what = MAP_CheckLandscape(l)) result = MAP_Refuse(path, what);
    }
    if (result != MAP_READ_OK) {
        Discard();
        return 0;
    }
    // A failed allocation leaves everything for the unload.
    if (!MakeWorkArrays(l)) return 0;
    g_LandscapeDrawStamp = 1;
    g_LandscapeQueryStamp = 1;
    if (kind != MAP_KIND_ZLM) CompleteTextMap(l);
    g_MapLoaded = 1;
    return 1;
}

void MAP_UnloadMap() {
    if (!g_Landscape) return;
    g_MapLoaded = 0;
    LND_FreeLandscape(g_Landscape);
    g_Landscape = nullptr;
    DSP_ReleaseTextureSurfaces();
    FreeWorkArrays();
}

bool MAP_ReadWholeFile(const char* path, std::vector<uint8_t>* bytes) {
    bytes->clear();
    MufStream* stream = MUF_Open(path, "rb");
    if (!stream) return false;
    uint8_t chunk[16384];
    for (size_t n; (n = MUF_Read(chunk, 1, sizeof chunk, stream)) > 0;)
        bytes->insert(bytes->end(), chunk, chunk + n);
    MUF_Close(stream);
    return true;
}

int MAP_Refuse(const char* path, const char* what) {
    char line[512];
    std::snprintf(line, sizeof line, "Map refused: %s: %s\n", what ? what : "malformed", path ? path : "");
    OutputDebugStringA(line);
    return MAP_READ_REFUSED;
}
