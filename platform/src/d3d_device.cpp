// Direct3D devices: the HAL or Ramp device on a render target surface, its capabilities, its
// viewports, scenes and render states. Drawing is added by the rasteriser.
#include <algorithm>

#include "d3d_internal.h"

namespace plat::detail {

Direct3DDevice::Direct3DDevice(bool hardware, DirectDrawSurface* target) : hardware_(hardware), target_(target) {
    target_->AddRef();
    CountObject(1);
}

Direct3DDevice::~Direct3DDevice() {
    for (Direct3DViewport* v : viewports_) {
        v->device = nullptr;
        v->Release();
    }
    target_->Release();
    CountObject(-1);
}

void Direct3DDevice::Describe(bool hardware, const DisplayDriverSpec& spec, D3DDEVICEDESC* hardwareDesc,
                              D3DDEVICEDESC* emulationDesc) {
    *hardwareDesc = D3DDEVICEDESC{};
    *emulationDesc = D3DDEVICEDESC{};
    hardwareDesc->dwSize = emulationDesc->dwSize = sizeof(D3DDEVICEDESC);
    if (hardware) {
        hardwareDesc->dwFlags = spec.halFlags | D3DDD_COLORMODEL | D3DDD_DEVICERENDERBITDEPTH |
                                D3DDD_DEVICEZBUFFERBITDEPTH;
        hardwareDesc->dcmColorModel = D3DCOLOR_RGB;
        hardwareDesc->dpcTriCaps = D3DPRIMCAPS{sizeof(D3DPRIMCAPS), spec.halSrcBlendCaps, spec.halDestBlendCaps, 0,
                                               spec.halTextureCaps};
        hardwareDesc->dwDeviceRenderBitDepth = DDBD_16;
        hardwareDesc->dwDeviceZBufferBitDepth = DDBD_16;
        return;
    }
    // The software device: everything is emulated.
    emulationDesc->dwFlags = D3DDD_COLORMODEL | D3DDD_TRICAPS | D3DDD_DEVICERENDERBITDEPTH |
                             D3DDD_DEVICEZBUFFERBITDEPTH;
    emulationDesc->dcmColorModel = D3DCOLOR_MONO;
    emulationDesc->dpcTriCaps = D3DPRIMCAPS{sizeof(D3DPRIMCAPS), D3DPBLENDCAPS_ONE, D3DPBLENDCAPS_ZERO, 0,
                                            D3DPTEXTURECAPS_PERSPECTIVE};
    emulationDesc->dwDeviceRenderBitDepth = DDBD_8 | DDBD_16;
    emulationDesc->dwDeviceZBufferBitDepth = DDBD_16;
}

HRESULT Direct3DDevice::QueryInterface(REFIID, void** out) {
    if (out)
        *out = nullptr;
    return DDERR_NOINTERFACE;
}

ULONG Direct3DDevice::AddRef() {
    return ++refs_;
}

ULONG Direct3DDevice::Release() {
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT Direct3DDevice::AddViewport(IDirect3DViewport2* viewport) {
    Direct3DViewport* v = Direct3DViewport::From(viewport);
    if (!v || v->device)
        return DDERR_INVALIDPARAMS;
    v->AddRef();
    v->device = this;
    viewports_.push_back(v);
    return D3D_OK;
}

HRESULT Direct3DDevice::DeleteViewport(IDirect3DViewport2* viewport) {
    Direct3DViewport* v = Direct3DViewport::From(viewport);
    auto it = std::find(viewports_.begin(), viewports_.end(), v);
    if (!v || it == viewports_.end())
        return DDERR_INVALIDPARAMS;
    viewports_.erase(it);
    if (current_ == v)
        current_ = nullptr;
    v->device = nullptr;
    v->Release();
    return D3D_OK;
}

HRESULT Direct3DDevice::SetCurrentViewport(IDirect3DViewport2* viewport) {
    Direct3DViewport* v = Direct3DViewport::From(viewport);
    if (!v || v->device != this)
        return DDERR_INVALIDPARAMS;
    current_ = v;
    return D3D_OK;
}

HRESULT Direct3DDevice::GetCurrentViewport(IDirect3DViewport2** out) {
    if (!out)
        return DDERR_INVALIDPARAMS;
    *out = current_;
    if (!current_)
        return DDERR_NOTFOUND;
    current_->AddRef();
    return D3D_OK;
}

HRESULT Direct3DDevice::BeginScene() {
    if (inScene_)
        return D3DERR_SCENE_IN_SCENE;
    if (target_->Lost())
        return DDERR_SURFACELOST;
    inScene_ = true;
    return D3D_OK;
}

HRESULT Direct3DDevice::EndScene() {
    if (!inScene_)
        return D3DERR_SCENE_NOT_IN_SCENE;
    inScene_ = false;
    return D3D_OK;
}

HRESULT Direct3DDevice::GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* emulation) {
    if (!hardware || !emulation || hardware->dwSize != sizeof(D3DDEVICEDESC) ||
        emulation->dwSize != sizeof(D3DDEVICEDESC))
        return DDERR_INVALIDPARAMS;
    Describe(hardware_, target_->Machine()->spec, hardware, emulation);
    return D3D_OK;
}

HRESULT Direct3DDevice::GetRenderState(uint32_t state, uint32_t* value) {
    if (!value || state == 0 || state >= kD3DRenderStateCount)
        return DDERR_INVALIDPARAMS;
    *value = states_[state];
    return D3D_OK;
}

HRESULT Direct3DDevice::SetRenderState(uint32_t state, uint32_t value) {
    if (state == 0 || state >= kD3DRenderStateCount)
        return DDERR_INVALIDPARAMS;
    states_[state] = value;
    NoteRenderState(state, value);
    return D3D_OK;
}

HRESULT Direct3DDevice::GetLightState(uint32_t state, uint32_t* value) {
    if (!value || state == 0 || state >= kD3DLightStateCount)
        return DDERR_INVALIDPARAMS;
    *value = lightStates_[state];
    return D3D_OK;
}

HRESULT Direct3DDevice::SetLightState(uint32_t state, uint32_t value) {
    if (state == 0 || state >= kD3DLightStateCount)
        return DDERR_INVALIDPARAMS;
    lightStates_[state] = value;
    return D3D_OK;
}

HRESULT Direct3DDevice::GetRenderTarget(IDirectDrawSurface3** out) {
    if (!out)
        return DDERR_INVALIDPARAMS;
    target_->AddRef();
    *out = target_;
    return D3D_OK;
}

}  // namespace plat::detail
