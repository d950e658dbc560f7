// Stand-in for the locks of the player-name cache and the mute list until they are built.
#include "krcgame_modules.h"
#include "krstub_log.h"

void KrCacheLocksInit(void) {
    KrStubNote("cache+");
}

void KrCacheLocksDelete(void) {
    KrStubNote("cache-");
}
