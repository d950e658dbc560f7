// Materials: the texture animation modes at given times, texture-coordinate scrolling, the
// accessors out of range, object names, the texture loading progress, and an object outside the
// map going to the always-drawn list.
#include <gtest/gtest.h>

#include "lnd_fixture.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"
#include "engine/rnd_texture.h"

namespace {
using lndtest::GridMap;
using lndtest::LndTest;

dk::MapData AnimatedMap(int32_t mode) {
    dk::MapData map = GridMap(1, 100.0f);
    map.textures = {{"a.bmp", "", 0}, {"b.bmp", "", 0}, {"c.bmp", "", 0}, {"d.bmp", "", 0}};
    map.materials[0].mode = mode;
    map.materials[0].frameTime = 0.5f;
    map.materials[0].frames = {1, 2, 3, 4};
    return map;
}

TEST_F(LndTest, TextureAnimationModesStepAtTheGivenTimes) {
    struct Step {
        float time;
        uint16_t texture;
        int32_t mode;
    };
    struct Case {
        int32_t mode;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {2, {{0.0f, 1, 2}, {0.6f, 2, 2}, {1.75f, 4, 2}, {2.0f, 1, 2}, {2.5f, 2, 2}}},
        // Plays once: at the wrap it drops to mode 0 and stays on the first frame.
        {1, {{0.5f, 2, 1}, {1.0f, 3, 1}, {1.5f, 4, 1}, {2.0f, 1, 0}, {2.6f, 1, 0}}},
        {0, {{0.0f, 1, 0}, {1.6f, 1, 0}}},
        {7, {{1.6f, 1, 7}}},  // unknown modes show the first frame
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        LoadText(AnimatedMap(c.mode));
        for (const Step& s : c.steps) {
            SCOPED_TRACE(s.time);
            LND_SetTime(s.time);
            LND_AnimateSurfaceMaterial(1);
            EXPECT_EQ(LND_GetMaterialTexture(1), s.texture);
            EXPECT_EQ(g_Landscape->materials[1].mode, s.mode);
        }
        MAP_UnloadMap();
    }
    LND_SetTime(3.0f);
    LND_SetTime(2.5f);
    EXPECT_FLOAT_EQ(g_LandscapeTimeStep, 0.5f);
}

TEST_F(LndTest, StoppedAnimationsStayOnTheFirstFrame) {
    dk::MapData map = AnimatedMap(2);
    map.materials[0].frameTime = 0.0f;
    LoadText(map);
    LND_SetTime(5.0f);
    LND_AnimateSurfaceMaterial(1);
    EXPECT_EQ(LND_GetMaterialTexture(1), 1);
}

TEST_F(LndTest, TextureCoordinatesScrollAndComeFromTheReversedCorners) {
    dk::MapData map = GridMap(1, 100.0f);
    map.materials[0].u = {0.0f, 0.5f, 0.25f};
    map.materials[0].v = {0.0f, 0.0f, 1.0f};
    map.materials[0].uv.kind = 2;
    map.materials[0].uv.du = 0.1f;
    LoadText(map);
    LND_SetTime(10.0f);
    float uv[6] = {};
    EXPECT_EQ(LND_UpdateSurfaceTexture(uv, 1), 1);
    EXPECT_FLOAT_EQ(uv[0], 1.25f);  // pair 0 from corner 2
    EXPECT_FLOAT_EQ(uv[1], 1.0f);
    EXPECT_FLOAT_EQ(uv[2], 1.5f);   // pair 1 from corner 1
    EXPECT_FLOAT_EQ(uv[4], 1.0f);   // pair 2 from corner 0
    // The texture was loaded on first use from the map's directory.
    EXPECT_EQ(g_Landscape->textures[1].flags & 2u, 2u);
    ASSERT_NE(g_Landscape->textures[1].texture, nullptr);
    EXPECT_STREQ(g_Landscape->textures[1].texture->name, "tex\\floor.bmp");
    // A surface without material leaves the output alone.
    g_Landscape->surfaces[2].material = 0;
    float untouched[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_EQ(LND_UpdateSurfaceTexture(untouched, 2), 0);
    EXPECT_EQ(untouched[0], 9.0f);
}

TEST_F(LndTest, RotationAngleDecaysButNeverGrows) {
    dk::MapData map = GridMap(1, 100.0f);
    map.materials[0].uv.kind = 1;
    LoadText(map);
    LND_SetMaterialUvBase(1, 1.0f);
    float uv[6];
    LND_SetTime(1.0f);
    LND_UpdateSurfaceTexture(uv, 1);
    LND_SetTime(1.25f);
    LND_UpdateSurfaceTexture(uv, 1);
    EXPECT_FLOAT_EQ(g_Landscape->materials[1].uvAnimAngle, 0.75f);
    LND_SetTime(5.0f);  // unseen for seconds: the factor is held at 0, not -2.75
    LND_UpdateSurfaceTexture(uv, 1);
    EXPECT_EQ(g_Landscape->materials[1].uvAnimAngle, 0.0f);
}

TEST_F(LndTest, AccessorsOutOfRangeAndObjectNames) {
    dk::MapData map = GridMap(1, 100.0f);
    dk::MapObject crate;
    crate.name = "Crate";
    crate.positionRef = 1;
    crate.vertices = {{1, 0, 1}, {2, 0, 1}, {1, 1, 1}};
    map.objects = {crate};
    LoadText(map);
    EXPECT_EQ(LND_GetMaterialUvAnim(0), -1);
    EXPECT_EQ(LND_GetMaterialDu(2), 0.0f);
    EXPECT_EQ(LND_GetMaterialTexture(-3), 0);
    LND_SetMaterialDu(1, 0.5f);
    LND_SetMaterialDu(5, 0.7f);  // nothing
    EXPECT_EQ(LND_GetMaterialDu(1), 0.5f);
    EXPECT_EQ(LND_GetObjectAngleZ(2), 0.0f);
    EXPECT_EQ(LND_GetSurfaceMaterial(3), 0);
    const Vec3* flow = LND_GetSurfaceFlow(0);
    EXPECT_EQ(flow->x, 0.0f);
    LandscapeVertex *a = nullptr, *b = nullptr, *c = nullptr;
    EXPECT_EQ(LND_GetSurfaceVertices(&a, &b, &c, 3), 0);
    ASSERT_EQ(LND_GetSurfaceVertices(&a, &b, &c, 1), 1);
    EXPECT_EQ(b->position.x, 100.0f);
    EXPECT_EQ(LND_FindObject("Crate"), 1);
    EXPECT_EQ(LND_FindObject("crate"), 0);
    EXPECT_EQ(LND_FindObject(nullptr), 0);
}

TEST_F(LndTest, LoadingTexturesShowsItsProgress) {
    LoadText(AnimatedMap(0));
    TRC_TraceEnable(true);
    LND_LoadTextures(1);
    std::vector<std::string> texts;
    for (const std::string& entry : TRC_TraceLog())
        if (entry.rfind("RND_DrawDebugText", 0) == 0) texts.push_back(entry);
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "RND_DrawDebugText(0.00,0.50,Loading textures [1, a.bmp]: 25.00 %)",
                         "RND_DrawDebugText(0.00,0.50,Loading textures [2, b.bmp]: 50.00 %)",
                         "RND_DrawDebugText(0.00,0.50,Loading textures [3, c.bmp]: 75.00 %)",
                         "RND_DrawDebugText(0.00,0.50,Loading textures [4, d.bmp]: 100.00 %)",
                     }));
    for (int i = 1; i <= 4; ++i) EXPECT_NE(g_Landscape->textures[i].texture, nullptr) << i;
}

TEST_F(LndTest, ModeThreeMarksTexturesLoadedWithoutAnyLoad) {
    LoadText(AnimatedMap(0));
    TRC_TraceEnable(true);
    LND_LoadTextures(3);
    for (int i = 1; i <= 4; ++i) {
        EXPECT_EQ(g_Landscape->textures[i].flags & 2u, 2u);
        EXPECT_EQ(g_Landscape->textures[i].texture, nullptr);
    }
    for (const std::string& entry : TRC_TraceLog()) EXPECT_NE(entry.rfind("RND_LoadTexture", 0), 0u) << entry;
}

TEST_F(LndTest, ObjectFarOutsideTheMapIsAlwaysDrawn) {
    dk::MapData map = GridMap(1, 100.0f);
    map.vertices.push_back({1000, 0, 1000});
    map.vertices.push_back({104, 0, 50});
    dk::MapObject far, near;
    far.name = "far";
    far.positionRef = 5;
    far.vertices = {{-5, 0, 0}, {5, 0, 0}, {0, 5, 0}};
    near = far;
    near.name = "near";
    near.positionRef = 6;  // outside the map, 4 beyond its edge x = 100
    near.vertices = {{-60, 0, 0}, {60, 0, 0}, {0, 60, 0}};
    map.objects = {far, near};
    LoadText(map);
    EXPECT_EQ(g_RenderObjectCount, 1);
    EXPECT_EQ(g_RenderObjects[0], 1);
    EXPECT_EQ(g_Landscape->objects[1].surface, 0);
    EXPECT_EQ(g_Landscape->objects[1].active, 1);
    // The near one lies outside too but within its radius of the border surfaces' corners.
    EXPECT_EQ(g_Landscape->surfaces[2].objectCount, 1);
    EXPECT_EQ(g_Landscape->surfaces[2].objectList[0], 2);
}

}  // namespace
