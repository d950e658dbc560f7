// Stand-in for level unload and the level-end request: no level resources exist; each call is
// recorded.
#include "world/lvl.h"

#include "common/app_services.h"
#include "common/match.h"
#include "common/calltrace.h"
#include "world/world_label.h"
#include "ui/gui.h"

LevelEndRequest g_LevelEndRequest = {0, 0, -1};

void LVL_UnloadLevel() {
    TRC_Trace("LVL_UnloadLevel");
    g_LevelLoaded = 0;
}

void LVL_RunPendingLevelEnd(int won, int value) {
    TRC_Trace("LVL_RunPendingLevelEnd", "%d,%d", won, value);
    g_LevelEndRequest = {0, 0, -1};
}

void LVL_FinishLevel(int won, int value) {
    TRC_Trace("LVL_FinishLevel", "%d,%d", won, value);
    if (won) {
        g_Match.levelWon = 1;
        g_Match.levelFailed = 0;
        g_Match.levelEndTime = 0;
    } else {
        g_Match.levelFailed = 1;
    }
}

namespace {
void LVL_InitTown() { TRC_Trace("LVL_InitTown"); }
void LVL_InitAirport() { TRC_Trace("LVL_InitAirport"); }
void LVL_InitHydro() { TRC_Trace("LVL_InitHydro"); }
void LVL_InitHospital() { TRC_Trace("LVL_InitHospital"); }
void LVL_InitLab() { TRC_Trace("LVL_InitLab"); }
void LVL_InitSec() { TRC_Trace("LVL_InitSec"); }
void LVL_InitFinal1() { TRC_Trace("LVL_InitFinal1"); }
void LVL_StartEscapeTimer() { TRC_Trace("LVL_StartEscapeTimer"); }
void LVL_StandardHook(Bod*, void*) {}
void LVL_BasicHook(Bod*, void*) {}
}  // namespace

const LevelInitFn g_LevelInits[17] = {
    nullptr, LVL_InitTown, nullptr, nullptr, nullptr, LVL_InitAirport, nullptr, nullptr, nullptr,
    LVL_InitHydro, nullptr, nullptr, LVL_InitHospital, LVL_InitLab, LVL_InitSec, LVL_InitFinal1,
    LVL_StartEscapeTimer,
};
const LevelHookFn g_LevelPlayerHooks[17] = {
    LVL_StandardHook, LVL_StandardHook, LVL_StandardHook, LVL_BasicHook, LVL_StandardHook, LVL_StandardHook,
    LVL_StandardHook, LVL_StandardHook, LVL_BasicHook, LVL_StandardHook, LVL_StandardHook, LVL_BasicHook,
    LVL_StandardHook, LVL_StandardHook, LVL_StandardHook, LVL_StandardHook, LVL_StandardHook,
};
const LevelHookFn g_LevelNpcHooks[17] = {
    LVL_StandardHook, LVL_StandardHook, LVL_StandardHook, LVL_BasicHook, LVL_StandardHook, LVL_StandardHook,
    LVL_StandardHook, LVL_StandardHook, LVL_BasicHook, LVL_StandardHook, LVL_StandardHook, LVL_BasicHook,
    LVL_StandardHook, LVL_StandardHook, LVL_StandardHook, LVL_StandardHook, LVL_StandardHook,
};

void LVL_Level0Frame() {
    TRC_Trace("LVL_Level0Frame");
}

void LVL_EscapeFrame() {
    TRC_Trace("LVL_EscapeFrame");
}

int LVL_CementIsWet() {
    TRC_Trace("LVL_CementIsWet");
    return TRC_Result("LVL_CementIsWet", 1);
}

void LVL_XrayFloor(Bod* bod) {
    TRC_Trace("LVL_XrayFloor", "%s", BOD_TraceLabel(bod));
}
