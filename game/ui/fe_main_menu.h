// The front end's first screen and its frame: the main menu (four text buttons over MENUBACK.BMP),
// the quit dialog that its exit button opens, the pointer history and FE_Frame, which hands new
// presses to the toolkit. Screens that are not built keep the handle -1, which the toolkit refuses.
#pragma once
#include <cstdint>

// Pointer positions of this frame and the two before, and the press stored last frame.
struct MouseState {
    int32_t x[3];  // [0] now, [1] previous, [2] two frames ago
    int32_t y[3];
    int32_t lastPress;
};
extern MouseState g_MouseState;

enum : int { FE_BUTTON_SINGLE = 0, FE_BUTTON_MULTI = 1, FE_BUTTON_OPTIONS = 2, FE_BUTTON_EXIT = 3 };
extern int32_t g_MainMenuWindow;
extern int32_t g_MainMenuButtons[4];
extern int32_t g_MainMenuRedraw;

extern int32_t g_QuitDialog;
extern int32_t g_QuitItems[3];     // decoration, yes, no
extern int32_t g_QuitAnswer;       // 1 after yes, 0 after no
extern int32_t g_QuitModal;        // the dialog holds every press
extern int32_t g_CurrentLevel;

// Return windows of the screens the main menu opens (-1 none).
extern int32_t g_LevelMapReturnWindow;
extern int32_t g_MultiMenuReturnWindow;
extern int32_t g_OptionsReturnWindow;

// Opens the level-select map with its buttons reset, or starts the escape level once reached.
void FE_OpenLevelMapOrEscape();
// Leaves the level-select map for the window it was opened from and clears the escape flag.
void FE_CloseLevelMap();
int FE_BuildMainMenu();
void FE_DestroyMainMenu();
int FE_BuildQuitDialog();
void FE_DestroyQuitDialog();
void FE_DrawMainMenu(int window);
void FE_DrawMainMenuButton(int item, int window);
void FE_DrawQuitDialog(int window);
void FE_MainMenuSinglePlayer();
void FE_MainMenuMultiplayer();
void FE_MainMenuOptions();
void FE_MainMenuExit();
void FE_QuitYes();
void FE_QuitNo();
// The click sound of the front-end buttons (silent inside a level whose end is decided).
void FE_PlayClick();
// Resets the campaign: the chapter starts (levels 0, 5, 10) open, the levels without a map
// button (3, 8, 11) completed, everything else closed; current level 0.
void FE_ResetCampaign();
// Campaign progress by level id 0..16 (location-ordered storage); -1 for another id.
int FE_GetLevelProgress(int level);
void FE_SetLevelProgress(int level, int32_t value);

// Opens the main menu and closes every other front-end screen; loads the out-game and menu
// pictures. 1, or 0 when the pictures cannot be set up.
int FE_EnterMainMenu();
// One front-end frame: pointer history, presses to the toolkit. Returns 1.
int FE_Frame();
