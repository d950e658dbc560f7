// Stand-in for the shell's game-state services: each call is recorded.
#include "stubs/app_state_stub.h"

#include "stubs/trace.h"
#include "ui/gui.h"

void APP_RefreshDirectControl(int memberId) {
    STUB_Trace("APP_RefreshDirectControl", "%d", memberId);
}

void APP_MarkMenusForRedraw() {
    STUB_Trace("APP_MarkMenusForRedraw");
}

void APP_EnterLobbyGame() {
    STUB_Trace("APP_EnterLobbyGame");
}

int APP_GetLevelFrameCount() {
    return STUB_Result("APP_GetLevelFrameCount", 50);
}

void APP_EndMatch(int result) {
    STUB_Trace("APP_EndMatch", "%d", result);
    if (g_MatchEnded)
        return;
    g_MatchEnded = 1;
    g_GameResult = result;
}
