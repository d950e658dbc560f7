// The locomotion, idle and reaction actions on the demo install's character body: the player's
// idle turning commands into actions (the later call wins), walking, running and turning on the
// spot, standing as the hand-over between player and AI, the ends of reactions (one outcome each:
// a dying character dies), the shock's damage, the jump's take-off on a held animation, and the
// swap of the unarmed run into the armed one on the same step.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/game_clock.h"
#include "engine/anm.h"
#include "engine/landscape_query.h"
#include "engine/mdl.h"
#include "world/act.h"
#include "world/act_table.h"
#include "world/ai.h"
#include "world/bod.h"
#include "world/character.h"
#include "world/game_frame.h"
#include "world/mdl_world.h"
#include "world_fixture.h"

namespace {

constexpr int kFrameMs = 20;

class ActionsTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        WH_WriteCharacterBody("graphics\\models\\female.qkm");
        g_GameClock.nowMs = g_GameClock.previousMs = 1000;
        g_GameClock.gravity = 1000.0f;
    }
    // A character on the action table with the character body, standing; a player is the focus.
    Bod* Character(uint32_t classMask, float health = 64.0f) {
        Bod* bod = WH_MakeCharacter(classMask, {0, 0, 0}, 0.0f, health);
        static_cast<BodControl*>(bod->control)->actionTable = g_ActionTable.data();
        WH_GiveModel(bod, "graphics\\models\\female.qkm");
        ANM_SetByName(WH_Character(bod)->instance, "stand", 1);
        if (classMask == BOD_CLASS_PLAYER) {
            WH_SetPlayer(0, bod, 0);
            WH_Ai(bod)->kind = 1;
            g_FocusBod = bod;
        }
        WH_Character(bod)->gait = 1;
        return bod;
    }
    // Runs the bod's current handler once, a frame later.
    static void Step(Bod* bod) {
        g_GameClock.previousMs = g_GameClock.nowMs;
        g_GameClock.nowMs += kFrameMs;
        g_GameClock.deltaMs = kFrameMs;
        g_GameClock.deltaSeconds = kFrameMs * 0.001f;
        BOD_RunBehaviour(bod, WH_Character(bod)->head.action);
    }
    static std::string Animation(Bod* bod) {
        const ModelInstance* i = WH_Character(bod)->instance;
        return i->model.skinned->animations[i->animation].name;
    }
    // Runs the handler until the action changes (at most `frames` frames).
    static void RunUntilChange(Bod* bod, int frames) {
        const int start = WH_Character(bod)->head.action;
        for (int i = 0; i < frames && WH_Character(bod)->head.action == start; ++i)
            Step(bod);
    }
};

struct IdleCase {
    const char* name;
    int turn, move, attack, use, push, kick, gait;
    int selectedType;  // -1 bare hands
    int expect;
};

void PrintTo(const IdleCase& c, std::ostream* os) {
    *os << c.name;
}

class PlayerIdleTest : public ActionsTest, public ::testing::WithParamInterface<IdleCase> {};

TEST_P(PlayerIdleTest, TurnsTheCommandsIntoTheLastAction) {
    const IdleCase& c = GetParam();
    Bod* bod = Character(BOD_CLASS_PLAYER);
    CharacterControl* control = WH_Character(bod);
    control->head.action = ACTION_PLAYER_IDLE;
    control->turnCommand = c.turn;
    control->moveCommand = c.move;
    control->attackCommand = uint32_t(c.attack);
    control->useCommand = uint32_t(c.use);
    control->pushCommand = uint32_t(c.push);
    control->kickCommand = uint32_t(c.kick);
    control->gait = c.gait;
    if (c.selectedType >= 0) {
        control->items[3] = {uint32_t(c.selectedType), nullptr, 0};
        control->selectedSlot = 3;
    }
    Step(bod);
    EXPECT_EQ(control->head.action, c.expect);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, PlayerIdleTest,
    ::testing::Values(
        //       name                  turn move att use push kick gait type  expect
        IdleCase{"Nothing", 0, 0, 0, 0, 0, 0, 1, -1, ACTION_PLAYER_IDLE},
        IdleCase{"UseBareHands", 0, 0, 0, 1, 0, 0, 1, -1, ACTION_USE},
        IdleCase{"UseKeyCardFirst", 0, 0, 0, 1, 0, 0, 1, 93, ACTION_SWIPE_CARD},
        IdleCase{"UseKeyCardLast", 0, 0, 0, 1, 0, 0, 1, 104, ACTION_SWIPE_CARD},
        IdleCase{"UseTimeBombAttacks", 0, 0, 0, 1, 0, 0, 1, 69, ACTION_ATTACK},
        IdleCase{"UseOtherObject", 0, 0, 0, 1, 0, 0, 1, 105, ACTION_USE},
        IdleCase{"UseThenWalkWalks", 0, 3, 0, 1, 0, 0, 1, -1, ACTION_START_WALK},
        IdleCase{"AttackBeforePush", 0, 0, 1, 0, 1, 1, 1, -1, ACTION_ATTACK},
        IdleCase{"PushBeforeKick", 0, 0, 0, 0, 1, 1, 1, -1, ACTION_PUSH},
        IdleCase{"Kick", 0, 0, 0, 0, 0, 1, 1, -1, ACTION_KICK},
        IdleCase{"AttackWhileMovingMoves", 0, 3, 1, 0, 0, 0, 1, -1, ACTION_START_WALK},
        IdleCase{"TurnLeft", 1, 0, 0, 0, 0, 0, 1, -1, ACTION_ROTATE_LEFT},
        IdleCase{"TurnRight", 2, 0, 0, 0, 0, 0, 1, -1, ACTION_ROTATE_RIGHT},
        IdleCase{"TurnAndWalkWalks", 2, 3, 0, 0, 0, 0, 1, -1, ACTION_START_WALK},
        IdleCase{"Run", 0, 3, 0, 0, 0, 0, 2, -1, ACTION_START_RUN},
        IdleCase{"Backwards", 1, 4, 0, 0, 0, 0, 2, -1, ACTION_STEP_BACK}),
    [](const ::testing::TestParamInfo<IdleCase>& info) { return std::string(info.param.name); });

struct LoopCase {
    const char* name;
    int action;
    int turn, move, attack, gait;
    int expect;
};

void PrintTo(const LoopCase& c, std::ostream* os) {
    *os << c.name;
}

class LocomotionTest : public ActionsTest, public ::testing::WithParamInterface<LoopCase> {};

TEST_P(LocomotionTest, ReadsTheCommandsEveryFrame) {
    const LoopCase& c = GetParam();
    Bod* bod = Character(BOD_CLASS_PLAYER);
    CharacterControl* control = WH_Character(bod);
    control->head.action = c.action;
    control->turnCommand = c.turn;
    control->moveCommand = c.move;
    control->attackCommand = uint32_t(c.attack);
    control->gait = c.gait;
    Step(bod);
    EXPECT_EQ(control->head.action, c.expect);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, LocomotionTest,
    ::testing::Values(
        LoopCase{"WalkKeepsWalking", ACTION_WALK, 0, 3, 0, 1, ACTION_WALK},
        LoopCase{"WalkStops", ACTION_WALK, 0, 0, 0, 1, ACTION_STAND},
        LoopCase{"WalkToRun", ACTION_WALK, 0, 3, 0, 2, ACTION_START_RUN},
        LoopCase{"WalkRunFlagWithoutForwardStops", ACTION_WALK, 0, 0, 0, 2, ACTION_STAND},
        LoopCase{"WalkBackwards", ACTION_WALK, 0, 4, 0, 1, ACTION_STEP_BACK},
        LoopCase{"WalkAttacks", ACTION_WALK, 0, 3, 1, 1, ACTION_ATTACK},
        LoopCase{"RunKeepsRunning", ACTION_RUN, 0, 3, 0, 2, ACTION_RUN},
        LoopCase{"RunToWalk", ACTION_RUN, 0, 3, 0, 1, ACTION_START_WALK},
        LoopCase{"RunStops", ACTION_RUN, 0, 0, 0, 2, ACTION_STAND},
        LoopCase{"RunAttacks", ACTION_RUN, 0, 3, 1, 2, ACTION_ATTACK},
        LoopCase{"StepBackKeepsGoing", ACTION_STEP_BACK, 0, 4, 0, 1, ACTION_STEP_BACK},
        LoopCase{"StepBackStops", ACTION_STEP_BACK, 0, 3, 0, 1, ACTION_STAND},
        LoopCase{"RotateRightKeepsTurning", ACTION_ROTATE_RIGHT, 2, 0, 0, 1, ACTION_ROTATE_RIGHT},
        LoopCase{"RotateRightTurnsBack", ACTION_ROTATE_RIGHT, 1, 0, 0, 1, ACTION_ROTATE_LEFT},
        LoopCase{"RotateRightReleased", ACTION_ROTATE_RIGHT, 0, 0, 0, 1, ACTION_STAND},
        LoopCase{"RotateRightWalksOff", ACTION_ROTATE_RIGHT, 2, 3, 0, 1, ACTION_STAND},
        LoopCase{"RotateLeftTurnsBack", ACTION_ROTATE_LEFT, 2, 0, 0, 1, ACTION_ROTATE_RIGHT},
        LoopCase{"RotateLeftAttacks", ACTION_ROTATE_LEFT, 1, 0, 1, 1, ACTION_ATTACK}),
    [](const ::testing::TestParamInfo<LoopCase>& info) { return std::string(info.param.name); });

// The body's walk and run cycles move its root backwards, which the movement turns into motion
// along the heading: a walking or running character goes forwards, whichever way it faces.
TEST_F(ActionsTest, WalkingAndRunningGoForwards) {
    WH_BuildLandscape({{-5000, -5000, 5000, 5000, 0}}, {});
    struct Case {
        int action;
        int gait;
        float heading;
    } const cases[] = {{ACTION_WALK, 1, 0.0f}, {ACTION_WALK, 1, 1.5707963f}, {ACTION_WALK, 1, 3.1415927f},
                       {ACTION_RUN, 2, 0.0f}, {ACTION_RUN, 2, 4.712389f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.action) + " at heading " + std::to_string(c.heading));
        Bod* bod = Character(BOD_CLASS_PLAYER);
        CharacterControl* control = WH_Character(bod);
        MDL_SetHeading(control, c.heading);
        bod->active = 1;
        const Vec3 at{0.0f, 0.0f, 0.0f};
        control->surface = uint32_t(LND_LocateSurface(0, &at));
        ASSERT_NE(control->surface, 0u);
        WH_Ai(bod)->lastMoveMs = g_GameClock.nowMs;
        control->moveCommand = 3;
        control->gait = c.gait;
        ANM_SetByName(control->instance, c.action == ACTION_WALK ? "walk" : "run no weapon", 1);
        control->head.action = c.action;
        Vec3 forward;
        const Vec3 ahead{0.0f, 0.0f, 1.0f};
        MTH_RotateVector(&forward, &ahead, &control->transform);
        const Vec3 start{control->transform.m[9], control->transform.m[10], control->transform.m[11]};
        for (int i = 0; i < 40; ++i)
            Step(bod);
        ASSERT_EQ(control->head.action, c.action);
        const float dx = control->transform.m[9] - start.x, dz = control->transform.m[11] - start.z;
        const float along = dx * forward.x + dz * forward.z;
        const float across = dx * forward.z - dz * forward.x;
        EXPECT_GT(along, 20.0f) << "forwards";
        EXPECT_NEAR(across, 0.0f, 0.5f) << "straight on";
        BOD_Destroy(&g_WorldBods, bod);  // out of the next one's way
        g_PlayerBods[0] = nullptr;
        g_FocusBod = nullptr;
    }
}

TEST_F(ActionsTest, TurningOnTheSpotFollowsPiRadiansASecond) {
    Bod* bod = Character(BOD_CLASS_PLAYER);
    CharacterControl* control = WH_Character(bod);
    control->head.action = ACTION_ROTATE_RIGHT;
    control->turnCommand = 2;
    for (int i = 0; i < 10; ++i)
        Step(bod);
    EXPECT_NEAR(control->heading, 3.14159265f * 0.2f, 1e-4f) << "200 ms at pi rad/s";
    EXPECT_EQ(Animation(bod), "rotate right");
    control->head.action = ACTION_ROTATE_LEFT;
    control->turnCommand = 1;
    for (int i = 0; i < 20; ++i)
        Step(bod);
    EXPECT_NEAR(control->heading, 2.0f * 3.14159265f - 3.14159265f * 0.2f, 1e-3f) << "wrapped into [0, 2 pi)";
}

// Standing hands the character over: the focus character under the player to the player's idle,
// everyone else to the AI.
TEST_F(ActionsTest, StandingHandsTheCharacterToThePlayerOrTheAi) {
    struct {
        const char* name;
        uint32_t classMask;
        bool focus;
        int posture;
        int expect;
        const char* animation;
    } cases[] = {{"focus player", BOD_CLASS_PLAYER, true, 0, ACTION_PLAYER_IDLE, "stand"},
                 {"team member", BOD_CLASS_PLAYER, false, 0, ACTION_AI, "stand"},
                 {"zombie", BOD_CLASS_NPC, false, 0, ACTION_AI, "stand"},
                 {"crawling zombie", BOD_CLASS_NPC, false, 8, ACTION_AI, "crawl chew"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WH_Reset();
        WH_WriteCharacterBody("graphics\\models\\female.qkm");
        Bod* bod = Character(c.classMask);
        if (!c.focus)
            g_FocusBod = nullptr;
        CharacterControl* control = WH_Character(bod);
        WH_Ai(bod)->posture = c.posture;
        control->gait = 2;
        ANM_SetByName(control->instance, "walk", 1);
        for (int bone = 0; bone < control->instance->model.skinned->boneCount; ++bone)
            control->instance->boneStates[bone] |= 0x100000;
        control->head.action = ACTION_STAND;
        const size_t mark = WH_TraceMark();
        Step(bod);
        EXPECT_EQ(control->head.action, c.expect);
        EXPECT_EQ(Animation(bod), c.animation);
        EXPECT_EQ(control->gait, c.expect == ACTION_PLAYER_IDLE ? 1 : 2);
        EXPECT_EQ(WH_Calls(WH_TraceSince(mark), "AI_SyncHeading").size(), c.expect == ACTION_AI ? 1u : 0u);
        for (int bone = 0; bone < control->instance->model.skinned->boneCount; ++bone)
            EXPECT_EQ(control->instance->boneStates[bone] & 0x100000, 0u) << "eating marks cleared";
    }
}

// A reaction that plays to its end has one outcome; a dying character dies (10) and is neither
// stood up again nor handed back to its AI.
TEST_F(ActionsTest, TheEndOfAReactionHasOneOutcome) {
    struct {
        const char* name;
        bool network;
        int action;
        float health;
        bool focus;
        int expect;
    } cases[] = {
        {"steered, single player", false, ACTION_FINISH_STEER, 30, true, ACTION_STAND},
        {"steered, dying", false, ACTION_FINISH_STEER, 0, true, ACTION_DIE},
        {"steered, network", true, ACTION_FINISH_STEER, 30, true, ACTION_PLAYER_IDLE},
        {"steered, dying, network", true, ACTION_FINISH_STEER, 0, true, ACTION_DIE},
        {"reaction end", false, ACTION_REACTION_END, 30, false, ACTION_AI},
        {"reaction end, dying", false, ACTION_REACTION_END, 0, false, ACTION_DIE},
        {"finish", false, ACTION_FINISH, 30, true, ACTION_STAND},
        {"finish, dying", false, ACTION_FINISH, 0, true, ACTION_DIE},
        {"finish then AI, steered", false, ACTION_FINISH_THEN_AI, 30, true, ACTION_STAND},
        {"finish then AI, team member", false, ACTION_FINISH_THEN_AI, 30, false, ACTION_AI},
        {"back to AI", false, ACTION_BACK_TO_AI, 30, false, ACTION_AI},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WH_Reset();
        WH_WriteCharacterBody("graphics\\models\\female.qkm");
        if (c.network)
            WH_SetNetworkGame(true, 0);
        Bod* bod = Character(BOD_CLASS_PLAYER, c.health);
        if (!c.focus)
            g_FocusBod = nullptr;
        CharacterControl* control = WH_Character(bod);
        control->inReaction = 1;
        ANM_SetByName(control->instance, "recoil back", 0);
        control->head.action = c.action;
        RunUntilChange(bod, 100);
        EXPECT_EQ(control->head.action, c.expect);
        if (c.action != ACTION_BACK_TO_AI && c.action != ACTION_FINISH_THEN_AI) {
            EXPECT_EQ(control->inReaction, 0u);
        }
        if (c.network && c.expect == ACTION_PLAYER_IDLE) {
            EXPECT_EQ(Animation(bod), "stand") << "a player character stands once";
        }
    }
}

TEST_F(ActionsTest, RecoilsGoToThePlayerOrBackToTheAi) {
    struct {
        const char* name;
        int action;
        bool focus;
        int expect;
        const char* animation;
        int frameMs;
        size_t releases;
    } cases[] = {{"recoil back, steered", ACTION_RECOIL_BACK, true, ACTION_FINISH_STEER, "recoil back", 27, 0},
                 {"recoil forward, team", ACTION_RECOIL_FORWARD, false, ACTION_REACTION_END, "recoil forward", 27, 1},
                 {"chew hit, steered", ACTION_CHEW_HIT_FRONT, true, ACTION_FINISH, "chew hit front", 100, 0},
                 {"chew hit, team", ACTION_CHEW_HIT_BACK, false, ACTION_REACTION_END, "chew hit back", 100, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bod* bod = Character(BOD_CLASS_PLAYER);
        if (!c.focus)
            g_FocusBod = nullptr;
        CharacterControl* control = WH_Character(bod);
        control->head.action = c.action;
        const size_t mark = WH_TraceMark();
        Step(bod);
        EXPECT_EQ(control->head.action, c.expect);
        EXPECT_EQ(Animation(bod), c.animation);
        EXPECT_EQ(control->instance->frameMs, c.frameMs);
        EXPECT_EQ(control->instance->loopMode, 0);
        EXPECT_EQ(control->inReaction, 1u);
        EXPECT_EQ(WH_Calls(WH_TraceSince(mark), "AI_Release").size(), c.releases);
    }
}

// 8 damage at the start and 8 at the end; the kill comes when the health falls below 1.
TEST_F(ActionsTest, AShockCostsSixteenHealth) {
    struct {
        float health;
        float afterStart;
        float afterEnd;
        int killedAt;  // 0 never, 1 at the start, 2 at the end
    } cases[] = {{64, 56, 48, 0}, {10, 2, 0, 2}, {8, 0, 0, 1}, {16, 8, 0, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE("health " + std::to_string(c.health));
        WH_Reset();
        WH_WriteCharacterBody("graphics\\models\\female.qkm");
        Bod* bod = Character(BOD_CLASS_PLAYER, c.health);
        CharacterControl* control = WH_Character(bod);
        control->head.action = ACTION_SHOCK;
        size_t mark = WH_TraceMark();
        Step(bod);
        EXPECT_EQ(control->head.action, ACTION_SHOCKED);
        EXPECT_EQ(Animation(bod), "shock");
        EXPECT_FLOAT_EQ(WH_Ai(bod)->health, c.afterStart);
        EXPECT_EQ(WH_Calls(WH_TraceSince(mark), "ACT_KillCharacter").size(), c.killedAt == 1 ? 1u : 0u);
        EXPECT_EQ(WH_Calls(WH_TraceSince(mark), "SND_PlayOnObject"),
                  std::vector<std::string>{"SND_PlayOnObject(player0,0x10018,90,0,1500)"});
        const int32_t shockedAt = g_GameClock.nowMs;
        RunUntilChange(bod, 100);
        EXPECT_EQ(control->head.action, ACTION_SHOCK_DAMAGE);
        EXPECT_GT(g_GameClock.nowMs - shockedAt, 1000) << "a second of shaking";
        EXPECT_LE(g_GameClock.nowMs - shockedAt, 1000 + kFrameMs);
        mark = WH_TraceMark();
        Step(bod);
        EXPECT_EQ(control->head.action, ACTION_STAND);
        EXPECT_FLOAT_EQ(WH_Ai(bod)->health, c.afterEnd);
        EXPECT_EQ(WH_Calls(WH_TraceSince(mark), "ACT_KillCharacter"),
                  c.killedAt == 2 ? std::vector<std::string>{"ACT_KillCharacter(player0,none,2,1)"}
                                  : std::vector<std::string>{});
    }
}

// The take-off divides the frame's root motion by the frame time: a held animation (frame time 0,
// as "land ok" leaves it) gives no forward speed instead of an infinite one.
TEST_F(ActionsTest, AJumpFromAHeldAnimationStaysFinite) {
    struct {
        const char* animation;
        int32_t frameMs;
        bool forward;
    } cases[] = {{"land ok", 0, false}, {"run", 100, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.animation);
        Bod* bod = Character(BOD_CLASS_PLAYER);
        CharacterControl* control = WH_Character(bod);
        ModelInstance* instance = control->instance;
        ANM_SetByName(instance, c.animation, 1);
        const ModelAnimation& a = instance->model.skinned->animations[instance->animation];
        instance->frame = a.firstFrame + 1;  // a frame with root motion where the animation has any
        instance->frameMs = c.frameMs;
        control->head.action = ACTION_JUMP;
        Step(bod);
        EXPECT_EQ(control->head.action, 48) << "the empty slot after the take-off";
        for (float v : control->velocity)
            EXPECT_TRUE(std::isfinite(v));
        EXPECT_FLOAT_EQ(control->velocity[1], 15.0f);
        const float horizontal = std::hypot(control->velocity[0], control->velocity[2]);
        EXPECT_NEAR(horizontal, c.forward ? 12.0f / 0.1f * 0.75f : 0.0f, 1e-2f);
        EXPECT_EQ(instance->frameMs, 150);
        EXPECT_EQ(control->landed, 1u);
    }
}

// Selecting an object while running without one swaps to the armed run on the same step of the
// cycle, without a blend.
TEST_F(ActionsTest, TheUnarmedRunBecomesTheArmedRunInStep) {
    Bod* bod = Character(BOD_CLASS_PLAYER);
    CharacterControl* control = WH_Character(bod);
    control->moveCommand = 3;
    control->gait = 2;
    control->head.action = ACTION_START_RUN;
    Step(bod);
    ASSERT_EQ(Animation(bod), "run no weapon");
    for (int i = 0; i < 30; ++i)
        Step(bod);
    ModelInstance* instance = control->instance;
    const ModelAnimation* animations = instance->model.skinned->animations;
    const int step = instance->frame - animations[instance->animation].firstFrame;
    ASSERT_GT(step, 0);
    Bod* axe = WH_MakeObject(BOD_CLASS_OBJECT, 5, {0, 0, 0});
    control->items[2] = {5, axe, 0};
    control->selectedSlot = 2;
    BOD_RunBehaviour(bod, ACTION_RUN);
    EXPECT_EQ(Animation(bod), "run");
    EXPECT_EQ(instance->frame - animations[instance->animation].firstFrame, step);
    EXPECT_EQ(instance->blending, 0);
    EXPECT_EQ(control->head.action, ACTION_RUN);
}

TEST_F(ActionsTest, InANetworkGameTheAiKeepsACharacterItIsAttackingWith) {
    WH_SetNetworkGame(true, 0);
    Bod* bod = Character(BOD_CLASS_PLAYER);
    CharacterControl* control = WH_Character(bod);
    WH_Ai(bod)->state = 5;
    WH_Ai(bod)->aiDrives = 1;
    control->moveCommand = 3;
    for (int action : {ACTION_STAND, ACTION_PLAYER_IDLE}) {
        SCOPED_TRACE(action);
        control->head.action = action;
        control->busy = 1;
        WH_Ai(bod)->aiDrives = 1;
        Step(bod);
        EXPECT_EQ(control->head.action, action) << "nothing more happens";
        EXPECT_EQ(WH_Ai(bod)->aiDrives, 0);
        EXPECT_EQ(control->busy, 0u);
    }
}

}  // namespace
