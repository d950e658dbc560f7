// Reading the command lines of krpeer's session verbs (see peer_args.h).
#include "peer_args.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kp {

bool ParseNumber(const std::string& text, uint32_t* out) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    char* end = nullptr;
    errno = 0;
    // Decimal, or hexadecimal after "0x"; a leading zero does not make it octal.
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const unsigned long long value = std::strtoull(text.c_str(), &end, hex ? 16 : 10);
    if (errno || !end || *end || value > 0xFFFFFFFFull) return false;
    *out = (uint32_t)value;
    return true;
}

sockaddr_in LoopbackAddress(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

bool ParseHostPort(const std::string& text, sockaddr_in* out) {
    const size_t colon = text.rfind(':');
    uint32_t port = 0;
    if (colon == std::string::npos || !ParseNumber(text.substr(colon + 1), &port) || port == 0 || port > 65535)
        return false;
    std::string host = text.substr(0, colon);
    if (host == "localhost") host = "127.0.0.1";
    std::memset(out, 0, sizeof *out);
    out->sin_family = AF_INET;
    out->sin_port = htons((uint16_t)port);
    return inet_pton(AF_INET, host.c_str(), &out->sin_addr) == 1;
}

bool IsSessVerb(const std::string& word) {
    return word == "serve" || word == "call" || word == "hold" || word == "key";
}

bool ParseSessArgs(const std::vector<std::string>& words, SessArgs* out, std::string* error) {
    auto fail = [error](const std::string& why) {
        *error = why;
        return false;
    };
    if (words.empty() || !IsSessVerb(words[0])) return fail("no verb");
    SessArgs a;
    a.verb = words[0];
    bool haveProto = false, haveTo = false, havePort = false, haveCount = false, haveSize = false, haveType = false;
    for (size_t i = 1; i < words.size(); ++i) {
        const std::string& w = words[i];
        const bool hasValue = i + 1 < words.size();
        const std::string value = hasValue ? words[i + 1] : std::string();
        auto number = [&](uint32_t* into) {
            if (!hasValue || !ParseNumber(value, into)) return false;
            ++i;
            return true;
        };
        if (w == "--proto") {
            if (value != "udp" && value != "tcp") return fail("--proto takes udp or tcp");
            a.udp = value == "udp";
            haveProto = true;
            ++i;
        } else if (w == "--port" && a.verb == "serve") {
            uint32_t port = 0;
            if (!number(&port) || port > 65535) return fail("--port takes a port number");
            a.port = (uint16_t)port;
            havePort = true;
        } else if (w == "--to" && a.verb != "serve") {
            if (!hasValue || !ParseHostPort(value, &a.to)) return fail("--to takes HOST:PORT");
            haveTo = true;
            ++i;
        } else if (w == "--count" && a.verb == "call") {
            if (!number(&a.count)) return fail("--count takes a number");
            haveCount = true;
        } else if (w == "--size" && a.verb == "call") {
            if (!number(&a.size)) return fail("--size takes a number");
            haveSize = true;
        } else if (w == "--sync" && a.verb == "call") {
            a.sync = true;
        } else if (w == "--opt") {
            const size_t eq = value.find('=');
            uint32_t id = 0, v = 0;
            if (!hasValue || eq == std::string::npos || !ParseNumber(value.substr(0, eq), &id) ||
                !ParseNumber(value.substr(eq + 1), &v) || id == 0xFFFFFFFFu)
                return fail("--opt takes ID=VALUE");
            a.options.emplace_back(id, v);
            ++i;
        } else if (w == "--no-complete" && a.verb == "serve") {
            a.noComplete = true;
        } else if (w == "--no-handler" && a.verb == "serve") {
            a.noHandler = true;
        } else if (w == "--slow" && a.verb == "serve") {
            if (!number(&a.slowMs)) return fail("--slow takes milliseconds");
        } else if (w == "--type" && a.verb == "key") {
            if (!number(&a.keyType) || a.keyType < 1 || a.keyType > 3) return fail("--type takes 1, 2 or 3");
            haveType = true;
        } else if (w == "--no-negotiate" && a.verb == "key") {
            a.negotiate = false;
        } else {
            return fail("unknown word \"" + w + "\"");
        }
    }
    if (!haveProto) return fail("--proto is needed");
    if (a.verb == "serve" && !havePort) return fail("--port is needed");
    if (a.verb != "serve" && !haveTo) return fail("--to is needed");
    if (a.verb == "call" && (!haveCount || !haveSize)) return fail("--count and --size are needed");
    if (a.verb == "call" && a.size < 4) return fail("--size is at least 4");
    if (a.verb == "key" && !haveType) return fail("--type is needed");
    if ((a.noComplete ? 1 : 0) + (a.noHandler ? 1 : 0) + (a.slowMs ? 1 : 0) > 1)
        return fail("one misbehaviour at a time");
    *out = a;
    return true;
}

std::vector<uint8_t> CallPayload(uint32_t index, uint32_t size) {
    std::vector<uint8_t> p(size < 4 ? 4 : size);
    p[0] = (uint8_t)(index >> 24);
    p[1] = (uint8_t)(index >> 16);
    p[2] = (uint8_t)(index >> 8);
    p[3] = (uint8_t)index;
    uint32_t x = index * 2654435761u + 0x9E3779B9u;
    for (size_t i = 4; i < p.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        p[i] = (uint8_t)x;
    }
    return p;
}

}  // namespace kp
