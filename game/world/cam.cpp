// The chase camera's state, its following of the focus character with the player's tuning keys,
// and its accessors (see cam.h).
#include "world/cam.h"

#include <cmath>

#include "common/calltrace.h"
#include "common/game_clock.h"
#include "engine/lnd.h"
#include "engine/landscape_query.h"
#include "dinput.h"
#include "world/ai.h"
#include "world/bod_record.h"
#include "world/cam_internal.h"
#include "world/cam_tables.h"
#include "world/character.h"
#include "world/game_frame.h"

namespace {
constexpr float kHalfPi = 1.57079632679f;
constexpr float kStartPitch = 0.523599f;
constexpr float kStartDistance = 1000.0f;
constexpr float kTargetHeight = 160.0f;
// Tuning: the limit applies after each step.
constexpr float kMinDistance = 400.0f, kMaxDistance = 2000.0f, kDistanceStep = 10.0f;
constexpr float kMinPitch = 0.71f, kMaxPitch = 1.5705f, kPitchStep = 0.01f;
// Easing per frame: this share of the way per 1/30 s.
constexpr float kEaseRate = 30.0f * 0.15f;
constexpr int kVkShift = 16, kVkEnd = 35, kVkHome = 36;

bool KeyDown(int vk) {
    return (GetAsyncKeyState(vk) & 0x8000) != 0;
}

bool ValidSurface(int32_t surface) {
    return g_Landscape && surface >= 1 && surface <= g_Landscape->surfaceCount;
}

// The player's tuning keys, read every frame, so holding one acts once per frame.
void ReadTuningKeys() {
    const bool home = KeyDown(kVkHome), end = KeyDown(kVkEnd);
    if (!home && !end)
        return;
    if (KeyDown(kVkShift)) {
        if (home)
            g_Camera.pitch = std::fmin(g_Camera.pitch + kPitchStep, kMaxPitch);
        if (end)
            g_Camera.pitch = std::fmax(g_Camera.pitch - kPitchStep, kMinPitch);
    } else {
        if (home)
            g_Camera.distance = std::fmin(g_Camera.distance + kDistanceStep, kMaxDistance);
        if (end)
            g_Camera.distance = std::fmax(g_Camera.distance - kDistanceStep, kMinDistance);
    }
}

float HealthOf(const CharacterControl* control) {
    const auto* ai = static_cast<const AICharacter*>(control->ai);
    return ai ? ai->health : 1.0f;
}

void BuildYawPose() {
    MTH_QuatFromAxisAngle(&g_Camera.yawPose.rotation, g_Camera.yaw, MTH_AXIS_Y);
    g_Camera.yawPose.translation = g_Camera.target;
}

// Steps 6 to 9 of a frame: ease towards the preset place with share s, find the surface under the
// eased target, make the matrix.
void EaseToPreset(float s) {
    const Pose desired = CAM_PresetPose(g_Camera.pitch, g_Camera.distance);
    MTH_PoseInterpolate(&g_Camera.cameraPose, &g_Camera.cameraPose, &desired, s);
    MTH_VectorLerp(&g_Camera.smoothedTarget, &g_Camera.target, &g_Camera.smoothedTarget, s);
    int32_t surface = LND_LocateSurface(g_Camera.cameraSurface, &g_Camera.smoothedTarget);
    if (!surface)
        surface = LND_FindSurfaceByScan(&g_Camera.smoothedTarget);
    if (surface)
        g_Camera.cameraSurface = surface;
    MTH_PoseToMatrix(&g_Camera.cameraPose, &g_Camera.viewMatrix);
    if (g_FocusAiMode)
        g_Camera.follow = 0;
}

CameraState StartState() {
    CameraState c{};
    MTH_PoseIdentity(&c.yawPose);
    MTH_PoseIdentity(&c.cameraPose);
    MTH_MatrixIdentity(&c.viewMatrix);
    c.follow = 1;
    c.pitch = kStartPitch;
    c.distance = kStartDistance;
    return c;
}
}  // namespace

CameraState g_Camera = StartState();

Pose CAM_PresetPose(float pitch, float distance) {
    Pose offset;
    MTH_QuatFromAxisAngle(&offset.rotation, kHalfPi - pitch, MTH_AXIS_X);
    offset.translation = {0.0f, std::cos(pitch) * distance, -std::sin(pitch) * distance};
    Pose out;
    MTH_PoseCompose(&out, &g_Camera.yawPose, &offset);
    return out;
}

void CAM_ApplyPreset(int mode) {
    const CamPreset preset = CAM_PresetOf(mode);
    g_Camera.pitch = preset.pitch;
    g_Camera.distance = preset.distance;
}

void CAM_Reset() {
    TRC_Trace("CAM_Reset");
    g_Camera.cameraSurface = 0;
    g_Camera.targetSurface = 0;
    MTH_PoseIdentity(&g_Camera.yawPose);
    g_Camera.cameraPose = CAM_PresetPose(g_Camera.pitch, g_Camera.distance);
    MTH_PoseToMatrix(&g_Camera.cameraPose, &g_Camera.viewMatrix);
    g_Camera.followed = nullptr;
    g_Camera.autoMode = 0;
    g_Camera.follow = 1;
}

void CAM_SetLevelMode(int level) {
    if (level < 0 || level >= CAM_LEVELS)
        return;
    CAM_SetMode(kCamLevelModes[level]);
}

void CAM_SetMode(int mode) {
    TRC_Trace("CAM_SetMode", "%d", mode);
    g_Camera.mode = mode;
    CAM_ApplyPreset(mode);
}

void CAM_SnapBehind(CharacterControl* control) {
    TRC_Trace("CAM_SnapBehind");
    if (!control)
        return;
    g_Camera.target = BOD_PositionOf(control);
    g_Camera.cameraSurface = LND_LocateSurface(0, &g_Camera.smoothedTarget);
    g_Camera.followed = control;
    g_Camera.follow = 1;
    BuildYawPose();
    EaseToPreset(1.0f);
}

void CAM_Follow(CharacterControl* control) {
    TRC_Trace("CAM_Follow");
    if (control != g_Camera.followed) {
        g_Camera.followed = control;
        g_Camera.follow = 1;
    }
    ReadTuningKeys();
    if (control) {
        if (HealthOf(control) < 1.0f) {
            g_Camera.follow = 0;
        } else if (g_FocusAiMode == 0) {
            g_Camera.follow = 1;
            g_Camera.yaw = control->heading;
        }
        if (g_Camera.follow) {
            g_Camera.target = BOD_PositionOf(control);
            const int32_t surface = LND_LocateSurface(int32_t(control->surface), &g_Camera.target);
            g_Camera.targetSurface = ValidSurface(surface) ? surface : int32_t(control->surface);
            g_Camera.groundPoint = g_Camera.target;
            g_Camera.target.y += kTargetHeight;
        }
    }
    BuildYawPose();
    if (const int32_t surface = LND_LocateSurface(g_Camera.targetSurface, &g_Camera.target))
        g_Camera.targetSurface = surface;
    EaseToPreset(std::fmin(g_GameClock.deltaSeconds * kEaseRate, 1.0f));
}

void CAM_EnableFollow() {
    g_Camera.follow = 1;
}

void CAM_SetTarget(const Vec3* point) {
    if (!point)
        return;
    TRC_Trace("CAM_SetTarget", "%.1f,%.1f,%.1f", point->x, point->y, point->z);
    g_Camera.target = *point;
}

void CAM_GetTarget(Vec3* out) {
    if (out)
        *out = g_Camera.target;
}

const Matrix34* CAM_GetState() {
    return &g_Camera.viewMatrix;
}

const Pose* CAM_GetPose() {
    return &g_Camera.cameraPose;
}

int CAM_GetCameraSurface() {
    return g_Camera.cameraSurface;
}

float CAM_GetYaw() {
    return g_Camera.yaw;
}

float CAM_GetPitch() {
    return g_Camera.pitch;
}

float CAM_GetDistance() {
    return g_Camera.distance;
}

int CAM_GetMode() {
    return g_Camera.mode;
}

int CAM_GetAutoMode() {
    return g_Camera.autoMode;
}

void CAM_ResetForTests() {
    g_Camera = StartState();
}

void CAM_TestSetPose(const Pose& pose) {
    g_Camera.cameraPose = pose;
    MTH_PoseToMatrix(&pose, &g_Camera.viewMatrix);
}
