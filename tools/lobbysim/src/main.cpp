// lobbysim: plays the service's lobby against the lobby options plug-in. It loads the plug-in
// with dlopen (liblobbyopts.so beside this program, or --plugin FILE), then runs the commands
// given as arguments or in a script file and prints what the lobby sees: the offer record, the
// summary lines and the launch line.
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "lobby_session.h"

namespace {

std::string Beside(const char* name) {
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return name;
    std::string path(self, std::size_t(n));
    std::size_t slash = path.rfind('/');
    return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/" + name;
}

int Usage() {
    std::cerr << "usage: lobbysim [--plugin FILE] COMMAND...\n"
                 "       lobbysim [--plugin FILE] -f SCRIPT\n"
              << lobbysim::LobbySession::Usage();
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string plugin = Beside("liblobbyopts.so");
    std::vector<std::string> commands;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--plugin" && i + 1 < argc) {
            plugin = argv[++i];
        } else if (arg == "-f" && i + 1 < argc) {
            std::ifstream script(argv[++i]);
            if (!script) {
                std::cerr << "lobbysim: cannot read " << argv[i] << "\n";
                return 2;
            }
            for (std::string line; std::getline(script, line);) {
                std::size_t start = line.find_first_not_of(" \t\r");
                if (start != std::string::npos && line[start] != '#')
                    commands.push_back(line);
            }
        } else if (arg == "-h" || arg == "--help" || arg.rfind("-", 0) == 0) {
            return Usage();
        } else {
            commands.push_back(arg);
        }
    }
    if (commands.empty())
        return Usage();

    lobbysim::LobbySession session;
    std::string error;
    if (!session.Load(plugin, &error)) {
        std::cerr << "lobbysim: " << error << "\n";
        return 1;
    }
    for (const std::string& command : commands)
        if (!session.Run(command, std::cout, &error)) {
            std::cerr << "lobbysim: " << error << "\n";
            return 2;
        }
    return 0;
}
