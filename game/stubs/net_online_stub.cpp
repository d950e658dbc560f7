// Stand-in for the transport's online-service back end until it is built: the service cannot be
// started, so a start that tries it first falls back to DirectPlay; every online step fails.
#include "net/net_state.h"

namespace {
int ONS_Start() {
    g_Net.mode = NET_MODE_NONE;
    return 1;
}
void ONS_Shutdown() {}
int ONS_Receive(uint8_t**, int*, int*, int32_t*, int32_t*) {
    return 0;
}
int ONS_Send(int, int, const uint8_t*, int) {
    return 0;
}
int ONS_EnumConnections() {
    return g_Net.connectionCount + 1;
}
int ONS_InitConnection(int) {
    return 0;
}
int ONS_CloseSession() {
    return 0;
}
int ONS_ReloadPlayerList(int) {
    return 0;
}
int ONS_CreatePlayer(const char*) {
    return -1;
}
int ONS_DestroyPlayer(int) {
    return 0;
}
int ONS_EnumSessions() {
    return 0;
}
int ONS_JoinSession(int) {
    return 0;
}
int ONS_HostSession(const char*) {
    return 1;
}
}  // namespace

const NetBackend g_NetOnline = {ONS_Start,          ONS_Shutdown,      ONS_Receive,          ONS_Send,
                                ONS_EnumConnections, ONS_InitConnection, ONS_CloseSession,    ONS_ReloadPlayerList,
                                ONS_CreatePlayer,   ONS_DestroyPlayer,  ONS_EnumSessions,     ONS_JoinSession,
                                ONS_HostSession};
