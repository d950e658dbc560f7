// The records that the in-level interface and the game world share, defined once for both: a
// character's player status, the four team slots that embed it, and the HUD state, whose radar
// block the world fills and whose command block the world applies. Records of the process only:
// pointers are pointer-sized, nothing here goes to disk or onto the wire as it lies in memory.
#pragma once
#include <cstdint>

struct Bod;

// The status of one player character: 42 words. The world fills it (ACT_GetPlayerStatus), the
// interface writes its request words back and hands it on (ACT_SetPlayerStatus).
struct PlayerStatus {
    Bod* bod;                 // word 0
    int32_t turnCommand;      // 1: 1 left, 2 right
    int32_t moveCommand;      // 2: 3 forward, 4 back
    int32_t useCommand;       // 3: the U request
    int32_t spareCommand;     // 4
    int32_t word5;            // 5
    int32_t pushCommand;      // 6: the left-Alt request
    int32_t attackCommand;    // 7: the left-Control request
    int32_t runFlag;          // 8: the run-off word
    int32_t kickCommand;      // 9: the K request
    int32_t word10;           // 10
    int32_t entryTypes[9];    // 11..19: object type per carried entry, 162 empty
    int32_t entryValues[9];   // 20..28: ammunition percent
    Bod* entryBods[9];        // 29..37
    int32_t selectedEntry;    // 38: the carried entry in hand
    int32_t controlFlag;      // 39: the character has a control record
    int32_t word40;           // 40
    int32_t healthPercent;    // 41
};
constexpr int32_t HUD_EMPTY_ENTRY_TYPE = 162;

// One of the four team members of the in-level interface. The request words live for one frame:
// the in-level frame sets them, HUD_ApplyToGame hands them on, HUD_UpdateFromGame resets them.
struct TeamSlot {
    int32_t blocked;             // the member is lost: skipped by both exchanges
    int32_t selected;
    int32_t carriedTypes[9];     // -1 empty; 149 the health item
    int32_t carriedValues[9];    // ammunition percent
    Bod* carriedBods[9];         // null where the type is empty
    int32_t currentEntry;        // 0..8
    int32_t controlFlag;
    int32_t characterId;         // -1 none
    int32_t faceVariant;         // 0..2
    int32_t turnRequest;         // 0 none, 1 left, 2 right
    int32_t moveRequest;         // 0 none, 3 forward, 4 back
    int32_t useRequest;
    int32_t runOff;              // 1 after every update
    int32_t spareRequest;
    int32_t health;              // percent, as of the last update
    int32_t altRequest;
    int32_t controlRequest;
    int32_t kickRequest;
    int32_t zeroHealthCount;     // consecutive updates at health 0 or below
    int32_t damageHistory[3];    // health fell in this update, the one before, the one before that
    PlayerStatus status;
};
constexpr int HUD_TEAM_SLOTS = 4;
extern TeamSlot g_TeamSlots[HUD_TEAM_SLOTS];

// The HUD state. Radar block (BOD_FillRadar fills it): the view heading, up to 256 radar entries
// {offset x, class 0..4, offset y} from the radar centre and as many positions on the location
// map, their count, a further word, and the six map-mapping values (the view wedge's three {x, z}
// points). Command block (HUD_ApplyToGame writes it, ACT_ApplyPlayerCommands applies it).
constexpr int HUD_RADAR_ENTRIES = 256;
struct HudState {
    float viewHeading;                     // degrees
    int32_t radarDrawn;                    // the radar drew its blips this frame
    float radar[HUD_RADAR_ENTRIES][3];     // {ox, class, oy}
    float map[HUD_RADAR_ENTRIES][3];       // positions on the location map
    int32_t radarCount;                    // 0..256
    int32_t radarWord;
    float mapping[6];
    int32_t teamMode;                      // 1 while the player does not steer a member directly
    int32_t controlledMember;              // single player: team slot; network game: player index
    float orderPoint[3];                   // -1 each: none
    int32_t panHorizontal;                 // 0 none, 1 left, 2 right
    int32_t panVertical;                   // 0 none, 3 up, 4 down
    int32_t panByPress;
    int32_t runFlag;                       // this frame only
};
extern HudState g_HudState;
// Beside the record: view size in x and in z, radar width and height.
extern float g_RadarScale[4];
