// The UDP side of the fault-injection proxy (see proxy.h): datagrams from a client go out on an
// upstream socket of that client, connected to the target; the target's answers go back to the
// client from the listening socket. Delayed datagrams wait in a queue ordered by their time.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "proxy.h"
#include "server_stop.h"

namespace kf {

namespace {

using Clock = std::chrono::steady_clock;

struct Client {
    sockaddr_in address;
    int upstream;
};

struct Scheduled {
    Clock::time_point due;
    uint64_t order;
    int socket;
    bool toClient;
    sockaddr_in to;
    std::vector<uint8_t> bytes;
};

bool Earlier(const Scheduled& a, const Scheduled& b) {
    return a.due != b.due ? a.due < b.due : a.order < b.order;
}

void Print(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace

int RunUdpProxy(const sockaddr_in& target, FaultEngine& engine, const Control& start) {
    int listener = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("krfault: bind");
        return 1;
    }
    std::printf("krfault: listening udp 127.0.0.1:%u\n", (unsigned)ntohs(address.sin_port));
    std::fflush(stdout);

    Control control = start;
    for (int d = 0; d < 2; ++d)
        control.stalled[d] = engine.Has(Action::kStall, (Direction)d);
    std::string partial;
    std::vector<Client> clients;
    std::vector<Scheduled> queue;
    uint64_t order = 0;
    std::vector<uint8_t> buffer(65536);

    auto schedule = [&](Verdict&& verdict, int socket, bool toClient, const sockaddr_in& to) {
        Print(verdict.log);
        for (Emit& e : verdict.emits) {
            Scheduled s{Clock::now() + std::chrono::milliseconds(e.delayMs), order++, socket, toClient, to,
                        std::move(e.bytes)};
            queue.insert(std::upper_bound(queue.begin(), queue.end(), s, Earlier), std::move(s));
        }
    };

    while (!control.quit && !server_stop::Requested()) {
        std::vector<pollfd> fds;
        fds.push_back({control.inputOpen ? 0 : -1, POLLIN, 0});
        fds.push_back({listener, (short)(control.stalled[kClientToServer] ? 0 : POLLIN), 0});
        for (const Client& c : clients) fds.push_back({c.upstream, (short)(control.stalled[kServerToClient] ? 0 : POLLIN), 0});
        int wait = -1;
        if (!queue.empty()) {
            auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(queue.front().due - Clock::now()).count();
            wait = ms < 0 ? 0 : (int)ms + 1;
        }
        fds.push_back({server_stop::WakeFd(), POLLIN, 0}); // a stop signal ends the wait
        if (poll(fds.data(), fds.size(), wait) < 0) continue;
        const size_t polled = clients.size(); // a client added below waits for the next poll
        if (fds[0].revents) ReadCommands(0, &partial, &control);
        if (fds[1].revents & POLLIN) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            ssize_t got = recvfrom(listener, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from),
                                   &fromLength);
            if (got >= 0) {
                Client* client = nullptr;
                for (Client& c : clients)
                    if (c.address.sin_port == from.sin_port && c.address.sin_addr.s_addr == from.sin_addr.s_addr)
                        client = &c;
                if (!client) {
                    int upstream = socket(AF_INET, SOCK_DGRAM, 0);
                    if (connect(upstream, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
                        std::perror("krfault: connect");
                        close(upstream);
                        continue;
                    }
                    clients.push_back(Client{from, upstream});
                    client = &clients.back();
                }
                Verdict v = engine.Apply(kClientToServer, std::vector<uint8_t>(buffer.begin(), buffer.begin() + got));
                schedule(std::move(v), client->upstream, false, target);
            }
        }
        for (size_t i = 0; i < polled; ++i) {
            if (!(fds[2 + i].revents & POLLIN)) continue;
            ssize_t got = recv(clients[i].upstream, buffer.data(), buffer.size(), 0);
            if (got < 0) continue; // a refusal from a target that is not there yet
            Verdict v = engine.Apply(kServerToClient, std::vector<uint8_t>(buffer.begin(), buffer.begin() + got));
            schedule(std::move(v), listener, true, clients[i].address);
        }
        const auto now = Clock::now();
        while (!queue.empty() && queue.front().due <= now) {
            Scheduled& s = queue.front();
            if (s.toClient)
                sendto(s.socket, s.bytes.data(), s.bytes.size(), 0, reinterpret_cast<const sockaddr*>(&s.to), sizeof s.to);
            else
                send(s.socket, s.bytes.data(), s.bytes.size(), 0);
            queue.erase(queue.begin());
        }
    }
    std::fprintf(stderr, "krfault: done: c2s %llu datagrams %llu bytes; s2c %llu datagrams %llu bytes\n",
                 (unsigned long long)engine.Units(kClientToServer), (unsigned long long)engine.Bytes(kClientToServer),
                 (unsigned long long)engine.Units(kServerToClient), (unsigned long long)engine.Bytes(kServerToClient));
    for (const Client& c : clients) close(c.upstream);
    close(listener);
    return 0;
}

}  // namespace kf
