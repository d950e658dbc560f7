// The game frame: the logic step, the front-end frame with its reseed from calendar time, the
// level frame's exact pass order with the lighting mode per pass and the world updated after the
// scene and before the flip, nothing updated while play is halted, the two level frame hooks, the
// focus heading, the camera retarget, and turning a player by the frame's time.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/rnd_display.h"
#include "engine/lnd.h"
#include "engine/lnd_light.h"
#include "plat.h"
#include "shell/inp.h"
#include "common/calltrace.h"
#include "ui/gui.h"
#include "world/bod.h"
#include "world/character.h"
#include "world/clk.h"
#include "world/game_frame.h"
#include "world_fixture.h"

namespace {
using Calls = std::vector<std::string>;

constexpr uint32_t kHeadlessEpoch = 897912000;  // 1998-06-15 12:00:00 UTC, the headless calendar

class GameFrameTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        GAME_SetCallTrace([](const char* entry) { TRC_Trace(entry); });
    }
    // A level frame at the given clock, from a clean trace.
    Calls LevelFrame() {
        const size_t mark = WH_TraceMark();
        GAME_Frame();
        return WH_TraceSince(mark);
    }
};

std::vector<int> FirstRandoms(int n) {
    std::vector<int> values;
    for (int i = 0; i < n; ++i)
        values.push_back(plat::rand());
    return values;
}

TEST_F(GameFrameTest, CalendarSecondsOfTheHeadlessClock) {
    const struct {
        uint32_t ticks;
        uint32_t seconds;
    } cases[] = {{0, kHeadlessEpoch}, {999, kHeadlessEpoch}, {5000, kHeadlessEpoch + 5},
                 {86400000, kHeadlessEpoch + 86400}, {4000000000u, kHeadlessEpoch + 4000000}};
    for (const auto& c : cases) {
        WH_SetTicks(c.ticks);
        EXPECT_EQ(GAME_CalendarSeconds(), c.seconds) << c.ticks;
    }
}

TEST_F(GameFrameTest, FrontEndDrawsOnlyTheInterfaceAndReseedsEveryFrame) {
    WH_SetTicks(5000);
    EXPECT_EQ(LevelFrame(), (Calls{"GAME_Frame", "RND_SetBackgroundColour(null)", "RND_BeginFrame", "RND_EndScene",
                                   "GUI_Draw", "RND_Flip"}));
    const std::vector<int> drawn = FirstRandoms(3);
    plat::srand(kHeadlessEpoch + 5);
    EXPECT_EQ(drawn, FirstRandoms(3));

    // The next front-end frame seeds again, whatever was drawn meanwhile.
    FirstRandoms(10);
    GAME_Frame();
    plat::srand(kHeadlessEpoch + 5);
    EXPECT_EQ(FirstRandoms(3), drawn) << "reseeded from the same second";
    WH_AdvanceTicks(3000);
    GAME_Frame();
    const std::vector<int> later = FirstRandoms(3);
    plat::srand(kHeadlessEpoch + 8);
    EXPECT_EQ(later, FirstRandoms(3));
    EXPECT_TRUE(WH_HandlerLog().empty()) << "no world in the front end";
}

TEST_F(GameFrameTest, ALevelFrameWaitsForTheDisplay) {
    WH_EnterLevel(2);
    g_GraphicsReady = 0;
    WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, 0});
    EXPECT_EQ(LevelFrame(), Calls{"GAME_Frame"});
    EXPECT_TRUE(WH_HandlerLog().empty());
}

// The passes of a level frame up to the end of the scene, with the world lighting option 1 and the
// model lighting option 0. Each batch flush also notes the lighting mode in force ("lighting=N").
Calls PassesWithClock(bool clockTicks) {
    Calls calls = {"GAME_Frame", "CAM_Follow", "RND_SetBackgroundColour(0x000000)", "RND_BeginFrame",
                   "HUD_EraseOverlays",
                   "GAME_Pass(landscape,1)", "RND_FlushBatch", "lighting=1",
                   "GAME_Pass(clock,1)"};
    if (clockTicks)
        calls.push_back("PTC_UpdateAndDraw");
    for (const char* rest : {"RND_FlushBatch", "lighting=1",
                             "GAME_Pass(bods,0)", "RND_FlushBatch", "lighting=0",
                             "GAME_Pass(camera,1)", "CAM_AutoSwitch", "RND_FlushBatch", "lighting=1",
                             "GAME_Pass(objects,1)", "RND_FlushBatch", "lighting=1",
                             "GAME_Pass(explosions,1)", "EXP_Update", "RND_FlushBatch", "lighting=1",
                             "RND_EndScene", "GUI_Draw"})
        calls.push_back(rest);
    return calls;
}

Calls Concat(Calls a, const Calls& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct LevelFrameCase {
    const char* name;
    int level;
    bool halted;
    bool won;
    Calls afterScene;  // between GUI_Draw and the flip
};

void PrintTo(const LevelFrameCase& c, std::ostream* os) {
    *os << c.name;
}

class LevelFrameTest : public GameFrameTest, public ::testing::WithParamInterface<LevelFrameCase> {};

TEST_P(LevelFrameTest, PassesInOrderThenTheWorldBeforeTheFlip) {
    const LevelFrameCase& c = GetParam();
    WH_EnterLevel(c.level);
    WH_SetHalted(c.halted);
    g_Match.levelWon = c.won ? 1 : 0;
    g_Options.worldLighting = 1;
    g_Options.modelLighting = 0;
    Bod* npc = WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, 0});
    WH_Character(npc)->head.action = 3;
    npc->hook = WH_LoggingHook;
    WH_SetNpc(0, npc);
    g_ClockStarted = 1;
    g_GameClock.levelStartMs = 1000;
    g_GameClock.nowMs = 3500;
    WH_SetTicks(3540);

    const bool playing = !c.halted && !c.won;
    TRC_SetCallHook([](const std::string& entry) {
        if (entry != "RND_FlushBatch")
            return;
        const int lighting = LND_SetDynamicLighting(0);
        LND_SetDynamicLighting(lighting);
        TRC_Trace(lighting ? "lighting=1" : "lighting=0");
    });
    EXPECT_EQ(LevelFrame(), Concat(Concat(PassesWithClock(playing), c.afterScene), {"RND_Flip"}));
    TRC_SetCallHook(nullptr);
    EXPECT_EQ(g_GameClock.nowMs, playing ? 3540 : 3500) << "a halted level keeps its clock";
    EXPECT_FLOAT_EQ(g_LandscapeTime, 2.5f) << "the landscape clock: the clock's now minus the level start";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LevelFrameTest,
    ::testing::Values(
        LevelFrameCase{"Playing", 2, false, false,
                       {"GAME_UpdateWorld", "BOD_Handler(npc0,3)", "BOD_Hook(npc0)", "AI_Tick"}},
        LevelFrameCase{"Lightning", 0, false, false,
                       {"GAME_UpdateWorld", "BOD_Handler(npc0,3)", "BOD_Hook(npc0)", "LVL_Level0Frame", "AI_Tick"}},
        LevelFrameCase{"Escape", 16, false, false,
                       {"GAME_UpdateWorld", "BOD_Handler(npc0,3)", "BOD_Hook(npc0)", "LVL_EscapeFrame", "AI_Tick"}},
        LevelFrameCase{"Halted", 2, true, false, {}},
        LevelFrameCase{"HaltedEscape", 16, true, false, {}},
        LevelFrameCase{"Won", 2, false, true, {}}),
    [](const ::testing::TestParamInfo<LevelFrameCase>& info) { return std::string(info.param.name); });

TEST_F(GameFrameTest, FocusHeadingIsRecordedOnlyUnderDirectControl) {
    WH_EnterLevel(2);
    g_FocusBod = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 0, 0}, float(M_PI));
    g_FocusAiMode = 1;
    GAME_Frame();
    EXPECT_EQ(g_FocusHeading, 0.0f);
    g_FocusAiMode = 0;
    GAME_Frame();
    EXPECT_FLOAT_EQ(g_FocusHeading, float(M_PI));
    EXPECT_FLOAT_EQ(g_FocusHeadingDegrees, 180.0f);
}

TEST_F(GameFrameTest, ANewActiveSlotRetargetsTheCameraOnlyInAiMode) {
    WH_EnterLevel(2);
    g_FocusBod = WH_MakeCharacter(BOD_CLASS_PLAYER, {10, 20, 30});
    struct {
        int aiMode;
        bool halted;
        Calls retarget;
        int lastSlot;
    } cases[] = {{1, false, {"CAM_SetTarget(10.0,20.0,30.0)"}, 2}, {0, false, {}, 2}, {1, true, {}, 0}};
    for (const auto& c : cases) {
        g_FocusAiMode = c.aiMode;
        WH_SetHalted(c.halted);
        g_ActiveSlot = 2;
        g_LastActiveSlot = 0;
        EXPECT_EQ(WH_Calls(LevelFrame(), "CAM_SetTarget"), c.retarget) << "ai mode " << c.aiMode;
        EXPECT_EQ(g_LastActiveSlot, c.lastSlot);
    }
}

TEST_F(GameFrameTest, UpdatePollsThenRunsTheInterfaceOrTheNetworkStep) {
    INP_SetCallTrace([](const char* entry) { TRC_Trace(entry); });
    size_t mark = WH_TraceMark();
    EXPECT_EQ(GAME_Update(), 1);
    EXPECT_EQ(WH_TraceSince(mark), (Calls{"GAME_Update", "INP_Poll", "GUI_Tick"}));
    WH_SetNetworkGame(true, 0);
    mark = WH_TraceMark();
    EXPECT_EQ(GAME_Update(), 1);
    EXPECT_EQ(WH_TraceSince(mark), (Calls{"GAME_Update", "INP_Poll", "MSG_FrameUpdate", "GUI_Tick"}));
    INP_SetCallTrace(nullptr);
}

TEST_F(GameFrameTest, TurningAPlayerByTheFramesTimeWrapsOnce) {
    Bod* player = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 0, 0});
    WH_SetPlayer(2, player, 2);
    const struct {
        float heading;
        int32_t frameMs;
        float rate;
        float expect;
    } cases[] = {
        {1.0f, 100, 2.0f, 1.2f},
        {6.2f, 100, 1.0f, 6.3f - 6.28318530718f},
        {0.05f, 100, -1.0f, 6.28318530718f - 0.05f},
        {3.0f, 0, 5.0f, 3.0f},
    };
    for (const auto& c : cases) {
        WH_Character(player)->heading = c.heading;
        g_GameClock.previousMs = 5000;
        g_GameClock.nowMs = 5000 + c.frameMs;
        ACT_TurnPlayer(2, c.rate);
        EXPECT_NEAR(WH_Character(player)->heading, c.expect, 1e-5f);
    }
    ACT_TurnPlayer(8, 1.0f);   // no such player
    ACT_TurnPlayer(-1, 1.0f);
    ACT_TurnPlayer(3, 1.0f);   // an empty slot
}

}  // namespace
