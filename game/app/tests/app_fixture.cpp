// Shared set-up of the shell's tests (see app_fixture.h).
#include "engine/lnd_light.h"
#include "engine/rnd_trace.h"
#include "app_fixture.h"

#include <cstdlib>
#include <filesystem>

#include "datakit/bmp.h"
#include "datakit/bytes.h"
#include "datakit/muf_writer.h"
#include "datakit/palette.h"
#include "ddraw.h"
#include "plat.h"
#include "registry.h"
#include "app/app.h"
#include "shell/cda.h"
#include "engine/rnd_display.h"
#include "shell/inp.h"
#include "common/muf.h"
#include "shell/snd.h"
#include "world/lvl.h"
#include "testsupport/net_test_seam.h"
#include "common/calltrace.h"
#include "ui/gui.h"
#include "ui/hud.h"
#include "world/game_frame.h"

const std::vector<std::string> kShutdownCalls = {
    "INP_Shutdown",  "GUI_Shutdown",   "GUI_ClearSoundIds", "NET_Shutdown",
    "MSG_Shutdown",  "SND_ReleaseGroup(0x0)", "SND_ShutdownDevice", "DSP_Release",
    "CDA_Stop",      "CDA_Close",
};

void WriteMinimalInstall(const std::string& dir) {
    std::vector<uint8_t> archive;
    ASSERT_TRUE(dk::MufArchiveBytes({{"readme.txt", {'o', 'k'}}}, &archive));
    ASSERT_TRUE(dk::WriteFile(dir + "/data.muf", archive));
    dk::Palette palette{};
    ASSERT_TRUE(dk::WritePalette(dir + "/def_pal.bin", palette));
    ASSERT_TRUE(dk::WriteBmp24(dir + "/deftxtr.bmp", dk::Bmp24(8, 8)));
}

void ShellTest::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/')
            c = '_';  // parameterised test names
    dir_ = plat::TempDir() + "/" + name;
    std::filesystem::create_directories(dir_);
    WriteMinimalInstall(dir_);
    previousDir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);

    setenv("PLATFORM_BACKEND", "headless", 1);
    unsetenv("PLATFORM_FRAMES");
    unsetenv("PLATFORM_INPUT");
    unsetenv("PLATFORM_SCREENSHOT");
    plat::SetRegistryPath(dir_ + "/registry.ini");
    plat::ResetForTests();
    plat::SetExitHook([](int code) { throw ProcessExit{code}; });
    TRC_ResetAll();
    TRC_TraceEnable(true);
    NET_SetTestTransport(nullptr);
    // The input, sound and CD modules report their calls into the same trace.
    INP_SetCallTrace([](const char* entry) { TRC_Trace(entry); });
    SND_SetCallTrace([](const char* entry) { TRC_Trace(entry); });
    CDA_SetCallTrace([](const char* entry) { TRC_Trace(entry); });
    DSP_SetCallTrace([](const char* entry) { TRC_Trace(entry); });
    RND_SetCallTrace([](const char* entry) { TRC_Trace(entry); });
    LND_SetCallTrace([](const char* entry) { TRC_Trace(entry); });
    // The game frame reports its two steps into the same trace.
    GAME_SetCallTrace([](const char* entry) { TRC_Trace(entry); });

    g_MainWindow = nullptr;
    g_InFrame = 0;
    g_WasMinimised = 0;
    g_LevelLoaded = 0;
    g_LaunchedFromLobby = 0;
    for (int32_t& arg : g_LaunchArgs)
        arg = 0;
    g_TitleBitmap = nullptr;
    g_InFatalError = 0;
    g_Match.settings = {};
    g_Match.inLevel = 0;
    g_Match.halted = 0;
    g_Match.mpGameRunning = 0;
    g_Match.levelWon = 0;
    g_Match.levelFailed = 0;
    g_Match.levelEndTime = 0;
    g_Match.matchEnded = 0;
    g_Match.gameOver = 0;
    g_Match.localSlot = -1;
    g_LevelEndRequest = {0, 0, -1};
    g_GraphicsReady = 0;
}

void ShellTest::TearDown() {
    plat::SetExitHook(nullptr);
    TRC_ResetAll();
    NET_SetTestTransport(nullptr);
    MUF_CloseAll();
    unsetenv("PLATFORM_INPUT");
    plat::ResetForTests();
    plat::SetDisplayDrivers(plat::DefaultDisplayDrivers());
    std::error_code ec;
    std::filesystem::current_path(previousDir_, ec);
    std::filesystem::remove_all(dir_, ec);
}

int ShellTest::ExitCodeOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const ProcessExit& exit) {
        return exit.code;
    }
    ADD_FAILURE() << "the process did not end";
    return -1;
}

void ShellTest::UseInputScript(const std::string& script) {
    const std::string path = dir_ + "/input.txt";
    FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs(script.c_str(), file);
    std::fclose(file);
    setenv("PLATFORM_INPUT", path.c_str(), 1);
    plat::ResetForTests();
}

void ShellTest::CreateMainWindow() {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = APP_WindowProc;
    windowClass.lpszClassName = "DirectXShell";
    RegisterClassExA(&windowClass);  // may exist already from an earlier window of the test
    g_MainWindow = CreateWindowExA(WS_EX_APPWINDOW, "DirectXShell", "Ghoulden", WS_POPUP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr,
                                   nullptr);
    ASSERT_NE(g_MainWindow, nullptr);
}

namespace {
bool IsInterfacePictureLoad(const std::string& entry) {
    return entry.rfind("DSP_LoadBitmap(GRAPHICS\\INTERFACE\\", 0) == 0;
}
}  // namespace

std::vector<std::string> ShellTest::ShellTrace() {
    std::vector<std::string> out;
    for (const std::string& e : TRC_TraceLog())
        if (!IsInterfacePictureLoad(e))
            out.push_back(e);
    return out;
}

std::vector<std::string> ShellTest::InterfacePictureLoads() {
    std::vector<std::string> out;
    for (const std::string& e : TRC_TraceLog())
        if (IsInterfacePictureLoad(e))
            out.push_back(e);
    return out;
}

std::vector<std::string> ShellTest::TraceFrom(const std::string& from) {
    const std::vector<std::string> log = ShellTrace();
    for (size_t i = 0; i < log.size(); ++i)
        if (log[i] == from)
            return std::vector<std::string>(log.begin() + long(i), log.end());
    return {};
}
