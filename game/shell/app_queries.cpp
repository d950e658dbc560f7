// The shell's queries that the whole program uses: game kind, level state, halted play, the local
// slot and the interface's design size.
#include "shell/app.h"
#include "ui/gui.h"

int32_t g_DisplayModeOption = 0;

namespace {
constexpr int kDesignWidth = 640, kDesignHeight = 480;
// A failed level halts play once its end has run this long.
constexpr int32_t kFailedHaltAfter = 200;
}  // namespace

int APP_IsMultiplayerGame() {
    return int(g_MpGameRunning);
}

int APP_GetMultiplayerGameType() {
    return g_MpSettings.gameType;
}

int APP_AreTrapsEnabled() {
    return g_MpSettings.traps;
}

int APP_IsLevelActive() {
    return int(g_InLevel);
}

int APP_WasHaltedLastFrame() {
    return int(g_LevelHaltedLastFrame);
}

int APP_IsPlayHalted() {
    if (!g_InLevel)
        return 0;
    if (g_LevelHalted || (g_LevelFailed && g_LevelEndTime > kFailedHaltAfter) || g_LevelWon)
        return 1;
    if (APP_IsMultiplayerGame() && (g_MatchEnded || g_GameOver))
        return 1;
    return 0;
}

int APP_GetLocalPlayerSlot() {
    return g_LocalSlot;
}

int APP_GetScreenWidth() {
    return kDesignWidth;
}

int APP_GetScreenHeight() {
    return kDesignHeight;
}

void APP_SetDisplayModeOption(int mode) {
    g_DisplayModeOption = mode;
}
