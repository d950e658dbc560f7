// gamedef-tool's records read back by the network library: a good record, another length, a bad
// game handle, a number value and a removed value give KrLoadGameDef's specified results; the
// record's bytes follow the layout table; bad switches are refused.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "gamedef_record.h"
#include "lobbex_exports.h"
#include "registry.h"

namespace {

class GameDefTool : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/gamedef_tool.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        registry_ = dir_ + "/registry.ini";
        plat::SetRegistryPath(registry_);
    }
    void TearDown() override {
        plat::SetRegistryPath("");
        std::filesystem::remove_all(dir_);
    }
    int Run(const std::string& args) {
        const std::string line = std::string(GAMEDEF_TOOL) + " --registry " + registry_ + " " + args + " 2>/dev/null";
        return WEXITSTATUS(std::system(line.c_str()));
    }
    std::string dir_, registry_;
};

TEST_F(GameDefTool, RecordsReadBackWithTheSpecifiedResults) {
    struct Case {
        const char* args;
        int result;
        const char* name;  // read back at offset 36 (null: not checked)
    } cases[] = {
        {"--game 3 --gics udp:10.0.0.9:7000 --join 77 --name Ghoul", 0, "Ghoul"},
        {"--game 3 --gics tcp:10.0.0.9:7000 --name Longer --size 1200", -11, "Longer"},
        {"--game 3 --gics tcp:10.0.0.9:7000 --name Short --size 600", -11, nullptr},
        {"--game 16 --gics tcp:10.0.0.9:7000", -10, nullptr},
        {"--as-number", -11, nullptr},
        {"--remove", -10, nullptr},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Run(c.args), 0) << c.args;
        std::vector<uint8_t> buffer(1100, 0xEE);
        EXPECT_EQ(KrLoadGameDef(reinterpret_cast<GAMEDEF*>(buffer.data()), int16_t(buffer.size())), c.result) << c.args;
        if (c.name) {
            EXPECT_STREQ(reinterpret_cast<const char*>(buffer.data()) + 36, c.name) << c.args;
        }
    }
}

TEST(GameDefRecord, BytesFollowTheLayout) {
    GameDefOptions o;
    o.game = 0x0102;
    o.ownAddr = 0x0A0B0C0D;
    o.joinWord = 0x11223344;
    o.udp = true;
    o.gicsHost = "192.168.1.2";
    o.gicsPort = 0x1F90;
    o.name = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"; // cut to 16 characters
    o.trace = 0x05060708;
    o.noWait = 1;
    const std::vector<uint8_t> b = BuildGameDef(o);
    ASSERT_EQ(b.size(), 1100u);
    const uint8_t head[] = {
        0x02, 0x01, 0x00, 0x00, 0x0D, 0x0C, 0x0B, 0x0A, 0x44, 0x33, 0x22, 0x11,  // HGAME, pad, own, join
        0, 0, 0, 0, 0, 0, 0, 0,                                                  // 12..19
        0x03, 0x00, 0x1F, 0x90, 192, 168, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0,          // udp GICS
        'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P', 0x00};
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + sizeof head), std::vector<uint8_t>(head, head + sizeof head));
    const uint8_t tail[] = {0x08, 0x07, 0x06, 0x05, 0x01, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 892, b.begin() + 900), std::vector<uint8_t>(tail, tail + 8));
    o.gicsHost = "host.example";
    EXPECT_TRUE(BuildGameDef(o).empty());
}

TEST(GameDefRecord, BadSwitchesAreRefused) {
    const std::vector<std::vector<std::string>> bad = {
        {"--game"}, {"--gics", "ipx:1.2.3.4:5"}, {"--gics", "tcp:1.2.3.4"}, {"--gics", "tcp:1.2.3.4:70000"},
        {"--size", "0"}, {"--size", "40000"}, {"--join", "x"}, {"--colour", "1"},
    };
    for (const auto& args : bad) {
        GameDefOptions o;
        std::string error;
        EXPECT_FALSE(ParseGameDefOptions(args, &o, &error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
