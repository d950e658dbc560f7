// Segment traces against models: a line against a bounding sphere, a segment against one body
// (rigid faces, packed frames included; skinned bones children first), against every body of the
// world list, and a moving model swept against the characters.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "world/mdl_world.h"
#include "datakit/model_qkm.h"
#include "datakit/model_qmd.h"
#include "engine/mdl.h"
#include "mdl_fixture.h"
#include "common/mem.h"
#include "common/calltrace.h"
#include "world/wo.h"
#include "ui/gui.h"
#include "world/bod.h"
#include "world/character.h"

namespace {

constexpr float kPi = 3.14159265358979f;

ModelTraceHit FreshHit(float t = 1.001f) {
    ModelTraceHit hit{};
    hit.t = t;
    return hit;
}

TEST(MdlSegmentHitsSphere, TheWholeLineCounts) {
    const Vec3 centre{0, 0, 0};
    struct Case {
        Vec3 from, to;
        float radius;
        int hit;
    };
    const Case cases[] = {
        {{-10, 0, 0}, {10, 0, 0}, 1, 1},   {{-10, 2, 0}, {10, 2, 0}, 1, 0},  {{-10, 1, 0}, {10, 1, 0}, 1, 1},
        {{-10, 0, 0}, {-5, 0, 0}, 1, 1},   // the segment ends before the sphere: the line meets it
        {{5, 0, 0}, {10, 0, 0}, 1, 1},     {{0, 5, -10}, {0, 5, 10}, 4.9f, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MDL_SegmentHitsSphere(&c.from, &c.to, &centre, c.radius), c.hit) << c.from.x << "," << c.from.y;
}

class MdlTrace : public MdlTest {
protected:
    // A character bod at a position with a model instance, in the world list.
    Bod* Character(ModelInstance* instance, Vec3 at, uint32_t classMask = BOD_CLASS_NPC) {
        Bod* bod = BOD_Create(&g_WorldBods, classMask, nullptr);
        auto* control = static_cast<CharacterControl*>(MEM_Alloc(sizeof(CharacterControl), MEM_TAG_CHARACTER));
        BOD_AttachControl(bod, control, nullptr);
        MDL_SetHeading(control, 0.0f);
        control->transform.m[9] = at.x;
        control->transform.m[10] = at.y;
        control->transform.m[11] = at.z;
        control->instance = instance;
        bod->active = 1;
        return bod;
    }
    Bod* Object(ModelInstance* instance, Vec3 at, Bod* thrower) {
        Bod* bod = BOD_Create(&g_WorldBods, BOD_CLASS_OBJECT, nullptr);
        auto* control = static_cast<WorldObjectControl*>(MEM_Alloc(sizeof(WorldObjectControl), MEM_TAG_WORLD_OBJECT));
        BOD_AttachControl(bod, control, nullptr);
        MDL_SetHeading(control, 0.0f);
        control->transform.m[9] = at.x;
        control->transform.m[10] = at.y;
        control->transform.m[11] = at.z;
        control->instance = instance;
        control->thrower = thrower;
        bod->active = 1;
        return bod;
    }
};

TEST_F(MdlTrace, RigidFacesFloatAndPacked) {
    for (bool packed : {false, true}) {
        SCOPED_TRACE(packed ? "packed" : "float");
        MDL_FreeAll();
        ModelInstance* cube = Load(packed ? "packed.qmd" : "float.qmd", dk::QmdBytes(dk::QmdCube(10.0f, 1, packed)));
        ASSERT_NE(cube, nullptr);
        CharacterControl control{};
        control.instance = cube;
        // Turned a quarter about y and standing at (100, 0, 0).
        MDL_SetHeading(&control, kPi / 2);
        control.transform.m[9] = 100;
        // Straight down onto the top face, off its diagonal.
        const Vec3 from{103, 50, 4}, to{103, -50, 4};
        ModelTraceHit hit = FreshHit();
        EXPECT_EQ(MDL_TraceSegmentBody(&control, &from, &to, &hit), 0);
        EXPECT_EQ(hit.hit, 1);
        EXPECT_EQ(hit.hitBone, MDL_RIGID_HIT_BONE);
        EXPECT_NEAR(hit.t, 0.4f, 1e-5f);
        ExpectNear(hit.point, {103, 10, 4}, 1e-3f, "point");
        // The face's normal in the world: the top face's points into the cube.
        ExpectNear(hit.normal, {0, -1, 0}, 1e-5f, "normal");
        // Only hits nearer than the record's t count.
        ModelTraceHit near = FreshHit(0.3f);
        EXPECT_EQ(MDL_TraceSegmentBody(&control, &from, &to, &near), -1);
        EXPECT_EQ(near.hit, 0);
        // A segment that stops short, and one that passes beside the box.
        const Vec3 shortTo{103, 20, 4}, besideFrom{120, 50, 4}, besideTo{120, -50, 4};
        ModelTraceHit miss = FreshHit();
        EXPECT_EQ(MDL_TraceSegmentBody(&control, &from, &shortTo, &miss), -1);
        EXPECT_EQ(MDL_TraceSegmentBody(&control, &besideFrom, &besideTo, &miss), -1);
        EXPECT_EQ(miss.hit, 0);
        EXPECT_FLOAT_EQ(miss.t, 1.001f);
        // From the side: the first face in order that the segment crosses ends the trace.
        const Vec3 sideFrom{100 - 3, 2, 40}, sideTo{100 - 3, 2, -40};
        ModelTraceHit side = FreshHit();
        EXPECT_EQ(MDL_TraceSegmentBody(&control, &sideFrom, &sideTo, &side), 0);
        EXPECT_NEAR(std::fabs(side.point.z), 10.0f, 1e-3f);
        EXPECT_NEAR(std::fabs(side.normal.z), 1.0f, 1e-5f);
    }
}

TEST_F(MdlTrace, SkinnedBonesChildrenFirst) {
    ModelInstance* chain = Load("chain.qkm", dk::QkmBytes(dk::QkmChain(3, 16)));
    ASSERT_NE(chain, nullptr);
    CharacterControl control{};
    control.instance = chain;
    // Quaternion keys: placed by the pose's orientation at the transform's position. Turned 90
    // degrees about y the chain points along -z.
    MDL_SetHeading(&control, kPi / 2);
    control.transform.m[9] = 0;
    control.transform.m[11] = 100;
    struct Case {
        const char* what;
        Vec3 from, to;
        int bone;
        Vec3 point;
    };
    const Case cases[] = {
        {"down through the hand", {0.5f, 30, 100 - 20.7f}, {0.5f, -30, 100 - 20.7f}, 2, {0.5f, 2, 100 - 20.7f}},
        {"down through the arm", {0.5f, 30, 100 - 9.5f}, {0.5f, -30, 100 - 9.5f}, 1, {0.5f, 2, 100 - 9.5f}},
        {"down through the chest", {0.5f, 30, 100.5f}, {0.5f, -30, 100.5f}, 0, {0.5f, 2, 100.5f}},
        {"along the chain from its tip: the hand comes first", {-0.7f, 0.5f, 50}, {-0.7f, 0.5f, 150}, 2,
         {-0.7f, 0.5f, 100 - 22}},
        {"between arm and hand", {0.5f, 30, 100 - 15}, {0.5f, -30, 100 - 15}, -1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ModelTraceHit hit = FreshHit();
        EXPECT_EQ(MDL_TraceSegmentBody(&control, &c.from, &c.to, &hit), c.bone);
        if (c.bone < 0) {
            EXPECT_EQ(hit.hit, 0);
            continue;
        }
        EXPECT_EQ(hit.hit, 1);
        EXPECT_EQ(hit.hitBone, c.bone);
        ExpectNear(hit.point, c.point, 1e-3f, "point");
        const float len = std::sqrt(hit.normal.x * hit.normal.x + hit.normal.y * hit.normal.y + hit.normal.z * hit.normal.z);
        EXPECT_NEAR(len, 1.0f, 1e-5f);
    }
    // A removed bone is not hit, and neither is what hangs below it.
    chain->boneStates[1] = 0;
    ModelTraceHit hit = FreshHit();
    EXPECT_EQ(MDL_TraceSegmentBody(&control, &cases[0].from, &cases[0].to, &hit), -1);
    EXPECT_EQ(MDL_TraceSegmentBody(&control, &cases[1].from, &cases[1].to, &hit), -1);
    EXPECT_EQ(MDL_TraceSegmentBody(&control, &cases[2].from, &cases[2].to, &hit), 0);
}

TEST_F(MdlTrace, EveryBodyOfTheWorld) {
    ModelInstance* a = nullptr;
    ModelInstance* b = nullptr;
    ModelInstance* c = nullptr;
    const std::vector<uint8_t> cube = dk::QmdBytes(dk::QmdCube(10.0f));
    Put("cube.qmd", cube);
    ASSERT_EQ(MDL_Load("cube.qmd", &a), 0);
    ASSERT_EQ(MDL_Load("cube.qmd", &b), 0);
    ASSERT_EQ(MDL_Load("cube.qmd", &c), 0);
    Bod* shooter = Character(a, {0, 0, 0}, BOD_CLASS_PLAYER);
    Bod* nearBod = Character(b, {100, 0, 0});
    Bod* farBod = Character(c, {200, 0, 0}, BOD_CLASS_HUMAN);
    const Vec3 from{0, 1, 2}, to{300, 1, 2};
    ModelTraceHit hit{};
    EXPECT_EQ(MDL_TraceSegmentBods(shooter, &from, &to, &hit), 1);
    EXPECT_EQ(hit.hitBod, nearBod);
    // Faces are tried in their order and the first one crossed ends a rigid trace: here the cube's
    // +x side, where the segment leaves it.
    EXPECT_NEAR(hit.t, 110.0f / 300.0f, 1e-5f);
    ExpectNear(hit.point, {110, 1, 2}, 1e-3f, "point");
    // Inactive bods do not count; the trace goes on to the far one.
    nearBod->active = 0;
    EXPECT_EQ(MDL_TraceSegmentBods(shooter, &from, &to, &hit), 1);
    EXPECT_EQ(hit.hitBod, farBod);
    EXPECT_NEAR(hit.t, 210.0f / 300.0f, 1e-5f);
    // A world object as the tracer: the one who threw it is not hit, though the segment starts
    // inside it.
    nearBod->active = 1;
    ModelInstance* d = nullptr;
    ASSERT_EQ(MDL_Load("cube.qmd", &d), 0);
    Bod* bullet = Object(d, {0, 0, 0}, shooter);
    EXPECT_EQ(MDL_TraceSegmentBods(bullet, &from, &to, &hit), 1);
    EXPECT_EQ(hit.hitBod, nearBod);
    // Without a tracer the shooter is the first body hit; class 64 objects are never traced.
    EXPECT_EQ(MDL_TraceSegmentBods(nullptr, &from, &to, &hit), 1);
    EXPECT_EQ(hit.hitBod, shooter);
    EXPECT_NEAR(hit.t, 10.0f / 300.0f, 1e-5f);
    // Nothing on the way: t stays 1.001 and the flag 0.
    const Vec3 highFrom{0, 500, 0}, highTo{300, 500, 0};
    EXPECT_EQ(MDL_TraceSegmentBods(shooter, &highFrom, &highTo, &hit), 0);
    EXPECT_FLOAT_EQ(hit.t, 1.001f);
    EXPECT_EQ(hit.hit, 0);
}

// The quick sphere test uses the model radius, doubled in a network game: a body larger than its
// radius is found beyond the radius only there.
TEST_F(MdlTrace, NetworkGamesDoubleTheRadius) {
    ModelInstance* big = Load("big.qmd", dk::QmdBytes(dk::QmdCube(70.0f, 1, true)));  // packed: radius 50
    ASSERT_NE(big, nullptr);
    ASSERT_FLOAT_EQ(MDL_GetRadius(big), 50.0f);
    Bod* target = Character(big, {0, 0, 0});
    const Vec3 from{-200, 65, 60}, to{200, 65, 60};  // 88 from the centre, through the cube's edge
    ModelTraceHit hit{};
    EXPECT_EQ(MDL_TraceSegmentBods(nullptr, &from, &to, &hit), 0);
    g_Match.mpGameRunning = 1;
    EXPECT_EQ(MDL_TraceSegmentBods(nullptr, &from, &to, &hit), 1);
    EXPECT_EQ(hit.hitBod, target);
}

TEST_F(MdlTrace, AMovingModelTouchesTheCharactersOnItsWay) {
    TRC_TraceEnable(true);
    ModelInstance* crate = Load("crate.qmd", dk::QmdBytes(dk::QmdCube(10.0f)));
    ModelInstance* body = Load("body.qkm", dk::QkmBytes(dk::QkmHumanoid()));
    ASSERT_TRUE(crate && body);
    Bod* object = Object(crate, {0, 0, 0}, nullptr);
    Bod* inPath = Character(body, {0, 5, 30}, BOD_CLASS_PLAYER);
    Bod* aside = Character(body, {80, 5, 30});
    Bod* behind = Character(body, {0, 5, -60});
    (void)inPath;
    (void)aside;
    (void)behind;
    g_PlayerBods[0] = inPath;
    g_NpcBods[0] = aside;
    g_NpcBods[1] = behind;
    // The crate moves 40 along +z: relative to it the characters move 40 along -z.
    const Vec3 move{0, 0, 40};
    MDL_SweepModelAgainstBods(object, &move);
    std::vector<std::string> touches;
    for (const std::string& e : TRC_TraceLog())
        if (e.rfind("WOPickupOnTouch", 0) == 0) touches.push_back(e);
    EXPECT_EQ(touches, std::vector<std::string>{"WOPickupOnTouch(player0,object)"});
}

}  // namespace
