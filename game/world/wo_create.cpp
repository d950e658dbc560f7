// Making world objects during play (see wo_create.h): the master row copied into the control
// record, the projectile model of a weapon that fires objects, and the message numbers.
#include "world/wo_create.h"

#include "common/mem.h"
#include "engine/landscape_query.h"
#include "engine/mdl.h"
#include "win32.h"
#include "world/bod.h"
#include "world/wo.h"
#include "world/wo_carry.h"
#include "world/wo_master.h"

namespace {

constexpr uint32_t kSerum = 147;

// The level's message-number counter: the next number to try.
uint32_t g_NextNetId = 1;

void ReportMissingRow(uint32_t type) {
    OutputDebugStringA("\n************MASTER OBJECT DETAILS NOT FOUND IN MASTERWO***************\n");
    OutputDebugStringA("filename");
    const char* model = WO_TypeModelFile(type);
    OutputDebugStringA(model ? model : "No model, it's kippered");
    OutputDebugStringA("\n***********************************************************************\n");
}

void CopyRow(WorldObjectControl* control, const MasterWORecord& row) {
    control->head.firstWord = row.type;
    control->weaponKind = row.weaponKind;
    control->range = row.range;
    control->fullDamageRange = row.fullDamageRange;
    control->npcTakes = row.npcTakes;
    control->damage = row.damage;
    control->rankExtra = row.rankExtra;
    control->ammoMax = row.ammoMax;
    control->ammoPerShot = row.ammoPerShot;
    control->ammoFor = row.ammoFor;
    control->linkedType = row.linkedType;
    control->isAmmo = row.isAmmo;
    control->ammo = row.ammoStart;
    control->ammoStart = row.ammoStart;
    control->fireSound = row.fireSound;
    control->emptySound = row.emptySound;
    control->sound3 = row.sound3;
    control->useSound = row.useSound;
    control->woFlags = row.woFlags;
}

// A weapon that fires objects loads its projectile's model when it is made, so that weapons made
// after the level's start can fire too.
void LoadProjectileModel(WorldObjectControl* control) {
    if (control->linkedType == WO_NO_TYPE || control->isAmmo || control->linkedInstance)
        return;
    const char* model = WO_TypeModelFile(control->linkedType);
    if (!model || MDL_Load(model, &control->linkedInstance) != 0 || !control->linkedInstance)
        return;
    if (const char* skin = WO_TypeSkinFile(control->linkedType))
        MDL_LoadSkin(control->linkedInstance, skin);
}

int WOPickupThunk(Bod* characterBod, Bod* objectBod) { return pickupweapobj(objectBod, characterBod); }
int WODropThunk(Bod* characterBod, Bod* objectBod) { return WODropObject(objectBod, characterBod); }

bool HeldByLiveObject(uint32_t id) {
    for (Bod* bod = g_WorldBods.head; bod; bod = bod->next) {
        if (!(bod->classMask & BOD_CLASS_OBJECT))
            continue;
        const WorldObjectControl* object = BOD_ObjectOf(bod);
        if (object && object->netId == id)
            return true;
    }
    return false;
}

}  // namespace

Bod* WOCreateFromMaster(WorldObjectControl* control, uint32_t type) {
    const MasterWORecord* row = WO_FindMaster(type);
    if (!row) {
        ReportMissingRow(type);
        return nullptr;
    }
    if (!control)
        return nullptr;
    Bod* bod = BOD_Create(&g_WorldBods, BOD_CLASS_OBJECT, &WO_BodHook);
    if (!bod)
        return nullptr;
    BOD_AttachControl(bod, control, g_WOBehaviourTable);
    CopyRow(control, *row);
    control->netId = WO_NO_NET_ID;
    control->where = WO_IN_WORLD;
    control->holder = nullptr;
    control->onDrop = &WODropThunk;
    control->onPickup = type == kSerum ? &WOPickupSerum : &WOPickupThunk;
    LoadProjectileModel(control);
    BOD_SetAction(bod, WO_STATE_LYING);
    return bod;
}

Bod* WOCreateAt(const Vec3* position, int32_t startSurface, uint32_t type, Bod** outBod,
                WorldObjectControl** outControl) {
    auto* control = static_cast<WorldObjectControl*>(MEM_Alloc(sizeof(WorldObjectControl), MEM_TAG_WORLD_OBJECT));
    Bod* bod = control ? WOCreateFromMaster(control, type) : nullptr;
    if (!bod) {
        if (control)
            MEM_Free(control);
        control = nullptr;
    } else {
        MTH_MatrixIdentity(&control->transform);
        MTH_PoseIdentity(&control->pose);
        const Vec3 at = position ? *position : Vec3{0.0f, 0.0f, 0.0f};
        control->transform.m[9] = at.x;
        control->transform.m[10] = at.y;
        control->transform.m[11] = at.z;
        const int32_t surface = LND_LocateSurface(startSurface, &at);
        control->surface = uint32_t(surface > 0 ? surface : 0);
        control->spawned = 1;
    }
    if (outBod)
        *outBod = bod;
    if (outControl)
        *outControl = control;
    return bod;
}

void WO_ResetNetIds() { g_NextNetId = 1; }

uint8_t WO_TakeNetId() {
    // 254 usable numbers: 1..254. The counter wraps past 254 back to 1 and skips held numbers.
    for (int tries = 0; tries < 254; ++tries) {
        const uint32_t id = g_NextNetId;
        g_NextNetId = id >= 254 ? 1 : id + 1;
        if (!HeldByLiveObject(id))
            return uint8_t(id);
    }
    return WO_NO_NET_ID;
}
