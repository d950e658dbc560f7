// The 15-bit generator must give the Windows runtime's sequence exactly: every formula of the
// game that scales rand() by 32767 depends on it.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "plat.h"
#include "platform_fixture.h"

namespace {
using plattest::HeadlessTest;

struct SeedCase {
    unsigned seed;
    std::vector<int> first;
};

TEST_F(HeadlessTest, RandFollowsTheRuntimeSequenceForEachSeed) {
    const SeedCase cases[] = {
        {1, {41, 18467, 6334, 26500, 19169}},
        {0, {38, 7719, 21238, 2437, 8855}},
        {12345, {7584, 19164, 25795, 22125, 5828}},
    };
    for (const SeedCase& c : cases) {
        plat::srand(c.seed);
        for (size_t i = 0; i < c.first.size(); ++i)
            EXPECT_EQ(plat::rand(), c.first[i]) << "seed " << c.seed << " draw " << i;
    }
}

TEST_F(HeadlessTest, RandStartsAsSeedOneAndStaysInFifteenBits) {
    // ResetForTests (like a fresh process) starts from seed 1.
    EXPECT_EQ(plat::rand(), 41);
    EXPECT_EQ(plat::rand(), 18467);
    plat::srand(0xFFFFFFFFu);
    int seenHigh = 0;
    for (int i = 0; i < 10000; ++i) {
        int r = plat::rand();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, plat::RAND_MAX15);
        seenHigh |= r;
    }
    EXPECT_EQ(seenHigh, 0x7FFF); // every one of the 15 bits shows up
}

TEST_F(HeadlessTest, RandLosesNoStepsWhenThreadsDrawAtOnce) {
    plat::srand(7);
    std::vector<int> expected;
    for (int i = 0; i < 2000; ++i)
        expected.push_back(plat::rand());
    const int last = expected.back();
    plat::srand(7);
    std::thread a([] { for (int i = 0; i < 1000; ++i) plat::rand(); });
    std::thread b([] { for (int i = 0; i < 999; ++i) plat::rand(); });
    a.join();
    b.join();
    EXPECT_EQ(plat::rand(), last); // exactly 2000 steps were taken
}

}  // namespace
