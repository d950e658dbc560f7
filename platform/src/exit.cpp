// Process exit: every exit of the game goes through ExitProcessNow, which tests can hook. The
// end-of-process chores (screenshot, temporary directory) run here and, for a plain return from
// main, in an atexit handler.
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "internal.h"

namespace plat {
namespace {
struct ExitState {
    std::mutex lock;
    ExitHook hook;
};
ExitState& S() {
    static ExitState* s = new ExitState; // never destroyed: used while the process ends
    return *s;
}

void EndOfProcessChores() {
    detail::WriteExitAudio();
    detail::WriteExitScreenshot();
    std::fflush(nullptr);
    detail::RemoveTempDirAtExit();
#if defined(PLATFORM_HAVE_SDL2)
    detail::SdlCloseWindow();
#endif
}

struct AtExitRegistration {
    AtExitRegistration() { std::atexit(EndOfProcessChores); }
} g_AtExitRegistration;
}  // namespace

void SetExitHook(ExitHook hook) {
    ExitState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    s.hook = std::move(hook);
}

void ExitProcessNow(int code) {
    ExitHook hook;
    {
        ExitState& s = S();
        std::lock_guard<std::mutex> guard(s.lock);
        hook = s.hook;
    }
    // A hook that throws takes over (tests); one that returns only observes, and the process
    // then ends as usual because callers rely on this call never returning.
    if (hook)
        hook(code);
    EndOfProcessChores();
    std::exit(code);
}

}  // namespace plat

PLATAPI void ExitProcess(UINT exitCode) {
    plat::ExitProcessNow(static_cast<int>(exitCode));
}
