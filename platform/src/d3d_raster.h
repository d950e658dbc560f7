// The software rasteriser behind the Direct3D device: transformed-and-lit triangles and lines into
// a 16-bit 5-6-5 or 8-bit palettised target with a 16-bit Z buffer. Works on plain views of
// memory so that it can be driven and measured without the COM objects around it.
#pragma once
#include <cstdint>

#include "d3d.h"
#include "ddraw.h"

namespace plat::detail {

// Where pixels go. z is null when there is no Z buffer; the scissor is [x0, x1) x [y0, y1).
struct RasterTarget {
    uint8_t* pixels = nullptr;
    int pitch = 0;         // bytes
    int bitsPerPixel = 16;  // 16 (5-6-5) or 8 (palettised)
    const PALETTEENTRY* palette = nullptr;  // 8 bits: the colours of the indices (256)
    const uint8_t* inverse = nullptr;       // 8 bits: index of a colour by its 5-5-5 bits (32768)
    uint16_t* z = nullptr;
    int zPitch = 0;  // in 16-bit words
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// A texture as 0x00RRGGBB texels (keyed texels carry bit 24), width x height, rows packed.
struct RasterTexture {
    const uint32_t* texels = nullptr;
    int width = 0, height = 0;
};
constexpr uint32_t kTexelKeyed = 0x01000000u;

// The render states that drawing looks at, read from the device's state words.
struct RasterState {
    bool textured = false;    // a texture is set
    bool perspective = true;  // tu, tv interpolated through rhw
    bool bilinear = false;    // TEXTUREMAG linear
    bool modulate = true;     // MODULATE (texel x colour) or DECAL (texel)
    bool gouraud = true;
    bool colourKey = false;   // keyed texels are neither drawn nor written to Z
    bool blend = false;
    uint32_t srcBlend = D3DBLEND_ONE, destBlend = D3DBLEND_ZERO;
    bool zTest = false, zWrite = false;
    uint32_t zFunc = D3DCMP_LESSEQUAL;
    static RasterState FromStates(const uint32_t* states, bool textured);
};

void RasterTriangle(const RasterTarget& target, const RasterTexture* texture, const RasterState& state,
                    const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c);
// A line from a towards b, without its last pixel; colours along, untextured.
void RasterLine(const RasterTarget& target, const RasterState& state, const D3DTLVERTEX& a, const D3DTLVERTEX& b);
// Fills a 32768-entry table: the nearest palette index of each 5-5-5 colour.
void BuildInversePalette(const PALETTEENTRY* palette, int count, uint8_t* table);

}  // namespace plat::detail
