// Stand-in for the explosions: nothing loaded; the per-frame pass is recorded.
#include "world/exp.h"

#include "common/calltrace.h"

int EXP_Update() {
    TRC_Trace("EXP_Update");
    return 0;
}

void EXP_LoadFrames() {
    TRC_Trace("EXP_LoadFrames");
}

void EXP_FreeAll() {
    TRC_Trace("EXP_FreeAll");
}
