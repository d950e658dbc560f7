// Stand-in for the GULP data channels' table until it is built.
#include "krcgame_modules.h"
#include "krstub_log.h"

void InitGULPs(void) {
    KrStubNote("gulps+");
}

void CleanupGULPs(void) {
    KrStubNote("gulps-");
}
