// Stand-in for the speech codecs and voice chat until they are built.
#include "krcgame_modules.h"
#include "krstub_log.h"

int KrSpeechCompressionInit(void) {
    KrStubNote("codecs+");
    return 0;
}

int KrSpeechCompressionCleanup(void) {
    KrStubNote("codecs-");
    return 0;
}

int KrSpeechInit(void) {
    KrStubNote("speech+");
    return 0;
}

int KrSpeechDestroy(void) {
    KrStubNote("speech-");
    return 0;
}
