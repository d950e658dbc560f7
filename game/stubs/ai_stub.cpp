// Stand-in for the AI: no decisions; each call is recorded.
#include "world/ai.h"

#include "common/calltrace.h"

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
