// Match overlay tests: the running scoreboard lists present players right-aligned with ties in
// reverse slot order, the final scoreboard names the limit that ended the match and prompts the
// host, the type-6 result pairs, the match-over text, and nothing once the level is decided.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "net/net_seam.h"
#include "common/match.h"
#include "common/mem.h"
#include "common/calltrace.h"
#include "ui/fnt.h"
#include "ui/gui.h"
#include "world/game_state.h"
#include "ui/hud.h"
#include "ui/txt.h"

namespace {

using Calls = std::vector<std::string>;

int g_host;
int IsHost() { return g_host; }
const NetTestTransport kTransport = {nullptr, nullptr, nullptr, nullptr, nullptr, IsHost, nullptr, nullptr};

struct Overlays : ::testing::Test {
    void SetUp() override {
        MEM_ResetTracker();
        TXT_FreeTexts();
        const char text[] =
            "[>menus]\nmm_w0=Won one\nmm_w1=Won two\nmm_w2=Lost one\nmm_w3=Lost two\nmm_w4=Frag limit\n"
            "mm_w5=Time limit\nmm_w6=Go on\nmt_df=Over six\nmt_d0=Over\n[<menus]\n";
        TXT_ParseBuffer(text, sizeof text - 1);
        FNT_FreeFonts();
        FNT_LoadFonts();  // widths only: no pictures here
        TRC_ResetAll();
        TRC_TraceEnable(true);
        NET_InstallTestTransport(&kTransport);
        g_host = 0;
        for (int i = 0; i < GUI_MAX_SLOTS; ++i) {
            g_Match.slotNetIds[i] = -1;
            g_Match.slotFrags[i] = 0;
            g_Match.slotNames[i][0] = 0;
        }
        g_Match.settings = MpGameSettings{};
        g_Match.matchEnded = g_Match.gameOver = g_Match.gameResult = 0;
        g_Match.fragLimitReached = g_Match.timeLimitReached = 0;
        g_Match.levelWon = g_Match.levelFailed = 0;
    }
    void TearDown() override {
        NET_InstallTestTransport(nullptr);
        TRC_ResetAll();
        TXT_FreeTexts();
        for (int32_t& id : g_Match.slotNetIds)
            id = -1;
        g_Match.settings = MpGameSettings{};
        g_Match.matchEnded = g_Match.gameOver = g_Match.gameResult = 0;
        g_Match.fragLimitReached = 0;
    }
    static void Player(int slot, const char* name, int frags) {
        g_Match.slotNetIds[slot] = 100 + slot;
        std::strcpy(g_Match.slotNames[slot], name);
        g_Match.slotFrags[slot] = frags;
    }
    static Calls Texts() {
        Calls out;
        for (const std::string& e : TRC_TraceLog())
            if (e.rfind("FNT_DrawText", 0) == 0)
                out.push_back(e);
        return out;
    }
    static std::string At(const std::string& text, int x, int y, int alignment) {
        return "FNT_DrawText(" + text + "," + std::to_string(x) + "," + std::to_string(y) + "," +
               std::to_string(alignment) + ",3)";
    }
    static std::string Right(const std::string& text, int right, int y) {
        return At(text, right - FNT_TextWidth(text.c_str(), 3), y, 0);
    }
};

TEST_F(Overlays, RunningScoreboardListsPresentPlayersByFragsWithTiesReversed) {
    g_Match.settings.gameType = 5;
    Player(0, "Ann", 3);
    Player(2, "Bob", 3);
    Player(5, "Cy", 7);
    HUD_DrawScoreboard();
    EXPECT_EQ(Texts(), (Calls{Right("Cy = 7", 640, 170), Right("Bob = 3", 640, 186), Right("Ann = 3", 640, 202)}));

    TRC_TraceClear();
    g_Match.gameOver = 1;  // the match was ended by the game messages: the list goes
    HUD_DrawScoreboard();
    EXPECT_TRUE(Texts().empty());
}

TEST_F(Overlays, FinalScoreboardNamesTheLimitAndPromptsTheHost) {
    g_Match.settings.gameType = 5;
    g_Match.matchEnded = 1;
    Player(1, "Ann", 2);
    Player(4, "Bob", 9);
    struct Case { int frag, time, host, frames; Calls extra; } cases[] = {
        {1, 0, 1, 31, {At("Frag limit", 320, 180, 1)}},
        {0, 1, 0, 31, {At("Time limit", 320, 180, 1)}},
        {0, 0, 1, 30, {}},
    };
    for (const Case& c : cases) {
        g_Match.fragLimitReached = c.frag;
        g_Match.timeLimitReached = c.time;
        g_host = c.host;
        g_LevelFrameCount = c.frames;
        TRC_TraceClear();
        HUD_DrawScoreboard();
        Calls expected = c.extra;
        for (const std::string& s : {At("Bob", 100, 220, 0), Right("9", 540, 220), At("Ann", 100, 240, 0),
                                     Right("2", 540, 240)})
            expected.push_back(s);
        if (c.host && c.frames >= 31)
            expected.push_back(At("Go on", 320, 260, 1));
        EXPECT_EQ(Texts(), expected) << c.frag << c.time << c.host << c.frames;
    }
    g_host = 1;
    g_LevelFrameCount = 31;
    g_Match.fragLimitReached = 0;
    g_Match.timeLimitReached = 0;
    TRC_TraceClear();
    HUD_DrawScoreboard();
    EXPECT_EQ(Texts().back(), At("Go on", 320, 260, 1));
}

TEST_F(Overlays, TypeSixResultPairsAndTheMatchOverText) {
    g_Match.settings.gameType = 6;
    g_Match.matchEnded = 1;
    struct Case { int result; const char* first; const char* second; } cases[] = {
        {1, "Won one", "Won two"}, {0, "Lost one", "Lost two"},
    };
    g_host = 1;
    g_LevelFrameCount = 40;
    for (const Case& c : cases) {
        g_Match.gameResult = c.result;
        TRC_TraceClear();
        HUD_DrawGameOver();
        EXPECT_EQ(Texts(), (Calls{At(c.first, 320, 200, 1), At(c.second, 320, 230, 1), At("Go on", 320, 280, 1)}));
    }
    g_Match.matchEnded = 0;
    g_Match.gameOver = 1;
    g_LevelFrameCount = 30;
    TRC_TraceClear();
    HUD_DrawGameOver();
    HUD_DrawMatchOver();
    EXPECT_EQ(Texts(), Calls{At("Over six", 320, 180, 1)});
    g_Match.settings.gameType = 5;
    g_LevelFrameCount = 31;
    TRC_TraceClear();
    HUD_DrawMatchOver();
    EXPECT_EQ(Texts(), (Calls{At("Over", 320, 180, 1), At("Go on", 320, 280, 1)}));
}

TEST_F(Overlays, NothingOnceTheLevelIsDecided) {
    Player(0, "Ann", 1);
    g_host = 1;
    for (int type : {5, 6}) {
        g_Match.settings.gameType = type;
        for (int ended : {0, 1}) {
            g_Match.matchEnded = ended;
            g_Match.gameOver = !ended;
            g_Match.levelWon = 1;
            TRC_TraceClear();
            HUD_DrawScoreboard();
            HUD_DrawGameOver();
            HUD_DrawMatchOver();
            EXPECT_TRUE(Texts().empty()) << type << ended;
        }
    }
    g_Match.levelWon = 0;
}

}  // namespace
