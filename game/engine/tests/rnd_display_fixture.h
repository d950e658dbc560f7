// Shared set-up of the display tests: a headless platform with the default display driver, a
// window to be exclusive with, the stand-ins' call trace on (the display reports into it too), a
// private directory as the current one (for palette and picture files), and at the end a
// released display with no surface, palette, device or counted block left behind.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/lnd_light.h"
#include "engine/rnd_trace.h"
#include "ddraw.h"
#include "plat.h"
#include "engine/rnd_display.h"
#include "engine/rnd_bitmap.h"
#include "engine/rnd_clip.h"
#include "engine/rnd_projection.h"
#include "engine/rnd_state.h"
#include "engine/rnd_states.h"
#include "common/calltrace.h"
#include "win32.h"
#include "world/game_frame.h"

class DisplayFixture : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("PLATFORM_BACKEND", "headless", 1);
        for (const char* name : {"PLATFORM_FRAMES", "PLATFORM_INPUT", "PLATFORM_SCREENSHOT"})
            unsetenv(name);
        plat::ResetForTests();
        plat::SetDisplayDrivers(plat::DefaultDisplayDrivers());
        TRC_ResetAll();
        TRC_TraceEnable(true);
        DSP_SetCallTrace([](const char* entry) { TRC_Trace(entry); });
        LND_SetCallTrace([](const char* entry) { TRC_Trace(entry); });
        RND_SetCallTrace([](const char* entry) { TRC_Trace(entry); });
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        for (char& c : name)
            if (c == '/')
                c = '_';
        dir_ = plat::TempDir() + "/" + name;
        std::filesystem::create_directories(dir_);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);

        g_Rnd.hardwareAllowed = 1;
        g_Rnd.hardwareDevice = 1;
        g_Rnd.canBlendAdditive = 0;
        g_Rnd.modeRow = 0;
        g_DspDisplayReady = 0;
        g_DspWidth = g_DspHeight = g_DspBitsPerPixel = 0;
        DSP_SetPaletteFileName("def_pal.bin");
        DSP_SetDesignSize(640, 480);
        blocks_ = g_Rnd.liveBlocks;

        WNDCLASSEXA cls{};
        cls.lpfnWndProc = DefWindowProcA;
        cls.lpszClassName = "DisplayFixture";
        RegisterClassExA(&cls);
        window = CreateWindowExA(0, "DisplayFixture", "display", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
    }

    void TearDown() override {
        DSP_Release(window);
        DSP_SetCallTrace(nullptr);
        LND_SetCallTrace(nullptr);
        RND_SetCallTrace(nullptr);
        EXPECT_EQ(plat::LiveDisplayObjects(), 0) << "a surface, palette or device was not released";
        EXPECT_EQ(g_Rnd.liveBlocks, blocks_) << "a counted block was not freed";
        std::filesystem::current_path(previous_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        plat::SetDisplayDrivers(plat::DefaultDisplayDrivers());
        DSP_SetPaletteFileName("def_pal.bin");
        DSP_SetDesignSize(640, 480);
        g_GraphicsReady = 0;
        TRC_ResetAll();
        plat::ResetForTests();
    }

    // The display as the start-up makes it (640 x 480), then, for another mode, the renderer's mode
    // switch: the mode row first, then the mode.
    void OpenDisplay(int width, int height, int bits) {
        ASSERT_EQ(DSP_CreateDevice(window), 1);
        if (width != g_DspWidth || height != g_DspHeight || bits != g_DspBitsPerPixel) {
            g_Rnd.modeRow = DSP_FindMode(width, height, bits);
            ASSERT_EQ(DSP_SetMode(width, height, bits), 1);
        }
        ASSERT_EQ(RND_GetBitDepth(), bits);
    }

    // A pixel of a surface (8 or 16 bits).
    static uint32_t PixelOf(IDirectDrawSurface3* surface, int x, int y) {
        DDSURFACEDESC d{};
        d.dwSize = sizeof d;
        if (surface->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK)
            return 0xFFFFFFFFu;
        const auto* row = static_cast<const uint8_t*>(d.lpSurface) + size_t(y) * size_t(d.lPitch);
        uint32_t v = row[x];
        if (d.ddpfPixelFormat.dwRGBBitCount == 16)
            v = uint32_t(row[x * 2]) | (uint32_t(row[x * 2 + 1]) << 8);
        surface->Unlock(nullptr);
        return v;
    }

    // A pixel of the last presented frame, 0x00RRGGBB.
    static uint32_t Shown(int x, int y) {
        const uint32_t* frame = nullptr;
        int width = 0, height = 0;
        if (!plat::LastFrame(&frame, &width, &height) || x >= width || y >= height)
            return 0xFFFFFFFFu;
        return frame[size_t(y) * size_t(width) + size_t(x)];
    }

    HWND window = nullptr;
    std::string dir_;

private:
    std::filesystem::path previous_;
    int32_t blocks_ = 0;
};
