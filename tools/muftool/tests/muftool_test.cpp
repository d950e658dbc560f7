// muftool as people and scripts use it: pack a tree, list it, read entries back, and refuse
// archives the game would refuse.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "datakit/bytes.h"
#include "datakit/muf_writer.h"
#include "plat.h"
#include "tool_test.h"

namespace {

namespace fs = std::filesystem;
using tooltest::Quote;
using tooltest::Slurp;

class Muftool : public ::testing::Test {
protected:
    fs::path dir;
    std::string out, err;

    void SetUp() override { dir = tooltest::FreshTestDir(""); }
    void TearDown() override { fs::remove_all(dir); }

    // Runs muftool with the arguments; keeps its standard output and error; gives its exit code.
    int Run(const std::vector<std::string>& args) {
        return tooltest::RunCommand(tooltest::CommandLine(MUFTOOL_PATH, args), dir, &out, &err);
    }
    void Put(const fs::path& p, const std::string& text) {
        ASSERT_TRUE(dk::WriteText(p.string(), text)) << p;
    }
};

TEST_F(Muftool, PackListCatAndExtractRoundTrip) {
    std::string big(9000, 'q');
    big[8191] = '\0';
    Put(dir / "tree" / "Sounds" / "pump_action sg.aud", "pump");
    Put(dir / "tree" / "graphics" / "maps" / "town2-4.Zlm", big);
    Put(dir / "tree" / "readme", "");
    std::string archive = (dir / "tree" / "out.muf").string();
    ASSERT_EQ(Run({"pack", archive, (dir / "tree").string()}), 0) << err;
    // Packing again does not swallow the earlier archive lying in the tree.
    ASSERT_EQ(Run({"pack", archive, (dir / "tree").string()}), 0) << err;

    ASSERT_EQ(Run({"list", archive}), 0) << err;
    // Names sorted, stored upper case with backslashes; data right after the directory.
    uint32_t dirBytes = (8 + 26) + (8 + 7) + (8 + 26);
    std::string want = "GRAPHICS\\MAPS\\TOWN2-4.ZLM\t" + std::to_string(8 + dirBytes) + "\t9000\n" +
                       "README\t" + std::to_string(8 + dirBytes + 9000) + "\t0\n" +
                       "SOUNDS\\PUMP_ACTION SG.AUD\t" + std::to_string(8 + dirBytes + 9000) + "\t4\n";
    EXPECT_EQ(out, want);

    ASSERT_EQ(Run({"cat", archive, "sounds\\Pump_Action SG.aud"}), 0) << err;
    EXPECT_EQ(out, "pump");
    ASSERT_EQ(Run({"cat", archive, "readme"}), 0) << err;
    EXPECT_EQ(out, "");
    ASSERT_EQ(Run({"extract", archive, "graphics\\maps\\town2-4.zlm", (dir / "x.zlm").string()}), 0) << err;
    EXPECT_EQ(Slurp(dir / "x.zlm"), big);
}

TEST_F(Muftool, FailuresExitNonZeroWithAMessage) {
    Put(dir / "tree" / "a.txt", "a");
    std::string good = (dir / "good.muf").string();
    ASSERT_EQ(Run({"pack", good, (dir / "tree").string()}), 0) << err;
    // A directory that claims more bytes than the file holds.
    dk::Bytes bad;
    bad.u32(1).u32(1000).u32(0).u32(0).u8('A').u8(0);
    std::string badPath = (dir / "bad.muf").string();
    ASSERT_TRUE(dk::WriteFile(badPath, bad.data));

    struct Case {
        std::vector<std::string> args;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {{"list", badPath}, 1, "refused"},
        {{"cat", badPath, "a"}, 1, "refused"},
        {{"extract", badPath, "a", (dir / "never").string()}, 1, "refused"},
        {{"list", (dir / "missing.muf").string()}, 1, "cannot open"},
        {{"cat", good, "a/txt"}, 1, "no entry"},  // forward slashes are not the game's spelling
        {{"extract", good, "b.txt", (dir / "never").string()}, 1, "no entry"},
        {{"pack", good, (dir / "no-such-tree").string()}, 1, "cannot pack"},
        {{"list"}, 2, "usage"},
        {{"frobnicate", good}, 2, "usage"},
        {{"cat", good}, 2, "usage"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
        EXPECT_EQ(Run(c.args), c.code);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(out, "");
    }
    EXPECT_FALSE(fs::exists(dir / "never"));
}

}  // namespace
