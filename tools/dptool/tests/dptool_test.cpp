// dptool and nettool as separate processes on loopback, each with its own registry file: a
// session hosted, listed, joined, messages both ways, a killed host seen as a lost session, and
// lobby launches stored by dptool taken up by nettool.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"
#include "dplay.h"
#include "registry.h"
#include "tool_test.h"

namespace {

namespace fs = std::filesystem;

using tooltest::After;
using tooltest::Child;

const std::string kDptool = std::string(DP_TOOL_DIR) + "/dptool";
const std::string kNettool = std::string(DP_TOOL_DIR) + "/nettool";

TEST(DpTool, TwoProcessesHostJoinTalkAndTheClientSeesTheHostDie) {
    const fs::path dir = tooltest::FreshTestDir("dptool-");
    Child host(kDptool, {"--registry", (dir / "a.ini").string()});
    host.Say("host 0 Crypt");
    const std::string hosting = host.Line("hosting");
    const std::string port = After(hosting, "port");
    const std::string hostId = After(hosting, "player");
    ASSERT_FALSE(port.empty()) << hosting;

    Child client(kDptool, {"--registry", (dir / "b.ini").string()});
    client.Say("enum 127.0.0.1:" + port);
    const std::vector<std::string> listed = client.Until("sessions");
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0], "session 0 Crypt 1/8");
    client.Say("join 0");
    const std::string guestId = After(client.Line("joined"), "player");
    ASSERT_FALSE(guestId.empty());

    client.Say("send " + hostId + " 0a0b0c");
    EXPECT_EQ(client.Line("sent"), "sent");
    std::string got;
    for (int i = 0; i < 5 && got.empty(); ++i) {
        host.Say("recv 1000");
        for (const std::string& line : host.Until("received"))
            if (line.rfind("msg", 0) == 0) got = line;
    }
    EXPECT_EQ(got, "msg " + guestId + " " + hostId + " 0a0b0c");

    host.Say("send 0 ff");
    client.Say("recv 3000");
    const std::vector<std::string> atClient = client.Until("received");
    ASSERT_FALSE(atClient.empty());
    EXPECT_EQ(atClient[0], "msg " + hostId + " " + guestId + " ff");

    host.Kill();
    std::string lost;
    for (int i = 0; i < 5 && lost.empty(); ++i) {
        client.Say("recv 2000");
        for (const std::string& line : client.Until("received"))
            if (line == "sys 0x31") lost = line;
    }
    EXPECT_EQ(lost, "sys 0x31");
}

TEST(DpTool, NettoolClientOfAKilledDptoolHostIsToldTheSessionIsLost) {
#ifndef DP_HAVE_NETTOOL
    GTEST_SKIP() << "nettool is not built here";
#endif
    const fs::path dir = tooltest::FreshTestDir("dptool-");
    Child host(kDptool, {"--registry", (dir / "a.ini").string()});
    host.Say("host 0 Crypt");
    const std::string port = After(host.Line("hosting"), "port");
    Child client(kNettool, {"--registry", (dir / "b.ini").string()});
    client.Say("init dplay");
    EXPECT_EQ(client.Line("init"), "init 1 mode 2 host 0 local -1");
    client.Say("connect 1 127.0.0.1:" + port);
    EXPECT_EQ(client.Line("connect "), "connect 1");
    client.Say("sessions");
    const std::vector<std::string> listed = client.Until("sessions");
    ASSERT_FALSE(listed.empty());
    EXPECT_EQ(listed.back(), "sessions 0");
    client.Say("join 0");
    EXPECT_EQ(client.Line("join"), "join 1 slot 1");
    client.Say("players");
    const std::vector<std::string> players = client.Until("host slot");
    EXPECT_EQ(players.back(), "host slot 0 is-host 0");
    host.Kill();
    client.Say("pump 3000");
    const std::vector<std::string> pumped = client.Until("pumped");
    bool told = false;
    for (const std::string& line : pumped) told = told || line == "DPSYS_SESSIONLOST: bad news...";
    EXPECT_TRUE(told);
}

TEST(DpTool, LobbyLaunchesStoredByDptoolRunNettoolGames) {
#ifndef DP_HAVE_NETTOOL
    GTEST_SKIP() << "nettool is not built here";
#endif
    const fs::path dir = tooltest::FreshTestDir("dptool-");
    const std::string a = (dir / "a.ini").string(), b = (dir / "b.ini").string();
    std::string out, err;
    ASSERT_EQ(tooltest::RunCommand(tooltest::CommandLine(kDptool, {"--registry", a, "lobby", "--create", "--session",
                                                                   "Lobby", "--player", "Ann", "--address", "127.0.0.1"}),
                                   dir, &out, &err),
              0)
        << err;
    Child host(kNettool, {"--registry", a});
    host.Say("init dplay");
    EXPECT_EQ(host.Line("init"), "init 1 mode 2 host 1 local 0");

    plat::SetRegistryPath(a);
    const DWORD port = plat::DpMachinePort();
    plat::SetRegistryPath("");
    ASSERT_NE(port, 0u);
    ASSERT_EQ(tooltest::RunCommand(tooltest::CommandLine(kDptool, {"--registry", b, "lobby", "--join", "--session", "Lobby",
                                                                   "--player", "Bob", "--address",
                                                                   "127.0.0.1:" + std::to_string(port)}),
                                   dir, &out, &err),
              0)
        << err;
    Child guest(kNettool, {"--registry", b});
    guest.Say("init dplay");
    EXPECT_EQ(guest.Line("init"), "init 1 mode 2 host 0 local 1");

    host.Say("pump 300");
    host.Until("pumped");
    guest.Say("broadcast 0102");
    EXPECT_EQ(guest.Line("broadcast"), "broadcast 1");
    std::string got;
    for (int i = 0; i < 5 && got.empty(); ++i) {
        host.Say("pump 500");
        for (const std::string& line : host.Until("pumped"))
            if (line.rfind("from ", 0) == 0) got = line;
    }
    EXPECT_EQ(got, "from 1 to 0 0102");
    host.Say("send 1 0304");
    EXPECT_EQ(host.Line("send"), "send 1");
    got.clear();
    for (int i = 0; i < 5 && got.empty(); ++i) {
        guest.Say("pump 500");
        for (const std::string& line : guest.Until("pumped"))
            if (line.rfind("from ", 0) == 0) got = line;
    }
    EXPECT_EQ(got, "from 0 to 1 0304");
}

}  // namespace
