// Stand-in for level unload and the level-end request of the shell until they are built.
#pragma once
#include <cstdint>

// The pending level end that the interface step serves.
struct LevelEndRequest {
    int32_t pending;
    int32_t won;
    int32_t value;
};
extern LevelEndRequest g_LevelEndRequest;

// Releases everything the level loaded (clears g_LevelLoaded); nothing without a level.
void LVL_UnloadLevel();
// Runs and clears the pending level end.
void LVL_RunPendingLevelEnd(int won, int value);
// Ends the running level as won (1) or failed (0): sets g_Match.levelWon (clearing g_Match.levelFailed and
// g_Match.levelEndTime) or g_Match.levelFailed. Recorded.
void LVL_FinishLevel(int won, int value);

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
