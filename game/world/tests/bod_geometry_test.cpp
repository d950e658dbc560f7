// Bod queries in space: linking the statics of the placement and loading projectile models, the
// melee target search in the heading arc, and the segment trace against a tiny landscape (a floor
// and a wall) and the characters' bodies.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/mdl.h"
#include "world/act.h"
#include "world/wo.h"
#include "world/bod.h"
#include "world/character.h"
#include "world_fixture.h"

namespace {

class BodGeometryTest : public WorldTest {};

TEST_F(BodGeometryTest, LinkResolvesStaticNamesAndLoadsProjectileModels) {
    WH_AddModel(WH_Rigid("graphics\\models\\weapons\\forcebolt.qmd", 10.0f));
    Bod* lever = WH_MakeObject(BOD_CLASS_STATIC, 151, {0, 0, 0});
    Bod* door = WH_MakeObject(BOD_CLASS_STATIC, 152, {0, 0, 0});
    Bod* gate = WH_MakeObject(BOD_CLASS_STATIC, 153, {0, 0, 0});
    WH_Object(door)->name = "Door A";
    WH_Object(gate)->name = "gate 02a";
    WorldObjectControl* l = WH_Object(lever);
    l->param3 = "GATE 02A";
    l->param5 = "door a";
    l->param7 = "";           // empty: left alone
    l->offObject = lever;
    Bod* placed = WH_MakeObject(BOD_CLASS_PLACED, 20, {0, 0, 0});
    WH_Object(placed)->param5 = "door a";  // only statics are linked

    Bod* gun = WH_MakeObject(BOD_CLASS_OBJECT, 135, {0, 0, 0});
    WH_Object(gun)->linkedType = 136;
    Bod* placedGun = WH_MakeObject(BOD_CLASS_PLACED, 135, {0, 0, 0});
    WH_Object(placedGun)->linkedType = 136;
    Bod* ammo = WH_MakeObject(BOD_CLASS_OBJECT, 35, {0, 0, 0});
    WH_Object(ammo)->linkedType = 136;
    WH_Object(ammo)->ammoFor = 34;
    Bod* pistol = WH_MakeObject(BOD_CLASS_OBJECT, 47, {0, 0, 0});

    BOD_LinkLevelObjects();
    EXPECT_EQ(l->param3Bod, gate);
    EXPECT_EQ(l->onObject, door);
    EXPECT_EQ(l->offObject, lever);
    EXPECT_EQ(WH_Object(placed)->onObject, nullptr);
    ASSERT_NE(WH_Object(gun)->linkedInstance, nullptr);
    EXPECT_STREQ(WH_Object(gun)->linkedInstance->model.rigid->name, "forcebolt");
    EXPECT_STREQ(WH_Object(gun)->linkedInstance->skin->name, "metal1");
    EXPECT_NE(WH_Object(placedGun)->linkedInstance, nullptr);
    EXPECT_EQ(WH_Object(ammo)->linkedInstance, nullptr) << "ammunition links its weapon, not a projectile";
    EXPECT_EQ(WH_Object(pistol)->linkedInstance, nullptr);
}

TEST_F(BodGeometryTest, NearestTargetInTheArcAndTheLastCandidateAsLastHit) {
    // The player at the origin faces +z.
    Bod* player = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 0, 0}, 0.0f, 64.0f);
    Bod* far = WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, 600}, 0.0f, 64.0f);
    Bod* near = WH_MakeCharacter(BOD_CLASS_NPC, {20, 0, 300}, 0.0f, 64.0f);
    Bod* behind = WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, -100}, 0.0f, 64.0f);
    Bod* aside = WH_MakeCharacter(BOD_CLASS_NPC, {400, 0, 30}, 0.0f, 64.0f);
    Bod* dead = WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, 100}, 0.0f, 64.0f);
    WH_Character(dead)->dead = 1;
    WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, 120});  // a free NPC bod: no AI record
    Bod* human = WH_MakeCharacter(BOD_CLASS_HUMAN, {0, 0, 200}, 0.0f, 64.0f);
    Bod* farther = WH_MakeCharacter(BOD_CLASS_NPC, {0, 0, 900}, 0.0f, 64.0f);

    EXPECT_EQ(BOD_FindNearestTarget(player), near);
    EXPECT_EQ(WH_Character(player)->lastHitBod, farther) << "the last candidate in list order";

    // With friendly fire on, humans are targets too.
    g_FriendlyFire = 1;
    EXPECT_EQ(BOD_FindNearestTarget(player), human);
    (void)far;

    // Nothing in the arc: none, and the last hit is cleared.
    WH_Character(player)->heading = float(M_PI);
    g_FriendlyFire = 0;
    EXPECT_EQ(BOD_FindNearestTarget(player), behind);
    WH_Character(player)->heading = float(M_PI / 2);
    EXPECT_EQ(BOD_FindNearestTarget(player), aside);
    WH_Character(player)->heading = float(3 * M_PI / 2);
    EXPECT_EQ(BOD_FindNearestTarget(player), nullptr);
    EXPECT_EQ(WH_Character(player)->lastHitBod, nullptr);
}

TEST_F(BodGeometryTest, TheArcIsWiderInANetworkGame) {
    // At 300 units the half-width 100 is an angle of 1/3 rad, 200 one of 2/3 rad: a target 0.5 rad
    // off the heading lies between them.
    Bod* player = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 0, 0}, 0.0f, 64.0f);
    Bod* npc = WH_MakeCharacter(BOD_CLASS_NPC, {300.0f * std::sin(0.5f), 0, 300.0f * std::cos(0.5f)}, 0.0f, 64.0f);
    EXPECT_EQ(BOD_FindNearestTarget(player), nullptr);
    WH_SetNetworkGame(true, 0);
    EXPECT_EQ(BOD_FindNearestTarget(player), npc);
}

class BodTraceTest : public BodGeometryTest {
protected:
    void SetUp() override {
        BodGeometryTest::SetUp();
        // A floor at y 0 and a wall across z = 500.
        WH_BuildLandscape({{-1000, -1000, 1000, 1000, 0}}, {{-1000, 500, 1000, 500, 0, 300}});
        WH_AddModel(WH_Rigid("graphics\\models\\crate.qmd", 50.0f));
    }
    Bod* Body(uint32_t classMask, Vec3 at) {
        Bod* bod = classMask & BOD_CLASS_OBJECT ? WH_MakeObject(classMask, 20, at) : WH_MakeCharacter(classMask, at);
        WH_GiveModel(bod, "graphics\\models\\crate.qmd");
        return bod;
    }
    // A box of half-size 50 standing in the way, off the segment's axis so that the segment
    // does not meet its faces on the diagonal they share.
    const Vec3 kBodyAt{10, 100, 250};
    ModelTraceHit hit{};
    const Vec3 from{0, 100, 0};
    const Vec3 to{0, 100, 1000};
};

TEST_F(BodTraceTest, TheLandscapeAloneGivesTheFractionAndTheFlag) {
    EXPECT_EQ(BOD_TraceSegment(nullptr, 1, &from, &to, &hit), BOD_TRACE_LANDSCAPE);
    EXPECT_FLOAT_EQ(hit.t, 0.5f);
    EXPECT_EQ(hit.unused1, 1u) << "flag word: only the landscape was hit";
    EXPECT_EQ(hit.unused0, 2u) << "the wall, a landscape object";
    EXPECT_EQ(hit.hitBod, nullptr);
    EXPECT_FLOAT_EQ(hit.point.z, 500.0f);

    const Vec3 shortEnd{0, 100, 400};
    hit = {};
    hit.hitBod = reinterpret_cast<Bod*>(&hit);  // cleared by the trace
    EXPECT_EQ(BOD_TraceSegment(nullptr, 1, &from, &shortEnd, &hit), -1);
    EXPECT_FLOAT_EQ(hit.t, 1.0f);
    EXPECT_EQ(hit.hitBod, nullptr);
    EXPECT_EQ(hit.unused1, 0u);
    EXPECT_EQ(BOD_TraceSegment(nullptr, 1, &from, &to, nullptr), 0);
}

TEST_F(BodTraceTest, ABodyBeforeTheWallIsTheHit) {
    Bod* npc = Body(BOD_CLASS_NPC, kBodyAt);
    const int32_t result = BOD_TraceSegment(nullptr, 1, &from, &to, &hit);
    EXPECT_GE(result, 0);
    EXPECT_NE(result, BOD_TRACE_LANDSCAPE);
    EXPECT_EQ(hit.hitBod, npc);
    EXPECT_EQ(hit.unused0, 3u);
    EXPECT_EQ(hit.unused1, 0u) << "no flag when a body was hit";
    EXPECT_NEAR(hit.t, 0.2f, 1e-4f) << "the near face of the box at z 200";
}

struct SkipCase {
    const char* name;
    uint32_t classMask;
    bool active;
    bool ignored;
    bool hit;
};

void PrintTo(const SkipCase& c, std::ostream* os) {
    *os << c.name;
}

class BodTraceSkipTest : public BodTraceTest, public ::testing::WithParamInterface<SkipCase> {};

TEST_P(BodTraceSkipTest, OnlyActiveTraceableBodiesOtherThanTheIgnoredOneCount) {
    const SkipCase& c = GetParam();
    Bod* bod = Body(c.classMask, kBodyAt);
    bod->active = c.active ? 1 : 0;
    const int32_t result = BOD_TraceSegment(c.ignored ? bod : nullptr, 1, &from, &to, &hit);
    EXPECT_EQ(result != BOD_TRACE_LANDSCAPE, c.hit);
    EXPECT_EQ(hit.hitBod, c.hit ? bod : nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BodTraceSkipTest,
    ::testing::Values(SkipCase{"Player", BOD_CLASS_PLAYER, true, false, true},
                      SkipCase{"Human", BOD_CLASS_HUMAN, true, false, true},
                      SkipCase{"PlacedObject", BOD_CLASS_PLACED, true, false, true},
                      SkipCase{"DroppedObject", BOD_CLASS_OBJECT, true, false, false},
                      SkipCase{"Inactive", BOD_CLASS_NPC, false, false, false},
                      SkipCase{"Ignored", BOD_CLASS_NPC, true, true, false}),
    [](const ::testing::TestParamInfo<SkipCase>& info) { return std::string(info.param.name); });

TEST_F(BodTraceTest, BodiesAreTriedWithTwiceTheirRadiusInANetworkGame) {
    // The segment passes 57 units from the box's centre, outside its 50-unit sphere, yet through a
    // corner of the box: only the doubled sphere lets the body trace find it.
    Body(BOD_CLASS_NPC, kBodyAt);
    const Vec3 cornerFrom{45, 145, 0}, cornerTo{45, 145, 1000};
    EXPECT_EQ(BOD_TraceSegment(nullptr, 1, &cornerFrom, &cornerTo, &hit), BOD_TRACE_LANDSCAPE);
    WH_SetNetworkGame(true, 0);
    hit = {};
    EXPECT_NE(BOD_TraceSegment(nullptr, 1, &cornerFrom, &cornerTo, &hit), BOD_TRACE_LANDSCAPE);
    EXPECT_EQ(hit.unused0, 3u);
}

}  // namespace
