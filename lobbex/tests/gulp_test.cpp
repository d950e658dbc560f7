// The game API's decoders and the GULP table without a network: golden XDR bytes of the
// requests, every truncation of every reply record, the data-in handler with well-formed,
// malformed and mutated requests, and the receive queue with its bounds, its purge at close and
// its readers.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "krcgame_join.h"
#include "krcserver.h"
#include "krerrno.h"
#include "krgulp.h"
#include "krmc.h"
#include "krxdr.h"
#include "krxdrtypes.h"
#include "lobbex_exports.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encode(xdrproc_t routine, void* record) {
    char* bytes = nullptr;
    uint32_t length = 0;
    EXPECT_TRUE(KrGameEncode(routine, record, &bytes, &length));
    Bytes out(bytes, bytes + length);
    std::free(bytes);
    return out;
}

Bytes Hex(const std::string& text) {
    Bytes out;
    for (size_t i = 0; i + 1 < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        out.push_back((uint8_t)std::stoul(text.substr(i, 2), nullptr, 16));
        i += 2;
    }
    return out;
}

TEST(GameRequests, GoldenXdrBytes) {
    KRGICS_CLIENT_JOIN_REQ join{7, const_cast<char*>("ab")};
    EXPECT_EQ(Encode(KRXDR_CAST(xdr_KRGICS_CLIENT_JOIN_REQ), &join), Hex("00000007 00000002 61620000"));
    KRGICS_CLIENT_JOIN_REQ longName{7, const_cast<char*>("seventeen-letters")};
    char* none = nullptr;
    uint32_t n = 0;
    EXPECT_FALSE(KrGameEncode(KRXDR_CAST(xdr_KRGICS_CLIENT_JOIN_REQ), &longName, &none, &n))
        << "a name of more than 16 characters cannot be sent";
    KRGICS_CLIENT_ENUMERATE_REQ list{0, 0};
    EXPECT_EQ(Encode(KRXDR_CAST(xdr_KRGICS_CLIENT_ENUMERATE_REQ), &list), Hex("00000000 00000000"));
    KRADDR who = 5;
    EXPECT_EQ(Encode(KRXDR_CAST(xdr_KRADDR), &who), Hex("00000005"));
    char* name = const_cast<char*>("Qor GULP");
    EXPECT_EQ(Encode(KRXDR_CAST(xdr_KRGULP_NAME), &name), Hex("00000008 516f722047554c50"));
    KRGICS_GULP_STYLE si{KRGULP_STYLE_SI, 1, {500, 0, 0, 0, 0, 0}};
    KRGICS_GULP_INFO create{};
    create.styleWord = KRGULP_STYLE_SI;
    create.word = 100;
    create.address = KRADDR_NONE;
    create.tlAddress.family = KRTL_TCP;
    create.name = name;
    create.style = &si;
    EXPECT_EQ(Encode(KRXDR_CAST(xdr_KRGICS_GULP_INFO), &create),
              Hex("00000002 00000064 7fffffff 00000002 00000000000000000000000000000000 00000008 516f722047554c50 "
                  "00000001 00000002 00000001 000001f4 00000000 00000000"));
}

// Every cut of every reply record fails to decode, and what a failed decode made is released
// (the sanitizer run finds any leak).
TEST(GameReplies, EveryTruncationIsRefused) {
    KRGICS_CLIENT_JOIN_RESP join{3, 0x1000, {KRTL_TCP, 0x3412, 0x0100007f, {}}};
    KRGICS_CLIENT_INFO clients[2] = {{1, 9, const_cast<char*>("alpha")}, {2, 0, const_cast<char*>("sixteen-letters!")}};
    KRGICS_CLIENT_ENUMERATE_RESP players{2, 2, clients};
    KRGICS_GULP_STYLE cs{KRGULP_STYLE_CS, 1, {1, 2, 3, 4, 5, 6}};
    KRGICS_GULP_INFO gulps[2] = {{2, 100, 0x2000, {KRTL_TCP, 1, 2, {}}, const_cast<char*>("Qor GULP"), &cs},
                                 {1, 100, 0x2001, {}, const_cast<char*>("plain"), nullptr}};
    KRGICS_GULP_ENUMERATE_RESP gulpList{0, 2, gulps};
    // Server records with a 127-character name and 5000 data bytes.
    std::string longName(127, 'n'), bytes(5000, 'd');
    KRSERVER_PAIR pairs[1] = {{0, 5}};
    KRSERVER_INFO servers[2] = {{const_cast<char*>("text"), 1, 2, 3, 0x3001, {KRTL_TCP, 1, 2, {}}, longName.data(), 5000,
                                 bytes.data(), 1, pairs},
                                {nullptr, 0, 0, 0, 0x3002, {}, const_cast<char*>("b"), 0, nullptr, 0, nullptr}};
    KRGICS_SERVER_ENUMERATE_RESP serverList{0, 2, servers};
    struct Case {
        const char* what;
        xdrproc_t routine;
        void* record;
        size_t size;
    } cases[] = {
        {"join reply", KRXDR_CAST(xdr_KRGICS_CLIENT_JOIN_RESP), &join, sizeof(KRGICS_CLIENT_JOIN_RESP)},
        {"client info", KRXDR_CAST(xdr_KRGICS_CLIENT_INFO), &clients[1], sizeof(KRGICS_CLIENT_INFO)},
        {"player list", KRXDR_CAST(xdr_KRGICS_CLIENT_ENUMERATE_RESP), &players, sizeof(KRGICS_CLIENT_ENUMERATE_RESP)},
        {"gulp info", KRXDR_CAST(xdr_KRGICS_GULP_INFO), &gulps[0], sizeof(KRGICS_GULP_INFO)},
        {"gulp list", KRXDR_CAST(xdr_KRGICS_GULP_ENUMERATE_RESP), &gulpList, sizeof(KRGICS_GULP_ENUMERATE_RESP)},
        {"server record", KRXDR_CAST(xdr_KRSERVER_INFO), &servers[0], sizeof(KRSERVER_INFO)},
        {"server list", KRXDR_CAST(xdr_KRGICS_SERVER_ENUMERATE_RESP), &serverList, sizeof(KRGICS_SERVER_ENUMERATE_RESP)},
    };
    for (const Case& c : cases) {
        const Bytes whole = Encode(c.routine, c.record);
        std::vector<uint8_t> out(c.size);
        ASSERT_TRUE(KrGameDecode(c.routine, out.data(), whole.data(), (uint32_t)whole.size())) << c.what;
        krxdr_free(c.routine, out.data());
        for (size_t cut = 0; cut < whole.size(); ++cut) {
            std::vector<uint8_t> exact(whole.begin(), whole.begin() + (long)cut);
            std::fill(out.begin(), out.end(), 0);
            EXPECT_FALSE(KrGameDecode(c.routine, out.data(), exact.data(), (uint32_t)cut)) << c.what << " cut " << cut;
        }
    }
}

// A server list whose count word promises more records than follow, or more than 200, is refused.
TEST(GameReplies, ServerListCountsBeyondTheirList) {
    KRSERVER_INFO one{nullptr, 0, 0, 0, 0x3001, {}, const_cast<char*>("a"), 0, nullptr, 0, nullptr};
    KRGICS_SERVER_ENUMERATE_RESP list{0, 1, &one};
    const Bytes whole = Encode(KRXDR_CAST(xdr_KRGICS_SERVER_ENUMERATE_RESP), &list);
    for (uint32_t count : {2u, 201u, 0xFFFFFFFFu}) {
        Bytes forged = whole;
        for (int i = 0; i < 4; ++i) forged[4 + i] = (uint8_t)(count >> (24 - 8 * i));
        KRGICS_SERVER_ENUMERATE_RESP out{};
        EXPECT_FALSE(KrGameDecode(KRXDR_CAST(xdr_KRGICS_SERVER_ENUMERATE_RESP), &out, forged.data(), (uint32_t)forged.size()))
            << count;
    }
}

// The flat server record: a 127-character name fills its field without a terminator; of 5000
// data bytes the length says 5000 and 4096 are copied.
TEST(GameReplies, TheFlatServerRecord) {
    std::string longName(127, 'n'), bytes(5000, 'd');
    bytes[4095] = 'L';
    KRSERVER_INFO info{const_cast<char*>("second"), 7, 0, 0, 0x3001, {KRTL_TCP, 0x1234, 0x0100007f, {}}, longName.data(),
                       5000, bytes.data(), 0, nullptr};
    std::vector<uint8_t> flat(KRSERVER_FLAT_SIZE + 16, 0xEE);
    KrServerInfoFlatten(info, flat.data());
    EXPECT_EQ(flat[0], 0x01);
    EXPECT_EQ(flat[1], 0x30);
    EXPECT_EQ(std::string(flat.begin() + 20, flat.begin() + 147), longName) << "no terminator";
    EXPECT_EQ(std::string(flat.begin() + 147, flat.begin() + 153), "second");
    EXPECT_EQ(flat[153], 0);
    EXPECT_EQ(flat[276], 7);
    EXPECT_EQ(flat[280] | flat[281] << 8, 5000);
    EXPECT_EQ(flat[284 + 4095], 'L');
    EXPECT_EQ(flat[KRSERVER_FLAT_SIZE], 0xEE) << "nothing past the record";
}

// ---- the GULP table without a network ----

struct Delivered {
    KRADDR sender;
    Bytes bytes;
};
std::vector<Delivered> g_Delivered;
const uint8_t* g_RequestBegin = nullptr;
const uint8_t* g_RequestEnd = nullptr;

void Collect(HGULP, uintptr_t, KRADDR sender, const void* data, uint32_t length) {
    const auto* p = static_cast<const uint8_t*>(data);
    // Every payload lies inside the request it came in.
    EXPECT_GE(p, g_RequestBegin);
    EXPECT_LE(p + length, g_RequestEnd);
    g_Delivered.push_back({sender, Bytes(p, p + length)});
}

class GulpTable : public ::testing::Test {
protected:
    static constexpr HGULP kSlot = 5;
    void SetUp() override {
        KrErrorInit();
        InitGULPs();
        g_Delivered.clear();
        g_ = GetGULPPtr(kSlot);
        KrLockEnter(&g_->lock);
        g_->state = KRGULP_CONNECTED;
        g_->session = fake_;
        g_->messageCallback = Collect;
        KrLockLeave(&g_->lock);
        KrResetGULPMeter(kSlot);
    }
    void TearDown() override {
        KrLockEnter(&g_->lock);
        g_->state = KRGULP_FREE;
        g_->session = nullptr;
        g_->messageCallback = nullptr;
        KrLockLeave(&g_->lock);
        CleanupGULPs();
    }
    // One data-in request of these messages, through the handler.
    static Bytes DataIn(std::vector<std::pair<KRADDR, std::string>> messages) {
        KRMC_RXHDR h{};
        h.count = (uint32_t)messages.size();
        std::string payloads;
        for (size_t i = 0; i < messages.size(); ++i) {
            h.msg[i] = {messages[i].first, (uint32_t)messages[i].second.size()};
            payloads += messages[i].second;
        }
        Bytes out(KRMC_PACK_ROOM);
        out.resize(KrMCRxHdrPack(&h, out.data()));
        out.insert(out.end(), payloads.begin(), payloads.end());
        return out;
    }
    void Deliver(const Bytes& request) {
        // An exact copy, so that the sanitizer sees any read past the request.
        std::unique_ptr<uint8_t[]> exact(new uint8_t[request.size() + 1]);
        std::copy(request.begin(), request.end(), exact.get());
        g_RequestBegin = exact.get();
        g_RequestEnd = exact.get() + request.size();
        MultiCastReqHndlrCBF(fake_, reinterpret_cast<void*>((intptr_t)kSlot), 1, exact.get(), (uint32_t)request.size(),
                             nullptr);
    }

    KRGULP_CB* g_ = nullptr;
    KRSESS_HNDL* fake_ = reinterpret_cast<KRSESS_HNDL*>(&fakeSession_);
    uint64_t fakeSession_ = 0; // never entered: the handler only compares it with the slot's
};

TEST_F(GulpTable, DataInDeliversInHeaderOrderOrNothing) {
    Deliver(DataIn({{7, "abc"}, {3, ""}, {12, "longer message"}}));
    ASSERT_EQ(g_Delivered.size(), 3u);
    EXPECT_EQ(g_Delivered[0].sender, 7u);
    EXPECT_EQ(std::string(g_Delivered[0].bytes.begin(), g_Delivered[0].bytes.end()), "abc");
    EXPECT_EQ(g_Delivered[1].sender, 3u);
    EXPECT_TRUE(g_Delivered[1].bytes.empty());
    EXPECT_EQ(std::string(g_Delivered[2].bytes.begin(), g_Delivered[2].bytes.end()), "longer message");
    EXPECT_EQ(KrGetGULPMeter(kSlot)->messagesIn, 3u);
    EXPECT_EQ(KrGetGULPMeter(kSlot)->smallest, 0u);
    EXPECT_EQ(KrGetGULPMeter(kSlot)->largest, 14u);

    struct Case {
        const char* what;
        Bytes request;
    } refused[] = {
        {"no message", Hex("01 C0 80 C0")},
        {"payload runs past the data", [] {
             Bytes b = DataIn({{1, "four"}, {2, "five!"}});
             b.pop_back();
             return b;
         }()},
        {"count larger than the header holds", Hex("03 C2 87 C4 C0 C6 C5 C0 0102030405060708090a")},
        {"empty request", Bytes{}},
    };
    for (const Case& c : refused) {
        g_Delivered.clear();
        Deliver(c.request);
        EXPECT_TRUE(g_Delivered.empty()) << c.what;
    }
    // Another session's request (an earlier GULP of this slot) is not delivered either.
    uint64_t other = 0;
    const Bytes fine = DataIn({{1, "x"}});
    g_Delivered.clear();
    MultiCastReqHndlrCBF(reinterpret_cast<KRSESS_HNDL*>(&other), reinterpret_cast<void*>((intptr_t)kSlot), 1,
                         const_cast<uint8_t*>(fine.data()), (uint32_t)fine.size(), nullptr);
    EXPECT_TRUE(g_Delivered.empty());
}

TEST_F(GulpTable, SeededMutationsNeverReachPastTheRequest) {
    std::mt19937 rng(77);
    const Bytes seed = DataIn({{7, "abc"}, {9, "defgh"}, {4, "ij"}});
    for (int round = 0; round < 20000; ++round) {
        Bytes b = seed;
        for (int e = 1 + (int)(rng() % 3); e > 0; --e) {
            if (b.empty()) b.push_back((uint8_t)rng());
            switch (rng() % 4) {
            case 0: b[rng() % b.size()] = (uint8_t)rng(); break;
            case 1: b.insert(b.begin() + (long)(rng() % (b.size() + 1)), (uint8_t)rng()); break;
            case 2:
                if (b.size() > 1) b.erase(b.begin() + (long)(rng() % b.size()));
                break;
            default: b.resize(rng() % (b.size() + 1)); // a truncation
            }
        }
        g_Delivered.clear();
        Deliver(b);
        size_t total = 0;
        for (const Delivered& d : g_Delivered) total += d.bytes.size();
        ASSERT_LE(total, b.size()) << round;
        ASSERT_LE(g_Delivered.size(), KRMC_RX_MAX);
    }
}

TEST_F(GulpTable, QueueReadsBoundsAndPurge) {
    KrLockEnter(&g_->lock);
    g_->messageCallback = nullptr; // queue what arrives
    KrLockLeave(&g_->lock);
    KRADDR sender = 0;
    char buffer[16];
    uint32_t length = sizeof buffer;
    EXPECT_EQ(KrReadGULP(kSlot, &sender, buffer, &length), -101);
    EXPECT_EQ(IsGULPQEmpty(kSlot), 1);
    Deliver(DataIn({{2, "0123456789"}, {3, "x"}}));
    EXPECT_EQ(CountGULPQ(kSlot), 2u);
    EXPECT_EQ(KrIsDataReady(kSlot), 10u);
    EXPECT_EQ(IsGULPQEmpty(kSlot), 0);
    length = 9;
    EXPECT_EQ(KrReadGULP(kSlot, &sender, buffer, &length), -102) << "one byte short";
    EXPECT_EQ(CountGULPQ(kSlot), 2u) << "the message stays first";
    length = 10;
    ASSERT_EQ(KrReadGULP(kSlot, &sender, buffer, &length), 0);
    EXPECT_EQ(sender, 2u);
    EXPECT_EQ(std::string(buffer, length), "0123456789");
    EXPECT_EQ(GetFirstMessageLength(kSlot), 1u);
    EXPECT_EQ(KrReadGULP(99, &sender, buffer, &length), -100);

    // The queue keeps the newest 4096 messages.
    for (uint32_t i = 0; i < KRGULP_QUEUE_MAX_MESSAGES + 10; ++i) KrMessageHandler(kSlot, i, &i, sizeof i);
    EXPECT_EQ(CountGULPQ(kSlot), KRGULP_QUEUE_MAX_MESSAGES);
    uint32_t first = 0;
    length = sizeof first;
    ASSERT_EQ(KrReadGULP(kSlot, &sender, &first, &length), 0);
    EXPECT_EQ(first, 10u) << "the oldest went first";
    // And at most 4 MB.
    std::vector<uint8_t> mega(1u << 20, 0xAB);
    for (int i = 0; i < 5; ++i) KrMessageHandler(kSlot, 50 + (KRADDR)i, mega.data(), (uint32_t)mega.size());
    EXPECT_LE(g_->queuedBytes, KRGULP_QUEUE_MAX_BYTES);
    EXPECT_EQ(CountGULPQ(kSlot), 4u);

    // Closing purges it: nothing is left for the next GULP in this slot.
    EXPECT_EQ(KrCloseGULP(kSlot), 0);
    EXPECT_EQ(CountGULPQ(kSlot), 0u);
    EXPECT_EQ(IsGULPConnected(kSlot), 0);
    EXPECT_EQ(KrWriteGULP(kSlot, "x", 1, nullptr), -92);
    EXPECT_EQ(KrWriteGULP(-1, "x", 1, nullptr), -91);
}

TEST_F(GulpTable, MeterAndFullTable) {
    EXPECT_EQ(KrGetGULPMeter(kSlot)->smallest, 0x7fffffffu);
    EXPECT_EQ(KrResetGULPMeter(64), -120);
    EXPECT_EQ(KrGetGULPMeter(64), nullptr);
    for (HGULP h = 0; h < KR_MAX_GULPS; ++h) GetGULPPtr(h)->state = KRGULP_CLAIMED;
    EXPECT_EQ(KrOpenGULP(0, KRGULP_OPEN_FIND, reinterpret_cast<uintptr_t>("x"), 0, nullptr, nullptr), -80);
    for (HGULP h = 0; h < KR_MAX_GULPS; ++h)
        if (h != kSlot) GetGULPPtr(h)->state = KRGULP_FREE;
}

}  // namespace

namespace {

// The tagged write reads (tag, value) pairs to tag 0: tag 1 sets the write style, tag 2 is skipped
// with its value, any other tag ends the list. Styles 1 to 3 write (here to a handle that is not
// open, so the write's own answer, -91, shows that it was tried); anything else answers -1 and
// sends nothing.
TEST(GulpExtendedWrite, TagsChooseTheStyle) {
    struct Case {
        const char* what;
        uint32_t words[7]; // the tag list, zero-padded (a 0 tag ends it)
        int result;
    } cases[] = {
        {"style 1 and a skipped pair", {1, 2, 2, 77, 0}, -91},
        {"skipped pair first", {2, 1, 1, 3, 0}, -91},
        {"only the end", {0}, -1},
        {"style 4", {1, 4, 0}, -1},
        {"style 0", {1, 0, 0}, -1},
        {"an unknown tag ends the list; the style before it holds", {1, 2, 9, 1, 1, 5, 0}, -91},
        {"an unknown tag before the style", {9, 1, 1, 1, 0}, -1},
        {"the last style wins", {1, 3, 1, 7, 0}, -1},
    };
    for (const Case& c : cases) {
        const uint32_t* w = c.words;
        EXPECT_EQ(KrWriteGULPExtended(-1, "x", 1, nullptr, w[0], w[1], w[2], w[3], w[4], w[5], w[6], 0u), c.result)
            << c.what;
    }
}

}  // namespace
