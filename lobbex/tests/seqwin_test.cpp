// Sequence windows: widening received 16-bit numbers against a reference, the window, distances
// and comparisons, across the 16-bit wrap on the wire and the wrap of the 32-bit counter.
#include <gtest/gtest.h>

#include <random>

#include "krlog.h"
#include "krrq_seq.h"

namespace {

TEST(SeqWindow, NormalizePicksTheNearestEpoch) {
    struct Case {
        uint32_t reference;
        uint16_t received;
        uint32_t expected;
    } cases[] = {
        {0x00003FFF, 0x0000, 0x00000000}, // same epoch
        {0x00003FFF, 0x4000, 0x00004000}, // the next
        {0x00004000, 0x3FFF, 0x00003FFF}, // the previous
        {0x00004000, 0xFFFF, 0x0000FFFF}, // two epochs on: out of any window
        {0x00004000, 0x8123, 0x00008123}, // the next
        {0x00000005, 0xFFFF, 0xFFFFFFFF}, // the previous epoch of epoch 0 is the last
        {0x00000005, 0x8000, 0x00008000}, // epoch 2
        {0xFFFFC000, 0x0000, 0x00000000}, // the next epoch of the last is 0
        {0xFFFFC000, 0xC005, 0xFFFFC005}, //
        {0xFFFFC000, 0x8001, 0xFFFF8001}, //
        {0xFFFFC000, 0x4001, 0x00004001}, // two on, through the wrap
        {0x12345678, 0x5679, 0x12345679}, //
        {0x12345678, 0x9679, 0x12349679}, //
        {0x12345678, 0x1679, 0x12341679}, //
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KrSeqNormalize(c.reference, c.received), c.expected)
            << std::hex << c.reference << " " << c.received;
    }
}

TEST(SeqWindow, TheWindowReachesOneEpochAheadAndJustShortOfOneBehind) {
    struct Case {
        uint32_t reference;
        int64_t offset;
        bool in;
    } cases[] = {
        {0x1000, 0, true},          {0x1000, 16384, true},       {0x1000, 16385, false},
        {0x1000, -16383, true},     {0x1000, -16384, false},     {0x1000, 32768, false},
        {0x1000, -32768, false},    {0xFFFFF000, 0x2000, true},  {0xFFFFF000, 16384, true},
        {0x00000800, -0x1000, true}, {0x00000800, -16384, false}, {0xFFFFFFFF, 1, true},
        {0, -1, true},              {0x3FFF, 16384, true},       {0x3FFF, 16385, false},
    };
    for (const Case& c : cases) {
        const uint32_t x = (uint32_t)(c.reference + c.offset);
        EXPECT_EQ(KrSeqInWindow(c.reference, x) != 0, c.in) << std::hex << c.reference << " " << std::dec << c.offset;
    }
}

TEST(SeqWindow, DistancesAndIncomparableNumbers) {
    struct Case {
        uint32_t reference, a, b, distance;
    } cases[] = {
        {0x1000, 0x1000, 0x1000, 0},
        {0x1000, 0x1005, 0x0FFB, 10},
        {0x1000, 0x5000, 0x1000, 16384},
        {0x1000, 0xFFFFD000, 0x5000, 32768},   // both ends of the reach
        {0x1000, 0x9000, 0x1000, 0x10000},     // two epochs on
        {0x1000, 0x1000, 0xFFFF9000, 0x10000}, // two epochs back
        {0xFFFFF000, 0x00001000, 0xFFFFE000, 0x3000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KrSeqDistance(c.reference, c.a, c.b), c.distance) << std::hex << c.a << " " << c.b;
        EXPECT_EQ(KrSeqDistance(c.reference, c.b, c.a), c.distance) << std::hex << c.b << " " << c.a;
    }
}

TEST(SeqWindow, ComparisonsThroughTheDistances) {
    const uint32_t ref = 0xFFFFFFF0; // the comparisons straddle the 32-bit wrap
    const uint32_t older = 0xFFFFFFE0, newer = 0x00000010;
    EXPECT_TRUE(KrSeqNewer(ref, newer, older));
    EXPECT_FALSE(KrSeqNewer(ref, older, newer));
    EXPECT_FALSE(KrSeqNewer(ref, newer, newer));
    EXPECT_TRUE(KrSeqNewerOrEqual(ref, newer, newer));
    EXPECT_TRUE(KrSeqOlder(ref, older, newer));
    EXPECT_FALSE(KrSeqOlder(ref, newer, newer));
    EXPECT_TRUE(KrSeqOlderOrEqual(ref, older, older));
    EXPECT_FALSE(KrSeqOlderOrEqual(ref, newer, older));
    EXPECT_TRUE(KrSeqEqual(ref, newer, newer));
    EXPECT_FALSE(KrSeqEqual(ref, newer, older));
}

TEST(SeqWindow, ComparingIncomparableNumbersIsAFailedInvariant) {
    const uint32_t ref = 0x1000, far = 0x9000;
    const uint32_t before = KrProgramExceptionCount();
    EXPECT_FALSE(KrSeqNewer(ref, far, ref));
    EXPECT_FALSE(KrSeqNewerOrEqual(ref, far, ref));
    EXPECT_FALSE(KrSeqOlder(ref, ref, far));
    EXPECT_FALSE(KrSeqOlderOrEqual(ref, ref, far));
    EXPECT_FALSE(KrSeqEqual(ref, far, far));
    EXPECT_EQ(KrProgramExceptionCount() - before, 5u);
    EXPECT_FALSE(KrSeqInWindow(ref, far)) << "the window check itself is not a failure";
    EXPECT_EQ(KrSeqDistance(ref, far, ref), KR_SEQ_INCOMPARABLE);
    EXPECT_EQ(KrProgramExceptionCount() - before, 5u);
}

TEST(SeqWindow, EveryNumberInTheWindowComesBackFromItsSixteenBits) {
    std::mt19937 random(16384);
    const uint32_t references[] = {0, 1, 0x3FFF, 0x4000, 0xFFFF, 0x10000, 0xFFFFC000, 0xFFFFFFFF};
    for (int round = 0; round < 20000; ++round) {
        const uint32_t ref = round < 8 ? references[round] : (uint32_t)random();
        const int32_t d = (int32_t)(random() % 32768) - 16383; // -16383 .. 16384
        const uint32_t x = ref + (uint32_t)d;
        ASSERT_EQ(KrSeqNormalize(ref, (uint16_t)x), x) << std::hex << ref << " " << std::dec << d;
        ASSERT_TRUE(KrSeqInWindow(ref, x));
        ASSERT_EQ(KrSeqDistance(ref, x, ref), (uint32_t)(d < 0 ? -d : d));
    }
}

TEST(SeqWindow, ARunOfConsecutiveNumbersAcrossBothWraps) {
    // More than 65536 numbers, each widened from its 16 bits against the one before, through the
    // 16-bit wrap on the wire several times and the 32-bit wrap of the counter.
    uint32_t newest = 0xFFFE0000;
    for (uint32_t i = 1; i <= 200000; ++i) {
        const uint32_t next = 0xFFFE0000 + i;
        const uint32_t widened = KrSeqNormalize(newest, (uint16_t)next);
        ASSERT_EQ(widened, next) << i;
        ASSERT_TRUE(KrSeqNewer(widened, widened, newest));
        newest = widened;
    }
    EXPECT_EQ(newest, 0x00010D40u);
}

}  // namespace
