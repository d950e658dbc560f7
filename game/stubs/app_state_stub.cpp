// Stand-ins for the lobby game entry and the pickup announcement of the game-state services:
// recorded.
#include "world/game_state.h"

#include "common/calltrace.h"

void APP_EnterLobbyGame() {
    TRC_Trace("APP_EnterLobbyGame");
}

void APP_AnnouncePickup(int characterId, int objectType) {
    TRC_Trace("APP_AnnouncePickup", "%d,%d", characterId, objectType);
}
