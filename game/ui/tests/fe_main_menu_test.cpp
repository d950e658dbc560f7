// Main menu and front-end frame tests: presses delivered once, the buttons' texts and hover font
// as drawn, the exit button's modal quit dialog, "no" and "yes", and the campaign reset.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/inp.h"
#include "common/mem.h"
#include "common/calltrace.h"
#include "ui/fe.h"
#include "ui/fe_main_menu.h"
#include "ui/gui.h"
#include "ui/gui_toolkit.h"
#include "ui/txt.h"

namespace {

int g_clicks;
void CountClick() {
    ++g_clicks;
}

struct MainMenu : ::testing::Test {
    void SetUp() override {
        MEM_ResetTracker();
        TXT_FreeTexts();
        TRC_ResetAll();
        GUI_Reset();
        g_MouseState = MouseState{};
        g_QuitModal = 0;
        g_Match.inLevel = 0;
        ASSERT_EQ(FE_BuildMainMenu(), 1);
        ASSERT_EQ(FE_BuildQuitDialog(), 1);
        GUI_OpenWindow(g_MainMenuWindow);
        g_clicks = 0;
    }
    void TearDown() override {
        FE_DestroyQuitDialog();
        FE_DestroyMainMenu();
        TXT_FreeTexts();
        TRC_ResetAll();
        INP_SetMouseButton(0);
    }
    // One frame with the pointer at (x, y) and the given button reported.
    static void Frame(int x, int y, int button) {
        INP_SetMouseX(x);
        INP_SetMouseY(y);
        INP_SetMouseButton(button);
        FE_Frame();
    }
    static std::vector<std::string> Texts() {
        std::vector<std::string> out;
        for (const std::string& e : TRC_TraceLog())
            if (e.rfind("FNT_DrawText", 0) == 0)
                out.push_back(e);
        return out;
    }
};

TEST_F(MainMenu, RepeatedPressesActOnceThenAgainOnTheThirdFrame) {
    // A window of its own in front, so the press does not close anything.
    const int w = GUI_CreateWindow(GUI_SHAPE_RECT);
    GUI_SetWindowPos(w, 50, 50);
    GUI_SetWindowSize(w, 10, 10);
    GUI_OpenWindow(w);
    const int it = GUI_CreateItem(GUI_ITEM_RECT, 3, w);
    GUI_SetItemSize(it, 10, 10);
    GUI_SetItemEventCallback(it, GUI_EVENT_LEFT, CountClick);
    GUI_SetItemEventCallback(it, GUI_EVENT_RIGHT, CountClick);
    struct Case { std::vector<int> buttons; int want; } cases[] = {
        {{1}, 1}, {{1, 1}, 1}, {{1, 1, 1}, 2}, {{1, 0, 1}, 2}, {{2, 2}, 1}, {{1, 2}, 2}, {{0, 0}, 0},
    };
    for (const Case& c : cases) {
        g_clicks = 0;
        g_MouseState.lastPress = 0;
        for (int b : c.buttons)
            Frame(50, 50, b);
        EXPECT_EQ(g_clicks, c.want) << c.buttons.size();
    }
    // A press beside every item reaches nothing.
    g_clicks = 0;
    g_MouseState.lastPress = 0;
    Frame(5, 470, 1);
    EXPECT_EQ(g_clicks, 0);
}

TEST_F(MainMenu, ButtonsDrawTheirTextsAndHighlightUnderThePointer) {
    const std::string file = "[>menus]\nmm_sp=Campaign\nmm_mp=Network\nmm_op=Settings\n[<menus]\n";
    TXT_ParseBuffer(file.data(), uint32_t(file.size()));
    TRC_TraceEnable(true);
    Frame(100, 360, 0);  // over the multiplayer button (240 + 120, half height 20)
    TRC_TraceClear();
    GUI_DrawWindows();
    // Left edge 320 - 30 - 290 = 0; the exit text is missing and draws nothing.
    EXPECT_EQ(Texts(), (std::vector<std::string>{"FNT_DrawText(Campaign,0,310,0,1)", "FNT_DrawText(Network,0,360,0,2)",
                                                 "FNT_DrawText(Settings,0,410,0,1)"}));
}

TEST_F(MainMenu, ExitOpensAModalQuitDialogAndNoClosesOnlyIt) {
    Frame(100, 460, 1);  // exit button
    ASSERT_EQ(GUI_IsWindowOpen(g_QuitDialog), 1);
    EXPECT_EQ(GUI_IsWindowOpen(g_MainMenuWindow), 1);
    EXPECT_EQ(g_QuitModal, 1);
    EXPECT_EQ(GUI_GetWindowX(g_QuitDialog), 320);
    EXPECT_EQ(GUI_GetWindowY(g_QuitDialog), 240);
    // Modal: a press on a main menu button does nothing.
    Frame(100, 310, 0);
    Frame(100, 310, 1);
    EXPECT_EQ(GUI_IsWindowOpen(g_MainMenuWindow), 1);
    EXPECT_EQ(GUI_IsWindowOpen(g_QuitDialog), 1);
    // The decoration on the dialog takes nothing either.
    Frame(240, 240, 0);
    Frame(240, 240, 1);
    EXPECT_EQ(GUI_IsWindowOpen(g_QuitDialog), 1);
    // No: centre (320 + 69, 240).
    Frame(389, 240, 0);
    Frame(389, 240, 1);
    EXPECT_EQ(GUI_IsWindowOpen(g_QuitDialog), 0);
    EXPECT_EQ(g_QuitModal, 0);
    EXPECT_EQ(g_QuitAnswer, 0);
    EXPECT_EQ(GUI_IsWindowOpen(g_MainMenuWindow), 1);
}

TEST_F(MainMenu, QuitDialogTextsDependOnTheScreenBehindIt) {
    const std::string file = "[>menus]\nmm_e0=Leave the game?\nmm_e1=Really?\ncb_qu=Back to the menu?\n[<menus]\n";
    TXT_ParseBuffer(file.data(), uint32_t(file.size()));
    Frame(100, 460, 0);
    Frame(100, 460, 1);
    TRC_TraceEnable(true);
    GUI_DrawWindows();
    // x = 320 - 106/2 - 16 + 22 = 273.
    EXPECT_EQ(Texts(), (std::vector<std::string>{"FNT_DrawText(Leave the game?,273,231,1,3)",
                                                 "FNT_DrawText(Really?,273,249,1,3)"}));
    GUI_CloseWindow(g_MainMenuWindow);
    TRC_TraceClear();
    GUI_DrawWindows();
    EXPECT_EQ(Texts(), (std::vector<std::string>{"FNT_DrawText(Back to the menu?,236,240,0,3)"}));
}

TEST_F(MainMenu, ButtonsWhoseScreensAreMissingCloseTheMenuOnly) {
    struct Case { int y; int32_t* returnWindow; } cases[] = {
        {310, &g_LevelMapReturnWindow}, {360, &g_MultiMenuReturnWindow}, {410, &g_OptionsReturnWindow}};
    for (const Case& c : cases) {
        GUI_OpenWindow(g_MainMenuWindow);
        *c.returnWindow = -1;
        Frame(100, c.y, 0);
        Frame(100, c.y, 1);
        EXPECT_EQ(GUI_IsWindowOpen(g_MainMenuWindow), 0) << c.y;
        EXPECT_EQ(*c.returnWindow, g_MainMenuWindow) << c.y;
        EXPECT_EQ(INP_GetMouseButton(), 0);
    }
}

TEST_F(MainMenu, NewCampaignOpensTheChapterStartsAndCompletesTheButtonlessLevels) {
    for (int level = 0; level < 17; ++level)
        FE_SetLevelProgress(level, 7);
    g_CurrentLevel = 9;
    Frame(100, 310, 0);
    Frame(100, 310, 1);
    std::string got;
    for (int level = 0; level < 17; ++level)
        got += char('0' + FE_GetLevelProgress(level));
    EXPECT_EQ(got, "10020100201200000");
    EXPECT_EQ(g_CurrentLevel, 0);
    EXPECT_EQ(FE_GetLevelProgress(17), -1);
    EXPECT_EQ(FE_GetLevelProgress(-1), -1);
}

TEST_F(MainMenu, NewCampaignGivesEveryLevelItsDefaultTeamWithEmptyHands) {
    g_CampaignTeams[3][3] = CampaignMember{5, 5, {1, 1, 1, 1, 1, 1, 1, 1, 1}, {2, 2, 2, 2, 2, 2, 2, 2, 2}};
    g_CampaignTeams[0][3].character = 12;
    Frame(100, 310, 0);
    Frame(100, 310, 1);
    struct Case { int level; int32_t members[4]; } cases[] = {
        {0, {49, 46, 42, -1}}, {3, {49, 46, 42, 23}}, {8, {9, 7, 47, 30}},
        {11, {15, 14, 16, 31}}, {13, {14, 15, 16, -1}}, {15, {49, 9, 15, 27}},
    };
    for (const Case& c : cases)
        for (int m = 0; m < 4; ++m)
            EXPECT_EQ(g_CampaignTeams[c.level][m].character, c.members[m]) << c.level << "/" << m;
    const CampaignMember& member = g_CampaignTeams[3][3];
    EXPECT_EQ(member.status, -1);
    for (int e = 0; e < 9; ++e) {
        EXPECT_EQ(member.items[e], -1);
        EXPECT_EQ(member.counts[e], 0);
    }
}

TEST_F(MainMenu, YesOverTheMainMenuEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Frame(100, 460, 0);
            Frame(100, 460, 1);
            Frame(341, 240, 0);
            Frame(341, 240, 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
