// worldsim's movement commands as a person runs them: any of the four map formats in place of the
// synthetic landscape with the characters' positions printed, a frame length of its own, and the
// lines of those commands it cannot read.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "datakit/map_demo.h"
#include "datakit/map_text.h"
#include "datakit/map_zlm.h"

namespace {

struct SimRun {
    int code;
    std::string out;
};

SimRun Worldsim(const std::string& args) {
    const std::string command = std::string(WORLDSIM_PATH) + " " + args + " 2>&1";
    SimRun run{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class WorldsimMovementTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() / ("worldsim-move-" + std::to_string(getpid()) + "-" + info->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string Scenario(const std::string& text) {
        const std::string path = (dir / "scenario.txt").string();
        std::ofstream(path) << text;
        return path;
    }
    std::filesystem::path dir;
};

// The demo map's floor rises 16 units a cell of 256 along x: (256, 16, 256) lies on it.
TEST_F(WorldsimMovementTest, MapsOfEveryFormatReplaceTheSyntheticLandscape) {
    const dk::MapData map = dk::DemoMapData();
    const std::string files[] = {"demo.zlm", "demo.blm", "demo.alm", "demo.clm"};
    ASSERT_TRUE(dk::WriteZlm((dir / files[0]).string(), map));
    ASSERT_TRUE(dk::WriteTextMap((dir / files[1]).string(), map, dk::TextDialect::Blm));
    ASSERT_TRUE(dk::WriteTextMap((dir / files[2]).string(), map, dk::TextDialect::Alm));
    ASSERT_TRUE(dk::WriteTextMap((dir / files[3]).string(), map, dk::TextDialect::Clm));
    for (const std::string& file : files) {
        const SimRun run = Worldsim(Scenario("frames 1\nprint positions\nmap " + (dir / file).string() +
                                          "\nplayer 0 256 16 256\n"));
        EXPECT_EQ(run.code, 0) << file << run.out;
        EXPECT_NE(run.out.find("pos player0 256.0 16.0 256.0 "), std::string::npos) << file << run.out;
        EXPECT_EQ(run.out.find("pos player0 256.0 16.0 256.0 0\n"), std::string::npos) << file << ": on a surface";
    }
}

TEST_F(WorldsimMovementTest, HelpDescribesTheMovementCommands) {
    const SimRun run = Worldsim("--help");
    for (const char* part : {"floor X0 Z0 X1 Z1 Y [TEXTURE [MODE SPEED]]", "wall X0 Z0 X1 Z1 BOTTOM TOP [TEXTURE]",
                             "map FILE", "print positions", "frame MS", "pos BOD X Y Z SURFACE"})
        EXPECT_NE(run.out.find(part), std::string::npos) << part;
}

TEST_F(WorldsimMovementTest, FrameLengthsSetTheClock) {
    const SimRun run = Worldsim(Scenario("frames 3\nframe 10\n"));
    EXPECT_NE(run.out.find("frame 3 ticks 20\n"), std::string::npos) << run.out;
}

TEST_F(WorldsimMovementTest, MovementLinesItCannotReadAreRefusedWithTheLine) {
    const char* const cases[] = {
        "floor 0 0 1 1\n",                       // too few numbers
        "floor 0 0 1 1 0 A.BMP spin 3\n",        // no such mode
        "floor 0 0 1 1 0 A.BMP belt\n",          // a mode without its speed
        "floor 0 0 1 1 0 A.BMP belt 3 4\n",      // more than it takes
        "wall 0 0 1 1 0 9 A.BMP B.BMP\n",        // two textures
        "map\n",                                 // no file
        "map a.zlm b.zlm\n",
        "print camera positions\n",
        "print\n",
        "frame 0\n",
        "frame 10 20\n",
    };
    for (const char* text : cases) {
        const SimRun run = Worldsim(Scenario(std::string("frames 1\n") + text));
        EXPECT_EQ(run.code, 2) << text;
        EXPECT_NE(run.out.find("line 2"), std::string::npos) << text << run.out;
    }
}

}  // namespace
