// World-object behaviours: doors reaching their open and closed positions exactly and stopping at
// every heading (with and without the leg across), their sounds waiting for the level's sixth
// frame, the initialisation of single-player and network doors, switches, conveyor modes and
// belt rates, the toggle, and a dropped object's fall back to lying.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/calltrace.h"
#include "common/game_clock.h"
#include "engine/lnd.h"
#include "world/bod.h"
#include "world/game_state.h"
#include "world/character.h"
#include "world/game_frame.h"
#include "world/lvl_placement.h"
#include "world/wo.h"
#include "world/wo_behaviour.h"
#include "world/wo_carry.h"
#include "world/wo_create.h"
#include "world/wo_master.h"
#include "ui/txt.h"
#include "world_fixture.h"

namespace {

constexpr int kFrameMs = 20;
constexpr uint32_t kStaticType = 151;
constexpr float kPi = 3.14159265f;

class BehaviourTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        // wall0 is the door: its origin (the reference vertex) at (0, 0, 500).
        WH_BuildLandscape({{-2000, -2000, 2000, 2000, 0, "BELT.BMP", "belt", 30}},
                          {{0, 500, 200, 500, 0, 300}});
        g_GameClock.nowMs = g_GameClock.previousMs = 1000;
        g_LevelNumber = 2;
    }

    Bod* Place(const char* name, uint32_t initialState, const void* param10, uint32_t param11 = 0) {
        WOPlacement list[2] = {};
        list[0].type = kStaticType;
        list[0].name = name;
        list[0].initialState = initialState;
        list[0].param10 = param10;
        list[0].param11 = param11;
        list[1].type = WO_END_TYPE;
        EXPECT_EQ(LVL_CreatePlacedObjects(list, 2), 1);
        return g_WorldBods.tail;
    }

    static Vec3 Reference(const Bod* door) {
        const WorldObjectControl* c = BOD_ObjectOf(door);
        const LandscapeObject& o = g_Landscape->objects[c->landscapeObject];
        return g_Landscape->vertices[o.positionRef].position;
    }

    static void Frame() {
        g_GameClock.previousMs = g_GameClock.nowMs;
        g_GameClock.nowMs += kFrameMs;
        g_GameClock.deltaMs = kFrameMs;
        g_GameClock.deltaSeconds = kFrameMs * 0.001f;
        BOD_UpdateAll(&g_WorldBods);
    }

    // Runs frames until the door rests (state 3); the number of frames, or -1 past the limit.
    static int RunUntilIdle(Bod* door, int limit = 500) {
        for (int f = 1; f <= limit; ++f) {
            Frame();
            if (BOD_ObjectOf(door)->head.action == WO_BEHAVIOUR_IDLE)
                return f;
        }
        return -1;
    }
};

TEST_F(BehaviourTest, DoorsReachOpenAndClosedExactlyAndStop) {
    struct Case {
        const char* what;
        WODoorRecord door;
    } const cases[] = {
        {"heading 0", {0.0f, 200.0f, 100.0f, 400.0f}},
        {"heading pi/2", {kPi / 2, 200.0f, 100.0f, 400.0f}},
        {"heading pi/4", {kPi / 4, 200.0f, 100.0f, 400.0f}},
        {"heading pi/4, negative across", {kPi / 4, 200.0f, -100.0f, 400.0f}},
        {"heading pi, one leg", {kPi, 150.0f, 0.0f, 300.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        Bod* door = Place("wall0", WO_BEHAVIOUR_DOOR_INIT, &c.door);
        const WorldObjectControl* control = BOD_ObjectOf(door);
        const Vec3 closed = Reference(door);
        Frame();  // the initialisation
        EXPECT_EQ(control->head.action, WO_BEHAVIOUR_IDLE);
        EXPECT_EQ(control->param11, WO_DOOR_CLOSED);
        const float h = c.door.heading;
        const Vec3 open{closed.x + c.door.across * std::cos(h) + c.door.along * std::sin(h), closed.y,
                        closed.z - c.door.across * std::sin(h) + c.door.along * std::cos(h)};

        BOD_SetAction(door, WO_BEHAVIOUR_DOOR_OPEN);
        const int opening = RunUntilIdle(door);
        const float distance = std::fabs(c.door.across) + c.door.along;
        ASSERT_GT(opening, 0) << "the door stops";
        EXPECT_LE(opening, int(distance / c.door.speed / 0.02f) + 4);
        EXPECT_EQ(control->param11, WO_DOOR_OPEN);
        Vec3 at = Reference(door);
        EXPECT_NEAR(at.x, open.x, 1e-3f);
        EXPECT_NEAR(at.z, open.z, 1e-3f);
        EXPECT_FLOAT_EQ(at.y, closed.y);
        Frame();
        EXPECT_EQ(Reference(door).x, at.x) << "and stays";

        BOD_SetAction(door, WO_BEHAVIOUR_DOOR_CLOSE);
        ASSERT_GT(RunUntilIdle(door), 0);
        EXPECT_EQ(control->param11, WO_DOOR_CLOSED);
        at = Reference(door);
        EXPECT_FLOAT_EQ(at.x, closed.x);
        EXPECT_FLOAT_EQ(at.z, closed.z);
        // Opening the door again at once: it has not moved since.
        BOD_SetAction(door, WO_BEHAVIOUR_DOOR_CLOSE);
        Frame();
        EXPECT_EQ(control->head.action, WO_BEHAVIOUR_IDLE);
        EXPECT_FLOAT_EQ(Reference(door).x, closed.x);
    }
}

// A door closing half way opens again along the way it came.
TEST_F(BehaviourTest, AClosingDoorReopens) {
    const WODoorRecord record{kPi / 4, 200.0f, 100.0f, 400.0f};
    Bod* door = Place("wall0", WO_BEHAVIOUR_DOOR_INIT, &record, WO_DOOR_OPEN);
    const WorldObjectControl* control = BOD_ObjectOf(door);
    Frame();
    ASSERT_GT(RunUntilIdle(door), 0);
    const Vec3 open = Reference(door);
    ASSERT_EQ(control->param11, WO_DOOR_OPEN) << "a single-player door placed open opens at once";
    BOD_SetAction(door, WO_BEHAVIOUR_DOOR_CLOSE);
    for (int f = 0; f < 20; ++f)
        Frame();
    ASSERT_EQ(control->param11, WO_DOOR_CLOSING);
    BOD_SetAction(door, WO_BEHAVIOUR_DOOR_OPEN);
    ASSERT_GT(RunUntilIdle(door), 0);
    EXPECT_EQ(control->param11, WO_DOOR_OPEN);
    EXPECT_FLOAT_EQ(Reference(door).x, open.x);
    EXPECT_FLOAT_EQ(Reference(door).z, open.z);
}

TEST_F(BehaviourTest, DoorSoundsWaitForTheSixthFrame) {
    const WODoorRecord record{0.0f, 100.0f, 0.0f, 1000.0f};
    Bod* door = Place("wall0", WO_BEHAVIOUR_DOOR_INIT, &record);
    Frame();
    for (int frameCount : {5, 6}) {
        SCOPED_TRACE(frameCount);
        g_LevelFrameCount = frameCount;
        const size_t mark = WH_TraceMark();
        BOD_SetAction(door, WO_BEHAVIOUR_DOOR_OPEN);
        ASSERT_GT(RunUntilIdle(door), 0);
        BOD_SetAction(door, WO_BEHAVIOUR_DOOR_CLOSE);
        ASSERT_GT(RunUntilIdle(door), 0);
        const std::vector<std::string> expected =
            frameCount > 5 ? std::vector<std::string>{"SND_PlayAtVolume(0x1000E,70)", "SND_Play(0x1000F)", "SND_Play(0x10010)"}
                           : std::vector<std::string>{};
        EXPECT_EQ(WH_Sounds(WH_TraceSince(mark)), expected);
    }
}

TEST_F(BehaviourTest, NetworkDoorsOpenAndLevelFiveShiftsTheDoor) {
    const WODoorRecord record{0.0f, 100.0f, 0.0f, 1000.0f};
    WH_SetNetworkGame(true, 0);
    Bod* door = Place("wall0", WO_BEHAVIOUR_DOOR_INIT, &record);
    const Vec3 closed = Reference(door);
    Frame();
    EXPECT_EQ(BOD_ObjectOf(door)->head.action, WO_BEHAVIOUR_DOOR_OPEN);
    ASSERT_GT(RunUntilIdle(door), 0);
    EXPECT_FLOAT_EQ(Reference(door).z, closed.z + 100.0f);

    WH_SetSinglePlayer();
    g_LevelNumber = 5;
    Bod* shifted = Place("wall0", WO_BEHAVIOUR_DOOR_INIT, &record);
    const Vec3 before = Reference(shifted);
    BOD_RunBehaviour(shifted, WO_BEHAVIOUR_DOOR_INIT);
    EXPECT_FLOAT_EQ(Reference(shifted).x, before.x + 15.0f);
    EXPECT_FLOAT_EQ(BOD_ObjectOf(shifted)->doorClosed.x, before.x + 15.0f);
}

TEST_F(BehaviourTest, MissingDoorDataLeavesTheDoorIdle) {
    const WODoorRecord record{0.0f, 100.0f, 0.0f, 1000.0f};
    for (Bod* door : {Place("wall0", WO_BEHAVIOUR_DOOR_INIT, nullptr), Place("nothing", WO_BEHAVIOUR_DOOR_INIT, &record)}) {
        Frame();
        EXPECT_EQ(BOD_ObjectOf(door)->head.action, WO_BEHAVIOUR_IDLE);
        BOD_SetAction(door, WO_BEHAVIOUR_DOOR_OPEN);
        EXPECT_GT(RunUntilIdle(door, 5), 0);
    }
}

TEST_F(BehaviourTest, SwitchesSetTheirObjectsAndTheToggleFlips) {
    Bod* sw = Place("switch", 0, nullptr);
    Bod* onTarget = Place("lamp", 0, nullptr);
    Bod* offTarget = Place("gate", 0, nullptr);
    WorldObjectControl* c = BOD_ObjectOf(sw);
    c->onObject = onTarget;
    c->param6 = 23;
    c->offObject = offTarget;
    c->param8 = 24;
    BOD_RunBehaviour(sw, WO_BEHAVIOUR_SWITCH_ON);
    EXPECT_EQ(c->on, 1u);
    EXPECT_EQ(BOD_ObjectOf(onTarget)->head.action, 23);
    EXPECT_EQ(g_WOSwitchedObject, onTarget);
    EXPECT_EQ(g_WOCurrentSwitch, sw);
    EXPECT_EQ(c->head.action, 0);
    BOD_RunBehaviour(sw, WO_BEHAVIOUR_SWITCH_OFF);
    EXPECT_EQ(c->on, 0u);
    EXPECT_EQ(BOD_ObjectOf(offTarget)->head.action, 24);
    EXPECT_EQ(g_WOSwitchedObject, offTarget);
    // A disabled switch is still the current one but switches nothing.
    c->disabled = 1;
    BOD_ObjectOf(onTarget)->head.action = 0;
    BOD_RunBehaviour(sw, WO_BEHAVIOUR_SWITCH_ON);
    EXPECT_EQ(c->on, 0u);
    EXPECT_EQ(BOD_ObjectOf(onTarget)->head.action, 0);

    Bod* toggle = Place("lever", 0, nullptr);
    for (int32_t expect : {1, 0, 1}) {
        BOD_RunBehaviour(toggle, WO_BEHAVIOUR_TOGGLE);
        EXPECT_EQ(g_WOToggleFlag, expect);
    }
}

TEST_F(BehaviourTest, ConveyorModesGiveTheBeltRates) {
    const WOConveyorRecord belt{40.0f, {1, 1}, 0};
    Bod* conveyor = Place("belt", WO_BEHAVIOUR_CONVEYOR_SET, &belt);
    Frame();
    const LandscapeMaterial& m = g_Landscape->materials[1];
    EXPECT_EQ(m.uvAnimDv, 0.0f);
    EXPECT_EQ(m.uvAnimKind, 1);
    struct Step {
        uint32_t mode;
        float rate;
        const char* sound;  // the belt's sound call, or null
    } const steps[] = {{1, -40.0f, "SND_PlayOnObject(static,0x10013,50,1,1500)"},
                       {2, 0.0f, "SND_StopEmitter(static)"},
                       {3, 40.0f, "SND_PlayOnObject(static,0x10013,50,1,1500)"},
                       {0, 0.0f, "SND_StopEmitter(static)"}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.mode);
        const size_t mark = WH_TraceMark();
        BOD_RunBehaviour(conveyor, WO_BEHAVIOUR_CONVEYOR_STEP);
        EXPECT_EQ(BOD_ObjectOf(conveyor)->param11, s.mode);
        EXPECT_FLOAT_EQ(m.uvAnimDv, s.rate);
        EXPECT_EQ(m.uvAnimDu, 0.0f);
        std::vector<std::string> expected = {"SND_Play(0x1000C)", s.sound};
        std::vector<std::string> sounds = WH_Sounds(WH_TraceSince(mark));
        EXPECT_EQ(sounds, expected);
    }
}

TEST_F(BehaviourTest, ADroppedObjectFallsSettlesAndLies) {
    Bod* player = WH_MakeCharacter(BOD_CLASS_PLAYER, {100, 0, 200}, 0.0f, 40.0f);
    WH_SetPlayer(0, player, 0);
    WOClearInventory(player);
    Bod* pistol = WOCreateAt(nullptr, 0, 47, nullptr, nullptr);
    ASSERT_EQ(pickupweapobj(pistol, player), 0);
    WH_Character(player)->dropHeading = kPi / 2;
    ASSERT_EQ(WODropObject(pistol, player), 0);
    WH_Character(player)->items[1] = {ACT_NO_ITEM, nullptr, 0};  // the dropping caller's part
    const WorldObjectControl* c = BOD_ObjectOf(pistol);
    Frame();
    EXPECT_EQ(c->head.action, WO_BEHAVIOUR_DROP_FALL);
    EXPECT_NEAR(c->velocity[0], 250.0f, 1e-3f);
    EXPECT_NEAR(c->velocity[2], 0.0f, 1e-3f);
    EXPECT_FLOAT_EQ(c->velocity[1], 250.0f);
    TRC_SetResult("THR_FlightStep", 0);
    Frame();
    EXPECT_EQ(c->head.action, WO_BEHAVIOUR_DROP_FALL) << "still flying";
    TRC_SetResult("THR_FlightStep", 1);
    Frame();
    EXPECT_EQ(c->head.action, WO_BEHAVIOUR_DROP_SETTLE);
    EXPECT_EQ(c->timer, g_GameClock.nowMs + 750);
    EXPECT_FLOAT_EQ(c->transform.m[10], 50.0f) << "50 above the floor";
    for (int f = 0; f < 37; ++f)
        Frame();
    EXPECT_EQ(c->head.action, WO_BEHAVIOUR_DROP_SETTLE);
    Frame();
    EXPECT_EQ(c->head.action, WO_BEHAVIOUR_LYING);
    EXPECT_EQ(pickupweapobj(pistol, player), 0) << "lying again: it can be taken";
}

// Using a static: without a needed item it just runs; with one the user must hold it (its use
// sound plays); otherwise the HUD says what is needed, only for object types 1..149.
TEST_F(BehaviourTest, UsingAStatic) {
    char cardName[] = "red card";
    g_ObjectNames[96] = cardName;
    Bod* user = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, 0, 0}, 0.0f, 64.0f);
    WH_SetPlayer(0, user, 0);
    g_FocusBod = user;
    WOClearInventory(user);
    struct Case {
        const char* what;
        uint32_t required;
        bool holdsCard;
        bool network;
        int ran;
        std::vector<std::string> hud;
        std::vector<std::string> sounds;
    } const cases[] = {
        {"no item needed", WO_NO_TYPE, false, false, 1, {}, {}},
        {"the card held", 96, true, false, 1, {}, {"SND_PlayOnObject(object,0x10011,90,0,1500)"}},
        {"the card missing", 96, false, false, 0, {"You need the red card"}, {}},
        {"a needed type past the objects", 150, false, false, 0, {}, {}},
        {"a network game", WO_NO_TYPE, false, true, 0, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.network)
            WH_SetNetworkGame(true, 0);
        else
            WH_SetSinglePlayer();
        Bod* sw = Place("wall0", 0, nullptr);
        WorldObjectControl* s = BOD_ObjectOf(sw);
        s->useBehaviour = WO_BEHAVIOUR_TOGGLE;
        s->requiredItem = c.required;
        WOClearInventory(user);
        WH_Character(user)->selectedSlot = 0;
        if (c.holdsCard) {
            Bod* card = WOCreateAt(nullptr, 0, 96, nullptr, nullptr);
            WH_Character(user)->items[1] = {96, card, 0};
            WH_Character(user)->selectedSlot = 1;
        }
        const std::vector<std::string> hudBefore = WH_HudLines();
        const size_t mark = WH_TraceMark();
        EXPECT_EQ(WOUseStatic(s->landscapeObject, user), c.ran);
        EXPECT_EQ(s->on, c.ran == 1 ? 1u : 0u) << "the toggle ran";
        EXPECT_EQ(WH_Sounds(WH_TraceSince(mark)), c.sounds);
        std::vector<std::string> added = WH_HudLines();
        added.erase(added.begin(), added.begin() + std::min(added.size(), hudBefore.size()));
        EXPECT_EQ(added, c.hud);
        BOD_Destroy(&g_WorldBods, sw);
    }
    g_ObjectNames[96] = nullptr;
    g_FocusBod = nullptr;
}

}  // namespace
