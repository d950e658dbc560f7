// krpeer's session verbs read their command lines into one record: the verbs' words and numbers,
// and the lines that must be refused before anything is opened.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <sstream>
#include <string>
#include <vector>

#include "peer_args.h"

namespace {

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

TEST(PeerArgs, VerbsAndTheirWords) {
    kp::SessArgs a;
    std::string error;
    ASSERT_TRUE(kp::ParseSessArgs(Words("serve --proto tcp --port 0 --slow 250"), &a, &error)) << error;
    EXPECT_EQ(a.verb, "serve");
    EXPECT_FALSE(a.udp);
    EXPECT_EQ(a.port, 0);
    EXPECT_EQ(a.slowMs, 250u);

    ASSERT_TRUE(kp::ParseSessArgs(
        Words("call --proto udp --to 127.0.0.1:4321 --count 2000 --size 64 --sync --opt 0x10006=2000 --opt 65543=10"),
        &a, &error))
        << error;
    EXPECT_TRUE(a.udp);
    EXPECT_EQ(ntohs(a.to.sin_port), 4321);
    EXPECT_EQ(ntohl(a.to.sin_addr.s_addr), 0x7F000001u);
    EXPECT_EQ(a.count, 2000u);
    EXPECT_EQ(a.size, 64u);
    EXPECT_TRUE(a.sync);
    const std::vector<std::pair<uint32_t, uint32_t>> options = {{0x10006, 2000}, {0x10007, 10}};
    EXPECT_EQ(a.options, options);

    ASSERT_TRUE(kp::ParseSessArgs(Words("key --proto udp --to localhost:9 --type 2 --no-negotiate"), &a, &error));
    EXPECT_EQ(a.keyType, 2u);
    EXPECT_FALSE(a.negotiate);
    EXPECT_EQ(ntohl(a.to.sin_addr.s_addr), 0x7F000001u);
}

TEST(PeerArgs, NumbersAreDecimalOrHexadecimal) {
    const struct {
        const char* text;
        bool ok;
        uint32_t value;
    } cases[] = {
        {"10", true, 10},         {"010", true, 10}, // a leading zero is no octal
        {"0x10", true, 16},       {"0X1f", true, 31},
        {"4294967295", true, 0xFFFFFFFFu},
        {"4294967296", false, 0}, {"0x", false, 0},  {"08x", false, 0},
        {"-1", false, 0},         {"+1", false, 0},  {"", false, 0},
    };
    for (const auto& c : cases) {
        uint32_t value = 0;
        EXPECT_EQ(kp::ParseNumber(c.text, &value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

TEST(PeerArgs, RefusedLines) {
    const char* const lines[] = {
        "",
        "echo --proto udp",                                       // not a session verb
        "serve --port 0",                                         // no protocol
        "serve --proto sctp --port 0",
        "serve --proto udp",                                      // no port
        "serve --proto udp --port 70000",
        "serve --proto udp --port 0 --no-complete --no-handler",  // one misbehaviour at a time
        "call --proto udp --to 127.0.0.1:0 --count 1 --size 8",   // port 0 is no destination
        "call --proto udp --to 127.0.0.1:5 --count 1",            // no size
        "call --proto udp --to 127.0.0.1:5 --count 1 --size 3",   // smaller than the index it carries
        "call --proto udp --to 127.0.0.1:5 --count -1 --size 8",
        "call --proto udp --to 127.0.0.1:5 --count 1 --size 8 --opt 0x10006",
        "call --proto udp --to 127.0.0.1:5 --count 1 --size 8 --opt 0xFFFFFFFF=1", // the list terminator
        "call --proto udp --to 127.0.0.1:5 --count 1 --size 8 --opt",
        "call --proto udp --to nowhere:5 --count 1 --size 8",
        "call --proto udp --to 127.0.0.1:5 --count 1 --size 8 --port 4", // a word of another verb
        "hold --proto tcp",                                       // no destination
        "key --proto tcp --to 127.0.0.1:5",                       // no key type
        "key --proto tcp --to 127.0.0.1:5 --type 4",
    };
    for (const char* line : lines) {
        kp::SessArgs a;
        std::string error;
        EXPECT_FALSE(kp::ParseSessArgs(Words(line), &a, &error)) << line;
        EXPECT_FALSE(error.empty()) << line;
    }
}

TEST(PeerArgs, PayloadsDifferByIndexAndCarryIt) {
    const std::vector<uint8_t> a = kp::CallPayload(1, 64), b = kp::CallPayload(2, 64);
    ASSERT_EQ(a.size(), 64u);
    EXPECT_NE(a, b);
    EXPECT_EQ(a, kp::CallPayload(1, 64));
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 4), (std::vector<uint8_t>{0, 0, 0, 2}));
    EXPECT_EQ(kp::CallPayload(0x01020304, 4), (std::vector<uint8_t>{1, 2, 3, 4}));
}

}  // namespace
