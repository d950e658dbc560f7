// The interface's start, frame step and end as the shell calls them. GUI_Init gives the interface
// state its start values, builds every screen in its fixed order (screens not built yet are
// stand-ins that make nothing), reads the settings, the key map and the text file, joins the
// session of a lobby launch and enters the main menu; GUI_Tick serves the pending level end and
// runs the front-end or in-level frame (starting the match clock in a level); GUI_Shutdown destroys the screens in build order and frees
// the texts and pictures. Each entry is recorded in the call trace, which is off unless a test
// switches it on.
#include <cstdio>
#include <cstring>

#include "net/net.h"
#include "common/app_services.h"
#include "common/match.h"
#include "shell/inp.h"
#include "common/mem.h"
#include "common/muf.h"
#include "shell/snd.h"
#include "shell/snd_device.h"
#include "world/game_state.h"
#include "world/cfg.h"
#include "ui/fe_screens.h"
#include "world/lvl.h"
#include "engine/rnd_state.h"
#include "common/calltrace.h"
#include "ui/fe_credits.h"
#include "ui/fe_main_menu.h"
#include "ui/gui.h"
#include "ui/gui_toolkit.h"
#include "ui/hud.h"
#include "ui/img.h"
#include "ui/keymap.h"
#include "ui/txt.h"
#include "world/clk.h"

GameOptions g_Options;
uint32_t g_GuiSoundIds[GUI_SOUND_IDS] = {SND_NO_SOUND, SND_NO_SOUND, SND_NO_SOUND, SND_NO_SOUND,
                                         SND_NO_SOUND, SND_NO_SOUND, SND_NO_SOUND};
HWND g_GuiWindow;
int32_t g_PointerKind = 1;
int32_t g_PointerLife;
int32_t g_DirectControl;
int32_t g_DirectControlSlot = -1;
int32_t g_ChosenLevel = -1;
int32_t g_LobbyJoinState = -1;
uint32_t g_FrontEndTick[2];
uint32_t g_ChatTyping;
char g_ChatInput[GUI_CHAT_CHARS];
uint32_t g_ChatCursorOn = 1;
int32_t g_ChatBlinkTimer;
int32_t g_HoverLabelWindow = -1;

namespace {

int BuildHoverLabel() {
    if (g_HoverLabelWindow != -1)
        GUI_DestroyWindow(g_HoverLabelWindow);
    g_HoverLabelWindow = GUI_CreateWindow(GUI_SHAPE_RECT);
    if (g_HoverLabelWindow == -1)
        return 0;
    GUI_SetWindowPos(g_HoverLabelWindow, 320, 200);
    GUI_SetWindowSize(g_HoverLabelWindow, 8, 8);
    GUI_ShowWindow(g_HoverLabelWindow);
    GUI_SetWindowDrawCallback(g_HoverLabelWindow, HUD_DrawHoverLabel);
    return 1;
}

void DestroyHoverLabel() {
    if (g_HoverLabelWindow != -1)
        GUI_DestroyWindow(g_HoverLabelWindow);
    g_HoverLabelWindow = -1;
}

struct Screen {
    const char* name;
    int (*build)();
    void (*destroy)();
};
// Every screen in build order; shutdown destroys them in the same order.
constexpr Screen kScreens[] = {
    {"eyeball", HUD_BuildEyeballWindow, HUD_DestroyEyeballWindow},
    {"radar", HUD_BuildRadarWindow, HUD_DestroyRadarWindow},
    {"panel", HUD_BuildPanelWindow, HUD_DestroyPanelWindow},
    {"object box", HUD_BuildObjectBox, HUD_DestroyObjectBox},
    {"confirm", HUD_BuildConfirmWindow, HUD_DestroyConfirmWindow},
    {"music selector", HUD_BuildMusicSelector, HUD_DestroyMusicSelector},
    {"hover label", BuildHoverLabel, DestroyHoverLabel},
    {"main menu", FE_BuildMainMenu, FE_DestroyMainMenu},
    {"multiplayer menu", FE_BuildMultiMenu, FE_DestroyMultiMenu},
    {"options", FE_BuildOptions, FE_DestroyOptions},
    {"keys", FE_BuildKeyConfig, FE_DestroyKeyConfig},
    {"language", FE_BuildLanguage, FE_DestroyLanguage},
    {"load and save", FE_BuildLoadSave, FE_DestroyLoadSave},
    {"game set-up", FE_BuildGameSetup, FE_DestroyGameSetup},
    {"staging", FE_BuildStaging, FE_DestroyStaging},
    {"character select", FE_BuildCharacterSelect, FE_DestroyCharacterSelect},
    {"credits", FE_BuildCreditsWindow, FE_DestroyCreditsWindow},
    {"team status", FE_BuildTeamStatus, FE_DestroyTeamStatus},
    {"level map", FE_BuildLevelMap, FE_DestroyLevelMap},
    {"quit", FE_BuildQuitDialog, FE_DestroyQuitDialog},
};

void ResetTeamSlots() {
    for (int i = 0; i < HUD_TEAM_SLOTS; ++i) {
        TeamSlot& t = g_TeamSlots[i];
        t.blocked = 0;
        t.selected = 0;
        t.currentEntry = 0;
        t.controlFlag = 0;
        for (int32_t& type : t.carriedTypes)
            type = -1;
        t.characterId = i;
    }
}

// A lobby launch joins the lobby's session; a failed join or player falls back to DirectPlay.
void JoinLobbySession() {
    if (!GUI_LaunchedByLobby() || g_LobbyJoinState != -1)
        return;
    NET_SelectConnection(0);
    if (NET_JoinSession(0)) {
        g_LobbyJoinState = 0;
        g_Match.localSlot = NET_CreatePlayer(g_PlayerName);
        if (g_Match.localSlot != -1)
            return;
    }
    NET_Shutdown();
    NET_Init(g_GuiWindow, kGhouldenGuid, 2, 8);
}

}  // namespace

int GUI_Init(HWND window) {
    TRC_Trace("GUI_Init");
    GUI_Reset();
    g_GuiWindow = window;
    g_Match.mpGameRunning = 0;
    std::strcpy(g_PlayerName, "Player");
    g_LobbyJoinState = -1;
    g_Match.localSlot = -1;
    // The settings of a lobby launch came with the launch line and are kept.
    if (!GUI_LaunchedByLobby() && !g_LaunchedFromLobby) {
        const int32_t settingsSet = g_Match.settings.settingsSet;
        g_Match.settings = MpGameSettings{0, 7, 0, 1, 4, 0, settingsSet, 10, 0, 1};
    }
    g_ChatCursorOn = 1;
    g_ChatBlinkTimer = 0;
    g_CurrentLevel = -1;
    g_ChosenLevel = -1;

    // The tables were just emptied: handles kept from an earlier start name nothing any more.
    g_HoverLabelWindow = g_MainMenuWindow = g_QuitDialog = g_CreditsWindow = -1;
    for (int32_t& b : g_MainMenuButtons)
        b = -1;
    for (int32_t& it : g_QuitItems)
        it = -1;
    // A builder that fails leaves its screen missing and start-up goes on.
    for (const Screen& s : kScreens)
        if (!s.build())
            std::fprintf(stderr, "Ghoulden: the %s screen could not be built\n", s.name);

    g_Match.halted = 0;
    g_DirectControl = 0;
    g_DirectControlSlot = -1;
    g_Options.levelMovies = 1;
    g_Options.edgeScroll = 1;
    const int32_t toggles = RND_GetBitDepth() == 8 ? 0 : 1;
    g_Options.fog = g_Options.worldLighting = g_Options.modelLighting = toggles;
    g_Options.displayMode = RND_IsHardwareDevice() && g_Rnd.hardwareAllowed ? 7 : 6;
    g_Options.cdMusic = 1;
    g_Options.volumeStep = SND_GetMasterVolume() / 6;

    CFG_LoadOptions();
    CFG_LoadNetOptions();
    CFG_SetDefaultKeys();
    KEY_LoadKeyMapAtStartup();
    FE_OpenKeyConfig();
    FE_ApplyKeyConfig();
    TXT_LoadTextFile();

    ResetTeamSlots();
    g_ChatTyping = 0;
    JoinLobbySession();

    g_Match.inLevel = 0;
    FE_EnterMainMenu();
    g_PointerKind = 1;
    if (g_LaunchedFromLobby)
        APP_EnterLobbyGame();
    g_FrontEndTick[0] = g_FrontEndTick[1] = GetTickCount();
    return 1;
}

int GUI_Tick() {
    TRC_Trace("GUI_Tick");
    if (g_LevelEndRequest.pending)
        LVL_RunPendingLevelEnd(g_LevelEndRequest.won, g_LevelEndRequest.value);
    if (g_PointerLife < 1)
        g_PointerKind = 0;
    if (g_Match.inLevel != 1) {
        g_FrontEndTick[0] = g_FrontEndTick[1];
        g_FrontEndTick[1] = GetTickCount();
        FE_Frame();
    } else {
        // The match clock starts with the first in-level step.
        if (g_MatchClock.start == -1) {
            g_MatchClock.start = g_MatchClock.lastRead = g_GameClock.nowMs;
            g_MatchClock.minutes = 0;
        }
        HUD_Frame();
    }
    return 1;
}

void GUI_Shutdown() {
    TRC_Trace("GUI_Shutdown");
    for (const Screen& s : kScreens)
        s.destroy();
    TXT_FreeTexts();
    IMG_FreeOutgameBitmaps();
    IMG_FreeLocationPictures();
}

void GUI_InitSoundIds() {
    TRC_Trace("GUI_InitSoundIds");
    static constexpr uint32_t kIndexes[GUI_SOUND_IDS] = {1, 2, SND_NO_SOUND, 3, 4, 5, 6};
    for (int i = 0; i < GUI_SOUND_IDS; ++i)
        g_GuiSoundIds[i] = kIndexes[i] == SND_NO_SOUND ? SND_NO_SOUND : SND_MakeId(0, kIndexes[i]);
}

void GUI_ClearSoundIds() {
    TRC_Trace("GUI_ClearSoundIds");
    for (uint32_t& id : g_GuiSoundIds)
        id = SND_NO_SOUND;
}

bool GUI_LaunchedByLobby() {
    const int mode = NET_GetMode();
    return mode == 3 || mode == 1;
}
