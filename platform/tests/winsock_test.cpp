// Winsock start and stop, and the host and service look-ups (thread-safe, own host name answered
// with PLATFORM_HOST_ADDRESS when it is set); the socket calls with Winsock's behaviour: error
// codes, no signal on send, truncated datagrams, select over any socket number.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "winsock.h"

namespace {

TEST(Winsock, StartupOffersVersionOneOneAndCountsCleanups) {
    struct Case {
        WORD asked;
        int result;
        WORD version;
    } cases[] = {
        {MAKEWORD(1, 1), 0, MAKEWORD(1, 1)},
        {MAKEWORD(2, 2), 0, MAKEWORD(2, 2)},
        {MAKEWORD(3, 0), 0, MAKEWORD(2, 2)},
        {MAKEWORD(1, 0), WSAVERNOTSUPPORTED, MAKEWORD(1, 1)},
    };
    int started = 0;
    for (const Case& c : cases) {
        WSADATA data;
        EXPECT_EQ(WSAStartup(c.asked, &data), c.result) << std::hex << c.asked;
        EXPECT_EQ(data.wVersion, c.version) << std::hex << c.asked;
        if (c.result == 0) ++started;
    }
    for (int i = 0; i < started; ++i) EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

uint32_t FirstAddress(const hostent* h) {
    uint32_t a = 0;
    std::memcpy(&a, h->h_addr_list[0], 4);
    return a;
}

TEST(Winsock, OwnHostNameAnswersTheConfiguredAddress) {
    char own[256] = {};
    ASSERT_EQ(gethostname(own, sizeof own - 1), 0);
    setenv("PLATFORM_HOST_ADDRESS", "10.1.2.3", 1);
    hostent* h = gethostbyname(own);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->h_addrtype, AF_INET);
    EXPECT_EQ(FirstAddress(h), inet_addr("10.1.2.3"));
    hostent* other = gethostbyname("localhost");
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(FirstAddress(other), inet_addr("127.0.0.1")) << "other names go to the resolver";
    unsetenv("PLATFORM_HOST_ADDRESS");
}

TEST(Winsock, LookupsFailCleanlyAndKeepOneResultPerThread) {
    EXPECT_EQ(gethostbyname("no-such-host.invalid"), nullptr);
    EXPECT_NE(WSAGetLastError(), 0);
    EXPECT_EQ(getservbyname("no-such-service-here", "tcp"), nullptr);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                hostent* h = gethostbyname("localhost");
                if (!h || FirstAddress(h) != inet_addr("127.0.0.1")) ++wrong;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrong, 0);
}

// ---- socket calls ----

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A socket bound to 127.0.0.1 with a port the system picks.
SOCKET BoundSocket(int type, sockaddr_in* address) {
    SOCKET s = socket(AF_INET, type, 0);
    *address = Loopback(0);
    socklen_t length = sizeof *address;
    if (bind(s, reinterpret_cast<sockaddr*>(address), sizeof *address) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(address), &length) != 0)
        ADD_FAILURE() << "bind";
    return s;
}

TEST(WinsockCalls, ErrnoValuesReadAsWinsockCodes) {
    const struct {
        int error;
        int code;
    } cases[] = {
        {0, 0},
        {EINTR, WSAEINTR},
        {EBADF, WSAENOTSOCK},
        {EAGAIN, WSAEWOULDBLOCK},
        {EINPROGRESS, WSAEWOULDBLOCK},
        {EMSGSIZE, WSAEMSGSIZE},
        {EADDRINUSE, WSAEADDRINUSE},
        {EADDRNOTAVAIL, WSAEADDRNOTAVAIL},
        {ECONNREFUSED, WSAECONNREFUSED},
        {ECONNRESET, WSAECONNRESET},
        {EPIPE, WSAECONNRESET},
        {EHOSTUNREACH, WSAEHOSTUNREACH},
        {ENETDOWN, WSAENETDOWN},
        {ENOTCONN, WSAENOTCONN},
    };
    for (const auto& c : cases) {
        errno = c.error;
        EXPECT_EQ(WSAGetLastError(), c.code) << c.error;
    }
    WSASetLastError(WSAEMSGSIZE);
    EXPECT_EQ(WSAGetLastError(), WSAEMSGSIZE);
    EXPECT_EQ(closesocket(-1), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

TEST(WinsockCalls, NonBlockingModeAndWaitingBytes) {
    sockaddr_in to;
    SOCKET receiver = BoundSocket(SOCK_DGRAM, &to);
    u_long on = 1, off = 0, waiting = 99;
    ASSERT_EQ(ioctlsocket(receiver, FIONBIO, &on), 0);
    EXPECT_TRUE(fcntl(receiver, F_GETFL) & O_NONBLOCK);
    char byte = 0;
    EXPECT_EQ(PlatRecv(receiver, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    EXPECT_EQ(ioctlsocket(receiver, FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, 0u);
    ASSERT_EQ(ioctlsocket(receiver, FIONBIO, &off), 0);
    EXPECT_FALSE(fcntl(receiver, F_GETFL) & O_NONBLOCK);
    EXPECT_EQ(ioctlsocket(receiver, 0x7777, &on), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    closesocket(receiver);
}

TEST(WinsockCalls, DatagramsLongerThanTheBufferAreCutAndReported) {
    sockaddr_in to, fromAddress;
    SOCKET receiver = BoundSocket(SOCK_DGRAM, &to);
    SOCKET sender = BoundSocket(SOCK_DGRAM, &fromAddress);
    const char sent[] = "0123456789";
    const struct {
        int length; // sent
        int buffer; // offered
        int result;
        int error;
    } cases[] = {{10, 16, 10, 0}, {10, 10, 10, 0}, {10, 4, SOCKET_ERROR, WSAEMSGSIZE}, {0, 4, 0, 0}};
    for (const auto& c : cases) {
        ASSERT_EQ(PlatSendTo(sender, sent, c.length, 0, reinterpret_cast<sockaddr*>(&to), sizeof to), c.length);
        char buffer[16] = {};
        sockaddr_in from{};
        int fromLength = sizeof from;
        int got = PlatRecvFrom(receiver, buffer, c.buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        EXPECT_EQ(got, c.result) << c.length << " into " << c.buffer;
        if (got == SOCKET_ERROR) {
            EXPECT_EQ(WSAGetLastError(), c.error);
        }
        EXPECT_EQ(std::memcmp(buffer, sent, (size_t)std::min(c.length, c.buffer)), 0) << "the start is kept";
        EXPECT_EQ(from.sin_port, fromAddress.sin_port);
    }
    closesocket(sender);
    closesocket(receiver);
}

TEST(WinsockCalls, SendingToAResetConnectionFailsWithoutASignal) {
    sockaddr_in address;
    SOCKET listener = BoundSocket(SOCK_STREAM, &address);
    ASSERT_EQ(listen(listener, 1), 0);
    SOCKET client = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    SOCKET accepted = accept(listener, nullptr, nullptr);
    linger hard{1, 0};
    setsockopt(accepted, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    closesocket(accepted); // a reset
    char block[4096] = {};
    int result = 0;
    for (int i = 0; i < 100 && result != SOCKET_ERROR; ++i) result = PlatSend(client, block, sizeof block, 0);
    ASSERT_EQ(result, SOCKET_ERROR) << "still alive: no SIGPIPE ended the process";
    EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
    closesocket(client);
    closesocket(listener);
}

TEST(WinsockCalls, SelectKeepsTheReadySocketsOfEachSetInOrder) {
    sockaddr_in a, b;
    SOCKET first = BoundSocket(SOCK_DGRAM, &a);
    SOCKET second = BoundSocket(SOCK_DGRAM, &b);
    PLAT_FD_SET readable{3, {first, second, first}};
    PLAT_FD_SET writable{1, {second}};
    timeval none{0, 0};
    EXPECT_EQ(PlatSelect(0, &readable, &writable, nullptr, &none), 1);
    EXPECT_EQ(readable.fd_count, 0u);
    ASSERT_EQ(writable.fd_count, 1u);
    EXPECT_EQ(writable.fd_array[0], second);

    ASSERT_EQ(PlatSendTo(first, "x", 1, 0, reinterpret_cast<sockaddr*>(&b), sizeof b), 1);
    ASSERT_EQ(PlatSendTo(second, "y", 1, 0, reinterpret_cast<sockaddr*>(&a), sizeof a), 1);
    readable = PLAT_FD_SET{3, {second, first, second}};
    EXPECT_EQ(PlatSelect(0, &readable, nullptr, nullptr, nullptr), 3);
    ASSERT_EQ(readable.fd_count, 3u);
    EXPECT_EQ(readable.fd_array[0], second);
    EXPECT_EQ(readable.fd_array[1], first);

    PLAT_FD_SET empty{0, {}};
    EXPECT_EQ(PlatSelect(0, &empty, nullptr, nullptr, &none), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    closesocket(second);
    readable = PLAT_FD_SET{2, {first, second}};
    EXPECT_EQ(PlatSelect(0, &readable, nullptr, nullptr, &none), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK) << "a closed socket in a set";
    closesocket(first);
}

TEST(WinsockCalls, ARefusedConnectIsWritableAndTellsItsErrorThroughSoError) {
    sockaddr_in address;
    SOCKET closedPort = BoundSocket(SOCK_STREAM, &address); // bound, not listening: refuses
    SOCKET client = socket(AF_INET, SOCK_STREAM, 0);
    u_long on = 1;
    ioctlsocket(client, FIONBIO, &on);
    int rc = connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (rc == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
        PLAT_FD_SET writable{1, {client}};
        ASSERT_EQ(PlatSelect(0, nullptr, &writable, nullptr, nullptr), 1);
        int error = 0;
        socklen_t length = sizeof error;
        ASSERT_EQ(getsockopt(client, SOL_SOCKET, SO_ERROR, &error, &length), 0);
        EXPECT_EQ(PlatWsaErrorFromErrno(error), WSAECONNREFUSED);
    } else {
        ASSERT_EQ(rc, SOCKET_ERROR);
        EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
    }
    closesocket(client);
    closesocket(closedPort);
}

TEST(WinsockCalls, SelectServesSocketNumbersAboveTheBerkeleySetLimit) {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_max < 1200) GTEST_SKIP() << "the descriptor limit is too low here";
    rlimit raised = limit;
    raised.rlim_cur = std::max<rlim_t>(limit.rlim_cur, 1200);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &raised), 0);
    sockaddr_in address;
    SOCKET low = BoundSocket(SOCK_DGRAM, &address);
    SOCKET high = fcntl(low, F_DUPFD, 1100);
    ASSERT_GE(high, 1100);
    ASSERT_EQ(PlatSendTo(low, "z", 1, 0, reinterpret_cast<sockaddr*>(&address), sizeof address), 1);
    PLAT_FD_SET readable{1, {high}};
    EXPECT_EQ(PlatSelect(0, &readable, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(readable.fd_array[0], high);
    closesocket(high);
    closesocket(low);
    setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace
