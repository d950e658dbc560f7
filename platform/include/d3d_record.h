// Recording of a Direct3D device for tests: every render state set and every draw, with the
// vertices, the texture handle and the render states in force at the draw.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "d3d.h"
#include "plat.h"

struct D3DRecord {
    enum Kind { kState, kDraw } kind = kState;
    uint32_t state = 0, value = 0;                     // kState: the state set and its value
    uint32_t primitive = 0, flags = 0;                 // kDraw: D3DPT_..., D3DDP_...
    std::vector<D3DTLVERTEX> vertices;                 // kDraw
    std::array<uint32_t, kD3DRenderStateCount> states{};  // kDraw: the render states at the draw
    uint32_t Texture() const { return states[D3DRENDERSTATE_TEXTUREHANDLE]; }
};

namespace plat {
// Starts (or stops) keeping records on a device made by this platform; stopping drops them.
PLATEXPORT void D3DRecordDevice(IDirect3DDevice2* device, bool on);
// The records kept since the last call; they are handed over and the log starts empty.
PLATEXPORT std::vector<D3DRecord> D3DTakeRecords(IDirect3DDevice2* device);
}  // namespace plat
