// MASTERWO, the master table of world-object types (see wo_master.h), and its look-up.
//
// The firearm and ammunition rows are complete. Rows marked "chosen" carry values of our own
// choosing within the row's weapon kind: which fields are ours is listed beside the row; every
// field not listed there is fixed by the game's rules and must not change, since the machines of a
// network game rely on the same table. Words 5, 16, 17, 21 and 22 are zero in every row.
#include "world/wo_master.h"

namespace {

constexpr uint32_t kNone = 162;               // no type
constexpr SoundId kQuiet = SND_NO_SOUND;

// A firearm, its ammunition or a projectile. Ammunition (a refilled weapon type in ammoFor) is
// marked isAmmo. Chosen in every such row: npcTakes 0, rankExtra 0, sound3 and useSound none.
constexpr MasterWORecord Firearm(uint32_t type, int32_t kind, int32_t range, int32_t fullRange, uint32_t damage,
                                 int32_t ammoMax, int32_t perShot, uint32_t ammoFor, uint32_t linked,
                                 int32_t ammoStart, SoundId fire, SoundId empty, uint32_t flags) {
    return {type,  kind,   range,   fullRange, 0,  0,     damage, 0, ammoMax, perShot, ammoFor, linked,
            ammoFor != kNone ? 1u : 0u, ammoStart, fire, empty, 0, 0, kQuiet, kQuiet, flags, 0, 0};
}

// Anything else: swung, stabbing and thrown weapons, keys, cards, limbs and plain items. No
// ammunition, no empty sound. Chosen in every such row: rankExtra 0, sound3 none, and npcTakes,
// which is 1 exactly for kind 5 (the only kind a non-player character can carry).
constexpr MasterWORecord Item(uint32_t type, int32_t kind, int32_t range, int32_t fullRange, uint32_t damage,
                              SoundId fire, uint32_t flags, SoundId use = kQuiet) {
    return {type, kind, range, fullRange, kind == WO_KIND_HAND ? 1u : 0u, 0, damage, 0, 0, 0, kNone, kNone, 0, 0,
            fire, kQuiet, 0, 0, kQuiet, use, flags, 0, 0};
}

// A type that is only a number in the table (no model, nothing to wield). Chosen: all of it.
constexpr MasterWORecord Plain(uint32_t type) { return Item(type, WO_KIND_NONE, 0, 0, 0, kQuiet, 0x1); }

constexpr MasterWORecord Key(uint32_t type) { return Item(type, WO_KIND_HAND, 2, 1, 3, kQuiet, 0x50); }  // chosen: range 2, 1
constexpr MasterWORecord Card(uint32_t type) {
    return Item(type, WO_KIND_HAND, 2, 1, 2, kQuiet, 0x50, 0x10011);  // chosen: range 2, 1
}

}  // namespace

constexpr std::array<MasterWORecord, WO_MASTER_TYPES + 1> MASTERWO = {{
    Plain(0),
    Firearm(1, 2, 3000, 1000, 16, 24, 1, kNone, kNone, 24, 0x10028, 0x10051, 0x81),
    Item(2, 5, 2, 1, 12, 0x10029, 0x21),                      // axe
    Plain(3),
    Item(4, 6, 2, 1, 10, kQuiet, 0x21),                       // baseball bat; chosen: range, damage, sound, flags
    Plain(5),
    Item(6, 6, 2, 1, 14, kQuiet, 0x21),                       // nail bat; chosen: range, damage, sound, flags
    Plain(7),
    Item(8, 5, 2, 1, 6, kQuiet, 0x21),                        // brick; chosen: range, damage, sound, flags
    Plain(9),
    Plain(10),
    Item(11, 10, 2, 1, 10, kQuiet, 0x21),                     // cattle prod; chosen: range, damage, sound, flags
    Item(12, 5, 2, 1, 8, kQuiet, 0x21),                       // chain; chosen: range, damage, sound, flags
    Item(13, 6, 2, 1, 32, 0x1002f, 0x21),                     // chainsaw; chosen: range 2, 1
    Firearm(14, 2, 3500, 2500, 32, 24, 1, kNone, kNone, 24, 0x10030, 0x1004f, 0x81),
    Firearm(112, 0, 0, 0, 0, 0, 0, 14, 14, 6, kQuiet, kQuiet, 0x11),
    Plain(15),
    Plain(16),
    Item(17, 5, 2, 1, 10, kQuiet, 0x21),                      // crowbar; chosen: range, damage, sound, flags
    Item(18, 0, 0, 0, 0, kQuiet, 0x11),                       // bomb detonator; chosen: all but the kind
    Plain(19),
    Item(20, 7, 500, 250, 64, kQuiet, 0x55),                  // dynamite; chosen: range 500, 250, sound
    Plain(21),
    Plain(22),
    Item(23, 5, 2, 1, 4, kQuiet, 0x21),                       // gas can; chosen: range, damage, sound, flags
    Plain(24),
    Item(25, 6, 2, 1, 10, kQuiet, 0x21),                      // golf club; chosen: range, damage, sound, flags
    Plain(26),
    Item(27, 7, 750, 400, 96, kQuiet, 0x259),                 // grenade; chosen: sound
    Firearm(29, 2, 3500, 3000, 32, 40, 1, kNone, kNone, 40, 0x10035, 0x10053, 0x81),
    Firearm(30, 0, 0, 0, 0, 40, 1, 29, 29, 20, kQuiet, kQuiet, 0x11),
    Item(31, 10, 2, 1, 12, kQuiet, 0x21),                     // throwing knife; chosen: range, damage, sound, flags
    Item(32, 5, 2, 1, 10, kQuiet, 0x21),                      // hunting knife; chosen: range, damage, sound, flags
    Firearm(33, 2, 3500, 2000, 34, 256, 4, kNone, kNone, 256, 0x10037, 0x10052, 0x181),
    Firearm(34, 2, 30, 30, 0, 8, 1, kNone, kNone, 1, kQuiet, kQuiet, 0x1),
    Firearm(35, 0, 0, 0, 64, 8, 1, 34, 34, 1, kQuiet, kQuiet, 0x11),
    Plain(36),
    Firearm(37, 2, 3500, 1500, 34, 256, 4, kNone, kNone, 256, 0x10039, 0x10054, 0x181),
    Firearm(38, 0, 0, 0, 0, 256, 4, 37, 37, 64, kQuiet, kQuiet, 0x11),
    Item(39, 3, 500, 250, 64, kQuiet, 0x11),                  // chosen: all but the kind
    Plain(40),
    Firearm(41, 2, 2500, 1000, 32, 100, 5, kNone, kNone, 100, 0x1003a, 0x1003a, 0x1),
    Firearm(42, 0, 0, 0, 0, 100, 5, 41, 41, 25, kQuiet, kQuiet, 0x11),
    Plain(43),
    Item(44, 6, 2, 1, 14, kQuiet, 0x21),                      // pickaxe; chosen: range, damage, sound, flags
    Item(45, 5, 2, 1, 8, kQuiet, 0x21),                       // bent pipe; chosen: range, damage, sound, flags
    Item(46, 3, 500, 250, 64, kQuiet, 0x11),                  // pipe bomb; chosen: all but the kind
    Firearm(47, 2, 3500, 3000, 32, 48, 1, kNone, kNone, 48, 0x1003d, 0x1004f, 0x1),
    Firearm(48, 0, 0, 0, 0, 48, 1, 47, 47, 12, kQuiet, kQuiet, 0x11),
    Firearm(49, 2, 2500, 1500, 16, 256, 1, kNone, kNone, 256, 0x1003e, 0x10050, 0x1),
    Item(50, 10, 2, 1, 12, kQuiet, 0x21),                     // pitchfork; chosen: range, damage, sound, flags
    Item(51, 5, 2, 1, 8, kQuiet, 0x21),                       // nightstick; chosen: range, damage, sound, flags
    Firearm(52, 2, 3000, 1000, 32, 24, 1, kNone, kNone, 24, 0x10041, 0x10051, 0x81),
    Firearm(53, 0, 0, 0, 0, 24, 1, 52, 52, 6, kQuiet, kQuiet, 0x11),
    Plain(54), Plain(55), Plain(56), Plain(57), Plain(58), Plain(59), Plain(60), Plain(61),
    Item(62, 6, 2, 1, 10, kQuiet, 0x21),                      // spade; chosen: range, damage, sound, flags
    Firearm(63, 2, 6000, 5000, 32, 500, 2, kNone, kNone, 500, 0x10039, 0x10051, 0x101),
    Firearm(64, 0, 0, 0, 0, 500, 2, 63, 63, 100, kQuiet, kQuiet, 0x11),
    Plain(65),
    Item(66, 7, 0, 0, 1, kQuiet, 0x11),                       // tennis ball; chosen: all but the kind
    Item(67, 5, 2, 1, 4, kQuiet, 0x21),                       // tennis racket; chosen: range, damage, sound, flags
    Item(68, 5, 2, 1, 6, kQuiet, 0x21),                       // wood log; chosen: range, damage, sound, flags
    Item(69, 7, 500, 250, 64, kQuiet, 0x55),                  // time bomb; chosen: range 500, 250, sound
    Item(70, 7, 0, 0, 1, kQuiet, 0x11),                       // football; chosen: all but the kind
    Firearm(71, 2, 2000, 1500, 33, 64, 1, kNone, kNone, 64, 0x1004a, 0x10051, 0x1),
    Firearm(72, 0, 0, 0, 0, 64, 1, 71, 71, 64, kQuiet, kQuiet, 0x11),
    Plain(73), Plain(74), Plain(75), Plain(76), Plain(77),
    Item(78, 10, 2, 1, 6, kQuiet, 0x21),                      // screwdriver; chosen: range, damage, sound, flags
    Key(79), Key(80), Key(81), Key(82), Key(83), Key(84),
    Key(85), Key(86), Key(87), Key(88), Key(89), Key(90),
    Firearm(91, 2, 2500, 1000, 32, 12, 2, kNone, kNone, 0, 0x10030, 0x10052, 0x81),
    Firearm(92, 0, 0, 0, 0, 256, 1, 33, 33, 64, kQuiet, kQuiet, 0x11),
    Card(93), Card(94), Card(95), Card(96), Card(97), Card(98),
    Card(99), Card(100), Card(101), Card(102), Card(103), Card(104),
    Item(111, 5, 2, 1, 2, kQuiet, 0x1),                       // hand; chosen: all but the kind
    Item(132, 5, 2, 1, 4, 0x10040, 0x1),                      // leg; chosen: range 2, 1, flags
    Firearm(135, 2, 50, 5, 64, 10, 1, kNone, 136, 10, 0x10048, 0x10055, 0x41),
    Firearm(136, 0, 500, 250, 96, 0, 0, kNone, kNone, 0, kQuiet, kQuiet, 0x0),
    Firearm(138, 2, 50, 5, 64, 10, 1, kNone, 139, 10, 0x10048, 0x10055, 0x41),
    Firearm(139, 0, 500, 250, 96, 0, 0, kNone, kNone, 0, kQuiet, kQuiet, 0x0),
    Item(115, 0, 0, 0, 0, kQuiet, 0x11),                      // basketball; chosen: all of it
    Firearm(144, 0, 0, 0, 64, 8, 1, 34, 34, 1, kQuiet, kQuiet, 0x11),  // chosen: all of it, as type 35
    Item(147, 5, 2, 1, 0, kQuiet, 0x50),                      // serum; chosen: range 2, 1, damage 0
    Item(28, 5, 2, 1, 16, kQuiet, 0x21),                      // sledge hammer; chosen: range, damage, sound, flags
    Item(149, 0, 0, 0, 0, kQuiet, 0x11),                      // bottle; chosen: all of it
    Item(131, 5, 2, 1, 3, 0x10024, 0x41),                     // arm; chosen: range 2, 1, flag 0x1
    Firearm(148, 0, 500, 350, 10, 0, 0, kNone, kNone, 0, kQuiet, kQuiet, 0x11),
    Item(151, 0, 0, 0, 0, kQuiet, 0x0),                       // landscape statics; chosen: all of it
    Item(WO_END_TYPE, 0, 0, 0, 0, kQuiet, 0x0),
}};

static_assert(sizeof(MasterWORecord) == 23 * sizeof(uint32_t), "a row is 23 words");
static_assert(MASTERWO.back().type == WO_END_TYPE, "the table ends with its end row");

const MasterWORecord* WO_FindMaster(uint32_t type) {
    for (const MasterWORecord& row : MASTERWO) {
        if (row.type == WO_END_TYPE)
            break;
        if (row.type == type)
            return &row;
    }
    return nullptr;
}
