// The speech codec stand-ins: each keeps a 440 Hz tone recognisable (at least 15 dB signal to
// noise) in its frame sizes, refuses calls out of shape, and decodes hostile coded bytes without
// reading or writing past a frame.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "speech_codecs.h"
#include "tsd32.h"

namespace {

using Bytes = std::vector<uint8_t>;

// `samples` of a 440 Hz tone at 8000 Hz, 16-bit little-endian, amplitude 12000.
Bytes Tone(size_t samples) {
    Bytes out(samples * 2);
    for (size_t i = 0; i < samples; ++i) {
        const auto v = (int16_t)std::lround(12000 * std::sin(2 * M_PI * 440 * (double)i / 8000));
        out[2 * i] = (uint8_t)(v & 0xFF);
        out[2 * i + 1] = (uint8_t)((uint16_t)v >> 8);
    }
    return out;
}

double SnrDb(const Bytes& source, const Bytes& decoded) {
    double signal = 0, noise = 0;
    for (size_t i = 0; i + 1 < source.size(); i += 2) {
        const double s = (int16_t)(source[i] | source[i + 1] << 8);
        const double d = (int16_t)(decoded[i] | decoded[i + 1] << 8);
        signal += s * s;
        noise += (s - d) * (s - d);
    }
    return 10 * std::log10(signal / std::max(noise, 1e-9));
}

struct Library {
    void* handle;
    explicit Library(const char* file) : handle(dlopen((std::string(SPEECH_CODEC_DIR) + "/" + file).c_str(), RTLD_NOW)) {}
    ~Library() {
        if (handle) dlclose(handle);
    }
    template <class F>
    F Get(const char* name) {
        return reinterpret_cast<F>(dlsym(handle, name));
    }
};

// Codes a whole tone frame by frame with `code` (raw frame in, coded frame out, decoded back).
template <class Code>
Bytes RoundTrip(const Bytes& source, size_t raw, Code code) {
    Bytes decoded(source.size());
    for (size_t at = 0; at + raw <= source.size(); at += raw) code(&source[at], &decoded[at]);
    return decoded;
}

TEST(SpeechCodecs, EachKeepsATonePastFifteenDecibels) {
    // TrueSpeech stand-in: 480 -> 32 bytes, linked.
    const TSD_WAVEFORMAT pcm{1, 1, 8000, 16000, 2, 16, 0, 0, 0, {}};
    const TSD_WAVEFORMAT tsd{34, 1, 8000, 1067, 32, 1, 32, 1, 240, {}};
    const TSD_HANDLE h = tsd_OpenCodec(&pcm, &tsd);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(tsd_OpenCodec(&tsd, &tsd), 0u) << "the input must be PCM";
    const Bytes tone480 = Tone(240 * 33);
    const Bytes viaTsd = RoundTrip(tone480, 480, [&](const uint8_t* in, uint8_t* out) {
        uint8_t coded[TSD_CODED_FRAME_BYTES];
        ASSERT_EQ(tsd_Encode(h, in, coded), 0);
        ASSERT_EQ(tsd_Decode(h, coded, out), 0);
    });
    EXPECT_GE(SnrDb(tone480, viaTsd), 15.0);
    EXPECT_EQ(tsd_CloseCodec(h), 0);

    // Echo Speech stand-in: 588 -> 30 bytes, loaded.
    Library sc3("libsc3dll.so");
    ASSERT_NE(sc3.handle, nullptr);
    auto encode = sc3.Get<SC3_ENCODE>("sc3_encode");
    auto decode = sc3.Get<SC3_DECODE>("sc3_decode");
    ASSERT_TRUE(encode && decode);
    const Bytes tone588 = Tone(294 * 27);
    const Bytes viaSc3 = RoundTrip(tone588, 588, [&](const uint8_t* in, uint8_t* out) {
        uint8_t coded[30];
        ASSERT_EQ(encode(in, coded, 588, 15, 16), 0);
        ASSERT_EQ(decode(coded, out, 30, 15, 16), 0);
    });
    EXPECT_GE(SnrDb(tone588, viaSc3), 15.0);
    uint8_t scratch[600];
    EXPECT_NE(encode(tone588.data(), scratch, 480, 15, 16), 0) << "only whole 588-byte frames";

    // VoxWare stand-in: 1440 -> at most 255 bytes per frame, a stream pair.
    Library vox("libvox.so");
    ASSERT_NE(vox.handle, nullptr);
    auto cmpOpen = vox.Get<VOX_OPEN>("cmpOpen");
    auto cmpWrite = vox.Get<VOX_WRITE>("cmpWrite");
    auto cmpRead = vox.Get<VOX_READ>("cmpRead");
    auto cmpClose = vox.Get<VOX_CLOSE>("cmpClose");
    auto dcmpOpen = vox.Get<VOX_OPEN>("dcmpOpen");
    auto dcmpWrite = vox.Get<VOX_WRITE>("dcmpWrite");
    auto dcmpRead = vox.Get<VOX_READ>("dcmpRead");
    auto dcmpClose = vox.Get<VOX_CLOSE>("dcmpClose");
    ASSERT_TRUE(cmpOpen && cmpWrite && cmpRead && cmpClose && dcmpOpen && dcmpWrite && dcmpRead && dcmpClose);
    const int32_t one[4] = {1, 0, 0, 0}, two[4] = {2, 0, 0, 0};
    EXPECT_NE(cmpOpen(one), 0) << "the parameter record starts with 2";
    EXPECT_NE(cmpWrite(tone588.data(), 1440), 0) << "not open";
    ASSERT_EQ(cmpOpen(two), 0);
    ASSERT_EQ(dcmpOpen(two), 0);
    const Bytes tone1440 = Tone(720 * 11);
    const Bytes viaVox = RoundTrip(tone1440, 1440, [&](const uint8_t* in, uint8_t* out) {
        uint8_t coded[255];
        int size = 0, got = 0;
        ASSERT_EQ(cmpWrite(in, 1440), 0);
        ASSERT_EQ(cmpRead(coded, 255, &size), 0);
        ASSERT_GT(size, 0);
        ASSERT_LE(size, 255);
        ASSERT_EQ(dcmpWrite(coded, size), 0);
        ASSERT_EQ(dcmpRead(out, 1440, &got), 0);
        ASSERT_EQ(got, 1440);
    });
    EXPECT_GE(SnrDb(tone1440, viaVox), 15.0);
    int size = 0;
    uint8_t coded[255];
    EXPECT_NE(cmpRead(coded, 255, &size), 0) << "nothing written since the last read";
    EXPECT_EQ(cmpClose(), 0);
    EXPECT_EQ(dcmpClose(), 0);
    EXPECT_NE(cmpClose(), 0) << "closed twice";
}

// Coded bytes from the network: every cut of a real frame and seeded mutations decode into the
// frame or are refused, never past it (the sanitizer run checks the reads and writes).
TEST(SpeechCodecs, HostileCodedFramesStayInsideTheFrame) {
    Library vox("libvox.so");
    ASSERT_NE(vox.handle, nullptr);
    auto open = vox.Get<VOX_OPEN>("cmpOpen");
    auto write = vox.Get<VOX_WRITE>("cmpWrite");
    auto read = vox.Get<VOX_READ>("cmpRead");
    auto dopen = vox.Get<VOX_OPEN>("dcmpOpen");
    auto dwrite = vox.Get<VOX_WRITE>("dcmpWrite");
    auto dread = vox.Get<VOX_READ>("dcmpRead");
    const int32_t two[4] = {2, 0, 0, 0};
    ASSERT_EQ(open(two), 0);
    ASSERT_EQ(dopen(two), 0);
    const Bytes tone = Tone(720);
    uint8_t coded[255];
    int size = 0;
    ASSERT_EQ(write(tone.data(), 1440), 0);
    ASSERT_EQ(read(coded, 255, &size), 0);
    Bytes out(1440);
    int got = 0;
    for (int cut = 1; cut < size; ++cut) {
        Bytes exact(coded, coded + cut);
        ASSERT_EQ(dwrite(exact.data(), cut), 0);
        EXPECT_NE(dread(out.data(), 1440, &got), 0) << "cut " << cut;
        EXPECT_EQ(got, 0);
    }
    std::mt19937 rng(41);
    const TSD_WAVEFORMAT pcm{1, 1, 8000, 16000, 2, 16, 0, 0, 0, {}};
    const TSD_WAVEFORMAT tsdFormat{34, 1, 8000, 1067, 32, 1, 32, 1, 240, {}};
    const TSD_HANDLE h = tsd_OpenCodec(&pcm, &tsdFormat);
    for (int round = 0; round < 2000; ++round) {
        Bytes b(coded, coded + size);
        for (int e = 0; e < 3; ++e) b[rng() % b.size()] = (uint8_t)rng();
        Bytes exact(b);
        if (dwrite(exact.data(), (int)exact.size()) == 0) dread(out.data(), 1440, &got);
        uint8_t fixed[TSD_CODED_FRAME_BYTES];
        for (uint8_t& x : fixed) x = (uint8_t)rng();
        ASSERT_EQ(tsd_Decode(h, fixed, out.data()), 0);
    }
}

}  // namespace
