// Bod queries in space: the linking of the level's statics and projectile models after placement,
// the melee target search inside a heading arc, and the segment trace against the landscape and
// the characters' bodies.
#include <cmath>
#include <strings.h>

#include "world/mdl_world.h"
#include "engine/mdl.h"
#include "common/match.h"
#include "world/act.h"
#include "engine/landscape_query.h"
#include "engine/rnd_batch.h"
#include "engine/rnd_projection.h"
#include "world/bod.h"
#include "world/bod_record.h"
#include "world/character.h"

namespace {
constexpr float kArcWidth = 100.0f;
constexpr float kArcWidthNetwork = 200.0f;
constexpr float kFarAway = 100000.0f;
constexpr int32_t kHitKindBody = 3;

// The class-128 bod whose static name equals name (without case), or null for an empty name.
Bod* ResolveLink(const char* name) {
    return name && *name ? BOD_FindStaticByName(name) : nullptr;
}

float PlanDistance(const Vec3& a, const Vec3& b) {
    const float dx = a.x - b.x, dz = a.z - b.z;
    return std::sqrt(dx * dx + dz * dz);
}
}  // namespace

void BOD_LinkLevelObjects() {
    for (Bod* bod = g_WorldBods.head; bod; bod = bod->next) {
        WorldObjectControl* object = bod->classMask == BOD_CLASS_STATIC ? BOD_ObjectOf(bod) : nullptr;
        if (!object)
            continue;
        if (object->param3 && *object->param3)
            object->param3Bod = ResolveLink(object->param3);
        if (object->param5 && *object->param5)
            object->onObject = ResolveLink(object->param5);
        if (object->param7 && *object->param7)
            object->offObject = ResolveLink(object->param7);
    }
    for (Bod* bod = g_WorldBods.head; bod; bod = bod->next) {
        WorldObjectControl* object = (bod->classMask & BOD_CLASS_OBJECT) ? BOD_ObjectOf(bod) : nullptr;
        if (!object || object->linkedType == WO_NO_TYPE || object->ammoFor != WO_NO_TYPE)
            continue;
        const char* model = WO_TypeModelFile(object->linkedType);
        if (!model || object->linkedInstance)
            continue;
        MDL_Load(model, &object->linkedInstance);
        if (const char* skin = WO_TypeSkinFile(object->linkedType))
            MDL_LoadSkin(object->linkedInstance, skin);
    }
}

Bod* BOD_FindNearestTarget(Bod* bod) {
    CharacterControl* self = BOD_CharacterOf(bod);
    if (!self)
        return nullptr;
    self->lastHitBod = nullptr;
    uint32_t mask = BOD_MASK_CHARACTERS;
    if (g_FriendlyFire == 0 && (bod->classMask & (BOD_CLASS_PLAYER | BOD_CLASS_HUMAN)))
        mask = BOD_CLASS_NPC;
    const float width = APP_IsMultiplayerGame() ? kArcWidthNetwork : kArcWidth;
    const Vec3 eye = BOD_PositionOf(self);
    Bod* best = nullptr;
    float bestDistance = kFarAway;
    for (Bod* other = g_WorldBods.head; other; other = other->next) {
        if (other == bod || !(other->classMask & mask))
            continue;
        const CharacterControl* target = BOD_CharacterOf(other);
        if (!target || target->dead || !target->ai)
            continue;
        const Vec3 position = BOD_PositionOf(target);
        if (RND_IsOutsideHeadingArc(&position, &eye, self->heading, width))
            continue;
        self->lastHitBod = other;
        const float distance = PlanDistance(position, eye);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = other;
        }
    }
    return best;
}

int32_t BOD_TraceSegment(Bod* ignoreBod, uint32_t surface, const Vec3* start, const Vec3* end, ModelTraceHit* hit) {
    if (!hit || !start || !end)
        return 0;
    hit->hitBod = nullptr;
    TraceHit landscape = {};
    int32_t result = -1;
    if (LND_TraceSegment(&landscape, int32_t(surface), 0, start, end)) {
        const float dx = end->x - start->x, dy = end->y - start->y, dz = end->z - start->z;
        const float length = std::sqrt(dx * dx + dy * dy + dz * dz);
        hit->unused0 = uint32_t(landscape.kind);
        hit->t = length > 0.0f ? landscape.distance / length : 0.0f;
        hit->point = landscape.point;
        hit->normal = landscape.normal;
        hit->hit = 1;
        hit->unused1 = 0;
        result = BOD_TRACE_LANDSCAPE;
    } else {
        hit->t = 1.0f;
    }
    const bool network = APP_IsMultiplayerGame() != 0;
    for (Bod* bod = g_WorldBods.head; bod; bod = bod->next) {
        if (!(bod->classMask & BOD_MASK_TRACE) || !bod->active || bod == ignoreBod)
            continue;
        BOD_WithRecord(bod, [&](auto* record) {
            if (!record->instance)
                return;
            const Vec3 centre = BOD_PositionOf(record);
            const float radius = MDL_GetRadius(record->instance) * (network ? 2.0f : 1.0f);
            if (!MDL_SegmentHitsSphere(start, end, &centre, radius))
                return;
            const int bone = MDL_TraceSegmentBody(record, start, end, hit);
            if (bone > -1) {
                result = bone;
                hit->unused0 = kHitKindBody;
                hit->hitBod = bod;
            }
        });
    }
    if (result >= 0 && hit->unused0 != uint32_t(kHitKindBody))
        hit->unused1 = 1;
    return result;
}
