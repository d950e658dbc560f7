// Windows file handles: dispositions, reading and writing at the file pointer, cutting the file,
// game paths with backslashes and mixed case, delete and rename rules.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "registry.h"
#include "winfile.h"

namespace {

class WinFile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/winfile.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
    std::string Read(const std::string& name) {
        std::ifstream in(dir_ + "/" + name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string dir_;
};

TEST_F(WinFile, DispositionsCreateOpenAndTruncateAsOnWindows) {
    std::string path = dir_ + "/a.txt";
    struct Step {
        DWORD disposition;
        bool opens;
        DWORD lastError;
    } steps[] = {
        {OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND}, {TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND},
        {OPEN_ALWAYS, true, ERROR_SUCCESS},           {OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS},
        {CREATE_NEW, false, ERROR_FILE_EXISTS},       {CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS},
        {OPEN_EXISTING, true, ERROR_SUCCESS},
    };
    for (const Step& s : steps) {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, s.disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, s.opens) << "disposition " << s.disposition;
        if (!s.opens || s.lastError != ERROR_SUCCESS) {
            EXPECT_EQ(GetLastError(), s.lastError) << s.disposition;
        }
        if (h != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            EXPECT_TRUE(WriteFile(h, "xy", 2, &written, nullptr));
            CloseHandle(h);
        }
    }
    // OPEN_ALWAYS appended nothing (it wrote at 0), CREATE_ALWAYS cut the file first.
    EXPECT_EQ(Read("a.txt"), "xy");
}

TEST_F(WinFile, WritesAtThePointerAndCutsAtIt) {
    // A game path: the backslash becomes a slash.
    HANDLE h = CreateFileA((dir_ + "\\b.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(h, "hello world", 11, &n, nullptr));
    EXPECT_EQ(n, 11u);
    EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
    EXPECT_TRUE(WriteFile(h, "WORLD!", 6, &n, nullptr));
    EXPECT_EQ(GetFileSize(h, nullptr), 12u);
    EXPECT_EQ(SetFilePointer(h, 5, nullptr, FILE_BEGIN), 5u);
    EXPECT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(GetFileSize(h, nullptr), 5u);
    EXPECT_TRUE(FlushFileBuffers(h));
    char back[16] = {};
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), 0u);
    EXPECT_TRUE(ReadFile(h, back, sizeof back, &n, nullptr));
    EXPECT_EQ(std::string(back, n), "hello");
    EXPECT_TRUE(ReadFile(h, back, sizeof back, &n, nullptr));
    EXPECT_EQ(n, 0u) << "reading at the end gives nothing, successfully";
    CloseHandle(h);
    EXPECT_FALSE(WriteFile(h, "x", 1, &n, nullptr)) << "closed handle";
}

TEST_F(WinFile, MoveRefusesAnExistingTargetAndDeleteRemoves) {
    std::ofstream(dir_ + "/one.txt") << "1";
    std::ofstream(dir_ + "/two.txt") << "2";
    EXPECT_FALSE(MoveFileA((dir_ + "/one.txt").c_str(), (dir_ + "/two.txt").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(DeleteFileA((dir_ + "\\TWO.TXT").c_str())) << "names match without regard to case";
    EXPECT_TRUE(MoveFileA((dir_ + "/one.txt").c_str(), (dir_ + "/two.txt").c_str()));
    EXPECT_EQ(Read("two.txt"), "1");
    struct stat st;
    EXPECT_NE(stat((dir_ + "/one.txt").c_str(), &st), 0);
    EXPECT_FALSE(DeleteFileA((dir_ + "/one.txt").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

}  // namespace
