// Stand-in for the landscape's per-frame drawing: nothing is drawn; each call is recorded.
#include "stubs/lnd_frame_stub.h"

#include "stubs/trace.h"

namespace {
int g_DynamicLighting = 0;
}  // namespace

int LND_Draw(const Matrix34*, int32_t cameraSurface) {
    STUB_Trace("LND_Draw", "%d", cameraSurface);
    return 0;
}

int LND_DrawObjects(const Matrix34*) {
    STUB_Trace("LND_DrawObjects");
    return 0;
}

void LND_SetTime(float seconds) {
    STUB_Trace("LND_SetTime", "%.3f", seconds);
}

int LND_SetDynamicLighting(int on) {
    STUB_Trace("LND_SetDynamicLighting", "%d", on);
    const int previous = g_DynamicLighting;
    g_DynamicLighting = on;
    return previous;
}

int LND_IsSurfaceDrawn(int32_t) {
    return STUB_Result("LND_IsSurfaceDrawn", 1);
}

int LND_IsSphereVisible(const Vec3*, float) {
    return STUB_Result("LND_IsSphereVisible", 1);
}
