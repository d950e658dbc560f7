// The interface's start, frame step, drawing and end as the shell calls them: GUI_Init builds the
// screens of this build (main menu, quit dialog), loads the settings, the key map and the text
// file and enters the main menu; GUI_Tick serves the pending level end and runs the front-end
// frame outside a level (the credits window is built too); GUI_Draw draws the open windows and the pointer; GUI_Shutdown destroys
// the screens and frees the texts and pictures. Each entry is recorded in the call trace, which is
// off unless a test switches it on.
#include <cstring>

#include "shell/app.h"
#include "shell/dsp_bitmap.h"
#include "shell/inp.h"
#include "shell/mem.h"
#include "shell/muf.h"
#include "stubs/app_state_stub.h"
#include "stubs/cfg_stub.h"
#include "stubs/lvl_stub.h"
#include "stubs/trace.h"
#include "ui/fe_credits.h"
#include "ui/fe_main_menu.h"
#include "ui/gui.h"
#include "ui/gui_toolkit.h"
#include "ui/hud.h"
#include "ui/img.h"
#include "ui/txt.h"

int32_t g_PointerKind = 1;
int32_t g_PointerLife;

namespace {
constexpr uint32_t kKeyMapBytes = 165;
}

int GUI_Init(HWND) {
    STUB_Trace("GUI_Init");
    GUI_Reset();
    g_MpGameRunning = 0;
    std::strcpy(g_PlayerName, "Player");
    g_LocalSlot = -1;
    g_MainMenuWindow = -1;
    for (int32_t& b : g_MainMenuButtons)
        b = -1;
    g_QuitDialog = -1;
    g_CreditsWindow = -1;
    for (int32_t& it : g_QuitItems)
        it = -1;
    // A builder that fails leaves its screen missing; start-up goes on.
    FE_BuildMainMenu();
    FE_BuildCreditsWindow();
    FE_BuildQuitDialog();
    g_LevelHalted = 0;
    CFG_LoadOptions();
    CFG_LoadNetOptions();
    CFG_SetDefaultKeys();
    uint32_t size = 0;
    // The key map is taken only when the file holds all of it; its use belongs to the key screen.
    if (void* keyMap = MUF_LoadFile("data\\ifkeymap.dat", &size))
        MEM_Free(keyMap);
    (void)kKeyMapBytes;
    TXT_LoadTextFile();
    g_InLevel = 0;
    FE_EnterMainMenu();
    g_PointerKind = 1;
    if (g_LaunchedFromLobby)
        APP_EnterLobbyGame();
    return 1;
}

int GUI_Tick() {
    STUB_Trace("GUI_Tick");
    if (g_LevelEndRequest.pending)
        LVL_RunPendingLevelEnd(g_LevelEndRequest.won, g_LevelEndRequest.value);
    if (g_PointerLife < 1)
        g_PointerKind = 0;
    if (g_InLevel != 1)
        FE_Frame();
    return 1;
}

void GUI_Draw() {
    STUB_Trace("GUI_Draw");
    GUI_DrawWindows();
    // The pointer picture by kind: 0 HAND, 1 HANDNOF, 2 HOURGLAS, 3 HANDAR, 5 HANDRED,
    // 6 HANDBLAC, 7 HANDYELL, 8 HANDBLUE; kind 4 and others draw none.
    static constexpr int kPictureOfKind[9] = {1, 2, 3, 4, -1, 5, 7, 6, 8};
    if (g_PointerKind >= 0 && g_PointerKind <= 8 && kPictureOfKind[g_PointerKind] >= 0) {
        ImageHolder& h = g_ImgPointers[kPictureOfKind[g_PointerKind]];
        if (h.bitmap) {
            const DesignPoint at{static_cast<float>(g_MouseState.x[0]), static_cast<float>(g_MouseState.y[0])};
            const DesignRect whole{0, 0, 640, 480};
            DSP_BlitBitmapPartKeyed(h.bitmap, &at, 32, 32, &whole);
        }
    }
    if (--g_PointerLife <= 0) {
        g_PointerLife = 0;
        g_PointerKind = 0;
    }
    if (g_InLevel == 1)
        HUD_DrawMessages();
}

void GUI_Shutdown() {
    STUB_Trace("GUI_Shutdown");
    FE_DestroyMainMenu();
    FE_DestroyCreditsWindow();
    FE_DestroyQuitDialog();
    TXT_FreeTexts();
    IMG_FreeOutgameBitmaps();
    IMG_FreeLocationPictures();
}

void GUI_InitSoundIds() {
    STUB_Trace("GUI_InitSoundIds");
}

void GUI_ClearSoundIds() {
    STUB_Trace("GUI_ClearSoundIds");
}
