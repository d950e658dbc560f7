// The service's game instance server and GULP relay, written for tests from the protocol the
// library speaks: joins hand out player addresses, the game session answers the game queries and
// GULP creation and pushes join and leave notices, and each GULP relays its members' messages
// under the multicast headers. It runs on the library's passive sessions, TCP and UDP on one port
// number, and is driven in-process by tests or by gics-testserver's standard input.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gics {

// One of the service's servers that the game instance server lists, finds and describes.
struct ServerRecord {
    uint32_t addr = 0;
    std::string name;       // at most 127 characters
    uint32_t dataBytes = 0; // data bytes of the record (byte i is i mod 251)
    std::string text;       // the record's second text, at most 127 characters
    uint32_t number = 0;
};

struct Options {
    bool addrFromJoinWord = false; // KRADDR = the join word instead of the lowest free 1..100
    uint32_t batch = 1;            // messages per data-in request, 1 to 127
    std::vector<ServerRecord> servers;
};

// Server records from text, one per line: ADDR NAME [DATA-BYTES [NUMBER [TEXT]]]; blank lines and
// lines starting with # are skipped. False (with the line number in *error) for a malformed line.
bool ParseServers(const std::string& text, std::vector<ServerRecord>* out, std::string* error);

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
