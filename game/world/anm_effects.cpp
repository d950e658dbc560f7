// The per-bone effects that game code starts on a character's skinned instance: the electric
// shock (sparks, then bleeding when its timer runs out) and bleeding. The host of a network game
// announces a shock to the other machines with game message 24.
#include <cmath>
#include <cstring>

#include "world/mdl_world.h"
#include "engine/anm.h"
#include "net/net.h"
#include "common/match.h"
#include "world/bod.h"
#include "world/clk.h"
#include "world/character.h"

namespace {

constexpr int32_t kShockTimerMs = 10000;
constexpr int kPlayerSlots = 8;
constexpr int kAddressedNpcs = 20;  // the NPCs that network messages can name

ModelInstance* SkinnedInstance(CharacterControl* control) {
    if (!control || !control->instance || control->instance->kind != MDL_KIND_SKINNED) return nullptr;
    return control->instance;
}

// seconds x 1000 truncated, held to what an end time can hold. Seconds arrive from the network
// too: a value that is not a number counts as 0.
int32_t SecondsToMs(float seconds) {
    const float ms = seconds * 1000.0f;
    if (!(ms > 0.0f)) return ms < 0.0f ? (ms > -1.0e9f ? int32_t(ms) : -1000000000) : 0;
    return ms < 1.0e9f ? int32_t(ms) : 1000000000;
}

void SetEffect(ModelInstance* instance, ModelBoneEffect effect, intptr_t until) {
    for (int32_t b = 0; b < instance->model.skinned->boneCount; ++b) {
        instance->boneEffects[b] = effect;
        instance->boneEffectUntil[b] = until;
    }
}

}  // namespace

void ANM_ApplyShockEffect(CharacterControl* control, float seconds) {
    ModelInstance* instance = SkinnedInstance(control);
    if (!instance) return;
    instance->effectTimer = kShockTimerMs;
    const intptr_t until = seconds < 0.0f ? 0 : intptr_t(g_GameClock.nowMs) + SecondsToMs(seconds);
    SetEffect(instance, MDL_ShockEffect, until);
}

void ANM_StartShockEffect(CharacterControl* control, float seconds) {
    ANM_ApplyShockEffect(control, seconds);
    if (!control || !APP_IsMultiplayerGame() || !NET_IsHost()) return;
    int list = -1, index = -1;
    for (int i = 0; i < kPlayerSlots && index < 0; ++i)
        if (g_PlayerBods[i] && g_PlayerBods[i]->control == control) list = 1, index = i;
    for (int i = 0; i < kAddressedNpcs && index < 0; ++i)
        if (g_NpcBods[i] && g_NpcBods[i]->control == control) list = 0, index = i;
    if (index < 0) return;
    uint8_t bytes[ANM_MSG_SHOCK_BYTES] = {ANM_MSG_SHOCK, uint8_t(list), uint8_t(index), 0};
    uint32_t bits;
    std::memcpy(&bits, &seconds, 4);
    for (int k = 0; k < 4; ++k) bytes[4 + k] = uint8_t(bits >> (8 * k));
    NET_Broadcast(APP_GetLocalPlayerSlot(), bytes, ANM_MSG_SHOCK_BYTES);
}

void ANM_StartBleedEffect(CharacterControl* control, float seconds) {
    ModelInstance* instance = SkinnedInstance(control);
    if (!instance) return;
    SetEffect(instance, MDL_BleedEffect, intptr_t(g_GameClock.nowMs) + SecondsToMs(seconds));
}
