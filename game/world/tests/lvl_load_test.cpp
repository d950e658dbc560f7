// Level load and unload: the steps in their order with g_LevelLoaded 0 until the last, player 0
// placed on surface 1 and the sound groups of the level; the release in its order leaving no
// map and no bods; a missing map fatal with its name; a level id outside the table refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/app_services.h"
#include "common/calltrace.h"
#include "datakit/map_demo.h"
#include "datakit/map_zlm.h"
#include "engine/landscape_query.h"
#include "engine/lnd.h"
#include "world/bod.h"
#include "world/character.h"
#include "world/game_frame.h"
#include "world/game_state.h"
#include "world/lvl.h"
#include "world/lvl_table.h"
#include "world_fixture.h"

namespace fs = std::filesystem;

namespace {

using Calls = std::vector<std::string>;

// The level steps that report into the trace, in the order the load and unload must run them.
const Calls kLoadSteps = {"SND_LoadGroup(0x10000)", "SND_LoadGroup(0x20000)", "EXP_LoadFrames", "AI_InitLevel(0)",
                          "LVL_LoadObjects(0)", "LVL_ResetTimedEvents"};
const Calls kUnloadSteps = {"SND_StopAllEmitters", "EXP_FreeAll", "SND_ReleaseGroup(0x20000)",
                            "SND_ReleaseGroup(0x10000)", "AI_Shutdown"};

Calls Only(const Calls& names) {
    Calls out;
    for (const std::string& e : TRC_TraceLog())
        if (std::find(names.begin(), names.end(), e) != names.end())
            out.push_back(e);
    return out;
}

class LevelLoadTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        fs::create_directories("graphics/maps");
        ASSERT_TRUE(dk::WriteZlm("graphics/maps/grav20-3.zlm", dk::DemoMapData()));
        for (int i = 0; i < 8; ++i) {
            characterIds_[i] = -1;
            healths_[i] = 100;
        }
        for (auto& record : records_)
            for (int32_t& word : record)
                word = -1;
    }
    void TearDown() override {
        LVL_UnloadLevel();
        WorldTest::TearDown();
    }
    int Load(int level) { return LVL_LoadLevel(level, characterIds_, healths_, records_); }

    int32_t characterIds_[8];
    int32_t healths_[8];
    int32_t records_[4][18];
};

TEST_F(LevelLoadTest, LoadRunsItsStepsInOrderAndMarksTheLevelLoadedLast) {
    g_LevelLoaded = 1;
    g_LevelFrameCount = 50;
    std::vector<uint32_t> loadedDuring;
    TRC_SetCallHook([&](const std::string&) { loadedDuring.push_back(g_LevelLoaded); });
    TRC_TraceClear();
    ASSERT_EQ(Load(0), 1);
    TRC_SetCallHook(nullptr);
    EXPECT_EQ(Only(kLoadSteps), kLoadSteps);
    ASSERT_FALSE(loadedDuring.empty());
    EXPECT_TRUE(std::all_of(loadedDuring.begin(), loadedDuring.end(), [](uint32_t v) { return v == 0; }));
    EXPECT_EQ(g_LevelLoaded, 1u);
    EXPECT_EQ(g_LevelSoundGroup, 0x20000u);
    EXPECT_EQ(APP_GetLevelFrameCount(), 0) << "a new level starts counting again";
    ASSERT_NE(g_Landscape, nullptr);
    EXPECT_EQ(g_FocusBod, g_PlayerBods[0]);
    EXPECT_EQ(g_LevelNumber, 0);
}

TEST_F(LevelLoadTest, UnloadReleasesInOrderAndOnlyOnce) {
    ASSERT_EQ(Load(0), 1);
    TRC_TraceClear();
    LVL_UnloadLevel();
    EXPECT_EQ(Only(kUnloadSteps), kUnloadSteps);
    EXPECT_EQ(g_LevelLoaded, 0u);
    EXPECT_EQ(g_Landscape, nullptr);
    EXPECT_EQ(g_WorldBods.head, nullptr);
    TRC_TraceClear();
    LVL_UnloadLevel();
    EXPECT_EQ(Only(kUnloadSteps), Calls{}) << "nothing is loaded";
}

TEST_F(LevelLoadTest, AMissingMapIsFatalWithItsName) {
    fs::remove("graphics/maps/grav20-3.zlm");
    std::string err;
    EXPECT_TRUE(EndsTheProcess([&] { Load(0); }, &err));
    EXPECT_NE(err.find("Unable to open map file: graphics\\maps\\grav20-3.zlm"), std::string::npos) << err;
}

TEST_F(LevelLoadTest, ALevelOutsideTheTableIsRefused) {
    for (int level : {-1, 17, 255}) {
        TRC_TraceClear();
        EXPECT_EQ(Load(level), 0) << level;
        EXPECT_TRUE(TRC_TraceLog().empty()) << level;
        EXPECT_EQ(g_LevelLoaded, 0u);
    }
}

TEST_F(LevelLoadTest, TheTableFollowsTheSoundGroupRule) {
    for (int level = 0; level < LVL_LEVEL_COUNT; ++level) {
        EXPECT_EQ(kLevelTable[level].soundGroup, uint32_t(level + 2) << 16) << level;
        EXPECT_EQ(kLevelTable[level].palette == nullptr, level == 3 || level == 8 || level == 11) << level;
    }
    EXPECT_STREQ(kLevelTable[1].mapFile, "graphics\\maps\\town2-4.Zlm");
    EXPECT_EQ(LVL_TableEntry(17), nullptr);
}

}  // namespace
