// The program entry and the shell's own state: WinMain, the window procedure, the main loop and
// its frame step, the shutdown sequence, the fatal-error screen, the network game settings and the
// queries that the whole program uses. One thread and one window; nothing here is reentrant.
#pragma once
#include <cstdint>

#include "win32.h"

struct Bitmap;

// The network game settings, ten signed fields in the order APP_SetupMultiplayerGame takes them.
struct MpGameSettings {
    int32_t gameType;     // 5 humans against humans, 6 humans against zombies
    int32_t playerCount;  // 7 for type 5, 1 for type 6
    int32_t modeA;        // 0 for type 5, 3 for type 6
    int32_t modeB;
    int32_t level;        // the LevelId to play, 0..16
    int32_t extra;        // always 0
    int32_t settingsSet;  // 1 once settings were applied
    int32_t fragLimit;
    int32_t timeLimit;    // minutes
    int32_t traps;        // 1 on, 0 off
};
extern MpGameSettings g_MpSettings;

// The six values of a lobby launch line, in this order.
enum : int {
    LAUNCH_TYPE = 0,
    LAUNCH_PLAYERS,
    LAUNCH_LEVEL,
    LAUNCH_FRAGLIMIT,
    LAUNCH_TIMELIMIT,
    LAUNCH_TRAPS,
    LAUNCH_ARG_COUNT
};

constexpr int APP_LEVEL_COUNT = 17;  // level ids 0..16

extern HWND g_MainWindow;
extern uint32_t g_InFrame;            // 1 while a frame step runs
extern uint32_t g_WasMinimised;       // a frame step found the window minimised
extern uint32_t g_LevelLoaded;        // a level's resources are loaded
extern uint32_t g_LaunchedFromLobby;  // the command line holds "/torvane"
extern int32_t g_LaunchArgs[LAUNCH_ARG_COUNT];
extern Bitmap* g_TitleBitmap;         // the title picture while it is shown
extern int32_t g_DisplayModeOption;   // the display mode the options screen shows
extern uint32_t g_InFatalError;       // the fatal-error screen is up

// The entry: reads the command line, starts every service, runs the main loop. Never returns:
// every way out ends the process (0 after an orderly exit or the fatal-error screen, 1 after a
// failed start).
int WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
LRESULT APP_WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Orderly exit with code 0.
[[noreturn]] void APP_Shutdown();
// Shows text on the fatal-error screen until the window is closed, then exits with code 0. Without
// anyone to answer (headless, no input script) it prints the text and exits at once. Entered a
// second time (an error raised while it shuts down) it ends the process at once.
[[noreturn]] void APP_FatalError(const char* text);
// Fills g_MpSettings and resets the per-match state of the network game; returns 0.
int APP_SetupMultiplayerGame(int gameType, int playerCount, int modeA, int modeB, int level, int extra,
                             int settingsSet, int fragLimit, int timeLimit, int traps);

// Queries (no side effects).
int APP_IsMultiplayerGame();
int APP_GetMultiplayerGameType();
int APP_AreTrapsEnabled();
int APP_IsLevelActive();
int APP_WasHaltedLastFrame();
int APP_IsPlayHalted();
int APP_GetLocalPlayerSlot();
int APP_GetScreenWidth();   // 640: the design space of the interface
int APP_GetScreenHeight();  // 480
void APP_SetDisplayModeOption(int mode);

// The steps of WinMain, one by one.
// Scans the command line for the lobby switches into g_LaunchedFromLobby and g_LaunchArgs, and
// sets up the lobby game when "/torvane" is present.
void APP_ParseCommandLine(const char* commandLine);
// A word's decimal value: optional sign, then leading digits; no digits give 0; saturates at the
// limits of a 32-bit integer.
int32_t APP_ParseDecimal(const char* word);
// Start-up steps 1 to 15; a failed start runs the shutdown sequence and exits with code 1.
void APP_Startup(HINSTANCE instance, int showCommand);
// Runs until WM_QUIT, then APP_Shutdown.
[[noreturn]] void APP_MainLoop();
// One idle pass of a message loop: the frame step, unless one is running already.
void APP_RunIdlePass();
void APP_FrameStep();
// The shutdown sequence, ending the process with exitCode.
[[noreturn]] void APP_ShutdownSequence(int exitCode);
