// Stand-in for the world objects until they are built: the control record with the fields that
// the bods, the level start, the drawing and the models read (it begins like CharacterControl:
// BodControl head, then the shared fields by name), the per-type model and skin files (the
// tables live in wo_types.cpp), the inventory reset and the start items.
#pragma once
#include <cstdint>

#include "world/bod.h"

struct ModelInstance;
struct LandscapeObject;

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
};

constexpr uint32_t WO_NO_TYPE = 162;
constexpr uint32_t WO_IN_WORLD = 2;     // `where` of an object lying in the world

// The behaviour table of every world object (by state), and the per-frame hook of the objects
// that can be picked up by touch.
extern const BodHandler g_WOBehaviourTable[BOD_OBJECT_BEHAVIOURS];
void WO_BodHook(Bod* bod, void* control);

// Model and skin files of an object type; null when the type has none (and for every type from
// WO_TYPE_FILES on).
const char* WO_TypeModelFile(uint32_t type);
const char* WO_TypeSkinFile(uint32_t type);

// Every carried entry empty (type 162, no bod), entry 0's type 0.
void WOClearInventory(Bod* characterBod);
void LVL_GiveStartItem(int ammoPercent, Bod* characterBod, int type);
// A character touched the object: it may pick it up (recorded).
void WOPickupOnTouch(Bod* characterBod, Bod* objectBod);

// The number of items the character carries whose world-object flags have any of `woFlags` set.
int WO_CountCarried(const Bod* bod, uint32_t woFlags);
