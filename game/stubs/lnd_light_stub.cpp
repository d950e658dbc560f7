// Stand-in for the static lighting: keeps the ambient floor, records the lighting pass.
#include "stubs/lnd_light_stub.h"

#include "stubs/trace.h"

namespace {
float g_Floor[4] = {0.1f, 0.1f, 0.1f, 0.0f};
float g_PreviousFloor[4];
}  // namespace

float* LND_SetAmbientLight(const float* floor) {
    STUB_Trace("LND_SetAmbientLight", "%g,%g,%g,%g", floor ? floor[0] : -1.0, floor ? floor[1] : -1.0,
               floor ? floor[2] : -1.0, floor ? floor[3] : -1.0);
    for (int i = 0; i < 4; ++i) g_PreviousFloor[i] = g_Floor[i];
    if (floor)
        for (int i = 0; i < 4; ++i) g_Floor[i] = floor[i];
    return g_PreviousFloor;
}

void LND_ComputeStaticLighting() {
    STUB_Trace("LND_ComputeStaticLighting");
}
