// The ADPCM decoders: the magnitude table, blocks written byte by byte from the layout tables
// with their first words worked out by hand, encoder round trips, every split point of a block,
// the documented clamping difference between the two decoding paths, and header checks.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <sstream>

#include "adpcm3.h"
#include "adpcmmn.h"
#include "adpcmst.h"
#include "datakit/audio_encoders.h"
#include "sonvex_testing.h"

namespace {

using svt::FatalOf;

TEST(MagnitudeTable, FollowsTheFormulaWithTheRaisedRows) {
    const std::array<uint16_t, 8> row0 = {0, 2, 4, 6, 7, 9, 11, 13};
    const std::array<uint16_t, 8> row7 = {1, 5, 9, 13, 16, 20, 24, 28};
    const std::array<uint16_t, 8> row88 = {4095, 12287, 20479, 28671, 36862, 45054, 53246, 61438};
    EXPECT_EQ(svxfmt::kMagnitudes[0], row0);
    EXPECT_EQ(svxfmt::kMagnitudes[7], row7);
    EXPECT_EQ(svxfmt::kMagnitudes[88], row88);
    // The data kit's encoders answer from the same table.
    for (int i = 0; i < 89; ++i)
        for (int m = 0; m < 8; ++m)
            EXPECT_EQ(svxfmt::kMagnitudes[static_cast<size_t>(i)][static_cast<size_t>(m)], dk::AdpcmMagnitude(i, m))
                << i << "," << m;
}

TEST(AdpcmIndex, StaysInsideItsRange) {
    EXPECT_EQ(svxfmt::NextIndex(88, 7), 88);
    EXPECT_EQ(svxfmt::NextIndex(0, 0), 0);
    EXPECT_EQ(svxfmt::NextIndex(10, 3), 9);
    EXPECT_EQ(svxfmt::NextIndex(10, 4), 12);
    EXPECT_EQ(svxfmt::NextIndex(10, 7), 18);
}

std::vector<uint32_t> ExtractAll(audioSource& s) {
    std::vector<uint32_t> w(s.remaining());
    EXPECT_EQ(s.extract(w.data(), static_cast<uint32_t>(w.size())), w.size());
    return w;
}

std::vector<uint32_t> NextAll(audioSource& s) {
    std::vector<uint32_t> w;
    while (s.remaining() > 0)
        w.push_back(s.next());
    return w;
}

// Hand-made blocks, laid out as the format's tables give them.
TEST(HandMadeBlocks, MonoStereoAndThreeBitDecodeAsWorkedOut) {
    // Mono: predictor 1000, index 5, then bytes 0x73 0xA0 (high nibble first).
    const uint8_t mono[] = {
        0xE8, 0x03,  // predictor 1000
        0x05, 0x00,  // index 5
        0x73,        // word 1: code 7 (+22 at index 5), word 2: code 3 (+22 at index 13)
        0xA0,        // word 3: code A (-14 at index 12), word 4: code 0 (+2 at index 11)
    };
    // Stereo: left 10000 at index 0, right -10000 at index 88, then one byte per word.
    const uint8_t stereo[] = {
        0x10, 0x27, 0x00, 0x00,  // left predictor 10000, index 0
        0xF0, 0xD8, 0x58, 0x00,  // right predictor -10000, index 88
        0xF0,                    // left code F (-13), right code 0 (+4095)
        0x08,                    // left code 0 (+2 at index 8), right code 8 (-3724 at index 87)
    };
    // 3-bit: 5 words, so 4 data bytes (3 for the first group, 1 for the last word).
    const uint8_t three[] = {
        0x00, 0x00,              // type, version
        0x22, 0x56, 0x00, 0x00,  // rate 22050
        0x05, 0x00, 0x00, 0x00,  // 5 words
        0xE8, 0x03,              // mid 1000
        0x64, 0x00,              // side 100
        0x00, 0x00,              // indices 0, 0
        0x21,                    // word 0: mid code 1, side code 2
        0x43,                    // word 1: mid code 3; word 2: mid code 4
        0x65,                    // word 2: side code 5; word 3: mid code 6
        0x07,                    // word 4: mid code 7, side code 0
    };
    struct Case {
        const char* name;
        std::function<std::unique_ptr<audioSeekableSource>()> make;
        std::vector<uint32_t> words;
        const char* description;
    };
    const Case cases[] = {
        {"mono", [&] { return std::make_unique<adpcmMono>(22050, mono, sizeof mono); },
         {MonoWord(1000), MonoWord(1022), MonoWord(1044), MonoWord(1030), MonoWord(1032)},
         "Monophonic adpcm source, sample rate 22050, 5 samples\n"},
        {"stereo", [&] { return std::make_unique<adpcmStereo>(44100, stereo, sizeof stereo); },
         {SampleWord(10000, -10000), SampleWord(9987, -5905), SampleWord(9989, -9629)},
         "Stereophonic adpcm source, sample rate 44100, 3 samples\n"},
        {"3-bit",
         [&] {
             uint32_t used = 0;
             auto s = std::make_unique<adpcm3>(three, sizeof three, &used);
             EXPECT_EQ(used, 20u);
             return s;
         },
         {SampleWord(1104, 900), SampleWord(1112, 904), SampleWord(1123, 907), SampleWord(1142, 916),
          SampleWord(1172, 946)},
         "3-bit adpcm source ( 0, 0)  srate 22050, 5 samples\n"},
    };
    for (const Case& c : cases) {
        auto bulk = c.make();
        EXPECT_EQ(ExtractAll(*bulk), c.words) << c.name;
        auto single = c.make();
        EXPECT_EQ(NextAll(*single), c.words) << c.name;
        std::ostringstream d;
        single->describe(d);
        EXPECT_EQ(d.str(), c.description);
        // Seeking back decodes again from the start of the block.
        EXPECT_EQ(single->seek(2), 2u);
        EXPECT_EQ(single->next(), c.words[2]) << c.name;
    }
}

TEST(HandMadeBlocks, MonoSingleWordsTakeAWholeByteAtAnOddPosition) {
    const uint8_t mono[] = {0xE8, 0x03, 0x05, 0x00, 0x73, 0xA0};
    adpcmMono s(22050, mono, sizeof mono);
    uint32_t w = 0;
    EXPECT_EQ(s.extract(&w, 1), 1u);
    EXPECT_EQ(w, MonoWord(1000));
    EXPECT_EQ(s.extract(&w, 1), 1u);  // decodes byte 4 and returns its high-nibble sample
    EXPECT_EQ(w, MonoWord(1022));
    EXPECT_EQ(s.extract(&w, 1), 1u);  // the low-nibble sample, already decoded
    EXPECT_EQ(w, MonoWord(1044));
    uint32_t rest[4] = {};
    EXPECT_EQ(s.extract(rest, 4), 2u);
    EXPECT_EQ(rest[0], MonoWord(1030));
    EXPECT_EQ(rest[1], MonoWord(1032));
}

// Decoding paths agree while the signal stays in range; the encoders keep it there.
void ExpectEverySplitAgrees(audioSeekableSource& s, const std::vector<uint32_t>& expected, const char* name) {
    const uint32_t n = static_cast<uint32_t>(expected.size());
    for (uint32_t split = 0; split <= n; ++split) {
        s.rewind();
        std::vector<uint32_t> got(n + 8, 0xDEADBEEFu);
        EXPECT_EQ(s.extract(got.data(), split), split);
        EXPECT_EQ(s.extract(got.data() + split, 0xFFFFFFFFu), n - split);
        for (uint32_t i = n; i < n + 8; ++i)
            ASSERT_EQ(got[i], 0xDEADBEEFu) << name << " wrote past the request at split " << split;
        got.resize(n);
        ASSERT_EQ(got, expected) << name << " split " << split;
    }
}

TEST(EncoderRoundTrip, EveryBlockFormatIsBitExactAtEverySplit) {
    const std::vector<uint32_t> words = svt::TwoTones(61, 15000);
    std::vector<int16_t> mono;
    for (uint32_t w : words)
        mono.push_back(static_cast<int16_t>(WordLeft(w)));

    dk::EncodedAudio m = dk::EncodeAdpcmMonoBlock(mono);  // 61 words: 34 bytes
    ASSERT_EQ(m.bytes.size(), 34u);
    adpcmMono ms(22050, m.bytes.data(), 34);
    ExpectEverySplitAgrees(ms, m.decoded, "mono");

    dk::EncodedAudio st = dk::EncodeAdpcmStereoBlock(words);  // 61 words: 68 bytes
    ASSERT_EQ(st.bytes.size(), 68u);
    adpcmStereo ss(22050, st.bytes.data(), 68);
    ExpectEverySplitAgrees(ss, st.decoded, "stereo");

    for (uint32_t count : {61u, 60u, 59u, 58u, 4u, 1u}) {
        std::vector<uint32_t> part(words.begin(), words.begin() + count);
        dk::EncodedAudio t = dk::EncodeAdpcm3Block(part, 44100);
        uint32_t used = 0;
        adpcm3 ts(t.bytes.data(), static_cast<uint32_t>(t.bytes.size()), &used);
        EXPECT_EQ(used, t.bytes.size());
        ExpectEverySplitAgrees(ts, t.decoded, "3-bit");
    }
}

TEST(EncoderRoundTrip, WholeStreamsThroughTheFactoriesMatchTheEncodersPrediction) {
    const std::vector<uint32_t> words = svt::TwoTones(20000);
    std::vector<int16_t> mono;
    for (uint32_t w : words)
        mono.push_back(static_cast<int16_t>(WordLeft(w)));
    struct Case {
        const char* name;
        dk::EncodedAudio encoded;
        std::unique_ptr<audioBlockFactory> factory;
        size_t chunkBytes;
    };
    Case cases[] = {
        {"mono", dk::EncodeAdpcmMono(mono, 2041), std::make_unique<adpcmMonoBlockFactory>(22050, 1024), 4096},
        {"stereo", dk::EncodeAdpcmStereo(words, 1017), std::make_unique<adpcmStereoBlockFactory>(22050, 1024), 3072},
        {"3-bit", dk::EncodeAdpcm3(words, 22050, 1000), std::make_unique<adpcm3BlockFactory>(), 0},
    };
    std::mt19937 random(7);
    for (Case& c : cases) {
        // Blocks carry whole chunks; the 3-bit stream is one chunk of self-sized blocks.
        const size_t chunkBytes = c.chunkBytes ? c.chunkBytes : c.encoded.bytes.size();
        std::vector<uint32_t> got;
        for (const auto& chunk : dk::SplitChunks(c.encoded.bytes, chunkBytes)) {
            audioSource* s = c.factory->setChunk(chunk.data(), static_cast<uint32_t>(chunk.size()));
            while (s) {
                // Random pieces, some taken one word at a time.
                while (s->remaining() > 0) {
                    uint32_t n = std::uniform_int_distribution<uint32_t>(1, 700)(random);
                    if (n < 50) {
                        got.push_back(s->next());
                        continue;
                    }
                    std::vector<uint32_t> piece(n);
                    piece.resize(s->extract(piece.data(), n));
                    got.insert(got.end(), piece.begin(), piece.end());
                }
                s = c.factory->advance();
            }
        }
        EXPECT_EQ(got, c.encoded.decoded) << c.name;
        EXPECT_GE(got.size(), words.size()) << c.name;
    }
}

TEST(ClampingPaths, DifferOnlyWhereTheFormatSaysSo) {
    // Predictor 32000 at index 88, two codes 7: +61438 each.
    const uint8_t mono[] = {0x00, 0x7D, 0x58, 0x00, 0x77};
    adpcmMono perWord(22050, mono, sizeof mono);
    adpcmMono bulk(22050, mono, sizeof mono);
    EXPECT_EQ(NextAll(perWord), (std::vector<uint32_t>{MonoWord(32000), MonoWord(32767), MonoWord(32767)}));
    // The bulk loop does not clamp: the sample is the low 16 bits of the predictor.
    EXPECT_EQ(ExtractAll(bulk), (std::vector<uint32_t>{MonoWord(32000), MonoWord(27902), MonoWord(23804)}));

    // Stereo never clamps, on either path.
    const uint8_t stereo[] = {0x00, 0x7D, 0x58, 0x00, 0x00, 0x83, 0x58, 0x00, 0x7F, 0x7F};
    adpcmStereo sa(22050, stereo, sizeof stereo), sb(22050, stereo, sizeof stereo);
    const std::vector<uint32_t> expected = {SampleWord(32000, -32000), SampleWord(27902, -27902),
                                            SampleWord(23804, -23804)};
    EXPECT_EQ(NextAll(sa), expected);
    EXPECT_EQ(ExtractAll(sb), expected);
}

TEST(Headers, BadValuesAreFatalOrClamped) {
    const uint8_t monoBad[] = {0x00, 0x00, 0x00, 0x01, 0x00};  // index 0x0100
    EXPECT_EQ(FatalOf([&] { adpcmMono(22050, monoBad, sizeof monoBad); }), "adpcmMono::Bogus initial index 256");
    const uint8_t stereoBad[] = {0, 0, 89, 0, 0, 0, 3, 0, 0};
    EXPECT_EQ(FatalOf([&] { adpcmStereo(22050, stereoBad, sizeof stereoBad); }),
              "adpcmStereo::Bogus initial indices L:89 R:3");
    EXPECT_EQ(FatalOf([&] { adpcmMono(22050, monoBad, 3); }), "adpcmMonoHdr::Block too short, length is 3");
    EXPECT_EQ(FatalOf([&] { adpcmStereo(22050, stereoBad, 7); }), "adpcmStereoHdr::Block too short, length is 7");

    uint8_t three[20] = {0, 0, 0x44, 0xAC, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 200, 200, 0x77, 0x77, 0x77, 0x77};
    uint32_t used = 0;
    uint8_t at88[20];
    std::memcpy(at88, three, 20);
    at88[14] = at88[15] = 88;
    adpcm3 clamped(three, 20, &used), reference(at88, 20, &used);
    EXPECT_EQ(NextAll(clamped), NextAll(reference));  // an index above 88 is taken as 88

    struct Case {
        size_t at;
        uint8_t value;
        uint32_t available;
        const char* message;
    };
    const Case cases[] = {
        {0, 1, 20, "adpcm3::Bogus block, typeID = 1, version = 0"},
        {1, 2, 20, "adpcm3::Bogus block, typeID = 0, version = 2"},
        {3, 0x7D, 20, "adpcm3::Weird sample rate 32000"},  // 0x7D00
        {0, 0, 19, "adpcm3::Block too short, length 19, should be 20"},
        {0, 0, 12, "adpcm3::Block too short, length 12, should be 16"},
    };
    for (const Case& c : cases) {
        uint8_t b[20];
        std::memcpy(b, three, 20);
        b[c.at] = c.value;
        if (c.at == 3)
            b[2] = 0x00;
        EXPECT_EQ(FatalOf([&] { adpcm3(b, c.available, &used); }), c.message);
    }
    uint8_t empty[16] = {0, 0, 0x22, 0x56, 0, 0};
    EXPECT_EQ(FatalOf([&] {
                  adpcm3 s(empty, 16, &used);
                  s.next();
              }),
              "adpcm3::Calling next() on empty source");
    const uint8_t monoOk[] = {0, 0, 0, 0};
    EXPECT_EQ(FatalOf([&] {
                  adpcmMono s(22050, monoOk, 4);
                  s.next();
                  s.next();
              }),
              "adpcmMono::Calling next() on empty source");
}

TEST(ThreeBit, DataLengthIsThreeBytesPerGroupRoundedToFour) {
    const uint32_t cases[][2] = {{0, 0}, {1, 4}, {3, 4}, {4, 4}, {5, 4}, {6, 8}, {8, 8}, {9, 8}, {12, 12}, {13, 12},
                                 {4294967295u, 3221225472u}};
    for (const auto& c : cases)
        EXPECT_EQ(adpcm3::dataLength(c[0]), c[1]) << c[0];
}

}  // namespace
