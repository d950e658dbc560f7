// Stand-in for the AI: no decisions; each call is recorded.
#include "stubs/ai_stub.h"

#include "stubs/trace.h"

int AI_LevelFinished() {
    return STUB_Result("AI_LevelFinished", 0);
}

void AI_Tick() {
    STUB_Trace("AI_Tick");
}

// Recorded with whose record stands for the attacker: the victim's own, another's, or none.
void AI_OnDamaged(AICharacter* attacker, AICharacter* victim, float damage) {
    STUB_Trace("AI_OnDamaged", "%s,%g", !attacker ? "none" : attacker == victim ? "own" : "other", damage);
}
