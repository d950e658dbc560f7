// The level's timed events: level 13's list as the level plays (each event once, at its time, the
// out-of-order last one all the same), single player only, and the fired marks set and cleared.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/game_clock.h"
#include "world/game_frame.h"
#include "world/lvl_placement.h"
#include "world_fixture.h"

namespace {

class TimedEventsTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        g_LevelNumber = 13;
        g_GameClock.levelStartMs = 1000;
        LVL_ResetTimedEvents();
    }
    void TearDown() override {
        g_LevelNumber = 13;
        LVL_ResetTimedEvents();
        WorldTest::TearDown();
    }
    // The sounds and level events of running the events at level time `ms`.
    static std::vector<std::string> RunAt(int32_t ms) {
        g_GameClock.nowMs = g_GameClock.levelStartMs + ms;
        const size_t mark = WH_TraceMark();
        LVL_RunTimedEvents();
        std::vector<std::string> calls = WH_Calls(WH_TraceSince(mark), "SND_Play");
        for (const std::string& e : WH_Calls(WH_TraceSince(mark), "LVL_Level13Event"))
            calls.push_back(e);
        return calls;
    }
};

TEST_F(TimedEventsTest, LevelThirteenFiresEachEventOnceAtItsTime) {
    struct Case {
        int32_t ms;
        std::vector<std::string> calls;
    } const cases[] = {
        {4999, {}},
        {5000, {"SND_Play(0xF0003)"}},
        {5020, {}},
        {120000, {"SND_Play(0xF0003)", "SND_Play(0xF0003)"}},  // 60000 and 120000 in one frame
        {540000, {"SND_Play(0xF0003)", "SND_Play(0xF0003)", "SND_Play(0xF0003)", "SND_Play(0xF0003)",
                  "SND_Play(0xF0003)", "SND_Play(0xF0003)", "LVL_Level13Event(1)"}},
        {629500, {"SND_Play(0xF0004)", "SND_Play(0xF0005)", "SND_Play(0xF0006)", "SND_Play(0xF0007)",
                  "SND_Play(0xF0008)", "SND_Play(0xF0009)", "SND_Play(0xF000A)", "SND_Play(0xF000B)"}},
        {633000, {"SND_Play(0x10023)", "LVL_Level13Event(2)"}},
        {636000, {"SND_Play(0x10023)", "SND_Play(0x10023)"}},
        {900000, {}},
    };
    int32_t count = 0;
    for (const LevelTimedEvent* e = LVL_TimedEvents(13); e->timeMs > 0.0f; ++e)
        ++count;
    EXPECT_EQ(count, 22);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ms);
        EXPECT_EQ(RunAt(c.ms), c.calls);
    }
}

TEST_F(TimedEventsTest, OnlySinglePlayerAndOnlyLevelThirteen) {
    WH_SetNetworkGame(true, 0);
    EXPECT_TRUE(RunAt(10000).empty());
    WH_SetSinglePlayer();
    for (int level : {0, 12, 14, 16, -1, 99}) {
        g_LevelNumber = level;
        EXPECT_TRUE(RunAt(10000).empty()) << level;
        EXPECT_EQ(LVL_TimedEvents(level), nullptr);
    }
    g_LevelNumber = 13;
    EXPECT_EQ(RunAt(10000), std::vector<std::string>{"SND_Play(0xF0003)"});
}

TEST_F(TimedEventsTest, MarkedEventsStayQuietUntilReset) {
    LVL_MarkTimedEventsFired();
    EXPECT_TRUE(RunAt(700000).empty());
    LVL_ResetTimedEvents();
    EXPECT_EQ(RunAt(5000), std::vector<std::string>{"SND_Play(0xF0003)"});
}

}  // namespace
