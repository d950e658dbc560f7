// Shared test helpers for the platform tests: a headless platform in a known state, and a
// scratch directory that disappears with the test.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "plat.h"

namespace plattest {

// A fresh directory under the system's temporary folder.
inline std::string MakeScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "plattest-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        ADD_FAILURE() << "mkdtemp failed";
    return pattern;
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every test starts headless, without frame limit, script or screenshot, and with a scratch
// directory of its own.
class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("PLATFORM_BACKEND", "headless", 1);
        for (const char* name : {"PLATFORM_FRAMES", "PLATFORM_INPUT", "PLATFORM_SCREENSHOT", "PLATFORM_LIBRARY_PATH"})
            unsetenv(name);
        plat::SetExitHook(nullptr);
        plat::ResetForTests();
        scratch = MakeScratchDir();
    }
    void TearDown() override {
        plat::SetExitHook(nullptr);
        for (const char* name : {"PLATFORM_FRAMES", "PLATFORM_INPUT", "PLATFORM_SCREENSHOT", "PLATFORM_LIBRARY_PATH"})
            unsetenv(name);
        plat::ResetForTests();
        std::error_code ec;
        std::filesystem::remove_all(scratch, ec);
    }
    std::string scratch;
};

}  // namespace plattest
