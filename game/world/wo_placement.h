// The placement record of the level content: one world object or landscape static that a level
// places when it loads. A level's list ends with a record of type WO_END_TYPE. Names and the
// parameter record are real pointers in named fields; nothing here leaves the process.
#pragma once
#include <cstddef>
#include <cstdint>

struct WOPlacement {
    uint32_t type;               // below 151 a world object with a model, 151 and above a static
    uint32_t useBehaviour;       // behaviour run when the static is used
    const char* name;            // landscape object name (null or empty: none)
    const char* param3;          // link name
    uint32_t requiredItem;       // type a user must hold; 162 none needed
    const char* param5;          // on-object name
    uint32_t param6;
    const char* param7;          // off-object name
    uint32_t param8;
    uint32_t initialState;       // behaviour to start in; 0 none
    const void* param10;         // the behaviour's parameter record (door, conveyor, mixer)
    uint32_t param11;
};

// Records (end record not counted) that each level's list holds, by level id.
constexpr uint32_t WO_LEVEL_PLACEMENT_COUNTS[17] = {2, 5, 5, 0, 29, 19, 7, 9, 0, 10, 3, 5, 5, 8, 26, 12, 4};
