// The tests' way into the transport (see net_test_seam.h): the seam, and NET_Init and NET_Shutdown in
// the call trace (each with the result a test chose, 1 by default).
#include "testsupport/net_test_seam.h"

#include "common/calltrace.h"

namespace {
int NET_TraceCall(const char* call, const char* args) {
    if (args)
        TRC_Trace(call, "%s", args);
    else
        TRC_Trace(call);
    return TRC_Result(call, 1);
}
}  // namespace

void NET_SetTestTransport(const NetTestTransport* transport) {
    NET_SetCallObserver(NET_TraceCall);
    NET_InstallTestTransport(transport);
}

NetMessageHandler NET_StubHandler(int slot) {
    return NET_GetHandler(slot);
}
