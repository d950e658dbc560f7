// The chase camera: its presets and level modes, where a preset puts the camera and where it
// looks, the tuning keys held over frames, the easing share, a dead focus, the pans over the
// ground and over a gap, the turning commands, and the automatic switch's delay, candidate order
// and return to the preferred mode.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/game_clock.h"
#include "engine/landscape_query.h"
#include "plat_input.h"
#include "world/ai.h"
#include "world/bod.h"
#include "world/bod_record.h"
#include "world/cam.h"
#include "world/character.h"
#include "world/game_frame.h"
#include "world_fixture.h"

namespace {
constexpr float kPi = 3.14159265f;
constexpr uint8_t kShift = 0x2A, kHome = 0xC7, kEnd = 0xCF;

void Press(uint8_t code, bool down) {
    plat::InputEvent e;
    e.kind = down ? plat::InputKind::KeyDown : plat::InputKind::KeyUp;
    e.scanCode = code;
    plat::PushInput(e);
}

void ExpectNear(const Vec3& got, const Vec3& want, float tolerance, const char* what) {
    EXPECT_NEAR(got.x, want.x, tolerance) << what;
    EXPECT_NEAR(got.y, want.y, tolerance) << what;
    EXPECT_NEAR(got.z, want.z, tolerance) << what;
}

Vec3 Target() {
    Vec3 t{};
    CAM_GetTarget(&t);
    return t;
}

Vec3 CameraPosition() {
    return CAM_GetPose()->translation;
}

class CamTest : public WorldTest {
protected:
    // A floor from -3000 to 3000 at height 0 (or the floors given), walls as given, and the focus
    // character at position with heading.
    CharacterControl* Setup(Vec3 position, float heading, const std::vector<WhWall>& walls = {},
                            const std::vector<WhFloor>& floors = {{-3000, -3000, 3000, 3000, 0}}) {
        WH_BuildLandscape(floors, walls);
        Bod* bod = WH_MakeCharacter(BOD_CLASS_PLAYER, position, heading, 64.0f);
        WH_SetPlayer(0, bod, 0);
        g_FocusBod = bod;
        CharacterControl* control = WH_Character(bod);
        control->surface = uint32_t(LND_LocateSurface(0, &position));
        Frame(20);
        return control;
    }
    // The clock of one frame of ms milliseconds.
    void Frame(int32_t ms) {
        g_GameClock.previousMs = g_GameClock.nowMs;
        g_GameClock.nowMs += ms;
        g_GameClock.deltaMs = ms;
        g_GameClock.deltaSeconds = float(ms) * 0.001f;
    }
};

TEST_F(CamTest, PresetsAndLevelModes) {
    const struct {
        int mode;
        float pitch, distance;
    } presets[] = {{1, 0.5235f, 1000}, {2, 0, 490},      {3, 0, 1000},  {4, 0.923f, 490},     {5, 0.923f, 1000},
                   {6, 1.0f, 245},     {7, 1.0f, 0},     {0, 0.5235f, 490}, {8, 0.5235f, 490}, {-3, 0.5235f, 490}};
    for (const auto& p : presets) {
        CAM_SetMode(p.mode);
        EXPECT_EQ(CAM_GetMode(), p.mode);
        EXPECT_FLOAT_EQ(CAM_GetPitch(), p.pitch) << p.mode;
        EXPECT_FLOAT_EQ(CAM_GetDistance(), p.distance) << p.mode;
    }
    const int levels[17] = {1, 1, 1, 1, 3, 3, 3, 1, 1, 3, 1, 1, 3, 3, 1, 3, 1};
    for (int level = 0; level < 17; ++level) {
        CAM_SetLevelMode(level);
        EXPECT_EQ(CAM_GetMode(), levels[level]) << level;
    }
    CAM_SetMode(5);
    CAM_SetLevelMode(17);
    CAM_SetLevelMode(-1);
    EXPECT_EQ(CAM_GetMode(), 5) << "levels outside 0..16 change nothing";
}

TEST_F(CamTest, SnapBehindPutsTheCameraAtThePresetLookingAtTheTarget) {
    const struct {
        float heading;
        int mode;
    } cases[] = {{0.0f, 1}, {kPi / 2, 1}, {kPi, 5}, {4.0f, 2}, {1.0f, 4}};
    for (const auto& c : cases) {
        WH_Reset();
        CharacterControl* control = Setup({100, 0, 200}, c.heading);
        CAM_SetMode(c.mode);
        CAM_Follow(control);  // takes the heading as yaw
        CAM_SnapBehind(control);
        const float p = CAM_GetPitch(), d = CAM_GetDistance();
        // Behind: against the heading's +z, turned by the yaw about y.
        const float back = -std::sin(p) * d;
        const Vec3 want{100 + std::sin(c.heading) * back, std::cos(p) * d, 200 + std::cos(c.heading) * back};
        ExpectNear(CameraPosition(), want, 0.05f, "camera position");
        // The view's forward axis (matrix column 2) points from the camera at the character.
        const Matrix34* m = CAM_GetState();
        const Vec3 forward{m->m[6], m->m[7], m->m[8]};
        const Vec3 to{100 - want.x, 0 - want.y, 200 - want.z};
        const float length = std::sqrt(to.x * to.x + to.y * to.y + to.z * to.z);
        ExpectNear(forward, {to.x / length, to.y / length, to.z / length}, 1e-4f, "looks at the feet");
        const Vec3 feet{100, 0, 200};
        EXPECT_EQ(CAM_GetCameraSurface(), LND_LocateSurface(0, &feet)) << "the surface under the target";
    }
}

TEST_F(CamTest, TuningKeysActOncePerFrameWithinTheirLimits) {
    // From mode 1's preset: pitch 0.5235, distance 1000.
    const struct {
        const char* what;
        std::vector<uint8_t> keys;
        int frames;
        float pitch, distance;
    } cases[] = {
        {"Home held 200 frames", {kHome}, 200, 0.5235f, 2000},
        {"Home held 3 frames", {kHome}, 3, 0.5235f, 1030},
        {"End held down to the limit", {kEnd}, 100, 0.5235f, 400},
        {"Shift+End raises a low pitch at once", {kShift, kEnd}, 1, 0.71f, 1000},
        {"Shift+End held stays at the limit", {kShift, kEnd}, 30, 0.71f, 1000},
        {"Shift+Home steps up", {kShift, kHome}, 10, 0.6235f, 1000},
        {"Shift+Home stops at the top", {kShift, kHome}, 200, 1.5705f, 1000},
        {"Shift alone", {kShift}, 5, 0.5235f, 1000},
        {"Home and End together", {kHome, kEnd}, 5, 0.5235f, 1000},
    };
    for (const auto& c : cases) {
        WH_Reset();
        CharacterControl* control = Setup({0, 0, 0}, 0.0f);
        CAM_SetMode(1);
        for (uint8_t k : c.keys)
            Press(k, true);
        for (int f = 0; f < c.frames; ++f) {
            Frame(20);
            CAM_Follow(control);
        }
        EXPECT_NEAR(CAM_GetPitch(), c.pitch, 1e-4f) << c.what;
        EXPECT_NEAR(CAM_GetDistance(), c.distance, 1e-3f) << c.what;
        EXPECT_EQ(CAM_GetMode(), 1) << "tuning keeps the preferred mode";
        plat::ClearInput();
    }
}

TEST_F(CamTest, EasingShareFollowsTheFrameTime) {
    const struct {
        int32_t ms;
        float share;
    } cases[] = {{20, 0.09f}, {100, 0.45f}, {222, 0.999f}, {400, 1.0f}};
    for (const auto& c : cases) {
        WH_Reset();
        CharacterControl* control = Setup({0, 0, 0}, 0.0f);
        CAM_SnapBehind(control);
        CAM_Follow(control);  // the target rises to 160 above the feet
        const Vec3 before = CameraPosition();
        BOD_SetPosition(control, Vec3{1000, 0, 0});
        Frame(c.ms);
        CAM_Follow(control);
        EXPECT_NEAR(CameraPosition().x - before.x, 1000 * c.share, 0.5f) << c.ms;
        ExpectNear(Target(), {1000, 160, 0}, 1e-3f, "target");
    }
}

TEST_F(CamTest, DeadFocusStopsFollowing) {
    CharacterControl* control = Setup({0, 0, 0}, 0.0f);
    CAM_SnapBehind(control);
    CAM_Follow(control);
    static_cast<AICharacter*>(control->ai)->health = 0.5f;
    BOD_SetPosition(control, Vec3{500, 0, 500});
    control->heading = 2.0f;
    for (int f = 0; f < 50; ++f) {
        Frame(20);
        CAM_Follow(control);
    }
    ExpectNear(Target(), {0, 160, 0}, 1e-3f, "the target stays");
    EXPECT_FLOAT_EQ(CAM_GetYaw(), 0.0f);
    static_cast<AICharacter*>(control->ai)->health = 1.0f;
    CAM_Follow(control);
    ExpectNear(Target(), {500, 160, 500}, 1e-3f, "alive again: followed");
    EXPECT_FLOAT_EQ(CAM_GetYaw(), 2.0f);
}

TEST_F(CamTest, PansMoveTheTargetOverTheGroundAndStopAtAGap) {
    // Two floors at different heights with a gap between x 300 and 600; a low box on the second.
    CharacterControl* control =
        Setup({100, 0, 0}, 0.0f, {}, {{-1000, -1000, 300, 1000, 0}, {600, -1000, 2000, 1000, 40}});
    CAM_SnapBehind(control);
    CAM_Follow(control);
    g_FocusAiMode = 1;
    const struct {
        int command;
        Vec3 target;
    } steps[] = {
        {2, {175, 160, 0}}, {2, {250, 160, 0}}, {2, {250, 160, 0}},  // 325 lies over the gap
        {3, {250, 160, -75}}, {4, {250, 160, 0}}, {1, {175, 160, 0}},
    };
    for (const auto& s : steps) {
        CAM_Command(s.command);
        ExpectNear(Target(), s.target, 1e-3f, "pan");
    }
    // Turned half round, "right" is -x.
    CAM_Command(0);  // yaw += pi / 64
    for (int i = 0; i < 63; ++i)
        CAM_Command(0);
    CAM_Command(2);
    ExpectNear(Target(), {100, 160, 0}, 0.01f, "turned pan");
    // While the team is given orders the camera stays where it was panned.
    Frame(20);
    CAM_Follow(control);
    ExpectNear(Target(), {100, 160, 0}, 0.01f, "order mode keeps the pan");
    CAM_Command(1);
    CAM_Command(1);
    g_FocusAiMode = 0;
    Frame(20);
    CAM_Follow(control);
    ExpectNear(Target(), {100, 160, 0}, 1e-3f, "steering again: back on the character");
}

TEST_F(CamTest, PanOntoHigherGroundTakesItsHeight) {
    CharacterControl* control =
        Setup({550, 0, 0}, 0.0f, {}, {{-1000, -1000, 600, 1000, 0}, {600, -1000, 2000, 1000, 40}});
    CAM_SnapBehind(control);
    CAM_Follow(control);
    g_FocusAiMode = 1;
    CAM_Command(2);
    ExpectNear(Target(), {625, 200, 0}, 1e-3f, "40 + 160");
}

TEST_F(CamTest, OrderAndTurnCommands) {
    CharacterControl* control = Setup({0, 0, 0}, 0.0f);
    CAM_Follow(control);
    Frame(200);
    const struct {
        int command;
        float yaw, distance;
        int aiMode;
    } steps[] = {
        {0, kPi / 64, 1005, 1}, {0, kPi / 32, 1010, 1}, {5, kPi / 32 - kPi / 10, 1010, 1},
        {6, kPi / 32, 1010, 1}, {7, kPi / 32, 1010, 1}, {-1, kPi / 32, 1010, 1},
    };
    for (const auto& s : steps) {
        CAM_Command(s.command);
        EXPECT_NEAR(CAM_GetYaw(), s.yaw, 1e-5f) << s.command;
        EXPECT_FLOAT_EQ(CAM_GetDistance(), s.distance) << s.command;
        EXPECT_EQ(g_FocusAiMode, s.aiMode) << s.command;
    }
}

class CamSwitchTest : public CamTest {
protected:
    // The character at the origin facing +z; a wall across z = -300 up to height top blocks the
    // far camera of pitch 0.5235 behind it; nothing blocks the ones straight above.
    CharacterControl* control = nullptr;
    void Build(float wallTop, int mode) {
        control = Setup({0, 0, 0}, 0.0f, {{-2000, -300, 2000, -300, -10, wallTop}});
        CAM_SetMode(mode);
        CAM_SnapBehind(control);
        CAM_Follow(control);
    }
    void Run(int32_t ms) {
        Frame(ms);
        CAM_Follow(control);
        CAM_AutoSwitch(control);
    }
};

TEST_F(CamSwitchTest, BlockedViewSwitchesOnlyAfterMoreThan750Ms) {
    const struct {
        int32_t blockedMs;
        bool switched;
    } cases[] = {{700, false}, {750, false}, {760, true}, {800, true}};
    for (const auto& c : cases) {
        WH_Reset();
        Build(800, 1);
        Run(20);  // first blocked frame: the time is taken
        Run(c.blockedMs);
        EXPECT_EQ(CAM_GetAutoMode() != 0, c.switched) << c.blockedMs;
        if (c.switched) {
            // The far order's second candidate (0, 1000) is the first clear one: mode 3's preset.
            EXPECT_FLOAT_EQ(CAM_GetPitch(), 0.0f);
            EXPECT_FLOAT_EQ(CAM_GetDistance(), 1000.0f);
            EXPECT_EQ(CAM_GetAutoMode(), 3);
            EXPECT_EQ(CAM_GetMode(), 1) << "the preferred mode stays";
        }
    }
}

TEST_F(CamSwitchTest, ClearViewResetsTheDelay) {
    Build(800, 1);
    Run(20);
    Run(600);
    g_FocusAiMode = 1;  // order mode: no switching at all, and the camera is not moved
    Run(600);
    EXPECT_EQ(CAM_GetAutoMode(), 0);
    g_FocusAiMode = 0;
    Run(100);  // 1300 ms after the first blocked frame
    EXPECT_EQ(CAM_GetAutoMode(), 3);
}

TEST_F(CamSwitchTest, CandidatesMapByTheirPitchAndDistance) {
    // The taken preset is the candidate that was found clear, in the order of the distance.
    const struct {
        int mode;
        float wallTop;
        int autoMode;
        float pitch, distance;
    } cases[] = {
        // Far order from mode 1: (0.5235, 1000) blocked, (0, 1000) clear.
        {1, 800, 3, 0.0f, 1000},
        // Far order from mode 5 (0.923, 1000): the same first clear candidate.
        {5, 800, 3, 0.0f, 1000},
        // Near order from mode 4 (0.923, 490): (0.5235, 490) stops short of the wall.
        {4, 400, 0, 0.5235f, 490},
    };
    for (const auto& c : cases) {
        WH_Reset();
        Build(c.wallTop, c.mode);
        Run(20);
        Run(800);
        EXPECT_EQ(CAM_GetAutoMode(), c.autoMode) << c.mode;
        EXPECT_FLOAT_EQ(CAM_GetPitch(), c.pitch) << c.mode;
        EXPECT_FLOAT_EQ(CAM_GetDistance(), c.distance) << c.mode;
        EXPECT_EQ(CAM_GetMode(), c.mode);
    }
}

TEST_F(CamSwitchTest, GoesBackToThePreferredModeOnceItIsClear) {
    Build(800, 1);
    Run(20);
    Run(800);
    ASSERT_EQ(CAM_GetAutoMode(), 3);
    Run(20);
    EXPECT_EQ(CAM_GetAutoMode(), 3) << "mode 1's preset is still blocked";
    // The wall goes: the level's landscape without it.
    WH_BuildLandscape({{-3000, -3000, 3000, 3000, 0}}, {});
    Run(20);
    EXPECT_EQ(CAM_GetAutoMode(), 0);
    EXPECT_FLOAT_EQ(CAM_GetPitch(), 0.5235f);
    EXPECT_FLOAT_EQ(CAM_GetDistance(), 1000.0f);
}

}  // namespace
