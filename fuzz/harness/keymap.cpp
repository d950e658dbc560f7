// The key map file: the input is "data\ifkeymap.dat", read as at start-up (over the defaults,
// falling back to them when the map is not complete) and through the memory reader; every word
// of the map in use must then be a usable key index.
#include <sys/stat.h>

#include <cstdlib>

#include "common/mem.h"
#include "fuzz_support.h"
#include "ui/keymap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        MEM_ResetTracker();  // the file is read into the tracked heap
        return mkdir((fz::Scratch() + "/data").c_str(), 0700) == 0;
    }();
    (void)ready;
    g_KeyMap = KeyMap{};
    CFG_SetDefaultKeys();
    KEY_ReadKeyMapFile(data, uint32_t(size));
    KEY_IsKeyMapComplete(g_KeyMap);
    for (int i = 1; i < KEY_MAP_WORDS; ++i)  // word 0 is not a key: kept as the file has it
        if (g_KeyMap.words[i] < -1 || g_KeyMap.words[i] > 255) std::abort();
    if (!fz::Put("data/ifkeymap.dat", data, size)) return 0;
    g_KeyMap = KeyMap{};
    CFG_SetDefaultKeys();
    KEY_LoadKeyMapAtStartup();
    for (int i = 1; i < KEY_MAP_WORDS; ++i)
        if (g_KeyMap.words[i] < -1 || g_KeyMap.words[i] > 255) std::abort();
    return 0;
}
