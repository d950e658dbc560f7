// ghoulden-datakit DIR: writes the demo install into DIR.
#include <cstdio>

#include "datakit/demo.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ghoulden-datakit DIR\n");
        return 2;
    }
    if (!dk::WriteDemo(argv[1])) return 1;
    std::printf("demo data written to %s\n", argv[1]);
    return 0;
}
