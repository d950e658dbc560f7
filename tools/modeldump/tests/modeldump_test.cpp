// modeldump as people use it: a loaded model is printed and exits 0; a file the game would refuse
// gives the loader's reason and a non-zero exit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "datakit/bytes.h"
#include "datakit/model_qkm.h"
#include "datakit/model_qmd.h"
#include "plat.h"
#include "tool_test.h"

namespace {

namespace fs = std::filesystem;
using tooltest::Quote;
using tooltest::Slurp;

class Modeldump : public ::testing::Test {
protected:
    fs::path dir;
    std::string out, err;

    void SetUp() override { dir = tooltest::FreshTestDir(""); }
    void TearDown() override { fs::remove_all(dir); }

    int Run(const std::vector<std::string>& args) {
        return tooltest::RunCommand(tooltest::CommandLine(MODELDUMP_PATH, args), dir, &out, &err);
    }
};

TEST_F(Modeldump, PrintsRigidAndSkinnedModels) {
    const std::string cube = (dir / "cube.qmd").string();
    ASSERT_TRUE(dk::WriteQmd(cube, dk::QmdCube(1.0f, 2, true)));
    ASSERT_EQ(Run({cube}), 0) << err;
    EXPECT_NE(out.find("rigid model"), std::string::npos) << out;
    EXPECT_NE(out.find("8 vertices, 12 faces, 2 frames"), std::string::npos) << out;
    EXPECT_NE(out.find("animation 0 \"spin\": frames 0..1"), std::string::npos) << out;
    EXPECT_NE(out.find("frame 1 \"cube1\": packed"), std::string::npos) << out;

    const std::string body = (dir / "body.qkm").string();
    ASSERT_TRUE(dk::WriteQkm(body, dk::QkmHumanoid()));
    ASSERT_EQ(Run({body}), 0) << err;
    EXPECT_NE(out.find("18 bones"), std::string::npos) << out;
    EXPECT_NE(out.find("bone 13 \"lshin\""), std::string::npos) << out;
    EXPECT_NE(out.find("rshin=16"), std::string::npos) << out;
    EXPECT_NE(out.find("animation 34 \"limp\""), std::string::npos) << out;
}

TEST_F(Modeldump, RefusedFilesGiveTheReasonAndFail) {
    std::vector<uint8_t> chain = dk::QkmBytes(dk::QkmChain(3, 16));
    chain.resize(chain.size() - 5);
    ASSERT_TRUE(dk::WriteFile((dir / "short.qkm").string(), chain));
    struct Case {
        std::string path;
        const char* reason;
    };
    const Case cases[] = {
        {(dir / "short.qkm").string(), "damaged"},
        {(dir / "missing.qmd").string(), "cannot open"},
        {(dir / "picture.bmp").string(), "not a .qmd or .qkm"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(Run({c.path}), 1);
        EXPECT_NE(err.find(c.reason), std::string::npos) << err;
        EXPECT_EQ(out, "");
    }
    EXPECT_EQ(Run({}), 2);
    EXPECT_NE(err.find("usage"), std::string::npos);
}

}  // namespace
