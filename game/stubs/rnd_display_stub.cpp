// Stand-in for the display creation forwarder (see rnd_display_stub.h); the call is recorded.
#include "stubs/rnd_display_stub.h"

#include "shell/dsp.h"
#include "stubs/trace.h"

int RND_InitDisplay(HWND window) {
    STUB_Trace("RND_InitDisplay");
    if (!STUB_Result("RND_InitDisplay", 1))
        return 0;
    return DSP_CreateDevice(window);
}
