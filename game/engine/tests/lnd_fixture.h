// Shared by the landscape query, lighting, material and drawing tests: small synthetic
// landscapes built with the data kit's map writers and loaded through the map loader.
#pragma once
#include <vector>

#include "datakit/map_demo.h"
#include "engine/landscape_query.h"
#include "engine/lnd_draw.h"
#include "engine/lnd_light.h"
#include "engine/lnd_material.h"
#include "engine/rnd_trace.h"
#include "map_fixture.h"
#include "common/calltrace.h"
#include "testsupport/rnd_texture_device.h"

namespace lndtest {

// A grid of n x n quads of the given size from (0, 0), two triangles each, corners counter-
// clockwise in plan view (x right, z up); heights[row][column] of the (n + 1)^2 vertices when
// given, else 0. Quad (i, j) (column i, row j) holds surfaces 2 (j n + i) + 1 and + 2. One
// material (1) with texture 1 over every surface.
inline dk::MapData GridMap(int n, float size, const std::vector<std::vector<float>>& heights = {}) {
    dk::MapData m;
    m.textureDirectory = "tex\\";
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
            m.vertices.push_back({i * size, heights.empty() ? 0.0f : heights[size_t(j)][size_t(i)], j * size});
    auto v = [n](int i, int j) { return j * (n + 1) + i + 1; };
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            dk::AddMapTriangle(&m, v(i, j), v(i + 1, j), v(i, j + 1), 1);
            dk::AddMapTriangle(&m, v(i + 1, j), v(i + 1, j + 1), v(i, j + 1), 1);
        }
    dk::LinkMapTwins(&m);
    m.textures = {{"floor.bmp", "", 0}};
    dk::MapMaterial floor;
    floor.frames = {1};
    floor.currentTexture = 1;
    floor.lmode = 1;
    floor.u = {0, 1, 0};
    floor.v = {0, 0, 1};
    m.materials = {floor};
    return m;
}

// A directional light shining along direction.
inline dk::MapLight Sun(dk::MapVec direction, dk::MapVec colour = {1, 1, 1}) {
    dk::MapLight l;
    l.type = 1;
    l.direction = direction;
    l.colour = colour;
    return l;
}

class LndTest : public maptest::MapFixture {
protected:
    // Map textures are real textures: a software device to load them, and their loads in the
    // trace.
    void SetUp() override {
        MapFixture::SetUp();
        ASSERT_TRUE(TST_OpenTextureDevice(false));
        RND_SetCallTrace([](const char* entry) { TRC_Trace(entry); });
    }
    void TearDown() override {
        RND_SetTriangleHook({});
        LND_SetDynamicLighting(0);
        const float floor[4] = {0.1f, 0.1f, 0.1f, 0.0f};
        LND_SetAmbientLight(floor);
        LND_SetTime(0.0f);
        g_ObjectsDrawn = 0;
        MapFixture::TearDown();
        RND_SetCallTrace(nullptr);
        TST_CloseTextureDevice();
    }
    // Writes the map as a .clm text map (lit and set up at load) and loads it.
    void LoadText(const dk::MapData& map) {
        PutText("t.clm", dk::TextMapString(map, dk::TextDialect::Clm));
        ASSERT_EQ(Load("t.clm"), 1) << refusal;
    }
    static Vec3 V(float x, float y, float z) { return Vec3{x, y, z}; }
};

}  // namespace lndtest
