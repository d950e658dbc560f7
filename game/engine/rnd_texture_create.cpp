// Making textures (see rnd_texture_create.h): bitmap file to texture surface, format choice,
// palette, handle, upload with eviction, colour key and the surface error names.
#include "engine/rnd_texture_create.h"

#include <algorithm>
#include <cstring>

#include "engine/rnd_options.h"
#include "engine/rnd_texture_palette.h"
#include "common/muf.h"
#include "engine/rnd_state.h"
#include "win32.h"

namespace {

struct ErrorName {
    HRESULT result;
    const char* name;
};
constexpr ErrorName kErrorNames[] = {
    {DDERR_INVALIDPARAMS, "INVALIDPARAMS"},
    {DDERR_OUTOFMEMORY, "OUTOFMEMORY"},
    {DDERR_INVALIDCAPS, "INVALIDCAPS"},
    {DDERR_INCOMPATIBLEPRIMARY, "INCOMPATIBLEPRIMARY"},
    {DDERR_INVALIDPIXELFORMAT, "INVALIDPIXELFORMAT"},
    {DDERR_INVALIDOBJECT, "INVALIDOBJECT"},
    {DDERR_NOCOOPERATIVELEVELSET, "NOCOOPERATIVELEVELSET"},
    {MakeDirectDrawResult(180), "NOALPHAHW"},
    {MakeDirectDrawResult(230), "NOFLIPHW"},
    {DDERR_NOEXCLUSIVEMODE, "NOEXCLUSIVEMODE"},
    {DDERR_NOZBUFFERHW, "NOZBUFFERHW"},
    {MakeDirectDrawResult(260), "NOOVERLAYHW"},
    {DDERR_OUTOFVIDEOMEMORY, "OUTOFVIDEOMEMORY"},
    {DDERR_NODIRECTDRAWHW, "NODIRECTDRAWHW"},
    {DDERR_PRIMARYSURFACEALREADYEXISTS, "PRIMARYSURFACEALREADYEXISTS"},
    {MakeDirectDrawResult(565), "NOEMULATION"},
    {DDERR_UNSUPPORTEDMODE, "UNSUPPORTEDMODE"},
    {MakeDirectDrawResult(591), "NOMIPMAPHW"},
};

// The handle by which the device draws a surface; 0 when it has none.
uint32_t HandleOf(IDirectDrawSurface3* surface, IDirect3DDevice2* device) {
    uint32_t handle = 0;
    IDirect3DTexture2* texture = nullptr;
    if (surface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&texture)) == DD_OK && texture) {
        if (texture->GetHandle(device, &handle) != D3D_OK)
            handle = 0;
        texture->Release();
    }
    return handle;
}

HBITMAP LoadBitmapFile(const char* path) {
    return static_cast<HBITMAP>(
        LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}

}  // namespace

const char* RND_DirectDrawErrorName(HRESULT result) {
    for (const ErrorName& e : kErrorNames)
        if (e.result == result)
            return e.name;
    return "Unknown error";
}

HRESULT RND_TextureFormatCallback(DDSURFACEDESC* desc, void* context) {
    auto* choice = static_cast<TextureFormatChoice*>(context);
    if (!desc || !choice)
        return D3DENUMRET_OK;
    const DDPIXELFORMAT& format = desc->ddpfPixelFormat;
    const uint32_t bits = format.dwRGBBitCount;
    if (format.dwFlags & (DDPF_ALPHAPIXELS | DDPF_ALPHA))
        return D3DENUMRET_OK;
    if (bits < 8 || (bits == 8 && !(format.dwFlags & DDPF_PALETTEINDEXED8)) || (bits > 8 && !(format.dwFlags & DDPF_RGB)))
        return D3DENUMRET_OK;
    const bool none = choice->format.dwSize == 0;
    if (none || (bits >= choice->wantedBits &&
                 bits - choice->wantedBits < choice->format.dwRGBBitCount - choice->wantedBits)) {
        choice->format = format;
        choice->format.dwSize = sizeof(DDPIXELFORMAT);
    }
    return D3DENUMRET_OK;
}

int RND_SquareTextureSide(int width, int height) {
    const int side = std::max(width, height);
    return side <= 32 ? 32 : side;
}

RenderTexture* RND_CreateTextureFromFile(IDirect3DDevice2* device, const char* fileName) {
    // A null name has no file to look for: it gives a record without surfaces.
    const char* path = fileName ? MUF_ExtractToTemp(fileName) : nullptr;
    IDirectDraw2* directDraw = g_Rnd.directDraw;
    if (!directDraw)
        return nullptr;
    auto* texture = static_cast<RenderTexture*>(RND_Alloc(sizeof(RenderTexture)));
    if (!texture)
        return nullptr;
    std::memset(texture, 0, sizeof *texture);
    texture->valid = 1;
    if (!path)
        return texture;
    HBITMAP bitmap = LoadBitmapFile(path);
    if (!bitmap)
        bitmap = LoadBitmapFile(kRndDefaultTextureFile);
    if (!bitmap)
        return texture;

    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    TextureFormatChoice choice{};
    choice.wantedBits = info.bmBitsPixel == 8 ? 8u : 16u;
    if (device)
        device->EnumTextureFormats(RND_TextureFormatCallback, &choice);

    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
    desc.ddpfPixelFormat = choice.format;
    desc.dwWidth = uint32_t(std::max<LONG>(info.bmWidth, 0));
    desc.dwHeight = uint32_t(std::max<LONG>(info.bmHeight, 0));
    if (RND_GetTextureShrink())
        desc.dwWidth = desc.dwHeight = uint32_t(RND_SquareTextureSide(int(desc.dwWidth), int(desc.dwHeight)));
    const HRESULT created = directDraw->CreateSurface(&desc, &texture->systemSurface, nullptr);
    if (created != DD_OK) {
        OutputDebugStringA(RND_DirectDrawErrorName(created));
        DeleteObject(bitmap);
        texture->systemSurface = nullptr;
        RND_ReleaseTexture(texture);
        RND_Free(texture);
        return nullptr;
    }
    if (!g_Rnd.hardwareDevice) {
        texture->deviceSurface = texture->systemSurface;
        texture->deviceSurface->AddRef();
        texture->loaded = 1;
    } else {
        texture->loaded = 0;
    }

    if (choice.format.dwRGBBitCount == 8) {
        if (!g_Rnd.hardwareDevice)
            texture->palette =
                RND_GetBitDepth() == 8 ? RND_ClonePalette(directDraw) : RND_CreateDefaultPalette(directDraw);
        else
            texture->palette = RND_SetPaletteFromBitmap(directDraw, bitmap);
        if (texture->palette) {
            texture->systemSurface->SetPalette(texture->palette);
            if (texture->deviceSurface && texture->deviceSurface != texture->systemSurface)
                texture->deviceSurface->SetPalette(texture->palette);
        }
    }

    if (!RND_CopyBitmapToTexture(texture, bitmap)) {
        DeleteObject(bitmap);
        RND_ReleaseTexture(texture);
        RND_Free(texture);
        return nullptr;
    }
    if (texture->deviceSurface) {
        texture->handle = HandleOf(texture->deviceSurface, device);
        RND_CreateTextureMaterial(texture);
        texture->loaded = 1;
    }
    DeleteObject(bitmap);
    return texture;
}

int RND_CopyBitmapToTexture(RenderTexture* texture, HBITMAP bitmap) {
    BITMAP info{};
    if (!texture || !texture->systemSurface || !GetObjectA(bitmap, sizeof info, &info))
        return 0;
    texture->width = info.bmWidth;
    texture->height = info.bmHeight;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    if (HDC screen = CreateCompatibleDC(nullptr)) {
        GetDIBits(screen, bitmap, 0, 0, nullptr, &header, 0);
        DeleteDC(screen);
    }
    texture->xPelsPerMeter = header.biXPelsPerMeter;
    texture->yPelsPerMeter = header.biYPelsPerMeter;

    HDC dc = nullptr;
    if (texture->systemSurface->GetDC(&dc) != DD_OK)
        return 0;
    HDC source = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = source ? SelectObject(source, bitmap) : nullptr;
    if (previous) {
        if (RND_GetTextureShrink()) {
            DDSURFACEDESC desc{};
            desc.dwSize = sizeof desc;
            texture->systemSurface->GetSurfaceDesc(&desc);
            SetStretchBltMode(dc, COLORONCOLOR);
            StretchBlt(dc, 0, 0, int(desc.dwWidth), int(desc.dwHeight), source, 0, 0, info.bmWidth, info.bmHeight,
                       SRCCOPY);
        } else {
            BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
        }
        SelectObject(source, previous);
    }
    if (source)
        DeleteDC(source);
    texture->systemSurface->ReleaseDC(dc);
    return 1;
}

void RND_UploadTexture(RenderTexture* texture) {
    if (!texture || texture->loaded || !g_Rnd.directDraw || !g_Rnd.device)
        return;
    if (!texture->systemSurface) {
        texture->loaded = 1;
        return;
    }
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    texture->systemSurface->GetSurfaceDesc(&desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY | DDSCAPS_ALLOCONLOAD;
    HRESULT result;
    while ((result = g_Rnd.directDraw->CreateSurface(&desc, &texture->deviceSurface, nullptr)) ==
           DDERR_OUTOFVIDEOMEMORY) {
        // Make room by unloading the texture drawn longest ago. When none is left this texture
        // cannot be had in video memory at all: it stays unloaded and draws with handle 0.
        RenderTexture* oldest = RND_LastLoadedTexture();
        if (!oldest || oldest == texture) {
            texture->deviceSurface = nullptr;
            texture->handle = 0;
            return;
        }
        RND_UnloadTexture(oldest);
    }
    if (result == DD_OK && texture->deviceSurface) {
        if (texture->palette)
            texture->deviceSurface->SetPalette(texture->palette);
        IDirect3DTexture2* from = nullptr;
        IDirect3DTexture2* to = nullptr;
        texture->systemSurface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&from));
        texture->deviceSurface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&to));
        if (from && to) {
            to->Load(from);
            if (to->GetHandle(g_Rnd.device, &texture->handle) != D3D_OK)
                texture->handle = 0;
        }
        if (from)
            from->Release();
        if (to)
            to->Release();
    } else {
        // Other device errors are not looked at: the texture counts as loaded without a surface.
        texture->deviceSurface = nullptr;
        texture->handle = 0;
    }
    texture->loaded = 1;
}

void RND_ApplyColourKey(RenderTexture* texture) {
    if (!texture)
        return;
    const DDCOLORKEY black = {0, 0};
    if (texture->deviceSurface)
        texture->deviceSurface->SetColorKey(DDCKEY_SRCBLT, &black);
    if (texture->systemSurface)
        texture->systemSurface->SetColorKey(DDCKEY_SRCBLT, &black);
}

int RND_CreateTextureMaterial(RenderTexture* texture) {
    if (!texture || !g_Rnd.direct3D)
        return 0;
    IDirect3DMaterial2* material = nullptr;
    if (g_Rnd.direct3D->CreateMaterial(&material, nullptr) != D3D_OK || !material)
        return 0;
    D3DMATERIAL data{};
    data.dwSize = sizeof data;
    data.diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 1.0f};
    data.ambient = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.0f};
    data.power = 0.0f;
    data.hTexture = texture->handle;
    data.dwRampSize = 16;
    material->SetMaterial(&data);
    if (material->GetHandle(g_Rnd.device, &texture->materialHandle) != D3D_OK)
        texture->materialHandle = 0;
    texture->material = material;
    return 1;
}

void RND_ReleaseTextureMaterial(RenderTexture* texture) {
    if (!texture)
        return;
    if (texture->material)
        texture->material->Release();
    texture->material = nullptr;
    texture->materialHandle = 0;
}
