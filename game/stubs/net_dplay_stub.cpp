// Stand-in for the transport's DirectPlay back end until it is built: it starts (mode 2) but
// offers no connection, so no session is found, joined or hosted and nothing is sent or received.
#include "net/net_state.h"

namespace {
int DPS_Start() {
    g_Net.mode = NET_MODE_DIRECTPLAY;
    return 1;
}
void DPS_Shutdown() {}
int DPS_Receive(uint8_t**, int*, int*, int32_t*, int32_t*) {
    return 0;
}
int DPS_Send(int, int, const uint8_t*, int) {
    return 0;
}
int DPS_EnumConnections() {
    return g_Net.connectionCount;
}
int DPS_InitConnection(int) {
    return 0;
}
int DPS_CloseSession() {
    g_Net.currentSession = -1;
    g_Net.host = 0;
    return 1;
}
int DPS_ReloadPlayerList(int) {
    return -1;
}
int DPS_CreatePlayer(const char*) {
    return -1;
}
int DPS_DestroyPlayer(int) {
    return 0;
}
int DPS_EnumSessions() {
    return -1;
}
int DPS_JoinSession(int) {
    return 0;
}
int DPS_HostSession(const char*) {
    return -1;
}
}  // namespace

const NetBackend g_NetDirectPlay = {DPS_Start,          DPS_Shutdown,     DPS_Receive,          DPS_Send,
                                    DPS_EnumConnections, DPS_InitConnection, DPS_CloseSession,  DPS_ReloadPlayerList,
                                    DPS_CreatePlayer,   DPS_DestroyPlayer, DPS_EnumSessions,     DPS_JoinSession,
                                    DPS_HostSession};
