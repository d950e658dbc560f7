// The radar fill: every entry reset, the count capped at the block's 256 entries however many bods
// there are, the reference point and heading by who is followed, and the view wedge turned by the
// heading.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>

#include "ui/hud_records.h"
#include "world/bod.h"
#include "world/bod_radar.h"
#include "world/cam.h"
#include "world/character.h"
#include "world/game_frame.h"
#include "world_fixture.h"

namespace {
constexpr float kPi = 3.14159265f;

class BodRadarTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        MapScale();
        saved = {g_RadarScale[0], g_RadarScale[1], g_RadarScale[2], g_RadarScale[3]};
        g_RadarScale[0] = 400;
        g_RadarScale[1] = 200;
        g_RadarScale[2] = 200;
        g_RadarScale[3] = 100;
        state = std::make_unique<HudState>();
    }
    void TearDown() override {
        for (int i = 0; i < 4; ++i)
            g_RadarScale[i] = saved[i];
        WorldTest::TearDown();
    }
    // The radar 200 x 100 for a view of 400 x 200 halves positions; the level's map divides them
    // by 2 again, so a world position shows at a quarter of its size (the radar words 6 / 2 and
    // 7 / 3 keep it so).
    static void MapScale() {
        const float params[GAME_MAP_PARAMS] = {0, 0, 1, 1, 2, 2, 1, 1};
        for (int i = 0; i < GAME_MAP_PARAMS; ++i)
            g_LevelMapParams[i] = params[i];
    }
    std::array<float, 4> saved{};
    // On the heap at its exact size, so that a write past the record is caught by the sanitizer.
    std::unique_ptr<HudState> state;
};

TEST_F(BodRadarTest, EveryEntryIsResetAndTheCountCappedAt256) {
    const struct {
        int objects;
        int count;
    } cases[] = {{0, 0}, {3, 3}, {256, 256}, {300, 256}};
    for (const auto& c : cases) {
        WH_Reset();
        MapScale();
        for (int i = 0; i < c.objects; ++i)
            WH_MakeObject(BOD_CLASS_OBJECT, 1, {float(i), 0, float(2 * i)});
        for (auto& e : state->radar)
            e[0] = e[1] = e[2] = 7.0f;
        state->radarWord = 1234;
        state->teamMode = 55;
        BOD_FillRadar(state.get());
        EXPECT_EQ(state->radarCount, c.count) << c.objects;
        for (int i = 0; i < HUD_RADAR_ENTRIES; ++i) {
            if (i < c.count) {
                EXPECT_FLOAT_EQ(state->radar[i][1], 3.0f) << "an object's blip";
                EXPECT_FLOAT_EQ(state->map[i][0], float(i) * 0.25f);
                EXPECT_FLOAT_EQ(state->map[i][2], float(2 * i) * 0.25f);
                continue;
            }
            ASSERT_FLOAT_EQ(state->radar[i][0], -2000.0f) << i;
            ASSERT_FLOAT_EQ(state->radar[i][1], 0.0f) << i;
            ASSERT_FLOAT_EQ(state->radar[i][2], -2000.0f) << i;
            ASSERT_FLOAT_EQ(state->map[i][0], -2000.0f) << i;
        }
        EXPECT_EQ(state->radarWord, 1234) << "the words after the block stay";
        EXPECT_EQ(state->teamMode, 55);
    }
}

TEST_F(BodRadarTest, ViewWedgeFollowsTheHeading) {
    // Corners (-100, -50), (100, -50), (-100, 50) of the 200 x 100 radar, turned about y by the
    // heading (x' = c x + s z, z' = -s x + c z), around the focus at (400, 0, 200) -> (100, 50).
    Bod* focus = WH_MakeCharacter(BOD_CLASS_PLAYER, {400, 0, 200}, 0.0f, 64.0f);
    WH_SetPlayer(0, focus, 0);
    g_FocusBod = focus;
    const struct {
        float heading;
        float wedge[6];
    } cases[] = {
        {0.0f, {0, 0, 200, 0, 0, 100}},
        {kPi / 2, {50, 150, 50, -50, 150, 150}},
        {kPi, {200, 100, 0, 100, 200, 0}},
    };
    for (const auto& c : cases) {
        WH_Character(focus)->heading = c.heading;
        const Vec3 target{400, 160, 200};
        CAM_SetTarget(&target);
        BOD_FillRadar(state.get());
        for (int k = 0; k < 6; ++k)
            EXPECT_NEAR(state->mapping[k], c.wedge[k], 1e-3f) << c.heading << " word " << k;
        // The focus itself sits at the radar's centre.
        ASSERT_EQ(state->radarCount, 1);
        EXPECT_NEAR(state->radar[0][0], 0.0f, 1e-4f);
        EXPECT_NEAR(state->radar[0][2], 0.0f, 1e-4f);
        EXPECT_FLOAT_EQ(state->radar[0][1], 2.0f) << "a player's blip";
    }
}

TEST_F(BodRadarTest, ReferenceByWhoIsFollowed) {
    Bod* member = WH_MakeCharacter(BOD_CLASS_PLAYER, {400, 0, 200}, 0.0f, 64.0f);
    WH_SetPlayer(0, member, 0);
    Bod* zombie = WH_MakeCharacter(BOD_CLASS_NPC, {600, 0, 200}, 0.0f, 64.0f);
    const Vec3 target{-200, 160, 400};
    const struct {
        const char* what;
        Bod* focus;
        int aiMode;
        float cameraTurns;  // CAM_Command(0) steps of pi / 64
        float refX, refZ, heading;
    } cases[] = {
        {"nobody selected: the origin", nullptr, 0, 0, 0, 0, -kPi / 2},
        {"the steered member", member, 0, 0, 100, 50, 0},
        {"orders: the camera target and yaw", member, 1, 16, -50, 100, kPi / 4},
    };
    for (const auto& c : cases) {
        CAM_ResetForTests();
        g_FocusBod = c.focus;
        for (int i = 0; i < c.cameraTurns; ++i)
            CAM_Command(0);
        g_FocusAiMode = c.aiMode;
        CAM_SetTarget(&target);
        g_FocusHeadingDegrees = 12.5f;
        BOD_FillRadar(state.get());
        EXPECT_FLOAT_EQ(state->viewHeading, 12.5f) << c.what;
        // The wedge's first corner (-100, -50) turned by the heading, around the reference.
        const float h = c.heading, co = std::cos(h), s = std::sin(h);
        const float dz = target.z * 0.25f - c.refZ;
        EXPECT_NEAR(state->mapping[0], -100 * co - 50 * s + c.refX, 1e-3f) << c.what;
        EXPECT_NEAR(state->mapping[1], 100 * s - 50 * co + c.refZ + dz, 1e-3f) << c.what;
        // The zombie's blip (150, 50 on the map) relative to the reference, turned.
        ASSERT_EQ(state->radarCount, 2) << c.what;
        const float ox = 150 - c.refX, oz = 50 - c.refZ;
        EXPECT_NEAR(state->radar[1][0], -(co * ox + s * oz), 1e-3f) << c.what;
        EXPECT_NEAR(state->radar[1][2], -s * ox + co * oz, 1e-3f) << c.what;
        EXPECT_FLOAT_EQ(state->radar[1][1], 1.0f);
    }
    (void)zombie;
}

}  // namespace
