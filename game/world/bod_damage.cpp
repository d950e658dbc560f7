// The two area-damage sweeps over the characters (an explosion's blast with its fall-off and the
// full-strength area damage) and the push that throws a killed character apart. Cover is a
// landscape trace from the character to the blast point.
#include <cmath>

#include "net/msg.h"
#include "common/match.h"
#include "world/act.h"
#include "world/ai.h"
#include "world/cmb.h"
#include "engine/landscape_query.h"
#include "world/bod.h"
#include "world/bod_record.h"
#include "world/character.h"

namespace {
constexpr int kKillAmount = 128;
constexpr int kDeathBlownApart = 7;
constexpr float kPushSpeed = 300.0f;
constexpr float kPushLift = 200.0f;
constexpr float kPushDrift = 250.0f;
constexpr Vec3 kGibSecondVelocity = {500.0f, 500.0f, 500.0f};

AICharacter* AiOf(const CharacterControl* control) {
    return control ? static_cast<AICharacter*>(control->ai) : nullptr;
}

float PlanDistance(const Vec3& a, const Vec3& b) {
    const float dx = a.x - b.x, dz = a.z - b.z;
    return std::sqrt(dx * dx + dz * dz);
}

bool Covered(const CharacterControl* victim, const Vec3* point) {
    TraceHit hit = {};
    const Vec3 position = BOD_PositionOf(victim);
    return LND_TraceSegment(&hit, int32_t(victim->surface), 0, &position, point) != 0;
}

// Doubled for non-player characters, and again for players in a network game.
float ClassFactor(const Bod* bod, bool network) {
    float factor = 1.0f;
    if (bod->classMask & BOD_CLASS_NPC)
        factor *= 2.0f;
    if (network && (bod->classMask & BOD_CLASS_PLAYER))
        factor *= 2.0f;
    return factor;
}

// The AI is told of the hit in a network game: the attacker's record, or the victim's own when
// there is no attacker (or it has none).
void ReportToAi(const CharacterControl* attacker, CharacterControl* victim, float damage) {
    AICharacter* victimAi = AiOf(victim);
    AICharacter* attackerAi = AiOf(attacker);
    AI_OnDamaged(attackerAi ? attackerAi : victimAi, victimAi, damage);
}

void Push(Bod* bod, const CharacterControl* victim, const Vec3* point) {
    const Vec3 position = BOD_PositionOf(victim);
    Vec3 velocity;
    BOD_PushVelocity(&position, point, &velocity);
    CMB_GibCharacterFly(bod, 0, &velocity, &kGibSecondVelocity);
}
}  // namespace

void BOD_PushVelocity(const Vec3* bodPosition, const Vec3* point, Vec3* out) {
    const float a = bodPosition->x - point->x;
    const float b = bodPosition->z - point->z;
    const float length = std::sqrt(a * a + b * b + kPushLift * kPushLift);
    // The drift is subtracted whatever the direction, as the game always did.
    *out = Vec3{kPushSpeed * a / length - kPushDrift, kPushSpeed * kPushLift / length, kPushSpeed * b / length - kPushDrift};
}

void BOD_BlastDamage(Bod* attackerBod, const Vec3* point, float radius, float pushRadius, float amount, uint32_t mask) {
    if (!point || radius <= 0.0f)
        return;
    const bool attackerGiven = attackerBod != BOD_NO_ATTACKER;
    const CharacterControl* attacker = attackerGiven ? BOD_CharacterOf(attackerBod) : nullptr;
    const bool network = APP_IsMultiplayerGame() != 0;
    for (Bod* bod = g_WorldBods.head, *next = nullptr; bod; bod = next) {
        next = bod->next;
        if (!(bod->classMask & mask) || bod->active != 1)
            continue;
        CharacterControl* victim = BOD_CharacterOf(bod);
        AICharacter* ai = AiOf(victim);
        if (!ai || ai->health == 0.0f)
            continue;
        // A null attacker counts as given: only the "none" attacker hurts players and humans
        // while friendly fire is off.
        if (attackerGiven && g_FriendlyFire == 0 && (bod->classMask & (BOD_CLASS_PLAYER | BOD_CLASS_HUMAN)))
            continue;
        const float distance = PlanDistance(BOD_PositionOf(victim), *point);
        if (distance >= radius || Covered(victim, point))
            continue;
        float damage = network ? amount : amount * (radius - distance) / radius;
        damage *= ClassFactor(bod, network);
        if (network)
            ReportToAi(attacker, victim, damage);
        ACT_Damage(bod, int(damage));
        if (ai->health < 1.0f) {
            ACT_DamageCharacter(bod, kKillAmount, kDeathBlownApart);
            if (network || distance < pushRadius)
                Push(bod, victim, point);
        }
    }
}

void BOD_AreaDamage(const Vec3* point, float radius, float amount, int attackerPlayerId) {
    if (!point)
        return;
    const CharacterControl* attacker = nullptr;
    if (attackerPlayerId != -1) {
        const int index = MSG_PlayerIdIndex(attackerPlayerId);
        if (index >= 0 && index < BOD_PLAYER_SLOTS)
            attacker = BOD_CharacterOf(g_PlayerBods[index]);
    }
    const bool network = APP_IsMultiplayerGame() != 0;
    for (Bod* bod = g_WorldBods.head, *next = nullptr; bod; bod = next) {
        next = bod->next;
        if (!(bod->classMask & BOD_MASK_CHARACTERS) || bod->active != 1)
            continue;
        CharacterControl* victim = BOD_CharacterOf(bod);
        AICharacter* ai = AiOf(victim);
        if (!ai || ai->health < 1.0f)
            continue;
        if (PlanDistance(BOD_PositionOf(victim), *point) >= 2.0f * radius || Covered(victim, point))
            continue;
        const float damage = amount * ClassFactor(bod, network);
        if (network)
            ReportToAi(attacker, victim, damage);
        ACT_DamageNoScore(bod, kKillAmount, kDeathBlownApart);
        ACT_Damage(bod, int(damage));
        if (ai->health < 1.0f)
            Push(bod, victim, point);
    }
}
