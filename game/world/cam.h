// The chase camera: it looks at a point 160 units above the focus character's feet from a preset
// pitch and distance behind it, eases towards that place every frame, takes the player's tuning
// keys (Home and End, with Shift for the pitch), turns and pans freely while the team is given
// orders, and switches by itself to another preset while the view of the character is blocked.
// One camera per process. Each entry point also reports itself into the shared call trace.
#pragma once
#include <cstdint>

#include "common/mth.h"

struct CharacterControl;

// Back to the start of a level (and after a display restart): no surfaces, the camera at its
// preset around the origin, nobody followed, no automatic preset, following on.
void CAM_Reset();
// The mode of the level (0..16) and its preset; other levels are ignored.
void CAM_SetLevelMode(int level);
// The preferred mode and its preset (modes outside 1..7 take the near default).
void CAM_SetMode(int mode);
// Puts the camera at once behind the character (level start, network resynchronisation).
void CAM_SnapBehind(CharacterControl* control);
// Every frame: tuning keys, following the character (not while it is dead or the team is given
// orders), easing towards the preset place. A null control only eases the camera.
void CAM_Follow(CharacterControl* control);
// Every frame: the switch to another preset while the view of the character stays blocked for
// more than 750 ms, and back to the preferred mode once it is clear again.
void CAM_AutoSwitch(CharacterControl* control);
// 0: order mode, a little farther and turned; 1..4: pan left, right, back, forward by 75 units
// over the ground; 5, 6: turn left, right at a quarter turn per second. Others do nothing.
void CAM_Command(int command);
void CAM_EnableFollow();
void CAM_SetTarget(const Vec3* point);
void CAM_GetTarget(Vec3* out);
// The camera record's matrix, made from the pose: turns view space back into world space.
const Matrix34* CAM_GetState();
const Pose* CAM_GetPose();
int CAM_GetCameraSurface();
float CAM_GetYaw();
float CAM_GetPitch();
float CAM_GetDistance();
// The preferred mode and the preset the automatic switch took (0: none).
int CAM_GetMode();
int CAM_GetAutoMode();

// Test seams: the whole camera back to its process start (identity pose, pitch 0.523599,
// distance 1000, mode 0), and a pose set directly.
void CAM_ResetForTests();
void CAM_TestSetPose(const Pose& pose);
