// The bone effect routines that the draws call when they visit a bone: shock sparks, bleeding,
// a held object drawn at the bone, and the capture of the bone's world matrix.
#include "world/mdl_world.h"
#include "engine/mdl_internal.h"
#include "plat.h"
#include "world/cam.h"
#include "world/clk.h"
#include "world/ptc.h"
#include "world/wo.h"

namespace {

constexpr int kShockSparks = 3;

Vec3 Origin(const Matrix34* m) { return {m->m[9], m->m[10], m->m[11]}; }

// Unit direction from the parent's origin to the bone's origin, in the world.
Vec3 BoneDirection(const Matrix34* parent, const Matrix34* bone) {
    return MDL_Direction(MDL_ToWorld(Origin(parent)), MDL_ToWorld(Origin(bone)));
}

bool Passed(intptr_t until) { return intptr_t(g_GameClock.nowMs) >= until; }

}  // namespace

int32_t MDL_ShockEffect(float*, const Matrix34* parentMatrix, uint32_t, int32_t, ModelInstance* instance, int32_t bone,
                        const Matrix34* boneMatrix) {
    const ModelBone& b = instance->model.skinned->bones[bone];
    if (b.vertexCount > 0) {
        const Vec3 direction = BoneDirection(parentMatrix, boneMatrix);
        for (int k = 0; k < kShockSparks; ++k) {
            const Vec3& v = b.vertices[plat::rand() % b.vertexCount];
            Vec3 view;
            MTH_TransformPoint(&view, &v, boneMatrix);
            const Vec3 world = MDL_ToWorld(view);
            PTC_EmitShortBurst(&world, &direction, 0, 1);
        }
    }
    const intptr_t until = instance->boneEffectUntil[bone];
    if (until != 0 && Passed(until)) instance->boneEffects[bone] = nullptr;
    return 1;
}

int32_t MDL_BleedEffect(float*, const Matrix34* parentMatrix, uint32_t, int32_t, ModelInstance* instance, int32_t bone,
                        const Matrix34* boneMatrix) {
    const ModelBone& b = instance->model.skinned->bones[bone];
    if (b.vertexCount > 0) {
        const Vec3 origin = MDL_ToWorld(Origin(boneMatrix));
        const Vec3 direction = BoneDirection(parentMatrix, boneMatrix);
        PTC_EmitBurst(&origin, &direction, 9, 3);
    }
    if (Passed(instance->boneEffectUntil[bone])) instance->boneEffects[bone] = nullptr;
    return 1;
}

int32_t MDL_AttachmentEffect(float* vertexBuffer, const Matrix34*, uint32_t flags, int32_t, ModelInstance* instance,
                             int32_t bone, const Matrix34* boneMatrix) {
    auto* held = reinterpret_cast<WorldObjectControl*>(instance->boneEffectUntil[bone]);
    if (!held) return 1;
    if (ModelInstance* model = held->instance) {
        if (model->kind == MDL_KIND_SKINNED && g_EffectBonePose)
            MDL_DrawInstanceQuat(vertexBuffer, model, g_EffectBonePose, flags);
        else
            MDL_DrawInstance(vertexBuffer, model, boneMatrix, flags);
    }
    MTH_MatrixMultiply(&held->transform, CAM_GetState(), boneMatrix);
    return 1;
}

int32_t MDL_CaptureEffect(float*, const Matrix34*, uint32_t, int32_t, ModelInstance* instance, int32_t,
                          const Matrix34* boneMatrix) {
    MTH_MatrixMultiply(&instance->attachMatrix, CAM_GetState(), boneMatrix);
    return 1;
}
