// DirectPlay sessions over loopback sockets: hosting, enumeration, joining, players and their
// data, messages with the receive-size protocol, broadcasts per local player, system messages,
// a lost host, the lobby launch kept in the registry, and hostile bytes on the wire. Every port
// is chosen by the system and kept in the test's own registry file.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "dplay.h"
#include "platform_fixture.h"
#include "registry.h"

namespace {

const GUID kApp = {0x11223344, 0x5566, 0x7788, {1, 2, 3, 4, 5, 6, 7, 8}};

struct Seen {
    GUID instance;
    std::string name;
    DWORD max, current;
};

BOOL CollectSessions(const DPSESSIONDESC2* d, DWORD*, DWORD flags, void* context) {
    auto* list = static_cast<std::vector<Seen>*>(context);
    if (flags & DPESC_TIMEDOUT) {
        list->push_back({GUID{}, "<timed out>", 0, 0});
        return FALSE;
    }
    list->push_back({d->guidInstance, d->lpszSessionNameA, d->dwMaxPlayers, d->dwCurrentPlayers});
    return TRUE;
}

struct Listed {
    DPID id;
    std::string name;
};
BOOL CollectPlayers(DPID id, DWORD, const DPNAME* name, DWORD, void* context) {
    static_cast<std::vector<Listed>*>(context)->push_back({id, name->lpszShortNameA});
    return TRUE;
}

// One received message, system messages decoded.
struct Got {
    HRESULT result = DP_OK;
    DPID from = 0, to = 0;
    std::vector<uint8_t> bytes;
    DWORD type() const {
        DWORD t = 0;
        if (bytes.size() >= 4) std::memcpy(&t, bytes.data(), 4);
        return t;
    }
};

// Waits (bounded) for the next message; size query first, as the game does.
Got Next(IDirectPlay3A* dp, int waitMs = 3000) {
    Got g;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        DWORD size = 0;
        g.result = dp->Receive(&g.from, &g.to, DPRECEIVE_ALL, nullptr, &size);
        if (g.result == DPERR_BUFFERTOOSMALL) {
            g.bytes.resize(size);
            g.result = dp->Receive(&g.from, &g.to, DPRECEIVE_ALL, g.bytes.data(), &size);
            return g;
        }
        if (std::chrono::steady_clock::now() > until) return g;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

class DirectPlaySession : public plattest::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        plat::SetRegistryPath(scratch + "/registry.ini");
        plat::DpSetEnumWindow(150);
    }
    void TearDown() override {
        for (IDirectPlay3A* dp : made) dp->Release();
        plat::SetRegistryPath("");
        plat::DpSetEnumWindow(300);
        HeadlessTest::TearDown();
    }
    IDirectPlay3A* Make(const std::string& inet = "") {
        IDirectPlayLobby2A* lobby = nullptr;
        EXPECT_EQ(DirectPlayLobbyCreateA(nullptr, &lobby, nullptr, nullptr, 0), DP_OK);
        uint8_t provider[16];
        std::memcpy(provider, &DPSPGUID_TCPIP, 0);
        const GUID sp = DPSPGUID_TCPIP;
        // The provider element's data is the GUID's bytes in wire order.
        provider[0] = uint8_t(sp.Data1);
        provider[1] = uint8_t(sp.Data1 >> 8);
        provider[2] = uint8_t(sp.Data1 >> 16);
        provider[3] = uint8_t(sp.Data1 >> 24);
        provider[4] = uint8_t(sp.Data2);
        provider[5] = uint8_t(sp.Data2 >> 8);
        provider[6] = uint8_t(sp.Data3);
        provider[7] = uint8_t(sp.Data3 >> 8);
        std::memcpy(provider + 8, sp.Data4, 8);
        const DPCOMPOUNDADDRESSELEMENT elements[] = {{DPAID_ServiceProvider, 16, provider},
                                                     {DPAID_INet, DWORD(inet.size() + 1), inet.c_str()}};
        DWORD size = 0;
        lobby->CreateCompoundAddress(elements, 2, nullptr, &size);
        addresses.emplace_back(size);
        EXPECT_EQ(lobby->CreateCompoundAddress(elements, 2, addresses.back().data(), &size), DP_OK);
        lobby->Release();
        IDirectPlay3A* dp = nullptr;
        EXPECT_EQ(DirectPlayCreate(nullptr, &dp, nullptr), DP_OK);
        EXPECT_EQ(dp->InitializeConnection(addresses.back().data(), 0), DP_OK);
        made.push_back(dp);
        return dp;
    }
    GUID Host(IDirectPlay3A* dp, const char* name, DWORD max = 8) {
        DPSESSIONDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DPSESSION_KEEPALIVE | DPSESSION_MIGRATEHOST;
        d.guidApplication = kApp;
        d.dwMaxPlayers = max;
        std::string text = name;
        d.lpszSessionNameA = text.data();
        EXPECT_EQ(dp->Open(&d, DPOPEN_CREATE | DPOPEN_RETURNSTATUS), DP_OK);
        return d.guidInstance;
    }
    std::vector<Seen> Enum(IDirectPlay3A* dp) {
        DPSESSIONDESC2 d{};
        d.dwSize = sizeof d;
        d.guidApplication = kApp;
        std::vector<Seen> seen;
        EXPECT_EQ(dp->EnumSessions(&d, 0, CollectSessions, &seen, DPENUMSESSIONS_ALL | DPENUMSESSIONS_RETURNSTATUS),
                  DP_OK);
        EXPECT_FALSE(seen.empty());
        if (!seen.empty()) {
            EXPECT_EQ(seen.back().name, "<timed out>") << "the last call is the time-out";
            seen.pop_back();
        }
        return seen;
    }
    void Join(IDirectPlay3A* dp, const GUID& instance) {
        DPSESSIONDESC2 d{};
        d.dwSize = sizeof d;
        d.guidInstance = instance;
        ASSERT_EQ(dp->Open(&d, DPOPEN_JOIN), DP_OK);
    }
    DPID Player(IDirectPlay3A* dp, const char* name, int32_t slot) {
        DPNAME n = {sizeof(DPNAME), 0, const_cast<char*>(name), nullptr};
        DPID id = 0;
        EXPECT_EQ(dp->CreatePlayer(&id, &n, nullptr, &slot, 4, 0), DP_OK);
        EXPECT_NE(id, 0u);
        EXPECT_NE(id, 0xFFFFFFFFu);
        return id;
    }
    std::vector<IDirectPlay3A*> made;
    std::vector<std::vector<uint8_t>> addresses;
};

TEST_F(DirectPlaySession, HostIsFoundJoinedAndPlayersExchangeMessages) {
    IDirectPlay3A* host = Make();
    const GUID instance = Host(host, "Crypt");
    uint8_t head[8];
    std::memcpy(head, &instance, 8);
    EXPECT_NE(std::vector<uint8_t>(head, head + 8), std::vector<uint8_t>(8, 0)) << "an instance never starts with 8 zeros";
    EXPECT_NE(plat::DpMachinePort(), 0u) << "the chosen port is kept in the machine's registry";

    const DPID hostPlayer = Player(host, "Ann", 0);
    IDirectPlay3A* client = Make("127.0.0.1");
    std::vector<Seen> seen = Enum(client);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].instance == instance);
    EXPECT_EQ(seen[0].name, "Crypt");
    EXPECT_EQ(seen[0].max, 8u);
    EXPECT_EQ(seen[0].current, 1u);
    Join(client, instance);
    const DPID a = Player(client, "Bob", 1);
    const DPID b = Player(client, "Cy", 2);

    // The host hears of each new player with its name and its data (the slot it chose).
    for (auto [id, name, slot] : {std::tuple{a, "Bob", 1}, std::tuple{b, "Cy", 2}}) {
        Got g = Next(host);
        ASSERT_EQ(g.result, DP_OK);
        EXPECT_EQ(g.from, DPID_SYSMSG);
        ASSERT_EQ(g.type(), DPSYS_CREATEPLAYERORGROUP);
        DPMSG_CREATEPLAYERORGROUP m;
        std::memcpy(&m, g.bytes.data(), sizeof m);
        EXPECT_EQ(m.dpId, id);
        EXPECT_STREQ(m.dpnName.lpszShortNameA, name);
        ASSERT_EQ(m.dwDataSize, 4u);
        int32_t data = -1;
        std::memcpy(&data, m.lpData, 4);
        EXPECT_EQ(data, slot);
        const uint8_t* inside = g.bytes.data();
        EXPECT_GE(reinterpret_cast<const uint8_t*>(m.dpnName.lpszShortNameA), inside);
        EXPECT_LT(reinterpret_cast<const uint8_t*>(m.dpnName.lpszShortNameA), inside + g.bytes.size());
    }

    // Players are listed local and remote, and their data can be read on either side.
    std::vector<Listed> local, remote;
    ASSERT_EQ(client->EnumPlayers(nullptr, CollectPlayers, &local, DPENUMPLAYERS_LOCAL), DP_OK);
    ASSERT_EQ(client->EnumPlayers(nullptr, CollectPlayers, &remote, DPENUMPLAYERS_REMOTE), DP_OK);
    ASSERT_EQ(local.size(), 2u);
    ASSERT_EQ(remote.size(), 1u);
    EXPECT_EQ(remote[0].id, hostPlayer);
    EXPECT_EQ(remote[0].name, "Ann");
    int32_t data = -1;
    DWORD size = 0;
    EXPECT_EQ(client->GetPlayerData(hostPlayer, nullptr, &size, 0), DPERR_BUFFERTOOSMALL);
    EXPECT_EQ(size, 4u);
    ASSERT_EQ(client->GetPlayerData(hostPlayer, &data, &size, 0), DP_OK);
    EXPECT_EQ(data, 0);
    ASSERT_EQ(host->GetPlayerData(b, &data, &size, 0), DP_OK);
    EXPECT_EQ(data, 2);
    EXPECT_EQ(host->GetPlayerData(0x7777, &data, &size, 0), DPERR_INVALIDPLAYER);

    // Nothing waiting: size 0. A broadcast reaches each local player of the client once, each copy
    // addressed to that player.
    size = 99;
    EXPECT_EQ(client->Receive(nullptr, nullptr, DPRECEIVE_ALL, nullptr, &size), DPERR_NOMESSAGES);
    EXPECT_EQ(size, 0u);
    const uint8_t hello[] = {0x2a, 1, 2, 3, 4};
    ASSERT_EQ(host->Send(hostPlayer, 0, 0, hello, sizeof hello), DP_OK);
    std::vector<DPID> addressed;
    for (int i = 0; i < 2; ++i) {
        Got g = Next(client);
        ASSERT_EQ(g.result, DP_OK);
        EXPECT_EQ(g.from, hostPlayer);
        EXPECT_EQ(g.bytes, std::vector<uint8_t>(hello, hello + sizeof hello));
        addressed.push_back(g.to);
    }
    EXPECT_EQ(addressed, (std::vector<DPID>{a, b}));
    // A small buffer leaves a message waiting and names the size it needs.
    ASSERT_EQ(host->Send(hostPlayer, a, 0, hello, sizeof hello), DP_OK);
    uint8_t tiny[2];
    DWORD tinySize = 0;
    for (int i = 0; i < 1000 && tinySize == 0; ++i) {
        tinySize = sizeof tiny;
        if (client->Receive(nullptr, nullptr, DPRECEIVE_ALL, tiny, &tinySize) == DPERR_NOMESSAGES)
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    EXPECT_EQ(tinySize, sizeof hello);
    Got directed = Next(client);
    EXPECT_EQ(directed.to, a);
    EXPECT_EQ(directed.bytes.size(), sizeof hello);

    // Client to host, and the client's own other player also gets the broadcast.
    ASSERT_EQ(client->Send(a, 0, 0, hello, 3), DP_OK);
    Got atHost = Next(host);
    EXPECT_EQ(atHost.from, a);
    EXPECT_EQ(atHost.to, hostPlayer);
    EXPECT_EQ(atHost.bytes.size(), 3u);
    Got atB = Next(client);
    EXPECT_EQ(atB.from, a);
    EXPECT_EQ(atB.to, b);
    EXPECT_EQ(client->Send(hostPlayer, a, 0, hello, 3), DPERR_INVALIDPLAYER) << "only from a local player";

    // A destroyed player is announced; then the host goes and the client loses the session.
    ASSERT_EQ(client->DestroyPlayer(b), DP_OK);
    Got destroyed = Next(host);
    ASSERT_EQ(destroyed.type(), DPSYS_DESTROYPLAYERORGROUP);
    DPMSG_DESTROYPLAYERORGROUP dm;
    std::memcpy(&dm, destroyed.bytes.data(), sizeof dm);
    EXPECT_EQ(dm.dpId, b);
    ASSERT_EQ(host->Close(), DP_OK);
    Got lost = Next(client);
    ASSERT_EQ(lost.result, DP_OK);
    EXPECT_EQ(lost.from, DPID_SYSMSG);
    EXPECT_EQ(lost.type(), DPSYS_SESSIONLOST);
}

TEST_F(DirectPlaySession, EveryHostOfTheMachineAnswersAndPlayersOfAListedSessionCanBeAsked) {
    IDirectPlay3A* hosts[3] = {Make(), Make(), Make()};
    GUID instances[3];
    for (int i = 0; i < 3; ++i) instances[i] = Host(hosts[i], ("S" + std::to_string(i)).c_str());
    Player(hosts[1], "Dee", 5);
    IDirectPlay3A* client = Make();  // empty text: this machine, the registry's port
    std::vector<Seen> seen = Enum(client);
    ASSERT_EQ(seen.size(), 3u);
    std::vector<Listed> players;
    ASSERT_EQ(client->EnumPlayers(&instances[1], CollectPlayers, &players, DPENUMPLAYERS_SESSION), DP_OK);
    ASSERT_EQ(players.size(), 1u);
    EXPECT_EQ(players[0].name, "Dee");
    int32_t data = 0;
    DWORD size = 4;
    ASSERT_EQ(client->GetPlayerData(players[0].id, &data, &size, 0), DP_OK);
    EXPECT_EQ(data, 5);
    hosts[0]->Close();
    EXPECT_EQ(Enum(client).size(), 2u);
    GUID unknown = kApp;
    EXPECT_EQ(client->EnumPlayers(&unknown, CollectPlayers, &players, DPENUMPLAYERS_SESSION), DPERR_NOSESSIONS);
}

TEST_F(DirectPlaySession, ModemAddressListsNoModemAndEnumAddressChecksLengths) {
    IDirectPlay3A* modem = nullptr;
    ASSERT_EQ(DirectPlayCreate(&DPSPGUID_MODEM, &modem, nullptr), DP_OK);
    DWORD size = 0;
    ASSERT_EQ(modem->GetPlayerAddress(0, nullptr, &size), DPERR_BUFFERTOOSMALL);
    std::vector<uint8_t> address(size);
    ASSERT_EQ(modem->GetPlayerAddress(0, address.data(), &size), DP_OK);
    modem->Release();
    IDirectPlayLobby2A* lobby = nullptr;
    ASSERT_EQ(DirectPlayLobbyCreateA(nullptr, &lobby, nullptr, nullptr, 0), DP_OK);
    struct Element {
        GUID type;
        std::vector<uint8_t> data;
    };
    std::vector<Element> elements;
    auto collect = [](const GUID& type, DWORD length, const void* data, void* context) -> BOOL {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        static_cast<std::vector<Element>*>(context)->push_back({type, std::vector<uint8_t>(p, p + length)});
        return TRUE;
    };
    ASSERT_EQ(lobby->EnumAddress(collect, address.data(), size, &elements), DP_OK);
    ASSERT_EQ(elements.size(), 1u);
    EXPECT_TRUE(elements[0].type == DPAID_Modem);
    EXPECT_EQ(elements[0].data, std::vector<uint8_t>{0}) << "only the empty name that ends the run";
    for (DWORD cut = 1; cut < size; ++cut) {
        elements.clear();
        EXPECT_EQ(lobby->EnumAddress(collect, address.data(), cut, &elements), DPERR_INVALIDPARAMS) << cut;
        EXPECT_TRUE(elements.empty()) << "a damaged address calls back nothing";
    }
    void* again = nullptr;
    ASSERT_EQ(lobby->QueryInterface(IID_IDirectPlayLobby2A, &again), DP_OK);
    EXPECT_EQ(lobby->Release(), 1u);
    EXPECT_EQ(static_cast<IDirectPlayLobby2A*>(again)->Release(), 0u);
}

TEST_F(DirectPlaySession, LobbyLaunchFromTheRegistryCreatesAndJoins) {
    plat::DpLobbyLaunch launch;
    launch.flags = DPLCONNECTION_CREATESESSION;
    launch.application = kApp;
    launch.maxPlayers = 4;
    launch.sessionName = "Lobby game";
    launch.playerName = "Host player";
    launch.address = "127.0.0.1";
    ASSERT_TRUE(plat::DpStoreLobbyLaunch(&launch));

    IDirectPlayLobby2A* lobby = nullptr;
    ASSERT_EQ(DirectPlayLobbyCreateA(nullptr, &lobby, nullptr, nullptr, 0), DP_OK);
    DWORD size = 0;
    ASSERT_EQ(lobby->GetConnectionSettings(0, nullptr, &size), DPERR_BUFFERTOOSMALL);
    std::vector<uint8_t> block(size);
    ASSERT_EQ(lobby->GetConnectionSettings(0, block.data(), &size), DP_OK);
    DPLCONNECTION c;
    std::memcpy(&c, block.data(), sizeof c);
    auto inside = [&](const void* p) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        return b >= block.data() && b < block.data() + block.size();
    };
    EXPECT_EQ(c.dwFlags, DWORD(DPLCONNECTION_CREATESESSION));
    ASSERT_TRUE(inside(c.lpSessionDesc) && inside(c.lpPlayerName) && inside(c.lpAddress));
    ASSERT_TRUE(inside(c.lpSessionDesc->lpszSessionNameA) && inside(c.lpPlayerName->lpszShortNameA));
    EXPECT_STREQ(c.lpSessionDesc->lpszSessionNameA, "Lobby game");
    EXPECT_STREQ(c.lpPlayerName->lpszShortNameA, "Host player");
    EXPECT_EQ(c.lpSessionDesc->dwMaxPlayers, 4u);

    c.lpSessionDesc->dwFlags = DPSESSION_KEEPALIVE | DPSESSION_MIGRATEHOST;
    ASSERT_EQ(lobby->SetConnectionSettings(0, 0, &c), DP_OK);
    IDirectPlay3A* host = nullptr;
    ASSERT_EQ(lobby->Connect(0, &host, nullptr), DP_OK);
    made.push_back(host);
    lobby->Release();
    EXPECT_EQ(DirectPlayLobbyCreateA(nullptr, &lobby, nullptr, nullptr, 0), DP_OK);
    EXPECT_EQ(lobby->GetConnectionSettings(0, nullptr, &size), DPERR_NOTLOBBIED) << "the launch was taken up";
    lobby->Release();
    const DPID hostPlayer = Player(host, "Host player", 0);

    // A client launched to join the first session at that address.
    launch.flags = DPLCONNECTION_JOINSESSION;
    launch.playerName = "Guest";
    ASSERT_TRUE(plat::DpStoreLobbyLaunch(&launch));
    ASSERT_EQ(DirectPlayLobbyCreateA(nullptr, &lobby, nullptr, nullptr, 0), DP_OK);
    IDirectPlay3A* guest = nullptr;
    ASSERT_EQ(lobby->Connect(0, &guest, nullptr), DP_OK);
    made.push_back(guest);
    lobby->Release();
    const DPID guestPlayer = Player(guest, "Guest", 1);
    const uint8_t ping[] = {7};
    ASSERT_EQ(guest->Send(guestPlayer, hostPlayer, 0, ping, 1), DP_OK);
    Got g = Next(host);
    EXPECT_EQ(g.type(), DPSYS_CREATEPLAYERORGROUP);
    g = Next(host);
    EXPECT_EQ(g.from, guestPlayer);
    EXPECT_EQ(g.bytes, std::vector<uint8_t>(ping, ping + 1));
}

// Every truncation of a stored lobby launch is refused, and a lobby holding one is not lobbied.
TEST_F(DirectPlaySession, TruncatedLobbyLaunchesAreRefused) {
    plat::DpLobbyLaunch launch;
    launch.flags = DPLCONNECTION_JOINSESSION;
    launch.application = kApp;
    launch.maxPlayers = 8;
    launch.sessionName = "S";
    launch.playerName = "P";
    launch.address = "127.0.0.1:1";
    const std::vector<uint8_t> whole = plat::DpWriteLobbyLaunch(launch);
    plat::DpLobbyLaunch back;
    ASSERT_TRUE(plat::DpParseLobbyLaunch(whole.data(), whole.size(), &back));
    EXPECT_EQ(back.address, launch.address);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Platform\\DirectPlay", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        EXPECT_FALSE(plat::DpParseLobbyLaunch(whole.data(), cut, &back)) << cut;
        if (cut % 7 == 0) {
            ASSERT_EQ(RegSetValueExA(key, "LobbyLaunch", 0, REG_BINARY, whole.data(), DWORD(cut)), ERROR_SUCCESS);
            IDirectPlayLobby2A* lobby = nullptr;
            ASSERT_EQ(DirectPlayLobbyCreateA(nullptr, &lobby, nullptr, nullptr, 0), DP_OK);
            DWORD size = 0;
            EXPECT_EQ(lobby->GetConnectionSettings(0, nullptr, &size), DPERR_NOTLOBBIED) << cut;
            lobby->Release();
        }
    }
    std::vector<uint8_t> longer = whole;
    longer.push_back(0);
    EXPECT_FALSE(plat::DpParseLobbyLaunch(longer.data(), longer.size(), &back)) << "nothing may follow";
    std::vector<uint8_t> neither = whole;
    neither[4] = 0;
    EXPECT_FALSE(plat::DpParseLobbyLaunch(neither.data(), neither.size(), &back)) << "create or join";
    RegCloseKey(key);
}

// Each packet kind: the whole packet reads back, every truncation is refused, and a seeded run of
// mutations never reads outside the bytes (checked by the sanitizers) and never yields a player
// id of 0 or a player's data longer than allowed.
TEST(DirectPlayWire, EveryPacketKindRefusesTruncationsAndSurvivesMutations) {
    plat::DpSessionRecord s{{0x1234, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}}, {9, 9, 9, {}}, 0x44, 8, 2, 4711, "Vault"};
    const std::vector<plat::DpPlayerRecord> players = {{0x101, std::string("\0\0\0\0", 4), "Ann"},
                                                       {0x102, std::string("\1\0\0\0", 4), "Bob"}};
    const uint8_t payload[] = {0x10, 0x20, 0x30};
    struct Kind {
        const char* name;
        std::vector<uint8_t> bytes;
        bool (*parse)(const std::vector<uint8_t>&);
        bool anyLengthPrefix;  // a message's payload runs to the end, so a cut message still reads
    };
    const Kind kinds[] = {
        {"enumeration reply", plat::DpWriteEnumReply(s),
         [](const std::vector<uint8_t>& b) {
             plat::DpSessionRecord out;
             return plat::DpParseEnumReply(b.data(), b.size(), &out);
         },
         false},
        {"join reply", plat::DpWriteJoinReply(0, s),
         [](const std::vector<uint8_t>& b) {
             plat::DpSessionRecord out;
             DWORD status;
             return plat::DpParseJoinReply(b.data(), b.size(), &status, &out);
         },
         false},
        {"player list", plat::DpWritePlayerList(s.instance, players),
         [](const std::vector<uint8_t>& b) {
             GUID g;
             std::vector<plat::DpPlayerRecord> out;
             const bool ok = plat::DpParsePlayerList(b.data(), b.size(), &g, &out);
             for (const auto& p : out) EXPECT_TRUE(p.id != 0 && p.data.size() <= kDpMaxPlayerData);
             return ok;
         },
         false},
        {"message", plat::DpWriteMessage(0x101, 0, payload, sizeof payload),
         [](const std::vector<uint8_t>& b) {
             DPID from, to;
             size_t at = 0;
             const bool ok = plat::DpParseMessage(b.data(), b.size(), &from, &to, &at);
             if (ok) {
                 EXPECT_LE(at, b.size());
             }
             return ok;
         },
         true},
        {"system message", plat::DpWriteSystem(DPSYS_CREATEPLAYERORGROUP, players[1]),
         [](const std::vector<uint8_t>& b) {
             DWORD type;
             plat::DpPlayerRecord out;
             const bool ok = plat::DpParseSystem(b.data(), b.size(), &type, &out);
             if (ok) {
                 EXPECT_TRUE(out.id != 0 && out.data.size() <= kDpMaxPlayerData);
             }
             return ok;
         },
         false},
    };
    std::mt19937 random(2026);
    for (const Kind& k : kinds) {
        EXPECT_TRUE(k.parse(k.bytes)) << k.name;
        const size_t shortest = k.anyLengthPrefix ? 9 : k.bytes.size();
        for (size_t cut = 0; cut < shortest; ++cut)
            EXPECT_FALSE(k.parse(std::vector<uint8_t>(k.bytes.begin(), k.bytes.begin() + long(cut)))) << k.name << " " << cut;
        for (int round = 0; round < 3000; ++round) {
            std::vector<uint8_t> m = k.bytes;
            const int edits = 1 + int(random() % 4);
            for (int e = 0; e < edits; ++e) {
                switch (random() % 3) {
                case 0: m[random() % m.size()] = uint8_t(random()); break;
                case 1: m.resize(random() % (m.size() + 1)); if (m.empty()) m.push_back(0); break;
                default: m.insert(m.begin() + long(random() % m.size()), uint8_t(random())); break;
                }
            }
            k.parse(m);
        }
    }
}

// A host fed garbage drops that connection and goes on serving the others.
TEST_F(DirectPlaySession, HostDropsAHostileConnectionAndKeepsServing) {
    IDirectPlay3A* host = Make();
    const GUID instance = Host(host, "Keep");
    const DPID hostPlayer = Player(host, "Ann", 0);
    IDirectPlay3A* client = Make();
    std::vector<Seen> seen = Enum(client);
    ASSERT_EQ(seen.size(), 1u);

    // The host's TCP port is in the enumeration reply; ask for it by hand.
    const int udp = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(uint16_t(plat::DpMachinePort()));
    std::vector<uint8_t> query = {0x44, 0x50, 0x4c, 0x59, 1};
    query.resize(query.size() + 16, 0);
    sendto(udp, query.data(), query.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    timeval wait{2, 0};
    setsockopt(udp, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    uint8_t reply[2048];
    const ssize_t n = recv(udp, reply, sizeof reply, 0);
    close(udp);
    ASSERT_GT(n, 4);
    plat::DpSessionRecord record;
    ASSERT_TRUE(plat::DpParseEnumReply(reply + 4, size_t(n - 4), &record));

    const std::vector<std::vector<uint8_t>> hostile = {
        {0xff, 0xff, 0xff, 0xff, 5},             // a frame longer than allowed
        {0, 0, 0, 0},                            // an empty frame
        {5, 0, 0, 0, 10, 1, 1, 0, 0},            // a message before joining
        {3, 0, 0, 0, 5, 1, 2},                   // a join cut short
    };
    for (const auto& bytes : hostile) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        to.sin_port = htons(record.port);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
        ASSERT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
        char c;
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        EXPECT_EQ(recv(fd, &c, 1, 0), 0) << "the host closes the connection";
        close(fd);
    }
    Join(client, instance);
    const DPID guest = Player(client, "Guest", 1);
    const uint8_t hi[] = {1, 2};
    ASSERT_EQ(client->Send(guest, hostPlayer, 0, hi, 2), DP_OK);
    Got g = Next(host);
    EXPECT_EQ(g.type(), DPSYS_CREATEPLAYERORGROUP);
    g = Next(host);
    EXPECT_EQ(g.from, guest);
}

}  // namespace
