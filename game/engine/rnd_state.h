// The renderer's state words: the DirectDraw and Direct3D objects that the display start-up
// creates and the renderer draws with, the device kind and its blend capability, the display
// mode in use, the 2D clip rectangle, and the counted heap blocks of RND_Alloc / RND_Free. One
// renderer per process; the display start-up fills the words, the renderer reads them.
#pragma once
#include <cstddef>
#include <cstdint>

#include "d3d.h"
#include "ddraw.h"
#include "win32.h"

struct RndState {
    IDirectDraw2* directDraw = nullptr;
    IDirectDrawSurface3* primary = nullptr;     // front buffer, flipped each frame
    IDirectDrawSurface3* backBuffer = nullptr;  // render target, 2D blits and debug text
    IDirectDrawSurface3* zBuffer = nullptr;     // attached to the back buffer
    IDirectDrawPalette* palette = nullptr;      // the display palette in 8-bit modes
    IDirect3D2* direct3D = nullptr;
    IDirect3DDevice2* device = nullptr;         // HAL or Ramp device
    IDirect3DViewport2* viewport = nullptr;
    int32_t hardwareAllowed = 1;   // the next device may be the HAL device (1)
    int32_t hardwareDevice = 1;    // the device in use is the HAL device (1), else Ramp (0)
    int32_t canBlendAdditive = 0;  // blend factor ONE for source and destination (0)
    int32_t modeRow = 0;           // row of the display mode table in use (0: none)
    float screenWidth = 320.0f, screenHeight = 240.0f;  // the mode's size (320 x 240 at first)
    RECT clipRect = {0, 0, 640, 480};                  // the 2D clip rectangle in pixels
    int32_t liveBlocks = 0, allocatedBytes = 0;         // RND_Alloc / RND_Free counters
};
extern RndState g_Rnd;

struct DisplayMode;
// The display mode table's row in use; null when no mode is set.
const DisplayMode* RND_CurrentMode();

IDirectDraw2* RND_GetDirectDraw();
IDirectDrawSurface3* RND_GetPrimarySurface();
IDirectDrawSurface3* RND_GetBackBuffer();
IDirectDrawPalette* RND_GetPalette();
IDirect3D2* RND_GetDirect3D();
IDirect3DDevice2* RND_GetDevice();
int RND_IsHardwareDevice();
int RND_CanBlendAdditive();
// The mode size in pixels.
float RND_GetScreenWidth();
float RND_GetScreenHeight();
// Bits per pixel of the current mode row; 0 without one.
int RND_GetBitDepth();
void RND_SetHardwareAllowed(int flag);
// value x mode height / mode width.
float RND_ScaleByAspect(float value);
// Counted heap blocks (malloc and free): the live count and the byte total follow each success.
void* RND_Alloc(size_t size);
void RND_Free(void* block);
