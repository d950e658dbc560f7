// The audio output and the waveOut devices on the headless backend: positions follow virtual
// time, looping headers, pause and reset, the device controls, the tap and the mixed capture.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include <unistd.h>

#include "audio_out.h"
#include "mmsystem.h"
#include "plat.h"

namespace {

class WaveOutTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::ResetForTests();
        plat::WaveOutResetForTests();
        plat::SetVirtualTime(1000);
        plat::AudioOutResetForTests(true);  // the output starts here
    }
    void TearDown() override { plat::WaveOutResetForTests(); }

    static WAVEFORMATEX Format(uint32_t rate, uint16_t channels, uint16_t bits) {
        WAVEFORMATEX f{};
        f.wFormatTag = WAVE_FORMAT_PCM;
        f.nChannels = channels;
        f.nSamplesPerSec = rate;
        f.wBitsPerSample = bits;
        f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
        f.nAvgBytesPerSec = rate * f.nBlockAlign;
        return f;
    }

    static DWORD PositionBytes(HWAVEOUT h) {
        MMTIME t{};
        t.wType = TIME_BYTES;
        EXPECT_EQ(waveOutGetPosition(h, &t, sizeof t), MMSYSERR_NOERROR);
        EXPECT_EQ(t.wType, static_cast<UINT>(TIME_BYTES));
        return t.u.cb;
    }
};

TEST_F(WaveOutTest, LoopingHeaderPlaysTotalBytesWithVirtualTime) {
    WAVEFORMATEX f = Format(44100, 2, 16);
    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, 0, &f, 0, 0, 0), MMSYSERR_NOERROR);
    std::vector<int16_t> ring(2 * 441, 0);  // 10 ms of frames
    WAVEHDR hdr{};
    hdr.lpData = reinterpret_cast<LPSTR>(ring.data());
    hdr.dwBufferLength = static_cast<DWORD>(ring.size() * 2);
    hdr.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    hdr.dwLoops = 1000000;
    ASSERT_EQ(waveOutPrepareHeader(h, &hdr, sizeof hdr), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(h, &hdr, sizeof hdr), MMSYSERR_NOERROR);
    EXPECT_EQ(PositionBytes(h), 0u);
    plat::AdvanceVirtualTime(25);  // two and a half passes of the ring
    // The position counts every byte played since the start, not the offset in the ring.
    EXPECT_EQ(PositionBytes(h), 25u * 441 / 10 * 4);
    plat::AdvanceVirtualTime(1000);
    EXPECT_EQ(PositionBytes(h), 1025u * 441 / 10 * 4);

    EXPECT_EQ(waveOutUnprepareHeader(h, &hdr, sizeof hdr), static_cast<MMRESULT>(WAVERR_STILLPLAYING));
    EXPECT_EQ(waveOutClose(h), static_cast<MMRESULT>(WAVERR_STILLPLAYING));
    ASSERT_EQ(waveOutReset(h), MMSYSERR_NOERROR);
    EXPECT_TRUE(hdr.dwFlags & WHDR_DONE);
    EXPECT_EQ(PositionBytes(h), 0u);
    EXPECT_EQ(waveOutUnprepareHeader(h, &hdr, sizeof hdr), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
}

TEST_F(WaveOutTest, PauseStopsThePositionAndRestartGoesOn) {
    WAVEFORMATEX f = Format(22050, 1, 8);
    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, 0, &f, 0, 0, 0), MMSYSERR_NOERROR);
    std::vector<uint8_t> ring(22050, 0x80);
    WAVEHDR hdr{};
    hdr.lpData = reinterpret_cast<LPSTR>(ring.data());
    hdr.dwBufferLength = static_cast<DWORD>(ring.size());
    hdr.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    hdr.dwLoops = 100;
    waveOutPrepareHeader(h, &hdr, sizeof hdr);
    waveOutWrite(h, &hdr, sizeof hdr);
    plat::AdvanceVirtualTime(100);
    EXPECT_EQ(PositionBytes(h), 2205u);
    waveOutPause(h);
    plat::AdvanceVirtualTime(500);
    EXPECT_EQ(PositionBytes(h), 2205u);
    waveOutRestart(h);
    plat::AdvanceVirtualTime(100);
    EXPECT_EQ(PositionBytes(h), 4410u);
    waveOutReset(h);
    waveOutUnprepareHeader(h, &hdr, sizeof hdr);
    waveOutClose(h);
}

TEST_F(WaveOutTest, AHeaderWithoutLoopsPlaysOnceThenThePositionStops) {
    WAVEFORMATEX f = Format(11025, 1, 16);
    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, 0, &f, 0, 0, 0), MMSYSERR_NOERROR);
    std::vector<int16_t> data(1000, 7);
    WAVEHDR hdr{};
    hdr.lpData = reinterpret_cast<LPSTR>(data.data());
    hdr.dwBufferLength = 2000;
    EXPECT_EQ(waveOutWrite(h, &hdr, sizeof hdr), static_cast<MMRESULT>(WAVERR_UNPREPARED));
    waveOutPrepareHeader(h, &hdr, sizeof hdr);
    waveOutWrite(h, &hdr, sizeof hdr);
    plat::AdvanceVirtualTime(1000);
    EXPECT_EQ(PositionBytes(h), 2000u);
    EXPECT_TRUE(hdr.dwFlags & WHDR_DONE);
    EXPECT_FALSE(hdr.dwFlags & WHDR_INQUEUE);
    EXPECT_EQ(waveOutUnprepareHeader(h, &hdr, sizeof hdr), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
}

TEST_F(WaveOutTest, DeviceControlsShapeTheAnswers) {
    WAVEFORMATEX good = Format(22050, 2, 16);
    WAVEFORMATEX bad = good;
    bad.nBlockAlign = 3;
    HWAVEOUT h = nullptr;
    struct Case {
        const char* what;
        UINT device;
        const WAVEFORMATEX* format;
        MMRESULT expected;
    };
    plat::WaveOutSetDeviceCount(2);
    plat::WaveOutRefuseDevice(0, true);
    const Case cases[] = {
        {"refusing device", 0, &good, WAVERR_BADFORMAT},
        {"second device", 1, &good, MMSYSERR_NOERROR},
        {"no such device", 2, &good, MMSYSERR_BADDEVICEID},
        {"inconsistent format", 1, &bad, WAVERR_BADFORMAT},
    };
    EXPECT_EQ(waveOutGetNumDevs(), 2u);
    for (const Case& c : cases) {
        h = nullptr;
        EXPECT_EQ(waveOutOpen(&h, c.device, c.format, 0, 0, 0), c.expected) << c.what;
        if (h) {
            EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
        }
    }
    plat::WaveOutSetDeviceCount(0);
    EXPECT_EQ(waveOutGetNumDevs(), 0u);
    EXPECT_EQ(waveOutClose(nullptr), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
}

TEST_F(WaveOutTest, InjectedFailuresAndPositionFormats) {
    WAVEFORMATEX f = Format(11025, 1, 16);
    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, 0, &f, 0, 0, 0), MMSYSERR_NOERROR);
    std::vector<int16_t> ring(8000, 0);
    WAVEHDR hdr{};
    hdr.lpData = reinterpret_cast<LPSTR>(ring.data());
    hdr.dwBufferLength = 16000;
    hdr.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    hdr.dwLoops = 10;
    waveOutPrepareHeader(h, &hdr, sizeof hdr);
    waveOutWrite(h, &hdr, sizeof hdr);
    // 1234 ms are 54419 frames of the mix; device frame k starts at mix frame 4k, so 13605 of
    // the device's frames have started.
    plat::AdvanceVirtualTime(1234);

    struct Case {
        UINT type;
        DWORD step;
        DWORD expected;
    };
    const Case cases[] = {
        {TIME_BYTES, 1, 13605 * 2},
        {TIME_SAMPLES, 1, 13605},
        {TIME_MS, 1, 1234},
        {TIME_SAMPLES, 1000, 13000},  // coarse updates: whole steps of 1000 frames
        {TIME_MS, 1000, 1179},
    };
    for (const Case& c : cases) {
        plat::WaveOutSetPositionType(c.type);
        plat::WaveOutSetPositionStep(c.step);
        MMTIME t{};
        t.wType = TIME_BYTES;
        ASSERT_EQ(waveOutGetPosition(h, &t, sizeof t), MMSYSERR_NOERROR);
        EXPECT_EQ(t.wType, c.type);
        EXPECT_EQ(t.u.cb, c.expected) << "type " << c.type << " step " << c.step;
    }
    plat::WaveOutSetFailure(plat::WaveCall::GetPosition, MMSYSERR_INVALHANDLE);
    MMTIME t{};
    EXPECT_EQ(waveOutGetPosition(h, &t, sizeof t), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
    plat::WaveOutSetFailure(plat::WaveCall::GetPosition, MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutGetPosition(h, &t, sizeof t), MMSYSERR_NOERROR);
    waveOutReset(h);
    waveOutUnprepareHeader(h, &hdr, sizeof hdr);
    waveOutClose(h);
}

TEST_F(WaveOutTest, TapHearsEveryPlayedByteAndTheMixHearsTheDevice) {
    std::vector<uint8_t> tapped;
    plat::WaveOutSetTap([&](const WAVEFORMATEX& f, const uint8_t* bytes, size_t n) {
        EXPECT_EQ(f.nSamplesPerSec, 44100u);
        tapped.insert(tapped.end(), bytes, bytes + n);
    });
    WAVEFORMATEX f = Format(44100, 2, 16);
    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, 0, &f, 0, 0, 0), MMSYSERR_NOERROR);
    // A ring of 100 frames: left rises, right falls.
    std::vector<int16_t> ring;
    for (int i = 0; i < 100; ++i) {
        ring.push_back(static_cast<int16_t>(100 * i));
        ring.push_back(static_cast<int16_t>(-100 * i));
    }
    WAVEHDR hdr{};
    hdr.lpData = reinterpret_cast<LPSTR>(ring.data());
    hdr.dwBufferLength = 400;
    hdr.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    hdr.dwLoops = 3;  // 300 frames, then the device is done
    waveOutPrepareHeader(h, &hdr, sizeof hdr);
    waveOutWrite(h, &hdr, sizeof hdr);
    plat::AdvanceVirtualTime(20);  // 882 frames of time
    std::vector<int16_t> mix = plat::AudioOutCaptured();
    ASSERT_EQ(tapped.size(), 1200u);
    for (int pass = 0; pass < 3; ++pass)
        EXPECT_EQ(0, std::memcmp(&tapped[static_cast<size_t>(pass) * 400], ring.data(), 400));
    ASSERT_GE(mix.size(), 2u * 882);
    EXPECT_EQ(mix[2 * 150], 100 * 50);   // frame 150 is ring frame 50, left first
    EXPECT_EQ(mix[2 * 150 + 1], -100 * 50);
    EXPECT_EQ(mix[2 * 500], 0);          // silence after the last pass
    waveOutUnprepareHeader(h, &hdr, sizeof hdr);
    waveOutClose(h);
}

TEST_F(WaveOutTest, SlowerDevicesAreHeldInTheMix) {
    WAVEFORMATEX f = Format(22050, 1, 8);
    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, 0, &f, 0, 0, 0), MMSYSERR_NOERROR);
    std::vector<uint8_t> data = {0x80, 0xC0, 0x40, 0xFF};
    WAVEHDR hdr{};
    hdr.lpData = reinterpret_cast<LPSTR>(data.data());
    hdr.dwBufferLength = 4;
    waveOutPrepareHeader(h, &hdr, sizeof hdr);
    waveOutWrite(h, &hdr, sizeof hdr);
    plat::AdvanceVirtualTime(1);
    std::vector<int16_t> mix = plat::AudioOutCaptured();
    ASSERT_GE(mix.size(), 2u * 8);
    const int16_t expected[8] = {0, 0, 0x40 * 256, 0x40 * 256, -0x40 * 256, -0x40 * 256, 0x7F * 256, 0x7F * 256};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(mix[2 * static_cast<size_t>(i)], expected[i]) << "frame " << i;
        EXPECT_EQ(mix[2 * static_cast<size_t>(i) + 1], expected[i]) << "frame " << i;
    }
    waveOutClose(h);
}

TEST_F(WaveOutTest, HoursOfUnheardPlayWrapThePositionAt32Bits) {
    plat::AudioOutResetForTests(false);  // nobody listens: the output skips instead of mixing
    plat::AudioOutAdvance();
    WAVEFORMATEX f = Format(44100, 2, 16);
    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, 0, &f, 0, 0, 0), MMSYSERR_NOERROR);
    std::vector<int16_t> ring(2 * 66150, 0);
    WAVEHDR hdr{};
    hdr.lpData = reinterpret_cast<LPSTR>(ring.data());
    hdr.dwBufferLength = static_cast<DWORD>(ring.size() * 2);
    hdr.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    hdr.dwLoops = 1000000;
    waveOutPrepareHeader(h, &hdr, sizeof hdr);
    waveOutWrite(h, &hdr, sizeof hdr);
    const uint64_t ms = 10ull * 3600 * 1000;
    plat::AdvanceVirtualTime(static_cast<uint32_t>(ms));
    const uint64_t bytes = ms * 44100 / 1000 * 4;
    EXPECT_EQ(PositionBytes(h), static_cast<DWORD>(bytes & 0xFFFFFFFFu));
    waveOutReset(h);
    waveOutUnprepareHeader(h, &hdr, sizeof hdr);
    waveOutClose(h);
}

TEST(AudioOutFile, WhatWasPlayedIsWrittenWhenTheProcessEnds) {
    const std::string path = ::testing::TempDir() + "audio_out_exit_" + std::to_string(getpid()) + ".wav";
    std::remove(path.c_str());
    EXPECT_EXIT(
        {
            setenv("PLATFORM_AUDIO_OUT", path.c_str(), 1);
            plat::ResetForTests();
            plat::WaveOutResetForTests();
            plat::AudioOutResetForTests(false);
            plat::AudioOutAdvance();
            WAVEFORMATEX f{};
            f.wFormatTag = WAVE_FORMAT_PCM;
            f.nChannels = 1;
            f.nSamplesPerSec = 44100;
            f.wBitsPerSample = 16;
            f.nBlockAlign = 2;
            f.nAvgBytesPerSec = 88200;
            HWAVEOUT h = nullptr;
            waveOutOpen(&h, 0, &f, 0, 0, 0);
            static int16_t tone[441];
            for (int i = 0; i < 441; ++i)
                tone[i] = static_cast<int16_t>(i * 10);
            static WAVEHDR hdr{};
            hdr.lpData = reinterpret_cast<LPSTR>(tone);
            hdr.dwBufferLength = sizeof tone;
            waveOutPrepareHeader(h, &hdr, sizeof hdr);
            waveOutWrite(h, &hdr, sizeof hdr);
            plat::AdvanceVirtualTime(20);  // 882 frames: the tone, then silence
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(b.size(), 44u + 882 * 4);
    auto sample = [&](size_t frame, int channel) {
        size_t at = 44 + frame * 4 + static_cast<size_t>(channel) * 2;
        return static_cast<int16_t>(b[at] | (b[at + 1] << 8));
    };
    EXPECT_EQ(sample(100, 0), 1000);
    EXPECT_EQ(sample(100, 1), 1000);  // mono in both channels
    EXPECT_EQ(sample(440, 0), 4400);
    EXPECT_EQ(sample(441, 0), 0);
    std::remove(path.c_str());
}

// A real device mixes on its own thread; everything it touches is under the output's lock.
TEST_F(WaveOutTest, DevicesMayBeUsedWhileAnotherThreadMixes) {
    std::atomic<bool> done{false};
    std::thread mixer([&] {
        while (!done.load()) {
            plat::AudioOutAdvance();
            (void)plat::AudioOutFramesMixed();
        }
    });
    WAVEFORMATEX f = Format(22050, 2, 16);
    std::vector<int16_t> ring(2 * 2205, 100);
    for (int round = 0; round < 200; ++round) {
        HWAVEOUT h = nullptr;
        ASSERT_EQ(waveOutOpen(&h, 0, &f, 0, 0, 0), MMSYSERR_NOERROR);
        WAVEHDR hdr{};
        hdr.lpData = reinterpret_cast<LPSTR>(ring.data());
        hdr.dwBufferLength = static_cast<DWORD>(ring.size() * 2);
        hdr.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
        hdr.dwLoops = 100;
        waveOutPrepareHeader(h, &hdr, sizeof hdr);
        waveOutWrite(h, &hdr, sizeof hdr);
        plat::AdvanceVirtualTime(7);
        MMTIME t{};
        t.wType = TIME_BYTES;
        waveOutGetPosition(h, &t, sizeof t);
        EXPECT_EQ(t.u.cb % 4, 0u);
        waveOutPause(h);
        waveOutRestart(h);
        waveOutReset(h);
        waveOutUnprepareHeader(h, &hdr, sizeof hdr);
        ASSERT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
    }
    done.store(true);
    mixer.join();
}

TEST(AudioOutFile, ARunWithoutSoundStillLeavesItsSilence) {
    const std::string path = ::testing::TempDir() + "audio_out_silent_" + std::to_string(getpid()) + ".wav";
    std::remove(path.c_str());
    EXPECT_EXIT(
        {
            setenv("PLATFORM_AUDIO_OUT", path.c_str(), 1);
            plat::ResetForTests();
            plat::AudioOutResetForTests(false);  // nothing sounds from here on
            plat::AdvanceVirtualTime(100);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(b.size(), 44u + 4410 * 4);  // the whole 100 ms, silent
    EXPECT_EQ(b[40] | b[41] << 8 | b[42] << 16, 4410 * 4);
    EXPECT_EQ(std::count(b.begin() + 44, b.end(), 0), 4410 * 4);
    std::remove(path.c_str());
}

TEST(WavFile, HeaderAndSamplesAreLittleEndianLeftFirst) {
    const std::string path = ::testing::TempDir() + "audio_out_test_" + std::to_string(getpid()) + ".wav";
    const int16_t samples[4] = {1, -2, 0x1234, -32768};
    ASSERT_TRUE(plat::WriteWav(path, 22050, 2, samples, 2));
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<uint8_t> expected = {
        'R', 'I', 'F', 'F', 44, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
        1, 0, 2, 0, 0x22, 0x56, 0, 0, 0x88, 0x58, 1, 0, 4, 0, 16, 0, 'd', 'a', 't', 'a', 8, 0, 0, 0,
        1, 0, 0xFE, 0xFF, 0x34, 0x12, 0x00, 0x80};
    EXPECT_EQ(b, expected);
    std::remove(path.c_str());
}

}  // namespace
