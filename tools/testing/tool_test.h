// Helpers for the tests that run a tool as people and scripts do: a fresh scratch folder per
// test, a shell command line with quoted words, and the run's exit code with what it printed.
#pragma once
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "plat.h"

namespace tooltest {

namespace fs = std::filesystem;

inline std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One word for the shell, whatever it holds.
inline std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string CommandLine(const std::string& program, const std::vector<std::string>& args) {
    std::string cmd = Quote(program);
    for (const std::string& a : args) cmd += " " + Quote(a);
    return cmd;
}

// An empty folder named after the running test, inside the process's temporary directory.
inline fs::path FreshTestDir(const std::string& prefix = "") {
    fs::path dir = fs::path(plat::TempDir()) /
                   (prefix + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// Runs a shell command line with its standard output and error captured in files of dir;
// gives the exit code, or -1 when the program did not exit normally.
inline int RunCommand(const std::string& commandLine, const fs::path& dir, std::string* out, std::string* err) {
    const std::string cmd = commandLine + " >" + Quote((dir / "out").string()) + " 2>" + Quote((dir / "err").string());
    const int status = std::system(cmd.c_str());
    if (out) *out = Slurp(dir / "out");
    if (err) *err = Slurp(dir / "err");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A sanitizer's report in a tool's error output.
inline bool SanitizerReport(const std::string& err) {
    return err.find("Sanitizer") != std::string::npos || err.find("runtime error") != std::string::npos;
}

}  // namespace tooltest
