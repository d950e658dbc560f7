// Stand-in for the front-end screens that the shell and the world call: each call is recorded.
#include "stubs/trace.h"
#include "ui/fe.h"

void FE_ResetMapButtons() {
    STUB_Trace("FE_ResetMapButtons");
}

void FE_StartSelectedLevel() {
    STUB_Trace("FE_StartSelectedLevel");
}

void FE_OpenTeamStatus() {
    STUB_Trace("FE_OpenTeamStatus");
}

void FE_CreateOrJoinSession() {
    STUB_Trace("FE_CreateOrJoinSession");
}
