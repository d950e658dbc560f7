// Interface core and front-end frame tests: the start values and screens of GUI_Init and the
// shutdown that leaves no window behind, the interface sound ids, the pointer life, the pause
// text and the chat cursor of GUI_Draw, the overlay eraser's bands, the main menu's entry with
// its music, the attract movie once the menu music has run out, and closing a screen by a press
// outside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/rnd_state.h"
#include "engine/rnd_trace.h"
#include "net/net.h"
#include "net/net_seam.h"
#include "net/net_state.h"
#include "plat.h"
#include "common/match.h"
#include "shell/cda.h"
#include "shell/inp.h"
#include "common/mem.h"
#include "shell/snd.h"
#include "shell/snd_device.h"
#include "ui/fe_screens.h"
#include "common/calltrace.h"
#include "ui/fe.h"
#include "ui/fe_credits.h"
#include "ui/fe_main_menu.h"
#include "ui/gui.h"
#include "ui/gui_toolkit.h"
#include "ui/hud.h"
#include "ui/txt.h"
#include "world/clk.h"

namespace {

using Calls = std::vector<std::string>;

struct GuiCore : ::testing::Test {
    void SetUp() override {
        setenv("PLATFORM_BACKEND", "headless", 1);
        unsetenv("PLATFORM_INPUT");
        plat::ResetForTests();
        dir_ = plat::TempDir() + "/gui_core";
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        MEM_ResetTracker();
        TXT_FreeTexts();
        TRC_ResetAll();
        TRC_TraceEnable(true);
        CDA_SetCallTrace([](const char* entry) { TRC_Trace(entry); });
        SND_SetCallTrace([](const char* entry) { TRC_Trace(entry); });
        RND_SetCallTrace([](const char* entry) { TRC_Trace(entry); });
        g_Match.inLevel = 0;
        g_Match.mpGameRunning = 0;
        g_Match.halted = 0;
        g_QuitModal = 0;
        g_MouseState = MouseState{};
        g_Options = GameOptions{};
        INP_SetMouseButton(0);
    }
    void TearDown() override {
        GUI_Shutdown();
        CDA_SetCallTrace(nullptr);
        SND_SetCallTrace(nullptr);
        RND_SetCallTrace(nullptr);
        TRC_ResetAll();
        INP_SetMouseButton(0);
        g_Match.inLevel = 0;
        g_Match.mpGameRunning = 0;
        g_Match.halted = 0;
        g_ChatTyping = 0;
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(dir_);
    }
    static Calls Matching(const std::string& prefix) {
        Calls out;
        for (const std::string& e : TRC_TraceLog())
            if (e.rfind(prefix, 0) == 0)
                out.push_back(e);
        return out;
    }
    static long Count(const std::string& entry) {
        const Calls& log = TRC_TraceLog();
        return std::count(log.begin(), log.end(), entry);
    }
    static void Frame(int x, int y, int button) {
        INP_SetMouseX(x);
        INP_SetMouseY(y);
        INP_SetMouseButton(button);
        FE_Frame();
    }
    static int WindowsInUse() {
        int n = 0;
        for (int w = 1; w < GUI_MAX_WINDOWS; ++w)
            n += g_GuiWindows[w].inUse ? 1 : 0;
        return n;
    }
    std::string dir_;
    std::filesystem::path previous_;
};

TEST_F(GuiCore, InitGivesTheStartValuesAndShutdownLeavesNoWindow) {
    g_Match.settings = MpGameSettings{6, 1, 3, 0, 9, 2, 1, 0, 15, 0};
    for (TeamSlot& t : g_TeamSlots) {
        t.blocked = 1;
        t.selected = 1;
        t.characterId = 40;
        std::fill(std::begin(t.carriedTypes), std::end(t.carriedTypes), 7);
    }
    g_PointerKind = 5;
    const DWORD before = GetTickCount();
    ASSERT_EQ(GUI_Init(nullptr), 1);

    const MpGameSettings& m = g_Match.settings;
    EXPECT_EQ((std::vector<int>{m.gameType, m.playerCount, m.modeA, m.modeB, m.level, m.extra, m.settingsSet,
                                m.fragLimit, m.timeLimit, m.traps}),
              (std::vector<int>{0, 7, 0, 1, 4, 0, 1, 10, 0, 1}))
        << "defaults, the settings-set flag unchanged";
    for (int i = 0; i < HUD_TEAM_SLOTS; ++i) {
        const TeamSlot& t = g_TeamSlots[i];
        EXPECT_EQ(t.characterId, i);
        EXPECT_EQ(t.blocked, 0);
        EXPECT_EQ(t.selected, 0);
        EXPECT_TRUE(std::all_of(std::begin(t.carriedTypes), std::end(t.carriedTypes), [](int v) { return v == -1; }));
    }
    EXPECT_EQ(g_Options.cdMusic, 1);
    EXPECT_EQ(g_Options.levelMovies, 1);
    EXPECT_EQ(g_Options.volumeStep, SND_GetMasterVolume() / 6);
    EXPECT_EQ(g_PointerKind, 1);
    EXPECT_EQ(g_Match.localSlot, -1);
    EXPECT_EQ(g_DirectControlSlot, -1);
    EXPECT_EQ(g_ChosenLevel, -1);
    EXPECT_STREQ(g_PlayerName, "Player");
    // The main menu shows; the quit dialog and the credits are built but closed; the hover label
    // is built.
    EXPECT_TRUE(GUI_IsWindowOpen(g_MainMenuWindow));
    EXPECT_FALSE(GUI_IsWindowOpen(g_QuitDialog));
    EXPECT_NE(g_CreditsWindow, -1);
    EXPECT_FALSE(GUI_IsWindowOpen(g_CreditsWindow));
    EXPECT_NE(g_HoverLabelWindow, -1);
    // The menu music starts and holds the frame for 1151 ms of the (virtual) clock.
    EXPECT_EQ(Count("CDA_PlayTrack(6,1)"), 1);
    EXPECT_GT(GetTickCount() - before, 1151u);
    EXPECT_EQ(g_FrontEndTick[0], GetTickCount());
    EXPECT_EQ(g_FrontEndTick[1], GetTickCount());

    GUI_Shutdown();
    EXPECT_EQ(WindowsInUse(), 0);
    EXPECT_EQ(g_MainMenuWindow, -1);
    EXPECT_EQ(g_HoverLabelWindow, -1);
}

// A lobby launch's transport: its join and player creation give what the case asks; the calls
// to start and stop the transport are recorded, and a restart is refused so no real back end
// starts.
int g_joinResult;
int g_playerSlot;
Calls g_netCalls;
int FakeJoin(int) { return g_joinResult; }
int FakeCreatePlayer(const char*) { return g_playerSlot; }
void FakeShutdown() {}
int RecordNetCall(const char* call, const char* args) {
    g_netCalls.push_back(std::string(call) + (args ? std::string("(") + args + ")" : ""));
    return std::strcmp(call, "NET_Init") != 0;
}

TEST_F(GuiCore, LobbyLaunchJoinsItsSessionOrFallsBackToDirectPlay) {
    NetBackend online{};
    online.shutdown = FakeShutdown;
    online.joinSession = FakeJoin;
    online.createPlayer = FakeCreatePlayer;
    NET_SetBackend(3, &online);
    struct Case { int join, slot; int32_t localSlot, joinState; Calls calls; } cases[] = {
        {1, 2, 2, 0, {}},
        {1, -1, -1, 0, {"NET_Shutdown", "NET_Init(cb7a0bc0,2,8)"}},
        {0, 2, -1, -1, {"NET_Shutdown", "NET_Init(cb7a0bc0,2,8)"}},
    };
    for (const Case& c : cases) {
        NET_SetCallObserver(nullptr);
        ASSERT_EQ(NET_Init(nullptr, kGhouldenGuid, 3, 8), 1);
        ASSERT_EQ(NET_GetMode(), 3);
        g_Match.settings = MpGameSettings{5, 7, 0, 0, 2, 0, 1, 10, 5, 1};
        g_joinResult = c.join;
        g_playerSlot = c.slot;
        g_netCalls.clear();
        NET_SetCallObserver(RecordNetCall);
        ASSERT_EQ(GUI_Init(nullptr), 1);
        EXPECT_EQ(g_Match.localSlot, c.localSlot) << c.join << "," << c.slot;
        EXPECT_EQ(g_LobbyJoinState, c.joinState) << c.join << "," << c.slot;
        EXPECT_EQ(g_netCalls, c.calls) << c.join << "," << c.slot;
        EXPECT_EQ(g_Match.settings.gameType, 5) << "a lobby launch keeps its settings";
        EXPECT_EQ(g_Match.settings.level, 2);
        GUI_Shutdown();
    }
    NET_SetCallObserver(nullptr);
    if (NET_GetMode() == 3)
        NET_Shutdown();
    NET_SetBackend(3, nullptr);
}

TEST_F(GuiCore, AStartAfterAnEarlierOneBuildsTheSameScreens) {
    ASSERT_EQ(GUI_Init(nullptr), 1);
    const int windows = WindowsInUse();
    const int32_t hover = g_HoverLabelWindow;
    ASSERT_EQ(GUI_Init(nullptr), 1);  // no shutdown in between
    EXPECT_EQ(WindowsInUse(), windows);
    EXPECT_EQ(g_HoverLabelWindow, hover);
    EXPECT_NE(g_HoverLabelWindow, g_MainMenuWindow);
    EXPECT_TRUE(GUI_IsWindowOpen(g_MainMenuWindow));
}

TEST_F(GuiCore, SoundIdsAreSetAndCleared) {
    GUI_InitSoundIds();
    EXPECT_EQ((std::vector<uint32_t>(std::begin(g_GuiSoundIds), std::end(g_GuiSoundIds))),
              (std::vector<uint32_t>{1, 2, SND_NO_SOUND, 3, 4, 5, 6}));
    GUI_ClearSoundIds();
    for (uint32_t id : g_GuiSoundIds)
        EXPECT_EQ(id, SND_NO_SOUND);
}

TEST_F(GuiCore, APointerKindLastsItsLifeThenReturnsToTheHand) {
    GUI_Reset();
    g_PointerKind = 3;
    g_PointerLife = 3;
    std::vector<int> kinds;
    for (int i = 0; i < 4; ++i) {
        GUI_Draw();
        kinds.push_back(g_PointerKind);
    }
    EXPECT_EQ(kinds, (std::vector<int>{3, 3, 0, 0}));
    EXPECT_EQ(g_PointerLife, 0);
}

TEST_F(GuiCore, PauseTextOnlyOverAHaltedSinglePlayerGame) {
    const char text[] = "[>menus]\nmm_pa=Held\n[<menus]\n";
    TXT_ParseBuffer(text, sizeof text - 1);
    GUI_Reset();
    struct Case { uint32_t halted, network; bool drawn; } cases[] = {
        {1, 0, true}, {0, 0, false}, {1, 1, false},
    };
    for (const Case& c : cases) {
        TRC_TraceClear();
        g_Match.halted = c.halted;
        g_Match.mpGameRunning = c.network;
        GUI_Draw();
        EXPECT_EQ(Count("FNT_DrawText(Held,320,50,1,3)"), c.drawn ? 1 : 0) << c.halted << c.network;
    }
}

TEST_F(GuiCore, ChatCursorFlipsEvery500MsOfTheGameClockInALevel) {
    GUI_Reset();
    g_Match.inLevel = 1;
    g_Match.mpGameRunning = 1;
    g_ChatTyping = 1;
    std::strcpy(g_ChatInput, "hi");
    g_ChatCursorOn = 1;
    g_ChatBlinkTimer = 0;
    g_GameClock.deltaMs = 300;
    std::vector<int> cursor;
    for (int i = 0; i < 5; ++i) {
        TRC_TraceClear();
        GUI_Draw();
        cursor.push_back(int(Matching("FNT_DrawText(_,").size()));
        EXPECT_EQ(Count("FNT_DrawText(hi,5,400,0,3)"), 1);
    }
    // 300 ms: on; 600: flips off and restarts; 300: off; 600: flips on; 300: on.
    EXPECT_EQ(cursor, (std::vector<int>{1, 0, 0, 1, 1}));
}

TEST_F(GuiCore, OverlayEraserClearsItsBandsInDisplayPixels) {
    struct Case { int width, height; const char* band; } cases[] = {
        {640, 480, "RND_ClearRect(0,0,640,128,"},
        {320, 240, "RND_ClearRect(0,0,320,64,"},
    };
    const float shownWidth = g_Rnd.screenWidth, shownHeight = g_Rnd.screenHeight;
    for (const Case& c : cases) {
        g_Rnd.screenWidth = float(c.width);
        g_Rnd.screenHeight = float(c.height);
        g_Match.inLevel = 0;
        g_HudMessageBand = 1;
        TRC_TraceClear();
        HUD_EraseOverlays();
        EXPECT_EQ(TRC_TraceLog(), Calls{"HUD_EraseOverlays"}) << "nothing outside a level";

        g_Match.inLevel = 1;
        g_OverlayFullClear = 1;
        TRC_TraceClear();
        HUD_EraseOverlays();
        EXPECT_EQ(Count("RND_ClearScreen"), 1);
        EXPECT_TRUE(Matching(c.band).empty()) << "a full clear covers the band";
        EXPECT_EQ(g_OverlayFullClear, 0);

        TRC_TraceClear();
        HUD_EraseOverlays();
        EXPECT_EQ(Count("RND_ClearScreen"), 0);
        EXPECT_EQ(Matching(c.band).size(), 1u) << c.width;
    }
    g_HudMessageBand = 0;
    g_Rnd.screenWidth = shownWidth;
    g_Rnd.screenHeight = shownHeight;
}

TEST_F(GuiCore, EnteringTheMainMenuClosesTheOtherScreensAndStartsTheMusic) {
    struct Case { int32_t cdMusic, chosenLevel; long stops, plays; bool held; } cases[] = {
        {1, -1, 1, 1, true}, {1, 15, 1, 0, false}, {1, 16, 1, 0, false}, {0, -1, 0, 0, false},
    };
    GUI_Reset();
    ASSERT_EQ(FE_BuildMainMenu(), 1);
    ASSERT_EQ(FE_BuildQuitDialog(), 1);
    ASSERT_EQ(FE_BuildCreditsWindow(), 1);
    for (const Case& c : cases) {
        GUI_CloseWindow(g_MainMenuWindow);
        GUI_OpenWindow(g_CreditsWindow);
        GUI_OpenWindow(g_QuitDialog);
        g_QuitModal = 1;
        g_Options.cdMusic = c.cdMusic;
        g_ChosenLevel = c.chosenLevel;
        TRC_TraceClear();
        const DWORD before = GetTickCount();
        EXPECT_EQ(FE_EnterMainMenu(), 1);
        EXPECT_TRUE(GUI_IsWindowOpen(g_MainMenuWindow));
        EXPECT_FALSE(GUI_IsWindowOpen(g_CreditsWindow));
        EXPECT_FALSE(GUI_IsWindowOpen(g_QuitDialog));
        EXPECT_EQ(g_QuitModal, 0);
        EXPECT_EQ(Count("CDA_Stop"), c.stops) << c.cdMusic << " " << c.chosenLevel;
        EXPECT_EQ(Count("CDA_PlayTrack(6,1)"), c.plays) << c.cdMusic << " " << c.chosenLevel;
        EXPECT_EQ(GetTickCount() - before > 1151u, c.held);
    }
    g_ChosenLevel = -1;
}

TEST_F(GuiCore, AttractMovieOnlyAfterTheMenuMusicRanOutWithMusicOn) {
    struct Case { int32_t cdMusic; uint32_t finished, network, menuOpen; long movies, plays; } cases[] = {
        {1, 1, 0, 1, 1, 2},  // the movie, the track again after it, and the menu's restart
        {1, 0, 0, 1, 0, 0},  // the track still plays
        {0, 1, 0, 1, 0, 0},  // no CD music: never
        {1, 1, 1, 1, 0, 1},  // a network game is being set up: only the music restarts
        {1, 1, 0, 0, 0, 0},  // another screen shows
    };
    GUI_Reset();
    ASSERT_EQ(FE_BuildMainMenu(), 1);
    for (const Case& c : cases) {
        if (c.menuOpen)
            GUI_OpenWindow(g_MainMenuWindow);
        else
            GUI_CloseWindow(g_MainMenuWindow);
        g_Options.cdMusic = c.cdMusic;
        g_Match.mpGameRunning = c.network;
        CDA_SetTrackFinished(c.finished);
        GUI_ClearSoundIds();
        g_MainMenuRedraw = 0;
        TRC_TraceClear();
        Frame(10, 10, 0);
        const std::string what = std::to_string(c.cdMusic) + std::to_string(c.finished) +
                                 std::to_string(c.network) + std::to_string(c.menuOpen);
        EXPECT_EQ(long(Matching("FMV_PlayMovie").size()), c.movies) << what;
        EXPECT_EQ(Count("CDA_PlayTrack(6,1)"), c.plays) << what;
        if (c.movies) {
            EXPECT_EQ(Count("SND_ShutdownDevice"), 1);
            EXPECT_EQ(Count("SND_InitDevice"), 1);
            EXPECT_EQ(g_GuiSoundIds[6], SND_MakeId(0, 6)) << "the interface sounds are back";
            EXPECT_EQ(g_MainMenuRedraw, 3);
        }
    }
    g_Match.mpGameRunning = 0;
    CDA_SetTrackFinished(0);
}

TEST_F(GuiCore, APressOutsideTheCreditsReturnsToTheirWindow) {
    GUI_Reset();
    ASSERT_EQ(FE_BuildMainMenu(), 1);
    ASSERT_EQ(FE_BuildCreditsWindow(), 1);
    GUI_CloseWindow(g_MainMenuWindow);
    GUI_OpenWindow(g_CreditsWindow);
    g_CreditsReturnWindow = g_MainMenuWindow;

    Frame(320, 240, 1);  // on the credits: they stay
    EXPECT_TRUE(GUI_IsWindowOpen(g_CreditsWindow));
    Frame(320, 240, 0);
    Frame(320, 20, 1);  // above them
    EXPECT_FALSE(GUI_IsWindowOpen(g_CreditsWindow));
    EXPECT_TRUE(GUI_IsWindowOpen(g_MainMenuWindow));
    EXPECT_EQ(g_CreditsReturnWindow, -1);
    EXPECT_EQ(INP_GetMouseButton(), 0) << "the press is used up";
}

TEST_F(GuiCore, QuitOverTheLevelMapReturnsToTheMapsWindowOrStays) {
    GUI_Reset();
    ASSERT_EQ(FE_BuildMainMenu(), 1);
    ASSERT_EQ(FE_BuildQuitDialog(), 1);
    // A full-screen window in the level map's place.
    g_LevelMapWindow = GUI_CreateWindow(GUI_SHAPE_RECT);
    GUI_SetWindowPos(g_LevelMapWindow, 320, 240);
    GUI_SetWindowSize(g_LevelMapWindow, 320, 240);
    struct Case { int x; bool yes; } cases[] = {{341, true}, {389, false}};
    for (const Case& c : cases) {
        GUI_CloseWindow(g_MainMenuWindow);
        GUI_OpenWindow(g_LevelMapWindow);
        g_LevelMapReturnWindow = g_MainMenuWindow;
        FE_SetLevelProgress(16, 1);
        FE_MainMenuExit();
        ASSERT_TRUE(GUI_IsWindowOpen(g_QuitDialog));
        Frame(c.x, 240, 0);
        Frame(c.x, 240, 1);
        EXPECT_FALSE(GUI_IsWindowOpen(g_QuitDialog));
        EXPECT_EQ(g_QuitModal, 0);
        EXPECT_EQ(g_QuitAnswer, c.yes ? 1 : 0);
        EXPECT_EQ(GUI_IsWindowOpen(g_LevelMapWindow), c.yes ? 0 : 1) << c.yes;
        EXPECT_EQ(GUI_IsWindowOpen(g_MainMenuWindow), c.yes ? 1 : 0) << c.yes;
        EXPECT_EQ(g_LevelMapReturnWindow, c.yes ? -1 : g_MainMenuWindow);
        EXPECT_EQ(FE_GetLevelProgress(16), c.yes ? 0 : 1) << "the escape-reached flag";
        Frame(c.x, 240, 0);
    }
    GUI_DestroyWindow(g_LevelMapWindow);
    g_LevelMapWindow = -1;
    g_LevelMapReturnWindow = -1;
}

}  // namespace
