// The key map: 41 scan-code words and one final byte, the defaults that CFG_SetDefaultKeys
// stores, and the reading of the key map file "data\ifkeymap.dat" (the 165 bytes of the map,
// words little-endian) with the checks that keep every word usable as a key index.
#pragma once
#include <cstdint>

constexpr int KEY_MAP_WORDS = 41;
constexpr uint32_t KEY_MAP_FILE_BYTES = 165;  // 41 words and the final byte

struct KeyMap {
    int32_t words[KEY_MAP_WORDS];  // scan code 0..255, -1 none
    uint8_t last;                  // not a key; kept as loaded
};
extern KeyMap g_KeyMap;

// The default scan code of each word; word 0 is not a key and keeps its value (-1 here).
extern const int32_t g_KeyMapDefaults[KEY_MAP_WORDS];

// Stores the defaults into words 1..40 (word 0 and the final byte untouched); returns 1.
int CFG_SetDefaultKeys();

// Takes a key map file's bytes into g_KeyMap. A file shorter than 165 bytes is refused (0) and
// the map is left as it is; otherwise its words are read little-endian, and a word outside
// -1..255 is replaced by its default. Returns 1 when the file was taken.
int KEY_ReadKeyMapFile(const uint8_t* bytes, uint32_t size);

// 1 when every word that a key button binds (the escape word excepted) and words 36 and 38 hold
// a key; the key screen refuses to close over a map where one of them is -1.
int KEY_IsKeyMapComplete(const KeyMap& map);

// Start-up: reads "data\ifkeymap.dat" over the defaults already in g_KeyMap; a map that is then
// not complete falls back to the defaults (word 0 and the final byte as they are). 1 when the
// file's map is in use.
int KEY_LoadKeyMapAtStartup();
