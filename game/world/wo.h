// The world objects: the control record (it begins like CharacterControl: BodControl head, then
// the shared fields by name), the behaviour table and touch hook, the per-type model and skin
// files (the tables live in wo_types.cpp), the inventory reset and the start items. Carrying is
// in wo_carry.h, creation in wo_create.h, the carried slots in wo_slots.h.
#pragma once
#include <cstdint>

#include "shell/snd.h"
#include "world/bod.h"

struct ModelInstance;
struct LandscapeObject;
struct SoundEmitter;

struct WorldObjectControl {
    BodControl head;                 // first word: the object type; the behaviour table; the state
    Matrix34 transform;
    float velocity[3];
    uint32_t surface;
    ModelInstance* instance;         // none for landscape statics
    float heading;
    float spin;
    int32_t timer;
    Pose pose;
    // Copied from the type's master row at creation.
    int32_t weaponKind;
    int32_t range;
    int32_t fullDamageRange;
    uint32_t damage;
    uint32_t rankExtra;
    uint8_t netId;                   // the object's number in game messages; WO_NO_NET_ID none
    SoundId fireSound;
    SoundId emptySound;
    SoundId sound3;
    SoundId useSound;
    int32_t ammoMax;
    int32_t ammoPerShot;
    int32_t ammo;
    int32_t ammoStart;
    uint32_t isAmmo;
    uint32_t npcTakes;
    uint32_t woFlags;
    uint32_t spawned;                // 1 for objects made during play
    uint32_t ammoFor;                // ammunition: the weapon it refills, 162 none
    uint32_t linkedType;             // weapons that fire objects: the projectile, 162 none
    ModelInstance* linkedInstance;   // the projectile's model
    uint32_t where;                  // WO_IN_WORLD, else the carrier's class mask
    Bod* holder;                     // the carrier; a placed object's own bod
    uint32_t landscapeObject;        // statics: 1-based landscape object index
    uint32_t useBehaviour;
    const LandscapeObject* landscapeObjectRec;  // the landscape object named by `name`, or none
    const char* name;                // the landscape object name of a placed object
    uint32_t requiredItem;           // type a user must hold to use the static; 162 none
    // The placement's three link names and the statics they resolve to.
    const char* param3;
    Bod* param3Bod;
    const char* param5;
    Bod* onObject;
    const char* param7;
    Bod* offObject;
    uint32_t param6;
    uint32_t param8;
    const void* param10;             // the behaviour's parameter record
    uint32_t param11;
    Bod* thrower;                    // the character that threw or fired the object
    // What touching or dropping the object does (carrier, object); a null onPickup: the object
    // cannot be picked up by touch.
    int (*onPickup)(Bod* characterBod, Bod* objectBod);
    int (*onDrop)(Bod* characterBod, Bod* objectBod);
    float dropHeading;               // the heading the object is dropped at
    // Doors (param10 a WODoorRecord, param11 the phase): the leg velocity (x, z) and the closed,
    // middle and open positions of the landscape object's reference vertex.
    float doorVelocity[2];
    Vec3 doorClosed;
    Vec3 doorMiddle;
    Vec3 doorOpen;
    // Switches and toggles.
    uint32_t on;
    uint32_t disabled;
    SoundEmitter* emitter;           // a running conveyor's looping sound
    Matrix34 startTransform;         // where the object returns to (spawned objects)
};

// The door record a door static's param10 points to.
struct WODoorRecord {
    float heading;      // radians
    float along;        // the second leg's length, along (sin h, cos h)
    float across;       // the first leg's length, along (cos h, -sin h); 0: one leg
    float speed;        // units a second
};
// Door phases (param11).
constexpr uint32_t WO_DOOR_CLOSED = 0, WO_DOOR_OPENING = 1, WO_DOOR_OPEN = 2, WO_DOOR_CLOSING = 3;

// The conveyor record a conveyor's param10 points to. The record stays constant: the current mode
// (0 stopped, 1 backwards, 2 stopped, 3 forwards) is the conveyor's param11, the looping sound its
// emitter.
struct WOConveyorRecord {
    float speed;
    int32_t materials[2];    // the belt materials (1-based)
    int32_t wantedMode;
};

constexpr uint32_t WO_NO_TYPE = 162;
constexpr uint32_t WO_IN_WORLD = 2;     // `where` of an object lying in the world
constexpr uint32_t WO_CARRIED = 4;      // `where` of a carried object (or the carrier's class)
constexpr int WO_STATE_CARRIED = 0;     // carried (or a static at rest)
constexpr int WO_STATE_LYING = 19;      // lying in the world after creation
constexpr int WO_STATE_DROPPED = 21;    // just dropped by a carrier
constexpr uint8_t WO_NO_NET_ID = 0xFF;  // "no object" in game messages; never an object's id

// The behaviour table of every world object (by state), and the per-frame hook of the objects
// that can be picked up by touch.
extern const BodHandler g_WOBehaviourTable[BOD_OBJECT_BEHAVIOURS];
void WO_BodHook(Bod* bod, void* control);

// Model and skin files of an object type; null when the type has none (and for every type from
// WO_TYPE_FILES on).
const char* WO_TypeModelFile(uint32_t type);
const char* WO_TypeSkinFile(uint32_t type);

// Every carried entry empty (type 162, no bod), entry 0's type 0 (wo_carry.cpp).
void WOClearInventory(Bod* characterBod);
// Gives a character a start item of `type` filled to ammoPercent of its ammunition (truncated);
// nothing for type 0 or a type without a model. A type flagged discard-given is removed at once.
// Recorded in the call trace.
void LVL_GiveStartItem(int ammoPercent, Bod* characterBod, int type);
// A character touched the object: unless it is dead or dying, the object's pickup callback runs.
// Recorded in the call trace.
void WOPickupOnTouch(Bod* characterBod, Bod* objectBod);

// A bod is going away: every carried entry holding it is taken out (the later entries move down),
// and every holder, thrower, link and switch field that points at it is cleared, so that nothing
// reads it once it is freed.
void WO_ForgetBod(Bod* bod);

// The number of items the character carries whose world-object flags have any of `woFlags` set.
int WO_CountCarried(const Bod* bod, uint32_t woFlags);
