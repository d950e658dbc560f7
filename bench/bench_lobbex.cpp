// Round trips per second on loopback, each beside a plain baseline measured in the same run so
// that the figures compare: a synchronous request and its echoed response through a pair of
// sessions of the network library (SessionUdp, SessionTcp) beside a plain ping-pong between two
// sockets with a thread echoing (PlainUdpPingPong, PlainTcpPingPong); 64 requests kept in flight
// on one session with the asynchronous call and its completion callbacks (PipelinedUdp,
// PipelinedTcp); then 64-byte messages per second from one player through the test server's GULP
// relay to another (GulpRelay), beside the same bytes through a plain-socket relay thread
// (PlainTcpRelay). The program ends with one line per case: its rate and its ratio to the plain
// case of the same transport.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <netinet/tcp.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <cstring>
#include <thread>
#include <vector>

#include "gics_server.h"
#include "krcgame.h"

#include "krcgame_modules.h"
#include "krerrno.h"
#include "krioinet.h"
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

// The rate of each case's last run (operations per second), for the closing lines.
std::map<std::string, double> g_Rates;

// Runs the benchmark loop, one operation per iteration, and records its rate under `name`.
template <class Step>
void Measure(benchmark::State& state, const char* name, Step step) {
    int64_t done = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (!step()) break;
        ++done;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (done > 0 && seconds > 0) g_Rates[name] = double(done) / seconds;
    state.SetItemsProcessed(done);
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
    Measure(state, "PlainUdpPingPong", [&] {
        sendto(client, ping.data(), ping.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
        pollfd p{client, POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0 || recv(client, pong.data(), pong.size(), 0) != (ssize_t)kPayload) {
            state.SkipWithError("a ping was lost");
            return false;
        }
        return true;
    });
    stop.store(true);
    echo.join();
    close(client);
    close(server);
}
BENCHMARK(PlainUdpPingPong)->UseRealTime();

bool ReadFull(int fd, uint8_t* bytes, size_t n);
bool TcpPair(int ends[2]);

// The same over a TCP connection (no Nagle delay on either end), the echo thread waiting in poll
// as the UDP one does.
void PlainTcpPingPong(benchmark::State& state) {
    int ends[2];
    if (!TcpPair(ends)) {
        state.SkipWithError("no loopback sockets");
        return;
    }
    const int one = 1;
    for (int fd : ends) setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::atomic<bool> stop{false};
    std::thread echo([&] {
        uint8_t buffer[kPayload];
        while (!stop.load()) {
            pollfd p{ends[1], POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            if (!ReadFull(ends[1], buffer, kPayload) || write(ends[1], buffer, kPayload) != (ssize_t)kPayload) break;
        }
    });
    std::vector<uint8_t> ping(kPayload, 0x5A), pong(kPayload);
    Measure(state, "PlainTcpPingPong", [&] {
        if (write(ends[0], ping.data(), kPayload) != (ssize_t)kPayload || !ReadFull(ends[0], pong.data(), kPayload)) {
            state.SkipWithError("the echo stopped");
            return false;
        }
        return true;
    });
    stop.store(true);
    echo.join();
    close(ends[0]);
    close(ends[1]);
}
BENCHMARK(PlainTcpPingPong)->UseRealTime();

// ---- sessions ----

void Echo(KRSESS_HNDL* session, void*, uint32_t code, uint8_t* data, uint32_t length, KRREQ_HNDL* request) {
    if (code == KRSESS_CODE_OPENED || code == KRSESS_CODE_CLOSED) {
        KrSReqNoRespComplete(session, request);
        return;
    }
    KrSReqComplete(session, request, 0, data, length);
}

// A listening session and an active one towards it on loopback (client null when they cannot be
// opened), both with the given sequence window: a server drops a request further behind its newest
// than the window, so a pipeline sends no request that far ahead of its oldest unanswered one.
// TCP channels get a transmit ring and socket buffers that hold a window of messages (their
// defaults, 4 and 8 KB, hold about 40): a message the ring cannot take fails its send.
struct SessionPair {
    KRSESS_HNDL* server = nullptr;
    KRSESS_HNDL* client = nullptr;
    explicit SessionPair(bool udp, uint32_t window = 16) {
        KrErrorInit();
        KrRqModuleInit();
        KRTLADDR local{}, remote{};
        local.family = udp ? KRTL_UDP : KRTL_TCP;
        local.addr = htonl(INADDR_LOOPBACK);
        const uintptr_t buffers = 65536;
        server = KrSessOpenEx(1, &local, nullptr, Echo, nullptr, KRSESS_OPTID_WINDOW, (uintptr_t)window,
                              udp ? KRSESS_OPTID_END : KRIO_TCP_IOCBUF_SIZE, buffers, KRIO_TCP_SNDBUF_SIZE, buffers,
                              KRIO_TCP_RCVBUF_SIZE, buffers, KRSESS_OPTID_END);
        if (server && KrSessGetLocalTlAddr(server, &remote) == 0)
            client = KrSessOpenEx(0, nullptr, &remote, Echo, nullptr, KRSESS_OPTID_WINDOW, (uintptr_t)window,
                                  udp ? KRSESS_OPTID_END : KRIO_TCP_IOCBUF_SIZE, buffers, KRIO_TCP_SNDBUF_SIZE,
                                  buffers, KRIO_TCP_RCVBUF_SIZE, buffers, KRSESS_OPTID_END);
    }
    ~SessionPair() {
        if (client) KrSessClose(client);
        if (server) KrSessClose(server);
        KrRqModuleCleanup();
    }
};

void SessionRoundTrips(benchmark::State& state, bool udp) {
    SessionPair pair(udp);
    if (!pair.client) {
        state.SkipWithError("the sessions could not be opened");
        return;
    }
    std::vector<uint8_t> ping(kPayload, 0x5A), pong(kPayload);
    Measure(state, udp ? "SessionUdp" : "SessionTcp", [&] {
        if (KrCReqSync(pair.client, 1, ping.data(), kPayload, pong.data(), kPayload) != 0) {
            state.SkipWithError("a request failed");
            return false;
        }
        return true;
    });
}

void SessionUdp(benchmark::State& state) { SessionRoundTrips(state, true); }
void SessionTcp(benchmark::State& state) { SessionRoundTrips(state, false); }
BENCHMARK(SessionUdp)->UseRealTime();
BENCHMARK(SessionTcp)->UseRealTime();

// ---- pipelined requests: kInFlight asynchronous requests at a time on one session ----

constexpr uint32_t kInFlight = 64;
constexpr uint32_t kBatch = 4096; // requests per benchmark iteration

// A batch of requests in a sliding window: the first kInFlight go out from the benchmark's
// thread, and each completion (on the io thread) sends those that the window then allows: a
// request goes out only while it is fewer than kInFlight ahead of the oldest unanswered one, so
// that a lost one is still in the server's window when it is sent again.
struct Pipeline;
struct Slot {
    Pipeline* pipeline;
    uint32_t index;
};
struct Pipeline {
    KRSESS_HNDL* session;
    uint8_t ping[kPayload];
    std::mutex lock;
    std::condition_variable finished;
    std::vector<Slot> slots = std::vector<Slot>(kBatch);
    std::vector<bool> done = std::vector<bool>(kBatch);
    uint32_t sent = 0, oldest = 0, completed = 0, failed = 0;
    uint32_t failedStatus = 0, failedLength = 0; // of the first failure
};

void Send(Pipeline* p, uint32_t index);

// Lock held: marks request `index` ended and returns the first index of the requests the window
// now lets out (their count in *count, already counted as sent).
uint32_t EndLocked(Pipeline* p, uint32_t index, uint32_t* count) {
    p->done[index] = true;
    ++p->completed;
    while (p->oldest < kBatch && p->done[p->oldest]) ++p->oldest;
    const uint32_t first = p->sent;
    while (p->sent < kBatch && p->sent < p->oldest + kInFlight) ++p->sent;
    *count = p->sent - first;
    if (p->completed == kBatch) p->finished.notify_one();
    return first;
}

void Completed(KRSESS_HNDL*, uint32_t status, uint8_t*, uint32_t length, void* context) {
    auto* slot = static_cast<Slot*>(context);
    Pipeline* p = slot->pipeline;
    uint32_t first, count;
    {
        std::lock_guard<std::mutex> hold(p->lock);
        if ((status != 0 || length != kPayload) && p->failed++ == 0) {
            p->failedStatus = status;
            p->failedLength = length;
        }
        first = EndLocked(p, slot->index, &count);
    }
    for (uint32_t i = 0; i < count; ++i) Send(p, first + i);
}

void Send(Pipeline* p, uint32_t index) {
    p->slots[index] = Slot{p, index};
    if (KrCReq(p->session, 1, p->ping, kPayload, Completed, &p->slots[index]) == 0) return;
    uint32_t first, count;
    {
        std::lock_guard<std::mutex> hold(p->lock);
        if (p->failed++ == 0) p->failedStatus = KrErrorGet();
        first = EndLocked(p, index, &count);
    }
    for (uint32_t i = 0; i < count; ++i) Send(p, first + i);
}

void PipelinedRequests(benchmark::State& state, bool udp) {
    SessionPair pair(udp, kInFlight);
    if (!pair.client) {
        state.SkipWithError("the sessions could not be opened");
        return;
    }
    int64_t requests = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        Pipeline p{};
        p.session = pair.client;
        std::fill(std::begin(p.ping), std::end(p.ping), 0x5A);
        {
            std::lock_guard<std::mutex> hold(p.lock);
            p.sent = kInFlight;
        }
        for (uint32_t i = 0; i < kInFlight; ++i) Send(&p, i);
        std::unique_lock<std::mutex> hold(p.lock);
        p.finished.wait(hold, [&] { return p.completed == kBatch; });
        if (p.failed) {
            const std::string why = std::to_string(p.failed) + " requests failed, the first with status " +
                                    std::to_string(p.failedStatus) + " and " + std::to_string(p.failedLength) +
                                    " bytes (a failed send: the library's error)";
            state.SkipWithError(why.c_str());
            break;
        }
        requests += kBatch;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (requests > 0 && seconds > 0) g_Rates[udp ? "PipelinedUdp" : "PipelinedTcp"] = double(requests) / seconds;
    state.SetItemsProcessed(requests);
}

void PipelinedUdp(benchmark::State& state) { PipelinedRequests(state, true); }
void PipelinedTcp(benchmark::State& state) { PipelinedRequests(state, false); }
BENCHMARK(PipelinedUdp)->UseRealTime();
BENCHMARK(PipelinedTcp)->UseRealTime();

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
    // Each case beside the plain ping-pong of its transport: a synchronous round trip as a time
    // ratio (goal 1.5 or below), pipelined requests as their rate (goal 50000/s or more).
    const struct {
        const char* name;
        const char* plain;
        bool pipelined;
    } lines[] = {{"SessionUdp", "PlainUdpPingPong", false},
                 {"SessionTcp", "PlainTcpPingPong", false},
                 {"PipelinedUdp", "PlainUdpPingPong", true},
                 {"PipelinedTcp", "PlainTcpPingPong", true}};
    for (const auto& l : lines) {
        const auto it = g_Rates.find(l.name), base = g_Rates.find(l.plain);
        if (it == g_Rates.end() || base == g_Rates.end()) continue;
        if (l.pipelined)
            std::printf("%s: %.0f requests/s, %.2f times the round trips/s of %s (%.0f/s)\n", l.name, it->second,
                        it->second / base->second, l.plain, base->second);
        else
            std::printf("%s: %.1f us per round trip, %.2f times the time of %s (%.1f us)\n", l.name,
                        1e6 / it->second, base->second / it->second, l.plain, 1e6 / base->second);
    }
    return 0;
}
