// The landscape records: header creation, array allocation from the counts, and release of
// everything a landscape owns. The globals of the loaded map live here too.
#include "engine/lnd.h"

#include <cstdlib>

Landscape* g_Landscape = nullptr;
int32_t g_MapLoaded = 0;
uint32_t g_LandscapeQueryStamp = 1;
uint32_t g_LandscapeDrawStamp = 1;
float g_LandscapeTime = 0.0f;
float g_LandscapeTimeStep = 0.0f;
char g_MapTextureDirectory[MAP_TEXTURE_DIRECTORY_SIZE];
char g_MapName[MAP_NAME_SIZE];

int32_t* g_RenderObjects = nullptr;
int32_t g_RenderObjectCount = 0;
Vec3* g_RelativeVertices = nullptr;
int32_t* g_LocateList = nullptr;
uint8_t* g_AllLights = nullptr;

namespace {

const char kEmptySuffix[1] = {0};

// count + 1 zeroed records of T into *array; false on failure.
template <typename T>
bool AllocateArray(T** array, const char* name, int64_t count) {
    if (count < 0) return false;
    *array = static_cast<T*>(MAP_AllocZeroed(name, size_t(count + 1) * sizeof(T)));
    return *array != nullptr;
}

}  // namespace

void* MAP_AllocZeroed(const char* /*name*/, size_t size) {
    if (size == 0) return nullptr;
    return std::calloc(1, size);
}

void MAP_Free(void* block) {
    std::free(block);
}

Landscape* LND_CreateLandscape() {
    auto* l = static_cast<Landscape*>(MAP_AllocZeroed("Landscape pointer", sizeof(Landscape)));
    if (!l) return nullptr;
    l->vertexCapacity = LND_VERTEX_CAPACITY;
    l->edgeCapacity = LND_EDGE_CAPACITY;
    l->surfaceCapacity = LND_SURFACE_CAPACITY;
    l->extensionCapacity = LND_EXTENSION_CAPACITY;
    l->textureCapacity = LND_TEXTURE_CAPACITY;
    l->materialCapacity = LND_MATERIAL_CAPACITY;
    l->lightCapacity = LND_LIGHT_CAPACITY;
    l->objectCapacity = LND_OBJECT_CAPACITY;
    return l;
}

int LND_AllocateArrays(Landscape* l) {
    if (!l || l->objectCount < 0) return 0;
    // Arrays are made once per header: replacing them would lose what they own.
    if (l->vertices || l->edges || l->surfaces || l->extensions || l->textures || l->materials ||
        l->lights || l->objects)
        return 0;
    bool ok = AllocateArray(&l->vertices, "Landscape vertex array", l->vertexCount);
    ok = AllocateArray(&l->edges, "Landscape edge array", l->edgeCount) && ok;
    ok = AllocateArray(&l->surfaces, "Landscape surface array", l->surfaceCount) && ok;
    ok = AllocateArray(&l->extensions, "Landscape surface extension array", l->extensionCount) && ok;
    ok = AllocateArray(&l->textures, "Landscape texture array", l->textureCount) && ok;
    ok = AllocateArray(&l->materials, "Landscape material array", l->materialCount) && ok;
    ok = AllocateArray(&l->lights, "Landscape light array", l->lightCount) && ok;
    ok = AllocateArray(&l->objects, "Landscape surface array", l->objectCount) && ok;
    return ok ? 1 : 0;
}

void LND_FreeObjectLists(LandscapeObject* o) {
    if (!o) return;
    MAP_Free(o->vertices);
    o->vertices = nullptr;
    o->vertexCount = 0;
    MAP_Free(o->objectSurfaces);
    o->objectSurfaces = nullptr;
    o->surfaceCount = 0;
}

void LND_FreeLandscape(Landscape* l) {
    if (!l) return;
    if (l->extensions) {
        for (int i = 0; i <= l->extensionCount; ++i) {
            MAP_Free(l->extensions[i].data);
            l->extensions[i].data = nullptr;
        }
    }
    MAP_Free(l->vertices);
    l->vertices = nullptr;
    MAP_Free(l->edges);
    l->edges = nullptr;
    MAP_Free(l->surfaces);
    l->surfaces = nullptr;
    MAP_Free(l->extensions);
    l->extensions = nullptr;
    MAP_Free(l->textures);
    l->textures = nullptr;
    MAP_Free(l->materials);
    l->materials = nullptr;
    MAP_Free(l->lights);
    l->lights = nullptr;
    if (l->objects) {
        for (int32_t i = 0; i <= l->objectCount; ++i) LND_FreeObjectLists(&l->objects[i]);
        MAP_Free(l->objects);
        l->objects = nullptr;
    }
    MAP_Free(l);
}

char* MAP_GetTextureDirectory() {
    return g_MapTextureDirectory;
}

const char* MAP_GetTextureSuffix() {
    return kEmptySuffix;
}
