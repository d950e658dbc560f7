// The two ends of krpeer over the network library's io channels: an echo end that listens and
// sends every byte back, and a sending end that sends numbered messages and checks their echoes.
#pragma once
#include <netinet/in.h>

#include <cstdint>

#include "peer_args.h"

namespace kp {

// Listens on 127.0.0.1 (`port` 0: a port of the library's range) and echoes until its standard
// input ends or says "quit". Prints "krpeer: listening tcp|udp 127.0.0.1:PORT" first.
int RunEcho(uint32_t ioType, uint16_t port);

struct SendPlan {
    uint32_t ioType = 0;
    sockaddr_in remote{};
    uint32_t count = 0;
    uint32_t seed = 1;
    uint32_t maxLength = 0;
    uint32_t connectTimeoutMs = 0; // 0: the library's default
};

// Exit codes: 0 all echoes intact and in order; 1 an echo was wrong; 3 the connection ended and
// the channel went on queueing only; 4 the channel could not be opened; 5 the guard ran out.
int RunSend(const SendPlan& plan);

// The session verbs (serve, call, hold, key); the exit code.
int RunSession(const SessArgs& args);

}  // namespace kp
