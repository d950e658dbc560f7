// worldsim: worldsim [--frames N] SCENARIO. Runs the scenario headless and prints each frame.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "scenario.h"

int main(int argc, char** argv) {
    const char* path = nullptr;
    int frames = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::cout << kScenarioHelp;
            return 0;
        }
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            frames = std::atoi(argv[++i]);
            continue;
        }
        if (argv[i][0] == '-' || path) {
            std::cerr << "worldsim: unknown argument " << argv[i] << " (see --help)\n";
            return 2;
        }
        path = argv[i];
    }
    if (!path) {
        std::cerr << "usage: worldsim [--frames N] SCENARIO (see --help)\n";
        return 2;
    }
    std::ifstream in(path);
    if (!in) {
        std::cerr << "worldsim: cannot open " << path << "\n";
        return 2;
    }
    Scenario scenario;
    std::string error;
    if (!ReadScenario(in, &scenario, &error)) {
        std::cerr << "worldsim: " << path << ": " << error << "\n";
        return 2;
    }
    if (frames >= 0)
        scenario.frames = frames;
    RunScenario(scenario, std::cout);
    return 0;
}
