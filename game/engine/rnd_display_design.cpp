// The design space of the interface (640 x 480 unless changed) and its conversions to and from
// the pixels of the current display mode.
#include <cstdint>

#include "engine/rnd_bitmap.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"

float g_DspDesignWidth = 640.0f, g_DspDesignHeight = 480.0f;

float DSP_DesignToScreenX(float x) {
    return x * RND_GetScreenWidth() / g_DspDesignWidth;
}

float DSP_DesignToScreenY(float y) {
    return y * RND_GetScreenHeight() / g_DspDesignHeight;
}

float DSP_ScreenToDesignX(float x) {
    return x * g_DspDesignWidth / RND_GetScreenWidth();
}

float DSP_ScreenToDesignY(float y) {
    return y * g_DspDesignHeight / RND_GetScreenHeight();
}

void DSP_SetDesignSize(int32_t width, int32_t height) {
    g_DspDesignWidth = float(width);
    g_DspDesignHeight = float(height);
}

int32_t DSP_Trunc(double value) {
    if (!(value > double(INT32_MIN)))  // also NaN
        return INT32_MIN;
    if (value >= double(INT32_MAX))
        return INT32_MAX;
    return int32_t(value);
}
