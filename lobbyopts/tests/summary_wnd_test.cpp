// The summary panel: black erase, then the grey word-wrapped summary of the working copy and
// the last error, repainted after the lobby reports changed settings; values outside the tables
// show as "?".
#include <climits>

#include "plugin_fixture.h"

namespace lobbytest {
namespace {

using SummaryPanel = PluginTest;

std::string Expected(const char* type, const char* level, const char* frag, const char* time, const char* traps,
                     int lastError = 0) {
    return std::string("Game Settings: \n\nGame Type: ") + type + "\nLevel: " + level + "\nFrag Limit: " + frag +
           "\nTime Limit: " + time + "\nTraps: " + traps + "\nLast Error: " + std::to_string(lastError) + "\n";
}

TEST_F(SummaryPanel, ErasesBlackThenDrawsGreyWrappedText) {
    OfferSettings record{};
    int32_t size = 0;
    ASSERT_EQ(open(lobby.GetSafeHwnd(), 0, &record, &size), 0);
    CWnd* panel = Summary();
    ASSERT_NE(panel, nullptr);
    panel->UpdateWindow();
    std::vector<AfxDrawOp> ops = AfxSimCanvas(panel->GetSafeHwnd());
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].kind, AfxDrawOp::Fill);
    EXPECT_EQ(ops[0].colour, 0x000000u);
    EXPECT_EQ(ops[0].rect.right, kLobbyWidth);
    EXPECT_EQ(ops[0].rect.bottom, kLobbyHeight);
    EXPECT_EQ(ops[1].kind, AfxDrawOp::Text);
    EXPECT_EQ(ops[1].colour, 0x808080u);
    EXPECT_EQ(ops[1].bkMode, TRANSPARENT);
    EXPECT_EQ(ops[1].format & DT_WORDBREAK, UINT(DT_WORDBREAK));
    EXPECT_EQ(ops[1].rect.right, kLobbyWidth);
    EXPECT_EQ(ops[1].text, Expected("HUMANS VERSUS HUMANS 2-8 PLAYERS", "Mall Level", "10 Kills", "10 Minutes", "ON"));
}

TEST_F(SummaryPanel, LinesForEachSetting) {
    struct Case {
        const char* name;
        OfferSettings settings;
        std::string text;
    };
    const Case cases[] = {
        {"no limits, traps off", {5, 1, 3, 4, 0, 0, 0},
         Expected("HUMANS VERSUS HUMANS 2-8 PLAYERS", "Mall Level", "NONE", "NONE", "OFF")},
        {"zombies at the last level", {6, 2, 11, 14, 100, 60, 1},
         Expected("HUMANS VERSUS ZOMBIES 2 PLAYERS", "Security Base", "100 Kills", "60 Minutes", "ON")},
        {"first level, odd values", {5, 1, 0, 0, 7, -3, 2},
         Expected("HUMANS VERSUS HUMANS 2-8 PLAYERS", "Graveyard", "7 Kills", "-3 Minutes", "ON")},
        {"all zero, as at load", {0, 0, 0, 0, 0, 0, 0}, Expected("?", "Graveyard", "NONE", "NONE", "OFF")},
        {"just outside the tables", {4, 1, 12, 4, 10, 10, 1}, Expected("?", "?", "10 Kills", "10 Minutes", "ON")},
        {"type 7, level -1", {7, 1, -1, 4, 10, 10, 1}, Expected("?", "?", "10 Kills", "10 Minutes", "ON")},
        {"extreme words", {INT_MIN, INT_MAX, INT_MAX, INT_MIN, INT_MIN, INT_MAX, INT_MIN},
         Expected("?", "?", "-2147483648 Kills", "2147483647 Minutes", "ON")},
    };
    OfferSettings record{};
    int32_t size = 0;
    ASSERT_EQ(open(lobby.GetSafeHwnd(), 0, &record, &size), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(changed(0, &c.settings), 0);
        EXPECT_EQ(SummaryText(), c.text);
    }
}

TEST_F(SummaryPanel, ChangedSettingsInvalidateWithEraseAndRepaintTheNewValues) {
    OfferSettings record{};
    int32_t size = 0;
    ASSERT_EQ(open(lobby.GetSafeHwnd(), 0, &record, &size), 0);
    HWND panel = Summary()->GetSafeHwnd();
    SummaryText(); // the first paint
    bool erase = false;
    ASSERT_FALSE(AfxSimNeedsPaint(panel, &erase));

    const OfferSettings docks{5, 4, 8, 10, 25, 15, 1};
    ASSERT_EQ(changed(0, &docks), 0);
    EXPECT_TRUE(AfxSimNeedsPaint(panel, &erase));
    EXPECT_TRUE(erase);
    AfxSimClearCanvas(panel);
    EXPECT_EQ(SummaryText(), Expected("HUMANS VERSUS HUMANS 2-8 PLAYERS", "Docks", "25 Kills", "15 Minutes", "ON"));
    EXPECT_EQ(AfxSimCanvas(panel).front().kind, AfxDrawOp::Fill) << "erased before the text";

    // The window system may ask for a repaint at any time; it shows the same.
    AfxSimRepaint(panel);
    EXPECT_EQ(SummaryText(), Expected("HUMANS VERSUS HUMANS 2-8 PLAYERS", "Docks", "25 Kills", "15 Minutes", "ON"));
}

TEST_F(SummaryPanel, ShowsTheLastErrorOfTheDialog) {
    OfferSettings record{};
    int32_t size = 0;
    ASSERT_EQ(open(lobby.GetSafeHwnd(), 0, &record, &size), 0);
    EXPECT_EQ(Modify(record, [](CDialog& d) { AfxSimClick(&d, IDCANCEL); }), 1);
    AfxSimRepaint(Summary()->GetSafeHwnd());
    EXPECT_EQ(SummaryText(), Expected("HUMANS VERSUS HUMANS 2-8 PLAYERS", "Mall Level", "10 Kills", "10 Minutes", "ON", -3));
}

} // namespace
} // namespace lobbytest
