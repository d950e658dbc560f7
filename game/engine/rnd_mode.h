// The renderer's display-mode switch: the mode row, the display's mode set, the projection
// refitted to the new size, and (on request, on the HAL device) a fall back to 320 x 240 when
// too little texture memory is free.
#pragma once

// Both return the result of the display's mode set (1 success, 0 failure).
int RND_SetDisplayMode(int width, int height, int bpp);
// checkTextureMemory nonzero on the HAL device: under 1 MB of free texture memory after the
// switch, the mode becomes 320 x 240 at the same depth.
int RND_SetDisplayModeEx(int width, int height, int bpp, int checkTextureMemory);
