// The offer record as the lobby lays it out: 28 bytes, seven signed 32-bit little-endian words
// in a fixed order. Written here byte by byte from that layout, not through the struct.
#include <cstring>

#include "plugin_fixture.h"

namespace lobbytest {
namespace {

using OfferRecord = PluginTest;

// word 0 game type, 1 players, 2 level list index, 3 level number, 4 frag limit, 5 time limit,
// 6 traps.
const uint8_t kDefaultsBytes[28] = {
    0x05, 0x00, 0x00, 0x00, // game type 5
    0x01, 0x00, 0x00, 0x00, // players 1
    0x03, 0x00, 0x00, 0x00, // level list index 3
    0x04, 0x00, 0x00, 0x00, // level number 4
    0x0A, 0x00, 0x00, 0x00, // frag limit 10
    0x0A, 0x00, 0x00, 0x00, // time limit 10
    0x01, 0x00, 0x00, 0x00, // traps on
};

const uint8_t kLobbyBytes[28] = {
    0x06, 0x00, 0x00, 0x00, // game type 6
    0x02, 0x00, 0x00, 0x00, // players 2
    0x07, 0x00, 0x00, 0x00, // level list index 7
    0x09, 0x00, 0x00, 0x00, // level number 9
    0xFB, 0xFF, 0xFF, 0xFF, // frag limit -5
    0x2C, 0x01, 0x00, 0x00, // time limit 300
    0x00, 0x00, 0x00, 0x00, // traps off
};

TEST_F(OfferRecord, OpenWritesTheDefaultWordsInOrder) {
    uint8_t record[28];
    std::memset(record, 0xEE, sizeof record);
    OfferSettings s;
    std::memcpy(&s, record, sizeof s);
    int32_t size = 0;
    ASSERT_EQ(open(lobby.GetSafeHwnd(), 0, &s, &size), 0);
    std::memcpy(record, &s, sizeof s);
    EXPECT_EQ(size, int32_t(sizeof record));
    EXPECT_EQ(std::memcmp(record, kDefaultsBytes, sizeof record), 0);
}

TEST_F(OfferRecord, PrelaunchReadsTheWordsInOrder) {
    OfferSettings s;
    std::memcpy(&s, kLobbyBytes, sizeof s);
    char out[64 + kLaunchSwitchesRoom];
    ASSERT_EQ(prelaunch(0, 0, "run", out, 0, &s), 0);
    EXPECT_STREQ(out, "run /torvane /type 6 /players 2 /level 9 /fraglimit -5 /timelimit 300 /traps 0");
}

} // namespace
} // namespace lobbytest
