// The UDP back end: messages cut into datagrams of 512 bytes, datagrams read back as a byte stream
// with their boundaries told to the reader, oversize, empty and short datagrams sent by hand, a
// new source reaching its clone in the same event, the port search, options and statistics, and
// datagrams lost on the way (through krfault) seen by the reader as short datagrams.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>

#include "krerrno.h"
#include "krioinet.h"
#include "krlog.h"
#include "transport_fixture.h"

namespace {

using kio::Events;
using kio::Loopback;
using kio::PortOf;
using kio::RawSocket;

std::vector<uint8_t> Pattern(size_t size, uint8_t salt = 0) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = (uint8_t)(i * 13 + (i >> 8) + salt);
    return bytes;
}

// Reads a datagram channel in pieces of `piece` bytes and notes, after each read, where the
// reader stands in its datagram.
struct DatagramReader {
    std::atomic<KRIO_HNDL*> channel{nullptr};
    uint32_t piece = 100;
    std::mutex lock;
    std::vector<uint8_t> stream;
    std::vector<KRIO_RXMARK> marks;
    std::vector<int> results;
    Events events;
};

void ReadDatagram(void* argument, uint32_t eventClass) {
    auto* r = static_cast<DatagramReader*>(argument);
    KRIO_HNDL* channel = r->channel.load();
    std::vector<uint8_t> bytes(r->piece);
    {
        std::lock_guard<std::mutex> hold(r->lock);
        for (;;) {
            int got = KrIORx(channel, bytes.data(), r->piece);
            r->results.push_back(got);
            if (got <= 0) break;
            r->stream.insert(r->stream.end(), bytes.begin(), bytes.begin() + got);
            KRIO_RXMARK mark{};
            EXPECT_EQ(KrIORxMark(channel, &mark), 0);
            r->marks.push_back(mark);
            if (mark.left == 0) break; // the datagram is read: wait for the next event
        }
    }
    r->events.Add(eventClass);
}

KRIO_HNDL* OpenActive(const sockaddr_in& remote, DatagramReader* reader, const KRIO_OPTION* options = nullptr,
                      uint32_t count = 0) {
    sockaddr_in local = Loopback(0);
    KRIO_HNDL* channel = KrIOOpen(KRIO_ACTIVE, KRIO_TYPE_UDP, &local, &remote, reader ? ReadDatagram : nullptr, reader,
                                  reader ? (uint32_t)KRIO_READABLE : 0u, options, count);
    if (reader) reader->channel = channel;
    return channel;
}

std::vector<size_t> ReceiveDatagrams(const RawSocket& s, size_t count, std::vector<uint8_t>* all) {
    std::vector<size_t> sizes;
    for (size_t i = 0; i < count; ++i) {
        uint8_t buffer[2048];
        ssize_t got = recv(s.fd, buffer, sizeof buffer, 0);
        if (got < 0) break;
        sizes.push_back((size_t)got);
        all->insert(all->end(), buffer, buffer + got);
    }
    return sizes;
}

uint32_t UdpStatistic(KRIO_HNDL* channel, int word) {
    uint32_t words[16] = {};
    uint32_t length = sizeof words;
    EXPECT_EQ(KrIOStatisticsGet(channel, words, &length), 0);
    return words[4 + word];
}

class Udp : public kio::Transport {};

TEST_F(Udp, AMessageLeavesAsDatagramsOf512AndARemainder) {
    RawSocket peer(SOCK_DGRAM);
    KRIO_HNDL* channel = OpenActive(peer.address, nullptr);
    ASSERT_NE(channel, nullptr);
    struct Case {
        std::vector<uint32_t> pieces; // the vector's entries
        std::vector<size_t> datagrams;
    } cases[] = {
        {{100, 1000, 200}, {512, 512, 276}},
        {{1}, {1}},
        {{511}, {511}},
        {{512}, {512}},
        {{256, 256, 1}, {512, 1}},
        {{1024}, {512, 512}},
        {{0, 3, 0}, {3}},
    };
    uint32_t bytesSent = 0, datagramsSent = 0;
    for (const Case& c : cases) {
        std::vector<std::vector<uint8_t>> parts;
        std::vector<KRIOVEC> vector;
        std::vector<uint8_t> whole;
        uint8_t salt = 0;
        for (uint32_t size : c.pieces) {
            parts.push_back(Pattern(size, salt++));
            whole.insert(whole.end(), parts.back().begin(), parts.back().end());
        }
        for (auto& p : parts) vector.push_back(KRIOVEC{p.data(), (uint32_t)p.size()});
        ASSERT_EQ(KrIOTxV(channel, vector.data(), (uint32_t)vector.size()), (int)whole.size());
        std::vector<uint8_t> received;
        EXPECT_EQ(ReceiveDatagrams(peer, c.datagrams.size(), &received), c.datagrams) << whole.size();
        EXPECT_EQ(received, whole);
        bytesSent += (uint32_t)whole.size();
        datagramsSent += (uint32_t)c.datagrams.size();
    }
    EXPECT_EQ(UdpStatistic(channel, KRUDP_BYTES_SENT), bytesSent);
    EXPECT_EQ(UdpStatistic(channel, KRUDP_DGRAMS_SENT), datagramsSent);
    KrIOClose(channel);
}

TEST_F(Udp, TheReaderGetsTheBytesOfEachDatagramInOrderAndWhereItEnds) {
    RawSocket peer(SOCK_DGRAM);
    DatagramReader reader;
    reader.piece = 200;
    KRIO_HNDL* channel = OpenActive(peer.address, &reader);
    ASSERT_NE(channel, nullptr);
    std::vector<uint8_t> message = Pattern(1300);
    const size_t cuts[] = {0, 512, 1024, 1300};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(sendto(peer.fd, message.data() + cuts[i], cuts[i + 1] - cuts[i], 0,
                         reinterpret_cast<const sockaddr*>(&channel->local), sizeof channel->local),
                  (ssize_t)(cuts[i + 1] - cuts[i]));
        ASSERT_TRUE(reader.events.AtLeast((size_t)i + 1));
    }
    std::lock_guard<std::mutex> hold(reader.lock);
    EXPECT_EQ(reader.stream, message);
    // Reads of 200 stop at each datagram's end: 200 200 112 | 200 200 112 | 200 76.
    struct Mark {
        uint32_t left, length, full, count;
    } expected[] = {{312, 512, 1, 1}, {112, 512, 1, 1}, {0, 512, 1, 1}, {312, 512, 1, 2},
                    {112, 512, 1, 2}, {0, 512, 1, 2},   {76, 276, 0, 3},  {0, 276, 0, 3}};
    ASSERT_EQ(reader.marks.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(reader.marks[i].left, expected[i].left) << i;
        EXPECT_EQ(reader.marks[i].length, expected[i].length) << i;
        EXPECT_EQ(reader.marks[i].full, expected[i].full) << i;
        EXPECT_EQ(reader.marks[i].count, expected[i].count) << i;
        EXPECT_EQ(reader.marks[i].truncated, 0u) << i;
    }
    KrIOClose(channel);
}

TEST_F(Udp, OversizeEmptyAndShortDatagramsByHand) {
    RawSocket peer(SOCK_DGRAM);
    DatagramReader reader;
    reader.piece = 2048;
    KRIO_HNDL* channel = OpenActive(peer.address, &reader);
    ASSERT_NE(channel, nullptr);
    struct Case {
        const char* what;
        size_t size;
        int result;         // of the read
        uint32_t truncated; // mark, when bytes came
    } cases[] = {
        {"oversize: cut to the buffer and counted", 600, 512, 1},
        {"empty: a failure, nothing delivered", 0, -1, 0},
        {"a partial header", 3, 3, 0},
        {"the largest datagram", 65507, 512, 1},
        {"exactly the buffer", 512, 512, 0},
    };
    size_t n = 0;
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = Pattern(c.size, (uint8_t)n);
        ASSERT_EQ(sendto(peer.fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&channel->local),
                         sizeof channel->local),
                  (ssize_t)c.size)
            << c.what;
        ASSERT_TRUE(reader.events.AtLeast(++n)) << c.what;
        std::lock_guard<std::mutex> hold(reader.lock);
        EXPECT_EQ(reader.results.back(), c.result) << c.what;
        if (c.result > 0) {
            EXPECT_EQ(reader.marks.back().truncated, c.truncated) << c.what;
            EXPECT_EQ(std::vector<uint8_t>(reader.stream.end() - c.result, reader.stream.end()),
                      std::vector<uint8_t>(bytes.begin(), bytes.begin() + c.result))
                << c.what;
        }
    }
    EXPECT_EQ(UdpStatistic(channel, KRUDP_TRUNCATED), 2u);
    EXPECT_EQ(UdpStatistic(channel, KRUDP_DGRAMS_RECEIVED), 4u);
    EXPECT_EQ(UdpStatistic(channel, KRUDP_BYTES_RECEIVED), 512u + 3 + 512 + 512);
    EXPECT_EQ(TraceCount("UDPActiveRx: Truncated datagram."), 2);
    EXPECT_EQ(TraceCount("0 byte datagram"), 1);
    EXPECT_EQ(TraceCount("Receive of next datagram failed."), 1);
    KrIOClose(channel);
}

TEST_F(Udp, ADatagramSizeGivenAtOpenCutsLongerOnes) {
    RawSocket peer(SOCK_DGRAM);
    DatagramReader reader;
    reader.piece = 2048;
    KRIO_OPTION size[] = {{KRIO_UDP_DATAGRAM_SIZE, 100}};
    KRIO_HNDL* channel = OpenActive(peer.address, &reader, size, 1);
    ASSERT_NE(channel, nullptr);
    uint32_t value = 0;
    ASSERT_EQ(KrIOOptionGet(channel, KRIO_UDP_DATAGRAM_SIZE, &value), 0);
    EXPECT_EQ(value, 100u);
    std::vector<uint8_t> bytes = Pattern(150);
    sendto(peer.fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&channel->local),
           sizeof channel->local);
    ASSERT_TRUE(reader.events.AtLeast(1));
    std::lock_guard<std::mutex> hold(reader.lock);
    EXPECT_EQ(reader.results[0], 100);
    EXPECT_EQ(reader.marks[0].truncated, 1u);
    KrIOClose(channel);

    struct Refused {
        KRIO_OPTION option;
    } refused[] = {{{KRIO_UDP_DATAGRAM_SIZE, 0}}, {{KRIO_UDP_DATAGRAM_SIZE, 70000}}, {{KRIO_TCP_IOCBUF_SIZE, 100}}};
    for (const Refused& r : refused) {
        KrErrorSet(KRERR_NONE);
        EXPECT_EQ(OpenActive(peer.address, nullptr, &r.option, 1), nullptr) << std::hex << r.option.id;
        EXPECT_EQ(KrErrorGet(), KRERR_PARAM);
    }
    EXPECT_EQ(TraceCount("UDPsOptionsSetInternal[]: Unknown session option 0x50001."), 1);
}

// ---- a passive channel and its clones ----

struct Listener {
    std::atomic<KRIO_HNDL*> passive{nullptr};
    std::mutex lock;
    std::vector<std::unique_ptr<DatagramReader>> clones;
    std::atomic<int> accepts{0};
};
Listener* g_listener = nullptr;

void AcceptDatagram(void*, uint32_t eventClass) {
    ASSERT_EQ(eventClass, KRIO_READABLE);
    auto reader = std::make_unique<DatagramReader>();
    reader->piece = 2048;
    KRIO_HNDL* clone = KrIOClone(g_listener->passive.load(), ReadDatagram, reader.get(), KRIO_READABLE);
    ASSERT_NE(clone, nullptr);
    reader->channel = clone;
    std::lock_guard<std::mutex> hold(g_listener->lock);
    g_listener->clones.push_back(std::move(reader));
    g_listener->accepts++;
}

TEST_F(Udp, TheFirstDatagramOfANewSourceReachesItsNewClone) {
    Listener listener;
    g_listener = &listener;
    sockaddr_in local = Loopback(0), anyRemote{};
    anyRemote.sin_family = AF_INET;
    KRIO_HNDL* passive =
        KrIOOpen(KRIO_PASSIVE, KRIO_TYPE_UDP, &local, &anyRemote, AcceptDatagram, nullptr, KRIO_READABLE, nullptr, 0);
    ASSERT_NE(passive, nullptr);
    listener.passive = passive;
    RawSocket a(SOCK_DGRAM), b(SOCK_DGRAM);
    auto send = [&](const RawSocket& from, const std::string& text) {
        ASSERT_EQ(sendto(from.fd, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&passive->local),
                         sizeof passive->local),
                  (ssize_t)text.size());
    };
    auto clone = [&](size_t i) {
        std::lock_guard<std::mutex> hold(listener.lock);
        return i < listener.clones.size() ? listener.clones[i].get() : nullptr;
    };
    send(a, "hello from a");
    ASSERT_TRUE(kio::WaitUntil([&] { return clone(0) && clone(0)->events.Count() == 1; }));
    send(a, "again from a");
    ASSERT_TRUE(clone(0)->events.AtLeast(2));
    send(b, "hello from b");
    ASSERT_TRUE(kio::WaitUntil([&] { return clone(1) && clone(1)->events.Count() == 1; }));
    EXPECT_EQ(listener.accepts.load(), 2) << "one accept per source";
    {
        std::lock_guard<std::mutex> hold(clone(0)->lock);
        EXPECT_EQ(std::string(clone(0)->stream.begin(), clone(0)->stream.end()), "hello from aagain from a");
    }
    {
        std::lock_guard<std::mutex> hold(clone(1)->lock);
        EXPECT_EQ(std::string(clone(1)->stream.begin(), clone(1)->stream.end()), "hello from b");
    }
    KRIO_HNDL* toA = clone(0)->channel.load();
    EXPECT_EQ(toA->remote.sin_port, a.address.sin_port);
    EXPECT_EQ(toA->socket, INVALID_SOCKET) << "a clone has no socket of its own";
    EXPECT_EQ(PortOf(toA->local), PortOf(passive->local));

    // A clone answers through the passive socket.
    ASSERT_EQ(KrIOTx(toA, "answer", 6), 6);
    char answer[16] = {};
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    ASSERT_EQ(recvfrom(a.fd, answer, sizeof answer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength), 6);
    EXPECT_STREQ(answer, "answer");
    EXPECT_EQ(from.sin_port, passive->local.sin_port);
    EXPECT_EQ(KrIOTx(passive, "no", 2), -1) << "a passive channel does not transmit";
    EXPECT_EQ(KrErrorGet(), KRERR_BAD_DATA);
    EXPECT_EQ(KrIOClone(toA, nullptr, nullptr, 0), nullptr) << "only a passive channel is cloned";
    EXPECT_EQ(KrErrorGet(), KRERR_PARAM);

    // Closing the passive channel first leaves the clones able to answer until they close.
    KRIO_HNDL* toB = clone(1)->channel.load();
    KrIOClose(passive);
    EXPECT_EQ(TraceCount("still has cloned active channels"), 1);
    EXPECT_EQ(KrIOTx(toB, "late", 4), 4);
    ASSERT_EQ(recv(b.fd, answer, sizeof answer, 0), 4);
    KrIOClose(toA);
    KrIOClose(toB);
    g_listener = nullptr;
}

// ---- binding ----

// Four free ports in a row, held by test sockets; false when none are found.
bool HoldFourPorts(std::vector<std::unique_ptr<RawSocket>>* held, uint16_t* first) {
    for (uint16_t base = (uint16_t)(42000 + (getpid() % 500) * 8); base < 60000; base += 8) {
        held->clear();
        for (uint16_t p = base; p < base + 4; ++p) {
            int s = socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in a = Loopback(p);
            bool ok = bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
            close(s);
            if (!ok) break;
            held->push_back(std::make_unique<RawSocket>(SOCK_DGRAM, p));
        }
        if (held->size() == 4) {
            *first = base;
            return true;
        }
    }
    return false;
}

TEST_F(Udp, TheWildcardPortIsSearchedThroughTheRangeOnce) {
    std::vector<std::unique_ptr<RawSocket>> held;
    uint16_t first = 0;
    ASSERT_TRUE(HoldFourPorts(&held, &first));
    ASSERT_EQ(KrIOOptionSet(0, KRIO_TYPE_UDP, KRIO_UDP_PORT_RANGE, KrPortRange(first, 4)), 0);
    sockaddr_in local = Loopback(0), anyRemote{};
    anyRemote.sin_family = AF_INET;
    KrErrorSet(KRERR_NONE);
    EXPECT_EQ(KrIOOpen(KRIO_PASSIVE, KRIO_TYPE_UDP, &local, &anyRemote, nullptr, nullptr, 0, nullptr, 0), nullptr);
    EXPECT_EQ(KrErrorGet(), KRERR_SOCKET);
    EXPECT_EQ(TraceCount("KrIOInetBind: Unable to find a port to bind (base=" + std::to_string(first) + ", extent=4"), 1);
    EXPECT_EQ(TraceCount("tried 4 ports"), 1) << "each port once";

    for (int freed : {3, 0}) {
        uint16_t port = (uint16_t)(first + freed);
        held[(size_t)freed].reset();
        KRIO_HNDL* channel =
            KrIOOpen(KRIO_PASSIVE, KRIO_TYPE_UDP, &local, &anyRemote, nullptr, nullptr, 0, nullptr, 0);
        ASSERT_NE(channel, nullptr);
        EXPECT_EQ(PortOf(channel->local), port) << "the one free port is found";
        KrIOClose(channel);
        held[(size_t)freed] = std::make_unique<RawSocket>(SOCK_DGRAM, port);
    }
    ASSERT_EQ(KrIOOptionSet(0, KRIO_TYPE_UDP, KRIO_UDP_PORT_RANGE, KRIO_PORT_RANGE_DEFAULT), 0);
}

TEST_F(Udp, AnExplicitPortIsBoundAsItIs) {
    RawSocket taken(SOCK_DGRAM);
    sockaddr_in local = taken.address, anyRemote{};
    anyRemote.sin_family = AF_INET;
    EXPECT_EQ(KrIOOpen(KRIO_PASSIVE, KRIO_TYPE_UDP, &local, &anyRemote, nullptr, nullptr, 0, nullptr, 0), nullptr);
    EXPECT_EQ(KrErrorGet(), KRERR_SOCKET);
    EXPECT_EQ(TraceCount("which was already in use"), 1);
    sockaddr_in specificRemote = taken.address;
    local = Loopback(0);
    EXPECT_EQ(KrIOOpen(KRIO_PASSIVE, KRIO_TYPE_UDP, &local, &specificRemote, nullptr, nullptr, 0, nullptr, 0), nullptr);
    EXPECT_EQ(KrErrorGet(), KRERR_PARAM) << "a passive channel listens to any remote";
    EXPECT_EQ(KrIOOpen(KRIO_ACTIVE, KRIO_TYPE_UDP, &local, &anyRemote, nullptr, nullptr, 0, nullptr, 0), nullptr);
    EXPECT_EQ(KrErrorGet(), KRERR_PARAM) << "an active channel needs a specific remote";
}

TEST_F(Udp, ABindErrorOtherThanInUseEndsTheSearchAtOnce) {
    // An address that is not this machine's: the first bind fails, and no other port is tried.
    sockaddr_in foreign = Loopback(0), anyRemote{};
    foreign.sin_addr.s_addr = inet_addr("192.0.2.1");
    anyRemote.sin_family = AF_INET;
    EXPECT_EQ(KrIOOpen(KRIO_PASSIVE, KRIO_TYPE_UDP, &foreign, &anyRemote, nullptr, nullptr, 0, nullptr, 0), nullptr);
    EXPECT_EQ(KrErrorGet(), KRERR_SOCKET);
    EXPECT_EQ(TraceCount("KrIOInetBind: bind of 192.0.2.1:"), 1);
    EXPECT_EQ(TraceCount("failed unexpectedly, 1 attempt, error 10049"), 1);
    EXPECT_EQ(TraceCount("UDPPassiveOpen"), 1);
    EXPECT_EQ(TraceCount("Remote Initiator Handle Open failed."), 1);
}

TEST_F(Udp, ARefusedDatagramReadsAsNothing) {
    // Nothing listens at the remote port: the system's refusal comes back to the connected socket.
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in closed = Loopback(0);
    socklen_t length = sizeof closed;
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&closed), sizeof closed), 0);
    ASSERT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&closed), &length), 0);
    close(s);
    DatagramReader reader;
    KRIO_HNDL* channel = OpenActive(closed, &reader);
    ASSERT_NE(channel, nullptr);
    ASSERT_EQ(KrIOTx(channel, "anyone?", 7), 7);
    ASSERT_TRUE(reader.events.AtLeast(1));
    {
        std::lock_guard<std::mutex> hold(reader.lock);
        EXPECT_EQ(reader.results[0], 0);
    }
    EXPECT_EQ(TraceCount("UDP \"connection\" refused."), 1);
    EXPECT_EQ(TraceCount("Failed to read datagram"), 0);
    KrIOClose(channel);
}

TEST_F(Udp, ProtocolAndChannelOptions) {
    struct Case {
        uint32_t id, value;
        int result;
        uint32_t error;
    } protocolSets[] = {
        {KRIO_UDP_DATAGRAM_SIZE, 1024, 1, KRERR_NONE},
        {0x60007, 1, 1, KRERR_NO_ENTRY},
        {KRIO_UDP_PORT_RANGE, KrPortRange(0, 10), 1, KRERR_PARAM},
        {KRIO_UDP_PORT_RANGE, KrPortRange(65530, 10), 1, KRERR_PARAM},
        {KRIO_UDP_PORT_RANGE, KrPortRange(30000, 0), 1, KRERR_PARAM},
        {KRIO_UDP_PORT_RANGE, KrPortRange(30000, 20), 0, KRERR_NONE},
    };
    for (const Case& c : protocolSets) {
        KrErrorSet(KRERR_NONE);
        EXPECT_EQ(KrIOOptionSet(0, KRIO_TYPE_UDP, c.id, c.value), c.result) << std::hex << c.id << " " << c.value;
        EXPECT_EQ(KrErrorGet(), c.error) << std::hex << c.id << " " << c.value;
    }
    uint32_t value = 0;
    ASSERT_EQ(KrIOProtococolOptionsGet(0, KRIO_TYPE_UDP, KRIO_UDP_PORT_RANGE, &value), 0);
    EXPECT_EQ(value, KrPortRange(30000, 20));
    ASSERT_EQ(KrIOProtococolOptionsGet(0, KRIO_TYPE_UDP, KRIO_UDP_DATAGRAM_SIZE, &value), 0);
    EXPECT_EQ(value, 512u);
    KRIO_OPTION stopsAtUnknown[] = {{KRIO_UDP_PORT_RANGE, KrPortRange(31000, 5)}, {0x99, 0},
                                    {KRIO_UDP_PORT_RANGE, KrPortRange(32000, 5)}};
    EXPECT_EQ(KrIOOptionsSetV(0, KRIO_TYPE_UDP, stopsAtUnknown, 3), 1);
    EXPECT_EQ(KrErrorGet(), KRERR_NO_ENTRY);
    ASSERT_EQ(KrIOProtococolOptionsGet(0, KRIO_TYPE_UDP, KRIO_UDP_PORT_RANGE, &value), 0);
    EXPECT_EQ(value, KrPortRange(31000, 5));
    ASSERT_EQ(KrIOOptionSet(0, KRIO_TYPE_UDP, KRIO_UDP_PORT_RANGE, KRIO_PORT_RANGE_DEFAULT), 0);

    RawSocket peer(SOCK_DGRAM);
    KRIO_HNDL* channel = OpenActive(peer.address, nullptr);
    ASSERT_NE(channel, nullptr);
    KRIO_OPTION onChannel[] = {{KRIO_UDP_DATAGRAM_SIZE, 100}};
    EXPECT_EQ(KrIOOptionsSet(channel, onChannel, 1), 1);
    KRIO_OPTION range[] = {{KRIO_UDP_PORT_RANGE, 1}};
    EXPECT_EQ(KrIOOptionsSet(channel, range, 1), 1);
    EXPECT_EQ(KrErrorGet(), KRERR_PARAM);
    KRIO_OPTION others[] = {{KRIO_OPT_CONNECT_TIMEOUT, 900}, {0x50001, 5}};
    EXPECT_EQ(KrIOOptionsSet(channel, others, 2), 0) << "other ids pass by the back end";
    EXPECT_EQ(KrIOOptionGet(channel, 0x60000, &value), 1);
    EXPECT_EQ(TraceCount("Attempted to set UDP option receive buffer (unimplemented)"), 1);
    uint32_t words[8];
    uint32_t length = 16 + 16;
    EXPECT_EQ(KrIOStatisticsGet(channel, words, &length), 1);
    EXPECT_EQ(TraceCount("UDPStatisticsGet"), 1);
    KrIOClose(channel);
}

// ---- datagrams lost on the way ----

// Through the proxy, which drops the second datagram from the client: the reader sees the first
// message's head (a full datagram) and then its tail (a short datagram) with nothing between, and
// can tell from the marks that the message was broken. The next message starts a datagram.
TEST_F(Udp, ALostDatagramShowsAsAMessageEndingEarly) {
    DatagramReader reader;
    reader.piece = 2048;
    sockaddr_in local = Loopback(0), anyRemote{};
    anyRemote.sin_family = AF_INET;
    Listener listener;
    g_listener = &listener;
    KRIO_HNDL* passive =
        KrIOOpen(KRIO_PASSIVE, KRIO_TYPE_UDP, &local, &anyRemote, AcceptDatagram, nullptr, KRIO_READABLE, nullptr, 0);
    ASSERT_NE(passive, nullptr);
    listener.passive = passive;
    kio::Child proxy(kio::ToolPath("krfault"),
                     {"udp", "127.0.0.1:" + std::to_string(PortOf(passive->local)), "drop:c2s#2", "dup:c2s#5"});
    const uint16_t proxyPort = proxy.ListeningPort();
    ASSERT_NE(proxyPort, 0);
    KRIO_HNDL* sender = OpenActive(Loopback(proxyPort), nullptr);
    ASSERT_NE(sender, nullptr);
    std::vector<uint8_t> first = Pattern(1300, 1), second = Pattern(600, 2);
    ASSERT_EQ(KrIOTx(sender, first.data(), 1300), 1300);  // datagrams 1 2 3
    ASSERT_EQ(KrIOTx(sender, second.data(), 600), 600);  // datagrams 4 5 (5 twice)
    auto clone = [&]() -> DatagramReader* {
        std::lock_guard<std::mutex> hold(listener.lock);
        return listener.clones.empty() ? nullptr : listener.clones[0].get();
    };
    if (!kio::WaitUntil([&] { return clone() && clone()->events.Count() >= 5; })) {
        proxy.Send("quit");
        proxy.CloseInput();
        proxy.Wait();
        FAIL() << "events " << (clone() ? clone()->events.Count() : 0) << "; proxy: " << proxy.Errors();
    }
    {
        std::lock_guard<std::mutex> hold(clone()->lock);
        std::vector<std::pair<uint32_t, uint32_t>> seen;
        for (const KRIO_RXMARK& m : clone()->marks) seen.emplace_back(m.length, m.full);
        EXPECT_EQ(seen, (std::vector<std::pair<uint32_t, uint32_t>>{{512, 1}, {276, 0}, {512, 1}, {88, 0}, {88, 0}}));
        std::vector<uint8_t> expected(first.begin(), first.begin() + 512);
        expected.insert(expected.end(), first.begin() + 1024, first.end());
        expected.insert(expected.end(), second.begin(), second.end());
        expected.insert(expected.end(), second.begin() + 512, second.end());
        EXPECT_EQ(clone()->stream, expected);
    }
    proxy.Send("quit");
    proxy.CloseInput();
    EXPECT_EQ(proxy.Wait(), 0);
    EXPECT_NE(proxy.Errors().find("krfault: c2s #2 drop (512 bytes)"), std::string::npos) << proxy.Errors();
    EXPECT_NE(proxy.Errors().find("krfault: c2s #5 dup (88 bytes)"), std::string::npos) << proxy.Errors();
    KrIOClose(sender);
    KrIOClose(clone()->channel.load());
    KrIOClose(passive);
    g_listener = nullptr;
}

TEST_F(Udp, TwoProcessesExchangeMessagesOverUdp) {
    kio::Child echo(kio::ToolPath("krpeer"), {"echo", "udp"});
    const uint16_t port = echo.ListeningPort();
    ASSERT_NE(port, 0);
    kio::Child sender(kio::ToolPath("krpeer"), {"send", "udp", "127.0.0.1:" + std::to_string(port), "300", "5", "1500"});
    EXPECT_EQ(sender.Wait(), 0) << sender.Output() << sender.Errors();
    EXPECT_NE(sender.Output().find("sent 300 messages, received 300 intact"), std::string::npos) << sender.Output();
    echo.CloseInput();
    EXPECT_EQ(echo.Wait(), 0) << echo.Errors();
}

}  // namespace
