// The game clock (see clk.h). Tick counts wrap after about 49.7 days: every difference is taken
// modulo 2^32, so a frame that spans the wrap advances by its true length.
#include "world/clk.h"

#include "engine/mdl.h"
#include "common/match.h"
#include "world/ptc.h"
#include "win32.h"

int32_t g_LevelMs = 0;
uint32_t g_ClockStarted = 0;

namespace {
constexpr float kGravity = 1000.0f;

int32_t Wrap(uint32_t ticks) {
    return static_cast<int32_t>(ticks);
}
}  // namespace

void CLK_InitLevel() {
    g_GameClock.gravity = kGravity;
    const DWORD now = GetTickCount();
    g_GameClock.nowMs = Wrap(now);
    g_GameClock.levelStartMs = Wrap(now);
    g_ClockStarted = 1;
    g_ModelShadows = 0;
    g_ModelSmoothLighting = 1;
    PTC_ResetPools();
    MTH_MatrixIdentity(&g_PtcMatrix);
}

void CLK_Tick(const Matrix34* viewMatrix) {
    if (APP_IsPlayHalted())
        return;
    const uint32_t now = GetTickCount();
    g_GameClock.previousMs = g_GameClock.nowMs;
    g_GameClock.nowMs = Wrap(now);
    if (!g_ClockStarted) {
        g_ClockStarted = 1;
        g_GameClock.previousMs = Wrap(now - CLK_STALL_FRAME_MS);
        g_GameClock.levelStartMs = g_GameClock.previousMs;
    }
    if (now - static_cast<uint32_t>(g_GameClock.previousMs) > CLK_MAX_FRAME_MS)
        g_GameClock.previousMs = Wrap(now - CLK_STALL_FRAME_MS);
    const uint32_t delta = now - static_cast<uint32_t>(g_GameClock.previousMs);
    g_GameClock.deltaMs = Wrap(delta);
    g_LevelMs = Wrap(static_cast<uint32_t>(g_LevelMs) + delta);
    g_GameClock.deltaSeconds = float(g_GameClock.deltaMs) * 0.001f;
    PTC_UpdateAndDraw(viewMatrix);
}
