// Palettes of 8-bit textures and bitmaps: the one from a bitmap's own colour table, a copy of the
// display palette, and the default palette (the palette file, or the 3-3-2 ramp).
#pragma once
#include <cstdint>

#include "ddraw.h"
#include "gdi.h"

constexpr int RND_PALETTE_ENTRIES = 256;

// Entry i of the 3-3-2 ramp: red (i >> 5) x 32, green ((i >> 2) & 7) x 32, blue (i & 3) x 64.
PALETTEENTRY RND_RampEntry(int index, uint8_t flags);

// A new 8-bit palette from the colour table of a bitmap (blue, green, red turned into red, green,
// blue, flags 0). A table of 16 entries or fewer is padded with black, so that the palette still
// fits an 8-bit texture; without a table the 3-3-2 ramp. Null when it cannot be made.
IDirectDrawPalette* RND_SetPaletteFromBitmap(IDirectDraw2* directDraw, HBITMAP bitmap);
// A new palette with the display palette's entries and caps (without the primary-surface caps);
// null without a display palette or when it cannot be made.
IDirectDrawPalette* RND_ClonePalette(IDirectDraw2* directDraw);
// A new read-only 8-bit palette (DDPCAPS_8BIT | DDPCAPS_ALLOW256) from the current palette file
// (DSP_GetPaletteFileName: 256 red, green, blue triples); a file that is missing or too short to
// give all 256 entries gives the 3-3-2 ramp. Null when it cannot be made.
IDirectDrawPalette* RND_CreateDefaultPalette(IDirectDraw2* directDraw);
