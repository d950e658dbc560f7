// The game-state services: direct control of the selected team member (with the network flags
// and messages 0x1c / 0x1d), team member queries, carried items' sounds, the level frame counter,
// the frame light override, and the frags and end of a network match (message 16).
#include "world/game_state.h"

#include "common/calltrace.h"
#include "common/match.h"
#include "engine/landscape_query.h"
#include "net/msg.h"
#include "net/net.h"
#include "ui/fe_main_menu.h"
#include "ui/gui.h"
#include "ui/hud.h"
#include "ui/hud_records.h"
#include "shell/inp.h"
#include "world/act.h"
#include "world/bod.h"
#include "world/character.h"
#include "world/snd_pos.h"

int32_t g_LevelFrameCount = 0;
FrameLightOverride g_FrameLight = {0, 0.0f, 0.0f, 0.0f};
int32_t g_MatchFinished[8] = {};

namespace {

constexpr int kLevelFrameHold = 50;
constexpr uint8_t kMsgDirectOn = 0x1c;
constexpr uint8_t kMsgDirectOff = 0x1d;
constexpr uint8_t kMsgFrags = 16;

// The first selected team slot, or null.
const TeamSlot* FirstSelectedSlot() {
    for (const TeamSlot& slot : g_TeamSlots)
        if (slot.selected)
            return &slot;
    return nullptr;
}

// The player character of player index 0..7 with its control record, or null.
CharacterControl* PlayerCharacter(int index) {
    if (index < 0 || index >= BOD_PLAYER_SLOTS)
        return nullptr;
    return BOD_CharacterOf(g_PlayerBods[index]);
}

// The player slot whose four member ids hold id, or -1.
int SlotOfMember(int id) {
    if (id == -1)
        return -1;
    for (int slot = 0; slot < GUI_MAX_SLOTS; ++slot)
        for (int m = 0; m < GUI_MEMBERS_PER_SLOT; ++m)
            if (g_Match.slotPlayerIds[slot][m] == id)
                return slot;
    return -1;
}

void SendToHost(uint8_t type, int index) {
    if (NET_IsHost())
        return;
    const uint8_t bytes[2] = {type, static_cast<uint8_t>(index)};
    NET_Send(NET_GetLocalSlot(), NET_GetHostSlot(), bytes, 2);
}

// This machine's player characters, by player index.
template <class Fn>
void ForEachOwnCharacter(Fn&& fn) {
    for (int index = 0; index < MSG_PLAYERS; ++index) {
        CharacterControl* c = PlayerCharacter(index);
        if (c && c->playerId != -1 && MSG_IsLocalPlayerId(c->playerId))
            fn(index, c);
    }
}

// The selected member's character stands below the ground of its surface.
bool SelectedMemberUnderground() {
    const TeamSlot* slot = FirstSelectedSlot();
    if (!slot)
        return false;
    for (int index = 0; index < MSG_PLAYERS; ++index) {
        CharacterControl* c = PlayerCharacter(index);
        if (!c || c->playerId == -1 || c->playerId != slot->characterId || !c->instance)
            continue;
        const Vec3 position{c->transform.m[9], c->transform.m[10], c->transform.m[11]};
        return LND_GetGroundHeight(&position, static_cast<int32_t>(c->surface)) > position.y;
    }
    return false;
}

bool IsBusyAction(int action) {
    switch (action) {
    case 51: case 58: case 63: case 64: case 65: case 68:
        return true;
    default:
        return false;
    }
}

bool FragMatchRunning() {
    return APP_IsMultiplayerGame() && APP_GetMultiplayerGameType() == 5 && !g_Match.matchEnded;
}

void PutInt32(uint8_t* p, int32_t value) {
    const uint32_t v = static_cast<uint32_t>(value);
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

void APP_BeginDirectControl() {
    const bool network = APP_IsMultiplayerGame();
    // Refused before any flag is set or the host is told, so the host never believes a character
    // is steered when it is not.
    if (network && SelectedMemberUnderground())
        return;
    if (network) {
        const TeamSlot* selected = FirstSelectedSlot();
        ForEachOwnCharacter([&](int index, CharacterControl* c) {
            const bool steered = selected && c->playerId == selected->characterId;
            g_MsgPlayerFlags[index] = steered ? 1 : 0;
            SendToHost(steered ? kMsgDirectOn : kMsgDirectOff, index);
        });
    }
    g_DirectControl = 1;
    ACT_TakeDirectControl();
}

void APP_EndDirectControl() {
    g_DirectControl = 0;
    ACT_ReleaseDirectControl();
    if (APP_IsMultiplayerGame())
        ForEachOwnCharacter([](int index, CharacterControl*) {
            g_MsgPlayerFlags[index] = 0;
            SendToHost(kMsgDirectOff, index);
        });
}

int APP_IsDirectControl() {
    return g_DirectControl;
}

void APP_RefreshDirectControl(int memberId) {
    TRC_Trace("APP_RefreshDirectControl", "%d", memberId);
    if (memberId != -1 || g_DirectControl) {
        for (const TeamSlot& slot : g_TeamSlots)
            if (slot.selected && !slot.blocked && (memberId == -1 || slot.characterId == memberId))
                APP_BeginDirectControl();
    }
}

void APP_MarkMenusForRedraw() {
    TRC_Trace("APP_MarkMenusForRedraw");
    g_MainMenuRedraw = 3;
    g_GameSetupRedraw = 3;
    g_StagingRedraw = 3;
    g_CharacterSelectRedraw = 3;
}

void APP_SelectTeamMember(int memberId) {
    for (TeamSlot& slot : g_TeamSlots)
        slot.selected = slot.characterId == memberId ? 1 : 0;
}

int APP_IsSelectedTeamMember(int memberId) {
    for (const TeamSlot& slot : g_TeamSlots)
        if (slot.selected && slot.characterId == memberId)
            return 1;
    return 0;
}

int APP_IsPlayerCharacterBusy(int memberId) {
    if (memberId == -1)
        return 0;
    int index = -1;
    if (APP_IsMultiplayerGame()) {
        if (SlotOfMember(memberId) == -1)
            return 0;
        index = MSG_PlayerIdIndex(memberId);
    } else {
        for (int i = 0; i < HUD_TEAM_SLOTS; ++i)
            if (g_TeamSlots[i].characterId == memberId)
                index = i;
    }
    if (index < 0 || index >= BOD_PLAYER_SLOTS || !g_PlayerBods[index] || !PlayerCharacter(index))
        return 0;
    const BodControl* head = static_cast<const BodControl*>(g_PlayerBods[index]->control);
    return IsBusyAction(head->action) ? 1 : 0;
}

const char* APP_GetMemberOwnerName(int memberId) {
    const int slot = SlotOfMember(memberId);
    return slot == -1 ? nullptr : NET_GetPlayerName(slot);
}

void APP_StopCarriedItemSounds(int memberId) {
    TRC_Trace("APP_StopCarriedItemSounds", "%d", memberId);
    if (memberId == -1)
        return;
    if (APP_IsMultiplayerGame()) {
        for (int index = 0; index < BOD_PLAYER_SLOTS; ++index) {
            CharacterControl* c = PlayerCharacter(index);
            if (!c || c->playerId != memberId)
                continue;
            for (CharacterItem& item : c->items)
                if (item.itemBod)
                    SND_StopEmitter(item.itemBod);
        }
        return;
    }
    for (TeamSlot& slot : g_TeamSlots)
        if (slot.characterId == memberId)
            for (Bod* bod : slot.carriedBods)
                if (bod)
                    SND_StopEmitter(bod);
}

int APP_GetLevelFrameCount() {
    return g_LevelFrameCount;
}

void APP_ResetLevelFrameCount() {
    g_LevelFrameCount = 0;
}

void APP_CountLevelFrame() {
    if (g_LevelFrameCount < kLevelFrameHold)
        ++g_LevelFrameCount;
}

void APP_SetFrameLightOverride(float r, float g, float b) {
    g_FrameLight = {1, r, g, b};
}

int APP_GetChosenLevel() {
    return g_ChosenLevel;
}

void APP_RecordFrag(int killerId, int victimId, int textKind, int noSend) {
    if (!FragMatchRunning())
        return;
    const int killerSlot = SlotOfMember(killerId);
    const int victimSlot = SlotOfMember(victimId);
    if (killerSlot != -1) {
        if (victimSlot != -1 && victimSlot == killerSlot)
            --g_Match.slotFrags[killerSlot];
        else
            ++g_Match.slotFrags[killerSlot];
    }
    if (NET_IsHost()) {
        uint8_t message[APP_FRAG_MESSAGE_BYTES] = {kMsgFrags, static_cast<uint8_t>(killerId),
                                                   static_cast<uint8_t>(victimId), static_cast<uint8_t>(textKind)};
        PutInt32(message + 4, killerSlot == -1 ? -1 : g_Match.slotFrags[killerSlot]);
        PutInt32(message + 8, victimSlot == -1 ? -1 : g_Match.slotFrags[victimSlot]);
        if (!noSend)
            NET_Broadcast(NET_GetLocalSlot(), message, APP_FRAG_MESSAGE_BYTES);
        const int limit = g_Match.settings.fragLimit;
        if (limit != 0)
            for (int slot = 0; slot < GUI_MAX_SLOTS; ++slot)
                if (g_Match.slotNetIds[slot] != -1 && g_Match.slotFrags[slot] >= limit) {
                    APP_EndMatch(1);
                    break;
                }
    }
}

void APP_SetFragCount(int memberId, int count) {
    if (!FragMatchRunning())
        return;
    const int slot = SlotOfMember(memberId);
    if (slot == -1)
        return;
    g_Match.slotFrags[slot] = count;
}

void APP_EndMatch(int result) {
    TRC_Trace("APP_EndMatch", "%d", result);
    if (g_Match.matchEnded)
        return;
    INP_Poll();
    for (Bod* bod = g_WorldBods.head; bod; bod = bod->next)
        if (bod->classMask & BOD_CLASS_OBJECT)
            SND_StopEmitter(bod);
    g_Match.timeLimitReached = g_Match.settings.timeLimit != 0 && g_MatchClock.minutes >= g_Match.settings.timeLimit;
    g_Match.fragLimitReached = 0;
    if (g_Match.settings.fragLimit != 0)
        for (int slot = 0; slot < GUI_MAX_SLOTS; ++slot)
            if (g_Match.slotNetIds[slot] != -1 && g_Match.slotFrags[slot] >= g_Match.settings.fragLimit)
                g_Match.fragLimitReached = 1;
    for (int32_t& finished : g_MatchFinished)
        finished = 0;
    if (g_Match.localSlot >= 0 && g_Match.localSlot < GUI_MAX_SLOTS)
        g_MatchFinished[g_Match.localSlot] = 1;
    g_Match.matchEnded = 1;
    if (APP_IsMultiplayerGame()) {
        g_Match.gameResult = result;
        g_LevelFrameCount = 0;
    }
}
