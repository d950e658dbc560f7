// Formats, the base source behaviour (counts, default skip, seeking), silence and the source
// stream that builds one source at a time in its own storage.
#include <gtest/gtest.h>

#include <sstream>

#include "audio.h"
#include "sonvex_testing.h"

namespace {

using svt::arraySource;
using svt::FatalOf;

std::vector<uint32_t> Ramp(uint32_t n) {
    std::vector<uint32_t> w(n);
    for (uint32_t i = 0; i < n; ++i)
        w[i] = SampleWord(static_cast<int32_t>(i), -static_cast<int32_t>(i));
    return w;
}

TEST(Format, DescribesItself) {
    struct Case {
        audioFormatSpec format;
        const char* text;
    };
    const Case cases[] = {
        {{44100, audioAltStereo, audio16Bit, 0}, "sample rate 44100, altStereo, sample width 16, signed\n"},
        {{22050, audioMono, 0, audioUnsigned}, "sample rate 22050, mono, sample width 8, unsigned\n"},
        {{8000, audioSepStereo, audio16Bit, audioUnsigned}, "sample rate 8000, sepStereo, sample width 16, unsigned\n"},
        {{6000, 3, 0, 0}, "sample rate 6000, sepStereo, sample width 8, signed\n"},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        c.format.describe(out);
        EXPECT_EQ(out.str(), c.text);
    }
    EXPECT_TRUE(audioFormatSpec(44100, audioAltStereo, audio16Bit, 0).standard());
    EXPECT_FALSE(audioFormatSpec(44100, audioAltStereo, audio16Bit, audioUnsigned).standard());
    EXPECT_EQ(audioFormatSpec(1, audioSepStereo, audio16Bit, audioUnsigned).bits(), 14u);
}

TEST(Source, CountsAreClampedToWhatRemains) {
    arraySource s(22050, Ramp(10));
    uint32_t out[16] = {};
    EXPECT_EQ(s.extract(out, 0), 0u);
    EXPECT_EQ(s.skip(0), 0u);
    EXPECT_EQ(s.position(), 0u);
    EXPECT_EQ(s.extract(out, 3), 3u);
    EXPECT_EQ(out[2], SampleWord(2, -2));
    EXPECT_EQ(s.skip(0xFFFFFFFFu), 7u);  // skips to the end, no overflow of position + n
    EXPECT_EQ(s.remaining(), 0u);
    EXPECT_EQ(s.extract(out, 0xFFFFFFFFu), 0u);
    EXPECT_EQ(FatalOf([&] { s.next(); }), "audioSource::next() called with empty source");
}

TEST(Source, DefaultSkipExtractsAThousandWordsAtATime) {
    arraySource s(22050, Ramp(2500));
    EXPECT_EQ(s.skip(2345), 2345u);
    EXPECT_EQ(s.extractCalls, 3);  // 1000, 1000, 345
    EXPECT_EQ(s.next(), SampleWord(2345, -2345));
}

TEST(Source, SeekBackwardsRewindsAndSkips) {
    arraySource s(22050, Ramp(100));
    s.skip(50);
    EXPECT_EQ(s.seek(50), 50u);
    EXPECT_EQ(s.rewinds, 0);
    EXPECT_EQ(s.seek(20), 20u);
    EXPECT_EQ(s.rewinds, 1);
    EXPECT_EQ(s.position(), 20u);
    EXPECT_EQ(s.seek(100), 80u);  // forwards: what the last skip returned
    EXPECT_EQ(s.remaining(), 0u);
    s.seek(10);
    EXPECT_EQ(FatalOf([&] { s.seek(101); }), "audioSeekableSource::Trying to seek beyond end");
}

TEST(NullSource, IsSilenceOfAGivenLength) {
    audioNullSource s(22050, 5);
    uint32_t out[8];
    std::fill(out, out + 8, 0xDEADBEEFu);
    EXPECT_EQ(s.extract(out, 8), 5u);
    EXPECT_EQ(out[4], 0u);
    EXPECT_EQ(out[5], 0xDEADBEEFu);
    EXPECT_EQ(FatalOf([&] { s.next(); }), "audioNullSource::next() on empty source");
    s.rewind();
    EXPECT_EQ(s.next(), 0u);
    EXPECT_EQ(s.skip(10), 4u);
    EXPECT_EQ(s.seek(2), 2u);
    std::ostringstream d;
    s.describe(d);
    EXPECT_EQ(d.str(), "Null audio source of length 5, pos 2\n");
    EXPECT_EQ(FatalOf([&] { s.seek(6); }), "audioNullSource::Trying to seek beyond end");

    audioNullSource forever(44100, 0xFFFFFFFFu);
    EXPECT_EQ(forever.skip(0xFFFFFFF0u), 0xFFFFFFF0u);
    EXPECT_EQ(forever.skip(0xFFFFFFFFu), 15u);
}

// A stream that builds counted sources of 3 words each, `blocks` times.
int g_alive = 0;
class countedSource final : public audioSource {
public:
    explicit countedSource(uint32_t id) : m_id(id) { ++g_alive; }
    ~countedSource() override { --g_alive; }
    uint32_t rate() const override { return 11025; }
    uint32_t remaining() const override { return 3 - m_pos; }
    uint32_t position() const override { return m_pos; }
    uint32_t extract(uint32_t* words, uint32_t n) override {
        uint32_t k = n < remaining() ? n : remaining();
        for (uint32_t i = 0; i < k; ++i)
            words[i] = m_id;
        m_pos += k;
        return k;
    }

private:
    uint32_t m_id;
    uint32_t m_pos = 0;
};

class countingStream final : public audioSourceStream {
public:
    explicit countingStream(uint32_t blocks) : audioSourceStream(sizeof(countedSource)), m_blocks(blocks) {}
    audioSource* makeSource() override {
        if (m_made == m_blocks)
            return nullptr;
        return build<countedSource>(++m_made);
    }
    void start() { makeSource(); }
    void* space() { return sourceSpace(); }

private:
    uint32_t m_blocks;
    uint32_t m_made = 0;
};

TEST(SourceStream, AdvanceMovesOnOnlyWhenTheCurrentSourceIsUsedUp) {
    g_alive = 0;
    {
        countingStream stream(2);
        EXPECT_EQ(stream.advance(), nullptr);  // nothing current: nothing is made
        EXPECT_EQ(g_alive, 0);
        std::ostringstream d;
        stream.describe(d);
        EXPECT_EQ(d.str(), "empty audioSourceStream\n");

        stream.start();
        audioSource* first = stream.current();
        ASSERT_NE(first, nullptr);
        uint32_t w[3];
        first->extract(w, 2);
        EXPECT_EQ(stream.advance(), first);  // words left: the same block
        first->extract(w, 1);
        audioSource* second = stream.advance();
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(second->next(), 2u);
        EXPECT_EQ(g_alive, 1);  // the first was destroyed in place
        EXPECT_EQ(FatalOf([&] { stream.space(); }), "audioSourceStream::Trying to construct atop a live object");
        second->skip(5);
        EXPECT_EQ(stream.advance(), nullptr);
        EXPECT_EQ(g_alive, 0);
        stream.start();
        EXPECT_EQ(stream.current(), nullptr);
    }
    EXPECT_EQ(g_alive, 0);
    {
        countingStream stream(1);
        stream.start();
        EXPECT_EQ(g_alive, 1);
    }  // a live source is destroyed with its stream
    EXPECT_EQ(g_alive, 0);
}

}  // namespace
