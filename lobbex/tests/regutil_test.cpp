// The registry and process helpers: string and number readers and writers by key, by path and
// by game manifest, the search-list builder with its acceptance rules, the environment reader
// and the process starter's option bits.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "lobbex_exports.h"
#include "registry.h"
#include "test_machine.h"
#include "winprocess.h"

namespace {

constexpr char kKey[] = "Software\\Brellwick\\Torvane\\Helpers";

HKEY OpenHelpers() {
    HKEY key = nullptr;
    DWORD disposition = 0;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                    &disposition);
    return key;
}

TEST(RegistryHelpers, ReadersGiveTheValueOrTheDefaultByType) {
    HKEY key = OpenHelpers();
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(KrRegSetStringValue(key, "Text", "C:\\GAMES"), ERROR_SUCCESS);
    ASSERT_EQ(KrRegSetStringValue(key, "Empty", ""), ERROR_SUCCESS);
    ASSERT_EQ(KrRegSetDWORDValue(key, "Number", 0xCAFE), ERROR_SUCCESS);
    kt::SetBinary("Helpers", "Bytes", {1, 2, 3, 4});

    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExA(key, "Text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 9u) << "strings are stored with their terminator";

    char fallback[] = "default";
    struct Case {
        const char* name;
        const char* text;    // null: the default pointer itself
        DWORD number;
    } cases[] = {
        {"Text", "C:\\GAMES", 7},
        {"Empty", "", 7},
        {"Number", nullptr, 0xCAFE},
        {"Bytes", nullptr, 7},  // four bytes, but not a number
        {"Missing", nullptr, 7},
    };
    for (const Case& c : cases) {
        char* byKey = KrRegQueryStringValue(key, c.name, fallback);
        char* byPath = KrRegGetStringValue(kKey, c.name, fallback);
        if (c.text) {
            EXPECT_NE(byKey, fallback) << c.name;
            EXPECT_STREQ(byKey, c.text) << c.name;
            EXPECT_STREQ(byPath, c.text) << c.name;
            std::free(byKey);
            std::free(byPath);
        } else {
            EXPECT_EQ(byKey, fallback) << c.name << ": the default itself";
            EXPECT_EQ(byPath, fallback) << c.name;
        }
        EXPECT_EQ(KrRegQueryDWORDValue(key, c.name, 7), c.number) << c.name;
        EXPECT_EQ(KrRegGetDWORDValue(kKey, c.name, 7), c.number) << c.name;
    }
    EXPECT_EQ(KrRegGetStringValue("Software\\Nowhere", "Text", fallback), fallback);
    EXPECT_EQ(KrRegGetDWORDValue("Software\\Nowhere", "Number", 3), 3u);
    EXPECT_EQ(KrRegGetDWORDValue("software\\brellwick\\TORVANE\\helpers", "Number", 3), 0xCAFEu)
        << "key paths compare without case";
    RegCloseKey(key);
}

TEST(RegistryHelpers, WritersByPathNeedAnExistingKey) {
    HKEY key = OpenHelpers();
    RegCloseKey(key);
    EXPECT_EQ(KrRegPutStringValue(kKey, "Put", "x"), ERROR_SUCCESS);
    EXPECT_EQ(KrRegPutDWORDValue(kKey, "PutN", 12), ERROR_SUCCESS);
    EXPECT_EQ(KrRegGetDWORDValue(kKey, "PutN", 0), 12u);
    char* text = KrRegGetStringValue(kKey, "Put", nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "x");
    std::free(text);
    EXPECT_NE(KrRegPutStringValue("Software\\Nowhere\\AtAll", "Put", "x"), ERROR_SUCCESS);
    EXPECT_NE(KrRegPutDWORDValue("Software\\Nowhere\\AtAll", "Put", 1), ERROR_SUCCESS);
}

TEST(RegistryHelpers, ManifestKeysEndInTheGameNumber) {
    kt::SetText("Manifest\\GAME7", "Path", "C:\\seven");
    kt::SetNumber("Manifest\\GAME42", "Size", 420);
    kt::SetNumber("Manifest\\GAME70", "Size", 700);
    char fallback[] = "none";
    char* seven = KrManifestGetStringValue(7, "Path", fallback);
    EXPECT_STREQ(seven, "C:\\seven");
    if (seven != fallback) std::free(seven);
    EXPECT_EQ(KrManifestGetDWORDValue(42, "Size", 0), 420u);
    EXPECT_EQ(KrManifestGetDWORDValue(70, "Size", 0), 700u);
    EXPECT_EQ(KrManifestGetDWORDValue(4, "Size", 5), 5u) << "GAME4 does not exist";
    EXPECT_EQ(KrManifestGetStringValue(8, "Path", fallback), fallback);
}

TEST(SearchList, CandidatesAreAcceptedTrimmedAndJoined) {
    struct Case {
        const char* candidate;
        int added;
        const char* list; // after the addition
    } cases[] = {
        {"  C:\\GAMES\\;", 1, "C:\\GAMES"},
        {"GAMES", 0, "C:\\GAMES"},
        {"C-GAMES", 0, "C:\\GAMES"},
        {"\\\\server\\share\\; ", 1, "C:\\GAMES;\\\\server\\share"},
        {"//host/dir", 1, "C:\\GAMES;\\\\server\\share;//host/dir"},
        {"d:/x", 1, "C:\\GAMES;\\\\server\\share;//host/dir;d:/x"},
        // blanks go before the ';' and '\', so a blank in front of them stays
        {"E:\\x ;", 1, "C:\\GAMES;\\\\server\\share;//host/dir;d:/x;E:\\x "},
        {"\\single", 0, "C:\\GAMES;\\\\server\\share;//host/dir;d:/x;E:\\x "},
        {"", 0, "C:\\GAMES;\\\\server\\share;//host/dir;d:/x;E:\\x "},
    };
    char* list = nullptr;
    for (const Case& c : cases) {
        EXPECT_EQ(KrSearchListAdd(c.candidate, &list), c.added) << c.candidate;
        ASSERT_NE(list, nullptr) << c.candidate;
        EXPECT_STREQ(list, c.list) << c.candidate;
    }
    std::free(list);
    EXPECT_EQ(KrSearchListAdd("C:\\x", nullptr), 0) << "nothing happens without a list";
}

TEST(SearchList, BuiltFromAKeysValuesInOrder) {
    const std::string sub = "Software\\Brellwick\\Torvane\\Search";
    kt::SetText("Search", "first", "C:\\ONE\\");
    kt::SetText("Search", "D:\\NAMED", "");   // empty text: its name counts
    kt::SetNumber("Search", "E:\\NUMBER", 1);  // not a string: its name counts
    kt::SetText("Search", "junk", "nothing");  // refused
    char* list = nullptr;
    EXPECT_EQ(KrRegBuildSearchList(HKEY_LOCAL_MACHINE, sub.c_str(), &list), 4);
    ASSERT_NE(list, nullptr);
    EXPECT_STREQ(list, "C:\\ONE;D:\\NAMED;E:\\NUMBER");
    std::free(list);
    list = nullptr;
    EXPECT_EQ(KrRegBuildSearchList(HKEY_LOCAL_MACHINE, "Software\\Nowhere", &list), 0);
    EXPECT_EQ(list, nullptr);
}

TEST(Environment, ReaderCopiesOrGivesTheDefault) {
    setenv("KRTEST_VALUE", "abc def", 1);
    unsetenv("KRTEST_UNSET");
    char fallback[] = "dflt";
    char* value = KrGetEnv("KRTEST_VALUE", fallback);
    ASSERT_NE(value, fallback);
    EXPECT_STREQ(value, "abc def");
    std::free(value);
    EXPECT_EQ(KrGetEnv("KRTEST_UNSET", fallback), fallback);
    setenv("KRTEST_VALUE", "", 1);
    value = KrGetEnv("KRTEST_VALUE", fallback);
    ASSERT_NE(value, fallback) << "a set but empty variable is a copy";
    EXPECT_STREQ(value, "");
    std::free(value);
}

TEST(ProcessStarter, OptionBits) {
    const std::string marker = kt::FreshDir("proc") + "/done";
    const std::string writeMarker = "sh -c \"sleep 0.2; echo done > '" + marker + "'\"";
    struct Case {
        const char* name;
        uint32_t options;
        bool waits;       // the marker exists on return
        bool suspended;   // the child is stopped
    } cases[] = {
        {"wait", KR_PROCESS_WAIT, true, false},
        {"minimised and wait", KR_PROCESS_MINIMISED | KR_PROCESS_WAIT, true, false},
        {"suspended and wait: not suspended", KR_PROCESS_SUSPENDED | KR_PROCESS_WAIT, true, false},
        {"suspended", KR_PROCESS_SUSPENDED, false, true},
    };
    for (const Case& c : cases) {
        unlink(marker.c_str());
        PROCESS_INFORMATION info = {};
        ASSERT_EQ(KrStartProcess(writeMarker.c_str(), c.options, &info), 1) << c.name;
        EXPECT_EQ(kt::Exists(marker), c.waits) << c.name;
        DWORD code = 0;
        ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code)) << c.name;
        if (c.waits) {
            EXPECT_EQ(code, 0u) << c.name;
        } else {
            EXPECT_EQ(code, DWORD(STILL_ACTIVE)) << c.name;
        }
        if (c.suspended) {
            const std::string stat = kt::ReadFile("/proc/" + std::to_string(info.dwProcessId) + "/stat");
            const size_t close = stat.rfind(')');
            ASSERT_NE(close, std::string::npos);
            EXPECT_EQ(stat[close + 2], 'T') << c.name << ": stopped before it ran";
            TerminateProcess(info.hProcess, 1);
            EXPECT_EQ(WaitForSingleObject(info.hProcess, 5000), WAIT_OBJECT_0);
            EXPECT_FALSE(kt::Exists(marker)) << c.name;
        }
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    EXPECT_EQ(KrStartProcess("true", 0, nullptr), 1) << "handles closed by the starter";
    EXPECT_EQ(KrStartProcess("no-such-program-here --x", KR_PROCESS_WAIT, nullptr), 0);
    EXPECT_EQ(KrStartProcess(nullptr, 0, nullptr), 0);
}

}  // namespace
