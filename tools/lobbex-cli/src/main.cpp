// lobbex-cli: the network library's game API as commands (see cli.h), from the arguments (one
// command each) or, without arguments, from standard input, one per line.
#include <iostream>
#include <string>

#include "cli.h"
#include "print_line.h"

int main(int argc, char** argv) {
    cli::Session session(PrintLine);
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
