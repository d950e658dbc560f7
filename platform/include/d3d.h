// Direct3D as the display start-up uses it: the IDirect3D2 interface of a DirectDraw object, its
// two device kinds (the hardware HAL device, when the driver has one, and the software Ramp
// device), their capabilities, viewports and the Z buffer attached to the render target. Scenes
// can be begun and ended, render states kept, and triangles and lines drawn by the software
// rasteriser from texture surfaces. Our own declarations.
#pragma once
#include <cstdint>

#include "ddraw.h"

// {6aae1ec1-662a-11d0-889d-00aa00bbb76a}
inline constexpr GUID IID_IDirect3D2 = {0x6aae1ec1u, 0x662a, 0x11d0, {0x88, 0x9d, 0x00, 0xaa, 0x00, 0xbb, 0xb7, 0x6a}};
// {84e63de0-46aa-11cf-816f-0000c020156e}
inline constexpr GUID IID_IDirect3DHALDevice = {0x84e63de0u, 0x46aa, 0x11cf, {0x81, 0x6f, 0x00, 0x00, 0xc0, 0x20, 0x15, 0x6e}};
// {f2086b20-259f-11cf-a31a-00aa00b93356}
inline constexpr GUID IID_IDirect3DRampDevice = {0xf2086b20u, 0x259f, 0x11cf, {0xa3, 0x1a, 0x00, 0xaa, 0x00, 0xb9, 0x33, 0x56}};

enum : HRESULT {
    D3D_OK = 0,
    D3DERR_INVALID_DEVICE = MakeDirectDrawResult(705),
    D3DERR_VIEWPORTHASNODEVICE = MakeDirectDrawResult(762),
    D3DERR_SCENE_IN_SCENE = MakeDirectDrawResult(772),
    D3DERR_SCENE_NOT_IN_SCENE = MakeDirectDrawResult(773),
    D3DERR_SURFACENOTINVIDMEM = MakeDirectDrawResult(776),
    D3DERR_ZBUFFER_NOTPRESENT = MakeDirectDrawResult(777),
};

// Device description flags, triangle capabilities.
enum : uint32_t { D3DDD_COLORMODEL = 0x1, D3DDD_DEVCAPS = 0x2, D3DDD_TRICAPS = 0x40,
                  D3DDD_DEVICERENDERBITDEPTH = 0x80, D3DDD_DEVICEZBUFFERBITDEPTH = 0x100 };
enum : uint32_t { D3DPTEXTURECAPS_PERSPECTIVE = 0x1 };
enum : uint32_t { D3DPBLENDCAPS_ZERO = 0x1, D3DPBLENDCAPS_ONE = 0x2, D3DPBLENDCAPS_SRCCOLOR = 0x4,
                  D3DPBLENDCAPS_DESTCOLOR = 0x10 };
enum : uint32_t { D3DCOLOR_MONO = 1, D3DCOLOR_RGB = 2 };
// Render target and Z buffer depths, as bit masks.
enum : uint32_t { DDBD_8 = 0x800, DDBD_16 = 0x400 };
enum : uint32_t { D3DCLEAR_TARGET = 0x1, D3DCLEAR_ZBUFFER = 0x2 };
enum : HRESULT { D3DENUMRET_CANCEL = 0, D3DENUMRET_OK = 1 };
// Render states are numbered 1..kD3DRenderStateCount - 1.
constexpr uint32_t kD3DRenderStateCount = 256;

struct D3DPRIMCAPS {
    uint32_t dwSize;
    uint32_t dwSrcBlendCaps;
    uint32_t dwDestBlendCaps;
    uint32_t dwShadeCaps;
    uint32_t dwTextureCaps;
};

struct D3DDEVICEDESC {
    uint32_t dwSize;  // sizeof(D3DDEVICEDESC)
    uint32_t dwFlags;
    uint32_t dcmColorModel;
    D3DPRIMCAPS dpcTriCaps;
    uint32_t dwDeviceRenderBitDepth;
    uint32_t dwDeviceZBufferBitDepth;
};

struct D3DVIEWPORT2 {
    uint32_t dwSize;  // sizeof(D3DVIEWPORT2)
    uint32_t dwX, dwY, dwWidth, dwHeight;
    float dvClipX, dvClipY, dvClipWidth, dvClipHeight;
    float dvMinZ, dvMaxZ;
};

struct D3DRECT {
    LONG x1, y1, x2, y2;
};

struct IDirect3DDevice2;

// Render states (the ones the renderer sets) and their values.
enum : uint32_t {
    D3DRENDERSTATE_TEXTUREHANDLE = 1,
    D3DRENDERSTATE_TEXTUREPERSPECTIVE = 4,
    D3DRENDERSTATE_ZENABLE = 7,
    D3DRENDERSTATE_SHADEMODE = 9,
    D3DRENDERSTATE_ZWRITEENABLE = 14,
    D3DRENDERSTATE_TEXTUREMAG = 17,
    D3DRENDERSTATE_TEXTUREMIN = 18,
    D3DRENDERSTATE_SRCBLEND = 19,
    D3DRENDERSTATE_DESTBLEND = 20,
    D3DRENDERSTATE_TEXTUREMAPBLEND = 21,
    D3DRENDERSTATE_CULLMODE = 22,
    D3DRENDERSTATE_ZFUNC = 23,
    D3DRENDERSTATE_DITHERENABLE = 26,
    D3DRENDERSTATE_ALPHABLENDENABLE = 27,
    D3DRENDERSTATE_SPECULARENABLE = 29,
    D3DRENDERSTATE_COLORKEYENABLE = 41,
    D3DRENDERSTATE_FLUSHBATCH = 50,
};
enum : uint32_t { D3DFILTER_NEAREST = 1, D3DFILTER_LINEAR = 2 };
enum : uint32_t { D3DBLEND_ZERO = 1, D3DBLEND_ONE = 2, D3DBLEND_SRCCOLOR = 3, D3DBLEND_DESTCOLOR = 9 };
enum : uint32_t { D3DTBLEND_DECAL = 1, D3DTBLEND_MODULATE = 2 };
enum : uint32_t { D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2 };
enum : uint32_t { D3DCULL_NONE = 1 };
enum : uint32_t { D3DCMP_NEVER = 1, D3DCMP_LESS = 2, D3DCMP_EQUAL = 3, D3DCMP_LESSEQUAL = 4, D3DCMP_ALWAYS = 8 };
enum : uint32_t { D3DPT_LINELIST = 2, D3DPT_TRIANGLELIST = 4 };
enum : uint32_t { D3DVT_TLVERTEX = 3 };
enum : uint32_t { D3DDP_WAIT = 0x1, D3DDP_DONOTCLIP = 0x4 };
enum : uint32_t { D3DLIGHTSTATE_MATERIAL = 1 };
constexpr uint32_t kD3DLightStateCount = 9;

// A transformed-and-lit vertex: screen position, depth 0..1, 1 / view z, colours 0x00RRGGBB.
struct D3DTLVERTEX {
    float sx, sy, sz, rhw;
    uint32_t color, specular;
    float tu, tv;
};

typedef HRESULT (*LPD3DENUMTEXTUREFORMATSCALLBACK)(DDSURFACEDESC* format, void* context);

// {93281502-8cf8-11d0-89ab-00a0c9054129}
inline constexpr GUID IID_IDirect3DTexture2 = {0x93281502u, 0x8cf8, 0x11d0, {0x89, 0xab, 0x00, 0xa0, 0xc9, 0x05, 0x41, 0x29}};

// Queried from a texture surface (DDSCAPS_TEXTURE).
struct IDirect3DTexture2 : IUnknown {
    // The handle a device draws this texture by (D3DRENDERSTATE_TEXTUREHANDLE); never 0.
    virtual HRESULT GetHandle(IDirect3DDevice2* device, uint32_t* handle) = 0;
    // Copies the pixels and palette of a texture of the same size and format into this one.
    virtual HRESULT Load(IDirect3DTexture2* source) = 0;

protected:
    ~IDirect3DTexture2() = default;
};

struct IDirect3DViewport2 : IUnknown {
    // Clears the rectangles (clipped to the viewport) of the device's render target (to 0) and
    // of the Z buffer attached to it (to the far value, 0xFFFF).
    virtual HRESULT Clear(uint32_t count, const D3DRECT* rects, uint32_t flags) = 0;
    virtual HRESULT GetViewport2(D3DVIEWPORT2* data) = 0;
    // Only once the viewport was added to a device; the rectangle must lie in the render target.
    virtual HRESULT SetViewport2(const D3DVIEWPORT2* data) = 0;

protected:
    ~IDirect3DViewport2() = default;
};

struct IDirect3DDevice2 : IUnknown {
    virtual HRESULT AddViewport(IDirect3DViewport2* viewport) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT DeleteViewport(IDirect3DViewport2* viewport) = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* emulation) = 0;
    virtual HRESULT GetCurrentViewport(IDirect3DViewport2** out) = 0;
    virtual HRESULT GetRenderState(uint32_t state, uint32_t* value) = 0;
    virtual HRESULT GetRenderTarget(IDirectDrawSurface3** out) = 0;
    virtual HRESULT SetCurrentViewport(IDirect3DViewport2* viewport) = 0;
    virtual HRESULT SetRenderState(uint32_t state, uint32_t value) = 0;
    // Draws transformed-and-lit vertices (D3DVT_TLVERTEX) as a triangle or line list into the
    // render target, inside a scene, with the render states and texture handle set.
    virtual HRESULT DrawPrimitive(uint32_t primitive, uint32_t vertexType, void* vertices, uint32_t count,
                                  uint32_t flags) = 0;
    // Offers each texture surface format the device can draw from.
    virtual HRESULT EnumTextureFormats(LPD3DENUMTEXTUREFORMATSCALLBACK callback, void* context) = 0;
    // Light states (D3DLIGHTSTATE_..., 1..kD3DLightStateCount - 1), kept by the device; the
    // software devices do not light with them.
    virtual HRESULT GetLightState(uint32_t state, uint32_t* value) = 0;
    virtual HRESULT SetLightState(uint32_t state, uint32_t value) = 0;

protected:
    ~IDirect3DDevice2() = default;
};

// A material as the Ramp device lights with it: colours r, g, b, a as floats.
struct D3DCOLORVALUE {
    float r, g, b, a;
};
struct D3DMATERIAL {
    uint32_t dwSize;  // sizeof(D3DMATERIAL)
    D3DCOLORVALUE diffuse, ambient, specular, emissive;
    float power;
    uint32_t hTexture;  // the texture handle drawn with the material
    uint32_t dwRampSize;
};

// From IDirect3D2::CreateMaterial. The software devices keep materials and hand out their handles;
// they do not light with them.
struct IDirect3DMaterial2 : IUnknown {
    virtual HRESULT SetMaterial(const D3DMATERIAL* data) = 0;
    virtual HRESULT GetMaterial(D3DMATERIAL* data) = 0;
    // The handle a device knows the material by (D3DLIGHTSTATE_MATERIAL); never 0.
    virtual HRESULT GetHandle(IDirect3DDevice2* device, uint32_t* handle) = 0;

protected:
    ~IDirect3DMaterial2() = default;
};

typedef HRESULT (*LPD3DENUMDEVICESCALLBACK)(GUID* guid, LPSTR description, LPSTR name, D3DDEVICEDESC* hardware,
                                            D3DDEVICEDESC* emulation, void* context);

// Queried from IDirectDraw2 with IID_IDirect3D2.
struct IDirect3D2 : IUnknown {
    // kind: IID_IDirect3DHALDevice or IID_IDirect3DRampDevice. The target is a surface with
    // DDSCAPS_3DDEVICE of this DirectDraw object; the HAL device needs it in video memory.
    virtual HRESULT CreateDevice(REFCLSID kind, IDirectDrawSurface3* target, IDirect3DDevice2** out) = 0;
    virtual HRESULT CreateViewport(IDirect3DViewport2** out, IUnknown* outer) = 0;
    virtual HRESULT CreateMaterial(IDirect3DMaterial2** out, IUnknown* outer) = 0;
    virtual HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK callback, void* context) = 0;

protected:
    ~IDirect3D2() = default;
};
