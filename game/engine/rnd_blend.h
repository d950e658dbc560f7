// Switching the device's per-texture states: the texture handle, the two blend modes and the
// colour key, each set only when it differs from what was set last.
#pragma once
#include <cstdint>

#include "d3d.h"

struct RenderTexture;

// What RND_SetTextureState set last: the texture handle and one flag per blend mode and the key.
extern uint32_t g_RndCurrentHandle;
extern int32_t g_RndBlendColourOn, g_RndBlendAddOn, g_RndColourKeyOn;

// Makes a texture (or null: untextured) current. Flag value 2 blends source colour with
// destination colour, 4 blends additively (both together: no blending), 1 turns the colour key
// on (with nearest texels on the HAL device).
void RND_SetTextureState(IDirect3DDevice2* device, const RenderTexture* texture);
// Forgets what was set (after the device's defaults were set again).
void RND_ResetTextureState();
