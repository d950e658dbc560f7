// Key map tests: the key map file read word by word from a hand-written byte table, short files
// refused, words that cannot index the key states replaced by their defaults, and the start-up
// fall-back to the defaults when a bound function is left without a key.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "plat.h"
#include "common/mem.h"
#include "ui/keymap.h"

namespace {

// "data\ifkeymap.dat" as it lies on disk: 41 little-endian words, then the final byte.
const std::vector<uint8_t> kKeyMapFile = {
    0x78, 0x56, 0x34, 0x12,  // 0: not a key, kept as it stands
    0x19, 0x00, 0x00, 0x00,  // 1: 25 P
    0x01, 0x00, 0x00, 0x00,  // 2: 1 Escape
    0x11, 0x00, 0x00, 0x00,  // 3
    0x31, 0x00, 0x00, 0x00,  // 4
    0x1E, 0x00, 0x00, 0x00,  // 5
    0xCB, 0x00, 0x00, 0x00,  // 6: 203
    0xC8, 0x00, 0x00, 0x00,  // 7: 200
    0xCD, 0x00, 0x00, 0x00,  // 8: 205
    0xD0, 0x00, 0x00, 0x00,  // 9: 208
    0x02, 0x00, 0x00, 0x00,  // 10..18: the digits
    0x03, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00,
    0x07, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x00,
    0x3B, 0x00, 0x00, 0x00,  // 19..22: F1..F4
    0x3C, 0x00, 0x00, 0x00, 0x3D, 0x00, 0x00, 0x00, 0x3E, 0x00, 0x00, 0x00,
    0x0F, 0x00, 0x00, 0x00,  // 23
    0x1C, 0x00, 0x00, 0x00,  // 24
    0x2C, 0x00, 0x00, 0x00,  // 25: 44 Z instead of K
    0x32, 0x00, 0x00, 0x00,  // 26
    0x18, 0x00, 0x00, 0x00,  // 27
    0x16, 0x00, 0x00, 0x00,  // 28
    0x0D, 0x00, 0x00, 0x00,  // 29
    0x0C, 0x00, 0x00, 0x00,  // 30
    0xFF, 0xFF, 0xFF, 0xFF,  // 31: -1, the escape word may stay unbound
    0xC8, 0x00, 0x00, 0x00,  // 32
    0xD0, 0x00, 0x00, 0x00,  // 33
    0xCB, 0x00, 0x00, 0x00,  // 34
    0xCD, 0x00, 0x00, 0x00,  // 35
    0x39, 0x00, 0x00, 0x00,  // 36
    0x1D, 0x00, 0x00, 0x00,  // 37
    0x1C, 0x00, 0x00, 0x00,  // 38
    0x2A, 0x00, 0x00, 0x00,  // 39
    0xFF, 0x00, 0x00, 0x00,  // 40: 255, the highest key
    0xA5,                    // the final byte
};

struct KeyMapTest : ::testing::Test {
    void SetUp() override {
        g_KeyMap = KeyMap{};
        g_KeyMap.words[0] = 7;
        g_KeyMap.last = 3;
        CFG_SetDefaultKeys();
    }
};

TEST_F(KeyMapTest, DefaultsLeaveWordZeroAndTheFinalByte) {
    EXPECT_EQ(g_KeyMap.words[0], 7);
    EXPECT_EQ(g_KeyMap.last, 3);
    const int expected[][2] = {{1, 25}, {6, 203}, {10, 2}, {18, 10}, {19, 59}, {31, 157}, {36, 57}, {40, 56}};
    for (const auto& e : expected)
        EXPECT_EQ(g_KeyMap.words[e[0]], e[1]) << "word " << e[0];
    EXPECT_EQ(KEY_IsKeyMapComplete(g_KeyMap), 1);
}

TEST_F(KeyMapTest, ReadsTheWholeFileWordByWord) {
    ASSERT_EQ(kKeyMapFile.size(), KEY_MAP_FILE_BYTES);
    ASSERT_EQ(KEY_ReadKeyMapFile(kKeyMapFile.data(), uint32_t(kKeyMapFile.size())), 1);
    EXPECT_EQ(g_KeyMap.words[0], 0x12345678);
    EXPECT_EQ(g_KeyMap.words[25], 44);
    EXPECT_EQ(g_KeyMap.words[31], -1);
    EXPECT_EQ(g_KeyMap.words[40], 255);
    EXPECT_EQ(g_KeyMap.words[6], 203);
    EXPECT_EQ(g_KeyMap.last, 0xA5);
    // Bytes after the map are not part of it.
    std::vector<uint8_t> longer = kKeyMapFile;
    longer.resize(200, 0x77);
    longer[4 * 25] = 0x2D;
    ASSERT_EQ(KEY_ReadKeyMapFile(longer.data(), uint32_t(longer.size())), 1);
    EXPECT_EQ(g_KeyMap.words[25], 45);
    EXPECT_EQ(g_KeyMap.last, 0xA5);
}

TEST_F(KeyMapTest, RefusesAShortFileAndLeavesTheMap) {
    for (uint32_t size : {0u, 4u, 164u}) {
        EXPECT_EQ(KEY_ReadKeyMapFile(kKeyMapFile.data(), size), 0) << size;
        EXPECT_EQ(g_KeyMap.words[0], 7);
        EXPECT_EQ(g_KeyMap.words[25], 37);
        EXPECT_EQ(g_KeyMap.last, 3);
    }
    EXPECT_EQ(KEY_ReadKeyMapFile(nullptr, 165), 0);
}

TEST_F(KeyMapTest, WordsThatCannotIndexTheKeysTakeTheirDefaults) {
    struct Case { int word; uint32_t value; int32_t expected; } cases[] = {
        {25, 256, 37}, {26, 0xFFFFFFFEu, 50}, {27, 0x80000000u, 24}, {28, 0x00000100u, 22},
        {7, 0xFFFFFFFFu, -1}, {8, 0, 0}, {9, 255, 255},
    };
    std::vector<uint8_t> file = kKeyMapFile;
    for (const auto& c : cases)
        for (int b = 0; b < 4; ++b)
            file[size_t(4 * c.word + b)] = uint8_t(c.value >> (8 * b));
    ASSERT_EQ(KEY_ReadKeyMapFile(file.data(), uint32_t(file.size())), 1);
    for (const auto& c : cases)
        EXPECT_EQ(g_KeyMap.words[c.word], c.expected) << "word " << c.word;
}

// The start-up load runs in a folder of its own that holds "data/ifkeymap.dat" or not.
struct StartupKeyMap : KeyMapTest {
    void SetUp() override {
        KeyMapTest::SetUp();
        MEM_ResetTracker();
        dir_ = plat::TempDir() + "/keymap_startup";
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ + "/data");
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(dir_);
    }
    void WriteFile(const std::vector<uint8_t>& bytes) {
        FILE* f = std::fopen("data/ifkeymap.dat", "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    std::string dir_;
    std::filesystem::path previous_;
};

TEST_F(StartupKeyMap, NoFileKeepsTheDefaults) {
    EXPECT_EQ(KEY_LoadKeyMapAtStartup(), 0);
    EXPECT_EQ(g_KeyMap.words[25], 37);
}

TEST_F(StartupKeyMap, ACompleteFileIsTaken) {
    WriteFile(kKeyMapFile);
    EXPECT_EQ(KEY_LoadKeyMapAtStartup(), 1);
    EXPECT_EQ(g_KeyMap.words[25], 44);
    EXPECT_EQ(g_KeyMap.words[31], -1);  // not checked: the escape word may stay unbound
}

TEST_F(StartupKeyMap, AShortFileIsIgnored) {
    WriteFile(std::vector<uint8_t>(kKeyMapFile.begin(), kKeyMapFile.begin() + 100));
    EXPECT_EQ(KEY_LoadKeyMapAtStartup(), 0);
    EXPECT_EQ(g_KeyMap.words[25], 37);
}

TEST_F(StartupKeyMap, AFileWithAnUnboundFunctionFallsBackToTheDefaults) {
    for (int word : {1, 36, 38, 40}) {
        std::vector<uint8_t> file = kKeyMapFile;
        for (int b = 0; b < 4; ++b)
            file[size_t(4 * word + b)] = 0xFF;
        WriteFile(file);
        CFG_SetDefaultKeys();
        EXPECT_EQ(KEY_LoadKeyMapAtStartup(), 0) << word;
        EXPECT_EQ(g_KeyMap.words[word], g_KeyMapDefaults[word]) << word;
        EXPECT_EQ(g_KeyMap.words[25], 37) << "the whole map falls back, word " << word;
        EXPECT_EQ(g_KeyMap.words[0], 0x12345678) << "word 0 stays as loaded";
        EXPECT_EQ(g_KeyMap.last, 0xA5);
    }
}

}  // namespace
