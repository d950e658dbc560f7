// The registry file: values of every type survive a round trip through the file, keys and names
// compare without case, sizes follow the Windows rules, machines do not share a file, writers in
// several processes lose nothing, and a damaged file is read as far as it can be.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform_fixture.h"
#include "registry.h"

namespace {
using plattest::HeadlessTest;

constexpr const char* kGameKey = "SOFTWARE\\Brellwick\\Ghoulden\\1.00";

class RegistryTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        file = scratch + "/machine/registry.ini";
        plat::SetRegistryPath(file);
    }
    void TearDown() override {
        plat::SetRegistryPath("");
        HeadlessTest::TearDown();
    }
    HKEY Create(const char* path = kGameKey, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &key, disposition),
                  ERROR_SUCCESS);
        return key;
    }
    // Reads a value through a fresh handle, so it comes from the file.
    LONG Query(const char* path, const char* name, DWORD* type, std::vector<uint8_t>* data) {
        HKEY key = nullptr;
        LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key);
        if (rc != ERROR_SUCCESS)
            return rc;
        DWORD size = 0;
        rc = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
        if (rc == ERROR_SUCCESS) {
            data->assign(size, 0xEE);
            rc = RegQueryValueExA(key, name, nullptr, type, data->data(), &size);
        }
        RegCloseKey(key);
        return rc;
    }
    std::string file;
};

TEST_F(RegistryTest, ValuesOfEveryTypeRoundTripThroughTheFile) {
    struct Case {
        const char* name;
        DWORD type;
        std::vector<uint8_t> bytes; // as passed in; REG_SZ with its terminator
    };
    auto sz = [](const std::string& s) { return std::vector<uint8_t>(s.c_str(), s.c_str() + s.size() + 1); };
    const Case cases[] = {
        {"SourcePath", REG_SZ, sz("C:\\Games\\Ghoulden")},
        {"Quoted \"name\" \\ here", REG_SZ, sz("line one\nline \"two\"\r\t\x01 \xA3 end  ")},
        {"Empty", REG_SZ, sz("")},
        {"", REG_SZ, sz("the default value")},
        {"Players", REG_DWORD, {0x2A, 0, 0, 0}},
        {"All bits", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"KeyMap", REG_BINARY, {0x00, 0x01, 0x7F, 0x80, 0xFF}},
        {"Nothing", REG_BINARY, {}},
        {"Multi", 7, {'a', 0, 'b', 0, 0}},
    };
    HKEY key = Create();
    for (const Case& c : cases)
        ASSERT_EQ(RegSetValueExA(key, c.name, 0, c.type, c.bytes.data(), static_cast<DWORD>(c.bytes.size())),
                  ERROR_SUCCESS)
            << c.name;
    RegCloseKey(key);
    for (const Case& c : cases) {
        DWORD type = 0;
        std::vector<uint8_t> got;
        ASSERT_EQ(Query(kGameKey, c.name, &type, &got), ERROR_SUCCESS) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        EXPECT_EQ(got, c.bytes) << c.name;
    }
    // The file is text a person can read.
    const std::string text = plattest::ReadText(file);
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brellwick\\Ghoulden\\1.00]"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Players\"=dword:0000002a"), std::string::npos) << text;
    EXPECT_NE(text.find("\"KeyMap\"=hex:00,01,7f,80,ff"), std::string::npos) << text;
    EXPECT_NE(text.find("\"SourcePath\"=sz:\"C:\\\\Games\\\\Ghoulden\""), std::string::npos) << text;
}

TEST_F(RegistryTest, HandWrittenFileIsReadAndDamagedLinesAreSkippedButKept) {
    // Written out line by line from the layout at the top of registry.cpp, CR LF line ends.
    const std::string text =
        "; hand-written\r\n"
        "\"Orphan\"=dword:00000001\r\n"                        // a value before any key: ignored
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brellwick\\Ghoulden\\1.00]\r\n"
        "\"SourcePath\"=sz:\"D:\\\\\"\r\n"
        "\"Level\"=dword:10\r\n"                                // short hex is fine
        "\"Broken hex\"=hex:0g,11\r\n"                          // damaged
        "\"No end quote=sz:\"x\"\r\n"                           // damaged
        "\"Too big\"=dword:123456789\r\n"                       // damaged
        "\"Bytes\"=hex:de,ad\r\n"
        "garbage line\r\n"
        "[hkey_local_machine\\software\\brellwick\\ghoulden\\1.00]\r\n" // same key again: continues it
        "\"Level\"=dword:00000011\r\n"                          // a later line wins
        "@=sz:\"def\"\r\n";
    plattest::WriteText(file, text);
    struct Case {
        const char* name;
        LONG rc;
        DWORD type;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"SourcePath", ERROR_SUCCESS, REG_SZ, {'D', ':', '\\', 0}},
        {"Level", ERROR_SUCCESS, REG_DWORD, {0x11, 0, 0, 0}},
        {"Bytes", ERROR_SUCCESS, REG_BINARY, {0xDE, 0xAD}},
        {nullptr, ERROR_SUCCESS, REG_SZ, {'d', 'e', 'f', 0}},
        {"Broken hex", ERROR_FILE_NOT_FOUND, 0, {}},
        {"Too big", ERROR_FILE_NOT_FOUND, 0, {}},
        {"Orphan", ERROR_FILE_NOT_FOUND, 0, {}},
    };
    for (const Case& c : cases) {
        DWORD type = 0;
        std::vector<uint8_t> got;
        EXPECT_EQ(Query(kGameKey, c.name, &type, &got), c.rc) << (c.name ? c.name : "@");
        if (c.rc == ERROR_SUCCESS) {
            EXPECT_EQ(type, c.type);
            EXPECT_EQ(got, c.bytes) << (c.name ? c.name : "@");
        }
    }
    // A write keeps what it could not read, so nothing a person typed is thrown away.
    HKEY key = Create();
    DWORD v = 5;
    ASSERT_EQ(RegSetValueExA(key, "New", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), ERROR_SUCCESS);
    RegCloseKey(key);
    const std::string after = plattest::ReadText(file);
    for (const char* kept : {"garbage line", "\"Broken hex\"=hex:0g,11", "; hand-written", "\"New\"=dword:00000005"})
        EXPECT_NE(after.find(kept), std::string::npos) << kept << "\n" << after;
}

TEST_F(RegistryTest, KeysAndValueNamesCompareWithoutCase) {
    DWORD disposition = 0;
    HKEY key = Create(kGameKey, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(Create("software\\BRELLWICK\\ghoulden\\1.00", &disposition));
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    const char text[] = "abc";
    ASSERT_EQ(RegSetValueExA(key, "TargetPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 4), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "TARGETPATH", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 2), ERROR_SUCCESS);
    RegCloseKey(key);
    DWORD type;
    std::vector<uint8_t> got;
    EXPECT_EQ(Query("SOFTWARE\\brellwick\\GHOULDEN\\1.00", "targetpath", &type, &got), ERROR_SUCCESS);
    EXPECT_EQ(got, (std::vector<uint8_t>{'a', 'b', 0})) << "the second write replaced the first";

    struct OpenCase {
        const char* path;
        LONG rc;
    };
    for (const OpenCase& c : {OpenCase{"Software", ERROR_SUCCESS}, OpenCase{"SOFTWARE\\Brellwick", ERROR_SUCCESS},
                              OpenCase{"Software\\Brell", ERROR_FILE_NOT_FOUND},
                              OpenCase{"SOFTWARE\\Brellwick\\Ghoulden\\1.00\\Missing", ERROR_FILE_NOT_FOUND},
                              OpenCase{"", ERROR_SUCCESS}}) {
        HKEY k = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, c.path, 0, KEY_READ, &k), c.rc) << c.path;
        if (k)
            RegCloseKey(k);
    }
    HKEY k = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kGameKey, 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND)
        << "another root is another tree";
}

TEST_F(RegistryTest, QuerySizesFollowTheWindowsRules) {
    HKEY key = Create();
    const char text[] = "Ghoulden";
    RegSetValueExA(key, "Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 9u) << "the terminator counts";
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    char buf[16];
    std::memset(buf, 'z', sizeof buf);
    size = 4;
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 9u);
    EXPECT_EQ(buf[0], 'z') << "nothing is written into a buffer that is too small";
    size = 9;
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size), ERROR_SUCCESS);
    EXPECT_STREQ(buf, "Ghoulden");
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(key, "Absent", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    DWORD small = 1;
    EXPECT_EQ(RegSetValueExA(key, "Bad", 0, REG_DWORD, reinterpret_cast<BYTE*>(&small), 2), ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(RegistryTest, FileAppearsOnTheFirstWriteOnly) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kGameKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(file));
    key = Create();
    EXPECT_TRUE(std::filesystem::exists(file)) << "creating a key is a write";
    RegCloseKey(key);
}

TEST_F(RegistryTest, HandlesAndDeletion) {
    HKEY key = Create();
    RegCloseKey(Create("SOFTWARE\\Brellwick\\Ghoulden\\1.00\\Child"));
    DWORD v = 1;
    RegSetValueExA(key, "Gone", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4);
    EXPECT_EQ(RegDeleteValueA(key, "gone"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "gone"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kGameKey), ERROR_ACCESS_DENIED) << "a key with subkeys stays";
    EXPECT_EQ(RegDeleteKeyA(key, "child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(key, "child"), ERROR_FILE_NOT_FOUND);
    HKEY parent = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brellwick\\Ghoulden", 0, KEY_READ, &parent), ERROR_SUCCESS);
    RegCloseKey(parent);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kGameKey, 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, TwoMachinesKeepTwoFiles) {
    const std::string other = scratch + "/other/registry.ini";
    DWORD one = 1, two = 2;
    HKEY key = Create();
    RegSetValueExA(key, "Id", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4);
    RegCloseKey(key);
    plat::SetRegistryPath(other);
    EXPECT_EQ(plat::RegistryPath(), other);
    key = Create();
    RegSetValueExA(key, "Id", 0, REG_DWORD, reinterpret_cast<BYTE*>(&two), 4);
    RegCloseKey(key);
    for (auto [path, want] : {std::pair{file, 1}, std::pair{other, 2}}) {
        plat::SetRegistryPath(path);
        DWORD type;
        std::vector<uint8_t> got;
        ASSERT_EQ(Query(kGameKey, "Id", &type, &got), ERROR_SUCCESS);
        EXPECT_EQ(got[0], want) << path;
    }
}

TEST_F(RegistryTest, RegistryPathComesFromTheEnvironmentUnlessSet) {
    plat::SetRegistryPath("");
    setenv("PLATFORM_REGISTRY", (scratch + "/env.ini").c_str(), 1);
    EXPECT_EQ(plat::RegistryPath(), scratch + "/env.ini");
    unsetenv("PLATFORM_REGISTRY");
    const char* home = getenv("HOME");
    const std::string oldHome = home ? home : "";
    setenv("HOME", scratch.c_str(), 1);
    EXPECT_EQ(plat::RegistryPath(), scratch + "/.config/brellwick/registry.ini");
    if (home)
        setenv("HOME", oldHome.c_str(), 1);
    else
        unsetenv("HOME");
}

void WriteMany(const char* prefix, int count) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kGameKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    for (int i = 0; i < count; ++i) {
        DWORD v = static_cast<DWORD>(i);
        const std::string name = prefix + std::to_string(i);
        RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4);
    }
    RegCloseKey(key);
}

int CountValues(const std::string& text) {
    int n = 0;
    for (size_t at = text.find("=dword:"); at != std::string::npos; at = text.find("=dword:", at + 1))
        ++n;
    return n;
}

TEST_F(RegistryTest, WritersInTwoProcessesLoseNothing) {
    constexpr int kEach = 40;
    pid_t children[2];
    const char* prefixes[2] = {"a", "b"};
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            WriteMany(prefixes[c], kEach);
            _exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(CountValues(plattest::ReadText(file)), 2 * kEach);
    DWORD type;
    std::vector<uint8_t> got;
    EXPECT_EQ(Query(kGameKey, "b39", &type, &got), ERROR_SUCCESS);
    EXPECT_EQ(got[0], 39);
}

TEST_F(RegistryTest, WritersInTwoThreadsLoseNothing) {
    std::thread a(WriteMany, "a", 20);
    std::thread b(WriteMany, "b", 20);
    a.join();
    b.join();
    EXPECT_EQ(CountValues(plattest::ReadText(file)), 40);
}

TEST_F(RegistryTest, AWriteThatCannotBeStoredReportsFailure) {
    plattest::WriteText(scratch + "/blocker", "a file where a folder should be");
    plat::SetRegistryPath(scratch + "/blocker/registry.ini");
    HKEY key = nullptr;
    testing::internal::CaptureStderr();
    EXPECT_NE(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kGameKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(key, nullptr);
}

}  // namespace
