// The movie container writer (RIFF "AVI "): a header list with one stream list per track, the
// movie data with the video frames and audio chunks interleaved, and an index. Video frames are
// taken as already-encoded bytes; audio chunks as bytes in the track's format (see
// audio_encoders.h). Options produce the variants readers must cope with: index offsets from the
// "movi" list or from the file start, no index, "rec " groups and JUNK padding.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace dk {

constexpr uint32_t FourCC(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

struct MovieVideoTrack {
    uint32_t width = 320;
    uint32_t height = 240;
    uint32_t rate = 15;   // frames per second = rate / scale
    uint32_t scale = 1;
    uint32_t compression = FourCC("VVX1");
    uint16_t bitCount = 16;
    std::vector<std::vector<uint8_t>> frames;
    std::vector<bool> keyFrames;  // per frame; empty: every frame is a key frame
};

struct MovieAudioTrack {
    uint16_t formatTag = 1;  // 1 PCM; anything else is the library's ADPCM
    uint16_t channels = 2;
    uint32_t sampleRate = 22050;
    uint16_t bitsPerSample = 16;  // 3 for the 3-bit format
    uint16_t blockAlign = 0;      // 0: channels * bits / 8 (PCM) or the block size (ADPCM)
    uint32_t avgBytesPerSec = 0;  // 0: sampleRate * blockAlign
    uint16_t samplesPerBlock = 0;
    // 16: the bare PCM record; 18: with cbSize 0; 20: with cbSize 2 and the samples per block.
    uint32_t formatBytes = 16;
    std::vector<std::vector<uint8_t>> chunks;
};

enum class MovieIndex { FromMovi, FromFileStart, None };

struct MovieOptions {
    MovieIndex index = MovieIndex::FromMovi;
    bool recLists = false;  // each frame with its audio in a LIST "rec "
    bool junk = false;      // a JUNK chunk after the header list and inside the movie data
};

// The whole file. Either track may be null. Audio chunk j goes just before video frame
// j * frames / chunks (all of them first when there is no video).
std::vector<uint8_t> WriteMovie(const MovieVideoTrack* video, const MovieAudioTrack* audio,
                                const MovieOptions& options = {});
bool WriteMovieFile(const std::string& path, const MovieVideoTrack* video, const MovieAudioTrack* audio,
                    const MovieOptions& options = {});

}  // namespace dk
