// Stand-in for the chase camera: the camera stands still; each call is recorded.
#include "world/cam.h"

#include "common/calltrace.h"

namespace {
Pose g_CameraPose = {{1.0f, 0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}};
}  // namespace

void CAM_Follow(CharacterControl*) {
    TRC_Trace("CAM_Follow");
}

void CAM_AutoSwitch(CharacterControl*) {
    TRC_Trace("CAM_AutoSwitch");
}

void CAM_SetTarget(const Vec3* point) {
    TRC_Trace("CAM_SetTarget", "%.1f,%.1f,%.1f", point->x, point->y, point->z);
}

const Pose* CAM_GetPose() {
    return &g_CameraPose;
}

const Matrix34* CAM_GetState() {
    static Matrix34 matrix;
    MTH_PoseToMatrix(&g_CameraPose, &matrix);
    return &matrix;
}

int CAM_GetCameraSurface() {
    return 0;
}

void CAM_StubSetPose(const Pose& pose) {
    g_CameraPose = pose;
}

void CAM_SetMode(int mode) {
    TRC_Trace("CAM_SetMode", "%d", mode);
}

void CAM_Reset() {
    TRC_Trace("CAM_Reset");
}
