// Game paths with backslashes and any case must find the files that exist, and name new files
// inside the directory that exists; the temporary directory is private and removable.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform_fixture.h"

namespace {
using plattest::HeadlessTest;

class PathTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        for (const char* f : {"Graphics/Maps/Town.ZLM", "sounds/pump_action sg.aud", "speech/Male Voice #1/Attack1.aud",
                              "Data/a.txt", "Data/A.txt"})
            plattest::WriteText(scratch + "/" + f, "x");
        oldCwd = std::filesystem::current_path();
        std::filesystem::current_path(scratch);
    }
    void TearDown() override {
        std::filesystem::current_path(oldCwd);
        HeadlessTest::TearDown();
    }
    std::filesystem::path oldCwd;
};

TEST_F(PathTest, ResolvesEachComponentWithoutCase) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"graphics\\maps\\town.zlm", "Graphics/Maps/Town.ZLM"},
        {"GRAPHICS/MAPS/TOWN.ZLM", "Graphics/Maps/Town.ZLM"},
        {"Graphics\\Maps\\Town.ZLM", "Graphics/Maps/Town.ZLM"},
        {"graphics\\maps\\Save01.SAV", "Graphics/Maps/Save01.SAV"},          // missing tail kept as spelled
        {"graphics\\NoDir\\Sub\\x.txt", "Graphics/NoDir/Sub/x.txt"},        // missing from a directory on
        {"sounds\\PUMP_ACTION SG.AUD", "sounds/pump_action sg.aud"},        // blank in a name
        {"speech\\male voice #1\\attack1.aud", "speech/Male Voice #1/Attack1.aud"},
        {"graphics\\\\maps\\", "Graphics/Maps"},                            // doubled and trailing separators
        {".\\graphics\\maps", "./Graphics/Maps"},
        {"graphics\\..\\sounds", "Graphics/../sounds"},
        {"graphics\\maps\\town.zlm\\inner", "Graphics/Maps/Town.ZLM/inner"}, // a file is no directory
        {"data\\a.txt", "Data/a.txt"},                                      // the exact spelling wins
        {"data\\A.TXT", "Data/A.txt"},                                      // else the first in byte order
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plat::ResolvePath(c.in), c.out) << c.in;
}

TEST_F(PathTest, AbsolutePathsResolveToo) {
    EXPECT_EQ(plat::ResolvePath(scratch + "\\GRAPHICS\\maps\\TOWN.zlm"), scratch + "/Graphics/Maps/Town.ZLM");
    EXPECT_EQ(plat::ResolvePath(scratch + "/graphics/new.cfg"), scratch + "/Graphics/new.cfg");
    EXPECT_EQ(plat::ResolvePath("/"), "/");
}

TEST_F(HeadlessTest, TempDirIsPrivateStableAndRemovable) {
    const std::string dir = plat::TempDir();
    EXPECT_TRUE(std::filesystem::is_directory(dir));
    EXPECT_EQ(plat::TempDir(), dir);
    EXPECT_NE(dir.find(std::to_string(getpid())), std::string::npos);
    plattest::WriteText(dir + "/sub/muftemp.wav", "data");
    plat::RemoveTempDir();
    EXPECT_FALSE(std::filesystem::exists(dir));
    const std::string again = plat::TempDir();
    EXPECT_TRUE(std::filesystem::is_directory(again)) << "a new one is made on the next use";
    plat::RemoveTempDir();
}

TEST_F(HeadlessTest, TempDirFollowsTmpdir) {
    const char* old = getenv("TMPDIR");
    const std::string oldValue = old ? old : "";
    setenv("TMPDIR", scratch.c_str(), 1);
    plat::RemoveTempDir();
    const std::string dir = plat::TempDir();
    if (old)
        setenv("TMPDIR", oldValue.c_str(), 1);
    else
        unsetenv("TMPDIR");
    EXPECT_EQ(dir.rfind(scratch + "/", 0), 0u) << dir;
    plat::RemoveTempDir();
}

}  // namespace
