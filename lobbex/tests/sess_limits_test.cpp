// What sessions opened from the network may hold: a listening session keeps at most its bound of
// clones whose peer has not been heard beyond the connect (a flood of connects from new ports is
// dropped past it, counted and logged, while confirmed sessions and later ones work on), and a
// thousand sessions opened and closed leave the library's heaps and tables as they found them
// (a session closed by its peer is the user's to close).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

#include "krmux.h"
#include "krmux_rx.h"
#include "krrq_key.h"
#include "krrq_req.h"
#include "sess_fixture.h"
#include "test_machine.h"

namespace {

using ks::Bytes;
using ks::Words;

uint32_t Stat(KRSESS_HNDL* s, uint32_t word) {
    uint32_t record[KRSESS_STAT_WORDS] = {};
    EXPECT_EQ(KrSessStatGet(s, record), 0);
    return record[word];
}

void SetBound(std::optional<uint32_t> value) {
    if (!value) {
        kt::DeleteValue("MAIN", "MAXUNCONFIRMEDSESSIONS");
        return;
    }
    const uint32_t v = *value;
    kt::SetBinary("MAIN", "MAXUNCONFIRMEDSESSIONS",
                  {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)});
}

// Connects that nobody follows up: each from a socket of its own (a new port), with the
// default heartbeat pair so that the clone times out like any silent peer. They go in bursts
// that the listener's socket buffer holds, each taken in before the next is sent.
class Flood {
public:
    explicit Flood(uint16_t port) : to_(kio::Loopback(port)) {}
    ~Flood() {
        for (int fd : fds_) close(fd);
    }
    void Send(int count) {
        for (int i = 0; i < count; ++i) {
            const uint32_t n = (uint32_t)fds_.size();
            int fd = socket(AF_INET, SOCK_DGRAM, 0);
            ASSERT_GE(fd, 0);
            fds_.push_back(fd);
            const Bytes hello = ks::Control(KRSESS_CNTL_CONNECT, 100 + n,
                                            Words({102, 0x1000u + n, 0x7FFFFFFF, 0x7FFFFFFF, 10000, 3}));
            ASSERT_EQ(sendto(fd, hello.data(), hello.size(), 0, reinterpret_cast<const sockaddr*>(&to_), sizeof to_),
                      (ssize_t)hello.size());
        }
    }

private:
    sockaddr_in to_;
    std::vector<int> fds_;
};

class SessLimits : public ks::Sessions {
protected:
    void TearDown() override {
        ks::Sessions::TearDown();
        kt::DeleteValue("MAIN", "MAXUNCONFIRMEDSESSIONS");
    }
    // Sends `connects` connects from new ports in bursts, waiting after each until the listener
    // has dealt with it (made a clone or dropped the connect); `already` connects came before.
    bool FloodAndWait(Flood& flood, KRSESS_HNDL* listener, int connects, uint32_t already = 0) {
        constexpr int kBurst = 50;
        for (int sent = 0; sent < connects;) {
            const int n = std::min(kBurst, connects - sent);
            flood.Send(n);
            sent += n;
            const uint32_t expect = already + (uint32_t)sent;
            if (!kio::WaitUntil([&] {
                    return Stat(listener, KRSTAT_CLONES) + Stat(listener, KRSTAT_OPENS_DROPPED) >= expect;
                }))
                return false;
        }
        return true;
    }
    uint32_t Call(KRSESS_HNDL* client) {
        char answer[8] = {};
        return KrCReqSync(client, 0x40, "ping", 4, answer, sizeof answer);
    }
};

constexpr char kDropped[] = "sessions opened from the network are not confirmed yet; connect dropped";

TEST_P(SessLimits, AFloodOfConnectsHoldsAtMostTheBoundOfUnconfirmedClones) {
    if (Tcp()) GTEST_SKIP() << "connects from ever new ports: a datagram flood";
    struct Case {
        const char* what;
        std::optional<uint32_t> value; // the registry value, none when missing
        uint32_t bound;
        int connects;
    };
    const Case cases[] = {
        {"no value: the default", std::nullopt, KRSESS_UNCONFIRMED_DEFAULT, 300},
        {"a value of its own", 5, 5, 20},
        {"zero stands for the default", 0, KRSESS_UNCONFIRMED_DEFAULT, 260},
        {"a bound of one", 1, 1, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetBound(c.value);
        const int logged = TraceCount(kDropped);
        uint16_t port = 0;
        KRSESS_HNDL* listener = Listen(&port);
        ASSERT_NE(listener, nullptr);
        Flood flood(port);
        ASSERT_TRUE(FloodAndWait(flood, listener, c.connects));
        EXPECT_EQ(KrSessUnconfirmedCount(listener), c.bound);
        EXPECT_EQ(Stat(listener, KRSTAT_CLONES), c.bound);
        EXPECT_EQ(Stat(listener, KRSTAT_OPENS_DROPPED), (uint32_t)c.connects - c.bound);
        EXPECT_EQ(TraceCount(kDropped) - logged, c.connects - (int)c.bound);
        CloseAll();
    }
}

TEST_P(SessLimits, ConfirmedSessionsWorkThroughTheFloodAndNewOnesAfterIt) {
    if (Tcp()) GTEST_SKIP() << "connects from ever new ports: a datagram flood";
    SetBound(4);
    uint16_t port = 0;
    KRSESS_HNDL* listener = Listen(&port);
    ASSERT_NE(listener, nullptr);
    KRSESS_HNDL* early = Open(port, {}, &client_);
    ASSERT_NE(early, nullptr) << Trace();
    EXPECT_EQ(KrSessUnconfirmedCount(listener), 1u) << "heard nothing but the connect yet";
    EXPECT_EQ(Call(early), 0x41u);
    EXPECT_EQ(KrSessUnconfirmedCount(listener), 0u) << "a request confirms the clone";

    Flood flood(port);
    ASSERT_TRUE(FloodAndWait(flood, listener, 10, 1));
    EXPECT_EQ(KrSessUnconfirmedCount(listener), 4u);
    EXPECT_EQ(Stat(listener, KRSTAT_OPENS_DROPPED), 6u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Call(early), 0x41u) << "a confirmed session works on";
    KrSessClose(early);

    // The silent peers time out like any other; their places come free.
    for (int s = 0; s < 4; ++s) ks::Advance(10000);
    ASSERT_TRUE(kio::WaitUntil([&] { return KrSessUnconfirmedCount(listener) == 0; }))
        << KrSessUnconfirmedCount(listener);
    KRSESS_HNDL* late = Open(port, {}, &client_);
    ASSERT_NE(late, nullptr) << Trace();
    EXPECT_EQ(Call(late), 0x41u);
    EXPECT_EQ(KrSessUnconfirmedCount(listener), 0u);
    EXPECT_EQ(Stat(listener, KRSTAT_OPENS_DROPPED), 6u);
}

// The library's counters of what it holds.
struct Holdings {
    uint32_t sessions, muxes, rxBuffers, requests, messages, cryptHandles;
    bool operator==(const Holdings&) const = default;
};
Holdings Now() {
    return {KrSessCount(), KrMuxCount(), KrMuxRxBufCount(), KrReqHndlCount(), KrReqMsgCount(), KrReqCryptHndlCount()};
}
std::ostream& operator<<(std::ostream& out, const Holdings& h) {
    return out << h.sessions << " sessions, " << h.muxes << " muxes, " << h.rxBuffers << " receive buffers, "
               << h.requests << " requests, " << h.messages << " messages, " << h.cryptHandles << " crypt handles";
}

TEST_P(SessLimits, SessionsOpenedAndClosedLeaveTheHeapsAndTablesAsTheyWere) {
    uint16_t port = 0;
    KRSESS_HNDL* listener = Listen(&port);
    ASSERT_NE(listener, nullptr);
    const Holdings before = Now();
    // The client ends each session; the server closes its side on the closed notice, as a
    // server must. Over TCP every session has a connection of its own whose port stays taken
    // for a while after it closes (the active side binds in the library's port range): fewer.
    const int rounds = Tcp() ? 20 : 1000;
    for (int i = 0; i < rounds; ++i) {
        const size_t opened = rec_.Count(KRSESS_CODE_OPENED), closed = rec_.Count(KRSESS_CODE_CLOSED);
        KRSESS_HNDL* client = Open(port, {}, &client_);
        ASSERT_NE(client, nullptr) << Trace();
        ASSERT_EQ(Call(client), 0x41u);
        ASSERT_TRUE(rec_.Wait([&] { return rec_.Count(KRSESS_CODE_OPENED) > opened; }));
        KrSessClose(client);
        ASSERT_TRUE(rec_.Wait([&] { return rec_.Count(KRSESS_CODE_CLOSED) > closed; }));
        KRSESS_HNDL* clone = nullptr;
        {
            std::lock_guard<std::mutex> hold(rec_.lock);
            clone = rec_.seen.back().session;
            rec_.seen.clear();
        }
        KrSessClose(clone);
        std::lock_guard<std::mutex> hold(client_.lock);
        client_.seen.clear();
        opened_.pop_back();
    }
    ASSERT_TRUE(kio::WaitUntil([&] { return Now() == before; })) << Now() << " against " << before;
    EXPECT_EQ(KrSessUnconfirmedCount(listener), 0u);
    EXPECT_EQ(Stat(listener, KRSTAT_CLONES), (uint32_t)rounds);
    EXPECT_EQ(Stat(listener, KRSTAT_CLONES_CLOSED), (uint32_t)rounds);

    // A clone closed by its peer stays the server's until the server closes it too: a server
    // that never does holds per finished session its record, its two crypt handles and its
    // answered requests (kept to answer repeats until the session goes).
    constexpr int kKept = 10;
    for (int i = 0; i < kKept; ++i) {
        const size_t closed = rec_.Count(KRSESS_CODE_CLOSED);
        KRSESS_HNDL* client = Open(port, {}, &client_);
        ASSERT_NE(client, nullptr) << Trace();
        ASSERT_EQ(Call(client), 0x41u);
        KrSessClose(client);
        opened_.pop_back();
        ASSERT_TRUE(rec_.Wait([&] { return rec_.Count(KRSESS_CODE_CLOSED) > closed; }));
    }
    ASSERT_TRUE(kio::WaitUntil([&] { return KrMuxCount() == before.muxes; }));
    EXPECT_EQ(Now().sessions, before.sessions + kKept);
    EXPECT_EQ(Now().cryptHandles, before.cryptHandles + 2 * kKept);
    EXPECT_EQ(Now().requests, before.requests + kKept);
    CloseAll(); // closes the clones, as a server does on the closed notice
    EXPECT_EQ(Now(), (Holdings{}));
}

INSTANTIATE_TEST_SUITE_P(UdpAndTcp, SessLimits, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& i) { return i.param ? "Tcp" : "Udp"; });

}  // namespace
