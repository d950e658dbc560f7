// Forwarders of the landscape's renderer layer (see rnd_layer.h).
#include "engine/rnd_layer.h"

#include "engine/rnd_trace.h"
#include "shell/dsp.h"

int RND_InitDisplay(HWND window) {
    RND_Trace("RND_InitDisplay");
    return DSP_CreateDevice(window) ? 1 : 0;
}

int RND_WindowMessageHook(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

void RND_ResizeHook(int, int) {}
