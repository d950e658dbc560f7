// Private interfaces of the display family (ddraw, d3d, gdi): the objects behind the DirectDraw
// and Direct3D interfaces, the colour conversions they share, and the device context that GDI
// draws through onto a surface. Not seen outside platform/.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "d3d.h"
#include "ddraw.h"
#include "gdi.h"

namespace plat::detail {

// ---- Colours (ddraw_colour.cpp) ----
// 5-6-5 by truncation, and back to 8 bits per channel by repeating the top bits.
uint16_t PackRgb565(uint8_t r, uint8_t g, uint8_t b);
uint32_t Rgb565ToXrgb(uint16_t pixel);
// 5-5-5 (bit 15 ignored) to 8 bits per channel the same way.
uint32_t Rgb555ToXrgb(uint16_t pixel);
// The 3-3-2 palette: entry i is red (i >> 5) << 5, green ((i >> 2) & 7) << 5, blue (i & 3) << 6.
PALETTEENTRY ThreeThreeTwoEntry(int index);
// The entry of count nearest to (r, g, b) (squared distance, the lowest index on a tie); the
// 3-3-2 palette when entries is null.
uint8_t NearestPaletteIndex(const PALETTEENTRY* entries, int count, uint8_t r, uint8_t g, uint8_t b);
// A colour as a pixel of a surface format: 5-6-5 at 16 bits, the nearest palette entry at 8.
uint32_t ColourToPixel(int bitsPerPixel, const PALETTEENTRY* palette, int paletteCount, uint8_t r, uint8_t g,
                       uint8_t b);

// ---- Objects ----
// Surfaces, palettes and Direct3D objects alive (ddraw_object.cpp).
void CountObject(int delta);

// What one DirectDraw object drives: its driver, the display mode, the cooperative level and the
// video memory in use. Shared by the object and every surface made from it.
struct DisplayMachine {
    DisplayDriverSpec spec;
    int width = 640, height = 480, bitsPerPixel = 16;  // the display mode (the desktop's at first)
    HWND window = nullptr;
    uint32_t cooperative = 0;
    uint32_t videoUsed = 0;
    bool primaryExists = false;
};

class DirectDrawPalette final : public IDirectDrawPalette {
public:
    DirectDrawPalette(uint32_t caps, const PALETTEENTRY* entries);
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetCaps(uint32_t* caps) override;
    HRESULT GetEntries(uint32_t flags, uint32_t start, uint32_t count, PALETTEENTRY* entries) override;
    HRESULT SetEntries(uint32_t flags, uint32_t start, uint32_t count, const PALETTEENTRY* entries) override;

    const PALETTEENTRY* Entries() const { return entries_; }
    int Count() const { return count_; }
    // The object behind an interface pointer made here, or null for anything else.
    static DirectDrawPalette* From(IDirectDrawPalette* palette);

private:
    ~DirectDrawPalette();
    std::atomic<ULONG> refs_{1};
    uint32_t caps_;
    int count_;  // 16 or 256
    PALETTEENTRY entries_[256] = {};
};

class DirectDrawSurface final : public IDirectDrawSurface3 {
public:
    DirectDrawSurface(std::shared_ptr<DisplayMachine> machine, uint32_t caps, int width, int height,
                      const DDPIXELFORMAT& format, bool videoMemory);
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT AddAttachedSurface(IDirectDrawSurface3* surface) override;
    HRESULT Blt(const RECT* dest, IDirectDrawSurface3* source, const RECT* sourceRect, uint32_t flags,
                const DDBLTFX* fx) override;
    HRESULT BltFast(uint32_t x, uint32_t y, IDirectDrawSurface3* source, const RECT* sourceRect,
                    uint32_t flags) override;
    HRESULT Flip(IDirectDrawSurface3* target, uint32_t flags) override;
    HRESULT GetAttachedSurface(const DDSCAPS* caps, IDirectDrawSurface3** out) override;
    HRESULT GetCaps(DDSCAPS* caps) override;
    HRESULT GetDC(HDC* dc) override;
    HRESULT GetPalette(IDirectDrawPalette** out) override;
    HRESULT GetPixelFormat(DDPIXELFORMAT* format) override;
    HRESULT GetSurfaceDesc(DDSURFACEDESC* desc) override;
    HRESULT IsLost() override;
    HRESULT Lock(const RECT* rect, DDSURFACEDESC* desc, uint32_t flags, HANDLE event) override;
    HRESULT ReleaseDC(HDC dc) override;
    HRESULT Restore() override;
    HRESULT SetColorKey(uint32_t flags, const DDCOLORKEY* key) override;
    HRESULT SetPalette(IDirectDrawPalette* palette) override;
    HRESULT Unlock(void* pointer) override;

    // For the flip chain made with a primary surface: the back buffer joins its front.
    void JoinChain(DirectDrawSurface* back);
    // The Z buffer attached to this surface, or null.
    DirectDrawSurface* ZBuffer() const;

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Pitch() const { return pitch_; }
    int BitsPerPixel() const { return int(format_.dwRGBBitCount); }
    uint32_t Caps() const { return caps_; }
    bool InVideoMemory() const { return videoMemory_; }
    bool Lost() const { return lost_; }
    bool Busy() const { return locked_; }
    uint8_t* Pixels() { return memory_.data(); }
    const std::shared_ptr<DisplayMachine>& Machine() const { return machine_; }
    void MarkLost() { lost_ = true; }
    // The source colour key, when one is set.
    const DDCOLORKEY* SourceKey() const { return hasSourceKey_ ? &sourceKey_ : nullptr; }
    DirectDrawPalette* Palette() const { return palette_; }

    // The object behind an interface pointer made here, or null for anything else.
    static DirectDrawSurface* From(IDirectDrawSurface3* surface);
    // Loses every surface in video memory, of one machine or (null) of all.
    static void LoseVideoSurfaces(const DisplayMachine* machine);
    // Rows are padded beyond their pixels, as in display memory: users must go by the pitch.
    static int PitchFor(int width, int bitsPerPixel);

private:
    ~DirectDrawSurface();
    void Present();
    // The rectangle a call works on (null: the whole surface), refused when it does not lie
    // inside the surface.
    HRESULT CheckRect(const RECT* rect, RECT* out) const;
    // What Blt and Lock check before they touch the pixels: the surface is not lost, not locked,
    // and the rectangle is good (CheckRect).
    HRESULT CheckAccess(const RECT* rect, RECT* out) const;

    std::atomic<ULONG> refs_{1};
    std::shared_ptr<DisplayMachine> machine_;
    uint32_t caps_;
    int width_, height_, pitch_;
    DDPIXELFORMAT format_;
    bool videoMemory_;
    bool lost_ = false;
    bool locked_ = false;
    HDC dc_ = nullptr;
    bool hasSourceKey_ = false;
    DDCOLORKEY sourceKey_ = {};
    DirectDrawPalette* palette_ = nullptr;
    std::vector<DirectDrawSurface*> attached_;  // one reference each
    DirectDrawSurface* back_ = nullptr;          // the front buffer's back buffer (in attached_)
    std::vector<uint8_t> memory_;
    std::vector<uint32_t> shown_;  // the front buffer as presented
};

class DirectDrawObject final : public IDirectDraw, public IDirectDraw2 {
public:
    explicit DirectDrawObject(const DisplayDriverSpec& spec);
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT CreatePalette(uint32_t flags, const PALETTEENTRY* entries, IDirectDrawPalette** out,
                          IUnknown* outer) override;
    HRESULT CreateSurface(const DDSURFACEDESC* desc, IDirectDrawSurface3** out, IUnknown* outer) override;
    HRESULT EnumDisplayModes(uint32_t flags, const DDSURFACEDESC* only, void* context,
                             LPDDENUMMODESCALLBACK callback) override;
    HRESULT GetAvailableVidMem(const DDSCAPS* caps, uint32_t* total, uint32_t* free) override;
    HRESULT GetCaps(DDCAPS* driver, DDCAPS* emulation) override;
    HRESULT SetCooperativeLevel(HWND window, uint32_t flags) override;
    HRESULT SetDisplayMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel) override;
    HRESULT SetDisplayMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel, uint32_t refreshRate,
                           uint32_t flags) override;

    const std::shared_ptr<DisplayMachine>& Machine() const { return machine_; }

private:
    ~DirectDrawObject();
    HRESULT CreatePrimary(const DDSURFACEDESC& desc, IDirectDrawSurface3** out);
    // Where a surface of `bytes` goes under its caps (video memory taken when it goes there).
    HRESULT Place(uint32_t caps, uint64_t bytes, bool* videoMemory);

    std::atomic<ULONG> refs_{1};
    std::shared_ptr<DisplayMachine> machine_;
};

// The IDirect3DTexture2 interface of a texture surface (d3d_texture.cpp); holds a reference to it.
IDirect3DTexture2* CreateTextureInterface(DirectDrawSurface* surface);
// A texture surface being destroyed: every device's handle for it names nothing from now on.
void ForgetTextureSurface(DirectDrawSurface* surface);

// The IDirect3D2 interface of a DirectDraw object (d3d.cpp); holds a reference to it.
IDirect3D2* CreateDirect3D(DirectDrawObject* owner);
// A new material with a process-unique handle (d3d_material.cpp).
IDirect3DMaterial2* CreateMaterialObject();

// ---- GDI onto a surface (gdi_dc.cpp) ----
struct SurfaceView {
    uint8_t* pixels;
    int width, height, pitch, bitsPerPixel;
    const PALETTEENTRY* palette;  // the surface's palette at 8 bits, or null
    int paletteCount;
};
HDC CreateSurfaceDC(const SurfaceView& view);
void DeleteSurfaceDC(HDC dc);

}  // namespace plat::detail
