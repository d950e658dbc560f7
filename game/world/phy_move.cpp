// Character movement: the locomotion step (root motion, forward speed, the surface's push), its
// collision with other characters, landscape walls and landscape objects with the slide along a
// wall, ground following, the per-surface lists of landscape objects, the geometry tests they use,
// and the ballistic step of a falling character.
#include "world/phy.h"

#include <algorithm>
#include <iterator>
#include <cmath>

#include "common/game_clock.h"
#include "common/match.h"
#include "engine/anm.h"
#include "engine/landscape_query.h"
#include "engine/lnd.h"
#include "net/net.h"
#include "world/act_support.h"
#include "world/ai.h"
#include "world/bod.h"
#include "world/bod_record.h"
#include "world/character.h"
#include "world/game_frame.h"
#include "world/mdl_world.h"

namespace {
constexpr float kLevelWallSlope[PHY_LEVELS] = {0.2f, 0.1f, 0.1f, 0.0f, 0.6f, 0.6f, 0.2f, 0.2f, 0.0f,
                                               0.7f, 0.2f, 0.0f, 0.1f, 0.1f, 0.7f, 0.1f, 0.1f};
constexpr float kLevelStepHeight[PHY_LEVELS] = {70, 50, 70, 0, 50, 60, 80, 50, 0, 50, 50, 0, 50, 50, 50, 80, 50};

constexpr float kFrameStepsPerSecond = 25.6f;
constexpr float kProbeMinimum = 70.0f;     // the probe reaches at least this far ahead
constexpr float kProbeHalfWidth = 35.0f;   // and this far to each side
constexpr float kProbeHeight = 200.0f;     // the band above the step height
constexpr float kGroundReach = 200.0f;     // object tops this far above the feet are stood on
constexpr float kBlockerCosine = 0.7f;     // approaches more head-on than this do not slide
constexpr float kPushHeight = 160.0f;      // belts and flows carry characters this close to the ground
constexpr float kBeltFactor = 18.0f;
constexpr float kStrongFlow = 50.0f;
constexpr float kRiverSweep = 10.0f;       // level 2: units per frame
constexpr int kRiverLevel = 2;
constexpr int32_t kSweptAction = 65;
constexpr int32_t kUnsweptActions[] = {64, 48, 44, 28, 27};
constexpr float kFacing = 0.01f;           // a face counts only when it faces the step this much

Landscape* Loaded() {
    return g_MapLoaded && g_Landscape && g_Landscape->surfaces ? g_Landscape : nullptr;
}

bool SurfaceValid(const Landscape* l, int32_t s) {
    return l && s >= 1 && s <= l->surfaceCount;
}

bool ObjectValid(const Landscape* l, int32_t o) {
    return l && l->objects && o >= 1 && o <= l->objectCount;
}

const Vec3& Corner(const Landscape* l, int32_t s, int i) {
    static const Vec3 kNone{0.0f, 0.0f, 0.0f};
    const uint16_t e = l->surfaces[s].edges[i];
    if (e < 1 || e > l->edgeCount)
        return kNone;
    const uint16_t v = l->edges[e].vertex1;
    return v >= 1 && v <= l->vertexCount ? l->vertices[v].position : kNone;
}

uint32_t SurfaceTexture(const Landscape* l, int32_t s) {
    const uint16_t m = l->surfaces[s].material;
    return m >= 1 && m <= l->materialCount ? l->materials[m].currentTexture : 0;
}

float Dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec3 Sub(const Vec3& a, const Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec3 Unit(const Vec3& v) {
    const float length = std::sqrt(Dot(v, v));
    return length > 0.0f ? Vec3{v.x / length, v.y / length, v.z / length} : Vec3{0.0f, 0.0f, 0.0f};
}

bool OnClient() {
    return APP_IsMultiplayerGame() && !NET_IsHost();
}

// The object's reference vertex: where its vertices are measured from.
Vec3 ObjectOrigin(const Landscape* l, const LandscapeObject& o) {
    if (o.positionRef >= 1 && o.positionRef <= l->vertexCount)
        return l->vertices[o.positionRef].position;
    return {0.0f, 0.0f, 0.0f};
}

// One face of an object in world terms; false when its vertex indices are bad.
bool ObjectFace(const Landscape* l, const LandscapeObject& o, int32_t f, Vec3 out[3]) {
    if (!o.objectSurfaces || !o.vertices || f < 0 || f >= o.surfaceCount)
        return false;
    const Vec3 origin = ObjectOrigin(l, o);
    for (int i = 0; i < 3; ++i) {
        const int32_t v = o.objectSurfaces[f].vrefs[i];
        if (v < 0 || v >= o.vertexCount)
            return false;
        out[i] = {origin.x + o.vertices[v].x, origin.y + o.vertices[v].y, origin.z + o.vertices[v].z};
    }
    return true;
}

// The wall probe in plan: from `from` along unit `u` for `reach`, `kProbeHalfWidth` to each side,
// between heights low and high.
struct Probe {
    Vec3 from;
    Vec3 u;      // unit, y 0
    float reach;
    float low, high;
};

// Plan coordinates of a point in the probe's frame: along u, and to its side.
void ProbeFrame(const Probe& p, const Vec3& point, float* along, float* side) {
    const float dx = point.x - p.from.x, dz = point.z - p.from.z;
    *along = dx * p.u.x + dz * p.u.z;
    *side = dx * -p.u.z + dz * p.u.x;
}

// Separating axes in plan: the triangle and the probe's rectangle overlap.
bool TriangleMeetsProbe(const Probe& p, const Vec3 t[3]) {
    float a[3], s[3];
    for (int i = 0; i < 3; ++i)
        ProbeFrame(p, t[i], &a[i], &s[i]);
    if (std::max({a[0], a[1], a[2]}) < 0.0f || std::min({a[0], a[1], a[2]}) > p.reach)
        return false;
    if (std::max({s[0], s[1], s[2]}) < -kProbeHalfWidth || std::min({s[0], s[1], s[2]}) > kProbeHalfWidth)
        return false;
    const float ra[4] = {0.0f, p.reach, p.reach, 0.0f};
    const float rs[4] = {-kProbeHalfWidth, -kProbeHalfWidth, kProbeHalfWidth, kProbeHalfWidth};
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3, k = (i + 2) % 3;
        const float na = -(s[j] - s[i]), ns = a[j] - a[i];
        const float edge = na * a[i] + ns * s[i];
        const float inner = na * a[k] + ns * s[k] - edge;
        bool separated = true;
        for (int r = 0; r < 4 && separated; ++r) {
            const float value = na * ra[r] + ns * rs[r] - edge;
            separated = inner > 0.0f ? value < 0.0f : value > 0.0f;
        }
        if (separated && inner != 0.0f)
            return false;
    }
    return true;
}

// The highest point of the face over the probe: at the rectangle's corners inside the triangle
// and the triangle's corners inside the rectangle (all three corners when neither is found).
float FaceTopOverProbe(const Probe& p, const Vec3 t[3], const Vec3& normal) {
    float top = -1e30f;
    bool found = false;
    if (std::fabs(normal.y) > 1e-6f) {
        const Vec3 side{-p.u.z, 0.0f, p.u.x};
        const float along[2] = {0.0f, p.reach};
        for (float l : along)
            for (float w : {-kProbeHalfWidth, kProbeHalfWidth}) {
                const Vec3 q{p.from.x + p.u.x * l + side.x * w, 0.0f, p.from.z + p.u.z * l + side.z * w};
                if (PHY_PointInTriangle(&q, &t[0], &t[1], &t[2])) {
                    top = std::max(top, PHY_PlaneHeight(&t[0], &normal, q.x, q.z));
                    found = true;
                }
            }
    }
    for (int i = 0; i < 3; ++i) {
        float a, s;
        ProbeFrame(p, t[i], &a, &s);
        if (a >= 0.0f && a <= p.reach && std::fabs(s) <= kProbeHalfWidth) {
            top = std::max(top, t[i].y);
            found = true;
        }
    }
    if (!found)
        top = std::max({t[0].y, t[1].y, t[2].y});
    return top;
}

// The plan distance from the probe's start to the face (0 when the start lies inside it).
float FaceDistance(const Probe& p, const Vec3 t[3]) {
    if (PHY_PointInTriangle(&p.from, &t[0], &t[1], &t[2]))
        return 0.0f;
    float best = 1e30f;
    for (int i = 0; i < 3; ++i)
        best = std::min(best, PHY_SegmentDistancePlan(&p.from, &p.from, &t[i], &t[(i + 1) % 3]));
    return best;
}

// Tests one face against the probe and keeps it in `hit` when it blocks and is the nearest so far.
// A face steep enough to be a wall blocks by its normal; any other face (a ledge too high to
// climb) is met head-on.
void TestFace(const Probe& p, const Vec3 t[3], Vec3 normal, bool steep, uint32_t texture, int32_t object,
              PhyContact* hit, float* best) {
    const float bottom = std::min({t[0].y, t[1].y, t[2].y});
    if (bottom > p.high || !TriangleMeetsProbe(p, t))
        return;
    if (FaceTopOverProbe(p, t, normal) <= p.low)
        return;
    Vec3 contact;
    if (steep) {
        contact = Unit(Vec3{normal.x, 0.0f, normal.z});
        if (contact.x * p.u.x + contact.z * p.u.z > 0.0f)
            contact = {-contact.x, 0.0f, -contact.z};
        if (-(contact.x * p.u.x + contact.z * p.u.z) < kFacing)
            return;
    } else {
        contact = {-p.u.x, 0.0f, -p.u.z};
    }
    const float distance = FaceDistance(p, t);
    if (distance >= *best)
        return;
    *best = distance;
    hit->normal = contact;
    hit->texture = texture;
    hit->object = object;
    hit->point = p.from;
}

// The move in progress: where the step began (the position AI_SavePosition saved), its surface,
// and the frame's seconds.
Vec3 g_MoveStart{0.0f, 0.0f, 0.0f};
uint32_t g_MoveStartSurface = 0;
float g_MoveSeconds = 0.0f;

// Scratch: surfaces of the object-list flood.
int32_t g_AddObject = 0;
Vec3 g_AddCentre{0.0f, 0.0f, 0.0f};
float g_AddRadius = 0.0f;

// Goes through the edges of a surface that this query has not crossed yet, stamping each, and
// calls next(surface beyond the edge) for those whose segment `crosses` accepts.
template <class Crosses, class Next>
void CrossEdges(Landscape* l, const LandscapeSurface& surface, uint32_t stamp, Crosses crosses, Next next) {
    for (uint16_t e : surface.edges) {
        if (e < 1 || e > l->edgeCount)
            continue;
        LandscapeEdge& edge = l->edges[e];
        if (edge.queryStamp == stamp)
            continue;
        edge.queryStamp = stamp;
        if (edge.vertex1 < 1 || edge.vertex1 > l->vertexCount || edge.vertex2 < 1 || edge.vertex2 > l->vertexCount)
            continue;
        if (!crosses(l->vertices[edge.vertex1].position, l->vertices[edge.vertex2].position))
            continue;
        const uint16_t twin = edge.otherEdge;
        if (twin >= 1 && twin <= l->edgeCount)
            next(l->edges[twin].surface);
    }
}

void AddObjectFlood(Landscape* l, int32_t s, uint32_t stamp) {
    LandscapeSurface& surface = l->surfaces[s];
    if (surface.queryStamp == stamp)
        return;
    surface.queryStamp = stamp;
    bool listed = false;
    for (int k = 0; k < surface.objectCount && k < LND_SURFACE_OBJECTS_MAX; ++k)
        listed = listed || surface.objectList[k] == g_AddObject;
    if (!listed && surface.objectCount < LND_SURFACE_OBJECTS_MAX)
        surface.objectList[surface.objectCount++] = uint16_t(g_AddObject);
    CrossEdges(
        l, surface, stamp, [](const Vec3& a, const Vec3& b) { return PHY_SegmentTouchesSphere(&a, &b, &g_AddCentre, g_AddRadius); },
        [&](int32_t next) {
            if (SurfaceValid(l, next))
                AddObjectFlood(l, next, stamp);
        });
}

void RemoveObjectFromLists(Landscape* l, int32_t object) {
    for (int32_t s = 1; s <= l->surfaceCount; ++s) {
        LandscapeSurface& surface = l->surfaces[s];
        int kept = 0;
        const int count = std::min<int>(surface.objectCount, LND_SURFACE_OBJECTS_MAX);
        for (int k = 0; k < count; ++k)
            if (surface.objectList[k] != object)
                surface.objectList[kept++] = surface.objectList[k];
        surface.objectCount = uint16_t(kept);
    }
}

// Gathers the flood of one query from a surface.
void GatherFlood(Landscape* l, int32_t s, uint32_t stamp, const Vec3& from, const Vec3& to, float reach) {
    if (!SurfaceValid(l, s) || g_PhyGatheredCount >= PHY_GATHER_MAX)
        return;
    LandscapeSurface& surface = l->surfaces[s];
    if (surface.queryStamp == stamp)
        return;
    surface.queryStamp = stamp;
    g_PhyGathered[g_PhyGatheredCount++] = s;
    CrossEdges(
        l, surface, stamp, [&](const Vec3& a, const Vec3& b) { return !(PHY_SegmentDistancePlan(&a, &b, &from, &to) > reach); },
        [&](int32_t next) { GatherFlood(l, next, stamp, from, to, reach); });
}

// The surface under a point: searched from `start`, then over the whole landscape (pieces of a
// landscape need not be joined by twin edges).
int32_t Locate(int32_t start, const Vec3& point) {
    const int32_t found = LND_LocateSurface(start, &point);
    return found ? found : LND_LocateSurface(0, &point);
}

float GroundOffset(const CharacterControl* control) {
    return control->instance ? ANM_GetGroundOffset(control->instance) : 0.0f;
}

// Steps 6 and 7 of a move and of a slide: the surface under the new position, then other
// characters. false (position restored) when either stops the move.
bool PlaceAndCheckBlocker(Bod* bod, CharacterControl* control, const Vec3& position) {
    const int32_t surface = Locate(int32_t(control->surface), position);
    if (!surface) {
        AI_RestorePosition(bod);
        return false;
    }
    BOD_SetPosition(control, position);
    control->surface = uint32_t(surface);
    if (Bod* blocker = AI_FindBlocker(bod)) {
        AI_RestorePosition(bod);
        AI_OnBumpCharacter(bod, blocker);
        return false;
    }
    return true;
}

// The slide rule's "selected team member while not under direct control".
bool SelectedUnderAi(const Bod* bod) {
    return bod == g_FocusBod && !AI_IsFocusUnderPlayer(bod);
}

int Move(Bod* bod, bool alt) {
    CharacterControl* control = bod && bod->active ? BOD_CharacterOf(bod) : nullptr;
    AICharacter* ai = control ? static_cast<AICharacter*>(control->ai) : nullptr;
    if (!ai || !control->instance || control->dead)
        return 0;
    if (!control->surface || !Loaded()) {
        // Off the landscape (in the air, or no map) the animation still plays, in place.
        Vec3 ignored;
        ANM_Advance(control->instance, &ignored);
        return 0;
    }
    AI_SavePosition(bod);
    const Vec3 start = BOD_PositionOf(control);
    const int32_t now = g_GameClock.nowMs;
    const float seconds = float(now - ai->lastMoveMs) * 0.001f;
    ai->lastMoveMs = now;
    g_MoveStart = start;
    g_MoveStartSurface = control->surface;
    g_MoveSeconds = seconds;

    if (const int32_t s = Locate(int32_t(control->surface), start))
        control->surface = uint32_t(s);
    MDL_SetHeading(control, control->heading);
    Vec3 motion{0.0f, 0.0f, 0.0f};
    ANM_Advance(control->instance, &motion);
    if (!alt && ACT_ZombiePlayerMode(control))
        motion.z *= 2.0f;

    Vec3 step{0.0f, 0.0f, 0.0f};
    PHY_SurfacePush(bod, control, &step);
    // The root motion points backwards in model space: negated and turned into the world.
    Vec3 turned;
    MTH_RotateVector(&turned, &motion, &control->transform);
    step.x -= turned.x;
    step.z -= turned.z;
    if (!(OnClient() && ai->health < 2.0f)) {
        const Vec3 forward{0.0f, 0.0f, ai->speed * seconds * kFrameStepsPerSecond};
        MTH_RotateVector(&turned, &forward, &control->transform);
        step.x += turned.x;
        step.z += turned.z;
    }
    const Vec3 target{start.x + step.x, start.y + step.y, start.z + step.z};
    if (!PlaceAndCheckBlocker(bod, control, target))
        return 0;

    PhyContact hit{};
    if (PHY_CollideWalls(bod, control, ai, &hit)) {
        AI_RestorePosition(bod);
        if (hit.object && AI_OnBumpObject(bod))
            return 0;
        if (PHY_RunWallTrigger(bod, control, ai, &hit)) {
            AI_OnBumpWall(bod);
            return 0;
        }
        Vec3 d{step.x, 0.0f, step.z};
        float length = std::sqrt(d.x * d.x + d.z * d.z);
        if (length == 0.0f)
            length = 1.0f;
        d = {d.x / length, 0.0f, d.z / length};
        float slideLength = 0.0f, cosine = 0.0f;
        Vec3 slide{0.0f, 0.0f, 0.0f};
        const int canSlide = PHY_SlideAlongWall(&d, &hit.normal, &slideLength, length, &slide, &cosine);
        // The wall's trigger has had its say above and let the character go on.
        if (!canSlide || !(SelectedUnderAi(bod) || cosine <= kBlockerCosine)) {
            AI_OnBumpWall(bod);
            return 0;
        }
        const Vec3 slid{start.x + slide.x * slideLength, start.y, start.z + slide.z * slideLength};
        if (!PlaceAndCheckBlocker(bod, control, slid))
            return 0;
        PhyContact second{};
        if (PHY_CollideWalls(bod, control, ai, &second)) {
            PHY_RunWallTrigger(bod, control, ai, &second);
            AI_OnBumpWall(bod);
            return 0;
        }
    }

    PhyContact ground{};
    if (PHY_FollowGround(control, ai, &ground))
        PHY_RunFloorTrigger(bod, control, ai, &ground);
    return 1;
}
}  // namespace

int32_t g_PhyGathered[PHY_GATHER_MAX];
int32_t g_PhyGatheredCount = 0;
float g_PhyWallSlope = kLevelWallSlope[0];
float g_PhyStepHeight = kLevelStepHeight[0];

float PHY_LevelWallSlope(int level) {
    return level >= 0 && level < PHY_LEVELS ? kLevelWallSlope[level] : kLevelWallSlope[0];
}

float PHY_LevelStepHeight(int level) {
    return level >= 0 && level < PHY_LEVELS ? kLevelStepHeight[level] : kLevelStepHeight[0];
}

void PHY_SelectLevel(int level) {
    g_PhyWallSlope = PHY_LevelWallSlope(level);
    g_PhyStepHeight = PHY_LevelStepHeight(level);
}

int PHY_MoveCharacter(Bod* bod) {
    return Move(bod, false);
}

int PHY_MoveCharacterAlt(Bod* bod) {
    return Move(bod, true);
}

int PHY_FollowGroundAI(Bod* bod) {
    CharacterControl* control = BOD_CharacterOf(bod);
    AICharacter* ai = control ? static_cast<AICharacter*>(control->ai) : nullptr;
    if (!control || !ai || !control->surface || !Loaded())
        return 0;
    g_MoveSeconds = g_GameClock.deltaSeconds;
    Vec3 push{0.0f, 0.0f, 0.0f};
    PHY_SurfacePush(bod, control, &push);
    Vec3 position = BOD_PositionOf(control);
    position = {position.x + push.x, position.y, position.z + push.z};
    if (const int32_t s = Locate(int32_t(control->surface), position)) {
        control->surface = uint32_t(s);
        BOD_SetPosition(control, position);
    }
    PhyContact ground{};
    return PHY_FollowGround(control, ai, &ground);
}

void PHY_SurfacePush(Bod* bod, CharacterControl* control, Vec3* out) {
    *out = {0.0f, 0.0f, 0.0f};
    Landscape* l = Loaded();
    AICharacter* ai = control ? static_cast<AICharacter*>(control->ai) : nullptr;
    if (!control || !ai || !SurfaceValid(l, int32_t(control->surface)))
        return;
    const int32_t s = int32_t(control->surface);
    const LandscapeSurface& surface = l->surfaces[s];
    const LandscapeMaterial* material =
        surface.material >= 1 && surface.material <= l->materialCount ? &l->materials[surface.material] : nullptr;
    const float seconds = g_MoveSeconds;
    const Vec3 position = BOD_PositionOf(control);
    const float above = position.y - float(LND_GetGroundHeight(&position, s));
    const bool animated = material && material->uvAnimKind != 0 && above <= kPushHeight;
    if (surface.flow.x == 0.0f && surface.flow.z == 0.0f) {
        if (animated) {
            const float rate = material->uvAnimDv * material->uvAnimScale * kBeltFactor * seconds;
            out->x = rate * surface.normal.x;
            out->z = rate * surface.normal.z;
        }
        return;
    }
    const Vec3 flow = Unit(Vec3{surface.flow.x, 0.0f, surface.flow.z});
    if (g_LevelNumber == kRiverLevel) {
        const int32_t action = control->head.action;
        if (std::find(std::begin(kUnsweptActions), std::end(kUnsweptActions), action) != std::end(kUnsweptActions))
            return;
        *out = {flow.x * kRiverSweep, 0.0f, flow.z * kRiverSweep};
        float heading = std::acos(std::clamp(flow.z, -1.0f, 1.0f));
        if (flow.x < 0.0f)
            heading = 2.0f * 3.14159265f - heading;
        control->heading = heading;
        MDL_SetHeading(control, heading);
        ACT_Play(control, "stand", 1);
        if (!OnClient() && action != kSweptAction)
            BOD_SetAction(bod, kSweptAction);
        AI_Release(bod);
        return;
    }
    if (animated && (std::fabs(surface.flow.x) > kStrongFlow || std::fabs(surface.flow.z) > kStrongFlow)) {
        const float rate = material->uvAnimDv * (material->uvAnimScale + material->uvAnimReserved) * seconds;
        if (std::fabs(surface.flow.x) >= std::fabs(surface.flow.z))
            out->x = rate * (flow.x < 0.0f ? -1.0f : 1.0f);
        else
            out->z = rate * (flow.z < 0.0f ? -1.0f : 1.0f);
    }
}

int PHY_CollideWalls(Bod* bod, CharacterControl* control, AICharacter* ai, PhyContact* hit) {
    (void)bod;
    (void)ai;
    Landscape* l = Loaded();
    if (!l || !control || !hit)
        return 0;
    const Vec3 p0 = g_MoveStart;
    const uint32_t s0 = g_MoveStartSurface;
    const Vec3 p1 = BOD_PositionOf(control);

    Probe probe;
    probe.from = p0;
    const float dx = p1.x - p0.x, dz = p1.z - p0.z;
    const float move = std::sqrt(dx * dx + dz * dz);
    if (move == 0.0f)
        return 0;
    probe.u = {dx / move, 0.0f, dz / move};
    probe.reach = move >= kProbeMinimum ? 2.0f * move : kProbeMinimum;
    probe.low = p1.y + GroundOffset(control) + g_PhyStepHeight;
    probe.high = probe.low + kProbeHeight;
    const Vec3 tip{p0.x + probe.u.x * probe.reach, p0.y, p0.z + probe.u.z * probe.reach};

    // The neighbourhood: flooded from the surfaces at both ends of the step and at the probe's tip.
    g_PhyGatheredCount = 0;
    const uint32_t stamp = ++g_LandscapeQueryStamp;
    const float reach = kProbeHalfWidth;
    for (int32_t seed : {int32_t(s0), int32_t(control->surface), Locate(int32_t(control->surface), tip)})
        GatherFlood(l, seed, stamp, p0, tip, reach);

    float best = 1e30f;
    const uint32_t objectStamp = ++g_LandscapeQueryStamp;
    for (int i = 0; i < g_PhyGatheredCount; ++i) {
        const int32_t s = g_PhyGathered[i];
        const Vec3 t[3] = {Corner(l, s, 0), Corner(l, s, 1), Corner(l, s, 2)};
        const Vec3& n = l->surfaces[s].normal;
        TestFace(probe, t, n, std::fabs(n.y) <= g_PhyWallSlope, SurfaceTexture(l, s), 0, hit, &best);
        const LandscapeSurface& surface = l->surfaces[s];
        for (int k = 0; k < surface.objectCount && k < LND_SURFACE_OBJECTS_MAX; ++k) {
            const int32_t o = surface.objectList[k];
            if (!ObjectValid(l, o))
                continue;
            LandscapeObject& object = l->objects[o];
            if (object.queryStamp == objectStamp || !object.active || !object.collisionMode)
                continue;
            object.queryStamp = objectStamp;
            const Vec3 origin = ObjectOrigin(l, object);
            const Vec3 mid{(p0.x + tip.x) * 0.5f, 0.0f, (p0.z + tip.z) * 0.5f};
            const float ox = origin.x - mid.x, oz = origin.z - mid.z;
            const float bound = object.radius + probe.reach * 0.5f + kProbeHalfWidth;
            if (object.radius > 0.0f && ox * ox + oz * oz > bound * bound)
                continue;
            for (int32_t f = 0; f < object.surfaceCount; ++f) {
                Vec3 face[3];
                if (!ObjectFace(l, object, f, face))
                    continue;
                const Vec3 normal = Unit(Cross(Sub(face[1], face[0]), Sub(face[2], face[0])));
                if (std::fabs(normal.y) > g_PhyWallSlope)
                    continue;
                TestFace(probe, face, normal, true, object.objectSurfaces[f].currentTexture, o, hit, &best);
            }
        }
    }
    return best < 1e30f ? 1 : 0;
}

int PHY_FollowGround(CharacterControl* control, AICharacter* ai, PhyContact* hit) {
    Landscape* l = Loaded();
    if (!l || !control || !hit)
        return 0;
    if (OnClient() && ai && ai->health < 2.0f)
        return 0;
    // A character in the air (a jump or fall under way) keeps its height: the fall step lands it.
    if (control->velocity[1] != 0.0f)
        return 0;
    Vec3 position = BOD_PositionOf(control);
    const int32_t s = Locate(int32_t(control->surface), position);
    if (!s)
        return 0;
    control->surface = uint32_t(s);
    const float offset = GroundOffset(control);
    const float feet = position.y + offset;
    float ground = float(LND_GetGroundHeight(&position, s));
    *hit = PhyContact{l->surfaces[s].normal, SurfaceTexture(l, s), position, 0};
    const LandscapeSurface& surface = l->surfaces[s];
    for (int k = 0; k < surface.objectCount && k < LND_SURFACE_OBJECTS_MAX; ++k) {
        const int32_t o = surface.objectList[k];
        if (!ObjectValid(l, o) || !l->objects[o].active || !l->objects[o].collisionMode)
            continue;
        const LandscapeObject& object = l->objects[o];
        for (int32_t f = 0; f < object.surfaceCount; ++f) {
            Vec3 face[3];
            if (!ObjectFace(l, object, f, face))
                continue;
            const Vec3 normal = Unit(Cross(Sub(face[1], face[0]), Sub(face[2], face[0])));
            if (normal.y <= g_PhyWallSlope || !PHY_PointInTriangle(&position, &face[0], &face[1], &face[2]))
                continue;
            const float height = PHY_PlaneHeight(&face[0], &normal, position.x, position.z);
            if (height > ground && height <= feet + kGroundReach) {
                ground = height;
                *hit = PhyContact{normal, object.objectSurfaces[f].currentTexture, position, o};
            }
        }
    }
    position.y = ground - offset;
    hit->point = position;
    BOD_SetPosition(control, position);
    return 1;
}

int PHY_SlideAlongWall(const Vec3* d, const Vec3* n, float* outLength, float length, Vec3* outDirection,
                       float* outCosine) {
    const float along = Dot(*d, *n);
    *outCosine = -along;
    *outLength = 0.0f;
    *outDirection = {d->x - along * n->x, d->y - along * n->y, d->z - along * n->z};
    if (along == 0.0f || Dot(*outDirection, *outDirection) == 0.0f)
        return 0;
    *outLength = (1.0f + along) * length;
    return 1;
}

void PHY_GatherFaces(int32_t surface, const Vec3* from, const Vec3* to, float reach) {
    g_PhyGatheredCount = 0;
    Landscape* l = Loaded();
    if (!l || !from || !to)
        return;
    GatherFlood(l, surface, ++g_LandscapeQueryStamp, *from, *to, reach);
}

void PHY_AddObjectToSurfaces(int32_t object, int32_t surface) {
    Landscape* l = Loaded();
    if (!ObjectValid(l, object) || !SurfaceValid(l, surface))
        return;
    const LandscapeObject& o = l->objects[object];
    g_AddObject = object;
    g_AddCentre = ObjectOrigin(l, o);
    g_AddRadius = std::max(o.radius, LND_GetPointsRadius(o.vertices, o.vertexCount));
    AddObjectFlood(l, surface, ++g_LandscapeQueryStamp);
}

void PHY_MoveLandscapeObject(int32_t object, const Vec3* newReference) {
    Landscape* l = Loaded();
    if (!ObjectValid(l, object) || !newReference)
        return;
    LandscapeObject& o = l->objects[object];
    if (o.positionRef < 1 || o.positionRef > l->vertexCount)
        return;
    l->vertices[o.positionRef].position = *newReference;
    RemoveObjectFromLists(l, object);
    o.surface = Locate(o.surface, *newReference);
    if (o.surface)
        PHY_AddObjectToSurfaces(object, o.surface);
}

void PHY_MoveLandscapeObjectTo(int32_t object, float x, float y, float z) {
    const Vec3 to{x, y, z};
    PHY_MoveLandscapeObject(object, &to);
}

void PHY_RebuildObjectLists() {
    Landscape* l = Loaded();
    if (!l)
        return;
    for (int32_t s = 1; s <= l->surfaceCount; ++s)
        l->surfaces[s].objectCount = 0;
    for (int32_t o = 1; o <= l->objectCount && l->objects; ++o) {
        LandscapeObject& object = l->objects[o];
        object.surface = Locate(object.surface, ObjectOrigin(l, object));
        if (object.surface)
            PHY_AddObjectToSurfaces(o, object.surface);
    }
}

int PHY_PointInTriangle(const Vec3* p, const Vec3* a, const Vec3* b, const Vec3* c) {
    const Vec3* corners[3] = {a, b, c};
    int crossings = 0;
    for (int i = 0; i < 3; ++i) {
        const Vec3& u = *corners[i];
        const Vec3& v = *corners[(i + 1) % 3];
        if ((u.z > p->z) != (v.z > p->z)) {
            const float x = u.x + (p->z - u.z) * (v.x - u.x) / (v.z - u.z);
            if (p->x < x)
                ++crossings;
        }
    }
    return crossings & 1;
}

float PHY_PlaneHeight(const Vec3* a, const Vec3* n, float x, float z) {
    if (n->y == 0.0f)
        return a->y;
    return a->y - (n->x * (x - a->x) + n->z * (z - a->z)) / n->y;
}

float PHY_SegmentDistancePlan(const Vec3* a, const Vec3* b, const Vec3* c, const Vec3* d) {
    if (LND_SegmentsCrossInPlan(a, b, c, d))
        return 0.0f;
    // The nearest of each end point to the other segment.
    auto pointToSegment = [](const Vec3& p, const Vec3& s, const Vec3& e) {
        const float ex = e.x - s.x, ez = e.z - s.z;
        const float length2 = ex * ex + ez * ez;
        float t = length2 > 0.0f ? ((p.x - s.x) * ex + (p.z - s.z) * ez) / length2 : 0.0f;
        t = std::clamp(t, 0.0f, 1.0f);
        const float qx = s.x + ex * t - p.x, qz = s.z + ez * t - p.z;
        return std::sqrt(qx * qx + qz * qz);
    };
    return std::min({pointToSegment(*a, *c, *d), pointToSegment(*b, *c, *d), pointToSegment(*c, *a, *b),
                     pointToSegment(*d, *a, *b)});
}

int PHY_SegmentTouchesSphere(const Vec3* a, const Vec3* b, const Vec3* centre, float radius) {
    const Vec3 ab = Sub(*b, *a);
    const float length2 = Dot(ab, ab);
    float t = length2 > 0.0f ? Dot(Sub(*centre, *a), ab) / length2 : 0.0f;
    t = std::clamp(t, 0.0f, 1.0f);
    const Vec3 q{a->x + ab.x * t - centre->x, a->y + ab.y * t - centre->y, a->z + ab.z * t - centre->z};
    return Dot(q, q) <= radius * radius ? 1 : 0;
}

int PHY_FallStep(Bod* bod) {
    CharacterControl* control = BOD_CharacterOf(bod);
    if (!control)
        return 0;
    const float dt = g_GameClock.deltaSeconds;
    control->velocity[1] -= g_GameClock.gravity * dt;
    Vec3 position = BOD_PositionOf(control);
    position.x += control->velocity[0] * dt;
    position.y += control->velocity[1] * dt;
    position.z += control->velocity[2] * dt;
    const int32_t surface = LND_LocateSurface(0, &position);
    const float ground = float(LND_GetGroundHeight(&position, surface)) - GroundOffset(control);
    const bool landed = control->velocity[1] <= 0.0f && position.y <= ground;
    if (landed)
        position.y = ground;
    if (surface)
        control->surface = uint32_t(surface);
    BOD_SetPosition(control, position);
    return landed ? 1 : 0;
}
