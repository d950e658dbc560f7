// The network game settings and the per-match reset, and the halted-play query.
#include <cstring>
#include <string>

#include "app_fixture.h"
#include "net/msg.h"
#include "app/app.h"
#include "testsupport/net_test_seam.h"
#include "ui/gui.h"
#include "ui/hud.h"

namespace {
struct SetupCase {
    int args[10];           // as passed, in field order
    MpGameSettings stored;  // g_Match.settings afterwards (level 5 before the call)
};

const SetupCase kSetupCases[] = {
    // Type 5 forces 7 players and modeA 0; extra and settingsSet are always 0 and 1.
    {{5, 3, 9, 4, 2, 77, 0, 10, 15, 1}, {5, 7, 0, 4, 2, 0, 1, 10, 15, 1}},
    // Type 6 forces 1 player and modeA 3.
    {{6, 3, 9, 4, 16, 77, 0, -1, 0, 0}, {6, 1, 3, 4, 16, 0, 1, -1, 0, 0}},
    // Other types pass through as the set-up screen gave them.
    {{4, 3, 9, 4, 0, 1, 5, 0, 0, 1}, {4, 3, 9, 4, 0, 0, 1, 0, 0, 1}},
    // A level outside 0..16 keeps the level set before.
    {{5, 0, 0, 0, 17, 0, 0, 0, 0, 0}, {5, 7, 0, 0, 5, 0, 1, 0, 0, 0}},
    {{6, 0, 0, 0, -1, 0, 0, 0, 0, 0}, {6, 1, 3, 0, 5, 0, 1, 0, 0, 0}},
};

int SetupFromArgs(const int (&a)[10]) {
    return APP_SetupMultiplayerGame(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9]);
}

// A transport that answers only the host question.
int g_FakeHost = 0;
const NetTestTransport kHostOnly = {
    [](int, int, const uint8_t*, int) { return 0; }, [](int, const uint8_t*, int) { return 0; },
    [](int, NetMessageHandler) { return 1; },         [] { return -1; },
    [] { return -1; },                                 [] { return g_FakeHost; },
    [](int) { return -1; },                            [](int) -> const char* { return nullptr; },
};
}  // namespace

TEST_F(ShellTest, SetupStoresCoercedSettingsAndTheScreenCopies) {
    for (const SetupCase& c : kSetupCases) {
        g_Match.settings = {};
        g_Match.settings.level = 5;
        g_GameSetupRedraw = g_StagingRedraw = g_CharacterSelectRedraw = 0;
        EXPECT_EQ(SetupFromArgs(c.args), 0);
        const int32_t* got = &g_Match.settings.gameType;
        const int32_t* want = &c.stored.gameType;
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(got[i], want[i]) << "type " << c.args[0] << " level " << c.args[4] << ", field " << i;
        const GameSetupCopies copies = {want[0], want[1], want[2], want[3], want[4], want[5]};
        EXPECT_EQ(0, std::memcmp(&g_GameSetupCopies, &copies, sizeof copies));
        EXPECT_EQ(g_GameSetupRedraw, 3);
        EXPECT_EQ(g_StagingRedraw, 3);
        EXPECT_EQ(g_CharacterSelectRedraw, 3);
    }
}

TEST_F(ShellTest, SetupResetsThePerMatchState) {
    const int32_t ids[8][4] = {{10, 11, -1, -1}, {-1, -1, -1, -1}, {20, -1, -1, -1}, {-1, 30, -1, -1},
                               {-1, -1, -1, -1}, {-1, -1, -1, -1}, {-1, -1, -1, -1}, {-1, -1, -1, -1}};
    std::memcpy(g_Match.slotPlayerIds, ids, sizeof ids);
    for (int i = 0; i < MSG_PLAYERS; ++i) {
        g_MsgPlayerPresent[i] = 1;
        g_NetPlayers[i].health = 12.0f;
        g_NetPlayers[i].action = 7;
        g_NetPlayersLast[i].entryKinds[4] = 3;
        g_Match.slotLoaded[i] = 1;
    }
    g_MsgSendTiming[2] = 0;
    g_MsgLevelStart[0] = g_MsgLevelStart[1] = 1;
    g_Match.matchEnded = g_Match.gameOver = g_Match.gameResult = g_Match.fragLimitReached = g_Match.timeLimitReached = 1;
    g_TeamSlots[1].carriedTypes[0] = 7;
    g_TeamSlots[1].carriedTypes[8] = 7;
    g_Match.localSlot = 2;

    APP_SetupMultiplayerGame(5, 2, 0, 0, 3, 0, 1, 10, 10, 1);

    // Present: the player index of each slot's first member (10 is index 0, 20 is index 2).
    const int32_t present[MSG_PLAYERS] = {1, 0, 1, 0, 0, 0, 0, 0};
    for (int i = 0; i < MSG_PLAYERS; ++i)
        EXPECT_EQ(g_MsgPlayerPresent[i], present[i]) << i;
    for (const NetPlayerState* records : {g_NetPlayers, g_NetPlayersLast}) {
        for (int i = 0; i < MSG_PLAYERS; ++i) {
            EXPECT_EQ(records[i].health, 99.0f);
            EXPECT_EQ(records[i].action, 0);
            EXPECT_EQ(records[i].aiState, 99);
            for (int32_t kind : records[i].entryKinds)
                EXPECT_EQ(kind, -1);
        }
    }
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(g_MsgSendTiming[i], MSG_SEND_TIMING_DEFAULTS[i]);
    for (const TeamSlot& slot : g_TeamSlots) {
        EXPECT_EQ(slot.carriedTypes[0], 0);
        for (int entry = 1; entry < 9; ++entry)
            EXPECT_EQ(slot.carriedTypes[entry], -1);
    }
    for (int s = 0; s < GUI_MAX_SLOTS; ++s)
        EXPECT_EQ(g_Match.slotLoaded[s], s == 2 ? 1u : 0u) << "only this machine has loaded";
    EXPECT_EQ(g_MsgLevelStart[0] | g_MsgLevelStart[1], 0);
    EXPECT_EQ(g_Match.matchEnded | g_Match.gameOver | g_Match.gameResult | g_Match.fragLimitReached | g_Match.timeLimitReached, 0);
}

TEST_F(ShellTest, SetupBeforeJoiningMarksNoSlotLoaded) {
    for (uint32_t& loaded : g_Match.slotLoaded)
        loaded = 1;
    g_Match.localSlot = -1;  // a lobby launch sets up the game before any session exists
    APP_SetupMultiplayerGame(6, 2, 0, 0, 3, 0, 1, 0, 0, 0);
    for (uint32_t loaded : g_Match.slotLoaded)
        EXPECT_EQ(loaded, 0u);
}

TEST_F(ShellTest, SetupMemberFlagsByTypeAndRole) {
    const struct {
        int type;
        int host;
        int32_t localMember, localTeam, otherMember, otherTeam;
    } cases[] = {
        {5, 1, 0, 1, 1, 0},
        {5, 0, 1, 0, 0, 1},
        {6, 1, 1, 0, 1, 0},
        {6, 0, 1, 0, 1, 0},
    };
    NET_SetTestTransport(&kHostOnly);
    g_Match.localSlot = 3;
    for (const auto& c : cases) {
        g_FakeHost = c.host;
        for (auto& slot : g_Match.slotMemberFlags)
            for (int32_t& flag : slot)
                flag = -5;
        APP_SetupMultiplayerGame(c.type, 2, 0, 0, 3, 0, 1, 0, 0, 0);
        for (int s = 0; s < GUI_MAX_SLOTS; ++s) {
            const bool local = s == 3;
            for (int32_t flag : g_Match.slotMemberFlags[s])
                EXPECT_EQ(flag, local ? c.localMember : c.otherMember) << "type " << c.type << " host " << c.host;
            EXPECT_EQ(g_Match.slotTeamFlags[s], local ? c.localTeam : c.otherTeam) << "type " << c.type << " host " << c.host;
        }
    }
}

TEST(PlayHalted, ByLevelStateAndMatchEnd) {
    const struct {
        uint32_t inLevel, halted, multiplayer;
        int32_t failed, endTime, won, matchEnded, gameOver;
        int expected;
    } cases[] = {
        {0, 1, 0, 1, 500, 1, 1, 1, 0},  // no level: never halted
        {1, 0, 0, 0, 0, 0, 0, 0, 0},
        {1, 1, 0, 0, 0, 0, 0, 0, 1},
        {1, 0, 0, 1, 200, 0, 0, 0, 0},  // failed, but not yet long enough
        {1, 0, 0, 1, 201, 0, 0, 0, 1},
        {1, 0, 0, 0, 201, 0, 0, 0, 0},  // the counter alone does not halt
        {1, 0, 0, 0, 0, 1, 0, 0, 1},
        {1, 0, 0, 0, 0, 0, 1, 1, 0},    // match flags count only in a network game
        {1, 0, 1, 0, 0, 0, 1, 0, 1},
        {1, 0, 1, 0, 0, 0, 0, 1, 1},
        {1, 0, 1, 0, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        g_Match.inLevel = c.inLevel;
        g_Match.halted = c.halted;
        g_Match.mpGameRunning = c.multiplayer;
        g_Match.levelFailed = c.failed;
        g_Match.levelEndTime = c.endTime;
        g_Match.levelWon = c.won;
        g_Match.matchEnded = c.matchEnded;
        g_Match.gameOver = c.gameOver;
        EXPECT_EQ(APP_IsPlayHalted(), c.expected)
            << "level " << c.inLevel << " halted " << c.halted << " mp " << c.multiplayer << " failed " << c.failed
            << " time " << c.endTime << " won " << c.won << " ended " << c.matchEnded << " over " << c.gameOver;
    }
    g_Match.inLevel = g_Match.halted = g_Match.mpGameRunning = 0;
    g_Match.levelFailed = g_Match.levelEndTime = g_Match.levelWon = g_Match.matchEnded = g_Match.gameOver = 0;
}
