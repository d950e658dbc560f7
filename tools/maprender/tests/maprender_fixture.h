// Synthetic maps and pictures for maprender's tests, built with the data kit: a quartered texture
// that shows any mirroring, a 2 x 2-quad floor, the floor with a wall at its far side, and a
// U-shaped corridor whose connecting surface lies behind the camera. The geometry is kept in the
// plan view x to the right and z up, where the kit winds surfaces counter-clockwise.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "datakit/bmp.h"
#include "datakit/map_data.h"
#include "datakit/map_demo.h"
#include "maprender.h"
#include "png_read.h"
#include "tool_test.h"

namespace mrtest {

// A 16 x 16 picture in four quarters: red top left, green top right, blue bottom left, yellow
// bottom right, with a white texel in the top left corner.
inline dk::Bmp24 QuarteredTexture() {
    dk::Bmp24 picture(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool right = x >= 8, bottom = y >= 8;
            dk::Rgb c = !bottom ? (right ? dk::Rgb{0, 255, 0} : dk::Rgb{255, 0, 0})
                                : (right ? dk::Rgb{255, 255, 0} : dk::Rgb{0, 0, 255});
            picture.at(x, y) = c;
        }
    picture.at(0, 0) = dk::Rgb{255, 255, 255};
    return picture;
}

inline const char* kTextureFile = "quarters.bmp";

// The map's settings shared by every fixture: one texture, two lit materials whose uv show the
// whole texture upright on a square split from its bottom left to its top right corner (material
// 1 for the lower right triangle, 2 for the upper left one), the ambient floor at 0.1.
inline dk::MapData BaseMap() { return dk::UprightTextureMap("maprender fixture", kTextureFile, 0.1f); }

inline dk::MapLight Directional(float x, float y, float z, float level) {
    dk::MapLight light;
    light.type = 1;
    light.direction = {x, y, z};
    light.colour = {level, level, level};
    return light;
}

// The floor: 2 x 2 squares of 200 units on y = 0 around the origin, lit from straight above at 0.8.
inline dk::MapData FloorMap() {
    dk::MapData m = BaseMap();
    int grid[3][3];
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            grid[row][column] = dk::AddMapVertex(&m, -200.0f + 200.0f * float(column), 0.0f, -200.0f + 200.0f * float(row));
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 2; ++column)
            dk::AddMapSquare(&m, grid[row][column], grid[row][column + 1], grid[row + 1][column + 1], grid[row + 1][column]);
    m.lights.push_back(Directional(0.0f, -1.0f, 0.0f, 0.8f));
    dk::LinkMapTwins(&m);
    return m;
}

// The floor with a wall of 400 x 200 standing on its far edge (z = 200), its face towards -z, and
// a light along lightZ (+1: onto the wall's face, -1: onto its back).
inline dk::MapData WallMap(float lightZ) {
    dk::MapData m = FloorMap();
    const int bl = dk::AddMapVertex(&m, -200.0f, 0.0f, 200.0f), br = dk::AddMapVertex(&m, 200.0f, 0.0f, 200.0f);
    const int tr = dk::AddMapVertex(&m, 200.0f, 200.0f, 200.0f), tl = dk::AddMapVertex(&m, -200.0f, 200.0f, 200.0f);
    dk::AddMapSquare(&m, bl, br, tr, tl);
    m.lights.push_back(Directional(0.0f, 0.0f, lightZ, 0.9f));
    dk::LinkMapTwins(&m);
    return m;
}

// Two cubes of side 2 x half standing on the floor at x = -120 (still) and x = 120 (turning, at
// rate 0, so lit anew each frame from the view's lights), each a landscape object with five faces
// (no bottom) wound like the landscape as seen from outside, showing the texture upright.
inline constexpr float kCubeHalf = 60.0f;

inline void AddCubeFace(dk::MapObject* o, const dk::MapVec& bl, const dk::MapVec& br, const dk::MapVec& tr,
                        const dk::MapVec& tl) {
    const int first = int(o->vertices.size());
    o->vertices.insert(o->vertices.end(), {bl, br, tr, tl});
    dk::MapObjectSurface lower;
    lower.vrefs = {first, first + 1, first + 2};
    lower.u = {0.0f, 1.0f, 1.0f};
    lower.v = {1.0f, 1.0f, 0.0f};
    lower.lmode = 1;
    lower.mode = 0;
    lower.frames = {1};
    lower.currentTexture = 1;
    dk::MapObjectSurface upper = lower;
    upper.vrefs = {first, first + 2, first + 3};
    upper.u = {0.0f, 1.0f, 0.0f};
    upper.v = {1.0f, 0.0f, 0.0f};
    o->surfaces.push_back(lower);
    o->surfaces.push_back(upper);
}

inline dk::MapObject Cube(const char* name, int positionRef, int spinMode) {
    const float h = kCubeHalf, t = 2.0f * kCubeHalf;
    dk::MapObject o;
    o.name = name;
    o.positionRef = positionRef;
    o.spinMode = spinMode;
    AddCubeFace(&o, {-h, t, -h}, {h, t, -h}, {h, t, h}, {-h, t, h});      // top, seen from above
    AddCubeFace(&o, {-h, 0, -h}, {h, 0, -h}, {h, t, -h}, {-h, t, -h});    // front (-z)
    AddCubeFace(&o, {h, 0, h}, {-h, 0, h}, {-h, t, h}, {h, t, h});        // back (+z)
    AddCubeFace(&o, {h, 0, -h}, {h, 0, h}, {h, t, h}, {h, t, -h});        // right (+x)
    AddCubeFace(&o, {-h, 0, h}, {-h, 0, -h}, {-h, t, -h}, {-h, t, h});    // left (-x)
    return o;
}

inline dk::MapData CubesMap() {
    dk::MapData m = FloorMap();
    const int still = dk::AddMapVertex(&m, -120.0f, 0.0f, 0.0f), turning = dk::AddMapVertex(&m, 120.0f, 0.0f, 0.0f);
    m.objects.push_back(Cube("still", still, 0));
    m.objects.push_back(Cube("turning", turning, 1));
    return m;
}

// The corridor: a left lane (surfaces 1 and 2), a connection behind the camera (3 and 4) and a
// right lane (5 and 6), each surface joined to the next; the camera stands over surface 1.
struct Corridor {
    dk::MapData map;
    float cameraX = -200.0f, cameraY = 300.0f, cameraZ = 0.0f, yaw = 0.3f, pitch = 0.5f;
};

inline Corridor CorridorMap() {
    Corridor c;
    dk::MapData& m = c.map;
    m = BaseMap();
    const int a = dk::AddMapVertex(&m, -300, 0, 500), b = dk::AddMapVertex(&m, -100, 0, 500);
    const int cc = dk::AddMapVertex(&m, -300, 0, -100), d = dk::AddMapVertex(&m, -100, 0, -100);
    const int e = dk::AddMapVertex(&m, -200, 0, -300), p = dk::AddMapVertex(&m, 0, 0, -100);
    const int q = dk::AddMapVertex(&m, 150, 0, -100), s = dk::AddMapVertex(&m, 0, 0, 500);
    dk::AddMapTriangle(&m, cc, d, b, 1);  // 1: under the camera
    dk::AddMapTriangle(&m, cc, b, a, 2);  // 2: the rest of the left lane
    dk::AddMapTriangle(&m, cc, e, d, 1);  // 3: behind the eye
    dk::AddMapTriangle(&m, d, e, p, 1);   // 4
    dk::AddMapTriangle(&m, d, p, s, 1);   // 5: the right lane, ahead
    dk::AddMapTriangle(&m, s, p, q, 2);   // 6
    m.lights.push_back(Directional(0.0f, -1.0f, 0.0f, 0.8f));
    dk::LinkMapTwins(&m);
    return c;
}

using pngtest::Picture;
using pngtest::ReadPng;

// A fresh working folder holding the quartered texture, with the display open for the test.
class DisplayTest : public ::testing::Test {
protected:
    std::filesystem::path dir, previous;

    void SetUp() override {
        dir = tooltest::FreshTestDir("maprender-");
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        ASSERT_TRUE(dk::WriteBmp24(kTextureFile, QuarteredTexture()));
        ASSERT_TRUE(maprender::OpenDisplay());
    }
    void TearDown() override {
        maprender::CloseDisplay();
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(dir);
    }
};

}  // namespace mrtest
