// The program itself: WinMain, the window procedure, the main loop and its frame step, the
// start-up and shutdown sequences, the fatal-error screen and the lobby command line. One thread
// and one window; nothing here is reentrant. What the code below may call is in
// common/app_services.h.
#pragma once
#include <cstdint>

#include "common/app_services.h"
#include "common/match.h"
#include "win32.h"

struct Bitmap;

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

extern uint32_t g_WasMinimised;       // a frame step found the window minimised
extern int32_t g_LaunchArgs[LAUNCH_ARG_COUNT];
extern Bitmap* g_TitleBitmap;         // the title picture while it is shown
extern int32_t g_DisplayModeOption;   // the display mode the options screen shows

// The entry: reads the command line, starts every service, runs the main loop. Never returns:
// every way out ends the process (0 after an orderly exit or the fatal-error screen, 1 after a
// failed start).
int WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
LRESULT APP_WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void APP_SetDisplayModeOption(int mode);

// The steps of WinMain, one by one.
// Scans the command line for the lobby switches into g_LaunchedFromLobby and g_LaunchArgs, and
// sets up the lobby game when "/torvane" is present.
void APP_ParseCommandLine(const char* commandLine);
// A word's decimal value: optional sign, then leading digits; no digits give 0; saturates at the
// limits of a 32-bit integer.
int32_t APP_ParseDecimal(const char* word);
// Start-up steps 1 to 15; a failed start runs the shutdown sequence and exits with code 1. An
// archive that is there but cannot be opened ends on the fatal-error screen, naming the file,
// with code 1.
void APP_Startup(HINSTANCE instance, int showCommand);
// APP_FatalError ending with exitCode instead of 0: for a start that cannot go on because the
// install is broken, so that whoever started the game sees the failure.
[[noreturn]] void APP_FatalErrorExit(const char* text, int exitCode);
// Runs until WM_QUIT, then APP_Shutdown.
[[noreturn]] void APP_MainLoop();
// One idle pass of a message loop: the frame step, unless one is running already.
void APP_RunIdlePass();
void APP_FrameStep();
// The shutdown sequence, ending the process with exitCode.
[[noreturn]] void APP_ShutdownSequence(int exitCode);
