// The localised text file: the input is the file's bytes, parsed into the text slots; every slot
// is then read whole, and the slots are released.
#include <cstring>

#include "common/mem.h"
#include "fuzz_support.h"
#include "ui/txt.h"

namespace {
volatile size_t g_sink;
void Read(const char* text) {
    if (text) g_sink = g_sink + std::strlen(text);
}
template <size_t N>
void ReadAll(char* (&slots)[N]) {
    for (char* s : slots) Read(s);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int ready = MEM_ResetTracker();  // the texts live on the tracked heap
    (void)ready;
    TXT_ParseBuffer(reinterpret_cast<const char*>(data), uint32_t(size));
    ReadAll(g_MenuTexts);
    ReadAll(g_LocationNames);
    ReadAll(g_LoadingTexts);
    ReadAll(g_LevelWonTexts);
    ReadAll(g_LevelFailedTexts);
    ReadAll(g_LocationTitles);
    ReadAll(g_ObjectNames);
    ReadAll(g_CharacterTexts);
    for (char* s : {g_LoadingKeypress, g_LoadingLoading, g_LevelWonKeypress, g_LevelWonLoading, g_LevelFailedKeypress,
                    g_LevelFailedLoading})
        Read(s);
    for (int k = 0; k < TXT_MENU_KEY_COUNT; ++k) Read(TXT_Menu(TxtMenuKey(k)));
    TXT_FreeTexts();
    return 0;
}
