// Messages per second from a host process to a client process on loopback: 64-byte game
// messages through the game transport's DirectPlay back end and through its online-service back
// end relayed by gics-testserver (NET_Broadcast on the host, NET_Pump on the client), and the
// same messages as length-prefixed frames over plain TCP: straight from host to client
// (RawTcpRelay) and through a relay process that copies between the two (RawTcpThroughRelay,
// the plain counterpart of the service's relay). Each iteration the client asks the host for a
// batch and drains it. At the end the program prints DirectPlayBroadcast's and OnlineBroadcast's
// rates as fractions of RawTcpRelay's, and OnlineBroadcast's as a fraction of RawTcpThroughRelay's.
#include <arpa/inet.h>
#include <fcntl.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "dplay.h"
#include "gamedef_record.h"
#include "registry.h"
#include "net/net.h"
#include "net/net_state.h"
#include "common/mem.h"

namespace {

constexpr int kBatch = 64;
constexpr int kSize = 64;
double g_DirectPlayRate = 0;
double g_OnlineRate = 0;
double g_RelayRate = 0;
double g_RawRate = 0;

bool ReadAll(int fd, void* p, size_t n) {
    uint8_t* b = static_cast<uint8_t*>(p);
    while (n) {
        const ssize_t r = read(fd, b, n);
        if (r <= 0) return false;
        b += r;
        n -= size_t(r);
    }
    return true;
}

bool WriteAll(int fd, const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    while (n) {
        const ssize_t r = write(fd, b, n);
        if (r <= 0) return false;
        b += r;
        n -= size_t(r);
    }
    return true;
}

std::string Scratch() {
    std::string pattern = (std::filesystem::temp_directory_path() / "benchnet-XXXXXX").string();
    return mkdtemp(pattern.data()) ? pattern : std::string("/tmp");
}

int TcpIpIndex() {
    for (int i = 0; i < NET_EnumConnections(); ++i)
        if (const char* name = NET_GetConnectionName(i); name && std::strstr(name, "TCP/IP")) return i;
    return -1;
}

// The host process: hosts a session, tells the client its port, then broadcasts a batch for each
// byte the client sends, until the pipe closes.
[[noreturn]] void DirectPlayHost(const std::string& dir, int request, int reply) {
    plat::SetRegistryPath(dir + "/host.ini");
    MEM_ResetTracker();
    NET_Init(nullptr, kGhouldenGuid, NET_MODE_DIRECTPLAY, 8);
    NET_InitConnection(TcpIpIndex());
    NET_HostSession("bench");
    const int slot = NET_CreatePlayer("host");
    const uint32_t port = plat::DpMachinePort();
    WriteAll(reply, &port, 4);
    // Wait until the client's player is there.
    while (NET_GetPlayerCount() < 2) {
        NET_Pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    uint8_t message[kSize] = {0x2a};
    char go;
    while (read(request, &go, 1) == 1)
        for (int i = 0; i < kBatch; ++i) NET_Broadcast(slot, message, kSize);
    NET_Shutdown();
    _exit(0);
}

int g_Received = 0;
int Count(int, int, const uint8_t*, int) {
    ++g_Received;
    return 0;
}

// The client's side of a broadcast case: each iteration asks the host (through its pipe) for a
// batch and pumps until every message of it has arrived, as a frame loop does, giving the
// processor up between pumps. Returns the messages received per second.
double ReceiveBatches(benchmark::State& state, int requestFd) {
    for (int slot = 0; slot < NET_MAX_SLOTS; ++slot) NET_SetHandler(slot, Count);
    int64_t messages = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        g_Received = 0;
        WriteAll(requestFd, "g", 1);
        while (g_Received < kBatch) {
            NET_Pump();
            if (g_Received < kBatch) std::this_thread::yield();
        }
        messages += kBatch;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetItemsProcessed(messages);
    return double(messages) / seconds;
}

void DirectPlayBroadcast(benchmark::State& state) {
    const std::string dir = Scratch();
    int request[2], reply[2];
    if (pipe(request) || pipe(reply)) return state.SkipWithError("pipe");
    const pid_t child = fork();
    if (child == 0) {
        close(request[1]);
        close(reply[0]);
        DirectPlayHost(dir, request[0], reply[1]);
    }
    close(request[0]);
    close(reply[1]);
    uint32_t port = 0;
    ReadAll(reply[0], &port, 4);
    plat::SetRegistryPath(dir + "/client.ini");
    MEM_ResetTracker();
    NET_Init(nullptr, kGhouldenGuid, NET_MODE_DIRECTPLAY, 8);
    NET_SetIPAddress(("127.0.0.1:" + std::to_string(port)).c_str());
    NET_InitConnection(TcpIpIndex());
    if (NET_EnumSessions() < 0 || !NET_JoinSession(0) || NET_CreatePlayer("client") < 0) {
        state.SkipWithError("cannot join the host");
    } else {
        g_DirectPlayRate = ReceiveBatches(state, request[1]);
    }
    close(request[1]);
    NET_Shutdown();
    waitpid(child, nullptr, 0);
    close(reply[0]);
    std::filesystem::remove_all(dir);
}

// The plain relay: the host process writes each batch as 4-byte length and 64 bytes per message.
void RawTcpRelay(benchmark::State& state) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at);
    listen(listener, 1);
    getsockname(listener, reinterpret_cast<sockaddr*>(&at), &size);
    const pid_t child = fork();
    if (child == 0) {
        const int fd = accept(listener, nullptr, nullptr);
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        uint8_t frame[4 + kSize] = {kSize, 0, 0, 0, 0x2a};
        char go;
        while (read(fd, &go, 1) == 1)
            for (int i = 0; i < kBatch; ++i)
                if (!WriteAll(fd, frame, sizeof frame)) _exit(0);
        _exit(0);
    }
    close(listener);
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    connect(fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    int64_t messages = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        WriteAll(fd, "g", 1);
        for (int i = 0; i < kBatch; ++i) {
            uint8_t frame[4 + kSize];
            ReadAll(fd, frame, 4);
            const uint32_t length = uint32_t(frame[0]) | uint32_t(frame[1]) << 8;
            if (length != kSize || !ReadAll(fd, frame + 4, length)) return state.SkipWithError("bad frame");
        }
        messages += kBatch;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    g_RawRate = double(messages) / seconds;
    state.SetItemsProcessed(messages);
    close(fd);
    waitpid(child, nullptr, 0);
}

// ---- The online service: gics-testserver relays the channel between the two processes ----

std::string BesideThisProgram(const char* name) {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return name;
    const std::string path(self, size_t(n));
    return path.substr(0, path.rfind('/') + 1) + name;
}

// gics-testserver with addresses taken from the join words; its port, 0 when it did not start.
// Its lines (one per request) go to a file in `dir`, where they wake nobody.
uint16_t StartServer(const std::string& dir, pid_t* pid, int* input) {
    int in[2];
    if (pipe(in)) return 0;
    const std::string log = dir + "/server.log";
    *pid = fork();
    if (*pid == 0) {
        dup2(in[0], 0);
        close(in[1]);
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0) _exit(127);
        dup2(out, 1);
        close(out);
        const std::string server = BesideThisProgram("gics-testserver");
        execl(server.c_str(), server.c_str(), "--addr-from-join-word", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    *input = in[1];
    for (int tries = 0; tries < 2000; ++tries) {
        std::string first;
        if (FILE* f = std::fopen(log.c_str(), "r")) {
            char line[64] = {};
            if (std::fgets(line, sizeof line, f)) first = line;
            std::fclose(f);
        }
        if (first.rfind("port ", 0) == 0 && first.back() == '\n') return uint16_t(std::atoi(first.c_str() + 5));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return 0;
}

// One player's machine: its game definition and the service client's player index.
void WriteOnlineMachine(const std::string& registry, uint16_t port, uint32_t player) {
    GameDefOptions def;
    def.registry = registry;
    def.joinWord = player;  // the server's address for this player
    def.gicsPort = port;
    def.name = "player" + std::to_string(player);
    def.noWait = 1;         // join without the lobby's wait
    std::string error;
    WriteGameDef(def, &error);
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Platform\\Brellapi", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key, nullptr);
    const DWORD index = player;
    RegSetValueExA(key, "PlayerIndex", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&index), 4);
    RegCloseKey(key);
}

// Starts the transport on the service and joins; the local slot, -1 on failure.
int OnlineJoin() {
    MEM_ResetTracker();
    if (!NET_Init(nullptr, kGhouldenGuid, NET_START_ONLINE_FIRST, 8) || NET_GetMode() != NET_MODE_ONLINE) return -1;
    if (!NET_JoinSession(0)) return -1;
    return NET_CreatePlayer("bench");
}

// The host process: joins as player 1, says so, waits for the client's player, then broadcasts
// a batch for each byte the client sends, until the pipe closes.
[[noreturn]] void OnlineHost(const std::string& dir, uint16_t port, int request, int reply) {
    WriteOnlineMachine(dir + "/host.ini", port, 1);
    const int slot = OnlineJoin();
    const uint32_t ok = slot == 0 ? 1 : 0;
    WriteAll(reply, &ok, 4);
    while (ok && NET_GetPlayerCount() < 2) {
        NET_Pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    uint8_t message[kSize] = {0x2a};
    char go;
    while (read(request, &go, 1) == 1)
        for (int i = 0; i < kBatch; ++i) NET_Broadcast(slot, message, kSize);
    NET_Shutdown();
    _exit(0);
}

void OnlineBroadcast(benchmark::State& state) {
    const std::string dir = Scratch();
    pid_t server = -1;
    int serverInput = -1;
    const uint16_t port = StartServer(dir, &server, &serverInput);
    if (!port) return state.SkipWithError("gics-testserver did not start");
    int request[2], reply[2];
    if (pipe(request) || pipe(reply)) return state.SkipWithError("pipe");
    const pid_t child = fork();
    if (child == 0) {
        close(request[1]);
        close(reply[0]);
        OnlineHost(dir, port, request[0], reply[1]);
    }
    close(request[0]);
    close(reply[1]);
    uint32_t hostOk = 0;
    ReadAll(reply[0], &hostOk, 4);
    WriteOnlineMachine(dir + "/client.ini", port, 2);
    if (!hostOk || OnlineJoin() != 1) {
        state.SkipWithError("cannot join the service's game");
    } else {
        g_OnlineRate = ReceiveBatches(state, request[1]);
    }
    close(request[1]);
    NET_Shutdown();
    waitpid(child, nullptr, 0);
    close(reply[0]);
    WriteAll(serverInput, "quit\n", 5);
    close(serverInput);
    waitpid(server, nullptr, 0);
    std::filesystem::remove_all(dir);
}

// ---- Plain sockets through a relay process, as the online service's messages go ----

int Connect(const sockaddr_in& at) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    connect(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// The relay process: takes two connections, each naming itself with one byte ('h' host, 'c'
// client), and copies whatever either sends to the other until one closes.
[[noreturn]] void PlainRelay(int listener) {
    int host = -1, client = -1;
    while (host < 0 || client < 0) {
        const int fd = accept(listener, nullptr, nullptr);
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        char role = 0;
        if (read(fd, &role, 1) != 1) _exit(1);
        (role == 'h' ? host : client) = fd;
    }
    pollfd both[2] = {{host, POLLIN, 0}, {client, POLLIN, 0}};
    uint8_t chunk[65536];
    for (;;) {
        if (poll(both, 2, -1) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (!(both[i].revents & (POLLIN | POLLHUP))) continue;
            const ssize_t n = read(both[i].fd, chunk, sizeof chunk);
            if (n <= 0 || !WriteAll(both[1 - i].fd, chunk, size_t(n))) _exit(0);
        }
    }
}

void RawTcpThroughRelay(benchmark::State& state) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at);
    listen(listener, 2);
    getsockname(listener, reinterpret_cast<sockaddr*>(&at), &size);
    const pid_t relay = fork();
    if (relay == 0) PlainRelay(listener);
    close(listener);
    const pid_t host = fork();
    if (host == 0) {
        const int fd = Connect(at);
        WriteAll(fd, "h", 1);
        uint8_t frame[4 + kSize] = {kSize, 0, 0, 0, 0x2a};
        char go;
        while (read(fd, &go, 1) == 1)
            for (int i = 0; i < kBatch; ++i)
                if (!WriteAll(fd, frame, sizeof frame)) _exit(0);
        _exit(0);
    }
    const int fd = Connect(at);
    WriteAll(fd, "c", 1);
    int64_t messages = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        WriteAll(fd, "g", 1);
        for (int i = 0; i < kBatch; ++i) {
            uint8_t frame[4 + kSize];
            ReadAll(fd, frame, 4);
            const uint32_t length = uint32_t(frame[0]) | uint32_t(frame[1]) << 8;
            if (length != kSize || !ReadAll(fd, frame + 4, length)) return state.SkipWithError("bad frame");
        }
        messages += kBatch;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    g_RelayRate = double(messages) / seconds;
    state.SetItemsProcessed(messages);
    close(fd);
    waitpid(host, nullptr, 0);
    waitpid(relay, nullptr, 0);
}

BENCHMARK(RawTcpRelay)->UseRealTime()->MinTime(1.0);
BENCHMARK(DirectPlayBroadcast)->UseRealTime()->MinTime(1.0);
BENCHMARK(RawTcpThroughRelay)->UseRealTime()->MinTime(1.0);
BENCHMARK(OnlineBroadcast)->UseRealTime()->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_RawRate > 0) {
        std::printf("DirectPlayBroadcast/RawTcpRelay ratio: %.3f\n", g_DirectPlayRate / g_RawRate);
        std::printf("OnlineBroadcast/RawTcpRelay ratio: %.3f\n", g_OnlineRate / g_RawRate);
    }
    if (g_RelayRate > 0)
        std::printf("OnlineBroadcast/RawTcpThroughRelay ratio: %.3f\n", g_OnlineRate / g_RelayRate);
    return 0;
}
