// Stand-in for the screens that later work builds: nothing is made (the builders report success,
// as there is nothing to fail), nothing is recorded.
#include "ui/fe_screens.h"

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
FE_STUB_SCREEN(FE_BuildLevelMap, FE_DestroyLevelMap)
#undef FE_STUB_SCREEN

void HUD_DrawHoverLabel(int) {}
int HUD_Frame() {
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
