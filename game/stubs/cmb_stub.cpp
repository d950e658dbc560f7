// Stand-in for body-part detachment: nothing flies; each call is recorded.
#include "stubs/cmb_stub.h"

#include "stubs/trace.h"
#include "stubs/world_label.h"

void CMB_GibCharacterFly(Bod* victimBod, int playerId, const Vec3* a, const Vec3* b) {
    STUB_Trace("CMB_GibCharacterFly", "%s,%d,%.2f,%.2f,%.2f,%.0f,%.0f,%.0f", STUB_BodName(victimBod), playerId,
               a->x, a->y, a->z, b->x, b->y, b->z);
}
