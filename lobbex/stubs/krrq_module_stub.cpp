// Stand-in for the request layer's start and stop until the sessions and multiplexer are built.
#include "krcgame_modules.h"
#include "krstub_log.h"

int KrRqModuleInit(void) {
    KrStubNote("rq+");
    return 0;
}

void KrRqModuleCleanup(void) {
    KrStubNote("rq-");
}
