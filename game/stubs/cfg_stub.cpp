// Stand-in for the settings loaders: the settings keep their defaults; each call is recorded.
#include "world/cfg.h"

#include "common/calltrace.h"

int CFG_LoadOptions() {
    TRC_Trace("CFG_LoadOptions");
    return 1;
}

int CFG_LoadNetOptions() {
    TRC_Trace("CFG_LoadNetOptions");
    return 1;
}

int CFG_GetWorldLightingOption() {
    return TRC_Result("CFG_GetWorldLightingOption", 1);
}

int CFG_GetModelLightingOption() {
    return TRC_Result("CFG_GetModelLightingOption", 1);
}
