// The renderer's default render states and the display-mode check (see rnd_states.h).
#include "engine/rnd_states.h"

#include <cstdint>

#include "engine/rnd_blend.h"
#include "engine/rnd_state.h"

namespace {
struct StateValue {
    uint32_t state, value;
};

constexpr StateValue kHardwareStates[] = {
    {D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_MODULATE}, {D3DRENDERSTATE_TEXTUREMAG, D3DFILTER_LINEAR},
    {D3DRENDERSTATE_TEXTUREMIN, D3DFILTER_LINEAR},        {D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD},
    {D3DRENDERSTATE_DITHERENABLE, 1},
};
constexpr StateValue kRampStates[] = {
    {D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD}, {D3DRENDERSTATE_TEXTUREMAG, D3DFILTER_NEAREST},
    {D3DRENDERSTATE_TEXTUREMIN, D3DFILTER_NEAREST}, {D3DRENDERSTATE_DITHERENABLE, 0},
    {D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_DECAL},
};
constexpr StateValue kCommonStates[] = {
    {D3DRENDERSTATE_ALPHABLENDENABLE, 0},
    {D3DRENDERSTATE_COLORKEYENABLE, 0},
    {D3DRENDERSTATE_SRCBLEND, D3DBLEND_DESTCOLOR},
    {D3DRENDERSTATE_DESTBLEND, D3DBLEND_SRCCOLOR},
    {D3DRENDERSTATE_SPECULARENABLE, 0},
    {D3DRENDERSTATE_CULLMODE, D3DCULL_NONE},
    {D3DRENDERSTATE_TEXTUREPERSPECTIVE, 1},
    {D3DRENDERSTATE_ZENABLE, 1},
    {D3DRENDERSTATE_ZWRITEENABLE, 1},
    {D3DRENDERSTATE_ZFUNC, D3DCMP_LESS},
};

struct ModeSearch {
    uint32_t width, height, bpp;
    int found;
};

HRESULT MatchMode(DDSURFACEDESC* mode, void* context) {
    auto* search = static_cast<ModeSearch*>(context);
    if (mode->dwWidth != search->width || mode->dwHeight != search->height ||
        mode->ddpfPixelFormat.dwRGBBitCount != search->bpp)
        return DDENUMRET_OK;
    search->found = 1;
    return DDENUMRET_CANCEL;
}
}  // namespace

void RND_SetDefaultRenderStates() {
    IDirect3DDevice2* device = g_Rnd.device;
    if (!device)
        return;
    if (RND_IsHardwareDevice())
        for (const StateValue& s : kHardwareStates)
            device->SetRenderState(s.state, s.value);
    else
        for (const StateValue& s : kRampStates)
            device->SetRenderState(s.state, s.value);
    for (const StateValue& s : kCommonStates)
        device->SetRenderState(s.state, s.value);
    // The per-texture switching starts again from these defaults (a new device after a mode
    // switch has no texture, blending or key set).
    RND_ResetTextureState();
}

int RND_IsDisplayModeSupported(int width, int height, int bpp) {
    if (RND_IsHardwareDevice() && bpp == 8)
        return 0;
    if (!g_Rnd.directDraw)
        return 0;
    ModeSearch search{uint32_t(width), uint32_t(height), uint32_t(bpp), 0};
    g_Rnd.directDraw->EnumDisplayModes(0, nullptr, &search, MatchMode);
    return search.found;
}
