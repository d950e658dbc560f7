// Stand-in for the world's radar fill: leaves the radar block as it stands; recorded.
#include "stubs/bod_radar_stub.h"

#include "stubs/trace.h"

void BOD_FillRadar(HudState*) {
    STUB_Trace("BOD_FillRadar");
}
