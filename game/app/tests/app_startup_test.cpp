// The life of the program: the start-up order, the lobby start, failed starts, the main loop and
// its guard, the window procedure, the frame step around minimise and restore, and the shutdown
// order. The stand-ins record every call; the real archive layer and tracked heap are checked
// from inside the recorded calls.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "datakit/bmp.h"
#include "datakit/bytes.h"
#include "datakit/muf_writer.h"
#include "ddraw.h"
#include "plat.h"
#include "app/app.h"
#include "common/mem.h"
#include "common/muf.h"
#include "common/calltrace.h"
#include "ui/gui.h"

namespace {
using Calls = std::vector<std::string>;

Calls Concat(Calls a, const Calls& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

bool Recorded(const std::string& call) {
    const auto& log = TRC_TraceLog();
    return std::find(log.begin(), log.end(), call) != log.end();
}

// A front-end frame draws only the interface; a level frame before the display is ready draws
// nothing at all.
const Calls kFrontEndFrame = {"GAME_Frame", "RND_SetBackgroundColour(null)", "RND_BeginFrame", "RND_EndScene",
                              "GUI_Draw", "RND_Flip"};
const Calls kLevelFrameNotReady = {"GAME_Frame"};
const Calls kFirstFrame = Concat({"GAME_Update", "INP_Poll", "GUI_Tick"}, kFrontEndFrame);

// GAME_InitGraphics: the display made, the mode probe, the display made again, the view.
const Calls kGraphicsStart = {
    "GAME_InitGraphics", "RND_SetHardwareAllowed(1)", "RND_InitDisplay",
    "RND_SetClipRectRaw(0,0,640,480)", "RND_BeginFrame", "RND_FlushBatch", "RND_BeginFrame", "RND_FlushBatch",
    "APP_ProbeDisplayModes", "DSP_Release", "RND_SetHardwareAllowed(1)",
    "RND_SetClipRectRaw(0,0,640,480)", "RND_BeginFrame", "RND_FlushBatch", "RND_BeginFrame", "RND_FlushBatch",
    "LND_ResetView", "LND_SetDynamicLighting(1)", "LND_SetAmbientLight(0.1,0.1,0.1,0)",
    "RND_SetBackgroundColour(null)", "LND_SetViewProjection(100.0,2500.0,2500.0,0.6283,0.4712)",
    "APP_SetDisplayMode(7,1)", "CAM_Reset",
};

const Calls kStartupWithTitle = Concat(Concat({"CDA_Open"}, kGraphicsStart), {
    "RND_SetBackgroundColour(0x000000)",
    "RND_BeginFrame", "RND_EndScene", "RND_Flip",
    "RND_BeginFrame", "RND_EndScene", "RND_Flip",
    "INP_Init(640,480)", "INP_AcquireMouse", "INP_AcquireKeyboard",
    "FMV_PlayMovie(movies\\intro_01.avi)", "CDA_Stop",
    "DSP_LoadBitmap(graphics\\interface\\outgame\\backgrounds\\title.bmp)",
    "RND_BeginFrame", "RND_EndScene", "DSP_BlitBitmap(0,0,640,480)", "RND_Flip",
    "RND_BeginFrame", "RND_EndScene", "DSP_BlitBitmap(0,0,640,480)", "RND_Flip",
    "DSP_FreeBitmap(bitmap)",
    "SND_InitDevice",
    "NET_Init(cb7a0bc0,2,8)",
    "MSG_ResetNetState",
    "GUI_Init", "CFG_LoadOptions", "CFG_LoadNetOptions", "CFG_SetDefaultKeys",
    "RND_SetClipRectRaw(0,0,640,480)", "CDA_Stop", "CDA_PlayTrack(6,1)",
    "SND_LoadGroup(0x0)", "GUI_InitSoundIds",
});

int RunWinMain(std::string commandLine) {
    try {
        WinMain(nullptr, nullptr, commandLine.data(), SW_SHOWDEFAULT);
    } catch (const ProcessExit& exit) {
        return exit.code;
    }
    ADD_FAILURE() << "WinMain returned";
    return -1;
}

// Closes the window at the end of the first frame of the main loop.
void CloseAfterFirstFrame() {
    TRC_SetCallHook([](const std::string& call) {
        if (call == "GAME_Frame")
            PostMessageA(g_MainWindow, WM_CLOSE, 0, 0);
    });
}

// Runs in a directory and goes back when the test ends.
struct WorkingDirectory {
    explicit WorkingDirectory(const std::string& dir) : previous(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~WorkingDirectory() { std::filesystem::current_path(previous); }
    std::filesystem::path previous;
};
}  // namespace

TEST_F(ShellTest, StartsAndShutsDownInOrder) {
    // A title picture on disk, so that it is shown: one colour that 5-6-5 keeps exactly.
    dk::Bmp8 title(640, 480);
    title.palette[1] = {0x84, 0x82, 0x84};
    std::fill(title.pixels.begin(), title.pixels.end(), uint8_t(1));
    ASSERT_TRUE(dk::WriteBmp8(dir_ + "/graphics/interface/outgame/backgrounds/title.bmp", title));
    WorkingDirectory cwd(dir_);

    // The archive layer and the tracked heap are real: where they run is checked from inside the
    // neighbouring calls.
    MEM_ResetTracker();
    ASSERT_NE(MEM_Alloc(16, MEM_TAG_TEXT), nullptr);
    bool inShutdown = false;
    HWND window = nullptr;
    int checks = 0;
    TRC_SetCallHook([&](const std::string& call) {
        if (call == "CDA_Open") {
            EXPECT_EQ(g_MufReady, 1) << "MUF_Init runs before CDA_Open";
            EXPECT_NE(g_MemHead, nullptr) << "the tracker is reset after CDA_Open";
            window = g_MainWindow;
            EXPECT_TRUE(IsWindow(window)) << "the window exists before the archives open";
            ++checks;
        } else if (call == "GAME_InitGraphics") {
            EXPECT_EQ(g_MemHead, nullptr) << "MEM_ResetTracker runs before GAME_InitGraphics";
            ++checks;
        } else if (call == "GAME_Frame") {
            PostMessageA(g_MainWindow, WM_CLOSE, 0, 0);
        } else if (call == "INP_Shutdown") {
            inShutdown = true;
        } else if (call == "SND_InitDevice") {
            const uint32_t* frame = nullptr;
            int width = 0, height = 0;
            ASSERT_TRUE(plat::LastFrame(&frame, &width, &height));
            EXPECT_EQ(frame[size_t(240 * width + 320)], 0x848284u) << "the title picture was shown";
            ++checks;
        } else if (call == "DSP_Release" && inShutdown) {
            EXPECT_NE(MEM_Alloc(8, MEM_TAG_TEXT), nullptr);
            ++checks;
        } else if (call == "CDA_Stop" && inShutdown) {
            EXPECT_EQ(g_MemHead, nullptr) << "MEM_FreeAll runs between DSP_Release and CDA_Stop";
            ++checks;
        } else if (call == "CDA_Close") {
            EXPECT_EQ(g_MufReady, 1) << "MUF_CloseAll comes after CDA_Close";
            EXPECT_TRUE(IsWindow(window)) << "the window goes last";
            ++checks;
        }
    });

    EXPECT_EQ(RunWinMain(""), 0);
    EXPECT_EQ(ShellTrace(), Concat(Concat(kStartupWithTitle, kFirstFrame), kShutdownCalls));
    // The interface loads its pictures in one run inside GUI_Init, after the default keys and the
    // main menu's clip rectangle, before the menu music starts.
    const Calls pictures = InterfacePictureLoads();
    const auto& log = TRC_TraceLog();
    const auto keys = std::find(log.begin(), log.end(), "CFG_SetDefaultKeys");
    ASSERT_NE(keys, log.end());
    ASSERT_GE(size_t(log.end() - keys), pictures.size() + 3);
    EXPECT_EQ(*(keys + 1), "RND_SetClipRectRaw(0,0,640,480)");
    EXPECT_EQ(Calls(keys + 2, keys + 2 + long(pictures.size())), pictures);
    EXPECT_EQ(*(keys + 2 + long(pictures.size())), "CDA_Stop");
    ASSERT_FALSE(pictures.empty());
    EXPECT_EQ(pictures.front(), "DSP_LoadBitmap(GRAPHICS\\INTERFACE\\OUTGAME\\BACKGROUNDS\\LOADING.BMP)");
    EXPECT_NE(std::find(pictures.begin(), pictures.end(),
                        "DSP_LoadBitmap(GRAPHICS\\INTERFACE\\OUTGAME\\BACKGROUNDS\\MENUBACK.BMP)"),
              pictures.end());
    EXPECT_EQ(checks, 6);
    EXPECT_EQ(g_MufReady, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(g_MainWindow, nullptr);
}

TEST_F(ShellTest, WithoutTitlePictureStartsAllTheSame) {
    CloseAfterFirstFrame();
    EXPECT_EQ(RunWinMain(""), 0);
    const Calls titleFrames = {"DSP_LoadBitmap(graphics\\interface\\outgame\\backgrounds\\title.bmp)",
                               "RND_BeginFrame", "RND_EndScene", "RND_Flip",
                               "RND_BeginFrame", "RND_EndScene", "RND_Flip",
                               "DSP_FreeBitmap(null)", "SND_InitDevice"};
    const Calls fromTitle = TraceFrom(titleFrames.front());
    ASSERT_GE(fromTitle.size(), titleFrames.size());
    EXPECT_EQ(Calls(fromTitle.begin(), fromTitle.begin() + long(titleFrames.size())), titleFrames);
    EXPECT_TRUE(Recorded("GUI_InitSoundIds"));
}

TEST_F(ShellTest, LobbyLaunchSkipsTheMovieAndStartsOnlineFirst) {
    CloseAfterFirstFrame();
    EXPECT_EQ(RunWinMain(" /torvane /type 5 /players 3 /level 2 /fraglimit 10 /timelimit 5 /traps 1"), 0);
    EXPECT_FALSE(Recorded("FMV_PlayMovie(movies\\intro_01.avi)"));
    EXPECT_TRUE(Recorded("NET_Init(cb7a0bc0,0,8)"));
    const Calls fromGui = TraceFrom("GUI_Init");
    ASSERT_GE(fromGui.size(), 8u);
    EXPECT_EQ(fromGui[7], "APP_EnterLobbyGame");
    EXPECT_EQ(g_Match.settings.gameType, 5);
    EXPECT_EQ(g_Match.settings.playerCount, 7);
    EXPECT_EQ(g_Match.settings.level, 2);
}

TEST_F(ShellTest, PlainLaunchPlaysTheIntroAndStartsDirectPlay) {
    CloseAfterFirstFrame();
    EXPECT_EQ(RunWinMain("/TYPE 5"), 0);
    EXPECT_TRUE(Recorded("FMV_PlayMovie(movies\\intro_01.avi)"));
    EXPECT_TRUE(Recorded("NET_Init(cb7a0bc0,2,8)"));
    EXPECT_FALSE(Recorded("APP_EnterLobbyGame"));
}

// An archive that is there but cannot be opened (a folder, a cut file) ends the start on the
// fatal-error screen, naming the file, with code 1, before input, sound, network or interface
// start.
class DamagedArchive : public ShellTest {
protected:
    void ExpectTheStartStops() {
        WorkingDirectory cwd(dir_);
        CloseAfterFirstFrame();  // should the start go on, the game still ends
        ::testing::internal::CaptureStderr();
        const int code = RunWinMain("");
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(code, 1);
        EXPECT_NE(err.find("FATAL ERROR: Unable to open archive: data.muf"), std::string::npos) << err;
        EXPECT_FALSE(Recorded("INP_Init(640,480)"));
        EXPECT_FALSE(Recorded("GUI_Init"));
        EXPECT_EQ(TraceFrom("INP_Shutdown"), kShutdownCalls);
        EXPECT_EQ(g_MainWindow, nullptr);
    }
};

TEST_F(DamagedArchive, AFolderEndsTheStartOnTheFatalScreen) {
    std::filesystem::remove(dir_ + "/data.muf");
    std::filesystem::create_directories(dir_ + "/data.muf");
    ExpectTheStartStops();
}

TEST_F(DamagedArchive, ACutFileEndsTheStartOnTheFatalScreen) {
    ASSERT_TRUE(dk::WriteFile(dir_ + "/data.muf", {3, 0, 0}));
    ExpectTheStartStops();
}

// The same damaged copy with a good one on the install source: the game starts from that one.
TEST_F(DamagedArchive, AGoodCopyOnTheInstallSourceStarts) {
    std::filesystem::remove(dir_ + "/data.muf");
    std::filesystem::create_directories(dir_ + "/data.muf");
    std::vector<uint8_t> archive;
    ASSERT_TRUE(dk::MufArchiveBytes({{"readme.txt", {'o', 'k'}}}, &archive));
    ASSERT_TRUE(dk::WriteFile(dir_ + "/pdata/data.muf", archive));
    WorkingDirectory cwd(dir_);
    CloseAfterFirstFrame();
    EXPECT_EQ(RunWinMain(""), 0);
    EXPECT_TRUE(Recorded("GUI_InitSoundIds"));
}

// A file the install cannot run without that is missing or unusable ends the start in the same
// way, naming the file; the archive may come from either copy.
struct MissingInstallFile {
    const char* name;
    void (*damage)(const std::string& dir);
    const char* message;  // expected on stderr; null when the game starts
};

void PrintTo(const MissingInstallFile& c, std::ostream* os) {
    *os << c.name;
}

class MissingInstallFileTest : public ShellTest, public ::testing::WithParamInterface<MissingInstallFile> {};

TEST_P(MissingInstallFileTest, EndsTheStartNamingTheFile) {
    GetParam().damage(dir_);
    CloseAfterFirstFrame();
    ::testing::internal::CaptureStderr();
    const int code = RunWinMain("");
    const std::string err = ::testing::internal::GetCapturedStderr();
    if (!GetParam().message) {
        EXPECT_EQ(code, 0) << err;
        EXPECT_TRUE(Recorded("GUI_InitSoundIds"));
        return;
    }
    EXPECT_EQ(code, 1);
    EXPECT_NE(err.find(std::string("FATAL ERROR: ") + GetParam().message), std::string::npos) << err;
    EXPECT_FALSE(Recorded("INP_Init(640,480)"));
    EXPECT_EQ(TraceFrom("INP_Shutdown"), kShutdownCalls);
}

INSTANTIATE_TEST_SUITE_P(
    Files, MissingInstallFileTest,
    ::testing::Values(
        MissingInstallFile{"NoArchiveAtAll",
                           [](const std::string& d) { std::filesystem::remove(d + "/data.muf"); },
                           "Unable to open archive: data.muf"},
        MissingInstallFile{"OnlyOtherArchives",
                           [](const std::string& d) {
                               std::filesystem::rename(d + "/data.muf", d + "/sounds.muf");
                           },
                           "Unable to open archive: data.muf"},
        MissingInstallFile{"ArchiveOnTheInstallSource",
                           [](const std::string& d) {
                               std::filesystem::create_directories(d + "/pdata");
                               std::filesystem::rename(d + "/data.muf", d + "/pdata/data.muf");
                           },
                           nullptr},
        MissingInstallFile{"NoPalette", [](const std::string& d) { std::filesystem::remove(d + "/def_pal.bin"); },
                           "Unable to open palette: def_pal.bin"},
        MissingInstallFile{"ShortPalette",
                           [](const std::string& d) {
                               ASSERT_TRUE(dk::WriteFile(d + "/def_pal.bin", std::vector<uint8_t>(767, 0)));
                           },
                           "Unable to open palette: def_pal.bin"},
        MissingInstallFile{"NoFallbackTexture",
                           [](const std::string& d) { std::filesystem::remove(d + "/deftxtr.bmp"); },
                           "Unable to open texture: deftxtr.bmp"},
        MissingInstallFile{"FallbackTextureNotAPicture",
                           [](const std::string& d) { ASSERT_TRUE(dk::WriteFile(d + "/deftxtr.bmp", {'B', 'M', 1})); },
                           "Unable to open texture: deftxtr.bmp"}),
    [](const ::testing::TestParamInfo<MissingInstallFile>& info) { return std::string(info.param.name); });

struct FailedStart {
    const char* step;
    int result;
    const char* reason;
    Calls lastStartupCalls;  // what runs from the failing step up to the shutdown sequence
    void (*arrange)() = nullptr;  // makes a real step fail (a stand-in fails through its result)
};

void PrintTo(const FailedStart& c, std::ostream* os) {
    *os << c.step;
}

class StartupFailureTest : public ShellTest, public ::testing::WithParamInterface<FailedStart> {};

TEST_P(StartupFailureTest, ReportsRunsTheShutdownAndExitsWithOne) {
    const FailedStart& c = GetParam();
    TRC_SetResult(c.step, c.result);
    if (c.arrange)
        c.arrange();
    ::testing::internal::CaptureStderr();
    const int code = RunWinMain("");
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, 1);
    EXPECT_NE(err.find(std::string("Ghoulden: ") + c.reason), std::string::npos) << err;
    EXPECT_EQ(TraceFrom(c.lastStartupCalls.front()), Concat(c.lastStartupCalls, kShutdownCalls));
    EXPECT_FALSE(Recorded("GUI_Init"));
    EXPECT_EQ(g_MainWindow, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, StartupFailureTest,
    ::testing::Values(
        FailedStart{"RND_InitDisplay", 0, "the display cannot be started",
                    {"GAME_InitGraphics", "RND_SetHardwareAllowed(1)", "RND_InitDisplay"},
                    [] { plat::SetDisplayDrivers({}); }},
        FailedStart{"NET_Init", 0, "the network cannot be started", {"NET_Init(cb7a0bc0,2,8)"}},
        FailedStart{"MSG_ResetNetState", 0, "the game-message state cannot be reset",
                    {"MSG_ResetNetState", "LVL_UnloadLevel"}}));

TEST_F(ShellTest, UnregistrableWindowClassIsAFailedStart) {
    CreateMainWindow();  // takes the class name first
    g_MainWindow = nullptr;
    ::testing::internal::CaptureStderr();
    const int code = RunWinMain("");
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, 1);
    EXPECT_NE(err.find("Ghoulden: the window class \"DirectXShell\" cannot be registered"), std::string::npos);
    EXPECT_EQ(TRC_TraceLog(), kShutdownCalls) << "no archives, CD, heap or display were started";
}

TEST_F(ShellTest, ShutdownUnloadsALoadedLevelFirstAndDestroysTheWindow) {
    CreateMainWindow();
    HWND window = g_MainWindow;
    g_LevelLoaded = 1;
    EXPECT_EQ(ExitCodeOf([] { APP_Shutdown(); }), 0);
    EXPECT_EQ(TRC_TraceLog(), Concat({"LVL_UnloadLevel", "SND_StopAllEmitters", "EXP_FreeAll", "SND_ReleaseGroup(0x10000)",
                                      "AI_Shutdown"},
                                     kShutdownCalls));
    EXPECT_EQ(g_LevelLoaded, 0u);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(ShellTest, MainLoopRunsNoFrameInsideAFrame) {
    CreateMainWindow();
    int frames = 0;
    bool nested = false;
    TRC_SetCallHook([&](const std::string& call) {
        if (call != "GAME_Frame" || nested)
            return;
        ++frames;
        EXPECT_EQ(g_InFrame, 1u);
        // A message loop nested in the frame tries an idle pass: nothing may run.
        const size_t before = TRC_TraceLog().size();
        nested = true;
        APP_RunIdlePass();
        nested = false;
        EXPECT_EQ(TRC_TraceLog().size(), before);
        if (frames == 2)
            PostMessageA(g_MainWindow, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(ExitCodeOf([] { APP_MainLoop(); }), 0);
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(g_InFrame, 0u);
    EXPECT_EQ(TRC_TraceLog(), Concat(Concat(kFirstFrame, kFirstFrame), kShutdownCalls));
}

TEST_F(ShellTest, MainLoopDispatchesMessagesBeforeFramesAndEndsAtQuit) {
    CreateMainWindow();
    PostMessageA(g_MainWindow, MM_MCINOTIFY, 1, 0);
    PostMessageA(g_MainWindow, WM_USER, 0, 0);
    CloseAfterFirstFrame();
    EXPECT_EQ(ExitCodeOf([] { APP_MainLoop(); }), 0);
    EXPECT_EQ(TRC_TraceLog(), Concat(Concat({"CDA_OnNotify(1)"}, kFirstFrame), kShutdownCalls));

    TRC_TraceClear();
    CreateMainWindow();
    PostQuitMessage(0);
    EXPECT_EQ(ExitCodeOf([] { APP_MainLoop(); }), 0);
    EXPECT_EQ(TRC_TraceLog(), kShutdownCalls) << "WM_QUIT ends the loop before any frame";
}

struct MinimiseCase {
    const char* name;
    uint32_t multiplayer;
    uint32_t inLevel;
    Calls whileMinimised;
    Calls firstAfterRestore;
};

void PrintTo(const MinimiseCase& c, std::ostream* os) {
    *os << c.name;
}

class FrameStepTest : public ShellTest, public ::testing::WithParamInterface<MinimiseCase> {};

TEST_P(FrameStepTest, MinimiseAndRestore) {
    const MinimiseCase& c = GetParam();
    UseInputScript("2 restore\n");  // the frame after the plain step brings the window back
    CreateMainWindow();
    g_Match.mpGameRunning = c.multiplayer;
    g_Match.inLevel = c.inLevel;
    const Calls frame = c.inLevel ? kLevelFrameNotReady : kFrontEndFrame;
    const Calls update = c.multiplayer ? Concat({"GAME_Update", "INP_Poll", "MSG_FrameUpdate", "GUI_Tick"}, frame)
                                       : Concat({"GAME_Update", "INP_Poll", "GUI_Tick"}, frame);

    TRC_TraceClear();
    APP_FrameStep();
    EXPECT_EQ(TRC_TraceLog(), update) << "a plain step";

    ShowWindow(g_MainWindow, SW_SHOWMINIMIZED);
    TRC_TraceClear();
    APP_FrameStep();
    EXPECT_EQ(TRC_TraceLog(), c.whileMinimised);
    EXPECT_EQ(g_WasMinimised, 1u);

    // Time goes on outside the game until the window comes back.
    static const std::vector<uint32_t> black(640 * 480, 0);
    for (int i = 0; i < 3 && IsIconic(g_MainWindow); ++i)
        plat::PresentFrame(black.data(), 640, 480);
    ASSERT_FALSE(IsIconic(g_MainWindow));

    TRC_TraceClear();
    APP_FrameStep();
    EXPECT_EQ(TRC_TraceLog(), c.firstAfterRestore);
    EXPECT_EQ(g_WasMinimised, 0u);

    TRC_TraceClear();
    APP_FrameStep();
    EXPECT_EQ(TRC_TraceLog(), update) << "back to plain steps";
}

const Calls kNetworkUpdate = {"GAME_Update", "INP_Poll", "MSG_FrameUpdate", "GUI_Tick"};

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameStepTest,
    ::testing::Values(
        MinimiseCase{"SinglePlayerMenus", 0, 0, {}, Concat({"APP_MarkMenusForRedraw"}, kFirstFrame)},
        MinimiseCase{"SinglePlayerLevel", 0, 1, {},
                     Concat({"APP_RefreshDirectControl(-1)", "GAME_Update", "INP_Poll", "GUI_Tick"}, kLevelFrameNotReady)},
        MinimiseCase{"NetworkMenus", 1, 0, Concat({"MSG_FrameUpdate", "GUI_Tick"}, kFrontEndFrame),
                     Concat(Concat({"APP_MarkMenusForRedraw"}, kNetworkUpdate), kFrontEndFrame)},
        MinimiseCase{"NetworkLevel", 1, 1, Concat({"MSG_FrameUpdate", "GUI_Tick"}, kLevelFrameNotReady),
                     Concat(Concat({"APP_RefreshDirectControl(-1)"}, kNetworkUpdate), kLevelFrameNotReady)}),
    [](const ::testing::TestParamInfo<MinimiseCase>& info) { return std::string(info.param.name); });
