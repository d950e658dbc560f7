// The model caches: MDL_Load reads each rigid or skinned model file once per level into its cache
// (by cache name: the file name without directory and extension, compared with regard to case)
// and hands out instances of it; MDL_LoadSkin keeps skin textures the same way; MDL_FreeAll
// empties everything at level unload. Also owns the scratch arrays the draws share: the model
// triangles with their light array, the shared vertex buffer and the per-vertex normals.
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <vector>

#include "engine/mdl_internal.h"
#include "common/mem.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"
#include "engine/rnd_texture.h"
#include "win32.h"

RigidModel* g_RigidModels[MDL_CACHE_MAX];
int32_t g_RigidModelCount = 0;
SkinnedModel* g_SkinnedModels[MDL_CACHE_MAX];
int32_t g_SkinnedModelCount = 0;
SkinTexture* g_SkinTextures[MDL_CACHE_MAX];
int32_t g_SkinTextureCount = 0;
ModelTriangle* g_ModelTriangles = nullptr;
float* g_ModelLightArray = nullptr;
int32_t g_ModelTriangleCapacity = 0;
float* g_ModelNormalScratch = nullptr;

const char* const kMdlNamedBones[MDL_NAMED_BONE_COUNT] = {
    "head", "neck", "luarm", "ruarm", "lfarm", "rfarm", "lhand", "rhand", "chest",
    "abdomen", "lthi", "rthi", "lshin", "rshin", "lfoot", "rfoot", "hold_pos", "back_pos"};

namespace {

constexpr float kScratchLight = 0.2f;

float* g_ModelVertexBuffer = nullptr;
int32_t g_ModelVertexCapacity = 0;

// The file name without directory (up to the last backslash) and without extension (from its
// last dot), cut to fit the record.
void CacheName(const char* path, char name[MDL_NAME_MAX]) {
    const char* start = std::strrchr(path, '\\');
    start = start ? start + 1 : path;
    const char* dot = std::strrchr(start, '.');
    size_t length = dot ? size_t(dot - start) : std::strlen(start);
    if (length > MDL_NAME_MAX - 1) length = MDL_NAME_MAX - 1;
    std::memcpy(name, start, length);
    name[length] = '\0';
}

// Opens and reads the whole file; MDL_ERR_OPEN when it cannot be opened, MDL_ERR_MAGIC when it
// is larger than any model.
int ReadFile(const char* path, std::vector<uint8_t>* bytes) {
    MufStream* stream = MUF_Open(path, "rb");
    if (!stream) return MDL_ERR_OPEN;
    const bool ok = MDL_ReadStream(stream, bytes);
    MUF_Close(stream);
    return ok ? MDL_OK : MDL_ERR_MAGIC;
}

// Hands out the new instance, or frees it when the caller gave no slot.
void GiveInstance(ModelInstance* instance, ModelInstance** instanceOut) {
    if (instanceOut)
        *instanceOut = instance;
    else
        MDL_FreeInstance(instance);
}

int LoadRigid(const char* path, const char* name, ModelInstance** instanceOut) {
    for (int32_t i = 0; i < g_RigidModelCount; ++i) {
        if (std::strcmp(g_RigidModels[i]->name, name) != 0) continue;
        ModelInstance* instance = MDL_CreateInstance(MDL_KIND_RIGID, g_RigidModels[i]);
        if (!instance) return MDL_ERR_MEMORY;
        GiveInstance(instance, instanceOut);
        return MDL_OK;
    }
    if (g_RigidModelCount >= MDL_CACHE_MAX) return MDL_ERR_CACHE_FULL;
    std::vector<uint8_t> bytes;
    const int read = ReadFile(path, &bytes);
    if (read == MDL_ERR_OPEN) {
        char line[MUF_PATH_MAX + 32];
        std::snprintf(line, sizeof line, "Can't Load %s!\n", path);
        OutputDebugStringA(line);
        return MDL_ERR_OPEN;
    }
    auto* model = static_cast<RigidModel*>(MDL_Alloc(sizeof(RigidModel)));
    if (!model) return MDL_ERR_MEMORY;
    std::memcpy(model->name, name, MDL_NAME_MAX);
    if (read != MDL_OK) {
        MDL_FreeRigidModel(model);
        return read;
    }
    MdlReader in{bytes.data(), bytes.size(), 0, true};
    if (const int r = MDL_ReadRigidModel(&in, model); r != MDL_OK) {
        MDL_FreeRigidModel(model);
        return r;
    }
    ModelInstance* instance = MDL_CreateInstance(MDL_KIND_RIGID, model);
    if (!instance) {
        MDL_FreeRigidModel(model);
        return MDL_ERR_MEMORY;
    }
    g_RigidModels[g_RigidModelCount++] = model;
    GiveInstance(instance, instanceOut);
    return MDL_OK;
}

int LoadSkinned(const char* path, const char* name, ModelInstance** instanceOut) {
    for (int32_t i = 0; i < g_SkinnedModelCount; ++i) {
        if (std::strcmp(g_SkinnedModels[i]->name, name) != 0) continue;
        ModelInstance* instance = MDL_CreateInstance(MDL_KIND_SKINNED, g_SkinnedModels[i]);
        if (!instance) return MDL_ERR_MEMORY;
        GiveInstance(instance, instanceOut);
        return MDL_OK;
    }
    if (g_SkinnedModelCount >= MDL_CACHE_MAX) return MDL_ERR_CACHE_FULL;
    std::vector<uint8_t> bytes;
    const int read = ReadFile(path, &bytes);
    if (read == MDL_ERR_OPEN) return MDL_ERR_OPEN;
    auto* model = static_cast<SkinnedModel*>(MDL_Alloc(sizeof(SkinnedModel)));
    if (!model) return MDL_ERR_MEMORY;
    std::memcpy(model->name, name, MDL_NAME_MAX);
    if (read != MDL_OK) {
        MDL_FreeSkinnedModel(model);
        return read;
    }
    MdlReader in{bytes.data(), bytes.size(), 0, true};
    if (const int r = MDL_ReadSkinnedModel(&in, model); r != MDL_OK) {
        MDL_FreeSkinnedModel(model);
        return r;
    }
    ModelInstance* instance = MDL_CreateInstance(MDL_KIND_SKINNED, model);
    if (!instance) {
        MDL_FreeSkinnedModel(model);
        return MDL_ERR_MEMORY;
    }
    for (int k = 0; k < MDL_NAMED_BONE_COUNT; ++k) model->namedBones[k] = MDL_FindBone(instance, kMdlNamedBones[k]);
    g_SkinnedModels[g_SkinnedModelCount++] = model;
    MDL_FinishSkinnedModel(model, instance);
    GiveInstance(instance, instanceOut);
    return MDL_OK;
}

}  // namespace

int MDL_Load(const char* path, ModelInstance** instanceOut) {
    if (!path || !*path) return MDL_ERR_OPEN;
    const char* dot = std::strrchr(path, '.');
    if (!dot) return MDL_ERR_OPEN;
    char name[MDL_NAME_MAX];
    CacheName(path, name);
    if (strcasecmp(dot, ".qmd") == 0) return LoadRigid(path, name, instanceOut);
    if (strcasecmp(dot, ".qkm") == 0) return LoadSkinned(path, name, instanceOut);
    return MDL_ERR_EXTENSION;
}

int MDL_LoadSkin(ModelInstance* instance, const char* path) {
    if (!path || !*path) return -1;
    const char* dot = std::strrchr(path, '.');
    if (!dot) return -1;
    if (strcasecmp(dot, ".bmp") != 0) return -2;
    char name[MDL_NAME_MAX];
    CacheName(path, name);
    for (int32_t i = 0; i < g_SkinTextureCount; ++i) {
        if (std::strcmp(g_SkinTextures[i]->name, name) != 0) continue;
        if (instance) instance->skin = g_SkinTextures[i];
        return 0;
    }
    if (g_SkinTextureCount >= MDL_CACHE_MAX) return MDL_ERR_SKIN_CACHE;
    auto* skin = static_cast<SkinTexture*>(MDL_Alloc(sizeof(SkinTexture)));
    if (!skin) return -1;
    std::memcpy(skin->name, name, MDL_NAME_MAX);
    skin->texture = RND_LoadTexture(path);
    if (!skin->texture) {
        // A skin that failed is freed, not left behind in the free slot.
        MEM_Free(skin);
        return -1;
    }
    g_SkinTextures[g_SkinTextureCount++] = skin;
    if (instance) instance->skin = skin;
    return 0;
}

void MDL_FreeAll() {
    for (int32_t i = 0; i < g_RigidModelCount; ++i) {
        MDL_FreeRigidModel(g_RigidModels[i]);
        g_RigidModels[i] = nullptr;
    }
    g_RigidModelCount = 0;
    // The textures stay with the renderer's texture lists.
    for (int32_t i = 0; i < g_SkinTextureCount; ++i) {
        MEM_Free(g_SkinTextures[i]);
        g_SkinTextures[i] = nullptr;
    }
    g_SkinTextureCount = 0;
    for (int32_t i = 0; i < g_SkinnedModelCount; ++i) {
        MDL_FreeSkinnedModel(g_SkinnedModels[i]);
        g_SkinnedModels[i] = nullptr;
    }
    g_SkinnedModelCount = 0;
    MEM_Free(g_ModelTriangles);
    MEM_Free(g_ModelLightArray);
    g_ModelTriangles = nullptr;
    g_ModelLightArray = nullptr;
    g_ModelTriangleCapacity = 0;
    MEM_Free(g_ModelVertexBuffer);
    MEM_Free(g_ModelNormalScratch);
    g_ModelVertexBuffer = nullptr;
    g_ModelNormalScratch = nullptr;
    g_ModelVertexCapacity = 0;
}

float* MDL_GetVertexBuffer() { return g_ModelVertexBuffer; }

bool MDL_GrowTriangleScratch(int32_t count) {
    if (count <= g_ModelTriangleCapacity) return true;
    MEM_Free(g_ModelTriangles);
    MEM_Free(g_ModelLightArray);
    g_ModelTriangleCapacity = 0;
    g_ModelTriangles = static_cast<ModelTriangle*>(MDL_Alloc(uint64_t(count) * sizeof(ModelTriangle)));
    g_ModelLightArray = static_cast<float*>(MDL_Alloc(uint64_t(count) * 9 * sizeof(float)));
    if (!g_ModelTriangles || !g_ModelLightArray) {
        MEM_Free(g_ModelTriangles);
        MEM_Free(g_ModelLightArray);
        g_ModelTriangles = nullptr;
        g_ModelLightArray = nullptr;
        return false;
    }
    for (int32_t i = 0; i < count; ++i) {
        ModelTriangle& t = g_ModelTriangles[i];
        t.flag = 1;
        for (auto& c : t.colour) c[0] = c[1] = c[2] = 1.0f;
    }
    for (int64_t i = 0; i < int64_t(count) * 9; ++i) g_ModelLightArray[i] = kScratchLight;
    g_ModelTriangleCapacity = count;
    return true;
}

bool MDL_GrowVertexScratch(int32_t count) {
    if (count <= g_ModelVertexCapacity) return true;
    MEM_Free(g_ModelVertexBuffer);
    MEM_Free(g_ModelNormalScratch);
    g_ModelVertexCapacity = 0;
    g_ModelVertexBuffer = static_cast<float*>(MDL_Alloc(uint64_t(count) * 3 * sizeof(float)));
    g_ModelNormalScratch = static_cast<float*>(MDL_Alloc(uint64_t(count) * 3 * sizeof(float)));
    if (!g_ModelVertexBuffer || !g_ModelNormalScratch) {
        MEM_Free(g_ModelVertexBuffer);
        MEM_Free(g_ModelNormalScratch);
        g_ModelVertexBuffer = nullptr;
        g_ModelNormalScratch = nullptr;
        return false;
    }
    g_ModelVertexCapacity = count;
    return true;
}
