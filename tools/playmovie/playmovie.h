// playmovie: plays one movie file through the game's movie player on a display set up for it,
// writing each presented frame to a PNG file. The program is a thin main over this; the tests
// and the hostile-input loop run it in-process.
#pragma once
#include <string>

#include "movie/fmv_player.h"

struct PlaymovieOptions {
    int bits = 16;           // 16 or 8
    bool rgb555 = false;     // 16-bit 5-5-5 instead of 5-6-5
    bool cdPlaying = false;  // start the CD music first
    int keyAt = 0;           // > 0: a key goes down when this many movie frames were shown
    std::string framesDir;   // empty: no PNG files
    std::string movie;
};

// Reads the command line (without the program name); false with a message when it is wrong.
bool PLM_ParseArgs(int argc, char** argv, PlaymovieOptions* options, std::string* error);
// Plays the movie; the counts of the movie player afterwards. False when the display could not
// be set up.
bool PLM_Run(const PlaymovieOptions& options, FmvStats* stats);
