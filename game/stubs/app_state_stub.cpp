// Stand-in for the lobby game entry of the game-state services: recorded.
#include "world/game_state.h"

#include "common/calltrace.h"

void APP_EnterLobbyGame() {
    TRC_Trace("APP_EnterLobbyGame");
}
