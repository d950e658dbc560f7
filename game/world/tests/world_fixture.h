// Shared set-up of the world's tests: a fresh headless world from the harness for every test, and
// a way to run code that must end the process (the fatal-error screen) and read what it printed.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "plat.h"
#include "world_harness.h"

struct WorldExit {
    int code;
};

class WorldTest : public ::testing::Test {
protected:
    void SetUp() override { WH_Reset(); }
    void TearDown() override {
        plat::SetExitHook(nullptr);
        WH_Release();
    }

    // Runs body, which must end the process: true when it did; stderr receives what it printed.
    static bool EndsTheProcess(const std::function<void()>& body, std::string* err) {
        plat::SetExitHook([](int code) { throw WorldExit{code}; });
        ::testing::internal::CaptureStderr();
        bool ended = false;
        try {
            body();
        } catch (const WorldExit&) {
            ended = true;
        }
        *err = ::testing::internal::GetCapturedStderr();
        plat::SetExitHook(nullptr);
        return ended;
    }
};
