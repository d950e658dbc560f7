// The settings loaders: the options line (CR LF, short lines keep defaults, out-of-range values
// clamped, unusable display modes falling back, 8-bit displays without the renderer toggles), the
// network options lines (blank lines, CR LF, a 16-character name, decimal numbers validated by
// the setters, exact baud rates), every truncation and a seeded mutation loop of both, and the
// files read from disk.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/rnd_display.h"
#include "net/net.h"
#include "ui/gui.h"
#include "ui/keymap.h"
#include "world/cfg.h"
#include "world_fixture.h"

namespace fs = std::filesystem;

namespace {

// bytes 27 21 20 28 21 2F 21 21 21 0D 0A: mode 7, movies on, option 0, (not read), CD on, volume
// 15, fog, world and model lighting on.
const std::string kOptions = "'! (!/!!!\r\n";

const GameOptions kDefaults = {6, 0, 1, 0, 8, 0, 0, 0};

bool Same(const GameOptions& a, const GameOptions& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string Describe(const GameOptions& o) {
    return std::to_string(o.displayMode) + " " + std::to_string(o.levelMovies) + " " + std::to_string(o.edgeScroll) +
           " " + std::to_string(o.cdMusic) + " " + std::to_string(o.volumeStep) + " " + std::to_string(o.fog) + " " +
           std::to_string(o.worldLighting) + " " + std::to_string(o.modelLighting);
}

void ReadOptions(const std::string& text) {
    CFG_ReadOptions(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void ReadNet(const std::string& text) {
    CFG_ReadNetOptions(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

bool InRange(const GameOptions& o) {
    auto onOff = [](int v) { return v == 0 || v == 1; };
    return o.displayMode >= 0 && o.displayMode <= 7 && g_DisplayModeUsable[o.displayMode] && onOff(o.levelMovies) &&
           onOff(o.edgeScroll) && onOff(o.cdMusic) && o.volumeStep >= 0 && o.volumeStep <= 15 && onOff(o.fog) &&
           onOff(o.worldLighting) && onOff(o.modelLighting);
}

class CfgTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        saved_ = g_Options;
        savedBits_ = g_DspBitsPerPixel;
        g_DspBitsPerPixel = 16;
        for (int32_t& usable : g_DisplayModeUsable)
            usable = 1;
        g_DisplayModeUsable[7] = 0;  // the fallback is then 6 on any device
        g_Options = kDefaults;
        NET_ResetConnectionParams();
        std::strcpy(g_PlayerName, "Player");
    }
    void TearDown() override {
        g_Options = saved_;
        g_DspBitsPerPixel = savedBits_;
        for (int32_t& usable : g_DisplayModeUsable)
            usable = 1;
        NET_ReleaseConnectionParams();
        WorldTest::TearDown();
    }
    GameOptions saved_{};
    int32_t savedBits_ = 16;
};

TEST_F(CfgTest, OptionLinesSetClampOrKeepEachSetting) {
    struct Case {
        const char* name;
        std::string line;
        GameOptions expected;
    };
    const Case cases[] = {
        {"the written file", "&! (!/!!!\r\n", {6, 1, 0, 1, 15, 1, 1, 1}},
        {"an unusable mode falls back", kOptions, {6, 1, 0, 1, 15, 1, 1, 1}},
        {"a mode beyond 7 falls back", "Z", {6, 0, 1, 0, 8, 0, 0, 0}},
        {"a mode below 0 falls back", "\x1f!", {6, 1, 1, 0, 8, 0, 0, 0}},
        {"two characters keep the rest", "\"!", {2, 1, 1, 0, 8, 0, 0, 0}},
        {"out-of-range values are clamped", "$~~~~~~~~", {4, 1, 1, 1, 15, 1, 1, 1}},
        {"values below range are clamped", "$\x1f\x1f\x1f\x1f\x1f\x1f\x1f\x1f", {4, 0, 0, 0, 0, 0, 0, 0}},
        {"only a line end keeps everything", "\r\n", kDefaults},
        {"an empty file keeps everything", "", kDefaults},
        {"the line ends at LF without CR", "$ \n!!!!!!!", {4, 0, 1, 0, 8, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        g_Options = kDefaults;
        ReadOptions(c.line);
        EXPECT_TRUE(Same(g_Options, c.expected)) << c.name << ": " << Describe(g_Options);
    }
    g_DisplayModeUsable[7] = 1;
    g_Options = kDefaults;
    ReadOptions(kOptions);
    EXPECT_EQ(g_Options.displayMode, 7) << "a usable mode 7 is kept";
}

TEST_F(CfgTest, AnEightBitDisplayHasNoRendererToggles) {
    g_DspBitsPerPixel = 8;
    ReadOptions("$!!!!!!!!");
    EXPECT_EQ(g_Options.fog, 0);
    EXPECT_EQ(g_Options.worldLighting, 0);
    EXPECT_EQ(g_Options.modelLighting, 0);
    EXPECT_EQ(CFG_GetWorldLightingOption(), 0);
    EXPECT_EQ(CFG_GetModelLightingOption(), 0);
    EXPECT_EQ(g_Options.cdMusic, 1);
}

TEST_F(CfgTest, EveryTruncationAndMutationOfTheOptionsStaysInRange) {
    for (size_t length = 0; length <= kOptions.size(); ++length) {
        g_Options = kDefaults;
        ReadOptions(kOptions.substr(0, length));
        EXPECT_TRUE(InRange(g_Options)) << length << ": " << Describe(g_Options);
    }
    std::string longLine(600, '!');
    ReadOptions(longLine);
    EXPECT_TRUE(InRange(g_Options));
    uint32_t seed = 0x0c0f;
    auto next = [&seed] {
        seed = seed * 214013u + 2531011u;
        return (seed >> 16) & 0x7fff;
    };
    for (int round = 0; round < 2000; ++round) {
        std::string mutated = kOptions;
        for (int i = 0, n = 1 + next() % 3; i < n; ++i)
            mutated[next() % mutated.size()] = static_cast<char>(next());
        g_Options = kDefaults;
        ReadOptions(mutated);
        ASSERT_TRUE(InRange(g_Options)) << round << ": " << Describe(g_Options);
    }
}

const std::string kNetOptions =
    "Grimsby the Gravedigger\r\n\r\n10.0.0.7\r\n\r\n\r\nconn-string\r\n555-0100\r\n4\r\n9600\r\n2\r\n3\r\n4\r\n";

TEST_F(CfgTest, NetworkOptionsLinesReachTheSetters) {
    ReadNet(kNetOptions);
    EXPECT_STREQ(g_PlayerName, "Grimsby the Grav") << "16 characters and the terminator";
    EXPECT_STREQ(NET_GetIPAddress(), "10.0.0.7");
    EXPECT_STREQ(NET_GetConnString(), "conn-string");
    EXPECT_STREQ(NET_GetPhoneNumber(), "555-0100");
    EXPECT_EQ(NET_GetComPort(), 4);
    EXPECT_EQ(NET_GetBaudRate(), 9600);
    EXPECT_EQ(NET_GetStopBits(), 2);
    EXPECT_EQ(NET_GetParity(), 3);
    EXPECT_EQ(NET_GetFlowControl(), 4);
}

TEST_F(CfgTest, NetworkNumbersOutOfRangeOrNotExactKeepTheDefaults) {
    struct Case {
        const char* name;
        std::string numbers;  // com port, baud, stop bits, parity, flow control lines
        int port, baud, stop, parity, flow;
    };
    const Case cases[] = {
        {"com port 0 and flow 5", "0\n9600\n1\n1\n5\n", 3, 9600, 1, 1, 2},
        {"baud with trailing text", "2\n9600 \n0\n0\n0\n", 2, 256000, 0, 0, 0},
        {"baud not listed", "2\n9601\n0\n0\n0\n", 2, 256000, 0, 0, 0},
        {"LF line ends", "1\n115200\n0\n2\n1\n", 1, 115200, 0, 2, 1},
        {"letters and signs", "x\n-9600\n-1\n+3\n99999999999999999999\n", 3, 256000, 0, 3, 2},
        {"missing lines", "4\n", 4, 256000, 0, 0, 2},
    };
    for (const Case& c : cases) {
        NET_ResetConnectionParams();
        ReadNet("name\r\nip\r\nconn\r\nphone\r\n" + c.numbers);
        EXPECT_EQ(NET_GetComPort(), c.port) << c.name;
        EXPECT_EQ(NET_GetBaudRate(), c.baud) << c.name;
        EXPECT_EQ(NET_GetStopBits(), c.stop) << c.name;
        EXPECT_EQ(NET_GetParity(), c.parity) << c.name;
        EXPECT_EQ(NET_GetFlowControl(), c.flow) << c.name;
    }
}

TEST_F(CfgTest, EveryTruncationAndMutationOfTheNetworkOptionsIsSafe) {
    auto check = [](const char* what, size_t round) {
        ASSERT_LT(std::strlen(g_PlayerName), sizeof g_PlayerName) << what << round;
        ASSERT_EQ(std::strchr(g_PlayerName, '\r'), nullptr) << what << round;
        ASSERT_GE(NET_GetComPort(), 1);
        ASSERT_LE(NET_GetComPort(), 4);
        ASSERT_GE(NET_GetFlowControl(), 0);
        ASSERT_LE(NET_GetFlowControl(), 4);
    };
    for (size_t length = 0; length <= kNetOptions.size(); ++length) {
        NET_ResetConnectionParams();
        ReadNet(kNetOptions.substr(0, length));
        check("truncation ", length);
    }
    uint32_t seed = 0x4e7;
    auto next = [&seed] {
        seed = seed * 214013u + 2531011u;
        return (seed >> 16) & 0x7fff;
    };
    for (size_t round = 0; round < 2000; ++round) {
        std::string mutated = kNetOptions;
        for (int i = 0, n = 1 + next() % 4; i < n; ++i)
            mutated[next() % mutated.size()] = static_cast<char>(next());
        NET_ResetConnectionParams();
        ReadNet(mutated);
        check("mutation ", round);
    }
}

TEST_F(CfgTest, TheFilesAreReadFromDiskAndMissingFilesKeepTheDefaults) {
    EXPECT_EQ(CFG_LoadOptions(), 0);
    EXPECT_EQ(CFG_LoadNetOptions(), 0);
    EXPECT_TRUE(Same(g_Options, kDefaults));
    EXPECT_STREQ(g_PlayerName, "Player");
    fs::create_directories("Data");
    std::ofstream("Data/IF_OP.DAT", std::ios::binary) << "$!!!!!!!!\r\n";
    std::ofstream("Data/if_mpop.dat", std::ios::binary) << kNetOptions;
    EXPECT_EQ(CFG_LoadOptions(), 1);
    EXPECT_EQ(g_Options.displayMode, 4);
    EXPECT_EQ(CFG_LoadNetOptions(), 1);
    EXPECT_EQ(NET_GetBaudRate(), 9600);
}

TEST_F(CfgTest, KeyAccessorsReadTheirEntries) {
    CFG_SetDefaultKeys();
    EXPECT_EQ(CFG_GetKeyTurnLeft(), 203);
    EXPECT_EQ(CFG_GetKeyTurnRight(), 205);
    EXPECT_EQ(CFG_GetKeyBackward(), 208);
    g_KeyMap.words[34] = 30;
    EXPECT_EQ(CFG_GetKeyTurnLeft(), 30);
}

}  // namespace
