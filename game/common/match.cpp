// The match state record and its queries: game kind, level state, halted play and the local slot.
#include "common/match.h"

MatchState g_Match;

namespace {
// A failed level halts play once its end has run this long.
constexpr int32_t kFailedHaltAfter = 200;
}  // namespace

int APP_IsMultiplayerGame() {
    return int(g_Match.mpGameRunning);
}

int APP_GetMultiplayerGameType() {
    return g_Match.settings.gameType;
}

int APP_AreTrapsEnabled() {
    return g_Match.settings.traps;
}

int APP_IsLevelActive() {
    return int(g_Match.inLevel);
}

int APP_WasHaltedLastFrame() {
    return int(g_Match.haltedLastFrame);
}

int APP_IsPlayHalted() {
    if (!g_Match.inLevel)
        return 0;
    if (g_Match.halted || (g_Match.levelFailed && g_Match.levelEndTime > kFailedHaltAfter) || g_Match.levelWon)
        return 1;
    if (APP_IsMultiplayerGame() && (g_Match.matchEnded || g_Match.gameOver))
        return 1;
    return 0;
}

int APP_GetLocalPlayerSlot() {
    return g_Match.localSlot;
}
