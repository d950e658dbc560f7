// gics-testserver: the service's game instance server and GULP relay for tests (gics_server.h).
//   gics-testserver [--addr-from-join-word] [--batch N] [--servers FILE]
// The servers file lists the service's servers that the game instance server knows, one a line:
// ADDR NAME [DATA-BYTES [NUMBER [TEXT]]].
// Prints "port N" (TCP, and UDP on the same number), then one line per request; reads commands
// from standard input (reject-join, bad-join-reply, create-status N, find-null-ip-once, drop CODE,
// delay CODE MS, close-game ADDR ERR, close-gulp ADDR, inject-gulp ADDR HEX, big-message ADDR LEN,
// leave ADDR, quit). It stops on "quit", SIGINT or SIGTERM; the end of standard input, or one that
// was never open (`gics-testserver &` in a script), stops nothing.
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "gics_server.h"
#include "print_line.h"
#include "server_stop.h"
#include "lobbex_exports.h"

int main(int argc, char** argv) {
    gics::Options options;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--addr-from-join-word")) {
            options.addrFromJoinWord = true;
        } else if (!std::strcmp(argv[i], "--batch") && i + 1 < argc) {
            const long n = std::strtol(argv[++i], nullptr, 10);
            if (n < 1 || n > 127) {
                std::fprintf(stderr, "gics-testserver: --batch takes 1 to 127\n");
                return 2;
            }
            options.batch = (uint32_t)n;
        } else if (!std::strcmp(argv[i], "--servers") && i + 1 < argc) {
            std::ifstream in(argv[++i]);
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            std::string error;
            if (!in.good() && !in.eof()) error = "cannot read";
            if (!error.empty() || !gics::ParseServers(text, &options.servers, &error)) {
                std::fprintf(stderr, "gics-testserver: %s: %s\n", argv[i], error.c_str());
                return 2;
            }
        } else {
            std::fprintf(stderr, "usage: gics-testserver [--addr-from-join-word] [--batch N] [--servers FILE]\n");
            return 2;
        }
    }
    bool inputOpen = server_stop::Install();
    LobbexInit();
    gics::Server server(options, PrintLine);
    const uint16_t port = server.Start();
    if (!port) {
        std::fprintf(stderr, "gics-testserver: cannot listen\n");
        LobbexDestroy();
        return 4;
    }
    PrintLine("port " + std::to_string(port));
    std::string partial;
    for (bool quit = false; !quit && !server_stop::Requested();) {
        pollfd polled[2] = {{inputOpen ? 0 : -1, POLLIN, 0}, {server_stop::WakeFd(), POLLIN, 0}};
        if (poll(polled, 2, 10) > 0 && (polled[0].revents & (POLLIN | POLLHUP))) {
            char bytes[512];
            const ssize_t got = read(0, bytes, sizeof bytes);
            if (got <= 0) {
                inputOpen = false;
                continue;
            }
            partial.append(bytes, (size_t)got);
            for (size_t at; (at = partial.find('\n')) != std::string::npos;) {
                const std::string line = partial.substr(0, at);
                partial.erase(0, at + 1);
                if (line == "quit") {
                    quit = true;
                } else if (!line.empty() && !server.Command(line)) {
                    PrintLine("cmd failed " + line);
                }
            }
        }
        server.Tick();
        server.Flush();
    }
    server.Stop();
    LobbexDestroy();
    return 0;
}
