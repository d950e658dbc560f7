// The per-level map parameter records that GAME_PlacePlayers copies into g_LevelMapParams. The
// original values belong to the original maps; these are authored for the project's synthetic
// maps, which all span about 20000 x 20000 world units around the origin. Words: 0, 1 unused by
// the game; 2, 3 radar divisors in x and z; 4, 5 world units per overview-map unit in x and z;
// 6, 7 radar multipliers in x and z.
#include "world/game_frame.h"

const float kGameLevelMapParams[GAME_LEVEL_COUNT][GAME_MAP_PARAMS] = {
    {0.0f, 0.0f, 1.0f, 1.0f, 64.0f, 64.0f, 1.0f, 1.0f},  // 0 grave
    {0.0f, 0.0f, 1.0f, 1.0f, 64.0f, 64.0f, 1.0f, 1.0f},  // 1 town
    {0.0f, 0.0f, 1.0f, 1.0f, 64.0f, 64.0f, 1.0f, 1.0f},  // 2 farm
    {0.0f, 0.0f, 1.0f, 1.0f, 64.0f, 64.0f, 1.0f, 1.0f},  // 3 multi
    {0.0f, 0.0f, 1.0f, 1.0f, 64.0f, 64.0f, 1.0f, 1.0f},  // 4 mall
    {0.0f, 0.0f, 1.0f, 1.0f, 64.0f, 64.0f, 1.0f, 1.0f},  // 5 air
    {0.0f, 0.0f, 1.0f, 1.0f, 64.0f, 64.0f, 1.0f, 1.0f},  // 6 sports
    {0.0f, 0.0f, 1.0f, 1.0f, 64.0f, 64.0f, 1.0f, 1.0f},  // 7 hotel
    {0.0f, 0.0f, 1.0f, 1.0f, 64.0f, 64.0f, 1.0f, 1.0f},  // 8 camp
    {0.0f, 0.0f, 1.0f, 1.0f, 64.0f, 64.0f, 1.0f, 1.0f},  // 9 hydro
    {0.0f, 0.0f, 1.0f, 1.0f, 64.0f, 64.0f, 1.0f, 1.0f},  // 10 docks
    {0.0f, 0.0f, 1.0f, 1.0f, 64.0f, 64.0f, 1.0f, 1.0f},  // 11 army
    {0.0f, 0.0f, 1.0f, 1.0f, 64.0f, 64.0f, 1.0f, 1.0f},  // 12 hospital
    {0.0f, 0.0f, 1.0f, 1.0f, 64.0f, 64.0f, 1.0f, 1.0f},  // 13 lab
    {0.0f, 0.0f, 1.0f, 1.0f, 64.0f, 64.0f, 1.0f, 1.0f},  // 14 sec
    {0.0f, 0.0f, 1.0f, 1.0f, 64.0f, 64.0f, 1.0f, 1.0f},  // 15 final1
    {0.0f, 0.0f, 1.0f, 1.0f, 64.0f, 64.0f, 1.0f, 1.0f},  // 16 final2
};
