// The transport's core: what every NET_ operation answers with no back end and with the stand-in
// back ends, the receivers by slot, sending with the fewer-than-two-players rule, the pump's
// delivery to the receiving slot's handler through a scripted back end, the online mode's
// connection list and host rules, and the traffic meter against an injected clock.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "net/net.h"
#include "net/net_seam.h"
#include "net/net_state.h"
#include "common/mem.h"

namespace {

// A scripted back end: messages waiting to be received, sends recorded, results chosen.
struct Script {
    struct Message {
        std::vector<uint8_t> bytes;
        int32_t sender, addressee;
    };
    std::deque<Message> inbox;
    struct Sent {
        int from, to;
        std::string bytes;
    };
    std::vector<Sent> sent;
    int sendResult = 1;
    int startMode = NET_MODE_DIRECTPLAY;  // the mode the start leaves
    int startResult = 1;
    int reloads = 0;
    std::vector<int> initConnections;
    int connections = 3;
};
Script* g_Script = nullptr;

int FakeStart() {
    g_Net.mode = g_Script->startMode;
    return g_Script->startResult;
}
void FakeShutdown() {}
int FakeReceive(uint8_t** buffer, int* capacity, int* length, int32_t* sender, int32_t* addressee) {
    if (g_Script->inbox.empty()) return 0;
    Script::Message m = g_Script->inbox.front();
    g_Script->inbox.pop_front();
    EXPECT_LE(int(m.bytes.size()), *capacity);
    std::memcpy(*buffer, m.bytes.data(), m.bytes.size());
    *length = int(m.bytes.size());
    *sender = m.sender;
    *addressee = m.addressee;
    return 1;
}
int FakeSend(int from, int to, const uint8_t* bytes, int length) {
    g_Script->sent.push_back({from, to, std::string(reinterpret_cast<const char*>(bytes), size_t(length))});
    return g_Script->sendResult;
}
int FakeEnumConnections() {
    g_Net.connectionCount = g_Script->connections;
    return g_Net.connectionCount;
}
int FakeInitConnection(int index) {
    g_Script->initConnections.push_back(index);
    g_Net.selectedConnection = index;
    return 1;
}
int FakeCloseSession() {
    return 1;
}
int FakeReload(int) {
    ++g_Script->reloads;
    return NET_GetPlayerCount();
}
int FakeCreatePlayer(const char*) {
    return 0;
}
int FakeDestroyPlayer(int) {
    return 1;
}
int FakeEnumSessions() {
    return -1;
}
int FakeJoinSession(int) {
    return 1;
}
int FakeHostSession(const char*) {
    return 1;
}
const NetBackend kFake = {FakeStart,         FakeShutdown,     FakeReceive,      FakeSend,        FakeEnumConnections,
                          FakeInitConnection, FakeCloseSession, FakeReload,       FakeCreatePlayer, FakeDestroyPlayer,
                          FakeEnumSessions,  FakeJoinSession,  FakeHostSession};

uint32_t g_Now = 0;
uint32_t Now() {
    return g_Now;
}

struct Delivery {
    int sender, receiver;
    std::string bytes;
};
std::vector<Delivery> g_Deliveries;
int Record(int sender, int receiver, const uint8_t* bytes, int length) {
    g_Deliveries.push_back({sender, receiver, std::string(reinterpret_cast<const char*>(bytes), size_t(length))});
    return 0;
}
int Other(int, int, const uint8_t*, int) {
    return 0;
}

class NetTransportTest : public ::testing::Test {
protected:
    void SetUp() override {
        NET_Shutdown();
        MEM_ResetTracker();
        g_Script = &script;
        g_Deliveries.clear();
        g_Now = 0;
        NET_SetTickSource(Now);
    }
    void TearDown() override {
        NET_Shutdown();
        NET_SetBackend(NET_MODE_DIRECTPLAY, nullptr);
        NET_SetBackend(NET_MODE_ONLINE, nullptr);
        NET_SetTickSource(nullptr);
        g_Script = nullptr;
        EXPECT_EQ(g_MemBytes, 0u) << "the transport leaves nothing on the tracked heap";
    }
    // A DirectPlay session through the scripted back end: slots 0 (local) and 3 (remote) with
    // player ids 100 and 103, a session current.
    void StartDirectPlaySession() {
        NET_SetBackend(NET_MODE_DIRECTPLAY, &kFake);
        ASSERT_EQ(NET_Init(nullptr, kGhouldenGuid, NET_MODE_DIRECTPLAY, 8), 1);
        NET_SelectConnection(1);
        g_Net.currentSession = 0;
        g_Net.dpPlayerId[0] = 100;
        g_Net.dpLocal[0] = 1;
        g_Net.dpPlayerId[3] = 103;
        g_Net.dpPlayerCount = 2;
    }
    Script script;
};

TEST_F(NetTransportTest, AnswersWithNoBackEnd) {
    const uint8_t message[] = {'S', 1, 2};
    struct Case {
        const char* call;
        int result;
        int expected;
    } cases[] = {
        {"GetMode", NET_GetMode(), NET_MODE_NONE},
        {"Pump", NET_Pump(), 0},
        {"EnumConnections", NET_EnumConnections(), 0},
        {"SelectConnection", NET_SelectConnection(0), 0},
        {"CloseSession", NET_CloseSession(0), 0},
        {"LeaveSession", NET_LeaveSession(), 0},
        {"Send", NET_Send(0, 1, message, 3), 0},
        {"Broadcast", NET_Broadcast(0, message, 3), 0},
        {"SetHandler", NET_SetHandler(0, Record), 1},
        {"ReloadPlayerList", NET_ReloadPlayerList(-1), -1},
        {"CreatePlayer", NET_CreatePlayer("Zed"), -1},
        {"DestroyPlayer", NET_DestroyPlayer(0), 0},
        {"GetLocalSlot", NET_GetLocalSlot(), -1},
        {"GetPlayerId", NET_GetPlayerId(0), -1},
        {"EnumSessions", NET_EnumSessions(), -1},
        {"GetMaxSessions", NET_GetMaxSessions(), 0},
        {"JoinSession", NET_JoinSession(0), 0},
        {"HostSession", NET_HostSession("game"), -1},
        {"IsHost", NET_IsHost(), 0},
        {"GetHostSlot", NET_GetHostSlot(), -1},
        {"GetPlayerCount", NET_GetPlayerCount(), 0},
        {"Shutdown", NET_Shutdown(), 1},
    };
    for (const Case& c : cases) EXPECT_EQ(c.result, c.expected) << c.call;
    EXPECT_EQ(NET_GetConnectionName(0), nullptr);
    EXPECT_EQ(NET_GetSessionName(0), nullptr);
    EXPECT_EQ(NET_GetPlayerName(0), nullptr);
    EXPECT_EQ(NET_GetPlayerNameById(-1), nullptr);
    EXPECT_EQ(g_Net.traffic.sent.thisFrame, 0) << "nothing sent, nothing counted";
}

// DirectPlay lists its four providers; with none selected there is nothing to join.
TEST_F(NetTransportTest, StartEndsInDirectPlayWithNothingToJoin) {
    for (int startMode : {NET_START_ONLINE_FIRST, NET_MODE_DIRECTPLAY}) {
        ASSERT_EQ(NET_Init(nullptr, kGhouldenGuid, startMode, 8), 1) << startMode;
        EXPECT_EQ(NET_GetMode(), NET_MODE_DIRECTPLAY) << startMode;
        EXPECT_EQ(NET_GetMaxSessions(), 50);
        EXPECT_EQ(NET_EnumConnections(), 4);
        EXPECT_NE(NET_GetConnectionName(0), nullptr);
        EXPECT_EQ(NET_GetConnectionName(4), nullptr);
        EXPECT_EQ(NET_EnumSessions(), -1);
        EXPECT_EQ(NET_JoinSession(0), 0);
        EXPECT_EQ(NET_CreatePlayer("Zed"), -1);
        EXPECT_EQ(NET_GetPlayerCount(), 0);
        EXPECT_STREQ(NET_GetIPAddress(), "undefined");
        EXPECT_EQ(NET_GetComPort(), 3);
        EXPECT_EQ(NET_Shutdown(), 1);
        EXPECT_EQ(NET_GetMode(), NET_MODE_NONE);
    }
}

TEST_F(NetTransportTest, OnlineFirstStartFallsBackToDirectPlayUnlessTheDefinitionWasRead) {
    struct Case {
        const char* name;
        int onlineMode, onlineResult;
        int result, mode;
    } cases[] = {
        {"online service runs", NET_MODE_ONLINE, 1, 1, NET_MODE_ONLINE},
        {"no service: DirectPlay", NET_MODE_NONE, 1, 1, NET_MODE_DIRECTPLAY},
        {"failed after the definition was read", NET_MODE_NONE, 0, 0, NET_MODE_NONE},
    };
    Script online;
    for (const Case& c : cases) {
        online.startMode = c.onlineMode;
        online.startResult = c.onlineResult;
        g_Script = &online;
        NET_SetBackend(NET_MODE_ONLINE, &kFake);
        NET_SetBackend(NET_MODE_DIRECTPLAY, nullptr); // the stand-in: starts, offers nothing
        EXPECT_EQ(NET_Init(nullptr, kGhouldenGuid, NET_START_ONLINE_FIRST, 8), c.result) << c.name;
        EXPECT_EQ(NET_GetMode(), c.mode) << c.name;
        NET_Shutdown();
    }
    g_Script = &script;
}

TEST_F(NetTransportTest, HandlersAreKeptBySlotAndClearedByAStart) {
    EXPECT_EQ(NET_SetHandler(5, Record), 1);
    EXPECT_EQ(NET_SetHandler(5, nullptr), 1);
    EXPECT_EQ(NET_GetHandler(5), Record) << "a null handler keeps the previous one";
    EXPECT_EQ(NET_SetHandler(5, Other), 1);
    EXPECT_EQ(NET_GetHandler(5), Other);
    for (int bad : {-1, 100, 1000}) {
        EXPECT_EQ(NET_SetHandler(bad, Record), 1) << bad;
        EXPECT_EQ(NET_GetHandler(bad), nullptr) << bad;
    }
    EXPECT_EQ(NET_SetHandler(99, Record), 1);
    EXPECT_EQ(NET_GetHandler(99), Record);
    NET_Init(nullptr, kGhouldenGuid, NET_MODE_DIRECTPLAY, 8);
    for (int slot = 0; slot < NET_MAX_SLOTS; ++slot) EXPECT_EQ(NET_GetHandler(slot), nullptr) << slot;
}

TEST_F(NetTransportTest, PumpDeliversToTheReceivingSlotsHandler) {
    StartDirectPlaySession();
    NET_SetHandler(0, Record);
    NET_SetHandler(3, Record);
    script.inbox = {
        {{'a', 1}, 103, 100},       // remote to local: delivered to slot 0
        {{'b'}, 103, 555},          // addressee unknown: dropped
        {{'c'}, 777, 100},          // sender unknown: dropped
        {{'d', 2, 3}, 100, 103},    // to slot 3
        {{'e', 'e'}, 103, 100},
    };
    g_Net.dpPlayerId[7] = 107; // a slot without a handler
    script.inbox.push_back({{'f', 'f', 'f', 'f'}, 103, 107});
    EXPECT_EQ(NET_Pump(), 0);
    ASSERT_EQ(g_Deliveries.size(), 3u);
    EXPECT_EQ(g_Deliveries[0].sender, 3);
    EXPECT_EQ(g_Deliveries[0].receiver, 0);
    EXPECT_EQ(g_Deliveries[0].bytes, std::string("a\x01", 2));
    EXPECT_EQ(g_Deliveries[1].sender, 0);
    EXPECT_EQ(g_Deliveries[1].receiver, 3);
    EXPECT_EQ(g_Deliveries[2].bytes, "ee");
    EXPECT_TRUE(script.inbox.empty()) << "one pump drains the back end";
    EXPECT_EQ(g_Net.traffic.received.thisFrame, 2 + 3 + 2) << "dropped messages are not counted";

    // Without a selected connection DirectPlay is not polled.
    g_Net.selectedConnection = -1;
    script.inbox.push_back({{'g'}, 103, 100});
    NET_Pump();
    EXPECT_EQ(script.inbox.size(), 1u);
}

TEST_F(NetTransportTest, SendingRulesAndTheSentCounter) {
    StartDirectPlaySession();
    const uint8_t m[] = {'S', 0, 70};
    struct Case {
        const char* name;
        int players, session, sendResult;
        int from, to;  // to -2: broadcast
        int result;
        size_t backEndSends;
        int counted;
    } cases[] = {
        {"send", 2, 0, 1, 0, 3, 1, 1, 3},
        {"broadcast", 2, 0, 1, 0, -2, 1, 1, 3},
        {"one player: send", 1, 0, 1, 0, 3, 0, 0, 0},
        {"one player: broadcast", 1, 0, 1, 0, -2, 0, 0, 0},
        {"no session: broadcast counts unsent", 2, -1, 1, 0, -2, 1, 0, 3},
        {"from a remote slot: not sent, counted", 2, 0, 1, 3, 0, 1, 0, 3},
        {"refused by the back end", 2, 0, 0, 0, 3, 0, 1, 0},
        {"missing host slot", 2, 0, 1, 0, -1, 0, 0, 0},
        {"slot 100", 2, 0, 1, 0, 100, 0, 0, 0},
        {"from slot -1", 2, 0, 1, -1, -2, 0, 0, 0},
    };
    for (const Case& c : cases) {
        script.sent.clear();
        script.sendResult = c.sendResult;
        g_Net.dpPlayerCount = c.players;
        g_Net.currentSession = c.session;
        g_Net.traffic.sent.thisFrame = 0;
        const int result = c.to == -2 ? NET_Broadcast(c.from, m, 3) : NET_Send(c.from, c.to, m, 3);
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(script.sent.size(), c.backEndSends) << c.name;
        EXPECT_EQ(g_Net.traffic.sent.thisFrame, c.counted) << c.name;
        if (!script.sent.empty()) {
            EXPECT_EQ(script.sent[0].to, c.to == -2 ? -1 : c.to) << c.name;
        }
    }
}

TEST_F(NetTransportTest, OnlineModeConnectionsHostAndReturnToDirectPlay) {
    script.startMode = NET_MODE_ONLINE;
    NET_SetBackend(NET_MODE_ONLINE, &kFake);
    NET_SetBackend(NET_MODE_DIRECTPLAY, &kFake);
    ASSERT_EQ(NET_Init(nullptr, kGhouldenGuid, NET_START_ONLINE_FIRST, 8), 1);
    ASSERT_EQ(NET_GetMode(), NET_MODE_ONLINE);
    g_Net.connectionCount = 2; // DirectPlay connections enumerated so far
    EXPECT_EQ(NET_EnumConnections(), 3);
    EXPECT_EQ(NET_EnumConnections(), 3) << "no new enumeration";
    EXPECT_STREQ(NET_GetConnectionName(0), "Internet TCP/IP Connection For Torvane");
    EXPECT_EQ(NET_GetConnectionName(3), nullptr);
    EXPECT_EQ(NET_GetMaxSessions(), 1);
    EXPECT_EQ(NET_EnumSessions(), 0);
    EXPECT_STREQ(NET_GetSessionName(7), "using Torvane, no session name available??");

    // Slots are addresses minus 1: this machine is address 2 in slot 1, the host address 1.
    g_Net.onlineAddr[0] = 1;
    g_Net.onlineAddr[1] = 2;
    g_Net.onlineIsMe[1] = 1;
    g_Net.onlinePlayerCount = 2;
    g_Net.host = 1;
    EXPECT_EQ(NET_GetLocalSlot(), 1);
    EXPECT_EQ(NET_IsHost(), 0) << "recomputed from the own address";
    EXPECT_EQ(NET_GetHostSlot(), 0);
    EXPECT_EQ(NET_DestroyPlayer(0), 0) << "only the local slot";
    EXPECT_EQ(NET_GetPlayerId(1), 2);
    g_Net.onlineIsMe[1] = 0;
    g_Net.onlineIsMe[0] = 1;
    EXPECT_EQ(NET_IsHost(), 1);
    EXPECT_EQ(NET_HostSession("x"), 1);
    EXPECT_EQ(g_Net.joinState, 1);

    // A join/leave notice makes the next pump rebuild the list.
    g_Net.joinLeave.store(1);
    NET_Pump();
    EXPECT_EQ(script.reloads, 1);
    EXPECT_EQ(g_Net.joinLeave.load(), 0);
    NET_Pump();
    EXPECT_EQ(script.reloads, 1);

    EXPECT_EQ(NET_SelectConnection(0), 1);
    EXPECT_EQ(NET_GetMode(), NET_MODE_ONLINE);
    EXPECT_EQ(NET_SelectConnection(4), 0) << "past the list";
    EXPECT_EQ(NET_GetMode(), NET_MODE_ONLINE);
    script.startMode = NET_MODE_DIRECTPLAY;
    EXPECT_EQ(NET_SelectConnection(2), 1);
    EXPECT_EQ(NET_GetMode(), NET_MODE_DIRECTPLAY);
    ASSERT_FALSE(script.initConnections.empty());
    EXPECT_EQ(script.initConnections.back(), 1) << "the DirectPlay list's own index";
}

TEST_F(NetTransportTest, ConnectionAndSessionIndexesAreChecked) {
    NET_SetBackend(NET_MODE_DIRECTPLAY, &kFake);
    ASSERT_EQ(NET_Init(nullptr, kGhouldenGuid, NET_MODE_DIRECTPLAY, 8), 1);
    ASSERT_EQ(g_Net.connectionCount, 3);
    script.initConnections.clear();
    for (int index : {-2, -1, 3, 49, 50}) {
        EXPECT_EQ(NET_SelectConnection(index), 0) << index;
        EXPECT_EQ(NET_GetConnectionName(index), nullptr) << index;
    }
    EXPECT_TRUE(script.initConnections.empty());
    EXPECT_EQ(NET_SelectConnection(2), 1);
    g_Net.lastSession = 1;
    for (int index : {-2, 2, 50}) EXPECT_EQ(NET_JoinSession(index), 0) << index;
    EXPECT_EQ(NET_JoinSession(1), 1);
    EXPECT_EQ(NET_GetSessionName(50), nullptr);
    EXPECT_EQ(NET_GetSessionName(-1), nullptr);
    EXPECT_EQ(NET_GetPlayerName(100), nullptr);
    EXPECT_EQ(NET_GetPlayerId(100), -1);
}

TEST_F(NetTransportTest, TrafficMeterClosesASecondOnTheFirstPumpAfterIt) {
    StartDirectPlaySession();
    const uint8_t m[10] = {};
    const NetTrafficCounters& sent = g_Net.traffic.sent;
    struct Step {
        uint32_t now;
        int sendBytes;  // sent before the pump
        int lastFrame, peakFrame, running, lastSecond, peakSecond;
        uint32_t secondStart;
    } steps[] = {
        {0, 10, 10, 10, 10, 0, 0, 0},        // tick 0: the second does not start
        {500, 20, 20, 20, 30, 0, 0, 500},    // starts here
        {1500, 10, 10, 20, 40, 0, 0, 500},   // exactly 1000 ms: not past
        {1501, 0, 0, 20, 0, 40, 40, 1501},   // past: moved to the last second
        {2000, 5, 5, 20, 5, 40, 40, 1501},
        {2600, 10, 10, 20, 0, 15, 40, 2600}, // a smaller second keeps the peak
    };
    for (const Step& s : steps) {
        for (int left = s.sendBytes; left > 0; left -= 10) NET_Send(0, 3, m, left < 10 ? left : 10);
        g_Now = s.now;
        NET_Pump();
        EXPECT_EQ(sent.thisFrame, 0) << s.now;
        EXPECT_EQ(sent.lastFrame, s.lastFrame) << s.now;
        EXPECT_EQ(sent.peakFrame, s.peakFrame) << s.now;
        EXPECT_EQ(sent.runningSum, s.running) << s.now;
        EXPECT_EQ(sent.lastSecond, s.lastSecond) << s.now;
        EXPECT_EQ(sent.peakSecond, s.peakSecond) << s.now;
        EXPECT_EQ(g_Net.traffic.secondStart, s.secondStart) << s.now;
    }
    NET_ResetTrafficCounters();
    EXPECT_EQ(sent.peakFrame, 0);
    EXPECT_EQ(sent.peakSecond, 0);
}

TEST_F(NetTransportTest, StopReleasesEveryTextInEveryMode) {
    for (int startMode : {NET_MODE_DIRECTPLAY, NET_START_ONLINE_FIRST}) {
        script.startMode = startMode == NET_START_ONLINE_FIRST ? NET_MODE_ONLINE : NET_MODE_DIRECTPLAY;
        NET_SetBackend(NET_MODE_ONLINE, &kFake);
        NET_SetBackend(NET_MODE_DIRECTPLAY, &kFake);
        ASSERT_EQ(NET_Init(nullptr, kGhouldenGuid, startMode, 8), 1);
        NET_SetPhoneNumber("555-0199");
        EXPECT_GT(g_MemBytes, 0u);
        NET_Shutdown();
        EXPECT_EQ(g_MemBytes, 0u) << "mode " << script.startMode;
    }
}

}  // namespace
