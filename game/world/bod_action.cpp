// Action changes and their network rules. In a network game BOD_SetAction is where the host
// announces actions to the other machines ('S' for player characters, 'u' for the death of a
// networked NPC), and ACT_ApplyRemoteAction applies an action that came from the network.
#include <algorithm>
#include <initializer_list>

#include "net/msg.h"
#include "net/net.h"
#include "common/match.h"
#include "world/ai.h"
#include "world/game_state.h"
#include "world/bod.h"
#include "world/character.h"

namespace {
constexpr uint8_t kMsgSetAction = 'S';  // {'S', player slot, action}
constexpr uint8_t kMsgNpcAction = 'u';  // {'u', NPC index 0..19, 70}
constexpr int kActionNpcDeath = 70;
constexpr int kActionThrow = 76;
constexpr int kActionHeld = 82;
constexpr int kActionPlayerIdle = 18;
constexpr int kActionStand = 11;
// The first level frames: a remote action only sets the echo flag.
constexpr int kFramesBeforeRemoteActions = 2;

bool In(int action, std::initializer_list<int> set) {
    return std::find(set.begin(), set.end(), action) != set.end();
}

int AiState(const CharacterControl* control) {
    const auto* ai = static_cast<const AICharacter*>(control->ai);
    return ai ? ai->state : -1;
}

void Broadcast(uint8_t type, int index, int action) {
    const uint8_t bytes[3] = {type, uint8_t(index), uint8_t(action)};
    NET_Broadcast(APP_GetLocalPlayerSlot(), bytes, 3);
}

bool InRange(const Bod* bod, int action) {
    return action >= 0 && action < BOD_ActionCount(bod);
}
}  // namespace

void BOD_SetAction(Bod* bod, int action) {
    if (!bod || !bod->control || !InRange(bod, action))
        return;
    const bool network = APP_IsMultiplayerGame() != 0;
    if (network && bod->classMask == BOD_CLASS_NPC && action == kActionNpcDeath && NET_IsHost()) {
        for (int i = 0; i < BOD_NET_NPCS; ++i)
            if (g_NpcBods[i] == bod)
                Broadcast(kMsgNpcAction, i, kActionNpcDeath);
    }
    CharacterControl* control = BOD_CharacterOf(bod);
    if (!network || bod->classMask != BOD_CLASS_PLAYER || !control) {
        static_cast<BodControl*>(bod->control)->action = action;
        return;
    }

    const bool local = MSG_IsLocalPlayerId(control->playerId) != 0;
    const bool host = NET_IsHost() != 0;
    if (local && host && action == kActionThrow) {
        for (int slot = 0; slot < BOD_PLAYER_SLOTS; ++slot) {
            if (g_PlayerBods[slot] == bod) {
                Broadcast(kMsgSetAction, slot, kActionThrow);
                break;
            }
        }
    }
    if (In(action, {3, 4, 5, 6, 7, 12, 13, 19, 76}))
        control->netEcho = 0;
    if (!control->netEcho) {
        control->head.action = action;
        return;
    }
    // The current action came from the network: only these may replace it.
    const bool accepted = In(action, {70, 65, 64, 50, 51, 18, 82, 21, 56, 20}) ||
                          (In(action, {77, 39, 36, 40}) && AiState(control) == 5) ||
                          (action == 0 && AiState(control) == 1);
    if (!accepted)
        return;
    for (int slot = 0; slot < BOD_PLAYER_SLOTS; ++slot) {
        if (g_PlayerBods[slot] != bod)
            continue;
        if (local && host) {
            Broadcast(kMsgSetAction, slot, action);
        } else if (host) {
            const bool fromHeld = control->head.action == kActionHeld && (action == kActionPlayerIdle || action == kActionStand);
            if (In(action, {51, 70, 82, 65}) || fromHeld)
                Broadcast(kMsgSetAction, slot, action);
        }
    }
    ACT_ApplyRemoteAction(bod, action);
}

void ACT_ApplyRemoteAction(Bod* bod, int action) {
    CharacterControl* control = BOD_CharacterOf(bod);
    // An action number from the network indexes the action table: anything outside it is dropped.
    if (!control || !InRange(bod, action))
        return;
    if (MSG_IsLocalPlayerId(control->playerId)) {
        if (!In(action, {70, 82, 65, 18}))
            return;
        if (action == kActionHeld && NET_IsHost())
            return;
    } else if (In(action, {77, 21, 95, 87, 91, 83, 56, 76, 96, 88, 92, 100, 84, 86, 93, 89})) {
        return;
    }
    if (APP_GetLevelFrameCount() > kFramesBeforeRemoteActions)
        control->head.action = action;
    control->netEcho = In(action, {19, 3, 7, 6, 4, 5, 76, 18, 82, 21, 20}) ? 0 : 1;
}
