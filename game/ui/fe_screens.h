// Stand-in for the screens that later work builds: their builders make nothing and return 1 (handles stay -1,
// which the toolkit refuses), their destroyers and steps do nothing, and nothing is recorded, so
// start-up, the front-end frame and shutdown run through them as if the screen were missing.
#pragma once
#include <cstdint>

// In-level windows built at start-up.
int HUD_BuildEyeballWindow();
int HUD_BuildRadarWindow();
int HUD_BuildPanelWindow();
int HUD_BuildObjectBox();
int HUD_BuildConfirmWindow();
int HUD_BuildMusicSelector();
void HUD_DestroyEyeballWindow();
void HUD_DestroyRadarWindow();
void HUD_DestroyPanelWindow();
void HUD_DestroyObjectBox();
void HUD_DestroyConfirmWindow();
void HUD_DestroyMusicSelector();
// The hover label's draw callback and the in-level frame.
void HUD_DrawHoverLabel(int window);
int HUD_Frame();

// Front-end screens.
int FE_BuildMultiMenu();
int FE_BuildOptions();
int FE_BuildKeyConfig();
int FE_BuildLanguage();
int FE_BuildLoadSave();
int FE_BuildGameSetup();
int FE_BuildStaging();
int FE_BuildCharacterSelect();
int FE_BuildTeamStatus();
int FE_BuildLevelMap();
void FE_DestroyMultiMenu();
void FE_DestroyOptions();
void FE_DestroyKeyConfig();
void FE_DestroyLanguage();
void FE_DestroyLoadSave();
void FE_DestroyGameSetup();
void FE_DestroyStaging();
void FE_DestroyCharacterSelect();
void FE_DestroyTeamStatus();
void FE_DestroyLevelMap();

// The panel window of the in-level interface (the exchange with the world runs while it is open).
extern int32_t g_PanelWindow;
extern int32_t g_MultiMenuWindow;
extern int32_t g_OptionsWindow;
extern int32_t g_KeyConfigWindow;
extern int32_t g_LanguageWindow;
extern int32_t g_LoadSaveWindow;
extern int32_t g_GameSetupWindow;
extern int32_t g_StagingWindow;
extern int32_t g_CharSelectWindow;
extern int32_t g_TeamStatusWindow;
extern int32_t g_LevelMapWindow;
extern int32_t g_LanguageReturnWindow;
extern int32_t g_LoadSaveReturnWindow;
extern int32_t g_KeyConfigReturnWindow;
extern int32_t g_TeamStatusReturnWindow;
extern int32_t g_CharSelectStarted;  // the character selection's start flag

// Steps of those screens that the front-end frame and the main menu run.
void FE_OptionsWriteFiles();
void FE_OptionsCloseApply();
int FE_OpenKeyConfig();
int FE_ApplyKeyConfig();
int FE_CloseKeyConfig();  // the forced close of the key screen
void FE_LeaveGameSetup();
void FE_LeaveStaging();
