// IO channels and the io thread: opening (arguments, full socket sets), events served on the io
// thread, closing a channel from its own callback, options, statistics and addresses; the thread
// surviving a wakeup socket with stray or missing bytes and a socket closed under it; counted
// start and stop; the dead-man accounting against a test clock.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "krerrno.h"
#include "krioinet.h"
#include "krlog.h"
#include "krtime.h"
#include "krtmo.h"
#include "transport_fixture.h"

namespace {

using kio::Events;
using kio::Loopback;
using kio::PortOf;
using kio::RawSocket;

// A channel's callback context: reads what is there and records it.
struct Reader {
    std::atomic<KRIO_HNDL*> channel{nullptr};
    Events events;
    std::atomic<bool> closeInCallback{false};
    std::atomic<int> stateSeenAfterClose{0};
    std::atomic<int> rxAfterClose{0};
    std::atomic<uint32_t> errnoAfterClose{0};
    std::atomic<std::thread::id*> thread{nullptr};
    std::thread::id callbackThread;
    std::function<void()> during; // runs inside the callback after the read
};

void ReadCallback(void* argument, uint32_t eventClass) {
    auto* r = static_cast<Reader*>(argument);
    KRIO_HNDL* channel = r->channel.load();
    std::vector<uint8_t> bytes(2048);
    int got = channel ? KrIORx(channel, bytes.data(), (uint32_t)bytes.size()) : -1;
    bytes.resize(got > 0 ? (size_t)got : 0);
    r->callbackThread = std::this_thread::get_id();
    if (r->during) r->during();
    if (r->closeInCallback.exchange(false)) {
        KrIOClose(channel);
        // The channel is closing but still here: its memory is only let go after this returns.
        r->stateSeenAfterClose = channel->state;
        r->rxAfterClose = KrIORx(channel, bytes.data(), 1);
        r->errnoAfterClose = KrErrorGet();
    }
    r->events.Add(eventClass, std::move(bytes));
}

KRIO_HNDL* OpenActiveUdp(const sockaddr_in& remote, Reader* reader, uint32_t interest = KRIO_READABLE) {
    sockaddr_in local = Loopback(0);
    KRIO_HNDL* channel =
        KrIOOpen(KRIO_ACTIVE, KRIO_TYPE_UDP, &local, &remote, reader ? ReadCallback : nullptr, reader, interest, nullptr, 0);
    if (reader) reader->channel = channel;
    return channel;
}

void SendTo(const RawSocket& from, KRIO_HNDL* channel, const std::string& text) {
    ASSERT_EQ(sendto(from.fd, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&channel->local),
                     sizeof channel->local),
              (ssize_t)text.size());
}

std::string Text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

class IoChannels : public kio::Transport {};

TEST_F(IoChannels, OpenRefusesBadArguments) {
    RawSocket peer(SOCK_DGRAM);
    sockaddr_in local = Loopback(0), remote = peer.address, otherFamily = peer.address;
    otherFamily.sin_family = AF_INET6;
    Reader reader;
    struct Case {
        const char* what;
        uint32_t active, ioType;
        const sockaddr_in *local, *remote;
        KRIO_CBF callback;
        uint32_t interest;
        uint32_t error;
    } cases[] = {
        {"passive without a local address", KRIO_PASSIVE, KRIO_TYPE_UDP, nullptr, nullptr, nullptr, 0, KRERR_PARAM},
        {"active without a remote address", KRIO_ACTIVE, KRIO_TYPE_UDP, &local, nullptr, nullptr, 0, KRERR_PARAM},
        {"interest without a callback", KRIO_ACTIVE, KRIO_TYPE_UDP, &local, &remote, nullptr, KRIO_READABLE,
         KRERR_PARAM},
        {"io type 3", KRIO_ACTIVE, 3, &local, &remote, nullptr, 0, KRERR_PARAM},
        {"active 2", 2, KRIO_TYPE_UDP, &local, &remote, nullptr, 0, KRERR_PARAM},
        {"another socket family", KRIO_ACTIVE, KRIO_TYPE_UDP, &local, &otherFamily, nullptr, 0, KRERR_PARAM},
    };
    for (const Case& c : cases) {
        KrErrorSet(KRERR_NONE);
        EXPECT_EQ(KrIOOpen(c.active, c.ioType, c.local, c.remote, c.callback, &reader, c.interest, nullptr, 0), nullptr)
            << c.what;
        EXPECT_EQ(KrErrorGet(), c.error) << c.what;
    }
    EXPECT_EQ(KrIOOpen(KRIO_ACTIVE, KRIO_TYPE_FAIL, &local, &remote, nullptr, nullptr, 0, nullptr, 0), nullptr)
        << "the io type whose back end fails everything";
    EXPECT_GE(TraceCount("KrIOOpen: Invalid Parameters"), 5);
    EXPECT_EQ(TraceCount("KrIOOpen: Socket family 10 not supported"), 1);
}

TEST_F(IoChannels, ADatagramReachesTheChannelCallbackOnTheIoThread) {
    RawSocket peer(SOCK_DGRAM);
    Reader reader;
    KRIO_HNDL* channel = OpenActiveUdp(peer.address, &reader);
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(channel->state, KRIO_OPEN);
    SendTo(peer, channel, "first");
    ASSERT_TRUE(reader.events.AtLeast(1));
    SendTo(peer, channel, "second!");
    ASSERT_TRUE(reader.events.AtLeast(2));
    EXPECT_EQ(reader.events.classes[0], KRIO_READABLE);
    EXPECT_EQ(Text(reader.events.data[0]), "first");
    EXPECT_EQ(Text(reader.events.data[1]), "second!");
    EXPECT_NE(reader.callbackThread, std::this_thread::get_id());

    uint32_t words[16] = {};
    uint32_t length = sizeof words;
    ASSERT_EQ(KrIOStatisticsGet(channel, words, &length), 0);
    EXPECT_EQ(length, 16u + KRUDP_STATISTICS * 4);
    EXPECT_EQ(words[2], 2u) << "receive calls";
    EXPECT_EQ(words[3], 12u) << "bytes received";
    EXPECT_EQ(words[4 + KRUDP_DGRAMS_RECEIVED], 2u);
    KrIOClose(channel);
}

TEST_F(IoChannels, ClosingAChannelFromItsOwnCallback) {
    RawSocket peer(SOCK_DGRAM);
    Reader reader;
    KRIO_HNDL* channel = OpenActiveUdp(peer.address, &reader);
    ASSERT_NE(channel, nullptr);
    reader.closeInCallback = true;
    SendTo(peer, channel, "bye");
    ASSERT_TRUE(reader.events.AtLeast(1));
    EXPECT_EQ(reader.stateSeenAfterClose.load(), KRIO_CLOSING) << "closed at once, freed later";
    EXPECT_EQ(reader.rxAfterClose.load(), -1);
    EXPECT_EQ(reader.errnoAfterClose.load(), KRERR_IO);
    // Once the callback has returned, the channel is gone from the table.
    ASSERT_TRUE(kio::WaitUntil([&] { return KrIOHndlRef(channel) != 0; }));
    // Its socket is no longer watched: another channel still gets its events.
    Reader second;
    KRIO_HNDL* other = OpenActiveUdp(peer.address, &second);
    ASSERT_NE(other, nullptr);
    SendTo(peer, other, "still served");
    ASSERT_TRUE(second.events.AtLeast(1));
    EXPECT_EQ(reader.events.Count(), 1u);
    KrIOClose(other);
}

TEST_F(IoChannels, AFullSocketSetFailsTheOpenInsteadOfIgnoringIt) {
    RawSocket peer(SOCK_DGRAM);
    Reader readers[PLAT_FD_SETSIZE];
    std::vector<KRIO_HNDL*> open;
    // The wakeup socket holds one place of the read set.
    for (int i = 0; i < PLAT_FD_SETSIZE - 1; ++i) {
        KRIO_HNDL* channel = OpenActiveUdp(peer.address, &readers[i]);
        ASSERT_NE(channel, nullptr) << i;
        open.push_back(channel);
    }
    KrErrorSet(KRERR_NONE);
    EXPECT_EQ(OpenActiveUdp(peer.address, &readers[PLAT_FD_SETSIZE - 1]), nullptr);
    EXPECT_EQ(KrErrorGet(), KRERR_NO_MEMORY);
    EXPECT_EQ(TraceCount("The read socket set is full (64 sockets)"), 1);
    EXPECT_EQ(TraceCount("KrIOOpen: Failed to add handle to suspend list"), 1);
    KRIO_HNDL* quiet = OpenActiveUdp(peer.address, nullptr, 0);
    EXPECT_NE(quiet, nullptr) << "a channel with no interest needs no place";
    KrIOClose(quiet);

    KrIOClose(open.back());
    open.pop_back();
    KRIO_HNDL* again = OpenActiveUdp(peer.address, &readers[PLAT_FD_SETSIZE - 1]);
    ASSERT_NE(again, nullptr) << "a closed channel gives its place back";
    SendTo(peer, again, "x");
    EXPECT_TRUE(readers[PLAT_FD_SETSIZE - 1].events.AtLeast(1));
    KrIOClose(again);
    for (KRIO_HNDL* channel : open) KrIOClose(channel);
}

TEST_F(IoChannels, OptionsAndStatistics) {
    RawSocket peer(SOCK_DGRAM);
    sockaddr_in local = Loopback(0);
    KRIO_OPTION atOpen[] = {{KRIO_OPT_CONNECT_TIMEOUT, 700}};
    KRIO_HNDL* channel =
        KrIOOpen(KRIO_ACTIVE, KRIO_TYPE_UDP, &local, &peer.address, nullptr, nullptr, 0, atOpen, 1);
    ASSERT_NE(channel, nullptr);
    uint32_t value = 0;
    ASSERT_EQ(KrIOOptionGet(channel, KRIO_OPT_CONNECT_TIMEOUT, &value), 0);
    EXPECT_EQ(value, 700u) << "io options are split from the back end's at open";

    KRIO_OPTION mixed[] = {{KRIO_OPT_CONNECT_TIMEOUT, 500}, {0x12345, 1}};
    EXPECT_EQ(KrIOOptionsSetInternal(channel, mixed, 2), 1);
    EXPECT_EQ(KrErrorGet(), KRERR_PARAM);
    ASSERT_EQ(KrIOOptionGet(channel, KRIO_OPT_CONNECT_TIMEOUT, &value), 0);
    EXPECT_EQ(value, 500u) << "the known pair is applied all the same";
    EXPECT_EQ(TraceCount("Unknown io channel option 0x12345."), 1);

    ASSERT_EQ(KrIOOptionGet(channel, KRIO_UDP_DATAGRAM_SIZE, &value), 0) << "other ids go to the back end";
    EXPECT_EQ(value, KRIO_UDP_DATAGRAM);

    uint32_t words[16];
    uint32_t length = 15;
    EXPECT_EQ(KrIOStatisticsGet(channel, words, &length), 1);
    EXPECT_EQ(KrErrorGet(), KRERR_PARAM);
    EXPECT_EQ(TraceCount("Stat buffer is too small 15"), 1);
    length = 16 + 19;
    EXPECT_EQ(KrIOStatisticsGet(channel, words, &length), 1) << "the back end's five words do not fit";

    ASSERT_EQ(KrIOTx(channel, "abc", 3), 3);
    length = sizeof words;
    ASSERT_EQ(KrIOStatisticsGet(channel, words, &length), 0);
    EXPECT_EQ(words[0], 1u) << "transmit calls";
    EXPECT_EQ(words[1], 3u) << "bytes transmitted";

    struct ProtocolCase {
        uint32_t family, ioType, id;
        int result;
    } protocolCases[] = {{0, KRIO_TYPE_UDP, KRIO_UDP_PORT_RANGE, 0},
                         {0, KRIO_TYPE_TCP, KRIO_TCP_PORT_RANGE, 0},
                         {1, KRIO_TYPE_UDP, KRIO_UDP_PORT_RANGE, 1},
                         {0, 3, KRIO_UDP_PORT_RANGE, 1},
                         {0, KRIO_TYPE_FAIL, KRIO_UDP_PORT_RANGE, 1}};
    for (const ProtocolCase& c : protocolCases) {
        uint32_t range = 0;
        EXPECT_EQ(KrIOProtococolOptionsGet(c.family, c.ioType, c.id, &range), c.result) << c.family << "/" << c.ioType;
        if (c.result == 0) {
            EXPECT_EQ(range, KRIO_PORT_RANGE_DEFAULT);
        }
    }
    EXPECT_EQ(KrIOOptionsSetV(0, KRIO_TYPE_UDP, nullptr, 1), 1);
    EXPECT_EQ(KrErrorGet(), KRERR_PARAM);
    EXPECT_EQ(TraceCount("KrIOOptionsSetV: Malformed options vector."), 1);
    EXPECT_EQ(TraceCount("KrIOProtococolOptionsGet: Illegal network I/O family 1 and/or type."), 1);
    KrIOClose(channel);

    // A closed channel answers nothing.
    EXPECT_EQ(KrIOOptionGet(channel, KRIO_OPT_CONNECT_TIMEOUT, &value), 1);
    EXPECT_EQ(KrIOTx(channel, "x", 1), -1);
    EXPECT_EQ(KrErrorGet(), KRERR_IO);
}

TEST_F(IoChannels, TransportAddressesAndMatching) {
    RawSocket peer(SOCK_DGRAM);
    KRIO_HNDL* channel = OpenActiveUdp(peer.address, nullptr, 0);
    ASSERT_NE(channel, nullptr);
    KRTLADDR local{}, remote{};
    ASSERT_EQ(KrIOGetTlAddr(channel, &local, 0), 0);
    ASSERT_EQ(KrIOGetTlAddr(channel, &remote, 1), 0);
    EXPECT_EQ(local.family, KRTL_UDP);
    EXPECT_EQ(local.addr, htonl(INADDR_LOOPBACK));
    EXPECT_NE(local.port, 0) << "the bound port is written back";
    EXPECT_EQ(remote.family, KRTL_UDP);
    EXPECT_EQ(remote.port, peer.address.sin_port);

    sockaddr_in any{};
    any.sin_family = AF_INET;
    sockaddr_in otherPort = peer.address;
    otherPort.sin_port = htons(PortOf(peer.address) + 1);
    EXPECT_EQ(KrIORemoteAddrMatch(channel, KRIO_TYPE_UDP, &peer.address, 0), 1);
    EXPECT_EQ(KrIORemoteAddrMatch(channel, KRIO_TYPE_TCP, &peer.address, 0), 0) << "another io type";
    EXPECT_EQ(KrIORemoteAddrMatch(channel, KRIO_TYPE_UDP, &otherPort, 0), 0);
    EXPECT_EQ(KrIORemoteAddrMatch(channel, KRIO_TYPE_UDP, &any, 0), 0);
    EXPECT_EQ(KrIORemoteAddrMatch(channel, KRIO_TYPE_UDP, &any, 1), 1) << "wildcards";
    EXPECT_EQ(KrIOLocalAddrMatch(channel, KRIO_TYPE_UDP, &channel->local, 0), 1);
    KrIOClose(channel);
    EXPECT_EQ(KrIOGetTlAddr(channel, &local, 0), 1);
}

// ---- the io thread ----

class IoThread : public kio::Transport {};

TEST_F(IoThread, KeepsRunningWhenItsWakeupSocketHoldsMoreOrFewerBytes) {
    sockaddr_in wakeupAddress;
    SOCKET wakeup = KrIOWakeupSocketGet(&wakeupAddress);
    ASSERT_NE(wakeup, INVALID_SOCKET);
    RawSocket stranger(SOCK_DGRAM);
    RawSocket peer(SOCK_DGRAM);
    for (int round = 0; round < 20; ++round) {
        // Bytes nobody asked for, and wakeups whose bytes someone else takes away.
        for (int i = 0; i < 3; ++i)
            sendto(stranger.fd, "zz", 2, 0, reinterpret_cast<sockaddr*>(&wakeupAddress), sizeof wakeupAddress);
        for (int i = 0; i < 3; ++i) KrIOThreadWakeup();
        char bytes[8];
        while (recv(wakeup, bytes, sizeof bytes, MSG_DONTWAIT) > 0) {
        }
        Reader reader;
        KRIO_HNDL* channel = OpenActiveUdp(peer.address, &reader);
        ASSERT_NE(channel, nullptr);
        SendTo(peer, channel, "ping");
        ASSERT_TRUE(reader.events.AtLeast(1)) << "round " << round;
        KrIOClose(channel);
    }
    EXPECT_EQ(KrIOThreadRunning(), 1);
    EXPECT_EQ(TraceCount("terminating io-thread"), 0);
}

TEST_F(IoThread, ASocketClosedUnderItDoesNotEndIt) {
    RawSocket peer(SOCK_DGRAM);
    Reader reader;
    KRIO_HNDL* watched = OpenActiveUdp(peer.address, &reader);
    ASSERT_NE(watched, nullptr);
    // The socket is closed behind the layer's back while it is watched (select fails with
    // WSAENOTSOCK until it leaves the sets); then its number is taken again by a descriptor that
    // reads nothing, so that the channel's own close closes that one and no other socket.
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const int number = watched->socket;
    close(number);
    KrIOThreadWakeup();
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the thread meets the closed socket
    ASSERT_EQ(dup2(pipeEnds[0], number), number);
    reader.channel = nullptr;
    KrIOClose(watched);
    close(pipeEnds[0]);
    close(pipeEnds[1]);

    Reader second;
    KRIO_HNDL* other = OpenActiveUdp(peer.address, &second);
    ASSERT_NE(other, nullptr);
    SendTo(peer, other, "alive");
    ASSERT_TRUE(second.events.AtLeast(1));
    EXPECT_EQ(KrIOThreadRunning(), 1);
    EXPECT_EQ(TraceCount("terminating io-thread"), 0);
    KrIOClose(other);
}

TEST(IoModule, StartAndStopAreCountedAndStoppingEndsTheThread) {
    KrErrorInit();
    KrTimeModuleInit();
    KrIOModuleInit();
    KrIOModuleInit();
    EXPECT_EQ(KrIOThreadRunning(), 1);
    KrIOModuleCleanup();
    EXPECT_EQ(KrIOThreadRunning(), 1) << "one start is left";
    KrIOModuleCleanup();
    EXPECT_EQ(KrIOThreadRunning(), 0);
    KrIOModuleCleanup(); // one too many: nothing happens
    KrIOModuleInit();
    EXPECT_EQ(KrIOThreadRunning(), 1) << "started again";
    KrIOModuleCleanup();
    EXPECT_EQ(KrIOThreadRunning(), 0);
    KrTimeModuleCleanup();
}

// ---- the dead-man accounting, on a test clock ----

std::atomic<uint32_t> g_now{100000};
uint32_t TestTick() {
    return g_now.load();
}

std::mutex g_passLock;
std::condition_variable g_passChanged;
KRTIME g_lastPass{0, 0, 0};
void PassDone(const KRTIME* now) {
    std::lock_guard<std::mutex> hold(g_passLock);
    g_lastPass = *now;
    g_passChanged.notify_all();
}

class IoDeadMan : public kio::Transport {
protected:
    void SetUp() override {
        g_now = 100000;
        KrTimeSetTickSource(TestTick);
        KrTmoSetPassHook(PassDone);
        kio::Transport::SetUp();
    }
    void TearDown() override {
        kio::Transport::TearDown();
        KrTmoSetPassHook(nullptr);
        KrTimeSetTickSource(nullptr);
    }
    // Moves the clock on and waits until the timeout thread has looked at the new time.
    void Advance(uint32_t ms) {
        g_now += ms;
        KRTIME target;
        KrGetTime(&target);
        KrTmoWakeup();
        std::unique_lock<std::mutex> hold(g_passLock);
        ASSERT_TRUE(g_passChanged.wait_for(hold, std::chrono::seconds(kio::kGuardSeconds),
                                           [&] { return KrTimeGreaterEqual(&g_lastPass, &target); }));
    }
};

TEST_F(IoDeadMan, SlowEventsAreReportedOnceTheFirstTenHavePassed) {
    RawSocket peer(SOCK_DGRAM);
    Reader reader;
    std::atomic<uint32_t> step{0};
    std::vector<int> reportsBefore; // delay lines in the trace when each event begins
    reader.during = [&] {
        reportsBefore.push_back(TraceCount("delay handling io event."));
        g_now += step.load(); // the event "takes" this long
    };
    KRIO_HNDL* channel = OpenActiveUdp(peer.address, &reader);
    ASSERT_NE(channel, nullptr);
    struct Case {
        uint32_t ms;
        int reports; // delay lines after this event, in all
    } cases[] = {
        {25, 0}, {25, 0}, {25, 0}, {25, 0}, {25, 0}, {25, 0}, {3000, 0}, {25, 0}, {25, 0}, {25, 0}, // grace
        {25, 1}, {19, 1}, {1999, 2}, {2500, 3}, {0, 3},
    };
    size_t n = 0;
    for (const Case& c : cases) {
        step = c.ms;
        SendTo(peer, channel, "tick");
        ASSERT_TRUE(reader.events.AtLeast(++n));
    }
    step = 0;
    SendTo(peer, channel, "last"); // its start sees the accounting of the one before
    ASSERT_TRUE(reader.events.AtLeast(++n));
    ASSERT_EQ(reportsBefore.size(), n);
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(reportsBefore[i + 1], cases[i].reports) << "event " << i + 1 << " of " << cases[i].ms << " ms";
    EXPECT_EQ(TraceCount("25ms. delay handling io event."), 1);
    EXPECT_EQ(TraceCount("1999ms. delay handling io event."), 1);
    EXPECT_EQ(TraceCount("2500ms. delay handling io event."), 1);
    KrIOClose(channel);
}

TEST_F(IoDeadMan, TheTimerReportsAnEventBlockedForLong) {
    RawSocket peer(SOCK_DGRAM);
    Reader reader;
    std::mutex gate;
    std::condition_variable opened;
    bool blocked = false, release = false;
    reader.during = [&] {
        std::unique_lock<std::mutex> hold(gate);
        blocked = true;
        opened.notify_all();
        opened.wait(hold, [&] { return release; });
    };
    KRIO_HNDL* channel = OpenActiveUdp(peer.address, &reader);
    ASSERT_NE(channel, nullptr);
    SendTo(peer, channel, "stuck");
    {
        std::unique_lock<std::mutex> hold(gate);
        ASSERT_TRUE(opened.wait_for(hold, std::chrono::seconds(kio::kGuardSeconds), [&] { return blocked; }));
    }
    uint32_t elapsed = 0;
    EXPECT_EQ(KrIOThreadBlocked(&elapsed), 0u);
    Advance(31000);
    ASSERT_TRUE(kio::WaitUntil([&] { return TraceCount("io-thread blocked for 31000ms.") == 1; }));
    EXPECT_EQ(TraceCount("level=KrCrit KrIOThreadDeadManTimer: io-thread blocked for 31000ms."), 1);
    Advance(5000);
    EXPECT_EQ(KrIOThreadBlocked(&elapsed), 0u) << "the report restarted the measurement";
    EXPECT_EQ(elapsed, 5000u);
    Advance(2000);
    EXPECT_EQ(KrIOThreadBlocked(&elapsed), 0u) << "under 30 s, within the first ten events";
    EXPECT_EQ(elapsed, 7000u);
    {
        std::lock_guard<std::mutex> hold(gate);
        release = true;
        opened.notify_all();
    }
    ASSERT_TRUE(reader.events.AtLeast(1));
    KrIOClose(channel);
}

}  // namespace
