// The characters' action table: the 101 action numbers, the handler of each (fn(Bod*,
// CharacterControl*)), the table itself that every character's control record points at, and the
// names of the animations that the handlers play.
#pragma once
#include <array>
#include <cstdint>

#include "world/bod.h"

struct CharacterControl;

// The action numbers. Slots 31-33, 44-46, 48, 62, 67, 68, 72, 73, 81 and 85 are empty.
enum ActionId : int32_t {
    ACTION_AI = 0,
    ACTION_WALK = 1,
    ACTION_RUN = 2,
    ACTION_SWING = 3,
    ACTION_STAB = 4,
    ACTION_THRUST = 5,
    ACTION_START_FIRE = 6,
    ACTION_FIRE_PROJECTILE = 7,
    ACTION_FALL_DEAD = 8,
    ACTION_DIE_AT_TIMER = 9,
    ACTION_DIE = 10,
    ACTION_STAND = 11,
    ACTION_RECOIL_BACK = 12,
    ACTION_RECOIL_FORWARD = 13,
    ACTION_CHEW_HIT_FRONT = 14,
    ACTION_CHEW_HIT_BACK = 15,
    ACTION_START_WALK = 16,
    ACTION_START_RUN = 17,
    ACTION_PLAYER_IDLE = 18,
    ACTION_ATTACK = 19,
    ACTION_FINISH = 20,
    ACTION_FINISH_STEER = 21,
    ACTION_END_UZI = 22,
    ACTION_DEATH = 23,
    ACTION_SHOCK = 24,
    ACTION_SHOCKED = 25,
    ACTION_SHOCK_DAMAGE = 26,
    ACTION_LAND_OK = 27,
    ACTION_FALLING = 28,
    ACTION_USE = 29,
    ACTION_USE_WAIT = 30,
    ACTION_LAND_CROUCH = 34,
    ACTION_LANDING = 35,
    ACTION_PUSH = 36,
    ACTION_PUSHING = 37,
    ACTION_PUSH_END = 38,
    ACTION_KICK = 39,
    ACTION_KICKING = 40,
    ACTION_SWIPE_CARD = 41,
    ACTION_SWIPE_CARD_WAIT = 42,
    ACTION_SHOVED = 43,
    ACTION_AIRBORNE = 47,
    ACTION_JUMP = 49,
    ACTION_LEVEL_PULL_START = 50,
    ACTION_LEVEL_PULL = 51,
    ACTION_START_EAT = 52,
    ACTION_EAT = 53,
    ACTION_GET_UP = 54,
    ACTION_BACK_TO_AI = 55,
    ACTION_REACTION_END = 56,
    ACTION_GRINDER_TAKEN = 57,
    ACTION_GRINDER_SHRED = 58,
    ACTION_MACHINE_RELEASE = 59,
    ACTION_SHOVE_END = 60,
    ACTION_PULL_CATCH = 61,
    ACTION_CRUSHED = 63,
    ACTION_FARM_MACHINE = 64,
    ACTION_DEADLY_ZONE = 65,
    ACTION_STEER_MACHINE = 66,
    ACTION_BLOWN_UP = 69,
    ACTION_XRAY = 70,
    ACTION_STEP_BACK = 71,
    ACTION_ROTATE_RIGHT = 74,
    ACTION_ROTATE_LEFT = 75,
    ACTION_THROW = 76,
    ACTION_MELEE = 77,
    ACTION_GRAB_START = 78,
    ACTION_GRABBING = 79,
    ACTION_FEEDING = 80,
    ACTION_HELD = 82,
    ACTION_UZI_START = 83,
    ACTION_UZI_STEER = 84,
    ACTION_UZI_REPEAT = 86,
    ACTION_ONE_HAND_START = 87,
    ACTION_ONE_HAND_STEER = 88,
    ACTION_ONE_HAND_REPEAT = 89,
    ACTION_ONE_HAND_HOLD = 90,
    ACTION_RIFLE_START = 91,
    ACTION_RIFLE_STEER = 92,
    ACTION_RIFLE_REPEAT = 93,
    ACTION_RIFLE_HOLD = 94,
    ACTION_AUTO_START = 95,
    ACTION_AUTO_STEER = 96,
    ACTION_AUTO_REPEAT = 97,
    ACTION_AUTO_HOLD = 98,
    ACTION_FINISH_THEN_AI = 99,
    ACTION_SHOTGUN_REPEAT = 100,
};
constexpr int ACT_ACTION_COUNT = BOD_CHARACTER_ACTIONS;
constexpr int ACT_EMPTY_SLOT_COUNT = 14;
constexpr int32_t kActEmptySlots[ACT_EMPTY_SLOT_COUNT] = {31, 32, 33, 44, 45, 46, 48, 62, 67, 68, 72, 73, 81, 85};

// A character's action handler.
typedef void (*ActionHandler)(Bod* bod, CharacterControl* control);

// The table every character's control record points at (BOD_AttachControl), in the bods'
// handler type. Empty slots hold ACT_NoAction.
extern const std::array<BodHandler, ACT_ACTION_COUNT> g_ActionTable;
// The empty slot: does nothing, of exactly the table's handler type.
void ACT_NoAction(Bod* bod, void* control);

// Locomotion, idle and reaction actions (act_locomotion.cpp, act_reaction.cpp).
void ACT_Ai(Bod* bod, CharacterControl* control);              // 0
void ACT_Walk(Bod* bod, CharacterControl* control);            // 1
void ACT_Run(Bod* bod, CharacterControl* control);             // 2
void ACT_FallDead(Bod* bod, CharacterControl* control);        // 8
void ACT_Stand(Bod* bod, CharacterControl* control);           // 11
void ACT_RecoilBack(Bod* bod, CharacterControl* control);      // 12
void ACT_RecoilForward(Bod* bod, CharacterControl* control);   // 13
void ACT_ChewHitFront(Bod* bod, CharacterControl* control);    // 14
void ACT_ChewHitBack(Bod* bod, CharacterControl* control);     // 15
void ACT_StartWalk(Bod* bod, CharacterControl* control);       // 16
void ACT_StartRun(Bod* bod, CharacterControl* control);        // 17
void ACT_PlayerIdle(Bod* bod, CharacterControl* control);      // 18
void ACT_Finish(Bod* bod, CharacterControl* control);          // 20
void ACT_FinishSteer(Bod* bod, CharacterControl* control);     // 21
void ACT_Shock(Bod* bod, CharacterControl* control);           // 24
void ACT_Shocked(Bod* bod, CharacterControl* control);         // 25
void ACT_ShockDamage(Bod* bod, CharacterControl* control);     // 26
void ACT_LandOk(Bod* bod, CharacterControl* control);          // 27
void ACT_Falling(Bod* bod, CharacterControl* control);         // 28
void ACT_LandCrouch(Bod* bod, CharacterControl* control);      // 34
void ACT_Landing(Bod* bod, CharacterControl* control);         // 35
void ACT_Airborne(Bod* bod, CharacterControl* control);        // 47
void ACT_Jump(Bod* bod, CharacterControl* control);            // 49
void ACT_StartEat(Bod* bod, CharacterControl* control);        // 52
void ACT_Eat(Bod* bod, CharacterControl* control);             // 53
void ACT_GetUp(Bod* bod, CharacterControl* control);           // 54
void ACT_BackToAi(Bod* bod, CharacterControl* control);        // 55
void ACT_ReactionEnd(Bod* bod, CharacterControl* control);     // 56
void ACT_StepBack(Bod* bod, CharacterControl* control);        // 71
void ACT_RotateRight(Bod* bod, CharacterControl* control);     // 74
void ACT_RotateLeft(Bod* bod, CharacterControl* control);      // 75
void ACT_FinishThenAi(Bod* bod, CharacterControl* control);    // 99

// Attack, weapon and push actions.
void ACT_Swing(Bod* bod, CharacterControl* control);           // 3
void ACT_Stab(Bod* bod, CharacterControl* control);            // 4
void ACT_Thrust(Bod* bod, CharacterControl* control);          // 5
void ACT_StartFire(Bod* bod, CharacterControl* control);       // 6
void ACT_FireProjectile(Bod* bod, CharacterControl* control);  // 7
void ACT_Attack(Bod* bod, CharacterControl* control);          // 19
void ACT_EndUzi(Bod* bod, CharacterControl* control);          // 22
void ACT_Push(Bod* bod, CharacterControl* control);            // 36
void ACT_Pushing(Bod* bod, CharacterControl* control);         // 37
void ACT_PushEnd(Bod* bod, CharacterControl* control);         // 38
void ACT_Kick(Bod* bod, CharacterControl* control);            // 39
void ACT_Kicking(Bod* bod, CharacterControl* control);         // 40
void ACT_Shoved(Bod* bod, CharacterControl* control);          // 43
void ACT_ShoveEnd(Bod* bod, CharacterControl* control);        // 60
void ACT_Throw(Bod* bod, CharacterControl* control);           // 76
void ACT_Melee(Bod* bod, CharacterControl* control);           // 77
void ACT_UziStart(Bod* bod, CharacterControl* control);        // 83
void ACT_FireSteer(Bod* bod, CharacterControl* control);       // 84, 88, 92, 96
void ACT_UziRepeat(Bod* bod, CharacterControl* control);       // 86
void ACT_OneHandStart(Bod* bod, CharacterControl* control);    // 87
void ACT_OneHandRepeat(Bod* bod, CharacterControl* control);   // 89
void ACT_FireHold(Bod* bod, CharacterControl* control);        // 90, 94, 98
void ACT_RifleStart(Bod* bod, CharacterControl* control);      // 91
void ACT_RifleRepeat(Bod* bod, CharacterControl* control);     // 93
void ACT_AutoStart(Bod* bod, CharacterControl* control);       // 95
void ACT_AutoRepeat(Bod* bod, CharacterControl* control);      // 97
void ACT_ShotgunRepeat(Bod* bod, CharacterControl* control);   // 100

// Death, use of statics.
void ACT_DieAtTimer(Bod* bod, CharacterControl* control);      // 9
void ACT_Die(Bod* bod, CharacterControl* control);             // 10
void ACT_Death(Bod* bod, CharacterControl* control);           // 23
void ACT_Use(Bod* bod, CharacterControl* control);             // 29
void ACT_UseWait(Bod* bod, CharacterControl* control);         // 30
void ACT_SwipeCard(Bod* bod, CharacterControl* control);       // 41
void ACT_SwipeCardWait(Bod* bod, CharacterControl* control);   // 42

// Level machines and interactions.
void ACT_LevelPullStart(Bod* bod, CharacterControl* control);  // 50
void ACT_LevelPull(Bod* bod, CharacterControl* control);       // 51
void ACT_GrinderTaken(Bod* bod, CharacterControl* control);    // 57
void ACT_GrinderShred(Bod* bod, CharacterControl* control);    // 58
void ACT_MachineRelease(Bod* bod, CharacterControl* control);  // 59
void ACT_PullCatch(Bod* bod, CharacterControl* control);       // 61
void ACT_Crushed(Bod* bod, CharacterControl* control);         // 63
void ACT_FarmMachine(Bod* bod, CharacterControl* control);     // 64
void ACT_DeadlyZone(Bod* bod, CharacterControl* control);      // 65
void ACT_SteerMachine(Bod* bod, CharacterControl* control);    // 66
void ACT_BlownUp(Bod* bod, CharacterControl* control);         // 69
void ACT_XRay(Bod* bod, CharacterControl* control);            // 70

// The zombies' grab actions.
void AI_GrabStart(Bod* bod, CharacterControl* control);        // 78
void AI_Grabbing(Bod* bod, CharacterControl* control);         // 79
void AI_Feeding(Bod* bod, CharacterControl* control);          // 80
void AI_Held(Bod* bod, CharacterControl* control);             // 82

// The names of every animation the character actions play (compared without regard to case).
constexpr const char* kActAnimationNames[] = {
    "stand", "crawl chew", "idle look", "walk", "zomwalk", "zomwalk2", "zomwalk3", "zomwalk4", "run",
    "run no weapon", "step back", "rotate left", "rotate right", "die", "recoil back", "recoil forward",
    "chew hit front", "chew hit back", "shock", "land ok", "land crouch", "land die", "start eat", "eat",
    "stop eat", "get up", "swipe", "two hand swipe", "stab", "thrust", "kick", "push", "step left",
    "step right", "throw", "use", "swipe card", "collapse", "grab", "stand chew", "wryth",
    "start shotgun shoot", "shotgun shoot", "repeat shotgun shoot", "end shotgun shoot", "start uzi shoot",
    "repeat uzi shoot", "end uzi shoot", "start one hand shoot", "repeat one hand shoot", "end one hand shoot",
    "start default shoot", "repeat default shoot", "end default shoot",
};
