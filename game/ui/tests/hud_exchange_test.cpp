// In-level exchange tests over a fake world of player characters: nothing passes while the panel
// window is closed; an update copies the radar block and each member's status (empty entries,
// damage history) and resets the one-frame requests; lost members are blocked by the three rules;
// a single-player team with nobody left fails its level in the same update; the apply step hands
// only unblocked members with a character to the world and names the controlled member only when
// exactly one is selected; a network game finds characters through the slot table and its host
// ends the match by the time limit or the extinction of a side. Also the draw pass's stop of the
// world objects' looping sounds and the match clock's start in the interface step.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/net_seam.h"
#include "plat.h"
#include "common/match.h"
#include "common/mem.h"
#include "world/act.h"
#include "ui/fe_screens.h"
#include "common/calltrace.h"
#include "ui/gui.h"
#include "ui/gui_toolkit.h"
#include "ui/hud.h"
#include "world/bod.h"
#include "world/bod_radar.h"
#include "world/character.h"
#include "world/clk.h"
#include "world/game_state.h"

namespace {

using Calls = std::vector<std::string>;

int g_Host = 1;
int IsHost() {
    return g_Host;
}
const NetTestTransport kTransport = {nullptr, nullptr, nullptr, nullptr, nullptr, IsHost, nullptr, nullptr};

struct HudExchange : ::testing::Test {
    void SetUp() override {
        setenv("PLATFORM_BACKEND", "headless", 1);
        unsetenv("PLATFORM_INPUT");
        plat::ResetForTests();
        MEM_ResetTracker();
        TRC_ResetAll();
        TRC_TraceEnable(true);
        GUI_Reset();
        g_PanelWindow = GUI_CreateWindow(GUI_SHAPE_RECT);
        GUI_OpenWindow(g_PanelWindow);
        g_Match.inLevel = 1;
        g_Match.mpGameRunning = 0;
        g_Match.halted = g_Match.levelWon = g_Match.levelFailed = g_Match.levelEndTime = 0;
        g_Match.matchEnded = g_Match.gameOver = g_ModalDialogOpen = 0;
        g_DirectControl = 0;
        g_LevelFrameCount = 50;  // a level that has settled: its outcome can be set
        g_RadarBlips = 0;
        g_PanelRedraw = g_TeamRedraw = 0;
        g_HudState = HudState{};
        // The radar block stays as each test writes it: the world's fill is not part of these tests.
        BOD_SetRadarFillForTests([](HudState*) {});
        g_HudCommands = HudCommands{{-1, -1, -1}, 0, 0, 0, 0};
        g_MatchClock = MatchClock{-1, 0, 0, 0, 0};
        for (int i = 0; i < BOD_PLAYER_SLOTS; ++i) {
            controls_[i] = CharacterControl{};
            bods_[i] = Bod{};
            bods_[i].classMask = BOD_CLASS_PLAYER;
            bods_[i].control = &controls_[i];
            g_PlayerBods[i] = &bods_[i];
            PlayerStatus& s = *ACT_StubStatus(i);
            s = PlayerStatus{};
            std::fill(std::begin(s.entryTypes), std::end(s.entryTypes), HUD_EMPTY_ENTRY_TYPE);
            s.healthPercent = 100;
        }
        for (int i = 0; i < HUD_TEAM_SLOTS; ++i) {
            g_TeamSlots[i] = TeamSlot{};
            std::fill(std::begin(g_TeamSlots[i].carriedTypes), std::end(g_TeamSlots[i].carriedTypes), -1);
            g_TeamSlots[i].characterId = i;
            g_TeamSlots[i].health = 100;
        }
        g_TeamSlots[0].selected = 1;
        g_DirectControlSlot = -1;
        g_HudState.controlledMember = 0;
        savedSlots_ = {};
        std::copy(&g_Match.slotPlayerIds[0][0], &g_Match.slotPlayerIds[0][0] + 32, savedSlots_.begin());
        savedSettings_ = g_Match.settings;
        g_Host = 1;
        NET_InstallTestTransport(&kTransport);
    }
    void TearDown() override {
        BOD_SetRadarFillForTests(nullptr);
        NET_InstallTestTransport(nullptr);
        std::copy(savedSlots_.begin(), savedSlots_.end(), &g_Match.slotPlayerIds[0][0]);
        g_Match.settings = savedSettings_;
        for (Bod*& b : g_PlayerBods)
            b = nullptr;
        g_WorldBods = BodList{};
        g_PanelWindow = -1;
        g_Match.inLevel = 0;
        g_Match.mpGameRunning = 0;
        g_Match.halted = g_Match.levelWon = g_Match.levelFailed = 0;
        g_Match.matchEnded = g_Match.gameOver = 0;
        GUI_Reset();
        TRC_ResetAll();
    }
    static Calls Matching(const std::string& prefix) {
        Calls out;
        for (const std::string& e : TRC_TraceLog())
            if (e.rfind(prefix, 0) == 0)
                out.push_back(e);
        return out;
    }
    Bod bods_[BOD_PLAYER_SLOTS];
    CharacterControl controls_[BOD_PLAYER_SLOTS];
    std::array<int32_t, 32> savedSlots_;
    MpGameSettings savedSettings_;
};

TEST_F(HudExchange, NothingPassesWhileThePanelWindowIsClosed) {
    g_TeamSlots[1].turnRequest = 2;
    GUI_CloseWindow(g_PanelWindow);
    EXPECT_EQ(HUD_UpdateFromGame(), 0);
    EXPECT_EQ(HUD_ApplyToGame(), 0);
    EXPECT_TRUE(TRC_TraceLog().empty());
    EXPECT_EQ(g_TeamSlots[1].turnRequest, 2);
    // A panel that was never built is closed too.
    g_PanelWindow = -1;
    EXPECT_EQ(HUD_UpdateFromGame(), 0);
    GUI_OpenWindow(GUI_CreateWindow(GUI_SHAPE_RECT));
    EXPECT_EQ(HUD_ApplyToGame(), 0);
}

TEST_F(HudExchange, UpdateCopiesTheRadarAndEachMembersStatus) {
    g_HudState.viewHeading = 271.9f;
    g_HudState.radarCount = 2;
    g_HudState.radar[1][0] = -3.7f;
    g_HudState.radar[1][1] = 4.0f;
    g_HudState.radar[1][2] = 12.2f;
    g_HudState.map[1][0] = 200.5f;
    g_HudState.radarWord = 9;
    g_HudState.mapping[5] = 0.25f;
    g_HudState.controlledMember = 1;
    g_HudCommands = HudCommands{{10, 0, 20}, 1, 3, 1, 1};
    PlayerStatus& s = *ACT_StubStatus(1);
    Bod weapon{};
    s.entryTypes[0] = 7;
    s.entryValues[0] = 80;
    s.entryBods[0] = &weapon;
    s.entryValues[1] = 55;          // an empty entry keeps its value
    s.entryBods[1] = &weapon;       // but never its object
    s.selectedEntry = 4;
    s.healthPercent = 60;
    TeamSlot& t = g_TeamSlots[1];
    t.turnRequest = 1, t.moveRequest = 3, t.useRequest = 1, t.spareRequest = 1;
    t.altRequest = 1, t.controlRequest = 1, t.kickRequest = 1, t.runOff = 0;
    t.damageHistory[0] = 1;

    ASSERT_EQ(HUD_UpdateFromGame(), 1);
    EXPECT_EQ(g_RadarView.heading, 271);
    EXPECT_EQ(g_RadarView.count, 2);
    EXPECT_EQ(g_RadarView.entries[1][0], -3);
    EXPECT_EQ(g_RadarView.entries[1][1], 4);
    EXPECT_EQ(g_RadarView.entries[1][2], 12);
    EXPECT_EQ(g_RadarView.map[1][0], 200);
    EXPECT_EQ(g_RadarView.word, 9);
    EXPECT_EQ(g_RadarView.mapping[5], 0.25f);
    EXPECT_EQ(g_DirectControlSlot, 1);
    EXPECT_EQ(g_HudCommands.orderPoint[0], -1);
    EXPECT_EQ(g_HudCommands.orderPoint[2], -1);
    EXPECT_EQ(g_HudCommands.panHorizontal + g_HudCommands.panVertical + g_HudCommands.panByPress, 0);
    EXPECT_EQ(g_HudCommands.runFlag, 1);  // the frame clears it, not the update

    EXPECT_EQ(t.carriedTypes[0], 7);
    EXPECT_EQ(t.carriedValues[0], 80);
    EXPECT_EQ(t.carriedBods[0], &weapon);
    EXPECT_EQ(t.carriedTypes[1], -1);
    EXPECT_EQ(t.carriedValues[1], 55);
    EXPECT_EQ(t.carriedBods[1], nullptr);
    EXPECT_EQ(t.currentEntry, 4);
    EXPECT_EQ(t.controlFlag, 1);
    EXPECT_EQ(t.health, 60);
    EXPECT_EQ(t.damageHistory[0], 1);
    EXPECT_EQ(t.damageHistory[1], 1);
    EXPECT_EQ(t.damageHistory[2], 0);
    EXPECT_EQ(t.turnRequest + t.moveRequest + t.useRequest + t.spareRequest, 0);
    EXPECT_EQ(t.altRequest + t.controlRequest + t.kickRequest, 0);
    EXPECT_EQ(t.runOff, 1);
    // Steady health: the history moves on with no new fall.
    ASSERT_EQ(HUD_UpdateFromGame(), 1);
    EXPECT_EQ(t.damageHistory[0], 0);
    EXPECT_EQ(t.damageHistory[1], 1);
    EXPECT_EQ(t.damageHistory[2], 1);
    EXPECT_EQ(Matching("ACT_GetPlayerStatus").size(), 8u);
}

TEST_F(HudExchange, ARadarCountBeyondTheTableIsHeldToIt) {
    g_HudState.radarCount = 100000;
    ASSERT_EQ(HUD_UpdateFromGame(), 1);
    EXPECT_EQ(g_RadarView.count, HUD_RADAR_ENTRIES);
    g_HudState.radarCount = -5;
    ASSERT_EQ(HUD_UpdateFromGame(), 1);
    EXPECT_EQ(g_RadarView.count, 0);
}

TEST_F(HudExchange, LostMembersAreBlocked) {
    // Member 1 has no character; member 2's character is gone while the player steers it;
    // member 3 lies at health 0.
    g_TeamSlots[1].characterId = -1;
    bods_[2].flags |= BOD_FLAG_REMOVE;
    g_HudState.controlledMember = 2;
    ACT_StubStatus(3)->healthPercent = 0;
    ACT_StubStatus(3)->selectedEntry = 5;
    ASSERT_EQ(HUD_UpdateFromGame(), 1);
    struct Case { int slot; int blocked; int id; } cases[] = {{0, 0, 0}, {1, 1, -1}, {2, 1, -1}, {3, 0, 3}};
    for (const Case& c : cases) {
        EXPECT_EQ(g_TeamSlots[c.slot].blocked, c.blocked) << c.slot;
        EXPECT_EQ(g_TeamSlots[c.slot].characterId, c.id) << c.slot;
    }
    EXPECT_EQ(g_PanelRedraw, 3);
    EXPECT_EQ(g_TeamRedraw, 3);
    EXPECT_EQ(Matching("CAM_SetMode"), Calls{"CAM_SetMode(1)"});
    EXPECT_EQ(g_TeamSlots[3].currentEntry, 0);
    EXPECT_EQ(g_TeamSlots[3].zeroHealthCount, 1);
    // The steered member was lost: the first usable one takes its place.
    EXPECT_EQ(g_DirectControlSlot, 0);
    EXPECT_EQ(g_TeamSlots[0].selected, 1);
    EXPECT_EQ(g_TeamSlots[2].selected, 0);

    // Blocked members stay as they are; the camera is not switched again.
    g_PanelRedraw = g_TeamRedraw = 0;
    TRC_TraceClear();
    g_HudState.controlledMember = 0;
    ASSERT_EQ(HUD_UpdateFromGame(), 1);
    EXPECT_EQ(g_PanelRedraw, 0);
    EXPECT_TRUE(Matching("CAM_SetMode").empty());

    // 1800 updates at health 0 lose member 3: not one earlier.
    g_TeamSlots[3].zeroHealthCount = 1798;
    ASSERT_EQ(HUD_UpdateFromGame(), 1);
    EXPECT_EQ(g_TeamSlots[3].blocked, 0);
    EXPECT_EQ(g_TeamSlots[3].zeroHealthCount, 1799);
    ASSERT_EQ(HUD_UpdateFromGame(), 1);
    EXPECT_EQ(g_TeamSlots[3].blocked, 1);
    EXPECT_EQ(g_TeamSlots[3].characterId, -1);
    EXPECT_EQ(g_TeamSlots[3].zeroHealthCount, 0);
    EXPECT_NE(bods_[3].flags & BOD_FLAG_REMOVE, 0u);
    // A positive health clears the count.
    g_TeamSlots[0].zeroHealthCount = 7;
    ASSERT_EQ(HUD_UpdateFromGame(), 1);
    EXPECT_EQ(g_TeamSlots[0].zeroHealthCount, 0);
    EXPECT_EQ(g_Match.levelFailed, 0);
}

TEST_F(HudExchange, ASinglePlayerTeamWithNobodyLeftFailsInTheSameUpdate) {
    g_HudState.controlledMember = 2;
    g_TeamSlots[3].characterId = -1;
    for (int i = 0; i < 3; ++i)
        ACT_StubStatus(i)->healthPercent = i == 1 ? 1 : 0;
    ASSERT_EQ(HUD_UpdateFromGame(), 1);
    EXPECT_TRUE(Matching("LVL_FinishLevel").empty());  // member 1 still stands
    ACT_StubStatus(1)->healthPercent = -4;
    ASSERT_EQ(HUD_UpdateFromGame(), 1);
    EXPECT_EQ(Matching("LVL_FinishLevel"), Calls{"LVL_FinishLevel(0,0)"});
    EXPECT_EQ(g_Match.levelFailed, 1);
}

TEST_F(HudExchange, ApplyHandsOnlyUnblockedMembersWithACharacterToTheWorld) {
    TeamSlot& t = g_TeamSlots[1];
    t.currentEntry = 3, t.controlFlag = 1;
    t.turnRequest = 2, t.moveRequest = 4, t.useRequest = 1, t.spareRequest = 1;
    t.altRequest = 1, t.controlRequest = 1, t.runOff = 0, t.kickRequest = 1;
    g_TeamSlots[2].blocked = 1;
    g_PlayerBods[3] = nullptr;  // no bod: nothing is applied
    g_RadarBlips = 1;
    g_HudCommands = HudCommands{{100, 5, -200}, 2, 4, 1, 1};
    g_HudState.controlledMember = 3;
    ASSERT_EQ(HUD_ApplyToGame(), 1);
    EXPECT_EQ(Matching("ACT_SetPlayerStatus"),
              (Calls{"ACT_SetPlayerStatus(0,turn=0,move=0,use=0,spare=0,alt=0,ctrl=0,runoff=0,k=0,entry=0,flag=0)",
                     "ACT_SetPlayerStatus(1,turn=2,move=4,use=1,spare=1,alt=1,ctrl=1,runoff=0,k=1,entry=3,flag=1)"}));
    EXPECT_EQ(controls_[1].turnCommand, 2);
    EXPECT_EQ(controls_[1].kickCommand, 1u);
    // Member 0 alone is selected: it becomes the controlled member.
    EXPECT_EQ(Matching("ACT_ApplyPlayerCommands"),
              Calls{"ACT_ApplyPlayerCommands(member=0,team=1,radar=1,point=100/5/-200,pan=2/4/1,run=1)"});

    // Two selected, or the only selected one blocked: the controlled member stays as it was.
    struct Case { int selected[4]; int32_t expected; } cases[] = {
        {{1, 1, 0, 0}, 3}, {{0, 0, 1, 0}, 3}, {{0, 1, 1, 0}, 1}, {{0, 0, 0, 0}, 3},
    };
    for (const Case& c : cases) {
        g_HudState.controlledMember = 3;
        for (int i = 0; i < 4; ++i)
            g_TeamSlots[i].selected = c.selected[i];
        g_DirectControl = 1;
        ASSERT_EQ(HUD_ApplyToGame(), 1);
        EXPECT_EQ(g_HudState.controlledMember, c.expected);
        EXPECT_EQ(g_HudState.teamMode, 0);
    }
}

TEST_F(HudExchange, ANetworkGameFindsCharactersThroughTheSlotTable) {
    g_Match.mpGameRunning = 1;
    g_Host = 0;
    for (auto& slot : g_Match.slotPlayerIds)
        for (int32_t& id : slot)
            id = -1;
    // Occupied entries in slot order: 20 -> player 0, 21 -> 1, 30 -> 2, 31 -> 3.
    g_Match.slotPlayerIds[0][0] = 20, g_Match.slotPlayerIds[0][2] = 21;
    g_Match.slotPlayerIds[3][0] = 30, g_Match.slotPlayerIds[3][1] = 31;
    const int32_t ids[4] = {30, 31, 99, -1};  // 99 is held by no slot
    for (int i = 0; i < 4; ++i)
        g_TeamSlots[i].characterId = ids[i];
    ACT_StubStatus(2)->healthPercent = 40;
    ACT_StubStatus(3)->healthPercent = 30;
    g_HudState.controlledMember = 3;  // player index 3: the character of id 31
    ASSERT_EQ(HUD_UpdateFromGame(), 1);
    EXPECT_EQ(Matching("ACT_GetPlayerStatus"), (Calls{"ACT_GetPlayerStatus(2)", "ACT_GetPlayerStatus(3)"}));
    EXPECT_EQ(g_TeamSlots[0].health, 40);
    EXPECT_EQ(g_TeamSlots[1].health, 30);
    EXPECT_EQ(g_TeamSlots[2].blocked, 0);  // no character found this time: left alone
    EXPECT_EQ(g_TeamSlots[3].blocked, 1);
    EXPECT_EQ(g_DirectControlSlot, 1);
    EXPECT_TRUE(Matching("LVL_FinishLevel").empty());

    g_TeamSlots[0].selected = 0;
    g_TeamSlots[1].selected = 1;
    g_TeamSlots[1].turnRequest = 1;
    ASSERT_EQ(HUD_ApplyToGame(), 1);
    EXPECT_EQ(Matching("ACT_SetPlayerStatus("),
              (Calls{"ACT_SetPlayerStatus(2,turn=0,move=0,use=0,spare=0,alt=0,ctrl=0,runoff=1,k=0,entry=0,flag=1)",
                     "ACT_SetPlayerStatus(3,turn=1,move=0,use=0,spare=0,alt=0,ctrl=0,runoff=1,k=0,entry=0,flag=1)"}));
    EXPECT_EQ(g_HudState.controlledMember, 3);  // the player index, not the slot

    // The steered member's character is lost: the first unblocked member takes over.
    g_HudState.controlledMember = 3;
    bods_[3].flags |= BOD_FLAG_REMOVE;
    ASSERT_EQ(HUD_UpdateFromGame(), 1);
    EXPECT_EQ(g_TeamSlots[1].blocked, 1);
    EXPECT_EQ(g_DirectControlSlot, -1);  // its id is gone, so no slot names player 3 any more
}

TEST_F(HudExchange, TheHostEndsTheMatchByTimeOrByExtinction) {
    g_Match.mpGameRunning = 1;
    struct Case {
        int host, type, timeLimit, minutes, aliveLow, aliveHigh, modal;
        const char* expected;
    } cases[] = {
        {1, 5, 10, 10, 1, 1, 0, "APP_EndMatch(1)"},
        {1, 5, 10, 9, 1, 1, 0, nullptr},
        {1, 5, 0, 0, 1, 1, 0, nullptr},       // no time limit
        {0, 5, 10, 10, 1, 1, 0, nullptr},     // not the host
        {1, 5, 10, 10, 1, 1, 1, nullptr},     // the confirm window is open
        {1, 6, 0, 0, 0, 2, 0, "APP_EndMatch(0)"},
        {1, 6, 0, 0, 3, 0, 0, "APP_EndMatch(1)"},
        {1, 6, 0, 0, 0, 0, 0, nullptr},       // nobody at all
        {1, 6, 0, 0, 1, 1, 0, nullptr},
        {1, 5, 0, 0, 0, 2, 0, nullptr},       // extinction counts only in type 6
    };
    for (const Case& c : cases) {
        g_Host = c.host;
        g_Match.settings.gameType = c.type;
        g_Match.settings.timeLimit = c.timeLimit;
        g_MatchClock.minutes = c.minutes;
        g_ModalDialogOpen = c.modal;
        g_Match.matchEnded = 0;
        for (int i = 0; i < BOD_PLAYER_SLOTS; ++i) {
            const int alive = i < 4 ? (i < c.aliveLow) : (i - 4 < c.aliveHigh);
            ACT_StubStatus(i)->healthPercent = alive ? 50 : 0;
        }
        TRC_TraceClear();
        ASSERT_EQ(HUD_UpdateFromGame(), 1);
        const Calls ends = Matching("APP_EndMatch");
        EXPECT_EQ(ends, c.expected ? Calls{c.expected} : Calls{}) << c.type << "/" << c.minutes << "/" << c.aliveLow;
    }
    g_ModalDialogOpen = 0;
}

TEST_F(HudExchange, AHaltedNetworkLevelStopsTheLoopingSoundsOfWorldObjects) {
    Bod objects[3] = {};
    objects[0].classMask = BOD_CLASS_OBJECT;
    objects[1].classMask = BOD_CLASS_PLAYER;
    objects[2].classMask = BOD_CLASS_OBJECT;
    for (int i = 0; i < 3; ++i) {
        objects[i].prev = i ? &objects[i - 1] : nullptr;
        objects[i].next = i < 2 ? &objects[i + 1] : nullptr;
    }
    g_WorldBods.head = &objects[0];
    g_WorldBods.tail = &objects[2];
    g_WorldBods.count = 3;
    g_Match.mpGameRunning = 1;
    struct Case { uint32_t halted; int32_t won, failed, endTime, matchEnded, gameOver; uint32_t mp; size_t stops; } cases[] = {
        {0, 0, 0, 0, 0, 0, 1, 0},
        {1, 0, 0, 0, 0, 0, 1, 2},
        {0, 1, 0, 0, 0, 0, 1, 2},
        {0, 0, 1, 200, 0, 0, 1, 0},   // failed, not yet past 200 ms
        {0, 0, 1, 201, 0, 0, 1, 2},
        {0, 0, 0, 0, 1, 0, 1, 2},
        {0, 0, 0, 0, 0, 1, 1, 2},
        {1, 0, 0, 0, 0, 0, 0, 0},     // a single-player level keeps its sounds here
    };
    for (const Case& c : cases) {
        g_Match.halted = c.halted;
        g_Match.levelWon = c.won;
        g_Match.levelFailed = c.failed;
        g_Match.levelEndTime = c.endTime;
        g_Match.matchEnded = c.matchEnded;
        g_Match.gameOver = c.gameOver;
        g_Match.mpGameRunning = c.mp;
        TRC_TraceClear();
        GUI_Draw();
        EXPECT_EQ(Matching("SND_StopEmitter").size(), c.stops) << c.halted << c.won << c.failed << c.endTime;
    }
}

TEST_F(HudExchange, TheMatchClockStartsWithTheFirstInLevelStep) {
    g_GameClock.nowMs = 5000;
    GUI_Tick();
    EXPECT_EQ(g_MatchClock.start, 5000);
    EXPECT_EQ(g_MatchClock.lastRead, 5000);
    EXPECT_EQ(g_MatchClock.minutes, 0);
    g_GameClock.nowMs = 9000;
    g_MatchClock.minutes = 2;
    GUI_Tick();
    EXPECT_EQ(g_MatchClock.start, 5000);
    EXPECT_EQ(g_MatchClock.minutes, 2);
    // Outside a level the clock is left alone.
    g_Match.inLevel = 0;
    g_MatchClock.start = -1;
    GUI_Tick();
    EXPECT_EQ(g_MatchClock.start, -1);
}

}  // namespace
