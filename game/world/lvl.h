// The level flow: loading a level's world in order, unloading it, its outcome and the level-end
// request, and the single-player campaign that a won level advances (lvl_load.cpp,
// lvl_outcome.cpp); the per-level content tables and hooks (a stand-in until the level content is
// built).
#pragma once
#include <cstdint>

// The pending level end that the interface step serves.
struct LevelEndRequest {
    int32_t pending;
    int32_t won;
    int32_t value;
};
extern LevelEndRequest g_LevelEndRequest;

// The sound group of the running level (0 when none is loaded).
extern uint32_t g_LevelSoundGroup;

// Builds level 0..16 in order: characters, ambient light, map (a map that cannot be loaded is
// fatal: "Unable to open map file: NAME"), surface triggers, clock, textures, sounds, player 0 on
// surface 1, explosions, the players from the start data (GAME_PlacePlayers), AI, camera, level
// objects and timed events. g_LevelLoaded is 0 throughout and 1 at the end. A level outside 0..16
// is refused: 0, nothing changes. Else 1.
int LVL_LoadLevel(int level, const int32_t characterIds[8], const int32_t healths[8],
                  const int32_t memberRecords[4][18]);
// Releases everything the level loaded (emitters, explosions, sound groups, then AI, bods,
// models, texture surfaces and the map) and clears g_LevelLoaded; nothing without a level.
void LVL_UnloadLevel();
// Ends the running level as won (1) or failed (0): LVL_SetLevelOutcome, then the players stop.
void LVL_FinishLevel(int won, int value);
// Records the outcome once the level has run 5 frames (earlier calls do nothing): won sets
// g_Match.levelWon and clears levelFailed and levelEndTime; lost sets levelFailed. Clears the
// halted state an in-level menu had set, restores the clip rectangle (the whole design space in
// the 320 x 240 software modes) and stores the level-end request.
void LVL_SetLevelOutcome(int won, int value);
// The interface's level-end step: LVL_ProgressCampaign(won).
void LVL_RunPendingLevelEnd(int won, int value);
// Leaves the level (HUD_EndLevelSequence) and, for a won single-player level, applies the chosen
// level's campaign rule and keeps the team in that level's save group; then clears the request.
void LVL_ProgressCampaign(int won);
// The won flag of the last level end, for the results screen.
extern int32_t g_LevelLastWon;
// Set once the escape level is won: the campaign is finished.
extern int32_t g_CampaignFinished;
// The campaign team group that the escape level starts from: the team as it stood when the
// factory was won. It is the factory's own group, which nothing else fills, so the save file
// keeps it.
constexpr int LVL_ESCAPE_GROUP = 15;

// Steps of level load that the level content provides: the level's placed objects, hooks and
// init; the reset of the level's timed events. Recorded by the stand-in.
void LVL_LoadObjects(int level);
void LVL_ResetTimedEvents();

// The per-level tables of the level content (17 entries by level id): the init run once at level
// load (null: none), and the hooks of player and NPC bods. The stand-in's inits record their
// names; its hooks do nothing.
struct Bod;
typedef void (*LevelInitFn)();
typedef void (*LevelHookFn)(Bod* bod, void* control);
extern const LevelInitFn g_LevelInits[17];
extern const LevelHookFn g_LevelPlayerHooks[17];
extern const LevelHookFn g_LevelNpcHooks[17];
// The frame hooks of level 0 (lightning) and level 16 (escape countdown); recorded.
void LVL_Level0Frame();
void LVL_EscapeFrame();

// Level 1: the cement is still wet (its floor kills). Level 12: the x-ray floor's routine for a
// character standing on it. Recorded by the stand-in.
int LVL_CementIsWet();
void LVL_XrayFloor(Bod* bod);
