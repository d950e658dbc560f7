// Separate processes on loopback: gics-testserver and two or three lobbex-cli players, each with
// its own registry file holding the game definition that gamedef-tool wrote. They get addresses
// 1, 2, 3, hear each other join and leave, create "Qor GULP" and exchange messages to all and to
// chosen members in order with the right senders.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../../krpeer/tests/peer_child.h"

namespace {

namespace fs = std::filesystem;
using kpt::Child;
using kpt::Tool;

struct Player {
    std::unique_ptr<Child> cli;
    // Sends a command and gives the line it answers (its first word is the command's).
    std::string Do(const std::string& command) {
        cli->Send(command);
        const std::string verb = command.substr(0, command.find(' '));
        return cli->Line(verb + " ");
    }
    // Reads until a message arrives (a bounded number of tries, each after a short wait).
    std::string ReadMessage() {
        for (int i = 0; i < 3000; ++i) {
            const std::string line = Do("read");
            if (line.rfind("read 0 ", 0) == 0 || line.empty()) return line;
            Do("wait 10");
        }
        return "";
    }
};

class gics_processes : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("gics_cli_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        setenv("PLATFORM_HOST_ADDRESS", "127.0.0.1", 1);
        server_ = std::make_unique<Child>(Tool("gics-testserver"), std::vector<std::string>{});
        ASSERT_TRUE(server_->Started());
        port_ = server_->Port("port ");
        ASSERT_NE(port_, 0);
    }
    void TearDown() override {
        for (Player& p : players_) {
            p.cli->Send("quit");
            EXPECT_EQ(p.cli->Wait(), 0);
        }
        server_->Send("quit");
        EXPECT_EQ(server_->Wait(), 0);
        fs::remove_all(dir_);
    }
    Player& Join(const std::string& name, const std::string& expectedAddr) {
        const std::string registry = (dir_ / (name + ".ini")).string();
        Child tool(Tool("gamedef-tool"), {"--registry", registry, "--gics", "tcp:127.0.0.1:" + std::to_string(port_),
                                          "--name", name});
        EXPECT_EQ(tool.Wait(), 0);
        setenv("PLATFORM_REGISTRY", registry.c_str(), 1);
        players_.push_back(Player{std::make_unique<Child>(Tool("lobbex-cli"), std::vector<std::string>{})});
        Player& p = players_.back();
        EXPECT_EQ(p.Do("loadgamedef"), "loadgamedef 0 game 0");
        EXPECT_EQ(p.Do("join " + name), "join 0 addr " + expectedAddr);
        EXPECT_EQ(p.Do("notify on"), "notify 0");
        EXPECT_EQ(p.Do("create-gulp"), "create-gulp 0") << "the second create answers 0 as well";
        EXPECT_EQ(p.Do("open-gulp"), "open-gulp 0");
        return p;
    }

    fs::path dir_;
    std::unique_ptr<Child> server_;
    uint16_t port_ = 0;
    std::vector<Player> players_;
};

// In a script the server runs with its input ended or never open: it serves on until SIGINT or
// SIGTERM, which end it with code 0.
TEST_F(gics_processes, ServerRunsOnWithoutInputAndStopsOnSignal) {
    struct Case {
        const char* what;
        kpt::Input input;
        bool closeInput;
        int signal;
    } const cases[] = {
        {"input closed, SIGTERM", kpt::Input::kClosed, false, SIGTERM},
        {"input /dev/null, SIGINT", kpt::Input::kDevNull, false, SIGINT},
        {"input pipe ended, SIGTERM", kpt::Input::kPipe, true, SIGTERM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server_->Send("quit");
        EXPECT_EQ(server_->Wait(), 0);
        server_ = std::make_unique<Child>(Tool("gics-testserver"), std::vector<std::string>{}, c.input);
        port_ = server_->Port("port ");
        ASSERT_NE(port_, 0);
        if (c.closeInput) server_->CloseInput();
        players_.reserve(1);
        Join("alpha", "1");  // the server outlived the end of its input
        players_.back().cli->Send("quit");
        EXPECT_EQ(players_.back().cli->Wait(), 0);
        players_.clear();
        server_->Signal(c.signal);
        EXPECT_EQ(server_->Wait(), 0);
    }
    // A server for the fixture to stop.
    server_ = std::make_unique<Child>(Tool("gics-testserver"), std::vector<std::string>{});
    port_ = server_->Port("port ");
}

TEST_F(gics_processes, TwoPlayersJoinExchangeAndLeave) {
    players_.reserve(2);
    Player& a = Join("alpha", "1");
    Player& b = Join("bravo", "2");
    EXPECT_EQ(a.cli->Line("join 2"), "join 2 bravo");
    EXPECT_EQ(a.Do("players"), "players 0 1 2");
    EXPECT_EQ(b.Do("name 1"), "name 0 alpha");
    EXPECT_EQ(a.Do("write 6869"), "write 0");
    EXPECT_EQ(b.ReadMessage(), "read 0 1 6869");
    EXPECT_EQ(b.Do("leave"), "leave 0");
    EXPECT_EQ(a.cli->Line("leave 2"), "leave 2 bravo");
}

TEST_F(gics_processes, ThreePlayersToAllAndToChosenMembers) {
    players_.reserve(3);
    Player& a = Join("alpha", "1");
    Player& b = Join("bravo", "2");
    Player& c = Join("charlie", "3");
    EXPECT_EQ(a.cli->Line("join 3"), "join 3 charlie");
    EXPECT_EQ(b.cli->Line("join 3"), "join 3 charlie");

    EXPECT_EQ(a.Do("write 01"), "write 0");
    EXPECT_EQ(a.Do("write 02"), "write 0");
    for (Player* p : {&b, &c}) {
        EXPECT_EQ(p->ReadMessage(), "read 0 1 01");
        EXPECT_EQ(p->ReadMessage(), "read 0 1 02");
    }
    // To player 3 only: player 1 is not listed and hears nothing of it.
    EXPECT_EQ(b.Do("write --to 3 5e"), "write 0");
    EXPECT_EQ(c.ReadMessage(), "read 0 2 5e");
    EXPECT_EQ(c.Do("write --to 1,2 ff"), "write 0");
    EXPECT_EQ(a.ReadMessage(), "read 0 3 ff") << "the first message player 1 gets after its own";
    EXPECT_EQ(b.ReadMessage(), "read 0 3 ff");
    EXPECT_EQ(a.Do("read"), "read -101");
    EXPECT_EQ(a.Do("meter"), "meter in 1 out 2");
    EXPECT_EQ(c.Do("leave"), "leave 0");
    EXPECT_EQ(a.cli->Line("leave 3"), "leave 3 charlie");
    EXPECT_EQ(b.cli->Line("leave 3"), "leave 3 charlie");
}

}  // namespace
