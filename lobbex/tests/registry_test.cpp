// The library's registry reads: install directories (LookupDirectory) and binary manifest
// entries with their result codes, and the binary objects of the TEMP key built on them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "krlog.h"
#include "krreg.h"
#include "test_machine.h"

namespace {

TEST(LookupDirectory, FirstValueWinsElseSecondValueWithTheSubdirectory) {
    struct Case {
        const char* first;    // value of "First" (null: absent)
        const char* second;   // value of "Second" (null: absent)
        const char* subdir;
        uint32_t size;
        int result;
        const char* text;
    } cases[] = {
        {"/games/torvane/sys\\", "/r", "System", 64, KR_DIR_FOUND, "/games/torvane/sys"},
        {"/x//", nullptr, "System", 64, KR_DIR_FOUND, "/x"},
        {nullptr, "/games/torvane", "System", 64, KR_DIR_FOUND, "/games/torvane\\System"},
        {nullptr, "/games/torvane/", "System", 64, KR_DIR_FOUND, "/games/torvane\\System"},
        {nullptr, "/games/torvane\\//", "\\/System\\", 64, KR_DIR_FOUND, "/games/torvane\\System"},
        {nullptr, "/games/torvane", "", 64, KR_DIR_FOUND, "/games/torvane"},
        {nullptr, nullptr, "System", 64, KR_DIR_NO_ROOT, ""},
        {nullptr, "/games/torvane", "System", 15, KR_DIR_TOO_LONG, nullptr},  // no room for '\'
        {nullptr, "/games/torvane", "System", 21, KR_DIR_TOO_LONG, nullptr},  // one short
        {nullptr, "/games/torvane", "System", 22, KR_DIR_FOUND, "/games/torvane\\System"},
        {"/a/very/long/directory", "/r", "System", 10, KR_DIR_TOO_LONG, nullptr},
    };
    for (const Case& c : cases) {
        kt::DeleteValue("Main", "First");
        kt::DeleteValue("Main", "Second");
        if (c.first) kt::SetText("Main", "First", c.first);
        if (c.second) kt::SetText("Main", "Second", c.second);
        char buffer[80];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(LookupDirectory("First", "Second", c.subdir, buffer, c.size, nullptr), c.result)
            << (c.first ? c.first : "-") << " " << (c.second ? c.second : "-") << " size " << c.size;
        if (c.text) {
            EXPECT_STREQ(buffer, c.text);
        }
        EXPECT_EQ(buffer[c.size], '#') << "nothing written beyond the size";
    }
    kt::DeleteValue("Main", "First");
    kt::DeleteValue("Main", "Second");
}

TEST(LookupDirectory, UsesTheCallersKeyAsItIsAndReportsAMissingKey) {
    HKEY other = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Brellwick\\Elsewhere", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &other, &disposition),
              ERROR_SUCCESS);
    const char root[] = "/elsewhere";
    RegSetValueExA(other, "Root Directory", 0, REG_SZ, reinterpret_cast<const BYTE*>(root), sizeof root);
    char buffer[64];
    EXPECT_EQ(LookupDirectory(nullptr, "Root Directory", "Bin", buffer, sizeof buffer, other), KR_DIR_FOUND);
    EXPECT_STREQ(buffer, "/elsewhere\\Bin");
    char value[16];
    DWORD type = 0, size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(other, "Root Directory", nullptr, &type, reinterpret_cast<BYTE*>(value), &size),
              ERROR_SUCCESS)
        << "the caller's key is still open";
    RegCloseKey(other);

    std::string saved = kt::Root();
    kt::DeleteValue("Main", "Root Directory");
    HKEY main = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Brellwick\\Torvane", 0, KEY_ALL_ACCESS, &main);
    RegDeleteKeyA(main, "Main");
    RegCloseKey(main);
    EXPECT_EQ(LookupDirectory(nullptr, "Root Directory", "System", buffer, sizeof buffer, nullptr), KR_DIR_NO_KEY);
    kt::SetText("Main", "Root Directory", saved);
}

// A 4-byte binary entry, as the registry file holds it: bytes 2a 00 00 00.
const std::vector<uint8_t> kWord42 = {0x2a, 0x00, 0x00, 0x00};

TEST(ManifestEntries, ResultCodesFollowKeyValueTypeAndLength) {
    kt::SetBinary("Game7", "Good", kWord42);
    kt::SetText("Game7", "Text", "abc");                          // 4 bytes with its terminator
    kt::SetBinary("Game7", "Long", {1, 2, 3, 4, 5, 6, 7, 8});
    kt::SetBinary("Game7", "Short", {1, 2});
    kt::SetText("Game7", "LongText", "abcdefgh");
    struct Case {
        const char* subkey;
        const char* name;
        int result;
        uint32_t sizeAfter;
    } cases[] = {
        {"Game7", "Good", KR_REG_OK, 4},
        {"game7", "Good", KR_REG_OK, 4}, // key paths compare without case
        {"Game7", "Text", KR_REG_NOT_BINARY, 4},
        {"Game7", "Long", KR_REG_WRONG_LENGTH, 8},
        {"Game7", "Short", KR_REG_WRONG_LENGTH, 2},
        {"Game7", "LongText", KR_REG_WRONG_LENGTH, 9}, // the later test's code wins
        {"Game7", "Missing", KR_REG_UNREADABLE, 4},
        {"NoSuchKey", "Good", KR_REG_NO_KEY, 4},
    };
    for (int warn = 0; warn <= 1; ++warn) {
        for (const Case& c : cases) {
            uint8_t buffer[6] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
            uint32_t size = 4;
            EXPECT_EQ(LoadManifestEntry(c.subkey, c.name, buffer, &size, warn), c.result) << c.name << " warn " << warn;
            EXPECT_EQ(size, c.sizeAfter) << c.name;
            if (c.result == KR_REG_OK) {
                EXPECT_EQ(buffer[0], 0x2a);
                EXPECT_EQ(buffer[3], 0x00);
            } else {
                EXPECT_EQ(buffer[0], 0xEE) << c.name << ": nothing copied on failure";
            }
            EXPECT_EQ(buffer[4], 0xEE) << "never beyond the caller's size";
        }
    }
}

TEST(ManifestEntries, WarningsFollowTheWarnFlagExceptTheLengthOne) {
    const std::string dir = kt::FreshTraceDir();
    uint32_t word = KrGetTrace();
    KrSetTrace(0x00040000);
    kt::SetText("Game8", "Text", "abc");
    kt::SetBinary("Game8", "Long", {1, 2, 3, 4, 5});
    uint8_t buffer[4];
    uint32_t size = 4;
    LoadManifestEntry("Game8", "Text", buffer, &size, 0);
    size = 4;
    LoadManifestEntry("Game8", "Long", buffer, &size, 0);
    size = 4;
    LoadManifestEntry("Nope", "Long", buffer, &size, 0);
    std::string quiet = kt::ReadFile(dir + "/krtrace.txt");
    EXPECT_EQ(quiet.find("wrong type"), std::string::npos);
    EXPECT_EQ(quiet.find("Unable to open registry key"), std::string::npos);
    EXPECT_NE(quiet.find("KrLoadBinaryObject::Value in registry has wrong length. Got 5, expected 4"),
              std::string::npos);
    size = 4;
    LoadManifestEntry("Game8", "Text", buffer, &size, 1);
    size = 4;
    LoadManifestEntry("Nope", "Long", buffer, &size, 1);
    std::string loud = kt::ReadFile(dir + "/krtrace.txt");
    EXPECT_NE(loud.find("KrLoadBinaryObject::Value in registry has wrong type."), std::string::npos);
    EXPECT_NE(loud.find("LoadManifestEntry::Unable to open registry key (Software\\Brellwick\\Torvane\\Nope)."),
              std::string::npos);
    KrSetTrace(word);
    KrTraceClose();
}

TEST(BinaryObjects, SaveCreatesTheTempKeyAndLoadReadsItBack) {
    const uint8_t data[5] = {9, 8, 7, 6, 5};
    EXPECT_EQ(KrSaveBinaryObject("Blob", data, sizeof data), 0);
    uint8_t back[5] = {};
    uint32_t size = 5;
    EXPECT_EQ(KrLoadBinaryObject("Blob", back, &size), 0);
    EXPECT_EQ(std::memcmp(back, data, 5), 0);
    size = 4;
    EXPECT_EQ(KrLoadBinaryObject("Blob", back, &size), KR_REG_WRONG_LENGTH);
    EXPECT_EQ(size, 5u);
    size = 5;
    EXPECT_EQ(KrLoadBinaryObject("NoBlob", back, &size), KR_REG_UNREADABLE);
}

}  // namespace
