// Stand-in for the settings' display-mode calls until they are built.
#pragma once

// Tests which of the options' display modes 0..7 work on this machine.
void APP_ProbeDisplayModes();
// Sets option mode 0..7 (bit 0: hardware device; 0/1 320 x 240 x 8, 2/3 320 x 240 x 16,
// 4/5 640 x 480 x 8, 6/7 640 x 480 x 16). The stand-in keeps the display as it is.
void APP_SetDisplayMode(int mode, int forceNewDevice);
