// krfault udp|tcp HOST:PORT [RULE ...]: a loopback proxy for tests that drops, duplicates,
// reorders, delays, corrupts and truncates datagrams, splits TCP writes into single bytes, stalls
// reading and resets connections, as its rules say (see fault_rules.h and proxy.h).
#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fault_rules.h"
#include "proxy.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: krfault udp|tcp HOST:PORT [RULE ...]\n"
                 "  RULE: seed=N | ACTION[=N][:c2s|:s2c|:both][%%P|#N|~HEX|>N]\n"
                 "  ACTION: drop dup reorder delay=MS corrupt truncate=N split reset stall noaccept\n"
                 "  commands on standard input: stall DIR, resume DIR, reset, quit (SIGINT and SIGTERM stop it too)\n");
    return 2;
}

bool ParseTarget(const std::string& text, sockaddr_in* out) {
    size_t colon = text.rfind(':');
    if (colon == std::string::npos) return false;
    std::string host = text.substr(0, colon);
    if (host == "localhost") host = "127.0.0.1";
    char* end = nullptr;
    long port = std::strtol(text.c_str() + colon + 1, &end, 10);
    if (!end || *end || port <= 0 || port > 65535) return false;
    std::memset(out, 0, sizeof *out);
    out->sin_family = AF_INET;
    out->sin_port = htons((uint16_t)port);
    return inet_pton(AF_INET, host.c_str(), &out->sin_addr) == 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    const std::string kind = argv[1];
    if (kind != "udp" && kind != "tcp") return Usage();
    sockaddr_in target;
    if (!ParseTarget(argv[2], &target)) {
        std::fprintf(stderr, "krfault: bad target \"%s\"\n", argv[2]);
        return Usage();
    }
    kf::RuleSet rules;
    std::string error;
    if (!kf::ParseRules(std::vector<std::string>(argv + 3, argv + argc), &rules, &error)) {
        std::fprintf(stderr, "krfault: %s\n", error.c_str());
        return Usage();
    }
    kf::FaultEngine engine(rules);
    kf::Control control;
    kf::SetUpInput(&control);
    return kind == "udp" ? kf::RunUdpProxy(target, engine, control) : kf::RunTcpProxy(target, engine, control);
}
