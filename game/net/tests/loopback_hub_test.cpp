// The loopback hub itself: sends and broadcasts are recorded per sending machine and delivered to
// the receiving machine's handler with that machine current; replies sent from a handler follow.
#include "testsupport/loopback_hub.h"

#include <gtest/gtest.h>

#include <vector>

#include "net/net.h"
#include "ui/gui.h"

namespace {
struct Received {
    int localSlot;
    int from, to;
    std::vector<uint8_t> bytes;
};
std::vector<Received> g_Received;

int Record(int from, int to, const uint8_t* bytes, int length) {
    g_Received.push_back({NET_GetLocalSlot(), from, to, std::vector<uint8_t>(bytes, bytes + length)});
    return 0;
}

// The host answers every message with {'A', first byte}.
int Answer(int from, int to, const uint8_t* bytes, int length) {
    Record(from, to, bytes, length);
    const uint8_t reply[2] = {'A', bytes[0]};
    NET_Send(to, from, reply, 2);
    return 0;
}
}  // namespace

TEST(LoopbackHub, SendsBroadcastsAndDeliversPerMachine) {
    g_Received.clear();
    LoopbackHub hub(3);
    hub.Use(0);
    EXPECT_EQ(NET_IsHost(), 1);
    NET_SetHandler(0, Answer);
    NET_SetHandler(0, nullptr);  // ignored
    hub.Use(1);
    EXPECT_EQ(NET_IsHost(), 0);
    EXPECT_EQ(NET_GetHostSlot(), 0);
    EXPECT_EQ(g_Match.localSlot, 1);
    NET_SetHandler(1, Record);
    hub.Use(2);
    NET_SetHandler(2, Record);

    hub.Use(1);
    const uint8_t hello[3] = {'S', 1, 70};
    EXPECT_EQ(NET_Send(1, NET_GetHostSlot(), hello, 3), 1);
    EXPECT_EQ(NET_Send(1, 7, hello, 3), 0) << "no machine holds slot 7";
    hub.Use(2);
    const uint8_t shout[1] = {16};
    EXPECT_EQ(NET_Broadcast(2, shout, 1), 1);

    ASSERT_EQ(hub.Sent().size(), 3u);
    EXPECT_EQ(hub.Sent()[0].machine, 1);
    EXPECT_EQ(hub.Sent()[1].toSlot, 0);
    EXPECT_EQ(hub.Sent()[2].toSlot, 1);

    // Three packets and the two answers of the host.
    EXPECT_EQ(hub.Deliver(), 5);
    EXPECT_EQ(hub.Current(), 2) << "the sender's view comes back";
    ASSERT_EQ(g_Received.size(), 5u);
    EXPECT_EQ(g_Received[0].localSlot, 0);
    EXPECT_EQ(g_Received[0].from, 1);
    EXPECT_EQ(g_Received[0].bytes, std::vector<uint8_t>(hello, hello + 3));
    EXPECT_EQ(g_Received[1].localSlot, 0);
    EXPECT_EQ(g_Received[1].from, 2);
    EXPECT_EQ(g_Received[2].localSlot, 1);
    EXPECT_EQ(g_Received[3].localSlot, 1);
    EXPECT_EQ(g_Received[3].bytes, (std::vector<uint8_t>{'A', 'S'}));
    EXPECT_EQ(g_Received[4].localSlot, 2);
    EXPECT_EQ(g_Received[4].bytes, (std::vector<uint8_t>{'A', 16}));
    EXPECT_EQ(hub.Deliver(), 0);
}
