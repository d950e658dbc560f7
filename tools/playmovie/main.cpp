// playmovie [--mode 640x480x16|555|8] [--cd-playing] [--key-at N] [--frames DIR] MOVIE
// Plays a movie through the game's movie player, headless or in a window, writes each presented
// frame to DIR/NNNN.png and the sound through PLATFORM_AUDIO_OUT, and prints
// "frames SHOWN decoded DECODED".
#include <cstdio>
#include <string>

#include "playmovie.h"

int main(int argc, char** argv) {
    PlaymovieOptions options;
    std::string error;
    if (!PLM_ParseArgs(argc - 1, argv + 1, &options, &error)) {
        std::fprintf(stderr, "playmovie: %s\nusage: playmovie [--mode 640x480x16|555|8] [--cd-playing] "
                             "[--key-at N] [--frames DIR] MOVIE\n", error.c_str());
        return 2;
    }
    FmvStats stats{};
    if (!PLM_Run(options, &stats)) {
        std::fprintf(stderr, "playmovie: the display cannot be set up\n");
        return 1;
    }
    std::printf("frames %d decoded %d\n", stats.shown, stats.decoded);
    return 0;
}
