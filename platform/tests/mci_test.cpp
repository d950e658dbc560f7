// The "cdaudio" command strings: what each command answers, the command log, the notifications
// a play ends with (successful, superseded, aborted, failure) on the platform clock, tracks read
// from wave files (one written byte by byte below) and heard in the audio output, and commands
// sent while another thread mixes.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "audio_out.h"
#include "mmsystem.h"
#include "platform_fixture.h"
#include "win32.h"

namespace {

// A wave file written out byte by byte from the RIFF layout: 16-bit mono PCM at 8000 Hz, an
// odd-sized chunk the reader must step over (with its pad byte), and 8 samples of 1000.
const std::vector<uint8_t> kHandWave = {
    0x52, 0x49, 0x46, 0x46, 0x40, 0x00, 0x00, 0x00,  // "RIFF", 64 bytes follow
    0x57, 0x41, 0x56, 0x45,                          // "WAVE"
    0x66, 0x6D, 0x74, 0x20, 0x10, 0x00, 0x00, 0x00,  // "fmt ", 16 bytes
    0x01, 0x00, 0x01, 0x00,                          // PCM, 1 channel
    0x40, 0x1F, 0x00, 0x00, 0x80, 0x3E, 0x00, 0x00,  // 8000 Hz, 16000 bytes/s
    0x02, 0x00, 0x10, 0x00,                          // align 2, 16 bits
    0x6A, 0x75, 0x6E, 0x6B, 0x03, 0x00, 0x00, 0x00,  // "junk", 3 bytes
    0x41, 0x42, 0x43, 0x00,                          // "ABC" and the pad byte
    0x64, 0x61, 0x74, 0x61, 0x10, 0x00, 0x00, 0x00,  // "data", 16 bytes
    0xE8, 0x03, 0xE8, 0x03, 0xE8, 0x03, 0xE8, 0x03,  // 1000 x 8
    0xE8, 0x03, 0xE8, 0x03, 0xE8, 0x03, 0xE8, 0x03,
};

std::vector<std::pair<WPARAM, LPARAM>> g_Notes;

LRESULT NoteProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == MM_MCINOTIFY)
        g_Notes.push_back({wp, lp});
    return DefWindowProcA(w, m, wp, lp);
}

// Runs in a directory and goes back when the test ends, also after a failed assertion.
struct WorkingDirectory {
    explicit WorkingDirectory(const std::string& dir) : previous(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~WorkingDirectory() { std::filesystem::current_path(previous); }
    std::filesystem::path previous;
};

class MciTest : public plattest::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        g_Notes.clear();
        WNDCLASSEXA cls{};
        cls.cbSize = sizeof cls;
        cls.lpfnWndProc = NoteProc;
        cls.lpszClassName = "MciTest";
        RegisterClassExA(&cls);
        window = CreateWindowExA(0, "MciTest", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        plat::SetVirtualTime(5000);
        plat::CdSetDisc(true, 10, 1000);
    }
    void TearDown() override {
        plat::CdResetForTests();
        HeadlessTest::TearDown();
    }

    MCIERROR Send(const char* command, HWND callback = nullptr) {
        return mciSendStringA(command, nullptr, 0, callback);
    }
    void OpenTmsf() {
        ASSERT_EQ(Send("open cdaudio"), 0u);
        ASSERT_EQ(Send("set cdaudio time format tmsf"), 0u);
    }
    // Dispatches what has been posted; the notification codes received since the last call.
    std::vector<WPARAM> Notes() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        std::vector<WPARAM> codes;
        for (auto& [code, device] : g_Notes) {
            EXPECT_EQ(device, 1) << "the device id";
            codes.push_back(code);
        }
        g_Notes.clear();
        return codes;
    }

    HWND window = nullptr;
};

using Codes = std::vector<WPARAM>;

TEST_F(MciTest, CommandsAnswerAsTheDeviceAllowsAndAreLogged) {
    const struct {
        const char* command;
        MCIERROR result;
    } steps[] = {
        {"play cdaudio from 1 to 2 notify", MCIERR_INVALID_DEVICE_NAME},  // not open
        {"stop cdaudio", MCIERR_INVALID_DEVICE_NAME},
        {"open cdaudio", 0},
        {"open cdaudio", MCIERR_DEVICE_OPEN},
        {"play cdaudio from 2 to 3", MCIERR_UNSUPPORTED_FUNCTION},  // still in msf
        {"Set CDAudio Time Format TMSF", 0},
        {"set cdaudio time format frames", MCIERR_UNRECOGNIZED_KEYWORD},
        {"play cdaudio from 0 to 1", MCIERR_OUTOFRANGE},
        {"play cdaudio from 5 to 4", MCIERR_OUTOFRANGE},
        {"play cdaudio from 10 to 12", MCIERR_OUTOFRANGE},
        {"play cdaudio from 10 to 11", 0},  // to the end of the disc
        {"play cdaudio from x to 3", MCIERR_BAD_INTEGER},
        {"play cdaudio from", MCIERR_MISSING_PARAMETER},
        {"play cdaudio loudly", MCIERR_UNRECOGNIZED_KEYWORD},
        {"play waveaudio from 1 to 2", MCIERR_INVALID_DEVICE_NAME},
        {"eject cdaudio", MCIERR_UNRECOGNIZED_COMMAND},
        {"", MCIERR_UNRECOGNIZED_COMMAND},
        {"stop   cdaudio", 0},
        {"close cdaudio", 0},
        {"close cdaudio", MCIERR_INVALID_DEVICE_NAME},
    };
    for (const auto& step : steps)
        EXPECT_EQ(Send(step.command, window), step.result) << step.command;
    const std::vector<plat::CdCommand> log = plat::CdCommandLog();
    ASSERT_EQ(log.size(), std::size(steps));
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].command, steps[i].command);
        EXPECT_EQ(log[i].result, steps[i].result);
        EXPECT_EQ(log[i].callback, window);
    }
    EXPECT_EQ(Notes(), Codes{}) << "nothing notified";
    char answer[8] = "x";
    EXPECT_EQ(mciSendStringA("open cdaudio", answer, sizeof answer, nullptr), 0u);
    EXPECT_STREQ(answer, "");
    plat::CdClearLog();
    EXPECT_TRUE(plat::CdCommandLog().empty());
}

TEST_F(MciTest, APlayNotifiesItsWindowWhenItsTracksHavePlayed) {
    OpenTmsf();
    ASSERT_EQ(Send("play cdaudio from 3 to 5 notify", window), 0u);
    int from = 0, to = 0;
    EXPECT_TRUE(plat::CdPlaying(&from, &to));
    EXPECT_EQ(from, 3);
    EXPECT_EQ(to, 5);
    plat::AdvanceVirtualTime(1999);
    EXPECT_EQ(Notes(), Codes{});
    EXPECT_TRUE(plat::CdPlaying(nullptr, nullptr));
    plat::AdvanceVirtualTime(1);
    EXPECT_EQ(Notes(), Codes{MCI_NOTIFY_SUCCESSFUL});
    EXPECT_FALSE(plat::CdPlaying(nullptr, nullptr));
    EXPECT_EQ(Send("stop cdaudio"), 0u);
    EXPECT_EQ(Notes(), Codes{}) << "a stop after the end aborts nothing";

    // Without "notify" the end is silent.
    ASSERT_EQ(Send("play cdaudio from 3 to 4", window), 0u);
    plat::AdvanceVirtualTime(1000);
    EXPECT_EQ(Notes(), Codes{});
    EXPECT_FALSE(plat::CdPlaying(nullptr, nullptr));
}

TEST_F(MciTest, ReplacedStoppedAndClosedPlaysSaySo) {
    const struct {
        const char* name;
        std::vector<const char*> commands;  // the first is sent with the window
        Codes expected;
    } cases[] = {
        {"another notifying play supersedes", {"play cdaudio from 3 to 4 notify", "play cdaudio from 2 to 3 notify"},
         {MCI_NOTIFY_SUPERSEDED}},
        {"a plain play aborts", {"play cdaudio from 3 to 4 notify", "play cdaudio from 2 to 3"}, {MCI_NOTIFY_ABORTED}},
        {"a stop aborts", {"play cdaudio from 3 to 4 notify", "stop cdaudio"}, {MCI_NOTIFY_ABORTED}},
        {"a close aborts", {"play cdaudio from 3 to 4 notify", "close cdaudio"}, {MCI_NOTIFY_ABORTED}},
        {"an empty range ends at once", {"play cdaudio from 3 to 3 notify"}, {MCI_NOTIFY_SUCCESSFUL}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OpenTmsf();
        for (size_t i = 0; i < c.commands.size(); ++i)
            EXPECT_EQ(Send(c.commands[i], i == 0 ? window : nullptr), 0u) << c.commands[i];
        EXPECT_EQ(Notes(), c.expected);
        Send("close cdaudio");
        Notes();
    }
}

TEST_F(MciTest, WithoutADiscPlaysFailAndNothingIsNotified) {
    plat::CdSetDisc(false, 10, 1000);
    OpenTmsf();
    EXPECT_EQ(Send("play cdaudio from 3 to 4 notify", window), static_cast<MCIERROR>(MCIERR_DEVICE_NOT_READY));
    plat::AdvanceVirtualTime(100000);
    EXPECT_EQ(Notes(), Codes{});
    EXPECT_FALSE(plat::CdPlaying(nullptr, nullptr));
    EXPECT_EQ(Send("stop cdaudio"), 0u);
}

TEST_F(MciTest, TrackFilesAreHeardAndTimedByTheirLength) {
    namespace fs = std::filesystem;
    WorkingDirectory cwd(scratch);
    fs::create_directories("Music");
    auto put = [](const char* name, const std::vector<uint8_t>& bytes) {
        plattest::WriteText(name, std::string(bytes.begin(), bytes.end()));
    };
    put("Music/TRACK02.WAV", kHandWave);  // found without regard to case
    std::vector<uint8_t> cut = kHandWave;
    cut[0x34] = 0xE8;                     // the data chunk claims 1000 bytes; 16 are there
    cut[0x35] = 0x03;
    put("Music/track05.wav", cut);
    put("Music/track04.wav", std::vector<uint8_t>{'R', 'I', 'F', 'F', 1, 2, 3});

    plat::AudioOutResetForTests(true);
    OpenTmsf();
    ASSERT_EQ(Send("play cdaudio from 2 to 3 notify", window), 0u);
    plat::AdvanceVirtualTime(1);  // 8 samples at 8000 Hz
    EXPECT_EQ(Notes(), Codes{MCI_NOTIFY_SUCCESSFUL});
    plat::AdvanceVirtualTime(1);
    std::vector<int16_t> out = plat::AudioOutCaptured();
    ASSERT_EQ(out.size(), 2u * 88);
    for (size_t f = 0; f < 88; ++f) {
        const int16_t expected = f < 44 ? 1000 : 0;  // 8 samples = 44 frames at 44100 Hz
        ASSERT_EQ(out[2 * f], expected) << f;
        ASSERT_EQ(out[2 * f + 1], expected) << f;
    }

    // A data chunk cut short plays what is there.
    ASSERT_EQ(Send("play cdaudio from 5 to 6 notify", window), 0u);
    plat::AdvanceVirtualTime(1);
    EXPECT_EQ(Notes(), Codes{MCI_NOTIFY_SUCCESSFUL});

    // A file that is no wave: the play is taken and fails.
    ASSERT_EQ(Send("play cdaudio from 4 to 5 notify", window), 0u);
    EXPECT_EQ(Notes(), Codes{MCI_NOTIFY_FAILURE});
    EXPECT_FALSE(plat::CdPlaying(nullptr, nullptr));

    // Tracks without files are silent for their configured length.
    const size_t heard = plat::AudioOutCaptured().size();
    ASSERT_EQ(Send("play cdaudio from 3 to 4 notify", window), 0u);
    plat::AdvanceVirtualTime(999);
    EXPECT_EQ(Notes(), Codes{});
    plat::AdvanceVirtualTime(1);
    EXPECT_EQ(Notes(), Codes{MCI_NOTIFY_SUCCESSFUL});
    out = plat::AudioOutCaptured();
    for (size_t i = heard; i < out.size(); ++i)
        ASSERT_EQ(out[i], 0) << i;

    Send("close cdaudio");
    plat::AudioOutResetForTests(false);
}

TEST_F(MciTest, CommandsWhileAnotherThreadMixes) {
    namespace fs = std::filesystem;
    WorkingDirectory cwd(scratch);
    fs::create_directories("music");
    const std::vector<int16_t> tone(2000, 1200);  // 250 ms at 8000 Hz
    ASSERT_TRUE(plat::WriteWav("music/track02.wav", 8000, 1, tone.data(), tone.size()));
    plat::AudioOutResetForTests(true);
    std::atomic<bool> done{false};
    std::thread mixer([&] {
        while (!done.load()) {
            plat::AudioOutCaptured();
            std::this_thread::yield();
        }
    });
    OpenTmsf();
    for (int i = 0; i < 200; ++i) {
        Send("play cdaudio from 2 to 3 notify", window);
        plat::AdvanceVirtualTime(7);
        plat::CdPlaying(nullptr, nullptr);
        if (i % 3 == 0)
            Send("stop cdaudio");
    }
    done = true;
    mixer.join();
    Send("close cdaudio");
    EXPECT_FALSE(Notes().empty());
    plat::AudioOutResetForTests(false);
}

}  // namespace
