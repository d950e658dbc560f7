// sonvexcat end to end: movies written with the data kit, played through the audio library's
// exports on the headless backend, the WAV compared with the source samples or with the
// library's own rate converter, then silence after the sound; and its failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "aud_impl.h"
#include "datakit/audio_encoders.h"
#include "datakit/bytes.h"
#include "datakit/movie_writer.h"

namespace {

// Files of this process only (test programs run side by side), removed when it ends.
std::string TempPath(const std::string& name) {
    static const std::string dir = [] {
        std::string d = ::testing::TempDir() + "sonvexcat_" + std::to_string(getpid()) + "/";
        std::filesystem::create_directories(d);
        return d;
    }();
    static const struct Remover {
        ~Remover() { std::filesystem::remove_all(dir); }
    } remover;
    return dir + name;
}

struct Wav {
    uint32_t rate = 0;
    uint16_t channels = 0;
    std::vector<int16_t> samples;
};

bool ReadWav(const std::string& path, Wav* w) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 44 || std::string(b.begin(), b.begin() + 4) != "RIFF")
        return false;
    w->channels = static_cast<uint16_t>(b[22] | b[23] << 8);
    w->rate = b[24] | b[25] << 8 | b[26] << 16 | static_cast<uint32_t>(b[27]) << 24;
    for (size_t i = 44; i + 1 < b.size(); i += 2)
        w->samples.push_back(static_cast<int16_t>(b[i] | b[i + 1] << 8));
    return true;
}

struct Result {
    int code;
    std::string output;
};

Result RunTool(const std::string& args) {
    const std::string log = TempPath("sonvexcat.log");
    const std::string command = "PLATFORM_BACKEND=headless " SONVEXCAT_PATH " " + args + " >" + log + " 2>&1";
    int status = std::system(command.c_str());
    std::ifstream in(log);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

std::string Movie(const std::string& name, const dk::MovieAudioTrack& audio) {
    dk::MovieVideoTrack video;
    for (int i = 0; i < 10; ++i)
        video.frames.push_back(std::vector<uint8_t>(40, static_cast<uint8_t>(i)));
    const std::string path = TempPath(name);
    EXPECT_TRUE(dk::WriteMovieFile(path, &video, &audio));
    return path;
}

// Sound words as the device plays them: left then right, 16-bit.
std::vector<int16_t> Interleave(const std::vector<uint32_t>& words) {
    std::vector<int16_t> s;
    for (uint32_t w : words) {
        s.push_back(dk::WordLeft(w));
        s.push_back(dk::WordRight(w));
    }
    return s;
}

// What the library's own convertor makes of the words at outRate, written in one piece.
std::vector<int16_t> Converted(const std::vector<uint32_t>& words, uint32_t inRate, uint32_t outRate) {
    const uint32_t frames = static_cast<uint32_t>(words.size() * 2 + 16);
    std::vector<uint32_t> ring(frames);
    audioFormatSpec format(outRate, audioAltStereo, audio16Bit, 0);
    audioCircularSink sink(format, reinterpret_cast<uint8_t*>(ring.data()), frames * 4);
    struct vectorSource final : audioSource {
        const std::vector<uint32_t>& w;
        uint32_t r, pos = 0;
        vectorSource(const std::vector<uint32_t>& words, uint32_t rate) : w(words), r(rate) {}
        uint32_t rate() const override { return r; }
        uint32_t remaining() const override { return static_cast<uint32_t>(w.size()) - pos; }
        uint32_t position() const override { return pos; }
        uint32_t extract(uint32_t* out, uint32_t n) override {
            uint32_t k = std::min(n, remaining());
            std::copy(w.begin() + pos, w.begin() + pos + k, out);
            pos += k;
            return k;
        }
    } source(words, inRate);
    const uint32_t written = sink.write(source, 0xFFFFFFFFu);
    const auto* p = reinterpret_cast<const int16_t*>(ring.data());
    return std::vector<int16_t>(p, p + 2 * written);
}

dk::MovieAudioTrack Pcm(const std::vector<uint32_t>& words, uint32_t rate) {
    dk::MovieAudioTrack a;
    a.sampleRate = rate;
    a.chunks = dk::SplitChunks(dk::EncodePcm(words, 2, 16).bytes, 4 * 2205);
    return a;
}

std::vector<uint32_t> Tones(size_t n) {
    std::vector<uint32_t> w(n);
    for (size_t i = 0; i < n; ++i)
        w[i] = dk::SampleWord(static_cast<int>(9000 * __builtin_sin(0.05 * double(i))),
                              static_cast<int>(7000 * __builtin_cos(0.013 * double(i))));
    return w;
}

void ExpectSoundThenSilence(const Wav& wav, const std::vector<int16_t>& sound, uint32_t rate) {
    EXPECT_EQ(wav.rate, rate);
    EXPECT_EQ(wav.channels, 2);
    ASSERT_GE(wav.samples.size(), sound.size());
    EXPECT_EQ(std::vector<int16_t>(wav.samples.begin(), wav.samples.begin() + static_cast<ptrdiff_t>(sound.size())),
              sound);
    const size_t tail = wav.samples.size() - sound.size();
    EXPECT_GE(tail, 2u * (rate / 10) - 2);  // a tenth of a second after the sound...
    for (size_t i = sound.size(); i < wav.samples.size(); ++i)
        ASSERT_EQ(wav.samples[i], 0) << "sample " << i;  // ...of silence
}

TEST(Sonvexcat, AtTheDeviceRateThePcmSamplesComeOutUnchanged) {
    const std::vector<uint32_t> words = Tones(30000);
    const std::string movie = Movie("cat_pcm.avi", Pcm(words, 22050));
    const std::string out = TempPath("cat_pcm.wav");
    Result r = RunTool(movie + " " + out);
    ASSERT_EQ(r.code, 0) << r.output;
    Wav wav;
    ASSERT_TRUE(ReadWav(out, &wav));
    ExpectSoundThenSilence(wav, Interleave(words), 22050);
}

TEST(Sonvexcat, AdpcmComesOutAsTheEncoderPredicted) {
    const std::vector<uint32_t> words = Tones(20000);
    dk::EncodedAudio e = dk::EncodeAdpcmStereo(words, 1017);
    dk::MovieAudioTrack a;
    a.formatTag = 2;
    a.bitsPerSample = 4;
    a.samplesPerBlock = 1017;
    a.formatBytes = 20;
    a.sampleRate = 44100;
    a.chunks = dk::SplitChunks(e.bytes, 4 * 1024);
    const std::string out = TempPath("cat_adpcm.wav");
    Result r = RunTool(Movie("cat_adpcm.avi", a) + " " + out);
    ASSERT_EQ(r.code, 0) << r.output;
    Wav wav;
    ASSERT_TRUE(ReadWav(out, &wav));
    ExpectSoundThenSilence(wav, Interleave(e.decoded), 44100);
}

TEST(Sonvexcat, AtOtherRatesTheResultIsTheConvertersOwn) {
    const std::vector<uint32_t> words = Tones(22051);  // odd: the halver holds its last word over
    struct Case {
        uint32_t movieRate, deviceRate;
    };
    for (const Case& c : {Case{22050, 44100}, Case{44100, 22050}}) {
        SCOPED_TRACE(std::to_string(c.movieRate) + " -> " + std::to_string(c.deviceRate));
        const std::string movie = Movie("cat_rate.avi", Pcm(words, c.movieRate));
        const std::string out = TempPath("cat_rate.wav");
        Result r = RunTool(movie + " " + out + " " + std::to_string(c.deviceRate));
        ASSERT_EQ(r.code, 0) << r.output;
        Wav wav;
        ASSERT_TRUE(ReadWav(out, &wav));
        std::vector<int16_t> reference = Converted(words, c.movieRate, c.deviceRate);
        // Then the last word meets the silence that follows the sound: the halver averages its
        // held-over word with it, the doubler writes their midpoint.
        reference.push_back(static_cast<int16_t>(dk::WordLeft(words.back()) >> 1));
        reference.push_back(static_cast<int16_t>(dk::WordRight(words.back()) >> 1));
        ExpectSoundThenSilence(wav, reference, c.deviceRate);
    }
}

TEST(Sonvexcat, FailuresEndWithAMessageAndCodeOne) {
    const std::string out = TempPath("cat_fail.wav");
    Result missing = RunTool(TempPath("no_such_movie.avi") + " " + out);
    EXPECT_EQ(missing.code, 1);
    EXPECT_THAT(missing.output, ::testing::HasSubstr("cannot open"));

    // 32000 Hz is not a rate the speaker plays: the library's fatal error comes back to the tool.
    Result odd = RunTool(Movie("cat_32k.avi", Pcm(Tones(1000), 32000)) + " " + out);
    EXPECT_EQ(odd.code, 1);
    EXPECT_THAT(odd.output, ::testing::HasSubstr("wdzFactory::Unsupported frequency 32000"));

    Result usage = RunTool("");
    EXPECT_EQ(usage.code, 2);
}

}  // namespace
