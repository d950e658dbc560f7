// Stand-in for the renderer's state words and the display calls of the renderer that the display
// start-up and the bitmaps use, until the renderer is built. The words are the real globals that
// the display start-up fills.
#pragma once
#include <cstddef>
#include <cstdint>

#include "d3d.h"
#include "engine/rnd_clip.h"
#include "engine/rnd_projection.h"
#include "engine/rnd_states.h"
#include "ddraw.h"
#include "win32.h"

extern IDirectDraw2* g_RndDirectDraw;
extern IDirectDrawSurface3* g_RndPrimary;     // front buffer, flipped each frame
extern IDirectDrawSurface3* g_RndBackBuffer;  // render target, 2D blits and debug text
extern IDirectDrawSurface3* g_RndZBuffer;
extern IDirectDrawPalette* g_RndPalette;      // the display palette in 8-bit modes
extern IDirect3D2* g_RndDirect3D;
extern IDirect3DDevice2* g_RndDevice;
extern IDirect3DViewport2* g_RndViewport;
extern int32_t g_RndHardwareAllowed;   // the next device may be the HAL device (1)
extern int32_t g_RndHardwareDevice;    // the device in use is the HAL device (1)
extern int32_t g_RndCanBlendAdditive;  // blend factor ONE for source and destination (0)
extern int32_t g_RndModeRow;           // row of the display mode table in use (0: none)
extern float g_RndScreenWidth, g_RndScreenHeight;  // the mode's size (320 x 240 at first)
extern RECT g_RndClipRect;             // the 2D clip rectangle in pixels
extern int32_t g_RndLiveBlocks, g_RndAllocatedBytes;  // RND_Alloc / RND_Free counters

IDirectDraw2* RND_GetDirectDraw();
IDirectDrawSurface3* RND_GetPrimarySurface();
IDirectDrawSurface3* RND_GetBackBuffer();
IDirectDrawPalette* RND_GetPalette();
IDirect3D2* RND_GetDirect3D();
IDirect3DDevice2* RND_GetDevice();
int RND_CanBlendAdditive();
// Bits per pixel of the current mode row; 0 without one.
int RND_GetBitDepth();
void RND_SetHardwareAllowed(int flag);
// The display creation (DSP_CreateDevice): 1 success, 0 failure. A result of 0 set for the name
// fails it without creating anything.
int RND_InitDisplay(HWND window);
// value x mode height / mode width.
float RND_ScaleByAspect(float value);
// Counted heap blocks (malloc and free).
void* RND_Alloc(size_t size);
void RND_Free(void* block);
