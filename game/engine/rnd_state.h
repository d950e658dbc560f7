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

extern IDirectDraw2* g_RndDirectDraw;
extern IDirectDrawSurface3* g_RndPrimary;     // front buffer, flipped each frame
extern IDirectDrawSurface3* g_RndBackBuffer;  // render target, 2D blits and debug text
extern IDirectDrawSurface3* g_RndZBuffer;     // attached to the back buffer
extern IDirectDrawPalette* g_RndPalette;      // the display palette in 8-bit modes
extern IDirect3D2* g_RndDirect3D;
extern IDirect3DDevice2* g_RndDevice;         // HAL or Ramp device
extern IDirect3DViewport2* g_RndViewport;
extern int32_t g_RndHardwareAllowed;   // the next device may be the HAL device (1)
extern int32_t g_RndHardwareDevice;    // the device in use is the HAL device (1), else Ramp (0)
extern int32_t g_RndCanBlendAdditive;  // blend factor ONE for source and destination (0)
extern int32_t g_RndModeRow;           // row of the display mode table in use (0: none)
extern float g_RndScreenWidth, g_RndScreenHeight;  // the mode's size (320 x 240 at first)
extern RECT g_RndClipRect;             // the 2D clip rectangle in pixels (0, 0, 640, 480)
extern int32_t g_RndLiveBlocks, g_RndAllocatedBytes;  // RND_Alloc / RND_Free counters

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
