// krpeer's sending end (see peer_modes.h). It opens an active channel, sends the numbered
// messages (all at once over TCP, trying again while the ring is full; one at a time over UDP,
// waiting for each echo) and checks the echoes on the io thread.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>

#include "krerrno.h"
#include "lobbex_exports.h"
#include "krio.h"
#include "krioinet.h"
#include "peer_message.h"
#include "peer_modes.h"

namespace kp {

namespace {

constexpr int kGuardSeconds = 60;

struct SendState {
    std::mutex lock;
    std::condition_variable changed;
    KRIO_HNDL* channel = nullptr;
    StreamChecker* checker = nullptr;
    bool ended = false;
    bool wrong = false;
};
SendState g_send;

void EchoEvent(void*, uint32_t eventClass) {
    if (eventClass != KRIO_READABLE) return;
    KRIO_HNDL* channel;
    {
        std::lock_guard<std::mutex> hold(g_send.lock);
        channel = g_send.channel;
        if (!channel || g_send.ended) return;
    }
    uint8_t bytes[16384];
    int got = KrIORx(channel, bytes, sizeof bytes);
    std::lock_guard<std::mutex> hold(g_send.lock);
    if (got < 0) {
        g_send.ended = true;
        // Nothing more is read from this channel; it stays open so that transmits can be tried.
        KrIOEventListRemove(channel);
    } else if (got > 0 && !g_send.checker->Feed(bytes, (size_t)got)) {
        g_send.wrong = true;
    }
    g_send.changed.notify_all();
}

bool WaitFor(const std::function<bool()>& done) {
    std::unique_lock<std::mutex> hold(g_send.lock);
    return g_send.changed.wait_for(hold, std::chrono::seconds(kGuardSeconds), done);
}

}  // namespace

int RunSend(const SendPlan& plan) {
    StreamChecker checker(plan.seed);
    g_send.checker = &checker;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    KRIO_OPTION options[] = {{KRIO_OPT_CONNECT_TIMEOUT, plan.connectTimeoutMs}};
    KRIO_HNDL* channel = KrIOOpen(KRIO_ACTIVE, plan.ioType, &local, &plan.remote, EchoEvent, nullptr, KRIO_READABLE,
                                  options, plan.connectTimeoutMs ? 1 : 0);
    if (!channel) {
        std::printf("krpeer: open failed (KrErrno 0x%x)\n", KrErrorGet());
        return 4;
    }
    {
        std::lock_guard<std::mutex> hold(g_send.lock);
        g_send.channel = channel;
    }
    std::printf("krpeer: connected %s 127.0.0.1:%u\n", plan.ioType == KRIO_TYPE_TCP ? "tcp" : "udp",
                (unsigned)ntohs(channel->local.sin_port));
    std::fflush(stdout);

    const std::vector<uint32_t> sizes = MessageSizes(plan.count, plan.maxLength, plan.seed);
    uint32_t sent = 0, refusals = 0;
    bool ended = false;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(kGuardSeconds);
    while (sent < plan.count) {
        {
            std::lock_guard<std::mutex> hold(g_send.lock);
            ended = g_send.ended;
            if (g_send.wrong) break;
        }
        if (ended || std::chrono::steady_clock::now() > giveUp) break;
        std::vector<uint8_t> message = MakeMessage(sent, sizes[sent], plan.seed);
        int result = KrIOTx(channel, message.data(), (uint32_t)message.size());
        if (result == (int)message.size()) {
            sent++;
            if (plan.ioType == KRIO_TYPE_UDP && !WaitFor([&] { return checker.Intact() >= sent || g_send.wrong; }))
                break;
            continue;
        }
        if (result == 0 && KrErrorGet() == KRERR_TCP_TX) {
            if (refusals++ == 0) {
                std::printf("krpeer: ring full at message %u\n", sent);
                std::fflush(stdout);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        std::printf("krpeer: transmit of message %u failed: %d (KrErrno 0x%x)\n", sent, result, KrErrorGet());
        break;
    }
    if (!ended)
        WaitFor([&] { return checker.Intact() >= sent || g_send.wrong || g_send.ended; });
    int code = 0;
    {
        std::lock_guard<std::mutex> hold(g_send.lock);
        ended = g_send.ended;
        if (g_send.wrong) {
            std::printf("krpeer: %s\n", checker.Problem().c_str());
            code = 1;
        }
    }
    std::printf("krpeer: sent %u messages, received %u intact, %u refused while the ring was full\n", sent,
                checker.Intact(), refusals);
    if (code == 0 && ended) {
        std::printf("krpeer: connection ended (read -1) after %u messages\n", checker.Intact());
        std::fflush(stdout);
        // Transmits go on: the socket is gone, so nothing leaves and the ring fills. No signal
        // may end this process meanwhile.
        bool queueOnly = false;
        std::vector<uint8_t> message = MakeMessage(0, 1000, plan.seed);
        for (int i = 0; i < 100000 && std::chrono::steady_clock::now() < giveUp; ++i) {
            int result = KrIOTx(channel, message.data(), (uint32_t)message.size());
            if (result == 0 && KrErrorGet() == KRERR_TCP_TX) {
                queueOnly = true;
                break;
            }
            if (result < 0) break;
        }
        while (plan.ioType == KRIO_TYPE_TCP && TCPTxThreadsRunning() > 0 && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (queueOnly)
            std::printf("krpeer: transmit queue-only after the connection ended (transmit threads running: %u)\n",
                        TCPTxThreadsRunning());
        code = 3;
    } else if (code == 0 && checker.Intact() < plan.count) {
        code = 5;
    }
    std::fflush(stdout);
    {
        std::lock_guard<std::mutex> hold(g_send.lock);
        g_send.channel = nullptr;
    }
    KrIOClose(channel);
    return code;
}

}  // namespace kp
