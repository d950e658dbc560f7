// The player-name caches (one per game slot) and the process-wide mute list: what the rest of the
// library and the tests use besides the exports.
#pragma once
#include <cstdint>

#include "lobbex_exports.h"

constexpr KRADDR KRNAME_FREE = 0x7FFFFFFF; // the address of a free cache entry
constexpr uint32_t KRNAME_MUTED = 0x1;     // entry flag: the name is in the mute list

struct KRNAME_ENTRY {
    KRADDR address;
    uint32_t flags;
    char name[17];
};
static_assert(sizeof(KRNAME_ENTRY) == 28, "a cache entry is 28 bytes");

struct KRNAME_CACHE {
    KRNAME_ENTRY* entries;
    int32_t capacity;
    int32_t refs;
};

// The game's join/leave callback that keeps its cache current (context: the game's KRNAME_CACHE).
void KrNameCacheJoinLeave(KRADDR address, const char* name, int joined, uintptr_t context);
// The cache record of a game slot, null for a bad handle.
KRNAME_CACHE* KrNameCacheOf(int16_t game);
