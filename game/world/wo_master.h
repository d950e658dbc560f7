// The master table of world-object types: one 23-word row per type giving its weapon kind, reach,
// damage, ammunition, sounds and flags, in the order the objects are looked up, ended by a row of
// type WO_END_TYPE. Object creation copies a row into the object's control record.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "shell/snd.h"

constexpr uint32_t WO_END_TYPE = 163;      // the type of a table's end row
constexpr size_t WO_MASTER_TYPES = 119;    // rows before the end row

// woFlags bits.
constexpr uint32_t WO_FLAG_NEVER_CURRENT = 0x10;   // never chosen as the current weapon
constexpr uint32_t WO_FLAG_DISCARD_GIVEN = 0x40;   // given objects of this type are discarded at once
constexpr uint32_t WO_FLAG_DECAPITATES = 0x80;     // firearm hits may take the head off
constexpr uint32_t WO_FLAG_SELECT_AT_ONCE = 0x200; // current weapon as soon as it is picked up

// Weapon kinds (the character actions choose their attack by the kind).
constexpr int32_t WO_KIND_NONE = 0;      // nothing to attack with, or ammunition
constexpr int32_t WO_KIND_FIREARM = 2;
constexpr int32_t WO_KIND_PIPE_BOMB = 3;
constexpr int32_t WO_KIND_HAND = 5;      // one-handed swings and carried items
constexpr int32_t WO_KIND_SWING = 6;     // two-handed swings
constexpr int32_t WO_KIND_THROWN = 7;
constexpr int32_t WO_KIND_STAB = 10;

struct MasterWORecord {
    uint32_t type;             // word 0
    int32_t weaponKind;        // 1
    int32_t range;             // 2: reach, or the blast radius of a thrown weapon
    int32_t fullDamageRange;   // 3
    uint32_t npcTakes;         // 4: non-player characters may pick it up
    uint32_t word5;            // 5: not copied
    uint32_t damage;           // 6: one hit; also the preference for the current weapon
    uint32_t rankExtra;        // 7
    int32_t ammoMax;           // 8
    int32_t ammoPerShot;       // 9
    uint32_t ammoFor;          // 10: ammunition: the weapon type it refills (162 none)
    uint32_t linkedType;       // 11: the projectile type a weapon fires (162 none)
    uint32_t isAmmo;           // 12
    int32_t ammoStart;         // 13
    SoundId fireSound;         // 14
    SoundId emptySound;        // 15
    uint32_t word16;           // 16: not copied
    uint32_t word17;           // 17: not copied
    SoundId sound3;            // 18
    SoundId useSound;          // 19: plays when the object opens a static
    uint32_t woFlags;          // 20
    uint32_t word21;           // 21: zero
    uint32_t word22;           // 22: zero
};

extern const std::array<MasterWORecord, WO_MASTER_TYPES + 1> MASTERWO;

// The row of `type`, scanning up to the end row; null when the table has none.
const MasterWORecord* WO_FindMaster(uint32_t type);
