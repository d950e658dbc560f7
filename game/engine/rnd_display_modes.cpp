// The display mode table (rows 1..20; the options use rows 2 and 12, 5 and 15) and the search in it.
#include "engine/rnd_display.h"

const DisplayMode g_DspModes[DSP_MODE_COUNT + 1] = {
    {0, 0, 0, 0},
    {320, 200, 8, 0},    {320, 240, 8, 0},    {512, 384, 8, 0},    {640, 400, 8, 0},     {640, 480, 8, 0},
    {800, 600, 8, 0},    {1024, 768, 8, 0},   {1152, 864, 8, 0},   {1280, 1024, 8, 0},   {1600, 1200, 8, 0},
    {320, 200, 16, 0},   {320, 240, 16, 0},   {512, 384, 16, 0},   {640, 400, 16, 0},    {640, 480, 16, 0},
    {800, 600, 16, 0},   {1024, 768, 16, 0},  {1152, 864, 16, 0},  {1280, 1024, 16, 0},  {1600, 1200, 16, 0},
};

int DSP_FindMode(int32_t width, int32_t height, int32_t bitsPerPixel) {
    if (width == 0 && height == 0 && bitsPerPixel == 0)
        return 0;
    for (int row = 1; row <= DSP_MODE_COUNT; ++row) {
        const DisplayMode& m = g_DspModes[row];
        if ((width == 0 || m.width == width) && (height == 0 || m.height == height) &&
            (bitsPerPixel == 0 || m.bitsPerPixel == bitsPerPixel))
            return row;
    }
    return 0;
}
