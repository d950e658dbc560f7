// Sounds: the input is an .aud file, loaded into a sound buffer as a sound group entry is, then
// played once (mixed into the platform's audio output) and released.
#include <cstdlib>

#include "audio_out.h"
#include "common/app_services.h"
#include "common/muf.h"
#include "dsound.h"
#include "common/mem.h"
#include "fuzz_support.h"
#include "registry.h"
#include "shell/snd.h"
#include "shell/snd_device.h"
#include "win32.h"

namespace {
LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

bool Setup() {
    setenv("PLATFORM_BACKEND", "headless", 1);
    unsetenv("PLATFORM_AUDIO_OUT");
    plat::SetRegistryPath(fz::Scratch() + "/registry.ini");
    plat::ResetForTests();
    plat::SetVirtualTime(1000);
    plat::AudioOutResetForTests(false);
    MEM_ResetTracker();
    WNDCLASSEXA cls = {};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = Proc;
    cls.lpszClassName = "FuzzSound";
    RegisterClassExA(&cls);
    g_MainWindow = CreateWindowExA(0, "FuzzSound", "", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    MUF_Init();
    return SND_InitDevice(g_MainWindow) == 1;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = Setup();
    if (!ready) std::abort();
    if (!fz::Put("fuzz.aud", data, size)) return 0;
    SoundEntry entry = {nullptr, 0, "fuzz.aud"};
    if (SND_LoadAud(&entry) && entry.buffer) {
        entry.buffer->Play(0, 0, 0);
        plat::AdvanceVirtualTime(50);
        plat::AudioOutAdvance();
        entry.buffer->Stop();
        entry.buffer->Release();
        g_SndLoadedBytes -= entry.bytes;
    }
    return 0;
}
