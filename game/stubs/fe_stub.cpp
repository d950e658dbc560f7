// Stand-in for the front-end screens that the shell and the world call: each call is recorded.
#include "common/calltrace.h"
#include "ui/fe.h"

void FE_ResetMapButtons() {
    TRC_Trace("FE_ResetMapButtons");
}

void FE_StartSelectedLevel() {
    TRC_Trace("FE_StartSelectedLevel");
}

void FE_OpenTeamStatus() {
    TRC_Trace("FE_OpenTeamStatus");
}

void FE_CreateOrJoinSession() {
    TRC_Trace("FE_CreateOrJoinSession");
}
