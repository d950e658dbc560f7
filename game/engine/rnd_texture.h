// The renderer's textures: a bitmap file loaded into a system-memory DirectDraw texture surface,
// known to Direct3D by a handle, kept on one of two lists (loaded on the device, most recently
// drawn first, or not loaded). The record and the list operations live here.
#pragma once
#include <cstdint>

#include "d3d.h"
#include "ddraw.h"
#include "common/lst.h"

// The name given to a texture loaded without a file name.
inline constexpr const char kRndNoTextureName[] = "No texture filename!!";
constexpr int RND_TEXTURE_NAME_SIZE = 66;  // the file name as given, cut to 65 characters

// Flag word values.
enum : uint32_t {
    RND_TEXTURE_KEYED = 1,        // drawn with the source colour key: black texels are not drawn
    RND_TEXTURE_BLEND_COLOUR = 2,  // blended with source colour / destination colour
    RND_TEXTURE_BLEND_ADD = 4,     // blended additively (one / one)
};

// One heap record per texture, zero-filled when created. The link comes first: a list node is the
// record itself.
struct RenderTexture {
    ListNode link;                        // on the loaded or the unloaded list
    char* name;                           // points at nameBuffer
    char nameBuffer[RND_TEXTURE_NAME_SIZE];
    IDirectDrawSurface3* systemSurface;   // DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY: the pixels
    IDirectDrawSurface3* deviceSurface;   // HAL: the video-memory copy (null while not loaded);
                                          // Ramp: the system surface itself (one more reference)
    IDirectDrawPalette* palette;          // 8-bit texture formats only
    IDirect3DMaterial2* material;         // Ramp device only
    uint32_t materialHandle;              // Ramp device only
    uint32_t handle;                      // D3DTEXTUREHANDLE of the device surface
    int32_t valid;                        // 1 once created
    int32_t loaded;                       // 1 while the device surface and handle are usable
    uint32_t flags;                       // RND_TEXTURE_* values
    int32_t width, height;                // from the bitmap's header
    int32_t xPelsPerMeter, yPelsPerMeter; // likewise
    ListHeader queue;                     // batch primitives waiting to be drawn
};

// The loaded list (head = most recently drawn) and the unloaded list. A texture is on exactly one.
extern ListHeader g_RndLoadedTextures, g_RndUnloadedTextures;

// Empties both lists (the records are not freed: see DSP_ReleaseTextureSurfaces).
void RND_InitTextureLists();

// Loads a texture file through the archives: null when it cannot be made. A missing file falls
// back to "deftxtr.bmp"; without that too the record exists without surfaces (handle 0).
RenderTexture* RND_LoadTexture(const char* fileName);
// The same, drawn with its colour key (flag value 1).
RenderTexture* RND_LoadTextureKeyed(const char* fileName);
// Nothing for null; else the black colour key on both surfaces and flag value 1.
void RND_SetTextureColourKey(RenderTexture* texture);
// Sets the flag word; returns the previous one (0 for null, which is not changed).
uint32_t RND_SetTextureFlags(RenderTexture* texture, uint32_t flags);
uint32_t RND_GetTextureHandle(const RenderTexture* texture);

// Makes a texture usable for drawing (HAL: uploads it to video memory) and moves it to the head
// of the loaded list. When video memory cannot take it even with every other texture evicted, it
// stays unloaded where it is and draws with handle 0.
void RND_MakeTextureResident(RenderTexture* texture);
// Moves a texture to the head of the loaded list / of the unloaded list.
void RND_TouchTexture(RenderTexture* texture);
void RND_MoveToUnloaded(RenderTexture* texture);
// Releases the device surface, moves the texture to the head of the unloaded list and clears its
// loaded word: it is uploaded again when next drawn.
void RND_UnloadTexture(RenderTexture* texture);
// List ends for walking; null when the list is empty.
RenderTexture* RND_FirstLoadedTexture();
RenderTexture* RND_FirstUnloadedTexture();
// The texture after `texture` on its list, or null at the list's end.
RenderTexture* RND_NextTexture(const RenderTexture* texture);
RenderTexture* RND_LastLoadedTexture();

// Releases palette, material, system and device surfaces (each nulled); loaded word 0.
void RND_ReleaseTexture(RenderTexture* texture);
// Releases and frees every texture record of both lists and leaves the lists empty.
void RND_FreeAllTextures();
