// CD music: the command strings each operation sends (read back from the CD drive's command
// log, with the window each names), the module state after each step, and whole runs on the
// drive: a looping track restarted by its own notification through the main window, and the stop
// and resume around a movie.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "mmsystem.h"
#include "plat.h"
#include "common/app_services.h"
#include "shell/cda.h"
#include "win32.h"

namespace {

LRESULT CdaTestProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == MM_MCINOTIFY)
        CDA_OnNotify(wp);
    return DefWindowProcA(w, m, wp, lp);
}

class CdaTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("PLATFORM_BACKEND", "headless", 1);
        unsetenv("PLATFORM_INPUT");
        plat::ResetForTests();
        plat::SetVirtualTime(1000);
        plat::CdSetDisc(true, 10, 2000);
        WNDCLASSEXA cls = {};
        cls.cbSize = sizeof cls;
        cls.lpfnWndProc = CdaTestProc;
        cls.lpszClassName = "CdaTest";
        RegisterClassExA(&cls);
        g_MainWindow = CreateWindowExA(0, "CdaTest", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        g_CdaOpen = g_CdaPlaying = g_CdaLooping = g_CdaTrackFinished = 0;
        g_CdaFirstTrack = g_CdaLastTrack = 0;
    }
    void TearDown() override {
        CDA_Stop();
        CDA_Close();
        g_MainWindow = nullptr;
        plat::ResetForTests();
    }

    // The commands sent since the last look: "text" for no window, "text -> main" for the main
    // window, with " !" when the drive refused it.
    std::vector<std::string> Sent() {
        std::vector<std::string> out;
        for (const plat::CdCommand& c : plat::CdCommandLog()) {
            std::string line = c.command;
            if (c.callback)
                line += c.callback == g_MainWindow ? " -> main" : " -> other";
            if (c.result)
                line += " !";
            out.push_back(line);
        }
        plat::CdClearLog();
        return out;
    }

    // Runs the messages waiting for the main window (the notifications).
    static void Pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
};

using Lines = std::vector<std::string>;

struct State {
    uint32_t playing, looping, finished;
    int32_t first, last;
    bool operator==(const State& o) const {
        return playing == o.playing && looping == o.looping && finished == o.finished && first == o.first &&
               last == o.last;
    }
};

void PrintTo(const State& s, std::ostream* os) {
    *os << "{playing " << s.playing << ", looping " << s.looping << ", finished " << s.finished << ", tracks "
        << s.first << ".." << s.last << "}";
}

State Now() {
    return {g_CdaPlaying, g_CdaLooping, g_CdaTrackFinished, g_CdaFirstTrack, g_CdaLastTrack};
}

TEST_F(CdaTest, EachStepSendsItsCommandsAndLeavesItsState) {
    const struct {
        const char* what;
        std::function<int()> step;
        int result;
        Lines sent;
        State after;
    } steps[] = {
        {"open", [] { CDA_Open(); return 0; }, 0, {"open cdaudio", "set cdaudio time format tmsf"}, {0, 0, 0, 0, 0}},
        {"open again", [] { CDA_Open(); return 0; }, 0, {}, {0, 0, 0, 0, 0}},
        {"stop with nothing playing", [] { return CDA_Stop(); }, 0, {}, {0, 0, 0, 0, 0}},
        {"play 3 looping", [] { return CDA_PlayTrack(3, 1); }, 0, {"play cdaudio from 3 to 4 notify -> main"},
         {1, 1, 0, 3, 3}},
        {"successful end of a looping track", [] { CDA_OnNotify(MCI_NOTIFY_SUCCESSFUL); return 0; }, 0,
         {"stop cdaudio", "play cdaudio from 3 to 4 notify -> main"}, {1, 1, 1, 3, 3}},
        {"superseded changes nothing", [] { CDA_OnNotify(MCI_NOTIFY_SUPERSEDED); return 0; }, 0, {}, {1, 1, 1, 3, 3}},
        {"aborted changes nothing", [] { CDA_OnNotify(MCI_NOTIFY_ABORTED); return 0; }, 0, {}, {1, 1, 1, 3, 3}},
        {"failure changes nothing", [] { CDA_OnNotify(MCI_NOTIFY_FAILURE); return 0; }, 0, {}, {1, 1, 1, 3, 3}},
        {"play 7 once, stopping 3", [] { return CDA_PlayTrack(7, 0); }, 0,
         {"stop cdaudio", "play cdaudio from 7 to 8 notify -> main"}, {1, 0, 0, 7, 7}},
        {"stop for a movie", [] { return CDA_Stop(); }, 1, {"stop cdaudio"}, {0, 0, 0, 7, 7}},
        {"resume after it: the track, not an empty range", [] { return CDA_Resume(); }, 0,
         {"play cdaudio from 7 to 8 notify -> main"}, {1, 0, 0, 7, 7}},
        {"resume while playing stops first", [] { return CDA_Resume(); }, 0,
         {"stop cdaudio", "play cdaudio from 7 to 8 notify -> main"}, {1, 0, 0, 7, 7}},
        {"successful end of a single play", [] { CDA_OnNotify(MCI_NOTIFY_SUCCESSFUL); return 0; }, 0, {},
         {0, 0, 1, 7, 7}},
        {"a late notification changes nothing", [] { CDA_OnNotify(MCI_NOTIFY_SUCCESSFUL); return 0; }, 0, {},
         {0, 0, 1, 7, 7}},
        {"stop after the end sends nothing", [] { return CDA_Stop(); }, 0, {}, {0, 0, 1, 7, 7}},
        {"resume keeps the finished flag", [] { return CDA_Resume(); }, 0, {"play cdaudio from 7 to 8 notify -> main"},
         {1, 0, 1, 7, 7}},
        {"the interface clears the flag", [] { CDA_SetTrackFinished(0); return int(CDA_IsTrackFinished()); }, 0, {},
         {1, 0, 0, 7, 7}},
        {"close", [] { CDA_Close(); return 0; }, 0, {"close cdaudio"}, {1, 0, 0, 7, 7}},
        {"close again", [] { CDA_Close(); return 0; }, 0, {}, {1, 0, 0, 7, 7}},
        {"a play is sent even when closed", [] { return CDA_PlayTrack(2, 1); }, 0,
         {"stop cdaudio !", "play cdaudio from 2 to 3 notify -> main !"}, {1, 1, 0, 2, 2}},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(s.step(), s.result) << s.what;
        EXPECT_EQ(Sent(), s.sent) << s.what;
        EXPECT_EQ(Now(), s.after) << s.what;
    }
}

TEST_F(CdaTest, OpeningClearsTheFinishedFlag) {
    g_CdaTrackFinished = 1;
    CDA_Open();
    EXPECT_EQ(CDA_IsTrackFinished(), 0u);
    CDA_SetTrackFinished(1);
    EXPECT_EQ(CDA_IsTrackFinished(), 1u);
}

TEST_F(CdaTest, ALoopingTrackRestartsItselfThroughTheMainWindow) {
    CDA_Open();
    CDA_PlayTrack(3, 1);
    Sent();
    for (int pass = 1; pass <= 3; ++pass) {
        plat::AdvanceVirtualTime(1999);
        Pump();
        EXPECT_EQ(Sent(), Lines{}) << pass;
        plat::AdvanceVirtualTime(1);
        Pump();
        EXPECT_EQ(Sent(), (Lines{"stop cdaudio", "play cdaudio from 3 to 4 notify -> main"})) << pass;
        EXPECT_EQ(CDA_IsTrackFinished(), 1u);
        int from = 0, to = 0;
        ASSERT_TRUE(plat::CdPlaying(&from, &to));
        EXPECT_EQ(from, 3);
        EXPECT_EQ(to, 4);
        CDA_SetTrackFinished(0);
    }
}

TEST_F(CdaTest, MusicStopsForAMovieAndGoesOnAfterIt) {
    CDA_Open();
    CDA_PlayTrack(6, 1);
    plat::AdvanceVirtualTime(500);
    Pump();
    ASSERT_EQ(CDA_Stop(), 1);
    Pump();  // the stop's aborted notification changes nothing
    EXPECT_EQ(g_CdaPlaying, 0u);
    EXPECT_FALSE(plat::CdPlaying(nullptr, nullptr));
    plat::AdvanceVirtualTime(10000);  // the movie
    Pump();
    EXPECT_EQ(CDA_Resume(), 0);
    Pump();
    int from = 0, to = 0;
    ASSERT_TRUE(plat::CdPlaying(&from, &to)) << "the drive plays the remembered track again";
    EXPECT_EQ(from, 6);
    EXPECT_EQ(to, 7);
    for (const plat::CdCommand& c : plat::CdCommandLog())
        EXPECT_EQ(c.result, 0u) << c.command;
    // It still loops.
    plat::AdvanceVirtualTime(2000);
    Pump();
    EXPECT_TRUE(plat::CdPlaying(nullptr, nullptr));
    EXPECT_EQ(CDA_IsTrackFinished(), 1u);
}

TEST_F(CdaTest, WithoutADiscPlayingStaysSetUntilStopped) {
    plat::CdSetDisc(false, 10, 2000);
    CDA_Open();
    CDA_PlayTrack(3, 1);
    plat::AdvanceVirtualTime(100000);
    Pump();
    EXPECT_EQ(g_CdaPlaying, 1u);
    EXPECT_EQ(CDA_IsTrackFinished(), 0u);
    Sent();
    EXPECT_EQ(CDA_Stop(), 1);
    EXPECT_EQ(Sent(), Lines{"stop cdaudio"});
}

TEST_F(CdaTest, TheCallsAreTraced) {
    static std::vector<std::string>* sink = nullptr;
    std::vector<std::string> calls;
    sink = &calls;
    CDA_SetCallTrace([](const char* entry) { sink->push_back(entry); });
    CDA_Open();
    CDA_PlayTrack(6, 1);
    CDA_OnNotify(2);
    CDA_Stop();
    CDA_Resume();
    CDA_Close();
    CDA_SetCallTrace(nullptr);
    EXPECT_EQ(calls, (Lines{"CDA_Open", "CDA_PlayTrack(6,1)", "CDA_OnNotify(2)", "CDA_Stop", "CDA_Resume",
                            "CDA_Close"}));
}

}  // namespace
