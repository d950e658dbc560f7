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

// The AI's part in a character's move: a real saved-position slot and blocker search, so that the
// movement can be followed; the bump reactions only report.
namespace {
Vec3 g_SavedPosition{0.0f, 0.0f, 0.0f};
uint32_t g_SavedSurface = 0;
constexpr float kBlockerPlan = 90.0f;
constexpr float kBlockerHeight = 200.0f;
}  // namespace

void AI_SavePosition(Bod* bod) {
    TRC_Trace("AI_SavePosition", "%s", BOD_TraceLabel(bod));
    if (const CharacterControl* control = BOD_CharacterOf(bod)) {
        g_SavedPosition = {control->transform.m[9], control->transform.m[10], control->transform.m[11]};
        g_SavedSurface = control->surface;
    }
}

void AI_RestorePosition(Bod* bod) {
    TRC_Trace("AI_RestorePosition", "%s", BOD_TraceLabel(bod));
    if (CharacterControl* control = BOD_CharacterOf(bod)) {
        control->transform.m[9] = g_SavedPosition.x;
        control->transform.m[10] = g_SavedPosition.y;
        control->transform.m[11] = g_SavedPosition.z;
        control->surface = g_SavedSurface;
    }
}

Bod* AI_FindBlocker(Bod* bod) {
    const CharacterControl* control = BOD_CharacterOf(bod);
    if (!control)
        return nullptr;
    for (Bod* other = g_WorldBods.head; other; other = other->next) {
        const CharacterControl* c = other == bod || !other->active ? nullptr : BOD_CharacterOf(other);
        if (!c)
            continue;
        const float dx = c->transform.m[9] - control->transform.m[9];
        const float dy = c->transform.m[10] - control->transform.m[10];
        const float dz = c->transform.m[11] - control->transform.m[11];
        if (dx * dx + dz * dz < kBlockerPlan * kBlockerPlan && dy < kBlockerHeight && -dy < kBlockerHeight) {
            TRC_Trace("AI_FindBlocker", "%s,%s", BOD_TraceLabel(bod), BOD_TraceLabel(other));
            return other;
        }
    }
    return nullptr;
}

void AI_OnBumpCharacter(Bod* bod, Bod* other) {
    TRC_Trace("AI_OnBumpCharacter", "%s,%s", BOD_TraceLabel(bod), BOD_TraceLabel(other));
}

int AI_OnBumpObject(Bod* bod) {
    TRC_Trace("AI_OnBumpObject", "%s", BOD_TraceLabel(bod));
    return TRC_Result("AI_OnBumpObject", 0);
}

void AI_OnBumpWall(Bod* bod) {
    TRC_Trace("AI_OnBumpWall", "%s", BOD_TraceLabel(bod));
}

void AI_InitLevel(int level) {
    TRC_Trace("AI_InitLevel", "%d", level);
}

void AI_Shutdown() {
    TRC_Trace("AI_Shutdown");
}
