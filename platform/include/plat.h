// What the platform stand-in offers beyond the Windows names: the 15-bit random generator, the
// exit hook, path resolution, the per-process temporary directory and the backend controls that
// tests use. Only the platform reads the PLATFORM_* environment variables.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#if defined(PLATFORM_BUILD)
#define PLATEXPORT __attribute__((visibility("default")))
#else
#define PLATEXPORT
#endif

namespace plat {

// The Windows runtime's generator: state = state * 214013 + 2531011, result bits 16..30
// (0..32767). Seed 1 gives 41, 18467, 6334, 26500, 19169.
constexpr int RAND_MAX15 = 32767;
PLATEXPORT int rand();
PLATEXPORT void srand(unsigned seed);

// Process exit. The hook, when set, is called first: a test hook throws to take over (the
// process goes on), a hook that returns only observes and the process then ends as without one.
// Without a hook: PLATFORM_SCREENSHOT is written, output is flushed, this process's temporary
// directory is removed and the process ends through std::exit(code).
using ExitHook = std::function<void(int code)>;
PLATEXPORT void SetExitHook(ExitHook hook);
[[noreturn]] PLATEXPORT void ExitProcessNow(int code);

// Resolves a game path ("graphics\Maps\Town.ZLM") against the current directory: backslashes
// become slashes and each component is matched without regard to case. Returns the existing
// path when found, else the path as spelled inside the deepest directory that exists.
PLATEXPORT std::string ResolvePath(const std::string& gamePath);

// A directory private to this process ($TMPDIR or /tmp), created on first use and removed at
// exit or by RemoveTempDir (the next TempDir makes a new one). A forked child shares its
// parent's directory and never removes it.
PLATEXPORT const std::string& TempDir();
PLATEXPORT void RemoveTempDir();

// Backend.
// PLATFORM_BACKEND=headless|sdl; by default sdl when DISPLAY or WAYLAND_DISPLAY is set and SDL2
// was built in, else headless. When no SDL window can be opened the platform carries on headless.
enum class Backend { Headless, Sdl };
PLATEXPORT Backend CurrentBackend();
// Milliseconds that virtual time advances per presented frame on the headless backend.
constexpr uint32_t kHeadlessFrameMs = 20;
// Called by the display layer each time a frame is shown (Flip): keeps the frame as 32-bit XRGB
// pixels for PLATFORM_SCREENSHOT and tests, shows it in the window on the sdl backend, counts
// it, steps virtual time, plays the due events of the input script and, after PLATFORM_FRAMES
// frames, posts WM_CLOSE to the window.
PLATEXPORT void PresentFrame(const uint32_t* xrgb, int width, int height);
PLATEXPORT uint64_t FrameCount();
// Called with each presented frame and its number (1 for the first), after it is counted and
// before the input script's events for it run; tools use it to write out the frames they show.
// Null removes it.
using FrameObserver = std::function<void(const uint32_t* xrgb, int width, int height, uint64_t frame)>;
PLATEXPORT void SetFrameObserver(FrameObserver observer);
// True when a person (or a script with events left) can still answer: the sdl backend, or the
// headless backend with an input script. Blocking screens that wait for the user end instead
// when this is false.
PLATEXPORT bool InteractiveInput();
// Test controls for the virtual clock.
PLATEXPORT void SetVirtualTime(uint32_t ms);
PLATEXPORT void AdvanceVirtualTime(uint32_t ms);

// The last presented frame (empty before the first), and a PNG writer.
PLATEXPORT bool LastFrame(const uint32_t** xrgb, int* width, int* height);
PLATEXPORT bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height);

// Resets the process-wide platform state for tests: message queue, windows and classes, virtual
// clock, frame count, last frame, input queue and script, the input, sound and CD devices' test
// settings (a playing CD stops), random seed (back to 1), and reads the PLATFORM_* environment
// variables again. The exit hook and the registry file stay as set.
PLATEXPORT void ResetForTests();

}  // namespace plat
