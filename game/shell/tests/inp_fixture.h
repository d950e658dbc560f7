// Test fixture of the input tests: the headless platform, reset, and a plain window for the input
// module to attach to; the module is shut down and must leave no DirectInput object behind.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>

#include "dinput.h"
#include "plat.h"
#include "shell/inp.h"
#include "win32.h"

namespace inptest {

inline LRESULT PlainWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(w, m, wp, lp);
}

class InputWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("PLATFORM_BACKEND", "headless", 1);
        unsetenv("PLATFORM_INPUT");
        plat::ResetForTests();
        WNDCLASSEXA cls = {};
        cls.cbSize = sizeof cls;
        cls.lpfnWndProc = PlainWindowProc;
        cls.lpszClassName = "InputTest";
        RegisterClassExA(&cls);
        window = CreateWindowExA(0, "InputTest", "", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        INP_Shutdown();
        EXPECT_EQ(plat::DinputLiveObjects(), 0);
        plat::ResetForTests();
    }
    HWND window = nullptr;
};

}  // namespace inptest
