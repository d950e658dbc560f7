// The transport's DirectPlay back end (mode 2): the lobby launch, connections and modems, the
// address of the chosen connection, sessions (listed with indexes that stay put), the player
// tables kept in step with DirectPlay, and the receive loop with its system messages.
#include <cstdio>
#include <cstring>

#include "dplay.h"
#include "net/net_state.h"
#include "common/mem.h"

namespace {

IDirectPlay3A* DP() {
    return static_cast<IDirectPlay3A*>(g_Net.directPlay);
}

GUID NET_AppGuid() {
    GUID g;
    g.Data1 = g_Net.guid.data1;
    g.Data2 = g_Net.guid.data2;
    g.Data3 = g_Net.guid.data3;
    std::memcpy(g.Data4, g_Net.guid.data4, 8);
    return g;
}

char* NET_CopyText(const char* text) {
    if (!text) return nullptr;
    const size_t length = std::strlen(text);
    char* copy = static_cast<char*>(MEM_Alloc(uint32_t(length + 1), MEM_TAG_NET));
    if (copy) std::memcpy(copy, text, length + 1);
    return copy;
}

void NET_FreeText(char** text) {
    MEM_Free(*text);
    *text = nullptr;
}

// Per connection: the provider and the address built for it.
GUID g_ConnectionProvider[NET_MAX_CONNECTIONS];
void* g_ConnectionAddress[NET_MAX_CONNECTIONS];
void* g_ConnectionSettings = nullptr;  // the lobby's DPLCONNECTION, only while starting

void NET_ReleaseInterface() {
    if (IDirectPlay3A* dp = DP()) {
        // Release until it answers 0; never once more.
        while (dp->Release() != 0) {
        }
    }
    g_Net.directPlay = nullptr;
}

bool NET_SessionEmpty(int i) {
    static const uint8_t zero[8] = {};
    return std::memcmp(g_Net.sessionInstance[i], zero, 8) == 0;
}

void NET_ClearSessionList() {
    for (int i = 0; i < NET_MAX_SESSIONS; ++i) {
        std::memset(g_Net.sessionInstance[i], 0, 16);
        NET_FreeText(&g_Net.sessionName[i]);
    }
    g_Net.lastSession = -1;
}

void NET_EmptySlot(int slot) {
    g_Net.dpPlayerId[slot] = -1;
    NET_FreeText(&g_Net.dpName[slot]);
    g_Net.dpLocal[slot] = 0;
    g_Net.dpPlayerData[slot] = -1;
}

// Ids -1, local 0, player data -1, names released.
void NET_ResetSlots() {
    for (int i = 0; i < NET_MAX_SLOTS; ++i) NET_EmptySlot(i);
    g_Net.dpPlayerCount = 0;
}

int NET_FirstFreeSlot() {
    for (int i = 0; i < NET_MAX_SLOTS; ++i)
        if (g_Net.dpPlayerId[i] == -1) return i;
    return -1;
}

bool NET_SlotOfThisGame(int32_t slot) {
    return slot >= 0 && slot < g_Net.maxPlayers && slot < NET_MAX_SLOTS;
}

// ---- Modems and connections ---------------------------------------------------------------------

BOOL NET_EnumModemCallback(const GUID& type, DWORD size, const void* data, void*) {
    if (!(type == DPAID_Modem)) return TRUE;
    const char* p = static_cast<const char*>(data);
    DWORD at = 0;
    while (at < size && p[at] != '\0') {
        const size_t length = strnlen(p + at, size - at);
        if (at + length >= size) break;  // a name without its terminator is not taken
        if (g_Net.modemCount < NET_MAX_MODEMS) {
            NET_FreeText(&g_Net.modemName[g_Net.modemCount]);
            g_Net.modemName[g_Net.modemCount] = NET_CopyText(p + at);
            ++g_Net.modemCount;
        }
        at += DWORD(length) + 1;
    }
    return TRUE;
}

int NET_EnumModems() {
    for (char*& name : g_Net.modemName) NET_FreeText(&name);
    g_Net.modemCount = 0;  // the index of the last name is modemCount - 1
    g_Net.selectedModem = -1;
    IDirectPlayLobby2A* lobby = nullptr;
    HRESULT result = DirectPlayLobbyCreateA(nullptr, &lobby, nullptr, nullptr, 0);
    if (result != DP_OK) return result;
    IDirectPlay3A* first = nullptr;
    IDirectPlay3A* modem = nullptr;
    void* buffer = nullptr;
    result = DirectPlayCreate(&DPSPGUID_MODEM, &first, nullptr);
    if (result == DP_OK) result = first->QueryInterface(IID_IDirectPlay3A, reinterpret_cast<void**>(&modem));
    DWORD size = 0;
    if (result == DP_OK) result = modem->GetPlayerAddress(0, nullptr, &size);
    if (result == DPERR_BUFFERTOOSMALL) {
        buffer = MEM_Alloc(size, MEM_TAG_NET);
        result = buffer ? modem->GetPlayerAddress(0, buffer, &size) : DPERR_OUTOFMEMORY;
    }
    if (result == DP_OK) result = lobby->EnumAddress(NET_EnumModemCallback, buffer, size, g_Net.window);
    if (result == DP_OK) g_Net.selectedModem = 0;
    if (modem) modem->Release();
    if (first) first->Release();
    MEM_Free(buffer);
    lobby->Release();
    return result;
}

BOOL NET_EnumConnectionsCallback(const GUID* provider, void*, DWORD, const DPNAME* name, DWORD, void*) {
    if (g_Net.connectionCount >= NET_MAX_CONNECTIONS) return FALSE;
    const int i = g_Net.connectionCount;
    g_ConnectionProvider[i] = provider ? *provider : GUID{};
    NET_FreeText(&g_Net.connectionName[i]);
    g_Net.connectionName[i] = NET_CopyText(name && name->lpszShortNameA ? name->lpszShortNameA : "");
    ++g_Net.connectionCount;
    return TRUE;
}

// A DirectPlay object made directly for a provider (null: none named), asked for its DirectPlay 3
// interface; the first interface is released.
IDirectPlay3A* NET_CreateDirectPlay(const GUID* provider) {
    IDirectPlay3A* first = nullptr;
    if (DirectPlayCreate(provider, &first, nullptr) != DP_OK) return nullptr;
    IDirectPlay3A* dp = nullptr;
    if (first->QueryInterface(IID_IDirectPlay3A, reinterpret_cast<void**>(&dp)) != DP_OK) dp = nullptr;
    first->Release();
    return dp;
}

int DPB_EnumConnections() {
    g_Net.connectionCount = 0;
    if (!DP()) {
        const int selected = g_Net.selectedConnection;
        const GUID* provider = selected >= 0 && selected < NET_MAX_CONNECTIONS ? &g_ConnectionProvider[selected] : nullptr;
        g_Net.directPlay = NET_CreateDirectPlay(provider);
    }
    if (DP()) {
        const GUID application = NET_AppGuid();
        DP()->EnumConnections(&application, NET_EnumConnectionsCallback, nullptr, 0);
    }
    return g_Net.connectionCount;
}

void NET_PutDword(uint8_t* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[i] = uint8_t(v >> (8 * i));
}

void NET_PutGuid(uint8_t* out, const GUID& g) {
    NET_PutDword(out, g.Data1);
    out[4] = uint8_t(g.Data2);
    out[5] = uint8_t(g.Data2 >> 8);
    out[6] = uint8_t(g.Data3);
    out[7] = uint8_t(g.Data3 >> 8);
    std::memcpy(out + 8, g.Data4, 8);
}

int DPB_InitConnection(int index) {
    NET_ClearSessionList();
    g_Net.selectedConnection = index;
    NET_ReleaseInterface();
    CoInitialize(nullptr);
    void* created = nullptr;
    const HRESULT made = CoCreateInstance(CLSID_DirectPlay, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay3A, &created);
    CoUninitialize();
    if (made != S_OK || !created) return 0;
    g_Net.directPlay = created;

    IDirectPlayLobby2A* lobby = nullptr;
    IDirectPlayLobby2A* lobby2 = nullptr;
    int result = 0;
    if (DirectPlayLobbyCreateA(nullptr, &lobby, nullptr, nullptr, 0) == DP_OK &&
        lobby->QueryInterface(IID_IDirectPlayLobby2A, reinterpret_cast<void**>(&lobby2)) == DP_OK) {
        const GUID& provider = g_ConnectionProvider[index];
        uint8_t providerBytes[16];
        NET_PutGuid(providerBytes, provider);
        DPCOMPOUNDADDRESSELEMENT elements[3];
        DWORD count = 0;
        elements[count++] = {DPAID_ServiceProvider, 16, providerBytes};
        const char* ip = NET_GetIPAddress();
        const char* phone = NET_GetPhoneNumber();
        uint8_t comPort[20];
        if (provider == DPSPGUID_MODEM) {
            // Without a listed modem there is no modem address to make.
            const char* modem = g_Net.selectedModem >= 0 && g_Net.selectedModem < g_Net.modemCount
                                    ? g_Net.modemName[g_Net.selectedModem]
                                    : nullptr;
            if (modem) {
                elements[count++] = {DPAID_Modem, DWORD(std::strlen(modem) + 1), modem};
                elements[count++] = {DPAID_Phone, DWORD(std::strlen(phone) + 1), phone};
            } else {
                count = 0;
            }
        } else if (provider == DPSPGUID_TCPIP) {
            elements[count++] = {DPAID_INet, DWORD(std::strlen(ip) + 1), ip};
        } else if (provider == DPSPGUID_SERIAL) {
            NET_PutDword(comPort, uint32_t(NET_GetComPort()));
            NET_PutDword(comPort + 4, uint32_t(NET_GetBaudRate()));
            NET_PutDword(comPort + 8, uint32_t(NET_GetStopBits()));
            NET_PutDword(comPort + 12, uint32_t(NET_GetParity()));
            NET_PutDword(comPort + 16, uint32_t(NET_GetFlowControl()));
            elements[count++] = {DPAID_ComPort, 20, comPort};
        } else if (!(provider == DPSPGUID_IPX)) {
            count = 0;
        }
        DWORD size = 0;
        if (count && lobby2->CreateCompoundAddress(elements, count, nullptr, &size) == DPERR_BUFFERTOOSMALL) {
            MEM_Free(g_ConnectionAddress[index]);
            g_ConnectionAddress[index] = MEM_Alloc(size, MEM_TAG_NET);
            if (g_ConnectionAddress[index] &&
                lobby2->CreateCompoundAddress(elements, count, g_ConnectionAddress[index], &size) == DP_OK) {
                const HRESULT init = DP()->InitializeConnection(g_ConnectionAddress[index], 0);
                if (init == DPERR_ALREADYINITIALIZED) std::printf("DPERR_ALREADYINITIALISED: damn\n");
                result = init == DP_OK;
            }
        }
    }
    if (lobby2) lobby2->Release();
    if (lobby) lobby->Release();
    return result;
}

// ---- Sessions --------------------------------------------------------------------------------

struct SessionEntry {
    uint8_t instance[16];
    char* name;
};

BOOL NET_EnumSessionsCallback(const DPSESSIONDESC2* desc, DWORD*, DWORD flags, void*) {
    if (flags & DPESC_TIMEDOUT) return FALSE;
    if (g_Net.lastSession < NET_MAX_SESSIONS - 1 && desc) {
        const int i = ++g_Net.lastSession;
        NET_PutGuid(g_Net.sessionInstance[i], desc->guidInstance);
        NET_FreeText(&g_Net.sessionName[i]);
        g_Net.sessionName[i] = NET_CopyText(desc->lpszSessionNameA ? desc->lpszSessionNameA : "");
        for (int j = i + 1; j < NET_MAX_SESSIONS; ++j) {
            std::memset(g_Net.sessionInstance[j], 0, 16);
            NET_FreeText(&g_Net.sessionName[j]);
        }
    }
    return TRUE;
}

int DPB_EnumSessions() {
    static SessionEntry old[NET_MAX_SESSIONS];
    static SessionEntry merged[NET_MAX_SESSIONS];
    for (int i = 0; i < NET_MAX_SESSIONS; ++i) {
        std::memcpy(old[i].instance, g_Net.sessionInstance[i], 16);
        old[i].name = NET_CopyText(g_Net.sessionName[i]);
        std::memset(merged[i].instance, 0, 16);
        merged[i].name = nullptr;
    }
    int result = -1;
    if (g_Net.selectedConnection >= 0 && DP()) {
        g_Net.lastSession = -1;
        DPSESSIONDESC2 desc{};
        desc.dwSize = 80;
        desc.guidApplication = NET_AppGuid();
        desc.dwMaxPlayers = DWORD(g_Net.maxPlayers);
        if (DP()->EnumSessions(&desc, 0, NET_EnumSessionsCallback, g_Net.window,
                               DPENUMSESSIONS_ALL | DPENUMSESSIONS_RETURNSTATUS) == DP_OK)
            result = g_Net.lastSession;
    }
    if (result != -1) {
        // A session listed before keeps its index; a new one takes the first empty index.
        bool placed[NET_MAX_SESSIONS] = {};
        for (int n = 0; n <= g_Net.lastSession; ++n)
            for (int o = 0; o < NET_MAX_SESSIONS; ++o)
                if (old[o].name && std::memcmp(old[o].instance, g_Net.sessionInstance[n], 16) == 0 &&
                    !NET_SessionEmpty(n)) {
                    std::memcpy(merged[o].instance, g_Net.sessionInstance[n], 16);
                    merged[o].name = NET_CopyText(g_Net.sessionName[n]);
                    placed[n] = true;
                    break;
                }
        for (int n = 0; n <= g_Net.lastSession; ++n) {
            if (placed[n] || NET_SessionEmpty(n)) continue;
            for (int m = 0; m < NET_MAX_SESSIONS; ++m) {
                static const uint8_t zero[8] = {};
                if (std::memcmp(merged[m].instance, zero, 8) != 0) continue;
                std::memcpy(merged[m].instance, g_Net.sessionInstance[n], 16);
                merged[m].name = NET_CopyText(g_Net.sessionName[n]);
                break;
            }
        }
        int used = 0;
        for (int i = 0; i < NET_MAX_SESSIONS; ++i) {
            std::memcpy(g_Net.sessionInstance[i], merged[i].instance, 16);
            NET_FreeText(&g_Net.sessionName[i]);
            g_Net.sessionName[i] = merged[i].name;
            merged[i].name = nullptr;
            if (!NET_SessionEmpty(i)) ++used;
        }
        g_Net.lastSession = used - 1;
    }
    for (int i = 0; i < NET_MAX_SESSIONS; ++i) {
        NET_FreeText(&old[i].name);
        NET_FreeText(&merged[i].name);
    }
    return result;
}

GUID NET_SessionGuid(int index) {
    const uint8_t* b = g_Net.sessionInstance[index];
    GUID g;
    g.Data1 = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    g.Data2 = uint16_t(b[4] | b[5] << 8);
    g.Data3 = uint16_t(b[6] | b[7] << 8);
    std::memcpy(g.Data4, b + 8, 8);
    return g;
}

// ---- Players ---------------------------------------------------------------------------------

struct ListContext {
    int32_t local;
};

BOOL NET_ListPlayersCallback(DPID id, DWORD, const DPNAME* name, DWORD, void* context) {
    int32_t slot = -1;
    DWORD size = sizeof slot;
    // Player data comes from another machine: only a slot of this game is taken.
    if (DP()->GetPlayerData(id, &slot, &size, 0) != DP_OK || size != sizeof slot || !NET_SlotOfThisGame(slot))
        return FALSE;
    if (g_Net.dpPlayerId[slot] == -1) ++g_Net.dpPlayerCount;
    g_Net.dpPlayerId[slot] = int32_t(id);
    NET_FreeText(&g_Net.dpName[slot]);
    g_Net.dpName[slot] = NET_CopyText(name && name->lpszShortNameA ? name->lpszShortNameA : "");
    g_Net.dpPlayerData[slot] = slot;
    g_Net.dpLocal[slot] = static_cast<ListContext*>(context)->local;
    return TRUE;
}

int DPB_ListPlayers(int which) {
    if (g_Net.selectedConnection == -1 || g_Net.currentSession == -1 || !DP()) return -1;
    if (which != -1 && (which < 0 || which > g_Net.lastSession || which >= NET_MAX_SESSIONS)) return -1;
    static int32_t ids[NET_MAX_SLOTS], locals[NET_MAX_SLOTS], data[NET_MAX_SLOTS];
    static char* names[NET_MAX_SLOTS];
    static NetMessageHandler handlers[NET_MAX_SLOTS];
    const int32_t count = g_Net.dpPlayerCount;
    for (int i = 0; i < NET_MAX_SLOTS; ++i) {
        ids[i] = g_Net.dpPlayerId[i];
        locals[i] = g_Net.dpLocal[i];
        data[i] = g_Net.dpPlayerData[i];
        names[i] = NET_CopyText(g_Net.dpName[i]);
        handlers[i] = g_Net.handlers[i];
        if (g_Net.dpPlayerId[i] != -1) {
            NET_EmptySlot(i);
            g_Net.handlers[i] = nullptr;
        }
    }
    g_Net.dpPlayerCount = 0;
    HRESULT result;
    if (which == -1) {
        ListContext local{1}, remote{0};
        result = DP()->EnumPlayers(nullptr, NET_ListPlayersCallback, &local, DPENUMPLAYERS_LOCAL);
        if (result == DP_OK) result = DP()->EnumPlayers(nullptr, NET_ListPlayersCallback, &remote, DPENUMPLAYERS_REMOTE);
    } else {
        const GUID instance = NET_SessionGuid(which);
        ListContext remote{0};
        result = DP()->EnumPlayers(&instance, NET_ListPlayersCallback, &remote, DPENUMPLAYERS_SESSION);
    }
    int answer;
    if (result == DP_OK) {
        int used = 0;
        for (int i = 0; i < NET_MAX_SLOTS; ++i)
            if (g_Net.dpPlayerId[i] != -1) ++used;
        g_Net.dpPlayerCount = used;
        answer = used;
        for (char*& name : names) NET_FreeText(&name);
    } else {
        for (int i = 0; i < NET_MAX_SLOTS; ++i) {
            NET_FreeText(&g_Net.dpName[i]);
            g_Net.dpPlayerId[i] = ids[i];
            g_Net.dpLocal[i] = locals[i];
            g_Net.dpPlayerData[i] = data[i];
            g_Net.dpName[i] = names[i];
            names[i] = nullptr;
            g_Net.handlers[i] = handlers[i];
        }
        g_Net.dpPlayerCount = count;
        answer = -1;
    }
    return answer;
}

// Creates this machine's player in the first free slot (after listing the session's players);
// the slot travels as the player data.
int NET_CreateLocalPlayer(const char* name) {
    const int slot = NET_FirstFreeSlot();
    if (!DP() || slot < 0 || slot >= g_Net.maxPlayers) return -1;
    int32_t data = slot;
    DPNAME record = {16, 0, const_cast<char*>(name), nullptr};
    DPID id = 0;
    if (DP()->CreatePlayer(&id, &record, nullptr, &data, sizeof data, 0) != DP_OK) return -1;
    g_Net.dpPlayerId[slot] = int32_t(id);
    NET_FreeText(&g_Net.dpName[slot]);
    g_Net.dpName[slot] = NET_CopyText(name);
    g_Net.dpPlayerData[slot] = slot;
    g_Net.dpLocal[slot] = 1;
    ++g_Net.dpPlayerCount;
    return slot;
}

int DPB_CreatePlayer(const char* name) {
    NET_ResetSlots();
    DPB_ListPlayers(-1);
    return NET_CreateLocalPlayer(name);
}

int DPB_DestroyPlayer(int slot) {
    if (slot < 0 || slot >= NET_MAX_SLOTS || g_Net.dpPlayerId[slot] == -1 || !DP()) return 0;
    if (DP()->DestroyPlayer(DPID(g_Net.dpPlayerId[slot])) != DP_OK) return 0;
    NET_EmptySlot(slot);
    g_Net.handlers[slot] = nullptr;
    --g_Net.dpPlayerCount;
    return 1;
}

int DPB_JoinSession(int index) {
    if (index < 0 || index > g_Net.lastSession || index >= NET_MAX_SESSIONS || !DP()) return 0;
    const int previous = g_Net.currentSession;
    g_Net.currentSession = index;
    DPSESSIONDESC2 desc{};
    desc.dwSize = 80;
    desc.guidInstance = NET_SessionGuid(index);
    if (DP()->Open(&desc, DPOPEN_JOIN) != DP_OK) {
        // A join that failed leaves no session behind (hosting stays possible).
        g_Net.currentSession = previous;
        return 0;
    }
    NET_ResetSlots();
    DPB_ListPlayers(-1);
    return 1;
}

int DPB_HostSession(const char* name) {
    if (g_Net.selectedConnection == -1 || g_Net.currentSession != -1 || !DP()) return -1;
    DPSESSIONDESC2 desc{};
    desc.dwSize = 80;
    desc.dwFlags = DPSESSION_KEEPALIVE | DPSESSION_MIGRATEHOST;
    desc.guidApplication = NET_AppGuid();
    desc.dwMaxPlayers = DWORD(g_Net.maxPlayers);
    desc.lpszSessionNameA = const_cast<char*>(name);
    if (DP()->Open(&desc, DPOPEN_CREATE | DPOPEN_RETURNSTATUS) != DP_OK) return -1;
    g_Net.currentSession = 0;
    NET_PutGuid(g_Net.sessionInstance[0], desc.guidInstance);
    NET_FreeText(&g_Net.sessionName[0]);
    g_Net.sessionName[0] = NET_CopyText(name);
    if (g_Net.lastSession < 0) g_Net.lastSession = 0;
    NET_ResetSlots();
    DPB_ListPlayers(-1);
    g_Net.host = 1;
    return 0;
}

int DPB_CloseSession() {
    if (DP()) DP()->Close();
    g_Net.currentSession = -1;
    g_Net.host = 0;
    return 1;
}

// ---- Receiving -------------------------------------------------------------------------------

// The text at `text` when it lies inside the message and ends there.
const char* NET_TextInside(const char* text, const uint8_t* bytes, DWORD size) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(text);
    if (!text || p < bytes || p >= bytes + size) return nullptr;
    const size_t room = size_t(bytes + size - p);
    return strnlen(text, room) < room ? text : nullptr;
}

void NET_SystemMessage(const uint8_t* bytes, DWORD size) {
    if (size < sizeof(DWORD)) return;
    DWORD type;
    std::memcpy(&type, bytes, sizeof type);
    if (type == DPSYS_CREATEPLAYERORGROUP && size >= sizeof(DPMSG_CREATEPLAYERORGROUP)) {
        DPMSG_CREATEPLAYERORGROUP m;
        std::memcpy(&m, bytes, sizeof m);
        if (NET_SlotOfId(int32_t(m.dpId)) != -1) return;
        // The creator chose the slot and sent it as the player data: take it when it is a free
        // slot of this game, otherwise the first free slot.
        int slot = -1;
        const uint8_t* data = static_cast<const uint8_t*>(m.lpData);
        if (data && m.dwDataSize == 4 && data >= bytes && data + 4 <= bytes + size) {
            int32_t chosen;
            std::memcpy(&chosen, data, 4);
            if (NET_SlotOfThisGame(chosen) && g_Net.dpPlayerId[chosen] == -1) slot = chosen;
        }
        if (slot == -1) slot = NET_FirstFreeSlot();
        if (slot < 0 || slot >= g_Net.maxPlayers) return;
        const char* name = NET_TextInside(m.dpnName.lpszShortNameA, bytes, size);
        NET_FreeText(&g_Net.dpName[slot]);
        g_Net.dpName[slot] = NET_CopyText(name ? name : "");
        g_Net.dpPlayerId[slot] = int32_t(m.dpId);
        g_Net.dpPlayerData[slot] = slot;
        g_Net.dpLocal[slot] = 0;
        ++g_Net.dpPlayerCount;
    } else if (type == DPSYS_DESTROYPLAYERORGROUP && size >= sizeof(DPMSG_DESTROYPLAYERORGROUP)) {
        DPMSG_DESTROYPLAYERORGROUP m;
        std::memcpy(&m, bytes, sizeof m);
        for (int i = 0; i < NET_MAX_SLOTS; ++i)
            if (g_Net.dpPlayerId[i] != -1 && g_Net.dpPlayerId[i] == int32_t(m.dpId)) {
                NET_EmptySlot(i);
                --g_Net.dpPlayerCount;
            }
    } else if (type == DPSYS_SESSIONLOST) {
        std::printf("DPSYS_SESSIONLOST: bad news...\n");
        std::fflush(stdout);
    }
}

int DPB_Receive(uint8_t** buffer, int* capacity, int* length, int32_t* senderId, int32_t* addresseeId) {
    if (!DP()) return 0;
    for (;;) {
        DPID from = 0, to = 0;
        DWORD size = 0;
        if (DP()->Receive(&from, &to, DPRECEIVE_ALL, nullptr, &size) != DPERR_BUFFERTOOSMALL || size == 0) return 0;
        if (size > uint32_t(*capacity)) {
            if (size > 0x7fffffffu) return 0;
            uint8_t* larger = static_cast<uint8_t*>(MEM_Alloc(size, MEM_TAG_NET));
            if (!larger) return 0;
            MEM_Free(*buffer);
            *buffer = larger;
            *capacity = int(size);
        }
        size = DWORD(*capacity);
        if (DP()->Receive(&from, &to, DPRECEIVE_ALL, *buffer, &size) != DP_OK) return 0;
        if (from == DPID_SYSMSG) {
            NET_SystemMessage(*buffer, size);
            continue;
        }
        *length = int(size);
        *senderId = int32_t(from);
        *addresseeId = int32_t(to);
        return 1;
    }
}

int DPB_Send(int fromSlot, int toSlot, const uint8_t* bytes, int length) {
    if (!DP() || length < 0) return 0;
    const DPID to = toSlot == -1 ? DPID_ALLPLAYERS : DPID(g_Net.dpPlayerId[toSlot]);
    return DP()->Send(DPID(g_Net.dpPlayerId[fromSlot]), to, 0, bytes, DWORD(length)) == DP_OK;
}

// ---- Start and shutdown ------------------------------------------------------------------------

// A game started by a DirectPlay lobby: connect, then take this machine's player. 1 when the
// session is running.
int NET_LobbyStart() {
    IDirectPlayLobby2A* lobby = nullptr;
    if (DirectPlayLobbyCreateA(nullptr, &lobby, nullptr, nullptr, 0) != DP_OK) return 0;
    DWORD size = 0;
    HRESULT result = lobby->GetConnectionSettings(0, nullptr, &size);
    if (result == DPERR_BUFFERTOOSMALL) {
        g_ConnectionSettings = MEM_Alloc(size, MEM_TAG_NET);
        result = g_ConnectionSettings ? lobby->GetConnectionSettings(0, g_ConnectionSettings, &size) : DPERR_OUTOFMEMORY;
    }
    int started = 0;
    if (result == DP_OK && size >= sizeof(DPLCONNECTION)) {
        DPLCONNECTION* c = static_cast<DPLCONNECTION*>(g_ConnectionSettings);
        g_Net.host = (c->dwFlags & DPLCONNECTION_CREATESESSION) ? 1 : 0;
        c->lpSessionDesc->dwFlags = DPSESSION_KEEPALIVE | DPSESSION_MIGRATEHOST;
        c->lpSessionDesc->dwMaxPlayers = DWORD(g_Net.maxPlayers);
        IDirectPlay3A* dp = nullptr;
        if (lobby->SetConnectionSettings(0, 0, c) == DP_OK && lobby->Connect(0, &dp, nullptr) == DP_OK) {
            g_Net.directPlay = dp;
            // The lobby's connection counts as selected and its session as session 0, so that the
            // pump receives and sends go out.
            g_Net.selectedConnection = NET_LOBBY_CONNECTION;
            g_Net.currentSession = 0;
            NET_PutGuid(g_Net.sessionInstance[0], c->lpSessionDesc->guidInstance);
            NET_FreeText(&g_Net.sessionName[0]);
            g_Net.sessionName[0] = NET_CopyText(c->lpSessionDesc->lpszSessionNameA ? c->lpSessionDesc->lpszSessionNameA : "");
            g_Net.lastSession = 0;
            NET_ResetSlots();
            DPB_ListPlayers(-1);
            const char* name = c->lpPlayerName && c->lpPlayerName->lpszShortNameA ? c->lpPlayerName->lpszShortNameA : "";
            started = NET_CreateLocalPlayer(name) >= 0;
            if (!started) {
                NET_ReleaseInterface();
                g_Net.selectedConnection = -1;
                g_Net.currentSession = -1;
                NET_ClearSessionList();
                NET_ResetSlots();
            }
        }
        if (!started) g_Net.host = 0;
    }
    MEM_Free(g_ConnectionSettings);
    g_ConnectionSettings = nullptr;
    lobby->Release();
    return started;
}

int DPB_Start() {
    if (NET_LobbyStart()) {
        g_Net.mode = NET_MODE_DIRECTPLAY;
        return 1;
    }
    g_Net.mode = NET_MODE_DIRECTPLAY;
    NET_ClearSessionList();
    NET_EnumModems();
    return 1;
}

void DPB_Shutdown() {
    if (DP()) {
        DP()->Close();
        NET_ReleaseInterface();
    }
    for (void*& address : g_ConnectionAddress) {
        MEM_Free(address);
        address = nullptr;
    }
    MEM_Free(g_ConnectionSettings);
    g_ConnectionSettings = nullptr;
}

}  // namespace

const NetBackend g_NetDirectPlay = {DPB_Start,          DPB_Shutdown,       DPB_Receive,      DPB_Send,
                                    DPB_EnumConnections, DPB_InitConnection, DPB_CloseSession, DPB_ListPlayers,
                                    DPB_CreatePlayer,   DPB_DestroyPlayer,  DPB_EnumSessions, DPB_JoinSession,
                                    DPB_HostSession};
