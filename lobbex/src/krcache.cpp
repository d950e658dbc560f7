// The player-name caches and the mute list. Each game slot has a cache of names keyed by KRADDR
// (open addressing from the home slot address mod capacity; a probe visits every slot once and
// does not stop at free ones), filled from the game instance server on a miss and kept current by
// the game's join/leave notices. One process-wide mute list of names (compared without case) sets
// and clears the muted flag of the matching names in the cache of one bound game.
//
// Locks: the mute lock, then the cache lock, always in that order (filling an entry reads the mute
// list). Both are recursive and live as long as the process: a notice the io thread is already
// delivering when the library stops still takes them.
#include "krcache.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "krcgame.h"
#include "krevent.h"
#include "krlog.h"

namespace {
constexpr char kKrModule[] = "krcache";
constexpr int kNameMax = 16;

KRNAME_CACHE g_Caches[KR_MAX_GAMES] = {};
char (*g_Mute)[kNameMax + 1] = nullptr;
int32_t g_MuteCapacity = 0;
int16_t g_MuteGame = -1;

KRLOCK& MuteLock() {
    static KRLOCK* lock = [] {
        auto* l = new KRLOCK;
        KrLockInit(l, 0);
        return l;
    }();
    return *lock;
}
KRLOCK& CacheLock() {
    static KRLOCK* lock = [] {
        auto* l = new KRLOCK;
        KrLockInit(l, 0);
        return l;
    }();
    return *lock;
}

struct Hold {
    KRLOCK& lock;
    explicit Hold(KRLOCK& l) : lock(l) { KrLockEnter(&lock); }
    ~Hold() { KrLockLeave(&lock); }
};

void CopyName(char* to, const char* from) {
    std::strncpy(to, from ? from : "", kNameMax);
    to[kNameMax] = 0;
}

bool SameName(const char* a, const char* b) {
    return strncasecmp(a, b ? b : "", kNameMax) == 0;
}

// Mute lock held. The index of `name`, or -1; `firstFree` gets the first empty entry passed
// before the match (or before the end), -1 when none.
int FindMutedNL(const char* name, int* firstFree) {
    int free = -1;
    int found = -1;
    for (int i = 0; g_Mute && i < g_MuteCapacity; ++i) {
        if (SameName(g_Mute[i], name)) {
            found = i;
            break;
        }
        if (free < 0 && g_Mute[i][0] == 0) free = i;
    }
    if (firstFree) *firstFree = free;
    return found;
}

// Mute lock held: whether a player of this name is muted (an empty name never is).
bool IsMutedNL(const char* name) {
    return name && name[0] && FindMutedNL(name, nullptr) >= 0;
}

// Cache lock held. The slot of `address`, or -1; `freeSlot` gets the first free slot passed.
int LookupNL(const KRNAME_CACHE& c, KRADDR address, int* freeSlot) {
    *freeSlot = -1;
    if (!c.entries || c.capacity <= 0 || address == KRNAME_FREE) return -1;
    const uint32_t cap = (uint32_t)c.capacity;
    for (uint32_t n = 0, i = address % cap; n < cap; ++n, i = (i + 1) % cap) {
        if (c.entries[i].address == address) return (int)i;
        if (*freeSlot < 0 && c.entries[i].address == KRNAME_FREE) *freeSlot = (int)i;
    }
    return -1;
}

// Mute lock and cache lock held.
void FillNL(KRNAME_ENTRY& e, KRADDR address, const char* name) {
    CopyName(e.name, name);
    e.address = address;
    e.flags = IsMutedNL(e.name) ? KRNAME_MUTED : 0;
}

void FreeEntry(KRNAME_ENTRY& e) {
    e.address = KRNAME_FREE;
    e.flags = 0;
    std::memset(e.name, 0, sizeof e.name);
}

// The name of an entry into a caller buffer of length + 1 characters.
void Deliver(const KRNAME_ENTRY& e, char* buffer, int16_t length, int* muted) {
    const size_t n = std::min(std::strlen(e.name), (size_t)std::max<int16_t>(length, 0));
    std::memcpy(buffer, e.name, n);
    buffer[n] = 0;
    if (muted) *muted = (e.flags & KRNAME_MUTED) ? 1 : 0;
}

// Cache lock held: sets the flags of the first used entry of this name; its index or -1.
int SetFlagsNL(KRNAME_CACHE& c, const char* name, uint32_t mask, uint32_t value) {
    for (int i = 0; c.entries && i < c.capacity; ++i) {
        KRNAME_ENTRY& e = c.entries[i];
        if (e.address != KRNAME_FREE && SameName(e.name, name)) {
            e.flags = (e.flags & ~mask) | (value & mask);
            return i;
        }
    }
    return -1;
}

int SetAllFlagsNL(KRNAME_CACHE& c, uint32_t mask, uint32_t value) {
    int n = 0;
    for (int i = 0; c.entries && i < c.capacity; ++i) {
        KRNAME_ENTRY& e = c.entries[i];
        if (e.address == KRNAME_FREE) continue;
        e.flags = (e.flags & ~mask) | (value & mask);
        ++n;
    }
    return n;
}

// Mute lock held: sets or clears the muted flag of `name` (all names when null) in the bound game's
// cache.
void MarkBoundNL(const char* name, bool muted) {
    KRNAME_CACHE* c = KrNameCacheOf(g_MuteGame);
    if (!c) return;
    Hold cache(CacheLock());
    if (name)
        SetFlagsNL(*c, name, KRNAME_MUTED, muted ? KRNAME_MUTED : 0);
    else
        SetAllFlagsNL(*c, KRNAME_MUTED, muted ? KRNAME_MUTED : 0);
}
}  // namespace

KRNAME_CACHE* KrNameCacheOf(int16_t game) {
    return game >= 0 && game < KR_MAX_GAMES ? &g_Caches[game] : nullptr;
}

void KrCacheLocksInit(void) {
    MuteLock();
    CacheLock();
    KR_LOG(KrWarning, "KrCacheLocksInit: name cache and mute list locks ready");
}

void KrCacheLocksDelete(void) {
    KR_LOG(KrWarning, "KrCacheLocksDelete: name cache and mute list locks released");
}

// ---- the mute list ----

LOBBEX_API int KrCreateMuteList(int capacity) {
    KrLogAPICall("KrCreateMuteList");
    Hold mute(MuteLock());
    if (g_Mute) return g_MuteCapacity;
    if (capacity <= 0) return 0;
    g_Mute = static_cast<char(*)[kNameMax + 1]>(std::calloc((size_t)capacity, kNameMax + 1));
    g_MuteCapacity = g_Mute ? capacity : 0;
    return g_MuteCapacity;
}

LOBBEX_API int KrDestroyMuteList(void) {
    KrLogAPICall("KrDestroyMuteList");
    Hold mute(MuteLock());
    std::free(g_Mute);
    g_Mute = nullptr;
    g_MuteCapacity = 0;
    MarkBoundNL(nullptr, false);
    return 0;
}

LOBBEX_API int KrGetMuteListSize(void) {
    Hold mute(MuteLock());
    return g_MuteCapacity;
}

LOBBEX_API int KrPurgeMuteList(void) {
    KrLogAPICall("KrPurgeMuteList");
    Hold mute(MuteLock());
    if (g_Mute) std::memset(g_Mute, 0, (size_t)g_MuteCapacity * (kNameMax + 1));
    MarkBoundNL(nullptr, false);
    return 0;
}

LOBBEX_API int KrSetMuteListGameHandle(int16_t game) {
    Hold mute(MuteLock());
    if (game >= 0 && game < KR_MAX_GAMES) g_MuteGame = game;
    return 0;
}

LOBBEX_API int KrFindIgnoramusIndex(const char* name, int* firstFree) {
    Hold mute(MuteLock());
    if (!g_Mute) {
        if (firstFree) *firstFree = -1;
        return -1;
    }
    return FindMutedNL(name, firstFree);
}

LOBBEX_API int KrAddNameToMuteList(const char* name) {
    KrLogAPICall("KrAddNameToMuteList");
    Hold mute(MuteLock());
    int free = -1;
    if (!g_Mute || FindMutedNL(name, &free) >= 0 || free < 0) return -1;
    CopyName(g_Mute[free], name);
    MarkBoundNL(g_Mute[free], true);
    return free;
}

LOBBEX_API int KrRemoveNameFromMuteList(const char* name) {
    KrLogAPICall("KrRemoveNameFromMuteList");
    Hold mute(MuteLock());
    if (!g_Mute) return -1;
    const int i = FindMutedNL(name, nullptr);
    if (i >= 0) {
        std::memset(g_Mute[i], 0, kNameMax + 1);
        MarkBoundNL(name, false);
    }
    return 0;
}

LOBBEX_API int KrEnumMuteList(KRMUTE_ENUM_CBF callback, uintptr_t context) {
    Hold mute(MuteLock());
    int n = 0;
    for (int i = 0; g_Mute && i < g_MuteCapacity; ++i) {
        if (!g_Mute[i][0]) continue;
        if (callback) callback(n, g_Mute[i], context);
        ++n;
    }
    return n;
}

// ---- the name caches ----

LOBBEX_API int KrCreateNameCache(int16_t game, int capacity) {
    KrLogAPICall("KrCreateNameCache");
    KRNAME_CACHE* c = KrNameCacheOf(game);
    if (!c) return -1;
    {
        Hold cache(CacheLock());
        if (c->entries) {
            ++c->refs;
            return -1;
        }
        if (capacity <= 0) return -1;
        c->entries = static_cast<KRNAME_ENTRY*>(std::malloc(sizeof(KRNAME_ENTRY) * (size_t)capacity));
        if (!c->entries) return -1;
        for (int i = 0; i < capacity; ++i) FreeEntry(c->entries[i]);
        c->capacity = capacity;
        c->refs = 1;
    }
    if (KrEnableJoinLeaveNotification(game, KrNameCacheJoinLeave, reinterpret_cast<uintptr_t>(c)) != 0) return -1;
    return capacity;
}

LOBBEX_API int KrDestroyNameCache(int16_t game) {
    KrLogAPICall("KrDestroyNameCache");
    KRNAME_CACHE* c = KrNameCacheOf(game);
    if (!c) return -1;
    {
        Hold cache(CacheLock());
        --c->refs;
        if (!c->entries || c->refs > 1) return -1;
        std::free(c->entries);
        c->entries = nullptr;
        c->capacity = 0;
        c->refs = 0;
    }
    KrDisableJoinLeaveNotification(game, KrNameCacheJoinLeave, reinterpret_cast<uintptr_t>(c));
    return 0;
}

LOBBEX_API int KrPurgeNameCache(int16_t game) {
    KRNAME_CACHE* c = KrNameCacheOf(game);
    if (!c) return 0;
    Hold cache(CacheLock());
    for (int i = 0; c->entries && i < c->capacity; ++i) FreeEntry(c->entries[i]);
    return 0;
}

LOBBEX_API int KrSetNameCacheFlags(int16_t game, const char* name, uint32_t mask, uint32_t value) {
    KRNAME_CACHE* c = KrNameCacheOf(game);
    if (!c) return -1;
    Hold cache(CacheLock());
    return SetFlagsNL(*c, name, mask, value);
}

LOBBEX_API int KrSetAllNameCacheFlags(int16_t game, uint32_t mask, uint32_t value) {
    KRNAME_CACHE* c = KrNameCacheOf(game);
    if (!c) return -1;
    Hold cache(CacheLock());
    if (!c->entries) return -1;
    return SetAllFlagsNL(*c, mask, value);
}

LOBBEX_API int KrEnumNameCache(int16_t game, KRNAME_ENUM_CBF callback, uintptr_t context) {
    KRNAME_CACHE* c = KrNameCacheOf(game);
    if (!c) return -1;
    Hold cache(CacheLock());
    if (!c->entries) return -1;
    int n = 0;
    for (int i = 0; i < c->capacity; ++i) {
        const KRNAME_ENTRY& e = c->entries[i];
        if (e.address == KRNAME_FREE) continue;
        if (callback) callback(n, e.name, e.address, e.flags, context);
        ++n;
    }
    return n;
}

// The buffer holds length + 1 characters. Every text written into it is bounded by that and ends
// in a zero.
LOBBEX_API int KrGetCachedNameByAddr(int16_t game, KRADDR address, char* buffer, int16_t length, int* muted) {
    KrLogAPICall("KrGetCachedNameByAddr");
    KRNAME_CACHE* c = KrNameCacheOf(game);
    if (!c) {
        KrError("KrGetCachedNameByAddr::Ack!! The game handle (%d) was illegal!", game);
        return 0x7FFFFFFF;
    }
    if (!buffer || length < 0) return -1;
    {
        Hold mute(MuteLock());
        Hold cache(CacheLock());
        int free = -1;
        const int at = LookupNL(*c, address, &free);
        if (at >= 0) {
            Deliver(c->entries[at], buffer, length, muted);
            return 0;
        }
    }
    buffer[0] = 0;
    const int asked = KrGetNameByAddr(game, address, buffer, (int16_t)(length < 0x7FFF ? length + 1 : 0x7FFF));
    Hold mute(MuteLock());
    Hold cache(CacheLock());
    if (!c->entries) return -1;
    if (asked != 0) {
        KrError("KrGetCachedNameByAddr::When I asked the GICS for info about kraddr %d, it gave err 0x%X", (int)address,
                (unsigned)asked);
        std::snprintf(buffer, (size_t)length + 1, "KRADDR%X", (unsigned)address);
        return -1;
    }
    int free = -1;
    const int at = LookupNL(*c, address, &free);
    if (at >= 0) {
        Deliver(c->entries[at], buffer, length, muted);
        return 0;
    }
    if (free < 0) {
        KrError("Name Cache is Full (HGAME:%d), could not add KRADDR 0x%X", game, (unsigned)address);
        return -1;
    }
    FillNL(c->entries[free], address, buffer);
    if (muted) *muted = (c->entries[free].flags & KRNAME_MUTED) ? 1 : 0;
    return 0;
}

void KrNameCacheJoinLeave(KRADDR address, const char* name, int joined, uintptr_t context) {
    auto* c = reinterpret_cast<KRNAME_CACHE*>(context);
    Hold mute(MuteLock());
    Hold cache(CacheLock());
    if (!c || !c->entries || c->capacity == 0) return;
    int free = -1;
    const int at = LookupNL(*c, address, &free);
    if (at >= 0) {
        if (joined)
            FillNL(c->entries[at], address, name);
        else
            FreeEntry(c->entries[at]);
    } else if (free < 0) {
        KrError("Inside JoinLeave Handler:: unable to %s %s (kraddr %d) as cache was full", joined ? "ADD" : "REMOVE",
                name ? name : "", (int)address);
    } else if (joined) {
        FillNL(c->entries[free], address, name);
    }
}
