// The camera commands of the interface and the team orders: order mode, pans over the ground and
// free turning (see cam.h).
#include <cmath>

#include "common/calltrace.h"
#include "common/game_clock.h"
#include "engine/landscape_query.h"
#include "world/cam.h"
#include "world/cam_internal.h"
#include "world/game_frame.h"

namespace {
constexpr float kPi = 3.14159265359f;
constexpr float kPanStep = 75.0f;
constexpr float kTargetHeight = 160.0f;
// The ground under a panned target is searched from this high above to this far below it.
constexpr float kTraceAbove = 5000.0f, kTraceBelow = 500.0f;
constexpr float kOrderDistanceStep = 5.0f;
constexpr float kTurnPerMs = 0.001f * kPi / 2.0f;

// Moves the target by offset (turned by the yaw) over the ground; a target with no landscape
// surface under it stays where it was.
void Pan(float x, float z) {
    Matrix34 turn;
    MTH_MatrixRotation(&turn, g_Camera.yaw, MTH_AXIS_Y);
    const Vec3 local{x, 0.0f, z};
    Vec3 offset;
    MTH_RotateVector(&offset, &local, &turn);
    Vec3 target{g_Camera.target.x + offset.x, g_Camera.target.y + offset.y, g_Camera.target.z + offset.z};
    int32_t surface = LND_LocateSurface(g_Camera.targetSurface, &target);
    if (!surface)
        surface = LND_FindSurfaceByScan(&target);
    if (!surface)
        return;
    target.y = float(LND_GetGroundHeight(&target, surface));
    const Vec3 from{target.x, target.y + kTraceAbove, target.z};
    const Vec3 to{target.x, target.y - kTraceBelow, target.z};
    TraceHit hit{};
    const float ground = LND_TraceSegmentAnyObject(&hit, surface, surface, &from, &to) && hit.hit ? hit.point.y : target.y;
    g_Camera.targetSurface = surface;
    g_Camera.groundPoint = {target.x, ground, target.z};
    g_Camera.target = {target.x, ground + kTargetHeight, target.z};
}
}  // namespace

void CAM_Command(int command) {
    TRC_Trace("CAM_Command", "%d", command);
    switch (command) {
    case 0:
        g_FocusAiMode = 1;
        g_Camera.distance += kOrderDistanceStep;
        g_Camera.yaw += kPi / 64.0f;
        break;
    case 1:
    case 2:
    case 3:
    case 4: {
        constexpr float kOffsets[4][2] = {{-kPanStep, 0.0f}, {kPanStep, 0.0f}, {0.0f, -kPanStep}, {0.0f, kPanStep}};
        Pan(kOffsets[command - 1][0], kOffsets[command - 1][1]);
        g_Camera.follow = 0;
        break;
    }
    case 5:
        g_Camera.yaw -= float(g_GameClock.deltaMs) * kTurnPerMs;
        break;
    case 6:
        g_Camera.yaw += float(g_GameClock.deltaMs) * kTurnPerMs;
        break;
    default:
        break;
    }
}
