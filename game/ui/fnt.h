// The interface's text drawing: three bitmap fonts of one picture per character (large, large in
// a second colour, small) with per-character widths, and the 8 x 16 system font.
#pragma once
#include <cstdint>

#include "engine/rnd_bitmap.h"
#include "ui/img.h"

constexpr int FNT_CODES = 255;

struct FontBlock {
    int32_t width[FNT_CODES];   // advance in design pixels
    int32_t height[FNT_CODES];  // height[0] is the line height
    ImageHolder pictures[FNT_CODES];
};

enum : int { FNT_LARGE = 0, FNT_LARGE_RED = 1, FNT_SMALL = 2, FNT_BLOCKS = 3 };
extern FontBlock g_Fonts[FNT_BLOCKS];
// The area that alignments 2 and 3 clip to (design space).
extern DesignRect g_FntClipRect;

// The file name part of a character in a font set: "A" for A, "AA" for a, "7", word names for
// punctuation ("COM", "SPCE", ...); null for a character without a picture. extended adds the
// names that only the "S_" set has.
const char* FNT_CharacterName(unsigned char code, bool extended, char (&buffer)[8]);
// Sets every block's widths and heights and loads the pictures of the three fonts; the small
// font takes the "L_" set when the display is 320 pixels wide.
int FNT_LoadFonts();
void FNT_FreeFonts();
// Width of a text in a font 0..3 (codes 1..127 only); 0 for a null text or another font.
int FNT_TextWidth(const char* text, int font);
// Draws text at (x, y) of the 640 x 480 design space (y is the vertical centre); alignment 0 left,
// 1 centred, 2 left clipped, 3 centred clipped, 4 left opaque; font -1 system, 0/1 large, 2 large
// second colour, 3 small. 0 for a null text or an alignment outside 0..4, else 1 (a font outside
// -1..3 draws nothing).
int FNT_DrawText(const char* text, int x, int y, int alignment, int font);
