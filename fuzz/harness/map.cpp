// Landscape maps: the input's first byte picks the format (.zlm, or the text dialects .alm, .blm
// and .clm) and the rest is the file, loaded as the game loads a level's map (read, checked,
// then linked), then unloaded.
#include "common/muf.h"
#include "engine/map_load.h"
#include "common/mem.h"
#include "fuzz_support.h"
#include "registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        plat::SetRegistryPath(fz::Scratch() + "/registry.ini");
        MEM_ResetTracker();
        return true;
    }();
    (void)ready;
    if (size < 1) return 0;
    static const char* const kNames[] = {"fuzz.zlm", "fuzz.alm", "fuzz.blm", "fuzz.clm"};
    const char* name = kNames[data[0] & 3];
    if (!fz::Put(name, data + 1, size - 1)) return 0;
    g_MufReady = 1;
    Matrix34 camera{};
    MAP_LoadMap(&camera, name);
    MAP_UnloadMap();
    return 0;
}
