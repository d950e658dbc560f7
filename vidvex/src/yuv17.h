// The YUV nibble-delta codec (codec type 17): decoded and converted to 16-bit pixels in one pass
// straight onto a screen.
#pragma once
#include <cstdint>

#include "vvl_internal.h"

// Decodes the image's current frame and draws it with its first column at (ix, iy) of the
// screen; rows and columns that would fall outside the view, clip rectangle or surface are
// decoded but not drawn. 0, -6 for a picture the codec's storage cannot hold or a screen that is
// not 16-bit, -7 for a payload shorter than its codes.
int VVL_DrawYuv(const XImage& image, const VScreen& screen, int64_t ix, int64_t iy);
