// Client and server requests: echoes completed exactly once, synchronously and by callback,
// with a cut synchronous buffer; retransmissions and the time-out against the test clock;
// responses that fail their checks, come for nothing or come twice; duplicate requests answered
// with the same bytes; the zombie limit; completion when the session goes; a synchronous call
// from a callback; and more than 70,000 requests crossing the 16-bit sequence wrap.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "krerrno.h"
#include "krlog.h"
#include "krmux.h"
#include "krrq_seq.h"
#include "sess_fixture.h"

namespace {

using ks::Bytes;
using ks::Packet;
using ks::Words;

uint32_t Stat(KRSESS_HNDL* s, uint32_t word) {
    uint32_t record[KRSESS_STAT_WORDS] = {};
    EXPECT_EQ(KrSessStatGet(s, record), 0);
    return record[word];
}

// Completions by request number (the context).
struct Completions {
    std::mutex lock;
    std::map<uintptr_t, std::vector<std::pair<uint32_t, Bytes>>> got;
    std::atomic<size_t> total{0};
    size_t Times(uintptr_t n) {
        std::lock_guard<std::mutex> hold(lock);
        auto it = got.find(n);
        return it == got.end() ? 0 : it->second.size();
    }
    std::pair<uint32_t, Bytes> First(uintptr_t n) {
        std::lock_guard<std::mutex> hold(lock);
        return got[n].at(0);
    }
};
Completions* g_Done = nullptr;

void Done(KRSESS_HNDL*, uint32_t status, uint8_t* data, uint32_t length, void* context) {
    std::lock_guard<std::mutex> hold(g_Done->lock);
    g_Done->got[(uintptr_t)context].emplace_back(status, Bytes(data, data + length));
    ++g_Done->total;
}

Bytes Payload(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = (uint8_t)(seed + i * 7);
    return b;
}

class Rq : public ks::Sessions {
protected:
    void SetUp() override {
        ks::Sessions::SetUp();
        g_Done = &done_;
    }
    void TearDown() override {
        ks::Sessions::TearDown();
        g_Done = nullptr;
    }
    // A raw client connected to a listening session: the socket, and the clone's id.
    int RawClient(uint16_t port, uint32_t ourId, uint32_t* cloneId) {
        int fd = socket(AF_INET, Tcp() ? SOCK_STREAM : SOCK_DGRAM, 0);
        sockaddr_in to = kio::Loopback(port);
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
        SendRaw(fd, ks::Control(KRSESS_CNTL_CONNECT, ourId, Words({102, 0x51, 0x7FFFFFFF, 0x7FFFFFFF, 0, 0})));
        Packet ack;
        EXPECT_TRUE(ReadRaw(fd, &ack));
        *cloneId = ack.h.id;
        EXPECT_TRUE(rec_.Wait([&] { return rec_.Count(KRSESS_CODE_OPENED) >= 1; }));
        return fd;
    }
    static void SendRaw(int fd, const Bytes& b) { ASSERT_EQ(send(fd, b.data(), b.size(), MSG_NOSIGNAL), (ssize_t)b.size()); }
    // The next packet, or false when none comes within `guardMs`.
    bool ReadRaw(int fd, Packet* p, int guardMs = kio::kGuardSeconds * 1000) {
        for (;;) {
            std::vector<Packet> got;
            size_t used = 0;
            if (!pending_.empty() && ks::Parse(pending_, &got, &used) && !got.empty()) {
                pending_.erase(pending_.begin(), pending_.begin() + (long)got[0].raw.size());
                *p = got[0];
                return true;
            }
            pollfd w{fd, POLLIN, 0};
            if (poll(&w, 1, guardMs) <= 0) return false;
            uint8_t buffer[4096];
            ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) return false;
            pending_.insert(pending_.end(), buffer, buffer + n);
        }
    }
    Completions done_;
    Bytes pending_;
};

TEST_P(Rq, EchoesCompleteExactlyOnceWithTheirPayload) {
    uint16_t port = 0;
    ASSERT_NE(Listen(&port), nullptr);
    KRSESS_HNDL* s = Open(port);
    ASSERT_NE(s, nullptr) << Trace();
    // Sizes across one datagram, several datagrams and the header forms.
    const size_t sizes[] = {0, 1, 16, 31, 511, 512, 600, 3000};
    uintptr_t n = 0;
    // A few in flight at a time: a full TCP ring refuses a message rather than wait.
    for (int round = 0; round < 3; ++round)
        for (size_t size : sizes) {
            ASSERT_TRUE(kio::WaitUntil([&] { return done_.total + 4 > n; }));
            Bytes p = Payload(size, (uint8_t)n);
            ASSERT_EQ(KrCReq(s, (uint32_t)(n % 200), p.data(), (uint32_t)size, Done, (void*)n), 0);
            ++n;
        }
    ASSERT_TRUE(kio::WaitUntil([&] { return done_.total == n; })) << Trace();
    for (uintptr_t i = 0; i < n; ++i) {
        ASSERT_EQ(done_.Times(i), 1u) << i;
        auto [status, data] = done_.First(i);
        EXPECT_EQ(status, (uint32_t)(i % 200) + 1);
        EXPECT_EQ(data, Payload(sizes[i % 8], (uint8_t)i)) << i;
    }
    // A synchronous caller's buffer cuts the response: status 3 and the first 10 bytes.
    const Bytes twenty = Payload(20, 3);
    uint8_t cut[10] = {};
    EXPECT_EQ(KrCReqSync(s, 5, twenty.data(), 20, cut, sizeof cut), 3u);
    EXPECT_EQ(Bytes(cut, cut + 10), Bytes(twenty.begin(), twenty.begin() + 10));
    uint8_t whole[20] = {};
    EXPECT_EQ(KrCReqSync(s, 5, twenty.data(), 20, whole, sizeof whole), 6u);
    // Bad calls: a listening session, data missing, a session that is gone.
    KRSESS_HNDL* listener = opened_[0];
    EXPECT_EQ(KrCReq(listener, 1, nullptr, 0, Done, nullptr), 1);
    EXPECT_EQ(KrCReq(s, 1, nullptr, 4, Done, nullptr), 1);
    EXPECT_EQ(KrCReqSync(reinterpret_cast<KRSESS_HNDL*>(0x1000), 1, nullptr, 0, nullptr, 0), 1u);
    EXPECT_EQ(Stat(s, KRSTAT_CREQ), (uint32_t)n + 2);
    EXPECT_EQ(Stat(s, KRSTAT_CRESP), (uint32_t)n + 2);
}

TEST_P(Rq, RetransmissionsAndTheTimeOutFollowTheClock) {
    ks::RawPeer silent(Tcp());
    KRSESS_HNDL* s = OpenToRaw(silent, 4, 0, 0,
                               {{KRSESS_OPTID_TXHB, 0}, {KRSESS_OPTID_REQ_TMO, 3000}, {KRSESS_OPTID_REQ_TRIES, 3}});
    ASSERT_NE(s, nullptr) << Trace();
    ASSERT_EQ(KrCReq(s, 9, "abc", 3, Done, (void*)1), 0);
    Packet first, again;
    ASSERT_TRUE(silent.Next(&first));
    EXPECT_EQ(first.h.id, 4u);
    const size_t sends = Tcp() ? 1 : 3; // tries count on unreliable sessions only
    for (size_t i = 1; i < 3; ++i) {
        ks::Advance(999);
        EXPECT_FALSE(silent.Next(&again, 50));
        ks::Advance(1);
        if (i < sends) {
            ASSERT_TRUE(silent.Next(&again));
            EXPECT_EQ(again.raw, first.raw) << "the same bytes again";
        }
    }
    EXPECT_EQ(done_.Times(1), 0u);
    ks::Advance(1000);
    ASSERT_TRUE(kio::WaitUntil([&] { return done_.Times(1) == 1; }));
    EXPECT_EQ(done_.First(1).first, 13u);
    EXPECT_EQ(Stat(s, KRSTAT_CREQ_RETX), (uint32_t)sends - 1);
    EXPECT_EQ(Stat(s, KRSTAT_CREQ_TMO), 1u);
    ks::Advance(10000);
    EXPECT_EQ(done_.Times(1), 1u) << "completed once";
    // Per request: 2 tries, still spaced by the session's tries (3000 / 3).
    ASSERT_EQ(KrCReqEx(s, 9, "abc", 3, Done, (void*)2, KRSESS_OPTID_REQ_TRIES, 2u, KRSESS_OPTID_END), 0);
    ASSERT_TRUE(silent.Next(&first));
    ks::Advance(1000);
    if (!Tcp()) {
        ASSERT_TRUE(silent.Next(&again));
    }
    ks::Advance(1000);
    if (Tcp()) ks::Advance(1000); // one try for the whole time-out
    ASSERT_TRUE(kio::WaitUntil([&] { return done_.Times(2) == 1; }));
    EXPECT_EQ(done_.First(2).first, 13u);
    // No try at all is refused, nothing is sent.
    KrErrorSet(0);
    EXPECT_EQ(KrCReqEx(s, 9, "abc", 3, Done, (void*)3, KRSESS_OPTID_REQ_TRIES, 0u, KRSESS_OPTID_END), 1);
    EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_PARAM);
    EXPECT_FALSE(silent.Next(&again, 50));
}

TEST_P(Rq, AResponseThatFailsItsCheckLeavesTheRequestWaiting) {
    ks::RawPeer peer(Tcp());
    KRSESS_HNDL* s = OpenToRaw(peer, 6, 0, 0, {{KRSESS_OPTID_TXHB, 0}});
    ASSERT_NE(s, nullptr) << Trace();
    const uint32_t ours = s->link.localId;
    ASSERT_EQ(KrCReq(s, 0x22, "ping", 4, Done, (void*)7), 0);
    Packet request;
    ASSERT_TRUE(peer.Next(&request));
    const uint32_t seq = request.h.sequence;
    Bytes good = ks::Request(ours, seq, 0x99, Bytes{1, 2, 3}, 1);
    Bytes corrupt = good;
    corrupt.back() ^= 0x01; // the trailer no longer carries the sequence number
    peer.Send(corrupt);
    ASSERT_TRUE(kio::WaitUntil([&] { return Stat(s, KRSTAT_CRESP_BAD) == 1; }));
    EXPECT_EQ(done_.Times(7), 0u) << "still waiting";
    peer.Send(ks::Request(ours, seq + 1, 0x99, {}, 1)); // no such request
    ASSERT_TRUE(kio::WaitUntil([&] { return TraceCount("]: Received response for unknown request seq: ") == 1; }));
    peer.Send(good);
    ASSERT_TRUE(kio::WaitUntil([&] { return done_.Times(7) == 1; }));
    EXPECT_EQ(done_.First(7), (std::pair<uint32_t, Bytes>{0x99, Bytes{1, 2, 3}}));
    peer.Send(good); // a late duplicate finds the request gone
    ASSERT_TRUE(kio::WaitUntil([&] { return Stat(s, KRSTAT_CRESP_DROP) == 3; }));
    EXPECT_EQ(done_.Times(7), 1u);
    EXPECT_EQ(Stat(s, KRSTAT_CRESP), 1u);
}

TEST_P(Rq, DuplicatesGetTheSameBytesAndReachTheHandlerOnce) {
    uint16_t port = 0;
    ASSERT_NE(Listen(&port), nullptr);
    uint32_t clone = 0;
    int fd = RawClient(port, 321, &clone);
    // Written out by hand: form B, id 0, sequence 0, 3 bytes, request; code 0x21; the payload;
    // the trailer carries the sequence number.
    ASSERT_EQ(clone, 0u);
    const Bytes request = {0x80, 0x00, 0x00, 0x06, 0x21, 0xAA, 0xBB, 0xCC, 0x00, 0x00};
    EXPECT_EQ(request, ks::Request(0, 0, 0x21, {0xAA, 0xBB, 0xCC}, 0));
    SendRaw(fd, request);
    Packet one, two;
    ASSERT_TRUE(ReadRaw(fd, &one));
    SendRaw(fd, request);
    ASSERT_TRUE(ReadRaw(fd, &two));
    EXPECT_EQ(two.raw, one.raw);
    EXPECT_EQ(one.h.id, 321u);
    EXPECT_EQ(one.h.code, 0x22u);
    EXPECT_EQ(one.payload, (Bytes{0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(rec_.Count(0x21), 1u);
    // A request still with the handler: its duplicate is dropped until it is answered.
    {
        std::lock_guard<std::mutex> hold(rec_.lock);
        rec_.hold = true;
    }
    const Bytes second = ks::Request(clone, 1, 0x30, {5}, 0);
    SendRaw(fd, second);
    ASSERT_TRUE(rec_.Wait([&] { return rec_.Count(0x30) == 1; }));
    SendRaw(fd, second);
    Packet none;
    EXPECT_FALSE(ReadRaw(fd, &none, 100));
    const ks::Delivery held = rec_.Held().at(0);
    ASSERT_EQ(KrSReqComplete(held.session, held.request, 0x77, "ok", 2), 0);
    rec_.Forget(held.request);
    ASSERT_TRUE(ReadRaw(fd, &one));
    EXPECT_EQ(one.h.code, 0x77u);
    EXPECT_EQ(KrSReqComplete(held.session, held.request, 0x77, "ok", 2), 1) << "answered once";
    SendRaw(fd, second);
    ASSERT_TRUE(ReadRaw(fd, &two));
    EXPECT_EQ(two.raw, one.raw);
    EXPECT_EQ(rec_.Count(0x30), 1u);
    EXPECT_EQ(Stat(held.session, KRSTAT_SRESP_AGAIN), 2u);
    // Far behind the newest: its zombie may be gone, so it is dropped, not taken as new.
    for (uint32_t seq = 2; seq <= 20; ++seq) SendRaw(fd, ks::Request(clone, seq, 0x40, {}, 0));
    ASSERT_TRUE(rec_.Wait([&] { return rec_.Count(0x40) == 19; }));
    SendRaw(fd, ks::Request(clone, 3, 0x41, {}, 0));
    ASSERT_TRUE(kio::WaitUntil([&] { return TraceCount("normalized to 3 - out of window 16.") == 1; })) << Trace();
    EXPECT_EQ(rec_.Count(0x41), 0u);
    close(fd);
}

TEST_P(Rq, UncompletedRequestsFallingOutOfTheWindowCloseTheSessionAtTheLimit) {
    uint16_t port = 0;
    ASSERT_NE(Listen(&port), nullptr);
    uint32_t clone = 0;
    int fd = RawClient(port, 2, &clone);
    // Answered requests never count: 40 of them leave the session open.
    for (uint32_t seq = 0; seq < 40; ++seq) SendRaw(fd, ks::Request(clone, seq, 1, {}, 0));
    Packet p;
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(ReadRaw(fd, &p));
    {
        std::lock_guard<std::mutex> hold(rec_.lock);
        rec_.hold = true;
    }
    // Held ones: with a window of 16, the 16th to fall behind is the limit (at least 16).
    for (uint32_t seq = 40; seq < 40 + 31; ++seq) SendRaw(fd, ks::Request(clone, seq, 2, {}, 0));
    ASSERT_TRUE(rec_.Wait([&] { return rec_.Count(2) == 31; }));
    KRSESS_HNDL* session = rec_.At(0).session;
    EXPECT_EQ(KrSessState(session), (uint32_t)KRSESS_OPEN);
    SendRaw(fd, ks::Request(clone, 71, 2, {}, 0));
    ASSERT_TRUE(rec_.Wait([&] { return !rec_.Reasons(session).empty(); })) << Trace();
    EXPECT_EQ(rec_.Reasons(session), std::vector<uint32_t>{3});
    EXPECT_EQ(TraceCount("]: Zombie list exceeded limit 16, shutting down session."), 1);
    // An expired request completes without sending anything.
    const ks::Delivery oldest = rec_.Held().at(0);
    EXPECT_EQ(KrSReqComplete(oldest.session, oldest.request, 1, nullptr, 0), 0);
    rec_.Forget(oldest.request);
    EXPECT_EQ(KrSReqComplete(oldest.session, oldest.request, 1, nullptr, 0), 1) << "no longer the session's";
    close(fd);
}

TEST_P(Rq, EveryPendingRequestCompletesWhenTheSessionGoes) {
    ks::RawPeer silent(Tcp());
    KRSESS_HNDL* s = OpenToRaw(silent, 1, 0, 0, {{KRSESS_OPTID_TXHB, 0}});
    ASSERT_NE(s, nullptr);
    for (uintptr_t i = 0; i < 3; ++i) ASSERT_EQ(KrCReq(s, 1, nullptr, 0, Done, (void*)i), 0);
    // One synchronous caller waits too: it must come back.
    uint32_t syncStatus = 0;
    std::thread waiter([&] {
        KrErrorInit();
        syncStatus = KrCReqSync(s, 1, nullptr, 0, nullptr, 0);
    });
    ASSERT_TRUE(kio::WaitUntil([&] { return Stat(s, KRSTAT_CREQ) == 4; }));
    KrSessClose(s);
    opened_.clear();
    waiter.join();
    EXPECT_EQ(syncStatus, 19u);
    for (uintptr_t i = 0; i < 3; ++i) {
        ASSERT_EQ(done_.Times(i), 1u);
        EXPECT_EQ(done_.First(i).first, 19u);
    }
}

std::atomic<uint32_t> g_InnerStatus{0};
void CallsSync(KRSESS_HNDL* s, uint32_t, uint8_t*, uint32_t, void*) {
    g_InnerStatus = KrCReqSync(s, 1, nullptr, 0, nullptr, 0) + 1000;
}

TEST_P(Rq, ASynchronousCallFromACallbackIsRefused) {
    uint16_t port = 0;
    ASSERT_NE(Listen(&port), nullptr);
    KRSESS_HNDL* s = Open(port);
    ASSERT_NE(s, nullptr);
    g_InnerStatus = 0;
    ASSERT_EQ(KrCReq(s, 1, nullptr, 0, CallsSync, nullptr), 0);
    ASSERT_TRUE(kio::WaitUntil([&] { return g_InnerStatus != 0; }));
    EXPECT_EQ(g_InnerStatus.load(), 1004u) << "status 4 instead of a thread that waits for itself";
}

void Slow(KRSESS_HNDL*, uint32_t, uint8_t*, uint32_t, void*) {
    ks::Bump(30000); // the io thread is held 30 s by the library's clock
    ++g_Done->total;
}

TEST_P(Rq, ACompletionThatHoldsTheIoThreadIsLogged) {
    uint16_t port = 0;
    ASSERT_NE(Listen(&port), nullptr);
    KRSESS_HNDL* s = Open(port);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(KrCReq(s, 8, nullptr, 0, Slow, nullptr), 0);
    ASSERT_TRUE(kio::WaitUntil([&] { return done_.total == 1; }));
    EXPECT_TRUE(kio::WaitUntil([&] { return TraceCount("ms. delay on ULP processing of creq[0x") == 1; })) << Trace();
    EXPECT_EQ(TraceCount("ms. delay on internal processing of creq[0x"), 0);
}

TEST_P(Rq, MoreThan70000RequestsCrossTheSequenceWrap) {
    if (!Tcp()) GTEST_SKIP() << "the numbering does not depend on the transport; a stream loses nothing";
    uint16_t port = 0;
    ASSERT_NE(Listen(&port), nullptr);
    KRSESS_HNDL* s = Open(port);
    ASSERT_NE(s, nullptr);
    constexpr uintptr_t kTotal = 70100, kInFlight = 64;
    for (uintptr_t n = 0; n < kTotal; ++n) {
        if (n >= kInFlight) {
            const size_t need = n - kInFlight + 1;
            ASSERT_TRUE(kio::WaitUntil([&] { return done_.total >= need; })) << n;
        }
        const uint32_t word = (uint32_t)n;
        ASSERT_EQ(KrCReq(s, 3, &word, 4, Done, (void*)(n & 0xFF)), 0) << n;
    }
    ASSERT_TRUE(kio::WaitUntil([&] { return done_.total == kTotal; }));
    size_t ok = 0;
    {
        std::lock_guard<std::mutex> hold(done_.lock);
        for (auto& [key, list] : done_.got)
            for (auto& [status, data] : list) ok += status == 4 && data.size() == 4;
    }
    EXPECT_EQ(ok, kTotal);
    EXPECT_GT(s->txSequence, 0x10000u);
    KRSESS_HNDL* clone = rec_.At(0).session;
    EXPECT_EQ(Stat(clone, KRSTAT_SREQ_DROP), 0u);
    EXPECT_EQ(Stat(clone, KRSTAT_SREQ), (uint32_t)kTotal + 1);
}

INSTANTIATE_TEST_SUITE_P(UdpAndTcp, Rq, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& i) { return i.param ? "Tcp" : "Udp"; });

}  // namespace
