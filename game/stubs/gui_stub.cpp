// Stand-in for the interface: no windows. GUI_Init loads the settings as the real one does
// (options, network options, default keys, then the key map file) and enters the lobby game after
// a lobby launch; GUI_Tick serves the pending level end. Each call is recorded.
#include "shell/app.h"
#include "shell/mem.h"
#include "shell/muf.h"
#include "stubs/app_state_stub.h"
#include "stubs/cfg_stub.h"
#include "stubs/lvl_stub.h"
#include "stubs/trace.h"
#include "ui/gui.h"

int GUI_Init(HWND) {
    STUB_Trace("GUI_Init");
    CFG_LoadOptions();
    CFG_LoadNetOptions();
    CFG_SetDefaultKeys();
    uint32_t size = 0;
    if (void* keyMap = MUF_LoadFile("data\\ifkeymap.dat", &size))
        MEM_Free(keyMap);
    if (g_LaunchedFromLobby)
        APP_EnterLobbyGame();
    return 1;
}

int GUI_Tick() {
    STUB_Trace("GUI_Tick");
    if (g_LevelEndRequest.pending)
        LVL_RunPendingLevelEnd(g_LevelEndRequest.won, g_LevelEndRequest.value);
    return 1;
}

void GUI_Draw() {
    STUB_Trace("GUI_Draw");
}

void GUI_Shutdown() {
    STUB_Trace("GUI_Shutdown");
}

void GUI_InitSoundIds() {
    STUB_Trace("GUI_InitSoundIds");
}

void GUI_ClearSoundIds() {
    STUB_Trace("GUI_ClearSoundIds");
}
