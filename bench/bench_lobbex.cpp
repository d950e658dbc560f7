// Round trips per second on loopback: a synchronous request and its echoed response through a
// pair of sessions of the network library (UDP and TCP), and a plain UDP ping-pong between two
// sockets with a thread echoing, measured in the same run so that the figures compare. Then
// 64-byte messages per second from one player through the test server's GULP relay to another
// (GulpRelay), beside the same bytes through a plain-socket relay thread (PlainTcpRelay); the
// program ends with their ratio.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "gics_server.h"
#include "krcgame.h"

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

// ---- relays: one message at a time from a sender through a relay to a receiver ----

double g_GulpRate = 0;
double g_PlainRate = 0;

bool ReadFull(int fd, uint8_t* bytes, size_t n) {
    size_t got = 0;
    while (got < n) {
        const ssize_t r = read(fd, bytes + got, n - got);
        if (r <= 0) return false;
        got += (size_t)r;
    }
    return true;
}

// A TCP connection pair on loopback: [0] the connecting end, [1] the accepted one.
bool TcpPair(int ends[2]) {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = Loopback(0);
    socklen_t length = sizeof a;
    if (bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener, 1) != 0) return false;
    getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length);
    ends[0] = socket(AF_INET, SOCK_STREAM, 0);
    if (connect(ends[0], reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return false;
    ends[1] = accept(listener, nullptr, nullptr);
    close(listener);
    return ends[1] >= 0;
}

void PlainTcpRelay(benchmark::State& state) {
    int in[2], out[2];
    if (!TcpPair(in) || !TcpPair(out)) {
        state.SkipWithError("no loopback sockets");
        return;
    }
    std::atomic<bool> stop{false};
    std::thread relay([&] {
        uint8_t buffer[kPayload];
        while (!stop.load()) {
            pollfd p{in[1], POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            if (!ReadFull(in[1], buffer, kPayload)) break;
            if (write(out[0], buffer, kPayload) != (ssize_t)kPayload) break;
        }
    });
    std::vector<uint8_t> message(kPayload, 0x5A), received(kPayload);
    int64_t messages = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (write(in[0], message.data(), kPayload) != (ssize_t)kPayload || !ReadFull(out[1], received.data(), kPayload)) {
            state.SkipWithError("the relay stopped");
            break;
        }
        ++messages;
    }
    g_PlainRate = double(messages) / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    stop.store(true);
    relay.join();
    for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
    state.SetItemsProcessed(messages);
}

void GulpRelay(benchmark::State& state) {
    setenv("PLATFORM_HOST_ADDRESS", "127.0.0.1", 1);
    LobbexInit();
    gics::Server server(gics::Options{}, [](const std::string&) {});
    const uint16_t port = server.Start();
    HGULP gulp[2] = {-1, -1};
    for (HGAME g = 0; g < 2 && port; ++g) {
        uint8_t record[GAMEDEF_GAME_SIZE] = {};
        record[0] = (uint8_t)g;
        record[GAMEDEF_GICS] = KRTL_TCP;
        const uint16_t p = htons(port);
        std::memcpy(record + GAMEDEF_GICS + 2, &p, 2);
        const uint32_t ip = htonl(INADDR_LOOPBACK);
        std::memcpy(record + GAMEDEF_GICS + 4, &ip, 4);
        PrepareGameDef(reinterpret_cast<GAMEDEF*>(record), sizeof record);
        if (KrJoinGame(g, g ? "receiver" : "sender") != 0) break;
        KrCreateGULP_SI(g, KRADDR_NONE, "Qor GULP", 1, 500, 0, 0);
        gulp[g] = KrOpenGULP(g, KRGULP_OPEN_FIND, reinterpret_cast<uintptr_t>("Qor GULP"), 0, nullptr, nullptr);
    }
    if (gulp[0] < 0 || gulp[1] < 0) {
        state.SkipWithError("the game could not be joined");
    } else {
        const uint32_t to[] = {1, KrGetKrAddr(1)};
        std::vector<uint8_t> message(kPayload, 0x5A), received(kPayload);
        int64_t messages = 0;
        const auto start = std::chrono::steady_clock::now();
        for (auto _ : state) {
            if (KrWriteGULP(gulp[0], message.data(), kPayload, to) != 0) {
                state.SkipWithError("a write failed");
                break;
            }
            // The receiver polls as the game's network pump does.
            KRADDR sender = 0;
            uint32_t length = kPayload;
            while (KrReadGULP(gulp[1], &sender, received.data(), &length) != 0) {
                std::this_thread::yield();
                length = kPayload;
            }
            ++messages;
        }
        g_GulpRate = double(messages) / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetItemsProcessed(messages);
    }
    for (HGULP h : gulp)
        if (h >= 0) KrCloseGULP(h);
    KrLeaveGame(0);
    KrLeaveGame(1);
    server.Stop();
    LobbexDestroy();
}

BENCHMARK(PlainTcpRelay)->UseRealTime()->MinTime(1.0);
BENCHMARK(GulpRelay)->UseRealTime()->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_PlainRate > 0 && g_GulpRate > 0)
        std::printf("GulpRelay/PlainTcpRelay ratio: %.3f\n", g_GulpRate / g_PlainRate);
    return 0;
}
