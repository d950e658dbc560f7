// Stand-in for the AI: no decisions; each call is recorded.
#include "stubs/ai_stub.h"

#include "stubs/trace.h"

int AI_LevelFinished() {
    return STUB_Result("AI_LevelFinished", 0);
}

void AI_Tick() {
    STUB_Trace("AI_Tick");
}

void AI_OnDamaged(AICharacter*, AICharacter*, float damage) {
    STUB_Trace("AI_OnDamaged", "%g", damage);
}
