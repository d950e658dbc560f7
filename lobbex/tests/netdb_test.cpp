// Transport addresses: the text forms, printing, conversions to and from socket addresses, the
// field getters and setters, matching with and without wildcards, the packings (checked against
// byte tables written from their layouts, and refusing short input), and the destination check.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "krerrno.h"
#include "krnetdb.h"
#include "krsock.h"
#include "test_machine.h"

namespace {

class Addresses : public ::testing::Test {
protected:
    void SetUp() override {
        KrErrorInit();
        KrErrorSet(0);
    }
};

KRTLADDR Tl(uint16_t family, const char* ip, uint16_t port) {
    KRTLADDR a;
    std::memset(&a, 0, sizeof a);
    a.family = family;
    a.addr = inet_addr(ip);
    a.port = htons(port);
    return a;
}

std::string Text(const KRTLADDR& a) {
    char buffer[KR_TLADDR_TEXT];
    int n = KRTLADDRtostr(&a, buffer);
    EXPECT_EQ(n, (int)std::strlen(buffer));
    return buffer;
}

TEST_F(Addresses, TextFormParsesFamilyHostAndPort) {
    const KRTLADDR start = Tl(KRTL_UDP, "10.0.0.9", 7777);
    struct Case {
        const char* text;
        KRTLADDR before;
        uint32_t result;
        const char* after; // printed form afterwards
    } cases[] = {
        {"tcp/*/*", start, 0, "tcp/0.0.0.0/0"},
        {"udp/./.", Tl(KRTL_TCP, "10.0.0.9", 7777), 0, "udp/10.0.0.9/7777"}, // only the family changes
        {"TCP/127.0.0.1/8050", start, 0, "tcp/127.0.0.1/8050"},
        {"*/1.2.3.4/0x1f72", start, 0, "udp/1.2.3.4/8050"},                  // "*" keeps udp
        {"udp/1.2.3.4/010", start, 0, "udp/1.2.3.4/8"},                       // leading zero: octal
        {"udp/1.2.3.4/0", start, 0, "udp/1.2.3.4/65535"},                    // "0": unknown service
        {"udp/1.2.3.4/no-such-service", start, 0, "udp/1.2.3.4/65535"},
        {"tcp/localhost/9", start, 0, "tcp/127.0.0.1/9"},                     // a host name
        {"udp/1.2.3.4/99/ignored/too", start, 0, "udp/1.2.3.4/99"},
        {"*/1.2.3.4/5", KRTLADDR{}, 1, "unspec/0.0.0.0/0"},                   // family 0 cannot be kept
        {"tcp/1.2.3.4", start, 1, "udp/10.0.0.9/7777"},                        // a host without a port
        {"tcp", start, 1, "udp/10.0.0.9/7777"},
        {"", start, 1, "udp/10.0.0.9/7777"},
        {"ipx/1.2.3.4/5", start, 1, "udp/10.0.0.9/7777"},
        {"tcp/no-such-host.invalid/5", start, 1, "udp/10.0.0.9/7777"},
    };
    for (const Case& c : cases) {
        KRTLADDR a = c.before;
        EXPECT_EQ(KrStringToTlAddr(c.text, &a), c.result) << c.text;
        EXPECT_EQ(Text(a), c.after) << c.text;
    }
    EXPECT_EQ(KrStringToTlAddr(nullptr, nullptr), 1u);
}

TEST_F(Addresses, ParsingReadsNoFurtherThanTheText) {
    // The text ends right after the family word, at the end of an allocation of its own size.
    for (const char* word : {"tcp", "udp", "*", "tcp/", "tcp/1.2.3.4/"}) {
        std::vector<char> exact(word, word + std::strlen(word) + 1);
        KRTLADDR a = Tl(KRTL_TCP, "1.1.1.1", 1);
        KrStringToTlAddr(exact.data(), &a);
    }
    KRTLADDR a = Tl(KRTL_TCP, "1.1.1.1", 1);
    EXPECT_EQ(KrStringToTlAddr("tcp/1.2.3.4/", &a), 0u) << "an empty port word is an unknown service";
    EXPECT_EQ(Text(a), "tcp/1.2.3.4/65535");
}

TEST_F(Addresses, PrintsFamilyAddressBytesAndPort) {
    KRTLADDR zeroTcp;
    KrTlAddrZero(&zeroTcp, KRTL_TCP);
    EXPECT_EQ(Text(zeroTcp), "tcp/0.0.0.0/0");
    KRTLADDR qualified = Tl(KRTL_UDP, "192.168.1.20", 3000);
    ASSERT_EQ(KrSetTlKRADDR(&qualified, 0x01020304), 0u);
    EXPECT_EQ(Text(qualified), "unknown/1.2.3.4/0") << "family 4 prints the KRADDR bytes";
    KRTLADDR odd = Tl(1, "9.8.7.6", 65535);
    EXPECT_EQ(Text(odd), "unix/9.8.7.6/65535");
}

TEST_F(Addresses, ConvertToAndFromSocketAddresses) {
    struct Case {
        uint16_t family;
        int dataType;
    } cases[] = {{KRTL_TCP, KR_IO_STREAM}, {KRTL_UDP, KR_IO_DGRAM}};
    for (const Case& c : cases) {
        KRTLADDR a = Tl(c.family, "10.1.2.3", 4567);
        KRSOCKADDR_STORAGE storage;
        std::memset(&storage, 0xAB, sizeof storage);
        int type = 0;
        ASSERT_EQ(KrTlToSockAddr(&a, reinterpret_cast<sockaddr*>(&storage), &type), 0u);
        EXPECT_EQ(type, c.dataType);
        sockaddr_in in;
        std::memcpy(&in, &storage, sizeof in);
        EXPECT_EQ(in.sin_family, AF_INET);
        EXPECT_EQ(in.sin_port, htons(4567));
        EXPECT_EQ(in.sin_addr.s_addr, inet_addr("10.1.2.3"));
        const uint8_t zero[8] = {};
        EXPECT_EQ(std::memcmp(in.sin_zero, zero, 8), 0) << "bytes 8-15 are zeroed";
        KRTLADDR back;
        std::memset(&back, 0x55, sizeof back);
        ASSERT_EQ(KrSockToTlAddr(reinterpret_cast<sockaddr*>(&in), type, &back), 0u);
        EXPECT_EQ(std::memcmp(&back, &a, sizeof a), 0);
    }

    KRTLADDR q = Tl(KRTL_UDP, "10.1.2.3", 4567);
    KrSetTlKRADDR(&q, 0x00ABCDEF);
    KRSOCKADDR_STORAGE storage;
    int type = 0;
    ASSERT_EQ(KrTlToSockAddr(&q, reinterpret_cast<sockaddr*>(&storage), &type), 0u);
    EXPECT_EQ(type, KR_IO_DGRAM);
    // The qualified form, byte by byte: family 5, two zero bytes, the KRADDR big-endian, then
    // the socket address.
    const uint8_t head[8] = {0x05, 0x00, 0x00, 0x00, 0x00, 0xAB, 0xCD, 0xEF};
    EXPECT_EQ(std::memcmp(&storage, head, 8), 0);
    EXPECT_EQ(storage.in.sin_family, AF_INET);
    EXPECT_EQ(storage.in.sin_port, htons(4567));
    KRTLADDR back;
    ASSERT_EQ(KrSockToTlAddr(reinterpret_cast<sockaddr*>(&storage), type, &back), 0u);
    EXPECT_EQ(std::memcmp(&back, &q, sizeof q), 0);
    ASSERT_EQ(KrTlToInnerSockAddr(&q, reinterpret_cast<sockaddr*>(&storage), &type), 0u);
    EXPECT_EQ(storage.family, AF_INET) << "the inner address alone";
}

TEST_F(Addresses, UnsupportedFamiliesAndTypesAreRefused) {
    KRSOCKADDR_STORAGE storage;
    int type = 0;
    KRTLADDR unixAddr = Tl(KRTL_UNIX, "1.2.3.4", 1);
    EXPECT_EQ(KrTlToSockAddr(&unixAddr, reinterpret_cast<sockaddr*>(&storage), &type), 1u);
    EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_FAMILY);
    EXPECT_EQ(KrTlToSockAddr(nullptr, reinterpret_cast<sockaddr*>(&storage), &type), 1u);
    EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_PARAM);

    sockaddr_in in;
    KrSockAddrAny(&in);
    KRTLADDR a = Tl(KRTL_TCP, "5.5.5.5", 5);
    in.sin_port = htons(99);
    EXPECT_EQ(KrSockToTlAddr(reinterpret_cast<sockaddr*>(&in), 7, &a), 1u);
    EXPECT_EQ(a.family, KRTL_TCP) << "family unchanged";
    EXPECT_EQ(a.port, htons(99)) << "port and address already copied";
    in.sin_family = AF_INET6;
    EXPECT_EQ(KrSockToTlAddr(reinterpret_cast<sockaddr*>(&in), KR_IO_STREAM, &a), 1u);
    EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_FAMILY);
}

TEST_F(Addresses, GettersSettersAndZeroFollowTheFamily) {
    struct Case {
        int family;
        uint32_t zeroResult;
    } zeros[] = {{0, 1}, {1, 1}, {KRTL_TCP, 0}, {KRTL_UDP, 0}, {KRTL_KRADDR, 0}, {5, 1}};
    for (const Case& c : zeros) {
        KRTLADDR a;
        std::memset(&a, 0x77, sizeof a);
        EXPECT_EQ(KrTlAddrZero(&a, c.family), c.zeroResult) << c.family;
    }
    KRTLADDR q;
    KrTlAddrZero(&q, KRTL_KRADDR);
    KRADDR kr = 0;
    EXPECT_EQ(KrGetTlKRADDR(&q, &kr), 0u);
    EXPECT_EQ(kr, KRADDR_NONE);
    EXPECT_EQ(q.inner.family, KRTL_TCP);
    EXPECT_EQ(KrSetTlIPAddr(&q, inet_addr("4.3.2.1")), 0u);
    EXPECT_EQ(KrSetTlIPPort(&q, htons(88)), 0u);
    uint32_t ip = 0;
    uint16_t port = 0;
    EXPECT_EQ(KrGetTlIPAddr(&q, &ip), 0u);
    EXPECT_EQ(KrGetTlIPPort(&q, &port), 0u);
    EXPECT_EQ(ip, inet_addr("4.3.2.1"));
    EXPECT_EQ(port, htons(88));
    EXPECT_EQ(q.inner.addr, ip) << "family 4 keeps port and address in the inner address";
    EXPECT_EQ(q.port, 0);

    KRTLADDR t = Tl(KRTL_TCP, "7.7.7.7", 70);
    EXPECT_EQ(KrGetTlKRADDR(&t, &kr), 0u);
    EXPECT_EQ(kr, KRADDR_NONE);
    EXPECT_EQ(KrSetTlKRADDR(&t, 42), 0u);
    EXPECT_EQ(t.family, KRTL_KRADDR);
    EXPECT_EQ(t.inner.family, KRTL_TCP);
    EXPECT_EQ(t.inner.addr, inet_addr("7.7.7.7"));
    EXPECT_EQ(KrGetTlKRADDR(&t, &kr), 0u);
    EXPECT_EQ(kr, 42u);

    KRTLADDR none = Tl(0, "1.1.1.1", 1);
    EXPECT_EQ(KrGetTlIPAddr(&none, &ip), 1u);
    EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_FAMILY);
    EXPECT_EQ(KrGetTlIPPort(&t, nullptr), 1u);
    EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_PARAM);
}

TEST_F(Addresses, ReliabilityProtocolAndDataTypeFollowTheInnerAddress) {
    KRTLADDR tcp = Tl(KRTL_TCP, "1.1.1.1", 1), udp = Tl(KRTL_UDP, "1.1.1.1", 1);
    KRTLADDR qUdp = udp;
    KrSetTlKRADDR(&qUdp, 9);
    KRTLADDR other = Tl(KRTL_UNIX, "1.1.1.1", 1);
    struct Case {
        const KRTLADDR* a;
        int reliable, unreliable, proto, type;
    } cases[] = {{&tcp, 1, 0, 1, KR_IO_STREAM}, {&udp, 0, 1, 2, KR_IO_DGRAM}, {&qUdp, 0, 1, 2, KR_IO_DGRAM},
                 {&other, 0, 0, 0, -1}};
    for (const Case& c : cases) {
        EXPECT_EQ(KrTlAddrIsReliable(c.a), c.reliable);
        EXPECT_EQ(KrTlAddrIsUnreliable(c.a), c.unreliable);
        EXPECT_EQ(KrTlAddrProtoTypeGet(c.a), c.proto);
        int type = -1;
        EXPECT_EQ(KrTlToIODataType(c.a, &type), c.type < 0 ? 1u : 0u);
        EXPECT_EQ(type, c.type);
    }
}

TEST_F(Addresses, MatchingWithAndWithoutWildcards) {
    struct Case {
        const char* a;
        const char* b;
        int exact;
        int wild;
    } cases[] = {
        {"tcp/1.2.3.4/8050", "tcp/1.2.3.4/8050", 1, 1}, {"tcp/1.2.3.4/*", "tcp/1.2.3.4/8050", 0, 1},
        {"tcp/1.2.3.4/8050", "tcp/*/8050", 0, 1},        {"tcp/*/*", "tcp/9.9.9.9/1", 0, 1},
        {"tcp/1.2.3.4/8050", "tcp/1.2.3.5/8050", 0, 0}, {"tcp/1.2.3.4/8050", "tcp/1.2.3.4/8051", 0, 0},
        {"tcp/1.2.3.4/8050", "udp/1.2.3.4/8050", 0, 0}, // the families must be equal
    };
    for (const Case& c : cases) {
        KRTLADDR a{}, b{};
        ASSERT_EQ(KrStringToTlAddr(c.a, &a), 0u);
        ASSERT_EQ(KrStringToTlAddr(c.b, &b), 0u);
        EXPECT_EQ(KrTlAddrMatch(&a, &b, 0), c.exact) << c.a << " " << c.b;
        EXPECT_EQ(KrTlAddrMatch(&a, &b, 1), c.wild) << c.a << " " << c.b;
        EXPECT_EQ(KrTlAddrMatch(&b, &a, 1), c.wild) << "both ways";
        if (a.family == b.family) {
            KRSOCKADDR_STORAGE sa, sb;
            int type;
            KrTlToSockAddr(&a, reinterpret_cast<sockaddr*>(&sa), &type);
            KrTlToSockAddr(&b, reinterpret_cast<sockaddr*>(&sb), &type);
            const auto* ina = reinterpret_cast<const sockaddr_in*>(&sa); // plain: at the start
            const auto* inb = reinterpret_cast<const sockaddr_in*>(&sb);
            EXPECT_EQ(KrSockAddrMatch(ina, inb, 0), c.exact);
            EXPECT_EQ(KrSockAddrMatch(inb, ina, 1), c.wild);
        }
    }
    KRTLADDR x = Tl(KRTL_TCP, "3.3.3.3", 1), y = Tl(KRTL_UDP, "3.3.3.3", 2);
    EXPECT_EQ(KrTlAddrIPEqual(&x, &y), 1);
    sockaddr_in any;
    KrSockAddrAny(&any);
    EXPECT_EQ(KrSockAddrIPGet(&any), 0u);
    EXPECT_EQ(KrInAddrIsAny(KrSockAddrIPGet(&any)), 1);
    EXPECT_EQ(KrInPortIsAny(KrSockAddrPortGet(&any)), 1);
    any.sin_family = AF_UNIX;
    EXPECT_EQ(KrSockAddrIPGet(&any), 0xFFFFFFFFu);
    EXPECT_EQ(KrSockAddrPortGet(&any), 0xFFFF);
}

TEST_F(Addresses, QualifiedTextFormGivesPlainOrQualifiedAddress) {
    KRQSOCKADDR q;
    std::memset(&q, 0, sizeof q);
    sockaddr* plain = KrStringToSockAddr("127.0.0.1/0x1f72", &q, KR_IO_STREAM);
    ASSERT_EQ(plain, reinterpret_cast<sockaddr*>(&q.in));
    EXPECT_EQ(q.in.sin_family, AF_INET);
    EXPECT_EQ(q.in.sin_port, htons(8050));
    sockaddr* qualified = KrStringToSockAddr("./7/300", &q, KR_IO_DGRAM);
    ASSERT_EQ(qualified, reinterpret_cast<sockaddr*>(&q));
    EXPECT_EQ(q.family, KR_AF_KRADDR);
    EXPECT_EQ(ntohl(q.kraddr), 300u);
    EXPECT_EQ(q.in.sin_addr.s_addr, inet_addr("127.0.0.1")) << "'.' kept the host";
    KrStringToSockAddr("././*", &q, KR_IO_DGRAM);
    EXPECT_EQ(ntohl(q.kraddr), KRADDR_NONE);
    KRQSOCKADDR before = q;
    EXPECT_EQ(KrStringToSockAddr("no-such-host.invalid/5/6", &q, KR_IO_DGRAM), nullptr);
    EXPECT_EQ(KrStringToSockAddr("1.2.3.4", &q, KR_IO_DGRAM), nullptr);
    EXPECT_EQ(std::memcmp(&before, &q, sizeof q), 0) << "unchanged when refused";
}

TEST_F(Addresses, OwnAddressIsTheResolversAnswerForTheHostName) {
    setenv("PLATFORM_HOST_ADDRESS", "127.0.0.1", 1);
    EXPECT_EQ(KrGetHostIPAddr(), inet_addr("127.0.0.1"));
    unsetenv("PLATFORM_HOST_ADDRESS");
}

TEST_F(Addresses, WinsockStartupFindsTheHostNameAndItsAddress) {
    setenv("PLATFORM_HOST_ADDRESS", "10.20.30.40", 1);
    char host[256];
    std::memset(host, '#', sizeof host);
    sockaddr_in own;
    std::memset(&own, 0x5A, sizeof own);
    EXPECT_EQ(KrWinsockStartup(host, &own), 0);
    char expected[256] = {};
    gethostname(expected, 255);
    EXPECT_STREQ(host, expected);
    EXPECT_EQ(own.sin_family, AF_INET);
    EXPECT_EQ(own.sin_port, 0);
    EXPECT_EQ(own.sin_addr.s_addr, inet_addr("10.20.30.40"));
    EXPECT_EQ(KrWinsockCleanup(), 0);
    EXPECT_EQ(KrWinsockCleanup(), 0) << "a second stop does nothing";
    unsetenv("PLATFORM_HOST_ADDRESS");
}

TEST_F(Addresses, SocketAddressesFromDottedTextOrHostNames) {
    struct Case {
        const char* host;
        int port;
        int result;
        const char* ip;
    } cases[] = {{"10.0.0.1", 80, 0, "10.0.0.1"}, {"localhost", 8050, 0, "127.0.0.1"},
                 {"no-such-host.invalid", 1, -1, nullptr}};
    for (const Case& c : cases) {
        sockaddr_in a;
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(BuildSockAddr(&a, c.host, c.port), c.result) << c.host;
        std::string boxes = ::testing::internal::GetCapturedStderr();
        if (c.ip) {
            EXPECT_EQ(a.sin_family, AF_INET);
            EXPECT_EQ(a.sin_port, htons((uint16_t)c.port));
            EXPECT_EQ(a.sin_addr.s_addr, inet_addr(c.ip));
            EXPECT_EQ(boxes, "");
        } else {
            EXPECT_NE(boxes.find(std::string("[") + c.host + "] gethostbyname() could not find that host."),
                      std::string::npos)
                << boxes;
        }
    }
}

// ---- packings ----

TEST_F(Addresses, ThirtyOneBitNumbersPackAsTheirLayoutSays) {
    struct Case {
        uint32_t value;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {0, {0xC0}},
        {63, {0xFF}},
        {64, {0x80, 0x40}},
        {16383, {0xBF, 0xFF}},
        {16384, {0x00, 0x00, 0x40, 0x00}},
        {0x7FFFFFFF, {0x7F, 0xFF, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
        uint8_t out[4] = {};
        ASSERT_EQ(Kr31Pack(c.value, out), c.bytes.size()) << c.value;
        EXPECT_EQ(std::vector<uint8_t>(out, out + c.bytes.size()), c.bytes) << c.value;
        uint32_t back = 0;
        EXPECT_EQ(Kr31Unpack(c.bytes.data(), (uint32_t)c.bytes.size(), &back), c.bytes.size());
        EXPECT_EQ(back, c.value);
    }
    uint8_t out[4];
    EXPECT_EQ(Kr31Pack(0x80000000u, out), 0u);
    EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_PARAM);
}

TEST_F(Addresses, AddressesPackAsTheirLayoutSays) {
    struct Case {
        KRADDR value;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {5, {0x85}},                      // 100vvvvv
        {31, {0x9F}},
        {32, {0xC0, 0x20}},               // 1100 + 12 bits
        {1000, {0xC3, 0xE8}},
        {2047, {0xC7, 0xFF}},
        {2048, {0x00, 0x00, 0x08, 0x00}},
        {0x60000005, {0xB5}},             // 101Bvvvv, B = bit 29
        {0x40000005, {0xA5}},
        {0x40000010, {0xD0, 0x10}},       // 1101B + 11 bits
        {0x600007FF, {0xDF, 0xFF}},
        {0x40000800, {0x40, 0x00, 0x08, 0x00}},
        {0x7FFFFFFF, {0x7F, 0xFF, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
        uint8_t out[4] = {};
        ASSERT_EQ(KrAddrPack(c.value, out), c.bytes.size()) << std::hex << c.value;
        EXPECT_EQ(std::vector<uint8_t>(out, out + c.bytes.size()), c.bytes) << std::hex << c.value;
        KRADDR back = 0;
        EXPECT_EQ(KrAddrUnpack(c.bytes.data(), (uint32_t)c.bytes.size(), &back), c.bytes.size());
        EXPECT_EQ(back, c.value) << std::hex << c.value;
    }
}

TEST_F(Addresses, UnpackingRefusesShortInputAndIllegalLeadBytes) {
    struct Case {
        std::vector<uint8_t> bytes; // exactly what is there
        bool address;               // KrAddrUnpack, else Kr31Unpack
    } cases[] = {
        {{}, true},          {{0x00, 0x00, 0x08}, true}, {{0xC3}, true},
        {{}, false},         {{0x80}, false},            {{0x00, 0x00, 0x40}, false},
    };
    for (const Case& c : cases) {
        // A heap block of exactly that size: reading past it is caught by the address sanitizer.
        std::vector<uint8_t> exact(c.bytes);
        const uint8_t* data = exact.empty() ? nullptr : exact.data();
        KrErrorSet(0);
        uint32_t got;
        if (c.address) {
            KRADDR v = 0;
            got = KrAddrUnpack(data, (uint32_t)exact.size(), &v);
            EXPECT_EQ(v, KRADDR_NONE);
        } else {
            uint32_t v = 1;
            got = Kr31Unpack(data, (uint32_t)exact.size(), &v);
        }
        EXPECT_EQ(got, 0u) << exact.size() << " bytes";
        EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_BAD_DATA);
    }
    const uint8_t illegal[4] = {0xE0, 1, 2, 3};
    KRADDR v = 0;
    KrErrorSet(0);
    EXPECT_EQ(KrAddrUnpack(illegal, 4, &v), 0u);
    EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_BAD_DATA);
    uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(KrAddrPack(0x80000001u, out), 0u) << "bit 31 is no KRADDR: nothing packed";
    EXPECT_NE(::testing::internal::GetCapturedStdout().find(":Precondition:"), std::string::npos);
    EXPECT_EQ(out[0], 0xEE);
}

TEST_F(Addresses, DestinationListsAreCheckedSortedAndBounded) {
    struct Case {
        std::vector<KRADDR> list;
        uint32_t capacity;
        uint32_t result;
        std::vector<KRADDR> out;
        uint32_t error;
    } cases[] = {
        {{5, 3, 5}, 3, 0, {3, 5}, 0},
        {{5, 0x60000001, 3}, 3, 1, {5}, KRERR_MULTICAST},
        {{9, 0x40000002, 1}, 3, 1, {9}, KRERR_PARAM},   // an interior address
        {{7, 2, 9, 4}, 2, 1, {2, 7}, KRERR_PARAM},      // more than the output holds
        {{7, 7, 7}, 1, 0, {7}, 0},
        {{}, 1, 0, {}, 0},
    };
    for (const Case& c : cases) {
        std::vector<KRADDR> out(c.capacity + 1, 0xEEEEEEEE);
        uint32_t count = c.capacity;
        KrErrorSet(0);
        const KRADDR unused = 0;
        const KRADDR* list = c.list.empty() ? &unused : c.list.data(); // given, though empty
        EXPECT_EQ(KrAddrExprEvaluate(list, (uint32_t)c.list.size(), out.data(), &count), c.result);
        EXPECT_EQ(std::vector<KRADDR>(out.begin(), out.begin() + count), c.out);
        EXPECT_EQ(out[c.capacity], 0xEEEEEEEEu) << "nothing written past the capacity";
        EXPECT_EQ(KrErrorGet(), c.error);
    }
    KRADDR out[2];
    uint32_t zero = 0;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(KrAddrExprEvaluate(out, 0, out, &zero), 1u);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find(":Precondition:"), std::string::npos);
}

std::vector<std::pair<KRADDR, uintptr_t>> g_visited;
void Visit(KRADDR a, uintptr_t argument) {
    g_visited.emplace_back(a, argument);
}

TEST_F(Addresses, ListForEachVisitsInOrder) {
    const KRADDR list[] = {4, 1, 9};
    g_visited.clear();
    const uintptr_t argument = (uintptr_t)&g_visited;
    EXPECT_EQ(KrAddrListForEach(list, 3, Visit, argument), 3u);
    ASSERT_EQ(g_visited.size(), 3u);
    EXPECT_EQ(g_visited[0], std::make_pair(KRADDR(4), argument));
    EXPECT_EQ(g_visited[2].first, 9u);
}

}  // namespace
