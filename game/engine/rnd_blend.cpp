// Switching the device's per-texture states (see rnd_blend.h).
#include "engine/rnd_blend.h"

#include "engine/rnd_state.h"
#include "engine/rnd_texture.h"

uint32_t g_RndCurrentHandle = 0;
int32_t g_RndBlendColourOn = 0, g_RndBlendAddOn = 0, g_RndColourKeyOn = 0;

namespace {
void SetFilters(IDirect3DDevice2* device, uint32_t filter) {
    device->SetRenderState(D3DRENDERSTATE_TEXTUREMAG, filter);
    device->SetRenderState(D3DRENDERSTATE_TEXTUREMIN, filter);
}
}  // namespace

void RND_ResetTextureState() {
    g_RndCurrentHandle = 0;
    g_RndBlendColourOn = g_RndBlendAddOn = g_RndColourKeyOn = 0;
}

void RND_SetTextureState(IDirect3DDevice2* device, const RenderTexture* texture) {
    if (!device)
        return;
    if (!texture) {
        if (g_RndBlendColourOn || g_RndBlendAddOn)
            device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
        if (g_RndColourKeyOn)
            device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 0);
        g_RndBlendColourOn = g_RndBlendAddOn = g_RndColourKeyOn = 0;
        device->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, 0);
        if (!g_Rnd.hardwareDevice)
            device->SetLightState(D3DLIGHTSTATE_MATERIAL, 0);
        g_RndCurrentHandle = 0;
        return;
    }
    uint32_t flags = texture->flags;
    // Both blend modes at once cancel out: the texture is drawn unblended.
    const uint32_t both = RND_TEXTURE_BLEND_COLOUR | RND_TEXTURE_BLEND_ADD;
    if ((flags & both) == both)
        flags &= ~both;
    if (texture->handle != g_RndCurrentHandle) {
        device->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, texture->handle);
        // The Ramp device draws a texture through its material.
        if (!g_Rnd.hardwareDevice)
            device->SetLightState(D3DLIGHTSTATE_MATERIAL, texture->materialHandle);
        g_RndCurrentHandle = texture->handle;
    }
    if (flags & RND_TEXTURE_BLEND_COLOUR) {
        if (!g_RndBlendColourOn) {
            if (!g_RndBlendAddOn)
                device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
            device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCCOLOR);
            device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_DESTCOLOR);
        }
        g_RndBlendColourOn = 1;
    } else {
        g_RndBlendColourOn = 0;
    }
    if (flags & RND_TEXTURE_BLEND_ADD) {
        if (!g_RndBlendAddOn) {
            if (!g_RndBlendColourOn)
                device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
            device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
            device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
        }
        g_RndBlendAddOn = 1;
    } else {
        g_RndBlendAddOn = 0;
    }
    if (!g_RndBlendColourOn && !g_RndBlendAddOn)
        device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
    if (flags & RND_TEXTURE_KEYED) {
        if (!g_RndColourKeyOn) {
            device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1);
            if (g_Rnd.hardwareDevice)
                SetFilters(device, D3DFILTER_NEAREST);
        }
        g_RndColourKeyOn = 1;
    } else {
        if (g_RndColourKeyOn) {
            device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 0);
            if (g_Rnd.hardwareDevice)
                SetFilters(device, D3DFILTER_LINEAR);
        }
        g_RndColourKeyOn = 0;
    }
}
