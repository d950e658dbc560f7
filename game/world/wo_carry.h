// Carrying world objects: taking an object into a character's eight carried entries (with the
// ammunition refills and the choice of the current weapon), dropping it back into the world, the
// health item, and the callbacks that touching or dropping an object runs.
#pragma once
#include <cstdint>

struct Bod;
struct WorldObjectControl;
struct PlayerStatus;

// Results of pickupweapobj and WODropObject.
constexpr int WO_PICKUP_REFUSED = 35;
constexpr int WO_PICKUP_NO_SLOT = 36;
constexpr int WO_DROP_NOT_CHARACTER = 39;
constexpr int WO_DROP_NOT_OBJECT = 40;
constexpr int WO_DROP_IN_WORLD = 41;

// Sounds of carrying.
constexpr uint32_t WO_SOUND_PICKUP = 0x10007;
constexpr uint32_t WO_SOUND_DROP = 0x10008;
constexpr uint32_t WO_SOUND_RELOAD = 0x10009;
constexpr uint32_t WO_SOUND_HEALTH = 0x1000a;

// The taker picks up a lying object: 0 taken, WO_PICKUP_REFUSED (a network client; an object
// dropped, flying, spawned, smoking or not lying; a taker wearing its own skin in game type 6;
// a taker that is no player, an object that is no world object or not in the world: reported on
// the debug output), WO_PICKUP_NO_SLOT. Ammunition refills an empty carried weapon or is carried;
// the current weapon may change; the host tells the other machines ('F').
int pickupweapobj(Bod* objectBod, Bod* takerBod);
// Taking an object on another machine's message: no refusals, no messages.
void WOAddToInventory(Bod* objectBod, Bod* takerBod);
// The first free entry 1..8 takes the object (a second object of a type is refused unless its
// kind is 0, 7, 8 or 9; non-player characters take only kind 5): the slot, or -1.
int WOPutInSlot(Bod* takerBod, Bod* objectBod);
// A weapon that is empty takes the first carried ammunition for it (which is used up).
void WOUseCarriedAmmo(Bod* characterBod, Bod* weaponBod);
// The first empty carried weapon that the ammunition is for is refilled: 0 (slot in outSlot),
// or 1 when there is none.
int WORefillFromAmmo(Bod* takerBod, Bod* ammoBod, int* outSlot);
// Puts a carried object back into the world at the carrier's place: 0, WO_DROP_NOT_CHARACTER,
// WO_DROP_NOT_OBJECT (the class must be exactly 64), WO_DROP_IN_WORLD. The carrier's entries are
// the caller's to clear; the current weapon is chosen again.
int WODropObject(Bod* objectBod, Bod* carrierBod);
// The object's drop callback; the pickup callback unless the character is dead or dying.
void WODropFromCharacter(Bod* characterBod, Bod* objectBod);
void WOPickupOnTouch(Bod* characterBod, Bod* objectBod);
// The carried entry `slot` (1..8) of player `index` is dropped through its drop callback at the
// character's drop heading. Out-of-range indexes and slots do nothing.
void WODropFromSlot(int index, int slot);
// A player below health 64 uses the health item: +32, at most 64; the item is used up. 1 used,
// 0 refused. In a network game, unless `remote`, the other machines are told ('>').
int WOPickupHealth(Bod* characterBod, Bod* objectBod, int remote);
// The serum's pickup: unless it is exploding (state 36), every living player character goes to
// health 64 and the hospital's gas stops. 0.
int WOPickupSerum(Bod* characterBod, Bod* objectBod);
// Takes a carried object out of its carrier's entries and removes it: 1, or 0 when it is carried
// by nobody.
int WODestroyCarried(WorldObjectControl* control);

// Set when the serum stops the hospital's gas (the hospital level's content reads and clears it).
extern int32_t g_WOGasStopped;

// The interface writes a player's carried entries 1..8 back (type and bod; an entry whose type is
// no object type or that has no bod becomes empty) and the current weapon is chosen again: the
// selected slot, or 0 when `index` has no character.
int ACT_SetPlayerInventory(int index, const PlayerStatus* status);
