// The world objects' behaviours (the states of g_WOBehaviourTable): doors, switches, the padlock,
// conveyors, the toggle and the dropped object's fall. The slots of the level machines are
// filled by the level content; the thrown objects', fuses' and projectiles' slots stay empty
// until the flight and the explosions are built.
#pragma once
#include <cstdint>

struct Bod;

// Behaviour slots.
enum : int {
    WO_BEHAVIOUR_IDLE = 3,          // nothing to do
    WO_BEHAVIOUR_DOOR_OPEN = 4,     // controller A: open (or re-open) the door
    WO_BEHAVIOUR_DOOR_TO_OPEN = 5,  // leg M to O
    WO_BEHAVIOUR_DOOR_TO_MIDDLE = 6,  // leg C to M
    WO_BEHAVIOUR_DOOR_BACK_TO_MIDDLE = 7,  // leg O to M
    WO_BEHAVIOUR_DOOR_TO_CLOSED = 8,  // leg M to C
    WO_BEHAVIOUR_DOOR_CLOSE = 9,    // controller B: close the door
    WO_BEHAVIOUR_DOOR_INIT = 10,
    WO_BEHAVIOUR_SWITCH_OFF = 12,
    WO_BEHAVIOUR_SWITCH_ON = 13,
    WO_BEHAVIOUR_PADLOCK = 14,
    WO_BEHAVIOUR_CONVEYOR_SET = 15,
    WO_BEHAVIOUR_CONVEYOR_STEP = 16,
    WO_BEHAVIOUR_LYING = 19,
    WO_BEHAVIOUR_DROP_FALL = 20,
    WO_BEHAVIOUR_DROP_START = 21,
    WO_BEHAVIOUR_DROP_SETTLE = 22,
    WO_BEHAVIOUR_TOGGLE = 25,
};

// Door sounds.
constexpr uint32_t WO_SOUND_DOOR_START = 0x1000e;
constexpr uint32_t WO_SOUND_DOOR_CLOSING = 0x1000f;
constexpr uint32_t WO_SOUND_DOOR_SHUT = 0x10010;
constexpr uint32_t WO_SOUND_CLICK = 0x1000c;
constexpr uint32_t WO_SOUND_BELT = 0x10013;

// The level's switch state: the switch last used, the object it switched, the toggle's flag.
extern Bod* g_WOCurrentSwitch;
extern Bod* g_WOSwitchedObject;
extern int32_t g_WOToggleFlag;

// Puts an object back where it was made (nothing when that place is all zero): its rotation and
// position, its surface, 50 above the ground; a network host tells the other machines (25).
struct WorldObjectControl;
void WOReturnToPlace(WorldObjectControl* control);

// A character uses the landscape static of landscape object `landscapeObject` (single player
// only): a static that needs no item runs its use behaviour; one that needs an item runs it when
// the user holds that item (whose use sound plays), and otherwise shows on the HUD what is needed
// (for object types 1..149). Returns 1 when the behaviour ran.
int WOUseStatic(uint32_t landscapeObject, Bod* userBod);
// The wording of the HUD lines (chosen): under direct control "PHRASE OBJECT", for a team member
// "NAME PHRASE OBJECT".
extern const char* const WO_NEED_PHRASE;
extern const char* const WO_MEMBER_NEEDS_PHRASE;
