// The sdl backend cannot be watched here (no display), but SDL's offscreen "dummy" video driver
// still lets it open its window, take frames and pump events; this runs that path end to end.
#include <gtest/gtest.h>

#include <vector>

#include "platform_fixture.h"
#include "win32.h"

namespace {
using plattest::HeadlessTest;

LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(w, m, wp, lp);
}

class SdlBackendTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("PLATFORM_BACKEND", "sdl", 1);
        testing::internal::CaptureStderr();
        plat::ResetForTests();
        testing::internal::GetCapturedStderr();
        if (plat::CurrentBackend() != plat::Backend::Sdl)
            GTEST_SKIP() << "built without SDL2";
    }
    void TearDown() override {
        setenv("PLATFORM_BACKEND", "headless", 1);
        unsetenv("SDL_VIDEODRIVER");
        HeadlessTest::TearDown(); // closes the SDL window again
    }
};

TEST_F(SdlBackendTest, OpensAWindowShowsFramesAndPumpsEvents) {
    setenv("PLATFORM_FRAMES", "2", 1);
    plat::ResetForTests();
    WNDCLASSEXA cls{};
    cls.lpfnWndProc = Proc;
    cls.lpszClassName = "DirectXShell";
    ASSERT_NE(RegisterClassExA(&cls), 0);
    HWND w = CreateWindowExA(0, "DirectXShell", "Ghoulden", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(plat::CurrentBackend(), plat::Backend::Sdl) << "the dummy driver opened the window";
    EXPECT_TRUE(plat::InteractiveInput());
    std::vector<uint32_t> frame(320 * 240, 0x00336699);
    plat::PresentFrame(frame.data(), 320, 240);
    std::vector<uint32_t> bigger(640 * 480, 0x00FFFFFF);
    plat::PresentFrame(bigger.data(), 640, 480); // a new size makes a new texture
    MSG m{};
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) << "the frame limit works on every backend";
    EXPECT_EQ(m.message, static_cast<UINT>(WM_CLOSE));
    DispatchMessageA(&m);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(plat::FrameCount(), 2u);
}

TEST_F(SdlBackendTest, NoUsableVideoFallsBackToHeadless) {
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    WNDCLASSEXA cls{};
    cls.lpfnWndProc = Proc;
    cls.lpszClassName = "DirectXShell";
    RegisterClassExA(&cls);
    testing::internal::CaptureStderr();
    HWND w = CreateWindowExA(0, "DirectXShell", "Ghoulden", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_NE(w, nullptr) << "the window exists even without a screen";
    EXPECT_EQ(plat::CurrentBackend(), plat::Backend::Headless);
    EXPECT_NE(err.find("headless"), std::string::npos) << err;
    const uint32_t black = 0;
    plat::PresentFrame(&black, 1, 1);
    EXPECT_EQ(GetTickCount(), plat::kHeadlessFrameMs) << "virtual time from here on";
}

}  // namespace
