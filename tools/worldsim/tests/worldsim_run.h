// What worldsim's process tests share: a run of the program with its exit code and output
// (standard error merged), and a fixture with a private folder to write scenarios into.
#pragma once
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

struct Output {
    int code;
    std::string out;
};

inline Output Worldsim(const std::string& args) {
    const std::string command = std::string(WORLDSIM_PATH) + " " + args + " 2>&1";
    Output run{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class WorldsimFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() /
              ("worldsim-" + std::string(info->test_suite_name()) + "-" + std::to_string(getpid()) + "-" + info->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string Scenario(const std::string& text) {
        const std::string path = (dir / "scenario.txt").string();
        std::ofstream(path) << text;
        return path;
    }
    std::filesystem::path dir;
};
