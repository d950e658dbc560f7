// The message buffer: messages join into one string, a message that would pass the end moves
// back, and nothing is ever written outside the registered 2048 bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vidvex.h"

namespace {

constexpr size_t kBuf = 2048;
constexpr size_t kGuard = 64;

struct GuardedBuffer {
    std::vector<char> mem = std::vector<char>(kBuf + 2 * kGuard, '#');
    char* Start() { return mem.data() + kGuard; }
    bool Intact() const {
        for (size_t i = 0; i < kGuard; ++i)
            if (mem[i] != '#' || mem[kGuard + kBuf + i] != '#') return false;
        return true;
    }
};

TEST(MessageBuffer, MessagesJoinIntoOneString) {
    GuardedBuffer b;
    ASSERT_EQ(ErrorBuffer(b.Start()), b.Start());
    EXPECT_EQ(Announcement("ab"), 2);
    EXPECT_EQ(Announcement("cd"), 2);
    EXPECT_STREQ(b.Start(), "abcd");
    AnnDone();
    EXPECT_STREQ(b.Start(), "abcd");
    ErrorBuffer(nullptr);
}

TEST(MessageBuffer, MessagePastTheEndMovesBackByTwiceItsLength) {
    GuardedBuffer b;
    ErrorBuffer(b.Start());
    std::string first(500, 'x');
    for (int i = 0; i < 3; ++i) Announcement(first.c_str());  // write position 1500
    // 1500 + 2*300 passes 2048: the text lands at 2048 - 600.
    std::string second(300, 'y');
    EXPECT_EQ(Announcement(second.c_str()), 300);
    EXPECT_EQ(std::string(b.Start() + 2048 - 600, 300), second);
    EXPECT_EQ(b.Start()[2048 - 300], '\0');
    EXPECT_EQ(std::string(b.Start(), 3), "xxx");
    EXPECT_TRUE(b.Intact());
    ErrorBuffer(nullptr);
}

TEST(MessageBuffer, LongMessagesStayInsideTheBuffer) {
    GuardedBuffer b;
    ErrorBuffer(b.Start());
    // Lengths around and above half the buffer, repeated, would have moved the write position
    // before the start.
    for (size_t len : {1023u, 1024u, 1025u, 2047u, 2048u, 5000u, 10u, 1500u}) {
        std::string text(len, char('a' + len % 26));
        int written = Announcement(text.c_str());
        EXPECT_LE(written, 1023) << len;
        EXPECT_EQ(written, int(std::min<size_t>(len, 1023)));
        EXPECT_TRUE(b.Intact()) << len;
    }
    ErrorBuffer(nullptr);
}

TEST(MessageBuffer, WithoutABufferTheTextIsDropped) {
    ErrorBuffer(nullptr);
    EXPECT_EQ(Announcement("no buffer yet"), 13);
    EXPECT_EQ(Announcement(nullptr), 0);
}

}  // namespace
