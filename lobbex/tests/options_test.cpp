// Session options: the defaults of TCP and UDP sessions, option ids mapped to their words with
// the intervals recomputed, tries honoured on unreliable sessions only, refused values; the
// heartbeat change negotiated with a peer, undone when nobody acknowledges it or the peer
// refuses, refused while another is in progress; and option-sets from a hostile peer answered
// without reading past what arrived.
#include <gtest/gtest.h>

#include <thread>

#include "krerrno.h"
#include "krlog.h"
#include "krrq_opt.h"
#include "sess_fixture.h"

namespace {

using ks::Bytes;
using ks::Packet;
using ks::Words;

class Opt : public ks::Sessions {
protected:
    // A listening session: it has options but makes no connect.
    KRSESS_HNDL* Passive(std::vector<KRSESS_OPT> options = {}) {
        KRTLADDR local = Loopback(0);
        KRSESS_HNDL* s = KrSessOpenInternal(1, &local, nullptr, ks::RecordingHandler, &rec_, options.data(),
                                            (uint32_t)options.size());
        if (s) opened_.push_back(s);
        return s;
    }
    static uint32_t Get(KRSESS_HNDL* s, uint32_t id) {
        uint32_t value = 0xDEAD;
        EXPECT_EQ(KrSessOptionsGet(s, id, &value), 0) << std::hex << id;
        return value;
    }
};

TEST_P(Opt, DefaultsIdsAndRecomputedIntervals) {
    KRSESS_HNDL* s = Passive();
    ASSERT_NE(s, nullptr);
    const std::vector<uint32_t> tcp = {10000, 3, 10000, 3, 15000, 1, 15000, 16, 16,
                                       20000, 1, 20000, 15000, 1, 15000, 15000, 1, 15000};
    const std::vector<uint32_t> udp = {10000, 3, 10000, 3, 15000, 5, 3000, 16, 16,
                                       20000, 5, 4000, 15000, 5, 3000, 15000, 5, 3000};
    EXPECT_EQ(std::vector<uint32_t>(s->options, s->options + KRSESS_OPT_COUNT), Tcp() ? tcp : udp);

    struct Case {
        uint32_t id, value;
        uint32_t word, expect;         // the word the id sets and its value after
        uint32_t intervalWord, interval; // the recomputed interval (word 0: none)
    };
    const uint32_t reqTries = Tcp() ? 1 : 3, connTries = Tcp() ? 1 : 4;
    const Case cases[] = {
        {0x10000, 500, KRSESS_OPT_TXHB, 500, 0, 0},
        {0x10001, 7, KRSESS_OPT_RXHB_CNT, 7, 0, 0},
        {0x10002, 32, KRSESS_OPT_WINDOW, 32, 0, 0},
        {0x10003, 4, KRSESS_OPT_ZOMBIE_LIMIT, 4, 0, 0},
        {0x10005, 4, KRSESS_OPT_CONN_TRIES, connTries, KRSESS_OPT_CONN_INTERVAL, 20000 / connTries},
        {0x10004, 1000, KRSESS_OPT_CONN_TMO, 1000, KRSESS_OPT_CONN_INTERVAL, 1000 / connTries},
        {0x10007, 3, KRSESS_OPT_REQ_TRIES, reqTries, KRSESS_OPT_REQ_INTERVAL, 15000 / reqTries},
        {0x10006, 900, KRSESS_OPT_REQ_TMO, 900, KRSESS_OPT_REQ_INTERVAL, 900 / reqTries},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        ASSERT_EQ(KrSessOptionsSet(s, c.id, c.value), 0);
        EXPECT_EQ(s->options[c.word], c.expect);
        EXPECT_EQ(Get(s, c.id), c.expect);
        if (c.intervalWord) {
            EXPECT_EQ(s->options[c.intervalWord], c.interval);
        }
    }
    if (Tcp()) {
        EXPECT_EQ(TraceCount("]: connection retry count cannot be specified for reliable sessions."), 1);
        EXPECT_EQ(TraceCount("]: request retry count cannot be specified for reliable sessions."), 1);
    }
    // Refused: no tries at all (the interval would divide by zero), an empty window; an unknown
    // id fails the call but the pairs after it still apply.
    const KRSESS_OPT refused[] = {{0x10005, 0}, {0x10007, 0}, {0x10002, 0}};
    for (const KRSESS_OPT& r : refused) {
        KrErrorSet(0);
        EXPECT_EQ(KrSessOptionsSetInternal(s, &r, 1, 1), 1) << std::hex << r.id;
        EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_PARAM);
    }
    EXPECT_EQ(s->options[KRSESS_OPT_REQ_TRIES], reqTries);
    const KRSESS_OPT mixed[] = {{0x2000, 1}, {0x10003, 9}};
    EXPECT_EQ(KrSessOptionsSetInternal(s, mixed, 2, 1), 1);
    EXPECT_EQ(TraceCount("]: Unknown session option 0x2000."), 1);
    EXPECT_EQ(s->options[KRSESS_OPT_ZOMBIE_LIMIT], 9u);
    uint32_t v = 0;
    EXPECT_EQ(KrSessOptionsGet(s, 0x2000, &v), 1) << "channel options only while open";
    EXPECT_EQ(KrSessOptionsSet(nullptr, 0x10000, 1), 1);
    // At open, pairs apply without negotiation; a refused one fails the open.
    KRSESS_HNDL* tuned = Passive({{0x10000, 1234}, {0x10003, 5}});
    ASSERT_NE(tuned, nullptr);
    EXPECT_EQ(Get(tuned, 0x10000), 1234u);
    EXPECT_EQ(Passive({{0x10002, 0}}), nullptr);
}

TEST_P(Opt, AHeartbeatChangeIsNegotiatedWithThePeer) {
    uint16_t port = 0;
    ASSERT_NE(Listen(&port), nullptr);
    KRSESS_HNDL* s = Open(port, {{KRSESS_OPTID_RXHB_CNT, 4}});
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(rec_.Wait([&] { return rec_.Size() > 0; }));
    KRSESS_HNDL* clone = rec_.At(0).session;
    ASSERT_EQ(KrSessOptionsSet(s, KRSESS_OPTID_TXHB, 2500), 0) << Trace();
    EXPECT_EQ(Get(s, KRSESS_OPTID_TXHB), 2500u);
    KrLockEnter(&clone->lock);
    EXPECT_EQ(clone->options[KRSESS_OPT_PEER_TXHB], 2500u);
    EXPECT_EQ(clone->options[KRSESS_OPT_PEER_RXHB_CNT], 4u);
    KrLockLeave(&clone->lock);
    EXPECT_EQ(TraceCount("]: Changed local heartbeat txhb_tmo from 10000 to 2500"), 1);
    EXPECT_EQ(TraceCount("]: Heartbeat update tx-tmo 10000 2500 rx-cnt 4 4"), 1) << Trace();
}

TEST_P(Opt, AChangeThatIsNotAcknowledgedOrIsRefusedIsUndone) {
    ks::RawPeer peer(Tcp());
    KRSESS_HNDL* s = OpenToRaw(peer, 12, 0, 0, {{KRSESS_OPTID_TXHB, 0}});
    ASSERT_NE(s, nullptr) << Trace();
    KrLockEnter(&s->lock);
    s->options[KRSESS_OPT_OPTSET_TRIES] = 2;
    s->options[KRSESS_OPT_OPTSET_INTERVAL] = 40;
    KrLockLeave(&s->lock);
    struct Case {
        const char* what;
        int answer; // -1 none; else the status the peer answers with
        uint32_t ackLength; // data length of the answer
        uint32_t err;
        size_t sets; // option-sets the peer sees
    };
    const Case cases[] = {
        {"no ack", -1, 8, 0x10001, Tcp() ? 1u : 2u},
        {"the peer refuses", 12, 8, 0x10003, 1},
        {"an ack of another length keeps it waiting", 0, 4, 0x10001, Tcp() ? 1u : 2u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (Tcp()) {
            KrLockEnter(&s->lock);
            s->options[KRSESS_OPT_OPTSET_TRIES] = 1;
            KrLockLeave(&s->lock);
        }
        int result = 0;
        uint32_t err = 0;
        std::thread changer([&] {
            KrErrorInit();
            result = KrSessOptionsSet(s, KRSESS_OPTID_TXHB, 3000);
            err = KrErrorGet();
        });
        size_t sets = 0;
        Packet p;
        while (peer.Next(&p, 300)) {
            ASSERT_EQ(p.h.sequence, (uint32_t)KRSESS_CNTL_OPT_SET);
            EXPECT_EQ(p.h.id, 12u) << "the option-set carries the peer's id";
            ASSERT_EQ(p.payload.size(), 24u);
            EXPECT_EQ(ks::WordAt(p.payload, 4), 1u);
            EXPECT_EQ(ks::WordAt(p.payload, 12), 8u);
            EXPECT_EQ(ks::WordAt(p.payload, 16), 3000u);
            ++sets;
            if (c.answer >= 0) {
                Bytes ack = Words({ks::WordAt(p.payload, 0), 1, (uint32_t)c.answer, c.ackLength});
                ack.insert(ack.end(), p.payload.begin() + 16, p.payload.begin() + 16 + c.ackLength);
                peer.Send(ks::Control(KRSESS_CNTL_OPT_ACK, s->link.localId, ack));
                if (c.ackLength == 8) break;
            }
        }
        changer.join();
        EXPECT_EQ(result, 1);
        EXPECT_EQ(err, c.err);
        EXPECT_EQ(sets, c.sets);
        EXPECT_EQ(s->options[KRSESS_OPT_TXHB], 0u) << "the old interval is back";
        EXPECT_EQ(s->flags & KRSESS_F_LOCAL_HB, 0u);
    }
    EXPECT_EQ(TraceCount("]: Received acknowledge with different length of option specific data. 4 8"), Tcp() ? 1 : 2);
    // Another change in progress: refused at once.
    KrLockEnter(&s->lock);
    s->flags |= KRSESS_F_PEER_HB;
    KrLockLeave(&s->lock);
    KrErrorSet(0);
    EXPECT_EQ(KrSessHBOptSet(s, 100, 1), 1);
    EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_BUSY);
    KrLockEnter(&s->lock);
    s->flags &= ~KRSESS_F_PEER_HB;
    KrLockLeave(&s->lock);
}

TEST_P(Opt, OptionSetsFromTheWireAreCheckedAgainstWhatArrived) {
    ks::RawPeer peer(Tcp());
    KRSESS_HNDL* s = OpenToRaw(peer, 30, 0, 0, {{KRSESS_OPTID_TXHB, 0}, {KRSESS_OPTID_RXHB_CNT, 0}});
    ASSERT_NE(s, nullptr) << Trace();
    const uint32_t ours = s->link.localId;
    struct Case {
        const char* what;
        Bytes payload;
        uint32_t status;     // in the ack
        uint32_t ackedData;  // data bytes echoed
        uint32_t peerTx;     // the peer's interval afterwards
        bool busy;           // a local change is in progress meanwhile
    };
    const Case cases[] = {
        {"type 2 is unknown", Words({1, 2, 0, 8, 700, 9}), 2, 8, 0, false},
        {"declared longer than what came", Words({2, 1, 0, 64, 700, 9}), 2, 8, 0, false},
        {"heartbeat data too short", Words({3, 1, 0, 4, 700}), 2, 4, 0, false},
        {"a change while ours is in progress", Words({4, 1, 0, 8, 700, 9}), 12, 8, 0, true},
        {"a good one", Words({5, 1, 0, 8, 700, 9}), 0, 8, 700, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.busy) {
            KrLockEnter(&s->lock);
            s->flags |= KRSESS_F_LOCAL_HB;
            KrLockLeave(&s->lock);
        }
        peer.Send(ks::Control(KRSESS_CNTL_OPT_SET, ours, c.payload));
        Packet ack;
        ASSERT_TRUE(peer.Next(&ack));
        EXPECT_EQ(ack.h.sequence, (uint32_t)KRSESS_CNTL_OPT_ACK);
        EXPECT_EQ(ack.h.id, 30u) << "the ack carries the peer's id";
        ASSERT_EQ(ack.payload.size(), 16u + c.ackedData);
        EXPECT_EQ(ks::WordAt(ack.payload, 0), ks::WordAt(c.payload, 0));
        EXPECT_EQ(ks::WordAt(ack.payload, 8), c.status);
        EXPECT_EQ(ks::WordAt(ack.payload, 12), c.ackedData);
        KrLockEnter(&s->lock);
        s->flags &= ~KRSESS_F_LOCAL_HB;
        EXPECT_EQ(s->options[KRSESS_OPT_PEER_TXHB], c.peerTx);
        KrLockLeave(&s->lock);
    }
    EXPECT_EQ(s->options[KRSESS_OPT_PEER_RXHB_CNT], 9u);
    // An ack whose declared length runs past its payload is dropped.
    peer.Send(ks::Control(KRSESS_CNTL_OPT_ACK, ours, Words({0, 1, 0, 40, 1})));
    EXPECT_TRUE(kio::WaitUntil([&] { return TraceCount("Got 20 data bytes in option-ack message, expected at least 56.") == 1; }))
        << Trace();
    EXPECT_EQ(KrSessState(s), (uint32_t)KRSESS_OPEN);
}

INSTANTIATE_TEST_SUITE_P(UdpAndTcp, Opt, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& i) { return i.param ? "Tcp" : "Udp"; });

}  // namespace
