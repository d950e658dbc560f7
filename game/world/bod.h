// Bods: every entity of a level (player characters, non-player characters, world objects and
// landscape-bound statics) is a Bod in the one world list g_WorldBods. A bod carries a class, a
// per-frame hook and a control record that begins with a BodControl head (a table of handlers and
// the index of the current one). This header also holds the searches over the list, the network
// rules of action changes, the segment trace against characters, the area-damage sweeps and the
// overview-map projection.
#pragma once
#include <cstdint>

#include "common/mth.h"

struct Bod;
struct ModelInstance;
struct ModelTraceHit;
struct CharacterControl;
struct WorldObjectControl;

// A behaviour handler or a hook: called with the bod and its control record.
typedef void (*BodHandler)(Bod* bod, void* control);

// Class values (a bod has exactly one) and the bits they are made of.
enum : uint32_t {
    BOD_CLASS_PLAYER = 4,      // a player character (g_PlayerBods)
    BOD_CLASS_NPC = 8,         // a non-player character of the NPC pool (g_NpcBods)
    BOD_CLASS_HUMAN = 16,      // an NPC-pool bod turned into a human survivor
    BOD_CLASS_SEARCH = 32,     // only part of search masks
    BOD_CLASS_OBJECT = 64,     // a world object made during play
    BOD_CLASS_STATIC = 128,    // a landscape-bound static (no model, no hook)
    BOD_CLASS_PLACED_BIT = 256,
    BOD_CLASS_PLACED = 320,    // a world object of the level's placement list
};

// Search masks in use.
enum : uint32_t {
    BOD_MASK_PLAYERS = 4,
    BOD_MASK_CHARACTERS = 28,      // 4, 8, 16
    BOD_MASK_OBJECTS = 64,
    BOD_MASK_MAP = 92,             // 4, 8, 16, 64
    BOD_MASK_DRAW = 124,           // 4, 8, 16, 32, 64
    BOD_MASK_STATICS = 128,
    BOD_MASK_TRACE = 284,          // 4, 8, 16, 256
    BOD_MASK_EVERY_BODY = 348,     // 4, 8, 16, 64, 256
};

// Bod.flags: remove this bod at the end of its update.
constexpr uint32_t BOD_FLAG_REMOVE = 1;

// Handler tables: characters have 101 actions, world objects 70 behaviours.
constexpr int BOD_CHARACTER_ACTIONS = 101;
constexpr int BOD_OBJECT_BEHAVIOURS = 70;

// Player slots and the NPC pool.
constexpr int BOD_PLAYER_SLOTS = 8;
constexpr int BOD_NPC_POOL = 60;
constexpr int BOD_NET_NPCS = 20;  // the first NPCs, which network messages address by index

// The head of every control record.
struct BodControl {
    uint32_t firstWord;             // the owner's: 0 for characters, the object type for objects
    const BodHandler* actionTable;  // world objects call it the behaviour table
    int32_t action;                 // index of the current handler (world objects: the state)
};

struct Bod {
    uint32_t classMask;
    uint32_t active;           // 1 while drawn and swept by the area queries
    uint32_t spare[6];
    uint32_t flags;            // BOD_FLAG_REMOVE
    BodHandler hook;           // after the current handler, every frame; may be null
    void* control;             // a record beginning with a BodControl head; may be null
    void* ownedBlock;          // a second tracked block freed with the bod; may be null
    Bod* prev;
    Bod* next;
};

// A list of bods in creation order. The update keeps its place in `cursor` and the bod it is
// running in `current`, so that destroying any bod from inside a handler is safe.
struct BodList {
    Bod* head;
    Bod* tail;
    uint32_t count;
    Bod* cursor;    // the next bod the running update visits
    Bod* current;   // the bod whose handler runs; cleared when it is destroyed meanwhile
    uint32_t updating;
};

extern BodList g_WorldBods;
extern Bod* g_PlayerBods[BOD_PLAYER_SLOTS];
extern Bod* g_NpcBods[BOD_NPC_POOL];
// The search guard: steps since the last BOD_FindFirst and the bound it set.
extern uint32_t g_BodSearchSteps;
extern uint32_t g_BodSearchLimit;

// The attacker "none" of BOD_BlastDamage, distinct from a null attacker.
inline Bod* const BOD_NO_ATTACKER = reinterpret_cast<Bod*>(~uintptr_t(0));

// Lifecycle.
// A zero-filled bod (tracked heap, tag 9) at the tail of list; null when the heap refuses.
Bod* BOD_Create(BodList* list, uint32_t classMask, BodHandler hook);
void BOD_AttachControl(Bod* bod, void* control, const BodHandler* table);
// Unlinks and frees the bod with its control record, model instances and owned block.
void BOD_Destroy(BodList* list, Bod* bod);
void BOD_DestroyAll(BodList* list);
void BOD_DestroyWorld();

// Dispatch.
// Runs the current handler and then the hook of every bod from the head, removing the bods that
// ask for it. A nested call on a list that is being updated does nothing.
void BOD_UpdateAll(BodList* list);
// Index -1 runs the hook, any other the handler of that index (which must lie in the table).
void BOD_RunBehaviour(Bod* bod, int index);
// The number of handlers a bod's table has by its class (0: no table is known for the class).
int BOD_ActionCount(const Bod* bod);

// Actions and their network rules.
void BOD_SetAction(Bod* bod, int action);
void ACT_ApplyRemoteAction(Bod* bod, int action);

// Searches. More than max(1024, 4 x count) BOD_FindNext steps after one BOD_FindFirst stop the game
// with "number of bod searches has exceeded limit!".
Bod* BOD_FindFirst(BodList* list, uint32_t mask);
Bod* BOD_FindNext(BodList* list, uint32_t mask, Bod* bod);
Bod* BOD_FindStaticByName(const char* name);
Bod* BOD_FindStaticByObjectIndex(uint32_t index);

// Record access by class (characters 4, 8, 16; world objects and statics 64, 128): null when the
// bod has no record of that kind. world/bod_record.h reaches the fields both kinds share.
CharacterControl* BOD_CharacterOf(const Bod* bod);
WorldObjectControl* BOD_ObjectOf(const Bod* bod);

// Geometry and damage.
void BOD_LinkLevelObjects();
Bod* BOD_FindNearestTarget(Bod* bod);
// 696969 for a landscape hit, the bone index for a body hit, -1 for none.
constexpr int32_t BOD_TRACE_LANDSCAPE = 696969;
// The hit record: unused0 is the kind (1 surface, 2 landscape object, 3 body), hitBod the body,
// t the fraction along the segment, unused1 the flag word (1: only the landscape was hit).
int32_t BOD_TraceSegment(Bod* ignoreBod, uint32_t surface, const Vec3* start, const Vec3* end,
                         ModelTraceHit* hit);
void BOD_BlastDamage(Bod* attackerBod, const Vec3* point, float radius, float pushRadius, float amount,
                     uint32_t mask);
void BOD_AreaDamage(const Vec3* point, float radius, float amount, int attackerPlayerId);
// The push that throws a killed character apart, away from point.
void BOD_PushVelocity(const Vec3* bodPosition, const Vec3* point, Vec3* out);

// The overview map: one entry per shown bod into each array (at most capacity); the count.
int BOD_CollectMapBlips(const Matrix34* rotation, float (*positionsOut)[3], float (*mapOut)[3], float scaleX,
                        float scaleZ, const Matrix34* view, int capacity);
