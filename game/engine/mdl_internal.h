// What the model files share among themselves: the bounded reader over a model file held in
// memory, the tracked allocations of tag 5, the scratch arrays, the readers of the two formats
// and small geometry helpers of the walks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/mdl.h"
#include "common/muf.h"

// Largest model file accepted (far beyond any model of the game).
constexpr size_t MDL_FILE_MAX = 64u << 20;

// Reads little-endian fields from a file image. Every read checks what is left: a short read
// clears ok, returns zeros and leaves every later read failing too.
struct MdlReader {
    const uint8_t* data;
    size_t size;
    size_t pos;
    bool ok;

    uint64_t Left() const { return ok ? size - pos : 0; }
    // True when n more bytes are there (n may be any 64-bit count).
    bool Has(uint64_t n) const { return ok && n <= size - pos; }
    bool Bytes(void* out, size_t n);
    bool Skip(uint64_t n);
    uint8_t U8();
    uint32_t U32();
    int32_t I32() { return int32_t(U32()); }
    float F32();
};

// The whole stream, up to its end; false when it is longer than MDL_FILE_MAX.
bool MDL_ReadStream(MufStream* stream, std::vector<uint8_t>* out);

// A zero-filled tracked block of tag 5; null when it cannot be had or bytes does not fit 32 bits.
void* MDL_Alloc(uint64_t bytes);

// Grows the triangle scratch (and its light array) to count faces; false when out of memory.
bool MDL_GrowTriangleScratch(int32_t count);
// Grows the shared vertex buffer and the normal scratch to count vertices.
bool MDL_GrowVertexScratch(int32_t count);
// Per-vertex normals of the smooth draws, as large as the shared vertex buffer.
extern float* g_ModelNormalScratch;

// The readers: the cache name is set by the caller; the reader starts at the file's first byte.
// Result MDL_OK or a negative MDL_Load code; on failure the record's arrays are freed by the
// caller with MDL_FreeRigidModel / MDL_FreeSkinnedModel.
int MDL_ReadRigidModel(MdlReader* in, RigidModel* model);
int MDL_ReadSkinnedModel(MdlReader* in, SkinnedModel* model);
// Frees the arrays and the record itself.
void MDL_FreeRigidModel(RigidModel* model);
void MDL_FreeSkinnedModel(SkinnedModel* model);
// The load-time derivations that need the first instance: ground offsets of the animations, the
// "run no weapon" root motion and the "stand" frame time.
void MDL_FinishSkinnedModel(SkinnedModel* model, const ModelInstance* instance);

// An animation record's checks shared by both formats: a finite, non-negative frame time whose
// duration in ms fits, and 0 <= first <= last < frameCount.
bool MDL_AnimationValid(const ModelAnimation& a, int32_t frameCount);
// Reads animationCount 44-byte records (or sets the one default animation).
ModelAnimation* MDL_ReadAnimations(MdlReader* in, int32_t animationCount, int32_t frameCount, int* result);
// frameTime x 1000 truncated, in single precision.
int32_t MDL_FrameMs(float frameTime);
// First animation whose name equals name without regard to case, or -1.
int MDL_FindAnimation(const ModelAnimation* animations, int32_t count, const char* name);

// Geometry.
Vec3 MDL_Decode(const uint8_t bytes[3], const Vec3& scale, const Vec3& offset);
Vec3 MDL_FaceNormal(const Vec3& c0, const Vec3& c1, const Vec3& c2);
// The bone's transform relative to its parent at a frame, as a matrix, for either kind of key.
void MDL_BoneLocalMatrix(const SkinnedModel* model, int32_t bone, int32_t frame, Matrix34* out);
// The quantised key box of a bone at a frame.
const uint8_t* MDL_KeyBoxMin(const SkinnedModel* model, int32_t bone, int32_t frame);
const uint8_t* MDL_KeyBoxMax(const SkinnedModel* model, int32_t bone, int32_t frame);
// The rigid frame's vertex decoded (packed) or as stored.
Vec3 MDL_RigidVertex(const RigidModel* model, const ModelFrame* frame, uint32_t index);
// Number of frames of a model, 0 for a null instance.
int32_t MDL_FrameCount(const ModelInstance* instance);

// The true orientation of the bone whose effect routine runs inside a quaternion-key walk (null
// outside such a call): the attachment effect draws a held skinned model with it.
extern const Pose* g_EffectBonePose;
// World position of a view-space point: the camera record's matrix applied to it.
Vec3 MDL_ToWorld(const Vec3& viewPoint);
// Unit vector from a to b, zero when they coincide.
Vec3 MDL_Direction(const Vec3& a, const Vec3& b);
