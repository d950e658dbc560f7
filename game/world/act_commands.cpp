// The command block of the HUD state, applied once per frame: the team-mode flag, the member the
// player steers (handed over between the player and its AI), an order at a clicked point, and the
// camera's pan and turn commands. Values the interface could not have meant change nothing: a
// member outside the player slots or without a character, an order point that is not a finite
// number, camera words other than 1, 2 (A) and 3, 4 (B).
#include <cmath>

#include "common/calltrace.h"
#include "ui/hud_records.h"
#include "world/act.h"
#include "world/ai.h"
#include "world/bod.h"
#include "world/cam.h"
#include "world/game_frame.h"

namespace {
constexpr int kActionStand = 11;
constexpr float kNoOrder = -1.0f;

Bod* PlayerBodOf(int32_t member) {
    return member >= 0 && member < BOD_PLAYER_SLOTS ? g_PlayerBods[member] : nullptr;
}

void ApplyMember(int32_t member, Bod* bod) {
    if (member != g_ActiveSlot && g_FocusAiMode == 0) {
        if (Bod* previous = PlayerBodOf(g_ActiveSlot))
            AI_TakeBack(previous);
        AI_Release(bod);
        g_ActiveSlot = member;
        g_FocusBod = bod;
        BOD_SetAction(bod, kActionStand);
    }
    g_ActiveSlot = member;
    g_FocusBod = bod;
}

void ApplyCamera(const HudState& state) {
    const int32_t a = state.panHorizontal, b = state.panVertical;
    if (state.panByPress != 0 && g_FocusAiMode == 0)
        return;
    if (a == 1 || a == 2)
        CAM_Command(state.panByPress != 0 ? a + 4 : a);
    // The vertical words name the pans the other way round.
    if (b == 3)
        CAM_Command(4);
    else if (b == 4)
        CAM_Command(3);
}
}  // namespace

void ACT_ApplyPlayerCommands(const HudState* state) {
    if (!state)
        return;
    TRC_Trace("ACT_ApplyPlayerCommands", "member=%d,team=%d,radar=%d,point=%.0f/%.0f/%.0f,pan=%d/%d/%d,run=%d",
              state->controlledMember, state->teamMode, state->radarDrawn, state->orderPoint[0], state->orderPoint[1],
              state->orderPoint[2], state->panHorizontal, state->panVertical, state->panByPress, state->runFlag);
    g_FocusAiMode = state->teamMode;
    const int32_t member = state->controlledMember;
    Bod* bod = PlayerBodOf(member);
    if (bod) {
        ApplyMember(member, bod);
        const float* p = state->orderPoint;
        if (p[0] != kNoOrder && std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]))
            AI_OrderAtPoint(p[0], p[1], p[2], member);
    }
    ApplyCamera(*state);
}
