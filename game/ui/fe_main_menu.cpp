// The main menu, the quit dialog and the front-end frame.
#include "ui/fe_main_menu.h"

#include "common/app_services.h"
#include "common/match.h"
#include "shell/cda.h"
#include "engine/rnd_bitmap.h"
#include "shell/inp.h"
#include "shell/snd.h"
#include "ui/fe_screens.h"
#include "ui/fe.h"
#include "ui/fnt.h"
#include "ui/gui.h"
#include "ui/gui_toolkit.h"
#include "ui/img.h"
#include "ui/txt.h"

MouseState g_MouseState;
int32_t g_MainMenuWindow = -1;
int32_t g_MainMenuButtons[4] = {-1, -1, -1, -1};
int32_t g_MainMenuRedraw;
int32_t g_QuitDialog = -1;
int32_t g_QuitItems[3] = {-1, -1, -1};
int32_t g_QuitAnswer;
int32_t g_QuitModal;
int32_t g_CurrentLevel;
int32_t g_LevelMapReturnWindow = -1;
int32_t g_MultiMenuReturnWindow = -1;
int32_t g_OptionsReturnWindow = -1;
CampaignMember g_CampaignTeams[FE_CAMPAIGN_LEVELS][FE_TEAM_MEMBERS];

namespace {

constexpr SoundId kClickSound = SND_MakeId(0, 6);  // the seventh interface sound

struct ButtonSpec {
    int x, y;
    TxtMenuKey text;
    void (*click)();
};
constexpr ButtonSpec kButtons[4] = {
    {-30, 70, TXT_mm_sp, FE_MainMenuSinglePlayer},
    {-30, 120, TXT_mm_mp, FE_MainMenuMultiplayer},
    {-30, 170, TXT_mm_op, FE_MainMenuOptions},
    {-30, 220, TXT_mm_ex, FE_MainMenuExit},
};

// The team of each level 0..15 when a new campaign starts (-1: no fourth member).
constexpr int32_t kDefaultTeams[FE_CAMPAIGN_LEVELS][FE_TEAM_MEMBERS] = {
    {49, 46, 42, -1}, {49, 46, 42, -1}, {49, 46, 42, -1}, {49, 46, 42, 23},
    {49, 46, 42, -1}, {9, 47, 7, -1},   {9, 47, 7, -1},   {9, 47, 7, -1},
    {9, 7, 47, 30},   {9, 47, 7, -1},   {14, 15, 16, -1}, {15, 14, 16, 31},
    {14, 15, 16, -1}, {14, 15, 16, -1}, {14, 15, 16, -1}, {49, 9, 15, 27},
};

void QuitDecoration() {}

// Destroys a stored window or item handle and stores -1.
void DropWindow(int32_t* h) {
    if (*h != -1)
        GUI_DestroyWindow(*h);
    *h = -1;
}
void DropItem(int32_t* h) {
    if (*h != -1)
        GUI_DestroyItem(*h);
    *h = -1;
}

int MakeItem(int kind, int window, int x, int y, int hw, int hh, GuiItemEventCallback click,
             GuiItemDrawCallback draw) {
    const int it = GUI_CreateItem(kind, 3, window);
    if (it == -1)
        return -1;
    GUI_SetItemPos(it, x, y);
    GUI_SetItemSize(it, hw, hh);
    GUI_SetItemEventCallback(it, GUI_EVENT_LEFT, click);
    GUI_SetItemDrawCallback(it, draw);
    return it;
}

int PointerItem() {
    return GUI_ItemAtPoint(g_MouseState.x[0], g_MouseState.y[0]);
}

}  // namespace

void FE_PlayClick() {
    // Clicks are silent while a level's end has been decided.
    if (!(g_Match.inLevel == 1 && (g_Match.levelWon || g_Match.levelFailed)))
        SND_Play(kClickSound);
}

int FE_GetLevelProgress(int level) {
    if (level < 0 || level >= FE_MAP_LOCATIONS)
        return -1;
    if (level == 16)
        return g_CampaignProgress.location[16];
    for (int loc = 0; loc < 16; ++loc)
        if (FE_LOCATION_LEVELS[loc] == level)
            return g_CampaignProgress.location[loc];
    return -1;
}

void FE_SetLevelProgress(int level, int32_t value) {
    if (level == 16) {
        g_CampaignProgress.location[16] = value;
        return;
    }
    for (int loc = 0; loc < 16; ++loc)
        if (FE_LOCATION_LEVELS[loc] == level)
            g_CampaignProgress.location[loc] = value;
}

void FE_ResetCampaign() {
    for (int level = 0; level < FE_MAP_LOCATIONS; ++level)
        FE_SetLevelProgress(level, 0);
    for (int level : {0, 5, 10})
        FE_SetLevelProgress(level, 1);
    for (int level : {3, 8, 11})
        FE_SetLevelProgress(level, 2);
    for (int level = 0; level < FE_CAMPAIGN_LEVELS; ++level)
        for (int m = 0; m < FE_TEAM_MEMBERS; ++m) {
            CampaignMember& member = g_CampaignTeams[level][m];
            member.character = kDefaultTeams[level][m];
            member.status = -1;
            for (int e = 0; e < 9; ++e) {
                member.items[e] = -1;
                member.counts[e] = 0;
            }
        }
    g_CurrentLevel = 0;
}

int FE_BuildMainMenu() {
    FE_DestroyMainMenu();
    const int w = GUI_CreateWindow(GUI_SHAPE_RECT);
    if (w == -1)
        return 0;
    g_MainMenuWindow = w;
    GUI_SetWindowPos(w, 320, 240);
    GUI_SetWindowSize(w, 320, 240);
    GUI_ShowWindow(w);
    GUI_SetWindowDrawCallback(w, FE_DrawMainMenu);
    for (int i = 0; i < 4; ++i) {
        g_MainMenuButtons[i] =
            MakeItem(GUI_ITEM_RECT, w, kButtons[i].x, kButtons[i].y, 290, 20, kButtons[i].click, FE_DrawMainMenuButton);
        if (g_MainMenuButtons[i] == -1) {
            FE_DestroyMainMenu();
            return 0;
        }
    }
    g_MainMenuRedraw = 3;
    return 1;
}

void FE_DestroyMainMenu() {
    for (int32_t& b : g_MainMenuButtons)
        DropItem(&b);
    DropWindow(&g_MainMenuWindow);
}

int FE_BuildQuitDialog() {
    FE_DestroyQuitDialog();
    const int w = GUI_CreateWindow(GUI_SHAPE_RECT);
    if (w == -1)
        return 0;
    g_QuitDialog = w;
    GUI_SetWindowPos(w, 180, 150);
    GUI_SetWindowSize(w, 106, 39);
    GUI_ShowWindow(w);
    GUI_SetWindowDrawCallback(w, FE_DrawQuitDialog);
    struct { int x, hw; GuiItemEventCallback click; } items[3] = {
        {-80, 20, QuitDecoration}, {21, 18, FE_QuitYes}, {69, 18, FE_QuitNo}};
    for (int i = 0; i < 3; ++i) {
        g_QuitItems[i] = GUI_CreateItem(GUI_ITEM_ELLIPSE, 3, w);
        if (g_QuitItems[i] == -1) {
            FE_DestroyQuitDialog();
            return 0;
        }
        GUI_SetItemPos(g_QuitItems[i], items[i].x, 0);
        GUI_SetItemSize(g_QuitItems[i], items[i].hw, 15);
        GUI_SetItemEventCallback(g_QuitItems[i], GUI_EVENT_LEFT, items[i].click);
    }
    g_QuitAnswer = 0;
    return 1;
}

void FE_DestroyQuitDialog() {
    for (int32_t& it : g_QuitItems)
        DropItem(&it);
    DropWindow(&g_QuitDialog);
}

void FE_DrawMainMenu(int) {
    ImageHolder& back = g_ImgMenuBackgrounds[IMG_BACK_MENU];
    if (g_MainMenuRedraw > 0) {
        back.redraw = 1;
        IMG_DrawBitmap(&back, 0, 0, 0, 640, 480, IMG_OPAQUE);
        --g_MainMenuRedraw;
    }
    if (back.bitmap) {
        // Erase the pointer picture drawn two frames ago.
        const DesignRect clip = {g_MouseState.x[2], g_MouseState.y[2], 32, 32};
        const DesignPoint origin = {0.0f, 0.0f};
        DSP_BlitBitmapPart(back.bitmap, &origin, 640, 480, &clip);
    }
}

void FE_DrawMainMenuButton(int item, int) {
    const int x = GUI_ItemScreenX(item);
    const int y = GUI_ItemScreenY(item);
    const int hw = GUI_GetItemWidth(item);
    const int hh = GUI_GetItemHeight(item);
    if (ImageHolder& back = g_ImgMenuBackgrounds[IMG_BACK_MENU]; back.bitmap) {
        const DesignRect clip = {x - hw, y - hh, 2 * hw, 2 * hh};
        const DesignPoint origin = {0.0f, 0.0f};
        DSP_BlitBitmapPart(back.bitmap, &origin, 640, 480, &clip);
    }
    const char* text = nullptr;
    for (int i = 0; i < 4; ++i)
        if (g_MainMenuButtons[i] == item)
            text = TXT_Menu(kButtons[i].text);
    const bool hover = PointerItem() == item && !GUI_IsWindowOpen(g_QuitDialog);
    FNT_DrawText(text, x - hw, y, 0, hover ? 2 : 1);
}

void FE_DrawQuitDialog(int window) {
    const int x = GUI_GetWindowX(window), y = GUI_GetWindowY(window);
    const int w = GUI_GetWindowWidth(window), h = GUI_GetWindowHeight(window);
    g_ImgMenuIcon.redraw = 1;
    IMG_DrawBitmap(&g_ImgMenuIcon, 0, x - w, y - h, x + w, y + h, IMG_KEYED);
    if (PointerItem() != -1)
        g_PointerKind = 0;
    if (!GUI_IsWindowOpen(g_MainMenuWindow) && !GUI_IsWindowOpen(g_CharSelectWindow)) {
        FNT_DrawText(TXT_Menu(TXT_cb_qu), x - w + 22, y, 0, 3);
    } else {
        const int tx = x - w / 2 - 16 + 22;
        FNT_DrawText(TXT_Menu(TXT_mm_e0), tx, y - 9, 1, 3);
        FNT_DrawText(TXT_Menu(TXT_mm_e1), tx, y + 9, 1, 3);
    }
}

void FE_MainMenuSinglePlayer() {
    FE_PlayClick();
    g_LevelMapReturnWindow = g_MainMenuWindow;
    INP_SetMouseButton(0);
    g_MainMenuRedraw = 3;
    GUI_CloseWindow(g_MainMenuWindow);
    // The map opens (or the escape level starts once reached) before the progress is reset.
    g_LevelMapReturnWindow = g_MainMenuWindow;
    INP_SetMouseButton(0);
    if (g_LevelMapWindow != -1)
        FE_OpenLevelMapOrEscape();
    FE_ResetCampaign();
}

void FE_OpenLevelMapOrEscape() {
    FE_ResetMapButtons();
    if (FE_GetLevelProgress(16) == 1)
        FE_StartSelectedLevel();
    else
        GUI_OpenWindow(g_LevelMapWindow);
}

void FE_CloseLevelMap() {
    CDA_SetTrackFinished(0);
    FE_PlayClick();
    INP_SetMouseButton(0);
    GUI_CloseWindow(g_LevelMapWindow);
    GUI_OpenWindow(g_LevelMapReturnWindow);
    g_LevelMapReturnWindow = -1;
    FE_SetLevelProgress(16, 0);
}

void FE_MainMenuMultiplayer() {
    FE_PlayClick();
    g_MultiMenuReturnWindow = g_MainMenuWindow;
    INP_SetMouseButton(0);
    g_MainMenuRedraw = 3;
    GUI_CloseWindow(g_MainMenuWindow);
    GUI_OpenWindow(g_MultiMenuWindow);  // refused while the screen is not built
}

void FE_MainMenuOptions() {
    FE_PlayClick();
    g_OptionsReturnWindow = g_MainMenuWindow;
    INP_SetMouseButton(0);
    g_MainMenuRedraw = 3;
    GUI_CloseWindow(g_MainMenuWindow);
    GUI_OpenWindow(g_OptionsWindow);  // refused while the screen is not built
}

void FE_MainMenuExit() {
    FE_PlayClick();
    const int hw = GUI_GetWindowWidth(g_QuitDialog), hh = GUI_GetWindowHeight(g_QuitDialog);
    int x = APP_GetScreenWidth() / 2, y = APP_GetScreenHeight() / 2;
    if (x > 640 - hw) x = 640 - hw;
    if (x < hw) x = hw;
    if (y > 480 - hh) y = 480 - hh;
    if (y < hh) y = hh;
    if (!GUI_SetWindowPos(g_QuitDialog, x, y))
        return;
    GUI_OpenWindow(g_QuitDialog);
    g_QuitAnswer = 0;
    g_QuitModal = 1;
}

void FE_QuitYes() {
    FE_PlayClick();
    g_QuitAnswer = 1;
    GUI_CloseWindow(g_QuitDialog);
    g_QuitModal = 0;
    if (GUI_IsWindowOpen(g_MainMenuWindow))
        APP_Shutdown();
    if (GUI_IsWindowOpen(g_CharSelectWindow) && g_Match.mpGameRunning)
        APP_Shutdown();
    // From the level map: back to the window the map was opened from.
    if (GUI_IsWindowOpen(g_LevelMapWindow) && g_LevelMapReturnWindow != -1)
        FE_CloseLevelMap();
}

void FE_QuitNo() {
    FE_PlayClick();
    g_QuitAnswer = 0;
    GUI_CloseWindow(g_QuitDialog);
    g_QuitModal = 0;
    g_MainMenuRedraw = 3;
}
