// Making textures: a bitmap file into a system-memory texture surface of the format the device
// offers, its palette and handle, the upload to video memory with eviction of the texture drawn
// longest ago, the colour key, and the DirectDraw error names written when a surface fails.
#pragma once
#include <cstdint>

#include "d3d.h"
#include "ddraw.h"
#include "engine/rnd_texture.h"
#include "gdi.h"

// The fallback bitmap (a disk file of the game directory) for a texture file that cannot be loaded.
inline constexpr const char kRndDefaultTextureFile[] = "deftxtr.bmp";

// Context of the texture format enumeration.
struct TextureFormatChoice {
    uint32_t wantedBits;     // 8 for 8-bit bitmaps, else 16
    DDPIXELFORMAT format;    // the chosen format; all zero until one is chosen
};
// EnumTextureFormats callback: skips alpha formats, formats under 8 bits, 8-bit formats that are
// not palettised and deeper ones that are not RGB; takes a format when none is chosen yet, or when
// it has at least the wanted bit count and is nearer to it than the chosen one (the differences
// compared unsigned, so a chosen format below the wanted count always gives way). Always goes on.
HRESULT RND_TextureFormatCallback(DDSURFACEDESC* desc, void* context);

// The texture surface side for a bitmap under the square-texture option: the larger side, and 32
// when that is 32 or less.
int RND_SquareTextureSide(int width, int height);

// A new zero-filled record (valid word 1) with the bitmap file's pixels, or null without a
// DirectDraw object or when a surface or the copy fails. A null name, or a file that neither it nor
// the fallback bitmap can give, makes a record without surfaces.
RenderTexture* RND_CreateTextureFromFile(IDirect3DDevice2* device, const char* fileName);
// Keeps the bitmap's size and resolution in the record and copies its pixels onto the system
// surface (stretched onto the square under the square-texture option). 1 on success.
int RND_CopyBitmapToTexture(RenderTexture* texture, HBITMAP bitmap);
// HAL device: makes the video-memory copy and its handle. While video memory is short, the
// texture at the tail of the loaded list is unloaded; when none is left the texture stays
// unloaded with handle 0.
void RND_UploadTexture(RenderTexture* texture);
// Black source colour key (DDCKEY_SRCBLT, low and high 0) on the device and system surfaces.
void RND_ApplyColourKey(RenderTexture* texture);
// Ramp device: the texture's material (diffuse white, ambient white with alpha 0, the texture
// handle, ramp size 16) and its handle. 0 when it cannot be made.
int RND_CreateTextureMaterial(RenderTexture* texture);
void RND_ReleaseTextureMaterial(RenderTexture* texture);
// The name written for a failed surface creation ("Unknown error" for results not in the table).
const char* RND_DirectDrawErrorName(HRESULT result);
