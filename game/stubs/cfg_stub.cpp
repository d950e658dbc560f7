// Stand-in for the settings loaders: the settings keep their defaults; each call is recorded.
#include "stubs/cfg_stub.h"

#include "stubs/trace.h"

int CFG_LoadOptions() {
    STUB_Trace("CFG_LoadOptions");
    return 1;
}

int CFG_LoadNetOptions() {
    STUB_Trace("CFG_LoadNetOptions");
    return 1;
}

int CFG_GetWorldLightingOption() {
    return STUB_Result("CFG_GetWorldLightingOption", 1);
}

int CFG_GetModelLightingOption() {
    return STUB_Result("CFG_GetModelLightingOption", 1);
}
