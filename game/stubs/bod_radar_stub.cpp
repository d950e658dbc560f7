// Stand-in for the world's radar fill: leaves the radar block as it stands; recorded.
#include "world/bod_radar.h"

#include "common/calltrace.h"

void BOD_FillRadar(HudState*) {
    TRC_Trace("BOD_FillRadar");
}
