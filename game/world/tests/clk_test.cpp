// The game clock: the frame delta from the tick count (first frame, gaps over 1000 ms, halted play,
// the tick count's wrap after 49.7 days), the level milliseconds that exclude halts, and the level
// start.
#include <gtest/gtest.h>

#include <string>

#include "engine/mdl.h"
#include "world/ptc.h"
#include "common/calltrace.h"
#include "ui/gui.h"
#include "world/clk.h"
#include "world_fixture.h"

namespace {

struct TickCase {
    const char* name;
    bool started;      // the clock has a time base (a level start or an earlier tick)
    uint32_t previous; // the tick count of the previous frame
    uint32_t now;
    bool halted;
    int32_t deltaMs;
    int32_t levelMs;   // after the tick, from 1000
};

void PrintTo(const TickCase& c, std::ostream* os) {
    *os << c.name;
}

class ClockTickTest : public WorldTest, public ::testing::WithParamInterface<TickCase> {};

TEST_P(ClockTickTest, DeltaAndLevelTime) {
    const TickCase& c = GetParam();
    WH_EnterLevel(2);
    WH_SetHalted(c.halted);
    g_ClockStarted = c.started;
    g_GameClock.nowMs = int32_t(c.previous);
    g_GameClock.deltaMs = 7;
    g_LevelMs = 1000;
    WH_SetTicks(c.now);
    const size_t mark = WH_TraceMark();
    Matrix34 view;
    MTH_MatrixIdentity(&view);
    CLK_Tick(&view);
    EXPECT_EQ(g_GameClock.deltaMs, c.deltaMs);
    EXPECT_EQ(g_LevelMs, c.levelMs);
    EXPECT_FLOAT_EQ(g_GameClock.deltaSeconds, c.halted ? 0.0f : float(c.deltaMs) * 0.001f);
    EXPECT_EQ(uint32_t(g_GameClock.nowMs), c.halted ? c.previous : c.now);
    EXPECT_EQ(WH_TraceSince(mark), c.halted ? std::vector<std::string>{} : std::vector<std::string>{"PTC_UpdateAndDraw"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClockTickTest,
    ::testing::Values(
        TickCase{"FirstFrameEver", false, 0, 7000, false, 50, 1050},
        TickCase{"FirstFrameAtTickZero", false, 0, 0, false, 50, 1050},
        TickCase{"Ordinary", true, 1000, 1040, false, 40, 1040},
        TickCase{"SameMillisecond", true, 1000, 1000, false, 0, 1000},
        TickCase{"Gap999", true, 1000, 1999, false, 999, 1999},
        TickCase{"Gap1000", true, 1000, 2000, false, 1000, 2000},
        TickCase{"Gap1001", true, 1000, 2001, false, 50, 1050},
        TickCase{"Gap5000", true, 1000, 6000, false, 50, 1050},
        TickCase{"PreviousAtTickZero", true, 0, 40, false, 40, 1040},
        TickCase{"AcrossTheWrap", true, 0xFFFFFF00u, 0x100u, false, 512, 1512},
        TickCase{"LongGapAcrossTheWrap", true, 0xFFFFF000u, 0x1000u, false, 50, 1050},
        TickCase{"NearTheWrap", true, 0x7FFFFFF0u, 0x80000010u, false, 32, 1032},
        TickCase{"Halted", true, 1000, 1040, true, 7, 1000}),
    [](const ::testing::TestParamInfo<TickCase>& info) { return std::string(info.param.name); });

TEST_F(WorldTest, LevelStartSetsTheTimeBaseAndALongLoadCountsAs50) {
    g_ModelShadows = 1;
    g_ModelSmoothLighting = 0;
    WH_SetTicks(1000);
    const size_t mark = WH_TraceMark();
    CLK_InitLevel();
    EXPECT_EQ(g_GameClock.gravity, 1000.0f);
    EXPECT_EQ(g_GameClock.nowMs, 1000);
    EXPECT_EQ(g_GameClock.levelStartMs, 1000);
    EXPECT_EQ(g_ModelShadows, 0);
    EXPECT_EQ(g_ModelSmoothLighting, 1);
    EXPECT_EQ(WH_TraceSince(mark), std::vector<std::string>{"PTC_ResetPools"});
    Matrix34 identity;
    MTH_MatrixIdentity(&identity);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(g_PtcMatrix.m[i], identity.m[i]);

    WH_EnterLevel(1);
    WH_SetTicks(9000);  // the level took eight seconds to load
    CLK_Tick(&identity);
    EXPECT_EQ(g_GameClock.deltaMs, 50);
    EXPECT_EQ(g_GameClock.levelStartMs, 1000) << "the landscape clock includes the load";
}

TEST_F(WorldTest, HaltsFreezeTheClockAndLevelTimeResumesWithOneShortFrame) {
    Matrix34 view;
    MTH_MatrixIdentity(&view);
    WH_EnterLevel(3);
    WH_SetTicks(100);
    CLK_InitLevel();
    g_LevelMs = 0;
    int32_t level = 0;
    for (int frame = 0; frame < 5; ++frame) {
        WH_AdvanceTicks(20);
        CLK_Tick(&view);
        level += 20;
    }
    EXPECT_EQ(g_LevelMs, level);
    WH_SetHalted(true);
    for (int frame = 0; frame < 150; ++frame) {  // three seconds of halted frames
        WH_AdvanceTicks(20);
        CLK_Tick(&view);
    }
    EXPECT_EQ(g_LevelMs, level);
    EXPECT_EQ(g_GameClock.nowMs, 200);
    WH_SetHalted(false);
    WH_AdvanceTicks(20);
    CLK_Tick(&view);
    EXPECT_EQ(g_GameClock.deltaMs, 50);
    EXPECT_EQ(g_LevelMs, level + 50);
    EXPECT_EQ(g_GameClock.nowMs - g_GameClock.levelStartMs, 3120) << "the landscape clock runs on";
}

}  // namespace
