// Stand-in for the explosions: nothing loaded; the per-frame pass is recorded.
#include "world/exp.h"

#include "common/calltrace.h"

int EXP_Update() {
    TRC_Trace("EXP_Update");
    return 0;
}
