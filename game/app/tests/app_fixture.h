// Shared set-up of the shell's tests: a private working directory holding the least install,
// a fresh headless platform with a registry of its own, the
// stand-ins' call trace switched on (the input, sound and CD modules report into it too), process
// exits turned into ProcessExit exceptions, and the shell's and the interface's globals back at
// their start values.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

struct ProcessExit {
    int code;
};

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs body, which must end the process; the exit code, or -1 (and a failure) when it returns.
    static int ExitCodeOf(const std::function<void()>& body);
    // Loads a headless input script (see the platform's script format); resets the platform, so
    // call it before any window exists.
    void UseInputScript(const std::string& script);
    // Registers the shell's window class and creates the main window, as start-up step 1 does.
    static void CreateMainWindow();
    // The trace entries from the first one equal to `from` (inclusive) on.
    static std::vector<std::string> TraceFrom(const std::string& from);
    // The trace without the interface's picture loads ("DSP_LoadBitmap(GRAPHICS\INTERFACE\...)"),
    // which the interface start-up makes in one run; and that run alone.
    static std::vector<std::string> ShellTrace();
    static std::vector<std::string> InterfacePictureLoads();

    std::string dir_;  // a private directory for this test's files, and the working directory
    std::string previousDir_;
};

// Writes into dir the least install the game starts from: a data.muf, the default palette
// "def_pal.bin" and the fallback texture "deftxtr.bmp".
void WriteMinimalInstall(const std::string& dir);

// What the shutdown sequence records through the stand-ins, in order (without a level).
extern const std::vector<std::string> kShutdownCalls;
