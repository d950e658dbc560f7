// The IDirect3D2 interface of a DirectDraw object: device enumeration and creation (the HAL
// device when the driver has one and the render target is in video memory at 16 bits, the
// software Ramp device otherwise) and viewports.
#include "d3d_internal.h"

namespace plat::detail {
namespace {

class Direct3DObject final : public RefCountedObject<IDirect3D2> {
public:
    explicit Direct3DObject(DirectDrawObject* owner) : owner_(owner) {
        static_cast<IDirectDraw*>(owner_)->AddRef();
        CountObject(1);
    }

    HRESULT CreateDevice(REFCLSID kind, IDirectDrawSurface3* target, IDirect3DDevice2** out) override {
        if (!out)
            return DDERR_INVALIDPARAMS;
        *out = nullptr;
        DirectDrawSurface* t = DirectDrawSurface::From(target);
        if (!t || t->Machine() != owner_->Machine())
            return DDERR_INVALIDPARAMS;
        if (!(t->Caps() & DDSCAPS_3DDEVICE) || (t->Caps() & DDSCAPS_ZBUFFER))
            return DDERR_INVALIDCAPS;
        if (t->BitsPerPixel() != 8 && t->BitsPerPixel() != 16)
            return DDERR_INVALIDPIXELFORMAT;
        if (t->Lost())
            return DDERR_SURFACELOST;
        const bool hardware = IsEqualGUID(kind, IID_IDirect3DHALDevice);
        if (hardware) {
            if (!owner_->Machine()->spec.halDevice)
                return D3DERR_INVALID_DEVICE;
            if (!t->InVideoMemory())
                return D3DERR_SURFACENOTINVIDMEM;
            if (t->BitsPerPixel() != 16)
                return DDERR_INVALIDPIXELFORMAT;  // the cards render at 16 bits only
        } else if (!IsEqualGUID(kind, IID_IDirect3DRampDevice)) {
            return DDERR_INVALIDPARAMS;
        }
        *out = new Direct3DDevice(hardware, t);
        return D3D_OK;
    }

    HRESULT CreateViewport(IDirect3DViewport2** out, IUnknown* outer) override {
        if (!out || outer)
            return DDERR_INVALIDPARAMS;
        *out = new Direct3DViewport();
        return D3D_OK;
    }

    HRESULT CreateMaterial(IDirect3DMaterial2** out, IUnknown* outer) override {
        if (!out || outer)
            return DDERR_INVALIDPARAMS;
        *out = CreateMaterialObject();
        return D3D_OK;
    }

    HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK callback, void* context) override {
        if (!callback)
            return DDERR_INVALIDPARAMS;
        const DisplayDriverSpec& spec = owner_->Machine()->spec;
        struct Kind {
            bool hardware;
            GUID guid;
            const char* description;
            const char* name;
        };
        const Kind kinds[] = {{false, IID_IDirect3DRampDevice, "Ramp Emulation", "Ramp Emulation"},
                              {true, IID_IDirect3DHALDevice, "Direct3D HAL", "Direct3D HAL"}};
        for (const Kind& kind : kinds) {
            if (kind.hardware && !spec.halDevice)
                continue;
            D3DDEVICEDESC hardwareDesc{}, emulationDesc{};
            Direct3DDevice::Describe(kind.hardware, spec, &hardwareDesc, &emulationDesc);
            GUID guid = kind.guid;
            std::string description = kind.description, name = kind.name;
            if (callback(&guid, description.data(), name.data(), &hardwareDesc, &emulationDesc, context) ==
                D3DENUMRET_CANCEL)
                break;
        }
        return D3D_OK;
    }

private:
    ~Direct3DObject() override {
        static_cast<IDirectDraw*>(owner_)->Release();
        CountObject(-1);
    }
    DirectDrawObject* owner_;  // one reference
};

}  // namespace

IDirect3D2* CreateDirect3D(DirectDrawObject* owner) {
    return new Direct3DObject(owner);
}

}  // namespace plat::detail
