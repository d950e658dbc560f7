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
