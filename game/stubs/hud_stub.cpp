// Stand-in for the in-level interface's level-end sequence: each call is recorded.
#include "stubs/trace.h"
#include "ui/hud.h"

void HUD_EndLevelSequence() {
    STUB_Trace("HUD_EndLevelSequence");
}
