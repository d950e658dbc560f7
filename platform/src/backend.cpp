// Backend selection and the frames the display layer presents: the PLATFORM_* settings, the
// last frame (for PLATFORM_SCREENSHOT and tests), the frame count, the virtual clock step, the
// input script and PLATFORM_FRAMES. Also ResetForTests, which returns all of it to the start.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "dinput.h"
#include "dsound.h"
#include "internal.h"
#include "mmsystem.h"
#include "plat_input.h"

namespace plat {
namespace detail {
namespace {
struct BackendState {
    std::mutex lock;
    bool configured = false;
    Config config;
    std::vector<uint32_t> lastFrame;
    int lastWidth = 0, lastHeight = 0;
    uint64_t frames = 0;
    bool closePosted = false;
    plat::FrameObserver observer;
};
BackendState& S() {
    static BackendState* s = new BackendState; // never destroyed: the exit screenshot reads it
    return *s;
}

const char* Env(const char* name) {
    const char* v = std::getenv(name);
    return (v && *v) ? v : nullptr;
}

Config ReadConfig() {
    Config c;
#if defined(PLATFORM_HAVE_SDL2)
    const bool haveSdl = true;
#else
    const bool haveSdl = false;
#endif
    const bool haveDisplay = Env("DISPLAY") || Env("WAYLAND_DISPLAY");
    c.backend = (haveSdl && haveDisplay) ? Backend::Sdl : Backend::Headless;
    if (const char* b = Env("PLATFORM_BACKEND")) {
        if (EqualNoCase(b, "headless")) {
            c.backend = Backend::Headless;
        } else if (EqualNoCase(b, "sdl")) {
            if (haveSdl) {
                c.backend = Backend::Sdl;
            } else {
                std::fprintf(stderr, "platform: built without SDL2; using the headless backend\n");
                c.backend = Backend::Headless;
            }
        } else {
            std::fprintf(stderr, "platform: unknown PLATFORM_BACKEND \"%s\" (headless or sdl)\n", b);
        }
    }
    if (const char* f = Env("PLATFORM_FRAMES")) {
        char* end = nullptr;
        errno = 0;
        unsigned long long n = std::strtoull(f, &end, 10);
        if (*f == '-' || end == f || *end != '\0' || errno != 0)
            std::fprintf(stderr, "platform: PLATFORM_FRAMES \"%s\" is not a frame count; ignored\n", f);
        else
            c.frameLimit = n;
    }
    if (const char* p = Env("PLATFORM_SCREENSHOT"))
        c.screenshotPath = p;
    if (const char* p = Env("PLATFORM_INPUT"))
        c.inputPath = p;
    return c;
}

// Called with the lock held.
void EnsureConfigured(BackendState& s) {
    if (s.configured)
        return;
    s.config = ReadConfig();
    s.configured = true;
    // The script is loaded outside this lock's concerns: it has its own.
    if (s.config.backend == Backend::Headless && !s.config.inputPath.empty())
        ScriptLoad(s.config.inputPath);
}
}  // namespace

const Config& GetConfig() {
    BackendState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    EnsureConfigured(s);
    return s.config;
}

void ReloadConfig() {
    BackendState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    s.configured = false;
    ScriptReset();
    EnsureConfigured(s);
}

void FallBackToHeadless() {
    BackendState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    EnsureConfigured(s);
    if (s.config.backend == Backend::Headless)
        return;
    std::fprintf(stderr, "platform: no SDL window could be opened; using the headless backend\n");
    s.config.backend = Backend::Headless;
    if (!s.config.inputPath.empty())
        ScriptLoad(s.config.inputPath);
}

void ResetFrames() {
    BackendState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    s.lastFrame.clear();
    s.lastWidth = s.lastHeight = 0;
    s.frames = 0;
    s.closePosted = false;
    s.observer = nullptr;
}

}  // namespace detail

using namespace detail;

Backend CurrentBackend() {
    return GetConfig().backend;
}

void PresentFrame(const uint32_t* xrgb, int width, int height) {
    const Config& config = GetConfig();
    BackendState& s = S();
    uint64_t frames;
    bool postClose = false;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (xrgb && width > 0 && height > 0) {
            s.lastFrame.assign(xrgb, xrgb + static_cast<size_t>(width) * static_cast<size_t>(height));
            s.lastWidth = width;
            s.lastHeight = height;
        }
        frames = ++s.frames;
        if (config.frameLimit != 0 && frames >= config.frameLimit && !s.closePosted) {
            s.closePosted = true;
            postClose = true;
        }
    }
#if defined(PLATFORM_HAVE_SDL2)
    if (config.backend == Backend::Sdl && xrgb && width > 0 && height > 0)
        SdlPresent(xrgb, width, height);
#endif
    FrameObserver observer;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        observer = s.observer;
    }
    if (observer && xrgb && width > 0 && height > 0)
        observer(xrgb, width, height, frames);
    if (config.backend == Backend::Headless) {
        ScriptPaceFrame();
        AdvanceVirtualTime(kHeadlessFrameMs);
        ScriptRunDue(frames);
    }
    if (postClose) {
        if (HWND main = MainWindow()) {
            PostToWindow(main, WM_CLOSE, 0, 0);
        } else {
            // No window to close yet: try again on the next frame.
            std::lock_guard<std::mutex> guard(s.lock);
            s.closePosted = false;
        }
    }
}

void SetFrameObserver(FrameObserver observer) {
    BackendState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    s.observer = std::move(observer);
}

uint64_t FrameCount() {
    BackendState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.frames;
}

bool InteractiveInput() {
    const Config& config = GetConfig();
    if (config.backend == Backend::Sdl)
        return true;
    return ScriptHasEvents();
}

bool LastFrame(const uint32_t** xrgb, int* width, int* height) {
    BackendState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.lastFrame.empty())
        return false;
    if (xrgb)
        *xrgb = s.lastFrame.data();
    if (width)
        *width = s.lastWidth;
    if (height)
        *height = s.lastHeight;
    return true;
}

void ResetForTests() {
    ResetWindows();
    ResetFrames();
    ResetClock();
    ResetInputState();
    ClearInput();
    DinputResetForTests();
    DsoundResetForTests();
    CdResetForTests();
    ResetScreenshot();
    srand(1);
    ReloadConfig();
}

}  // namespace plat
