// nettool processes on the online service, as the service's lobby starts them (fake-lobby)
// against gics-testserver: the host in slot 0, the clients after it, messages both ways, a later
// player seen by the host's next pump; and single nettool processes whose machine makes the
// service's client library fail to start or never finish stopping.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "child.h"
#include "gamedef_record.h"
#include "registry.h"
#include "tool_test.h"

namespace {

namespace fs = std::filesystem;
using nettest::Child;
using nettest::TestServer;

const std::string kDir = NET_TOOL_DIR;
const std::string kServer = kDir + "/gics-testserver";
const std::string kNettool = kDir + "/nettool";
const std::string kFakeLobby = kDir + "/fake-lobby";

// The lines of `lines` that start with `prefix`.
std::vector<std::string> Starting(const std::vector<std::string>& lines, const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& l : lines)
        if (l.rfind(prefix, 0) == 0) out.push_back(l);
    return out;
}

// Asks player `who` to pump and list until `wanted` is among its lines (a pump takes what the
// library has by then).
bool PumpUntilListed(Child& lobby, const std::string& who, const std::string& wanted) {
    for (int i = 0; i < 40; ++i) {
        lobby.Say(who + " pump 100");
        lobby.Until(who + ": pumped");
        lobby.Say(who + " players");
        for (const std::string& l : lobby.Until(who + ": host slot"))
            if (l == wanted) return true;
    }
    return false;
}

TEST(NettoolOnline, PlayersStartedByTheLobbyListEachOtherAndTalkBothWays) {
    const fs::path dir = tooltest::FreshTestDir("nettool-online-");
    fs::create_directories(dir / "install");
    TestServer server(kServer, true);
    Child lobby(kFakeLobby, {"--server", "127.0.0.1:" + server.port(), "--players", "3",
                             (dir / "install").string(), "--", kNettool});
    for (const std::string who : {"1", "2"}) {
        lobby.Say(who + " init online");
        EXPECT_EQ(lobby.Line(who + ": init"), who + ": init 1 mode 3 host 0 local -1");
    }
    lobby.Say("1 join");
    EXPECT_EQ(lobby.Line("1: join"), "1: join 1 slot 0");
    lobby.Say("2 join");
    EXPECT_EQ(lobby.Line("2: join"), "2: join 1 slot 1");

    EXPECT_TRUE(PumpUntilListed(lobby, "1", "1: slot 1 id 2 name Player2 local 0"));
    lobby.Say("1 players");
    EXPECT_EQ(lobby.Until("1: host slot"),
              (std::vector<std::string>{"1: slot 0 id 1 name Player1 local 1", "1: slot 1 id 2 name Player2 local 0",
                                        "1: host slot 0 is-host 1"}));
    lobby.Say("2 players");
    EXPECT_EQ(lobby.Line("2: host slot"), "2: host slot 0 is-host 0");

    lobby.Say("1 broadcast 0a0b");
    EXPECT_EQ(lobby.Line("1: broadcast"), "1: broadcast 1");
    lobby.Say("1 send 1 0c");
    EXPECT_EQ(lobby.Line("1: send"), "1: send 1");
    lobby.Say("2 pump 1500");
    EXPECT_EQ(Starting(lobby.Until("2: pumped"), "2: from"),
              (std::vector<std::string>{"2: from 0 to 1 0a0b", "2: from 0 to 1 0c"}));
    lobby.Say("2 send 0 ff");
    EXPECT_EQ(lobby.Line("2: send"), "2: send 1");
    lobby.Say("2 broadcast ee");
    EXPECT_EQ(lobby.Line("2: broadcast"), "2: broadcast 1");
    lobby.Say("1 pump 1500");
    EXPECT_EQ(Starting(lobby.Until("1: pumped"), "1: from"),
              (std::vector<std::string>{"1: from 1 to 0 ff", "1: from 1 to 0 ee"}));

    // A third player joins: the host's next pump lists it.
    lobby.Say("3 init online");
    EXPECT_EQ(lobby.Line("3: init"), "3: init 1 mode 3 host 0 local -1");
    lobby.Say("3 join");
    EXPECT_EQ(lobby.Line("3: join"), "3: join 1 slot 2");
    EXPECT_TRUE(PumpUntilListed(lobby, "1", "1: slot 2 id 3 name Player3 local 0"));

    lobby.Say("* quit");
    const std::vector<std::string> ends = Starting(lobby.Until("player 3 exit"), "player ");
    EXPECT_EQ(ends, (std::vector<std::string>{"player 1 exit 0", "player 2 exit 0", "player 3 exit 0"}));
}

// One machine's registry file: the definition and the service client's values.
void WriteMachine(const fs::path& registry, const std::vector<std::pair<const char*, uint32_t>>& values) {
    GameDefOptions def;
    def.registry = registry.string();
    def.joinWord = 1;
    def.gicsPort = 1;
    def.noWait = 1;
    std::string error;
    ASSERT_EQ(WriteGameDef(def, &error), 0) << error;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Platform\\Brellapi", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (const auto& [name, value] : values) {
        const DWORD word = value;
        ASSERT_EQ(RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&word), 4), ERROR_SUCCESS);
    }
    RegCloseKey(key);
}

TEST(NettoolOnline, TheServiceClientsStartAndStopFailuresEndTheProcess) {
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, uint32_t>> values;
        const char* out;  // the start's answer, or "" when the start ends the process
        const char* err;  // in the error output
    };
    const Case cases[] = {
        {"one failed start", {{"StartupFailures", 1}}, "init 1 mode 3 host 0 local -1", ""},
        {"two failed starts", {{"StartupFailures", 2}}, "", "FATAL ERROR: BwStartup() failed twice"},
        {"a stop that stays busy", {{"ShutdownBusy", 0xFFFFFFFFu}}, "init 1 mode 3 host 0 local -1", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path dir = tooltest::FreshTestDir("nettool-start-");
        WriteMachine(dir / "machine.ini", c.values);
        std::string out, err;
        const int code = tooltest::RunCommand(
            "printf 'init online\\nquit\\n' | PLATFORM_BACKEND=headless " +
                tooltest::CommandLine(kNettool, {"--registry", (dir / "machine.ini").string()}),
            dir, &out, &err);
        EXPECT_EQ(code, 0) << err;
        EXPECT_EQ(out, *c.out ? std::string(c.out) + "\n" : std::string());
        EXPECT_NE(err.find(c.err), std::string::npos) << err;
        EXPECT_FALSE(tooltest::SanitizerReport(err)) << err;
    }
}

#ifdef NET_HAVE_GHOULDEN
// Two headless games started by the lobby from the demo install, kept in step by their input
// script, both join, and the server's log shows a listing that holds both players. The game's
// frame loop does not pump the transport yet, so only the player that joins second lists again
// after the other's join; which one that is depends on the start-up race.
TEST(NettoolOnline, TwoHeadlessGamesFromTheDemoInstallSeeEachOther) {
    const fs::path dir = tooltest::FreshTestDir("ghoulden-online-");
    std::string out, err;
    ASSERT_EQ(tooltest::RunCommand(tooltest::CommandLine(kDir + "/ghoulden-datakit", {(dir / "install").string()}), dir,
                                   &out, &err),
              0)
        << err;
    {
        std::FILE* script = std::fopen((dir / "input.txt").c_str(), "w");
        ASSERT_NE(script, nullptr);
        std::fputs("0 pace 20\n", script);
        std::fclose(script);
    }
    TestServer server(kServer, true);
    const int code = tooltest::RunCommand(
        "PLATFORM_BACKEND=headless PLATFORM_FRAMES=400 PLATFORM_INPUT=" + tooltest::Quote((dir / "input.txt").string()) +
            " " +
            tooltest::CommandLine(kFakeLobby, {"--server", "127.0.0.1:" + server.port(), "--players", "2",
                                               (dir / "install").string(), "--", kDir + "/ghoulden"}) +
            " </dev/null",
        dir, &out, &err);
    EXPECT_EQ(code, 0) << out << err;
    EXPECT_NE(out.find("player 1 exit 0"), std::string::npos) << out;
    EXPECT_NE(out.find("player 2 exit 0"), std::string::npos) << out;
    const std::string log = server.Log();
    const bool oneSeesTwo = log.find("from 1: addr 2 name Player2") != std::string::npos;
    const bool twoSeesOne = log.find("from 2: addr 1 name Player1") != std::string::npos;
    EXPECT_TRUE(oneSeesTwo || twoSeesOne) << log;
    EXPECT_NE(log.find("word 1 name Player1 addr 1 status 0"), std::string::npos) << log;
    EXPECT_NE(log.find("word 2 name Player2 addr 2 status 0"), std::string::npos) << log;
}
#endif

}  // namespace
