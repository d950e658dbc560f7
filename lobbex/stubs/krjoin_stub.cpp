// Stand-in for leaving a game until joining and leaving are built: the last leave frees the slot.
#include <string>

#include "krcgame_modules.h"
#include "krstub_log.h"

extern "C" int16_t KrLeaveGame(HGAME game) {
    KRGAME_CB* slot = GetGamePtr(game);
    if (!slot) return -1;
    KrStubNote(("leave" + std::to_string(game)).c_str());
    if (slot->joinCount > 0) --slot->joinCount;
    if (slot->joinCount == 0) {
        slot->state = KRGAME_FREE;
        slot->gameSession = nullptr;
    }
    return 0;
}
