// A level's placed objects: every record of the level's placement list becomes a world object
// (types below 151: an active class-320 bod with its type's model and the touch hook) or a
// landscape static (types 151 and above: a class-128 bod without hook or model, bound to the
// landscape object of its name). Placed objects lie in the world, are their own holder and
// cannot be picked up by touch.
#include "world/lvl_placement.h"

#include "common/calltrace.h"
#include "common/match.h"
#include "common/game_clock.h"
#include "common/mem.h"
#include "shell/snd.h"
#include "engine/landscape_query.h"
#include "engine/lnd.h"
#include "engine/lnd_material.h"
#include "engine/mdl.h"
#include "win32.h"
#include "world/bod.h"
#include "world/game_frame.h"
#include "ui/img.h"
#include "world/mdl_world.h"
#include "world/wo.h"
#include "world/wo_carry.h"
#include "world/wo_create.h"
#include "world/wo_types.h"
#include "world/world_label.h"
#include "world/wo_master.h"

namespace {

constexpr uint32_t kFirstStaticType = 151;
constexpr uint32_t kArm = 131, kLeg = 132;
constexpr float kSpawnAboveGround = 50.0f;

// The type's model and skin on the object.
void LoadModel(WorldObjectControl* control, uint32_t type) {
    if (const char* model = WO_TypeModelFile(type)) {
        MDL_Load(model, &control->instance);
        if (const char* skin = WO_TypeSkinFile(type); skin && control->instance)
            MDL_LoadSkin(control->instance, skin);
    }
}

const LandscapeObject* ObjectRecord(const char* name) {
    const int32_t index = (name && *name) ? LND_FindObject(name) : 0;
    return index > 0 ? &g_Landscape->objects[index] : nullptr;
}

Bod* CreatePlaced(const WOPlacement& record) {
    auto* control = static_cast<WorldObjectControl*>(MEM_Alloc(sizeof(WorldObjectControl), MEM_TAG_WORLD_OBJECT));
    if (!control)
        return nullptr;
    const bool isStatic = record.type >= kFirstStaticType;
    Bod* bod = BOD_Create(&g_WorldBods, isStatic ? BOD_CLASS_STATIC : BOD_CLASS_PLACED,
                          isStatic ? nullptr : &WO_BodHook);
    if (!bod) {
        MEM_Free(control);
        return nullptr;
    }
    BOD_AttachControl(bod, control, g_WOBehaviourTable);
    control->head.firstWord = record.type;
    MTH_MatrixIdentity(&control->transform);
    MTH_PoseIdentity(&control->pose);
    control->ammoFor = WO_NO_TYPE;
    control->linkedType = WO_NO_TYPE;
    control->where = WO_IN_WORLD;
    control->holder = bod;
    control->useBehaviour = record.useBehaviour;
    control->name = record.name;
    control->param3 = record.param3;
    control->requiredItem = record.requiredItem;
    control->param5 = record.param5;
    control->param6 = record.param6;
    control->param7 = record.param7;
    control->param8 = record.param8;
    control->param10 = record.param10;
    control->param11 = record.param11;
    control->landscapeObjectRec = ObjectRecord(record.name);
    if (isStatic) {
        const int32_t index = (record.name && *record.name) ? LND_FindObject(record.name) : 0;
        control->landscapeObject = uint32_t(index > 0 ? index : 0);
        if (index <= 0) {
            OutputDebugStringA(" object not found ");
            OutputDebugStringA(record.name ? record.name : "");
            OutputDebugStringA("\n");
        }
    } else {
        LoadModel(control, record.type);
        bod->active = 1;
    }
    if (record.initialState != 0)
        BOD_SetAction(bod, int(record.initialState));
    return bod;
}

constexpr int kTimedLevel = 13;

// The two events of level 13 that belong to its level machines; recorded until those are built.
void Level13FirstCallback() { TRC_Trace("LVL_Level13Event", "%d", 1); }
void Level13SecondCallback() { TRC_Trace("LVL_Level13Event", "%d", 2); }

// Level 13's events, in this order (the last is out of time order), ended by a record of time 0.
LevelTimedEvent g_Level13Events[] = {
    {5000.0f, 0xf0003, nullptr, 0},   {60000.0f, 0xf0003, nullptr, 0},  {120000.0f, 0xf0003, nullptr, 0},
    {180000.0f, 0xf0003, nullptr, 0}, {240000.0f, 0xf0003, nullptr, 0}, {300000.0f, 0xf0003, nullptr, 0},
    {360000.0f, 0xf0003, nullptr, 0}, {420000.0f, 0xf0003, nullptr, 0}, {480000.0f, 0xf0003, nullptr, 0},
    {540000.0f, 0, Level13FirstCallback, 0},
    {600000.0f, 0xf0004, nullptr, 0}, {610000.0f, 0xf0005, nullptr, 0}, {620000.0f, 0xf0006, nullptr, 0},
    {625000.0f, 0xf0007, nullptr, 0}, {626000.0f, 0xf0008, nullptr, 0}, {627000.0f, 0xf0009, nullptr, 0},
    {628000.0f, 0xf000a, nullptr, 0}, {629000.0f, 0xf000b, nullptr, 0},
    {632000.0f, 0x10023, nullptr, 0}, {634000.0f, 0x10023, nullptr, 0}, {636000.0f, 0x10023, nullptr, 0},
    {633000.0f, 0, Level13SecondCallback, 0},
    {0.0f, 0, nullptr, 0},
};

void SetFired(uint32_t fired) {
    for (LevelTimedEvent* e = LVL_TimedEvents(g_LevelNumber); e && e->timeMs > 0.0f; ++e)
        e->fired = fired;
}

}  // namespace

LevelTimedEvent* LVL_TimedEvents(int level) {
    return level == kTimedLevel ? g_Level13Events : nullptr;
}

void LVL_RunTimedEvents() {
    if (APP_IsMultiplayerGame())
        return;
    const float levelMs = float(g_GameClock.nowMs - g_GameClock.levelStartMs);
    for (LevelTimedEvent* e = LVL_TimedEvents(g_LevelNumber); e && e->timeMs > 0.0f; ++e) {
        if (e->fired || e->timeMs > levelMs)
            continue;
        if (e->sound)
            SND_Play(e->sound);
        if (e->callback)
            e->callback();
        e->fired = 1;
    }
}

void LVL_MarkTimedEventsFired() { SetFired(1); }
// Recorded: the level load's order is checked through the trace.
void LVL_ResetTimedEvents() {
    TRC_Trace("LVL_ResetTimedEvents");
    SetFired(0);
}

int LVL_CreatePlacedObjects(const WOPlacement* list, size_t capacity) {
    int created = 0;
    for (size_t i = 0; list && i < capacity && list[i].type != WO_END_TYPE; ++i) {
        // 162 is "no object"; nothing above the end type is a type at all.
        if (list[i].type >= WO_NO_TYPE) {
            OutputDebugStringA(" placement of an unknown object type skipped\n");
            continue;
        }
        if (!CreatePlaced(list[i]))
            break;
        ++created;
    }
    return created;
}

Bod* LVL_SpawnObject(const LevelSpawnRecord* record) {
    if (!record || record->type < 0)
        return nullptr;
    const uint32_t type = uint32_t(record->type);
    if (type == kArm || type == kLeg || !WO_TypeModelFile(type))
        return nullptr;
    if (APP_IsMultiplayerGame() && WO_NeverSpawnedInNetworkGame(type))
        return nullptr;
    Vec3 at{record->position[0], record->position[1], record->position[2]};
    WorldObjectControl* control = nullptr;
    Bod* bod = WOCreateAt(&at, 0, type, nullptr, &control);
    if (!bod)
        return nullptr;
    control->netId = WO_TakeNetId();
    IMG_LoadObjectIcons(int(type));
    MDL_SetHeading(control, record->heading);
    control->heading = record->heading;
    const int32_t surface = LND_LocateSurface(0, &at);
    control->surface = uint32_t(surface > 0 ? surface : 0);
    at.y = float(LND_GetGroundHeight(&at, surface)) + kSpawnAboveGround;
    control->transform.m[9] = at.x;
    control->transform.m[10] = at.y;
    control->transform.m[11] = at.z;
    LoadModel(control, type);
    control->startTransform = control->transform;
    bod->active = 1;
    return bod;
}

void LVL_GiveStartItem(int ammoPercent, Bod* characterBod, int type) {
    TRC_Trace("LVL_GiveStartItem", "%d,%s,%d", ammoPercent, BOD_TraceLabel(characterBod), type);
    if (type <= 0 || !WO_TypeModelFile(uint32_t(type)))
        return;
    WorldObjectControl* control = nullptr;
    const Vec3 origin{0.0f, 0.0f, 0.0f};
    Bod* bod = WOCreateAt(&origin, 0, uint32_t(type), nullptr, &control);
    if (!bod)
        return;
    IMG_LoadObjectIcons(type);
    if (control->woFlags & WO_FLAG_DISCARD_GIVEN) {
        bod->flags |= BOD_FLAG_REMOVE;
        return;
    }
    control->ammo = int32_t(int64_t(control->ammoMax) * ammoPercent / 100);
    LoadModel(control, uint32_t(type));
    pickupweapobj(bod, characterBod);
}
