// Animation of model instances: starting animations by index or by name, the per-frame step with
// blending, frame callbacks and root motion, the ground offset, and the per-bone shock and bleed
// effects. The clock is the game clock (milliseconds); nothing moves while play is halted.
#pragma once
#include <cstdint>

#include "engine/mdl.h"

struct CharacterControl;

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

// Bone effects of a character's skinned instance (rigid and missing instances are left alone).
// Negative seconds: a shock without end.
void ANM_ApplyShockEffect(CharacterControl* control, float seconds);
// The same, and the host of a network game tells the other machines (game message 24).
void ANM_StartShockEffect(CharacterControl* control, float seconds);
void ANM_StartBleedEffect(CharacterControl* control, float seconds);

// Game message 24: u8 24, u8 1 player / 0 NPC, u8 index in that list, u8 unused, f32 seconds.
constexpr uint8_t ANM_MSG_SHOCK = 24;
constexpr int ANM_MSG_SHOCK_BYTES = 8;
