// PCM block sources (byte layouts to sample words, length rules) and the block factories that
// makeAVIaudioFactory chooses from a stream's format.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "audioavi.h"
#include "pcmblock.h"
#include "sonvex_testing.h"

namespace {

using svt::FatalOf;

std::string Describe(const audioSource* s) {
    std::ostringstream out;
    if (s)
        s->describe(out);
    return out.str();
}

TEST(PcmBlock, BytesBecomeSampleWords) {
    struct Case {
        const char* kind;
        std::vector<uint8_t> bytes;
        std::vector<uint32_t> words;
        const char* description;
    };
    const Case cases[] = {
        {"PBM8", {0x00, 0x80, 0xFF, 0x7F}, {0x80008000u, 0x00000000u, 0x7F007F00u, 0xFF00FF00u},
         "block of 4 monophonic 8-bit audio samples\n"},
        {"PBM16", {0x34, 0x12, 0x00, 0x80, 0xFF, 0x7F}, {0x12341234u, 0x80008000u, 0x7FFF7FFFu},
         "block of 3 monophonic 16-bit audio samples\n"},
        {"PBS8", {0x00, 0xFF, 0x80, 0x81}, {0x80007F00u, 0x00000100u}, "block of 2 stereo 8-bit audio samples\n"},
        {"PBS16", {0x34, 0x12, 0xCD, 0xAB, 0x01, 0x80, 0xFF, 0x7F}, {0x1234ABCDu, 0x80017FFFu},
         "block of 2 stereo 16-bit audio samples\n"},
    };
    for (const Case& c : cases) {
        const std::string kind = c.kind;
        auto make = [&]() -> std::unique_ptr<pcmBlockSource> {
            const uint32_t n = static_cast<uint32_t>(c.bytes.size());
            if (kind == "PBM8")
                return std::make_unique<PBM8>(22050, c.bytes.data(), n);
            if (kind == "PBM16")
                return std::make_unique<PBM16>(22050, c.bytes.data(), n);
            if (kind == "PBS8")
                return std::make_unique<PBS8>(22050, c.bytes.data(), n);
            return std::make_unique<PBS16>(22050, c.bytes.data(), n);
        };
        // In bulk, and one word at a time: the same words.
        auto bulk = make();
        std::vector<uint32_t> got(c.words.size() + 1, 0xDEADBEEFu);
        EXPECT_EQ(bulk->extract(got.data(), 0xFFFFFFFFu), c.words.size()) << kind;
        got.pop_back();
        EXPECT_EQ(got, c.words) << kind;
        auto single = make();
        for (uint32_t w : c.words)
            EXPECT_EQ(single->next(), w) << kind;
        EXPECT_EQ(FatalOf([&] { single->next(); }), kind + "::Trying to extract from an empty source");
        EXPECT_EQ(Describe(single.get()), c.description);
        single->rewind();
        EXPECT_EQ(single->skip(1), 1u);
        EXPECT_EQ(single->next(), c.words[1]) << kind;
    }
}

TEST(PcmBlock, LengthsThatAreNotWholeFramesAreFatal) {
    const uint8_t bytes[8] = {};
    EXPECT_EQ(FatalOf([&] { PBM16(22050, bytes, 3); }), "PBM16::Invalid block length 3");
    EXPECT_EQ(FatalOf([&] { PBS8(22050, bytes, 5); }), "PBS8::Invalid block length 5");
    EXPECT_EQ(FatalOf([&] { PBS16(22050, bytes, 6); }), "PBS16::Invalid block length 6");
    PBM8 any(22050, bytes, 7);
    EXPECT_EQ(any.remaining(), 7u);
}

TEST(BlockFactory, MakeAviAudioFactoryCutsChunksByTheStreamFormat) {
    struct Case {
        int32_t channels, rate, tag, bits, samplesPerBlock;
        uint32_t chunkBytes;
        const char* log;
        std::vector<std::string> blocks;
    };
    const Case cases[] = {
        {2, 22050, 1, 16, 0, 4096, "makeAVIaudioFactory::16 bit Stereo PCM data, 22050 samples per second",
         {"block of 1024 stereo 16-bit audio samples\n"}},
        {1, 11025, 1, 8, 0, 100, "makeAVIaudioFactory::8 bit Mono PCM data, 11025 samples per second",
         {"block of 100 monophonic 8-bit audio samples\n"}},
        {2, 22050, 2, 4, 1017, 2048, "makeAVIaudioFactory::stereo 4 bit adpcm 22050 samples per second",
         {"Stereophonic adpcm source, sample rate 22050, 1017 samples\n",
          "Stereophonic adpcm source, sample rate 22050, 1017 samples\n"}},
        {1, 22050, 17, 4, 2041, 1024, "makeAVIaudioFactory::mono 4 bit adpcm 22050 samples per second",
         {"Monophonic adpcm source, sample rate 22050, 2041 samples\n"}},
        // Only the tag 1 means PCM: any other is the library's ADPCM, whatever its bits say.
        {2, 44100, 0x11, 16, 9, 32, "makeAVIaudioFactory::stereo 4 bit adpcm 44100 samples per second",
         {"Stereophonic adpcm source, sample rate 44100, 9 samples\n",
          "Stereophonic adpcm source, sample rate 44100, 9 samples\n"}},
    };
    for (const Case& c : cases) {
        svt::logRecorder log;
        std::unique_ptr<audioBlockFactory> f(makeAudioFactory(c.channels, c.rate, c.tag, c.bits, c.samplesPerBlock));
        ASSERT_NE(f, nullptr);
        EXPECT_TRUE(log.has(c.log)) << c.log;
        std::vector<uint8_t> chunk(c.chunkBytes, 0);
        audioSource* s = f->setChunk(chunk.data(), c.chunkBytes);
        for (const std::string& expected : c.blocks) {
            ASSERT_NE(s, nullptr) << expected;
            EXPECT_EQ(Describe(s), expected);
            EXPECT_EQ(s->rate(), static_cast<uint32_t>(c.rate));
            s->skip(0xFFFFFFFFu);
            s = f->advance();
        }
        EXPECT_EQ(s, nullptr) << c.log;
        EXPECT_EQ(f->bytesLeft(), 0u);
    }
}

TEST(BlockFactory, BadHeadersAreFatal) {
    struct Case {
        int32_t channels, tag, bits;
        const char* message;
    };
    const Case cases[] = {
        {3, 1, 16, "makeAVIaudioFactory::Bad pcm header, channels = 3"},
        {0, 1, 8, "makeAVIaudioFactory::Bad pcm header, channels = 0"},
        {1, 1, 12, "makeAVIaudioFactory::Bad pcm header, invalid bits/sample 12"},
        {3, 2, 4, "makeAVIaudioFactory::Unsupported header (compressed data): numChannels = 3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FatalOf([&] { delete makeAudioFactory(c.channels, 22050, c.tag, c.bits, 1017); }), c.message);
}

TEST(BlockFactory, AShortLastBlockIsFatalAtThatBlock) {
    for (int channels : {1, 2}) {
        std::unique_ptr<audioBlockFactory> f(makeAudioFactory(channels, 22050, 2, 4, channels == 1 ? 2041 : 1017));
        std::vector<uint8_t> chunk(1500, 0);
        audioSource* s = f->setChunk(chunk.data(), 1500);
        ASSERT_NE(s, nullptr);
        s->skip(0xFFFFFFFFu);
        const std::string name = channels == 1 ? "adpcmMonoBlockFactory" : "adpcmStereoBlockFactory";
        EXPECT_EQ(FatalOf([&] { f->advance(); }), name + "::Block too short, length = 476, should be 1024");
        EXPECT_EQ(f->current(), nullptr);
    }
}

TEST(BlockFactory, EmptyChunksAndResetLeaveNothingLive) {
    std::unique_ptr<audioBlockFactory> f(makeAudioFactory(2, 22050, 2, 4, 9));  // 16-byte blocks
    std::vector<uint8_t> chunk(48, 0);
    EXPECT_EQ(f->setChunk(chunk.data(), 0), nullptr);
    EXPECT_EQ(f->current(), nullptr);
    EXPECT_EQ(f->advance(), nullptr);

    audioSource* s = f->setChunk(chunk.data(), 48);
    s->skip(9);
    s = f->advance();
    ASSERT_NE(s, nullptr);
    s->skip(3);
    f->reset();  // the rest of the chunk (this block and one more) is dropped
    EXPECT_EQ(f->current(), nullptr);
    EXPECT_EQ(f->bytesLeft(), 0u);
    EXPECT_EQ(f->advance(), nullptr);
    s = f->setChunk(chunk.data(), 16);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->position(), 0u);
    EXPECT_EQ(s->remaining(), 9u);
}

}  // namespace
