// The IDirect3DTexture2 interface of a texture surface: handles by which a device draws it, and
// loading one texture's pixels and palette into another (system memory to video memory).
#include <cstring>

#include "d3d_internal.h"

namespace plat::detail {
namespace {

class Direct3DTexture final : public RefCountedObject<IDirect3DTexture2> {
public:
    explicit Direct3DTexture(DirectDrawSurface* surface) : surface_(surface) {
        surface_->AddRef();
        CountObject(1);
    }
    HRESULT GetHandle(IDirect3DDevice2* device, uint32_t* handle) override {
        auto* d = dynamic_cast<Direct3DDevice*>(device);
        if (!d || !handle)
            return DDERR_INVALIDPARAMS;
        *handle = TextureHandleOf(d, surface_);
        return D3D_OK;
    }
    HRESULT Load(IDirect3DTexture2* source) override {
        auto* from = dynamic_cast<Direct3DTexture*>(source);
        if (!from)
            return DDERR_INVALIDPARAMS;
        DirectDrawSurface* s = from->surface_;
        DirectDrawSurface* d = surface_;
        if (s->Width() != d->Width() || s->Height() != d->Height() || s->BitsPerPixel() != d->BitsPerPixel())
            return DDERR_INVALIDPARAMS;
        if (s->Lost() || d->Lost())
            return DDERR_SURFACELOST;
        const size_t rowBytes = size_t(s->Width()) * size_t(s->BitsPerPixel() / 8);
        for (int y = 0; y < s->Height(); ++y)
            std::memcpy(d->Pixels() + size_t(y) * size_t(d->Pitch()), s->Pixels() + size_t(y) * size_t(s->Pitch()),
                        rowBytes);
        if (s->Palette())
            d->SetPalette(s->Palette());
        return D3D_OK;
    }

private:
    ~Direct3DTexture() override {
        surface_->Release();
        CountObject(-1);
    }
    DirectDrawSurface* surface_;
};

}  // namespace

IDirect3DTexture2* CreateTextureInterface(DirectDrawSurface* surface) {
    return new Direct3DTexture(surface);
}

}  // namespace plat::detail
