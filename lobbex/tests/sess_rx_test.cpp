// A session of no transport fed received datagrams (KrSessRxDatagram): with only the session,
// request, key and receive-heap modules started (no io or timeout thread), each datagram is
// framed and dispatched on the calling thread before the call returns, to this session only when
// the message names it; a disconnect carrying its words closes it; cut and mutated datagrams
// deliver nothing they do not hold.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <thread>

#include "krerrno.h"
#include "krmux_ctl.h"
#include "krmux_rx.h"
#include "krrq_req.h"
#include "sess_fixture.h"

namespace {

using ks::Bytes;

constexpr uint32_t kWord = 0x5E550001;
constexpr uint32_t kId = KRSESS_UNATTACHED_ID;

struct Seen {
    uint32_t code;
    Bytes data;
    std::thread::id thread;
};

void Record(KRSESS_HNDL* session, void* context, uint32_t code, uint8_t* data, uint32_t length, KRREQ_HNDL* request) {
    static_cast<std::vector<Seen>*>(context)->push_back(Seen{code, Bytes(data, data + length), std::this_thread::get_id()});
    if (code == KRSESS_CODE_OPENED || code == KRSESS_CODE_CLOSED)
        KrSReqNoRespComplete(session, request);
    else
        KrSReqComplete(session, request, code + 1, data, length);
}

class SessRx : public ::testing::Test {
protected:
    void SetUp() override {
        KrErrorInit();
        ASSERT_EQ(KrSessModuleInit(), 0);
        ASSERT_EQ(KrReqModuleInit(), 0);
        ASSERT_EQ(KrReqCryptModuleInit(), 0);
        ASSERT_EQ(KrMuxRxBufHeapInit(), 0);
    }
    void TearDown() override {
        if (session_ && KrSessState(session_) != KRSESS_DESTROYED) KrSessClose(session_);
        EXPECT_EQ(KrSessCount(), 0u);
        EXPECT_EQ(KrMuxRxBufCount(), 0u);
        KrMuxRxBufHeapDestroy();
        KrReqCryptModuleCleanup();
        KrReqModuleCleanup();
        KrSessModuleCleanup();
    }
    KRSESS_HNDL* Open() {
        session_ = KrSessOpenUnattached(0, kWord, Record, &seen_);
        return session_;
    }
    void Feed(const Bytes& datagram) {
        // A copy of exactly the datagram's length, so that the sanitizer sees any read beyond it.
        std::unique_ptr<uint8_t[]> exact(new uint8_t[datagram.size() + 1]);
        std::copy(datagram.begin(), datagram.end(), exact.get());
        KrSessRxDatagram(session_, exact.get(), (uint32_t)datagram.size());
    }
    static Bytes Disconnect(uint32_t word) {
        return ks::Control(KRSESS_CNTL_DISCONNECT, kId, ks::Words({KR_SESS_VERSION, word, KR_ADDR_WORD_UNSET, KR_ADDR_WORD_UNSET}));
    }
    KRSESS_HNDL* session_ = nullptr;
    std::vector<Seen> seen_;
};

TEST_F(SessRx, EachDatagramIsDispatchedOnTheCallingThreadBeforeTheCallReturns) {
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(KrSessState(session_), (uint32_t)KRSESS_OPEN);
    const Bytes payload = {1, 2, 3, 4, 5};
    // What reaches the handler, datagram by datagram: only what names this session's id.
    const struct {
        const char* what;
        Bytes datagram;
        size_t delivered; // handler calls after it, in all
        uint32_t state;
    } cases[] = {
        {"a request", ks::Request(kId, 0, 0x21, payload, 0), 1, KRSESS_OPEN},
        {"a request for another id", ks::Request(kId + 1, 1, 0x21, payload, 0), 1, KRSESS_OPEN},
        {"the next request", ks::Request(kId, 1, 0x23, {}, 0), 2, KRSESS_OPEN},
        {"a heartbeat", ks::Control(KRSESS_CNTL_HEARTBEAT, kId, {}), 2, KRSESS_OPEN},
        {"a connect, which finds no listening session", ks::Control(KRSESS_CNTL_CONNECT, kId, Bytes(24, 0)), 2,
         KRSESS_OPEN},
        {"a disconnect for another session word", Disconnect(kWord + 1), 2, KRSESS_OPEN},
        {"a disconnect for another id",
         ks::Control(KRSESS_CNTL_DISCONNECT, kId + 1,
                     ks::Words({KR_SESS_VERSION, kWord, KR_ADDR_WORD_UNSET, KR_ADDR_WORD_UNSET})),
         2, KRSESS_OPEN},
        {"its disconnect: the closed notice", Disconnect(kWord), 3, KRSESS_CLOSED},
        {"a request after the close", ks::Request(kId, 2, 0x21, payload, 0), 3, KRSESS_CLOSED},
    };
    for (const auto& c : cases) {
        Feed(c.datagram);
        EXPECT_EQ(seen_.size(), c.delivered) << c.what;
        EXPECT_EQ(KrSessState(session_), c.state) << c.what;
    }
    ASSERT_EQ(seen_.size(), 3u);
    EXPECT_EQ(seen_[0].code, 0x21u);
    EXPECT_EQ(seen_[0].data, payload);
    EXPECT_EQ(seen_[1].code, 0x23u);
    EXPECT_EQ(seen_[2].code, KRSESS_CODE_CLOSED);
    EXPECT_EQ(seen_[2].data, ks::Words({KRSESS_REASON_DISCONNECT}));
    for (const Seen& s : seen_) EXPECT_EQ(s.thread, std::this_thread::get_id());
}

TEST_F(SessRx, CutAndMutatedDatagramsDeliverNothingTheyDoNotHold) {
    ASSERT_NE(Open(), nullptr);
    const Bytes request = ks::Request(kId, 0, 0x21, Bytes(40, 0x5A), 0);
    // Every cut of a request is dropped whole.
    for (size_t n = 0; n < request.size(); ++n) {
        Feed(Bytes(request.begin(), request.begin() + (long)n));
        ASSERT_TRUE(seen_.empty()) << n;
    }
    Feed(request);
    ASSERT_EQ(seen_.size(), 1u);
    // Mutations of every kind of message: whatever is delivered lies within the datagram, and the
    // session (opened again when a mutation closed it) goes on taking datagrams.
    const Bytes seeds[] = {request, Disconnect(kWord), ks::Control(KRSESS_CNTL_HEARTBEAT, kId, {}),
                           ks::Control(KRSESS_CNTL_OPT_SET, kId, Bytes(16, 1)),
                           ks::Control(KRSESS_CNTL_KEY_SET, kId, Bytes(24, 2)),
                           ks::Request(kId, 0, 0x22, Bytes(8, 3), 1)};
    std::mt19937 rng(4711);
    for (int round = 0; round < 5000; ++round) {
        Bytes b = seeds[round % std::size(seeds)];
        for (int e = 1 + (int)(rng() % 4); e > 0; --e) {
            switch (rng() % 3) {
            case 0: b[rng() % b.size()] = (uint8_t)rng(); break;
            case 1: b.insert(b.begin() + rng() % (b.size() + 1), (uint8_t)rng()); break;
            default:
                if (b.size() > 1) b.erase(b.begin() + rng() % b.size());
            }
        }
        seen_.clear();
        Feed(b);
        for (const Seen& s : seen_) EXPECT_LE(s.data.size(), b.size()) << round;
        if (KrSessState(session_) != KRSESS_OPEN) {
            KrSessClose(session_);
            ASSERT_NE(Open(), nullptr);
        }
    }
}

// Its sends all fail: a client request, small (sent from a copy with the session lock left) or
// large (sent from the request itself), is refused at once, its callback never called, and
// nothing of it stays pending or allocated.
TEST_F(SessRx, ARequestWhoseSendFailsIsRefusedOnceAndLeavesNothing) {
    ASSERT_NE(Open(), nullptr);
    const uint32_t handles = KrReqHndlCount(), buffers = KrReqMsgCount();
    int calls = 0;
    auto callback = [](KRSESS_HNDL*, uint32_t, uint8_t*, uint32_t, void* context) { ++*static_cast<int*>(context); };
    for (const uint32_t size : {16u, 600u}) {
        const Bytes payload(size, 0x42);
        EXPECT_NE(KrCReq(session_, 0x21, payload.data(), size, callback, &calls), 0) << size;
        EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_IO) << size;
        EXPECT_EQ(calls, 0) << size;
        EXPECT_EQ(KrReqHndlCount(), handles) << size;
        EXPECT_EQ(KrReqMsgCount(), buffers) << size;
    }
    for (uint32_t sequence : {0u, 1u}) EXPECT_EQ(KrReqPendFind(session_, sequence), nullptr) << sequence;
}

}  // namespace
