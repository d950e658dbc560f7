// Winsock start and stop, and the host and service look-ups (thread-safe, own host name answered
// with PLATFORM_HOST_ADDRESS when it is set).
#include <gtest/gtest.h>

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

}  // namespace
