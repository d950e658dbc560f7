// Stand-in for the settings' display-mode calls: records them and leaves the display as the
// start-up made it (640 x 480 x 16, what the start-up asks for). Weak, so that the settings' own
// definitions take their place as soon as they exist.
#include "engine/rnd_display.h"

#include "common/calltrace.h"

__attribute__((weak)) void APP_ProbeDisplayModes() {
    TRC_Trace("APP_ProbeDisplayModes");
}

__attribute__((weak)) void APP_SetDisplayMode(int mode, int forceNewDevice) {
    TRC_Trace("APP_SetDisplayMode", "%d,%d", mode, forceNewDevice);
}
