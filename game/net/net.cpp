// The network transport's state block and the NET_ operations that dispatch on the mode: start
// and stop, connections, sessions, players and the slot queries. Sending and the pump are in
// net_send.cpp, the traffic meter in net_traffic.cpp; the back ends fill the slot tables.
#include <cstdio>
#include <cstring>

#include "net/net_seam.h"
#include "net/net_state.h"
#include "common/mem.h"

NetTransport g_Net;

namespace {
constexpr char kOnlineLabel[] = "Internet TCP/IP Connection For Torvane";
constexpr char kOnlineSessionName[] = "using Torvane, no session name available??";

void NET_FreeText(char** text) {
    MEM_Free(*text);
    *text = nullptr;
}

void NET_ClearLists() {
    for (char*& name : g_Net.connectionName) NET_FreeText(&name);
    g_Net.connectionCount = 0;
    for (int i = 0; i < NET_MAX_SESSIONS; ++i) {
        NET_FreeText(&g_Net.sessionName[i]);
        std::memset(g_Net.sessionInstance[i], 0, sizeof g_Net.sessionInstance[i]);
    }
    g_Net.lastSession = -1;
}

void NET_ClearSlots() {
    for (int i = 0; i < NET_MAX_SLOTS; ++i) {
        g_Net.dpPlayerId[i] = -1;
        g_Net.dpLocal[i] = 0;
        g_Net.dpPlayerData[i] = -1;
        NET_FreeText(&g_Net.dpName[i]);
        g_Net.onlineAddr[i] = -1;
        NET_FreeText(&g_Net.onlineName[i]);
        g_Net.onlineIsMe[i] = 0;
    }
    g_Net.dpPlayerCount = 0;
    g_Net.onlinePlayerCount = 0;
}

void NET_ReleaseAll() {
    NET_ClearSlots();
    NET_ClearLists();
    for (char*& name : g_Net.modemName) NET_FreeText(&name);
    g_Net.modemCount = 0;
    NET_ReleaseConnectionParams();
}

bool NET_SlotInRange(int slot) {
    return slot >= 0 && slot < NET_MAX_SLOTS;
}

// The first slot in use by the current back end that this machine owns; -1 none.
int NET_LocalSlotOfMode() {
    for (int i = 0; i < NET_MAX_SLOTS; ++i) {
        if (g_Net.mode == NET_MODE_DIRECTPLAY && g_Net.dpPlayerId[i] != -1 && g_Net.dpLocal[i]) return i;
        if (g_Net.mode == NET_MODE_ONLINE && g_Net.onlineAddr[i] != -1 && g_Net.onlineIsMe[i]) return i;
    }
    return -1;
}
}  // namespace

const NetBackend* NET_Backend() {
    return NET_BackendOfMode(g_Net.mode);
}

int NET_SlotOfId(int32_t id) {
    if (id == -1) return -1;
    for (int i = 0; i < NET_MAX_SLOTS; ++i) {
        if (g_Net.mode == NET_MODE_DIRECTPLAY && g_Net.dpPlayerId[i] == id) return i;
        if (g_Net.mode == NET_MODE_ONLINE && g_Net.onlineAddr[i] == id) return i;
    }
    return -1;
}

int NET_Init(HWND window, NetGuid applicationGuid, int startMode, int maxPlayers) {
    char args[48];
    std::snprintf(args, sizeof args, "%08x,%d,%d", applicationGuid.data1, startMode, maxPlayers);
    if (!NET_ObserveCall("NET_Init", args)) return 0;

    NET_ClearTraffic();
    for (NetMessageHandler& handler : g_Net.handlers) handler = nullptr;
    g_Net.mode = startMode;
    g_Net.maxPlayers = maxPlayers;
    g_Net.window = window;
    g_Net.guid = applicationGuid;
    g_Net.sessionGuid = applicationGuid;
    g_Net.directPlay = nullptr;
    g_Net.selectedConnection = -1;
    g_Net.currentSession = -1;
    g_Net.host = 0;
    NET_ClearSlots();
    NET_ClearLists();
    g_Net.onlineLabel = kOnlineLabel;
    g_Net.joinState = -1;
    g_Net.joinLeave.store(0);
    g_Net.gulp = 0;
    NET_ResetConnectionParams();

    if (g_Net.mode == NET_MODE_NONE) {
        const NetBackend* online = NET_BackendOfMode(NET_MODE_ONLINE);
        const int result = online ? online->start() : 1;
        if (g_Net.mode == NET_MODE_ONLINE) return 1;
        if (!result) return 0;
        g_Net.mode = NET_MODE_NONE;
        const NetBackend* directPlay = NET_BackendOfMode(NET_MODE_DIRECTPLAY);
        if (directPlay) directPlay->start();
        g_Net.mode = NET_MODE_DIRECTPLAY;
        // A lobby launch is already in its session: nothing is enumerated.
        if (g_Net.selectedConnection == NET_LOBBY_CONNECTION) return 1;
    }
    if (g_Net.mode == NET_MODE_DIRECTPLAY) {
        NET_ClearLists();
        NET_EnumConnections();
        NET_InitConnection(g_Net.selectedConnection);
        NET_EnumSessions();
    }
    return 1;
}

int NET_Shutdown() {
    NET_ObserveCall("NET_Shutdown", nullptr);
    const NetBackend* backend = NET_Backend();
    if (backend) backend->shutdown();
    // The texts and lists are released in every mode (only DirectPlay's are in the original
    // order), so nothing is left on the tracked heap after a stop.
    NET_ReleaseAll();
    g_Net.directPlay = nullptr;
    g_Net.selectedConnection = -1;
    g_Net.currentSession = -1;
    g_Net.host = 0;
    g_Net.mode = NET_MODE_NONE;
    return 1;
}

int NET_EnumConnections() {
    switch (g_Net.mode) {
    case NET_MODE_DIRECTPLAY: {
        const NetBackend* backend = NET_Backend();
        return backend ? backend->enumConnections() : g_Net.connectionCount;
    }
    case NET_MODE_ONLINE: return g_Net.connectionCount + 1;
    case NET_MODE_NONE: return g_Net.connectionCount;
    default: return -1;
    }
}

const char* NET_GetConnectionName(int index) {
    if (g_Net.mode == NET_MODE_ONLINE) {
        if (index == 0) return g_Net.onlineLabel;
        --index;
    }
    if (index < 0 || index >= g_Net.connectionCount || index >= NET_MAX_CONNECTIONS) return nullptr;
    return g_Net.connectionName[index];
}

int NET_InitConnection(int index) {
    if (index < 0 || index >= g_Net.connectionCount || g_Net.mode != NET_MODE_DIRECTPLAY) return 0;
    const NetBackend* backend = NET_Backend();
    return backend ? backend->initConnection(index) : 0;
}

int NET_SelectConnection(int index) {
    if (g_Net.mode != NET_MODE_ONLINE) return NET_InitConnection(index);
    if (index == 0) return 1;
    if (index < 0 || index > g_Net.connectionCount) return 0;
    const HWND window = g_Net.window;
    const NetGuid guid = g_Net.guid;
    const int maxPlayers = g_Net.maxPlayers;
    NET_Shutdown();
    NET_Init(window, guid, NET_MODE_DIRECTPLAY, maxPlayers);
    return NET_InitConnection(index - 1);
}

int NET_CloseSession(int connectionIndex) {
    const NetBackend* backend = NET_Backend();
    switch (g_Net.mode) {
    case NET_MODE_DIRECTPLAY: return backend ? backend->closeSession() : 0;
    case NET_MODE_ONLINE:
        // Another index names a DirectPlay connection, and there is no DirectPlay object while
        // the online service is in use: nothing to close.
        if (connectionIndex != 0) return 1;
        return backend ? backend->closeSession() : 0;
    default: return 0;
    }
}

int NET_LeaveSession() {
    const NetBackend* backend = NET_Backend();
    if (g_Net.mode != NET_MODE_DIRECTPLAY && g_Net.mode != NET_MODE_ONLINE) return 0;
    return backend ? backend->closeSession() : 0;
}

int NET_ReloadPlayerList(int sessionIndex) {
    const NetBackend* backend = NET_Backend();
    if (!backend) return g_Net.mode == NET_MODE_ONLINE ? 0 : -1;
    return backend->reloadPlayerList(sessionIndex);
}

int NET_CreatePlayer(const char* name) {
    const NetBackend* backend = NET_Backend();
    return backend ? backend->createPlayer(name ? name : "") : -1;
}

int NET_DestroyPlayer(int slot) {
    const NetBackend* backend = NET_Backend();
    if (!backend || !NET_SlotInRange(slot)) return 0;
    if (g_Net.mode == NET_MODE_ONLINE && slot != NET_LocalSlotOfMode()) return 0;
    return backend->destroyPlayer(slot);
}

int NET_EnumSessions() {
    if (g_Net.mode == NET_MODE_ONLINE) return 0;
    const NetBackend* backend = NET_Backend();
    return backend ? backend->enumSessions() : -1;
}

int NET_GetMaxSessions() {
    switch (g_Net.mode) {
    case NET_MODE_DIRECTPLAY: return NET_MAX_SESSIONS;
    case NET_MODE_ONLINE: return 1;
    default: return 0;
    }
}

int NET_JoinSession(int sessionIndex) {
    const NetBackend* backend = NET_Backend();
    if (!backend) return 0;
    if (g_Net.mode == NET_MODE_DIRECTPLAY && (sessionIndex < 0 || sessionIndex > g_Net.lastSession)) return 0;
    return backend->joinSession(sessionIndex);
}

int NET_HostSession(const char* name) {
    if (g_Net.mode == NET_MODE_ONLINE) {
        g_Net.joinState = 1;
        return 1;
    }
    const NetBackend* backend = NET_Backend();
    return backend ? backend->hostSession(name ? name : "") : -1;
}

const char* NET_GetSessionName(int sessionIndex) {
    if (g_Net.mode == NET_MODE_ONLINE) return kOnlineSessionName;
    if (g_Net.mode != NET_MODE_DIRECTPLAY || sessionIndex < 0 || sessionIndex >= NET_MAX_SESSIONS) return nullptr;
    return g_Net.sessionName[sessionIndex];
}

int NET_GetPlayerCount() {
    switch (g_Net.mode) {
    case NET_MODE_DIRECTPLAY: return g_Net.dpPlayerCount;
    case NET_MODE_ONLINE: return g_Net.onlinePlayerCount;
    default: return 0;
    }
}

int NET_GetLocalSlot() {
    if (const NetTestTransport* seam = NET_TestTransport()) return seam->getLocalSlot();
    return NET_LocalSlotOfMode();
}

int NET_IsHost() {
    if (const NetTestTransport* seam = NET_TestTransport()) return seam->isHost();
    if (g_Net.mode == NET_MODE_ONLINE) {
        g_Net.host = 0;
        const int local = NET_LocalSlotOfMode();
        if (local >= 0 && g_Net.onlineAddr[local] == 1) g_Net.host = 1;
    }
    return g_Net.host;
}

int NET_GetHostSlot() {
    if (const NetTestTransport* seam = NET_TestTransport()) return seam->getHostSlot();
    if (g_Net.mode == NET_MODE_ONLINE) return NET_SlotOfId(1);
    if (g_Net.mode != NET_MODE_DIRECTPLAY) return -1;
    if (g_Net.host) return NET_LocalSlotOfMode();
    for (int i = 0; i < NET_MAX_SLOTS; ++i)
        if (g_Net.dpPlayerId[i] != -1 && !g_Net.dpLocal[i]) return i;
    return -1;
}

int NET_GetMode() {
    return g_Net.mode;
}

int NET_GetPlayerId(int slot) {
    if (const NetTestTransport* seam = NET_TestTransport()) return seam->getPlayerId(slot);
    if (!NET_SlotInRange(slot)) return -1;
    if (g_Net.mode == NET_MODE_DIRECTPLAY) return g_Net.dpPlayerId[slot];
    if (g_Net.mode == NET_MODE_ONLINE) return g_Net.onlineAddr[slot];
    return -1;
}

const char* NET_GetPlayerName(int slot) {
    if (const NetTestTransport* seam = NET_TestTransport()) return seam->getPlayerName(slot);
    if (!NET_SlotInRange(slot)) return nullptr;
    if (g_Net.mode == NET_MODE_DIRECTPLAY) return g_Net.dpName[slot];
    if (g_Net.mode == NET_MODE_ONLINE) return g_Net.onlineName[slot];
    return nullptr;
}

const char* NET_GetPlayerNameById(int id) {
    const int slot = NET_SlotOfId(id);
    return slot < 0 ? nullptr : NET_GetPlayerName(slot);
}
