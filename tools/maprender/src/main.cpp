// maprender MAP OUT.png [x y z yaw pitch]: loads a landscape map (an archive entry of the install
// named in the registry, or a disk file; any format the game loads) and draws it headless through
// the game's display start-up, landscape drawing and renderer into a PNG picture, from the given
// camera or, without one, from above at an angle so that the whole map is seen. Exit status 0
// when the picture was written, 1 when the map could not be loaded or drawn, 2 for a wrong
// command line.
#include <cstdio>
#include <string>

#include "maprender.h"

int main(int argc, char** argv) {
    maprender::Args args;
    std::string error;
    if (!maprender::ParseArgs(argc - 1, argv + 1, &args, &error)) {
        std::fprintf(stderr, "maprender: %s\nusage: maprender MAP OUT.png [x y z yaw pitch]\n", error.c_str());
        return 2;
    }
    return maprender::Render(args);
}
