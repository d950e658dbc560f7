// Direct3D viewports: the rectangle of the render target a device draws in, and clearing its
// parts of the render target and of the Z buffer.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>

#include "d3d_internal.h"

namespace plat::detail {
namespace {
std::mutex g_ViewportLock;
std::set<const IDirect3DViewport2*>& Viewports() {
    static auto* viewports = new std::set<const IDirect3DViewport2*>;
    return *viewports;
}

// Fills the rectangle [x0, x1) x [y0, y1) of a 8- or 16-bit surface with one value.
void Fill(DirectDrawSurface* s, int x0, int y0, int x1, int y1, uint16_t value) {
    const int bytes = s->BitsPerPixel() / 8;
    for (int y = y0; y < y1; ++y) {
        uint8_t* row = s->Pixels() + size_t(y) * size_t(s->Pitch());
        for (int x = x0; x < x1; ++x) {
            if (bytes == 1)
                row[x] = uint8_t(value);
            else
                std::memcpy(row + size_t(x) * 2, &value, 2);
        }
    }
}
}  // namespace

Direct3DViewport::Direct3DViewport() {
    std::lock_guard<std::mutex> guard(g_ViewportLock);
    Viewports().insert(this);
    CountObject(1);
}

Direct3DViewport::~Direct3DViewport() {
    std::lock_guard<std::mutex> guard(g_ViewportLock);
    Viewports().erase(this);
    CountObject(-1);
}

Direct3DViewport* Direct3DViewport::From(IDirect3DViewport2* viewport) {
    std::lock_guard<std::mutex> guard(g_ViewportLock);
    return Viewports().count(viewport) ? static_cast<Direct3DViewport*>(viewport) : nullptr;
}

HRESULT Direct3DViewport::QueryInterface(REFIID, void** out) {
    if (out)
        *out = nullptr;
    return DDERR_NOINTERFACE;
}

ULONG Direct3DViewport::AddRef() {
    return ++refs_;
}

ULONG Direct3DViewport::Release() {
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT Direct3DViewport::SetViewport2(const D3DVIEWPORT2* data) {
    if (!data || data->dwSize != sizeof(D3DVIEWPORT2))
        return DDERR_INVALIDPARAMS;
    if (!device)
        return D3DERR_VIEWPORTHASNODEVICE;
    const DirectDrawSurface* target = device->Target();
    if (data->dwWidth == 0 || data->dwHeight == 0 || uint64_t(data->dwX) + data->dwWidth > uint64_t(target->Width()) ||
        uint64_t(data->dwY) + data->dwHeight > uint64_t(target->Height()))
        return DDERR_INVALIDPARAMS;
    data_ = *data;
    set_ = true;
    return D3D_OK;
}

HRESULT Direct3DViewport::GetViewport2(D3DVIEWPORT2* data) {
    if (!data || data->dwSize != sizeof(D3DVIEWPORT2))
        return DDERR_INVALIDPARAMS;
    *data = data_;
    data->dwSize = sizeof(D3DVIEWPORT2);
    return D3D_OK;
}

HRESULT Direct3DViewport::Clear(uint32_t count, const D3DRECT* rects, uint32_t flags) {
    if ((count && !rects) || !(flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER)))
        return DDERR_INVALIDPARAMS;
    if (!device)
        return D3DERR_VIEWPORTHASNODEVICE;
    DirectDrawSurface* target = device->Target();
    DirectDrawSurface* z = (flags & D3DCLEAR_ZBUFFER) ? device->ZBuffer() : nullptr;
    if ((flags & D3DCLEAR_ZBUFFER) && !z)
        return D3DERR_ZBUFFER_NOTPRESENT;
    for (DirectDrawSurface* s : {target, z})
        if (s && s->Lost())
            return DDERR_SURFACELOST;
    for (DirectDrawSurface* s : {target, z})
        if (s && s->Busy())
            return DDERR_SURFACEBUSY;
    // Everything is clipped to the viewport (the whole target before one is set).
    const int vx0 = set_ ? int(data_.dwX) : 0, vy0 = set_ ? int(data_.dwY) : 0;
    const int vx1 = set_ ? vx0 + int(data_.dwWidth) : target->Width();
    const int vy1 = set_ ? vy0 + int(data_.dwHeight) : target->Height();
    for (uint32_t i = 0; i < count; ++i) {
        const int x0 = std::max<int>(rects[i].x1, vx0), y0 = std::max<int>(rects[i].y1, vy0);
        const int x1 = std::min<int>(rects[i].x2, vx1), y1 = std::min<int>(rects[i].y2, vy1);
        if (x0 >= x1 || y0 >= y1)
            continue;
        if (flags & D3DCLEAR_TARGET)
            Fill(target, x0, y0, x1, y1, 0);
        if (z)
            Fill(z, x0, y0, x1, y1, 0xFFFF);
    }
    return D3D_OK;
}

}  // namespace plat::detail
