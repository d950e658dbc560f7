// playmovie's work: a display in the asked mode over the platform's DirectDraw, a window and the
// game's input for the abort poll, optionally the CD music, then FMV_Play of the movie as the
// game plays it, with the presented frames written out by the platform's frame observer.
#include "playmovie.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "ddraw.h"
#include "engine/rnd_state.h"
#include "movie/fmv.h"
#include "plat.h"
#include "plat_input.h"
#include "shell/cda.h"
#include "shell/inp.h"
#include "win32.h"

namespace {
constexpr int kWidth = 640, kHeight = 480;
constexpr uint8_t kAbortScanCode = 0x39;  // space

bool ReadCount(const char* text, int* out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || v <= 0 || v > 1000000)
        return false;
    *out = int(v);
    return true;
}

LRESULT PlaymovieWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    return DefWindowProcA(window, message, w, l);
}

HWND CreatePlaymovieWindow() {
    // Registered on every run (a second registration fails harmlessly): tests reset the
    // platform's window classes between runs.
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = PlaymovieWindowProc;
    windowClass.lpszClassName = "playmovie";
    RegisterClassExA(&windowClass);
    HWND window = CreateWindowExA(0, "playmovie", "playmovie", WS_POPUP, 0, 0, kWidth, kHeight, nullptr, nullptr,
                                  nullptr, nullptr);
    if (window)
        ShowWindow(window, SW_SHOWDEFAULT);
    return window;
}
}  // namespace

bool PLM_ParseArgs(int argc, char** argv, PlaymovieOptions* options, std::string* error) {
    *options = PlaymovieOptions{};
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--mode" && hasValue) {
            const std::string m = argv[++i];
            if (m == "640x480x16") {
                options->bits = 16;
            } else if (m == "555") {
                options->bits = 16;
                options->rgb555 = true;
            } else if (m == "8") {
                options->bits = 8;
            } else {
                *error = "unknown mode \"" + m + "\" (640x480x16, 555 or 8)";
                return false;
            }
        } else if (a == "--cd-playing") {
            options->cdPlaying = true;
        } else if (a == "--key-at" && hasValue) {
            if (!ReadCount(argv[++i], &options->keyAt)) {
                *error = "--key-at takes a frame count";
                return false;
            }
        } else if (a == "--frames" && hasValue) {
            options->framesDir = argv[++i];
        } else if (!a.empty() && a[0] != '-' && options->movie.empty()) {
            options->movie = a;
        } else {
            *error = "unexpected argument \"" + a + "\"";
            return false;
        }
    }
    if (options->movie.empty()) {
        *error = "no movie given";
        return false;
    }
    return true;
}

bool PLM_Run(const PlaymovieOptions& options, FmvStats* stats) {
    plat::DisplayDriverSpec driver = plat::DefaultDisplayDrivers().front();
    driver.rgb555 = options.rgb555;
    plat::SetDisplayDrivers({driver});

    HWND window = CreatePlaymovieWindow();
    IDirectDraw* directDraw = nullptr;
    if (!window || DirectDrawCreate(nullptr, &directDraw, nullptr) != DD_OK || !directDraw)
        return false;
    IDirectDrawSurface3* primary = nullptr;
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    bool ready = directDraw->SetCooperativeLevel(window, DDSCL_NORMAL) == DD_OK &&
                 directDraw->SetDisplayMode(kWidth, kHeight, uint32_t(options.bits)) == DD_OK &&
                 directDraw->CreateSurface(&desc, &primary, nullptr) == DD_OK && primary;
    if (!ready) {
        directDraw->Release();
        DestroyWindow(window);
        return false;
    }
    const RndState saved = g_Rnd;
    g_Rnd.primary = primary;
    g_Rnd.hardwareDevice = 1;  // the hardware device's double-size blit, as the demo game has
    g_Rnd.screenWidth = float(kWidth);
    g_Rnd.screenHeight = float(kHeight);
    INP_Init(nullptr, window, kWidth, kHeight);
    INP_AcquireKeyboard();
    if (options.cdPlaying) {
        CDA_Open();
        CDA_PlayTrack(2, 0);
    }

    // Presented frames after the first (the screen the movie starts from) are the movie's.
    const uint64_t before = plat::FrameCount();
    bool keyPushed = false;
    plat::SetFrameObserver([&](const uint32_t* xrgb, int width, int height, uint64_t frame) {
        const uint64_t index = frame - before - 1;
        if (!options.framesDir.empty()) {
            char name[32];
            std::snprintf(name, sizeof name, "%04llu.png", static_cast<unsigned long long>(index));
            plat::WritePng((std::filesystem::path(options.framesDir) / name).string(), xrgb, width, height);
        }
        if (options.keyAt > 0 && !keyPushed && g_FmvStats.shown >= options.keyAt) {
            keyPushed = true;
            plat::InputEvent key;
            key.kind = plat::InputKind::KeyDown;
            key.scanCode = kAbortScanCode;
            plat::PushInput(key);
        }
    });
    if (!options.framesDir.empty())
        std::filesystem::create_directories(options.framesDir);

    FMV_PlayFile(options.movie.c_str());
    plat::SetFrameObserver(nullptr);
    if (stats)
        *stats = g_FmvStats;

    if (keyPushed) {
        plat::InputEvent up;
        up.kind = plat::InputKind::KeyUp;
        up.scanCode = kAbortScanCode;
        plat::PushInput(up);
        INP_Poll();
    }
    INP_Shutdown();
    if (options.cdPlaying) {
        CDA_Stop();
        CDA_Close();
    }
    g_Rnd = saved;
    primary->Release();
    directDraw->Release();
    DestroyWindow(window);
    return true;
}
