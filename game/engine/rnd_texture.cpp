// Texture records and their two lists: loading by file name, the colour key and flag words, making
// a texture resident (upload and most-recently-drawn order), the list ends, release.
#include "engine/rnd_texture.h"

#include <cstring>

#include "engine/rnd_texture_create.h"
#include "engine/rnd_trace.h"
#include "engine/rnd_state.h"

ListHeader g_RndLoadedTextures = {{&g_RndLoadedTextures.tailEnd, nullptr}, {nullptr, &g_RndLoadedTextures.headEnd}};
ListHeader g_RndUnloadedTextures = {{&g_RndUnloadedTextures.tailEnd, nullptr},
                                    {nullptr, &g_RndUnloadedTextures.headEnd}};

namespace {

// The texture of a list node (the link is the record's first field).
RenderTexture* TextureOf(ListNode* node) {
    return node && node->successor && node->predecessor ? reinterpret_cast<RenderTexture*>(node) : nullptr;
}

// Sets up a record made by RND_CreateTextureFromFile and lists it.
RenderTexture* ListNewTexture(RenderTexture* texture, const char* fileName, bool keyed) {
    texture->valid = 1;
    texture->name = texture->nameBuffer;
    const char* name = fileName ? fileName : kRndNoTextureName;
    std::strncpy(texture->nameBuffer, name, RND_TEXTURE_NAME_SIZE - 1);
    texture->nameBuffer[RND_TEXTURE_NAME_SIZE - 1] = '\0';
    LST_Init(&texture->queue);
    if (keyed)
        RND_SetTextureColourKey(texture);
    LST_AddTail(texture->loaded ? &g_RndLoadedTextures : &g_RndUnloadedTextures, &texture->link);
    return texture;
}

RenderTexture* LoadTexture(const char* fileName, bool keyed) {
    RND_Trace(keyed ? "RND_LoadTextureKeyed" : "RND_LoadTexture", "%s", fileName ? fileName : "(null)");
    RenderTexture* texture = RND_CreateTextureFromFile(g_Rnd.device, fileName);
    return texture ? ListNewTexture(texture, fileName, keyed) : nullptr;
}

}  // namespace

void RND_InitTextureLists() {
    LST_Init(&g_RndLoadedTextures);
    LST_Init(&g_RndUnloadedTextures);
}

RenderTexture* RND_LoadTexture(const char* fileName) {
    return LoadTexture(fileName, false);
}

RenderTexture* RND_LoadTextureKeyed(const char* fileName) {
    return LoadTexture(fileName, true);
}

void RND_SetTextureColourKey(RenderTexture* texture) {
    if (!texture)
        return;
    RND_ApplyColourKey(texture);
    texture->flags |= RND_TEXTURE_KEYED;
}

uint32_t RND_SetTextureFlags(RenderTexture* texture, uint32_t flags) {
    RND_Trace("RND_SetTextureFlags", "%u", flags);
    if (!texture)
        return 0;
    const uint32_t previous = texture->flags;
    texture->flags = flags;
    return previous;
}

uint32_t RND_GetTextureHandle(const RenderTexture* texture) {
    return texture ? texture->handle : 0;
}

void RND_MakeTextureResident(RenderTexture* texture) {
    if (!texture)
        return;
    if (!texture->loaded) {
        if (g_Rnd.hardwareDevice)
            RND_UploadTexture(texture);
        // An upload that found no room leaves the texture unloaded (drawn with handle 0); it stays
        // on the unloaded list and is tried again when next drawn.
        if (g_Rnd.hardwareDevice && !texture->loaded)
            return;
    }
    RND_TouchTexture(texture);
    texture->loaded = 1;
}

void RND_TouchTexture(RenderTexture* texture) {
    if (!texture)
        return;
    LST_Remove(&texture->link);
    LST_AddHead(&g_RndLoadedTextures, &texture->link);
}

void RND_MoveToUnloaded(RenderTexture* texture) {
    if (!texture)
        return;
    LST_Remove(&texture->link);
    LST_AddHead(&g_RndUnloadedTextures, &texture->link);
}

void RND_UnloadTexture(RenderTexture* texture) {
    if (!texture)
        return;
    if (texture->deviceSurface) {
        texture->deviceSurface->Release();
        texture->deviceSurface = nullptr;
    }
    RND_MoveToUnloaded(texture);
    texture->loaded = 0;
}

RenderTexture* RND_FirstLoadedTexture() {
    return TextureOf(g_RndLoadedTextures.headEnd.successor);
}

RenderTexture* RND_FirstUnloadedTexture() {
    return TextureOf(g_RndUnloadedTextures.headEnd.successor);
}

RenderTexture* RND_NextTexture(const RenderTexture* texture) {
    ListNode* next = texture->link.successor;
    return next && next->successor ? reinterpret_cast<RenderTexture*>(next) : nullptr;
}

RenderTexture* RND_LastLoadedTexture() {
    return TextureOf(g_RndLoadedTextures.tailEnd.predecessor);
}

void RND_ReleaseTexture(RenderTexture* texture) {
    if (!texture)
        return;
    if (texture->palette) {
        texture->palette->Release();
        texture->palette = nullptr;
    }
    RND_ReleaseTextureMaterial(texture);
    if (texture->systemSurface) {
        texture->systemSurface->Release();
        texture->systemSurface = nullptr;
    }
    if (texture->deviceSurface) {
        texture->deviceSurface->Release();
        texture->deviceSurface = nullptr;
    }
    texture->loaded = 0;
}

void RND_FreeAllTextures() {
    for (ListHeader* list : {&g_RndLoadedTextures, &g_RndUnloadedTextures}) {
        ListNode* node = list->headEnd.successor;
        while (node && node->successor) {
            ListNode* next = node->successor;
            // A texture record starts with its list link.
            auto* texture = reinterpret_cast<RenderTexture*>(node);
            RND_ReleaseTexture(texture);
            LST_Remove(node);
            RND_Free(texture);
            node = next;
        }
    }
}
