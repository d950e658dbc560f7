// The launch line that lobbysim prints, read back by the game's command-line scan: the game's
// network settings come out as the lobby chose them.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "lobby_session.h"
#include "mfc_sim.h"
#include "app/app.h"

namespace {

struct Case {
    const char* name;
    const char* changed; // the lobby's record, or null for the defaults of a new offer
    const char* modify;  // dialog events, or null
    MpGameSettings expected;
};

std::string LaunchLine(const Case& c) {
    AfxSimReset();
    lobbysim::LobbySession session;
    std::string error;
    EXPECT_TRUE(session.Load(LOBBYOPTS_LIBRARY, &error)) << error;
    std::ostringstream out;
    EXPECT_TRUE(session.Run("open", out, &error)) << error;
    if (c.changed) {
        EXPECT_TRUE(session.Run(std::string("changed ") + c.changed, out, &error)) << error;
    }
    if (c.modify) {
        EXPECT_TRUE(session.Run(std::string("modify ") + c.modify, out, &error)) << error;
    }
    EXPECT_TRUE(session.Run("prelaunch ghoulden", out, &error)) << error;
    std::string text = out.str();
    std::size_t at = text.rfind("launch: ");
    if (at == std::string::npos)
        return {};
    std::string line = text.substr(at + 8);
    return line.substr(0, line.find('\n'));
}

TEST(LaunchRoundTrip, GameReadsWhatTheLobbyChose) {
    const Case cases[] = {
        // gameType, playerCount, modeA, modeB, level, extra, settingsSet, fragLimit, timeLimit, traps
        {"defaults of a new offer", nullptr, nullptr, {5, 7, 0, 0, 4, 0, 1, 10, 10, 1}},
        {"zombies at the docks, no limits, no traps", "6 2 8 10 0 0 0", nullptr, {6, 1, 3, 0, 10, 0, 1, 0, 0, 0}},
        {"list index 7 is level 9", "5 4 7 9 25 30 1", nullptr, {5, 7, 0, 0, 9, 0, 1, 25, 30, 1}},
        {"chosen in the dialog", nullptr, "select 1012 11, select 1011 1, click 1024, click 1025, click 1018, ok",
         {6, 1, 3, 0, 14, 0, 1, 5, 15, 0}},
        {"first level", nullptr, "select 1012 0, ok", {5, 7, 0, 0, 0, 0, 1, 10, 10, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string line = LaunchLine(c);
        ASSERT_EQ(line.rfind("ghoulden /torvane ", 0), 0u) << line;
        g_Match.settings = MpGameSettings{};
        APP_ParseCommandLine(line.c_str());
        EXPECT_EQ(g_LaunchedFromLobby, 1u);
        const MpGameSettings& s = g_Match.settings;
        const MpGameSettings& e = c.expected;
        EXPECT_EQ(s.gameType, e.gameType);
        EXPECT_EQ(s.playerCount, e.playerCount);
        EXPECT_EQ(s.modeA, e.modeA);
        EXPECT_EQ(s.modeB, e.modeB);
        EXPECT_EQ(s.level, e.level);
        EXPECT_EQ(s.extra, e.extra);
        EXPECT_EQ(s.settingsSet, e.settingsSet);
        EXPECT_EQ(s.fragLimit, e.fragLimit);
        EXPECT_EQ(s.timeLimit, e.timeLimit);
        EXPECT_EQ(s.traps, e.traps);
    }
    AfxSimReset();
}

} // namespace
