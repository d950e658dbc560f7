// The load-time check of a filled landscape (see map_check.h). Besides plain ranges it refuses
// an edge whose twin lies on the same surface: a walk across the landscape steps from an edge to
// its twin's surface and would never leave such a surface.
#include "engine/map_check.h"

#include "engine/lnd.h"

namespace {

bool FramesValid(const uint16_t* frames, int16_t frameCount, int textureCount) {
    if (frameCount < 0 || frameCount > LND_FRAMES_MAX) return false;
    for (int i = 0; i < LND_FRAMES_MAX; ++i)
        if (frames[i] > textureCount) return false;
    return true;
}

const char* CheckEdges(const Landscape* l) {
    for (int i = 1; i <= l->edgeCount; ++i) {
        const LandscapeEdge& e = l->edges[i];
        if (e.vertex1 > l->vertexCount || e.vertex2 > l->vertexCount) return "edge vertex out of range";
        if (e.surface > l->surfaceCount) return "edge surface out of range";
        if (e.otherEdge > l->edgeCount) return "twin edge out of range";
        if (e.otherEdge && e.surface && l->edges[e.otherEdge].surface == e.surface)
            return "twin edge on the same surface";
    }
    return nullptr;
}

const char* CheckSurfaces(const Landscape* l) {
    for (int i = 1; i <= l->surfaceCount; ++i) {
        const LandscapeSurface& s = l->surfaces[i];
        for (uint16_t e : s.edges) {
            if (e > l->edgeCount) return "surface edge out of range";
            const uint16_t twin = l->edges[e].otherEdge;
            if (e && twin && l->edges[twin].surface == i) return "twin edge on the same surface";
        }
        if (s.material > l->materialCount) return "surface material out of range";
        if (s.extension > l->extensionCount) return "surface extension out of range";
        if (s.objectCount > LND_SURFACE_OBJECTS_MAX) return "more than 16 objects on a surface";
        for (int k = 0; k < s.objectCount; ++k)
            if (s.objectList[k] > l->objectCount) return "surface object out of range";
        if (s.lightCount > LND_LIGHTS_MAX) return "more than 32 lights on a surface";
        for (int k = 0; k < s.lightCount; ++k)
            if (s.lightList[k] > l->lightCount) return "surface light out of range";
    }
    return nullptr;
}

const char* CheckObject(const Landscape* l, const LandscapeObject& o) {
    if (o.positionRef < 0 || o.positionRef > l->vertexCount) return "object position out of range";
    if (o.surface < 0 || o.surface > l->surfaceCount) return "object surface out of range";
    if (o.vertexCount < 0 || (o.vertexCount > 0 && !o.vertices)) return "object vertex list missing";
    if (o.surfaceCount < 0 || (o.surfaceCount > 0 && !o.objectSurfaces)) return "object surface list missing";
    for (int32_t k = 0; k < o.surfaceCount; ++k) {
        const ObjectSurface& s = o.objectSurfaces[k];
        for (int32_t v : s.vrefs)
            if (v < 0 || v >= o.vertexCount) return "object surface vertex out of range";
        if (s.currentTexture > l->textureCount) return "object surface texture out of range";
        if (!FramesValid(s.frames, s.frameCount, l->textureCount)) return "object surface frames out of range";
    }
    if (o.lightCount > LND_LIGHTS_MAX) return "more than 32 lights on an object";
    for (int k = 0; k < o.lightCount; ++k)
        if (o.lightList[k] > l->lightCount) return "object light out of range";
    return nullptr;
}

}  // namespace

const char* MAP_CheckLandscape(const Landscape* l) {
    if (!l) return "no landscape";
    if (l->objectCount < 0) return "object count out of range";
    if (!l->vertices || !l->edges || !l->surfaces || !l->extensions || !l->textures || !l->materials ||
        !l->lights || !l->objects)
        return "arrays missing";
    if (l->lightCount > LND_LIGHTS_MAX) return "more than 32 lights";
    if (const char* what = CheckEdges(l)) return what;
    if (const char* what = CheckSurfaces(l)) return what;
    for (int i = 1; i <= l->extensionCount; ++i) {
        const SurfaceExtension& x = l->extensions[i];
        if (x.byteCount < 0 || (x.byteCount > 0 && !x.data)) return "extension data missing";
    }
    for (int i = 0; i <= l->materialCount; ++i) {
        const LandscapeMaterial& m = l->materials[i];
        if (m.currentTexture > l->textureCount) return "material texture out of range";
        if (!FramesValid(m.frames, m.frameCount, l->textureCount)) return "material frames out of range";
    }
    for (int32_t i = 1; i <= l->objectCount; ++i)
        if (const char* what = CheckObject(l, l->objects[i])) return what;
    return nullptr;
}
