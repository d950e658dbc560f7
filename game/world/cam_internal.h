// The chase camera's record, shared by its files (cam.cpp: state, following and accessors;
// cam_command.cpp: the interface's commands; cam_switch.cpp: the automatic preset switch).
#pragma once
#include <cstdint>

#include "common/mth.h"

struct CharacterControl;

struct CameraState {
    Vec3 target;                // the look-at point
    int32_t targetSurface;      // the landscape surface under it
    Pose yawPose;               // rotation about y by yaw, translation target
    Pose cameraPose;            // its translation is the camera position
    Matrix34 viewMatrix;        // from cameraPose
    Vec3 smoothedTarget;
    int32_t cameraSurface;      // the surface under smoothedTarget
    Vec3 groundPoint;           // the ground under the target
    float yaw;
    uint32_t follow;            // 1 while the camera follows the character
    const CharacterControl* followed;
    float pitch;
    float distance;
    int32_t mode;               // the preferred preset
    int32_t autoMode;           // the preset the automatic switch took; 0 none
    int32_t blockedSince;       // game time the view was first found blocked; 0 none
};

extern CameraState g_Camera;

// The camera pose of a preset around the current yaw pose.
Pose CAM_PresetPose(float pitch, float distance);
// Pitch and distance of a mode's preset, without touching the preferred mode.
void CAM_ApplyPreset(int mode);
