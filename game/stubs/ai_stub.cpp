// Stand-in for the AI: no decisions; each call is recorded. The hand-over calls set the AI-drives
// flag (and the facing) the way the AI does, so that the actions can be followed.
#include "world/ai.h"

#include "common/calltrace.h"
#include "common/match.h"
#include "net/net.h"
#include "world/bod.h"
#include "world/character.h"
#include "world/game_frame.h"
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

namespace {
AICharacter* AiOf(const Bod* bod) {
    const CharacterControl* control = BOD_CharacterOf(bod);
    return control ? static_cast<AICharacter*>(control->ai) : nullptr;
}

// In single player the AI's facing follows the character's heading.
void TakeBack(Bod* bod) {
    AICharacter* ai = AiOf(bod);
    if (!ai)
        return;
    ai->aiDrives = 1;
    if (!APP_IsMultiplayerGame()) {
        float degrees = 360.0f - BOD_CharacterOf(bod)->heading * 57.29578f;
        if (degrees < 0.0f)
            degrees += 360.0f;
        if (degrees >= 360.0f)
            degrees -= 360.0f;
        ai->facing = degrees;
    }
}
}  // namespace

void AI_TakeBack(Bod* bod) {
    TRC_Trace("AI_TakeBack", "%s", BOD_TraceLabel(bod));
    TakeBack(bod);
}

void AI_Release(Bod* bod) {
    TRC_Trace("AI_Release", "%s", BOD_TraceLabel(bod));
    AICharacter* ai = AiOf(bod);
    if (!ai || (APP_IsMultiplayerGame() && !NET_IsHost() && bod->classMask != BOD_CLASS_PLAYER))
        return;
    ai->aiDrives = 0;
}

void AI_SyncHeading(Bod* bod) {
    TRC_Trace("AI_SyncHeading", "%s", BOD_TraceLabel(bod));
    if (bod != g_FocusBod || g_FocusAiMode)
        TakeBack(bod);
}

int AI_IsFocusUnderPlayer(const Bod* bod) {
    return bod && bod == g_FocusBod && g_FocusAiMode == 0 ? 1 : 0;
}

void AI_HeldCheck(CharacterControl* control) {
    TRC_Trace("AI_HeldCheck", "%s", BOD_TraceLabelOfRecord(control));
}

void AI_OnHurt(AICharacter* ai) {
    TRC_Trace("AI_OnHurt", "%g", ai ? ai->health : -1.0f);
}

void AI_TurnOnAttacker(AICharacter* attackerAi, AICharacter* ai) {
    TRC_Trace("AI_TurnOnAttacker", "%s", attackerAi && ai ? "pair" : "none");
}

void AI_OrderAtPoint(float x, float y, float z, int member) {
    TRC_Trace("AI_OrderAtPoint", "%.1f,%.1f,%.1f,%d", x, y, z, member);
}
