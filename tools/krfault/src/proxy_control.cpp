// The proxy's commands from its standard input (see proxy.h).
#include <unistd.h>

#include <cstdio>

#include "proxy.h"
#include "server_stop.h"

namespace kf {

bool ApplyCommand(const std::string& line, Control* control) {
    std::string word = line, argument;
    size_t space = line.find(' ');
    if (space != std::string::npos) {
        word = line.substr(0, space);
        argument = line.substr(space + 1);
    }
    while (!argument.empty() && (argument.back() == '\r' || argument.back() == ' ')) argument.pop_back();
    while (!word.empty() && word.back() == '\r') word.pop_back();
    if (word == "stall" || word == "resume") {
        int mask = argument == "c2s" ? 1 : argument == "s2c" ? 2 : argument == "both" ? 3 : 0;
        if (!mask) return false;
        for (int d = 0; d < 2; ++d)
            if (mask & (1 << d)) control->stalled[d] = word == "stall";
        std::fprintf(stderr, "krfault: %s %s\n", word == "stall" ? "stalled" : "resumed", argument.c_str());
        return true;
    }
    if (word == "reset" && argument.empty()) {
        control->resetAll = true;
        return true;
    }
    if (word == "quit" && argument.empty()) {
        control->quit = true;
        return true;
    }
    return false;
}

void SetUpInput(Control* control) {
    control->inputOpen = server_stop::Install();
}

void ReadCommands(int fd, std::string* partial, Control* control) {
    char bytes[256];
    ssize_t got = read(fd, bytes, sizeof bytes);
    if (got <= 0) {
        control->inputOpen = false;
        return;
    }
    partial->append(bytes, (size_t)got);
    size_t end;
    while ((end = partial->find('\n')) != std::string::npos) {
        std::string line = partial->substr(0, end);
        partial->erase(0, end + 1);
        if (!line.empty() && !ApplyCommand(line, control))
            std::fprintf(stderr, "krfault: unknown command \"%s\"\n", line.c_str());
    }
}

}  // namespace kf
