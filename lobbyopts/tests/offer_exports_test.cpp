// The plug-in's exports as the lobby calls them: start and end with the service client, the
// defaults of a new offer and its summary panel, null arguments, the launch line and the
// negotiation answers.
#include <climits>
#include <cstring>

#include "plugin_fixture.h"

namespace lobbytest {
namespace {

using OfferExports = PluginTest;

TEST_F(OfferExports, LoadingStartsAndUnloadingStopsTheServiceClient) {
    EXPECT_EQ(Counts().startup, 1);
    EXPECT_EQ(Counts().shutdown, 0);
    Unload();
    EXPECT_EQ(Counts().startup, 1);
    EXPECT_EQ(Counts().shutdown, 1);

    // A failed start is not noticed: the plug-in works the same.
    const int32_t fails[] = {-5};
    BwControlScriptStartup(fails, 1);
    Load();
    EXPECT_EQ(Counts().startup, 2);
    OfferSettings record{};
    int32_t size = 0;
    EXPECT_EQ(open(lobby.GetSafeHwnd(), 0, &record, &size), 0);
    EXPECT_TRUE(Same(record, kDefaults));
}

TEST_F(OfferExports, OpenWritesTheDefaultsOverAnyRecord) {
    const OfferSettings before[] = {
        {0, 0, 0, 0, 0, 0, 0},
        {6, 8, 7, 9, 0, 0, 0},
        {INT_MIN, INT_MAX, -1, 99, -5, 1000, 3},
    };
    for (const OfferSettings& b : before) {
        SCOPED_TRACE(Show(b));
        OfferSettings record = b;
        int32_t size = -1;
        EXPECT_EQ(open(lobby.GetSafeHwnd(), 0xFFFFFFFFu, &record, &size), 0);
        EXPECT_EQ(Show(record), Show(kDefaults));
        EXPECT_EQ(size, 28);
        // The working copy was reset too: the summary shows the defaults.
        EXPECT_NE(SummaryText().find("Level: Mall Level\n"), std::string::npos);
    }
}

TEST_F(OfferExports, OpenLaysThePanelOverTheLobbyAndCloseRemovesIt) {
    OfferSettings record{};
    int32_t size = 0;
    ASSERT_EQ(open(lobby.GetSafeHwnd(), 0, &record, &size), 0);
    CWnd* panel = Summary();
    ASSERT_NE(panel, nullptr);
    HWND h = panel->GetSafeHwnd();
    EXPECT_EQ(AfxSimText(h), "Generic Config Window");
    EXPECT_EQ(panel->GetStyle() & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
    EXPECT_TRUE(panel->IsWindowVisible());
    RECT r;
    ASSERT_TRUE(AfxSimWindowRect(h, &r));
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, kLobbyWidth);
    EXPECT_EQ(r.bottom, kLobbyHeight);

    // A second open replaces the panel rather than leaving the first one behind.
    ASSERT_EQ(open(lobby.GetSafeHwnd(), 0, &record, &size), 0);
    EXPECT_EQ(AfxSimChildren(lobby.GetSafeHwnd()).size(), 1u);

    EXPECT_EQ(close(), 0);
    EXPECT_EQ(Summary(), nullptr);
    EXPECT_EQ(AfxSimWindowCount(), 1u) << "only the lobby's own window is left";
    EXPECT_EQ(close(), 0) << "closing twice is harmless";
}

TEST_F(OfferExports, UnloadingWithThePanelOpenRemovesIt) {
    OfferSettings record{};
    int32_t size = 0;
    ASSERT_EQ(open(lobby.GetSafeHwnd(), 0, &record, &size), 0);
    ASSERT_NE(Summary(), nullptr);
    Unload();
    EXPECT_EQ(Summary(), nullptr);
    EXPECT_EQ(AfxSimWindowCount(), 1u);
}

TEST_F(OfferExports, OpenWithoutALobbyWindowShowsNoPanel) {
    CWnd gone;
    ASSERT_TRUE(gone.Create(nullptr, "gone", 0, RECT{0, 0, 10, 10}, nullptr, 0));
    HWND stale = gone.GetSafeHwnd();
    gone.DestroyWindow();
    for (HWND parent : {HWND(nullptr), stale}) {
        OfferSettings record{};
        int32_t size = 0;
        EXPECT_EQ(open(parent, 0, &record, &size), 0);
        EXPECT_TRUE(Same(record, kDefaults));
        EXPECT_EQ(size, 28);
        EXPECT_EQ(AfxSimWindowCount(), 1u);
        EXPECT_EQ(changed(0, &record), 0) << "a repaint request without a panel is harmless";
        EXPECT_EQ(close(), 0);
    }
}

TEST_F(OfferExports, NullPointersAreRefusedAndChangeNothing) {
    bool dialogShown = false;
    AfxSimSetModalDriver([&](CDialog&) { dialogShown = true; });
    OfferSettings record{9, 9, 9, 9, 9, 9, 9};
    int32_t size = 77;
    char out[300];
    std::memset(out, 'x', sizeof out);
    struct Case {
        const char* name;
        std::function<int32_t()> call;
    };
    const Case cases[] = {
        {"open, no record", [&] { return open(lobby.GetSafeHwnd(), 0, nullptr, &size); }},
        {"open, no size", [&] { return open(lobby.GetSafeHwnd(), 0, &record, nullptr); }},
        {"changed, no record", [&] { return changed(0, nullptr); }},
        {"modify, no record", [&] { return modify(0, nullptr); }},
        {"prelaunch, no record", [&] { return prelaunch(0, 0, "game", out, 0, nullptr); }},
        {"prelaunch, no output", [&] { return prelaunch(0, 0, "game", nullptr, 0, &record); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(), -1);
        EXPECT_EQ(Show(record), "9 9 9 9 9 9 9");
        EXPECT_EQ(size, 77);
        EXPECT_EQ(out[0], 'x');
        EXPECT_EQ(Summary(), nullptr);
        EXPECT_FALSE(dialogShown);
    }
    // Nothing reached the working copy either: a dialog now starts from the all-zero copy.
    OfferSettings after{};
    AfxSimSetModalDriver(nullptr);
    EXPECT_EQ(modify(0, &after), 1);
    EXPECT_EQ(Show(after), "0 0 0 0 0 0 0");
}

TEST_F(OfferExports, PrelaunchWritesTheBaseThenTheSwitches) {
    struct Case {
        const char* name;
        const char* base;
        OfferSettings settings;
        const char* expected;
    };
    const Case cases[] = {
        {"defaults", "ghoulden.exe", kDefaults,
         "ghoulden.exe /torvane /type 5 /players 1 /level 4 /fraglimit 10 /timelimit 10 /traps 1"},
        {"level number, not list index", "g", {6, 2, 7, 9, 15, 20, 0},
         "g /torvane /type 6 /players 2 /level 9 /fraglimit 15 /timelimit 20 /traps 0"},
        {"no limits", "g", {5, 8, 0, 0, 0, 0, 1}, "g /torvane /type 5 /players 8 /level 0 /fraglimit 0 /timelimit 0 /traps 1"},
        {"negative values", "", {-1, -2, -3, -4, -5, -6, -7},
         " /torvane /type -1 /players -2 /level -4 /fraglimit -5 /timelimit -6 /traps -7"},
        {"null base", nullptr, kDefaults, " /torvane /type 5 /players 1 /level 4 /fraglimit 10 /timelimit 10 /traps 1"},
        {"longest switches", "C:\\GAMES\\GHOULDEN\\GHOULDEN.EXE",
         {INT_MIN, INT_MIN, 0, INT_MIN, INT_MIN, INT_MIN, INT_MIN},
         "C:\\GAMES\\GHOULDEN\\GHOULDEN.EXE /torvane /type -2147483648 /players -2147483648 /level -2147483648 "
         "/fraglimit -2147483648 /timelimit -2147483648 /traps -2147483648"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Exactly the documented room, on the heap, so any write past it is caught.
        std::size_t baseLength = c.base ? std::strlen(c.base) : 0;
        std::vector<char> out(baseLength + kLaunchSwitchesRoom, '#');
        EXPECT_EQ(prelaunch(1, 2, c.base, out.data(), 3, &c.settings), 0);
        EXPECT_STREQ(out.data(), c.expected);
    }
    EXPECT_EQ(std::strlen(cases[5].expected) - std::strlen(cases[5].base), kLaunchSwitchesRoom - 1)
        << "the longest switches fill the room exactly";
}

TEST_F(OfferExports, PrelaunchAppendsInPlaceAndTakesTheRecord) {
    OfferSettings record{};
    int32_t size = 0;
    ASSERT_EQ(open(lobby.GetSafeHwnd(), 0, &record, &size), 0);
    const OfferSettings chosen{6, 2, 8, 10, 0, 30, 0};
    char line[200] = "ghoulden";
    ASSERT_EQ(prelaunch(0, 0, line, line, 0, &chosen), 0);
    EXPECT_STREQ(line, "ghoulden /torvane /type 6 /players 2 /level 10 /fraglimit 0 /timelimit 30 /traps 0");
    // The record became the working copy: the next paint of the panel shows it.
    Summary()->Invalidate();
    EXPECT_EQ(SummaryText(), "Game Settings: \n\nGame Type: HUMANS VERSUS ZOMBIES 2 PLAYERS\nLevel: Docks\n"
                             "Frag Limit: NONE\nTime Limit: 30 Minutes\nTraps: OFF\nLast Error: 0\n");
}

TEST_F(OfferExports, NegotiationIsNeverRequired) {
    EXPECT_EQ(negotiationRequired(), 0);
    for (uint32_t word : {0u, 1u, 0xFFFFFFFFu})
        EXPECT_EQ(shutdownNegotiation(word), 0);
}

} // namespace
} // namespace lobbytest
