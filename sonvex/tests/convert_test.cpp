// Rate conversion and the circular sink: the convertors' counts, the exact rounding of every
// kernel, the channel order in memory, writing in random pieces against one write for every
// conversion and output format, wrapping, and the fatal checks.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "aud_impl.h"
#include "sonvex_testing.h"

namespace {

using svt::arraySource;
using svt::FatalOf;

struct OutFormat {
    const char* name;
    uint32_t layout, width, isUnsigned;
};
const OutFormat kFormats[] = {
    {"mono8u", audioMono, 0, audioUnsigned},           {"mono16", audioMono, audio16Bit, 0},
    {"alt8u", audioAltStereo, 0, audioUnsigned},       {"alt16", audioAltStereo, audio16Bit, 0},
    {"alt16u", audioAltStereo, audio16Bit, audioUnsigned}, {"sep8", audioSepStereo, 0, 0},
    {"sep16", audioSepStereo, audio16Bit, 0},
};

uint32_t FrameBytes(const OutFormat& f) {
    uint32_t b = f.width ? 2 : 1;
    return f.layout == audioAltStereo ? 2 * b : b;
}

// A ring (two for sepStereo) with a sink over it.
struct Ring {
    Ring(const OutFormat& f, uint32_t rate, uint32_t frames)
        : format(rate, f.layout, f.width, f.isUnsigned),
          first(frames * FrameBytes(f) / 4 + 1),
          second(f.layout == audioSepStereo ? frames * FrameBytes(f) / 4 + 1 : 0),
          bytes(frames * FrameBytes(f)),
          sink(format, reinterpret_cast<uint8_t*>(first.data()), bytes,
               second.empty() ? nullptr : reinterpret_cast<uint8_t*>(second.data())) {}
    const uint8_t* at(int buffer, size_t offset) const {
        return reinterpret_cast<const uint8_t*>(buffer == 0 ? first.data() : second.data()) + offset;
    }
    audioFormatSpec format;
    std::vector<uint32_t> first, second;  // word storage: the straight path stores whole words
    uint32_t bytes;
    audioCircularSink sink;
};

TEST(Convertor, CountsFollowTheHeldOverSample) {
    std::unique_ptr<audioFconvertor> d(audioFconvertor::make(22050, 44100));
    std::unique_ptr<audioFconvertor> h(audioFconvertor::make(44100, 22050));
    ASSERT_EQ(d->kind(), audioFconvertor::doubleKind);
    ASSERT_EQ(h->kind(), audioFconvertor::halfKind);
    struct Case {
        uint32_t n, doubleIn, doubleOut, halfIn, halfOut;
    };
    const Case nothingHeld[] = {{0, 0, 0, 1, 0}, {1, 1, 2, 3, 0}, {2, 1, 4, 5, 1}, {5, 3, 10, 11, 2}};
    for (const Case& c : nothingHeld) {
        EXPECT_EQ(d->inputFor(c.n), c.doubleIn) << c.n;
        EXPECT_EQ(d->outputFor(c.n), c.doubleOut) << c.n;
        EXPECT_EQ(h->inputFor(c.n), c.halfIn) << c.n;
        EXPECT_EQ(h->outputFor(c.n), c.halfOut) << c.n;
    }
    EXPECT_TRUE(d->offset().isZero());
    EXPECT_FALSE(d->holding());

    // Make both hold a sample: one frame out of the doubler, three words into the halver.
    uint32_t in[3] = {SampleWord(10, 10), SampleWord(20, 20), SampleWord(30, 30)};
    uint32_t out[4];
    audioFormatSpec f(0, audioAltStereo, audio16Bit, 0);
    audioBlock din(in, 1), dout(f, reinterpret_cast<uint8_t*>(out), nullptr, 1);
    d->convert(din, dout);
    audioBlock hin(in, 3), hout(f, reinterpret_cast<uint8_t*>(out), nullptr, 4);
    h->convert(hin, hout);
    ASSERT_TRUE(d->holding());
    ASSERT_TRUE(h->holding());
    EXPECT_EQ(d->offset(), Rational(1, 44100));
    EXPECT_EQ(h->offset(), Rational(1, 44100));
    const Case held[] = {{0, 0, 1, 0, 0}, {1, 0, 3, 2, 1}, {2, 1, 5, 4, 1}, {5, 2, 11, 10, 3}};
    for (const Case& c : held) {
        EXPECT_EQ(d->inputFor(c.n), c.doubleIn) << c.n;
        EXPECT_EQ(d->outputFor(c.n), c.doubleOut) << c.n;
        EXPECT_EQ(h->inputFor(c.n), c.halfIn) << c.n;
        EXPECT_EQ(h->outputFor(c.n), c.halfOut) << c.n;
    }
    d->reset();
    EXPECT_FALSE(d->holding());
}

TEST(Convertor, OnlyCopyDoubleAndHalfExist) {
    struct Case {
        uint32_t in, out;
        int kind;  // 0: fatal
        const char* message;
    };
    const Case cases[] = {
        {22050, 22050, audioFconvertor::copyKind, ""},
        {22050, 44100, audioFconvertor::doubleKind, ""},
        {44100, 22050, audioFconvertor::halfKind, ""},
        {100000, 200000, audioFconvertor::doubleKind, ""},
        {11025, 44100, 0, "audioFconvertor::General conversion"},
        {48000, 44100, 0, "audioFconvertor::General conversion"},
        {100001, 200002, 0, "audioDoubleConvertor input frequency too large"},
        {200002, 100001, 0, "audioHalfConvertor output frequency too large"},
    };
    for (const Case& c : cases) {
        if (c.kind) {
            std::unique_ptr<audioFconvertor> v(audioFconvertor::make(c.in, c.out));
            EXPECT_EQ(v->kind(), c.kind) << c.in << "->" << c.out;
            EXPECT_EQ(v->inputRate(), c.in);
            EXPECT_EQ(v->outputRate(), c.out);
        } else {
            EXPECT_EQ(FatalOf([&] { delete audioFconvertor::make(c.in, c.out); }), c.message);
        }
    }
}

// One write of a few words into an 8-frame ring; the ring's bytes as written.
std::vector<uint8_t> WriteBytes(const OutFormat& f, uint32_t inRate, uint32_t outRate, std::vector<uint32_t> words,
                                int buffer = 0) {
    Ring ring(f, outRate, 8);
    arraySource src(inRate, std::move(words));
    uint32_t w = ring.sink.write(src, 0xFFFFFFFFu);
    const uint8_t* p = ring.at(buffer, 0);
    uint32_t perBuffer = f.layout == audioSepStereo ? (f.width ? 2 : 1) : FrameBytes(f);
    return std::vector<uint8_t>(p, p + w * perBuffer);
}

TEST(Kernels, RoundExactlyAndKeepTheLeftChannelFirst) {
    const uint32_t w = SampleWord(0x1234, -0x0100);
    const uint32_t minusOne = SampleWord(-1, 0);
    const uint32_t a = SampleWord(100, -100), b = SampleWord(301, 51);
    struct Case {
        const char* format;
        uint32_t inRate, outRate;
        std::vector<uint32_t> words;
        int buffer;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        // Copy.
        {"mono16", 22050, 22050, {w}, 0, {0x9A, 0x08}},            // (L + R) >> 1 = 2202
        {"mono8u", 22050, 22050, {w}, 0, {0x88}},                  // (L + R) >> 9 = 8, XOR 0x80
        {"alt16", 22050, 22050, {w}, 0, {0x34, 0x12, 0x00, 0xFF}}, // left first
        {"alt8u", 22050, 22050, {w}, 0, {0x92, 0x7F}},
        {"alt16u", 22050, 22050, {w}, 0, {0x34, 0x92, 0x00, 0x7F}},
        {"sep16", 22050, 22050, {w}, 0, {0x34, 0x12}},
        {"sep16", 22050, 22050, {w}, 1, {0x00, 0xFF}},
        {"sep8", 22050, 22050, {w}, 1, {0xFF}},
        {"mono8u", 22050, 22050, {minusOne}, 0, {0x7F}},  // -1 >> 9 is -1: arithmetic shifts
        {"mono16", 22050, 22050, {minusOne}, 0, {0xFF, 0xFF}},
        // Double: the midpoint with the previous word (0 at the start), then the word.
        {"alt16", 22050, 44100, {a, b}, 0,
         {50, 0, 0xCE, 0xFF, 100, 0, 0x9C, 0xFF, 200, 0, 0xE7, 0xFF, 0x2D, 0x01, 51, 0}},
        {"mono16", 22050, 44100, {a, b}, 0, {0, 0, 0, 0, 88, 0, 176, 0}},  // of the mono values
        // Half: the average of each pair.
        {"alt16", 44100, 22050, {a, b}, 0, {200, 0, 0xE7, 0xFF}},
        {"mono16", 44100, 22050, {a, b}, 0, {88, 0}},  // (La + Ra + Lb + Rb) >> 2
        {"mono8u", 44100, 22050, {SampleWord(1000, 1000), SampleWord(1000, 1048)}, 0, {0x83}},  // sum >> 10
        {"alt8u", 44100, 22050, {SampleWord(1000, -1000), SampleWord(1100, -1100)}, 0, {0x84, 0x7B}},
    };
    for (const Case& c : cases) {
        const OutFormat* f = nullptr;
        for (const OutFormat& o : kFormats)
            if (std::string(o.name) == c.format)
                f = &o;
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(WriteBytes(*f, c.inRate, c.outRate, c.words, c.buffer), c.bytes)
            << c.format << " " << c.inRate << "->" << c.outRate;
    }
}

// Plays a sink's ring like a device: takes played frames out of the ring in order.
struct Player {
    Ring& ring;
    const OutFormat& f;
    std::vector<uint8_t> heard[2];
    void play(uint32_t frames) {
        const uint32_t cap = ring.sink.capacity();
        const uint32_t per = f.layout == audioSepStereo ? (f.width ? 2 : 1) : FrameBytes(f);
        for (uint32_t i = 0; i < frames; ++i) {
            uint32_t at = (ring.sink.played() + i) % cap;
            for (int b = 0; b < (f.layout == audioSepStereo ? 2 : 1); ++b) {
                const uint8_t* p = ring.at(b, size_t{at} * per);
                heard[b].insert(heard[b].end(), p, p + per);
            }
        }
        ring.sink.setPlayed(ring.sink.played() + frames);
    }
};

TEST(CircularSink, RandomPiecesGiveTheSameSoundAsOneWriteForEveryConversionAndFormat) {
    const std::vector<uint32_t> words = svt::TwoTones(777);
    const uint32_t rates[][2] = {{22050, 22050}, {22050, 44100}, {44100, 22050}};
    std::mt19937 random(11);
    for (const OutFormat& f : kFormats) {
        for (const auto& r : rates) {
            SCOPED_TRACE(std::string(f.name) + " " + std::to_string(r[0]) + "->" + std::to_string(r[1]));
            // Reference: everything at once into a ring large enough.
            Ring big(f, r[1], 2000);
            arraySource all(r[0], words);
            const uint32_t total = big.sink.write(all, 0xFFFFFFFFu);
            Player reference{big, f, {}};
            reference.play(total);

            // Pieces of random size into a ring of 37 frames, played as they go.
            Ring small(f, r[1], 37);
            Player device{small, f, {}};
            arraySource src(r[0], words);
            arraySource empty(r[0], {});
            for (int guard = 0; guard < 100000; ++guard) {
                audioFconvertor* c = small.sink.adaptor()->convertor();
                const bool flushing = src.remaining() == 0;
                if (flushing && !(c && c->kind() == audioFconvertor::doubleKind && c->holding()))
                    break;
                uint32_t n = std::uniform_int_distribution<uint32_t>(0, 50)(random);
                small.sink.write(flushing ? empty : src, n);
                uint32_t unplayed = small.sink.written() - small.sink.played();
                device.play(std::uniform_int_distribution<uint32_t>(0, unplayed)(random));
            }
            device.play(small.sink.written() - small.sink.played());
            EXPECT_EQ(small.sink.written(), total);
            EXPECT_EQ(device.heard[0], reference.heard[0]);
            EXPECT_EQ(device.heard[1], reference.heard[1]);
        }
    }
}

TEST(CircularSink, AWriteWrapsToTheStartWithinOneCall) {
    const OutFormat& alt16 = kFormats[3];
    Ring ring(alt16, 22050, 10);
    std::vector<uint32_t> words;
    for (int i = 0; i < 17; ++i)
        words.push_back(SampleWord(i, -i));
    arraySource src(22050, words);
    EXPECT_EQ(ring.sink.write(src, 7), 7u);
    ring.sink.setPlayed(7);
    EXPECT_EQ(ring.sink.space(), 10u);
    EXPECT_EQ(ring.sink.write(src, 0xFFFFFFFFu), 10u);  // 3 at the end, 7 from the start
    EXPECT_EQ(ring.sink.written(), 17u);
    const uint8_t* p = ring.at(0, 0);
    EXPECT_EQ(p[0], 10);    // frame 10 landed at the ring's start, left first
    EXPECT_EQ(p[4 * 9], 9);
    EXPECT_EQ(ring.sink.space(), 0u);
    EXPECT_EQ(ring.sink.room(5), 0u);
    arraySource more(22050, words);
    EXPECT_EQ(ring.sink.write(more, 5), 0u);  // full: nothing written
    EXPECT_EQ(more.remaining(), 17u);
}

TEST(CircularSink, SilenceOfEndlessLengthFillsExactlyTheRoom) {
    for (uint32_t outRate : {22050u, 44100u}) {
        Ring ring(kFormats[3], outRate, 50);
        arraySource some(22050, svt::TwoTones(13));
        ring.sink.write(some, 0xFFFFFFFFu);
        audioNullSource silence(22050, 0xFFFFFFFFu);
        const uint32_t room = ring.sink.space();
        EXPECT_EQ(ring.sink.write(silence, 0xFFFFFFFFu), room);
        EXPECT_EQ(ring.sink.space(), 0u);
    }
}

TEST(CircularSink, ALeftOnlyToneIsHeardOnTheLeft) {
    std::vector<uint32_t> tone;
    for (int i = 0; i < 8; ++i)
        tone.push_back(SampleWord(i % 2 ? 8192 : -8192, 0));
    for (int kind = 0; kind < 2; ++kind) {
        const OutFormat& f = kind == 0 ? kFormats[3] : kFormats[2];  // alt16 (straight path), alt8u
        Ring ring(f, 22050, 8);
        arraySource src(22050, tone);
        ring.sink.write(src, 8);
        const uint32_t half = FrameBytes(f) / 2;
        for (int i = 0; i < 8; ++i) {
            const uint8_t* frame = ring.at(0, size_t(i) * FrameBytes(f));
            int32_t left = half == 2 ? static_cast<int16_t>(frame[0] | frame[1] << 8) : (frame[0] - 128) * 256;
            int32_t right = half == 2 ? static_cast<int16_t>(frame[2] | frame[3] << 8) : (frame[1] - 128) * 256;
            EXPECT_EQ(left, i % 2 ? 8192 : -8192) << f.name << " frame " << i;
            EXPECT_EQ(right, 0) << f.name << " frame " << i;
        }
    }
}

TEST(CircularSink, AHeldOverSampleComesFirstAndARateChangeWhileHoldingIsFatal) {
    const OutFormat& alt16 = kFormats[3];
    Ring ring(alt16, 44100, 16);
    arraySource src(22050, {SampleWord(100, 100), SampleWord(300, 300), SampleWord(500, 500)});
    EXPECT_EQ(ring.sink.write(src, 3), 3u);  // mid(0,a), a, mid(a,b): b is held over
    EXPECT_TRUE(ring.sink.adaptor()->convertor()->holding());
    EXPECT_EQ(ring.sink.conversionOffset(), Rational(1, 44100));
    EXPECT_EQ(ring.sink.write(src, 2), 2u);  // b itself first, then mid(b,c)
    const uint8_t* p = ring.at(0, 0);
    const int expectedLeft[] = {50, 100, 200, 300, 400};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(static_cast<int16_t>(p[4 * i] | p[4 * i + 1] << 8), expectedLeft[i]) << i;

    arraySource other(44100, {SampleWord(1, 1)});
    EXPECT_EQ(FatalOf([&] { ring.sink.write(other, 4); }), "audioAdaptor::Changing frequencies, nonempty convertor");
    ring.sink.reset();  // drops the held sample: the change is allowed now
    EXPECT_EQ(ring.sink.write(other, 4), 1u);
}

TEST(WordRing, PositionsWrapAndMayNotRunPastTheirRoom) {
    circBuf ring(5);
    ASSERT_NE(ring.start(), nullptr);
    EXPECT_EQ(ring.capacity(), 5u);
    ring.advanceWrite(4);
    EXPECT_EQ(ring.readable(), 4u);
    EXPECT_EQ(ring.writable(), 1u);
    ring.advanceRead(3);
    EXPECT_EQ(ring.writableSpan(), 1u);  // up to the end of the storage
    ring.advanceWrite(3);                 // wraps
    EXPECT_EQ(ring.writePtr(), ring.start() + 2);
    EXPECT_EQ(ring.readableSpan(), 2u);  // from the read position to the end of the storage
    EXPECT_EQ(ring.readable(), 4u);
    EXPECT_EQ(FatalOf([&] { ring.advanceWrite(2); }), "circBuf::Excessive advance of a pointer");
    EXPECT_EQ(FatalOf([&] { ring.advanceRead(5); }), "circBuf::Excessive advance of a pointer");
    ring.clear();
    EXPECT_EQ(ring.readable(), 0u);
}

TEST(CircularSink, BuffersMustFitTheLayout) {
    uint32_t a[8], b[8];
    auto* pa = reinterpret_cast<uint8_t*>(a);
    auto* pb = reinterpret_cast<uint8_t*>(b);
    audioFormatSpec sep(22050, audioSepStereo, audio16Bit, 0);
    audioFormatSpec alt(22050, audioAltStereo, audio16Bit, 0);
    EXPECT_EQ(FatalOf([&] { audioCircularSink s(sep, pa, 32); }), "audioCircularSink::sepStereo requires two buffers");
    EXPECT_EQ(FatalOf([&] { audioCircularSink s(alt, pa, 32, pb); }), "audioCircularSink::useless second buffer");
    EXPECT_EQ(FatalOf([&] { audioCircularSink s(alt, pa, 30); }), "audioCircularSink::invalid buffer length");
    EXPECT_EQ(FatalOf([&] { audioCircularSink s(alt, pa, 0); }), "audioCircularSink::invalid buffer length");
    audioCircularSink ok(sep, pa, 32, pb);
    EXPECT_EQ(ok.capacity(), 16u);

    audioBlock block(alt, pa, nullptr, 2);
    block.advance(2);
    EXPECT_EQ(FatalOf([&] { block.advance(1); }), "audioBlock::Trying to advance beyond length");
}

}  // namespace
