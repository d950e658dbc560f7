// The model and animation calls that work on the world's records: headings of control records,
// the bone effects that characters' instances run, the shock and bleed effects of characters,
// and the traces against the world's bodies.
#pragma once
#include <cstdint>

#include "engine/anm.h"
#include "engine/mdl.h"

struct Bod;
struct CharacterControl;
struct WorldObjectControl;

// Wraps angle into [0, 2 pi) and writes the heading, the y rotation of the transform and the
// quaternion of the pose.
void MDL_SetHeading(CharacterControl* control, float angle);
void MDL_SetHeading(WorldObjectControl* control, float angle);

// Bone effect routines.
int32_t MDL_ShockEffect(float* vertexBuffer, const Matrix34* parentMatrix, uint32_t flags, int32_t frame,
                        ModelInstance* instance, int32_t bone, const Matrix34* boneMatrix);
int32_t MDL_BleedEffect(float* vertexBuffer, const Matrix34* parentMatrix, uint32_t flags, int32_t frame,
                        ModelInstance* instance, int32_t bone, const Matrix34* boneMatrix);
// boneEffectUntil of the bone holds the held object's WorldObjectControl.
int32_t MDL_AttachmentEffect(float* vertexBuffer, const Matrix34* parentMatrix, uint32_t flags, int32_t frame,
                             ModelInstance* instance, int32_t bone, const Matrix34* boneMatrix);
int32_t MDL_CaptureEffect(float* vertexBuffer, const Matrix34* parentMatrix, uint32_t flags, int32_t frame,
                          ModelInstance* instance, int32_t bone, const Matrix34* boneMatrix);

// Bone effects of a character's skinned instance (rigid and missing instances are left alone).
// Negative seconds: a shock without end.
void ANM_ApplyShockEffect(CharacterControl* control, float seconds);
// The same, and the host of a network game tells the other machines (game message 24).
void ANM_StartShockEffect(CharacterControl* control, float seconds);
void ANM_StartBleedEffect(CharacterControl* control, float seconds);

// Game message 24: u8 24, u8 1 player / 0 NPC, u8 index in that list, u8 unused, f32 seconds.
constexpr uint8_t ANM_MSG_SHOCK = 24;
constexpr int ANM_MSG_SHOCK_BYTES = 8;

int MDL_TraceSegmentBody(CharacterControl* control, const Vec3* from, const Vec3* to, ModelTraceHit* hit);
int MDL_TraceSegmentBody(WorldObjectControl* control, const Vec3* from, const Vec3* to, ModelTraceHit* hit);
int MDL_TraceSegmentBods(Bod* tracer, const Vec3* from, const Vec3* to, ModelTraceHit* hit);
void MDL_SweepModelAgainstBods(Bod* entity, const Vec3* displacement);
