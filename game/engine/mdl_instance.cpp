// Model instances: creation (one tracked block, the head followed by its tables), cloning and
// freeing.
#include <cstring>

#include "engine/mdl_internal.h"
#include "common/mem.h"

namespace {

size_t Align(size_t at, size_t to) { return (at + to - 1) / to * to; }

}  // namespace

ModelInstance* MDL_CreateInstance(int32_t kind, void* model) {
    if (!model || (kind != MDL_KIND_RIGID && kind != MDL_KIND_SKINNED)) return nullptr;
    const bool skinned = kind == MDL_KIND_SKINNED;
    const auto* rigid = static_cast<const RigidModel*>(model);
    const auto* skin = static_cast<const SkinnedModel*>(model);
    const uint64_t frames = uint64_t(skinned ? skin->frameCount : rigid->frameCount);
    const uint64_t bones = skinned ? uint64_t(skin->boneCount) : 0;
    const ModelAnimation& first = skinned ? skin->animations[0] : rigid->animations[0];

    // Tables in order: frame callbacks, their data, then (skinned) bone states, bone effects and
    // their end times, each aligned for its type.
    const size_t callbacksAt = Align(sizeof(ModelInstance), alignof(ModelFrameCallback));
    const size_t dataAt = Align(callbacksAt + frames * sizeof(ModelFrameCallback), alignof(uintptr_t));
    const size_t statesAt = Align(dataAt + frames * sizeof(uintptr_t), alignof(uint32_t));
    const size_t effectsAt = Align(statesAt + bones * sizeof(uint32_t), alignof(ModelBoneEffect));
    const size_t untilAt = Align(effectsAt + bones * sizeof(ModelBoneEffect), alignof(intptr_t));
    const size_t total = untilAt + bones * sizeof(intptr_t);
    auto* block = static_cast<unsigned char*>(MDL_Alloc(total));
    if (!block) return nullptr;

    auto* instance = reinterpret_cast<ModelInstance*>(block);
    instance->kind = kind;
    if (skinned)
        instance->model.skinned = const_cast<SkinnedModel*>(skin);
    else
        instance->model.rigid = const_cast<RigidModel*>(rigid);
    instance->frameCallbacks = reinterpret_cast<ModelFrameCallback*>(block + callbacksAt);
    instance->frameCallbackData = reinterpret_cast<uintptr_t*>(block + dataAt);
    if (skinned) {
        instance->boneStates = reinterpret_cast<uint32_t*>(block + statesAt);
        instance->boneEffects = reinterpret_cast<ModelBoneEffect*>(block + effectsAt);
        instance->boneEffectUntil = reinterpret_cast<intptr_t*>(block + untilAt);
        for (uint64_t b = 0; b < bones; ++b) instance->boneStates[b] = MDL_BONE_PRESENT;
    }
    instance->frame = first.firstFrame;
    instance->frameMs = MDL_FrameMs(first.frameTime);
    return instance;
}

int MDL_CloneInstance(const ModelInstance* source, ModelInstance** instanceOut) {
    if (!source || !instanceOut) return -1;
    ModelInstance* copy =
        MDL_CreateInstance(source->kind, source->kind == MDL_KIND_RIGID ? static_cast<void*>(source->model.rigid)
                                                                          : static_cast<void*>(source->model.skinned));
    if (!copy) return MDL_ERR_MEMORY;
    copy->skin = source->skin;
    copy->frame = source->frame;
    copy->frameMs = source->frameMs;
    copy->animation = source->animation;
    copy->loopMode = source->loopMode;
    copy->nextFrame = source->nextFrame;
    copy->blending = source->blending;
    copy->blendMs = source->blendMs;
    copy->startTime = source->startTime;
    copy->halfSpeed = source->halfSpeed;
    *instanceOut = copy;
    return 0;
}

void MDL_FreeInstance(ModelInstance* instance) {
    if (instance) MEM_Free(instance);
}

void MDL_QuatConjugate(Quat* q) {
    q->x = -q->x;
    q->y = -q->y;
    q->z = -q->z;
}
