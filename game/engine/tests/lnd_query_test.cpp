// Landscape queries on small synthetic grids: located surfaces whatever the start hint, ground
// heights with their truncation, segment traces against surfaces and objects with their flags,
// the plan walk stopping at the border, the flood trace, plan-view crossings and overlaps.
#include <gtest/gtest.h>

#include <cmath>

#include "lnd_fixture.h"

namespace {
using lndtest::GridMap;
using lndtest::LndTest;

TEST_F(LndTest, LocatedSurfaceDoesNotDependOnTheStart) {
    LoadText(GridMap(4, 100.0f));
    struct Case {
        Vec3 p;
        int32_t surface;
    };
    const Case cases[] = {
        {V(10, 0, 10), 1},   {V(90, 0, 80), 2},  {V(150, 0, 120), 11}, {V(350, 0, 390), 32},
        {V(-5, 0, 50), 0},   {V(410, 0, 10), 0}, {V(250, 0, 401), 0},
    };
    for (const Case& c : cases)
        for (int32_t start : {0, 1, 16, 32, 33, -1, 999}) {
            SCOPED_TRACE(testing::Message() << c.p.x << "," << c.p.z << " from " << start);
            EXPECT_EQ(LND_LocateSurface(start, &c.p), c.surface);
        }
    const Vec3 p = V(150, 0, 120);
    EXPECT_EQ(LND_FindSurfaceByScan(&p), 11);
    // A point on the shared diagonal of quad (0, 0) lies in either of its two triangles.
    const Vec3 edge = V(50, 0, 50);
    for (int32_t start : {1, 2, 30}) {
        const int32_t s = LND_LocateSurface(start, &edge);
        EXPECT_TRUE(s == 1 || s == 2) << s;
    }
}

TEST_F(LndTest, GroundHeightsAreTruncatedTowardZero) {
    std::vector<std::vector<float>> heights(4, std::vector<float>(4, 0.0f));
    heights[0][0] = heights[0][1] = heights[1][0] = heights[1][1] = 10.75f;  // quad (0, 0): surfaces 1, 2
    heights[2][2] = heights[2][3] = heights[3][2] = heights[3][3] = -3.5f;   // quad (2, 2): surfaces 17, 18
    LoadText(GridMap(3, 100.0f, heights));
    struct Case {
        Vec3 p;
        int32_t surface;
        double height;
    };
    const Case cases[] = {
        {V(30, 0, 30), 0, 10.0},   {V(30, 0, 30), 1, 10.0},    {V(270, 0, 270), 0, -3.0},
        {V(270, 0, 270), 18, -3.0}, {V(-10, 0, 30), 0, 0.0},    {V(30, 0, 30), 17, -3.0},  // plane of 17 used as given
        {V(30, 0, 30), 999, 10.0},  {V(30, 0, 30), -4, 10.0},  // not a surface number: searched like 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.p.x << "," << c.p.z << " on " << c.surface);
        EXPECT_EQ(LND_GetGroundHeight(&c.p, c.surface), c.height);
    }
    Vec3 centre{};
    LND_GetSurfaceCentre(&centre, 1);  // corners (0,0), (100,0), (0,100): ((0+100)/2 + 0)/2 and (0 + 100)/2
    EXPECT_FLOAT_EQ(centre.x, 25.0f);
    EXPECT_FLOAT_EQ(centre.z, 50.0f);
    const Vec3 points[2] = {V(3, 4, 0), V(0, 0, -12)};
    EXPECT_FLOAT_EQ(LND_GetPointsRadius(points, 2), 12.0f);
    EXPECT_EQ(LND_GetPointsRadius(points, 0), 0.0f);
    EXPECT_EQ(LND_GetPointsRadius(nullptr, 2), 0.0f);
}

TEST_F(LndTest, SegmentTraceHitsTheFloorWithItsNormal) {
    LoadText(GridMap(4, 100.0f));
    const Vec3 from = V(150, 50, 120), to = V(150, -50, 120);
    TraceHit hit{};
    ASSERT_EQ(LND_TraceSegment(&hit, 0, 0, &from, &to), 1);
    EXPECT_EQ(hit.kind, 1);
    EXPECT_EQ(hit.surface, 11);
    EXPECT_EQ(hit.object, 0);
    EXPECT_FLOAT_EQ(hit.distance, 50.0f);
    EXPECT_NEAR(hit.point.y, 0.0f, 1e-4f);
    EXPECT_FLOAT_EQ(hit.normal.y, 1.0f);
    // A segment that ends above the floor hits nothing.
    const Vec3 high = V(150, 10, 120);
    EXPECT_EQ(LND_TraceSegment(&hit, 11, 11, &from, &high), 0);
    // A zero-length segment is no division by zero.
    EXPECT_EQ(LND_TraceSegment(&hit, 11, 11, &from, &from), 0);
}

// The wall object stands on vertex (2, 2) = (200, 0, 200) across the segment's path.
TEST_F(LndTest, ObjectsAreHitByTheirActiveAndCollisionFlags) {
    dk::MapData map = GridMap(4, 100.0f);
    dk::MapObject wall;
    wall.name = "wall";
    wall.positionRef = 2 * 5 + 2 + 1;
    wall.vertices = {{-30, 0, 0}, {30, 0, 0}, {0, 60, 0}};
    dk::MapObjectSurface side;
    side.vrefs = {0, 1, 2};
    side.frames = {1};
    wall.surfaces = {side};
    map.objects = {wall};
    LoadText(map);
    const Vec3 from = V(200, 20, 150), to = V(200, 20, 250);
    struct Case {
        int32_t active, collision;
        int segment, anyObject;
    };
    const Case cases[] = {{1, 1, 1, 1}, {1, 0, 0, 1}, {0, 1, 0, 0}, {0, 0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "active " << c.active << " collision " << c.collision);
        g_Landscape->objects[1].active = c.active;
        g_Landscape->objects[1].collisionMode = c.collision;
        TraceHit hit{};
        EXPECT_EQ(LND_TraceSegment(&hit, 0, 0, &from, &to), c.segment);
        if (c.segment) {
            EXPECT_EQ(hit.kind, 2);
            EXPECT_EQ(hit.object, 1);
            EXPECT_EQ(hit.surface, 0);
            EXPECT_FLOAT_EQ(hit.distance, 50.0f);
            EXPECT_NEAR(hit.point.z, 200.0f, 1e-3f);
        }
        TraceHit any{};
        EXPECT_EQ(LND_TraceSegmentAnyObject(&any, 0, 0, &from, &to), c.anyObject);
        if (c.anyObject) {
            EXPECT_EQ(any.object, 1);
        }
        // The pick trace sees every object, but only while objects are drawn.
        const Vec3 direction = V(0, 0, 100);
        g_ObjectsDrawn = 0;
        TraceHit pick{};
        EXPECT_EQ(LND_TraceAllObjects(&pick, &from, &direction), 0);
        g_ObjectsDrawn = 1;
        EXPECT_EQ(LND_TraceAllObjects(&pick, &from, &direction), 1);
        EXPECT_EQ(pick.kind, 2);
    }
    // Seen from its back the wall is not hit.
    const Vec3 back = V(200, 20, 250), front = V(200, 20, 150);
    TraceHit hit{};
    g_Landscape->objects[1].active = 1;
    g_Landscape->objects[1].collisionMode = 1;
    EXPECT_EQ(LND_TraceSegment(&hit, 0, 0, &back, &front), 0);
}

TEST_F(LndTest, WalkStopsAtTheBorderSurface) {
    LoadText(GridMap(4, 100.0f));
    const Vec3 from = V(50, 0, 30), to = V(900, 0, 30);
    std::vector<int32_t> list(g_Landscape->surfaceCount + 1u, -1);
    const int n = LND_WalkSegment(nullptr, list.data(), 1, 0, &from, &to);
    EXPECT_EQ(std::vector<int32_t>(list.begin(), list.begin() + n), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(LND_WalkSegment(nullptr, list.data(), 0, 0, &from, &to), 0);
    // A segment that ends inside surface 3 is walked one surface beyond it: the walk stops on
    // the first surface whose entry edge has the end behind it.
    const Vec3 near = V(150, 0, 30);
    const int m = LND_WalkSegment(nullptr, list.data(), 1, 0, &from, &near);
    EXPECT_EQ(std::vector<int32_t>(list.begin(), list.begin() + m), (std::vector<int32_t>{1, 2, 3, 4}));
}

// The far end is located from a far start hint, so its search marks many surfaces; the flood
// must still reach the surface it crosses.
TEST_F(LndTest, FloodTraceFindsTheSurfaceBetweenTheEnds) {
    LoadText(GridMap(4, 100.0f));
    const Vec3 from = V(60, 30, 40), to = V(360, -30, 320);
    for (int32_t hint : {0, 1, 32}) {
        SCOPED_TRACE(hint);
        TraceHit hit{};
        ASSERT_EQ(LND_TraceSegmentLandscape(&hit, hint, hint, &from, &to), 1);
        EXPECT_EQ(hit.kind, 1);
        EXPECT_EQ(hit.surface, 13);
        EXPECT_NEAR(hit.point.x, 210.0f, 1e-3f);
        EXPECT_NEAR(hit.point.z, 180.0f, 1e-3f);
        EXPECT_NEAR(hit.distance, std::sqrt(150.0f * 150.0f + 30.0f * 30.0f + 140.0f * 140.0f), 1e-2f);
    }
    const Vec3 outside = V(-50, -30, 40);
    TraceHit hit{};
    EXPECT_EQ(LND_TraceSegmentLandscape(&hit, 0, 0, &from, &outside), 0);
}

TEST_F(LndTest, RayCastFindsTheNearestFacingSurfaceAnywhereAhead) {
    LoadText(GridMap(2, 100.0f));
    const Vec3 from = V(30, 500, 30);
    const Vec3 down = V(0, -1, 0), up = V(0, 1, 0);
    TraceHit hit{};
    ASSERT_EQ(LND_CastRay(&hit, &from, &down), 1);  // far beyond the direction's length
    EXPECT_EQ(hit.surface, 1);
    EXPECT_FLOAT_EQ(hit.distance, 500.0f * 500.0f);
    EXPECT_EQ(LND_CastRay(&hit, &from, &up), 0);
    const Vec3 below = V(30, -10, 30);
    EXPECT_EQ(LND_CastRay(&hit, &below, &up), 0) << "the floor faces away from a ray from below";
}

TEST(LndPlan, SegmentsCross) {
    struct Case {
        Vec3 a, b, c, d;
        int cross;
    };
    const Case cases[] = {
        {{0, 0, 0}, {10, 0, 10}, {0, 0, 10}, {10, 0, 0}, 1},   // an X
        {{0, 0, 0}, {10, 0, 0}, {0, 0, 5}, {10, 0, 5}, 0},     // parallel
        {{5, 0, 0}, {5, 0, 10}, {5, 0, 2}, {5, 0, 8}, 0},      // both of constant x
        {{5, 0, 0}, {5, 0, 10}, {0, 0, 2}, {10, 0, 8}, 1},     // one of constant x
        {{5, 0, 0}, {5, 0, 4}, {0, 0, 2}, {10, 0, 8}, 0},      // too short to reach
        // Against constant x the crossing must lie strictly inside both z ranges, which a
        // segment of constant z does not have.
        {{5, 0, 0}, {5, 0, 10}, {0, 0, 5}, {10, 0, 5}, 0},
        {{0, 0, 0}, {10, 0, 10}, {10, 0, 10}, {20, 0, 0}, 1},  // touching at an end counts
        {{0, 0, 0}, {4, 0, 4}, {10, 0, 0}, {6, 0, 4}, 0},      // lines cross beyond the segments
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(LND_SegmentsCrossInPlan(&c.a, &c.b, &c.c, &c.d), c.cross) << i;
    }
}

TEST_F(LndTest, SurfacesInPolygonAreListedOnce) {
    LoadText(GridMap(4, 100.0f));
    // Polygons run clockwise in plan view (x right, z up), as the lights' and objects' rings do.
    // A small square inside quad (1, 1) overlaps only its two triangles.
    const Vec3 square[4] = {V(140, 0, 140), V(140, 0, 160), V(160, 0, 160), V(160, 0, 140)};
    int32_t n = LND_SurfacesInPolygon(g_LocateList, 4, square);
    std::vector<int32_t> found(g_LocateList, g_LocateList + n);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<int32_t>{11, 12}));
    // A square around the whole map holds every corner of every surface.
    const Vec3 all[4] = {V(-1, 0, -1), V(-1, 0, 401), V(401, 0, 401), V(401, 0, -1)};
    n = LND_SurfacesInPolygon(g_LocateList, 4, all);
    EXPECT_EQ(n, 32);
}

}  // namespace
