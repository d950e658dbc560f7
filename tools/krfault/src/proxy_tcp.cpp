// The TCP side of the fault-injection proxy (see proxy.h): each accepted client gets its own
// connection to the target, and the bytes of each direction pass through the fault engine one
// read at a time. A direction that holds too much stops reading, so a stalled reader pushes back
// on the writer as a real one does. Resets close both sides with an abortive close. With the rule
// "noaccept" the proxy never accepts and keeps its backlog full, so that connects to it hang.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <vector>

#include "proxy.h"
#include "server_stop.h"

namespace kf {

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kReadSize = 16384;
constexpr size_t kMaxQueued = 65536;
constexpr int kSocketBuffer = 8192;

struct Chunk {
    std::vector<uint8_t> bytes;
    size_t offset = 0;
    Clock::time_point due;
    bool split = false;
};

struct Pipe {
    int from = -1;
    int to = -1;
    std::deque<Chunk> queue;
    size_t queued = 0;
    bool ended = false;    // the reading side has closed
    bool shutDown = false; // passed on to the writing side
};

struct Connection {
    int client = -1;
    int upstream = -1;
    Pipe pipes[2];
    bool dead = false;
};

void NonBlocking(int s) {
    fcntl(s, F_SETFL, fcntl(s, F_GETFL, 0) | O_NONBLOCK);
}

void Tune(int s) {
    int on = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void HardClose(int s) {
    if (s < 0) return;
    linger hard{1, 0};
    setsockopt(s, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close(s);
}

void Reset(Connection& c, const char* why) {
    std::fprintf(stderr, "krfault: reset connection (%s)\n", why);
    HardClose(c.client);
    HardClose(c.upstream);
    c.client = c.upstream = -1;
    c.dead = true;
}

bool Due(const Pipe& p, Clock::time_point now) {
    return !p.queue.empty() && p.queue.front().due <= now;
}

// Writes what is due of a pipe; false when the writing side has failed.
bool Flush(Pipe& p, Clock::time_point now) {
    while (Due(p, now)) {
        Chunk& c = p.queue.front();
        size_t want = c.split ? 1 : c.bytes.size() - c.offset;
        ssize_t sent = want ? send(p.to, c.bytes.data() + c.offset, want, MSG_NOSIGNAL) : 0;
        if (sent < 0) return errno == EAGAIN || errno == EWOULDBLOCK;
        c.offset += (size_t)sent;
        p.queued -= (size_t)sent;
        if (c.offset == c.bytes.size()) p.queue.pop_front();
        else if (!c.split && (size_t)sent < want) return true; // the socket is full
    }
    if (p.queue.empty() && p.ended && !p.shutDown) {
        shutdown(p.to, SHUT_WR);
        p.shutDown = true;
    }
    return true;
}

}  // namespace

int RunTcpProxy(const sockaddr_in& target, FaultEngine& engine, const Control& start) {
    const bool noAccept = engine.Has(Action::kNoAccept, kClientToServer) || engine.Has(Action::kNoAccept, kServerToClient);
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    int size = kSocketBuffer;
    setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &size, sizeof size); // inherited by accepted sockets
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        listen(listener, noAccept ? 0 : 16) != 0) {
        std::perror("krfault: listen");
        return 1;
    }
    int filler = -1;
    if (noAccept) {
        // A backlog of 0 holds one connection: this one. Later connects get no answer.
        filler = socket(AF_INET, SOCK_STREAM, 0);
        if (connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) std::perror("krfault: fill");
        std::fprintf(stderr, "krfault: not accepting; the backlog is full\n");
    }
    std::printf("krfault: listening tcp 127.0.0.1:%u\n", (unsigned)ntohs(address.sin_port));
    std::fflush(stdout);

    Control control = start;
    for (int d = 0; d < 2; ++d)
        control.stalled[d] = engine.Has(Action::kStall, (Direction)d);
    std::string partial;
    std::vector<std::unique_ptr<Connection>> connections;
    std::vector<uint8_t> buffer(kReadSize);

    while (!control.quit && !server_stop::Requested()) {
        if (control.resetAll) {
            for (auto& c : connections)
                if (!c->dead) Reset(*c, "asked");
            control.resetAll = false;
        }
        std::vector<pollfd> fds;
        fds.push_back({control.inputOpen ? 0 : -1, POLLIN, 0});
        fds.push_back({listener, (short)(noAccept ? 0 : POLLIN), 0});
        const auto now = Clock::now();
        int wait = -1;
        for (auto& c : connections) {
            for (int d = 0; d < 2; ++d) {
                const Pipe& p = c->pipes[d];
                short readEvents = (!p.ended && !control.stalled[d] && p.queued < kMaxQueued) ? POLLIN : 0;
                fds.push_back({p.from, readEvents, 0});
                fds.push_back({p.to, (short)(Due(p, now) ? POLLOUT : 0), 0});
                if (!p.queue.empty() && !Due(p, now)) {
                    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(p.queue.front().due - now).count();
                    if (wait < 0 || ms + 1 < wait) wait = (int)ms + 1;
                }
            }
        }
        fds.push_back({server_stop::WakeFd(), POLLIN, 0}); // a stop signal ends the wait
        if (poll(fds.data(), fds.size(), wait) < 0) continue;
        const size_t polled = connections.size(); // a connection accepted below waits for the next poll
        if (fds[0].revents) ReadCommands(0, &partial, &control);
        if (fds[1].revents & POLLIN) {
            int client = accept(listener, nullptr, nullptr);
            if (client >= 0) {
                int upstream = socket(AF_INET, SOCK_STREAM, 0);
                setsockopt(upstream, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
                if (connect(upstream, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
                    std::perror("krfault: connect to the target");
                    close(upstream);
                    HardClose(client);
                } else {
                    NonBlocking(client);
                    NonBlocking(upstream);
                    Tune(client);
                    Tune(upstream);
                    auto c = std::make_unique<Connection>();
                    c->client = client;
                    c->upstream = upstream;
                    c->pipes[kClientToServer].from = client;
                    c->pipes[kClientToServer].to = upstream;
                    c->pipes[kServerToClient].from = upstream;
                    c->pipes[kServerToClient].to = client;
                    std::fprintf(stderr, "krfault: connection %zu accepted\n", connections.size() + 1);
                    connections.push_back(std::move(c));
                }
            }
        }
        size_t at = 2;
        for (size_t i = 0; i < polled; ++i) {
            Connection& c = *connections[i];
            for (int d = 0; d < 2 && !c.dead; ++d) {
                Pipe& p = c.pipes[d];
                const short readReady = fds[at + 2 * d].revents;
                if (readReady & (POLLIN | POLLHUP | POLLERR)) {
                    ssize_t got = recv(p.from, buffer.data(), buffer.size(), 0);
                    if (got > 0) {
                        Verdict v = engine.Apply((Direction)d,
                                                 std::vector<uint8_t>(buffer.begin(), buffer.begin() + got));
                        for (const std::string& line : v.log) std::fprintf(stderr, "%s\n", line.c_str());
                        if (v.reset) {
                            Reset(c, "rule");
                            break;
                        }
                        for (Emit& e : v.emits) {
                            p.queued += e.bytes.size();
                            p.queue.push_back(Chunk{std::move(e.bytes), 0,
                                                    Clock::now() + std::chrono::milliseconds(e.delayMs), v.split});
                        }
                    } else if (got == 0) {
                        p.ended = true;
                    } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
                        Reset(c, "read failed");
                        break;
                    }
                }
                if (!Flush(p, Clock::now())) {
                    Reset(c, "write failed");
                    break;
                }
            }
            at += 4;
        }
        for (size_t i = 0; i < connections.size();) {
            Connection& c = *connections[i];
            bool finished = c.dead || (c.pipes[0].shutDown && c.pipes[1].shutDown);
            if (finished) {
                if (!c.dead) {
                    close(c.client);
                    close(c.upstream);
                }
                connections.erase(connections.begin() + (long)i);
            } else {
                ++i;
            }
        }
    }
    std::fprintf(stderr, "krfault: done: c2s %llu reads %llu bytes; s2c %llu reads %llu bytes\n",
                 (unsigned long long)engine.Units(kClientToServer), (unsigned long long)engine.Bytes(kClientToServer),
                 (unsigned long long)engine.Units(kServerToClient), (unsigned long long)engine.Bytes(kServerToClient));
    for (auto& c : connections)
        if (!c->dead) {
            close(c->client);
            close(c->upstream);
        }
    if (filler >= 0) close(filler);
    close(listener);
    return 0;
}

}  // namespace kf
