// maprender as people and scripts use it: its command line, refused and missing maps, maps from
// the install's archives, and the camera it chooses when none is given.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "datakit/bytes.h"
#include "datakit/demo.h"
#include "datakit/map_demo.h"
#include "datakit/map_mutants.h"
#include "datakit/map_text.h"
#include "engine/lnd.h"
#include "engine/rnd_projection.h"
#include "maprender.h"
#include "maprender_fixture.h"
#include "plat.h"
#include "tool_test.h"

namespace {

namespace fs = std::filesystem;
using tooltest::Quote;

using dk::MapMutantFiles;
using tooltest::SanitizerReport;

class MapRenderTool : public ::testing::Test {
protected:
    fs::path dir;
    std::string out, err;

    void SetUp() override { dir = tooltest::FreshTestDir("maprender-"); }
    void TearDown() override { fs::remove_all(dir); }

    int Run(const std::string& args) {
        const std::string cmd = "cd " + Quote(dir.string()) + " && PLATFORM_BACKEND=headless PLATFORM_REGISTRY=" +
                                Quote((dir / "registry.ini").string()) + " " + Quote(MAPRENDER_PATH) + " " + args;
        return tooltest::RunCommand(cmd, dir, &out, &err);
    }
};

TEST(MapRenderArgs, CommandLines) {
    struct Case {
        std::vector<const char*> words;
        bool ok;
        bool camera;
    };
    const Case cases[] = {
        {{"a.zlm", "a.png"}, true, false},
        {{"a.zlm", "a.png", "1", "-2.5", "3e2", "0.5", "-0.25"}, true, true},
        {{}, false, false},
        {{"a.zlm"}, false, false},
        {{"a.zlm", "a.png", "1", "2", "3"}, false, false},
        {{"a.zlm", "a.png", "1", "2", "3", "4", "5", "6"}, false, false},
        {{"a.zlm", "a.png", "1", "2", "x3", "4", "5"}, false, false},
        {{"a.zlm", "a.png", "1", "2", "3", "4", "5pt"}, false, false},
        {{"a.zlm", "a.png", "1", "2", "3", "", "5"}, false, false},
        {{"a.zlm", "a.png", "nan", "2", "3", "4", "5"}, false, false},
        {{"a.zlm", "a.png", "1", "inf", "3", "4", "5"}, false, false},
        {{"a.zlm", "a.png", "1", "2", "1e39", "4", "5"}, false, false},
        {{"", "a.png"}, false, false},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const char* w : c.words) joined += std::string("[") + w + "]";
        SCOPED_TRACE(joined);
        maprender::Args args;
        std::string error;
        EXPECT_EQ(maprender::ParseArgs(int(c.words.size()), c.words.data(), &args, &error), c.ok);
        EXPECT_EQ(error.empty(), c.ok) << error;
        if (c.ok) {
            EXPECT_EQ(args.hasCamera, c.camera);
        }
    }
    maprender::Args args;
    std::string error;
    const char* words[] = {"m.clm", "o.png", "1", "-2.5", "3e2", "0.5", "-0.25"};
    ASSERT_TRUE(maprender::ParseArgs(7, words, &args, &error));
    EXPECT_EQ(args.map, "m.clm");
    EXPECT_EQ(args.out, "o.png");
    EXPECT_FLOAT_EQ(args.position.x, 1.0f);
    EXPECT_FLOAT_EQ(args.position.y, -2.5f);
    EXPECT_FLOAT_EQ(args.position.z, 300.0f);
    EXPECT_FLOAT_EQ(args.yaw, 0.5f);
    EXPECT_FLOAT_EQ(args.pitch, -0.25f);
}

// The pose takes view space (x right, y up, z forward) to the world: the eye at the position,
// yaw turning forward from +z towards +x, positive pitch looking down.
TEST(MapRenderCamera, PoseFromPositionYawAndPitch) {
    struct Case {
        float yaw, pitch;
        Vec3 forward, up;
    };
    const float half = 1.5707964f;
    const Case cases[] = {
        {0.0f, 0.0f, {0, 0, 1}, {0, 1, 0}},
        {half, 0.0f, {1, 0, 0}, {0, 1, 0}},
        {0.0f, half, {0, -1, 0}, {0, 0, 1}},  // straight down: the screen's top is +z
        {half, half, {0, -1, 0}, {1, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "yaw " << c.yaw << " pitch " << c.pitch);
        const Matrix34 pose = maprender::CameraPose(Vec3{10, 20, 30}, c.yaw, c.pitch);
        Vec3 eye, ahead, above;
        const Vec3 origin{0, 0, 0}, forward{0, 0, 1}, up{0, 1, 0};
        MTH_TransformPoint(&eye, &origin, &pose);
        EXPECT_FLOAT_EQ(eye.x, 10.0f);
        EXPECT_FLOAT_EQ(eye.y, 20.0f);
        EXPECT_FLOAT_EQ(eye.z, 30.0f);
        MTH_RotateVector(&ahead, &forward, &pose);
        MTH_RotateVector(&above, &up, &pose);
        EXPECT_NEAR(ahead.x, c.forward.x, 1e-6);
        EXPECT_NEAR(ahead.y, c.forward.y, 1e-6);
        EXPECT_NEAR(ahead.z, c.forward.z, 1e-6);
        EXPECT_NEAR(above.x, c.up.x, 1e-6);
        EXPECT_NEAR(above.y, c.up.y, 1e-6);
        EXPECT_NEAR(above.z, c.up.z, 1e-6);
    }
}

TEST_F(MapRenderTool, WrongCommandLinesWriteNothing) {
    for (const char* args : {"", "only.zlm", "m.zlm o.png 1 2 3 4", "m.zlm o.png 1 2 3 4 x"}) {
        SCOPED_TRACE(args);
        EXPECT_EQ(Run(args), 2);
        EXPECT_NE(err.find("usage: maprender MAP OUT.png [x y z yaw pitch]"), std::string::npos) << err;
        EXPECT_FALSE(fs::exists(dir / "o.png"));
    }
}

TEST_F(MapRenderTool, MissingAndRefusedMapsWriteNothing) {
    // A .zlm header declaring 40 lights, more than the game's light tables hold: word, vertex,
    // edge, surface, extension, texture and material counts (u16), light count (u8), object
    // count (u16), texture directory length (u8).
    dk::Bytes bad;
    bad.u32(0).u16(0).u16(0).u16(0).u16(0).u16(0).u16(0).u8(40).u16(0).u8(0);
    ASSERT_TRUE(dk::WriteFile((dir / "bad.zlm").string(), bad.data));
    struct Case {
        const char* map;
        const char* message;
    };
    for (const Case& c : {Case{"bad.zlm", "maprender: bad.zlm: cannot load the map"},
                          Case{"absent.blm", "maprender: absent.blm: cannot load the map"}}) {
        SCOPED_TRACE(c.map);
        EXPECT_EQ(Run(std::string(c.map) + " o.png"), 1);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_FALSE(fs::exists(dir / "o.png"));
    }
}

// Every mutant is drawn or refused with a message; none makes the tool fail otherwise.
TEST_F(MapRenderTool, MutantsOfTheDemoMapAreDrawnOrRefusedCleanly) {
    int refused = 0;
    for (const auto& [name, text] : MapMutantFiles(15)) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(dk::WriteText((dir / name).string(), text));
        const int code = Run(Quote(name) + " o.png");
        EXPECT_FALSE(SanitizerReport(err)) << err;
        ASSERT_TRUE(code == 0 || code == 1) << code << err;
        if (code == 1) {
            ++refused;
            EXPECT_NE(err.find("maprender: " + name + ": cannot load the map"), std::string::npos) << err;
            EXPECT_FALSE(fs::exists(dir / "o.png"));
        }
        if (name.rfind("twin", 0) == 0) {
            EXPECT_EQ(code, 1);
        }
        fs::remove(dir / name);
        fs::remove(dir / "o.png");
    }
    EXPECT_GT(refused, 3);
}

TEST_F(MapRenderTool, UnwritablePictureFails) {
    ASSERT_TRUE(dk::WriteTextMap((dir / "floor.blm").string(), mrtest::FloorMap(), dk::TextDialect::Blm));
    EXPECT_EQ(Run("floor.blm no/such/folder/o.png"), 1);
    EXPECT_NE(err.find("cannot write the picture"), std::string::npos) << err;
}

TEST_F(MapRenderTool, DrawsMapsOfTheInstallArchivesAndDiskFiles) {
    ASSERT_TRUE(dk::WriteDemo(dir.string()));
    ASSERT_TRUE(dk::WriteTextMap((dir / "floor.clm").string(), mrtest::FloorMap(), dk::TextDialect::Clm));
    for (const std::string& args : {Quote("graphics\\maps\\demo.clm") + " o.png",
                                   Quote("graphics\\maps\\grav20-3.zlm") + " o.png 0 300 -900 0 0.3",
                                   std::string("floor.clm o.png")}) {
        SCOPED_TRACE(args);
        fs::remove(dir / "o.png");
        ASSERT_EQ(Run(args), 0) << err;
        const mrtest::Picture p = mrtest::ReadPng((dir / "o.png").string());
        EXPECT_EQ(p.width, 640);
        EXPECT_EQ(p.height, 480);
    }
}

// In-process: the display as the game starts it, and the map loaded through the game's loader.
class MapRenderCameraChoice : public mrtest::DisplayTest {};

// Without a camera the whole map is in the picture: every corner projects inside the screen and
// lies between the near and the far plane, seen from above.
TEST_F(MapRenderCameraChoice, OverviewSeesEveryCorner) {
    struct Case {
        const char* name;
        dk::MapData map;
    };
    dk::MapData wide = mrtest::FloorMap();
    for (dk::MapVec& v : wide.vertices) v = {v[0] * 20.0f, v[1], v[2] * 5.0f};  // 8000 x 2000 units
    const Case cases[] = {{"floor", mrtest::FloorMap()},
                          {"wall", mrtest::WallMap(1.0f)},
                          {"corridor", mrtest::CorridorMap().map},
                          {"wide", wide}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(dk::WriteTextMap("m.blm", c.map, dk::TextDialect::Blm));
        ASSERT_TRUE(maprender::LoadMap("m.blm"));
        const maprender::Overview overview = maprender::OverviewCamera();
        maprender::UseOverviewFar(overview);
        Matrix34 view;
        MTH_MatrixInvertRigid(&view, &overview.pose);
        Vec3 ahead;
        const Vec3 forward{0, 0, 1};
        MTH_RotateVector(&ahead, &forward, &overview.pose);
        EXPECT_LT(ahead.y, -0.5f) << "the overview looks down at the map";
        for (int i = 1; i <= g_Landscape->vertexCount; ++i) {
            Vec3 v, screen;
            MTH_TransformPoint(&v, &g_Landscape->vertices[i].position, &view);
            EXPECT_GT(v.z, g_RndProjectionNear + 1.0f) << "vertex " << i;
            EXPECT_LT(v.z, g_RndProjectionFar - 1.0f) << "vertex " << i;
            ASSERT_EQ(RND_ProjectPoint(&screen, &v), 1);
            EXPECT_GE(screen.x, 0.0f) << "vertex " << i;
            EXPECT_LT(screen.x, 640.0f) << "vertex " << i;
            EXPECT_GE(screen.y, 0.0f) << "vertex " << i;
            EXPECT_LT(screen.y, 480.0f) << "vertex " << i;
        }
    }
}

// A corner that is not a number leaves the overview where the other corners put it.
TEST_F(MapRenderCameraChoice, OverviewLeavesOutCornersThatAreNotNumbers) {
    ASSERT_TRUE(dk::WriteTextMap("m.blm", mrtest::FloorMap(), dk::TextDialect::Blm));
    ASSERT_TRUE(maprender::LoadMap("m.blm"));
    const maprender::Overview sound = maprender::OverviewCamera();
    g_Landscape->vertices[1].position.x = std::nanf("");
    g_Landscape->vertices[2].position.z = std::numeric_limits<float>::infinity();
    const maprender::Overview damaged = maprender::OverviewCamera();
    for (int i = 0; i < 12; ++i) EXPECT_FLOAT_EQ(damaged.pose.m[i], sound.pose.m[i]) << i;
    EXPECT_FLOAT_EQ(damaged.farDistance, sound.farDistance);
}

// A camera over the map floods from the surface under it.
TEST_F(MapRenderCameraChoice, CameraSurfaceIsTheOneUnderTheEye) {
    const mrtest::Corridor c = mrtest::CorridorMap();
    ASSERT_TRUE(dk::WriteTextMap("corridor.blm", c.map, dk::TextDialect::Blm));
    ASSERT_TRUE(maprender::LoadMap("corridor.blm"));
    EXPECT_EQ(maprender::CameraSurface(Vec3{c.cameraX, c.cameraY, c.cameraZ}), 1);
    EXPECT_EQ(maprender::CameraSurface(Vec3{-280.0f, 50.0f, 400.0f}), 2);
    EXPECT_EQ(maprender::CameraSurface(Vec3{2000.0f, 0.0f, 0.0f}), 0);
}

}  // namespace
