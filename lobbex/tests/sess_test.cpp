// Sessions: open, connect and close between two sessions on loopback over UDP and TCP; connect
// retries and failures (a remote close while connecting fails the open); heartbeats and the
// receive time-out against the test clock, with the peer's session id out of step with ours;
// repeated connects; hostile control messages; the option-pair limit and the user references.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <thread>

#include "krerrno.h"
#include "krlog.h"
#include "krmux.h"
#include "krnetdb.h"
#include "sess_fixture.h"

namespace {

using ks::Bytes;
using ks::Packet;
using ks::Words;

constexpr uint32_t kConnectFailed = 0x10001;

uint32_t Stat(KRSESS_HNDL* s, uint32_t word) {
    uint32_t record[KRSESS_STAT_WORDS] = {};
    EXPECT_EQ(KrSessStatGet(s, record), 0);
    return record[word];
}

class Sess : public ks::Sessions {};

std::atomic<int> g_Destroyed{0};
void CountDestroy(KRSESS_HNDL*) { ++g_Destroyed; }

TEST_P(Sess, OpenRequestAndCloseFromEitherEnd) {
    uint16_t port = 0;
    KRSESS_HNDL* listener = Listen(&port);
    ASSERT_NE(listener, nullptr);
    KRSESS_HNDL* client = Open(port, {}, &client_);
    ASSERT_NE(client, nullptr) << Trace();
    EXPECT_EQ(KrSessState(client), (uint32_t)KRSESS_OPEN);
    ASSERT_TRUE(rec_.Wait([&] { return rec_.Size() > 0; }));
    KRSESS_HNDL* clone = rec_.At(0).session;
    EXPECT_EQ(rec_.At(0).code, KRSESS_CODE_OPENED);
    EXPECT_TRUE(rec_.At(0).data.empty());

    char answer[16] = {};
    EXPECT_EQ(KrCReqSync(client, 0x40, "hello", 5, answer, sizeof answer), 0x41u);
    EXPECT_STREQ(answer, "hello");
    EXPECT_EQ(Stat(client, KRSTAT_CREQ), 1u);
    EXPECT_EQ(Stat(client, KRSTAT_CRESP), 1u);
    EXPECT_EQ(Stat(clone, KRSTAT_SREQ), 2u) << "the request and the new-session notice";
    EXPECT_EQ(Stat(listener, KRSTAT_CLONES), 1u);

    KRTLADDR remote{}, local{};
    ASSERT_EQ(KrSessGetRemoteTlAddr(client, &remote), 0);
    ASSERT_EQ(KrSessGetLocalTlAddr(clone, &local), 0);
    uint16_t p = 0;
    KrGetTlIPPort(&remote, &p);
    EXPECT_EQ(ntohs(p), port);
    EXPECT_EQ(KrSessGetTlAddr(client, nullptr, 1), 1);

    // The client closes: the peer hears reason 0. A second close only logs.
    g_Destroyed = 0;
    KrSessDestroyCBFSet(client, CountDestroy);
    ASSERT_EQ(KrSessUserRefInc(client), 0);
    EXPECT_EQ(KrSessClose(client), 0);
    EXPECT_EQ(KrSessClose(client), 0);
    EXPECT_EQ(TraceCount("]: Redundant close on session."), 1);
    EXPECT_EQ(KrSessUserRefDec(client), 0);
    EXPECT_TRUE(kio::WaitUntil([&] { return KrSessState(client) == KRSESS_DESTROYED; }))
        << "gone once the io thread has let it go";
    EXPECT_EQ(g_Destroyed.load(), 1);
    ASSERT_TRUE(rec_.Wait([&] { return rec_.Count(KRSESS_CODE_CLOSED) == 1; })) << Trace();
    EXPECT_EQ(rec_.Reasons(clone), std::vector<uint32_t>{0});
    EXPECT_EQ(KrSessState(clone), (uint32_t)KRSESS_CLOSED);
    EXPECT_EQ(KrSessClose(clone), 0) << "closing a session the peer closed sends nothing";
    EXPECT_EQ(Stat(listener, KRSTAT_CLONES_CLOSED), 1u);
    KrSessClose(listener);
    EXPECT_TRUE(kio::WaitUntil([] { return KrSessCount() == 0 && KrMuxCount() == 0; }));
    EXPECT_EQ(TraceCount("> clone cnt 1"), 1) << Trace();
    EXPECT_EQ(TraceCount("sreq req: 3 res: 1 "), 1) << "the clone's close log: request and both notices";
}

TEST_P(Sess, ConnectTriesAreSentAndTheOpenFailsWithoutAnAnswer) {
    struct Case {
        uint32_t tries, timeout;
        size_t sent; // connects the silent peer gets
    };
    // A reliable session always sends one connect.
    const Case cases[] = {{3, 240, Tcp() ? 1u : 3u}, {1, 80, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tries);
        ks::RawPeer silent(Tcp());
        KRTLADDR remote = silent.Address();
        std::vector<KRSESS_OPT> options = {{KRSESS_OPTID_CONN_TRIES, c.tries}, {KRSESS_OPTID_CONN_TMO, c.timeout}};
        KrErrorSet(0);
        EXPECT_EQ(KrSessOpenInternal(0, nullptr, &remote, nullptr, nullptr, options.data(), 2), nullptr);
        EXPECT_EQ(KrErrorGet(), kConnectFailed);
        size_t sent = 0;
        Packet p;
        while (silent.Next(&p, 200)) {
            EXPECT_EQ(p.h.sequence, (uint32_t)KRSESS_CNTL_CONNECT);
            ++sent;
        }
        EXPECT_EQ(sent, c.sent);
        EXPECT_TRUE(kio::WaitUntil([] { return KrSessCount() == 0 && KrMuxCount() == 0; }));
    }
    EXPECT_EQ(TraceCount(std::string("]: Failed to connect to ") + (Tcp() ? "tcp" : "udp") + "/127.0.0.1/"), 2) << Trace();
    // No try at all is refused before anything is sent.
    ks::RawPeer silent(Tcp());
    KRTLADDR remote = silent.Address();
    KRSESS_OPT none{KRSESS_OPTID_CONN_TRIES, 0};
    if (!Tcp()) {
        EXPECT_EQ(KrSessOpenInternal(0, nullptr, &remote, nullptr, nullptr, &none, 1), nullptr);
        EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_PARAM);
    }
}

TEST_P(Sess, APeerClosingWhileWeConnectFailsTheOpen) {
    ks::RawPeer peer(Tcp());
    KRTLADDR remote = peer.Address();
    KRSESS_HNDL* s = reinterpret_cast<KRSESS_HNDL*>(1);
    uint32_t err = 0;
    std::thread opener([&] {
        KrErrorInit();
        KRSESS_OPT slow{KRSESS_OPTID_CONN_TMO, 20000};
        KRSESS_OPT once{KRSESS_OPTID_CONN_TRIES, 1};
        KRSESS_OPT both[] = {slow, once};
        s = KrSessOpenInternal(0, nullptr, &remote, ks::RecordingHandler, &client_, both, 2);
        err = KrErrorGet();
    });
    Packet connect;
    ASSERT_TRUE(peer.Next(&connect));
    if (Tcp()) {
        peer.Drop(); // the stream ends: the mux closes its sessions
    } else {
        // A disconnect that matches: the peer's local word is our remote word and the other way.
        peer.Send(ks::Control(KRSESS_CNTL_DISCONNECT, connect.h.id,
                              Words({102, ks::WordAt(connect.payload, 4), ks::WordAt(connect.payload, 12),
                                     ks::WordAt(connect.payload, 8)})));
    }
    opener.join();
    EXPECT_EQ(s, nullptr) << "a session closed while connecting is no open session";
    EXPECT_EQ(err, kConnectFailed);
    EXPECT_EQ(TraceCount("Remote close for connecting session"), 1) << Trace();
    EXPECT_EQ(client_.Count(KRSESS_CODE_CLOSED), 0u) << "nobody above knew the session";
}

TEST_P(Sess, HeartbeatsGoOutOnlyAfterAWholeIntervalOfSilenceAndCarryThePeersId) {
    struct Case {
        uint32_t tx;
        std::vector<uint32_t> steps; // ms to advance, in turn
        std::vector<bool> beat;      // whether a heartbeat follows each step
    };
    const Case cases[] = {
        {1000, {999, 1, 999, 1}, {false, true, false, true}},
        {0, {100000}, {false}}, // interval 0: no heartbeats at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tx);
        ks::RawPeer peer(Tcp());
        KRSESS_HNDL* s = OpenToRaw(peer, 9, 0, 0, {{KRSESS_OPTID_TXHB, c.tx}, {KRSESS_OPTID_RXHB_CNT, 3}});
        ASSERT_NE(s, nullptr) << Trace();
        ASSERT_NE(s->link.localId, 9u) << "the ids differ on the two sides";
        for (size_t i = 0; i < c.steps.size(); ++i) {
            ks::Advance(c.steps[i]);
            Packet p;
            const bool got = peer.Next(&p, c.beat[i] ? kio::kGuardSeconds * 1000 : 100);
            EXPECT_EQ(got, c.beat[i]) << "step " << i;
            if (got) {
                // Written out by hand: form D, id 9, length 0, control code 4, and the checksum
                // that makes the sum over the whole message zero.
                EXPECT_EQ(ks::Hex(p.raw), "E0 12 00 00 00 04 1F E9");
            }
        }
        KrSessClose(s);
        opened_.clear();
        EXPECT_TRUE(kio::WaitUntil([] { return KrSessCount() == 0; }));
    }
    // A request sent in between puts the next heartbeat off by a whole interval.
    ks::RawPeer peer(Tcp());
    KRSESS_HNDL* s = OpenToRaw(peer, 9, 0, 0, {{KRSESS_OPTID_TXHB, 1000}});
    ASSERT_NE(s, nullptr);
    ks::Advance(500);
    ASSERT_EQ(KrCReqNoResp(s, 7, "x", 1), 0);
    Packet p;
    ASSERT_TRUE(peer.Next(&p));
    EXPECT_EQ(p.h.kind, (uint32_t)KRHDR_KIND_REQUEST);
    EXPECT_EQ(p.h.id, 9u);
    ks::Advance(999);
    EXPECT_FALSE(peer.Next(&p, 100)) << "no heartbeat while traffic flows";
    ks::Advance(1);
    ASSERT_TRUE(peer.Next(&p));
    EXPECT_EQ(p.h.sequence, (uint32_t)KRSESS_CNTL_HEARTBEAT);
}

TEST_P(Sess, SilenceClosesTheSessionAndOnlyHeartbeatsAndRequestsCountAsHearing) {
    ks::RawPeer peer(Tcp());
    // Our count 3 times the peer's interval 2000: 6000 ms of silence allowed.
    KRSESS_HNDL* s = OpenToRaw(peer, 700, 2000, 5, {{KRSESS_OPTID_TXHB, 0}, {KRSESS_OPTID_RXHB_CNT, 3}});
    ASSERT_NE(s, nullptr) << Trace();
    const uint32_t ours = s->link.localId;
    auto heard = [&] { return Stat(s, KRSTAT_LAST_RX) * 1000 + Stat(s, KRSTAT_LAST_RX + 1); };
    ks::Advance(4000);
    // A heartbeat written out by hand, carrying our id.
    const uint32_t before = heard();
    peer.Send(ours == 0 ? Bytes{0xE0, 0x00, 0x00, 0x00, 0x00, 0x04, 0x1F, 0xFB}
                        : ks::Control(KRSESS_CNTL_HEARTBEAT, ours, {}));
    ASSERT_TRUE(kio::WaitUntil([&] { return heard() != before; }));
    // Option-set traffic does not count: it arrives, is answered, and the clock runs on.
    peer.Send(ks::Control(KRSESS_CNTL_OPT_SET, ours, Words({0, 2, 0, 0})));
    Packet ack;
    ASSERT_TRUE(peer.Next(&ack));
    EXPECT_EQ(ack.h.sequence, (uint32_t)KRSESS_CNTL_OPT_ACK);
    EXPECT_EQ(ack.h.id, 700u) << "the ack carries the peer's id";
    ks::Advance(5999);
    EXPECT_EQ(KrSessState(s), (uint32_t)KRSESS_OPEN);
    ks::Advance(1);
    ASSERT_TRUE(client_.Wait([&] { return !client_.Reasons(s).empty(); })) << Trace();
    EXPECT_EQ(client_.Reasons(s), std::vector<uint32_t>{2});
    EXPECT_EQ(TraceCount(std::string("]: Haven't heard from remote ") + (Tcp() ? "tcp" : "udp") + "/127.0.0.1/"), 1)
        << Trace();
    // A count of 0 never times out.
    ks::RawPeer quiet(Tcp());
    KRSESS_HNDL* calm = OpenToRaw(quiet, 3, 2000, 5, {{KRSESS_OPTID_TXHB, 0}, {KRSESS_OPTID_RXHB_CNT, 0}});
    ASSERT_NE(calm, nullptr);
    ks::Advance(1000000);
    EXPECT_EQ(KrSessState(calm), (uint32_t)KRSESS_OPEN);
}

TEST_P(Sess, HostileOrStrayControlMessagesAreDroppedWithTheirLogLines) {
    ks::RawPeer peer(Tcp());
    Packet connect;
    KRSESS_HNDL* s = OpenToRaw(peer, 5, 0, 0, {}, &connect);
    ASSERT_NE(s, nullptr) << Trace();
    const uint32_t ours = s->link.localId;
    const uint32_t word = ks::WordAt(connect.payload, 4), local = ks::WordAt(connect.payload, 8),
                   remote = ks::WordAt(connect.payload, 12);
    struct Case {
        const char* what;
        uint32_t code;
        Bytes payload;
        const char* logged;
    };
    const Case cases[] = {
        {"disconnect of another incarnation", 3, Words({102, word + 1, remote, local}), "for recycled session id."},
        {"disconnect with the words not crosswise", 3, Words({102, word, local, remote + 1}), "for recycled session id."},
        {"short disconnect", 3, Words({102, word, remote}), "Invalid disconnect control message parameter size: 12"},
        {"disconnect of another version", 3, Words({101, word, remote, local}), "Received disconnect with different version."},
        {"heartbeat with extra bytes", 4, Bytes{1, 2, 3}, "3 extraneous data bytes in hearbeat message."},
        {"unknown control code", 9, Bytes{}, "Unrecognized control code 9"},
        {"short option-set", 5, Words({1, 1, 0}), "Got 12 data bytes in option-set message, expected 16."},
        {"short option-ack", 6, Words({1, 1}), "Got 8 data bytes in option-ack message, expected at least 16."},
        {"option-ack for nothing sent", 6, Words({77, 1, 0, 0}), "Received acknowledge for unknown option-set message."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        peer.Send(ks::Control(c.code, ours, c.payload));
        EXPECT_TRUE(kio::WaitUntil([&] { return TraceCount(c.logged) >= 1; })) << Trace();
        EXPECT_EQ(KrSessState(s), (uint32_t)KRSESS_OPEN);
    }
    // The real one closes the session with reason 0.
    peer.Send(ks::Control(KRSESS_CNTL_DISCONNECT, ours, Words({102, word, remote, local})));
    ASSERT_TRUE(client_.Wait([&] { return !client_.Reasons(s).empty(); })) << Trace();
    EXPECT_EQ(client_.Reasons(s), std::vector<uint32_t>{0});
}

TEST_P(Sess, ARepeatedConnectIsAnsweredAgainWithoutASecondOpen) {
    uint16_t port = 0;
    ASSERT_NE(Listen(&port), nullptr);
    // A raw client whose id (1500) is far from the one the listener's side gives its clone.
    ks::RawPeer raw(Tcp());
    int fd = socket(AF_INET, Tcp() ? SOCK_STREAM : SOCK_DGRAM, 0);
    sockaddr_in to = kio::Loopback(port);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    const Bytes hello = ks::Control(KRSESS_CNTL_CONNECT, 1500, Words({102, 0xABC, 0x7FFFFFFF, 0x7FFFFFFF, 0, 0}));
    auto readAck = [&](Packet* p) {
        uint8_t buffer[256];
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        std::vector<Packet> got;
        size_t used = 0;
        return n > 0 && ks::Parse(Bytes(buffer, buffer + n), &got, &used) && !got.empty() && (*p = got[0], true);
    };
    // A connect 4 bytes short is dropped before any word of it is read: no clone, no answer.
    const Bytes shortHello = ks::Control(KRSESS_CNTL_CONNECT, 1500, Words({102, 0xABC, 0x7FFFFFFF, 0x7FFFFFFF, 0}));
    ASSERT_EQ(send(fd, shortHello.data(), shortHello.size(), MSG_NOSIGNAL), (ssize_t)shortHello.size());
    ASSERT_TRUE(kio::WaitUntil([&] { return TraceCount("Invalid connect control message parameter size: 20") == 1; }));
    EXPECT_EQ(rec_.Count(KRSESS_CODE_OPENED), 0u);
    if (Tcp()) {
        // The stream's new mux closed on it: a fresh connection.
        close(fd);
        fd = socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    }
    ASSERT_EQ(send(fd, hello.data(), hello.size(), MSG_NOSIGNAL), (ssize_t)hello.size());
    Packet first, second;
    ASSERT_TRUE(readAck(&first));
    EXPECT_EQ(first.h.sequence, (uint32_t)KRSESS_CNTL_CONNECT_ACK);
    ASSERT_EQ(send(fd, hello.data(), hello.size(), MSG_NOSIGNAL), (ssize_t)hello.size());
    ASSERT_TRUE(readAck(&second));
    EXPECT_EQ(second.raw, first.raw) << "the same answer again";
    ASSERT_TRUE(rec_.Wait([&] { return rec_.Count(KRSESS_CODE_OPENED) == 1; }));
    // A request to the clone's id comes back addressed to ours.
    const uint32_t cloneId = first.h.id;
    const Bytes request = ks::Request(cloneId, 0, 0x30, Bytes{9, 8, 7}, 0);
    ASSERT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL), (ssize_t)request.size());
    Packet response;
    ASSERT_TRUE(readAck(&response));
    EXPECT_EQ(response.h.kind, (uint32_t)KRHDR_KIND_REQUEST);
    EXPECT_EQ(response.h.flag, 1u);
    EXPECT_EQ(response.h.id, 1500u);
    EXPECT_EQ(response.h.code, 0x31u);
    EXPECT_EQ(rec_.Count(KRSESS_CODE_OPENED), 1u);
    close(fd);
}

TEST_P(Sess, OptionPairLimitAndUserReferences) {
    KRTLADDR local = Loopback(0);
    auto open127 = [&](int pairs) {
        std::vector<KRSESS_OPT> o((size_t)pairs, KRSESS_OPT{KRSESS_OPTID_WINDOW, 16});
        return KrSessOpenInternal(1, &local, nullptr, ks::RecordingHandler, &rec_, o.data(), (uint32_t)o.size());
    };
    KRSESS_HNDL* s = open127(127);
    ASSERT_NE(s, nullptr);
    // Through the exported varargs form: 128 pairs before the terminator is refused.
#define P1 KRSESS_OPTID_WINDOW, 16u
#define P4 P1, P1, P1, P1
#define P16 P4, P4, P4, P4
#define P64 P16, P16, P16, P16
    KrErrorSet(0);
    EXPECT_EQ(KrSessOpenEx(1, &local, nullptr, ks::RecordingHandler, &rec_, P64, P64, KRSESS_OPTID_END), nullptr);
    EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_PARAM);
    EXPECT_EQ(TraceCount("KrSessOpenEx: Called specified an absurd number of optional parameters.Possibly missing terminator."), 1);
    KRSESS_HNDL* ex = KrSessOpenEx(1, &local, nullptr, ks::RecordingHandler, &rec_, P64, P16, P16, P16, P4, P4, P4, P1,
                                   P1, P1, KRSESS_OPTID_END); // 127 pairs
#undef P1
#undef P4
#undef P16
#undef P64
    ASSERT_NE(ex, nullptr) << Trace();
    opened_.push_back(ex);
    // The only user reference of an open session is not dropped by hand.
    EXPECT_EQ(KrSessUserRefDec(s), 1);
    EXPECT_EQ(TraceCount("attempt to decrement user reference to 0 on open session...You naughty programmer."), 1);
    EXPECT_EQ(KrSessState(s), (uint32_t)KRSESS_PASSIVE);
    EXPECT_EQ(KrSessClose(s), 0);
    EXPECT_EQ(KrSessState(s), (uint32_t)KRSESS_DESTROYED);
    EXPECT_EQ(KrSessClose(s), 1) << "a handle that is gone";
}

TEST_P(Sess, AChannelThatEndsClosesItsSessionsWithReason1) {
    if (!Tcp()) GTEST_SKIP() << "only a stream ends";
    ks::RawPeer peer(true);
    KRSESS_HNDL* s = OpenToRaw(peer, 1, 0, 0, {{KRSESS_OPTID_TXHB, 0}});
    ASSERT_NE(s, nullptr) << Trace();
    peer.Drop();
    ASSERT_TRUE(client_.Wait([&] { return !client_.Reasons(s).empty(); })) << Trace();
    EXPECT_EQ(client_.Reasons(s), std::vector<uint32_t>{1});
    EXPECT_EQ(KrSessState(s), (uint32_t)KRSESS_CLOSED);
}

TEST_P(Sess, OpenFromSocketAddressesAndItsRefusals) {
    sockaddr_in local = kio::Loopback(0);
    const int unreliable = Tcp() ? 0 : 1;
    KrErrorSet(0);
    EXPECT_EQ(KrSessOpen(1, unreliable, &local, nullptr, nullptr, nullptr), nullptr) << "listening needs a handler";
    EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_PARAM);
    EXPECT_EQ(KrSessOpen(0, unreliable, nullptr, nullptr, nullptr, nullptr), nullptr) << "active needs a remote";
    EXPECT_EQ(TraceCount("KrSessOpen: Invalid parameters."), 2);
    KRSESS_HNDL* listener = KrSessOpen(1, unreliable, &local, nullptr, ks::RecordingHandler, &rec_);
    ASSERT_NE(listener, nullptr) << Trace();
    opened_.push_back(listener);
    KRTLADDR bound{};
    ASSERT_EQ(KrSessGetLocalTlAddr(listener, &bound), 0);
    EXPECT_EQ(bound.family, Tcp() ? KRTL_TCP : KRTL_UDP);
    uint16_t port = 0;
    KrGetTlIPPort(&bound, &port);
    sockaddr_in remote = kio::Loopback(ntohs(port));
    KRSESS_HNDL* s = KrSessOpen(0, unreliable, nullptr, &remote, nullptr, nullptr);
    ASSERT_NE(s, nullptr) << Trace();
    opened_.push_back(s);
    EXPECT_TRUE(KrSessIsActive(s));
    EXPECT_TRUE(KrSessIsPassive(listener));
}

TEST(SessExports, TheSessionAndRequestCallsAreExported) {
    void* library = dlopen(LOBBEX_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    for (const char* name : {"KrSessOpen", "KrSessOpenEx", "KrSessClose", "KrSessDestroyCBFSet", "KrSessStatGet",
                             "KrSessGetTlAddr", "KrSessGetLocalTlAddr", "KrSessGetRemoteTlAddr", "KrSessOptionsSet",
                             "KrSessOptionsSetEx", "KrSessOptionsGet", "KrSessHBOptSet", "KrCReq", "KrCReqEx",
                             "KrCReqSync", "KrCReqNoResp", "KrSReqComplete", "KrSReqNoRespComplete"})
        EXPECT_NE(dlsym(library, name), nullptr) << name;
    for (const char* name : {"KrSessOpenInternal", "KrSessRefInc", "KrCReqTmo", "KrSReqGC"})
        EXPECT_EQ(dlsym(library, name), nullptr) << name << " stays inside";
    dlclose(library);
}

INSTANTIATE_TEST_SUITE_P(UdpAndTcp, Sess, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& i) { return i.param ? "Tcp" : "Udp"; });

}  // namespace
