// The in-level exchange between the interface and the game world. HUD_UpdateFromGame runs at the
// start of a frame: the radar block into the radar window's copy, each team slot from its
// character's player status (members that are lost become blocked), the one-frame request words
// reset, the controlled member followed, a single-player level failed when nobody is left, and on
// the host of a network game the match ended by its time limit or, in a humans-versus-zombies
// match, by the extinction of one side. HUD_ApplyToGame runs at the end of the frame and hands the
// request words and the command words to the world. Both act only while the panel window is open.
#include "net/net.h"
#include "common/match.h"
#include "world/act.h"
#include "world/game_state.h"
#include "world/bod_radar.h"
#include "world/cam.h"
#include "ui/fe_screens.h"
#include "world/lvl.h"
#include "common/calltrace.h"
#include "ui/gui.h"
#include "ui/gui_toolkit.h"
#include "ui/hud.h"
#include "world/bod.h"

HudRadarView g_RadarView;
HudCommands g_HudCommands = {{-1, -1, -1}, 0, 0, 0, 0};
MatchClock g_MatchClock = {-1, 0, 0, 0, 0};
int32_t g_PanelRedraw;
int32_t g_TeamRedraw;
int32_t g_RadarBlips;
int32_t g_ModalDialogOpen;

namespace {

// Updates at health 0 or below after which a member counts as lost.
constexpr int32_t kZeroHealthLimit = 1800;
constexpr int kGameTypeZombies = 6;

bool NetworkGame() {
    return g_Match.mpGameRunning != 0;
}

// The player index of a character id: its place among the occupied entries of the slot table, in
// slot order; -1 when no entry holds it or the place lies beyond the player characters.
int PlayerIndexOfId(int32_t id) {
    if (id == -1)
        return -1;
    int index = 0;
    for (const auto& slot : g_Match.slotPlayerIds)
        for (int32_t entry : slot) {
            if (entry == -1)
                continue;
            if (entry == id)
                return index < BOD_PLAYER_SLOTS ? index : -1;
            ++index;
        }
    return -1;
}

// The player character a team slot stands for: slot i in a single-player game, the character of
// its id in a network game.
int PlayerIndexOfSlot(int slot) {
    return NetworkGame() ? PlayerIndexOfId(g_TeamSlots[slot].characterId) : slot;
}

Bod* PlayerBodOf(int index) {
    return index >= 0 && index < BOD_PLAYER_SLOTS ? g_PlayerBods[index] : nullptr;
}

void MarkLost(TeamSlot& t) {
    t.blocked = 1;
    t.characterId = -1;
    g_PanelRedraw = 3;
    g_TeamRedraw = 3;
}

void CopyRadar() {
    const HudState& s = g_HudState;
    int32_t count = s.radarCount;
    // The world writes at most 256 entries; a count outside that is never used as a bound.
    if (count < 0)
        count = 0;
    if (count > HUD_RADAR_ENTRIES)
        count = HUD_RADAR_ENTRIES;
    g_RadarView.heading = static_cast<int32_t>(s.viewHeading);
    g_RadarView.count = count;
    for (int i = 0; i < count; ++i)
        for (int k = 0; k < 3; ++k) {
            g_RadarView.entries[i][k] = static_cast<int32_t>(s.radar[i][k]);
            g_RadarView.map[i][k] = static_cast<int32_t>(s.map[i][k]);
        }
    g_RadarView.word = s.radarWord;
    for (int k = 0; k < 6; ++k)
        g_RadarView.mapping[k] = s.mapping[k];
    g_DirectControlSlot = s.controlledMember;
    g_HudCommands.orderPoint[0] = g_HudCommands.orderPoint[1] = g_HudCommands.orderPoint[2] = -1;
    g_HudCommands.panHorizontal = g_HudCommands.panVertical = g_HudCommands.panByPress = 0;
}

// The carried entries, current entry and health of a slot from its status record.
void TakeStatus(int slot, Bod* bod) {
    TeamSlot& t = g_TeamSlots[slot];
    const PlayerStatus& s = t.status;
    for (int e = 0; e < 9; ++e) {
        const bool empty = s.entryTypes[e] == HUD_EMPTY_ENTRY_TYPE;
        t.carriedTypes[e] = empty ? -1 : s.entryTypes[e];
        t.carriedValues[e] = s.entryValues[e];
        t.carriedBods[e] = empty ? nullptr : s.entryBods[e];
    }
    // The panel indexes its pictures by the entry in hand.
    t.currentEntry = s.selectedEntry >= 0 && s.selectedEntry < 9 ? s.selectedEntry : 0;
    t.damageHistory[2] = t.damageHistory[1];
    t.damageHistory[1] = t.damageHistory[0];
    t.damageHistory[0] = t.health > s.healthPercent ? 1 : 0;
    t.health = s.healthPercent;
    if (t.health <= 0) {
        ++t.zeroHealthCount;
        t.currentEntry = 0;
    } else {
        t.zeroHealthCount = 0;
    }
    if (t.zeroHealthCount >= kZeroHealthLimit && !t.blocked) {
        MarkLost(t);
        t.zeroHealthCount = 0;
        bod->flags |= BOD_FLAG_REMOVE;
    }
}

void UpdateSlot(int slot) {
    TeamSlot& t = g_TeamSlots[slot];
    if (t.characterId == -1) {
        if (!t.blocked)
            MarkLost(t);
        return;
    }
    const int index = PlayerIndexOfSlot(slot);
    Bod* bod = PlayerBodOf(index);
    if (!bod || !ACT_GetPlayerStatus(index, &t.status))
        return;
    if (BOD_CharacterOf(bod)) {
        t.controlFlag = 1;
        if (bod->flags & BOD_FLAG_REMOVE) {
            const bool wasBlocked = t.blocked != 0;
            MarkLost(t);
            if (!wasBlocked && slot == g_DirectControlSlot)
                CAM_SetMode(1);
            return;
        }
    }
    TakeStatus(slot, bod);
}

void ResetRequests() {
    for (TeamSlot& t : g_TeamSlots) {
        t.turnRequest = t.moveRequest = t.useRequest = t.spareRequest = 0;
        t.altRequest = t.controlRequest = t.kickRequest = 0;
        t.runOff = 1;
    }
}

// Selects slot instead of the member under direct control.
void Reselect(int slot) {
    if (g_DirectControlSlot >= 0 && g_DirectControlSlot < HUD_TEAM_SLOTS)
        g_TeamSlots[g_DirectControlSlot].selected = 0;
    g_TeamSlots[slot].selected = 1;
    g_DirectControlSlot = slot;
}

bool Usable(const TeamSlot& t) {
    return !t.blocked && t.health >= 1;
}

void FollowControlledMember() {
    if (NetworkGame()) {
        // The world names a player index: the slot that steers that player's character.
        const int32_t player = g_DirectControlSlot;
        g_DirectControlSlot = -1;
        for (int i = 0; i < HUD_TEAM_SLOTS; ++i)
            if (g_TeamSlots[i].characterId != -1 && PlayerIndexOfId(g_TeamSlots[i].characterId) == player) {
                g_DirectControlSlot = i;
                break;
            }
        if (g_DirectControlSlot != -1 && g_TeamSlots[g_DirectControlSlot].blocked) {
            for (int i = 0; i < HUD_TEAM_SLOTS; ++i)
                if (!g_TeamSlots[i].blocked) {
                    Reselect(i);
                    break;
                }
        }
        return;
    }
    const bool inRange = g_DirectControlSlot >= 0 && g_DirectControlSlot < HUD_TEAM_SLOTS;
    if (inRange && g_TeamSlots[g_DirectControlSlot].blocked) {
        for (int i = 0; i < HUD_TEAM_SLOTS; ++i)
            if (Usable(g_TeamSlots[i])) {
                Reselect(i);
                break;
            }
    }
    for (const TeamSlot& t : g_TeamSlots)
        if (Usable(t))
            return;
    LVL_FinishLevel(0, 0);
}

bool Alive(int index) {
    PlayerStatus status{};
    return PlayerBodOf(index) && ACT_GetPlayerStatus(index, &status) && status.healthPercent >= 1;
}

void HostEndRules() {
    if (!NetworkGame() || !NET_IsHost() || g_Match.matchEnded || g_Match.gameOver || g_ModalDialogOpen)
        return;
    if (g_Match.settings.timeLimit != 0 && g_MatchClock.minutes == g_Match.settings.timeLimit) {
        APP_EndMatch(1);
        return;
    }
    if (g_Match.settings.gameType != kGameTypeZombies)
        return;
    int first = 0, second = 0;
    for (int i = 0; i < BOD_PLAYER_SLOTS; ++i)
        if (Alive(i))
            ++(i < 4 ? first : second);
    if (first == 0 && second > 0)
        APP_EndMatch(0);
    else if (second == 0 && first > 0)
        APP_EndMatch(1);
}

}  // namespace

int HUD_UpdateFromGame() {
    if (!GUI_IsWindowOpen(g_PanelWindow))
        return 0;
    TRC_Trace("HUD_UpdateFromGame");
    BOD_FillRadar(&g_HudState);
    CopyRadar();
    for (int i = 0; i < HUD_TEAM_SLOTS; ++i)
        UpdateSlot(i);
    ResetRequests();
    FollowControlledMember();
    HostEndRules();
    return 1;
}

int HUD_ApplyToGame() {
    if (!GUI_IsWindowOpen(g_PanelWindow))
        return 0;
    TRC_Trace("HUD_ApplyToGame");
    int selected = 0, selectedSlot = -1;
    for (int i = 0; i < HUD_TEAM_SLOTS; ++i) {
        TeamSlot& t = g_TeamSlots[i];
        if (t.blocked)
            continue;
        if (t.selected) {
            ++selected;
            selectedSlot = i;
        }
        PlayerStatus& s = t.status;
        s.selectedEntry = t.currentEntry;
        s.controlFlag = t.controlFlag;
        s.turnCommand = t.turnRequest;
        s.moveCommand = t.moveRequest;
        s.useCommand = t.useRequest;
        s.spareCommand = t.spareRequest;
        s.pushCommand = t.altRequest;
        s.attackCommand = t.controlRequest;
        s.runFlag = t.runOff;
        s.kickCommand = t.kickRequest;
        const int index = PlayerIndexOfSlot(i);
        if (PlayerBodOf(index))
            ACT_SetPlayerStatus(index, &s);
    }
    HudState& h = g_HudState;
    h.radarDrawn = g_RadarBlips;
    if (selected == 1)
        h.controlledMember = NetworkGame() ? PlayerIndexOfSlot(selectedSlot) : selectedSlot;
    for (int k = 0; k < 3; ++k)
        h.orderPoint[k] = static_cast<float>(g_HudCommands.orderPoint[k]);
    h.teamMode = g_DirectControl == 0 ? 1 : 0;
    h.panHorizontal = g_HudCommands.panHorizontal;
    h.panVertical = g_HudCommands.panVertical;
    h.panByPress = g_HudCommands.panByPress;
    h.runFlag = g_HudCommands.runFlag;
    ACT_ApplyPlayerCommands(&h);
    return 1;
}
