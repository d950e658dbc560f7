// Stand-in for the screens that later work builds: nothing is made (the builders report success,
// as there is nothing to fail), nothing is recorded. The level-select map is a bare window with
// only its start button, which starts the chosen level (or the first open one), so that the demo
// can enter a level until the map screen is built.
#include "ui/fe_screens.h"

#include "ui/fe.h"
#include "ui/fnt.h"
#include "ui/gui.h"
#include "ui/gui_toolkit.h"
#include "world/game_state.h"

namespace {
int32_t g_LevelMapStart = -1;

void DrawLevelMapStart(int item, int) {
    FNT_DrawText("Start", GUI_ItemScreenX(item), GUI_ItemScreenY(item), 1, 3);
}
}  // namespace

int32_t g_PanelWindow = -1;
int32_t g_MultiMenuWindow = -1;
int32_t g_OptionsWindow = -1;
int32_t g_KeyConfigWindow = -1;
int32_t g_LanguageWindow = -1;
int32_t g_LoadSaveWindow = -1;
int32_t g_GameSetupWindow = -1;
int32_t g_StagingWindow = -1;
int32_t g_CharSelectWindow = -1;
int32_t g_TeamStatusWindow = -1;
int32_t g_LevelMapWindow = -1;
int32_t g_LanguageReturnWindow = -1;
int32_t g_LoadSaveReturnWindow = -1;
int32_t g_KeyConfigReturnWindow = -1;
int32_t g_TeamStatusReturnWindow = -1;
int32_t g_CharSelectStarted = 0;

#define FE_STUB_SCREEN(build, destroy) \
    int build() { return 1; }          \
    void destroy() {}
FE_STUB_SCREEN(HUD_BuildEyeballWindow, HUD_DestroyEyeballWindow)
FE_STUB_SCREEN(HUD_BuildRadarWindow, HUD_DestroyRadarWindow)
FE_STUB_SCREEN(HUD_BuildPanelWindow, HUD_DestroyPanelWindow)
FE_STUB_SCREEN(HUD_BuildObjectBox, HUD_DestroyObjectBox)
FE_STUB_SCREEN(HUD_BuildConfirmWindow, HUD_DestroyConfirmWindow)
FE_STUB_SCREEN(HUD_BuildMusicSelector, HUD_DestroyMusicSelector)
FE_STUB_SCREEN(FE_BuildMultiMenu, FE_DestroyMultiMenu)
FE_STUB_SCREEN(FE_BuildOptions, FE_DestroyOptions)
FE_STUB_SCREEN(FE_BuildKeyConfig, FE_DestroyKeyConfig)
FE_STUB_SCREEN(FE_BuildLanguage, FE_DestroyLanguage)
FE_STUB_SCREEN(FE_BuildLoadSave, FE_DestroyLoadSave)
FE_STUB_SCREEN(FE_BuildGameSetup, FE_DestroyGameSetup)
FE_STUB_SCREEN(FE_BuildStaging, FE_DestroyStaging)
FE_STUB_SCREEN(FE_BuildCharacterSelect, FE_DestroyCharacterSelect)
FE_STUB_SCREEN(FE_BuildTeamStatus, FE_DestroyTeamStatus)
#undef FE_STUB_SCREEN

void HUD_DrawHoverLabel(int) {}
int HUD_Frame() {
    APP_CountLevelFrame();
    return 1;
}

void FE_OptionsWriteFiles() {}
void FE_OptionsCloseApply() {}
int FE_OpenKeyConfig() {
    return 0;
}
int FE_ApplyKeyConfig() {
    return 0;
}
int FE_CloseKeyConfig() {
    return 0;
}
void FE_LeaveGameSetup() {}
void FE_LeaveStaging() {}

int FE_BuildLevelMap() {
    FE_DestroyLevelMap();
    const int w = GUI_CreateWindow(GUI_SHAPE_RECT);
    if (w == -1)
        return 0;
    g_LevelMapWindow = w;
    GUI_SetWindowPos(w, 320, 240);
    GUI_SetWindowSize(w, 320, 240);
    g_LevelMapStart = GUI_CreateItem(GUI_ITEM_RECT, 3, w);
    if (g_LevelMapStart == -1) {
        FE_DestroyLevelMap();
        return 0;
    }
    // The start button's centre is (590, 440) on the screen.
    GUI_SetItemPos(g_LevelMapStart, 270, 200);
    GUI_SetItemSize(g_LevelMapStart, 42, 28);
    GUI_SetItemEventCallback(g_LevelMapStart, GUI_EVENT_LEFT, FE_StartSelectedLevel);
    GUI_SetItemDrawCallback(g_LevelMapStart, DrawLevelMapStart);
    return 1;
}

void FE_DestroyLevelMap() {
    if (g_LevelMapStart != -1)
        GUI_DestroyItem(g_LevelMapStart);
    g_LevelMapStart = -1;
    if (g_LevelMapWindow != -1)
        GUI_DestroyWindow(g_LevelMapWindow);
    g_LevelMapWindow = -1;
}
