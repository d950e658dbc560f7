// The command lines of krpeer's session verbs (serve, call, hold, key), read into one record.
//   krpeer serve --proto udp|tcp --port P [--opt ID=VALUE ...] [--no-complete | --slow MS | --no-handler]
//   krpeer call  --proto udp|tcp --to HOST:PORT --count N --size S [--sync] [--opt ID=VALUE ...]
//   krpeer hold  --proto udp|tcp --to HOST:PORT [--opt ID=VALUE ...]
//   krpeer key   --proto udp|tcp --to HOST:PORT --type 1|2|3 [--no-negotiate] [--opt ID=VALUE ...]
// Numbers are decimal or 0x-hexadecimal.
#pragma once
#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kp {

struct SessArgs {
    std::string verb;
    bool udp = true;
    uint16_t port = 0;    // serve: 0 lets the system pick
    sockaddr_in to{};     // call, hold, key
    uint32_t count = 0;   // call
    uint32_t size = 0;    // call
    bool sync = false;    // call
    std::vector<std::pair<uint32_t, uint32_t>> options; // session options at open
    bool noComplete = false; // serve: requests are never answered
    bool noHandler = false;  // serve: requests end without a response
    uint32_t slowMs = 0;     // serve: answers wait this long
    bool inputOpen = true;   // serve: standard input was open at start (commands are read)
    uint32_t keyType = 0;    // key
    bool negotiate = true;   // key
};

bool ParseNumber(const std::string& text, uint32_t* out);
bool ParseHostPort(const std::string& text, sockaddr_in* out);
// The loopback address with `port` (host order), where krpeer listens.
sockaddr_in LoopbackAddress(uint16_t port);
// False with `error` set for a command line that is not one of the verbs above.
bool ParseSessArgs(const std::vector<std::string>& words, SessArgs* out, std::string* error);
bool IsSessVerb(const std::string& word);

// The payload of request `index` of a call: the index (big-endian) and then bytes that follow
// from it, `size` bytes in all (at least the 4 of the index).
std::vector<uint8_t> CallPayload(uint32_t index, uint32_t size);

// Request codes between two krpeer processes.
constexpr uint32_t kCodeEcho = 1;    // answered with the same bytes
constexpr uint32_t kCodeDataKey = 2; // answered with the server's data key: type (big-endian) and 16 key bytes

}  // namespace kp
