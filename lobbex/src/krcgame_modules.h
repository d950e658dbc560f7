// The modules that the library's start and stop sequence brings up and down besides the core:
// the request layer, the name-cache and mute-list locks, the speech codecs and voice chat, the
// GULP table, and leaving a game that is still joined at the end.
#pragma once
#include <cstdint>

#include "krcgame.h"
#include "lobbex_exports.h"

int KrRqModuleInit(void);
void KrRqModuleCleanup(void);
void KrCacheLocksInit(void);
void KrCacheLocksDelete(void);
// The speech calls, InitGULPs, CleanupGULPs and KrLeaveGame are exported (lobbex_exports.h).
