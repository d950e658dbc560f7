// Stand-in for the in-level interface's level-end sequence: each call is recorded.
#include "common/calltrace.h"
#include "ui/hud.h"

void HUD_EndLevelSequence() {
    TRC_Trace("HUD_EndLevelSequence");
}
