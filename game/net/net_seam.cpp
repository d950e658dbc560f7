// The transport's observation and test points (see net_seam.h); all off in a program run.
#include "net/net_seam.h"

#include "net/net_state.h"
#include "win32.h"

namespace {
const NetTestTransport* g_NetTestTransport = nullptr;
NetCallObserver g_NetObserver = nullptr;
const NetBackend* g_NetBackendOverride[4] = {};
uint32_t (*g_NetTicks)() = nullptr;
}  // namespace

void NET_InstallTestTransport(const NetTestTransport* transport) {
    g_NetTestTransport = transport;
}

const NetTestTransport* NET_TestTransport() {
    return g_NetTestTransport;
}

void NET_SetCallObserver(NetCallObserver observer) {
    g_NetObserver = observer;
}

int NET_ObserveCall(const char* call, const char* args) {
    return g_NetObserver ? g_NetObserver(call, args) : 1;
}

void NET_SetBackend(int mode, const NetBackend* backend) {
    if (mode == NET_MODE_DIRECTPLAY || mode == NET_MODE_ONLINE) g_NetBackendOverride[mode] = backend;
}

const NetBackend* NET_BackendOfMode(int mode) {
    if (mode != NET_MODE_DIRECTPLAY && mode != NET_MODE_ONLINE) return nullptr;
    if (g_NetBackendOverride[mode]) return g_NetBackendOverride[mode];
    return mode == NET_MODE_DIRECTPLAY ? &g_NetDirectPlay : &g_NetOnline;
}

void NET_SetTickSource(uint32_t (*ticks)()) {
    g_NetTicks = ticks;
}

uint32_t NET_Ticks() {
    return g_NetTicks ? g_NetTicks() : GetTickCount();
}
