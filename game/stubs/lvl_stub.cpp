// Stand-in for level unload and the level-end request: no level resources exist; each call is
// recorded.
#include "stubs/lvl_stub.h"

#include "shell/app.h"
#include "stubs/trace.h"

LevelEndRequest g_LevelEndRequest = {0, 0, -1};

void LVL_UnloadLevel() {
    STUB_Trace("LVL_UnloadLevel");
    g_LevelLoaded = 0;
}

void LVL_RunPendingLevelEnd(int won, int value) {
    STUB_Trace("LVL_RunPendingLevelEnd", "%d,%d", won, value);
    g_LevelEndRequest = {0, 0, -1};
}
