// Stand-in for the landscape's view projection (see lnd_view_stub.h).
#include "stubs/lnd_view_stub.h"

#include "stubs/rnd_display_stub.h"
#include "stubs/trace.h"

void LND_ResetView() {
    STUB_Trace("LND_ResetView");
}

void LND_SetViewProjection(float nearPlane, float farPlane, float spare, float horizontalAngle, float verticalAngle) {
    STUB_Trace("LND_SetViewProjection", "%.1f,%.1f,%.1f,%.4f,%.4f", nearPlane, farPlane, spare, horizontalAngle,
               verticalAngle);
    RND_SetProjection(nearPlane, farPlane, spare, horizontalAngle, verticalAngle);
}
