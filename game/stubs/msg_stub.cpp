// Stand-in for the game-message layer: no messages are built or applied. The network frame keeps
// its outer steps (local-effects flag, interface step). Start-up and shutdown calls are recorded.
#include "net/msg.h"
#include "common/calltrace.h"
#include "ui/gui.h"

int MSG_ResetNetState() {
    TRC_Trace("MSG_ResetNetState");
    return TRC_Result("MSG_ResetNetState", 1);
}

int MSG_FrameUpdate() {
    TRC_Trace("MSG_FrameUpdate");
    g_WOAnnounce = 1;
    return GUI_Tick();
}

int MSG_Shutdown() {
    TRC_Trace("MSG_Shutdown");
    return 1;
}

int MSG_Receive(int, int, const uint8_t*, int) {
    return 0;
}
