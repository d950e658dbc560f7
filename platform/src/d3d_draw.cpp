// Drawing on a Direct3D device: DrawPrimitive hands triangle and line lists to the software
// rasteriser on the render target and its Z buffer; texture handles name texture surfaces; the
// formats textures may have; and the recording that tests read back.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "d3d_internal.h"
#include "d3d_raster.h"
#include "d3d_record.h"

namespace plat::detail {

struct DrawState;

namespace {
// Every device's draw state, so that a texture surface being destroyed can be forgotten by the
// handles that name it. The handle tables are read and written under this lock.
std::mutex g_DrawStatesLock;
std::vector<DrawState*>& DrawStates() {
    // Never destroyed: a device may still be released while the process exits.
    static auto* states = new std::vector<DrawState*>;
    return *states;
}
}  // namespace

struct DrawState {
    bool recording = false;
    std::vector<D3DRecord> records;
    // handle - 1. No references are held: as on the real device a handle does not keep its
    // texture alive, so a released texture gives back its video memory; its slot is emptied
    // when the surface goes and may be reused by the next texture that asks for a handle.
    std::vector<DirectDrawSurface*> textures;
    // The inverse table of the palette last drawn into at 8 bits.
    std::vector<uint8_t> inverse;
    PALETTEENTRY inversePalette[256] = {};
    std::vector<uint32_t> texels;  // the texture being drawn, as 0x00RRGGBB
    DrawState() {
        std::lock_guard<std::mutex> guard(g_DrawStatesLock);
        DrawStates().push_back(this);
    }
    ~DrawState() {
        std::lock_guard<std::mutex> guard(g_DrawStatesLock);
        auto& all = DrawStates();
        all.erase(std::remove(all.begin(), all.end(), this), all.end());
    }
};

void ForgetTextureSurface(DirectDrawSurface* surface) {
    std::lock_guard<std::mutex> guard(g_DrawStatesLock);
    for (DrawState* st : DrawStates())
        std::replace(st->textures.begin(), st->textures.end(), surface, static_cast<DirectDrawSurface*>(nullptr));
}

void DrawStateDeleter::operator()(DrawState* state) const {
    delete state;
}

namespace {

DrawState& StateOf(Direct3DDevice* device) {
    if (!device->draw)
        device->draw.reset(new DrawState);
    return *device->draw;
}

PALETTEENTRY g_ThreeThreeTwo[256];
const PALETTEENTRY* ThreeThreeTwo() {
    static const bool made = [] {
        for (int i = 0; i < 256; ++i)
            g_ThreeThreeTwo[i] = ThreeThreeTwoEntry(i);
        return true;
    }();
    (void)made;
    return g_ThreeThreeTwo;
}

const PALETTEENTRY* PaletteOf(DirectDrawSurface* surface) {
    DirectDrawPalette* p = surface->Palette();
    return p && p->Count() == 256 ? p->Entries() : ThreeThreeTwo();
}

// Decodes a texture surface into texels; keyed texels (by the surface's source key) get a mark.
bool DecodeTexture(DirectDrawSurface* s, std::vector<uint32_t>& out, RasterTexture* tex) {
    const int w = s->Width(), h = s->Height(), bits = s->BitsPerPixel();
    if (w <= 0 || h <= 0 || (bits != 8 && bits != 16) || s->Lost())
        return false;
    out.resize(size_t(w) * size_t(h));
    const DDCOLORKEY* key = s->SourceKey();
    const uint32_t low = key ? key->dwColorSpaceLowValue : 1, high = key ? key->dwColorSpaceHighValue : 0;
    const PALETTEENTRY* palette = bits == 8 ? PaletteOf(s) : nullptr;
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = s->Pixels() + size_t(y) * size_t(s->Pitch());
        uint32_t* dst = out.data() + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) {
            uint32_t raw, colour;
            if (bits == 8) {
                raw = row[x];
                const PALETTEENTRY& e = palette[raw];
                colour = (uint32_t(e.peRed) << 16) | (uint32_t(e.peGreen) << 8) | e.peBlue;
            } else {
                uint16_t p;
                std::memcpy(&p, row + x * 2, 2);
                raw = p;
                colour = Rgb565ToXrgb(p);
            }
            if (raw >= low && raw <= high)
                colour |= kTexelKeyed;
            dst[x] = colour;
        }
    }
    tex->texels = out.data();
    tex->width = w;
    tex->height = h;
    return true;
}

}  // namespace

uint32_t TextureHandleOf(Direct3DDevice* device, DirectDrawSurface* surface) {
    DrawState& st = StateOf(device);
    std::lock_guard<std::mutex> guard(g_DrawStatesLock);
    for (size_t i = 0; i < st.textures.size(); ++i)
        if (st.textures[i] == surface)
            return uint32_t(i + 1);
    for (size_t i = 0; i < st.textures.size(); ++i)
        if (!st.textures[i]) {
            st.textures[i] = surface;
            return uint32_t(i + 1);
        }
    st.textures.push_back(surface);
    return uint32_t(st.textures.size());
}

void Direct3DDevice::NoteRenderState(uint32_t state, uint32_t value) {
    if (draw && draw->recording) {
        D3DRecord r;
        r.kind = D3DRecord::kState;
        r.state = state;
        r.value = value;
        draw->records.push_back(std::move(r));
    }
}

HRESULT Direct3DDevice::EnumTextureFormats(LPD3DENUMTEXTUREFORMATSCALLBACK callback, void* context) {
    if (!callback)
        return DDERR_INVALIDPARAMS;
    const DDPIXELFORMAT formats[] = {
        {sizeof(DDPIXELFORMAT), DDPF_PALETTEINDEXED8 | DDPF_RGB, 8, 0, 0, 0},
        {sizeof(DDPIXELFORMAT), DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F},
    };
    for (const DDPIXELFORMAT& f : formats) {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_PIXELFORMAT;
        desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
        desc.ddpfPixelFormat = f;
        if (callback(&desc, context) == D3DENUMRET_CANCEL)
            break;
    }
    return D3D_OK;
}

HRESULT Direct3DDevice::DrawPrimitive(uint32_t primitive, uint32_t vertexType, void* vertices, uint32_t count,
                                      uint32_t flags) {
    if (vertexType != D3DVT_TLVERTEX || (count && !vertices) ||
        (primitive != D3DPT_TRIANGLELIST && primitive != D3DPT_LINELIST))
        return DDERR_INVALIDPARAMS;
    if (!inScene_)
        return D3DERR_SCENE_NOT_IN_SCENE;
    if (target_->Lost())
        return DDERR_SURFACELOST;
    DrawState& st = StateOf(this);
    const auto* v = static_cast<const D3DTLVERTEX*>(vertices);
    if (st.recording) {
        D3DRecord r;
        r.kind = D3DRecord::kDraw;
        r.primitive = primitive;
        r.flags = flags;
        r.vertices.assign(v, v + count);
        std::memcpy(r.states.data(), states_, sizeof states_);
        st.records.push_back(std::move(r));
    }

    RasterTarget t;
    t.pixels = target_->Pixels();
    t.pitch = target_->Pitch();
    t.bitsPerPixel = target_->BitsPerPixel();
    t.x1 = target_->Width();
    t.y1 = target_->Height();
    if (t.bitsPerPixel != 16 && t.bitsPerPixel != 8)
        return DDERR_INVALIDPIXELFORMAT;
    if (t.bitsPerPixel == 8) {
        t.palette = PaletteOf(target_);
        if (st.inverse.empty() || std::memcmp(st.inversePalette, t.palette, sizeof st.inversePalette) != 0) {
            st.inverse.resize(32768);
            std::memcpy(st.inversePalette, t.palette, sizeof st.inversePalette);
            BuildInversePalette(t.palette, 256, st.inverse.data());
        }
        t.inverse = st.inverse.data();
    }
    if (DirectDrawSurface* z = ZBuffer(); z && z->BitsPerPixel() == 16 && !z->Lost()) {
        t.z = reinterpret_cast<uint16_t*>(z->Pixels());
        t.zPitch = z->Pitch() / 2;
        t.x1 = std::min(t.x1, z->Width());
        t.y1 = std::min(t.y1, z->Height());
    }

    RasterTexture texture;
    bool textured = false;
    const uint32_t handle = states_[D3DRENDERSTATE_TEXTUREHANDLE];
    DirectDrawSurface* source = nullptr;
    {
        std::lock_guard<std::mutex> guard(g_DrawStatesLock);
        if (primitive == D3DPT_TRIANGLELIST && handle != 0 && handle <= st.textures.size())
            source = st.textures[handle - 1];
    }
    if (source)
        textured = DecodeTexture(source, st.texels, &texture);
    const RasterState s = RasterState::FromStates(states_, textured);
    if (primitive == D3DPT_TRIANGLELIST) {
        for (uint32_t i = 0; i + 3 <= count; i += 3)
            RasterTriangle(t, textured ? &texture : nullptr, s, v[i], v[i + 1], v[i + 2]);
    } else {
        for (uint32_t i = 0; i + 2 <= count; i += 2)
            RasterLine(t, s, v[i], v[i + 1]);
    }
    return D3D_OK;
}

}  // namespace plat::detail

namespace plat {

void D3DRecordDevice(IDirect3DDevice2* device, bool on) {
    auto* d = dynamic_cast<detail::Direct3DDevice*>(device);
    if (!d)
        return;
    detail::DrawState& st = detail::StateOf(d);
    st.recording = on;
    if (!on)
        st.records.clear();
}

std::vector<D3DRecord> D3DTakeRecords(IDirect3DDevice2* device) {
    auto* d = dynamic_cast<detail::Direct3DDevice*>(device);
    if (!d || !d->draw)
        return {};
    std::vector<D3DRecord> out;
    out.swap(d->draw->records);
    return out;
}

}  // namespace plat
