// WinMain and the life of the program: the window, the fixed start-up order, the main loop with
// its guarded frame step, the window procedure and the shutdown sequence that every exit runs.
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "plat.h"
#include "movie/fmv.h"
#include "net/msg.h"
#include "net/net.h"
#include "app/app.h"
#include "shell/cda.h"
#include "engine/rnd_display.h"
#include "engine/rnd_bitmap.h"
#include "shell/inp.h"
#include "common/mem.h"
#include "common/muf.h"
#include "shell/snd.h"
#include "shell/snd_device.h"
#include "world/game_state.h"
#include "world/lvl.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"
#include "engine/rnd_texture_create.h"
#include "ui/gui.h"
#include "world/game_frame.h"

HWND g_MainWindow = nullptr;
uint32_t g_InFrame = 0;
uint32_t g_WasMinimised = 0;
uint32_t g_LevelLoaded = 0;
uint32_t g_LaunchedFromLobby = 0;
int32_t g_LaunchArgs[LAUNCH_ARG_COUNT] = {};
Bitmap* g_TitleBitmap = nullptr;
int32_t g_DisplayModeOption = 0;

namespace {
constexpr int kDesignWidth = 640, kDesignHeight = 480;
}  // namespace

int APP_GetScreenWidth() {
    return kDesignWidth;
}

int APP_GetScreenHeight() {
    return kDesignHeight;
}

void APP_SetDisplayModeOption(int mode) {
    g_DisplayModeOption = mode;
}

namespace {
constexpr char kWindowClass[] = "DirectXShell";
constexpr char kCaption[] = "Ghoulden";
constexpr char kIntroMovie[] = "graphics\\movies\\intro_01.avi";
constexpr char kTitlePicture[] = "graphics\\interface\\outgame\\backgrounds\\title.bmp";
// The system's icon cursor.
const LPCSTR kIconCursor = reinterpret_cast<LPCSTR>(uintptr_t(32641));
constexpr int kMaxPlayers = 8;
constexpr uint32_t kInterfaceSoundGroup = 0;

// A start-up step failed: say why on stderr and in the debug output, then shut down with code 1.
[[noreturn]] void APP_StartupFailed(const char* reason) {
    char text[256];
    std::snprintf(text, sizeof text, "Ghoulden: %s\n", reason);
    std::fputs(text, stderr);
    OutputDebugStringA(text);
    APP_ShutdownSequence(1);
}

void APP_CreateMainWindow(HINSTANCE instance, int showCommand) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = APP_WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, IDI_APPLICATION);
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorA(nullptr, kIconCursor);
    windowClass.hbrBackground = CreateSolidBrush(0);
    windowClass.lpszClassName = kWindowClass;
    const WORD atom = RegisterClassExA(&windowClass);
    DeleteObject(windowClass.hbrBackground);
    // Without the window there are no archives, display or tracked heap: nothing could run.
    if (!atom)
        APP_StartupFailed("the window class \"DirectXShell\" cannot be registered");
    g_MainWindow = CreateWindowExA(WS_EX_APPWINDOW, kWindowClass, kCaption, WS_POPUP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                                   nullptr);
    if (!g_MainWindow)
        APP_StartupFailed("the main window cannot be created");
    ShowWindow(g_MainWindow, showCommand);
}

// The files an install cannot run without: the main archive (from either copy), the default
// palette and the fallback texture. Without them the game would run its frames on a black screen
// with nothing to say why. Null when all are there, else the fatal message naming the file.
const char* APP_MissingInstallFile() {
    static char text[300];
    bool haveData = false;
    for (const MufArchive* a = g_MufArchives; a && !haveData; a = a->next) {
        const size_t length = std::strlen(a->path);
        haveData = length >= 8 && strcasecmp(a->path + length - 8, "data.muf") == 0;
    }
    if (!haveData) {
        std::snprintf(text, sizeof text, "Unable to open archive: %sdata.muf", g_TargetPath);
        return text;
    }
    // Only a whole palette gives every entry.
    const char* palette = DSP_GetPaletteFileName();
    bool wholePalette = false;
    if (palette[0]) {
        if (std::FILE* file = std::fopen(plat::ResolvePath(palette).c_str(), "rb")) {
            unsigned char bytes[DSP_PALETTE_ENTRIES * 3];
            wholePalette = std::fread(bytes, 1, sizeof bytes, file) == sizeof bytes;
            std::fclose(file);
        }
    }
    if (!wholePalette) {
        std::snprintf(text, sizeof text, "Unable to open palette: %s", palette[0] ? palette : "(none)");
        return text;
    }
    HANDLE texture = LoadImageA(nullptr, kRndDefaultTextureFile, IMAGE_BITMAP, 0, 0,
                                LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    if (!texture) {
        std::snprintf(text, sizeof text, "Unable to open texture: %s", kRndDefaultTextureFile);
        return text;
    }
    DeleteObject(texture);
    return nullptr;
}

// One frame that only begins, ends the scene and flips, with the title picture when there is one.
void APP_PlainFrame(Bitmap* picture) {
    RND_BeginFrame();
    RND_EndScene();
    if (picture) {
        DesignPoint origin = {0.0f, 0.0f};
        DSP_BlitBitmap(picture, &origin, APP_GetScreenWidth(), APP_GetScreenHeight());
    }
    RND_Flip();
}
}  // namespace

int WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    APP_ParseCommandLine(commandLine);
    APP_Startup(instance, showCommand);
    APP_MainLoop();
}

void APP_Startup(HINSTANCE instance, int showCommand) {
    APP_CreateMainWindow(instance, showCommand);
    const char* damagedArchive = MUF_Init();
    CDA_Open();
    MEM_ResetTracker();
    if (GAME_InitGraphics(g_MainWindow) != 0)
        APP_StartupFailed("the display cannot be started");

    // Both buffers black.
    const float black[3] = {0.0f, 0.0f, 0.0f};
    RND_SetBackgroundColour(black);
    APP_PlainFrame(nullptr);
    APP_PlainFrame(nullptr);

    // An archive that is there but cannot be read would leave the game without its data: say
    // which one on the fatal-error screen, now that there is a display to show it on.
    if (damagedArchive) {
        char text[600];
        std::snprintf(text, sizeof text, "Unable to open archive: %s", damagedArchive);
        APP_FatalErrorExit(text, 1);
    }
    if (const char* missing = APP_MissingInstallFile())
        APP_FatalErrorExit(missing, 1);

    // Input, sound-device and title failures are survivable: their results are not looked at.
    INP_Init(instance, g_MainWindow, APP_GetScreenWidth(), APP_GetScreenHeight());
    INP_AcquireMouse();
    INP_AcquireKeyboard();
    APP_SetDisplayModeOption(RND_IsHardwareDevice() ? 7 : 6);
    if (!g_LaunchedFromLobby)
        FMV_PlayMovie(kIntroMovie);

    g_TitleBitmap = DSP_LoadBitmap(MUF_ExtractToTemp(kTitlePicture));
    APP_PlainFrame(g_TitleBitmap);
    APP_PlainFrame(g_TitleBitmap);
    DSP_FreeBitmap(g_TitleBitmap);
    g_TitleBitmap = nullptr;

    SND_InitDevice(g_MainWindow);
    const int startMode = g_LaunchedFromLobby ? NET_START_ONLINE_FIRST : NET_MODE_DIRECTPLAY;
    if (!NET_Init(g_MainWindow, kGhouldenGuid, startMode, kMaxPlayers))
        APP_StartupFailed("the network cannot be started");
    if (!MSG_ResetNetState()) {
        LVL_UnloadLevel();
        APP_StartupFailed("the game-message state cannot be reset");
    }
    GUI_Init(g_MainWindow);
    SND_LoadGroup(kInterfaceSoundGroup);
    GUI_InitSoundIds();
}

void APP_MainLoop() {
    MSG message;
    for (;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&message, nullptr, 0, 0))
                break;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else {
            APP_RunIdlePass();
        }
    }
    APP_Shutdown();
}

void APP_RunIdlePass() {
    // A message loop nested inside a frame (a movie, a waiting screen) must not start another.
    if (g_InFrame)
        return;
    g_InFrame = 1;
    APP_FrameStep();
    g_InFrame = 0;
}

void APP_FrameStep() {
    if (IsIconic(g_MainWindow)) {
        // A network game keeps its session alive; a single-player game stands still.
        g_WasMinimised = 1;
        if (APP_IsMultiplayerGame()) {
            MSG_FrameUpdate();
            GAME_Frame();
        }
        return;
    }
    if (g_WasMinimised) {
        if (APP_IsLevelActive()) {
            APP_RefreshDirectControl(-1);
            g_WasMinimised = 0;
            GAME_Update();
            GAME_Frame();
            return;
        }
        APP_MarkMenusForRedraw();
    }
    g_WasMinimised = 0;
    GAME_Update();
    GAME_Frame();
}

LRESULT APP_WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        APP_Shutdown();
    case MM_MCINOTIFY:
        CDA_OnNotify(wParam);
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void APP_Shutdown() {
    APP_ShutdownSequence(0);
}

void APP_ShutdownSequence(int exitCode) {
    if (g_LevelLoaded)
        LVL_UnloadLevel();
    INP_Shutdown();
    GUI_Shutdown();
    GUI_ClearSoundIds();
    NET_Shutdown();
    MSG_Shutdown();
    SND_ReleaseGroup(kInterfaceSoundGroup);
    SND_ShutdownDevice();
    DSP_Release(g_MainWindow);
    MEM_FreeAll();
    CDA_Stop();
    CDA_Close();
    MUF_CloseAll();
    if (HWND window = g_MainWindow) {
        g_MainWindow = nullptr;
        DestroyWindow(window);
    }
    PostQuitMessage(0);
    ExitProcess(UINT(exitCode));
}
