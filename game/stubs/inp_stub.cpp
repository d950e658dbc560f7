// Stand-in for the input layer: no devices; the platform's raw events are dropped at each poll.
// Each call except the per-frame poll is recorded.
#include "stubs/inp_stub.h"

#include "plat_input.h"
#include "stubs/trace.h"

int INP_Init(HINSTANCE, HWND, int width, int height) {
    STUB_Trace("INP_Init", "%d,%d", width, height);
    return 1;
}

int INP_AcquireMouse() {
    STUB_Trace("INP_AcquireMouse");
    return 1;
}

int INP_AcquireKeyboard() {
    STUB_Trace("INP_AcquireKeyboard");
    return 1;
}

void INP_Shutdown() {
    STUB_Trace("INP_Shutdown");
}

int INP_Poll() {
    STUB_Trace("INP_Poll");
    plat::DrainInput();
    return 1;
}
