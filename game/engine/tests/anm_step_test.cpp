// The animation step: frames crossed per elapsed time, looping and play-once ends, frame
// callbacks (order, once, starting another animation), root motion, long pauses, halted play,
// half speed, starting animations by index and by name, blends of skinned models, the limp
// substitution, the ground offset and the heading of a control record.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "world/mdl_world.h"
#include "datakit/model_qkm.h"
#include "datakit/model_qmd.h"
#include "engine/anm.h"
#include "engine/mdl.h"
#include "mdl_fixture.h"
#include "common/mem.h"
#include "ui/gui.h"
#include "world/character.h"
#include "world/clk.h"

namespace {

// Animations of the rigid test model (30 frames, frame f moves the model by (0.5 f, 0, f + 1)).
enum { kIdle, kLoop, kOnce, kSlow, kOneFrame };

dk::QmdModel AnimatedModel() {
    dk::QmdModel w = dk::QmdCube(1.0f, 30);
    w.animations = {{0.1f, 0, 0, "idle"},
                    {0.1f, 10, 19, "Loop"},
                    {0.1f, 20, 24, "once"},
                    {0.7f, 25, 29, "slow"},
                    {0.1f, 5, 5, "single"}};
    for (int f = 0; f < 30; ++f) {
        w.frames[size_t(f)].rootMotion[0] = 0.5f * float(f);
        w.frames[size_t(f)].rootMotion[2] = float(f + 1);
    }
    return w;
}

Vec3 D(int frame) { return {0.5f * float(frame), 0.0f, float(frame + 1)}; }

// Every call of the recording callback: (frame the instance showed, data).
struct CallbackLog {
    std::vector<std::pair<int, uintptr_t>> calls;
    ModelInstance* instance = nullptr;
    int32_t result = 1;
    int startOnFrame = -1;  // start "once" from inside the callback on this frame
};
CallbackLog* g_Log = nullptr;

int32_t Record(uintptr_t data) {
    g_Log->calls.push_back({g_Log->instance->frame, data});
    if (g_Log->instance->frame == g_Log->startOnFrame) ANM_SetByIndex(g_Log->instance, kOnce, 0);
    return g_Log->result;
}

class AnmStep : public MdlTest {
protected:
    ModelInstance* rigid = nullptr;
    CallbackLog log;

    void SetUp() override {
        MdlTest::SetUp();
        rigid = Load("anim.qmd", dk::QmdBytes(AnimatedModel()));
        log.instance = rigid;
        g_Log = &log;
        SetClock(10000, 10000);
    }
    void TearDown() override {
        g_Log = nullptr;
        MdlTest::TearDown();
    }
    // Starts an animation and runs the first step, which counts as 100 ms: the instance then sits
    // at first + 1 on a frame boundary.
    void Start(int index, int loop) {
        ANM_SetByIndex(rigid, index, loop);
        Tick(20);
        ANM_Update(rigid);
    }
    void HookAll(int first, int last) {
        for (int f = first; f <= last; ++f) ASSERT_EQ(ANM_SetFrameCallback(rigid, f, Record, uintptr_t(f * 10)), 0);
    }
    std::vector<int> CalledFrames() const {
        std::vector<int> frames;
        for (auto& c : log.calls) frames.push_back(c.first);
        return frames;
    }
};

TEST_F(AnmStep, FramesFollowTheClock) {
    Start(kLoop, 1);
    EXPECT_EQ(rigid->frame, 11);
    EXPECT_EQ(rigid->nextFrame, 12);
    EXPECT_FLOAT_EQ(rigid->fraction, 0.0f);
    struct Step {
        int ms;
        int frame, nextFrame;
        float fraction;
    };
    const Step steps[] = {
        {40, 11, 12, 0.4f}, {60, 12, 13, 0.0f}, {250, 14, 15, 0.5f}, {450, 19, 10, 0.0f}, {100, 10, 11, 0.0f},
        {1000, 10, 11, 0.0f},  // a whole cycle lands where it started
        {2999, 19, 10, 0.99f}, {1, 10, 11, 0.0f},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.ms);
        Tick(s.ms);
        ANM_Update(rigid);
        EXPECT_EQ(rigid->frame, s.frame);
        EXPECT_EQ(rigid->nextFrame, s.nextFrame);
        EXPECT_NEAR(rigid->fraction, s.fraction, 1e-5f);
    }
}

TEST_F(AnmStep, LongPausesCountAsOneHundredMilliseconds) {
    Start(kLoop, 1);
    Tick(5000);
    ANM_Update(rigid);
    EXPECT_EQ(rigid->frame, 12) << "5 s away: one frame of 100 ms";
    Tick(3000);
    ANM_Update(rigid);
    EXPECT_EQ(rigid->frame, 12) << "exactly 3 s is no pause: 30 frames, three whole cycles";
    Tick(3001);
    ANM_Update(rigid);
    EXPECT_EQ(rigid->frame, 13);
    // A clock that went back is no reason to run backwards.
    SetClock(g_GameClock.nowMs, g_GameClock.nowMs - 700);
    ANM_Update(rigid);
    EXPECT_EQ(rigid->frame, 14);
}

TEST_F(AnmStep, LoopingCallbacksInOrderAcrossTheWrap) {
    Start(kLoop, 1);
    Tick(700);
    ANM_Update(rigid);
    ASSERT_EQ(rigid->frame, 18);
    HookAll(10, 19);
    Tick(300);
    ANM_Update(rigid);
    EXPECT_EQ(rigid->frame, 11);
    EXPECT_EQ(CalledFrames(), (std::vector<int>{19, 10, 11}));
    EXPECT_EQ(log.calls[1].second, 100u) << "each frame's own data word";
    EXPECT_EQ(rigid->nextFrame, 12);
}

TEST_F(AnmStep, AStepOverAWholeCycleEndsOnTheLastCallbackFrame) {
    Start(kLoop, 1);
    Tick(700);
    ANM_Update(rigid);
    HookAll(10, 19);
    Tick(1200);  // twelve frames from 18: 19, 10..19, 10
    ANM_Update(rigid);
    ASSERT_EQ(log.calls.size(), 12u);
    EXPECT_EQ(log.calls.back().first, 10);
    EXPECT_EQ(rigid->frame, 10);
    EXPECT_EQ(rigid->nextFrame, 11);
}

TEST_F(AnmStep, ACallbackReturningZeroRunsOnce) {
    Start(kLoop, 1);
    ASSERT_EQ(ANM_SetFrameCallback(rigid, 15, Record, 7), 0);
    log.result = 0;
    Tick(2000);
    ANM_Update(rigid);
    EXPECT_EQ(CalledFrames(), (std::vector<int>{15}));
    EXPECT_EQ(rigid->frameCallbacks[15], nullptr);
    // One that returns 1 stays and runs every cycle.
    log.result = 1;
    ASSERT_EQ(ANM_SetFrameCallback(rigid, 12, Record, 7), 0);
    Tick(2000);
    ANM_Update(rigid);
    EXPECT_EQ(CalledFrames(), (std::vector<int>{15, 12, 12}));
}

TEST_F(AnmStep, ACallbackThatStartsAnotherAnimationEndsTheStep) {
    Start(kLoop, 1);
    HookAll(10, 19);
    log.startOnFrame = 13;
    Vec3 motion{9, 9, 9};
    Tick(500);
    EXPECT_EQ(ANM_Advance(rigid, &motion), 0.0f);
    EXPECT_EQ(CalledFrames(), (std::vector<int>{12, 13}));
    ExpectNear(motion, {0, 0, 0}, 0, "no root motion");
    EXPECT_EQ(rigid->animation, kOnce);
    EXPECT_EQ(rigid->frame, 20) << "as the callback left it";
}

TEST_F(AnmStep, PlayOnceHoldsTheLastFrame) {
    Start(kOnce, 0);
    ASSERT_EQ(rigid->frame, 21);
    HookAll(20, 24);
    Vec3 motion;
    Tick(1000);
    ANM_Advance(rigid, &motion);
    EXPECT_EQ(rigid->frame, 24);
    EXPECT_EQ(rigid->nextFrame, 24);
    EXPECT_EQ(rigid->frameMs, 0);
    EXPECT_EQ(CalledFrames(), (std::vector<int>{22, 23, 24}));
    for (int i = 0; i < 3; ++i) {
        Tick(500);
        EXPECT_EQ(ANM_Advance(rigid, &motion), 0.0f);
        ExpectNear(motion, {0, 0, 0}, 0, "ended");
    }
    EXPECT_EQ(log.calls.size(), 3u);
    EXPECT_EQ(rigid->frame, 24);
}

// Whatever the steps, the root motion of a stretch of time is the time-weighted sum of the
// frames' displacements.
TEST_F(AnmStep, RootMotionAddsUpOverAnyStepPattern) {
    const std::vector<std::vector<int>> patterns = {
        {1000}, {100, 100, 100, 100, 100, 100, 100, 100, 100, 100}, {37, 150, 13, 300, 500}, {999, 1}, {5, 5, 990}};
    for (const auto& pattern : patterns) {
        SCOPED_TRACE(testing::PrintToString(pattern));
        Start(kLoop, 1);  // frame 11, on its boundary
        Vec3 total{0, 0, 0};
        for (int ms : pattern) {
            Tick(ms);
            Vec3 m;
            const float z = ANM_Advance(rigid, &m);
            EXPECT_FLOAT_EQ(z, m.z);
            total = {total.x + m.x, total.y + m.y, total.z + m.z};
        }
        // One second is ten whole frames from 11: 11..19 and 10.
        Vec3 want{0, 0, 0};
        for (int f : {11, 12, 13, 14, 15, 16, 17, 18, 19, 10}) want = {want.x + D(f).x, 0, want.z + D(f).z};
        ExpectNear(total, want, 1e-3f, "total");
    }
    // A part of a frame moves by that part of the frame's displacement.
    Start(kLoop, 1);
    Vec3 m;
    Tick(30);
    ANM_Advance(rigid, &m);
    ExpectNear(m, {0.3f * D(11).x, 0, 0.3f * D(11).z}, 1e-4f, "part of frame 11");
    // Play once: the motion stops at the end.
    Start(kOnce, 0);
    Vec3 total{0, 0, 0};
    for (int ms : {250, 250, 500, 500}) {
        Tick(ms);
        ANM_Advance(rigid, &m);
        total = {total.x + m.x, 0, total.z + m.z};
    }
    ExpectNear(total, {D(21).x + D(22).x + D(23).x, 0, D(21).z + D(22).z + D(23).z}, 1e-3f, "play once");
}

TEST_F(AnmStep, HaltedPlayStandsStill) {
    Start(kLoop, 1);
    g_Match.inLevel = 1;
    g_Match.halted = 1;
    for (int i = 0; i < 3; ++i) {
        Tick(400);
        EXPECT_EQ(ANM_Advance(rigid, nullptr), 0.0f);
        EXPECT_EQ(rigid->frame, 11);
    }
    // The first frame after the halt still stands, then time counts from there.
    g_Match.halted = 0;
    g_Match.haltedLastFrame = 1;
    Tick(400);
    ANM_Update(rigid);
    EXPECT_EQ(rigid->frame, 11);
    g_Match.haltedLastFrame = 0;
    Tick(250);
    ANM_Update(rigid);
    EXPECT_EQ(rigid->frame, 13);
    EXPECT_NEAR(rigid->fraction, 0.5f, 1e-6f);
}

TEST_F(AnmStep, HalfSpeedDoublesEveryFrame) {
    Start(kLoop, 1);
    rigid->halfSpeed = 1;
    for (int f : {11, 12, 12, 13}) {
        Tick(100);
        ANM_Update(rigid);
        EXPECT_EQ(rigid->frame, f);
    }
}

TEST_F(AnmStep, FrameTimesAreTruncatedInSinglePrecision) {
    EXPECT_EQ(ANM_SetByIndex(rigid, kSlow, 1), 25);
    EXPECT_EQ(rigid->frameMs, 700) << "0.7 x 1000 in float is 700 (699 in double)";
    EXPECT_EQ(rigid->startTime, 0);
}

TEST_F(AnmStep, OneFrameAnimationsAndModelsStop) {
    Start(kOneFrame, 1);
    EXPECT_EQ(rigid->frame, 5);
    EXPECT_EQ(rigid->frameMs, 0);
    Tick(500);
    EXPECT_EQ(ANM_Advance(rigid, nullptr), 0.0f);
    EXPECT_EQ(rigid->frame, 5);
    // A model of a single frame returns 0 at once, however it is set.
    ModelInstance* one = Load("one.qmd", dk::QmdBytes(dk::QmdCube(1.0f, 1)));
    ASSERT_NE(one, nullptr);
    ANM_SetByIndex(one, 0, 1);
    one->frameMs = 100;
    Tick(1000);
    EXPECT_EQ(ANM_Advance(one, nullptr), 0.0f);
    EXPECT_EQ(one->frame, 0);
    EXPECT_EQ(ANM_Advance(nullptr, nullptr), 0.0f);
}

TEST_F(AnmStep, ByNameWithoutRegardToCaseAndRigidAlwaysRestarts) {
    EXPECT_EQ(ANM_SetByName(rigid, "LOOP", 1), 10);
    EXPECT_EQ(rigid->animation, kLoop);
    EXPECT_EQ(rigid->loopMode, 1);
    Tick(20);
    ANM_Update(rigid);
    Tick(300);
    ANM_Update(rigid);
    ASSERT_EQ(rigid->frame, 14);
    // Unknown names change nothing.
    EXPECT_EQ(ANM_SetByName(rigid, "no such", 0), 14);
    EXPECT_EQ(rigid->animation, kLoop);
    // The playing animation restarts on a rigid model.
    EXPECT_EQ(ANM_SetByName(rigid, "loop", 0), 10);
    EXPECT_EQ(rigid->nextFrame, 10);
    EXPECT_EQ(rigid->loopMode, 0);
    EXPECT_EQ(rigid->startTime, 0);
    // Out-of-range indices change nothing either.
    EXPECT_EQ(ANM_SetByIndex(rigid, 5, 1), 10);
    EXPECT_EQ(ANM_SetByIndex(rigid, -1, 1), 10);
}

TEST_F(AnmStep, FrameCallbackRange) {
    struct Case {
        int frame;
        int result;
    };
    for (const Case& c : {Case{-1, MDL_ERR_FRAME}, Case{0, 0}, Case{29, 0}, Case{30, MDL_ERR_FRAME}}) {
        SCOPED_TRACE(c.frame);
        EXPECT_EQ(ANM_SetFrameCallback(rigid, c.frame, Record, 1), c.result);
    }
    EXPECT_EQ(ANM_SetFrameCallback(nullptr, 0, Record, 1), MDL_ERR_FRAME);
    ASSERT_EQ(ANM_SetFrameCallback(rigid, 12, Record, 1), 0);
    ASSERT_EQ(ANM_SetFrameCallback(rigid, 12, nullptr, 0), 0);
    Start(kLoop, 1);
    Tick(300);
    ANM_Update(rigid);
    EXPECT_TRUE(log.calls.empty()) << "a null callback removes it";
}

TEST_F(AnmStep, DeathAnimationsPlayOnceInANetworkGame) {
    dk::QmdModel w = dk::QmdCube(1.0f, 4);
    w.animations = {{0.1f, 0, 1, "die"}, {0.1f, 0, 1, "Die"}, {0.1f, 0, 1, "Die on spot"}, {0.1f, 2, 3, "collapse"},
                    {0.1f, 2, 3, "fall back die"}, {0.1f, 2, 3, "die2"}, {0.1f, 0, 3, "walk"}};
    ModelInstance* body = Load("dier.qmd", dk::QmdBytes(w));
    ASSERT_NE(body, nullptr);
    struct Case {
        int index;
        bool network;
        int loop;
    };
    const Case cases[] = {{0, true, 0}, {0, false, 1}, {1, true, 1}, {2, true, 0}, {3, true, 0},
                          {4, true, 0}, {5, true, 0}, {6, true, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(w.animations[size_t(c.index)].name + (c.network ? " network" : " alone"));
        g_Match.mpGameRunning = c.network;
        ANM_SetByIndex(body, c.index, 1);
        EXPECT_EQ(body->loopMode, c.loop);
        EXPECT_EQ(body->frame, w.animations[size_t(c.index)].firstFrame);
    }
}

TEST_F(AnmStep, GroundOffsetOfARigidModel) {
    // The decoded y of the box minimum of the current animation's first frame.
    dk::QmdModel w = AnimatedModel();
    w.frames[20].boxMin[1] = 51;  // 51 x (1 / 127.5) - 1
    ModelInstance* body = Load("ground.qmd", dk::QmdBytes(w));
    ASSERT_NE(body, nullptr);
    ANM_SetByIndex(body, kOnce, 0);
    EXPECT_NEAR(ANM_GetGroundOffset(body), 51.0f / 127.5f - 1.0f, 1e-6f);
    ANM_SetByIndex(body, kLoop, 0);
    EXPECT_FLOAT_EQ(ANM_GetGroundOffset(body), -1.0f);
    EXPECT_FLOAT_EQ(ANM_GetGroundOffset(nullptr), 0.0f);
}

TEST_F(AnmStep, CloneCopiesThePlayState) {
    Start(kLoop, 1);
    rigid->halfSpeed = 1;
    ModelInstance* copy = nullptr;
    ASSERT_EQ(MDL_CloneInstance(rigid, &copy), 0);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->model.rigid, rigid->model.rigid);
    EXPECT_EQ(copy->frame, rigid->frame);
    EXPECT_EQ(copy->animation, kLoop);
    EXPECT_EQ(copy->loopMode, 1);
    EXPECT_EQ(copy->startTime, rigid->startTime);
    EXPECT_EQ(copy->halfSpeed, 1);
    EXPECT_NE(copy->frameCallbacks, rigid->frameCallbacks) << "tables of its own";
    const uint32_t before = g_MemBytes;
    MDL_FreeInstance(copy);
    EXPECT_LT(g_MemBytes, before);
    MDL_FreeInstance(nullptr);
}

// Skinned instances: blends, running animations, the limp.
class AnmSkinned : public MdlTest {
protected:
    ModelInstance* body = nullptr;
    void SetUp() override {
        MdlTest::SetUp();
        body = Load("male.qkm", dk::QkmBytes(dk::QkmHumanoid()));
        SetClock(5000, 5000);
    }
    int Index(const char* name) {
        const SkinnedModel* m = body->model.skinned;
        for (int i = 0; i < m->animationCount; ++i)
            if (std::string(m->animations[i].name) == name) return i;
        return -1;
    }
};

TEST_F(AnmSkinned, BlendsIntoANewAnimation) {
    ASSERT_EQ(ANM_SetByIndex(body, 0, 1), 0);
    EXPECT_EQ(body->nextFrame, 1);
    EXPECT_EQ(body->frameMs, 200) << "stand plays at 0.2 s per frame";
    EXPECT_EQ(ANM_SetByName(body, "stand", 1), 0);
    EXPECT_EQ(body->blending, 0) << "a running animation is not restarted";
    // Another animation: the pose still shows the old frame and blends into the new first frame
    // for one frame length of the new animation.
    const int run = Index("run");
    EXPECT_EQ(ANM_SetByName(body, "Run", 1), 0);
    EXPECT_EQ(body->animation, run);
    EXPECT_EQ(body->blending, 1);
    EXPECT_EQ(body->nextFrame, 6);
    EXPECT_EQ(body->blendMs, 100);
    EXPECT_EQ(body->startTime, 5000);
    Tick(60);
    EXPECT_EQ(ANM_Advance(body, nullptr), 0.0f);
    EXPECT_NEAR(body->fraction, 0.6f, 1e-6f);
    EXPECT_EQ(body->frame, 0);
    Tick(60);  // the blend ends; the step goes on with nothing elapsed
    ANM_Update(body);
    EXPECT_EQ(body->blending, 0);
    EXPECT_EQ(body->blendMs, 0);
    EXPECT_EQ(body->frame, 6);
    EXPECT_EQ(body->nextFrame, 7);
    EXPECT_FLOAT_EQ(body->fraction, 0.0f);
    Tick(150);
    Vec3 motion;
    ANM_Advance(body, &motion);
    EXPECT_EQ(body->frame, 7);
    // Half of frame 7's displacement plus... frame 6 has none, frame 7 has 12 along z.
    EXPECT_NEAR(motion.z, 12.0f * 0.5f, 1e-4f);
    // The running animation is not restarted by its own name.
    EXPECT_EQ(ANM_SetByName(body, "run", 1), 7);
    EXPECT_EQ(body->blending, 0);
    EXPECT_EQ(body->frame, 7);
}

TEST_F(AnmSkinned, AFinishedPlayOnceAnimationRestartsWithABlend) {
    const int die = Index("die");
    ANM_SetByIndex(body, die, 0);
    for (int i = 0; i < 5; ++i) {
        Tick(300);
        ANM_Update(body);
    }
    ASSERT_EQ(body->frameMs, 0);
    ASSERT_EQ(body->frame, die * 3 + 2);
    ANM_SetByName(body, "die", 0);
    EXPECT_EQ(body->blending, 1);
    EXPECT_EQ(body->frameMs, 100);
    EXPECT_EQ(body->nextFrame, die * 3);
}

TEST_F(AnmSkinned, WithoutItsRightShinTheBodyLimps) {
    const int walk = Index("walk"), limp = Index("limp");
    ASSERT_EQ(walk, ANM_WALK);
    ASSERT_EQ(limp, ANM_LIMP);
    body->boneStates[body->model.skinned->namedBones[MDL_BONE_RSHIN]] = 0;
    ANM_SetByName(body, "walk", 1);
    EXPECT_EQ(body->animation, ANM_LIMP);
    EXPECT_EQ(body->blendMs, 600);
    Tick(300);
    ANM_Update(body);
    EXPECT_NEAR(body->fraction, 0.5f, 1e-6f) << "600 ms blend";
    Tick(400);
    ANM_Update(body);
    EXPECT_EQ(body->blending, 0);
    // The blend out of the limp lasts 600 ms too.
    ANM_SetByName(body, "stand", 1);
    EXPECT_EQ(body->blendMs, 600);
    // With the shin present the walk is a walk.
    body->boneStates[body->model.skinned->namedBones[MDL_BONE_RSHIN]] = MDL_BONE_PRESENT;
    Tick(1000);
    ANM_Update(body);
    ANM_SetByName(body, "walk", 1);
    EXPECT_EQ(body->animation, ANM_WALK);
    EXPECT_EQ(body->blendMs, 100);
}

TEST_F(AnmSkinned, NoLimpWithoutTheLimpAnimationOrTheShin) {
    // A body with fewer than 35 animations walks even without its shin.
    dk::QkmModel w = dk::QkmHumanoid();
    w.animations.resize(20);
    ModelInstance* small = Load("small.qkm", dk::QkmBytes(w));
    ASSERT_NE(small, nullptr);
    small->boneStates[small->model.skinned->namedBones[MDL_BONE_RSHIN]] = 0;
    ANM_SetByIndex(small, 0, 1);
    ANM_SetByName(small, "walk", 1);
    EXPECT_EQ(small->animation, ANM_WALK);
    EXPECT_NE(small->blendMs, 600);
    // A model without a right shin bone at all.
    dk::QkmModel chain = dk::QkmChain(3, 16);
    chain.frameCount = 40;
    for (dk::QkmBone& b : chain.bones) b.keys.resize(40, b.keys[0]);
    chain.animations.clear();
    for (int i = 0; i < 40; ++i) chain.animations.push_back({0.1f, i, i, "a" + std::to_string(i)});
    dk::QkmComputeBoxes(&chain);
    ModelInstance* arm = Load("arm.qkm", dk::QkmBytes(chain));
    ASSERT_NE(arm, nullptr);
    ANM_SetByName(arm, "a16", 1);
    EXPECT_EQ(arm->animation, 16);
}

TEST(MdlHeading, WrapsIntoOneTurnAndPlacesTheModel) {
    constexpr float kTwoPi = 6.28318530718f;
    struct Case {
        float angle;
        float heading;
    };
    const Case cases[] = {{0.0f, 0.0f},
                          {1.0f, 1.0f},
                          {-1.0f, kTwoPi - 1.0f},
                          {kTwoPi + 0.5f, 0.5f},
                          {7.0f * kTwoPi + 2.0f, 2.0f},
                          {1.0e30f, std::fmod(1.0e30f, kTwoPi)},
                          {-1.0e30f, std::fmod(-1.0e30f, kTwoPi) + kTwoPi},
                          {NAN, 0.0f},
                          {INFINITY, 0.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.angle);
        CharacterControl control{};
        control.transform.m[9] = 5.0f;
        control.transform.m[11] = -7.0f;
        MDL_SetHeading(&control, c.angle);
        EXPECT_NEAR(control.heading, c.heading, 1e-4f);
        EXPECT_GE(control.heading, 0.0f);
        EXPECT_LT(control.heading, kTwoPi);
        const float h = control.heading;
        const float want[9] = {std::cos(h), 0, -std::sin(h), 0, 1, 0, std::sin(h), 0, std::cos(h)};
        for (int i = 0; i < 9; ++i) EXPECT_NEAR(control.transform.m[i], want[i], 1e-6f) << i;
        EXPECT_EQ(control.transform.m[9], 5.0f);
        EXPECT_EQ(control.transform.m[11], -7.0f);
        // The pose turns the same way as the transform.
        Matrix34 fromPose;
        MTH_PoseToMatrix(&control.pose, &fromPose);
        for (int i = 0; i < 9; ++i) EXPECT_NEAR(fromPose.m[i], want[i], 1e-5f) << i;
    }
}

}  // namespace
