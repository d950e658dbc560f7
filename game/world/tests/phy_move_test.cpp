// Character movement: walls met head-on stop the step and leave the position as it was, glancing
// approaches slide along the wall, steps up to the level's step height are climbed, the level's
// wall threshold decides which object faces block, flows and belts carry a standing character by
// the same distance per second whatever the frame length, the level-2 river sweeps per frame, and
// the fixed lists (16 objects per surface, 32 surfaces per query) take no more than they hold.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/calltrace.h"
#include "common/game_clock.h"
#include "engine/lnd.h"
#include "world/ai.h"
#include "world/bod.h"
#include "world/bod_record.h"
#include "world/character.h"
#include "world/game_frame.h"
#include "world/phy.h"
#include "datakit/map_data.h"
#include "datakit/map_demo.h"
#include "datakit/map_zlm.h"
#include "engine/landscape_query.h"
#include "engine/map_load.h"
#include "world/mdl_world.h"
#include "world_fixture.h"

namespace {

constexpr float kPi = 3.14159265f;

class MoveTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        WH_AddModel(WH_Skinned("graphics\\models\\walker.qkm", {"root"}));
    }
    void Level(int level) {
        g_LevelNumber = level;
        PHY_BindSurfaceTriggers(level);
    }
    // A character standing at (x, ground, z) facing `heading` (0 along +z).
    Bod* Walker(float x, float z, float heading = 0.0f) {
        Bod* bod = WH_MakeCharacter(BOD_CLASS_PLAYER, {x, 0.0f, z}, heading, 64.0f);
        WH_GiveModel(bod, "graphics\\models\\walker.qkm");
        CharacterControl* c = WH_Character(bod);
        Vec3 p = BOD_PositionOf(c);
        c->surface = uint32_t(LND_LocateSurface(0, &p));
        p.y = float(LND_GetGroundHeight(&p, int32_t(c->surface)));
        BOD_SetPosition(c, p);
        MDL_SetHeading(c, heading);
        WH_Ai(bod)->lastMoveMs = g_GameClock.nowMs;
        return bod;
    }
    // One move of `ms` milliseconds at a forward speed giving `distance` units in that time.
    int Step(Bod* bod, float distance, int ms = 40) {
        AICharacter* ai = WH_Ai(bod);
        ai->speed = distance / (float(ms) * 0.001f * 25.6f);
        g_GameClock.nowMs += ms;
        return PHY_MoveCharacter(bod);
    }
    static Vec3 Where(Bod* bod) { return BOD_PositionOf(WH_Character(bod)); }
    static bool Called(const std::string& name) {
        for (const std::string& entry : TRC_TraceLog())
            if (entry.rfind(name, 0) == 0)
                return true;
        return false;
    }
};

TEST_F(MoveTest, OpenGroundMovesAlongTheHeadingAndReturnsOne) {
    WH_BuildLandscape({{-1000, -1000, 1000, 1000, 0}}, {});
    Level(0);
    Bod* bod = Walker(0, 0);
    EXPECT_EQ(Step(bod, 20.0f), 1);
    EXPECT_NEAR(Where(bod).x, 0.0f, 1e-3f);
    EXPECT_NEAR(Where(bod).z, 20.0f, 1e-3f);
}

TEST_F(MoveTest, StepOffTheLandscapeIsRefusedAndThePositionKept) {
    WH_BuildLandscape({{-100, -100, 100, 100, 0}}, {});
    Level(0);
    Bod* bod = Walker(0, 90);
    EXPECT_EQ(Step(bod, 30.0f), 0);
    EXPECT_FLOAT_EQ(Where(bod).z, 90.0f);
}

TEST_F(MoveTest, AnotherCharacterInTheWayStopsTheStep) {
    WH_BuildLandscape({{-1000, -1000, 1000, 1000, 0}}, {});
    Level(0);
    Bod* bod = Walker(0, 0);
    Walker(0, 100);
    EXPECT_EQ(Step(bod, 20.0f), 0);
    EXPECT_FLOAT_EQ(Where(bod).z, 0.0f);
    EXPECT_TRUE(Called("AI_OnBumpCharacter"));
}

// A wall along x at z = 100; the character walks towards it at an angle to the wall's normal.
TEST_F(MoveTest, WallsStopHeadOnStepsAndGlancingStepsSlide) {
    struct Case {
        float degrees;  // heading away from +z
        bool slides;
    };
    const Case cases[] = {{0.0f, false}, {30.0f, false}, {50.0f, true}, {70.0f, true}};
    for (const Case& k : cases) {
        WH_Reset();
        WH_AddModel(WH_Skinned("graphics\\models\\walker.qkm", {"root"}));
        WH_BuildLandscape({{-1000, -1000, 1000, 1000, 0}}, {{-1000, 100, 1000, 100, 0, 200}});
        Level(0);
        Bod* bod = Walker(0, 60, k.degrees * kPi / 180.0f);
        const float a = k.degrees * kPi / 180.0f;
        const float c = std::cos(a);  // the cosine between the step and the wall's normal
        const int moved = Step(bod, 20.0f);
        EXPECT_EQ(moved, k.slides ? 1 : 0) << k.degrees;
        EXPECT_FLOAT_EQ(Where(bod).z, 60.0f) << k.degrees << ": never towards the wall";
        const float expected = k.slides ? (1.0f - c) * 20.0f * std::sin(a) : 0.0f;
        EXPECT_NEAR(std::fabs(Where(bod).x), expected, 1e-3f) << k.degrees;
        EXPECT_EQ(Called("AI_OnBumpWall"), !k.slides) << k.degrees;
        WH_Release();
    }
}

TEST_F(MoveTest, SlideAlongWallGivesLengthDirectionAndCosine) {
    struct Case {
        Vec3 d, n;
        int result;
        float length, cosine;
        Vec3 direction;
    };
    const float s = std::sqrt(0.5f);
    const Case cases[] = {
        {{0, 0, 1}, {0, 0, -1}, 0, 0.0f, 1.0f, {0, 0, 0}},       // head-on: nothing along the wall
        {{s, 0, s}, {0, 0, -1}, 1, 10.0f * (1 - s), s, {s, 0, 0}},  // 45 degrees
        {{1, 0, 0}, {0, 0, -1}, 0, 0.0f, 0.0f, {1, 0, 0}},       // parallel to the wall
    };
    for (const Case& k : cases) {
        float length = -1, cosine = -1;
        Vec3 direction{};
        EXPECT_EQ(PHY_SlideAlongWall(&k.d, &k.n, &length, 10.0f, &direction, &cosine), k.result);
        EXPECT_NEAR(length, k.length, 1e-4f);
        EXPECT_NEAR(cosine, k.cosine, 1e-4f);
        EXPECT_NEAR(direction.x, k.direction.x, 1e-4f);
        EXPECT_NEAR(direction.z, k.direction.z, 1e-4f);
    }
}

// A ledge of `height` begins at z = 100; the level's step height decides.
TEST_F(MoveTest, StepsUpToTheLevelsStepHeightAreClimbed) {
    struct Case {
        int level;
        float height;
        bool climbs;
    };
    const Case cases[] = {{1, 40, true}, {1, 55, false}, {1, 60, false}, {5, 55, true}, {6, 75, true}, {6, 85, false}};
    for (const Case& k : cases) {
        WH_Reset();
        WH_AddModel(WH_Skinned("graphics\\models\\walker.qkm", {"root"}));
        WH_BuildLandscape({{-500, -500, 500, 100, 0}, {-500, 100, 500, 500, k.height}}, {});
        Level(k.level);
        Bod* bod = Walker(0, 0);
        for (int i = 0; i < 10; ++i)
            Step(bod, 20.0f);
        if (k.climbs) {
            EXPECT_FLOAT_EQ(Where(bod).y, k.height) << k.level << "/" << k.height;
            EXPECT_GT(Where(bod).z, 100.0f) << k.level << "/" << k.height;
        } else {
            EXPECT_FLOAT_EQ(Where(bod).y, 0.0f) << k.level << "/" << k.height;
            EXPECT_LT(Where(bod).z, 100.0f) << k.level << "/" << k.height;
        }
        WH_Release();
    }
}

// A wall whose top leans towards the character: its faces are not exactly vertical.
TEST_F(MoveTest, TheLevelsWallThresholdDecidesWhichObjectFacesBlock) {
    struct Case {
        int level;
        float lean;  // how far the top stands out towards the character
        bool blocks;
    };
    const Case cases[] = {{8, 0.0f, true}, {8, 10.0f, false}, {0, 10.0f, true}, {0, 60.0f, false}, {9, 60.0f, true}};
    for (const Case& k : cases) {
        WH_Reset();
        WH_AddModel(WH_Skinned("graphics\\models\\walker.qkm", {"root"}));
        WH_BuildLandscape({{-1000, -1000, 1000, 1000, 0}}, {{-1000, 100, 1000, 100, 0, 200}});
        // The wall's top vertices (2 and 3) come forward by the lean.
        LandscapeObject& wall = g_Landscape->objects[1];
        wall.vertices[2].z -= k.lean;
        wall.vertices[3].z -= k.lean;
        Level(k.level);
        Bod* bod = Walker(0, 40);
        EXPECT_EQ(Step(bod, 20.0f), k.blocks ? 0 : 1) << k.level << "/" << k.lean;
        WH_Release();
    }
}

// A character standing on a strong flow over a material scrolling at 75 units a second.
TEST_F(MoveTest, FlowsCarryTheSameDistancePerSecondWhateverTheFrameLength) {
    for (int ms : {10, 20, 40}) {
        WH_Reset();
        WH_AddModel(WH_Skinned("graphics\\models\\walker.qkm", {"root"}));
        WhFloor floor{-2000, -2000, 2000, 2000, 0};
        floor.mode = "flow";
        floor.speed = 75.0f;
        WH_BuildLandscape({floor}, {});
        Level(0);
        Bod* bod = Walker(0, 0);
        for (int t = 0; t < 1000; t += ms)
            Step(bod, 0.0f, ms);
        EXPECT_NEAR(Where(bod).x, 75.0f, 0.01f) << ms << " ms frames";
        EXPECT_NEAR(Where(bod).z, 0.0f, 1e-3f);
        WH_Release();
    }
}

// The belt moves along the surface normal's plan part: dv x normal x scale x 18 per second.
TEST_F(MoveTest, BeltsCarryAlongTheirSurfaceNormal) {
    WhFloor floor{-2000, -2000, 2000, 2000, 0};
    floor.mode = "belt";
    floor.speed = 2.0f;
    WH_BuildLandscape({floor}, {});
    Level(0);
    for (int s = 1; s <= g_Landscape->surfaceCount; ++s)
        g_Landscape->surfaces[s].normal = {0.6f, 0.8f, 0.0f};
    Bod* bod = Walker(0, 0);
    for (int i = 0; i < 25; ++i)
        Step(bod, 0.0f, 40);
    EXPECT_NEAR(Where(bod).x, 2.0f * 0.6f * 18.0f, 0.01f);
}

TEST_F(MoveTest, TheLevelTwoRiverSweepsTenUnitsAFrame) {
    struct Case {
        int action;
        int ms;
        float swept;
        int after;
    };
    const Case cases[] = {{1, 20, 30.0f, 65}, {1, 40, 30.0f, 65}, {64, 20, 0.0f, 64}, {27, 40, 0.0f, 27}};
    for (const Case& k : cases) {
        WH_Reset();
        WH_AddModel(WH_Skinned("graphics\\models\\walker.qkm", {"root"}));
        WhFloor floor{-2000, -2000, 2000, 2000, 0};
        floor.mode = "flow";
        floor.speed = 1.0f;
        WH_BuildLandscape({floor}, {});
        Level(2);
        Bod* bod = Walker(0, 0);
        WH_Character(bod)->head.action = k.action;
        for (int i = 0; i < 3; ++i)
            Step(bod, 0.0f, k.ms);
        EXPECT_NEAR(Where(bod).x, k.swept, 1e-3f) << k.action << "/" << k.ms;
        if (k.swept > 0.0f) {
            EXPECT_NEAR(WH_Character(bod)->heading, kPi / 2.0f, 1e-4f) << "facing downstream";
            EXPECT_TRUE(Called("AI_Release"));
        }
        EXPECT_EQ(WH_Character(bod)->head.action, k.after) << k.action;
        WH_Release();
    }
}

// Seventeen walls stand over one floor: the surfaces' lists take sixteen.
TEST_F(MoveTest, AFullObjectListTakesNoMore) {
    std::vector<WhWall> walls;
    for (int i = 0; i < 17; ++i)
        walls.push_back({float(i * 4), 10, float(i * 4 + 2), 10, 0, 100});
    WH_BuildLandscape({{-500, -500, 500, 500, 0}}, walls);
    Level(0);
    for (int s = 1; s <= g_Landscape->surfaceCount; ++s) {
        const LandscapeSurface& surface = g_Landscape->surfaces[s];
        EXPECT_LE(surface.objectCount, LND_SURFACE_OBJECTS_MAX);
        for (int k = 0; k < surface.objectCount; ++k)
            EXPECT_NE(surface.objectList[k], 17) << "the seventeenth is not listed";
    }
    const uint8_t lights = g_Landscape->surfaces[1].lightCount;
    PHY_AddObjectToSurfaces(17, 1);
    EXPECT_EQ(g_Landscape->surfaces[1].objectCount, LND_SURFACE_OBJECTS_MAX);
    EXPECT_EQ(g_Landscape->surfaces[1].lightCount, lights);
}

TEST_F(MoveTest, MovedObjectsLeaveTheirOldSurfaces) {
    WH_BuildLandscape({{-500, -500, 0, 500, 0}, {1000, -500, 1500, 500, 0}}, {{-200, 0, -100, 0, 0, 100}});
    Level(0);
    auto listed = [](int surface) {
        const LandscapeSurface& s = g_Landscape->surfaces[surface];
        for (int k = 0; k < s.objectCount; ++k)
            if (s.objectList[k] == 1)
                return true;
        return false;
    };
    EXPECT_TRUE(listed(1) || listed(2));
    PHY_MoveLandscapeObjectTo(1, 1200, 0, 0);
    EXPECT_FALSE(listed(1) || listed(2));
    EXPECT_TRUE(listed(3) || listed(4));
}

// A strip of 40 surfaces joined by twin edges: a query that could reach all of them stops at 32.
TEST_F(MoveTest, TheThirtyThirdSurfaceIsNotGathered) {
    dk::MapData map;
    map.mapName = "strip";
    for (int i = 0; i <= 20; ++i) {
        map.vertices.push_back({float(i * 100), 0.0f, 0.0f});
        map.vertices.push_back({float(i * 100), 0.0f, 100.0f});
    }
    for (int i = 0; i < 20; ++i) {
        const int a = 2 * i + 1;  // (i, 0), then (i, 100), (i + 1, 0), (i + 1, 100)
        dk::AddMapTriangle(&map, a, a + 2, a + 3, 0);
        dk::AddMapTriangle(&map, a, a + 3, a + 1, 0);
    }
    dk::LinkMapTwins(&map);
    dk::CompleteMapData(&map);
    dk::WriteZlm("strip.zlm", map);
    ASSERT_EQ(MAP_LoadMap(nullptr, "strip.zlm"), 1);
    ASSERT_EQ(g_Landscape->surfaceCount, 40);
    const Vec3 from{0, 0, 50}, to{2000, 0, 50};
    PHY_GatherFaces(1, &from, &to, 1000.0f);
    EXPECT_EQ(g_PhyGatheredCount, PHY_GATHER_MAX);
    // A short reach gathers only the neighbourhood.
    const Vec3 near{50, 0, 50};
    PHY_GatherFaces(1, &from, &near, 10.0f);
    EXPECT_GT(g_PhyGatheredCount, 0);
    EXPECT_LT(g_PhyGatheredCount, 6);
}

TEST_F(MoveTest, GeometryTests) {
    const Vec3 a{0, 0, 0}, b{100, 0, 0}, c{0, 0, 100};
    struct Inside {
        Vec3 p;
        int in;
    };
    for (const Inside& k : {Inside{{10, 0, 10}, 1}, Inside{{60, 0, 60}, 0}, Inside{{-1, 0, 10}, 0}})
        EXPECT_EQ(PHY_PointInTriangle(&k.p, &a, &b, &c), k.in) << k.p.x << "," << k.p.z;
    const Vec3 up{0, 1, 0}, tilted{0, std::sqrt(0.5f), -std::sqrt(0.5f)};
    EXPECT_FLOAT_EQ(PHY_PlaneHeight(&a, &up, 30, 40), 0.0f);
    EXPECT_NEAR(PHY_PlaneHeight(&a, &tilted, 0, 40), 40.0f, 1e-4f);
    const Vec3 d{0, 0, 50}, e{100, 0, 50};
    EXPECT_NEAR(PHY_SegmentDistancePlan(&a, &b, &d, &e), 50.0f, 1e-4f);
    EXPECT_EQ(PHY_SegmentDistancePlan(&a, &e, &b, &d), 0.0f) << "crossing";
    const Vec3 centre{50, 0, 30};
    EXPECT_EQ(PHY_SegmentTouchesSphere(&a, &b, &centre, 31.0f), 1);
    EXPECT_EQ(PHY_SegmentTouchesSphere(&a, &b, &centre, 29.0f), 0);
}

}  // namespace
