// The key map, its defaults and the reading of the key map file.
#include "ui/keymap.h"

#include "common/mem.h"
#include "common/muf.h"
#include "common/calltrace.h"

KeyMap g_KeyMap;

const int32_t g_KeyMapDefaults[KEY_MAP_WORDS] = {
    -1,                                    // 0: not a key
    25, 1, 17, 49, 30,                     // 1 pause, 2..5 without a button
    203, 200, 205, 208,                    // 6..9 scroll left, up, right, down
    2, 3, 4, 5, 6, 7, 8, 9, 10,            // 10..18 the digit keys 1..9
    59, 60, 61, 62,                        // 19..22 F1..F4
    15, 28, 37, 50, 24, 22,                // 23 Tab, 24 Return, 25 K, 26 M, 27 O, 28 U
    13, 12,                                // 29 "=", 30 "-"
    157,                                   // 31 right Control
    200, 208, 203, 205,                    // 32..35 cursor up, down, left, right
    57, 29, 28, 42, 56,                    // 36 Space, 37 left Control, 38 Return, 39 left Shift, 40 left Alt
};

namespace {
// The words that the key screen's buttons bind, without the escape word 31, and the two words
// without a button that it copies and checks all the same.
constexpr int kCheckedWords[] = {1, 6, 7, 8, 9, 24, 25, 26, 27, 28, 32, 33, 34, 35, 36, 37, 38, 39, 40};

void StoreDefaultKeys() {
    for (int i = 1; i < KEY_MAP_WORDS; ++i)
        g_KeyMap.words[i] = g_KeyMapDefaults[i];
}
}  // namespace

int CFG_SetDefaultKeys() {
    TRC_Trace("CFG_SetDefaultKeys");
    StoreDefaultKeys();
    return 1;
}

int KEY_ReadKeyMapFile(const uint8_t* bytes, uint32_t size) {
    if (!bytes || size < KEY_MAP_FILE_BYTES)
        return 0;
    for (int i = 0; i < KEY_MAP_WORDS; ++i) {
        const uint8_t* p = bytes + 4 * i;
        const int32_t word = static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                                  uint32_t(p[3]) << 24);
        // Word 0 is not a key and is kept as it stands; a key word must index the 256 key states.
        if (i == 0 || (word >= -1 && word <= 255))
            g_KeyMap.words[i] = word;
        else
            g_KeyMap.words[i] = g_KeyMapDefaults[i];
    }
    g_KeyMap.last = bytes[KEY_MAP_FILE_BYTES - 1];
    return 1;
}

int KEY_IsKeyMapComplete(const KeyMap& map) {
    for (int w : kCheckedWords)
        if (map.words[w] == -1)
            return 0;
    return 1;
}

int KEY_LoadKeyMapAtStartup() {
    uint32_t size = 0;
    int taken = 0;
    if (void* file = MUF_LoadFile("data\\ifkeymap.dat", &size)) {
        taken = KEY_ReadKeyMapFile(static_cast<const uint8_t*>(file), size);
        MEM_Free(file);
    }
    // At start-up nobody is there to complete the map on the key screen: a map that leaves a
    // checked function without a key is replaced by the defaults.
    if (!KEY_IsKeyMapComplete(g_KeyMap)) {
        StoreDefaultKeys();
        taken = 0;
    }
    return taken;
}
