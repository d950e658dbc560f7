// krpeer's echo end (see peer_modes.h). A passive channel accepts peers through clones. A UDP
// clone sends each datagram back as it came; a TCP clone's bytes wait in a queue that the main
// thread hands to the channel in pieces the ring takes, trying again while the ring is full.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "krerrno.h"
#include "lobbex_exports.h"
#include "krio.h"
#include "krioinet.h"
#include "peer_args.h"
#include "peer_modes.h"

namespace kp {

namespace {

struct Peer {
    KRIO_HNDL* channel = nullptr;
    std::deque<uint8_t> queue; // TCP bytes not yet handed back
    uint64_t received = 0;
    bool ended = false;
};

struct EchoState {
    std::mutex lock;
    uint32_t ioType = 0;
    KRIO_HNDL* passive = nullptr;
    std::vector<std::unique_ptr<Peer>> peers;
    uint64_t echoed = 0;
};
EchoState g_echo;

void PeerEvent(void* argument, uint32_t eventClass) {
    auto* peer = static_cast<Peer*>(argument);
    if (eventClass != KRIO_READABLE) return;
    std::vector<uint8_t> bytes(16384);
    KRIO_HNDL* channel;
    {
        std::lock_guard<std::mutex> hold(g_echo.lock);
        channel = peer->channel;
    }
    if (!channel) return;
    int got = KrIORx(channel, bytes.data(), (uint32_t)bytes.size());
    if (got < 0) {
        std::lock_guard<std::mutex> hold(g_echo.lock);
        std::printf("krpeer: channel ended (read -1) after %llu bytes\n", (unsigned long long)peer->received);
        std::fflush(stdout);
        peer->ended = true;
        peer->channel = nullptr;
        KrIOClose(channel);
        return;
    }
    std::lock_guard<std::mutex> hold(g_echo.lock);
    peer->received += (uint64_t)got;
    if (g_echo.ioType == KRIO_TYPE_UDP) {
        if (got > 0 && KrIOTx(channel, bytes.data(), (uint32_t)got) == got) g_echo.echoed += (uint64_t)got;
        return;
    }
    peer->queue.insert(peer->queue.end(), bytes.begin(), bytes.begin() + got);
}

// The passive channel's callback: a new peer (a connection to accept, a new datagram source).
void Accept(void*, uint32_t eventClass) {
    if (eventClass != KRIO_READABLE) return;
    auto peer = std::make_unique<Peer>();
    Peer* raw = peer.get();
    KRIO_HNDL* passive;
    {
        std::lock_guard<std::mutex> hold(g_echo.lock);
        passive = g_echo.passive;
        g_echo.peers.push_back(std::move(peer));
    }
    if (!passive) return;
    KRIO_HNDL* clone = KrIOClone(passive, PeerEvent, raw, KRIO_READABLE);
    std::lock_guard<std::mutex> hold(g_echo.lock);
    raw->channel = clone;
    if (!clone) {
        std::fprintf(stderr, "krpeer: cannot accept (KrErrno 0x%x)\n", KrErrorGet());
        raw->ended = true;
    }
}

// Hands queued TCP bytes back to their channels; what the ring refuses waits for the next turn.
void Drain(void) {
    std::lock_guard<std::mutex> hold(g_echo.lock);
    for (auto& peer : g_echo.peers) {
        while (peer->channel && !peer->queue.empty()) {
            uint32_t piece = (uint32_t)std::min<size_t>(peer->queue.size(), 2048);
            std::vector<uint8_t> bytes(peer->queue.begin(), peer->queue.begin() + piece);
            int sent = KrIOTx(peer->channel, bytes.data(), piece);
            if (sent != (int)piece) break;
            peer->queue.erase(peer->queue.begin(), peer->queue.begin() + piece);
            g_echo.echoed += piece;
        }
    }
}

}  // namespace

int RunEcho(uint32_t ioType, uint16_t port) {
    g_echo.ioType = ioType;
    sockaddr_in local = LoopbackAddress(port);
    sockaddr_in anyRemote{};
    anyRemote.sin_family = AF_INET;
    KRIO_HNDL* passive = KrIOOpen(KRIO_PASSIVE, ioType, &local, &anyRemote, Accept, nullptr, KRIO_READABLE, nullptr, 0);
    if (!passive) {
        std::fprintf(stderr, "krpeer: cannot listen (KrErrno 0x%x)\n", KrErrorGet());
        return 4;
    }
    {
        std::lock_guard<std::mutex> hold(g_echo.lock);
        g_echo.passive = passive;
    }
    KRTLADDR bound{};
    KrIOGetTlAddr(passive, &bound, 0);
    std::printf("krpeer: listening %s 127.0.0.1:%u\n", ioType == KRIO_TYPE_TCP ? "tcp" : "udp",
                (unsigned)ntohs(bound.port));
    std::fflush(stdout);

    std::string partial;
    bool quit = false;
    while (!quit) {
        pollfd input{0, POLLIN, 0};
        if (poll(&input, 1, 1) > 0) {
            char bytes[256];
            ssize_t got = read(0, bytes, sizeof bytes);
            if (got <= 0) {
                quit = true;
            } else {
                partial.append(bytes, (size_t)got);
                if (partial.find("quit") != std::string::npos) quit = true;
            }
        }
        Drain();
    }
    {
        std::lock_guard<std::mutex> hold(g_echo.lock);
        std::printf("krpeer: echoed %llu bytes\n", (unsigned long long)g_echo.echoed);
        std::fflush(stdout);
    }
    std::vector<KRIO_HNDL*> open;
    {
        std::lock_guard<std::mutex> hold(g_echo.lock);
        for (auto& peer : g_echo.peers) {
            if (peer->channel) open.push_back(peer->channel);
            peer->channel = nullptr;
        }
    }
    for (KRIO_HNDL* channel : open) KrIOClose(channel);
    KrIOClose(passive);
    return 0;
}

}  // namespace kp
