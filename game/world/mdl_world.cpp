// The model calls that work on the world's records: the heading of a character's or an object's
// control record, which places its model, and the traces of a segment or a moving model against
// the bodies of the world.
#include "world/mdl_world.h"

#include <cmath>

#include "common/match.h"
#include "world/bod.h"
#include "world/character.h"
#include "world/wo.h"

namespace {

constexpr float kTwoPi = 6.28318530718f;

constexpr uint32_t kTraceMask = 284;  // characters and placed world objects
constexpr uint32_t kSweepMask = 28;   // characters
constexpr uint32_t kWorldObject = 64;
constexpr float kTraceStart = 1.001f;

template <typename Control>
void SetHeading(Control* control, float angle) {
    if (!control) return;
    // fmod instead of repeated steps of 2 pi: a huge angle (one from a network message, say)
    // would never move under the steps. A value that is not a number faces 0.
    float a = std::isfinite(angle) ? std::fmod(angle, kTwoPi) : 0.0f;
    if (a < 0.0f) a += kTwoPi;
    if (a >= kTwoPi) a = 0.0f;
    control->heading = a;
    const float c = std::cos(a), s = std::sin(a);
    float* m = control->transform.m;
    m[0] = c;
    m[1] = 0.0f;
    m[2] = -s;
    m[3] = 0.0f;
    m[4] = 1.0f;
    m[5] = 0.0f;
    m[6] = s;
    m[7] = 0.0f;
    m[8] = c;
    MTH_QuatFromAxisAngle(&control->pose.rotation, a, MTH_AXIS_Y);
}

// One entity as the traces see it: its model instance and its placement.
using Entity = ModelPlacement;

// Rigid and matrix-key models are placed by the transform; quaternion-key models by the pose's
// orientation at the entity's position.
template <typename Control>
Entity EntityOf(const Control* control) {
    Entity e{control->instance, control->transform, {control->transform.m[9], control->transform.m[10],
                                                     control->transform.m[11]}};
    const ModelInstance* i = e.instance;
    if (i && i->kind == MDL_KIND_SKINNED && (i->model.skinned->flags & MDL_SKIN_QUAT_KEYS)) {
        const Pose pose{control->pose.rotation, e.position};
        MTH_PoseToMatrix(&pose, &e.placement);
    }
    return e;
}

Entity EntityOfBod(const Bod* bod) {
    if (bod->classMask & kWorldObject) return EntityOf(static_cast<const WorldObjectControl*>(bod->control));
    return EntityOf(static_cast<const CharacterControl*>(bod->control));
}


int TraceEntity(const Entity& e, const Vec3* from, const Vec3* to, ModelTraceHit* hit) {
    return MDL_TraceSegmentPlaced(&e, from, to, hit);
}

}  // namespace

void MDL_SetHeading(CharacterControl* control, float angle) { SetHeading(control, angle); }

void MDL_SetHeading(WorldObjectControl* control, float angle) { SetHeading(control, angle); }

int MDL_TraceSegmentBody(CharacterControl* control, const Vec3* from, const Vec3* to, ModelTraceHit* hit) {
    if (!control) return -1;
    return TraceEntity(EntityOf(control), from, to, hit);
}

int MDL_TraceSegmentBody(WorldObjectControl* control, const Vec3* from, const Vec3* to, ModelTraceHit* hit) {
    if (!control) return -1;
    return TraceEntity(EntityOf(control), from, to, hit);
}

int MDL_TraceSegmentBods(Bod* tracer, const Vec3* from, const Vec3* to, ModelTraceHit* hit) {
    if (!hit || !from || !to) return 0;
    hit->t = kTraceStart;
    hit->hit = 0;
    const Bod* owner = nullptr;
    if (tracer && (tracer->classMask & kWorldObject) && tracer->control)
        owner = static_cast<const WorldObjectControl*>(tracer->control)->thrower;
    const float scale = APP_IsMultiplayerGame() ? 2.0f : 1.0f;
    for (Bod* b = BOD_FindFirst(&g_WorldBods, kTraceMask); b; b = BOD_FindNext(&g_WorldBods, kTraceMask, b)) {
        if (b == tracer || b == owner || b->active != 1 || !b->control) continue;
        const Entity e = EntityOfBod(b);
        if (!e.instance) continue;
        if (!MDL_SegmentHitsSphere(from, to, &e.position, MDL_GetRadius(e.instance) * scale)) continue;
        const float before = hit->t;
        TraceEntity(e, from, to, hit);
        if (hit->t < before) hit->hitBod = b;
    }
    return hit->hit;
}

void MDL_SweepModelAgainstBods(Bod* entity, const Vec3* displacement) {
    if (!entity || !entity->control || !displacement) return;
    const Entity self = EntityOfBod(entity);
    if (!self.instance) return;
    ModelTraceHit hit{};
    hit.t = 1.0f;
    for (Bod* b = BOD_FindFirst(&g_WorldBods, kSweepMask); b; b = BOD_FindNext(&g_WorldBods, kSweepMask, b)) {
        // A model never sweeps against itself.
        if (b == entity || b->active != 1 || !b->control) continue;
        const Entity other = EntityOfBod(b);
        if (!other.instance) continue;
        const Vec3 start = other.position;
        const Vec3 end{start.x - displacement->x, start.y - displacement->y, start.z - displacement->z};
        if (!MDL_SegmentHitsSphere(&start, &end, &self.position, MDL_GetRadius(self.instance))) continue;
        if (TraceEntity(self, &start, &end, &hit) < 0) continue;
        WOPickupOnTouch(b, entity);
        hit.t = 1.0f;
        hit.hit = 0;
    }
}
