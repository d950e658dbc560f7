// Hostile stream headers: a format or block header with huge rates, channel counts, block sizes
// or word counts never makes the library ask for more memory than the ring of its best output
// format; each ends in the library's fatal path (back to the caller) or plays nothing. A counting
// operator new sees every block the library asks for.
#include <gtest/gtest.h>

#include <csetjmp>
#include <memory>
#include <cstring>
#include <random>

#include "audioavi.h"
#include "datakit/audio_encoders.h"
#include "largest_allocation.h"
#include "plat.h"
#include "sonvex_log.h"
#include "sonvex.h"
#include "vidvex.h"

namespace {

// The largest block the library makes: the output ring, at most two seconds of 44100 Hz
// 16-bit stereo.
constexpr size_t kLargestBlock = 44100 * 4 * 2;

struct HostileStream {
    SBAUDIOFORMAT format{};
    std::vector<uint8_t> chunk;
    bool taken = false;
};
HostileStream* g_hostile = nullptr;

const WAVEFORMATEX* Format(SBSTREAM*, int32_t* channels, int32_t* rate, int32_t* bytes, int32_t* tag) {
    const WAVEFORMATEX& f = g_hostile->format.format;
    *channels = f.nChannels;
    *rate = static_cast<int32_t>(f.nSamplesPerSec);
    *bytes = static_cast<int32_t>(f.nAvgBytesPerSec);
    *tag = f.wFormatTag;
    return &g_hostile->format.format;
}
int32_t Next(SBSTREAM*, const uint8_t** data, int32_t* length, int32_t, int32_t) {
    if (g_hostile->taken)
        return -1;
    g_hostile->taken = true;
    *data = g_hostile->chunk.data();
    *length = static_cast<int32_t>(g_hostile->chunk.size());
    return 0;
}
int32_t Release(SBBUFFER*, int32_t) {
    return 0;
}
int32_t Position(SBSTREAM*, int32_t) {
    return 0;
}
const sonvexStreamCalls kHostileCalls = {Format, Next, Release, Position};

SBSTREAM* const kStream = reinterpret_cast<SBSTREAM*>(uintptr_t{0x1000});
SBBUFFER* const kBuffer = reinterpret_cast<SBBUFFER*>(uintptr_t{0x2000});

struct Case {
    const char* what;
    uint16_t tag, channels, bits, samplesPerBlock;
    uint32_t rate;
    std::vector<uint8_t> chunk;
};

// A 3-bit block header stating `count` words, in a chunk of 40 bytes.
std::vector<uint8_t> ThreeBitBlock(uint32_t rate, uint32_t count) {
    std::vector<uint8_t> b(40, 0);
    for (int i = 0; i < 4; ++i) {
        b[2 + size_t(i)] = uint8_t(rate >> (8 * i));
        b[6 + size_t(i)] = uint8_t(count >> (8 * i));
    }
    return b;
}

std::vector<Case> Cases() {
    const std::vector<uint8_t> forty(40, 0x11);
    return {
        {"PCM at the largest rate", 1, 2, 16, 0, 0x7FFFFFFFu, forty},
        {"PCM at a negative rate", 1, 2, 16, 0, 0xFFFFFFFFu, forty},
        {"PCM of 65535 channels", 1, 65535, 16, 0, 22050, forty},
        {"PCM of 65535 bits", 1, 2, 65535, 0, 22050, forty},
        {"ADPCM of 65535 channels", 2, 65535, 4, 1017, 22050, forty},
        {"mono ADPCM blocks of 65535 samples", 2, 1, 4, 65535, 22050, forty},
        {"stereo ADPCM blocks of 65535 samples", 2, 2, 4, 65535, 22050, forty},
        {"3-bit block of 2^32 - 1 words", 2, 2, 3, 0, 22050, ThreeBitBlock(22050, 0xFFFFFFFFu)},
        {"3-bit block at a huge rate", 2, 2, 3, 0, 0x7FFFFFF0u, ThreeBitBlock(0x7FFFFFF0u, 8)},
    };
}

class AudioLimits : public ::testing::Test {
protected:
    void SetUp() override {
        plat::ResetForTests();
        sonvexUseStreamCalls(&kHostileCalls);
        sonvexSetSpeakerFactoryProvider(nullptr);  // the real speaker and its ring
        ErrorBuffer(m_text);
        EndAudio();
    }
    void TearDown() override {
        EndAudio();
        SetupAudio(nullptr, nullptr, 0, 0, 0, 0);
        sonvexUseStreamCalls(nullptr);
        longjmpOnAudioErrors(nullptr);
        ErrorBuffer(nullptr);
        g_hostile = nullptr;
    }
    char m_text[2048] = {};
};

// Runs one export; true when it ended in the library's fatal path.
template <class F>
bool Fatal(F&& body) {
    static std::jmp_buf target;
    longjmpOnAudioErrors(&target);
    if (setjmp(target) != 0)
        return true;
    body();
    return false;
}

TEST_F(AudioLimits, HostileHeadersNeverAskForMoreThanTheOutputRing) {
    for (const Case& c : Cases()) {
        for (int32_t mode : {2, 3}) {
            HostileStream s;
            s.format.format = WAVEFORMATEX{c.tag, c.channels, c.rate, c.rate * 4, 4, c.bits, 2};
            s.format.samplesPerBlock = c.samplesPerBlock;
            s.chunk = c.chunk;
            g_hostile = &s;
            alloctest::Watch watch;
            Fatal([mode] { SetupAudio(kBuffer, kStream, mode, 22050, 1, 1); });
            int32_t index = -1, length = 0;
            const uint8_t* data = nullptr;
            for (int n = 0; n < 3; ++n)
                Fatal([&] { FillAudio(kBuffer, kStream, &index, &data, &length, -1, 1); });
            Fatal([&] { ResyncAudio(kBuffer, kStream, &index, &data, &length, 1, 1); });
            Fatal([] { EndAudio(); });
            EXPECT_LE(watch.largest(), kLargestBlock) << c.what << ": " << m_text;
        }
    }
}

// The factory export takes the header's values straight from its caller.
TEST_F(AudioLimits, TheFactoryExportMakesOnlySmallFactories) {
    for (const Case& c : Cases()) {
        alloctest::Watch watch;
        audioBlockFactory* f = nullptr;
        Fatal([&] {
            f = makeAVIaudioFactory(c.channels, static_cast<int32_t>(c.rate), c.tag, c.bits, c.samplesPerBlock);
        });
        if (f) {
            // Inside the library a failed check travels as an exception.
            try {
                for (audioSource* s = f->setChunk(c.chunk.data(), static_cast<uint32_t>(c.chunk.size())); s;
                     s = f->advance())
                    s->skip(0xFFFFFFFFu);
            } catch (const audioFatalError&) {
            }
            delete f;
        }
        EXPECT_LE(watch.largest(), kLargestBlock) << c.what;
    }
}

// Damaged blocks: every truncation and a seeded mutation loop of whole streams in each block
// format. A chunk is either decoded to the words its blocks state or refused by the library's
// fatal path; each chunk lives in its own exact-size block, so a read past it is a sanitizer
// report.
TEST(AudioBlocks, TruncatedAndDamagedChunksAreFatalOrDecodeInBounds) {
    std::vector<uint32_t> words;
    for (uint32_t i = 0; i < 300; ++i)
        words.push_back(svxfmt::SampleWord(int32_t(i * 97 % 4000) - 2000, int32_t(i * 31 % 3000) - 1500));
    std::vector<int16_t> mono;
    for (uint32_t w : words)
        mono.push_back(int16_t(svxfmt::WordLeft(w)));
    struct Format {
        const char* what;
        int32_t channels, tag, bits, samplesPerBlock;
        uint32_t block;  // fixed block size, 0 for self-sized blocks
        std::vector<uint8_t> bytes;
    };
    const Format formats[] = {
        {"mono ADPCM", 1, 2, 4, 41, 24, dk::EncodeAdpcmMono(mono, 41).bytes},
        {"stereo ADPCM", 2, 2, 4, 17, 24, dk::EncodeAdpcmStereo(words, 17).bytes},
        {"3-bit ADPCM", 2, 2, 3, 0, 0, dk::EncodeAdpcm3(words, 22050, 50).bytes},
        {"16-bit stereo PCM", 2, 1, 16, 0, 4, dk::EncodePcm(words, 2, 16).bytes},
    };
    // Decodes the chunk through a factory of the format; false when the library refused it.
    auto decode = [](const Format& f, const std::vector<uint8_t>& chunk) {
        std::unique_ptr<audioBlockFactory> factory(makeAudioFactory(f.channels, 22050, f.tag, f.bits, f.samplesPerBlock));
        try {
            for (audioSource* s = factory->setChunk(chunk.data(), uint32_t(chunk.size())); s; s = factory->advance()) {
                std::vector<uint32_t> out(s->remaining());
                EXPECT_EQ(s->extract(out.data(), uint32_t(out.size())), out.size());
                EXPECT_EQ(s->remaining(), 0u);
            }
        } catch (const audioFatalError&) {
            return false;
        }
        return true;
    };
    std::mt19937 rng(31337);
    for (const Format& f : formats) {
        ASSERT_TRUE(decode(f, f.bytes)) << f.what;
        for (size_t len = 1; len < f.bytes.size(); ++len) {
            const std::vector<uint8_t> cut(f.bytes.begin(), f.bytes.begin() + ptrdiff_t(len));
            const bool decoded = decode(f, cut);
            if (f.block) {
                EXPECT_EQ(decoded, len % f.block == 0) << f.what << " cut to " << len;
            }
        }
        for (int n = 0; n < 500; ++n) {
            std::vector<uint8_t> bad = f.bytes;
            const int changes = 1 + int(rng() % 4);
            for (int c = 0; c < changes; ++c)
                bad[rng() % bad.size()] ^= uint8_t(1 + rng() % 255);
            decode(f, bad);
        }
    }
}

}  // namespace
