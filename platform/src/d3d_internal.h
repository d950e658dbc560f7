// Private interfaces of the Direct3D objects: the device with its render target, Z buffer,
// viewports and render states, and the viewport. The rasteriser that draws through a device
// builds on these. Not seen outside platform/.
#pragma once
#include <atomic>
#include <vector>

#include "ddraw_internal.h"

namespace plat::detail {

// An object that hands out no other interface: one reference count, freed at its last
// Release. The object's own destructor gives back what it holds.
template <class Interface>
class RefCountedObject : public Interface {
public:
    HRESULT QueryInterface(REFIID, void** out) override {
        if (out)
            *out = nullptr;
        return DDERR_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    virtual ~RefCountedObject() = default;

private:
    std::atomic<ULONG> refs_{1};
};

class Direct3DViewport;
// What the rasteriser keeps per device: records, texture handles, the inverse palette
// (d3d_draw.cpp).
struct DrawState;
struct DrawStateDeleter {
    void operator()(DrawState* state) const;
};

class Direct3DDevice final : public IDirect3DDevice2 {
public:
    Direct3DDevice(bool hardware, DirectDrawSurface* target);
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT AddViewport(IDirect3DViewport2* viewport) override;
    HRESULT BeginScene() override;
    HRESULT DeleteViewport(IDirect3DViewport2* viewport) override;
    HRESULT EndScene() override;
    HRESULT GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* emulation) override;
    HRESULT GetCurrentViewport(IDirect3DViewport2** out) override;
    HRESULT GetRenderState(uint32_t state, uint32_t* value) override;
    HRESULT GetRenderTarget(IDirectDrawSurface3** out) override;
    HRESULT SetCurrentViewport(IDirect3DViewport2* viewport) override;
    HRESULT SetRenderState(uint32_t state, uint32_t value) override;
    HRESULT DrawPrimitive(uint32_t primitive, uint32_t vertexType, void* vertices, uint32_t count,
                          uint32_t flags) override;
    HRESULT EnumTextureFormats(LPD3DENUMTEXTUREFORMATSCALLBACK callback, void* context) override;
    HRESULT GetLightState(uint32_t state, uint32_t* value) override;
    HRESULT SetLightState(uint32_t state, uint32_t value) override;
    // Logs a render state set when the device records (d3d_draw.cpp).
    void NoteRenderState(uint32_t state, uint32_t value);
    std::unique_ptr<DrawState, DrawStateDeleter> draw;

    bool Hardware() const { return hardware_; }
    bool InScene() const { return inScene_; }
    DirectDrawSurface* Target() const { return target_; }
    // The Z buffer attached to the render target, or null.
    DirectDrawSurface* ZBuffer() const { return target_->ZBuffer(); }
    Direct3DViewport* CurrentViewport() const { return current_; }
    uint32_t RenderState(uint32_t state) const { return state < kD3DRenderStateCount ? states_[state] : 0; }
    // The descriptions a device of this kind reports for a driver.
    static void Describe(bool hardware, const DisplayDriverSpec& spec, D3DDEVICEDESC* hardwareDesc,
                         D3DDEVICEDESC* emulationDesc);

private:
    ~Direct3DDevice();
    std::atomic<ULONG> refs_{1};
    bool hardware_;
    DirectDrawSurface* target_;  // one reference
    std::vector<Direct3DViewport*> viewports_;  // one reference each
    Direct3DViewport* current_ = nullptr;
    bool inScene_ = false;
    uint32_t states_[kD3DRenderStateCount] = {};
    uint32_t lightStates_[kD3DLightStateCount] = {};
};

class Direct3DViewport final : public IDirect3DViewport2 {
public:
    Direct3DViewport();
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Clear(uint32_t count, const D3DRECT* rects, uint32_t flags) override;
    HRESULT GetViewport2(D3DVIEWPORT2* data) override;
    HRESULT SetViewport2(const D3DVIEWPORT2* data) override;

    // The device it was added to (set and cleared by the device).
    Direct3DDevice* device = nullptr;
    const D3DVIEWPORT2& Data() const { return data_; }
    static Direct3DViewport* From(IDirect3DViewport2* viewport);

private:
    ~Direct3DViewport();
    std::atomic<ULONG> refs_{1};
    bool set_ = false;
    D3DVIEWPORT2 data_ = {};
};

// The handle by which a device draws a texture surface (1, 2, ...; d3d_draw.cpp).
uint32_t TextureHandleOf(Direct3DDevice* device, DirectDrawSurface* surface);

}  // namespace plat::detail
