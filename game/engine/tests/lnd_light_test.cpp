// Static lighting of a one-quad floor (surface 1: corners (0,0,0), (100,0,0), (0,0,100)) by each
// kind of light at the listed points, the light lists, the light limit of a map, and the view
// copies of the lights.
#include <gtest/gtest.h>

#include <cmath>

#include "lnd_fixture.h"

namespace {
using lndtest::GridMap;
using lndtest::LndTest;
using lndtest::Sun;

dk::MapLight Point(dk::MapVec position, float reach, dk::MapVec colour = {1, 1, 1}) {
    dk::MapLight l;
    l.type = 3;
    l.position = position;
    l.coneAngle = reach;
    l.colour = colour;
    return l;
}

TEST_F(LndTest, SurfaceColoursFromEachKindOfLight) {
    struct Case {
        const char* name;
        std::vector<dk::MapLight> lights;
        int32_t lmode;
        std::array<float, 3> red, green;  // colour slots 0, 1, 2 (slot k: corner 2 - k)
    };
    const Case cases[] = {
        {"sun from above", {Sun({0, -3, 0})}, 1, {1, 1, 1}, {1, 1, 1}},
        {"sun from below", {Sun({0, 3, 0})}, 1, {0, 0, 0}, {0, 0, 0}},
        {"full bright ignores the normal", {Sun({0, 3, 0})}, 0, {1, 1, 1}, {1, 1, 1}},
        {"two 0.8 reds saturate", {Sun({0, -1, 0}, {0.8f, 0, 0}), Sun({0, -1, 0}, {0.8f, 0, 0})}, 1, {1, 1, 1}, {0, 0, 0}},
        {"point at half its reach from corner 0", {Point({0, 50, 0}, 100)}, 1, {0, 0, 0.5f}, {0, 0, 0.5f}},
        {"point exactly at its reach", {Point({0, 50, 0}, 50)}, 1, {0, 0, 0}, {0, 0, 0}},
        {"point below the floor", {Point({0, -50, 0}, 100)}, 1, {0, 0, 0}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dk::MapData map = GridMap(1, 100.0f);
        map.materials[0].lmode = c.lmode;
        map.lights = c.lights;
        LoadText(map);
        const LandscapeSurface& s = g_Landscape->surfaces[1];
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(s.cornerRed[k], c.red[size_t(k)], 1e-5f) << k;
            EXPECT_NEAR(s.cornerGreen[k], c.green[size_t(k)], 1e-5f) << k;
        }
        MAP_UnloadMap();
    }
}

TEST_F(LndTest, SurfaceWithoutMaterialKeepsItsColours) {
    dk::MapData map = GridMap(1, 100.0f);
    map.surfaces[0].material = 0;
    map.lights = {Sun({0, 3, 0})};
    LoadText(map);
    EXPECT_EQ(g_Landscape->surfaces[1].cornerRed[0], 1.0f);
    EXPECT_EQ(g_Landscape->surfaces[2].cornerRed[0], 0.0f);
}

TEST_F(LndTest, LightListsByReach) {
    dk::MapData map = GridMap(4, 100.0f);
    dk::MapLight spotUp;
    spotUp.type = 2;
    spotUp.position = {130, 50, 140};
    spotUp.direction = {0, 10, 0};  // its ray hits nothing
    spotUp.coneAngle = 0.3f;
    dk::MapLight spotDown = spotUp;
    spotDown.direction = {0, -10, 0};
    map.lights = {Sun({0, -1, 0}), spotUp, Point({50, 20, 50}, 40), spotDown};
    LoadText(map);
    auto listed = [](int32_t s, uint8_t light) {
        const LandscapeSurface& x = g_Landscape->surfaces[s];
        return std::find(x.lightList, x.lightList + x.lightCount, light) != x.lightList + x.lightCount;
    };
    for (int32_t s = 1; s <= g_Landscape->surfaceCount; ++s) {
        SCOPED_TRACE(s);
        EXPECT_TRUE(listed(s, 1));
        EXPECT_FALSE(listed(s, 2));
    }
    // The point light over quad (0, 0) reaches its triangles, not the far corner of the map.
    EXPECT_TRUE(listed(1, 3));
    EXPECT_TRUE(listed(2, 3));
    EXPECT_FALSE(listed(32, 3));
    // The spot down into surface 11: a cone of 0.3 rad from 50 up covers a radius of about 15.5.
    // Its second polygon, from the light to the cone's edge across its direction, has no area
    // for a spot straight down and adds no surface.
    EXPECT_TRUE(listed(11, 4));
    EXPECT_FALSE(listed(1, 4));
    EXPECT_FALSE(listed(32, 4));
    // The spot still colours the surfaces under it: sqrt(f) with f = 1 for a floor.
    EXPECT_NEAR(g_Landscape->surfaces[11].cornerRed[0], 1.0f, 1e-5f);
}

TEST_F(LndTest, AMapWithMoreThan32LightsIsRefused) {
    dk::MapData map = GridMap(1, 100.0f);
    map.lights.assign(32, Sun({0, -1, 0}, {0.01f, 0.01f, 0.01f}));
    LoadText(map);
    EXPECT_EQ(g_Landscape->surfaces[1].lightCount, 32);
    MAP_UnloadMap();
    map.lights.push_back(Sun({0, -1, 0}));
    PutText("many.clm", dk::TextMapString(map, dk::TextDialect::Clm));
    EXPECT_EQ(Load("many.clm"), 0);
}

TEST_F(LndTest, ViewLightsFollowTheViewOnlyWhileDynamicLightingIsOn) {
    dk::MapData map = GridMap(1, 100.0f);
    map.lights = {Point({10, 20, 30}, 50)};
    map.lights[0].direction = {0, 0, 0};  // no direction: a zero unit vector, not NaN
    LoadText(map);
    EXPECT_EQ(g_Landscape->lights[1].unitDirection.x, 0.0f);
    Matrix34 view;
    MTH_MatrixIdentity(&view);
    view.m[9] = 100.0f;
    g_ViewLights[1].position = Vec3{0, 0, 0};
    EXPECT_EQ(LND_SetDynamicLighting(0), 0);
    LND_UpdateFrameLights(&view);
    EXPECT_EQ(g_ViewLights[1].position.x, 0.0f);
    EXPECT_EQ(LND_SetDynamicLighting(1), 0);
    LND_UpdateFrameLights(&view);
    EXPECT_EQ(g_ViewLights[1].position.x, 110.0f);
    EXPECT_EQ(g_ViewLights[1].type, 3);
    const float floor[4] = {0.2f, 0.3f, 0.4f, 0.5f};
    const float before = g_AmbientFloor[0];
    const float* previous = LND_SetAmbientLight(floor);
    EXPECT_EQ(previous[0], before);
    EXPECT_EQ(g_AmbientFloor[3], 0.5f);
    EXPECT_EQ(LND_SetAmbientLight(nullptr)[2], 0.4f);
    EXPECT_EQ(g_AmbientFloor[2], 0.4f);
}

}  // namespace
