// Stand-in for the interface's text drawing until it is built.
#pragma once

// Draws text at (x, y) of the 640 x 480 design space; alignment 0..4, font -1..3. 0 for a null
// text or an alignment outside 0..4, else 1.
int FNT_DrawText(const char* text, int x, int y, int alignment, int font);
