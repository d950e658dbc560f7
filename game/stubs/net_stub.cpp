// Stand-in for the network transport: no back end and no session. NET_Init succeeds (DirectPlay
// mode) and sets the connection parameters to their defaults; sends find fewer than two players.
// Each start and stop is recorded.
#include "stubs/net_stub.h"

#include "stubs/trace.h"

namespace {
const NetTestTransport* g_TestTransport = nullptr;
NetMessageHandler g_StubHandlers[NET_MAX_SLOTS] = {};
int g_StubMode = NET_MODE_NONE;
}  // namespace

void NET_SetTestTransport(const NetTestTransport* transport) {
    g_TestTransport = transport;
}

NetMessageHandler NET_StubHandler(int slot) {
    return (slot >= 0 && slot < NET_MAX_SLOTS) ? g_StubHandlers[slot] : nullptr;
}

int NET_Init(HWND, NetGuid applicationGuid, int startMode, int maxPlayers) {
    STUB_Trace("NET_Init", "%08x,%d,%d", applicationGuid.data1, startMode, maxPlayers);
    for (NetMessageHandler& handler : g_StubHandlers)
        handler = nullptr;
    NET_ResetConnectionParams();
    const int result = STUB_Result("NET_Init", 1);
    g_StubMode = result ? NET_MODE_DIRECTPLAY : NET_MODE_NONE;
    return result;
}

int NET_Shutdown() {
    STUB_Trace("NET_Shutdown");
    NET_ReleaseConnectionParams();
    g_StubMode = NET_MODE_NONE;
    return 1;
}

int NET_Send(int fromSlot, int toSlot, const uint8_t* bytes, int length) {
    if (g_TestTransport)
        return g_TestTransport->send(fromSlot, toSlot, bytes, length);
    return 0;
}

int NET_Broadcast(int fromSlot, const uint8_t* bytes, int length) {
    if (g_TestTransport)
        return g_TestTransport->broadcast(fromSlot, bytes, length);
    return 1;
}

int NET_SetHandler(int slot, NetMessageHandler handler) {
    if (g_TestTransport)
        return g_TestTransport->setHandler(slot, handler);
    if (handler && slot >= 0 && slot < NET_MAX_SLOTS)
        g_StubHandlers[slot] = handler;
    return 1;
}

int NET_GetLocalSlot() {
    return g_TestTransport ? g_TestTransport->getLocalSlot() : -1;
}

int NET_GetHostSlot() {
    return g_TestTransport ? g_TestTransport->getHostSlot() : -1;
}

int NET_IsHost() {
    return g_TestTransport ? g_TestTransport->isHost() : 0;
}

int NET_GetMode() {
    return g_StubMode;
}

int NET_GetPlayerId(int slot) {
    return g_TestTransport ? g_TestTransport->getPlayerId(slot) : -1;
}

const char* NET_GetPlayerName(int slot) {
    return g_TestTransport ? g_TestTransport->getPlayerName(slot) : nullptr;
}
