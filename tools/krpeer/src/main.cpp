// krpeer: a small test program over the network library, for tests that need two processes on
// loopback. Over the io channels:
//   krpeer echo tcp|udp [PORT]                              listen and echo every byte back
//   krpeer send tcp|udp HOST:PORT COUNT SEED MAXLEN [CONNECT_MS]
//                                                           send numbered messages, check echoes
// Over sessions and requests (peer_args.h, peer_session.cpp):
//   krpeer serve|call|hold|key --proto udp|tcp ...
#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "krerrno.h"
#include "lobbex_exports.h"
#include "krio.h"
#include "krtime.h"
#include "peer_args.h"
#include "peer_modes.h"
#include "server_stop.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: krpeer echo tcp|udp [PORT]\n"
                 "       krpeer send tcp|udp HOST:PORT COUNT SEED MAXLEN [CONNECT_MS]\n"
                 "       krpeer serve --proto udp|tcp --port P [--opt ID=VALUE ...]\n"
                 "                    [--no-complete | --slow MS | --no-handler]\n"
                 "       krpeer call --proto udp|tcp --to HOST:PORT --count N --size S [--sync] [--opt ID=VALUE ...]\n"
                 "       krpeer hold --proto udp|tcp --to HOST:PORT [--opt ID=VALUE ...]\n"
                 "       krpeer key --proto udp|tcp --to HOST:PORT --type 1|2|3 [--no-negotiate] [--opt ID=VALUE ...]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && kp::IsSessVerb(argv[1])) {
        kp::SessArgs args;
        std::string error;
        if (!kp::ParseSessArgs(std::vector<std::string>(argv + 1, argv + argc), &args, &error)) {
            std::fprintf(stderr, "krpeer: %s\n", error.c_str());
            return Usage();
        }
        // The server runs until "quit" or a stop signal, also with no input at all.
        if (args.verb == "serve") args.inputOpen = server_stop::Install();
        return kp::RunSession(args);
    }
    if (argc < 3) return Usage();
    const std::string mode = argv[1], kind = argv[2];
    if (kind != "tcp" && kind != "udp") return Usage();
    const uint32_t ioType = kind == "tcp" ? KRIO_TYPE_TCP : KRIO_TYPE_UDP;
    KrErrorInit();
    KrTimeModuleInit();
    KrIOModuleInit();
    int code = 2;
    if (mode == "echo" && argc <= 4) {
        uint32_t port = 0;
        if (argc == 4 && (!kp::ParseNumber(argv[3], &port) || port > 65535)) return Usage();
        code = kp::RunEcho(ioType, (uint16_t)port);
    } else if (mode == "send" && (argc == 7 || argc == 8)) {
        kp::SendPlan plan;
        plan.ioType = ioType;
        if (!kp::ParseHostPort(argv[3], &plan.remote) || !kp::ParseNumber(argv[4], &plan.count) ||
            !kp::ParseNumber(argv[5], &plan.seed) || !kp::ParseNumber(argv[6], &plan.maxLength) ||
            (argc == 8 && !kp::ParseNumber(argv[7], &plan.connectTimeoutMs)))
            return Usage();
        code = kp::RunSend(plan);
    } else {
        code = Usage();
    }
    KrIOModuleCleanup();
    KrTimeModuleCleanup();
    return code;
}
