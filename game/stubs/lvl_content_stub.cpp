// Stand-in for the level content: the per-level inits and hooks, the level frame routines and the
// level's objects; each call is recorded. Loading the objects installs the level
// hooks and runs the level's init, as the level content will after placing its objects.
#include "world/lvl.h"

#include "common/calltrace.h"
#include "world/world_label.h"
#include "world/game_frame.h"

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

void LVL_LoadObjects(int level) {
    TRC_Trace("LVL_LoadObjects", "%d", level);
    LVL_SetLevelHooks();
    LVL_RunLevelInit();
}
