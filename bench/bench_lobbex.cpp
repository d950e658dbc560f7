// Round trips per second on loopback: a synchronous request and its echoed response through a
// pair of sessions of the network library (UDP and TCP), and a plain UDP ping-pong between two
// sockets with a thread echoing, measured in the same run so that the figures compare.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "krcgame_modules.h"
#include "krerrno.h"
#include "krrq_sess.h"
#include "krtime.h"
#include "lobbex_exports.h"

namespace {

constexpr uint32_t kPayload = 64;

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// ---- plain sockets ----

void PlainUdpPingPong(benchmark::State& state) {
    int server = socket(AF_INET, SOCK_DGRAM, 0);
    int client = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(server, reinterpret_cast<sockaddr*>(&address), &length);
    std::atomic<bool> stop{false};
    std::thread echo([&] {
        uint8_t buffer[2048];
        while (!stop.load()) {
            pollfd p{server, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t got = recvfrom(server, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (got > 0) sendto(server, buffer, (size_t)got, 0, reinterpret_cast<sockaddr*>(&from), fromLength);
        }
    });
    std::vector<uint8_t> ping(kPayload, 0x5A), pong(2048);
    for (auto _ : state) {
        sendto(client, ping.data(), ping.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
        pollfd p{client, POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0 || recv(client, pong.data(), pong.size(), 0) != (ssize_t)kPayload) {
            state.SkipWithError("a ping was lost");
            break;
        }
    }
    stop.store(true);
    echo.join();
    close(client);
    close(server);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(PlainUdpPingPong)->UseRealTime();

// ---- sessions ----

void Echo(KRSESS_HNDL* session, void*, uint32_t code, uint8_t* data, uint32_t length, KRREQ_HNDL* request) {
    if (code == KRSESS_CODE_OPENED || code == KRSESS_CODE_CLOSED) {
        KrSReqNoRespComplete(session, request);
        return;
    }
    KrSReqComplete(session, request, 0, data, length);
}

void SessionRoundTrips(benchmark::State& state, bool udp) {
    KrErrorInit();
    KrRqModuleInit();
    KRTLADDR local{}, remote{};
    local.family = udp ? KRTL_UDP : KRTL_TCP;
    local.addr = htonl(INADDR_LOOPBACK);
    KRSESS_HNDL* server = KrSessOpenEx(1, &local, nullptr, Echo, nullptr, KRSESS_OPTID_END);
    KRSESS_HNDL* client = nullptr;
    if (server && KrSessGetLocalTlAddr(server, &remote) == 0)
        client = KrSessOpenEx(0, nullptr, &remote, Echo, nullptr, KRSESS_OPTID_END);
    if (!client) {
        state.SkipWithError("the sessions could not be opened");
    } else {
        std::vector<uint8_t> ping(kPayload, 0x5A), pong(kPayload);
        for (auto _ : state) {
            if (KrCReqSync(client, 1, ping.data(), kPayload, pong.data(), kPayload) != 0) {
                state.SkipWithError("a request failed");
                break;
            }
        }
    }
    if (client) KrSessClose(client);
    if (server) KrSessClose(server);
    KrRqModuleCleanup();
    state.SetItemsProcessed(state.iterations());
}

void SessionUdp(benchmark::State& state) { SessionRoundTrips(state, true); }
void SessionTcp(benchmark::State& state) { SessionRoundTrips(state, false); }
BENCHMARK(SessionUdp)->UseRealTime();
BENCHMARK(SessionTcp)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
