// What the character actions share (see act_support.h).
#include "world/act_support.h"

#include <strings.h>

#include "common/match.h"
#include "engine/anm.h"
#include "engine/mdl.h"
#include "net/msg.h"
#include "net/net.h"
#include "world/game_frame.h"

namespace {
constexpr int32_t kZombieGameType = 6;
constexpr float kLivingHealth = 64.0f;

// The model's animations and their number (a rigid model that stores none has one default).
const ModelAnimation* Animations(const ModelInstance* instance, int32_t* count) {
    *count = 0;
    if (!instance)
        return nullptr;
    const bool skinned = instance->kind == MDL_KIND_SKINNED;
    const int32_t stored = skinned ? instance->model.skinned->animationCount : instance->model.rigid->animationCount;
    *count = stored > 0 ? stored : 1;
    return skinned ? instance->model.skinned->animations : instance->model.rigid->animations;
}

const ModelAnimation* CurrentAnimation(const ModelInstance* instance) {
    int32_t count = 0;
    const ModelAnimation* animations = Animations(instance, &count);
    if (!animations || instance->animation < 0 || instance->animation >= count)
        return nullptr;
    return &animations[instance->animation];
}
}  // namespace

AICharacter* ACT_AiOf(const CharacterControl* control) {
    return control ? static_cast<AICharacter*>(control->ai) : nullptr;
}

float ACT_Health(const CharacterControl* control) {
    const AICharacter* ai = ACT_AiOf(control);
    return ai ? ai->health : kLivingHealth;
}

bool ACT_IsNetworkGame() {
    return APP_IsMultiplayerGame() != 0;
}

bool ACT_IsLocal(const CharacterControl* control) {
    return ACT_IsNetworkGame() && MSG_IsLocalPlayerId(control->playerId) != 0;
}

bool ACT_ZombiePlayerMode(const CharacterControl* control) {
    return ACT_IsNetworkGame() && APP_GetMultiplayerGameType() == kZombieGameType && NET_IsHost() &&
           ACT_IsLocal(control);
}

bool ACT_KeepsAnimation(const CharacterControl* control) {
    return ACT_IsNetworkGame() && ACT_Health(control) < 1.0f;
}

void ACT_SetAiDrives(CharacterControl* control, int32_t drives) {
    if (AICharacter* ai = ACT_AiOf(control))
        ai->aiDrives = drives;
}

void ACT_TurnByCommand(const CharacterControl* control, float rate) {
    if (control->turnCommand == 1)
        ACT_TurnPlayer(g_ActiveSlot, -rate);
    else if (control->turnCommand == 2)
        ACT_TurnPlayer(g_ActiveSlot, rate);
}

void ACT_Play(CharacterControl* control, const char* animation, int32_t loop) {
    ANM_SetByName(control->instance, animation, loop);
}

bool ACT_IsPlaying(const CharacterControl* control, const char* animation) {
    const ModelAnimation* current = CurrentAnimation(control->instance);
    return current && strcasecmp(current->name, animation) == 0;
}

bool ACT_AnimationEnded(const CharacterControl* control) {
    return control->instance && control->instance->frameMs == 0;
}

void ACT_SetFrameMs(CharacterControl* control, int32_t ms) {
    if (control->instance)
        control->instance->frameMs = ms;
}

int ACT_FindAnimation(const CharacterControl* control, const char* animation) {
    int32_t count = 0;
    const ModelAnimation* animations = Animations(control->instance, &count);
    for (int32_t i = 0; animations && i < count; ++i)
        if (strcasecmp(animations[i].name, animation) == 0)
            return i;
    return -1;
}

int32_t ACT_LastFrameOffset(const CharacterControl* control) {
    const ModelAnimation* current = CurrentAnimation(control->instance);
    return current ? current->lastFrame - current->firstFrame : 0;
}

void ACT_SetCallbackAt(Bod* bod, CharacterControl* control, int32_t offset, int32_t (*callback)(uintptr_t)) {
    const ModelAnimation* current = CurrentAnimation(control->instance);
    if (!current || current->firstFrame + offset > current->lastFrame)
        return;
    ANM_SetFrameCallback(control->instance, current->firstFrame + offset, callback, reinterpret_cast<uintptr_t>(bod));
}

uint32_t ACT_SelectedType(const CharacterControl* control) {
    const uint32_t slot = control->selectedSlot;
    if (slot == 0 || slot >= uint32_t(ACT_ITEM_SLOTS))
        return ACT_NO_ITEM;
    return control->items[slot].itemType;
}

bool ACT_HasSelectedObject(const CharacterControl* control) {
    const uint32_t slot = control->selectedSlot;
    return slot != 0 && slot < uint32_t(ACT_ITEM_SLOTS) && control->items[slot].itemBod != nullptr;
}
