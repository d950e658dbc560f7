// The transport's DirectPlay back end against the platform's DirectPlay on loopback sockets: the
// game's transport on one side, a second DirectPlay object driven by the test on the other.
// Slots follow the player data, sessions keep their indexes across listings, the lists stop at
// their sizes, a lobby launch runs a session that exchanges messages, and player data from
// another machine outside the game's slots is refused.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dplay.h"
#include "net/net.h"
#include "net/net_seam.h"
#include "net/net_state.h"
#include "registry.h"
#include "common/mem.h"

namespace {

GUID AppGuid() {
    GUID g;
    g.Data1 = kGhouldenGuid.data1;
    g.Data2 = kGhouldenGuid.data2;
    g.Data3 = kGhouldenGuid.data3;
    std::memcpy(g.Data4, kGhouldenGuid.data4, 8);
    return g;
}

// A DirectPlay object of another machine, driven by the test.
struct Peer {
    IDirectPlay3A* dp = nullptr;
    std::vector<uint8_t> address;
    Peer() {
        IDirectPlayLobby2A* lobby = nullptr;
        DirectPlayLobbyCreateA(nullptr, &lobby, nullptr, nullptr, 0);
        const GUID sp = DPSPGUID_TCPIP;  // the provider's GUID in its 16 stored bytes
        const DPCOMPOUNDADDRESSELEMENT elements[] = {{DPAID_ServiceProvider, sizeof sp, &sp}, {DPAID_INet, 10, "127.0.0.1"}};
        DWORD size = 0;
        lobby->CreateCompoundAddress(elements, 2, nullptr, &size);
        address.resize(size);
        lobby->CreateCompoundAddress(elements, 2, address.data(), &size);
        lobby->Release();
        DirectPlayCreate(nullptr, &dp, nullptr);
        EXPECT_EQ(dp->InitializeConnection(address.data(), 0), DP_OK);
    }
    ~Peer() { dp->Release(); }
    void Host(const char* name) {
        DPSESSIONDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DPSESSION_KEEPALIVE;
        d.guidApplication = AppGuid();
        d.dwMaxPlayers = 8;
        d.lpszSessionNameA = const_cast<char*>(name);
        ASSERT_EQ(dp->Open(&d, DPOPEN_CREATE | DPOPEN_RETURNSTATUS), DP_OK);
    }
    void JoinFirst() {
        DPSESSIONDESC2 d{};
        d.dwSize = sizeof d;
        d.guidApplication = AppGuid();
        GUID found{};
        auto pick = [](const DPSESSIONDESC2* s, DWORD*, DWORD flags, void* context) -> BOOL {
            if (flags & DPESC_TIMEDOUT) return FALSE;
            *static_cast<GUID*>(context) = s->guidInstance;
            return FALSE;
        };
        ASSERT_EQ(dp->EnumSessions(&d, 0, pick, &found, DPENUMSESSIONS_ALL), DP_OK);
        d.guidInstance = found;
        ASSERT_EQ(dp->Open(&d, DPOPEN_JOIN), DP_OK);
    }
    DPID Player(const char* name, int32_t data) {
        DPNAME n = {sizeof(DPNAME), 0, const_cast<char*>(name), nullptr};
        DPID id = 0;
        EXPECT_EQ(dp->CreatePlayer(&id, &n, nullptr, &data, 4, 0), DP_OK);
        return id;
    }
    // The next game message (system messages skipped), waiting a bounded time.
    bool Next(DPID* from, DPID* to, std::vector<uint8_t>* bytes) {
        for (int i = 0; i < 1500; ++i) {
            DWORD size = 0;
            if (dp->Receive(from, to, DPRECEIVE_ALL, nullptr, &size) == DPERR_BUFFERTOOSMALL) {
                bytes->resize(size);
                dp->Receive(from, to, DPRECEIVE_ALL, bytes->data(), &size);
                if (*from != DPID_SYSMSG) return true;
                continue;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
};

struct Delivery {
    int sender, receiver;
    std::string bytes;
};
std::vector<Delivery> g_Got;
int Record(int sender, int receiver, const uint8_t* bytes, int length) {
    g_Got.push_back({sender, receiver, std::string(reinterpret_cast<const char*>(bytes), size_t(length))});
    return 0;
}

// Pumps until `done` holds or a bounded time has passed.
template <typename Done>
bool PumpUntil(Done done) {
    for (int i = 0; i < 1500; ++i) {
        NET_Pump();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

int TcpIpIndex() {
    for (int i = 0; i < NET_EnumConnections(); ++i)
        if (std::strstr(NET_GetConnectionName(i), "TCP/IP")) return i;
    return -1;
}

class NetDirectPlay : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "netdp-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        scratch = pattern;
        plat::SetRegistryPath(scratch + "/registry.ini");
        plat::DpSetEnumWindow(120);
        NET_Shutdown();
        MEM_ResetTracker();
        g_Got.clear();
    }
    void TearDown() override {
        NET_Shutdown();
        plat::DpSetExtraProviders(0);
        plat::DpSetEnumWindow(300);
        plat::SetRegistryPath("");
        std::filesystem::remove_all(scratch);
        EXPECT_EQ(g_MemBytes, 0u) << "the transport leaves nothing on the tracked heap";
    }
    void StartTcpIp() {
        ASSERT_EQ(NET_Init(nullptr, kGhouldenGuid, NET_MODE_DIRECTPLAY, 8), 1);
        const int tcp = TcpIpIndex();
        ASSERT_GE(tcp, 0);
        NET_SetIPAddress("127.0.0.1");
        ASSERT_EQ(NET_InitConnection(tcp), 1);
    }
    void HandleEverySlot() {
        for (int slot = 0; slot < NET_MAX_SLOTS; ++slot) NET_SetHandler(slot, Record);
    }
    std::string scratch;
};

TEST_F(NetDirectPlay, ClientTakesTheNextSlotAndFindsTheHostsSlot) {
    Peer host;
    host.Host("Crypt");
    const DPID hostId = host.Player("Ann", 0);
    StartTcpIp();
    ASSERT_EQ(NET_EnumSessions(), 0);
    EXPECT_STREQ(NET_GetSessionName(0), "Crypt");
    ASSERT_EQ(NET_JoinSession(0), 1);
    EXPECT_EQ(NET_GetPlayerCount(), 1);
    EXPECT_EQ(NET_GetPlayerId(0), int(hostId));
    EXPECT_STREQ(NET_GetPlayerName(0), "Ann");
    ASSERT_EQ(NET_CreatePlayer("Bob"), 1);
    EXPECT_EQ(NET_GetLocalSlot(), 1);
    EXPECT_EQ(NET_GetHostSlot(), 0);
    EXPECT_EQ(NET_IsHost(), 0);
    EXPECT_EQ(NET_GetPlayerCount(), 2);

    // Both ways: a broadcast from the client reaches the host's player; the host's message to
    // the client's player reaches slot 1's handler from slot 0.
    HandleEverySlot();
    const uint8_t hello[] = {0x2a, 7, 7};
    ASSERT_EQ(NET_Broadcast(1, hello, sizeof hello), 1);
    DPID from = 0, to = 0;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(host.Next(&from, &to, &bytes));
    EXPECT_EQ(from, DPID(NET_GetPlayerId(1)));
    EXPECT_EQ(to, hostId);
    EXPECT_EQ(bytes, std::vector<uint8_t>(hello, hello + 3));
    ASSERT_EQ(host.dp->Send(hostId, DPID(NET_GetPlayerId(1)), 0, hello, 2), DP_OK);
    ASSERT_TRUE(PumpUntil([] { return !g_Got.empty(); }));
    EXPECT_EQ(g_Got[0].sender, 0);
    EXPECT_EQ(g_Got[0].receiver, 1);
    EXPECT_EQ(g_Got[0].bytes.size(), 2u);

    // A later player announced with the slot it chose takes that slot (the creator's choice);
    // one whose data names no free slot of this game takes the first free one.
    Peer third;
    third.JoinFirst();
    third.Player("Cy", 5);
    ASSERT_TRUE(PumpUntil([] { return NET_GetPlayerCount() == 3; }));
    EXPECT_STREQ(NET_GetPlayerName(5), "Cy");
    third.Player("Dee", 1);  // slot 1 is this machine's
    third.Player("Eve", -4);
    third.Player("Fay", 8);
    ASSERT_TRUE(PumpUntil([] { return NET_GetPlayerCount() == 6; }));
    EXPECT_STREQ(NET_GetPlayerName(2), "Dee");
    EXPECT_STREQ(NET_GetPlayerName(3), "Eve");
    EXPECT_STREQ(NET_GetPlayerName(4), "Fay");

    // The host goes: the client is told.
    testing::internal::CaptureStdout();
    host.dp->Close();
    PumpUntil([] { return false; });
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("DPSYS_SESSIONLOST: bad news..."), std::string::npos);
}

TEST_F(NetDirectPlay, HostHoldsSlotZeroAndSeesTheClientInSlotOne) {
    StartTcpIp();
    ASSERT_EQ(NET_HostSession("Vault"), 0);
    EXPECT_EQ(NET_IsHost(), 1);
    ASSERT_EQ(NET_CreatePlayer("Ann"), 0);
    EXPECT_EQ(NET_GetHostSlot(), 0);
    Peer client;
    client.JoinFirst();
    const DPID bob = client.Player("Bob", 1);
    ASSERT_TRUE(PumpUntil([] { return NET_GetPlayerCount() == 2; }));
    EXPECT_EQ(NET_GetPlayerId(1), int(bob));
    EXPECT_EQ(NET_ReloadPlayerList(-1), 2);
    EXPECT_EQ(NET_GetPlayerId(1), int(bob)) << "the listing agrees with the announcement";
    ASSERT_EQ(client.dp->DestroyPlayer(bob), DP_OK);
    ASSERT_TRUE(PumpUntil([] { return NET_GetPlayerCount() == 1; }));
    EXPECT_EQ(NET_GetPlayerId(1), -1);
}

// Player data from another machine outside 0..max-1 ends the listing at that player.
TEST_F(NetDirectPlay, ListingStopsAtPlayerDataOutsideTheGamesSlots) {
    for (int32_t bad : {-1, -100, 8, 99, 1000}) {
        SCOPED_TRACE(bad);
        Peer host;
        host.Host("Odd");
        host.Player("Ann", 0);
        host.Player("Bad", bad);
        host.Player("Cy", 2);
        StartTcpIp();
        ASSERT_EQ(NET_EnumSessions(), 0);
        ASSERT_EQ(NET_JoinSession(0), 1);
        EXPECT_EQ(NET_GetPlayerCount(), 1);
        EXPECT_STREQ(NET_GetPlayerName(0), "Ann");
        for (int slot = 1; slot < NET_MAX_SLOTS; ++slot) ASSERT_EQ(NET_GetPlayerId(slot), -1) << slot;
        NET_Shutdown();
    }
}

TEST_F(NetDirectPlay, SessionsKeepTheirIndexesAndTheListStopsAtFifty) {
    StartTcpIp();
    {
        std::vector<std::unique_ptr<Peer>> hosts;
        for (int i = 0; i < 3; ++i) {
            hosts.push_back(std::make_unique<Peer>());
            hosts.back()->Host(("S" + std::to_string(i)).c_str());
        }
        ASSERT_EQ(NET_EnumSessions(), 2);
        std::vector<std::string> before;
        for (int i = 0; i < 3; ++i) before.push_back(NET_GetSessionName(i));
        int closed = -1;
        for (int i = 0; i < 3; ++i)
            if (before[i] == "S1") closed = i;
        hosts[1]->dp->Close();
        NET_EnumSessions();
        for (int i = 0; i < 3; ++i) {
            if (i == closed)
                EXPECT_EQ(NET_GetSessionName(i), nullptr) << "the closed one leaves a gap";
            else
                EXPECT_EQ(NET_GetSessionName(i), before[i]) << i;
        }
    }
    std::vector<std::unique_ptr<Peer>> many;
    for (int i = 0; i < 51; ++i) {
        many.push_back(std::make_unique<Peer>());
        many.back()->Host(("M" + std::to_string(i)).c_str());
    }
    plat::DpSetEnumWindow(600);
    EXPECT_EQ(NET_EnumSessions(), 49) << "50 sessions are kept";
    int named = 0;
    for (int i = 0; i < NET_MAX_SESSIONS; ++i)
        if (NET_GetSessionName(i)) ++named;
    EXPECT_EQ(named, 50);
}

TEST_F(NetDirectPlay, ConnectionsStopAtFortyNineAndOnlyTcpIpInitialises) {
    plat::DpSetExtraProviders(60);
    ASSERT_EQ(NET_Init(nullptr, kGhouldenGuid, NET_MODE_DIRECTPLAY, 8), 1);
    EXPECT_EQ(NET_EnumConnections(), 49) << "a 50th connection is not kept";
    EXPECT_STREQ(NET_GetConnectionName(48), "Test Connection 45");
    EXPECT_EQ(NET_GetConnectionName(49), nullptr);
    EXPECT_EQ(NET_InitConnection(48), 0) << "a provider none of the four cannot be initialised";
    for (int i = 0; i < 4; ++i) {
        const std::string name = NET_GetConnectionName(i);
        EXPECT_EQ(NET_InitConnection(i), name.find("TCP/IP") != std::string::npos ? 1 : 0) << name;
    }
    EXPECT_EQ(NET_InitConnection(-3), 0);
    EXPECT_EQ(NET_InitConnection(49), 0);
}

// A game started by a lobby: the host flag follows CREATESESSION, the launched client joins, and
// messages flow both ways (the selected connection, the session and the local player are set).
TEST_F(NetDirectPlay, LobbyLaunchedGameExchangesMessages) {
    plat::DpLobbyLaunch launch;
    launch.flags = DPLCONNECTION_CREATESESSION;
    launch.application = AppGuid();
    launch.maxPlayers = 8;
    launch.sessionName = "Lobby";
    launch.playerName = "Ann";
    launch.address = "127.0.0.1";
    ASSERT_TRUE(plat::DpStoreLobbyLaunch(&launch));
    ASSERT_EQ(NET_Init(nullptr, kGhouldenGuid, NET_START_ONLINE_FIRST, 8), 1);
    EXPECT_EQ(NET_GetMode(), NET_MODE_DIRECTPLAY);
    EXPECT_EQ(NET_IsHost(), 1);
    EXPECT_EQ(NET_GetLocalSlot(), 0);
    EXPECT_EQ(NET_GetPlayerCount(), 1);
    EXPECT_STREQ(NET_GetPlayerName(0), "Ann");
    EXPECT_STREQ(NET_GetSessionName(0), "Lobby");
    EXPECT_EQ(NET_ReloadPlayerList(-1), 1) << "the player listing works";

    Peer client;
    client.JoinFirst();
    const DPID bob = client.Player("Bob", 1);
    HandleEverySlot();
    ASSERT_TRUE(PumpUntil([] { return NET_GetPlayerCount() == 2; }));
    const uint8_t ping[] = {1, 2, 3};
    ASSERT_EQ(client.dp->Send(bob, DPID(NET_GetPlayerId(0)), 0, ping, 3), DP_OK);
    ASSERT_TRUE(PumpUntil([] { return !g_Got.empty(); }));
    EXPECT_EQ(g_Got[0].sender, 1);
    EXPECT_EQ(g_Got[0].receiver, 0);
    ASSERT_EQ(NET_Send(0, 1, ping, 2), 1);
    DPID from = 0, to = 0;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(client.Next(&from, &to, &bytes));
    EXPECT_EQ(from, DPID(NET_GetPlayerId(0)));
    EXPECT_EQ(bytes.size(), 2u);
    NET_Shutdown();

    // Without CREATESESSION the launched game joins and is no host.
    Peer host;
    host.Host("Other");
    host.Player("Cy", 0);
    launch.flags = DPLCONNECTION_JOINSESSION;
    launch.playerName = "Dee";
    ASSERT_TRUE(plat::DpStoreLobbyLaunch(&launch));
    ASSERT_EQ(NET_Init(nullptr, kGhouldenGuid, NET_START_ONLINE_FIRST, 8), 1);
    EXPECT_EQ(NET_IsHost(), 0);
    EXPECT_EQ(NET_GetLocalSlot(), 1) << "the first slot the session leaves free";
    EXPECT_EQ(NET_GetHostSlot(), 0);
}

}  // namespace
