// Stand-in for the renderer's batch: nothing is drawn, the flush is recorded.
#include "stubs/rnd_pass_stub.h"

#include "stubs/trace.h"

void RND_FlushBatch() {
    STUB_Trace("RND_FlushBatch");
}
