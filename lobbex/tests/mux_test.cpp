// The mux: local ids (the lowest free id first, blocks of 1024 made in base order where the walk
// finds a gap or every block full, emptied blocks freed, failures told apart from id 0 and leaving
// the list as it was) and the receive framing (packets read whole over a stream fed one byte at a
// time, a body that cannot be allocated read away, forged and over-long headers, and datagram
// loss, repetition and cuts that damage at most the message they hit and the one after).
#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>
#include <sys/socket.h>
#include <string>
#include <vector>

#include "krbmap.h"
#include "krmux.h"
#include "krnetdb.h"
#include "krmux_ctl.h"
#include "krmux_rx.h"
#include "krlog.h"
#include "test_machine.h"
#include "transport_fixture.h"
#include "krerrno.h"
#include "krheap.h"
#include "lobbex_exports.h"

namespace {

enum Op { kAlloc, kFree, kSet, kFill }; // kFill: allocate `arg` ids, the last being `id`

struct Step {
    Op op;
    uint32_t arg;
    int result;
    uint32_t id;      // expected id of an allocation
    uint32_t errnoValue; // expected KrErrno after a failure
    uint32_t blocks;  // blocks held after the step
};

struct Script {
    const char* name;
    std::vector<Step> steps;
};

void RunScript(const Script& script) {
    SCOPED_TRACE(script.name);
    KrErrorInit();
    KRBMAP_LIST* list = KrBMapListCreate();
    ASSERT_NE(list, nullptr);
    for (size_t i = 0; i < script.steps.size(); ++i) {
        const Step& s = script.steps[i];
        SCOPED_TRACE(i);
        KrErrorSet(0);
        uint32_t id = 0xDEADBEEF;
        int result = 0;
        switch (s.op) {
        case kAlloc: result = KrBMapAlloc(list, &id); break;
        case kFree: result = KrBMapFree(list, s.arg); break;
        case kSet: result = KrBMapSet(list, s.arg); break;
        case kFill:
            for (uint32_t n = 0; n < s.arg; ++n) {
                result = KrBMapAlloc(list, &id);
                ASSERT_EQ(result, 1);
            }
            break;
        }
        EXPECT_EQ(result, s.result);
        if (s.op == kAlloc || s.op == kFill) {
            if (s.result) {
                EXPECT_EQ(id, s.id);
            } else {
                EXPECT_EQ(id, 0xDEADBEEFu); // a failure writes no id
            }
        }
        if (!s.result) {
            EXPECT_EQ(KrErrorGet(), s.errnoValue);
        }
        EXPECT_EQ(KrBMapBlockCount(list), s.blocks);
    }
    KrBMapListDestroy(list);
}

TEST(MuxIds, ScriptsOfAllocationsFreesAndSets) {
    const Script scripts[] = {
        {"ids rise from 0; the 1025th is 1024 in a second block; the 2048th is 2047",
         {{kAlloc, 0, 1, 0, 0, 1},
          {kFill, 1023, 1, 1023, 0, 1},
          {kAlloc, 0, 1, 1024, 0, 2},
          {kFill, 1023, 1, 2047, 0, 2},
          {kAlloc, 0, 1, 2048, 0, 3}}},
        {"a freed id is the next one given; an emptied block is freed and made again",
         {{kFill, 3, 1, 2, 0, 1},
          {kFree, 1, 1, 0, 0, 1},
          {kAlloc, 0, 1, 1, 0, 1},
          {kFree, 0, 1, 0, 0, 1},
          {kFree, 1, 1, 0, 0, 1},
          {kFree, 2, 1, 0, 0, 0},
          {kAlloc, 0, 1, 0, 0, 1}}},
        {"a gap at base 0 gets a new first block; then the later block is used",
         {{kAlloc, 0, 1, 0, 0, 1},
          {kSet, 1500, 1, 0, 0, 2},
          {kFree, 0, 1, 0, 0, 1},
          {kAlloc, 0, 1, 0, 0, 2},
          {kFill, 1023, 1, 1023, 0, 2},
          {kAlloc, 0, 1, 1024, 0, 2}}},
        {"a gap between blocks is filled in base order",
         {{kSet, 2100, 1, 0, 0, 2},
          {kFill, 1024, 1, 1023, 0, 2},
          {kAlloc, 0, 1, 1024, 0, 3},
          {kFill, 1023, 1, 2047, 0, 3},
          {kAlloc, 0, 1, 2048, 0, 3},
          {kFill, 51, 1, 2099, 0, 3},
          {kAlloc, 0, 1, 2101, 0, 3}}},
        {"setting a used id, and freeing one not held or in no block, fail",
         {{kSet, 7, 1, 0, 0, 1},
          {kSet, 7, 0, 0, KRERR_PARAM, 1},
          {kFree, 5000, 0, 0, KRERR_PARAM, 1},
          {kAlloc, 0, 1, 0, 0, 1},
          {kFill, 6, 1, 6, 0, 1},
          {kAlloc, 0, 1, 8, 0, 1}}},
    };
    for (const Script& script : scripts) RunScript(script);
}

TEST(MuxIds, OutOfMemoryFailsDistinctlyFromIdZeroAndLeavesNothing) {
    KrErrorInit();
    // A list that cannot be made, at its header or at its first block.
    for (int failAt : {0, 1}) {
        KrErrorSet(0);
        KrHeapFailAfter(failAt);
        EXPECT_EQ(KrBMapListCreate(), nullptr) << failAt;
        KrHeapFailAfter(-1);
        EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_NO_MEMORY);
    }

    KRBMAP_LIST* list = KrBMapListCreate();
    ASSERT_NE(list, nullptr);
    uint32_t id = 0;
    for (uint32_t n = 0; n < 1024; ++n) ASSERT_EQ(KrBMapAlloc(list, &id), 1);
    // Every block full and no new one can be made: failure, not id 0, and nothing is taken.
    id = 77;
    KrErrorSet(0);
    KrHeapFailAfter(0);
    EXPECT_EQ(KrBMapAlloc(list, &id), 0);
    KrHeapFailAfter(-1);
    EXPECT_EQ(id, 77u);
    EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_NO_MEMORY);
    EXPECT_EQ(KrBMapBlockCount(list), 1u);
    KrHeapFailAfter(0);
    EXPECT_EQ(KrBMapSet(list, 3000), 0);
    KrHeapFailAfter(-1);
    EXPECT_EQ(KrBMapBlockCount(list), 1u);
    // Memory back: the next id is the one that failed.
    EXPECT_EQ(KrBMapAlloc(list, &id), 1);
    EXPECT_EQ(id, 1024u);
    KrBMapListDestroy(list);

    EXPECT_EQ(KrBMapAlloc(nullptr, &id), 0);
    EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_PARAM);
}

}  // namespace

// A byte source for the mux receive framing: a stream, or datagrams that behave as the UDP
// channel's do (a read never crosses a datagram; one that finds the current datagram used up takes
// the next that has arrived; the mark tells where the reader stands).
namespace kmx {

using Bytes = std::vector<uint8_t>;

struct Feed {
    bool datagram = false;
    Bytes stream;       // a stream's bytes not read yet
    size_t streamAt = 0;
    std::deque<Bytes> waiting; // datagrams that have arrived and are not read yet
    Bytes current;
    uint32_t offset = 0;
    uint32_t count = 0;
    bool failNext = false;

    KRMUX_RXSRC Source();
};

// A packet of `kind` for session `id` with a payload of `length` bytes, each `fill`, and
// `sequence` (the request sequence or control code), as a sender builds it.
Bytes Packet(uint32_t kind, uint32_t id, uint32_t length, uint8_t fill, uint32_t sequence);
// The packet cut into datagrams of at most 512 bytes, as the UDP channel sends it.
std::vector<Bytes> Datagrams(const Bytes& packet);



namespace {

int FeedRx(void* context, void* buffer, uint32_t length) {
    auto* f = static_cast<Feed*>(context);
    if (f->failNext) {
        f->failNext = false;
        return -1;
    }
    if (!f->datagram) {
        uint32_t n = (uint32_t)std::min<size_t>(length, f->stream.size() - f->streamAt);
        std::memcpy(buffer, f->stream.data() + f->streamAt, n);
        f->streamAt += n;
        return (int)n;
    }
    if (f->offset == f->current.size()) {
        if (f->waiting.empty()) return 0;
        f->current = f->waiting.front();
        f->waiting.pop_front();
        f->offset = 0;
        ++f->count;
    }
    uint32_t left = (uint32_t)f->current.size() - f->offset;
    uint32_t n = std::min(length, left);
    std::memcpy(buffer, f->current.data() + f->offset, n);
    f->offset += n;
    return (int)n;
}

int FeedMark(void* context, KRIO_RXMARK* mark) {
    auto* f = static_cast<Feed*>(context);
    if (!f->datagram) return 1;
    mark->left = (uint32_t)f->current.size() - f->offset;
    mark->length = (uint32_t)f->current.size();
    mark->full = f->current.size() >= 512 ? 1 : 0;
    mark->truncated = 0;
    mark->count = f->count;
    return 0;
}

uint32_t FeedDiscard(void* context) {
    auto* f = static_cast<Feed*>(context);
    uint32_t n = (uint32_t)f->current.size() - f->offset;
    f->offset = (uint32_t)f->current.size();
    return n;
}

}  // namespace

KRMUX_RXSRC Feed::Source() { return KRMUX_RXSRC{this, FeedRx, FeedMark, FeedDiscard}; }

Bytes Packet(uint32_t kind, uint32_t id, uint32_t length, uint8_t fill, uint32_t sequence) {
    KRHDR h{};
    h.kind = kind;
    h.id = id;
    h.length = length;
    h.sequence = sequence;
    h.code = kind == KRHDR_KIND_REQUEST ? 0x21 : 0;
    uint8_t header[KRHDR_MAX_LEN];
    uint32_t pad = 0;
    uint32_t n = KrHdrPack(&h, header, 1, &pad);
    Bytes p(header, header + n);
    p.insert(p.end(), length, fill);
    p.insert(p.end(), pad, 0);
    p.push_back(0xAB); // trailer: the framing does not check it
    p.push_back(0xCD);
    return p;
}

std::vector<Bytes> Datagrams(const Bytes& packet) {
    std::vector<Bytes> out;
    for (size_t at = 0; at < packet.size(); at += 512)
        out.emplace_back(packet.begin() + (long)at, packet.begin() + (long)std::min(packet.size(), at + 512));
    return out;
}

namespace {

// What a run of the framing delivered: "m<length>:<fill>" per message, "d" per drop, "c" for a
// close; it stops at the first wait.
std::string Drain(KRMUX_RX& rx, Feed& feed, int limit = 100) {
    KRMUX_RXSRC source = feed.Source();
    std::string out;
    for (int i = 0; i < limit; ++i) {
        KRMUX_RXRESULT r = KrMuxRxRun(&rx, &source, 0x51);
        if (r == KRMUX_RX_WAIT) break;
        if (r == KRMUX_RX_CLOSE) {
            out += "c ";
            break;
        }
        if (r == KRMUX_RX_DROPPED) {
            out += "d ";
            continue;
        }
        // The payload follows the header's cipher-text part at the body's front.
        int ct = KrCTHdrPackedLen(rx.header[0]);
        EXPECT_GE(rx.bodyLen, rx.hdr.length + (uint32_t)ct + 2);
        uint8_t fill = rx.hdr.length ? rx.body[ct] : 0;
        for (uint32_t k = 0; k < rx.hdr.length; ++k) {
            if (rx.body[ct + k] != fill) {
                out += "x";
                break;
            }
        }
        out += "m" + std::to_string(rx.hdr.length) + ":" + std::to_string(fill) + " ";
        KrMuxRxBufFree(rx.body);
        rx.body = nullptr;
    }
    return out;
}

class MuxRx : public ::testing::Test {
protected:
    void SetUp() override {
        KrErrorInit();
        ASSERT_EQ(KrMuxRxBufHeapInit(), 0);
    }
    void TearDown() override {
        KrMuxRxReset(&rx);
        EXPECT_EQ(KrMuxRxBufCount(), 0u); // every body freed
        KrHeapFailAfter(-1);
        KrMuxRxBufHeapDestroy();
    }
    KRMUX_RX rx{};
};

TEST_F(MuxRx, HandWrittenControlPacketOneByteAtATime) {
    // Form D control header: 1110 | id 11 bits | pad 2 bits | length 15 bits, then the control
    // code as a 16-bit word; the payload, and a 2-byte trailer.
    const Bytes packet = {
        0xE0, 0x0A, 0x00, 0x04, // 1110, id 5, pad 0, length 4
        0x00, 0x04,             // control code 4
        0x77, 0x77, 0x77, 0x77, // payload
        0x12, 0x34,             // trailer
    };
    Feed feed;
    std::string seen;
    for (size_t i = 0; i < packet.size(); ++i) {
        feed.stream.push_back(packet[i]);
        seen += Drain(rx, feed);
        if (i + 1 < packet.size()) {
            EXPECT_EQ(seen, "") << "dispatched before the whole packet, at byte " << i;
        }
    }
    EXPECT_EQ(seen, "m4:119 ");
    EXPECT_EQ(rx.hdr.kind, (uint32_t)KRHDR_KIND_CONTROL);
    EXPECT_EQ(rx.hdr.id, 5u);
    EXPECT_EQ(rx.headerLen, 6u); // a control header is all plain text
    EXPECT_EQ(rx.bodyLen, 6u);   // payload, trailer
}

TEST_F(MuxRx, StreamOfMixedFormsByteByByte) {
    Feed feed;
    Bytes all;
    const uint32_t lengths[] = {0, 16, 100, 300, 40000, 5};
    for (uint32_t i = 0; i < 6; ++i) {
        Bytes p = Packet(i % 2 || lengths[i] > 30000 ? KRHDR_KIND_REQUEST : KRHDR_KIND_CONTROL, i + 1, lengths[i], (uint8_t)(i + 1), 7);
        all.insert(all.end(), p.begin(), p.end());
    }
    std::string seen;
    for (uint8_t b : all) {
        feed.stream.push_back(b);
        seen += Drain(rx, feed);
    }
    EXPECT_EQ(seen, "m0:0 m16:2 m100:3 m300:4 m40000:5 m5:6 ");
}

TEST_F(MuxRx, StreamFaults) {
    struct Case {
        const char* what;
        Bytes before; // bytes ahead of a good packet
        int failAlloc; // KrHeapFailAfter before the run, -1 none
        bool failRead;
        std::string expected;
    };
    // A form-G request header declaring a body of 16 MiB - 1 (and its code): 1111110 | id 13
    // bits... as packed: prefix 0xFC, length 0xFFFFFF in the second word.
    Bytes forged = {0xFC, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00, 0x05};
    Bytes forgedBody = forged; // then the declared payload and the trailer
    forgedBody.resize(forged.size() + 0xFFFFFF + 2, 0);
    const Case cases[] = {
        {"invalid prefix closes the stream", {0xFF, 0xFF, 0xFF, 0xFF}, -1, false, "c "},
        {"a read error closes the stream", {}, -1, true, "c "},
        {"a body that cannot be allocated is read away; the next packet is read", Packet(KRHDR_KIND_CONTROL, 3, 200, 9, 4), 0, false, "d m10:1 "},
        {"an over-long body is read away, never allocated", forgedBody, -1, false, "d m10:1 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        KrMuxRxReset(&rx);
        Feed feed;
        feed.stream = c.before;
        Bytes good = Packet(KRHDR_KIND_REQUEST, 2, 10, 1, 9);
        feed.stream.insert(feed.stream.end(), good.begin(), good.end());
        feed.failNext = c.failRead;
        if (c.failAlloc >= 0) KrHeapFailAfter(c.failAlloc);
        EXPECT_EQ(Drain(rx, feed), c.expected);
        KrHeapFailAfter(-1);
        EXPECT_EQ(KrMuxRxBufCount(), 0u);
    }
}

TEST_F(MuxRx, DatagramDamageStaysLocal) {
    const Bytes big1 = Packet(KRHDR_KIND_REQUEST, 1, 1200, 1, 1); // 3 datagrams
    // Filled with 0xFF, so that its tail read as a message start is an invalid header.
    const Bytes big2 = Packet(KRHDR_KIND_REQUEST, 1, 700, 0xFF, 2); // 2 datagrams
    const Bytes small3 = Packet(KRHDR_KIND_CONTROL, 1, 20, 3, 4);
    const Bytes small4 = Packet(KRHDR_KIND_REQUEST, 1, 30, 4, 3);
    const auto d1 = Datagrams(big1), d2 = Datagrams(big2);
    Bytes forged = {0xFC, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00, 0x05, 1, 2, 3};
    Bytes tail = small3;
    tail.insert(tail.end(), {0xDE, 0xAD, 0xBE, 0xEF}); // bytes after a complete message

    struct Case {
        const char* what;
        std::vector<Bytes> datagrams;
        std::string expected;
    };
    const Case cases[] = {
        {"whole messages over several datagrams", {d1[0], d1[1], d1[2], small3, d2[0], d2[1], small4},
         "m1200:1 m20:3 m700:255 m30:4 "},
        {"a lost middle datagram: its message is lost, the next one after a short datagram is read",
         {d1[0], d1[2], small3, small4}, "d m20:3 m30:4 "},
        {"a lost last datagram: the next message's start is read as the tail, then framing recovers",
         {d1[0], d1[1], d2[0], d2[1], small3, small4}, "d d m20:3 m30:4 "},
        {"a repeated datagram of a message: it and the tail after it are dropped",
         {d2[0], d2[0], d2[1], small3}, "d d m20:3 "},
        {"a repeated small message is read twice (the request layer sees the duplicate)",
         {small3, small3, small4}, "m20:3 m20:3 m30:4 "},
        {"bytes after a complete message are dropped", {tail, small4}, "m20:3 m30:4 "},
        {"an invalid prefix drops only its datagram", {{0xFF, 0xFF, 0xFF, 0xFF, 1, 2}, small3}, "d m20:3 "},
        {"a forged huge body drops its datagram, nothing allocated", {forged, small4}, "d m30:4 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        KrMuxRxReset(&rx);
        Feed feed;
        feed.datagram = true;
        std::string seen;
        for (const Bytes& d : c.datagrams) {
            feed.waiting.push_back(d);
            seen += Drain(rx, feed);
        }
        EXPECT_EQ(seen, c.expected);
        EXPECT_EQ(KrMuxRxBufCount(), 0u);
    }
}


// Connect and connect-ack payloads: words read only when the bytes are there, the refusals
// logged as the session layer logs them.
class MuxControl : public ::testing::Test {
protected:
    void SetUp() override {
        KrErrorInit();
        saved_ = KrGetTrace();
        dir_ = kt::FreshTraceDir();
        KrSetTrace(0x00FF0000);
    }
    void TearDown() override {
        KrSetTrace(saved_);
        KrTraceClose();
    }
    std::string Trace() {
        KrTraceClose();
        return kt::ReadFile(dir_ + "/krtrace.txt");
    }
    uint32_t saved_ = 0;
    std::string dir_;
};

TEST_F(MuxControl, ConnectPayloadsAreReadOnlyAsFarAsTheyGo) {
    // version 102, session word, source word, destination word, tx interval 5000, rx count 6
    const Bytes full = {0x00, 0x00, 0x00, 0x66, 0x12, 0x34, 0x56, 0x78, 0x00, 0x00, 0x00, 0x01,
                        0x7F, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x13, 0x88, 0x00, 0x00, 0x00, 0x06};
    struct Case {
        const char* what;
        bool ack;
        uint32_t length; // bytes of `full` given (kept in a buffer of exactly that size)
        int result;
        KRMUX_CONNECT expected;
    };
    const Case cases[] = {
        {"a whole connect", false, 24, 0, {102, 0x12345678, 1, KR_ADDR_WORD_UNSET, 5000, 6}},
        {"a connect one byte short", false, 23, 1, {}},
        {"an empty connect", false, 0, 1, {}},
        {"a whole connect-ack", true, 24, 0, {102, 0x12345678, 1, KR_ADDR_WORD_UNSET, 5000, 6}},
        {"a connect-ack of the address words only", true, 16, 0, {102, 0x12345678, 1, KR_ADDR_WORD_UNSET, 0, 0}},
        {"a connect-ack one byte short of them", true, 15, 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // An exact-size heap copy, so that a read beyond the payload is seen by the address checker.
        std::vector<uint8_t> payload(full.begin(), full.begin() + c.length);
        KRMUX_CONNECT out{};
        const uint8_t* data = payload.empty() ? nullptr : payload.data();
        int result = c.ack ? KrMuxConnectAckParse(data, c.length, &out, 0x77)
                           : KrMuxConnectParse(data, c.length, &out, 0x77);
        EXPECT_EQ(result, c.result);
        if (result == 0) {
            const uint32_t got[] = {out.version, out.sessionWord, out.sourceWord, out.destWord, out.txInterval, out.rxCount};
            const uint32_t want[] = {c.expected.version, c.expected.sessionWord, c.expected.sourceWord,
                                     c.expected.destWord, c.expected.txInterval, c.expected.rxCount};
            for (int i = 0; i < 6; ++i) EXPECT_EQ(got[i], want[i]) << "word " << i;
        } else {
            EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_BAD_DATA);
        }
    }
    const std::string trace = Trace();
    EXPECT_NE(trace.find("KrSessConnectHndlr[0x77]: Invalid connect control message parameter size: 23"), std::string::npos);
    EXPECT_NE(trace.find("KrSessConnectHndlr[0x77]: Invalid connect control message parameter size: 0"), std::string::npos);
    EXPECT_NE(trace.find("KrMuxConnectAckHndlr[0x77]: Truncated Connect request."), std::string::npos);
}

TEST_F(MuxControl, ReceivedHeaderCarriesTheControlCodeAndThePayloadPlace) {
    ASSERT_EQ(KrMuxRxBufHeapInit(), 0);
    struct Case {
        const char* what;
        Bytes packet;
        uint32_t kind, id, sequence, offset;
    };
    const Case cases[] = {
        {"a control packet: the code is in the plain text, the payload at the body's front",
         Packet(KRHDR_KIND_CONTROL, 9, 24, 0x11, 1), KRHDR_KIND_CONTROL, 9, 1, 0},
        {"a request: the payload after the code", Packet(KRHDR_KIND_REQUEST, 700, 40, 0x22, 0x1234),
         KRHDR_KIND_REQUEST, 700, 0x1234, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Feed feed;
        feed.stream = c.packet;
        KRMUX_RX rx{};
        KRMUX_RXSRC source = feed.Source();
        ASSERT_EQ(KrMuxRxRun(&rx, &source, 1), KRMUX_RX_MESSAGE);
        KRHDR h{};
        uint32_t offset = 99;
        EXPECT_EQ(KrMuxRxHeader(&rx, &h, &offset, 1), 0);
        EXPECT_EQ(h.kind, c.kind);
        EXPECT_EQ(h.id, c.id);
        EXPECT_EQ(h.sequence, c.sequence);
        EXPECT_EQ(offset, c.offset);
        EXPECT_EQ(rx.body[offset], c.packet[c.packet.size() - 2 - h.pad - 1]);
        // A body that does not agree with its header is refused.
        rx.bodyLen -= 1;
        EXPECT_EQ(KrMuxRxHeader(&rx, &h, &offset, 1), 1);
        rx.bodyLen += 1;
        KrMuxRxReset(&rx);
    }
    KrMuxRxBufHeapDestroy();
}


// The mux between live sockets: a plain socket plays the peer and a recording session layer
// stands in for the sessions.
struct Recorder {
    std::mutex lock;
    std::deque<KRMUX_SESS> sessions; // stable addresses; the listener first
    std::vector<std::string> events;
    void Add(const std::string& e) {
        std::lock_guard<std::mutex> hold(lock);
        events.push_back(e);
    }
    bool Has(const std::string& e) {
        std::lock_guard<std::mutex> hold(lock);
        return std::find(events.begin(), events.end(), e) != events.end();
    }
    size_t Index(KRMUX_SESS* s) {
        std::lock_guard<std::mutex> hold(lock);
        for (size_t i = 0; i < sessions.size(); ++i)
            if (&sessions[i] == s) return i;
        return 99;
    }
};
Recorder* g_Rec = nullptr;

std::string Who(KRMUX_SESS* s) { return "s" + std::to_string(g_Rec->Index(s)); }

const KRMUX_SESSOPS kRecordingOps = {
    nullptr,
    nullptr,
    [](KRMUX_SESS* listener) -> KRMUX_SESS* {
        std::lock_guard<std::mutex> hold(g_Rec->lock);
        KRMUX_SESS& s = g_Rec->sessions.emplace_back();
        s.sessionWord = 0x5E55;
        s.owner = listener;
        return &s;
    },
    [](KRMUX_SESS* s, const KRHDR* h, const uint8_t*, uint32_t length) {
        g_Rec->Add("connect " + Who(s) + " local " + std::to_string(s->localId) + " remote " +
                   std::to_string(s->remoteId) + " hid " + std::to_string(h->id) + " len " + std::to_string(length));
    },
    [](KRMUX_SESS* s, const KRHDR*, const uint8_t*, uint32_t) { g_Rec->Add("ack " + Who(s)); },
    [](KRMUX_SESS* s, const KRHDR* h, const uint8_t*, uint32_t length) {
        g_Rec->Add("control " + Who(s) + " code " + std::to_string(h->sequence) + " len " + std::to_string(length));
    },
    [](KRMUX_SESS* s, const KRMUX_RX* packet) {
        g_Rec->Add("request " + Who(s) + " len " + std::to_string(packet->hdr.length));
    },
    [](KRMUX_SESS* s, uint32_t reason) {
        s->closed = 1;
        g_Rec->Add("close " + Who(s) + " reason " + std::to_string(reason));
    },
};

Bytes ConnectPacket(uint32_t headerId, uint32_t payloadLength, uint32_t dest) {
    Bytes p = Packet(KRHDR_KIND_CONTROL, headerId, payloadLength, 0, 1);
    // version 102, session word 0x5E55, source word 0x7FFFFFFF, destination word, heartbeat 0, 0
    const uint32_t words[] = {102, 0x5E55, 0x7FFFFFFF, dest, 0, 0};
    size_t at = p.size() - 2 - payloadLength;
    for (uint32_t i = 0; i < payloadLength / 4 && i < 6; ++i)
        for (int b = 0; b < 4; ++b) p[at + i * 4 + b] = (uint8_t)(words[i] >> (24 - 8 * b));
    return p;
}

class MuxLive : public kio::Transport, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        kio::Transport::SetUp();
        ASSERT_EQ(KrMuxModuleInit(), 0);
        g_Rec = &rec_;
        KrMuxSetSessOps(&kRecordingOps);
        KRMUX_SESS& listener = rec_.sessions.emplace_back();
        listener.localWord = 0x7FFFFFFF;
        listener.remoteWord = 0x7FFFFFFF;
        KRTLADDR local{};
        ASSERT_EQ(KrTlAddrZero(&local, Tcp() ? KRTL_TCP : KRTL_UDP), 0u);
        ASSERT_EQ(KrSetTlIPAddr(&local, htonl(INADDR_LOOPBACK)), 0u);
        ASSERT_EQ(KrSetTlIPPort(&local, 0), 0u); // the system picks
        ASSERT_EQ(KrMuxSessAdd(&listener, &local, nullptr, 1, nullptr, 0), 0) << Trace();
        passive_ = listener.mux;
        KRTLADDR bound{};
        ASSERT_EQ(KrMuxGetTlAddr(passive_, &bound, 0), 0);
        ASSERT_EQ(KrGetTlIPPort(&bound, &port_), 0u);
        port_ = ntohs(port_); // kept in network order
    }
    void TearDown() override {
        KrMuxClose(passive_);
        for (KRMUX_SESS& s : rec_.sessions)
            if (s.mux) KrMuxClose(s.mux);
        EXPECT_TRUE(kio::WaitUntil([] { return KrMuxCount() == 0; }));
        KrMuxSetSessOps(nullptr);
        g_Rec = nullptr;
        KrMuxModuleCleanup();
        kio::Transport::TearDown();
    }
    bool Tcp() const { return GetParam() == 1; }
    // A peer socket towards the listener.
    std::unique_ptr<kio::RawSocket> Peer() {
        auto peer = std::make_unique<kio::RawSocket>(Tcp() ? SOCK_STREAM : SOCK_DGRAM);
        sockaddr_in to = kio::Loopback(port_);
        EXPECT_EQ(connect(peer->fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
        return peer;
    }
    static void Send(kio::RawSocket& peer, const Bytes& bytes) {
        // No SIGPIPE when the mux has closed the stream: the test fails instead of dying.
        ASSERT_EQ(send(peer.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), (ssize_t)bytes.size());
    }
    Recorder rec_;
    KRMUX_HNDL* passive_ = nullptr;
    uint16_t port_ = 0;
};

TEST_P(MuxLive, NewPeersWhoseFirstMessageIsNoUsableConnectAreClosed) {
    struct Case {
        const char* what;
        Bytes first;
        const char* logged;
    };
    const Case cases[] = {
        {"a heartbeat first", Packet(KRHDR_KIND_CONTROL, 0, 0, 0, 4), "Bogus message on new mux, closing."},
        {"a connect to an address word nobody listens on", ConnectPacket(3, 24, 0x1234),
         "Request to connect to unbound server address 0x00001234"},
        {"a connect of 20 bytes", ConnectPacket(3, 20, 0x7FFFFFFF), "Invalid connect control message parameter size: 20"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto peer = Peer();
        Send(*peer, c.first);
        EXPECT_TRUE(kio::WaitUntil([&] { return TraceCount(c.logged) == 1; })) << Trace();
        EXPECT_TRUE(kio::WaitUntil([] { return KrMuxCount() == 1; })) << "only the listening mux is left";
    }
    EXPECT_EQ(rec_.sessions.size(), 1u) << "no session was cloned";
}

TEST_P(MuxLive, ConnectedPeerReachesItsSessionByIdUntilTheMuxCloses) {
    auto peer = Peer();
    Send(*peer, ConnectPacket(7, 24, 0x7FFFFFFF));
    ASSERT_TRUE(kio::WaitUntil([&] { return rec_.Has("connect s1 local 0 remote 7 hid 7 len 24"); })) << Trace();
    KRMUX_HNDL* clone = rec_.sessions[1].mux;
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(KrMuxState(clone), (uint32_t)KRMUX_OPEN);
    // A repeated connect reaches the same session; messages for id 0 reach it, others nobody.
    Send(*peer, ConnectPacket(7, 24, 0x7FFFFFFF));
    Send(*peer, Packet(KRHDR_KIND_CONTROL, 0, 0, 0, 4));
    Send(*peer, Packet(KRHDR_KIND_CONTROL, 5, 0, 0, 4));
    Send(*peer, Packet(KRHDR_KIND_REQUEST, 0, 40, 9, 1));
    Send(*peer, Packet(KRHDR_KIND_REQUEST, 6, 40, 9, 2));
    // An unbound connect on an open mux is logged and the mux stays open.
    Send(*peer, ConnectPacket(8, 24, 0x4321));
    Send(*peer, Packet(KRHDR_KIND_CONTROL, 0, 8, 1, 5));
    ASSERT_TRUE(kio::WaitUntil([&] { return rec_.Has("control s1 code 5 len 8"); })) << Trace();
    {
        std::lock_guard<std::mutex> hold(rec_.lock);
        const std::vector<std::string> expected = {
            "connect s1 local 0 remote 7 hid 7 len 24", "connect s1 local 0 remote 7 hid 7 len 24",
            "control s1 code 4 len 0", "request s1 len 40", "control s1 code 5 len 8"};
        EXPECT_EQ(rec_.events, expected);
    }
    EXPECT_EQ(TraceCount("Failed to find session handle for id 6"), 1);
    EXPECT_EQ(TraceCount("unbound server address 0x00004321"), 1);
    EXPECT_EQ(KrMuxState(clone), (uint32_t)KRMUX_OPEN);
    EXPECT_EQ(rec_.sessions.size(), 2u);

    // Closing the listening mux closes the listener only; the clone keeps the shared list.
    KrMuxClose(passive_);
    EXPECT_TRUE(rec_.Has("close s0 reason 1"));
    EXPECT_FALSE(rec_.Has("close s1 reason 1"));
    EXPECT_EQ(KrMuxState(clone), (uint32_t)KRMUX_OPEN);
    // The clone still answers its peer (over UDP through the listening socket, which lives on
    // while clones use it); over TCP it still hears its own connection too.
    const Bytes answer = Packet(KRHDR_KIND_CONTROL, 7, 0, 0, 4);
    ASSERT_EQ(KrMuxTx(clone, answer.data(), (uint32_t)answer.size()), (int)answer.size());
    Bytes got(answer.size() + 8);
    ASSERT_EQ(recv(peer->fd, got.data(), got.size(), 0), (ssize_t)answer.size());
    got.resize(answer.size());
    EXPECT_EQ(got, answer);
    if (Tcp()) {
        Send(*peer, Packet(KRHDR_KIND_CONTROL, 0, 0, 0, 4));
        ASSERT_TRUE(kio::WaitUntil([&] {
            std::lock_guard<std::mutex> hold(rec_.lock);
            return std::count(rec_.events.begin(), rec_.events.end(), std::string("control s1 code 4 len 0")) == 2;
        }));
    }
    KrMuxClose(clone);
    EXPECT_TRUE(rec_.Has("close s1 reason 1"));
    // The io thread may still hold the mux while it finishes an event of its channel.
    EXPECT_TRUE(kio::WaitUntil([&] { return KrMuxState(clone) == KRMUX_DESTROYED; }));
}

TEST_P(MuxLive, SessionsTowardsOneAddressShareAMuxAndIdsStopAt2046) {
    if (Tcp()) GTEST_SKIP() << "the ids do not depend on the transport";
    KRTLADDR remote{};
    ASSERT_EQ(KrTlAddrZero(&remote, KRTL_UDP), 0u);
    ASSERT_EQ(KrSetTlIPAddr(&remote, htonl(INADDR_LOOPBACK)), 0u);
    ASSERT_EQ(KrSetTlIPPort(&remote, htons(port_)), 0u);
    std::deque<KRMUX_SESS> sessions(2048);
    for (uint32_t i = 0; i < 2047; ++i) {
        sessions[i].active = 1;
        ASSERT_EQ(KrMuxSessAdd(&sessions[i], nullptr, &remote, 1, nullptr, 0), 0) << i;
        ASSERT_EQ(sessions[i].localId, i);
        ASSERT_EQ(sessions[i].mux, sessions[0].mux) << "one mux per remote address";
    }
    // A session that leaves keeps its id out of use; the next id would be 2047, which no request
    // header can carry: refused.
    KrMuxSessRemove(&sessions[5]);
    EXPECT_EQ(sessions[5].mux, nullptr);
    sessions[2047].active = 1;
    KrErrorSet(0);
    EXPECT_EQ(KrMuxSessAdd(&sessions[2047], nullptr, &remote, 1, nullptr, 0), 1);
    EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_NO_MEMORY);
    EXPECT_EQ(sessions[2047].mux, nullptr);
    EXPECT_EQ(KrMuxState(sessions[0].mux), (uint32_t)KRMUX_OPEN);
    // Removing the last session closes the mux; closing does not call back removed sessions.
    KRMUX_HNDL* mux = sessions[0].mux;
    for (uint32_t i = 0; i < 2047; ++i)
        if (i != 5) KrMuxSessRemove(&sessions[i]);
    EXPECT_TRUE(kio::WaitUntil([&] { return KrMuxState(mux) == KRMUX_DESTROYED; }));
    EXPECT_FALSE(rec_.Has("close s0 reason 1"));
}

TEST_P(MuxLive, DamagedInputClosesAStreamButCostsADatagramOnlyItself) {
    auto peer = Peer();
    Send(*peer, ConnectPacket(2, 24, 0x7FFFFFFF));
    ASSERT_TRUE(kio::WaitUntil([&] { return rec_.Has("connect s1 local 0 remote 2 hid 2 len 24"); })) << Trace();
    KRMUX_HNDL* clone = rec_.sessions[1].mux;
    // A request header declaring a body of 16 MiB - 1: nothing of that size is allocated; a
    // datagram carrying it is dropped, a stream reads the body away.
    const Bytes forged = {0xFC, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00, 0x05};
    Send(*peer, forged);
    if (Tcp()) {
        Bytes rest(0xFFFFFF + 2, 0);
        for (size_t at = 0; at < rest.size();) {
            ssize_t n = send(peer->fd, rest.data() + at, rest.size() - at, MSG_NOSIGNAL);
            ASSERT_GT(n, 0);
            at += (size_t)n;
        }
    }
    Send(*peer, Packet(KRHDR_KIND_CONTROL, 0, 0, 0, 4));
    ASSERT_TRUE(kio::WaitUntil([&] { return rec_.Has("control s1 code 4 len 0"); })) << Trace();
    EXPECT_EQ(TraceCount("is over the limit, discarding message"), 1);
    // The io thread frees the delivered message's body once the handler has returned.
    EXPECT_TRUE(kio::WaitUntil([] { return KrMuxRxBufCount() == 0; }));
    // An invalid prefix: a stream cannot find the next message and closes its mux (reason 1 for
    // its sessions); a datagram is dropped and the mux goes on.
    Send(*peer, {0xFF, 0xFF, 0xFF, 0xFF});
    if (Tcp()) {
        EXPECT_TRUE(kio::WaitUntil([&] { return rec_.Has("close s1 reason 1"); })) << Trace();
        EXPECT_TRUE(kio::WaitUntil([&] { return KrMuxState(clone) == KRMUX_DESTROYED; }));
    } else {
        Send(*peer, Packet(KRHDR_KIND_CONTROL, 0, 4, 1, 5));
        EXPECT_TRUE(kio::WaitUntil([&] { return rec_.Has("control s1 code 5 len 4"); })) << Trace();
        EXPECT_EQ(KrMuxState(clone), (uint32_t)KRMUX_OPEN);
    }
}

TEST_P(MuxLive, ConnectAckTeachesTheActiveSessionItsPeersId) {
    if (Tcp()) GTEST_SKIP() << "a plain UDP socket plays the answering peer";
    kio::RawSocket answering(SOCK_DGRAM);
    KRTLADDR remote{};
    ASSERT_EQ(KrTlAddrZero(&remote, KRTL_UDP), 0u);
    ASSERT_EQ(KrSetTlIPAddr(&remote, htonl(INADDR_LOOPBACK)), 0u);
    ASSERT_EQ(KrSetTlIPPort(&remote, htons(kio::PortOf(answering.address))), 0u);
    KRMUX_SESS& s = rec_.sessions.emplace_back(); // s1
    s.active = 1;
    s.localWord = 0x7FFFFFFF;
    s.remoteWord = 0x7FFFFFFF;
    s.sessionWord = 0x5E55;
    ASSERT_EQ(KrMuxSessAdd(&s, nullptr, &remote, 1, nullptr, 0), 0);
    // The mux's channel sends from its own port: learn it from a first datagram.
    const Bytes hello = Packet(KRHDR_KIND_CONTROL, 0, 0, 0, 4);
    ASSERT_EQ(KrMuxTx(s.mux, hello.data(), (uint32_t)hello.size()), (int)hello.size());
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    uint8_t buffer[64];
    ASSERT_EQ(recvfrom(answering.fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength),
              (ssize_t)hello.size());
    struct Case {
        const char* what;
        uint32_t headerId, length;
        uint32_t session; // session word in the ack
        const char* event;
    };
    const Case cases[] = {
        {"an ack of 15 bytes", 9, 15, 0x5E55, nullptr},
        {"an ack for another session word", 9, 24, 0x1111, nullptr},
        {"an ack of the address words only", 9, 16, 0x5E55, "ack s1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes ack = ConnectPacket(c.headerId, c.length, 0x7FFFFFFF);
        ack[ack.size() - 2 - c.length + 4] = 0; // the session word (word 1)
        ack[ack.size() - 2 - c.length + 5] = 0;
        ack[ack.size() - 2 - c.length + 6] = (uint8_t)(c.session >> 8);
        ack[ack.size() - 2 - c.length + 7] = (uint8_t)c.session;
        ack[KrPTHdrPackedLen(ack[0]) - 1] = 2; // control code 2: connect-ack
        ASSERT_EQ(sendto(answering.fd, ack.data(), ack.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength),
                  (ssize_t)ack.size());
    }
    ASSERT_TRUE(kio::WaitUntil([&] { return rec_.Has("ack s1"); })) << Trace();
    EXPECT_EQ(s.remoteId, 9u);
    EXPECT_EQ(TraceCount("Truncated Connect request."), 1);
    EXPECT_EQ(TraceCount("Connect Ack destination unknown"), 1);
    std::lock_guard<std::mutex> hold(rec_.lock);
    EXPECT_EQ(std::count(rec_.events.begin(), rec_.events.end(), std::string("ack s1")), 1);
}

INSTANTIATE_TEST_SUITE_P(UdpAndTcp, MuxLive, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& i) { return i.param ? "Tcp" : "Udp"; });

}  // namespace
}  // namespace kmx
