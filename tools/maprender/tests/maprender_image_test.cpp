// Pictures of synthetic maps drawn through the game's display start-up, landscape drawing and
// renderer: a textured floor lit from above is seen, bright and the right way round from above
// (which pins the order in which stored corners are drawn), a wall is bright only when its light
// falls on its face, and a corridor shows only what the flood from the camera's surface reaches.
// Each picture is also compared exactly with a picture of ours that a person looked at, kept in
// golden/ beside this file; a missing or different picture is written to the build folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "datakit/map_text.h"
#include "engine/lnd_draw.h"
#include "engine/rnd_projection.h"
#include "maprender.h"
#include "maprender_fixture.h"
#include "plat.h"
#include "tool_test.h"

namespace {

namespace fs = std::filesystem;
using mrtest::Picture;

constexpr float kStraightDown = 1.5707964f;

Picture LastFrame() {
    Picture p;
    const uint32_t* pixels = nullptr;
    if (!plat::LastFrame(&pixels, &p.width, &p.height)) return p;
    p.pixels.assign(pixels, pixels + size_t(p.width) * size_t(p.height));
    for (uint32_t& x : p.pixels) x &= 0xFFFFFF;
    return p;
}

// Compares with golden/NAME.png pixel for pixel; a missing or different picture is written to
// the build folder as NAME.png for a person to look at.
void ExpectGolden(const std::string& name, const Picture& actual) {
    const Picture golden = mrtest::ReadPng(std::string(MAPRENDER_GOLDEN_DIR) + "/" + name + ".png");
    int different = -1;
    if (golden.width == actual.width && golden.height == actual.height) {
        different = 0;
        for (size_t i = 0; i < actual.pixels.size(); ++i) different += golden.pixels[i] != actual.pixels[i];
    }
    if (different != 0) {
        const std::string path = std::string(MAPRENDER_ACTUAL_DIR) + "/" + name + ".png";
        plat::WritePng(path, actual.pixels.data(), actual.width, actual.height);
        ADD_FAILURE() << name << ": " << (different < 0 ? std::string("no golden picture of this size")
                                                         : std::to_string(different) + " pixels differ")
                      << "; the picture drawn is " << path;
    }
}

struct Rgb {
    int r, g, b;
};
Rgb Split(uint32_t pixel) {
    return Rgb{int(pixel >> 16 & 0xFF), int(pixel >> 8 & 0xFF), int(pixel & 0xFF)};
}

class MapRenderImages : public mrtest::DisplayTest {
protected:
    Matrix34 pose{};

    void Load(const dk::MapData& map) {
        ASSERT_TRUE(dk::WriteTextMap("m.blm", map, dk::TextDialect::Blm));
        ASSERT_TRUE(maprender::LoadMap("m.blm"));
    }

    // Draws from the camera at (x, y, z), yaw, pitch, flooding from the surface under it.
    Picture Draw(float x, float y, float z, float yaw, float pitch, bool flood = true) {
        pose = maprender::CameraPose(Vec3{x, y, z}, yaw, pitch);
        maprender::DrawFrame(pose, flood ? maprender::CameraSurface(Vec3{x, y, z}) : 0);
        return LastFrame();
    }

    // The pixel where a world point of the map shows in the last picture drawn.
    Rgb At(const Picture& p, float x, float y, float z) {
        Matrix34 view;
        MTH_MatrixInvertRigid(&view, &pose);
        const Vec3 world{x, y, z};
        Vec3 v, screen{};
        MTH_TransformPoint(&v, &world, &view);
        EXPECT_EQ(RND_ProjectPoint(&screen, &v), 1);
        const int px = int(screen.x), py = int(screen.y);
        EXPECT_TRUE(px >= 0 && px < p.width && py >= 0 && py < p.height) << px << ", " << py;
        if (px < 0 || px >= p.width || py < 0 || py >= p.height) return Rgb{-1, -1, -1};
        return Split(p.at(px, py));
    }
};

// A texture quarter at a light level: the quarter's full channels at about level x 255 (the display
// keeps 5 or 6 bits), the others dark.
void ExpectQuarter(const Rgb& c, const char* quarter, float level) {
    const int full = int(level * 255.0f);
    const bool r = quarter[0] == 'r' || quarter[0] == 'y', g = quarter[0] == 'g' || quarter[0] == 'y',
               b = quarter[0] == 'b';
    const int channels[3] = {c.r, c.g, c.b};
    const bool wanted[3] = {r, g, b};
    for (int i = 0; i < 3; ++i) {
        if (wanted[i])
            EXPECT_NEAR(channels[i], full, 12) << quarter << " channel " << i;
        else
            EXPECT_LE(channels[i], 12) << quarter << " channel " << i;
    }
}

// Seen from straight above (x to the right, z up the screen) each square of the floor shows the
// texture upright: red top left, green top right, blue bottom left, yellow bottom right, at the
// light from above (0.8). Drawn in the stored corner order the floor would face away and vanish;
// uv and positions taken from different corners would show the quarters mirrored.
TEST_F(MapRenderImages, FloorFromAboveIsLitAndNotMirrored) {
    Load(mrtest::FloorMap());
    const Picture p = Draw(0.0f, 700.0f, 0.0f, 0.0f, kStraightDown);
    struct Probe {
        float dx, dz;
        const char* quarter;
    };
    constexpr Probe probes[] = {{50, 150, "red"}, {150, 150, "green"}, {50, 50, "blue"}, {150, 50, "yellow"}};
    for (float x0 : {-200.0f, 0.0f})
        for (float z0 : {-200.0f, 0.0f})
            for (const Probe& probe : probes) {
                SCOPED_TRACE(testing::Message() << "square at " << x0 << ", " << z0 << " " << probe.quarter);
                ExpectQuarter(At(p, x0 + probe.dx, 0.0f, z0 + probe.dz), probe.quarter, 0.8f);
            }
    EXPECT_EQ(p.at(5, 5), 0u) << "beyond the floor the background stays black";
    ExpectGolden("floor_from_above", p);
}

// The wall's face looks towards -z, at the camera. A light along +z falls on that face and lights
// it at 0.9; a light along -z falls on its back, which leaves the face at the ambient floor 0.1.
// The floor, lit only from above, looks the same in both.
TEST_F(MapRenderImages, WallIsBrightOnlyFacingItsLight) {
    struct Case {
        const char* golden;
        float lightZ, wallLevel;
    };
    for (const Case& c : {Case{"wall_light_on_face", 1.0f, 0.9f}, Case{"wall_light_on_back", -1.0f, 0.1f}}) {
        SCOPED_TRACE(c.golden);
        Load(mrtest::WallMap(c.lightZ));
        const Picture p = Draw(0.0f, 150.0f, -700.0f, 0.0f, 0.15f);
        ExpectQuarter(At(p, -150.0f, 150.0f, 200.0f), "red", c.wallLevel);
        ExpectQuarter(At(p, 150.0f, 50.0f, 200.0f), "yellow", c.wallLevel);
        ExpectQuarter(At(p, -150.0f, 0.0f, -50.0f), "red", 0.8f);
        ExpectGolden(c.golden, p);
    }
}

// From the camera over surface 1 the flood draws the left lane (1, 2) and stops at surface 3,
// which lies behind the eye: the right lane (5, 6), in front of the camera and on the screen, is
// reached only through 3 and stays black. Drawn without a camera surface, the same view shows it.
TEST_F(MapRenderImages, CorridorShowsOnlyWhatTheFloodReaches) {
    const mrtest::Corridor c = mrtest::CorridorMap();
    Load(c.map);
    ASSERT_EQ(maprender::CameraSurface(Vec3{c.cameraX, c.cameraY, c.cameraZ}), 1);
    const Picture flood = Draw(c.cameraX, c.cameraY, c.cameraZ, c.yaw, c.pitch);
    EXPECT_EQ(g_DrawnSurfaceCount, 2);
    const Picture all = Draw(c.cameraX, c.cameraY, c.cameraZ, c.yaw, c.pitch, false);
    EXPECT_EQ(g_DrawnSurfaceCount, 4) << "surfaces 3 and 4 are out of view";
    struct Probe {
        const char* name;
        float x, z;
        bool reached;
    };
    constexpr Probe probes[] = {
        {"surface 1", -150.0f, 250.0f, true},
        {"surface 2", -260.0f, 400.0f, true},
        {"surface 5", -8.0f, 300.0f, false},
        {"surface 6", 40.0f, 150.0f, false},
        {"surface 6 far", 20.0f, 300.0f, false},
    };
    for (const Probe& probe : probes) {
        SCOPED_TRACE(probe.name);
        const Rgb inFlood = At(flood, probe.x, 0.0f, probe.z), inAll = At(all, probe.x, 0.0f, probe.z);
        EXPECT_GT(inAll.r + inAll.g + inAll.b, 100) << "the surface is in view";
        if (probe.reached) {
            EXPECT_EQ(inFlood.r, inAll.r);
            EXPECT_EQ(inFlood.g, inAll.g);
            EXPECT_EQ(inFlood.b, inAll.b);
        } else {
            EXPECT_EQ(inFlood.r + inFlood.g + inFlood.b, 0) << "not reached by the flood";
        }
    }
    ExpectGolden("corridor_flood", flood);
    ExpectGolden("corridor_all", all);
}

// Landscape objects follow the same corner order and light signs: the top of each cube, lit from
// above, is bright, its front is at the ambient floor, on the still cube (colours kept from the
// load) and on the turning one (lit each frame with its inward view normal) alike, and both show
// the texture upright.
TEST_F(MapRenderImages, CubeObjectsAreLitOnTop) {
    ASSERT_TRUE(dk::WriteTextMap("m.clm", mrtest::CubesMap(), dk::TextDialect::Clm));
    ASSERT_TRUE(maprender::LoadMap("m.clm"));
    const Picture p = Draw(0.0f, 400.0f, -600.0f, 0.0f, 0.5f);
    const float h = mrtest::kCubeHalf;
    struct Probe {
        const char* face;
        float dx, y, dz;
        const char* quarter;
        float level;
    };
    const Probe probes[] = {
        {"top", -h / 2, 2 * h, h / 2, "red", 0.8f},
        {"top", h / 2, 2 * h, -h / 2, "yellow", 0.8f},
        {"front", -h / 2, 1.5f * h, -h, "red", 0.1f},
        {"front", h / 2, 0.5f * h, -h, "yellow", 0.1f},
    };
    for (float x0 : {-120.0f, 120.0f})
        for (const Probe& probe : probes) {
            SCOPED_TRACE(testing::Message() << "cube at " << x0 << " " << probe.face << " " << probe.quarter);
            ExpectQuarter(At(p, x0 + probe.dx, probe.y, probe.dz), probe.quarter, probe.level);
        }
    ExpectGolden("cubes", p);
}

// The program itself: the floor seen from its overview camera.
TEST_F(MapRenderImages, ToolDrawsTheOverview) {
    ASSERT_TRUE(dk::WriteTextMap("floor.blm", mrtest::FloorMap(), dk::TextDialect::Blm));
    std::string out, err;
    const std::string cmd = "cd " + tooltest::Quote(dir.string()) + " && PLATFORM_BACKEND=headless " +
                            tooltest::Quote(MAPRENDER_PATH) + " floor.blm overview.png";
    ASSERT_EQ(tooltest::RunCommand(cmd, dir, &out, &err), 0) << err;
    const Picture p = mrtest::ReadPng((dir / "overview.png").string());
    ASSERT_EQ(p.width, 640);
    ExpectGolden("floor_overview", p);
}

}  // namespace
