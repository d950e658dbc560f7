// The display: creating and releasing the DirectDraw and Direct3D objects of the game's one
// full-screen display (driver choice, cooperative level, display mode, primary surface and back
// buffer, Z buffer, 8-bit palette, HAL or Ramp device, viewport), the 20-row display mode table,
// the default palette file, and GAME_InitGraphics, which runs the whole start-up. The renderer
// keeps the objects in its state words; this module fills them.
#pragma once
#include <cstdint>

#include "ddraw.h"
#include "common/lst.h"
#include "win32.h"

// One row of the display mode table; rows are numbered 1 to 20 and row 0 means none.
struct DisplayMode {
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
    int32_t unused;  // always 0
};
constexpr int DSP_MODE_COUNT = 20;
// Indexed by row: entry 0 is the empty row.
extern const DisplayMode g_DspModes[DSP_MODE_COUNT + 1];

// A display driver reported by the enumeration; the records serve only DSP_CreateDevice.
struct DisplayDriver {
    ListNode link;
    char* name;      // DSP_DRIVER_NAME_SIZE bytes: the driver's description
    GUID guid;
    GUID* guidPtr;   // &guid, or null for the primary display driver
};
constexpr int DSP_DRIVER_NAME_SIZE = 256;
constexpr int DSP_PALETTE_NAME_SIZE = 256;
constexpr int DSP_PALETTE_ENTRIES = 256;

// Display state of this module; the renderer's words hold the rest.
extern IDirectDraw* g_DspDirectDraw;  // the first interface: display modes are set through it
extern int32_t g_DspWidth, g_DspHeight, g_DspBitsPerPixel;  // of the last successful DSP_SetMode
extern uint32_t g_DspDisplayReady;
extern HWND g_DspWindow;

// Set by the display start-up; the world's level frames wait for it.
extern uint32_t g_GraphicsReady;
// The world's camera back to its start state, at the end of the display start-up; set by the
// world (world/hooks.cpp), null: nothing.
extern void (*g_RndCameraResetHook)();
// Creates the display (DSP_CreateDevice): 1 on success, 0 on failure.
int RND_InitDisplay(HWND window);
// 0 success, -1 when the display cannot be created.
int GAME_InitGraphics(HWND window);
// 1 success, 0 failure.
int DSP_CreateDevice(HWND window);
int DSP_SetMode(int32_t width, int32_t height, int32_t bitsPerPixel);
// The first row whose fields equal the arguments, 0 matching any value; 0 when all three are 0
// or no row matches.
int DSP_FindMode(int32_t width, int32_t height, int32_t bitsPerPixel);
// Releases the device, viewport, Z buffer, back buffer, primary surface and palette; with `all`
// also Direct3D and both DirectDraw interfaces.
void DSP_ReleaseAll(uint32_t all);
// DSP_ReleaseAll(1) and the display is no longer ready (the window is not used).
void DSP_Release(HWND window);
// Creates the 8-bit display palette, or refreshes it, from the palette file (256 red, green,
// blue triples read from disk); without a whole file the 3-3-2 palette.
void DSP_LoadDefaultPalette();
// The default palette's entries (read-only): the palette file when it holds all 768 bytes,
// else the 3-3-2 ramp.
void DSP_DefaultPaletteEntries(PALETTEENTRY entries[DSP_PALETTE_ENTRIES]);
// A name longer than the buffer holds empties it, so that nothing is opened under a cut name.
void DSP_SetPaletteFileName(const char* name);
const char* DSP_GetPaletteFileName();
// The DirectDrawEnumerateA callback: appends a DisplayDriver to the list (a ListHeader); always 1.
BOOL DSP_EnumDriverCallback(GUID* guid, LPSTR description, LPSTR name, void* list);
// Frees every texture record of the renderer's two lists, while the display is ready.
void DSP_ReleaseTextureSurfaces();

// Tests of the start-up order observe the calls the shell makes here (GAME_InitGraphics,
// DSP_Release, DSP_LoadBitmap, DSP_BlitBitmap, DSP_FreeBitmap), reported as "NAME" or
// "NAME(args)". Off (null) by default.
void DSP_SetCallTrace(void (*trace)(const char* entry));
// Reports a call to the trace, when one is set.
void DSP_Trace(const char* name, const char* format = nullptr, ...) __attribute__((format(printf, 2, 3)));

// The settings' display-mode calls (a stand-in until the settings are built).
// Tests which of the options' display modes 0..7 work on this machine.
void APP_ProbeDisplayModes();
// Sets option mode 0..7 (bit 0: hardware device; 0/1 320 x 240 x 8, 2/3 320 x 240 x 16,
// 4/5 640 x 480 x 8, 6/7 640 x 480 x 16). The stand-in keeps the display as it is.
void APP_SetDisplayMode(int mode, int forceNewDevice);
