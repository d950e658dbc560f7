// Processes, the environment and the registry's value listing: a command line is split into
// arguments as Windows does, the process handle is signalled with the exit code at the end, a
// missing program is refused, environment sizes follow the Windows rules, and values are listed
// in stored order with the size rules of the other registry calls.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform_fixture.h"
#include "registry.h"
#include "winprocess.h"

namespace {
using plattest::HeadlessTest;

class ProcessTest : public HeadlessTest {};

// Runs a command line and waits; the program's exit code.
DWORD RunAndWait(const std::string& line) {
    std::string copy = line;
    PROCESS_INFORMATION info = {};
    STARTUPINFOA startup = {};
    if (!CreateProcessA(nullptr, copy.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return 0xFFFFFFFFu;
    EXPECT_EQ(WaitForSingleObject(info.hThread, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return code;
}

TEST_F(ProcessTest, CommandLinesAreSplitAsWindowsDoes) {
    const std::string out = scratch + "/args";
    // The shell prints each argument it gets on a line of its own.
    const std::string head = "sh -c \"for a; do printf '[%s]\\n' \\\"$a\\\"; done > " + out + "\" x ";
    struct Case {
        const char* args;
        const char* lines;
    } cases[] = {
        {"one two", "[one]\n[two]\n"},
        {"  spaced\t\tout  ", "[spaced]\n[out]\n"},
        {"\"two words\" next", "[two words]\n[next]\n"},
        {"a\"b c\"d", "[ab cd]\n"},
        {"say\\\"hi\\\"", "[say\"hi\"]\n"},
        {"C:\\path\\file", "[C:\\path\\file]\n"},
        {"\"\"", "[]\n"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(RunAndWait(head + c.args), 0u) << c.args;
        EXPECT_EQ(plattest::ReadText(out), c.lines) << c.args;
    }
}

TEST_F(ProcessTest, ExitCodesAndMissingPrograms) {
    EXPECT_EQ(RunAndWait("sh -c \"exit 3\""), 3u);
    EXPECT_EQ(RunAndWait("true"), 0u);
    std::string missing = "no-such-program-anywhere arg";
    PROCESS_INFORMATION info = {};
    EXPECT_FALSE(CreateProcessA(nullptr, missing.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    std::string empty = "   ";
    EXPECT_FALSE(CreateProcessA(nullptr, empty.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
}

TEST_F(ProcessTest, EnvironmentSizesFollowTheWindowsRules) {
    setenv("PLATTEST_ENV", "hello", 1);
    unsetenv("PLATTEST_NONE");
    char buffer[8] = {};
    EXPECT_EQ(GetEnvironmentVariableA("PLATTEST_ENV", buffer, 5), 6u) << "too small: the size with terminator";
    EXPECT_EQ(GetEnvironmentVariableA("PLATTEST_ENV", buffer, 6), 5u);
    EXPECT_STREQ(buffer, "hello");
    EXPECT_EQ(GetEnvironmentVariableA("PLATTEST_NONE", buffer, 8), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ENVVAR_NOT_FOUND));
}

TEST_F(ProcessTest, RegistryValuesAreListedInStoredOrder) {
    plat::SetRegistryPath(scratch + "/registry.ini");
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\List", 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD number = 7;
    RegSetValueExA(key, "zeta", 0, REG_SZ, reinterpret_cast<const BYTE*>("txt"), 4);
    RegSetValueExA(key, "alpha", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
    struct Case {
        DWORD index;
        DWORD nameSize, dataSize;
        LONG result;
        const char* name;
        DWORD type, dataOut;
    } cases[] = {
        {0, 16, 16, ERROR_SUCCESS, "zeta", REG_SZ, 4},
        {1, 16, 16, ERROR_SUCCESS, "alpha", REG_DWORD, 4},
        {2, 16, 16, ERROR_NO_MORE_ITEMS, nullptr, 0, 16},
        {0, 4, 16, ERROR_MORE_DATA, nullptr, 0, 4},  // no room for the name's terminator
        {0, 16, 3, ERROR_MORE_DATA, nullptr, 0, 4},  // no room for the text's terminator
    };
    for (const Case& c : cases) {
        char name[16] = {};
        BYTE data[16] = {};
        DWORD nameSize = c.nameSize, dataSize = c.dataSize, type = 0;
        EXPECT_EQ(RegEnumValueA(key, c.index, name, &nameSize, nullptr, &type, data, &dataSize), c.result) << c.index;
        EXPECT_EQ(dataSize, c.dataOut) << c.index;
        if (!c.name) continue;
        EXPECT_STREQ(name, c.name);
        EXPECT_EQ(nameSize, DWORD(std::strlen(c.name)));
        EXPECT_EQ(type, c.type);
    }
    RegCloseKey(key);
    plat::SetRegistryPath("");
}

}  // namespace
