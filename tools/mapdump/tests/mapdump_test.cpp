// mapdump as people and scripts use it: maps of every format from the demo install's archives,
// refused and missing maps, and a wrong command line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "datakit/bytes.h"
#include "datakit/demo.h"
#include "datakit/map_demo.h"
#include "datakit/map_mutants.h"
#include "datakit/map_text.h"
#include "plat.h"
#include "tool_test.h"

namespace {

namespace fs = std::filesystem;
using tooltest::Quote;
using tooltest::Slurp;

using dk::MapMutantFiles;
using tooltest::SanitizerReport;

class Mapdump : public ::testing::Test {
protected:
    fs::path dir;
    std::string out, err;

    void SetUp() override { dir = tooltest::FreshTestDir("mapdump-"); }
    void TearDown() override { fs::remove_all(dir); }

    // Runs mapdump in dir with the install's registry (when there is one); gives its exit code.
    int Run(const std::string& args) {
        const std::string cmd = "cd " + Quote(dir.string()) + " && PLATFORM_REGISTRY=" +
                                Quote((dir / "registry.ini").string()) + " " + Quote(MAPDUMP_PATH) + " " + args;
        return tooltest::RunCommand(cmd, dir, &out, &err);
    }
};

TEST_F(Mapdump, PrintsEveryFormatFromTheInstallArchives) {
    ASSERT_TRUE(dk::WriteDemo(dir.string()));
    ASSERT_FALSE(fs::exists(dir / "graphics" / "maps")) << "the maps must live only in maps.muf";
    for (const char* name : {"graphics\\maps\\grav20-3.zlm", "graphics\\maps\\town2-4.Zlm", "graphics\\maps\\mult19-9.blm",
                             "graphics\\maps\\demo.alm", "graphics\\maps\\demo.clm"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(Run(Quote(name)), 0) << err;
        EXPECT_NE(out.find("counts vertices 49 edges 216 surfaces 72 extensions 1 textures 24 materials 3"),
                  std::string::npos)
            << out.substr(0, 600);
        EXPECT_NE(out.find("object 1 \"pillar\""), std::string::npos);
        EXPECT_NE(out.find("extension 1 bytes [1, 2, 3, 250]"), std::string::npos);
    }
}

TEST_F(Mapdump, RefusedMissingAndWrongUse) {
    // A .zlm header declaring 40 lights: more than the game's light tables hold.
    dk::Bytes bad;
    bad.u32(0).u16(0).u16(0).u16(0).u16(0).u16(0).u16(0).u8(40).u16(0).u8(0);
    ASSERT_TRUE(dk::WriteFile((dir / "bad.zlm").string(), bad.data));
    EXPECT_EQ(Run("bad.zlm"), 1);
    EXPECT_NE(err.find("more than 32 lights"), std::string::npos) << err;
    EXPECT_NE(err.find("mapdump: bad.zlm: cannot load"), std::string::npos) << err;
    EXPECT_EQ(out, "");

    EXPECT_EQ(Run("missing.clm"), 1);
    EXPECT_NE(err.find("mapdump: missing.clm"), std::string::npos);
    EXPECT_EQ(Run(""), 2);
    EXPECT_NE(err.find("usage: mapdump PATH"), std::string::npos);
}

// Every mutant is printed or refused with a message; none makes the tool fail otherwise.
TEST_F(Mapdump, MutantsOfTheDemoMapArePrintedOrRefusedCleanly) {
    int refused = 0;
    for (const auto& [name, text] : MapMutantFiles(40)) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(dk::WriteText((dir / name).string(), text));
        const int code = Run(Quote(name));
        EXPECT_FALSE(SanitizerReport(err)) << err;
        ASSERT_TRUE(code == 0 || code == 1) << code << err;
        if (code == 1) {
            ++refused;
            EXPECT_NE(err.find("mapdump: " + name + ": cannot load"), std::string::npos) << err;
        }
        if (name.rfind("twin", 0) == 0) {
            EXPECT_EQ(code, 1);
        }
        fs::remove(dir / name);
    }
    EXPECT_GT(refused, 3);
}

}  // namespace
