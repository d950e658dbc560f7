// The TCP back end and its transmit thread: connecting (to a listener, refused, into a black
// hole, towards a wildcard), the direct send from the caller's thread, the ring's limits and
// back-pressure, a peer that closes or resets, transmit threads ending with their channels,
// options and statistics, the ring buffer itself; and two processes (krpeer, through krfault)
// exchanging numbered messages in order and intact, under a stall, in one-byte writes and across a
// reset.
#include <gtest/gtest.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>

#include "krerrno.h"
#include "kriocbuf.h"
#include "krioinet.h"
#include "krlog.h"
#include "transport_fixture.h"

namespace {

using kio::Events;
using kio::Loopback;
using kio::PortOf;
using kio::RawSocket;

std::vector<uint8_t> Message(uint32_t number, size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = (uint8_t)(number * 7 + i * 3 + (i >> 8));
    return bytes;
}

// Reads a stream channel until it has nothing more; a channel that ends stops being watched.
struct StreamReader {
    std::atomic<KRIO_HNDL*> channel{nullptr};
    std::mutex lock;
    std::vector<uint8_t> stream;
    std::atomic<bool> ended{false};
    Events events;
    size_t Size() {
        std::lock_guard<std::mutex> hold(lock);
        return stream.size();
    }
};

void ReadStream(void* argument, uint32_t eventClass) {
    auto* r = static_cast<StreamReader*>(argument);
    KRIO_HNDL* channel = r->channel.load();
    if (!channel) return;
    uint8_t bytes[8192];
    for (;;) {
        int got = KrIORx(channel, bytes, sizeof bytes);
        if (got < 0) {
            r->ended = true;
            KrIOEventListRemove(channel);
            break;
        }
        if (got == 0) break;
        std::lock_guard<std::mutex> hold(r->lock);
        r->stream.insert(r->stream.end(), bytes, bytes + got);
    }
    r->events.Add(eventClass);
}

// A listening channel whose accepted connections are read by StreamReaders.
struct Listener {
    std::atomic<KRIO_HNDL*> passive{nullptr};
    std::atomic<uint32_t> cloneInterest{KRIO_READABLE};
    std::mutex lock;
    std::vector<std::unique_ptr<StreamReader>> accepted;
    StreamReader* Accepted(size_t i) {
        std::lock_guard<std::mutex> hold(lock);
        return i < accepted.size() && accepted[i]->channel.load() ? accepted[i].get() : nullptr;
    }
};

void AcceptStream(void* argument, uint32_t eventClass) {
    auto* l = static_cast<Listener*>(argument);
    if (eventClass != KRIO_READABLE) return;
    auto reader = std::make_unique<StreamReader>();
    KRIO_HNDL* clone = KrIOClone(l->passive.load(), ReadStream, reader.get(), l->cloneInterest.load());
    ASSERT_NE(clone, nullptr);
    reader->channel = clone;
    std::lock_guard<std::mutex> hold(l->lock);
    l->accepted.push_back(std::move(reader));
}

KRIO_HNDL* Listen(Listener* listener) {
    sockaddr_in local = Loopback(0), anyRemote{};
    anyRemote.sin_family = AF_INET;
    KRIO_HNDL* passive =
        KrIOOpen(KRIO_PASSIVE, KRIO_TYPE_TCP, &local, &anyRemote, AcceptStream, listener, KRIO_READABLE, nullptr, 0);
    listener->passive = passive;
    return passive;
}

KRIO_HNDL* Connect(const sockaddr_in& remote, StreamReader* reader, uint32_t timeoutMs = 0) {
    sockaddr_in local = Loopback(0);
    KRIO_OPTION timeout[] = {{KRIO_OPT_CONNECT_TIMEOUT, timeoutMs}};
    KRIO_HNDL* channel = KrIOOpen(KRIO_ACTIVE, KRIO_TYPE_TCP, &local, &remote, reader ? ReadStream : nullptr, reader,
                                  reader ? (uint32_t)KRIO_READABLE : 0u, timeout, timeoutMs ? 1 : 0);
    if (reader) reader->channel = channel;
    return channel;
}

uint32_t TcpStatistic(KRIO_HNDL* channel, int word) {
    uint32_t words[16] = {};
    uint32_t length = sizeof words;
    EXPECT_EQ(KrIOStatisticsGet(channel, words, &length), 0);
    EXPECT_EQ(length, 16u + KRTCP_STATISTICS * 4);
    return words[4 + word];
}

int NoDelayOf(SOCKET s) {
    int on = -1;
    socklen_t length = sizeof on;
    getsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, &length);
    return on;
}

// Handlers may still be running on the io thread when a close returns: what they write into
// lives in the fixture, so it outlasts TearDown, which stops that thread.
class Tcp : public kio::Transport {
protected:
    Listener listener;
    StreamReader reader;
};

TEST_F(Tcp, AnActiveOpenConnectsAndKeepsTheCallersCallback) {
    KRIO_HNDL* passive = Listen(&listener);
    ASSERT_NE(passive, nullptr);
    EXPECT_GE(PortOf(passive->local), 8050);
    EXPECT_LT(PortOf(passive->local), 9000) << "a wildcard port from the TCP range";
    KRIO_HNDL* active = Connect(passive->local, &reader);
    ASSERT_NE(active, nullptr);
    KRIO_CBF callback;
    void* argument;
    uint32_t interest;
    KrIOCallbackGet(active, &callback, &argument, &interest);
    EXPECT_EQ(callback, ReadStream);
    EXPECT_EQ(argument, &reader);
    EXPECT_EQ(interest, (uint32_t)KRIO_READABLE);
    EXPECT_EQ(NoDelayOf(active->socket), 1);
    KRTLADDR local{}, remote{};
    ASSERT_EQ(KrIOGetTlAddr(active, &local, 0), 0);
    ASSERT_EQ(KrIOGetTlAddr(active, &remote, 1), 0);
    EXPECT_EQ(local.family, KRTL_TCP);
    EXPECT_NE(local.port, 0);
    EXPECT_EQ(remote.port, passive->local.sin_port);

    ASSERT_TRUE(kio::WaitUntil([&] { return listener.Accepted(0) != nullptr; }));
    StreamReader* far = listener.Accepted(0);
    EXPECT_EQ(far->channel.load()->remote.sin_port, active->local.sin_port);
    ASSERT_EQ(KrIOTx(active, "hello", 5), 5);
    ASSERT_EQ(KrIOTx(far->channel.load(), "world!", 6), 6);
    ASSERT_TRUE(kio::WaitUntil([&] { return far->Size() == 5 && reader.Size() == 6; }));
    EXPECT_EQ(std::string(far->stream.begin(), far->stream.end()), "hello");
    EXPECT_EQ(std::string(reader.stream.begin(), reader.stream.end()), "world!");

    // The peer closing: the reader gets -1.
    KrIOClose(active);
    ASSERT_TRUE(kio::WaitUntil([&] { return far->ended.load(); }));
    KrIOClose(far->channel.load());
    KrIOClose(passive);
}

TEST_F(Tcp, ASmallMessageOnAnIdleConnectionLeavesFromTheCallersThread) {
    KRIO_HNDL* passive = Listen(&listener);
    ASSERT_NE(passive, nullptr);
    KRIO_HNDL* active = Connect(passive->local, nullptr);
    ASSERT_NE(active, nullptr);
    ASSERT_TRUE(kio::WaitUntil([&] { return listener.Accepted(0) != nullptr; }));
    std::vector<uint8_t> m = Message(1, 100);
    ASSERT_EQ(KrIOTx(active, m.data(), 100), 100);
    ASSERT_TRUE(kio::WaitUntil([&] { return listener.Accepted(0)->Size() == 100; }));
    EXPECT_EQ(TcpStatistic(active, KRTCP_SEND_CALLS), 1u);
    EXPECT_EQ(TcpStatistic(active, KRTCP_BYTES_SENT), 100u);
    EXPECT_EQ(TcpStatistic(active, KRTCP_MESSAGES_QUEUED), 1u);
    EXPECT_EQ(TcpStatistic(active, KRTCP_HIGHEST_FILL), 100u);
    EXPECT_EQ(TcpStatistic(active, KRTCP_UNUSED), 0u);
    EXPECT_EQ(NoDelayOf(active->socket), 1) << "the transmit thread was never woken";
    EXPECT_EQ(TcpStatistic(listener.Accepted(0)->channel.load(), KRTCP_BYTES_RECEIVED), 100u);
    KrIOClose(active);
    KrIOClose(listener.Accepted(0)->channel.load());
    KrIOClose(passive);
}

TEST_F(Tcp, TheRingRefusesTooLongAndTooManyMessagesAndKeepsTheRestWhole) {
    listener.cloneInterest = 0; // the far end does not read yet
    KRIO_HNDL* passive = Listen(&listener);
    ASSERT_NE(passive, nullptr);
    KRIO_HNDL* active = Connect(passive->local, nullptr);
    ASSERT_NE(active, nullptr);
    ASSERT_TRUE(kio::WaitUntil([&] { return listener.Accepted(0) != nullptr; }));

    std::vector<uint8_t> tooLong(4097);
    KrErrorSet(KRERR_NONE);
    EXPECT_EQ(KrIOTx(active, tooLong.data(), 4097), -1);
    EXPECT_EQ(KrErrorGet(), KRERR_PARAM);
    EXPECT_EQ(TraceCount("TCPTxV recvd message too long -- total length 4097 (max 4096)"), 1);

    // Messages go until the ring is full; a refused one leaves no trace in it.
    std::vector<uint8_t> expected;
    uint32_t number = 0, refused = 0;
    while (refused < 3) {
        std::vector<uint8_t> m = Message(number, 1000 + number % 7 * 300);
        KRIOVEC pieces[] = {{m.data(), 10}, {m.data() + 10, (uint32_t)m.size() - 10}};
        int result = KrIOTxV(active, pieces, 2);
        if (result == 0) {
            EXPECT_EQ(KrErrorGet(), KRERR_TCP_TX);
            ++refused;
            continue;
        }
        ASSERT_EQ(result, (int)m.size());
        expected.insert(expected.end(), m.begin(), m.end());
        ++number;
        ASSERT_LT(number, 100000u) << "the ring never filled";
    }
    EXPECT_LE(TcpStatistic(active, KRTCP_HIGHEST_FILL), 4096u);
    EXPECT_EQ(TcpStatistic(active, KRTCP_MESSAGES_QUEUED), number);

    // The far end reads: everything accepted arrives once, in order.
    StreamReader* far = listener.Accepted(0);
    KrIOCallbackSet(far->channel.load(), ReadStream, far, KRIO_READABLE);
    KrIOEventListRemove(far->channel.load());
    ASSERT_EQ(KrIOEventListAdd(far->channel.load()), 0);
    ASSERT_TRUE(kio::WaitUntil([&] { return far->Size() >= expected.size(); }));
    {
        std::lock_guard<std::mutex> hold(far->lock);
        EXPECT_EQ(far->stream, expected);
    }
    // The transmit thread counts what a send took after the call returns, so the far end may
    // have read the bytes first: the count is waited for, then checked.
    EXPECT_TRUE(kio::WaitUntil([&] { return TcpStatistic(active, KRTCP_BYTES_SENT) >= expected.size(); }));
    EXPECT_EQ(TcpStatistic(active, KRTCP_BYTES_SENT), expected.size());
    KrIOClose(active);
    KrIOClose(far->channel.load());
    KrIOClose(passive);
}

TEST_F(Tcp, ARefusedConnectFailsAtOnce) {
    RawSocket notListening(SOCK_STREAM);
    KrErrorSet(KRERR_NONE);
    EXPECT_EQ(Connect(notListening.address, nullptr, 60000), nullptr);
    EXPECT_EQ(KrErrorGet(), KRERR_IO);
    EXPECT_EQ(TraceCount("connect failed tcp/0x7f000001/0x" + [&] {
                  char hex[8];
                  std::snprintf(hex, sizeof hex, "%x", PortOf(notListening.address));
                  return std::string(hex);
              }() + ": 10061."),
              1)
        << Trace();
    EXPECT_EQ(TraceCount("timed out"), 0) << "a refusal is not a time-out";
    EXPECT_EQ(TraceCount("Local Initiator Handle Open failed."), 1);
}

TEST_F(Tcp, AConnectIntoABlackHoleTimesOutAsConfigured) {
    // A listener with a backlog of 0 holds one connection; later connects get no answer.
    RawSocket hole(SOCK_STREAM);
    ASSERT_EQ(listen(hole.fd, 0), 0);
    int filler = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(connect(filler, reinterpret_cast<sockaddr*>(&hole.address), sizeof hole.address), 0);
    KrErrorSet(KRERR_NONE);
    EXPECT_EQ(Connect(hole.address, nullptr, 300), nullptr);
    EXPECT_EQ(KrErrorGet(), KRERR_IO);
    EXPECT_EQ(TraceCount("connect timed out after 300 msecs"), 1);
    EXPECT_EQ(TraceCount("connect timed out to "), 1);
    close(filler);
}

TEST_F(Tcp, AWildcardRemoteIsRefusedAtOnce) {
    RawSocket listener(SOCK_STREAM);
    ASSERT_EQ(listen(listener.fd, 4), 0);
    sockaddr_in anyAddress = listener.address, anyPort = listener.address;
    anyAddress.sin_addr.s_addr = 0;
    anyPort.sin_port = 0;
    for (const sockaddr_in& remote : {anyAddress, anyPort}) {
        KrErrorSet(KRERR_NONE);
        EXPECT_EQ(Connect(remote, nullptr, 60000), nullptr);
        EXPECT_EQ(KrErrorGet(), KRERR_PARAM);
    }
    EXPECT_EQ(TraceCount("Active channel cannot specify Wildcard remote TCP/IP address."), 2);
    sockaddr_in local = Loopback(0);
    EXPECT_EQ(KrIOOpen(KRIO_PASSIVE, KRIO_TYPE_TCP, &local, &listener.address, nullptr, nullptr, 0, nullptr, 0),
              nullptr);
    EXPECT_EQ(KrErrorGet(), KRERR_PARAM) << "and a listening one towards a specific remote";
    EXPECT_EQ(TraceCount("Passive channel must specify Wildcardremote TCP/IP address."), 1);
    pollfd pending{listener.fd, POLLIN, 0};
    EXPECT_EQ(poll(&pending, 1, 0), 0) << "no connection was made";
}

TEST_F(Tcp, AResetMidStreamEndsTheConnectionAndTheSenderSurvives) {
    RawSocket far(SOCK_STREAM);
    ASSERT_EQ(listen(far.fd, 4), 0);
    const uint32_t before = TCPTxThreadsRunning();
    KRIO_HNDL* active = Connect(far.address, &reader);
    ASSERT_NE(active, nullptr);
    EXPECT_EQ(TCPTxThreadsRunning(), before + 1);
    int accepted = accept(far.fd, nullptr, nullptr);
    ASSERT_GE(accepted, 0);
    std::vector<uint8_t> m = Message(0, 3000);
    ASSERT_EQ(KrIOTx(active, m.data(), 3000), 3000);
    linger hard{1, 0};
    setsockopt(accepted, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close(accepted); // a reset
    ASSERT_TRUE(kio::WaitUntil([&] { return reader.ended.load(); })) << "the reader gets -1";
    // Transmits go on without a signal ending the process; the thread fails and ends, and the
    // channel then only queues until the ring is full.
    int result = 1;
    for (int i = 0; i < 100000 && result != 0; ++i) result = KrIOTx(active, m.data(), 3000);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(KrErrorGet(), KRERR_TCP_TX);
    ASSERT_TRUE(kio::WaitUntil([&] { return TCPTxThreadsRunning() == before; }));
    EXPECT_EQ(TraceCount("failed to send, closing transmit"), 1);
    KrIOClose(active);
}

TEST_F(Tcp, EveryTransmitThreadEndsWithItsChannel) {
    const uint32_t before = TCPTxThreadsRunning();
    KRIO_HNDL* passive = Listen(&listener);
    ASSERT_NE(passive, nullptr);
    KRIO_HNDL* active = Connect(passive->local, &reader);
    ASSERT_NE(active, nullptr);
    ASSERT_TRUE(kio::WaitUntil([&] { return listener.Accepted(0) != nullptr; }));
    EXPECT_EQ(TCPTxThreadsRunning(), before + 3) << "listening, connected and accepted";
    // A thread busy with a backlog ends as well.
    std::vector<uint8_t> m = Message(3, 4000);
    for (int i = 0; i < 50; ++i) KrIOTx(active, m.data(), 4000);
    KrIOClose(active);
    KrIOClose(listener.Accepted(0)->channel.load());
    KrIOClose(passive);
    EXPECT_TRUE(kio::WaitUntil([&] { return TCPTxThreadsRunning() == before; }));
}

TEST_F(Tcp, ChannelAndProtocolOptions) {
    KRIO_HNDL* passive = Listen(&listener);
    ASSERT_NE(passive, nullptr);
    KRIO_HNDL* active = Connect(passive->local, nullptr);
    ASSERT_NE(active, nullptr);
    struct Get {
        uint32_t id;
        uint32_t value;
        int result;
    } gets[] = {{KRIO_TCP_IOCBUF_SIZE, 4096, 0}, {KRIO_TCP_SNDBUF_SIZE, 8192, 0}, {KRIO_TCP_RCVBUF_SIZE, 8192, 0},
                {KRIO_TCP_PORT_RANGE, 0, 1}, {KRIO_OPT_CONNECT_TIMEOUT, 30000, 0}};
    for (const Get& g : gets) {
        uint32_t value = 0;
        EXPECT_EQ(KrIOOptionGet(active, g.id, &value), g.result) << std::hex << g.id;
        if (g.result == 0) {
            EXPECT_EQ(value, g.value) << std::hex << g.id;
        }
    }
    struct Set {
        uint32_t id, value;
        int result;
        uint32_t after; // the option's value afterwards
    } sets[] = {
        {KRIO_TCP_IOCBUF_SIZE, 8192, 0, 8192}, {KRIO_TCP_IOCBUF_SIZE, 0, 1, 8192},
        {KRIO_TCP_SNDBUF_SIZE, 16384, 0, 16384}, {KRIO_TCP_RCVBUF_SIZE, 0, 1, 8192},
        {KRIO_TCP_PORT_RANGE, 1, 1, 0}, {0x7777, 1, 0, 0},
    };
    for (const Set& s : sets) {
        KRIO_OPTION option[] = {{s.id, s.value}};
        EXPECT_EQ(KrIOOptionsSet(active, option, 1), s.result) << std::hex << s.id << " " << s.value;
        uint32_t value = 0;
        if (s.after) {
            ASSERT_EQ(KrIOOptionGet(active, s.id, &value), 0);
            EXPECT_EQ(value, s.after) << std::hex << s.id;
        }
    }
    EXPECT_EQ(TraceCount("Cannot resize IOCBuf to 0 bytes"), 1);
    EXPECT_EQ(TraceCount("Unknown option 0x50000."), 1);
    std::vector<uint8_t> m = Message(9, 6000);
    EXPECT_EQ(KrIOTx(active, m.data(), 6000), 6000) << "a larger ring takes larger messages";
    KrIOClose(active);
    ASSERT_TRUE(kio::WaitUntil([&] { return listener.Accepted(0) != nullptr; }));
    KrIOClose(listener.Accepted(0)->channel.load());
    KrIOClose(passive);

    struct Protocol {
        uint32_t id, value;
        int result;
        uint32_t error;
    } protocol[] = {
        {KRIO_TCP_IOCBUF_SIZE, 2048, 0, KRERR_NONE}, {KRIO_TCP_IOCBUF_SIZE, 0, 1, KRERR_PARAM},
        {KRIO_TCP_SNDBUF_SIZE, 4096, 0, KRERR_NONE}, {0x50009, 1, 1, KRERR_NO_ENTRY},
        {KRIO_TCP_PORT_RANGE, KrPortRange(20000, 100), 0, KRERR_NONE},
    };
    for (const Protocol& p : protocol) {
        KrErrorSet(KRERR_NONE);
        EXPECT_EQ(KrIOOptionSet(0, KRIO_TYPE_TCP, p.id, p.value), p.result) << std::hex << p.id;
        EXPECT_EQ(KrErrorGet(), p.error) << std::hex << p.id;
        uint32_t value = 0;
        if (p.result == 0) {
            ASSERT_EQ(KrIOProtococolOptionsGet(0, KRIO_TYPE_TCP, p.id, &value), 0);
            EXPECT_EQ(value, p.value);
        }
    }
    EXPECT_EQ(TraceCount("Set default TCP transmit buffer size from 4096 to 2048"), 1);
    // New channels take the new defaults.
    Listener second;
    KRIO_HNDL* small = Listen(&second);
    ASSERT_NE(small, nullptr);
    EXPECT_GE(PortOf(small->local), 20000);
    EXPECT_LT(PortOf(small->local), 20100);
    uint32_t value = 0;
    ASSERT_EQ(KrIOOptionGet(small, KRIO_TCP_IOCBUF_SIZE, &value), 0);
    EXPECT_EQ(value, 2048u);
    KrIOClose(small);
    KRIO_OPTION defaults[] = {{KRIO_TCP_IOCBUF_SIZE, 4096}, {KRIO_TCP_SNDBUF_SIZE, 8192},
                              {KRIO_TCP_PORT_RANGE, KRIO_PORT_RANGE_DEFAULT}};
    EXPECT_EQ(KrIOOptionsSetV(0, KRIO_TYPE_TCP, defaults, 3), 0);
}

TEST_F(Tcp, ARingHoldingMoreThanANewSizeIsNotShrunk) {
    listener.cloneInterest = 0;
    KRIO_HNDL* passive = Listen(&listener);
    ASSERT_NE(passive, nullptr);
    KRIO_HNDL* active = Connect(passive->local, nullptr);
    ASSERT_NE(active, nullptr);
    std::vector<uint8_t> m = Message(0, 3000);
    while (KrIOTx(active, m.data(), 3000) != 0) {
    }
    KRIO_OPTION shrink[] = {{KRIO_TCP_IOCBUF_SIZE, 1024}};
    EXPECT_EQ(KrIOOptionsSet(active, shrink, 1), 1) << "queued bytes would be cut";
    uint32_t value = 0;
    ASSERT_EQ(KrIOOptionGet(active, KRIO_TCP_IOCBUF_SIZE, &value), 0);
    EXPECT_EQ(value, 4096u);
    EXPECT_EQ(TraceCount("Failed to resize IOCBuf to 1024 bytes"), 1);
    KrIOClose(active);
    ASSERT_TRUE(kio::WaitUntil([&] { return listener.Accepted(0) != nullptr; }));
    KrIOClose(listener.Accepted(0)->channel.load());
    KrIOClose(passive);
}

// ---- the ring buffer ----

class TcpRing : public kio::Transport {};

TEST_F(TcpRing, WrapsTakesBackAndResizes) {
    KRIOCBUF ring;
    ASSERT_EQ(KrIOCBufCreate(&ring, 10), 0);
    const uint8_t bytes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_EQ(KrIOCBufAppend(&ring, bytes, 7), 7u);
    uint8_t out[16] = {};
    EXPECT_EQ(KrIOCBufRead(&ring, out, 5), 5u); // 6 7 left at positions 5..6
    EXPECT_EQ(KrIOCBufAppend(&ring, bytes + 7, 5), 5u); // 8 9 10 | 11 12 wrapped
    const uint8_t* data = nullptr;
    EXPECT_EQ(KrIOCBufContig(&ring, &data), 5u) << "up to the storage end";
    EXPECT_EQ(data[0], 6);
    EXPECT_EQ(KrIOCBufUsed(&ring), 7u);
    EXPECT_EQ(KrIOCBufAppend(&ring, bytes, 5), 3u) << "only the room that is left";
    KrIOCBufTakeBack(&ring, 3 + 2); // across the wrap: 11 12 and the three just put in
    EXPECT_EQ(KrIOCBufUsed(&ring), 5u);
    EXPECT_EQ(KrIOCBufRead(&ring, out, 16), 5u);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 5), (std::vector<uint8_t>{6, 7, 8, 9, 10}));
    EXPECT_EQ(KrIOCBufContig(&ring, &data), 0u);
    EXPECT_EQ(ring.readPos, ring.start) << "an emptied ring starts again at the storage start";
    EXPECT_EQ(ring.writePos, ring.start);

    EXPECT_EQ(KrIOCBufAppend(&ring, bytes, 10), 10u);
    EXPECT_EQ(KrIOCBufContig(&ring, &data), 10u) << "full, not empty";
    uint32_t lost = 99;
    ASSERT_EQ(KrIOCBufResize(&ring, 16, &lost), 0);
    EXPECT_EQ(lost, 0u);
    EXPECT_EQ(KrIOCBufAppend(&ring, bytes + 10, 2), 2u);
    ASSERT_EQ(KrIOCBufResize(&ring, 4, &lost), 0);
    EXPECT_EQ(lost, 8u);
    EXPECT_EQ(TraceCount("from 16 to 4, lost 8 bytes"), 1);
    EXPECT_EQ(KrIOCBufRead(&ring, out, 16), 4u);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{1, 2, 3, 4})) << "the oldest are kept";
    KrIOCBufDestroy(&ring);
}

// ---- two processes ----

class TcpTwoProcesses : public ::testing::Test {};

std::string Address(uint16_t port) {
    return "127.0.0.1:" + std::to_string(port);
}

TEST_F(TcpTwoProcesses, TenThousandMessagesArriveInOrderAndIntact) {
    struct Case {
        const char* what;
        std::vector<std::string> proxyRules; // empty: no proxy
        const char* maxLength;
    } cases[] = {
        {"direct", {}, "4000"},
        {"through the proxy in one-byte writes", {"split"}, "100"},
    };
    for (const Case& c : cases) {
        kio::Child echo(kio::ToolPath("krpeer"), {"echo", "tcp"});
        uint16_t port = echo.ListeningPort();
        ASSERT_NE(port, 0) << c.what;
        std::unique_ptr<kio::Child> proxy;
        if (!c.proxyRules.empty()) {
            std::vector<std::string> arguments{"tcp", Address(port)};
            arguments.insert(arguments.end(), c.proxyRules.begin(), c.proxyRules.end());
            proxy = std::make_unique<kio::Child>(kio::ToolPath("krfault"), arguments);
            port = proxy->ListeningPort();
            ASSERT_NE(port, 0) << c.what;
        }
        kio::Child sender(kio::ToolPath("krpeer"), {"send", "tcp", Address(port), "10000", "17", c.maxLength});
        EXPECT_EQ(sender.Wait(), 0) << c.what << "\n" << sender.Output() << sender.Errors();
        EXPECT_NE(sender.Output().find("sent 10000 messages, received 10000 intact"), std::string::npos)
            << c.what << "\n" << sender.Output();
        if (proxy) {
            proxy->Send("quit");
            proxy->CloseInput();
            EXPECT_EQ(proxy->Wait(), 0);
        }
        echo.CloseInput();
        EXPECT_EQ(echo.Wait(), 0) << echo.Errors();
    }
}

TEST_F(TcpTwoProcesses, BackPressureWhileTheProxyStallsLosesAndRepeatsNothing) {
    kio::Child echo(kio::ToolPath("krpeer"), {"echo", "tcp"});
    const uint16_t port = echo.ListeningPort();
    ASSERT_NE(port, 0);
    kio::Child proxy(kio::ToolPath("krfault"), {"tcp", Address(port), "stall:c2s"});
    const uint16_t proxyPort = proxy.ListeningPort();
    ASSERT_NE(proxyPort, 0);
    kio::Child sender(kio::ToolPath("krpeer"), {"send", "tcp", Address(proxyPort), "3000", "23", "4000"});
    EXPECT_NE(sender.LineStartingWith("krpeer: ring full at message"), "") << "the ring filled while stalled";
    proxy.Send("resume c2s");
    EXPECT_EQ(sender.Wait(), 0) << sender.Output() << sender.Errors();
    EXPECT_NE(sender.Output().find("sent 3000 messages, received 3000 intact"), std::string::npos) << sender.Output();
    proxy.Send("quit");
    proxy.CloseInput();
    EXPECT_EQ(proxy.Wait(), 0);
    EXPECT_NE(proxy.Errors().find("krfault: resumed c2s"), std::string::npos);
    echo.CloseInput();
    EXPECT_EQ(echo.Wait(), 0);
}

TEST_F(TcpTwoProcesses, AResetMidStreamEndsTheConnectionCleanly) {
    kio::Child echo(kio::ToolPath("krpeer"), {"echo", "tcp"});
    const uint16_t port = echo.ListeningPort();
    ASSERT_NE(port, 0);
    kio::Child proxy(kio::ToolPath("krfault"), {"tcp", Address(port), "reset:c2s>20000"});
    const uint16_t proxyPort = proxy.ListeningPort();
    ASSERT_NE(proxyPort, 0);
    kio::Child sender(kio::ToolPath("krpeer"), {"send", "tcp", Address(proxyPort), "5000", "29", "4000"});
    EXPECT_EQ(sender.Wait(), 3) << "not killed by a signal\n" << sender.Output() << sender.Errors();
    EXPECT_NE(sender.Output().find("krpeer: connection ended (read -1)"), std::string::npos) << sender.Output();
    EXPECT_NE(sender.Output().find("transmit queue-only after the connection ended (transmit threads running: 0)"),
              std::string::npos)
        << sender.Output();
    EXPECT_EQ(sender.Output().find("damaged"), std::string::npos);
    EXPECT_NE(echo.LineStartingWith("krpeer: channel ended (read -1)"), "") << "the reading side gets -1";
    proxy.Send("quit");
    proxy.CloseInput();
    EXPECT_EQ(proxy.Wait(), 0);
    EXPECT_NE(proxy.Errors().find("reset"), std::string::npos) << proxy.Errors();
    echo.CloseInput();
    EXPECT_EQ(echo.Wait(), 0);
}

TEST_F(TcpTwoProcesses, AConnectToAProxyThatNeverAcceptsTimesOut) {
    RawSocket unused(SOCK_STREAM);
    kio::Child proxy(kio::ToolPath("krfault"), {"tcp", Address(PortOf(unused.address)), "noaccept"});
    const uint16_t proxyPort = proxy.ListeningPort();
    ASSERT_NE(proxyPort, 0);
    kio::Child sender(kio::ToolPath("krpeer"), {"send", "tcp", Address(proxyPort), "10", "1", "100", "500"});
    EXPECT_EQ(sender.Wait(), 4) << sender.Output() << sender.Errors();
    EXPECT_NE(sender.Output().find("open failed (KrErrno 0x30003)"), std::string::npos) << sender.Output();
    proxy.Send("quit");
    proxy.CloseInput();
    EXPECT_EQ(proxy.Wait(), 0);
}

}  // namespace
