// Bone and bounds queries: a bone by name, a bone's world transform (walking only the path from
// the root bone, which the depth-first numbering of bones makes possible without a search), key
// boxes, radii, the current bounds and their lowest corner, and the quick sphere tests.
#include <cmath>
#include <strings.h>

#include "engine/mdl_internal.h"

namespace {

bool Skinned(const ModelInstance* instance) { return instance && instance->kind == MDL_KIND_SKINNED; }

bool InRange(const ModelInstance* instance, int32_t frame, int32_t bone) {
    const SkinnedModel* m = instance->model.skinned;
    return frame >= 0 && frame < m->frameCount && bone >= 0 && bone < m->boneCount;
}

// Walks from the root bone towards target, calling step(bone) for each bone on the way (the
// target included). False when a bone without children ends the walk first.
template <typename Step>
bool WalkPath(const SkinnedModel* m, int32_t root, int32_t target, Step step) {
    int32_t bone = root;
    for (;;) {
        step(bone);
        if (bone == target) return true;
        const ModelBone& b = m->bones[bone];
        if (b.childCount == 0) return false;
        // A child's subtree spans the slots from it up to the next child.
        int32_t next = b.children[b.childCount - 1];
        for (int32_t i = 0; i + 1 < b.childCount; ++i) {
            const int32_t c = b.children[i];
            if (c == target || (c < target && target < b.children[i + 1])) {
                next = c;
                break;
            }
        }
        bone = next;
    }
}

}  // namespace

int MDL_FindBone(const ModelInstance* instance, const char* name) {
    if (!Skinned(instance) || !name) return -1;
    const SkinnedModel* m = instance->model.skinned;
    for (int32_t i = 0; i < m->boneCount; ++i)
        if (strcasecmp(m->bones[i].name, name) == 0) return i;
    return -1;
}

void MDL_GetBoneTransformQ(const ModelInstance* instance, int32_t frame, int32_t bone, const Pose* orientation,
                           Matrix34* outMatrix, Pose* outPose) {
    if (!Skinned(instance) || !orientation || !InRange(instance, frame, bone)) return;
    const SkinnedModel* m = instance->model.skinned;
    if (!(m->flags & MDL_SKIN_QUAT_KEYS) || instance->rootBone < 0 || instance->rootBone >= m->boneCount) return;
    // The walk carries the conjugated orientation; the bone's matrix is the transposed matrix of
    // its walk pose, and the pose handed back is conjugated to the true orientation again.
    Pose pose = *orientation;
    MDL_QuatConjugate(&pose.rotation);
    Matrix34 matrix;
    MTH_PoseToMatrixTransposed(&pose, &matrix);
    const bool reached = WalkPath(m, instance->rootBone, bone, [&](int32_t b) {
        const Pose& key = m->bones[b].quatKeys[frame].pose;
        Pose next;
        MTH_QuatMultiply(&key.rotation, &pose.rotation, &next.rotation);
        MTH_TransformPoint(&next.translation, &key.translation, &matrix);
        pose = next;
        MTH_PoseToMatrixTransposed(&pose, &matrix);
    });
    if (!reached) return;
    if (outMatrix) *outMatrix = matrix;
    if (outPose) {
        *outPose = pose;
        MDL_QuatConjugate(&outPose->rotation);
    }
}

void MDL_GetBoneMatrix(const ModelInstance* instance, int32_t frame, int32_t bone, const Matrix34* baseMatrix,
                       Matrix34* outMatrix) {
    if (!Skinned(instance) || !baseMatrix || !InRange(instance, frame, bone)) return;
    const SkinnedModel* m = instance->model.skinned;
    if ((m->flags & MDL_SKIN_QUAT_KEYS) || instance->rootBone < 0 || instance->rootBone >= m->boneCount) return;
    Matrix34 matrix = *baseMatrix;
    const bool reached = WalkPath(m, instance->rootBone, bone, [&](int32_t b) {
        MTH_MatrixMultiply(&matrix, &matrix, &m->bones[b].matrixKeys[frame].matrix);
    });
    if (reached && outMatrix) *outMatrix = matrix;
}

void MDL_GetBoneBounds(const ModelInstance* instance, int32_t frame, int32_t bone, Vec3* outMin, Vec3* outMax) {
    if (!Skinned(instance) || !InRange(instance, frame, bone)) return;
    const SkinnedModel* m = instance->model.skinned;
    if (outMin) *outMin = MDL_Decode(MDL_KeyBoxMin(m, bone, frame), m->scale, m->offset);
    if (outMax) *outMax = MDL_Decode(MDL_KeyBoxMax(m, bone, frame), m->scale, m->offset);
}

float MDL_GetBoneRadius(const ModelInstance* instance, int32_t bone) {
    if (!Skinned(instance) || bone < 0 || bone >= instance->model.skinned->boneCount) return 0.0f;
    return instance->model.skinned->bones[bone].radius;
}

void MDL_GetCurrentBounds(const ModelInstance* instance, Vec3* outMin, Vec3* outMax) {
    if (!instance) return;
    if (instance->kind == MDL_KIND_SKINNED) {
        MDL_GetBoneBounds(instance, instance->frame, instance->rootBone, outMin, outMax);
        return;
    }
    const RigidModel* m = instance->model.rigid;
    const ModelFrame& f = m->frames[instance->frame];
    if (outMin) *outMin = MDL_Decode(f.boxMin, m->scale, m->offset);
    if (outMax) *outMax = MDL_Decode(f.boxMax, m->scale, m->offset);
}

void MDL_GetLowestCorner(const ModelInstance* instance, const Matrix34* matrix, Vec3* out) {
    if (!instance || !matrix || !out) return;
    Vec3 lo{0, 0, 0}, hi{0, 0, 0};
    MDL_GetCurrentBounds(instance, &lo, &hi);
    Vec3 best{matrix->m[9], matrix->m[10], matrix->m[11]};
    for (int k = 0; k < 8; ++k) {
        const Vec3 corner{(k & 1) ? hi.x : lo.x, (k & 2) ? hi.y : lo.y, (k & 4) ? hi.z : lo.z};
        Vec3 p;
        MTH_TransformPoint(&p, &corner, matrix);
        if (p.y < best.y) best = p;
    }
    *out = best;
}

float MDL_GetRadius(const ModelInstance* instance) {
    if (!instance) return 0.0f;
    return instance->kind == MDL_KIND_RIGID ? instance->model.rigid->radius : instance->model.skinned->radius;
}

int MDL_TestSphereBounds(const ModelInstance* instance, const Matrix34* matrix, const Vec3* point, float extraRadius) {
    if (!instance || !matrix || !point) return -1;
    const float dx = point->x - matrix->m[9], dy = point->y - matrix->m[10], dz = point->z - matrix->m[11];
    return std::sqrt(dx * dx + dy * dy + dz * dz) <= MDL_GetRadius(instance) + extraRadius ? 0 : -1;
}

int MDL_TestPointBounds(const ModelInstance* instance, const Matrix34* matrix, const Vec3* point) {
    return MDL_TestSphereBounds(instance, matrix, point, 0.0f);
}
