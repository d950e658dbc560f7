// Direct3D materials: what IDirect3D2::CreateMaterial makes. A material keeps the description it
// was given and a handle, unique in the process, by which a device would light with it.
#include <atomic>

#include "d3d_internal.h"

namespace plat::detail {
namespace {

std::atomic<uint32_t> g_NextMaterialHandle{1};

class Direct3DMaterial final : public RefCountedObject<IDirect3DMaterial2> {
public:
    Direct3DMaterial() : handle_(g_NextMaterialHandle++) { CountObject(1); }
    HRESULT SetMaterial(const D3DMATERIAL* data) override {
        if (!data || data->dwSize != sizeof(D3DMATERIAL))
            return DDERR_INVALIDPARAMS;
        data_ = *data;
        return D3D_OK;
    }
    HRESULT GetMaterial(D3DMATERIAL* data) override {
        if (!data)
            return DDERR_INVALIDPARAMS;
        *data = data_;
        return D3D_OK;
    }
    HRESULT GetHandle(IDirect3DDevice2* device, uint32_t* handle) override {
        if (!device || !handle)
            return DDERR_INVALIDPARAMS;
        *handle = handle_;
        return D3D_OK;
    }

private:
    ~Direct3DMaterial() override { CountObject(-1); }
    const uint32_t handle_;
    D3DMATERIAL data_ = {sizeof(D3DMATERIAL), {}, {}, {}, {}, 0.0f, 0, 0};
};

}  // namespace

IDirect3DMaterial2* CreateMaterialObject() {
    return new Direct3DMaterial();
}

}  // namespace plat::detail
