// The renderer's 3D view scaling on a real display: accepted sizes centre the viewport with the
// clip sizes divided by the integer ratio, refit the projection and cap the clip rectangle's
// bottom; sizes outside an eighth of the mode to the whole mode change nothing.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/rnd_view.h"
#include "engine/tests/rnd_display_fixture.h"

namespace {
class ViewScaleTest : public DisplayFixture {
protected:
    void SetUp() override {
        DisplayFixture::SetUp();
        g_RndViewWidth = g_RndViewHeight = 0;
        ASSERT_EQ(DSP_CreateDevice(window), 1);
        RND_SetProjection(100.0f, 2500.0f, 2500.0f, 0.62831855f, 0.47123891f);
    }
    void TearDown() override {
        g_RndViewWidth = g_RndViewHeight = 0;
        g_Rnd.clipRect = RECT{0, 0, 640, 480};
        DisplayFixture::TearDown();
    }
    D3DVIEWPORT2 Viewport() {
        D3DVIEWPORT2 v{};
        v.dwSize = sizeof v;
        EXPECT_EQ(g_Rnd.viewport->GetViewport2(&v), D3D_OK);
        return v;
    }
    static float Factor(float half, float angle) { return half * 2500.0f / (half + 2500.0f * std::tan(angle)); }
};

TEST_F(ViewScaleTest, HalfSizeIsCentredWithRatioTwo) {
    RND_SetViewScale(0.5f);
    EXPECT_EQ(g_RndViewWidth, 320);
    EXPECT_EQ(g_RndViewHeight, 240);
    const D3DVIEWPORT2 v = Viewport();
    EXPECT_EQ(v.dwX, 160u);
    EXPECT_EQ(v.dwY, 120u);
    EXPECT_EQ(v.dwWidth, 320u);
    EXPECT_EQ(v.dwHeight, 240u);
    EXPECT_EQ(v.dvClipX, 160.0f);
    EXPECT_EQ(v.dvClipWidth, 1600.0f);
    EXPECT_EQ(v.dvClipHeight, 1200.0f);
    // Half sizes (640 / 2) / 2 and (480 / 2) / 2.
    EXPECT_FLOAT_EQ(g_RndFactorX, Factor(160.0f, 0.62831855f));
    EXPECT_FLOAT_EQ(g_RndFactorY, Factor(120.0f, 0.47123891f));
    EXPECT_EQ(g_Rnd.clipRect.left, 160);
    EXPECT_EQ(g_Rnd.clipRect.top, 120);
    EXPECT_EQ(g_Rnd.clipRect.right, 480);
    EXPECT_EQ(g_Rnd.clipRect.bottom, 360);
    EXPECT_EQ(g_RndFar, 2500.0f);
}

TEST_F(ViewScaleTest, FullSizeCapsTheClipBottomAndZoomIsTheInverse) {
    RND_SetViewScale(1.0f);
    EXPECT_EQ(g_Rnd.clipRect.bottom, 425) << "the cap applies to any accepted scale";
    EXPECT_EQ(g_Rnd.clipRect.right, 640);
    EXPECT_FLOAT_EQ(g_RndFactorX, Factor(320.0f, 0.62831855f));
    RND_SetViewZoom(2.0f);
    EXPECT_EQ(g_RndViewWidth, 320);
    RND_SetViewZoom(0.5f);
    EXPECT_EQ(g_RndViewWidth, 640);
}

TEST_F(ViewScaleTest, SizesOutsideTheLimitsChangeNothing) {
    RND_SetViewScale(0.5f);
    const RECT clip = g_Rnd.clipRect;
    const float fx = g_RndFactorX;
    // 320 x 0.2 = 64 < 80 (an eighth); 320 x 2.5 = 800 > 640; 0.25 exactly an eighth is accepted.
    for (float factor : {0.2f, 2.5f, 0.0f, -1.0f}) {
        SCOPED_TRACE(factor);
        RND_SetViewScale(factor);
        EXPECT_EQ(g_RndViewWidth, 320);
        EXPECT_EQ(g_Rnd.clipRect.bottom, clip.bottom);
        EXPECT_EQ(g_RndFactorX, fx);
    }
    RND_SetViewZoom(0.0f);  // an infinite factor
    RND_SetViewScale(std::nanf(""));
    EXPECT_EQ(g_RndViewWidth, 320);
    RND_SetViewScale(0.25f);
    EXPECT_EQ(g_RndViewWidth, 80);
    EXPECT_EQ(g_RndViewHeight, 60);
    EXPECT_EQ(Viewport().dvClipWidth, 80.0f * 10.0f / 8.0f);
}

TEST_F(ViewScaleTest, ClipRectInDesignSpaceAndPixels) {
    RND_SetClipRect(10, 20, 630, 400);
    int raw[4], design[4];
    RND_GetClipRectRaw(raw);
    RND_GetClipRect(design);
    EXPECT_EQ(raw[0], 10);
    EXPECT_EQ(raw[2], 620);
    EXPECT_EQ(raw[3], 380);
    EXPECT_EQ(design[1], 20);
    EXPECT_EQ(design[3], 380);
    RND_ResetClipRect();
    RND_GetClipRectRaw(raw);
    EXPECT_EQ(raw[2], 640);
    EXPECT_EQ(raw[3], 480);
}
}  // namespace
