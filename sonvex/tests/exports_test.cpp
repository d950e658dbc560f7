// The playback exports over a scripted stream buffer (chunks, "not yet" answers, recorded
// releases, a position) and a recording speaker: set-up and fallbacks, the FillAudio pump,
// end of audio, draining, ResyncAudio, TakeBack, missing factory or speaker, and a fatal error
// that returns to the caller.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <algorithm>

#include "audioavi.h"
#include "datakit/audio_encoders.h"
#include "plat.h"
#include "sonvex.h"
#include "sonvex_testing.h"
#include "vidvex.h"

namespace {

// ---- the scripted stream buffer ------------------------------------------------------------

struct FakeStream {
    SBAUDIOFORMAT format{};
    std::vector<std::vector<uint8_t>> chunks;
    std::vector<uint32_t> words;           // words per chunk, for the position
    size_t next = 0;
    int calls = 0;                         // nextChunk calls that ask for data
    std::set<int> notYetAt;                // those calls answer -2
    int32_t positionOverride = -1;
    std::vector<int32_t> released;
    std::set<int32_t> outstanding;
    std::function<void(int32_t)> onRelease;
    int formatCalls = 0;
};
FakeStream* g_stream = nullptr;

const WAVEFORMATEX* FakeFormat(SBSTREAM*, int32_t* channels, int32_t* rate, int32_t* bytes, int32_t* tag) {
    ++g_stream->formatCalls;
    const WAVEFORMATEX& f = g_stream->format.format;
    *channels = f.nChannels;
    *rate = static_cast<int32_t>(f.nSamplesPerSec);
    *bytes = static_cast<int32_t>(f.nAvgBytesPerSec);
    *tag = f.wFormatTag;
    return &g_stream->format.format;
}

int32_t FakeNext(SBSTREAM*, const uint8_t** data, int32_t* length, int32_t, int32_t) {
    ++g_stream->calls;
    if (g_stream->notYetAt.count(g_stream->calls))
        return -2;
    if (g_stream->next >= g_stream->chunks.size())
        return -1;
    const int32_t index = static_cast<int32_t>(g_stream->next++);
    g_stream->outstanding.insert(index);
    *data = g_stream->chunks[static_cast<size_t>(index)].data();
    *length = static_cast<int32_t>(g_stream->chunks[static_cast<size_t>(index)].size());
    return index;
}

int32_t FakeRelease(SBBUFFER*, int32_t index) {
    EXPECT_EQ(g_stream->outstanding.erase(index), 1u) << "chunk " << index << " released twice or never taken";
    g_stream->released.push_back(index);
    if (g_stream->onRelease)
        g_stream->onRelease(index);
    return 0;
}

int32_t FakePosition(SBSTREAM*, int32_t) {
    if (g_stream->positionOverride >= 0)
        return g_stream->positionOverride;
    uint32_t p = 0;
    for (size_t i = 0; i < g_stream->next; ++i)
        p += g_stream->words[i];
    return static_cast<int32_t>(p);
}

const sonvexStreamCalls kFakeCalls = {FakeFormat, FakeNext, FakeRelease, FakePosition};

// ---- the recording speaker -----------------------------------------------------------------

class fakeSpeaker final : public audioSpeaker {
public:
    explicit fakeSpeaker(const audioFormat& f) : m_format(f) {}
    const audioFormat& format() const override { return m_format; }
    uint32_t space() override { return room; }
    uint32_t write(audioSource& source, uint32_t n) override {
        ++writes;
        uint32_t k = std::min({n, room, source.remaining()});
        std::vector<uint32_t> w(k);
        source.extract(w.data(), k);
        heard.insert(heard.end(), w.begin(), w.end());
        room -= k;
        plat::AdvanceVirtualTime(msPerWrite);
        return k;
    }
    void start() override { playing = true; }
    void stop() override { playing = false; }
    bool isPlaying() const override { return playing; }
    void pause() override { ++pauses; }
    void resume() override { ++resumes; }
    uint32_t time() override { return 1234; }
    uint32_t framesPlayed() override { return 0; }
    uint32_t framesWritten() override { return static_cast<uint32_t>(heard.size()); }

    audioFormatSpec m_format;
    uint32_t room = 1u << 16;
    std::vector<uint32_t> heard;
    int writes = 0, pauses = 0, resumes = 0;
    bool playing = false;
    uint32_t msPerWrite = 0;
};

std::vector<audioFormatSpec> g_asked;
std::function<bool(const audioFormat&)> g_accept;
fakeSpeaker* g_speaker = nullptr;
int g_providerCalls = 0;

class fakeFactory final : public wdzFactory {
public:
    fakeFactory() : wdzFactory(audioFormatSpec(44100, audioAltStereo, audio16Bit, 0), 1500, 250) {}
    audioSpeaker* make() override {
        g_asked.push_back(m_format);
        if (g_accept && !g_accept(m_format))
            return nullptr;
        g_speaker = new fakeSpeaker(m_format);
        return g_speaker;
    }
};

wdzFactory* FakeProvider() {
    ++g_providerCalls;
    return new fakeFactory;
}

// ---- fixture --------------------------------------------------------------------------------

SBSTREAM* const kStream = reinterpret_cast<SBSTREAM*>(uintptr_t{0x1000});
SBBUFFER* const kBuffer = reinterpret_cast<SBBUFFER*>(uintptr_t{0x2000});

class Exports : public ::testing::Test {
protected:
    void SetUp() override {
        plat::ResetForTests();
        g_stream = &m_stream;
        g_asked.clear();
        g_accept = nullptr;
        g_speaker = nullptr;
        g_providerCalls = 0;
        sonvexUseStreamCalls(&kFakeCalls);
        sonvexSetSpeakerFactoryProvider(FakeProvider);
        EndAudio();
    }
    void TearDown() override {
        EndAudio();
        SetupAudio(nullptr, nullptr, 0, 0, 0, 0);  // back to mode 0
        sonvexUseStreamCalls(nullptr);
        sonvexSetSpeakerFactoryProvider(nullptr);
        longjmpOnAudioErrors(nullptr);
        ErrorBuffer(nullptr);
        g_stream = nullptr;
    }

    // A PCM stereo 16-bit stream of `chunks` chunks of `words` words each.
    void PcmStream(size_t chunks, uint32_t words, uint32_t rate = 22050) {
        WAVEFORMATEX& f = m_stream.format.format;
        f = WAVEFORMATEX{1, 2, rate, rate * 4, 4, 16, 0};
        m_words = svt::TwoTones(chunks * words);
        dk::EncodedAudio e = dk::EncodePcm(m_words, 2, 16);
        m_stream.chunks = dk::SplitChunks(e.bytes, size_t{words} * 4);
        m_stream.words.assign(chunks, words);
    }

    int32_t Fill(int32_t drain = -1, int32_t loop = 1) {
        return FillAudio(kBuffer, kStream, &m_index, &m_data, &m_length, drain, loop);
    }
    void Resync(uint32_t num, uint32_t den) { ResyncAudio(kBuffer, kStream, &m_index, &m_data, &m_length, num, den); }
    std::vector<uint32_t> Words(size_t from, size_t n) const {
        return std::vector<uint32_t>(m_words.begin() + static_cast<ptrdiff_t>(from),
                                     m_words.begin() + static_cast<ptrdiff_t>(from + n));
    }

    FakeStream m_stream;
    std::vector<uint32_t> m_words;
    int32_t m_index = -1;
    const uint8_t* m_data = nullptr;
    int32_t m_length = 0;
};

TEST_F(Exports, SetupLogsTheFormatAndAsksForASpeakerAtTheStreamRate) {
    PcmStream(2, 100);
    svt::logRecorder log;
    EXPECT_EQ(SetupAudio(nullptr, kStream, 2, 22050, 1, 1), 1);
    EXPECT_TRUE(log.has("SetupAudio::Audio type Stereo  srate 22050  brate 88200  fmt 1  bits/sample 16  "
                        "samples/block 0\n"));
    EXPECT_TRUE(log.has("SetupAudio::Trying to make speaker, srate = 22050\n"));
    ASSERT_EQ(g_asked.size(), 1u);
    EXPECT_EQ(g_asked[0].bits(), audioAltStereo | audio16Bit);
    EXPECT_EQ(g_asked[0].rate(), 22050u);
    EXPECT_EQ(sonvexMode(), 2);
    EXPECT_EQ(sonvexStreamRate(), 22050);
    EXPECT_EQ(sonvexSpeaker(), g_speaker);
    EXPECT_NE(sonvexFactory(), nullptr);
    EXPECT_EQ(DLLVersion(), 40065);
}

TEST_F(Exports, SetupFallsBackToTheCallersFormat) {
    struct Case {
        int32_t mode, fallbackRate, fallback16, fallbackStereo;
        std::function<bool(const audioFormat&)> accept;
        int32_t result, modeAfter;
        std::vector<std::pair<uint32_t, uint32_t>> asked;  // rate, format bits
        const char* lastLog;
    };
    const Case cases[] = {
        {2, 11025, 0, 0, [](const audioFormat& f) { return f.rate() != 22050; }, 1, 3,
         {{22050, audioAltStereo | audio16Bit}, {11025, audioMono}}, "SetupAudio::Failed, trying mono"},
        {2, 0, 1, 0, [](const audioFormat&) { return false; }, 0, 3,
         {{22050, audioAltStereo | audio16Bit}, {22050, audioMono | audio16Bit}},
         "SetupAudio::Can't construct Mono speaker"},
        {3, 0, 1, 0, nullptr, 1, 3, {{22050, audioMono | audio16Bit}}, nullptr},
        {5, 44100, 1, 1, nullptr, 1, 5, {{22050, audioAltStereo | audio16Bit}}, nullptr},
    };
    for (const Case& c : cases) {
        EndAudio();
        PcmStream(1, 10);
        g_asked.clear();
        g_accept = c.accept;
        svt::logRecorder log;
        EXPECT_EQ(SetupAudio(nullptr, kStream, c.mode, c.fallbackRate, c.fallback16, c.fallbackStereo), c.result);
        EXPECT_EQ(sonvexMode(), c.modeAfter);
        ASSERT_EQ(g_asked.size(), c.asked.size()) << "mode " << c.mode;
        for (size_t i = 0; i < c.asked.size(); ++i) {
            EXPECT_EQ(g_asked[i].rate(), c.asked[i].first);
            EXPECT_EQ(g_asked[i].bits(), c.asked[i].second);
        }
        if (c.lastLog) {
            EXPECT_TRUE(log.has(c.lastLog));
        }
        EXPECT_NE(sonvexFactory(), nullptr);  // a factory exists even without a speaker
    }
}

TEST_F(Exports, ModeZeroMakesNothingAndDrainsOnlyWhenAsked) {
    PcmStream(4, 50);
    EXPECT_EQ(SetupAudio(nullptr, kStream, 0, 0, 0, 0), 1);
    EXPECT_EQ(m_stream.formatCalls, 0);
    EXPECT_EQ(sonvexFactory(), nullptr);
    EXPECT_EQ(Fill(0), 1);
    EXPECT_EQ(m_stream.calls, 0);
    EXPECT_EQ(Fill(-1), 1);
    EXPECT_EQ(m_stream.released, (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(m_index, -1);
    EXPECT_EQ(FillAudio(kBuffer, nullptr, &m_index, &m_data, &m_length, -1, 1), 0);
}

TEST_F(Exports, FillAudioPlaysEveryChunkInOrderReleasesEachOnceThenFillsWithSilence) {
    PcmStream(5, 1000);
    ASSERT_EQ(SetupAudio(nullptr, kStream, 2, 22050, 1, 1), 1);
    g_speaker->room = 8000;
    EXPECT_EQ(Fill(), 1);
    ASSERT_EQ(g_speaker->heard.size(), 8000u);
    EXPECT_EQ(std::vector<uint32_t>(g_speaker->heard.begin(), g_speaker->heard.begin() + 5000), m_words);
    EXPECT_EQ(m_stream.released, (std::vector<int32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(g_speaker->room, 0u);  // the rest of the room became silence
    g_speaker->room = 700;
    EXPECT_EQ(Fill(), 1);  // again on every later call
    ASSERT_EQ(g_speaker->heard.size(), 8700u);
    for (size_t i = 5000; i < 8700; ++i)
        ASSERT_EQ(g_speaker->heard[i], 0u) << i;
}

TEST_F(Exports, RoomIsCheckedBeforeEveryBlockAndAPartBlockWaitsForTheNextCall) {
    // PCM chunks are one block each (5000 words, more than the 3000 asked for); ADPCM chunks
    // are several blocks. Room comes in random amounts, as a device plays.
    for (int adpcm = 0; adpcm < 2; ++adpcm) {
        EndAudio();
        m_stream = FakeStream{};
        m_index = -1;
        std::vector<uint32_t> expected;
        if (adpcm) {
            std::vector<uint32_t> words = svt::TwoTones(30000);
            dk::EncodedAudio e = dk::EncodeAdpcmStereo(words, 1017);
            m_stream.format.format = WAVEFORMATEX{2, 2, 22050, 22050 * 1024 / 1017, 1024, 4, 2};
            m_stream.format.samplesPerBlock = 1017;
            m_stream.chunks = dk::SplitChunks(e.bytes, 3 * 1024);
            m_stream.words.assign(m_stream.chunks.size(), 3 * 1017);
            expected = e.decoded;
        } else {
            PcmStream(4, 5000);
            expected = m_words;
        }
        // A chunk is released only once all of its words were written.
        size_t through = 0;
        m_stream.onRelease = [&](int32_t index) {
            size_t words = 0;
            for (int32_t i = 0; i <= index; ++i)
                words += m_stream.words[static_cast<size_t>(i)];
            through = words;
            EXPECT_GE(g_speaker->heard.size(), words) << "chunk " << index << " released early";
        };
        ASSERT_EQ(SetupAudio(nullptr, kStream, 2, 22050, 1, 1), 1);
        g_speaker->room = 0;
        std::mt19937 random(5 + adpcm);
        for (int pass = 0; pass < 1000 && g_speaker->heard.size() < expected.size(); ++pass) {
            const size_t before = g_speaker->heard.size();
            EXPECT_EQ(Fill(), 1);
            if (g_speaker->heard.size() > before) {
                EXPECT_GE(g_speaker->room + (g_speaker->heard.size() - before), 3000u) << "written without room";
            }
            g_speaker->room += std::uniform_int_distribution<uint32_t>(0, 2500)(random);
        }
        ASSERT_GE(g_speaker->heard.size(), expected.size());
        g_speaker->heard.resize(expected.size());
        EXPECT_EQ(g_speaker->heard, expected) << (adpcm ? "adpcm" : "pcm");
        EXPECT_EQ(through, expected.size());
        EXPECT_TRUE(m_stream.outstanding.empty());
    }
}

TEST_F(Exports, NotYetBufferedReturnsAtOnceAndTheNextCallGoesOn) {
    PcmStream(3, 1000);
    m_stream.notYetAt = {2, 3};
    ASSERT_EQ(SetupAudio(nullptr, kStream, 2, 22050, 1, 1), 1);
    EXPECT_EQ(Fill(), 1);
    EXPECT_EQ(g_speaker->heard, Words(0, 1000));
    const int writes = g_speaker->writes;
    EXPECT_EQ(Fill(), 1);
    EXPECT_EQ(g_speaker->writes, writes);  // nothing touched
    EXPECT_EQ(Fill(), 1);
    EXPECT_EQ(Words(0, 3000), std::vector<uint32_t>(g_speaker->heard.begin(), g_speaker->heard.begin() + 3000));
}

TEST_F(Exports, WithoutLoopOneChunkIsPlayedPerCall) {
    PcmStream(3, 1000);
    ASSERT_EQ(SetupAudio(nullptr, kStream, 2, 22050, 1, 1), 1);
    EXPECT_EQ(Fill(-1, 0), 1);
    EXPECT_EQ(g_speaker->heard.size(), 1000u);
    EXPECT_EQ(m_stream.released, (std::vector<int32_t>{0}));
    EXPECT_EQ(Fill(-1, 0), 1);
    EXPECT_EQ(g_speaker->heard, Words(0, 2000));
}

TEST_F(Exports, ResyncSkipsToTheTimeAskedFor) {
    struct Case {
        uint32_t num, den;
        int32_t position;  // -1: the stream's own
        std::vector<int32_t> released;
        int32_t index;
        size_t firstHeard;  // the word playing starts at (SIZE_MAX: none left)
        int calls;
    };
    const size_t none = SIZE_MAX;
    const Case cases[] = {
        {0, 15, -1, {}, 0, 0, 1},                  // skips nothing but loads the first chunk
        {1, 10, -1, {0, 1}, 2, 2205, 3},           // 2205 words in
        {1, 10, 5000, {}, 0, 0, 1},                // already past the target: nothing skipped
        {194784, 2, -1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}, -1, none, 21},
        {1, 0, -1, {}, -1, 0, 0},                  // no denominator: nothing happens
    };
    for (const Case& c : cases) {
        EndAudio();
        m_stream = FakeStream{};
        PcmStream(20, 1000);
        m_stream.positionOverride = c.position;
        m_index = -1;
        ASSERT_EQ(SetupAudio(nullptr, kStream, 2, 22050, 1, 1), 1);
        Resync(c.num, c.den);
        SCOPED_TRACE(std::to_string(c.num) + "/" + std::to_string(c.den));
        EXPECT_EQ(m_stream.released, c.released);
        EXPECT_EQ(m_index, c.index);
        EXPECT_EQ(m_stream.calls, c.calls);
        Fill();
        if (c.firstHeard == none) {
            EXPECT_EQ(std::count(g_speaker->heard.begin(), g_speaker->heard.end(), 0u),
                      static_cast<ptrdiff_t>(g_speaker->heard.size()));
        } else {
            ASSERT_GE(g_speaker->heard.size(), 10u);
            EXPECT_EQ(std::vector<uint32_t>(g_speaker->heard.begin(), g_speaker->heard.begin() + 10),
                      Words(c.firstHeard, 10));
        }
        EXPECT_TRUE(m_stream.outstanding.empty());
    }
}

TEST_F(Exports, WithoutAFactoryOrASpeakerTheStreamIsDrained) {
    // After EndAudio the mode stays 2, with no factory and no speaker.
    PcmStream(3, 100);
    ASSERT_EQ(SetupAudio(nullptr, kStream, 2, 22050, 1, 1), 1);
    EndAudio();
    EXPECT_EQ(sonvexMode(), 2);
    Resync(0, 15);
    EXPECT_EQ(m_stream.calls, 0);
    EXPECT_EQ(Fill(), 1);
    EXPECT_EQ(m_stream.released, (std::vector<int32_t>{0, 1, 2}));

    // SetupAudio without a speaker: the chunk ResyncAudio put in the factory is given back too.
    m_stream = FakeStream{};
    PcmStream(3, 100);
    g_accept = [](const audioFormat&) { return false; };
    ASSERT_EQ(SetupAudio(nullptr, kStream, 2, 22050, 1, 1), 0);
    Resync(0, 15);
    EXPECT_EQ(m_index, 0);
    EXPECT_EQ(Fill(), 1);
    EXPECT_EQ(m_stream.released, (std::vector<int32_t>{0, 1, 2}));
    StartPlaying();
    StopPlaying();
    EXPECT_EQ(IsPlaying(), 0);
    EXPECT_EQ(TimeSpeaker(), 0u);
}

TEST_F(Exports, TakeBackGivesTheDroppedChunkBack) {
    PcmStream(3, 5000);
    ASSERT_EQ(SetupAudio(nullptr, kStream, 2, 22050, 1, 1), 1);
    g_speaker->room = 3500;
    Fill();
    EXPECT_EQ(g_speaker->heard.size(), 3500u);
    EXPECT_TRUE(m_stream.released.empty());
    TakeBack();
    EXPECT_EQ(m_stream.released, (std::vector<int32_t>{0}));
    TakeBack();  // nothing held: nothing more
    EXPECT_EQ(m_stream.released.size(), 1u);
    g_speaker->room = 3000;
    Fill();
    EXPECT_EQ(std::vector<uint32_t>(g_speaker->heard.begin() + 3500, g_speaker->heard.end()), Words(5000, 3000));
}

TEST_F(Exports, ASecondSetupKeepsTheSpeakerAndReplacesTheFactory) {
    PcmStream(1, 100);
    ASSERT_EQ(SetupAudio(nullptr, kStream, 2, 22050, 1, 1), 1);
    fakeSpeaker* first = g_speaker;
    m_stream.format.format = WAVEFORMATEX{2, 1, 44100, 0, 0, 4, 2};
    m_stream.format.samplesPerBlock = 2041;
    EXPECT_EQ(SetupAudio(nullptr, kStream, 2, 44100, 1, 1), 1);
    EXPECT_EQ(g_providerCalls, 1);
    EXPECT_EQ(sonvexSpeaker(), first);
    EXPECT_EQ(sonvexStreamRate(), 44100);
    std::vector<uint8_t> block(1024, 0);
    std::ostringstream d;
    sonvexFactory()->setChunk(block.data(), 1024)->describe(d);
    EXPECT_EQ(d.str(), "Monophonic adpcm source, sample rate 44100, 2041 samples\n");
}

TEST_F(Exports, SpeakerCallsAndTheProfileAreForwarded) {
    PcmStream(3, 1000);
    ASSERT_EQ(SetupAudio(nullptr, kStream, 2, 22050, 1, 1), 1);
    g_speaker->msPerWrite = 2;
    Fill();
    EXPECT_EQ(GetAudioProfile(), 6u);  // three blocks written, 2 ms each
    StartPlaying();
    EXPECT_EQ(IsPlaying(), 1);
    PauseSpeaker();
    ResumeSpeaker();
    EXPECT_EQ(g_speaker->pauses, 1);
    EXPECT_EQ(g_speaker->resumes, 1);
    EXPECT_EQ(TimeSpeaker(), 1234u);
    StopPlaying();
    EXPECT_EQ(IsPlaying(), 0);
    ASSERT_EQ(SetupAudio(nullptr, kStream, 2, 22050, 1, 1), 1);
    EXPECT_EQ(GetAudioProfile(), 0u);
    SetupAudio(nullptr, kStream, 0, 0, 0, 0);
    StartPlaying();  // mode 0: the speaker is not started
    EXPECT_EQ(IsPlaying(), 0);
}

TEST_F(Exports, AnUnsupportedRateReturnsControlToTheCallerWithItsText) {
    sonvexSetSpeakerFactoryProvider(nullptr);  // the real speaker factory
    PcmStream(2, 100, 48000);
    char buffer[2048] = {};
    ErrorBuffer(buffer);
    std::jmp_buf target;
    longjmpOnAudioErrors(&target);
    volatile int result = -1;
    if (setjmp(target) == 0)
        result = SetupAudio(nullptr, kStream, 2, 48000, 1, 1);
    else
        result = 99;
    EXPECT_EQ(result, 99);
    EXPECT_THAT(buffer, ::testing::MatchesRegex("FATAL ERROR in file .*speaker\\.cpp, line [0-9]+:\n "
                                                "wdzFactory::Unsupported frequency 48000\n"));
    EXPECT_EQ(sonvexSpeaker(), nullptr);
    // The caller carries on: the sound is dropped and the stream drained.
    EndAudio();
    EXPECT_EQ(Fill(), 1);
    EXPECT_EQ(m_stream.released, (std::vector<int32_t>{0, 1}));
}

}  // namespace
