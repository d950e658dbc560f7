// Stand-ins for the character actions whose handlers are not built yet (attacks and weapons,
// death, the use of statics, the level machines, the zombies' grab actions): each records its
// call with the bod and leaves the action as it is, so the action table is complete. A module
// that builds its actions deletes their entries here.
#include "common/calltrace.h"
#include "world/act_table.h"
#include "world/character.h"
#include "world/world_label.h"

namespace {
void Record(const char* name, Bod* bod) {
    TRC_Trace(name, "%s", BOD_TraceLabel(bod));
}
}  // namespace

void ACT_Swing(Bod* bod, CharacterControl*) {
    Record("ACT_Swing", bod);
}

void ACT_Stab(Bod* bod, CharacterControl*) {
    Record("ACT_Stab", bod);
}

void ACT_Thrust(Bod* bod, CharacterControl*) {
    Record("ACT_Thrust", bod);
}

void ACT_StartFire(Bod* bod, CharacterControl*) {
    Record("ACT_StartFire", bod);
}

void ACT_FireProjectile(Bod* bod, CharacterControl*) {
    Record("ACT_FireProjectile", bod);
}

void ACT_Attack(Bod* bod, CharacterControl*) {
    Record("ACT_Attack", bod);
}

void ACT_EndUzi(Bod* bod, CharacterControl*) {
    Record("ACT_EndUzi", bod);
}

void ACT_Push(Bod* bod, CharacterControl*) {
    Record("ACT_Push", bod);
}

void ACT_Pushing(Bod* bod, CharacterControl*) {
    Record("ACT_Pushing", bod);
}

void ACT_PushEnd(Bod* bod, CharacterControl*) {
    Record("ACT_PushEnd", bod);
}

void ACT_Kick(Bod* bod, CharacterControl*) {
    Record("ACT_Kick", bod);
}

void ACT_Kicking(Bod* bod, CharacterControl*) {
    Record("ACT_Kicking", bod);
}

void ACT_Shoved(Bod* bod, CharacterControl*) {
    Record("ACT_Shoved", bod);
}

void ACT_ShoveEnd(Bod* bod, CharacterControl*) {
    Record("ACT_ShoveEnd", bod);
}

void ACT_Throw(Bod* bod, CharacterControl*) {
    Record("ACT_Throw", bod);
}

void ACT_Melee(Bod* bod, CharacterControl*) {
    Record("ACT_Melee", bod);
}

void ACT_UziStart(Bod* bod, CharacterControl*) {
    Record("ACT_UziStart", bod);
}

void ACT_FireSteer(Bod* bod, CharacterControl*) {
    Record("ACT_FireSteer", bod);
}

void ACT_UziRepeat(Bod* bod, CharacterControl*) {
    Record("ACT_UziRepeat", bod);
}

void ACT_OneHandStart(Bod* bod, CharacterControl*) {
    Record("ACT_OneHandStart", bod);
}

void ACT_OneHandRepeat(Bod* bod, CharacterControl*) {
    Record("ACT_OneHandRepeat", bod);
}

void ACT_FireHold(Bod* bod, CharacterControl*) {
    Record("ACT_FireHold", bod);
}

void ACT_RifleStart(Bod* bod, CharacterControl*) {
    Record("ACT_RifleStart", bod);
}

void ACT_RifleRepeat(Bod* bod, CharacterControl*) {
    Record("ACT_RifleRepeat", bod);
}

void ACT_AutoStart(Bod* bod, CharacterControl*) {
    Record("ACT_AutoStart", bod);
}

void ACT_AutoRepeat(Bod* bod, CharacterControl*) {
    Record("ACT_AutoRepeat", bod);
}

void ACT_ShotgunRepeat(Bod* bod, CharacterControl*) {
    Record("ACT_ShotgunRepeat", bod);
}

void ACT_DieAtTimer(Bod* bod, CharacterControl*) {
    Record("ACT_DieAtTimer", bod);
}

void ACT_Die(Bod* bod, CharacterControl*) {
    Record("ACT_Die", bod);
}

void ACT_Death(Bod* bod, CharacterControl*) {
    Record("ACT_Death", bod);
}

void ACT_Use(Bod* bod, CharacterControl*) {
    Record("ACT_Use", bod);
}

void ACT_UseWait(Bod* bod, CharacterControl*) {
    Record("ACT_UseWait", bod);
}

void ACT_SwipeCard(Bod* bod, CharacterControl*) {
    Record("ACT_SwipeCard", bod);
}

void ACT_SwipeCardWait(Bod* bod, CharacterControl*) {
    Record("ACT_SwipeCardWait", bod);
}

void ACT_LevelPullStart(Bod* bod, CharacterControl*) {
    Record("ACT_LevelPullStart", bod);
}

void ACT_LevelPull(Bod* bod, CharacterControl*) {
    Record("ACT_LevelPull", bod);
}

void ACT_GrinderTaken(Bod* bod, CharacterControl*) {
    Record("ACT_GrinderTaken", bod);
}

void ACT_GrinderShred(Bod* bod, CharacterControl*) {
    Record("ACT_GrinderShred", bod);
}

void ACT_MachineRelease(Bod* bod, CharacterControl*) {
    Record("ACT_MachineRelease", bod);
}

void ACT_PullCatch(Bod* bod, CharacterControl*) {
    Record("ACT_PullCatch", bod);
}

void ACT_Crushed(Bod* bod, CharacterControl*) {
    Record("ACT_Crushed", bod);
}

void ACT_FarmMachine(Bod* bod, CharacterControl*) {
    Record("ACT_FarmMachine", bod);
}

void ACT_DeadlyZone(Bod* bod, CharacterControl*) {
    Record("ACT_DeadlyZone", bod);
}

void ACT_SteerMachine(Bod* bod, CharacterControl*) {
    Record("ACT_SteerMachine", bod);
}

void ACT_BlownUp(Bod* bod, CharacterControl*) {
    Record("ACT_BlownUp", bod);
}

void ACT_XRay(Bod* bod, CharacterControl*) {
    Record("ACT_XRay", bod);
}

void AI_GrabStart(Bod* bod, CharacterControl*) {
    Record("AI_GrabStart", bod);
}

void AI_Grabbing(Bod* bod, CharacterControl*) {
    Record("AI_Grabbing", bod);
}

void AI_Feeding(Bod* bod, CharacterControl*) {
    Record("AI_Feeding", bod);
}

void AI_Held(Bod* bod, CharacterControl*) {
    Record("AI_Held", bod);
}
