// The transport's online-service back end in this process, against gics-testserver with the
// other players played by lobbex-cli processes: the start cases (the service's client library
// failing, a definition of another length, a stop that stays busy), the join with and without
// the lobby's wait, the player list with its slots and names, messages both ways, and the bad
// input the network can bring (a message over the receive buffer, names of 16 characters and
// more, addresses outside 1..100, a leave and a join between two pumps).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "brellapi_control.h"
#include "child.h"
#include "gamedef_record.h"
#include "net/net.h"
#include "net/net_seam.h"
#include "net/net_state.h"
#include "plat.h"
#include "registry.h"
#include "tool_test.h"
#include "common/mem.h"

namespace {

namespace fs = std::filesystem;
using nettest::After;
using nettest::Child;
using nettest::TestServer;

const std::string kServer = std::string(NET_TOOL_DIR) + "/gics-testserver";
const std::string kCli = std::string(NET_TOOL_DIR) + "/lobbex-cli";

struct Received {
    int from, to;
    std::string hex;
};
std::vector<Received> g_Received;

int Record(int from, int to, const uint8_t* bytes, int length) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (int i = 0; i < length; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
    }
    g_Received.push_back({from, to, hex});
    return 0;
}

struct ProcessExit : std::runtime_error {
    explicit ProcessExit(int c) : std::runtime_error("exit"), code(c) {}
    int code;
};

std::vector<std::string> g_Calls;
int Observe(const char* call, const char*) {
    g_Calls.push_back(call);
    return 1;
}

void SetMachineValue(const char* name, uint32_t value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Platform\\Brellapi", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD word = value;
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&word), sizeof word), ERROR_SUCCESS);
    RegCloseKey(key);
}

class NetOnline : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = tooltest::FreshTestDir("net-online-");
        setenv("PLATFORM_BACKEND", "headless", 1);
        unsetenv("PLATFORM_INPUT");
        plat::ResetForTests();
        plat::SetRegistryPath((dir_ / "game.ini").string());
        BwControlReset();
        MEM_ResetTracker();
        g_Received.clear();
        g_Calls.clear();
    }
    void TearDown() override {
        NET_Shutdown();
        NET_SetCallObserver(nullptr);
        plat::SetExitHook(nullptr);
        BwControlReset();
    }

    void StartServer(bool addrFromJoinWord = true) {
        server_ = std::make_unique<TestServer>(kServer, addrFromJoinWord);
    }

    // The definition as the service's lobby leaves it in a machine's registry file.
    void WriteDef(const std::string& registry, uint32_t joinWord, const std::string& name, uint32_t noWait = 1,
                  uint32_t size = 1100) {
        GameDefOptions o;
        o.registry = registry;
        o.joinWord = joinWord;
        o.gicsPort = uint16_t(std::stoi(server_ ? server_->port() : "1"));
        o.name = name;
        o.noWait = noWait;
        o.size = size;
        std::string error;
        ASSERT_EQ(WriteGameDef(o, &error), 0) << error;
    }

    // Starts the transport as a lobby launch: the service first.
    int Start() {
        const int ok = NET_Init(nullptr, kGhouldenGuid, NET_START_ONLINE_FIRST, NET_MAX_PLAYERS);
        for (int slot = 0; slot < NET_MAX_SLOTS; ++slot) NET_SetHandler(slot, Record);
        return ok;
    }

    // Joins as a lobby launch does; the local slot.
    int Join(const char* name = "Ann") {
        if (!NET_JoinSession(0)) return -2;
        return NET_CreatePlayer(name);
    }

    // Another player: a lobbex-cli process with its own registry file, joined, channel open.
    std::unique_ptr<Child> Peer(uint32_t joinWord, const std::string& name) {
        const std::string registry = (dir_ / ("peer" + std::to_string(joinWord) + ".ini")).string();
        WriteDef(registry, joinWord, name);
        auto peer = std::make_unique<Child>(kCli, std::vector<std::string>{},
                                            std::vector<std::pair<std::string, std::string>>{
                                                {"PLATFORM_REGISTRY", registry}, {"PLATFORM_BACKEND", "headless"}});
        peer->Say("loadgamedef");
        EXPECT_EQ(peer->Line("loadgamedef"), "loadgamedef 0 game 0");
        peer->Say("join " + name);
        EXPECT_EQ(peer->Line("join"), "join 0 addr " + std::to_string(joinWord));
        peer->Say("create-gulp");
        EXPECT_EQ(peer->Line("create-gulp"), "create-gulp 0");
        peer->Say("open-gulp");
        const std::string opened = peer->Line("open-gulp");
        EXPECT_GE(std::atoi(After(opened, "open-gulp").c_str()), 0) << opened;
        return peer;
    }

    // Pumps until `done` holds (a pump takes what the library has so far).
    template <typename F>
    bool PumpUntil(F done) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done()) {
            if (std::chrono::steady_clock::now() > until) return false;
            NET_Pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    // A peer's next message, read until one comes.
    static std::string PeerRead(Child& peer) {
        for (int i = 0; i < 400; ++i) {
            peer.Say("read");
            const std::string line = peer.Line("read");
            if (line.rfind("read 0 ", 0) == 0) return line;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return "nothing read";
    }

    fs::path dir_;
    std::unique_ptr<TestServer> server_;
};

TEST_F(NetOnline, HostAndPeerListEachOtherAndMessagesGoBothWays) {
    StartServer();
    WriteDef(plat::RegistryPath(), 1, "Ann");
    ASSERT_EQ(Start(), 1);
    ASSERT_EQ(NET_GetMode(), NET_MODE_ONLINE);
    ASSERT_EQ(Join(), 0);
    EXPECT_EQ(NET_IsHost(), 1);
    EXPECT_EQ(NET_GetHostSlot(), 0);
    EXPECT_EQ(NET_GetPlayerCount(), 1);
    EXPECT_EQ(NET_GetPlayerName(0), std::string("Ann"));

    auto bob = Peer(2, "Bob");
    ASSERT_TRUE(PumpUntil([] { return NET_GetPlayerCount() == 2; })) << "the join notice relists";
    EXPECT_EQ(NET_GetPlayerId(1), 2);
    EXPECT_EQ(NET_GetPlayerName(1), std::string("Bob"));
    EXPECT_EQ(NET_GetLocalSlot(), 0);

    const uint8_t toBob[] = {0x0a, 0x0b, 0x0c};
    EXPECT_EQ(NET_Send(0, 1, toBob, 3), 1);
    EXPECT_EQ(PeerRead(*bob), "read 0 1 0a0b0c");
    const uint8_t all[] = {0xff};
    EXPECT_EQ(NET_Broadcast(0, all, 1), 1);
    EXPECT_EQ(PeerRead(*bob), "read 0 1 ff");

    bob->Say("write 4142");
    EXPECT_EQ(bob->Line("write"), "write 0");
    bob->Say("write --to 1 43");
    EXPECT_EQ(bob->Line("write"), "write 0");
    ASSERT_TRUE(PumpUntil([] { return g_Received.size() >= 2; }));
    EXPECT_EQ(g_Received[0].from, 1);
    EXPECT_EQ(g_Received[0].to, 0);
    EXPECT_EQ(g_Received[0].hex, "4142");
    EXPECT_EQ(g_Received[1].hex, "43");
    // The definition carries this player's address after the listing.
    EXPECT_EQ(g_Net.gameDef[4], 1);
}

TEST_F(NetOnline, AClientIsSlotOneAndReachesTheHostInSlotZero) {
    StartServer();
    auto ann = Peer(1, "Ann");
    WriteDef(plat::RegistryPath(), 2, "Bob");
    BwControlSetPlayerIndex(2);
    ASSERT_EQ(Start(), 1);
    ASSERT_EQ(Join("Bob"), 1);
    EXPECT_EQ(NET_IsHost(), 0);
    EXPECT_EQ(NET_GetHostSlot(), 0);
    EXPECT_EQ(NET_GetPlayerCount(), 2);
    const uint8_t hello[] = {0x42};
    EXPECT_EQ(NET_Send(1, NET_GetHostSlot(), hello, 1), 1);
    EXPECT_EQ(PeerRead(*ann), "read 0 2 42");
}

TEST_F(NetOnline, StartCasesOfTheServiceLibraryAndTheDefinition) {
    struct Case {
        const char* name;
        uint32_t startupFailures;
        uint32_t defSize;
        int mode;
    };
    const Case cases[] = {
        {"starts at once", 0, 1100, NET_MODE_ONLINE},
        {"the second start works", 1, 1100, NET_MODE_ONLINE},
        {"a definition of another length: DirectPlay", 0, 1000, NET_MODE_DIRECTPLAY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteDef(plat::RegistryPath(), 1, "Ann", 1, c.defSize);
        SetMachineValue("StartupFailures", c.startupFailures);
        BwControlReset();
        EXPECT_EQ(Start(), 1);
        EXPECT_EQ(NET_GetMode(), c.mode);
        NET_Shutdown();
    }
}

TEST_F(NetOnline, TwoFailedStartsEndOnTheFatalScreenThroughTheShutdownSequence) {
    WriteDef(plat::RegistryPath(), 1, "Ann");
    SetMachineValue("StartupFailures", 2);
    plat::SetExitHook([](int code) { throw ProcessExit(code); });
    NET_SetCallObserver(Observe);
    ::testing::internal::CaptureStderr();
    int code = -1;
    try {
        Start();
    } catch (const ProcessExit& e) {
        code = e.code;
    }
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, 0);
    EXPECT_NE(err.find("FATAL ERROR: BwStartup() failed twice"), std::string::npos) << err;
    EXPECT_EQ(g_Calls, (std::vector<std::string>{"NET_Init", "NET_Shutdown"}));
    BwCallCounts counts{};
    BwControlGetCounts(&counts);
    EXPECT_EQ(counts.startup, 2);
}

TEST_F(NetOnline, AStopThatStaysBusyIsAskedFiftyTimesAndTheTransportStops) {
    WriteDef(plat::RegistryPath(), 1, "Ann");
    SetMachineValue("ShutdownBusy", 0xFFFFFFFFu);
    ASSERT_EQ(Start(), 1);
    ASSERT_EQ(NET_GetMode(), NET_MODE_ONLINE);
    EXPECT_EQ(NET_Shutdown(), 1);
    EXPECT_EQ(NET_GetMode(), NET_MODE_NONE);
    BwCallCounts counts{};
    BwControlGetCounts(&counts);
    EXPECT_EQ(counts.shutdown, 50);
}

TEST_F(NetOnline, WithoutTheNoWaitWordTheJoinComesAfterFiveSecondsOfTheClock) {
    StartServer();
    struct Case {
        uint32_t noWait;
        uint32_t least, most;  // virtual milliseconds the join takes
    };
    for (const Case& c : {Case{1, 0, 0}, Case{0, 5000, 5000 + 10}, Case{2, 5000, 5000 + 10}}) {
        SCOPED_TRACE(c.noWait);
        WriteDef(plat::RegistryPath(), 1, "Ann", c.noWait);
        ASSERT_EQ(Start(), 1);
        plat::SetVirtualTime(1000);
        ASSERT_EQ(NET_JoinSession(0), 1);
        const uint32_t took = GetTickCount() - 1000;
        EXPECT_GE(took, c.least);
        EXPECT_LE(took, c.most);
        NET_Shutdown();
    }
}

TEST_F(NetOnline, AnOverlongMessageIsDroppedAndLaterTrafficStillWorks) {
    StartServer();
    WriteDef(plat::RegistryPath(), 1, "Ann");
    ASSERT_EQ(Start(), 1);
    ASSERT_EQ(Join(), 0);
    auto bob = Peer(2, "Bob");
    ASSERT_TRUE(PumpUntil([] { return NET_GetPlayerCount() == 2; }));
    // Messages one byte under, at and over the receive buffer, then a short one.
    for (int length : {2047, 2048, 2049, 3000}) {
        SCOPED_TRACE(length);
        g_Received.clear();
        bob->Say("write " + std::string(size_t(length) * 2, '7'));
        EXPECT_EQ(bob->Line("write"), "write 0");
        bob->Say("write 01");
        EXPECT_EQ(bob->Line("write"), "write 0");
        ASSERT_TRUE(PumpUntil([] { return !g_Received.empty() && g_Received.back().hex == "01"; }));
        if (length <= NET_RECEIVE_BUFFER) {
            ASSERT_EQ(g_Received.size(), 2u);
            EXPECT_EQ(g_Received[0].hex.size(), size_t(length) * 2);
        } else {
            EXPECT_EQ(g_Received.size(), 1u) << "the long one is dropped";
        }
        const uint8_t reply[] = {0x5a};
        EXPECT_EQ(NET_Send(0, 1, reply, 1), 1) << "a dropped message fails no later send";
        EXPECT_EQ(PeerRead(*bob), "read 0 1 5a");
    }
    // One from the server itself, too long: dropped, and the channel goes on.
    server_->Command("big-message 1 3000");
    bob->Say("write 02");
    EXPECT_EQ(bob->Line("write"), "write 0");
    g_Received.clear();
    ASSERT_TRUE(PumpUntil([] { return !g_Received.empty(); }));
    EXPECT_EQ(g_Received[0].hex, "02");
}

TEST_F(NetOnline, NamesAreCutToSixteenCharactersAndKeptWhole) {
    StartServer();
    struct Case {
        const char* given;
        const char* listed;
    };
    const Case cases[] = {
        {"Sixteen-letters!", "Sixteen-letters!"},
        {"Seventeen-letters", "Seventeen-letter"},
        {"A name far longer than any the join can carry", "A name far longe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given);
        WriteDef(plat::RegistryPath(), 1, "x");
        ASSERT_EQ(Start(), 1);
        // Without a join first, the player's name replaces the definition's.
        const int slot = NET_CreatePlayer(c.given);
        ASSERT_EQ(slot, 0);
        EXPECT_EQ(NET_GetPlayerName(0), std::string(c.listed));
        {
            auto bob = Peer(2, "Bob");
            ASSERT_TRUE(PumpUntil([] { return NET_GetPlayerCount() == 2; }));
            const uint8_t ping[] = {0x11};
            EXPECT_EQ(NET_Send(0, 1, ping, 1), 1);
            EXPECT_EQ(PeerRead(*bob), "read 0 1 11");
            bob->Say("name 1");
            EXPECT_EQ(bob->Line("name"), std::string("name 0 ") + c.listed);
        }
        NET_Shutdown();
    }
}

TEST_F(NetOnline, AddressesOutsideTheSlotsAreSkipped) {
    StartServer();
    WriteDef(plat::RegistryPath(), 1, "Ann");
    ASSERT_EQ(Start(), 1);
    ASSERT_EQ(Join(), 0);
    auto far = Peer(101, "Far");
    auto bob = Peer(2, "Bob");
    ASSERT_TRUE(PumpUntil([] { return NET_GetPlayerCount() == 2; }));
    EXPECT_EQ(NET_ReloadPlayerList(0), 2) << "three listed, two placed";
    for (int slot = 2; slot < NET_MAX_SLOTS; ++slot) EXPECT_EQ(NET_GetPlayerId(slot), -1) << slot;
    // A message from the player without a slot reaches nobody.
    far->Say("write 99");
    EXPECT_EQ(far->Line("write"), "write 0");
    bob->Say("write 98");
    EXPECT_EQ(bob->Line("write"), "write 0");
    ASSERT_TRUE(PumpUntil([] { return !g_Received.empty(); }));
    EXPECT_EQ(g_Received.size(), 1u);
    EXPECT_EQ(g_Received[0].hex, "98");
}

TEST_F(NetOnline, ALeaveAndAJoinBetweenTwoPumpsShowInTheNextPump) {
    StartServer();
    WriteDef(plat::RegistryPath(), 1, "Ann");
    ASSERT_EQ(Start(), 1);
    ASSERT_EQ(Join(), 0);
    auto bob = Peer(2, "Bob");
    ASSERT_TRUE(PumpUntil([] { return NET_GetPlayerCount() == 2; }));
    bob->Say("leave");
    EXPECT_EQ(bob->Line("leave"), "leave 0");
    auto cat = Peer(3, "Cat");
    ASSERT_TRUE(PumpUntil([] { return NET_GetPlayerId(2) == 3 && NET_GetPlayerId(1) == -1; }));
    EXPECT_EQ(NET_GetPlayerCount(), 2);
    EXPECT_EQ(NET_GetPlayerName(2), std::string("Cat"));
}

TEST_F(NetOnline, TheLocalLeaveEmptiesItsSlotAndACreateJoinsAgain) {
    StartServer();
    WriteDef(plat::RegistryPath(), 1, "Ann");
    ASSERT_EQ(Start(), 1);
    ASSERT_EQ(Join(), 0);
    EXPECT_EQ(NET_DestroyPlayer(0), 1);
    EXPECT_EQ(NET_GetLocalSlot(), -1);
    EXPECT_EQ(NET_GetPlayerCount(), 0);
    EXPECT_EQ(NET_CreatePlayer("Ann"), 0) << "a new join after the leave";
    EXPECT_EQ(NET_CloseSession(5), 1) << "another connection index closes nothing";
    EXPECT_EQ(NET_GetLocalSlot(), 0);
}

}  // namespace
