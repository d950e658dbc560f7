// lobbex-cli: the network library's game API as commands (see cli.h), from the arguments (one
// command each) or, without arguments, from standard input, one per line.
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>

#include "cli.h"

int main(int argc, char** argv) {
    std::mutex lock;
    cli::Session session([&](const std::string& line) {
        std::lock_guard<std::mutex> hold(lock);
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    });
    if (argc > 1) {
        for (int i = 1; i < argc; ++i) session.Run(argv[i]);
        return 0;
    }
    for (std::string line; std::getline(std::cin, line);) {
        if (line == "quit") break;
        session.Run(line);
    }
    return 0;
}
