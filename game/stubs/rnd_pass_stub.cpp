// Stand-in for the renderer's batch (nothing is drawn, the flush is recorded) and the plan-view
// heading test, which the melee target search needs as it is.
#include "stubs/rnd_pass_stub.h"

#include <cmath>

#include "stubs/trace.h"

void RND_FlushBatch() {
    STUB_Trace("RND_FlushBatch");
}

int RND_IsOutsideHeadingArc(const Vec3* point, const Vec3* eye, float heading, float width) {
    const float offX = point->x - eye->x, offZ = point->z - eye->z;
    const float d = std::sqrt(offX * offX + offZ * offZ);
    if (d == 0.0f)
        return 0;
    const float c = (std::sin(heading) * offX + std::cos(heading) * offZ) / d;
    return c < std::cos(width / d) ? 1 : 0;
}
