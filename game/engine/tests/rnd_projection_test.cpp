// The renderer's projection: the factor formula with integer half sizes, point projection and its
// failures, the design-space inverse, the heading arc, and the landscape's kept view projection.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/lnd_draw.h"
#include "engine/rnd_projection.h"
#include "engine/rnd_trace.h"
#include "engine/rnd_display.h"
#include "engine/rnd_state.h"

namespace {
std::vector<std::string> g_Calls;

class ProjectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = {g_Rnd.modeRow, g_Rnd.screenWidth, g_Rnd.screenHeight, g_RndNear, g_RndFar};
        g_Calls.clear();
        RND_SetCallTrace([](const char* entry) { g_Calls.emplace_back(entry); });
    }
    void TearDown() override {
        RND_SetCallTrace(nullptr);
        g_Rnd.modeRow = saved_.row;
        g_Rnd.screenWidth = saved_.width;
        g_Rnd.screenHeight = saved_.height;
        RND_SetProjection(100.0f, 4000.0f, 0.0f, 0.31415927f, 0.31415927f);
        RND_SetClipPlanes(saved_.nearPlane, saved_.farPlane);
    }
    // Selects a mode row as the display start-up does.
    static void UseMode(int width, int height, int bpp) {
        g_Rnd.modeRow = DSP_FindMode(width, height, bpp);
        ASSERT_GT(g_Rnd.modeRow, 0);
        g_Rnd.screenWidth = float(width);
        g_Rnd.screenHeight = float(height);
    }
    struct Saved {
        int32_t row;
        float width, height, nearPlane, farPlane;
    } saved_{};
};

TEST_F(ProjectionTest, FactorsUseIntegerHalfSizesAndHandNearFarToTheClipper) {
    struct Case {
        int width, height;
        float nearPlane, farPlane, h, v;
    };
    for (const Case& c : {Case{640, 480, 100.0f, 2500.0f, 0.62831855f, 0.47123891f},
                          Case{320, 200, 50.0f, 4000.0f, 0.31415927f, 0.31415927f},
                          Case{512, 384, 100.0f, 3000.0f, 0.5f, 0.25f}}) {
        SCOPED_TRACE(c.width);
        UseMode(c.width, c.height, 16);
        EXPECT_EQ(RND_SetProjection(c.nearPlane, c.farPlane, 12345.0f, c.h, c.v), 1);
        const float hw = float(c.width / 2), hh = float(c.height / 2);
        EXPECT_FLOAT_EQ(g_RndFactorX, hw * c.farPlane / (hw + c.farPlane * std::tan(c.h)));
        EXPECT_FLOAT_EQ(g_RndFactorY, hh * c.farPlane / (hh + c.farPlane * std::tan(c.v)));
        EXPECT_EQ(g_RndNear, c.nearPlane);
        EXPECT_EQ(g_RndFar, c.farPlane);
    }
    // The worked figure: 640 x 480, near 100, far 2500, angle 0.62831855.
    UseMode(640, 480, 16);
    RND_SetProjection(100.0f, 2500.0f, 2500.0f, 0.62831855f, 0.62831855f);
    EXPECT_NEAR(g_RndFactorX, 374.5f, 0.5f);
}

TEST_F(ProjectionTest, NearFarLeavesTheFactors) {
    UseMode(640, 480, 16);
    RND_SetProjection(100.0f, 2500.0f, 0.0f, 0.62831855f, 0.5f);
    const float fx = g_RndFactorX, fy = g_RndFactorY;
    RND_SetNearFar(10.0f, 900.0f);
    EXPECT_EQ(g_RndFactorX, fx);
    EXPECT_EQ(g_RndFactorY, fy);
    EXPECT_EQ(g_RndProjectionNear, 10.0f);
    EXPECT_EQ(g_RndNear, 10.0f);
    EXPECT_EQ(g_RndFar, 900.0f);
}

TEST_F(ProjectionTest, ProjectPointFlipsYAndRefusesZeroDepthOrNoMode) {
    UseMode(640, 480, 16);
    RND_SetProjection(100.0f, 2500.0f, 0.0f, 0.62831855f, 0.5f);
    const float fx = g_RndFactorX, fy = g_RndFactorY;
    struct Case {
        Vec3 p;
        float sx, sy;
    };
    for (const Case& c : {Case{{0, 0, 500}, 320, 240}, Case{{100, 50, 1000}, 320 + 100 * fx / 1000, 240 - 50 * fy / 1000},
                          // Behind the eye: mirrored through the centre.
                          Case{{100, 50, -1000}, 320 - 100 * fx / 1000, 240 + 50 * fy / 1000}}) {
        Vec3 out{};
        ASSERT_EQ(RND_ProjectPoint(&out, &c.p), 1);
        EXPECT_FLOAT_EQ(out.x, c.sx);
        EXPECT_FLOAT_EQ(out.y, c.sy);
        EXPECT_EQ(out.z, c.p.z);
    }
    const Vec3 untouched{7, 8, 9};
    Vec3 out = untouched;
    const Vec3 atEye{10, 10, 0};
    EXPECT_EQ(RND_ProjectPoint(&out, &atEye), 0);
    EXPECT_EQ(out.x, untouched.x);
    g_Rnd.modeRow = 0;
    const Vec3 ahead{10, 10, 500};
    EXPECT_EQ(RND_ProjectPoint(&out, &ahead), 0);
    EXPECT_EQ(out.z, untouched.z);
}

TEST_F(ProjectionTest, ScreenToViewInvertsProjectionFromDesignSpace) {
    // A 320 x 240 mode: design coordinates are halved into pixels before the inverse.
    UseMode(320, 240, 16);
    RND_SetProjection(100.0f, 2500.0f, 0.0f, 0.62831855f, 0.47f);
    for (const Vec3 view : {Vec3{0, 0, 100}, Vec3{-150, 80, 1000}, Vec3{33, -12, 400}}) {
        Vec3 screen{};
        ASSERT_EQ(RND_ProjectPoint(&screen, &view), 1);
        // Picking passes 480 - y: the y axis of the inverse is not flipped.
        Vec3 back{};
        RND_ScreenToView(&back, screen.x * 2.0f, 480.0f - screen.y * 2.0f, view.z);
        EXPECT_NEAR(back.x, view.x, 1e-3f);
        EXPECT_NEAR(back.y, view.y, 1e-3f);
        EXPECT_EQ(back.z, view.z);
    }
}

TEST_F(ProjectionTest, HeadingArc) {
    const Vec3 eye{100, 0, 100};
    struct Case {
        Vec3 point;
        float heading, width;
        int outside;
    };
    const float quarter = 1.5707964f;
    for (const Case& c : {Case{{100, 0, 100}, 0, 0, 0},            // at the eye: inside
                          Case{{100, 50, 600}, 0, 10, 0},         // straight ahead (+z at heading 0)
                          Case{{100, 0, -400}, 0, 10, 1},         // straight behind
                          Case{{600, 0, 100}, quarter, 10, 0},    // ahead at a quarter turn (+x)
                          Case{{600, 0, 100}, 0, 10, 1},          // to the side
                          Case{{150, 0, 600}, 0, 100, 0},         // 50 off at distance ~502: within 100
                          Case{{150, 0, 600}, 0, 20, 1}}) {       // but not within 20
        SCOPED_TRACE(testing::Message() << c.point.x << "," << c.point.z << " w " << c.width);
        EXPECT_EQ(RND_IsOutsideHeadingArc(&c.point, &eye, c.heading, c.width), c.outside);
    }
}

TEST_F(ProjectionTest, LandscapeKeepsItsViewAndResetRestoresNearFarAndBlendCapability) {
    UseMode(640, 480, 16);
    LND_SetViewProjection(100.0f, 2500.0f, 2500.0f, 0.62831855f, 0.47123891f);
    EXPECT_EQ(g_Calls, (std::vector<std::string>{"LND_SetViewProjection(100.0,2500.0,2500.0,0.6283,0.4712)"}));
    EXPECT_EQ(g_LndViewFar, 2500.0f);
    EXPECT_EQ(g_RndFar, 2500.0f);
    EXPECT_EQ(g_RndHorizontalAngle, 0.62831855f);
    // Changed for part of a frame, then reset.
    RND_SetNearFar(5.0f, 50.0f);
    const int32_t savedBlend = g_Rnd.canBlendAdditive;
    g_Rnd.canBlendAdditive = 1;
    g_CanBlendAdditive = 0;
    LND_ResetView();
    EXPECT_EQ(g_RndNear, 100.0f);
    EXPECT_EQ(g_RndFar, 2500.0f);
    EXPECT_EQ(g_CanBlendAdditive, 1);
    EXPECT_EQ(g_Calls.back(), "LND_ResetView");
    g_Rnd.canBlendAdditive = savedBlend;
    g_CanBlendAdditive = savedBlend;
}
}  // namespace
