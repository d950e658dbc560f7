// The game frame: GAME_Update (input and the interface or network step) and GAME_Frame (the draw
// passes, the world update after the scene and before the flip, the presentation), which the main
// loop calls once per idle pass; the steps that put the player characters into a new level; the
// drawing of the bods; and the globals of the frame.
#pragma once
#include <cstdint>

#include "common/mth.h"

struct Bod;

constexpr int GAME_LEVEL_COUNT = 17;
constexpr int GAME_MAP_PARAMS = 8;
// Member record of a player's start data: word 0 unused, 1..8 carried item types (-1 none),
// word 9 unused, 10..17 the matching ammunition percentages.
constexpr int GAME_MEMBER_WORDS = 18;
constexpr int GAME_MEMBER_RECORDS = 4;
// Turning step handed to every player character at set-up: pi / 180.
constexpr float GAME_ANGLE_STEP = 0.0174533f;

extern Bod* g_FocusBod;              // the player character the camera and the HUD follow
extern int32_t g_ActiveSlot;         // player slot being processed or followed, 0..7
extern int32_t g_LastActiveSlot;     // g_ActiveSlot when the camera was last retargeted
extern int32_t g_FocusAiMode;        // 0 while the player steers the focus character
extern float g_FocusHeading;         // radians, recorded each updated frame under direct control
extern float g_FocusHeadingDegrees;
extern int32_t g_LevelNumber;        // the current level id 0..16
extern float g_LevelMapParams[GAME_MAP_PARAMS];  // words 2..7 scale the overview map
extern Pose g_ViewPose;              // the camera's inverse pose, rebuilt every level frame
extern Matrix34 g_ViewMatrix;

// The per-level map parameter records (authored with the synthetic maps).
extern const float kGameLevelMapParams[GAME_LEVEL_COUNT][GAME_MAP_PARAMS];

// Tests of the frame order observe the frame here: "GAME_Update" and "GAME_Frame" as each begins,
// "GAME_Pass(NAME,LIGHTING)" before each of the six draw passes (landscape, clock, bods, camera,
// objects, explosions) with the lighting mode it sets, and "GAME_UpdateWorld". Off (null) by
// default.
void GAME_SetCallTrace(void (*trace)(const char* entry));

// INP_Poll, then MSG_FrameUpdate in a multiplayer game, else GUI_Tick; returns the step's result.
int GAME_Update();
// One presented frame: the interface alone outside a level (and a reseed of the random generator
// from calendar time); inside a level the camera, six draw passes, the interface, the world
// update unless play is halted, and the flip.
void GAME_Frame();
// BOD_UpdateAll of the world list.
void GAME_UpdateWorld();
// Seconds since 1970-01-01 of the platform's calendar time: the seed of the front-end frames.
uint32_t GAME_CalendarSeconds();

// Level start.
void GAME_ResetLevelState();
// Sets up player bods 0..3 (0..7 in a multiplayer game) from the start data; member records
// 0..3 serve players 4..7 again. A character id of -1 empties the slot. Then the level number and
// its map parameters.
void GAME_PlacePlayers(int level, const int32_t characterIds[8], const int32_t healths[8],
                       const int32_t memberRecords[GAME_MEMBER_RECORDS][GAME_MEMBER_WORDS]);
void GAME_SetupPlayerCharacter(Bod* bod, int characterId, int health, const int32_t memberRecord[GAME_MEMBER_WORDS],
                               float angleStep);
// Grounds the player characters and the NPCs that have an AI record and installs the level hooks.
void LVL_SetLevelHooks();
// The current level's init (none for most levels); 1 when one ran.
int LVL_RunLevelInit();

// Drawing.
void GAME_DrawBods(const Matrix34* viewMatrix, const Pose* cameraPose);
// Turns player bod playerIndex by this frame's milliseconds x rate x 0.001 radians.
void ACT_TurnPlayer(int playerIndex, float rate);
