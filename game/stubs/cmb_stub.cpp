// Stand-in for body-part detachment and the flight of objects: nothing flies; each call is
// recorded.
#include "world/cmb.h"
#include "world/thr.h"

#include "common/calltrace.h"
#include "world/world_label.h"

void CMB_GibCharacterFly(Bod* victimBod, int playerId, const Vec3* a, const Vec3* b) {
    TRC_Trace("CMB_GibCharacterFly", "%s,%d,%.2f,%.2f,%.2f,%.0f,%.0f,%.0f", BOD_TraceLabel(victimBod), playerId,
               a->x, a->y, a->z, b->x, b->y, b->z);
}

void CMB_RestoreLimbs(CharacterControl* control) {
    TRC_Trace("CMB_RestoreLimbs", "%s", BOD_TraceLabelOfRecord(control));
}

int THR_FlightStep(Bod* bod, WorldObjectControl*) {
    TRC_Trace("THR_FlightStep", "%s", BOD_TraceLabel(bod));
    return TRC_Result("THR_FlightStep", 1);
}
