// lobbysim against the real plug-in: the commands a lobby gives, what it prints for each
// (record, summary lines, launch line), refused commands, and the program itself.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "lobby_session.h"
#include "mfc_sim.h"

namespace {

class LobbySim : public ::testing::Test {
protected:
    void SetUp() override {
        AfxSimReset();
        std::string error;
        session = std::make_unique<lobbysim::LobbySession>();
        ASSERT_TRUE(session->Load(LOBBYOPTS_LIBRARY, &error)) << error;
    }
    void TearDown() override {
        session.reset();
        AfxSimReset();
    }
    // Runs the commands and answers everything printed.
    std::string Run(const std::vector<std::string>& commands) {
        std::ostringstream out;
        for (const std::string& c : commands) {
            std::string error;
            EXPECT_TRUE(session->Run(c, out, &error)) << c << ": " << error;
        }
        return out.str();
    }
    std::unique_ptr<lobbysim::LobbySession> session;
};

TEST_F(LobbySim, OpenThenPrelaunchGivesTheBaseAndTheDefaultSwitches) {
    EXPECT_EQ(Run({"open", "prelaunch ghoulden"}),
              "open: result 0, size 28\n"
              "record: type 5, players 1, level index 3, level 4, frag limit 10, time limit 10, traps 1\n"
              "launch: ghoulden /torvane /type 5 /players 1 /level 4 /fraglimit 10 /timelimit 10 /traps 1\n");
    EXPECT_EQ(Run({"prelaunch"}),
              "launch:  /torvane /type 5 /players 1 /level 4 /fraglimit 10 /timelimit 10 /traps 1\n");
}

TEST_F(LobbySim, ScriptedDialogCancelAndSummary) {
    Run({"open"});
    EXPECT_EQ(Run({"modify select 1012 8, click 1024, click 1018, show, type 1013 99, cancel, click 1023"}),
              "dialog: type 0 \"HUMANS VERSUS HUMANS 2-8 PLAYERS\", level 8 \"Docks\", frag limit \"5\", "
              "time limit \"10\", traps off\n"
              "dialog: ignored \"type 1013 99\"\n"
              "modify: result 1\n"
              "record: type 5, players 1, level index 8, level 10, frag limit 5, time limit 10, traps 0\n");
    EXPECT_EQ(Run({"summary"}), "summary: Game Settings: \n"
                                "summary: \n"
                                "summary: Game Type: HUMANS VERSUS HUMANS 2-8 PLAYERS\n"
                                "summary: Level: Docks\n"
                                "summary: Frag Limit: 5 Kills\n"
                                "summary: Time Limit: 10 Minutes\n"
                                "summary: Traps: OFF\n"
                                "summary: Last Error: -3\n");
    EXPECT_EQ(Run({"prelaunch g"}), "launch: g /torvane /type 5 /players 1 /level 10 /fraglimit 5 /timelimit 10 /traps 0\n");
}

TEST_F(LobbySim, ChangedSettingsShowNoneAndOff) {
    std::string out = Run({"open", "changed 6 2 0 0 0 0 0", "summary", "modify ok", "negotiate", "close", "summary"});
    for (const char* line : {"changed: result 0\n", "summary: Game Type: HUMANS VERSUS ZOMBIES 2 PLAYERS\n",
                             "summary: Level: Graveyard\n", "summary: Frag Limit: NONE\n",
                             "summary: Time Limit: NONE\n", "summary: Traps: OFF\n", "summary: Last Error: 0\n",
                             "modify: result 0\n",
                             "record: type 6, players 2, level index 0, level 0, frag limit 0, time limit 0, traps 0\n",
                             "negotiation required: 0, shutdown negotiation: 0\n", "close: result 0\n",
                             "summary: no panel\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line << "in:\n" << out;
}

TEST_F(LobbySim, CommandsItDoesNotUnderstandCallNothing) {
    Run({"open"});
    const char* bad[] = {"",
                         "opne",
                         "open now",
                         "changed 1 2 3",
                         "changed 1 2 3 4 5 6 x",
                         "changed 1 2 3 4 5 6 99999999999",
                         "modify select 1012",
                         "modify click",
                         "modify ok, , cancel",
                         "modify jump 3",
                         "modify type 1013"};
    for (const char* c : bad) {
        SCOPED_TRACE(c);
        std::ostringstream out;
        std::string error;
        EXPECT_FALSE(session->Run(c, out, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(out.str(), "");
    }
    EXPECT_EQ(session->Record().fragLimit, 10);
}

TEST_F(LobbySim, LoadingSomethingElseFails) {
    lobbysim::LobbySession other;
    std::string error;
    EXPECT_FALSE(other.Load("/nonexistent/liblobbyopts.so", &error));
    EXPECT_NE(error.find("cannot load"), std::string::npos);
    std::ostringstream out;
    EXPECT_FALSE(other.Run("open", out, &error));
    // A library without the exports.
    EXPECT_FALSE(other.Load("libm.so.6", &error));
    EXPECT_NE(error.find("no export KrOpenOffer"), std::string::npos);
}

// The program itself: arguments in, lines out, and its exit status.
std::string RunProgram(const std::string& args, int* status) {
    std::string command = std::string(LOBBYSIM_PROGRAM) + " " + args + " 2>&1";
    FILE* p = popen(command.c_str(), "r");
    std::string out;
    if (!p)
        return out;
    char buf[512];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
        out.append(buf, n);
    int raw = pclose(p);
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

TEST(LobbySimProgram, RunsTheCommandsItIsGiven) {
    int status = -1;
    std::string out = RunProgram("open 'prelaunch ghoulden.exe -window'", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("launch: ghoulden.exe -window /torvane /type 5 /players 1 /level 4 /fraglimit 10 "
                       "/timelimit 10 /traps 1\n"),
              std::string::npos)
        << out;

    out = RunProgram("open bogus", &status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(out.find("unknown command"), std::string::npos) << out;

    out = RunProgram("--plugin /nonexistent.so open", &status);
    EXPECT_EQ(status, 1);

    out = RunProgram("", &status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(out.find("usage"), std::string::npos);
}

} // namespace
