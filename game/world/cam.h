// Stand-in for the chase camera until it is built: the camera stands where a test puts it.
#pragma once
#include "common/mth.h"

struct CharacterControl;

void CAM_Follow(CharacterControl* control);
void CAM_AutoSwitch(CharacterControl* control);
void CAM_SetTarget(const Vec3* point);
const Pose* CAM_GetPose();
// The camera record's matrix, made from the pose: turns view space back into world space.
const Matrix34* CAM_GetState();
int CAM_GetCameraSurface();
// Test seam: where the camera stands.
void CAM_StubSetPose(const Pose& pose);
// Switches the camera mode (1: the free camera once the steered member is lost); recorded.
void CAM_SetMode(int mode);
// Back to the camera's start state (at level load and when the display restarts).
void CAM_Reset();
