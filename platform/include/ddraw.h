// DirectDraw as the game uses it: display drivers, display modes, surfaces held in memory (8-bit
// palettised or 16-bit 5-6-5), palettes, colour fills, fast blits with a source colour key, locks,
// flips that show the front buffer through the platform's backend, and lost surfaces. Our own
// declarations, holding only what callers use; the machine's drivers are a table that tests set.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "plat.h"
#include "win32.h"

typedef const GUID& REFIID;
typedef const GUID& REFCLSID;

inline bool IsEqualGUID(const GUID& a, const GUID& b) {
    return a == b;
}

// {b3a6f3e0-2b43-11cf-a2de-00aa00b93356}
inline constexpr GUID IID_IDirectDraw2 = {0xb3a6f3e0u, 0x2b43, 0x11cf, {0xa2, 0xde, 0x00, 0xaa, 0x00, 0xb9, 0x33, 0x56}};

// Results. Failures are negative.
constexpr HRESULT MakeDirectDrawResult(uint32_t code) {
    return HRESULT(0x88760000u | code);
}
enum : HRESULT {
    DD_OK = 0,
    DDERR_GENERIC = HRESULT(0x80004005u),
    DDERR_UNSUPPORTED = HRESULT(0x80004001u),
    DDERR_NOINTERFACE = HRESULT(0x80004002u),
    DDERR_INVALIDPARAMS = HRESULT(0x80070057u),
    DDERR_OUTOFMEMORY = HRESULT(0x8007000Eu),
    DDERR_INCOMPATIBLEPRIMARY = MakeDirectDrawResult(95),
    DDERR_INVALIDCAPS = MakeDirectDrawResult(100),
    DDERR_INVALIDMODE = MakeDirectDrawResult(120),
    DDERR_INVALIDOBJECT = MakeDirectDrawResult(130),
    DDERR_INVALIDPIXELFORMAT = MakeDirectDrawResult(145),
    DDERR_INVALIDRECT = MakeDirectDrawResult(150),
    DDERR_NOCOOPERATIVELEVELSET = MakeDirectDrawResult(212),
    DDERR_NOCOLORKEY = MakeDirectDrawResult(215),
    DDERR_NOEXCLUSIVEMODE = MakeDirectDrawResult(225),
    DDERR_NOTFOUND = MakeDirectDrawResult(255),
    DDERR_NOZBUFFERHW = MakeDirectDrawResult(340),
    DDERR_OUTOFVIDEOMEMORY = MakeDirectDrawResult(380),
    DDERR_SURFACEALREADYATTACHED = MakeDirectDrawResult(410),
    DDERR_SURFACEBUSY = MakeDirectDrawResult(430),
    DDERR_SURFACELOST = MakeDirectDrawResult(450),
    DDERR_NOTFLIPPABLE = MakeDirectDrawResult(500),
    DDERR_NODIRECTDRAWHW = MakeDirectDrawResult(563),
    DDERR_PRIMARYSURFACEALREADYEXISTS = MakeDirectDrawResult(564),
    DDERR_CANTCREATEDC = MakeDirectDrawResult(581),
    DDERR_NOTLOCKED = MakeDirectDrawResult(584),
    DDERR_UNSUPPORTEDMODE = MakeDirectDrawResult(590),
};

// Surface description flags (which fields are valid).
enum : uint32_t {
    DDSD_CAPS = 0x1,
    DDSD_HEIGHT = 0x2,
    DDSD_WIDTH = 0x4,
    DDSD_PITCH = 0x8,
    DDSD_BACKBUFFERCOUNT = 0x20,
    DDSD_ZBUFFERBITDEPTH = 0x40,
    DDSD_LPSURFACE = 0x800,
    DDSD_PIXELFORMAT = 0x1000,
};

// Surface capabilities.
enum : uint32_t {
    DDSCAPS_BACKBUFFER = 0x4,
    DDSCAPS_COMPLEX = 0x8,
    DDSCAPS_FLIP = 0x10,
    DDSCAPS_FRONTBUFFER = 0x20,
    DDSCAPS_OFFSCREENPLAIN = 0x40,
    DDSCAPS_PRIMARYSURFACE = 0x200,
    DDSCAPS_SYSTEMMEMORY = 0x800,
    DDSCAPS_TEXTURE = 0x1000,
    DDSCAPS_3DDEVICE = 0x2000,
    DDSCAPS_VIDEOMEMORY = 0x4000,
    DDSCAPS_ZBUFFER = 0x20000,
    DDSCAPS_ALLOCONLOAD = 0x4000000,
};

// Pixel format flags.
enum : uint32_t {
    DDPF_ALPHAPIXELS = 0x1,
    DDPF_ALPHA = 0x2,
    DDPF_PALETTEINDEXED8 = 0x20,
    DDPF_RGB = 0x40,
    DDPF_ZBUFFER = 0x400,
};

// Cooperative levels, driver caps, blits, flips, locks, colour keys, palettes, enumeration.
enum : uint32_t {
    DDSCL_FULLSCREEN = 0x1,
    DDSCL_NORMAL = 0x8,
    DDSCL_EXCLUSIVE = 0x10,
    DDSCL_ALLOWMODEX = 0x40,
};
enum : uint32_t { DDCAPS_3D = 0x1 };
enum : uint32_t { DDBLT_COLORFILL = 0x400, DDBLT_WAIT = 0x1000000 };
enum : uint32_t { DDBLTFAST_NOCOLORKEY = 0x0, DDBLTFAST_SRCCOLORKEY = 0x1, DDBLTFAST_DESTCOLORKEY = 0x2,
                  DDBLTFAST_WAIT = 0x10 };
enum : uint32_t { DDFLIP_WAIT = 0x1 };
enum : uint32_t { DDLOCK_WAIT = 0x1, DDLOCK_READONLY = 0x10, DDLOCK_WRITEONLY = 0x20 };
enum : uint32_t { DDCKEY_SRCBLT = 0x8 };
enum : uint32_t { DDPCAPS_4BIT = 0x1, DDPCAPS_8BIT = 0x4, DDPCAPS_PRIMARYSURFACE = 0x10,
                  DDPCAPS_PRIMARYSURFACELEFT = 0x20, DDPCAPS_ALLOW256 = 0x40 };
enum : uint8_t { D3DPAL_READONLY = 0x40 };
enum : HRESULT { DDENUMRET_CANCEL = 0, DDENUMRET_OK = 1 };

struct DDSCAPS {
    uint32_t dwCaps;
};

struct DDPIXELFORMAT {
    uint32_t dwSize;
    uint32_t dwFlags;
    uint32_t dwRGBBitCount;  // bits per pixel (also the depth of a Z buffer)
    uint32_t dwRBitMask;
    uint32_t dwGBitMask;
    uint32_t dwBBitMask;
};

struct DDCOLORKEY {
    uint32_t dwColorSpaceLowValue;
    uint32_t dwColorSpaceHighValue;
};

struct DDSURFACEDESC {
    uint32_t dwSize;  // sizeof(DDSURFACEDESC)
    uint32_t dwFlags;
    uint32_t dwHeight;
    uint32_t dwWidth;
    LONG lPitch;
    uint32_t dwBackBufferCount;
    uint32_t dwZBufferBitDepth;
    void* lpSurface;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS ddsCaps;
};

struct DDCAPS {
    uint32_t dwSize;  // sizeof(DDCAPS)
    uint32_t dwCaps;
    uint32_t dwVidMemTotal;
    uint32_t dwVidMemFree;
};

struct DDBLTFX {
    uint32_t dwSize;       // sizeof(DDBLTFX)
    uint32_t dwFillColor;  // a colour fill's value, packed 0xRRGGBB
};

struct PALETTEENTRY {
    uint8_t peRed, peGreen, peBlue, peFlags;
};

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IDirectDrawPalette : IUnknown {
    virtual HRESULT GetCaps(uint32_t* caps) = 0;
    virtual HRESULT GetEntries(uint32_t flags, uint32_t start, uint32_t count, PALETTEENTRY* entries) = 0;
    virtual HRESULT SetEntries(uint32_t flags, uint32_t start, uint32_t count, const PALETTEENTRY* entries) = 0;

protected:
    ~IDirectDrawPalette() = default;
};

struct PlatDC;
typedef PlatDC* HDC;

struct IDirectDrawSurface3 : IUnknown {
    virtual HRESULT AddAttachedSurface(IDirectDrawSurface3* surface) = 0;
    // dest null = the whole surface. Only colour fills: the value is packed 0xRRGGBB and is
    // converted to the surface's pixel format (5-6-5, or the nearest entry of its palette).
    // A rectangle that is not inside the surface is refused.
    virtual HRESULT Blt(const RECT* dest, IDirectDrawSurface3* source, const RECT* sourceRect, uint32_t flags,
                        const DDBLTFX* fx) = 0;
    // Copies sourceRect (null = all) of source to (x, y) unscaled. Both surfaces must have the
    // same pixel format; a rectangle outside either surface is refused, never clipped.
    virtual HRESULT BltFast(uint32_t x, uint32_t y, IDirectDrawSurface3* source, const RECT* sourceRect,
                            uint32_t flags) = 0;
    // Front buffer of a flip chain only: swaps it with its back buffer and shows it.
    virtual HRESULT Flip(IDirectDrawSurface3* target, uint32_t flags) = 0;
    virtual HRESULT GetAttachedSurface(const DDSCAPS* caps, IDirectDrawSurface3** out) = 0;
    virtual HRESULT GetCaps(DDSCAPS* caps) = 0;
    virtual HRESULT GetDC(HDC* dc) = 0;
    virtual HRESULT GetPalette(IDirectDrawPalette** out) = 0;
    virtual HRESULT GetPixelFormat(DDPIXELFORMAT* format) = 0;
    virtual HRESULT GetSurfaceDesc(DDSURFACEDESC* desc) = 0;
    virtual HRESULT IsLost() = 0;
    // rect null = the whole surface; fills desc with the size, pitch, format and lpSurface.
    virtual HRESULT Lock(const RECT* rect, DDSURFACEDESC* desc, uint32_t flags, HANDLE event) = 0;
    virtual HRESULT ReleaseDC(HDC dc) = 0;
    virtual HRESULT Restore() = 0;
    virtual HRESULT SetColorKey(uint32_t flags, const DDCOLORKEY* key) = 0;
    virtual HRESULT SetPalette(IDirectDrawPalette* palette) = 0;
    virtual HRESULT Unlock(void* pointer) = 0;

protected:
    ~IDirectDrawSurface3() = default;
};

typedef HRESULT (*LPDDENUMMODESCALLBACK)(DDSURFACEDESC* mode, void* context);

// The first interface, from DirectDrawCreate.
struct IDirectDraw : IUnknown {
    virtual HRESULT CreatePalette(uint32_t flags, const PALETTEENTRY* entries, IDirectDrawPalette** out,
                                  IUnknown* outer) = 0;
    virtual HRESULT CreateSurface(const DDSURFACEDESC* desc, IDirectDrawSurface3** out, IUnknown* outer) = 0;
    virtual HRESULT EnumDisplayModes(uint32_t flags, const DDSURFACEDESC* only, void* context,
                                     LPDDENUMMODESCALLBACK callback) = 0;
    virtual HRESULT GetCaps(DDCAPS* driver, DDCAPS* emulation) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, uint32_t flags) = 0;
    virtual HRESULT SetDisplayMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel) = 0;

protected:
    ~IDirectDraw() = default;
};

struct IDirectDraw2 : IUnknown {
    virtual HRESULT CreatePalette(uint32_t flags, const PALETTEENTRY* entries, IDirectDrawPalette** out,
                                  IUnknown* outer) = 0;
    virtual HRESULT CreateSurface(const DDSURFACEDESC* desc, IDirectDrawSurface3** out, IUnknown* outer) = 0;
    virtual HRESULT EnumDisplayModes(uint32_t flags, const DDSURFACEDESC* only, void* context,
                                     LPDDENUMMODESCALLBACK callback) = 0;
    virtual HRESULT GetAvailableVidMem(const DDSCAPS* caps, uint32_t* total, uint32_t* free) = 0;
    virtual HRESULT GetCaps(DDCAPS* driver, DDCAPS* emulation) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, uint32_t flags) = 0;
    virtual HRESULT SetDisplayMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel, uint32_t refreshRate,
                                   uint32_t flags) = 0;

protected:
    ~IDirectDraw2() = default;
};

// guid null for the primary display driver; return TRUE to go on.
typedef BOOL (*LPDDENUMCALLBACKA)(GUID* guid, LPSTR description, LPSTR name, void* context);

PLATAPI HRESULT DirectDrawEnumerateA(LPDDENUMCALLBACKA callback, void* context);
// guid null: the primary display driver.
PLATAPI HRESULT DirectDrawCreate(GUID* guid, IDirectDraw** out, IUnknown* outer);

namespace plat {

// The machine's display drivers, as DirectDrawEnumerateA reports them and DirectDrawCreate opens
// them. By default one primary driver of a 3D card: 4 MB of video memory, the modes 320x200 to
// 1600x1200 at 8 and 16 bits, a hardware (HAL) Direct3D device with perspective-correct texturing
// and blend factor ONE, and the software (Ramp) device.
struct DisplayModeSpec {
    int width, height, bitsPerPixel;
};
struct DisplayDriverSpec {
    bool hasGuid = false;  // false: the primary display driver
    GUID guid = {};
    std::string description = "Primary Display Driver";
    std::string name = "display";
    bool opens = true;                   // DirectDrawCreate succeeds
    uint32_t caps = DDCAPS_3D;           // DDCAPS of the driver
    uint32_t videoMemory = 4u << 20;     // bytes
    std::vector<DisplayModeSpec> modes;  // empty: the default list
    bool rgb555 = false;                 // 16-bit modes are 5-5-5 (green mask 0x3E0), not 5-6-5
    bool direct3d = true;                // offers IDirect3D2
    bool halDevice = true;               // offers the HAL device
    // What the HAL device's description reports: its flags (D3DDD_*) and the triangle caps.
    uint32_t halFlags = 0x40;            // D3DDD_TRICAPS
    uint32_t halTextureCaps = 0x1;       // D3DPTEXTURECAPS_PERSPECTIVE
    uint32_t halSrcBlendCaps = 0x2;      // D3DPBLENDCAPS_ONE
    uint32_t halDestBlendCaps = 0x2;
};
// Replaces the driver table (an empty one: no display at all). Objects already made keep theirs.
PLATEXPORT void SetDisplayDrivers(const std::vector<DisplayDriverSpec>& drivers);
PLATEXPORT std::vector<DisplayDriverSpec> DefaultDisplayDrivers();
PLATEXPORT std::vector<DisplayModeSpec> DefaultDisplayModes();
// Every surface in video memory is lost, as when the user switches away from a full-screen game.
PLATEXPORT void LoseDisplaySurfaces();
// Surfaces and palettes alive in this process (for leak checks in tests).
PLATEXPORT int LiveDisplayObjects();

}  // namespace plat
