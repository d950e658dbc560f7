// Creating a level's placed objects from its placement list, the objects the AI population spawns
// during play, the start items of a player character, and the level's timed events.
#pragma once
#include <cstddef>
#include <cstdint>

#include "world/wo_placement.h"

// Creates the objects of `list`, reading at most `capacity` records and stopping at the end
// record: types below 151 become active class-320 objects with their type's model, types 151 to
// 161 class-128 statics bound to the landscape object of their name. Records of other types are
// skipped. Returns the number of objects created.
int LVL_CreatePlacedObjects(const WOPlacement* list, size_t capacity);

// A spawn request of the AI population: words 2..4 the position, word 5 the type, word 6 the
// heading in radians (the heading's word is chosen).
struct LevelSpawnRecord {
    int32_t word0;
    int32_t word1;
    float position[3];
    int32_t type;
    float heading;
};

// Spawns the record's object lying on the ground (50 above it) with the level's next message
// number: the bod, or null when the type is never spawned (limbs, types without a model, the
// never-spawn list in a network game) or has no master row.
struct Bod;
Bod* LVL_SpawnObject(const LevelSpawnRecord* record);
// LVL_GiveStartItem (declared in wo.h) lives beside these.

// A timed event of a level: at `timeMs` of level time its sound plays (0 none) and its callback
// runs (none: null); `fired` once it has happened. A list ends at the first record whose time is
// not above 0.
struct LevelTimedEvent {
    float timeMs;
    uint32_t sound;
    void (*callback)();
    uint32_t fired;
};
// The list of a level (only level 13 has events); null for other levels and ids out of range.
LevelTimedEvent* LVL_TimedEvents(int level);
// Single player: every event of the current level not yet fired whose time has come fires. The
// whole list is walked every frame, so an event out of time order still fires.
void LVL_RunTimedEvents();
// Every event of the current level marked fired (a loaded game past them), or none (level start).
void LVL_MarkTimedEventsFired();
void LVL_ResetTimedEvents();
