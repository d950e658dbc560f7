// The front end's frame and its entry: FE_EnterMainMenu opens the main menu over whatever front-end
// screen was left open, sets up the pictures and starts the menu music; FE_Frame keeps the pointer
// history, captures a key for the key screen, plays the attract movie once the menu music has run
// out, closes a screen when the player presses outside it and hands new presses to the toolkit.
#include "movie/fmv.h"
#include "shell/cda.h"
#include "shell/inp.h"
#include "shell/snd.h"
#include "shell/snd_device.h"
#include "engine/rnd_view.h"
#include "ui/fe_screens.h"
#include "engine/rnd_frame.h"
#include "ui/fe.h"
#include "ui/fe_credits.h"
#include "ui/fe_main_menu.h"
#include "ui/fnt.h"
#include "ui/gui.h"
#include "ui/gui_toolkit.h"
#include "ui/img.h"
#include "ui/key_capture.h"

namespace {

constexpr int kMenuTrack = 6;
constexpr DWORD kMusicStartHoldMs = 1151;
constexpr int kAttractVolume = 56;

bool IsOpen(int32_t window) {
    return GUI_IsWindowOpen(window) != 0;
}

// Closes a screen and opens the window it returns to; the return window becomes -1.
void CloseAndReturn(int32_t window, int32_t* returnWindow) {
    GUI_CloseWindow(window);
    GUI_OpenWindow(*returnWindow);
    *returnWindow = -1;
}

// Holds the frame until the tick count has passed start + ms (Sleep advances a virtual clock).
void HoldFrame(DWORD ms) {
    const DWORD start = GetTickCount();
    for (DWORD passed; (passed = GetTickCount() - start) <= ms;)
        Sleep(ms + 1 - passed);
}

// Starts the menu music and holds the frame while the drive spins up.
void StartMenuMusic() {
    CDA_PlayTrack(kMenuTrack, 1);
    HoldFrame(kMusicStartHoldMs);
}

void BlackFrames() {
    static const float kBlack[3] = {0.0f, 0.0f, 0.0f};
    RND_SetBackgroundColour(kBlack);
    for (int i = 0; i < 2; ++i) {
        RND_BeginFrame();
        RND_EndScene();
        RND_Flip();
    }
}

// The attract movie: the sound device is released around it, as the movie plays its own sound.
void PlayAttractMovie() {
    CDA_Stop();
    BlackFrames();
    GUI_ClearSoundIds();
    SND_ReleaseGroup(SND_MakeId(0, 0));
    SND_SetMasterVolume(kAttractVolume);
    SND_ShutdownDevice();
    FMV_PlayMovie("graphics\\movies\\attract.avi");
    SND_InitDevice(g_GuiWindow);
    GUI_InitSoundIds();
    SND_LoadGroup(SND_MakeId(0, 0));
    // The volume option as everywhere else in the game: step v gives (v + 1) * 100 / 16 + 25.
    SND_SetMasterVolume((g_Options.volumeStep + 1) * 100 / 16 + 25);
    static const float kBlack[3] = {0.0f, 0.0f, 0.0f};
    RND_SetBackgroundColour(kBlack);
    if (g_Options.cdMusic)
        CDA_PlayTrack(kMenuTrack, 1);
    g_MainMenuRedraw = 3;
}

// The screens that a left press outside them closes, in this order. Each rule runs for an open
// screen when the press is not on its window.
void CloseScreenOutside(int window) {
    if (IsOpen(g_MultiMenuWindow) && window != g_MultiMenuWindow) {
        FE_PlayClick();
        INP_SetMouseButton(0);
        CloseAndReturn(g_MultiMenuWindow, &g_MultiMenuReturnWindow);
    }
    if (IsOpen(g_OptionsWindow) && window != g_OptionsWindow) {
        FE_OptionsWriteFiles();
        CDA_SetTrackFinished(0);
        FE_PlayClick();
        FE_OptionsCloseApply();
        GUI_OpenWindow(g_OptionsReturnWindow);
        g_OptionsReturnWindow = -1;
    }
    if (IsOpen(g_KeyConfigWindow) && window != g_KeyConfigWindow) {
        if (FE_ApplyKeyConfig()) {
            FE_PlayClick();
            GUI_OpenWindow(g_KeyConfigReturnWindow);
            g_KeyConfigReturnWindow = -1;
        }
    }
    if (IsOpen(g_LanguageWindow) && window != g_LanguageWindow) {
        FE_PlayClick();
        INP_SetMouseButton(0);
        CloseAndReturn(g_LanguageWindow, &g_LanguageReturnWindow);
    }
    if (IsOpen(g_LoadSaveWindow) && window != g_LoadSaveWindow) {
        FE_PlayClick();
        INP_SetMouseButton(0);
        GUI_CloseWindow(g_LoadSaveWindow);
        if (g_LoadSaveReturnWindow == g_LevelMapWindow)
            FE_OpenLevelMapOrEscape();
        else
            GUI_OpenWindow(g_LoadSaveReturnWindow);
        g_LoadSaveReturnWindow = -1;
    }
    if (IsOpen(g_GameSetupWindow) && window != g_GameSetupWindow) {
        FE_LeaveGameSetup();
    }
    if (IsOpen(g_StagingWindow) && window != g_StagingWindow) {
        FE_LeaveStaging();
    }
    if (IsOpen(g_CreditsWindow) && window != g_CreditsWindow) {
        INP_SetMouseButton(0);
        CloseAndReturn(g_CreditsWindow, &g_CreditsReturnWindow);
    }
    if (IsOpen(g_TeamStatusWindow) && window != g_TeamStatusWindow && g_TeamStatusReturnWindow != -1) {
        INP_SetMouseButton(0);
        CloseAndReturn(g_TeamStatusWindow, &g_TeamStatusReturnWindow);
        FE_PlayClick();
    }
    if (IsOpen(g_LevelMapWindow) && window != g_LevelMapWindow && g_LevelMapReturnWindow != -1)
        FE_CloseLevelMap();
}

}  // namespace

int FE_EnterMainMenu() {
    if (g_MainMenuWindow != -1) {
        g_MainMenuRedraw = 3;
        g_FntClipRect = {0, 0, 640, 480};
        CDA_SetTrackFinished(0);
        GUI_OpenWindow(g_MainMenuWindow);
    }
    // Every other front-end screen closes; the key screen through its forced close, which drops
    // a working copy that could not be applied.
    INP_SetMouseButton(0);
    GUI_CloseWindow(g_MultiMenuWindow);
    INP_SetMouseButton(0);
    if (g_OptionsWindow != -1)
        FE_OptionsCloseApply();
    INP_SetMouseButton(0);
    FE_CloseKeyConfig();
    INP_SetMouseButton(0);
    GUI_CloseWindow(g_LanguageWindow);
    INP_SetMouseButton(0);
    GUI_CloseWindow(g_LoadSaveWindow);
    INP_SetMouseButton(0);
    if (g_GameSetupWindow != -1) {
        g_Match.mpGameRunning = 0;
        GUI_CloseWindow(g_GameSetupWindow);
    }
    INP_SetMouseButton(0);
    if (g_StagingWindow != -1) {
        g_Match.mpGameRunning = 0;
        GUI_CloseWindow(g_StagingWindow);
    }
    INP_SetMouseButton(0);
    GUI_CloseWindow(g_CharSelectWindow);
    INP_SetMouseButton(0);
    GUI_CloseWindow(g_CreditsWindow);
    INP_SetMouseButton(0);
    GUI_CloseWindow(g_TeamStatusWindow);
    INP_SetMouseButton(0);
    GUI_CloseWindow(g_LevelMapWindow);
    INP_SetMouseButton(0);
    if (GUI_CloseWindow(g_QuitDialog))
        g_QuitModal = 0;
    INP_SetMouseButton(0);
    RND_SetClipRect(0, 0, 640, 480);
    if (!IMG_LoadOutgameBitmaps())
        return 0;
    IMG_LoadMenuBitmaps();
    if (g_Options.cdMusic) {
        CDA_Stop();
        if (g_ChosenLevel != 15 && g_ChosenLevel != 16)
            StartMenuMusic();
    }
    IMG_DeleteExtractedPicture();
    return 1;
}

int FE_Frame() {
    int press = INP_GetMouseButton();
    if (press == g_MouseState.lastPress)
        press = 0;
    g_MouseState.lastPress = press;
    g_MouseState.x[2] = g_MouseState.x[1];
    g_MouseState.y[2] = g_MouseState.y[1];
    g_MouseState.x[1] = g_MouseState.x[0];
    g_MouseState.y[1] = g_MouseState.y[0];
    g_MouseState.x[0] = INP_GetMouseX();
    g_MouseState.y[0] = INP_GetMouseY();
    const int px = g_MouseState.x[0], py = g_MouseState.y[0];

    if (g_KeyConfig.capturePending)
        FE_CaptureKey();
    if (IsOpen(g_MainMenuWindow) && g_Options.cdMusic && CDA_IsTrackFinished()) {
        if (!g_Match.mpGameRunning)
            PlayAttractMovie();
        if (g_Options.cdMusic)
            StartMenuMusic();
    }
    if (IsOpen(g_LevelMapWindow))
        g_PointerKind = 1;

    const int window = GUI_WindowAtPoint(px, py);
    const int item = GUI_ItemAtPoint(px, py);
    if (g_QuitModal) {
        // Only the dialog's yes and no buttons take a press.
        if (press == 1 && item != -1 && (item == g_QuitItems[1] || item == g_QuitItems[2])) {
            GUI_SendEvent(px, py, GUI_EVENT_LEFT);
            INP_SetMouseButton(0);
        }
        return 1;
    }
    if (press == 1) {
        CloseScreenOutside(window);
        if (window != -1 && item != -1) {
            GUI_SendEvent(px, py, GUI_EVENT_LEFT);
            INP_SetMouseButton(0);
        }
    } else if (press == 2 && window != -1 && item != -1) {
        GUI_SendEvent(px, py, GUI_EVENT_RIGHT);
        INP_SetMouseButton(0);
    }
    return 1;
}
