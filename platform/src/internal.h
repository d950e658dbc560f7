// Private interfaces between the platform's own source files: the process-wide state that the
// window layer, the backends, the clock and the exit path share. Not seen outside platform/.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "plat.h"
#include "win32.h"

namespace plat::detail {

// Settings read from the PLATFORM_* environment variables, on first use and again on every
// ResetForTests.
struct Config {
    Backend backend = Backend::Headless;
    uint64_t frameLimit = 0;    // PLATFORM_FRAMES; 0 = none
    std::string screenshotPath; // PLATFORM_SCREENSHOT; empty = none
    std::string inputPath;      // PLATFORM_INPUT; empty = none
};
const Config& GetConfig();
void ReloadConfig();
// The sdl backend could not open its window: carry on headless.
void FallBackToHeadless();

// Window layer (win32_window.cpp).
HWND MainWindow();                       // first created window still existing, or null
void PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void SetIconic(HWND window, bool iconic); // also posts WM_SIZE
void ResetWindows();

// Virtual clock (win32_misc.cpp).
uint32_t VirtualNow();
void ResetClock();

// Headless input script (backend_headless.cpp): loads PLATFORM_INPUT, plays the events that are
// due at the given frame count, and reports what is left.
void ScriptLoad(const std::string& path);
void ScriptRunDue(uint64_t frameCount);
bool ScriptHasEvents();
// With a pace set by the script, waits until the frame's real-time share has passed.
void ScriptPaceFrame();
// Plays the next pending events at once (used when a blocking wait would otherwise never end).
bool ScriptRunNext();
void ScriptReset();

// Mouse position kept for absolute coordinates of relative moves.
void ResetInputState();

// CD audio (mmsystem_cd.cpp): posts the completion of a play whose time is up. The message pump
// calls it before it looks at the queue.
void CdPoll();

// Presented frames (backend.cpp).
void ResetFrames();

// Screenshot at process end (screenshot.cpp): writes PLATFORM_SCREENSHOT once.
void WriteExitScreenshot();
void ResetScreenshot();

// Temporary directory removal at process end, only in the process that made it.
void RemoveTempDirAtExit();

// Audio output at process end (audio_out.cpp): closes the device and writes PLATFORM_AUDIO_OUT.
void WriteExitAudio();

#if defined(PLATFORM_HAVE_SDL2)
// SDL backend (backend_sdl.cpp).
bool SdlOpenWindow(const char* caption, int width, int height); // false: SDL unavailable
void SdlCloseWindow();
void SdlPresent(const uint32_t* xrgb, int width, int height);
// Pumps SDL events into the message queue and input queue; waits up to timeoutMs for one.
void SdlPump(int timeoutMs);
// Relative mouse mode (the cursor hidden and held in the window) while the game holds an
// exclusive mouse.
void SdlSetRelativeMouse(bool on);
#endif

// Run-time loading (win32_library.cpp): "VOX.DLL" -> "libvox.so"; the search starts beside
// the object that holds `caller`.
PLATEXPORT std::string LinuxLibraryName(const std::string& windowsName);
HMODULE LoadLibraryFrom(const char* name, const void* caller);

// SDL scan code (USB usage number) -> DirectInput scan code; 0 for keys the game does not use.
PLATEXPORT uint8_t DikFromSdlScancode(int scancode);

// Case-insensitive ASCII comparison used by class names, paths and registry keys.
bool EqualNoCase(const std::string& a, const std::string& b);

// GDI bitmaps and fonts (gdi_objects.cpp): DeleteObject's answer for one of them, -1 for
// anything else.
int GdiDeleteObject(void* object);

}  // namespace plat::detail
