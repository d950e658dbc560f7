// The level table: one row per level id 0..16 with the location, the map file the level loads,
// the CD audio track it plays, the ambient light floor for 16-bit and for 8-bit colour, its sound
// group and its 8-bit palette file (none for the drive-in, the campground and the training camp,
// whose maps carry no palette of their own). Read by the level load, the CD music and the display
// modes.
#pragma once
#include <cstdint>

constexpr int LVL_LEVEL_COUNT = 17;
constexpr uint32_t LVL_COMMON_SOUND_GROUP = 0x10000;

struct LevelTableEntry {
    const char* location;
    const char* mapFile;
    int32_t cdTrack;
    float light16;
    float light8;
    uint32_t soundGroup;  // (level + 2) << 16
    const char* palette;  // null: none
};

inline constexpr LevelTableEntry kLevelTable[LVL_LEVEL_COUNT] = {
    {"graveyard", "graphics\\maps\\grav20-3.zlm", 2, 0.15f, 0.14f, 0x20000, "graphics\\maps\\grave.bin"},
    {"town", "graphics\\maps\\town2-4.Zlm", 3, 0.10f, 0.14f, 0x30000, "graphics\\maps\\town.bin"},
    {"farm", "graphics\\maps\\farm4-2.zlm", 10, 0.15f, 0.14f, 0x40000, "graphics\\maps\\farm.bin"},
    {"drive-in", "graphics\\maps\\mult19-9.blm", 10, 0.10f, 0.14f, 0x50000, nullptr},
    {"mall", "graphics\\maps\\mall18-3.zlm", 7, 0.10f, 0.14f, 0x60000, "graphics\\maps\\mall.bin"},
    {"airport", "graphics\\maps\\air4-2.zlm", 2, 0.10f, 0.14f, 0x70000, "graphics\\maps\\air.bin"},
    {"sports ground", "graphics\\maps\\sprt17-3.zlm", 3, 0.10f, 0.14f, 0x80000, "graphics\\maps\\sports.bin"},
    {"hotel", "graphics\\maps\\hot9-2.zlm", 10, 0.10f, 0.14f, 0x90000, "graphics\\maps\\hotel.bin"},
    {"campground", "graphics\\maps\\camp23-9.blm", 10, 0.10f, 0.14f, 0xa0000, nullptr},
    {"hydro plant", "graphics\\maps\\hyd17-3.zlm", 7, 0.10f, 0.14f, 0xb0000, "graphics\\maps\\hydro.bin"},
    {"docks", "graphics\\maps\\dock3-4.zlm", 2, 0.15f, 0.14f, 0xc0000, "graphics\\maps\\docks.bin"},
    {"training camp", "graphics\\maps\\tran19-9.blm", 2, 0.10f, 0.14f, 0xd0000, nullptr},
    {"hospital", "graphics\\maps\\hsp10-3.zlm", 7, 0.10f, 0.14f, 0xe0000, "graphics\\maps\\hospital.bin"},
    {"labs", "graphics\\maps\\lab8-1.zlm", 3, 0.10f, 0.14f, 0xf0000, "graphics\\maps\\lab.bin"},
    {"security", "graphics\\maps\\sec23-1.zlm", 10, 0.10f, 0.14f, 0x100000, "graphics\\maps\\security.bin"},
    {"factory", "graphics\\maps\\con19-3.zlm", 8, 0.10f, 0.14f, 0x110000, "graphics\\maps\\factory.bin"},
    {"escape", "graphics\\maps\\esc7-1.zlm", 9, 0.10f, 0.14f, 0x120000, "graphics\\maps\\escape.bin"},
};

// The row of a level id, or null outside 0..16.
constexpr const LevelTableEntry* LVL_TableEntry(int level) {
    return level >= 0 && level < LVL_LEVEL_COUNT ? &kLevelTable[level] : nullptr;
}
