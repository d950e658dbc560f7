// The settings dialog through KrModifyOffer: what it shows at start, how selections, the traps
// box and the limit steppers write the working copy, how it ends, and the last error it leaves.
#include <climits>
#include <string>

#include "plugin_fixture.h"

namespace lobbytest {
namespace {

constexpr int kTypeList = 1011, kLevelList = 1012, kFragBox = 1013, kTimeBox = 1017, kTraps = 1018;
constexpr int kFragUp = 1023, kFragDown = 1024, kTimeUp = 1025, kTimeDown = 1026;

const char* const kLevelNames[] = {"Graveyard", "Town",   "Farmland", "Mall Level", "Airport",    "Sports complex",
                                   "Hotel",     "Hydro-electric plant", "Docks", "Hospital", "Laboratory",
                                   "Security Base"};
constexpr int kLevelNumbers[] = {0, 1, 2, 4, 5, 6, 7, 9, 10, 12, 13, 14};

// What the dialog shows.
struct DialogView {
    std::vector<std::string> types, levels;
    int typeSel = -2, levelSel = -2;
    int traps = -1;
    std::string frag, time;
};

std::vector<std::string> Items(CComboBox* list) {
    std::vector<std::string> items;
    for (int i = 0; list && i < list->GetCount(); ++i) {
        char text[64];
        list->GetLBText(i, text, sizeof text);
        items.emplace_back(text);
    }
    return items;
}

DialogView View(CDialog& d) {
    DialogView v;
    auto* type = dynamic_cast<CComboBox*>(d.GetDlgItem(kTypeList));
    auto* level = dynamic_cast<CComboBox*>(d.GetDlgItem(kLevelList));
    auto* traps = dynamic_cast<CButton*>(d.GetDlgItem(kTraps));
    v.types = Items(type);
    v.levels = Items(level);
    v.typeSel = type ? type->GetCurSel() : -2;
    v.levelSel = level ? level->GetCurSel() : -2;
    v.traps = traps ? traps->GetCheck() : -1;
    v.frag = AfxSimText(d.GetDlgItem(kFragBox)->GetSafeHwnd());
    v.time = AfxSimText(d.GetDlgItem(kTimeBox)->GetSafeHwnd());
    return v;
}

using OptionsDialog = PluginTest;

TEST_F(OptionsDialog, ShowsTheDefaultsOfANewOffer) {
    OfferSettings record{};
    int32_t size = 0;
    ASSERT_EQ(open(lobby.GetSafeHwnd(), 0, &record, &size), 0);
    DialogView v;
    bool shown = false;
    int32_t result = Modify(record, [&](CDialog& d) {
        shown = true;
        EXPECT_EQ(AfxSimText(d.GetSafeHwnd()), "Ghoulden Game Options");
        RECT client;
        d.GetClientRect(&client);
        EXPECT_EQ(client.right, 422);
        EXPECT_EQ(client.bottom, 276);
        v = View(d);
        // The picture: any 620 x 360 picture at 24 bits.
        const AfxBitmapResource* picture = nullptr;
        for (HWND child : AfxSimChildren(d.GetSafeHwnd()))
            if (AfxSimImage(child))
                picture = AfxSimImage(child);
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->width, 620);
        EXPECT_EQ(picture->height, 360);
        EXPECT_EQ(picture->bitsPerPixel, 24);
        EXPECT_EQ(AfxSimText(d.GetDlgItem(kTraps)->GetSafeHwnd()), "Traps ON");
        EXPECT_EQ(d.GetDlgItem(kFragBox)->GetStyle() & ES_READONLY, ES_READONLY);
        AfxSimClick(&d, IDOK);
    });
    ASSERT_TRUE(shown);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(v.types, (std::vector<std::string>{"HUMANS VERSUS HUMANS 2-8 PLAYERS", "HUMANS VERSUS ZOMBIES 2 PLAYERS"}));
    EXPECT_EQ(v.levels, std::vector<std::string>(std::begin(kLevelNames), std::end(kLevelNames)));
    EXPECT_EQ(v.typeSel, 0);
    EXPECT_EQ(v.levelSel, 3);
    EXPECT_EQ(v.traps, BST_CHECKED);
    EXPECT_EQ(v.frag, "10");
    EXPECT_EQ(v.time, "10");
    EXPECT_EQ(Show(record), Show(kDefaults));
    EXPECT_EQ(LastErrorLine(), "Last Error: 0");
}

TEST_F(OptionsDialog, StartsFromWhateverTheWorkingCopyHolds) {
    struct Case {
        const char* name;
        OfferSettings settings;
        int typeSel, levelSel, traps;
        const char *frag, *time;
    };
    const Case cases[] = {
        {"zombies, last level", {6, 2, 11, 14, 35, 45, 0}, 1, 11, BST_UNCHECKED, "35", "45"},
        {"no limits", {5, 1, 0, 0, 0, 0, 1}, 0, 0, BST_CHECKED, "Unlimted", "Unlimted"},
        {"type and level outside the tables", {7, 1, 12, 99, 7, -3, 1}, -1, -1, BST_CHECKED, "7", "-3"},
        {"type below the table", {4, 1, -1, 0, 1, 1, 1}, -1, -1, BST_CHECKED, "1", "1"},
        {"extreme words", {INT_MIN, 1, INT_MIN, 0, INT_MIN, INT_MAX, INT_MIN}, -1, -1, BST_CHECKED, "-2147483648",
         "2147483647"},
    };
    OfferSettings record{};
    int32_t size = 0;
    ASSERT_EQ(open(lobby.GetSafeHwnd(), 0, &record, &size), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(changed(0, &c.settings), 0);
        DialogView v;
        OfferSettings out{};
        EXPECT_EQ(Modify(out,
                         [&](CDialog& d) {
                             v = View(d);
                             AfxSimClick(&d, IDOK);
                         }),
                  0);
        EXPECT_EQ(v.typeSel, c.typeSel);
        EXPECT_EQ(v.levelSel, c.levelSel);
        EXPECT_EQ(v.traps, c.traps);
        EXPECT_EQ(v.frag, c.frag);
        EXPECT_EQ(v.time, c.time);
        EXPECT_EQ(Show(out), Show(c.settings)) << "showing a value changes nothing";
    }
}

TEST_F(OptionsDialog, FreshLibraryStartsFromAnAllZeroCopy) {
    OfferSettings record{1, 2, 3, 4, 5, 6, 7};
    DialogView v;
    EXPECT_EQ(Modify(record, [&](CDialog& d) { v = View(d); }), 1);
    EXPECT_EQ(v.typeSel, -1);
    EXPECT_EQ(v.levelSel, 0);
    EXPECT_EQ(v.frag, "Unlimted");
    EXPECT_EQ(Show(record), "0 0 0 0 0 0 0");
}

TEST_F(OptionsDialog, SelectionsWriteTheCopyAndCancelKeepsThem) {
    OpenWith({5, 6, 3, 4, 10, 10, 1}); // six players: no control touches them
    OfferSettings record{};
    int32_t result = Modify(record, [](CDialog& d) {
        EXPECT_TRUE(AfxSimSelect(&d, kLevelList, 8)); // Docks
        EXPECT_TRUE(AfxSimSelect(&d, kTypeList, 1));
        EXPECT_TRUE(AfxSimClick(&d, kTraps));
        EXPECT_TRUE(AfxSimClick(&d, kFragUp));
        EXPECT_TRUE(AfxSimClick(&d, kTimeDown));
        EXPECT_TRUE(AfxSimClick(&d, IDCANCEL));
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Show(record), "6 6 8 10 15 5 0");
    EXPECT_EQ(LastErrorLine(), "Last Error: -3");

    // Each level row sets list index and level number together.
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(kLevelNames[i]);
        EXPECT_EQ(Modify(record, [i](CDialog& d) { AfxSimSelect(&d, kLevelList, i), AfxSimClick(&d, IDOK); }), 0);
        EXPECT_EQ(record.levelIndex, i);
        EXPECT_EQ(record.levelNumber, kLevelNumbers[i]);
    }
}

TEST_F(OptionsDialog, LimitSteppers) {
    struct Case {
        const char* name;
        int32_t frag, time;
        std::vector<int> clicks;
        int32_t fragAfter, timeAfter;
        const char *fragBox, *timeBox;
    };
    const Case cases[] = {
        {"5 down to no limit", 5, 10, {kFragDown}, 0, 10, "Unlimted", "10"},
        {"down again stays 0", 5, 5, {kFragDown, kFragDown, kTimeDown, kTimeDown}, 0, 0, "Unlimted", "Unlimted"},
        {"0 up is 5", 0, 0, {kFragUp, kTimeUp}, 5, 5, "5", "5"},
        {"caps stay", 100, 60, {kFragUp, kTimeUp}, 100, 60, "100", "60"},
        {"up to the caps", 98, 58, {kFragUp, kTimeUp}, 100, 60, "100", "60"},
        {"odd values step by 5", 7, 7, {kFragDown, kTimeUp}, 2, 12, "2", "12"},
        {"above the cap, up cuts", 150, 75, {kFragUp, kTimeUp}, 100, 60, "100", "60"},
        {"above the cap, down steps", 150, 75, {kFragDown, kTimeDown}, 145, 70, "145", "70"},
        {"negative, up", -3, -20, {kFragUp, kTimeUp}, 2, -15, "2", "-15"},
        {"negative, down", -3, -20, {kFragDown, kTimeDown}, 0, 0, "Unlimted", "Unlimted"},
        {"top of the range", INT_MAX, INT_MAX, {kFragUp, kTimeDown}, 100, INT_MAX - 5, "100", "2147483642"},
        {"bottom of the range", INT_MIN, INT_MIN, {kFragDown, kTimeUp}, 0, INT_MIN + 5, "Unlimted", "-2147483643"},
        {"up then down", 10, 10, {kFragUp, kFragUp, kFragDown, kTimeDown, kTimeDown, kTimeUp}, 15, 5, "15", "5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenWith({5, 1, 3, 4, c.frag, c.time, 1});
        OfferSettings record{};
        std::string fragBox, timeBox;
        EXPECT_EQ(Modify(record,
                         [&](CDialog& d) {
                             for (int id : c.clicks)
                                 EXPECT_TRUE(AfxSimClick(&d, id));
                             fragBox = AfxSimText(d.GetDlgItem(kFragBox)->GetSafeHwnd());
                             timeBox = AfxSimText(d.GetDlgItem(kTimeBox)->GetSafeHwnd());
                             AfxSimClick(&d, IDOK);
                         }),
                  0);
        EXPECT_EQ(record.fragLimit, c.fragAfter);
        EXPECT_EQ(record.timeLimit, c.timeAfter);
        EXPECT_EQ(fragBox, c.fragBox);
        EXPECT_EQ(timeBox, c.timeBox);
    }
}

TEST_F(OptionsDialog, TrapsBoxTogglesByReadingItsMark) {
    struct Case {
        int32_t start;
        int clicks;
        int32_t after;
        int mark;
    };
    const Case cases[] = {{1, 1, 0, BST_UNCHECKED}, {1, 2, 1, BST_CHECKED}, {0, 1, 1, BST_CHECKED},
                          {0, 0, 0, BST_UNCHECKED}, {5, 1, 0, BST_UNCHECKED}, {-1, 3, 0, BST_UNCHECKED}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + " x" + std::to_string(c.clicks));
        OpenWith({5, 1, 3, 4, 10, 10, c.start});
        OfferSettings record{};
        int mark = -1;
        Modify(record, [&](CDialog& d) {
            for (int i = 0; i < c.clicks; ++i)
                AfxSimClick(&d, kTraps);
            mark = dynamic_cast<CButton*>(d.GetDlgItem(kTraps))->GetCheck();
            AfxSimClick(&d, IDOK);
        });
        EXPECT_EQ(record.traps, c.after);
        EXPECT_EQ(mark, c.mark);
    }
}

TEST_F(OptionsDialog, LimitBoxesTakeNoTyping) {
    OpenWith(kDefaults);
    OfferSettings record{};
    Modify(record, [](CDialog& d) {
        EXPECT_FALSE(AfxSimType(&d, kFragBox, "55"));
        EXPECT_FALSE(AfxSimType(&d, kTimeBox, "7"));
        EXPECT_EQ(AfxSimText(d.GetDlgItem(kFragBox)->GetSafeHwnd()), "10");
        AfxSimClick(&d, IDOK);
    });
    EXPECT_EQ(Show(record), Show(kDefaults));
}

TEST_F(OptionsDialog, HowTheDialogEndsAndTheLastError) {
    struct Case {
        const char* name;
        int failAllocations, failCreations;
        AfxModalDriver driver;
        int32_t result;
        const char* lastError;
    };
    const Case cases[] = {
        {"OK", 0, 0, [](CDialog& d) { AfxSimSelect(&d, kLevelList, 0), AfxSimClick(&d, IDOK); }, 0, "Last Error: 0"},
        {"Cancel", 0, 0, [](CDialog& d) { AfxSimSelect(&d, kLevelList, 0), AfxSimClick(&d, IDCANCEL); }, 1,
         "Last Error: -3"},
        {"close box", 0, 0, [](CDialog& d) { AfxSimSelect(&d, kLevelList, 0), AfxSimClose(&d); }, 1, "Last Error: -3"},
        {"left open", 0, 0, [](CDialog& d) { AfxSimSelect(&d, kLevelList, 0); }, 1, "Last Error: -3"},
        {"cannot be created", 0, 1, nullptr, 1, "Last Error: -3"},
        {"cannot be allocated", 1, 0, nullptr, 1, "Last Error: -2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Unload(); // a fresh library: last error 0
        Load();
        OpenWith({6, 3, 5, 6, 20, 30, 0});
        AfxSimFailNewAllocations(c.failAllocations);
        AfxSimFailDialogCreations(c.failCreations);
        OfferSettings record{1, 1, 1, 1, 1, 1, 1};
        EXPECT_EQ(Modify(record, c.driver), c.result);
        // The caller gets the working copy back in every case, with the change made before the end.
        bool dialogRan = c.failAllocations == 0 && c.failCreations == 0;
        EXPECT_EQ(Show(record), dialogRan ? "6 3 0 0 20 30 0" : "6 3 5 6 20 30 0");
        EXPECT_EQ(LastErrorLine(), c.lastError);
        EXPECT_EQ(AfxSimWindowCount(), 2u) << "lobby and panel; the dialog is gone";
    }
}

TEST_F(OptionsDialog, LastErrorOutlivesLaterSuccesses) {
    OpenWith(kDefaults);
    OfferSettings record{};
    EXPECT_EQ(Modify(record, [](CDialog& d) { AfxSimClick(&d, IDCANCEL); }), 1);
    EXPECT_EQ(Modify(record, [](CDialog& d) { AfxSimClick(&d, IDOK); }), 0);
    EXPECT_EQ(open(lobby.GetSafeHwnd(), 0, &record, nullptr), -1);
    int32_t size = 0;
    EXPECT_EQ(open(lobby.GetSafeHwnd(), 0, &record, &size), 0);
    EXPECT_EQ(LastErrorLine(), "Last Error: -3");
    AfxSimFailNewAllocations(1);
    EXPECT_EQ(Modify(record, nullptr), 1);
    EXPECT_EQ(Modify(record, [](CDialog& d) { AfxSimClick(&d, IDOK); }), 0);
    Summary()->Invalidate();
    EXPECT_EQ(LastErrorLine(), "Last Error: -2");
}

} // namespace
} // namespace lobbytest
