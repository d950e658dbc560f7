// Stand-in for character movement until it is built: each call is recorded. The move advances the
// character's animation and carries it by the root motion along its heading, without collision;
// the fall applies the clock's gravity and ends on the ground height under the character.
#include "world/phy.h"

#include "common/calltrace.h"
#include "common/game_clock.h"
#include "engine/anm.h"
#include "engine/landscape_query.h"
#include "world/bod.h"
#include "world/bod_record.h"
#include "world/character.h"
#include "world/world_label.h"

int PHY_MoveCharacter(Bod* bod) {
    TRC_Trace("PHY_MoveCharacter", "%s", BOD_TraceLabel(bod));
    CharacterControl* control = BOD_CharacterOf(bod);
    if (!control || !control->instance)
        return 0;
    Vec3 motion{0.0f, 0.0f, 0.0f};
    ANM_Advance(control->instance, &motion);
    // The root motion points backwards in model space: negated and turned into the world.
    Vec3 step;
    MTH_RotateVector(&step, &motion, &control->transform);
    Vec3 position = BOD_PositionOf(control);
    position.x -= step.x;
    position.z -= step.z;
    BOD_SetPosition(control, position);
    return 1;
}

int PHY_FallStep(Bod* bod) {
    TRC_Trace("PHY_FallStep", "%s", BOD_TraceLabel(bod));
    CharacterControl* control = BOD_CharacterOf(bod);
    if (!control)
        return 0;
    const float dt = g_GameClock.deltaSeconds;
    control->velocity[1] -= g_GameClock.gravity * dt;
    Vec3 position = BOD_PositionOf(control);
    position.x += control->velocity[0] * dt;
    position.y += control->velocity[1] * dt;
    position.z += control->velocity[2] * dt;
    const int32_t surface = LND_LocateSurface(0, &position);
    const float ground = float(LND_GetGroundHeight(&position, surface)) - ANM_GetGroundOffset(control->instance);
    const bool landed = control->velocity[1] <= 0.0f && position.y <= ground;
    if (landed)
        position.y = ground;
    if (surface)
        control->surface = uint32_t(surface);
    BOD_SetPosition(control, position);
    return landed ? 1 : 0;
}
