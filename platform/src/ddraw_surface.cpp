// DirectDraw surfaces in memory: 8-bit palettised or 16-bit 5-6-5 pixels (and 16-bit Z
// buffers), colour fills, fast blits with a source colour key, locks and device contexts, the
// front/back flip chain whose flip shows the front buffer through the backend, attached Z
// buffers and palettes, and loss and restore. Nothing ever writes outside a surface: rectangles
// that do not lie inside are refused.
#include <cstring>
#include <mutex>
#include <set>

#include "ddraw_internal.h"

namespace plat::detail {
namespace {
std::mutex g_SurfaceLock;
std::set<DirectDrawSurface*>& Surfaces() {
    static auto* surfaces = new std::set<DirectDrawSurface*>;
    return *surfaces;
}

uint32_t ReadPixel(const uint8_t* at, int bytes) {
    if (bytes == 1)
        return *at;
    uint16_t v;
    std::memcpy(&v, at, 2);
    return v;
}

void WritePixel(uint8_t* at, int bytes, uint32_t value) {
    if (bytes == 1) {
        *at = uint8_t(value);
        return;
    }
    const uint16_t v = uint16_t(value);
    std::memcpy(at, &v, 2);
}
}  // namespace

int DirectDrawSurface::PitchFor(int width, int bitsPerPixel) {
    const int row = width * (bitsPerPixel / 8);
    return (row + 16 + 15) & ~15;
}

DirectDrawSurface::DirectDrawSurface(std::shared_ptr<DisplayMachine> machine, uint32_t caps, int width, int height,
                                     const DDPIXELFORMAT& format, bool videoMemory)
    : machine_(std::move(machine)),
      caps_(caps),
      width_(width),
      height_(height),
      pitch_(PitchFor(width, int(format.dwRGBBitCount))),
      format_(format),
      videoMemory_(videoMemory),
      memory_(size_t(pitch_) * size_t(height), 0) {
    std::lock_guard<std::mutex> guard(g_SurfaceLock);
    Surfaces().insert(this);
    CountObject(1);
}

DirectDrawSurface::~DirectDrawSurface() {
    if (caps_ & DDSCAPS_TEXTURE)
        ForgetTextureSurface(this);
    if (dc_)
        DeleteSurfaceDC(dc_);
    for (DirectDrawSurface* s : attached_)
        s->Release();
    if (palette_)
        palette_->Release();
    if (videoMemory_)
        machine_->videoUsed -= uint32_t(memory_.size());
    if (caps_ & DDSCAPS_PRIMARYSURFACE)
        machine_->primaryExists = false;
    std::lock_guard<std::mutex> guard(g_SurfaceLock);
    Surfaces().erase(this);
    CountObject(-1);
}

DirectDrawSurface* DirectDrawSurface::From(IDirectDrawSurface3* surface) {
    std::lock_guard<std::mutex> guard(g_SurfaceLock);
    for (DirectDrawSurface* s : Surfaces())
        if (static_cast<IDirectDrawSurface3*>(s) == surface)
            return s;
    return nullptr;
}

void DirectDrawSurface::LoseVideoSurfaces(const DisplayMachine* machine) {
    std::lock_guard<std::mutex> guard(g_SurfaceLock);
    for (DirectDrawSurface* s : Surfaces())
        if (s->videoMemory_ && (!machine || s->machine_.get() == machine))
            s->lost_ = true;
}

void DirectDrawSurface::JoinChain(DirectDrawSurface* back) {
    back_ = back;
    attached_.push_back(back);
}

DirectDrawSurface* DirectDrawSurface::ZBuffer() const {
    for (DirectDrawSurface* s : attached_)
        if (s->caps_ & DDSCAPS_ZBUFFER)
            return s;
    return nullptr;
}

HRESULT DirectDrawSurface::QueryInterface(REFIID iid, void** out) {
    if (out)
        *out = nullptr;
    if (out && iid == IID_IDirect3DTexture2 && (caps_ & DDSCAPS_TEXTURE)) {
        *out = CreateTextureInterface(this);
        return DD_OK;
    }
    return DDERR_NOINTERFACE;
}

ULONG DirectDrawSurface::AddRef() {
    return ++refs_;
}

ULONG DirectDrawSurface::Release() {
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT DirectDrawSurface::CheckAccess(const RECT* rect, RECT* out) const {
    if (lost_)
        return DDERR_SURFACELOST;
    if (locked_)
        return DDERR_SURFACEBUSY;
    return CheckRect(rect, out);
}

HRESULT DirectDrawSurface::CheckRect(const RECT* rect, RECT* out) const {
    if (!rect) {
        *out = RECT{0, 0, width_, height_};
        return DD_OK;
    }
    if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
        rect->right > width_ || rect->bottom > height_)
        return DDERR_INVALIDRECT;
    *out = *rect;
    return DD_OK;
}

HRESULT DirectDrawSurface::AddAttachedSurface(IDirectDrawSurface3* surface) {
    DirectDrawSurface* z = From(surface);
    if (!z || z == this || !(z->caps_ & DDSCAPS_ZBUFFER) || (caps_ & DDSCAPS_ZBUFFER) || z->machine_ != machine_ ||
        z->width_ != width_ || z->height_ != height_)
        return DDERR_INVALIDPARAMS;
    if (ZBuffer())
        return DDERR_SURFACEALREADYATTACHED;
    z->AddRef();
    attached_.push_back(z);
    return DD_OK;
}

HRESULT DirectDrawSurface::Blt(const RECT* dest, IDirectDrawSurface3* source, const RECT* sourceRect, uint32_t flags,
                               const DDBLTFX* fx) {
    if (!(flags & DDBLT_COLORFILL) || source || sourceRect || (caps_ & DDSCAPS_ZBUFFER))
        return DDERR_UNSUPPORTED;
    if (!fx || fx->dwSize != sizeof(DDBLTFX))
        return DDERR_INVALIDPARAMS;
    RECT r;
    if (HRESULT result = CheckAccess(dest, &r))
        return result;
    const uint32_t c = fx->dwFillColor;
    const uint32_t value = ColourToPixel(BitsPerPixel(), palette_ ? palette_->Entries() : nullptr,
                                         palette_ ? palette_->Count() : 0, uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c));
    const int bytes = BitsPerPixel() / 8;
    for (LONG y = r.top; y < r.bottom; ++y) {
        uint8_t* row = memory_.data() + size_t(y) * size_t(pitch_);
        for (LONG x = r.left; x < r.right; ++x)
            WritePixel(row + size_t(x) * size_t(bytes), bytes, value);
    }
    return DD_OK;
}

HRESULT DirectDrawSurface::BltFast(uint32_t x, uint32_t y, IDirectDrawSurface3* source, const RECT* sourceRect,
                                   uint32_t flags) {
    if (flags & ~(DDBLTFAST_WAIT | DDBLTFAST_SRCCOLORKEY))
        return DDERR_UNSUPPORTED;
    DirectDrawSurface* src = From(source);
    if (!src)
        return DDERR_INVALIDPARAMS;
    if ((caps_ | src->caps_) & DDSCAPS_ZBUFFER)
        return DDERR_UNSUPPORTED;
    if (lost_ || src->lost_)
        return DDERR_SURFACELOST;
    if (locked_ || src->locked_)
        return DDERR_SURFACEBUSY;
    if (BitsPerPixel() != src->BitsPerPixel())
        return DDERR_INVALIDPIXELFORMAT;
    RECT s;
    if (HRESULT result = src->CheckRect(sourceRect, &s))
        return result;
    const int64_t w = s.right - s.left, h = s.bottom - s.top;
    if (int64_t(x) + w > width_ || int64_t(y) + h > height_)
        return DDERR_INVALIDRECT;
    const bool keyed = flags & DDBLTFAST_SRCCOLORKEY;
    if (keyed && !src->hasSourceKey_)
        return DDERR_NOCOLORKEY;

    const int bytes = BitsPerPixel() / 8;
    const size_t rowBytes = size_t(w) * size_t(bytes);
    // A blit within one surface reads its source before anything is written.
    std::vector<uint8_t> copy;
    const uint8_t* from = src->memory_.data() + size_t(s.top) * size_t(src->pitch_) + size_t(s.left) * size_t(bytes);
    size_t fromPitch = size_t(src->pitch_);
    if (src == this) {
        copy.resize(rowBytes * size_t(h));
        for (int64_t row = 0; row < h; ++row)
            std::memcpy(copy.data() + size_t(row) * rowBytes, from + size_t(row) * fromPitch, rowBytes);
        from = copy.data();
        fromPitch = rowBytes;
    }
    const uint32_t low = src->sourceKey_.dwColorSpaceLowValue, high = src->sourceKey_.dwColorSpaceHighValue;
    for (int64_t row = 0; row < h; ++row) {
        const uint8_t* in = from + size_t(row) * fromPitch;
        uint8_t* out = memory_.data() + (size_t(y) + size_t(row)) * size_t(pitch_) + size_t(x) * size_t(bytes);
        if (!keyed) {
            std::memcpy(out, in, rowBytes);
            continue;
        }
        for (int64_t col = 0; col < w; ++col) {
            const uint32_t v = ReadPixel(in + size_t(col) * size_t(bytes), bytes);
            if (v < low || v > high)
                WritePixel(out + size_t(col) * size_t(bytes), bytes, v);
        }
    }
    return DD_OK;
}

HRESULT DirectDrawSurface::Flip(IDirectDrawSurface3* target, uint32_t) {
    if (!back_)
        return DDERR_NOTFLIPPABLE;
    if (target && From(target) != back_)
        return DDERR_INVALIDPARAMS;
    if (lost_ || back_->lost_)
        return DDERR_SURFACELOST;
    if (locked_ || back_->locked_)
        return DDERR_SURFACEBUSY;
    memory_.swap(back_->memory_);
    Present();
    return DD_OK;
}

void DirectDrawSurface::Present() {
    shown_.resize(size_t(width_) * size_t(height_));
    const int bytes = BitsPerPixel() / 8;
    uint32_t palette[256];
    if (bytes == 1)
        for (int i = 0; i < 256; ++i) {
            PALETTEENTRY e = ThreeThreeTwoEntry(i);
            if (palette_)
                e = i < palette_->Count() ? palette_->Entries()[i] : PALETTEENTRY{0, 0, 0, 0};
            palette[i] = (uint32_t(e.peRed) << 16) | (uint32_t(e.peGreen) << 8) | e.peBlue;
        }
    const bool rgb555 = bytes == 2 && format_.dwGBitMask == 0x3E0;
    for (int y = 0; y < height_; ++y) {
        const uint8_t* row = memory_.data() + size_t(y) * size_t(pitch_);
        uint32_t* out = shown_.data() + size_t(y) * size_t(width_);
        for (int x = 0; x < width_; ++x) {
            if (bytes == 1) {
                out[x] = palette[row[x]];
                continue;
            }
            const uint16_t pixel = uint16_t(ReadPixel(row + size_t(x) * 2, 2));
            out[x] = rgb555 ? Rgb555ToXrgb(pixel) : Rgb565ToXrgb(pixel);
        }
    }
    plat::PresentFrame(shown_.data(), width_, height_);
}

HRESULT DirectDrawSurface::GetAttachedSurface(const DDSCAPS* caps, IDirectDrawSurface3** out) {
    if (!caps || !out)
        return DDERR_INVALIDPARAMS;
    *out = nullptr;
    for (DirectDrawSurface* s : attached_)
        if ((s->caps_ & caps->dwCaps) == caps->dwCaps) {
            s->AddRef();
            *out = s;
            return DD_OK;
        }
    return DDERR_NOTFOUND;
}

HRESULT DirectDrawSurface::GetCaps(DDSCAPS* caps) {
    if (!caps)
        return DDERR_INVALIDPARAMS;
    caps->dwCaps = caps_;
    return DD_OK;
}

HRESULT DirectDrawSurface::GetPixelFormat(DDPIXELFORMAT* format) {
    if (!format)
        return DDERR_INVALIDPARAMS;
    *format = format_;
    return DD_OK;
}

HRESULT DirectDrawSurface::GetSurfaceDesc(DDSURFACEDESC* desc) {
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC))
        return DDERR_INVALIDPARAMS;
    *desc = DDSURFACEDESC{};
    desc->dwSize = sizeof(DDSURFACEDESC);
    desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc->dwWidth = uint32_t(width_);
    desc->dwHeight = uint32_t(height_);
    desc->lPitch = pitch_;
    desc->ddpfPixelFormat = format_;
    desc->ddsCaps.dwCaps = caps_;
    if (caps_ & DDSCAPS_ZBUFFER) {
        desc->dwFlags |= DDSD_ZBUFFERBITDEPTH;
        desc->dwZBufferBitDepth = format_.dwRGBBitCount;
    }
    return DD_OK;
}

HRESULT DirectDrawSurface::IsLost() {
    return lost_ ? DDERR_SURFACELOST : DD_OK;
}

HRESULT DirectDrawSurface::Restore() {
    lost_ = false;
    if (back_)
        back_->lost_ = false;
    return DD_OK;
}

HRESULT DirectDrawSurface::Lock(const RECT* rect, DDSURFACEDESC* desc, uint32_t, HANDLE) {
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC))
        return DDERR_INVALIDPARAMS;
    RECT r;
    if (HRESULT result = CheckAccess(rect, &r))
        return result;
    GetSurfaceDesc(desc);
    desc->dwFlags |= DDSD_LPSURFACE;
    desc->lpSurface = memory_.data() + size_t(r.top) * size_t(pitch_) + size_t(r.left) * size_t(BitsPerPixel() / 8);
    locked_ = true;
    return DD_OK;
}

// Unlocking the primary surface presents it: a program that writes straight into the display
// (the movie player) never flips, and what it wrote is on the screen once the lock is given back.
HRESULT DirectDrawSurface::Unlock(void*) {
    if (!locked_ || dc_)
        return DDERR_NOTLOCKED;
    locked_ = false;
    if (caps_ & DDSCAPS_PRIMARYSURFACE)
        Present();
    return DD_OK;
}

HRESULT DirectDrawSurface::GetDC(HDC* dc) {
    if (!dc)
        return DDERR_INVALIDPARAMS;
    *dc = nullptr;
    if (caps_ & DDSCAPS_ZBUFFER)
        return DDERR_CANTCREATEDC;
    if (lost_)
        return DDERR_SURFACELOST;
    if (locked_)
        return DDERR_SURFACEBUSY;
    const SurfaceView view{memory_.data(), width_, height_, pitch_, BitsPerPixel(),
                           palette_ ? palette_->Entries() : nullptr, palette_ ? palette_->Count() : 0};
    dc_ = CreateSurfaceDC(view);
    if (!dc_)
        return DDERR_CANTCREATEDC;
    locked_ = true;
    *dc = dc_;
    return DD_OK;
}

HRESULT DirectDrawSurface::ReleaseDC(HDC dc) {
    if (!dc_ || dc != dc_)
        return DDERR_INVALIDPARAMS;
    DeleteSurfaceDC(dc_);
    dc_ = nullptr;
    locked_ = false;
    return DD_OK;
}

HRESULT DirectDrawSurface::SetColorKey(uint32_t flags, const DDCOLORKEY* key) {
    if (flags != DDCKEY_SRCBLT)
        return DDERR_UNSUPPORTED;
    hasSourceKey_ = key != nullptr;
    if (key)
        sourceKey_ = *key;
    return DD_OK;
}

HRESULT DirectDrawSurface::SetPalette(IDirectDrawPalette* palette) {
    if (BitsPerPixel() != 8)
        return DDERR_INVALIDPIXELFORMAT;
    if (dc_)
        return DDERR_SURFACEBUSY;  // the device context draws through the palette it has
    DirectDrawPalette* p = nullptr;
    if (palette && !(p = DirectDrawPalette::From(palette)))
        return DDERR_INVALIDPARAMS;
    if (p)
        p->AddRef();
    if (palette_)
        palette_->Release();
    palette_ = p;
    return DD_OK;
}

HRESULT DirectDrawSurface::GetPalette(IDirectDrawPalette** out) {
    if (!out)
        return DDERR_INVALIDPARAMS;
    *out = palette_;
    if (!palette_)
        return DDERR_NOTFOUND;
    palette_->AddRef();
    return DD_OK;
}

}  // namespace plat::detail
