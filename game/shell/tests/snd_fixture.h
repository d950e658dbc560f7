// Shared set-up of the sound tests: a headless platform whose audio output is captured from a known
// time, a private registry and working directory (the archive layer finds "sounds.muf" and loose
// files there), a main window, the tracked heap armed, and helpers that write .aud files.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "datakit/aud.h"
#include "datakit/bytes.h"
#include "datakit/muf_writer.h"
#include "audio_out.h"
#include "dsound.h"
#include "plat.h"
#include "registry.h"
#include "common/app_services.h"
#include "common/match.h"
#include "common/mem.h"
#include "common/muf.h"
#include "shell/snd.h"
#include "shell/snd_device.h"
#include "ui/gui.h"

namespace sndtest {

// A 16-bit mono 44100 Hz sound of `frames` equal samples: at that rate the output carries the
// samples unchanged, so a capture shows the gain exactly.
inline dk::AudSound Constant(int16_t value, size_t frames) {
    dk::AudSound s;
    s.channels = 1;
    s.rate = 44100;
    s.bits = 16;
    dk::Bytes b;
    for (size_t i = 0; i < frames; ++i)
        b.i16(value);
    s.data = b.data;
    return s;
}

// The gain of an attenuation in hundredths of a decibel.
inline double Gain(int attenuation) {
    return attenuation <= -10000 ? 0.0 : std::pow(10.0, attenuation / 2000.0);
}

LRESULT SoundTestProc(HWND w, UINT m, WPARAM wp, LPARAM lp);

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        for (char& c : name)
            if (c == '/')
                c = '_';
        dir_ = std::filesystem::path(plat::TempDir()) / name;
        std::filesystem::create_directories(dir_);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);

        setenv("PLATFORM_BACKEND", "headless", 1);
        unsetenv("PLATFORM_INPUT");
        unsetenv("PLATFORM_AUDIO_OUT");
        plat::SetRegistryPath((dir_ / "registry.ini").string());
        plat::ResetForTests();
        plat::SetVirtualTime(1000);
        plat::AudioOutResetForTests(true);
        MEM_ResetTracker();

        WNDCLASSEXA cls = {};
        cls.cbSize = sizeof cls;
        cls.lpfnWndProc = SoundTestProc;
        cls.lpszClassName = "SoundTest";
        RegisterClassExA(&cls);
        g_MainWindow = CreateWindowExA(0, "SoundTest", "", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);

        g_Match.mpGameRunning = 0;
        g_Match.inLevel = 0;
        g_Match.halted = 0;
        g_Match.levelWon = 0;
        g_Match.levelFailed = 0;
        g_Match.localSlot = 0;
        for (float& v : g_SndListener)
            v = 0.0f;
    }

    void TearDown() override {
        SND_ShutdownDevice();
        EXPECT_EQ(plat::DsoundLiveBuffers(), 0) << "every buffer is released";
        EXPECT_EQ(plat::DsoundLiveObjects(), 0);
        EXPECT_EQ(g_SndLoadedBytes, 0u);
        MUF_CloseAll();
        MEM_FreeAll();
        g_MainWindow = nullptr;
        plat::AudioOutResetForTests(false);
        plat::ResetForTests();
        std::filesystem::current_path(previous_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    // Writes a loose file under the working directory (a game path with backslashes).
    void PutFile(const std::string& gamePath, const std::vector<uint8_t>& bytes) {
        std::string path = gamePath;
        for (char& c : path)
            if (c == '\\')
                c = '/';
        ASSERT_TRUE(dk::WriteFile((dir_ / path).string(), bytes)) << path;
    }

    // Writes "sounds.muf" with these entries and opens the archive layer on it.
    void PutArchive(const std::vector<dk::MufFile>& files) {
        ASSERT_TRUE(dk::WriteMuf((dir_ / "sounds.muf").string(), files));
    }

    // Opens the archive layer (it opens "sounds.muf" here when it exists) and the sound device.
    void Start() {
        MUF_Init();
        ASSERT_EQ(g_MufReady, 1);
        ASSERT_EQ(SND_InitDevice(g_MainWindow), 1);
    }

    // The stereo frames captured since the test began (left channel).
    static std::vector<int16_t> Left() {
        const std::vector<int16_t> all = plat::AudioOutCaptured();
        std::vector<int16_t> left;
        for (size_t i = 0; i < all.size(); i += 2)
            left.push_back(all[i]);
        return left;
    }

    std::filesystem::path dir_;
    std::filesystem::path previous_;
};

inline LRESULT SoundTestProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(w, m, wp, lp);
}

}  // namespace sndtest
