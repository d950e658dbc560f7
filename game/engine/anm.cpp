// The animation of model instances: starting an animation by index or by name (with the blend of
// skinned models), the per-frame step that crosses whole frames, calls the frame callbacks and
// adds up root motion, frame callbacks and the ground offset.
#include "engine/anm.h"

#include <cstring>

#include "engine/mdl_internal.h"
#include "common/match.h"
#include "common/game_clock.h"

namespace {

// A gap longer than this (a loading screen, a stall) counts as kResumeMs.
constexpr int32_t kLongGapMs = 3000;
constexpr int32_t kResumeMs = 100;
// A blend of length 0 ends at once.
constexpr float kInstantBlend = 1.00001f;

// In a network game these play once whatever the caller asks (compared with regard to case).
constexpr const char* kDeathAnimations[] = {"die", "die2", "fall back die", "Die on spot", "collapse"};

int32_t AnimationCount(const ModelInstance* instance) {
    const int32_t stored = instance->kind == MDL_KIND_RIGID ? instance->model.rigid->animationCount
                                                            : instance->model.skinned->animationCount;
    return stored ? stored : 1;
}

ModelAnimation* Animations(const ModelInstance* instance) {
    return instance->kind == MDL_KIND_RIGID ? instance->model.rigid->animations
                                            : instance->model.skinned->animations;
}

const ModelAnimation& Current(const ModelInstance* instance) { return Animations(instance)[instance->animation]; }

// The displacement of the whole model over one absolute frame.
Vec3 Displacement(const ModelInstance* instance, int32_t frame) {
    return instance->kind == MDL_KIND_RIGID ? instance->model.rigid->frames[frame].rootMotion
                                            : instance->model.skinned->rootMotion[frame];
}

void AddScaled(Vec3* r, const Vec3& d, float s) {
    r->x += d.x * s;
    r->y += d.y * s;
    r->z += d.z * s;
}

bool IsDeathAnimation(const char* name) {
    for (const char* death : kDeathAnimations)
        if (std::strcmp(name, death) == 0) return true;
    return false;
}

// The step over n whole frames (steps 1-8 of the frame step). Returns false when a frame
// callback started another animation, which ends the step without root motion.
bool FrameStep(ModelInstance* instance, int64_t n, Vec3* motion) {
    *motion = Vec3{0.0f, 0.0f, 0.0f};
    if (MDL_FrameCount(instance) < 2) return true;
    const ModelAnimation& a = Current(instance);
    const int32_t first = a.firstFrame, last = a.lastFrame;
    if (first == last) {
        instance->frame = instance->nextFrame = first;
        instance->frameMs = 0;
        return true;
    }
    const bool looping = instance->loopMode != 0;
    const int64_t span = int64_t(last) - first + 1;
    const int32_t from = instance->frame;
    int64_t t = int64_t(from) + n;
    // The wrap uses the cycle length last - first + 1, the same as the walk below, so a step that
    // crosses a whole cycle lands on the frame whose callback ran last.
    if (t > last) t = looping ? first + (t - last - 1) % span : last;

    Vec3 r{0.0f, 0.0f, 0.0f};
    if (n == 0) {
        if (looping || instance->frameMs != 0)
            AddScaled(&r, Displacement(instance, from), instance->fraction - instance->prevFraction);
    } else if (looping || instance->frameMs != 0) {
        const int64_t end = looping ? int64_t(from) + n : t;
        for (int64_t k = int64_t(from) + 1; k <= end; ++k) {
            const int32_t f = int32_t(first + (k - first) % span);
            if (ModelFrameCallback callback = instance->frameCallbacks[f]) {
                const int32_t animation = instance->animation;
                instance->frame = f;
                if (looping) instance->nextFrame = f;
                if (callback(instance->frameCallbackData[f]) == 0 && instance->frameCallbacks[f] == callback)
                    instance->frameCallbacks[f] = nullptr;
                if (instance->animation != animation) return false;
                instance->frame = from;
            }
            AddScaled(&r, Displacement(instance, f), 1.0f);
        }
        AddScaled(&r, Displacement(instance, from), 1.0f - instance->prevFraction);
        AddScaled(&r, Displacement(instance, int32_t(t)), -(1.0f - instance->fraction));
    }
    if (looping) {
        instance->nextFrame = t + 1 > last ? first : int32_t(t + 1);
    } else {
        instance->nextFrame = t + 1 > last ? last : int32_t(t + 1);
        if (t == last) instance->frameMs = 0;
    }
    instance->frame = int32_t(t);
    *motion = r;
    return true;
}

bool CarriesShock(const ModelInstance* instance) {
    if (!g_ModelWorldHooks.shockEffect) return false;
    const int32_t bones = instance->model.skinned->boneCount;
    for (int32_t b = 0; b < bones; ++b)
        if (instance->boneEffects[b] == g_ModelWorldHooks.shockEffect) return true;
    return false;
}

}  // namespace

int32_t ANM_SetByIndex(ModelInstance* instance, int32_t index, int32_t loopMode) {
    if (!instance) return 0;
    if (index < 0 || index >= AnimationCount(instance)) return instance->frame;
    const ModelAnimation& a = Animations(instance)[index];
    int32_t mode = loopMode;
    if (APP_IsMultiplayerGame() && IsDeathAnimation(a.name)) mode = 0;
    instance->animation = index;
    instance->frame = a.firstFrame;
    if (instance->kind == MDL_KIND_SKINNED)
        instance->nextFrame = a.firstFrame + 1 > a.lastFrame ? a.lastFrame : a.firstFrame + 1;
    instance->frameMs = MDL_FrameMs(a.frameTime);
    instance->loopMode = mode;
    instance->startTime = 0;
    return instance->frame;
}

int32_t ANM_SetByName(ModelInstance* instance, const char* name, int32_t loopMode) {
    if (!instance) return 0;
    const int32_t count = AnimationCount(instance);
    const int found = MDL_FindAnimation(Animations(instance), count, name);
    if (found < 0) return instance->frame;
    if (instance->kind == MDL_KIND_RIGID) {
        const ModelAnimation& a = Animations(instance)[found];
        instance->animation = found;
        instance->frame = instance->nextFrame = a.firstFrame;
        instance->frameMs = MDL_FrameMs(a.frameTime);
        instance->loopMode = loopMode;
        instance->startTime = 0;
        return instance->frame;
    }
    // A running animation is not restarted; one that has ended (play once) is.
    if (found == instance->animation && instance->frameMs != 0) return instance->frame;
    const SkinnedModel* model = instance->model.skinned;
    const bool hasLimp = count > ANM_LIMP;
    if (instance->animation == ANM_LIMP && hasLimp) instance->blendMs = ANM_LIMP_BLEND_MS;
    instance->animation = found;
    // Without its right shin the body limps instead of walking, when the model has a limp.
    const int32_t shin = model->namedBones[MDL_BONE_RSHIN];
    if (found == ANM_WALK && shin >= 0 && instance->boneStates[shin] == 0 && hasLimp) instance->animation = ANM_LIMP;
    if (instance->animation == ANM_LIMP && hasLimp) instance->blendMs = ANM_LIMP_BLEND_MS;
    const ModelAnimation& a = Animations(instance)[instance->animation];
    instance->blending = 1;
    instance->nextFrame = a.firstFrame;
    instance->startTime = g_GameClock.nowMs;
    instance->frameMs = MDL_FrameMs(a.frameTime);
    instance->loopMode = loopMode;
    instance->fraction = 0.0f;
    if (instance->frame == a.firstFrame) {
        instance->nextFrame = a.firstFrame + 1 > a.lastFrame ? a.lastFrame : a.firstFrame + 1;
        instance->blending = 0;
    }
    if (instance->blendMs != ANM_LIMP_BLEND_MS) instance->blendMs = instance->frameMs;
    return instance->frame;
}

float ANM_Advance(ModelInstance* instance, Vec3* rootMotionOut) {
    Vec3 motion{0.0f, 0.0f, 0.0f};
    if (rootMotionOut) *rootMotionOut = motion;
    if (!instance) return 0.0f;
    const int32_t now = g_GameClock.nowMs;

    if (instance->kind == MDL_KIND_SKINNED && CarriesShock(instance)) {
        instance->effectTimer -= now - g_GameClock.previousMs;
        if (instance->effectTimer <= 0) {
            instance->effectTimer = 0;
            for (int32_t b = 0; b < instance->model.skinned->boneCount; ++b) {
                instance->boneEffects[b] = g_ModelWorldHooks.bleedEffect;
                instance->boneEffectUntil[b] = intptr_t(now) + 1000;
            }
        }
    }
    if (APP_IsPlayHalted() || APP_WasHaltedLastFrame()) {
        instance->startTime = now;
        return 0.0f;
    }
    const bool blending = instance->kind == MDL_KIND_SKINNED && instance->blending;
    if (instance->frameMs == 0 && !blending) return 0.0f;
    // A clock that went back (it never should) is treated like a long gap, so no step runs
    // backwards.
    const int64_t gap = int64_t(now) - instance->startTime;
    if (instance->startTime == 0 || gap > kLongGapMs || gap < 0) instance->startTime = now - kResumeMs;

    if (blending) {
        instance->prevFraction = instance->fraction;
        instance->fraction = instance->blendMs ? float(now - instance->startTime) / float(instance->blendMs)
                                               : kInstantBlend;
        if (instance->fraction <= 1.0f) return 0.0f;
        const ModelAnimation& a = Current(instance);
        instance->frame = a.firstFrame;
        instance->nextFrame = a.firstFrame + 1 > a.lastFrame ? a.lastFrame : a.firstFrame + 1;
        instance->blending = 0;
        instance->blendMs = 0;
        instance->fraction = 0.0f;
        instance->startTime = now;
        if (a.firstFrame == a.lastFrame) instance->frameMs = 0;
        if (instance->frameMs == 0) return 0.0f;
    }

    const int64_t elapsed = int64_t(now) - instance->startTime;
    const int64_t length = int64_t(instance->frameMs) * (instance->halfSpeed ? 2 : 1);
    const int64_t crossed = elapsed / length;
    const int64_t rest = elapsed % length;
    instance->prevFraction = instance->fraction;
    instance->fraction = float(rest) / float(length);
    instance->startTime = int32_t(now - rest);
    if (!FrameStep(instance, crossed, &motion)) return 0.0f;
    if (rootMotionOut) *rootMotionOut = motion;
    return motion.z;
}

void ANM_Update(ModelInstance* instance) { ANM_Advance(instance, nullptr); }

int ANM_SetFrameCallback(ModelInstance* instance, int32_t frame, ModelFrameCallback callback, uintptr_t data) {
    if (!instance || frame < 0 || frame >= MDL_FrameCount(instance)) return MDL_ERR_FRAME;
    instance->frameCallbacks[frame] = callback;
    instance->frameCallbackData[frame] = data;
    return MDL_OK;
}

float ANM_GetGroundOffset(const ModelInstance* instance) {
    if (!instance) return 0.0f;
    const ModelAnimation& a = Current(instance);
    if (instance->kind == MDL_KIND_SKINNED) return a.groundOffset;
    const RigidModel* model = instance->model.rigid;
    return float(model->frames[a.firstFrame].boxMin[1]) * model->scale.y + model->offset.y;
}
