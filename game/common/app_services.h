// What the program itself (game/app) offers the code below it: the window, the frame and level
// flags, the orderly and fatal exits, the network game set-up, the lobby launch flag and the
// interface's design size. Declared here, defined in game/app.
#pragma once
#include <cstdint>

#include "win32.h"

constexpr int APP_LEVEL_COUNT = 17;  // level ids 0..16

extern HWND g_MainWindow;
extern uint32_t g_InFrame;            // 1 while a frame step runs
extern uint32_t g_LevelLoaded;        // a level's resources are loaded
extern uint32_t g_LaunchedFromLobby;  // the command line holds "/torvane"
extern uint32_t g_InFatalError;       // the fatal-error screen is up

// Orderly exit with code 0.
[[noreturn]] void APP_Shutdown();
// Shows text on the fatal-error screen until the window is closed, then exits with code 0. Without
// anyone to answer (headless, no input script) it prints the text and exits at once. Entered a
// second time (an error raised while it shuts down) it ends the process at once.
[[noreturn]] void APP_FatalError(const char* text);
// Fills g_Match.settings and resets the per-match state of the network game; returns 0.
int APP_SetupMultiplayerGame(int gameType, int playerCount, int modeA, int modeB, int level, int extra,
                             int settingsSet, int fragLimit, int timeLimit, int traps);

int APP_GetScreenWidth();   // 640: the design space of the interface
int APP_GetScreenHeight();  // 480
