// The service's game instance server and GULP relay, written for tests from the protocol the
// library speaks: joins hand out player addresses, the game session answers the game queries and
// GULP creation and pushes join and leave notices, and each GULP relays its members' messages
// under the multicast headers. It runs on the library's passive sessions, TCP and UDP on one port
// number, and is driven in-process by tests or by gics-testserver's standard input.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace gics {

struct Options {
    bool addrFromJoinWord = false; // KRADDR = the join word instead of the lowest free 1..100
    uint32_t batch = 1;            // messages per data-in request, 1 to 127
};

// The server's own address in games, and the first GULP address.
constexpr uint32_t kServerAddr = 0x1000;
constexpr uint32_t kFirstGulpAddr = 0x2000;

class Server {
public:
    // `log` receives one line per request (and per command); it may be called on any thread.
    Server(Options options, std::function<void(const std::string&)> log);
    ~Server();
    // Listens on 127.0.0.1 (TCP port chosen by the system, UDP on the same number); the port, or 0.
    uint16_t Start();
    void Stop();
    // A fault or push command, as gics-testserver reads them; false for an unknown one.
    bool Command(const std::string& line);
    // Sends what the batches hold (the relay also flushes a batch when it is full).
    void Flush();
    // Answers the delayed requests whose time has come.
    void Tick();

    struct State;
private:
    State* s_;
};

}  // namespace gics
