// Landscape drawing seen through the renderer's triangle hook: the drawn corner order (a floor
// seen from above is a front face and its texture is not mirrored), lighting from above and
// below, a lit wall object facing its light, the flood stopping at a surface out of view, the
// per-frame vertex transform, and model faces lit by the view lights.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/mdl.h"
#include "common/mem.h"
#include "lnd_fixture.h"

namespace {
using lndtest::GridMap;
using lndtest::LndTest;
using lndtest::Sun;

// World to view for an eye at height eyeY above (cx, cz) looking straight down, with world x to
// the right and world z up on the screen.
Matrix34 LookDown(float cx, float eyeY, float cz) {
    return Matrix34{{1, 0, 0, 0, 0, -1, 0, 1, 0, -cx, -cz, eyeY}};
}

// The renderer's screen test: a triangle is kept when this is not negative.
float ScreenWinding(const RenderTriangle& t) {
    float x[3], y[3];
    for (int k = 0; k < 3; ++k) {
        x[k] = t.position[k].x / t.position[k].z;
        y[k] = -t.position[k].y / t.position[k].z;  // screen y grows downward
    }
    return (x[1] - x[0]) * (y[2] - y[1]) - (x[2] - x[1]) * (y[1] - y[0]);
}

class DrawTest : public LndTest {
protected:
    void SetUp() override {
        LndTest::SetUp();
        RND_SetTriangleHook([this](const RenderTriangle& t) {
            drawn.push_back(t);
            return 1;
        });
    }
    std::vector<RenderTriangle> drawn;
};

TEST_F(DrawTest, FloorSeenFromAboveIsAFrontFaceWithItsTextureTheRightWayRound) {
    LoadText(GridMap(2, 100.0f));
    const Matrix34 camera = LookDown(100, 500, 100);
    EXPECT_EQ(LND_Draw(&camera, 1), 8);
    ASSERT_EQ(drawn.size(), 8u);
    for (const RenderTriangle& t : drawn) {
        EXPECT_GT(ScreenWinding(t), 0.0f);
        ASSERT_NE(t.texture, nullptr);
    }
    // The lower-left triangle of quad (0, 0): its corner at world (100, 0) has uv (1, 0) and
    // the one at (0, 100) has uv (0, 1).
    const RenderTriangle& first = drawn[0];
    for (int k = 0; k < 3; ++k) {
        const float wx = first.position[k].x + 100, wz = first.position[k].y + 100;
        SCOPED_TRACE(testing::Message() << wx << "," << wz);
        EXPECT_FLOAT_EQ(first.uv[k][0], wx / 100.0f);
        EXPECT_FLOAT_EQ(first.uv[k][1], wz / 100.0f);
    }
    EXPECT_EQ(LND_IsSurfaceDrawn(1), 1);
    EXPECT_EQ(LND_IsSurfaceDrawn(99), 0);
}

TEST_F(DrawTest, LightFromAboveBrightensTheFloorLightFromBelowLeavesTheAmbientFloor) {
    struct Case {
        dk::MapVec direction;
        int lighting;
        float expected;
    };
    const Case cases[] = {{{0, -1, 0}, 1, 1.0f}, {{0, 1, 0}, 1, 0.1f}, {{0, 1, 0}, 0, 1.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.direction[1] << " lighting " << c.lighting);
        dk::MapData map = GridMap(1, 100.0f);
        map.lights = {Sun(c.direction, {1, 1, 1})};
        LoadText(map);
        const float floor[4] = {0.1f, 0.1f, 0.1f, 0.0f};
        LND_SetAmbientLight(floor);
        LND_SetDynamicLighting(c.lighting);
        drawn.clear();
        const Matrix34 camera = LookDown(50, 500, 50);
        LND_Draw(&camera, 0);
        ASSERT_EQ(drawn.size(), 2u);
        for (const RenderTriangle& t : drawn)
            for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(t.colour[k][0], c.expected) << k;
        MAP_UnloadMap();
    }
}

TEST_F(DrawTest, WallObjectFacesItsLightAndTheEye) {
    dk::MapData map = GridMap(4, 100.0f);
    map.lights = {Sun({0, 0, 1})};  // shining along +z onto the wall's face
    dk::MapObject wall;
    wall.name = "wall";
    wall.positionRef = 2 * 5 + 2 + 1;  // (200, 0, 200)
    wall.vertices = {{-30, 0, 0}, {30, 0, 0}, {0, 60, 0}};
    dk::MapObjectSurface side;
    side.vrefs = {0, 1, 2};
    side.frames = {1};
    side.lmode = 1;
    wall.surfaces = {side};
    map.objects = {wall};
    LoadText(map);
    LND_SetDynamicLighting(1);
    Matrix34 camera;
    MTH_MatrixIdentity(&camera);
    camera.m[9] = -200;
    camera.m[10] = -30;
    camera.m[11] = -10;  // the eye at (200, 30, 10) looking along +z
    LND_Draw(&camera, 0);  // no camera surface: every object is drawn
    drawn.clear();
    EXPECT_EQ(LND_DrawObjects(&camera) >> 16, 1);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_GT(ScreenWinding(drawn[0]), 0.0f);
    for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(drawn[0].colour[k][0], 1.0f);
}

// Vertex rows 1 and 2 of a 3 x 3 grid are lifted behind the eye, so the middle row of quads is
// out of view: the flood from the first row stops there and never reaches the far row, which is
// in view and drawn when the camera stands on no surface.
TEST_F(DrawTest, FloodStopsAtASurfaceOutOfView) {
    std::vector<std::vector<float>> heights(4, std::vector<float>(4, 0.0f));
    heights[1] = heights[2] = std::vector<float>(4, 3000.0f);
    LoadText(GridMap(3, 100.0f, heights));
    const Matrix34 camera = LookDown(150, 2000, 150);
    EXPECT_EQ(LND_Draw(&camera, 1), 6);
    EXPECT_EQ(LND_IsSurfaceDrawn(13), 0) << "the far row is never reached";
    EXPECT_EQ(LND_Draw(&camera, 0), 12);
}

TEST_F(DrawTest, SharedVerticesAreTransformedOncePerFrame) {
    LoadText(GridMap(2, 100.0f));
    const Matrix34 camera = LookDown(100, 500, 100);
    LND_Draw(&camera, 1);
    // The middle vertex (100, 0, 100) is shared by six surfaces; it carries this frame's stamp
    // and its view position; a changed position is not picked up again within the frame.
    LandscapeVertex& middle = g_Landscape->vertices[5];
    EXPECT_EQ(middle.drawStamp, g_LandscapeDrawStamp);
    EXPECT_FLOAT_EQ(g_RelativeVertices[5].z, 500.0f);
    middle.position.y = 100.0f;
    uint16_t corners[3];
    LND_TransformSurfaceVertices(corners, &camera, 2);
    EXPECT_FLOAT_EQ(g_RelativeVertices[5].z, 500.0f);
    LND_Draw(&camera, 1);
    EXPECT_FLOAT_EQ(g_RelativeVertices[5].z, 400.0f);
}

// A cube face on top, wound like a landscape surface (counter-clockwise from above), lit by a
// light from above, is bright; the same face turned upside down is at the ambient floor.
TEST_F(DrawTest, ModelFaceLitFromAboveIsBright) {
    dk::MapData map = GridMap(1, 100.0f);
    map.lights = {Sun({0, -1, 0})};
    LoadText(map);
    LND_SetDynamicLighting(1);
    const float floor[4] = {0.1f, 0.1f, 0.1f, 0.0f};
    LND_SetAmbientLight(floor);
    Matrix34 view;
    MTH_MatrixIdentity(&view);
    LND_UpdateFrameLights(&view);
    const float vertices[] = {-10, 10, 200, 10, 10, 200, -10, 10, 220};  // the top face, z forward
    ModelTriangle faces[2] = {};
    faces[0].corner[0] = 0;
    faces[0].corner[1] = 1;
    faces[0].corner[2] = 2;
    faces[1] = faces[0];
    std::swap(faces[1].corner[0], faces[1].corner[2]);
    Matrix34 place;
    MTH_MatrixIdentity(&place);
    std::vector<LndModelMesh> seen;
    LND_SetModelMeshObserver([&](const LndModelMesh& m) { seen.push_back(m); });
    EXPECT_EQ(LND_DrawModelTriangles(nullptr, 0, &place, vertices, nullptr, faces, 3, 2, 0, 0.0f), 1);
    LND_SetModelMeshObserver({});
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_FLOAT_EQ(drawn[0].colour[0][1], 1.0f);
    EXPECT_FLOAT_EQ(drawn[1].colour[0][1], 0.1f);
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(LND_DrawModelTriangles(nullptr, 0, nullptr, vertices, nullptr, faces, 3, 2, 0, 0.0f), 0);
    // A light cache that holds nothing is made (on the tracked heap), filled and kept.
    MEM_ResetTracker();
    ASSERT_EQ(g_MemEnabled, 1u);
    float* cache = nullptr;
    drawn.clear();
    LND_DrawModelTriangles(&cache, 0, &place, vertices, nullptr, faces, 3, 2, 0, 0.0f);
    ASSERT_NE(cache, nullptr);
    EXPECT_FLOAT_EQ(cache[1], 1.0f);
    EXPECT_FLOAT_EQ(cache[9 + 1], 0.1f);
    // Once kept it is used as it is: no lighting, no outcode test.
    cache[1] = 0.5f;
    drawn.clear();
    LND_DrawModelTriangles(&cache, 0, &place, vertices, nullptr, faces, 3, 2, 0, 0.0f);
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_FLOAT_EQ(drawn[0].colour[0][1], 0.5f);
    MEM_Free(cache);
    MEM_FreeAll();
}

TEST_F(DrawTest, FlipSwapsFirstAndLastCorners) {
    RenderTriangle t{};
    t.position[0].x = 1;
    t.position[2].x = 3;
    t.uv[0][1] = 0.5f;
    t.colour[2][2] = 0.25f;
    LND_FlipTriangle(&t);
    EXPECT_EQ(t.position[0].x, 3.0f);
    EXPECT_EQ(t.position[2].x, 1.0f);
    EXPECT_EQ(t.uv[2][1], 0.5f);
    EXPECT_EQ(t.colour[0][2], 0.25f);
}

}  // namespace
