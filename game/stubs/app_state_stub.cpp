// Stand-in for the shell's game-state services: each call is recorded.
#include "world/game_state.h"

#include "common/calltrace.h"
#include "ui/gui.h"

void APP_RefreshDirectControl(int memberId) {
    TRC_Trace("APP_RefreshDirectControl", "%d", memberId);
}

void APP_MarkMenusForRedraw() {
    TRC_Trace("APP_MarkMenusForRedraw");
}

void APP_EnterLobbyGame() {
    TRC_Trace("APP_EnterLobbyGame");
}

int APP_GetLevelFrameCount() {
    return TRC_Result("APP_GetLevelFrameCount", 50);
}

void APP_EndMatch(int result) {
    TRC_Trace("APP_EndMatch", "%d", result);
    if (g_Match.matchEnded)
        return;
    g_Match.matchEnded = 1;
    g_Match.gameResult = result;
}

void APP_StopCarriedItemSounds(int memberId) {
    TRC_Trace("APP_StopCarriedItemSounds", "%d", memberId);
}

void APP_AnnouncePickup(int characterId, int objectType) {
    TRC_Trace("APP_AnnouncePickup", "%d,%d", characterId, objectType);
}
