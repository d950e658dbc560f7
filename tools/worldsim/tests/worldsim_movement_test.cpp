// worldsim's movement commands as a person runs them: any of the four map formats in place of the
// synthetic landscape with the characters' positions printed, a frame length of its own, and the
// lines of those commands it cannot read.
#include <gtest/gtest.h>

#include "worldsim_run.h"

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

using WorldsimMovementTest = WorldsimFolderTest;

// The demo map's floor rises 16 units a cell of 256 along x: (256, 16, 256) lies on it.
TEST_F(WorldsimMovementTest, MapsOfEveryFormatReplaceTheSyntheticLandscape) {
    const dk::MapData map = dk::DemoMapData();
    const std::string files[] = {"demo.zlm", "demo.blm", "demo.alm", "demo.clm"};
    ASSERT_TRUE(dk::WriteZlm((dir / files[0]).string(), map));
    ASSERT_TRUE(dk::WriteTextMap((dir / files[1]).string(), map, dk::TextDialect::Blm));
    ASSERT_TRUE(dk::WriteTextMap((dir / files[2]).string(), map, dk::TextDialect::Alm));
    ASSERT_TRUE(dk::WriteTextMap((dir / files[3]).string(), map, dk::TextDialect::Clm));
    for (const std::string& file : files) {
        const Output run = Worldsim(Scenario("frames 1\nprint positions\nmap " + (dir / file).string() +
                                          "\nplayer 0 256 16 256\n"));
        EXPECT_EQ(run.code, 0) << file << run.out;
        EXPECT_NE(run.out.find("pos player0 256.0 16.0 256.0 "), std::string::npos) << file << run.out;
        EXPECT_EQ(run.out.find("pos player0 256.0 16.0 256.0 0\n"), std::string::npos) << file << ": on a surface";
    }
}

TEST_F(WorldsimMovementTest, HelpDescribesTheMovementCommands) {
    const Output run = Worldsim("--help");
    for (const char* part : {"floor X0 Z0 X1 Z1 Y [TEXTURE [MODE SPEED]]", "wall X0 Z0 X1 Z1 BOTTOM TOP [TEXTURE]",
                             "map FILE", "print positions", "frame MS", "pos BOD X Y Z SURFACE"})
        EXPECT_NE(run.out.find(part), std::string::npos) << part;
}

TEST_F(WorldsimMovementTest, FrameLengthsSetTheClock) {
    const Output run = Worldsim(Scenario("frames 3\nframe 10\n"));
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
        const Output run = Worldsim(Scenario(std::string("frames 1\n") + text));
        EXPECT_EQ(run.code, 2) << text;
        EXPECT_NE(run.out.find("line 2"), std::string::npos) << text << run.out;
    }
}

}  // namespace
