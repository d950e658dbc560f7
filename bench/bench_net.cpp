// Messages per second from a host process to a client process on loopback: 64-byte game
// messages through the game transport's DirectPlay back end (NET_Broadcast on the host, NET_Pump
// on the client), and the same messages as length-prefixed frames over a plain TCP connection.
// Each iteration the client asks the host for a batch and drains it. At the end the program
// prints DirectPlayBroadcast's rate as a fraction of RawTcpRelay's.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
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
#include "registry.h"
#include "net/net.h"
#include "net/net_state.h"
#include "common/mem.h"

namespace {

constexpr int kBatch = 64;
constexpr int kSize = 64;
double g_DirectPlayRate = 0;
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
        for (int slot = 0; slot < NET_MAX_SLOTS; ++slot) NET_SetHandler(slot, Count);
        int64_t messages = 0;
        const auto start = std::chrono::steady_clock::now();
        for (auto _ : state) {
            g_Received = 0;
            WriteAll(request[1], "g", 1);
            // The client pumps as a frame loop does, giving the processor up between pumps.
            while (g_Received < kBatch) {
                NET_Pump();
                if (g_Received < kBatch) std::this_thread::yield();
            }
            messages += kBatch;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        g_DirectPlayRate = double(messages) / seconds;
        state.SetItemsProcessed(messages);
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

BENCHMARK(RawTcpRelay)->UseRealTime()->MinTime(1.0);
BENCHMARK(DirectPlayBroadcast)->UseRealTime()->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_RawRate > 0)
        std::printf("DirectPlayBroadcast/RawTcpRelay ratio: %.3f\n", g_DirectPlayRate / g_RawRate);
    return 0;
}
