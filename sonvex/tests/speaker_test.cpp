// The waveOut speaker over the platform's virtual devices: the factory (formats, rates, devices,
// ring sizes), playing the ring, the smoothed clock, pause, position formats, device errors.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "audio_out.h"
#include "plat.h"
#include "sonvex_testing.h"
#include "waveout/speaker.h"

namespace {

using svt::FatalOf;

class Speaker : public ::testing::Test {
protected:
    void SetUp() override {
        plat::ResetForTests();
        plat::WaveOutResetForTests();
        plat::SetVirtualTime(1000);
        plat::AudioOutResetForTests(false);
    }
    void TearDown() override { plat::WaveOutResetForTests(); }

    static std::unique_ptr<wdzSpeaker> Make(uint32_t rate, uint32_t layout, uint32_t width, uint32_t isUnsigned,
                                            uint32_t ms = 1500) {
        wdzSpeakerFactory f(audioFormatSpec(rate, layout, width, isUnsigned), ms, 250);
        return std::unique_ptr<wdzSpeaker>(static_cast<wdzSpeaker*>(f.make()));
    }
};

TEST_F(Speaker, TheFactoryNormalisesTheFormatAndSizesTheRing) {
    struct Case {
        uint32_t rate, layout, width, isUnsigned, ms;
        uint32_t bytes;
        const char* format;
    };
    const Case cases[] = {
        {44100, audioAltStereo, audio16Bit, 0, 1500, 264600, "sample rate 44100, altStereo, sample width 16, signed\n"},
        {22050, audioMono, 0, audioUnsigned, 1500, 33075, "sample rate 22050, mono, sample width 8, unsigned\n"},
        {11025, audioSepStereo, 0, 0, 250, 5514, "sample rate 11025, altStereo, sample width 8, unsigned\n"},
        {6000, audioMono, audio16Bit, audioUnsigned, 100, 3000, "sample rate 6000, mono, sample width 16, signed\n"},
        {8000, audioAltStereo, audio16Bit, 0, 1000, 32000, "sample rate 8000, altStereo, sample width 16, signed\n"},
    };
    for (const Case& c : cases) {
        svt::logRecorder log;
        auto s = Make(c.rate, c.layout, c.width, c.isUnsigned, c.ms);
        ASSERT_NE(s, nullptr) << c.rate;
        EXPECT_EQ(s->buffer().length(), c.bytes) << c.rate;
        std::ostringstream d;
        s->format().describe(d);
        EXPECT_EQ(d.str(), c.format);
        EXPECT_TRUE(log.has(std::string("wdzFactory::Returning speaker of type:\n ") + c.format));
        EXPECT_TRUE(log.has("wdzSpeakerFactory::Reporting 1 wave output devices"));
    }
    EXPECT_EQ(wdzRingFrames(1500, 44100), 66150u);
    EXPECT_EQ(wdzRingFrames(0xFFFFFFFFu, 44100), 0xFFFFFFFFu);  // too long to count: the most there is
}

TEST_F(Speaker, OnlyFiveRatesAndAtLeastOneDevice) {
    for (uint32_t rate : {32000u, 48000u, 0u, 22051u})
        EXPECT_EQ(FatalOf([&] { Make(rate, audioAltStereo, audio16Bit, 0); }),
                  "wdzFactory::Unsupported frequency " + std::to_string(rate));
    plat::WaveOutSetDeviceCount(0);
    EXPECT_EQ(FatalOf([&] { Make(22050, audioAltStereo, audio16Bit, 0); }),
              "wdzSpeakerFactory::System reports no wave output devices");
}

TEST_F(Speaker, TheDefaultIsCdQualityAndTheBufferHasAMinimum) {
    wdzSpeakerFactory f(audioFormatSpec(8000, audioMono, 0, 0), 100, 250);
    EXPECT_EQ(f.bufferMs(), 250u);
    f.setBufferMs(1500);
    EXPECT_EQ(f.bufferMs(), 1500u);
    f.setBufferMs(10);
    EXPECT_EQ(f.bufferMs(), 250u);
    std::unique_ptr<audioSpeaker> s(f.makeDefault());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->format().rate(), 44100u);
    EXPECT_TRUE(s->format().standard());
}

TEST_F(Speaker, TheFirstDeviceThatTakesTheFormatIsUsed) {
    plat::WaveOutSetDeviceCount(2);
    plat::WaveOutRefuseDevice(0, true);
    svt::logRecorder log;
    auto s = Make(22050, audioAltStereo, audio16Bit, 0);
    EXPECT_NE(s, nullptr);
    EXPECT_TRUE(log.has("wdzSpeakerFactory::Reporting 2 wave output devices"));
    s.reset();
    plat::WaveOutRefuseDevice(1, true);
    wdzSpeakerFactory f(audioFormatSpec(22050, audioAltStereo, audio16Bit, 0), 1500, 250);
    EXPECT_EQ(f.make(), nullptr);
    EXPECT_EQ(f.failure(), "Unsupported wave format");
}

TEST_F(Speaker, TheDevicePlaysWhatWasWrittenLeftFirstThenTheZeroedRing) {
    std::vector<uint8_t> heard;
    plat::WaveOutSetTap([&](const WAVEFORMATEX&, const uint8_t* b, size_t n) { heard.insert(heard.end(), b, b + n); });
    auto s = Make(22050, audioAltStereo, audio16Bit, 0, 250);  // 5513 frames
    ASSERT_NE(s, nullptr);
    svt::arraySource ramp(22050, [] {
        std::vector<uint32_t> w;
        for (int i = 0; i < 1000; ++i)
            w.push_back(SampleWord(i, -i));
        return w;
    }());
    EXPECT_EQ(s->write(ramp, 0xFFFFFFFFu), 1000u);  // written ahead while stopped
    s->start();
    EXPECT_TRUE(s->isPlaying());
    EXPECT_EQ(FatalOf([&] { s->start(); }), "wdzSpeaker::Already playing");
    plat::AdvanceVirtualTime(100);  // 2205 frames
    EXPECT_EQ(s->framesPlayed(), 2205u);
    ASSERT_EQ(heard.size(), 2205u * 4);
    for (int i : {0, 1, 500, 999}) {
        EXPECT_EQ(static_cast<int16_t>(heard[4 * i] | heard[4 * i + 1] << 8), i);
        EXPECT_EQ(static_cast<int16_t>(heard[4 * i + 2] | heard[4 * i + 3] << 8), -i);
    }
    EXPECT_EQ(heard[4 * 1000], 0);
    EXPECT_EQ(s->framesWritten(), 1000u);
    EXPECT_TRUE(s->sink().stale());  // the device overtook what was written
    svt::logRecorder log;
    s->stop();
    EXPECT_TRUE(log.has("wdzSpeaker::Played stale samples"));
    EXPECT_FALSE(s->isPlaying());
    EXPECT_EQ(s->framesWritten(), 0u);
    for (uint32_t i = 0; i < s->buffer().length(); ++i)
        ASSERT_EQ(s->buffer().data()[i], 0) << i;
}

TEST_F(Speaker, TheClockRunsOnSmoothlyBetweenCoarsePositions) {
    plat::WaveOutSetPositionStep(441);  // the driver moves in 10 ms steps
    auto s = Make(44100, audioAltStereo, audio16Bit, 0);
    s->start();
    // (advance by, time then): the position says 10, 20, 20, 20, 30 ms; the clock fills the gaps.
    const uint32_t steps[][2] = {{15, 10}, {5, 20}, {3, 23}, {4, 27}, {3, 30}, {1, 31}};
    for (const auto& st : steps) {
        plat::AdvanceVirtualTime(st[0]);
        EXPECT_EQ(s->time(), st[1]);
    }
    s->pause();
    const uint32_t frozen = s->time();
    plat::AdvanceVirtualTime(500);
    EXPECT_EQ(s->time(), frozen);
    EXPECT_EQ(s->time(), frozen);
    s->resume();
    EXPECT_EQ(s->time(), 30u);  // the device position when it was paused
    plat::AdvanceVirtualTime(10);
    EXPECT_EQ(s->time(), 40u);
    s->stop();
}

TEST_F(Speaker, PositionsInOtherFormatsAreUsedAndLoggedOnce) {
    struct Case {
        UINT type;
        const char* unit;
    };
    for (const Case& c : {Case{TIME_SAMPLES, "samples"}, Case{TIME_MS, "milliseconds"}, Case{TIME_BYTES, "bytes"}}) {
        plat::WaveOutSetPositionType(c.type);
        auto s = Make(22050, audioMono, 0, audioUnsigned);
        svt::logRecorder log;
        s->start();
        EXPECT_TRUE(log.has(std::string("wdzAudioTimer::Position reported in ") + c.unit)) << c.unit;
        plat::AdvanceVirtualTime(200);
        EXPECT_EQ(s->framesPlayed(), 4410u) << c.unit;
        EXPECT_EQ(s->time(), 200u) << c.unit;
        s->stop();
    }
}

TEST_F(Speaker, AClockOfHoursInMillisecondsDoesNotOverflow) {
    plat::WaveOutSetPositionType(TIME_MS);
    auto s = Make(44100, audioAltStereo, audio16Bit, 0);
    s->start();
    plat::AdvanceVirtualTime(3 * 3600 * 1000);
    EXPECT_EQ(s->framesPlayed(), 476280000u);  // 10800000 ms * 441 / 10
    EXPECT_EQ(s->time(), 10800000u);
    s->stop();
}

TEST_F(Speaker, APositionThatGoesBackIsLoggedNotFatal) {
    auto s = Make(22050, audioAltStereo, audio16Bit, 0);
    s->start();
    plat::AdvanceVirtualTime(100);
    EXPECT_EQ(s->framesPlayed(), 2205u);
    waveOutReset(s->device());  // behind the speaker's back
    svt::logRecorder log;
    EXPECT_EQ(s->framesPlayed(), 0u);
    EXPECT_TRUE(log.has("wdzAudioTimer::Sample count 0is below previous 89d"));
}

TEST_F(Speaker, DeviceErrorsAreFatalWithTheirText) {
    const std::pair<MMRESULT, const char*> texts[] = {
        {2, "Device ID out-of range"},       {4, "Resource already allocated"},
        {5, "Invalid device handle"},        {7, "Unable to allocate/lock memory"},
        {8, "Unsupported function"},         {32, "Unsupported wave format"},
        {33, "Device still playing"},        {34, "Unprepared wave output header"},
        {35, "Driver is synchronous"},       {1, "Unrecognized mmsystem error message"},
    };
    for (const auto& t : texts)
        EXPECT_STREQ(wdzMmErrorText(t.first), t.second);

    auto s = Make(22050, audioAltStereo, audio16Bit, 0);
    plat::WaveOutSetFailure(plat::WaveCall::Prepare, 7);
    EXPECT_EQ(FatalOf([&] { s->start(); }), "mmsystem error #7 Unable to allocate/lock memory");
    plat::WaveOutSetFailure(plat::WaveCall::Prepare, 0);
    s->start();
    plat::WaveOutSetFailure(plat::WaveCall::GetPosition, 5);
    plat::AdvanceVirtualTime(10);
    EXPECT_EQ(FatalOf([&] { s->time(); }), "mmsystem error #5 Invalid device handle");
    plat::WaveOutSetFailure(plat::WaveCall::GetPosition, 0);
    plat::WaveOutSetFailure(plat::WaveCall::Reset, 5);
    EXPECT_EQ(FatalOf([&] { s->stop(); }), "mmsystem error #5 Invalid device handle");
    plat::WaveOutSetFailure(plat::WaveCall::Reset, 0);
    s->stop();
}

TEST_F(Speaker, AWriteThatFitsNeverAsksTheDevice) {
    auto s = Make(22050, audioAltStereo, audio16Bit, 0, 250);
    s->start();
    const uint32_t internal = wdzInternalCalls();
    svt::arraySource a(22050, std::vector<uint32_t>(100, 0));
    EXPECT_EQ(s->write(a, 100), 100u);
    EXPECT_EQ(wdzInternalCalls(), internal);
    svt::arraySource b(22050, std::vector<uint32_t>(10000, 0));
    EXPECT_EQ(s->write(b, 0xFFFFFFFFu), 5413u);  // the rest of the ring, after asking where the device is
    EXPECT_EQ(wdzInternalCalls(), internal + 2);  // position and clock
    s->stop();
    // The destructor reports the counts.
    svt::logRecorder log;
    s.reset();
    bool found = false;
    for (const std::string& m : log.all())
        found = found || m.rfind("\nwdzSpeaker::Windows calls: ", 0) == 0;
    EXPECT_TRUE(found);
}

TEST_F(Speaker, StopResetsTheSinkEvenWhenNotPlaying) {
    auto s = Make(22050, audioMono, 0, audioUnsigned);
    svt::arraySource a(22050, std::vector<uint32_t>(300, 0));
    s->write(a, 0xFFFFFFFFu);
    EXPECT_EQ(s->framesWritten(), 300u);
    s->stop();
    EXPECT_EQ(s->framesWritten(), 0u);
    EXPECT_EQ(s->space(), s->sink().capacity());
}

}  // namespace
