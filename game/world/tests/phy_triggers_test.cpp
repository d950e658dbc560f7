// Surface triggers: the level's bindings match the map's texture names without regard to case and
// only below texture number 512, whatever the names hold; the handlers hurt, kill, shock and carry
// as bound; poisoned tiles keep to their beat whatever the frame length.
#include <gtest/gtest.h>

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/calltrace.h"
#include "datakit/map_demo.h"
#include "datakit/map_data.h"
#include "common/game_clock.h"
#include "engine/landscape_query.h"
#include "engine/lnd.h"
#include "shell/snd.h"
#include "world/ai.h"
#include "world/bod.h"
#include "world/bod_record.h"
#include "world/character.h"
#include "world/game_frame.h"
#include "world/mdl_world.h"
#include "world/phy.h"
#include "world/phy_trigger_table.h"
#include "world_fixture.h"

namespace {

class TriggerTest : public WorldTest {
protected:
    void TearDown() override {
        if (own_) {
            g_Landscape = saved_;
            g_MapLoaded = savedLoaded_;
            LND_FreeLandscape(own_);
        }
        WorldTest::TearDown();
    }
    // A landscape of nothing but `count` textures, named by `name` (null: left empty).
    void Textures(int count, const std::function<void(int, char*)>& name) {
        own_ = LND_CreateLandscape();
        own_->textureCount = uint16_t(count);
        ASSERT_EQ(LND_AllocateArrays(own_), 1);
        for (int t = 1; t <= count; ++t)
            name(t, own_->textures[t].fileName);
        saved_ = g_Landscape;
        savedLoaded_ = g_MapLoaded;
        g_Landscape = own_;
        g_MapLoaded = 1;
    }
    static void Put(char* field, const char* text) { std::strncpy(field, text, LND_TEXTURE_NAME_SIZE - 1); }

    Landscape* own_ = nullptr;
    Landscape* saved_ = nullptr;
    int32_t savedLoaded_ = 0;
};

TEST_F(TriggerTest, BindingsMatchTextureNamesWithoutCase) {
    const std::vector<std::string> names = {"badwater.bmp", "ZGSPIKE1.BMP", "other.bmp", "ZgSpIkE2.bMp",
                                            "BADWATER.BMP", "zef_hori.bmp"};
    Textures(int(names.size()), [&](int t, char* field) { Put(field, names[size_t(t) - 1].c_str()); });
    struct Case {
        int level;
        uint32_t texture;
        bool floor, wall;
    };
    const Case cases[] = {
        {0, 1, true, false},   // deadly water, lower case
        {0, 2, false, true},   // spikes
        {0, 3, false, false},  // not bound
        {0, 4, false, true},   // mixed case
        {0, 5, false, false},  // the first match wins: texture 1 already holds "BADWATER.BMP"
        {0, 6, false, false},  // the fence is not a level-0 binding
        {3, 1, false, false},  {8, 2, false, false}, {11, 1, false, false},  // no lists
        {16, 1, true, false},  {16, 6, false, true},  // level 16 has its fence
        {13, 6, false, true},  {15, 6, false, true},  {14, 6, false, false},
        {9, 6, false, true},   {10, 6, false, false},
    };
    for (const Case& k : cases) {
        PHY_BindSurfaceTriggers(k.level);
        EXPECT_EQ(PHY_FloorTrigger(k.texture) != nullptr, k.floor) << k.level << "/" << k.texture;
        EXPECT_EQ(PHY_WallTrigger(k.texture) != nullptr, k.wall) << k.level << "/" << k.texture;
    }
    PHY_BindSurfaceTriggers(0);
    EXPECT_EQ(PHY_FloorTrigger(1), PHY_FloorTrigger(1)) << "stable";
    PHY_BindSurfaceTriggers(3);
    EXPECT_EQ(PHY_FloorTrigger(1), nullptr) << "cleared at every level start";
}

TEST_F(TriggerTest, HostileNamesAndNumbersBindNothing) {
    // Texture 600 is deadly water by name but lies outside the tables; the others are names that
    // only look like bindings.
    Textures(700, [](int t, char* field) {
        switch (t) {
        case 1: std::memset(field, 'A', LND_TEXTURE_NAME_SIZE); break;  // never terminated
        case 2: break;                                                    // empty
        case 3: Put(field, "BADWATER.BMPX"); break;                       // longer
        case 4: Put(field, "BADWATER.BM"); break;                         // shorter
        case 5: std::memcpy(field, "BADWATER.BMP", 12); std::memset(field + 12, 'X', LND_TEXTURE_NAME_SIZE - 12); break;
        case 600: Put(field, "BADWATER.BMP"); break;
        default: Put(field, "plain.bmp"); break;
        }
    });
    PHY_BindSurfaceTriggers(0);
    for (uint32_t t : {0u, 1u, 2u, 3u, 4u, 5u, 511u, 512u, 600u, 65535u})
        EXPECT_EQ(PHY_FloorTrigger(t), nullptr) << t;
}

TEST_F(TriggerTest, TheBindingTableNamesEveryLevel) {
    ASSERT_EQ(kPhyLevelBindings.size(), 17u);
    for (int level : {3, 8, 11}) {
        EXPECT_TRUE(kPhyLevelBindings[size_t(level)].floor.empty());
        EXPECT_TRUE(kPhyLevelBindings[size_t(level)].wall.empty());
    }
    for (const PhyLevelBindings& level : kPhyLevelBindings)
        for (auto list : {level.floor, level.wall})
            for (const PhyTriggerBinding& b : list)
                EXPECT_LT(std::strlen(b.texture), size_t(LND_TEXTURE_NAME_SIZE));
}

// Characters on trigger floors and against trigger walls.
class HandlerTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        WH_AddModel(WH_Skinned("graphics\\models\\walker.qkm", {"root"}));
    }
    void TearDown() override {
        SND_SetCallTrace(nullptr);
        WorldTest::TearDown();
    }
    void World(int level, const std::string& floorTexture, const std::string& wallTexture = "") {
        WhFloor floor{-1000, -1000, 1000, 1000, 0};
        floor.texture = floorTexture;
        WhWall wall{-1000, 100, 1000, 100, 0, 200};
        wall.texture = wallTexture;
        WH_BuildLandscape({floor}, {wall});
        g_LevelNumber = level;
        PHY_BindSurfaceTriggers(level);
        SND_SetCallTrace([](const char* entry) { TRC_Trace(entry); });
    }
    Bod* Walker(float z, float heading, float health = 64.0f) {
        Bod* bod = WH_MakeCharacter(BOD_CLASS_PLAYER, {0.0f, 0.0f, z}, heading, health);
        WH_GiveModel(bod, "graphics\\models\\walker.qkm");
        CharacterControl* c = WH_Character(bod);
        const Vec3 p = BOD_PositionOf(c);
        c->surface = uint32_t(LND_LocateSurface(0, &p));
        MDL_SetHeading(c, heading);
        WH_Ai(bod)->lastMoveMs = g_GameClock.nowMs;
        return bod;
    }
    int Step(Bod* bod, float distance, int ms = 20) {
        WH_Ai(bod)->speed = distance / (float(ms) * 0.001f * 25.6f);
        g_GameClock.nowMs += ms;
        return PHY_MoveCharacter(bod);
    }
    static std::vector<std::string> Calls(const std::string& prefix) {
        std::vector<std::string> out;
        for (const std::string& entry : TRC_TraceLog())
            if (entry.rfind(prefix, 0) == 0)
                out.push_back(entry);
        return out;
    }
};

TEST_F(HandlerTest, DeadlyWaterKillsWithKindEight) {
    World(0, "BadWater.bmp");
    struct Case {
        float health;
        size_t kills;
    };
    for (const Case& k : {Case{64.0f, 1}, Case{200.0f, 0}}) {
        TRC_TraceClear();
        Bod* bod = Walker(0, 0, k.health);
        EXPECT_EQ(Step(bod, 10.0f), 1) << "the water does not stop the move";
        EXPECT_EQ(WH_Ai(bod)->deathKind, 8);
        EXPECT_EQ(Calls("ACT_SurfaceDeath").size(), 1u);
        EXPECT_EQ(Calls("ACT_KillCharacter").size(), k.kills) << k.health;
        if (k.kills) {
            EXPECT_NE(Calls("ACT_KillCharacter")[0].find(",8,1"), std::string::npos);
        }
        bod->active = 0;
    }
}

// A wall of spikes along x at z = 100; the character walks into it forwards or backs into it.
TEST_F(HandlerTest, SpikesHurtByFacingAndStopTheMove) {
    struct Case {
        float heading;  // 0 faces +z (the wall), pi faces away
        float health;
        int kind;
        bool killed;
        const char* recoil;
    };
    const float pi = 3.14159265f;
    const Case cases[] = {{0.0f, 64.0f, 3, false, "recoil forward"},
                          {pi, 64.0f, 4, false, "recoil back"},
                          {0.0f, 15.0f, 3, true, nullptr},
                          {pi, 15.0f, 4, true, nullptr}};
    for (const Case& k : cases) {
        WH_Reset();
        WH_AddModel(WH_Skinned("graphics\\models\\walker.qkm", {"root"}, 50.0f));
        World(0, "", "zgspike1.bmp");
        TRC_TraceClear();
        Bod* bod = Walker(60, k.heading, k.health);
        // Backing into the wall: the step runs against the heading.
        EXPECT_EQ(Step(bod, k.heading == 0.0f ? 20.0f : -20.0f), 0);
        EXPECT_FLOAT_EQ(BOD_PositionOf(WH_Character(bod)).z, 60.0f);
        ASSERT_EQ(Calls("ACT_SurfaceDeath").size(), 1u) << k.heading;
        EXPECT_NE(Calls("ACT_SurfaceDeath")[0].find(",20," + std::to_string(k.kind)), std::string::npos)
            << Calls("ACT_SurfaceDeath")[0];
        EXPECT_EQ(Calls("SND_PlayAt(0x10047,70)").size(), 1u);
        EXPECT_EQ(Calls("ACT_KillCharacter").size(), k.killed ? 1u : 0u);
        EXPECT_EQ(WH_Character(bod)->head.action, k.killed ? 0 : 99);
        EXPECT_EQ(Calls("AI_Release").size(), k.killed ? 0u : 1u);
        EXPECT_EQ(Calls("AI_OnBumpWall").size(), 1u);
        WH_Release();
    }
}

TEST_F(HandlerTest, FencesShockAndTankBottomsCarry) {
    struct Case {
        int level;
        const char* floor;
        const char* wall;
        float step;
        int action;
        int moved;
    };
    const Case cases[] = {{16, "", "ZELCGATE.BMP", 20.0f, 24, 0},
                          {14, "", "zefenc2.bmp", 20.0f, 24, 0},
                          {15, "TANKBTM.BMP", "", 10.0f, 69, 1}};
    for (const Case& k : cases) {
        WH_Reset();
        WH_AddModel(WH_Skinned("graphics\\models\\walker.qkm", {"root"}));
        World(k.level, k.floor, k.wall);
        // Tank bottoms are met far from the wall.
        Bod* bod = Walker(*k.wall ? 60.0f : -500.0f, 0.0f);
        EXPECT_EQ(Step(bod, k.step), k.moved) << k.level;
        EXPECT_EQ(WH_Character(bod)->head.action, k.action) << k.level;
        WH_Release();
    }
}

// Poisoned tiles: 2 damage per 500 ms, so 8 in the first 2000 ms, whatever the frames.
TEST_F(HandlerTest, PoisonedTilesKeepTheirBeatWhateverTheFrameLength) {
    for (int ms : {10, 20, 30, 40, 70}) {
        WH_Reset();
        WH_AddModel(WH_Skinned("graphics\\models\\walker.qkm", {"root"}));
        World(13, "TILEDEAD.BMP");
        Bod* bod = Walker(0, 0.0f);
        for (int t = 0; t < 2000; t += ms)
            Step(bod, 0.0f, ms);
        EXPECT_FLOAT_EQ(WH_Ai(bod)->health, 64.0f - 8.0f) << ms << " ms frames";
        WH_Release();
    }
}

TEST_F(HandlerTest, MaterialsOutsideTheTableHaveNoTrigger) {
    World(0, "BADWATER.BMP");
    EXPECT_EQ(PHY_SurfaceHasFloorTrigger(1), 1);
    g_Landscape->surfaces[1].material = uint16_t(g_Landscape->materialCount + 1);
    EXPECT_EQ(PHY_SurfaceHasFloorTrigger(1), 0);
    EXPECT_EQ(PHY_SurfaceHasFloorTrigger(0), 0);
    EXPECT_EQ(PHY_SurfaceHasFloorTrigger(g_Landscape->surfaceCount + 1), 0);
}

// The queries by surface and by character: a floor textured with spikes answers a wall query.
TEST_F(HandlerTest, QueriesFindTheHandlersOfASurfacesTexture) {
    World(0, "ZGSPIKE1.BMP");
    Bod* bod = Walker(0, 0.0f);
    Bod* noAi = WH_MakeCharacter(BOD_CLASS_NPC, {500.0f, 0.0f, 500.0f});
    EXPECT_EQ(PHY_HasFloorTrigger(bod), 0) << "spikes are a wall binding";
    EXPECT_EQ(PHY_CallWallTrigger(noAi, 1), 0);
    EXPECT_TRUE(Calls("ACT_SurfaceDeath").empty());
    EXPECT_EQ(PHY_CallWallTrigger(bod, 1), 1);
    EXPECT_EQ(Calls("ACT_SurfaceDeath").size(), 1u);
    World(0, "waterpit.BMP");
    Bod* wet = Walker(0, 0.0f);
    EXPECT_EQ(PHY_HasFloorTrigger(wet), 1);
    EXPECT_EQ(PHY_CallWallTrigger(wet, 1), 0) << "water is a floor binding";
}

// The demo maps carry every texture name a level binds, so that level content can lay each one
// on a face; and they carry no trigger name that no level binds.
TEST(TriggerTextures, TheDemoMapsListEveryBoundName) {
    const dk::MapData map = dk::DemoMapData();
    auto listed = [&](const char* name) {
        return std::any_of(map.textures.begin(), map.textures.end(),
                           [&](const dk::MapTexture& t) { return strcasecmp(t.fileName.c_str(), name) == 0; });
    };
    std::vector<std::string> bound;
    for (const PhyLevelBindings& level : kPhyLevelBindings)
        for (const auto* list : {&level.floor, &level.wall})
            for (const PhyTriggerBinding& b : *list) {
                EXPECT_TRUE(listed(b.texture)) << b.texture;
                bound.push_back(b.texture);
            }
    for (const char* name : dk::kDemoTriggerTextures)
        EXPECT_NE(std::find(bound.begin(), bound.end(), std::string(name)), bound.end()) << name << " is bound nowhere";
}

}  // namespace
