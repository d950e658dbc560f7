// krpeer's message checker: it accepts the messages in order however the stream is cut, and it
// catches a message that is lost, repeated, reordered, cut short or changed.
#include <gtest/gtest.h>

#include <vector>

#include "peer_message.h"

namespace {

std::vector<uint8_t> Stream(const std::vector<uint32_t>& order, uint32_t seed) {
    const std::vector<uint32_t> sizes = kp::MessageSizes(10, 300, seed);
    std::vector<uint8_t> all;
    for (uint32_t n : order) {
        std::vector<uint8_t> m = kp::MakeMessage(n, sizes[n], seed);
        all.insert(all.end(), m.begin(), m.end());
    }
    return all;
}

TEST(PeerMessages, TheLayoutIsLengthSequenceThenBytes) {
    std::vector<uint8_t> m = kp::MakeMessage(0x01020304, 12, 5);
    const std::vector<uint8_t> start = {0x00, 0x00, 0x00, 0x0C, 0x01, 0x02, 0x03, 0x04};
    ASSERT_EQ(m.size(), 12u);
    EXPECT_EQ(std::vector<uint8_t>(m.begin(), m.begin() + 8), start);
    EXPECT_EQ(kp::MakeMessage(7, 3, 5).size(), kp::kHeaderSize) << "never shorter than its header";
    std::vector<uint32_t> sizes = kp::MessageSizes(500, 40, 9);
    for (uint32_t s : sizes) {
        EXPECT_GE(s, kp::kHeaderSize);
        EXPECT_LE(s, 40u);
    }
    EXPECT_EQ(sizes, kp::MessageSizes(500, 40, 9));
}

TEST(PeerMessages, InOrderMessagesPassHoweverTheStreamIsCut) {
    std::vector<uint8_t> all = Stream({0, 1, 2, 3, 4, 5}, 3);
    for (size_t piece : {1u, 7u, 100u, 4096u}) {
        kp::StreamChecker checker(3);
        for (size_t at = 0; at < all.size(); at += piece)
            ASSERT_TRUE(checker.Feed(all.data() + at, std::min(piece, all.size() - at))) << checker.Problem();
        EXPECT_EQ(checker.Intact(), 6u) << piece;
    }
}

TEST(PeerMessages, FaultsAreCaught) {
    struct Case {
        const char* what;
        std::vector<uint32_t> order;
        int flipByte; // -1: none
        const char* problem;
    } cases[] = {
        {"lost", {0, 2}, -1, "message 1 expected, 2 found"},
        {"repeated", {0, 1, 1}, -1, "message 2 expected, 1 found"},
        {"reordered", {1, 0}, -1, "message 0 expected, 1 found"},
        {"changed", {0, 1}, 20, "damaged at byte"},
        {"wrong seed", {0}, -2, "damaged at byte"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> all = Stream(c.order, 3);
        if (c.flipByte >= 0) all[(size_t)c.flipByte] ^= 0x40;
        kp::StreamChecker checker(c.flipByte == -2 ? 4 : 3);
        EXPECT_FALSE(checker.Feed(all.data(), all.size())) << c.what;
        EXPECT_NE(checker.Problem().find(c.problem), std::string::npos) << c.what << ": " << checker.Problem();
        EXPECT_FALSE(checker.Feed(all.data(), 1)) << "stays failed";
    }
}

}  // namespace
