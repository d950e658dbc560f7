// Stand-in for the AI: no decisions; each call is recorded.
#include "world/ai.h"

#include "common/calltrace.h"
#include "world/world_label.h"

int AI_LevelFinished() {
    return TRC_Result("AI_LevelFinished", 0);
}

void AI_Tick() {
    TRC_Trace("AI_Tick");
}

// Recorded with whose record stands for the attacker: the victim's own, another's, or none.
void AI_OnDamaged(AICharacter* attacker, AICharacter* victim, float damage) {
    TRC_Trace("AI_OnDamaged", "%s,%g", !attacker ? "none" : attacker == victim ? "own" : "other", damage);
}

void AI_TakeBack(Bod* bod) {
    TRC_Trace("AI_TakeBack", "%s", BOD_TraceLabel(bod));
}

void AI_Release(Bod* bod) {
    TRC_Trace("AI_Release", "%s", BOD_TraceLabel(bod));
}

void AI_OrderAtPoint(float x, float y, float z, int member) {
    TRC_Trace("AI_OrderAtPoint", "%.1f,%.1f,%.1f,%d", x, y, z, member);
}
