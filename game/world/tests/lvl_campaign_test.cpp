// The level's end and the campaign: the outcome is ignored while the level settles, the request
// is stored for the interface; a won single-player level applies its rule to the campaign (from
// stated start states), keeps the team in that level's group, and the factory and the escape end
// their chapters; a lost or multiplayer level leaves the campaign alone.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "common/calltrace.h"
#include "common/match.h"
#include "ui/fe.h"
#include "ui/fe_main_menu.h"
#include "ui/gui.h"
#include "ui/hud_records.h"
#include "world/game_state.h"
#include "world/lvl.h"
#include "world_fixture.h"

namespace {

using Progress = std::array<int, 17>;  // by level id; 16 is the escape flag
using Calls = std::vector<std::string>;

void SetProgress(const Progress& p) {
    for (int level = 0; level < 17; ++level)
        FE_SetLevelProgress(level, p[level]);
}

Progress GetProgress() {
    Progress p{};
    for (int level = 0; level < 17; ++level)
        p[level] = FE_GetLevelProgress(level);
    return p;
}

Calls Matching(const std::string& prefix) {
    Calls out;
    for (const std::string& e : TRC_TraceLog())
        if (e.rfind(prefix, 0) == 0)
            out.push_back(e);
    return out;
}

class CampaignTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        SetProgress({});
        g_LevelEndRequest = {1, 1, 7};
        for (int m = 0; m < HUD_TEAM_SLOTS; ++m) {
            g_TeamSlots[m].characterId = 40 + m;
            g_TeamSlots[m].health = 90 - m;
            for (int e = 0; e < 9; ++e) {
                g_TeamSlots[m].carriedTypes[e] = e == 0 ? 149 : -1;
                g_TeamSlots[m].carriedValues[e] = e == 0 ? 3 : 0;
            }
        }
    }
    void TearDown() override {
        g_ChosenLevel = -1;
        WorldTest::TearDown();
    }

    static Progress Win(int level, const Progress& start) {
        SetProgress(start);
        g_ChosenLevel = level;
        LVL_ProgressCampaign(1);
        return GetProgress();
    }
};

struct RuleCase {
    const char* name;
    int won;
    Progress start;
    Progress expected;
};

// 0 locked, 1 open, 2 done. Columns: levels 0..15, then the escape flag.
const RuleCase kRules[] = {
    {"graveyard opens town and farm, completes the drive-in",
     0, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0}, {2, 1, 1, 2, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0}},
    {"town with farm done opens the mall",
     1, {2, 1, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {2, 2, 2, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"town with farm only open opens nothing",
     1, {2, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {2, 2, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"farm with town done opens the mall",
     2, {2, 2, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {2, 2, 2, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"drive-in alone opens nothing",
     3, {2, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {2, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"drive-in with town and farm done opens the mall",
     3, {2, 2, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {2, 2, 2, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"mall needs hydro and hospital for the factory",
     4, {0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 0, 0, 1, 0, 0, 0, 0}, {0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 1, 0, 0, 0, 0}},
    {"mall with hydro and hospital done opens the factory",
     4, {0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 0, 0, 2, 0, 0, 0, 0}, {0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 2, 0, 0, 1, 0}},
    {"airport opens sports ground and hotel, completes the campground",
     5, {0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 2, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"sports ground with hotel done opens the hydro plant",
     6, {0, 0, 0, 0, 0, 2, 1, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 2, 2, 2, 2, 1, 0, 0, 0, 0, 0, 0, 0}},
    {"hotel with sports ground open opens nothing",
     7, {0, 0, 0, 0, 0, 2, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 2, 1, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"campground with sports ground and hotel done opens the hydro plant",
     8, {0, 0, 0, 0, 0, 2, 2, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 2, 2, 2, 2, 1, 0, 0, 0, 0, 0, 0, 0}},
    {"hydro with mall and hospital done opens the factory",
     9, {0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0}, {0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 2, 0, 0, 1, 0}},
    {"docks opens labs and security, completes training, relocks an open hospital",
     10, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 0, 1, 1, 0, 0}},
    {"training with labs and security done opens the hospital",
     11, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 1, 0, 2, 2, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 1, 2, 2, 0, 0}},
    {"hospital with mall done but hydro open opens nothing",
     12, {0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0}, {0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0}},
    {"hospital with mall and hydro done opens the factory",
     12, {0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 1, 0, 0, 0, 0}, {0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 2, 0, 0, 1, 0}},
    {"labs with security done opens the hospital",
     13, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 0, 1, 2, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 1, 2, 2, 0, 0}},
    {"security with labs open opens nothing; the escape flag is cleared",
     14, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 0, 1, 1, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 0, 1, 2, 0, 0}},
    {"escape clears the escape flag",
     16, {0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 2, 0, 0, 2, 1}, {0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 2, 0, 0, 2, 0}},
};

TEST_F(CampaignTest, EachWonLevelAppliesItsRule) {
    for (const RuleCase& c : kRules) {
        EXPECT_EQ(Win(c.won, c.start), c.expected) << c.name;
        EXPECT_EQ(g_LevelEndRequest.pending, 0) << c.name;
        EXPECT_EQ(g_LevelEndRequest.value, -1) << c.name;
    }
}

TEST_F(CampaignTest, LostMultiplayerOrUnchosenLevelsLeaveTheCampaign) {
    const Progress start = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
    struct Case {
        const char* name;
        int won;
        bool multiplayer;
        int chosen;
    };
    for (const Case& c : {Case{"lost", 0, false, 0}, Case{"multiplayer", 1, true, 0},
                          Case{"no level chosen", 1, false, -1}, Case{"level out of range", 1, false, 17}}) {
        SetProgress(start);
        g_Match.mpGameRunning = c.multiplayer ? 1 : 0;
        g_ChosenLevel = c.chosen;
        g_LevelEndRequest = {1, c.won, 3};
        TRC_TraceClear();
        LVL_RunPendingLevelEnd(c.won, 3);
        EXPECT_EQ(GetProgress(), start) << c.name;
        EXPECT_EQ(Matching("FE_"), Calls{}) << c.name;
        EXPECT_EQ(g_LevelEndRequest.pending, 0) << c.name;
        EXPECT_EQ(g_LevelEndRequest.won, 0) << c.name;
        EXPECT_EQ(g_LevelEndRequest.value, -1) << c.name;
        EXPECT_EQ(g_LevelLastWon, c.won) << c.name;
    }
    g_Match.mpGameRunning = 0;
}

TEST_F(CampaignTest, AWonLevelKeepsTheTeamInItsGroupAndOpensTheTeamScreen) {
    CampaignMember before = g_CampaignTeams[6][1];
    Win(5, {0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    for (int m = 0; m < 4; ++m) {
        const CampaignMember& member = g_CampaignTeams[5][m];
        EXPECT_EQ(member.character, 40 + m);
        EXPECT_EQ(member.status, 90 - m);
        EXPECT_EQ(member.items[0], 149);
        EXPECT_EQ(member.counts[0], 3);
        EXPECT_EQ(member.items[8], -1);
    }
    EXPECT_EQ(g_CampaignTeams[6][1].character, before.character) << "another level's group is untouched";
    EXPECT_EQ(Matching("FE_"), Calls{"FE_OpenTeamStatus"});
}

TEST_F(CampaignTest, TheFactoryStartsTheEscapeWithATeamTheSaveKeeps) {
    for (int m = 0; m < 4; ++m)
        g_CampaignTeams[LVL_ESCAPE_GROUP][m].character = -1;
    TRC_TraceClear();
    // The escape level starts at once; without its map that start is fatal.
    Progress after{};
    std::string err;
    EXPECT_TRUE(EndsTheProcess([&] { after = Win(15, {0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 2, 0, 0, 1, 0}); }, &err));
    EXPECT_NE(err.find("esc7-1.zlm"), std::string::npos) << err;
    EXPECT_EQ(FE_GetLevelProgress(15), 2);
    EXPECT_EQ(FE_GetLevelProgress(16), 1);
    EXPECT_EQ(Matching("FE_"), (Calls{"FE_ResetMapButtons", "FE_StartSelectedLevel"}));
    EXPECT_LT(LVL_ESCAPE_GROUP, FE_CAMPAIGN_LEVELS) << "the save file keeps groups 0..15 only";
    EXPECT_EQ(g_CampaignTeams[LVL_ESCAPE_GROUP][2].character, 42);
}

TEST_F(CampaignTest, TheEscapeFinishesTheCampaign) {
    g_CampaignFinished = 0;
    TRC_TraceClear();
    Win(16, {0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 2, 0, 0, 2, 1});
    EXPECT_EQ(g_CampaignFinished, 1);
    EXPECT_EQ(Matching("FE_"), Calls{}) << "no team screen and no next level";
}

struct OutcomeCase {
    int frames;
    int won;
    int expectWon, expectFailed;
    bool stored;
};

TEST_F(CampaignTest, TheOutcomeWaitsForTheFifthLevelFrame) {
    const OutcomeCase cases[] = {
        {0, 1, 0, 0, false}, {4, 1, 0, 0, false}, {4, 0, 0, 0, false},
        {5, 1, 1, 0, true},  {5, 0, 0, 1, true},  {50, 1, 1, 0, true},
    };
    for (const OutcomeCase& c : cases) {
        g_Match.levelWon = 0;
        g_Match.levelFailed = 0;
        g_Match.levelEndTime = 9;
        g_Match.halted = 1;
        g_LevelEndRequest = {0, 0, -1};
        g_LevelFrameCount = c.frames;
        TRC_TraceClear();
        LVL_FinishLevel(c.won, 4);
        EXPECT_EQ(g_Match.levelWon, c.expectWon) << c.frames << "," << c.won;
        EXPECT_EQ(g_Match.levelFailed, c.expectFailed) << c.frames << "," << c.won;
        EXPECT_EQ(g_LevelEndRequest.pending, c.stored ? 1 : 0) << c.frames;
        if (c.stored) {
            EXPECT_EQ(g_LevelEndRequest.won, c.won);
            EXPECT_EQ(g_LevelEndRequest.value, 4);
            EXPECT_EQ(g_Match.halted, 0u);
            EXPECT_EQ(g_Match.levelEndTime, c.won ? 0 : 9) << "a failure keeps counting";
        }
        EXPECT_EQ(Matching("ACT_StopPlayersAtLevelEnd").size(), 1u) << "the players stop either way";
    }
}

}  // namespace
