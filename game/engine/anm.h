// Animation of model instances: starting animations by index or by name, the per-frame step with
// blending, frame callbacks and root motion, and the ground offset. The clock is the game clock
// (milliseconds); nothing moves while play is halted. The shock and bleed effects of characters
// are in world/mdl_world.h.
#pragma once
#include <cstdint>

#include "engine/mdl.h"

// The animation index that a skinned model plays instead of 16 once its right shin is gone, and
// the blend in and out of it.
constexpr int32_t ANM_WALK = 16;
constexpr int32_t ANM_LIMP = 34;
constexpr int32_t ANM_LIMP_BLEND_MS = 600;

// Result: the new frame.
int32_t ANM_SetByIndex(ModelInstance* instance, int32_t index, int32_t loopMode);
// Result: the frame (unchanged for an unknown name or a running animation of a skinned model).
int32_t ANM_SetByName(ModelInstance* instance, const char* name, int32_t loopMode);
// Advances to the game clock's now. rootMotionOut (may be null) receives the root motion of this
// step; the result is its z component.
float ANM_Advance(ModelInstance* instance, Vec3* rootMotionOut);
void ANM_Update(ModelInstance* instance);
// MDL_OK, or MDL_ERR_FRAME for a frame outside 0..frameCount-1. A null callback removes it.
int ANM_SetFrameCallback(ModelInstance* instance, int32_t frame, ModelFrameCallback callback, uintptr_t data);
float ANM_GetGroundOffset(const ModelInstance* instance);

