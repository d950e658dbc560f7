// Stand-in for the in-level interface's overlays and level-end sequence: each call is recorded.
#include "stubs/trace.h"
#include "ui/hud.h"

void HUD_EraseOverlays() {
    STUB_Trace("HUD_EraseOverlays");
}

void HUD_EndLevelSequence() {
    STUB_Trace("HUD_EndLevelSequence");
}
