// The stream-buffer library: a movie written byte by byte from the container's layout, the
// writer's variants (index conventions, no index, "rec " groups, JUNK), audio sample counts of
// every format, the buffer budget, seeking, rates, null and stale handles, path resolution, a
// corpus of broken files that must open or be refused cleanly, and the largest picture.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include <unistd.h>

#include "datakit/audio_encoders.h"
#include "datakit/bytes.h"
#include "datakit/movie_writer.h"
#include "largest_allocation.h"
#include "strimbuf.h"
#include "vidvex_format.h"

namespace {

// Files of this process only (test programs run side by side), removed when it ends.
const std::string& TempDirectory() {
    static const std::string dir = [] {
        std::string d = ::testing::TempDir() + "strimbuf_" + std::to_string(getpid()) + "/";
        std::filesystem::create_directories(d);
        return d;
    }();
    static const struct Remover {
        ~Remover() { std::filesystem::remove_all(dir); }
    } remover;
    return dir;
}

std::string TempPath(const std::string& name) {
    return TempDirectory() + name;
}

std::string Save(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = TempPath(name);
    EXPECT_TRUE(dk::WriteFile(path, bytes));
    return path;
}

// A movie, its buffer and streams, closed in order at the end.
struct Opened {
    explicit Opened(const std::string& path, int32_t budget = 0x200000) {
        sbInit(1, 2, 1);
        buffer = sbAllocBuffer(budget, 0);
        movie = sbOpenMovie(path.c_str(), buffer);
        video = sbOpenStream(movie, 0, 1, SB_VIDEO);
        audio = sbOpenStream(movie, 0, 1, SB_AUDIO);
    }
    ~Opened() {
        sbCloseStream(audio);
        sbCloseStream(video);
        sbCloseMovie(movie);
        sbFreeBuffer(buffer);
        sbExit();
    }
    // Every item of a stream, each released before the next is taken.
    std::vector<std::vector<uint8_t>> All(SBSTREAM* s) {
        std::vector<std::vector<uint8_t>> items;
        for (;;) {
            const uint8_t* data = nullptr;
            int32_t length = 0;
            int32_t index = sbNextChunk(s, &data, &length, 1, 1);
            if (index < 0)
                break;
            items.emplace_back(data, data + length);
            for (int i = 0; i < 64; ++i)
                EXPECT_EQ(data[length + i], 0) << "padding";
            sbRelease(buffer, index);
        }
        return items;
    }
    SBBUFFER* buffer;
    SBMOVIE* movie;
    SBSTREAM* video;
    SBSTREAM* audio;
};

// The smallest complete movie, laid out by hand: one video stream of two frames (the first a
// key frame), one PCM stereo 16-bit audio stream with one chunk of two sample frames, and an
// index whose offsets count from the "movi" form type.
const uint8_t kHandMovie[] = {
    'R', 'I', 'F', 'F', 0x9E, 0x01, 0x00, 0x00, 'A', 'V', 'I', ' ',  // RIFF, 414 bytes, "AVI "
    // 12: LIST hdrl, 292 bytes
    'L', 'I', 'S', 'T', 0x24, 0x01, 0x00, 0x00, 'h', 'd', 'r', 'l',
    // 24: avih, 56 bytes
    'a', 'v', 'i', 'h', 0x38, 0x00, 0x00, 0x00,
    0x6A, 0x04, 0x01, 0x00,  // 66666 microseconds per frame
    0x00, 0x00, 0x00, 0x00,  // max bytes per second
    0x00, 0x00, 0x00, 0x00,  // padding granularity
    0x10, 0x00, 0x00, 0x00,  // flags: has an index
    0x02, 0x00, 0x00, 0x00,  // total frames
    0x00, 0x00, 0x00, 0x00,  // initial frames
    0x02, 0x00, 0x00, 0x00,  // streams
    0x00, 0x00, 0x00, 0x00,  // suggested buffer size
    0x08, 0x00, 0x00, 0x00,  // width
    0x04, 0x00, 0x00, 0x00,  // height
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // reserved
    // 88: LIST strl, 116 bytes
    'L', 'I', 'S', 'T', 0x74, 0x00, 0x00, 0x00, 's', 't', 'r', 'l',
    // 100: strh, 56 bytes
    's', 't', 'r', 'h', 0x38, 0x00, 0x00, 0x00,
    'v', 'i', 'd', 's', 'V', 'V', 'X', '1',  // type, handler
    0x00, 0x00, 0x00, 0x00,                  // flags
    0x00, 0x00, 0x00, 0x00,                  // priority, language
    0x00, 0x00, 0x00, 0x00,                  // initial frames
    0x01, 0x00, 0x00, 0x00,                  // scale 1
    0x0F, 0x00, 0x00, 0x00,                  // rate 15
    0x00, 0x00, 0x00, 0x00,                  // start
    0x02, 0x00, 0x00, 0x00,                  // length 2
    0x06, 0x00, 0x00, 0x00,                  // suggested buffer size
    0xFF, 0xFF, 0xFF, 0xFF,                  // quality
    0x00, 0x00, 0x00, 0x00,                  // sample size
    0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x04, 0x00,  // frame rectangle 0, 0, 8, 4
    // 164: strf, 40 bytes (BITMAPINFOHEADER)
    's', 't', 'r', 'f', 0x28, 0x00, 0x00, 0x00,
    0x28, 0x00, 0x00, 0x00,  // size 40
    0x08, 0x00, 0x00, 0x00,  // width 8
    0x04, 0x00, 0x00, 0x00,  // height 4
    0x01, 0x00, 0x10, 0x00,  // planes 1, bits 16
    'V', 'V', 'X', '1',      // compression
    0x40, 0x00, 0x00, 0x00,  // image size 64
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 212: LIST strl, 92 bytes
    'L', 'I', 'S', 'T', 0x5C, 0x00, 0x00, 0x00, 's', 't', 'r', 'l',
    // 224: strh, 56 bytes
    's', 't', 'r', 'h', 0x38, 0x00, 0x00, 0x00,
    'a', 'u', 'd', 's', 0x00, 0x00, 0x00, 0x00,  // type, handler
    0x00, 0x00, 0x00, 0x00,                      // flags
    0x00, 0x00, 0x00, 0x00,                      // priority, language
    0x00, 0x00, 0x00, 0x00,                      // initial frames
    0x01, 0x00, 0x00, 0x00,                      // scale 1
    0x22, 0x56, 0x00, 0x00,                      // rate 22050
    0x00, 0x00, 0x00, 0x00,                      // start
    0x02, 0x00, 0x00, 0x00,                      // length
    0x08, 0x00, 0x00, 0x00,                      // suggested buffer size
    0xFF, 0xFF, 0xFF, 0xFF,                      // quality
    0x04, 0x00, 0x00, 0x00,                      // sample size
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // frame rectangle
    // 288: strf, 16 bytes (PCM WAVEFORMAT)
    's', 't', 'r', 'f', 0x10, 0x00, 0x00, 0x00,
    0x01, 0x00, 0x02, 0x00,  // PCM, 2 channels
    0x22, 0x56, 0x00, 0x00,  // 22050 samples per second
    0x88, 0x58, 0x01, 0x00,  // 88200 bytes per second
    0x04, 0x00, 0x10, 0x00,  // block align 4, 16 bits
    // 312: LIST movi, 46 bytes
    'L', 'I', 'S', 'T', 0x2E, 0x00, 0x00, 0x00, 'm', 'o', 'v', 'i',
    // 324: audio chunk, 8 bytes
    '0', '1', 'w', 'b', 0x08, 0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00,
    // 340: frame 0, 6 bytes
    '0', '0', 'd', 'c', 0x06, 0x00, 0x00, 0x00, 'f', 'r', 'a', 'm', 'e', '0',
    // 354: frame 1, 4 bytes
    '0', '0', 'd', 'c', 0x04, 0x00, 0x00, 0x00, 'f', 'r', '#', '1',
    // 366: idx1, 48 bytes: id, flags, offset from "movi" (at 320), size
    'i', 'd', 'x', '1', 0x30, 0x00, 0x00, 0x00,
    '0', '1', 'w', 'b', 0x10, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00,
    '0', '0', 'd', 'c', 0x10, 0x00, 0x00, 0x00, 0x14, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00,
    '0', '0', 'd', 'c', 0x00, 0x00, 0x00, 0x00, 0x22, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00,
};
static_assert(sizeof kHandMovie == 422);

TEST(HandMadeMovie, ReadsAsLaidOut) {
    const std::string path = Save("hand.avi", std::vector<uint8_t>(std::begin(kHandMovie), std::end(kHandMovie)));
    Opened m(path);
    ASSERT_NE(m.movie, nullptr);
    ASSERT_NE(m.video, nullptr);
    ASSERT_NE(m.audio, nullptr);

    const SBSTREAMINFO* info = sbStreamInfo(m.video);
    ASSERT_NE(info, nullptr);
    const auto* raw = reinterpret_cast<const uint8_t*>(info);
    EXPECT_EQ(raw[46] | raw[47] << 8, 8);  // where the movie player reads width and height
    EXPECT_EQ(raw[48] | raw[49] << 8, 4);
    EXPECT_EQ(info->itemCount, 2u);
    EXPECT_EQ(info->compression, dk::FourCC("VVX1"));

    int32_t fps = 0, rate = 0;
    sbRates(m.video, m.audio, &fps, &rate);
    EXPECT_EQ(fps, 15);
    EXPECT_EQ(rate, 22050);
    EXPECT_EQ(sbFrameFlags(m.video, 0, 0), SB_KEYFRAME);
    EXPECT_EQ(sbFrameFlags(m.video, 1, 0), 0);
    EXPECT_EQ(sbFrameFlags(m.video, 2, 0), 0);

    int32_t channels = 0, perSec = 0, bytes = 0, tag = 0;
    const WAVEFORMATEX* f = sbAudioFormat(m.audio, &channels, &rate, &bytes, &tag);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(rate, 22050);
    EXPECT_EQ(bytes, 88200);
    EXPECT_EQ(tag, 1);
    (void)perSec;
    // The record is packed: bits at byte 14, cbSize at 16, samples per block at 18.
    const auto* rec = reinterpret_cast<const uint8_t*>(f);
    EXPECT_EQ(rec[14], 16);
    EXPECT_EQ(rec[16] | rec[17] << 8, 0);
    EXPECT_EQ(rec[18] | rec[19] << 8, 0);

    // Priming takes nothing; the frames then come in order.
    EXPECT_EQ(sbNextChunk(m.video, nullptr, nullptr, 2, 0), 0);
    EXPECT_EQ(sbPosition(m.video, -1), 0);
    auto frames = m.All(m.video);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(std::string(frames[0].begin(), frames[0].end()), "frame0");
    EXPECT_EQ(std::string(frames[1].begin(), frames[1].end()), "fr#1");
    EXPECT_EQ(sbPosition(m.video, -1), 2);
    EXPECT_EQ(sbPosition(m.audio, -1), 0);
    auto audio = m.All(m.audio);
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_EQ(audio[0], (std::vector<uint8_t>{1, 0, 2, 0, 3, 0, 4, 0}));
    EXPECT_EQ(sbPosition(m.audio, -1), 2);  // sample frames before the next chunk
}

// A frame with a video-library header: length byte 0x13 (24 bytes), codec 2, revision 2,
// variant 2, inter-frame stream, key flag as asked. The header body is stored chained.
std::vector<uint8_t> Frame(bool key, size_t size, uint8_t fill) {
    uint8_t h[22] = {};
    h[1] = 2;
    h[10] = 2;
    h[11] = 2;
    h[12] = static_cast<uint8_t>(0x08 | (key ? 0x10 : 0));
    std::vector<uint8_t> f(size, fill);
    f[0] = 0x13;
    f[1] = 0x5A;
    for (int i = 1; i <= 21; ++i)
        f[static_cast<size_t>(i) + 1] = f[static_cast<size_t>(i)] ^ h[i];
    return f;
}

dk::MovieVideoTrack Video(size_t frames) {
    dk::MovieVideoTrack v;
    v.width = 64;
    v.height = 48;
    for (size_t i = 0; i < frames; ++i) {
        const bool key = i % 4 == 0;
        v.frames.push_back(Frame(key, 30 + i * 7, static_cast<uint8_t>(i)));
        v.keyFrames.push_back(key);
    }
    return v;
}

dk::MovieAudioTrack PcmAudio(size_t chunks, uint32_t framesPerChunk) {
    dk::MovieAudioTrack a;
    dk::EncodedAudio e = dk::EncodePcm(std::vector<uint32_t>(chunks * framesPerChunk, 0x01020304u), 2, 16);
    a.chunks = dk::SplitChunks(e.bytes, framesPerChunk * 4);
    return a;
}

TEST(WrittenMovies, EveryVariantOfTheContainerGivesTheSameItems) {
    const dk::MovieVideoTrack video = Video(9);
    const dk::MovieAudioTrack audio = PcmAudio(7, 1470);
    struct Case {
        const char* name;
        dk::MovieOptions options;
    };
    const Case cases[] = {
        {"index from movi", {dk::MovieIndex::FromMovi, false, false}},
        {"index from file start", {dk::MovieIndex::FromFileStart, false, false}},
        {"no index", {dk::MovieIndex::None, false, false}},
        {"rec groups", {dk::MovieIndex::FromMovi, true, false}},
        {"rec groups, no index", {dk::MovieIndex::None, true, true}},
        {"junk", {dk::MovieIndex::FromFileStart, false, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Save("variant.avi", dk::WriteMovie(&video, &audio, c.options));
        Opened m(path);
        ASSERT_NE(m.movie, nullptr);
        for (size_t i = 0; i < video.frames.size(); ++i)
            EXPECT_EQ(sbFrameFlags(m.video, static_cast<int32_t>(i), 0), video.keyFrames[i] ? SB_KEYFRAME : 0) << i;
        EXPECT_EQ(m.All(m.video), video.frames);
        EXPECT_EQ(m.All(m.audio), audio.chunks);
        EXPECT_EQ(sbPosition(m.audio, -1), 7 * 1470);
        EXPECT_EQ(sbStreamInfo(m.audio)->length, 7u * 1470);
    }
}

TEST(WrittenMovies, AudioSampleCountsFollowEachFormat) {
    const std::vector<uint32_t> words = std::vector<uint32_t>(5000, 0x00100010u);
    std::vector<int16_t> mono(5000, 16);
    struct Case {
        const char* name;
        dk::MovieAudioTrack track;
        std::vector<int32_t> positions;  // after each chunk
    };
    auto track = [](uint16_t tag, uint16_t channels, uint16_t bits, uint16_t spb, const std::vector<uint8_t>& bytes,
                     size_t chunk) {
        dk::MovieAudioTrack t;
        t.formatTag = tag;
        t.channels = channels;
        t.bitsPerSample = bits;
        t.samplesPerBlock = spb;
        t.formatBytes = 20;
        t.chunks = dk::SplitChunks(bytes, chunk);
        return t;
    };
    std::vector<uint8_t> three;
    for (uint32_t count : {1000u, 999u, 5u}) {
        dk::EncodedAudio b = dk::EncodeAdpcm3Block(std::vector<uint32_t>(words.begin(), words.begin() + count), 22050);
        three.insert(three.end(), b.bytes.begin(), b.bytes.end());
    }
    const Case cases[] = {
        {"pcm mono 8", track(1, 1, 8, 0, dk::EncodePcm(words, 1, 8).bytes, 2000), {2000, 4000, 5000}},
        {"adpcm mono", track(2, 1, 4, 2041, dk::EncodeAdpcmMono(mono, 2041).bytes, 2048), {4082, 6123}},
        {"adpcm stereo", track(2, 2, 4, 1017, dk::EncodeAdpcmStereo(words, 1017).bytes, 2048), {2034, 4068, 5085}},
        // 3-bit blocks size themselves: 1000 + 999 + 5 words in one chunk.
        {"adpcm 3-bit", track(2, 2, 3, 0, three, three.size()), {2004}},
    };
    const dk::MovieVideoTrack video = Video(2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Opened m(Save("counts.avi", dk::WriteMovie(&video, &c.track)));
        ASSERT_NE(m.audio, nullptr);
        for (int32_t expected : c.positions) {
            const uint8_t* data;
            int32_t length;
            int32_t index = sbNextChunk(m.audio, &data, &length, 1, 1);
            ASSERT_GE(index, 0);
            sbRelease(m.buffer, index);
            EXPECT_EQ(sbPosition(m.audio, -1), expected);
        }
        EXPECT_EQ(sbNextChunk(m.audio, nullptr, nullptr, 1, 1), 0);  // asking without places takes nothing
        const uint8_t* data;
        int32_t length;
        EXPECT_EQ(sbNextChunk(m.audio, &data, &length, 1, 1), -1);
        int32_t channels, rate, bytes, tag;
        const auto* rec = reinterpret_cast<const SBAUDIOFORMAT*>(sbAudioFormat(m.audio, &channels, &rate, &bytes, &tag));
        EXPECT_EQ(rec->samplesPerBlock, c.track.samplesPerBlock);
        EXPECT_EQ(rec->format.wBitsPerSample, c.track.bitsPerSample);
    }
}

TEST(Buffer, UnreleasedItemsUseUpTheBudget) {
    dk::MovieAudioTrack audio = PcmAudio(6, 10);  // chunks of 40 bytes
    const dk::MovieVideoTrack video = Video(1);
    Opened m(Save("budget.avi", dk::WriteMovie(&video, &audio)), 100);
    ASSERT_NE(m.movie, nullptr);
    const uint8_t *d0, *d1, *d2;
    int32_t l;
    int32_t a = sbNextChunk(m.audio, &d0, &l, 1, 1);
    int32_t b = sbNextChunk(m.audio, &d1, &l, 1, 1);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(sbNextChunk(m.audio, &d2, &l, 1, 1), -2);  // 80 held, 40 more do not fit
    EXPECT_EQ(sbPosition(m.audio, -1), 20);              // nothing was taken
    EXPECT_EQ(std::vector<uint8_t>(d0, d0 + 40), audio.chunks[0]);  // both still valid
    EXPECT_EQ(std::vector<uint8_t>(d1, d1 + 40), audio.chunks[1]);
    sbRelease(m.buffer, a);
    sbRelease(m.buffer, a);   // twice: ignored
    sbRelease(m.buffer, 99);  // unknown: ignored
    sbRelease(m.buffer, -1);
    int32_t c = sbNextChunk(m.audio, &d2, &l, 1, 1);
    ASSERT_GE(c, 0);
    EXPECT_EQ(sbNextChunk(m.audio, &d0, &l, 1, 1), -2);  // the double release freed nothing more
    sbRelease(m.buffer, b);
    sbRelease(m.buffer, c);

    // An item larger than the whole buffer could never be handed out: no such movie.
    sbInit(1, 2, 1);
    SBBUFFER* small = sbAllocBuffer(39, 0);
    EXPECT_EQ(sbOpenMovie(TempPath("budget.avi").c_str(), small), nullptr);
    sbFreeBuffer(small);
    EXPECT_EQ(sbAllocBuffer(0, 0), nullptr);
    EXPECT_EQ(sbAllocBuffer(-5, 0), nullptr);
}

TEST(Seek, VideoToTheFrameAndAudioToTheChunkHoldingItsTime) {
    const dk::MovieVideoTrack video = Video(8);
    const dk::MovieAudioTrack audio = PcmAudio(8, 1470);  // 15 fps at 22050: one chunk per frame
    Opened m(Save("seek.avi", dk::WriteMovie(&video, &audio)));
    const int32_t cases[][3] = {{0, 0, 0}, {3, 3, 4410}, {7, 7, 10290}, {100, 8, 11760}, {-4, 0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(sbSeek(m.buffer, m.movie, c[0], -2), 0);
        EXPECT_EQ(sbPosition(m.video, -1), c[1]) << c[0];
        EXPECT_EQ(sbPosition(m.audio, -1), c[2]) << c[0];
    }
    sbSeek(m.buffer, m.movie, 3, -2);
    const uint8_t* data;
    int32_t length;
    int32_t index = sbNextChunk(m.video, &data, &length, 1, 1);
    EXPECT_EQ(std::vector<uint8_t>(data, data + length), video.frames[3]);
    sbRelease(m.buffer, index);
}

TEST(Rates, ZeroRatesAreRefusedAndFractionsTruncated) {
    dk::MovieVideoTrack video = Video(2);
    dk::MovieAudioTrack audio = PcmAudio(2, 100);
    struct Case {
        uint32_t rate, scale, audioRate;
        bool opens;
        int32_t fps;
        bool hasAudio;
    };
    const Case cases[] = {
        {30000, 1001, 22050, true, 29, true},  // 29.97 frames per second play as 29
        {15, 1, 0, true, 15, false},           // an audio stream without a rate is no stream
        {0, 1, 22050, false, 0, false},
        {15, 0, 22050, false, 0, false},
        {1, 2, 22050, false, 0, false},  // half a frame per second rounds to nothing
    };
    for (const Case& c : cases) {
        video.rate = c.rate;
        video.scale = c.scale;
        audio.sampleRate = c.audioRate;
        Opened m(Save("rates.avi", dk::WriteMovie(&video, &audio)));
        EXPECT_EQ(m.movie != nullptr, c.opens) << c.rate << "/" << c.scale;
        if (!m.movie)
            continue;
        int32_t fps = -1, rate = -1;
        sbRates(m.video, m.audio, &fps, &rate);
        EXPECT_EQ(fps, c.fps);
        EXPECT_EQ(m.audio != nullptr, c.hasAudio);
        EXPECT_EQ(rate, c.hasAudio ? static_cast<int32_t>(c.audioRate) : 0);
    }
}

TEST(Handles, NullMissingAndStaleHandlesDoNothingHarmful) {
    const dk::MovieVideoTrack video = Video(2);
    const dk::MovieAudioTrack audio = PcmAudio(2, 100);
    {
        Opened silent(Save("silent.avi", dk::WriteMovie(&video, nullptr)));
        ASSERT_NE(silent.movie, nullptr);
        EXPECT_EQ(silent.audio, nullptr);
        EXPECT_EQ(silent.All(silent.video).size(), 2u);
        Opened blind(Save("blind.avi", dk::WriteMovie(nullptr, &audio)));
        ASSERT_NE(blind.movie, nullptr);
        EXPECT_EQ(blind.video, nullptr);
        EXPECT_EQ(blind.All(blind.audio).size(), 2u);
        EXPECT_EQ(sbSeek(blind.buffer, blind.movie, 1, -2), 0);
    }
    const uint8_t* data = nullptr;
    int32_t length = 0, a = 1, b = 1, c = 1, d = 1;
    EXPECT_EQ(sbNextChunk(nullptr, &data, &length, 1, 1), -1);
    EXPECT_EQ(sbStreamInfo(nullptr), nullptr);
    EXPECT_EQ(sbAudioFormat(nullptr, &a, &b, &c, &d), nullptr);
    EXPECT_EQ(a + b + c + d, 0);
    EXPECT_EQ(sbRates(nullptr, nullptr, &a, &b), 0);
    EXPECT_EQ(a + b, 0);
    EXPECT_EQ(sbPosition(nullptr, -1), 0);
    EXPECT_EQ(sbFrameFlags(nullptr, 0, 0), 0);
    EXPECT_EQ(sbSeek(nullptr, nullptr, 0, -2), -1);
    EXPECT_EQ(sbOpenStream(nullptr, 0, 1, SB_VIDEO), nullptr);
    EXPECT_EQ(sbOpenMovie(nullptr, nullptr), nullptr);
    sbRelease(nullptr, 0);
    sbCloseStream(nullptr);
    sbCloseMovie(nullptr);
    sbFreeBuffer(nullptr);

    // Handles of a closed movie are no longer known.
    SBSTREAM* stale;
    SBMOVIE* staleMovie;
    {
        Opened m(Save("stale.avi", dk::WriteMovie(&video, &audio)));
        stale = m.video;
        staleMovie = m.movie;
    }
    EXPECT_EQ(sbNextChunk(stale, &data, &length, 1, 1), -1);
    EXPECT_EQ(sbStreamInfo(stale), nullptr);
    sbCloseMovie(staleMovie);
    EXPECT_EQ(sbOpenMovie(TempPath("no such file.avi").c_str(), nullptr), nullptr);
}

TEST(Paths, BackslashesAndCaseAreResolved) {
    const std::string dir = TempDirectory() + "paths/Movies";
    std::filesystem::create_directories(dir);
    const dk::MovieVideoTrack video = Video(1);
    ASSERT_TRUE(dk::WriteMovieFile(dir + "/Intro_01.avi", &video, nullptr));
    Opened m(TempDirectory() + "PATHS\\MOVIES\\intro_01.AVI");
    EXPECT_NE(m.movie, nullptr);
}

// Every truncation and every damaged size field of a movie opens or is refused, and whatever
// opens reads to its end without touching memory outside its items (run under AddressSanitizer).
TEST(BrokenFiles, OpenOrAreRefusedCleanly) {
    const dk::MovieVideoTrack video = Video(3);
    dk::MovieAudioTrack audio;
    audio.formatTag = 2;
    audio.channels = 2;
    audio.bitsPerSample = 3;
    audio.formatBytes = 20;
    dk::EncodedAudio e = dk::EncodeAdpcm3(std::vector<uint32_t>(300, 0x00400040u), 22050, 100);
    audio.chunks = dk::SplitChunks(e.bytes, e.bytes.size() / 3);
    std::vector<std::vector<uint8_t>> corpus;
    for (dk::MovieIndex index : {dk::MovieIndex::FromMovi, dk::MovieIndex::None}) {
        const std::vector<uint8_t> whole = dk::WriteMovie(&video, &audio, {index, true, false});
        for (size_t n = 0; n < whole.size(); ++n)
            corpus.emplace_back(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(n));
        for (size_t at = 0; at + 4 <= whole.size(); at += 2)
            for (uint32_t v : {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFF0u, 0x30u}) {
                std::vector<uint8_t> bad = whole;
                for (int i = 0; i < 4; ++i)
                    bad[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
                corpus.push_back(std::move(bad));
            }
    }
    size_t opened = 0;
    const std::string path = TempPath("broken.avi");
    for (const auto& bytes : corpus) {
        ASSERT_TRUE(dk::WriteFile(path, bytes));
        Opened m(path, 4096);
        if (!m.movie)
            continue;
        ++opened;
        m.All(m.video);
        m.All(m.audio);
        const SBSTREAMINFO* info = sbStreamInfo(m.video);
        if (info)
            (void)info->width;
        int32_t a, b, c, d;
        sbAudioFormat(m.audio, &a, &b, &c, &d);
        sbFrameFlags(m.video, 1, 0);
        sbSeek(m.buffer, m.movie, 2, -2);
        sbPosition(m.audio, -1);
    }
    EXPECT_GT(opened, 0u);
    EXPECT_LT(opened, corpus.size());
}

dk::MovieVideoTrack SizedVideo(uint32_t width, uint32_t height) {
    dk::MovieVideoTrack v;
    v.width = width;
    v.height = height;
    for (int i = 0; i < 3; ++i)
        v.frames.push_back(std::vector<uint8_t>(40, uint8_t(i)));
    return v;
}

dk::MovieAudioTrack SmallAudio() {
    dk::MovieAudioTrack a;
    a.chunks.assign(3, std::vector<uint8_t>(64, 1));
    return a;
}

// Opens the movie at path, takes every item of both streams and closes it; returns whether it
// opened, and the frame size the player would read.
struct Result {
    bool opened = false;
    uint32_t width = 0, height = 0;
};
Result OpenAndRead(const std::string& path, int32_t budget = 0x200000) {
    Result r;
    sbInit(1, 2, 1);
    SBBUFFER* buffer = sbAllocBuffer(budget, 0);
    SBMOVIE* movie = sbOpenMovie(path.c_str(), buffer);
    r.opened = movie != nullptr;
    for (int32_t kind : {SB_VIDEO, SB_AUDIO}) {
        SBSTREAM* s = sbOpenStream(movie, 0, 1, kind);
        if (const SBSTREAMINFO* info = sbStreamInfo(s); info && kind == SB_VIDEO) {
            r.width = info->width;
            r.height = info->height;
        }
        const uint8_t* data = nullptr;
        int32_t length = 0;
        for (int32_t index; (index = sbNextChunk(s, &data, &length, 1, 1)) >= 0;)
            sbRelease(buffer, index);
        sbCloseStream(s);
    }
    sbCloseMovie(movie);
    sbFreeBuffer(buffer);
    sbExit();
    return r;
}

// Sizes stated by a movie's headers: a video stream whose frames are larger than the video
// library's largest picture is refused at open, and no stated size (chunk, index, format, frame)
// makes the library allocate more than the file's own bytes can account for (a counting operator
// new sees every block it asks for).
TEST(PictureLimit, VideoStreamsLargerThanTheLargestPictureAreRefused) {
    struct Case {
        uint32_t width, height;
        bool opens;
    };
    const uint32_t W = vvlfmt::kMaxPictureWidth, H = vvlfmt::kMaxPictureHeight;
    const Case cases[] = {
        {64, 48, true},       {W, H, true},          {W + 1, 48, false},          {64, H + 1, false},
        {27454, 29968, false}, {0x7FFFFFFFu, 48, false}, {64, 0xFFFFFFFFu - 47, true},  // a bottom-up -48
        {64, 0x80000000u, false},
    };
    for (const Case& c : cases) {
        const dk::MovieVideoTrack v = SizedVideo(c.width, c.height);
        const dk::MovieAudioTrack a = SmallAudio();
        const std::string path = TempPath("size.avi");
        ASSERT_TRUE(dk::WriteMovieFile(path, &v, &a));
        const Result r = OpenAndRead(path);
        EXPECT_EQ(r.opened, c.opens) << c.width << " x " << c.height;
        if (r.opened) {
            EXPECT_TRUE(vvlfmt::PictureFits(r.width, r.height)) << r.width << " x " << r.height;
        }
    }
}

// Every 32-bit field of a small movie set to huge values, and random damage anywhere: whatever
// opens reports a picture inside the limit, and no block the library takes is larger than a
// few times the file (the items it indexes and reads are the file's own bytes).
TEST(PictureLimit, StatedSizesNeverAllocateBeyondTheFile) {
    const dk::MovieVideoTrack v = SizedVideo(64, 48);
    dk::MovieAudioTrack a = SmallAudio();
    std::vector<std::vector<uint8_t>> corpus;
    for (dk::MovieIndex index : {dk::MovieIndex::FromMovi, dk::MovieIndex::None}) {
        const std::vector<uint8_t> whole = dk::WriteMovie(&v, &a, {index, false, false});
        for (size_t at = 0; at + 4 <= whole.size(); at += 2)
            for (uint32_t value : {0x7FFFFFF0u, 0xFFFFFFFFu, 0x00010000u, 0x00001001u}) {
                std::vector<uint8_t> bad = whole;
                for (int i = 0; i < 4; ++i)
                    bad[at + size_t(i)] = uint8_t(value >> (8 * i));
                corpus.push_back(std::move(bad));
            }
        std::mt19937 rng(2024);
        for (int n = 0; n < 1500; ++n) {
            std::vector<uint8_t> bad = whole;
            const int changes = 1 + int(rng() % 4);
            for (int c = 0; c < changes; ++c)
                bad[rng() % bad.size()] ^= uint8_t(1 + rng() % 255);
            if (n % 5 == 0)
                bad.resize(rng() % bad.size());
            corpus.push_back(std::move(bad));
        }
    }
    const std::string path = TempPath("damaged.avi");
    size_t opened = 0;
    for (const std::vector<uint8_t>& bytes : corpus) {
        ASSERT_TRUE(dk::WriteFile(path, bytes));
        alloctest::Watch watch;
        const Result r = OpenAndRead(path);
        opened += r.opened;
        ASSERT_LE(watch.largest(), 8 * bytes.size() + 4096);
        if (r.opened) {
            ASSERT_TRUE(vvlfmt::PictureFits(r.width, r.height)) << r.width << " x " << r.height;
        }
    }
    EXPECT_GT(opened, 0u);
    EXPECT_LT(opened, corpus.size());
}

}  // namespace
