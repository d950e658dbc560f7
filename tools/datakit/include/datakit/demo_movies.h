// The demo install's movies: their table, and each movie built in memory with what the players
// will show and sound (the encoders' own reconstructions), so that tests and benchmarks work
// from the very movies that the install holds.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "datakit/movie_writer.h"

namespace dk {

enum class DemoMovieSound { None, PcmMono, AdpcmStereo };

struct DemoMovieSpec {
    const char* name;  // file name under "movies/"
    int codec;         // 2: the row codec (an inter stream), 17: the YUV nibble-delta codec
    DemoMovieSound sound;
    int width, height;
    int frames;
    int fps;
    uint32_t soundRate = 22050;
};

// Every movie the game plays: the intro, the attract movie, and the story and level movies
// (the two companion movies of the won levels 0 and 15 are "grave_w.avi" and "escape_w.avi").
extern const DemoMovieSpec kDemoMovies[];
extern const int kDemoMovieCount;
const DemoMovieSpec* FindDemoMovie(const std::string& name);

struct DemoMovie {
    MovieVideoTrack video;
    MovieAudioTrack audio;
    bool hasSound = false;
    std::vector<std::vector<uint16_t>> pictures;  // each frame as the decoder holds it
    std::vector<uint32_t> sound;                  // the sample words the audio library decodes
    uint32_t soundRate = 0;
};

// The movie with its 16-bit pictures in the 5-6-5 (or 5-5-5) layout.
DemoMovie BuildDemoMovie(const DemoMovieSpec& spec, bool is565 = true);
std::vector<uint8_t> DemoMovieFile(const DemoMovie& movie);

}  // namespace dk
