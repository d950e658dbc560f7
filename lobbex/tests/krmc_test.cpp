// The multicast headers: golden bytes written out by hand from the layout, the bounds of both
// forms (254 destinations, 127 messages), the reader's "strictly below the plain size" rule,
// every truncation, a seeded round trip and a seeded mutation loop.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "krerrno.h"
#include "krmc.h"
#include "lobbex_exports.h"

namespace {

using Bytes = std::vector<uint8_t>;

class krmc : public ::testing::Test {
protected:
    void SetUp() override {
        KrErrorInit();
        KrErrorSet(0);
    }
};

Bytes PackTx(const KRMC_TXHDR& h) {
    Bytes out(KRMC_PACK_ROOM);
    out.resize(KrMCTxHdrPack(&h, out.data()));
    return out;
}

Bytes PackRx(const KRMC_RXHDR& h) {
    Bytes out(KRMC_PACK_ROOM);
    out.resize(KrMCRxHdrPack(&h, out.data()));
    return out;
}

KRMC_TXHDR Tx(uint32_t length, std::vector<KRADDR> dest) {
    KRMC_TXHDR h{};
    h.length = length;
    h.count = (uint32_t)dest.size();
    for (size_t i = 0; i < dest.size() && i < KRMC_TX_MAX; ++i) h.dest[i] = dest[i];
    return h;
}

KRMC_RXHDR Rx(std::vector<KRMC_RXPAIR> msgs) {
    KRMC_RXHDR h{};
    h.count = (uint32_t)msgs.size();
    for (size_t i = 0; i < msgs.size() && i < KRMC_RX_MAX; ++i) h.msg[i] = msgs[i];
    return h;
}

TEST_F(krmc, GoldenHeaders) {
    struct Case {
        const char* what;
        bool tx;
        KRMC_TXHDR txh;
        KRMC_RXHDR rxh;
        Bytes packed;
    } cases[] = {
        {"3 bytes to all", true, Tx(3, {}), {}, {0x02, 0xC3, 0xC0}},
        {"one destination", true, Tx(100, {5}), {}, {0x03, 0x80, 0x64, 0xC1, 0x85, 0xC0}},
        {"destinations as differences from the smallest", true, Tx(1, {9, 4, 70}), {},
         {0x05, 0xC1, 0xC3, 0x84, 0xC5, 0xC0, 0x80, 0x42}},
        {"one message, no bases", false, {}, Rx({{9, 300}}), {0x03, 0xC1, 0x89, 0x81, 0x2C}},
        {"two messages: bases s and 4, differences (0,6) (5,0)", false, {}, Rx({{7, 10}, {12, 4}}),
         {0x05, 0xC2, 0x87, 0xC4, 0xC0, 0xC6, 0xC5, 0xC0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.tx ? PackTx(c.txh) : PackRx(c.rxh), c.packed);
        if (c.tx) {
            KRMC_TXHDR back{};
            ASSERT_EQ(KrMCTxHdrUnpack(c.packed.data(), (uint32_t)c.packed.size(), &back), c.packed.size());
            ASSERT_EQ(back.count, c.txh.count);
            EXPECT_EQ(back.length, c.txh.length);
            for (uint32_t i = 0; i < back.count; ++i) EXPECT_EQ(back.dest[i], c.txh.dest[i]) << i;
        } else {
            KRMC_RXHDR back{};
            ASSERT_EQ(KrMCRxHdrUnpack(c.packed.data(), (uint32_t)c.packed.size(), &back), c.packed.size());
            ASSERT_EQ(back.count, c.rxh.count);
            for (uint32_t i = 0; i < back.count; ++i) {
                EXPECT_EQ(back.msg[i].sender, c.rxh.msg[i].sender) << i;
                EXPECT_EQ(back.msg[i].length, c.rxh.msg[i].length) << i;
            }
        }
        // Every truncation is refused with the bad-data error.
        for (size_t cut = 0; cut < c.packed.size(); ++cut) {
            KrErrorSet(0);
            KRMC_TXHDR t{};
            KRMC_RXHDR r{};
            const uint32_t got = c.tx ? KrMCTxHdrUnpack(c.packed.data(), (uint32_t)cut, &t)
                                      : KrMCRxHdrUnpack(c.packed.data(), (uint32_t)cut, &r);
            EXPECT_EQ(got, 0u) << "cut at " << cut;
            EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_BAD_DATA) << "cut at " << cut;
        }
    }
}

TEST_F(krmc, TheLargestListsAndTheirBounds) {
    std::vector<KRADDR> all;
    for (KRADDR a = 1; a <= 255; ++a) all.push_back(a);
    KRMC_TXHDR h254 = Tx(64, std::vector<KRADDR>(all.begin(), all.begin() + 254));
    const Bytes packed = PackTx(h254);
    ASSERT_FALSE(packed.empty());
    EXPECT_EQ(packed[0], 0) << "a plain size of 1024 is written as 0";
    EXPECT_EQ(KrMCHdrLen(packed.data()), 1024u);
    KRMC_TXHDR back{};
    ASSERT_EQ(KrMCTxHdrUnpack(packed.data(), (uint32_t)packed.size(), &back), packed.size());
    EXPECT_EQ(back.count, 254u);
    EXPECT_EQ(back.dest[253], 254u);

    KRMC_TXHDR h255 = h254;
    h255.count = 255;
    uint8_t out[KRMC_PACK_ROOM];
    EXPECT_EQ(KrMCTxHdrPack(&h255, out), 0u) << "255 destinations cannot be described";

    std::vector<KRMC_RXPAIR> msgs;
    for (uint32_t i = 0; i < 128; ++i) msgs.push_back({i % 100 + 1, 64});
    KRMC_RXHDR rx127 = Rx(std::vector<KRMC_RXPAIR>(msgs.begin(), msgs.begin() + 127));
    const Bytes r = PackRx(rx127);
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(KrMCHdrLen(r.data()), 4u + 8u * 127u);
    KRMC_RXHDR rback{};
    EXPECT_EQ(KrMCRxHdrUnpack(r.data(), (uint32_t)r.size(), &rback), r.size());
    EXPECT_EQ(rback.count, 127u);
    KRMC_RXHDR rx128 = rx127;
    rx128.count = 128; // the first byte would overflow
    EXPECT_EQ(KrMCRxHdrPack(&rx128, out), 0u);
}

// A header is readable only when every field ends strictly below the stated plain size; the
// writers therefore refuse a packed form that is not shorter than the plain one.
TEST_F(krmc, FieldsMustEndBelowThePlainSize) {
    struct Case {
        const char* what;
        bool tx;
        Bytes packed;
        uint32_t expected; // 0: refused
    } cases[] = {
        {"last field ends one byte early", true, {0x03, 0x00, 0x00, 0x40, 0x00, 0xC1, 0x00, 0x00, 0x10, 0x00, 0xC0}, 11},
        {"last field ends at the plain size", true,
         {0x03, 0x00, 0x00, 0x40, 0x00, 0xC1, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00}, 0},
        {"count asks more destinations than the size holds", true, {0x02, 0xC3, 0xC1, 0x85, 0xC0}, 0},
        {"plain size below the fixed part", true, {0x01, 0xC3, 0xC0}, 0},
        {"receive count 0 always reaches its size", false, {0x01, 0xC0, 0x80, 0xC0}, 0},
        {"receive count asks more pairs than the size holds", false, {0x03, 0xC2, 0x87, 0xC4, 0xC0, 0xC6, 0xC5, 0xC0}, 0},
        {"receive count 128 under the largest size", false, {0x00, 0x80, 0x80, 0x81, 0xC0}, 0},
        {"illegal packed address", false, {0x03, 0xC1, 0xE0, 0xC0}, 0},
    };
    for (const Case& c : cases) {
        KrErrorSet(0);
        KRMC_TXHDR t{};
        KRMC_RXHDR r{};
        const uint32_t got = c.tx ? KrMCTxHdrUnpack(c.packed.data(), (uint32_t)c.packed.size(), &t)
                                  : KrMCRxHdrUnpack(c.packed.data(), (uint32_t)c.packed.size(), &r);
        EXPECT_EQ(got, c.expected) << c.what;
        if (!c.expected) {
            EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_BAD_DATA) << c.what;
        }
    }
    // 64 widely spaced destinations and a 4-byte length pack to exactly their plain size (264
    // bytes): not sent.
    std::vector<KRADDR> wide;
    for (uint32_t i = 0; i < 64; ++i) wide.push_back(0x100000 + i * 0x10000);
    EXPECT_TRUE(PackTx(Tx(20000, wide)).empty());
    wide.pop_back(); // 63 of them pack below their plain size of 260
    EXPECT_FALSE(PackTx(Tx(20000, wide)).empty());
    // A receive header of no message cannot be read back, so it is never written.
    EXPECT_TRUE(PackRx(Rx({})).empty());
}

TEST_F(krmc, SeededRoundTrip) {
    std::mt19937 rng(20261211);
    int txWritten = 0, rxWritten = 0;
    for (int round = 0; round < 600; ++round) {
        const bool near = round % 3 != 0; // player addresses, or spread over the unicast range
        auto address = [&]() -> KRADDR {
            return (KRADDR)(near ? 1 + rng() % 100 : 1 + rng() % 0x3FFFFFFE);
        };
        KRMC_TXHDR tx{};
        tx.length = (uint32_t)(rng() % 3 == 0 ? rng() % 0x7FFFFFFF : rng() % 3000);
        tx.count = (uint32_t)(rng() % (KRMC_TX_MAX + 1));
        for (uint32_t i = 0; i < tx.count; ++i) tx.dest[i] = address();
        const Bytes p = PackTx(tx);
        if (!p.empty()) {
            ++txWritten;
            ASSERT_LT(p.size(), KrMCHdrLen(p.data()));
            KRMC_TXHDR back{};
            ASSERT_EQ(KrMCTxHdrUnpack(p.data(), (uint32_t)p.size(), &back), p.size()) << round;
            ASSERT_EQ(back.count, tx.count);
            ASSERT_EQ(back.length, tx.length);
            for (uint32_t i = 0; i < tx.count; ++i) ASSERT_EQ(back.dest[i], tx.dest[i]) << round << " " << i;
        } else {
            ASSERT_FALSE(near) << "player addresses always pack below their plain size, round " << round;
        }
        KRMC_RXHDR rx{};
        rx.count = (uint32_t)(1 + rng() % KRMC_RX_MAX);
        for (uint32_t i = 0; i < rx.count; ++i) rx.msg[i] = {address(), (uint32_t)(rng() % 2049)};
        const Bytes q = PackRx(rx);
        if (!q.empty()) {
            ++rxWritten;
            KRMC_RXHDR back{};
            ASSERT_EQ(KrMCRxHdrUnpack(q.data(), (uint32_t)q.size(), &back), q.size()) << round;
            ASSERT_EQ(back.count, rx.count);
            for (uint32_t i = 0; i < rx.count; ++i) {
                ASSERT_EQ(back.msg[i].sender, rx.msg[i].sender);
                ASSERT_EQ(back.msg[i].length, rx.msg[i].length);
            }
        } else {
            ASSERT_FALSE(near) << round;
        }
    }
    EXPECT_GT(txWritten, 400);
    EXPECT_GT(rxWritten, 400);
}

// Mutated headers: whatever the reader accepts lies inside the bytes given and below the size.
TEST_F(krmc, SeededMutationsStayInBounds) {
    std::mt19937 rng(4711);
    std::vector<Bytes> seeds = {PackTx(Tx(3, {})), PackTx(Tx(500, {1, 2, 3, 60, 99})),
                                PackRx(Rx({{7, 10}, {12, 4}, {3, 2000}})), PackRx(Rx({{9, 300}}))};
    for (int round = 0; round < 20000; ++round) {
        Bytes b = seeds[round % seeds.size()];
        const int edits = 1 + rng() % 4;
        for (int e = 0; e < edits; ++e) {
            switch (rng() % 3) {
            case 0: b[rng() % b.size()] = (uint8_t)rng(); break;
            case 1: b.insert(b.begin() + rng() % (b.size() + 1), (uint8_t)rng()); break;
            default:
                if (b.size() > 1) b.erase(b.begin() + rng() % b.size());
            }
        }
        // A copy of exactly the given length, so that the sanitizer sees any read beyond it.
        std::unique_ptr<uint8_t[]> exact(new uint8_t[b.size()]);
        std::copy(b.begin(), b.end(), exact.get());
        KRMC_TXHDR t{};
        KRMC_RXHDR r{};
        const uint32_t nt = KrMCTxHdrUnpack(exact.get(), (uint32_t)b.size(), &t);
        if (nt) {
            ASSERT_LE(nt, b.size());
            ASSERT_LT(nt, KrMCHdrLen(exact.get()));
            ASSERT_LE(t.count, KRMC_TX_MAX);
        }
        const uint32_t nr = KrMCRxHdrUnpack(exact.get(), (uint32_t)b.size(), &r);
        if (nr) {
            ASSERT_LE(nr, b.size());
            ASSERT_LT(nr, KrMCHdrLen(exact.get()));
            ASSERT_LE(r.count, KRMC_RX_MAX);
        }
    }
}

}  // namespace
