// Stand-in for the explosions: nothing loaded; the per-frame pass is recorded.
#include "stubs/exp_stub.h"

#include "stubs/trace.h"

int EXP_Update() {
    STUB_Trace("EXP_Update");
    return 0;
}
