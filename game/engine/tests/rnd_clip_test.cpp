// The renderer's clipper: depth clips interpolate linearly in view space, screen-edge clips
// perspective-correctly; every clip replaces one run of outside corners by two crossings and keeps
// the winding; TL vertices get the winding fix, sz and rhw from the clip planes, and colours scaled,
// clamped and packed.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/rnd_clip.h"
#include "engine/rnd_projection.h"
#include "engine/rnd_display.h"
#include "engine/rnd_state.h"

namespace {
struct C {
    float x = 0, y = 0, z = 0, u = 0, v = 0, r = 0, g = 0, b = 0, a = 0;
};

ClipPolygon Poly(std::initializer_list<C> corners) {
    ClipPolygon p{};
    for (const C& c : corners) {
        const int i = p.count++;
        p.position[i] = {c.x, c.y, c.z};
        p.uv[i][0] = c.u;
        p.uv[i][1] = c.v;
        p.colour[i][0] = c.r;
        p.colour[i][1] = c.g;
        p.colour[i][2] = c.b;
        p.colour[i][3] = c.a;
    }
    return p;
}

// Twice the signed area with y down (screen) or y up (view), summed over the fan.
float Area(const ClipPolygon& p) {
    float sum = 0;
    for (int i = 1; i + 1 < p.count; ++i)
        sum += RND_ScreenWinding(p.position[0], p.position[i], p.position[i + 1]);
    return sum;
}

class ClipTest : public ::testing::Test {
protected:
    void SetUp() override {
        nearPlane_ = g_RndNear;
        farPlane_ = g_RndFar;
        hardware_ = g_Rnd.hardwareDevice;
        for (int k = 0; k < 3; ++k)
            scale_[k] = g_RndColourScale[k];
    }
    void TearDown() override {
        RND_SetClipPlanes(nearPlane_, farPlane_);
        g_Rnd.hardwareDevice = hardware_;
        for (int k = 0; k < 3; ++k)
            g_RndColourScale[k] = scale_[k];
    }
    float nearPlane_ = 0, farPlane_ = 0, scale_[3] = {};
    int32_t hardware_ = 0;
};

TEST_F(ClipTest, NearClipOfOneCornerMakesAQuadWithLinearCrossings) {
    // Corner 0 at z 50 lies before the plane at 101; the others at 301.
    ClipPolygon p = Poly({{0, 0, 50, 0, 0, 0, 0, 0, 0.25f},
                          {100, 0, 301, 1, 0, 1, 1, 1, 0.5f},
                          {0, 100, 301, 0, 1, 1, 0, 0, 0.75f}});
    RND_ClipPolygonNear(&p, 101.0f);
    ASSERT_EQ(p.count, 4);
    std::vector<int> atPlane;
    for (int i = 0; i < 4; ++i)
        if (p.position[i].z == 101.0f)
            atPlane.push_back(i);
    ASSERT_EQ(atPlane.size(), 2u);
    // t = (50 - 101) / (50 - 301) = 51 / 251 along each edge from the clipped corner.
    const float t = 51.0f / 251.0f;
    bool sawX = false, sawY = false;
    for (int i : atPlane) {
        if (p.position[i].y == 0.0f) {
            sawX = true;
            EXPECT_NEAR(p.position[i].x, 100 * t, 1e-4f);
            EXPECT_NEAR(p.uv[i][0], t, 1e-6f);
            EXPECT_NEAR(p.colour[i][1], t, 1e-6f);
            EXPECT_EQ(p.colour[i][3], 0.5f) << "a is taken, never interpolated";
        } else {
            sawY = true;
            EXPECT_NEAR(p.position[i].y, 100 * t, 1e-4f);
            EXPECT_NEAR(p.uv[i][1], t, 1e-6f);
            EXPECT_NEAR(p.colour[i][0], t, 1e-6f);
            EXPECT_FLOAT_EQ(p.colour[i][1], 0.0f);
        }
    }
    EXPECT_TRUE(sawX && sawY);
    EXPECT_GT(Area(p) * Area(Poly({{0, 0, 50}, {100, 0, 301}, {0, 100, 301}})), 0.0f) << "winding kept";
}

TEST_F(ClipTest, EveryPlaneKeepsItsSideAndItsRunOfCorners) {
    // A square 0..100 in x and y at depths rising with x, clipped by each plane in turn.
    const auto square = [] {
        return Poly({{0, 0, 100}, {100, 0, 300}, {100, 100, 300}, {0, 100, 100}});
    };
    struct Case {
        const char* name;
        void (*clip)(ClipPolygon*, float);
        float at;
        int count;
        bool (*inside)(const Vec3&, float);
    };
    const Case cases[] = {
        {"far through", RND_ClipPolygonFar, 200, 4, [](const Vec3& v, float at) { return v.z <= at + 1e-3f; }},
        {"far none", RND_ClipPolygonFar, 300, 4, [](const Vec3& v, float at) { return v.z <= at; }},
        {"far all", RND_ClipPolygonFar, 50, 0, nullptr},
        {"near through", RND_ClipPolygonNear, 200, 4, [](const Vec3& v, float at) { return v.z >= at - 1e-3f; }},
        {"near all", RND_ClipPolygonNear, 301, 0, nullptr},
        {"top", RND_ClipPolygonTop, 50, 4, [](const Vec3& v, float at) { return v.y >= at; }},
        {"bottom", RND_ClipPolygonBottom, 50, 4, [](const Vec3& v, float at) { return v.y <= at; }},
        {"left", RND_ClipPolygonLeft, 50, 4, [](const Vec3& v, float at) { return v.x >= at; }},
        {"right", RND_ClipPolygonRight, 50, 4, [](const Vec3& v, float at) { return v.x <= at; }},
        {"right corner", RND_ClipPolygonRight, 0, 0, nullptr},  // x > 0 is outside for two, the rest lies on the edge
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClipPolygon p = square();
        const float before = Area(p);
        c.clip(&p, c.at);
        if (!c.inside) {
            // Nothing, or (for the last case) a degenerate sliver along the edge: no area left.
            EXPECT_LE(p.count == 0 ? 0.0f : std::abs(Area(p)), 1e-3f);
            continue;
        }
        ASSERT_EQ(p.count, c.count);
        for (int i = 0; i < p.count; ++i)
            EXPECT_TRUE(c.inside(p.position[i], c.at)) << i;
        EXPECT_GT(Area(p) * before, 0.0f);
    }
}

TEST_F(ClipTest, ARunThatWrapsPastCornerZeroIsReplacedWhole) {
    // Corners 4 and 0 lie left of 10: one run across the end of the corner list.
    ClipPolygon p = Poly({{0, 50, 100}, {50, 0, 100}, {100, 20, 100}, {100, 80, 100}, {5, 100, 100}});
    const float before = Area(p);
    RND_ClipPolygonLeft(&p, 10.0f);
    ASSERT_EQ(p.count, 5);
    int onEdge = 0;
    for (int i = 0; i < p.count; ++i) {
        EXPECT_GE(p.position[i].x, 10.0f);
        onEdge += p.position[i].x == 10.0f;
    }
    EXPECT_EQ(onEdge, 2);
    EXPECT_GT(Area(p) * before, 0.0f);
}

TEST_F(ClipTest, ScreenEdgeCrossingsArePerspectiveCorrect) {
    // An edge from x 0 at depth 100 to x 200 at depth 400, u from 0 to 1, cut at x 100: halfway on
    // the screen is z = 160 and u = 0.2, not the affine 0.5.
    ClipPolygon p = Poly({{0, 0, 100, 0, 0, 0, 0, 0, 0},
                          {200, 0, 400, 1, 0, 1, 0, 0, 0},
                          {200, 100, 400, 1, 1, 1, 0, 0, 0}});
    RND_ClipPolygonLeft(&p, 100.0f);
    ASSERT_EQ(p.count, 4);
    bool found = false;
    for (int i = 0; i < p.count; ++i) {
        if (p.position[i].x == 100.0f && p.position[i].y == 0.0f) {
            found = true;
            EXPECT_FLOAT_EQ(p.position[i].z, 160.0f);
            EXPECT_FLOAT_EQ(p.uv[i][0], 0.2f);
            EXPECT_FLOAT_EQ(p.colour[i][0], 0.2f);
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(ClipTest, ClippingToAllFourEdgesStaysWithinTwelveCorners) {
    // A triangle far larger than the rectangle, cut by all four edges.
    ClipPolygon p = Poly({{-1000, -200, 100}, {2000, 240, 100}, {-1000, 900, 100}});
    RND_ClipPolygonTop(&p, 0);
    RND_ClipPolygonBottom(&p, 480);
    RND_ClipPolygonLeft(&p, 0);
    RND_ClipPolygonRight(&p, 640);
    ASSERT_GE(p.count, 3);
    ASSERT_LE(p.count, RND_CLIP_CORNERS);
    for (int i = 0; i < p.count; ++i) {
        EXPECT_GE(p.position[i].x, 0.0f);
        EXPECT_LE(p.position[i].x, 640.0f);
        EXPECT_GE(p.position[i].y, 0.0f);
        EXPECT_LE(p.position[i].y, 480.0f);
    }
}

TEST_F(ClipTest, TLVerticesFixWindingAndPackDepthAndColour) {
    RND_SetClipPlanes(100.0f, 1000.0f);
    g_RndColourScale[0] = g_RndColourScale[1] = g_RndColourScale[2] = 255.0f;
    // Screen corners wound backwards (negative area with y down): written as 2, 1, 0.
    ClipPolygon p = Poly({{10, 10, 100, 0.5f, 0.25f, -0.5f, 0.5f, 2.0f, 1},
                          {10, 50, 1000, 0, 1, 1, 1, 1, 1},
                          {50, 10, 400, 1, 0, 0.999f, 0.0f, 0.1f, 1}});
    ASSERT_LT(RND_ScreenWinding(p.position[0], p.position[1], p.position[2]), 0.0f);
    D3DTLVERTEX v[3];
    RND_MakeTLVertices(p, 0, 1, 2, v);
    EXPECT_GE((v[1].sx - v[0].sx) * (v[2].sy - v[1].sy) - (v[2].sx - v[1].sx) * (v[1].sy - v[0].sy), 0.0f);
    EXPECT_EQ(v[2].sx, 10.0f);
    EXPECT_EQ(v[2].sy, 10.0f);
    EXPECT_EQ(v[2].sz, 0.0f) << "the clip near maps to 0";
    EXPECT_FLOAT_EQ(v[1].sz, 1.0f) << "the clip far maps to 1";
    EXPECT_FLOAT_EQ(v[0].sz, 300.0f * 1000.0f / (900.0f * 400.0f));
    EXPECT_FLOAT_EQ(v[0].rhw, 1.0f / 400.0f);
    // Below 0 is 0, above 255 is 255, else truncated: 0.5 x 255 = 127.5 gives 127.
    EXPECT_EQ(v[2].color, 0x00007FFFu);
    EXPECT_EQ(v[0].color, 0x00FE0019u);
    EXPECT_EQ(v[2].specular, 0u);
    EXPECT_EQ(v[2].tu, 0.5f);
    EXPECT_EQ(v[2].tv, 0.25f);
    // Wound the right way: written in order.
    RND_MakeTLVertices(p, 2, 1, 0, v);
    EXPECT_EQ(v[0].sx, 50.0f);
}

TEST_F(ClipTest, FogColourScalesPackedColoursByDeviceKind) {
    const float tint[3] = {1.0f, 0.5f, 0.0f};
    g_Rnd.hardwareDevice = 1;
    RND_SetFogColour(tint);
    const float white[3] = {1, 1, 1};
    EXPECT_EQ(RND_PackColour(white), 0x00FF7F00u);
    g_Rnd.hardwareDevice = 0;
    RND_SetFogColour(tint);
    // Ramp: the mean of the three for all three, (1.5 x 0.33333334) x 255 = 127.5.
    EXPECT_EQ(RND_PackColour(white), 0x007F7F7Fu);
    const float back[3] = {1, 1, 1};
    RND_SetFogColour(back);
    EXPECT_EQ(RND_PackColour(white), 0x00FFFFFFu);
}

TEST_F(ClipTest, FogSwitchAndStartReturnThePreviousValue) {
    const int fog = RND_SetFogEnabled(1);
    EXPECT_EQ(RND_SetFogEnabled(fog), 1);
    const float start = RND_SetFogStart(1234.0f);
    EXPECT_EQ(RND_SetFogStart(start), 1234.0f);
}
TEST_F(ClipTest, OutCodeAgainstPlanesAndTheClipRectangle) {
    const int32_t row = g_Rnd.modeRow;
    const float width = g_Rnd.screenWidth, height = g_Rnd.screenHeight;
    const RECT clip = g_Rnd.clipRect;
    g_Rnd.modeRow = DSP_FindMode(640, 480, 16);
    g_Rnd.screenWidth = 640.0f;
    g_Rnd.screenHeight = 480.0f;
    // 90-degree view: one unit of x / z is 320 pixels less a little.
    RND_SetProjection(100.0f, 2000.0f, 0.0f, 0.7853982f, 0.7853982f);
    g_Rnd.clipRect = RECT{0, 0, 640, 425};
    struct Case {
        Vec3 p;
        uint8_t code;
    };
    for (const Case& c : {Case{{0, 0, 500}, 0x00},
                          Case{{0, 0, 1999.5f}, 0x10},       // beyond far - 1
                          Case{{-600, 0, 500}, 0x01},
                          Case{{600, 0, 500}, 0x02},
                          Case{{0, 600, 500}, 0x08},         // up in view space is up the screen
                          Case{{0, -500, 500}, 0x04},        // past the clip bottom of 425, still on the screen
                          Case{{0, 0, 100.5f}, 0x20},        // nearer than near + 1
                          Case{{-100, 0, 50}, 0x21},         // near and projected left of the screen
                          Case{{-5, 3, -10}, 0x29},          // behind the eye: signs, 0x21 then up
                          Case{{5, -3, 0}, 0x26},
                          Case{{0, 0, -1}, 0x20}}) {
        SCOPED_TRACE(testing::Message() << c.p.x << "," << c.p.y << "," << c.p.z);
        EXPECT_EQ(RND_OutCode(&c.p), c.code);
    }
    g_Rnd.modeRow = row;
    g_Rnd.screenWidth = width;
    g_Rnd.screenHeight = height;
    g_Rnd.clipRect = clip;
    RND_SetProjection(100.0f, 4000.0f, 0.0f, 0.31415927f, 0.31415927f);
}
}  // namespace
