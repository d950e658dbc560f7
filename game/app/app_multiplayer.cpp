// The network game settings: APP_SetupMultiplayerGame fills g_Match.settings from the lobby's command
// line, the set-up screens or game message 0, and resets the per-match state of the message layer
// and the interface.
#include "net/msg.h"
#include "net/net.h"
#include "app/app.h"
#include "ui/gui.h"
#include "ui/hud.h"

namespace {
constexpr int32_t kGameTypeHumans = 5, kGameTypeZombies = 6;
constexpr int32_t kRedraw = 3;

// Counters and states 0, health 99, every carried entry empty, the AI state 99: values no player
// has, so the first frame of the match sends everything.
void APP_ResetNetPlayer(NetPlayerState& record) {
    record = NetPlayerState{};
    record.health = 99.0f;
    for (int32_t& kind : record.entryKinds)
        kind = -1;
    record.aiState = 99;
}
}  // namespace

int APP_SetupMultiplayerGame(int gameType, int playerCount, int modeA, int modeB, int level, int, int,
                             int fragLimit, int timeLimit, int traps) {
    g_GameSetupRedraw = kRedraw;
    g_StagingRedraw = kRedraw;
    g_CharacterSelectRedraw = kRedraw;

    if (gameType == kGameTypeHumans) {
        playerCount = 7;
        modeA = 0;
    } else if (gameType == kGameTypeZombies) {
        playerCount = 1;
        modeA = 3;
    }
    // The level indexes every per-level table: a value outside 0..16 keeps the level set before.
    if (level < 0 || level >= APP_LEVEL_COUNT)
        level = g_Match.settings.level;
    g_Match.settings = {gameType, playerCount, modeA, modeB, level, 0, 1, fragLimit, timeLimit, traps};
    g_GameSetupCopies = {gameType, playerCount, modeA, modeB, level, 0};

    // The message layer's per-match state.
    for (int32_t& present : g_MsgPlayerPresent)
        present = 0;
    for (const auto& slot : g_Match.slotPlayerIds) {
        if (slot[0] == -1)
            continue;
        const int index = MSG_PlayerIdIndex(slot[0]);
        if (index >= 0 && index < MSG_PLAYERS)
            g_MsgPlayerPresent[index] = 1;
    }
    for (int i = 0; i < MSG_PLAYERS; ++i) {
        APP_ResetNetPlayer(g_NetPlayers[i]);
        APP_ResetNetPlayer(g_NetPlayersLast[i]);
    }
    for (int i = 0; i < 10; ++i)
        g_MsgSendTiming[i] = MSG_SEND_TIMING_DEFAULTS[i];

    // The team slots: entry 0 holds nothing, entries 1..8 are empty.
    for (TeamSlot& slot : g_TeamSlots) {
        slot.carriedTypes[0] = 0;
        for (int entry = 1; entry < 9; ++entry)
            slot.carriedTypes[entry] = -1;
    }

    // Member flags: in type 5 the local slot's members differ from everyone else's, and host and
    // client see it the other way round; in type 6 every member is flagged.
    const bool host = NET_IsHost() != 0;
    for (int s = 0; s < GUI_MAX_SLOTS; ++s) {
        int32_t memberFlag, teamFlag;
        if (gameType == kGameTypeHumans) {
            const bool local = s == g_Match.localSlot;
            memberFlag = (local ? !host : host) ? 1 : 0;
            teamFlag = 1 - memberFlag;
        } else if (gameType == kGameTypeZombies) {
            memberFlag = 1;
            teamFlag = 0;
        } else {
            continue;
        }
        for (int32_t& flag : g_Match.slotMemberFlags[s])
            flag = memberFlag;
        g_Match.slotTeamFlags[s] = teamFlag;
    }

    // The level-start barrier: only this machine has loaded. Not joined yet (slot -1): nobody.
    for (uint32_t& loaded : g_Match.slotLoaded)
        loaded = 0;
    if (g_Match.localSlot >= 0 && g_Match.localSlot < GUI_MAX_SLOTS)
        g_Match.slotLoaded[g_Match.localSlot] = 1;
    g_MsgLevelStart[0] = 0;
    g_MsgLevelStart[1] = 0;
    g_Match.matchEnded = 0;
    g_Match.gameOver = 0;
    g_Match.gameResult = 0;
    g_Match.fragLimitReached = 0;
    g_Match.timeLimitReached = 0;
    return 0;
}
