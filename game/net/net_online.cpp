// The transport's online-service back end (mode 3): the service's lobby left the game definition
// GAMEDEF in the registry; this starts the network client library and the service's client
// library, joins the game at the game instance server, lists its players into the slot tables
// (slot = address - 1) and carries every game message over the one data channel "Qor GULP".
//
// Every library call is judged by its own result: the library's last error is sticky (one
// harmless failure would otherwise make every later call look failed), so it is never consulted.
// All library calls come from the main thread; only NET_OnJoinLeave runs on the library's thread.
#include <cstdint>
#include <cstring>

#include "brellapi.h"
#include "lobbex_exports.h"
#include "net/net_online.h"
#include "net/net_state.h"
#include "common/app_services.h"
#include "common/mem.h"
#include "win32.h"

namespace {

constexpr char kGulpName[] = "Qor GULP";
// GAMEDEF fields the game uses.
constexpr int kDefGame = 0;       // low 16 bits: the HGAME of every game call
constexpr int kDefOwnAddr = 4;    // this player's KRADDR, written after each listing
constexpr int kDefName = 36;      // the player name sent with the join
constexpr int kDefNoWait = 896;   // 1: join at once, else after the lobby's 5-second wait
constexpr int kJoinWaitMs = 5000;
constexpr int kJoinWaitStepMs = 10;
// The join sends at most 16 characters; a longer name would make the join fail.
constexpr int kNameField = NET_MAX_NAME + 1;
// The enumeration buffer: a count word and up to 100 addresses.
constexpr uint32_t kEnumBytes = 4 * (1 + NET_MAX_SLOTS);
// The service's client library may answer "busy" to a stop; it is asked again a bounded number of
// times so that a library that never stops cannot hold the process.
constexpr int kShutdownTries = 50;
constexpr DWORD kShutdownRetryMs = 20;
constexpr int kErrorTextSize = 255;

uint32_t DefWord(int at) {
    const uint8_t* p = g_Net.gameDef + at;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void SetDefWord(int at, uint32_t value) {
    uint8_t* p = g_Net.gameDef + at;
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(value >> (8 * i));
}

int16_t Game() {
    return int16_t(uint16_t(DefWord(kDefGame) & 0xffffu));
}

HGULP Gulp() {
    return HGULP(uint16_t(uint32_t(g_Net.gulp) & 0xffffu));
}

GAMEDEF* Def() {
    return reinterpret_cast<GAMEDEF*>(g_Net.gameDef);
}

// The test after a library call: a negative result is a failure, whose text is fetched (and not
// shown). The service library's own last error is asked as the game always did; it decides
// nothing.
bool Succeeded(int result) {
    BwGetLastError();
    if (result >= 0) return true;
    char text[kErrorTextSize];
    KrGetErrorText(result, text, kErrorTextSize);
    return false;
}

char* CopyText(const char* text) {
    const size_t length = std::strlen(text);
    char* copy = static_cast<char*>(MEM_Alloc(uint32_t(length + 1), MEM_TAG_NET));
    if (copy) std::memcpy(copy, text, length + 1);
    return copy;
}

void ReleaseName(int slot) {
    MEM_Free(g_Net.onlineName[slot]);
    g_Net.onlineName[slot] = nullptr;
}

void ClearSlots() {
    g_Net.onlinePlayerCount = 0;
    for (int i = 0; i < NET_MAX_SLOTS; ++i) {
        g_Net.onlineAddr[i] = -1;
        g_Net.onlineIsMe[i] = 0;
        ReleaseName(i);
    }
}

int LocalSlot() {
    for (int i = 0; i < NET_MAX_SLOTS; ++i)
        if (g_Net.onlineAddr[i] != -1 && g_Net.onlineIsMe[i]) return i;
    return -1;
}

// The player name of the definition: at most 16 characters, ended by a zero.
void SetDefName(const char* name) {
    char* field = reinterpret_cast<char*>(g_Net.gameDef + kDefName);
    size_t length = std::strlen(name);
    if (length > size_t(NET_MAX_NAME)) length = NET_MAX_NAME;
    std::memset(field, 0, kNameField);
    std::memcpy(field, name, length);
}

// Runs on the library's thread: only marks that the player list changed.
void NET_OnJoinLeave(KRADDR, const char*, int, uintptr_t) {
    g_Net.joinLeave.store(1);
}

void FetchName(uint32_t address, char* name, int size) {
    Succeeded(KrGetNameByAddr(Game(), KRADDR(address), name, int16_t(size)));
}

// The list of players, rebuilt from scratch. 0 on failure.
int ONL_ListPlayers() {
    if (g_Net.mode != NET_MODE_ONLINE || g_Net.joinState == -1) return 0;
    ClearSlots();
    uint32_t list[1 + NET_MAX_SLOTS] = {};
    const int r = KrEnumPlayers(Game(), list, kEnumBytes);
    if (!Succeeded(r)) return 0;
    if (r != 0) return g_Net.onlinePlayerCount;
    const KRADDR own = KrGetKrAddr(Game());
    SetDefWord(kDefOwnAddr, uint32_t(own));
    return NET_OnlinePlacePlayers(list, 1 + NET_MAX_SLOTS, uint32_t(own), FetchName);
}

// Joins the game and opens its channel: 1 joined, 0 failed. A failing step leaves the earlier
// ones in place.
int ONL_Join(int index) {
    g_Net.joinState = -1;
    if (index != 0) return 0;
    g_Net.host = BwGetPlayerIndex() == 1 ? 1 : 0;
    const char* name = reinterpret_cast<const char*>(g_Net.gameDef + kDefName);
    if (!Succeeded(KrJoinGame(Game(), name))) {
        g_Net.joinState = -1;
        return 0;
    }
    g_Net.joinState = 0;
    if (!Succeeded(KrEnableJoinLeaveNotification(Game(), NET_OnJoinLeave, 0))) return 0;
    // The first player creates the channel; the server answers the later ones that it exists,
    // which the library reports as success.
    if (!Succeeded(KrCreateGULP_SI(Game(), KRADDR(0x7fffffff), kGulpName, 1, 500, 0, 0))) return 0;
    const HGULP gulp = KrOpenGULP(Game(), KRGULP_OPEN_FIND, reinterpret_cast<uintptr_t>(kGulpName), 0, nullptr, nullptr);
    if (!Succeeded(gulp)) return 0;
    g_Net.gulp = gulp;
    return 1;
}

int ONL_Start() {
    if (!Succeeded(LobbexInit())) {
        g_Net.mode = NET_MODE_NONE;
        return 1;
    }
    const int loaded = KrLoadGameDef(Def(), int16_t(NET_GAMEDEF_SIZE));
    if (loaded == -10 || loaded == -11) {
        // No usable definition: this is not a game of the service.
        LobbexDestroy();
        g_Net.mode = NET_MODE_NONE;
        return 1;
    }
    if (!Succeeded(loaded)) return 0;
    if (BwStartup() != 0 && BwStartup() != 0) {
        // The program ends here; the network library is stopped first, since the shutdown that
        // follows sees no online mode.
        LobbexDestroy();
        APP_FatalError("BwStartup() failed twice");
    }
    g_Net.mode = NET_MODE_ONLINE;
    return 1;
}

void ONL_Shutdown() {
    KrCloseGULP(Gulp());
    KrLeaveGame(Game());
    for (int i = 0; i < kShutdownTries && BwShutdown() != 0; ++i) Sleep(kShutdownRetryMs);
    LobbexDestroy();
    g_Net.gulp = 0;
    g_Net.joinState = -1;
    g_Net.host = 0;
    g_Net.mode = NET_MODE_NONE;
}

// The next message of the channel. A message longer than the receive buffer is taken out with a
// buffer of its own length and dropped, so that it cannot block the channel.
int ONL_Receive(uint8_t** buffer, int* capacity, int* length, int32_t* senderId, int32_t* addresseeId) {
    for (;;) {
        KRADDR sender = 0;
        uint32_t size = uint32_t(*capacity);
        const int r = KrReadGULP(Gulp(), &sender, *buffer, &size);
        if (r == 0) {
            *length = int(size);
            *senderId = int32_t(sender);
            *addresseeId = -1;
            return 1;
        }
        if (r != -102) return 0;
        const uint32_t need = GetFirstMessageLength(Gulp());
        if (need <= uint32_t(*capacity)) continue;  // the head changed meanwhile: read it again
        void* scratch = MEM_Alloc(need, MEM_TAG_NET);
        if (!scratch) return 0;
        uint32_t got = need;
        const int dropped = KrReadGULP(Gulp(), &sender, scratch, &got);
        MEM_Free(scratch);
        if (dropped != 0 && dropped != -102) return 0;
    }
}

int ONL_Send(int, int toSlot, const uint8_t* bytes, int length) {
    uint32_t one[2] = {1, 0};
    const uint32_t* list = nullptr;
    if (toSlot != -1) {
        one[1] = uint32_t(g_Net.onlineAddr[toSlot]);
        list = one;
    }
    return Succeeded(KrWriteGULP(Gulp(), bytes, uint32_t(length), list)) ? 1 : 0;
}

int ONL_EnumConnections() {
    return g_Net.connectionCount + 1;
}

int ONL_InitConnection(int) {
    return 0;
}

// The local leave: the local slot is emptied, the channel closed and the game left.
int ONL_Leave() {
    const int local = LocalSlot();
    if (local >= 0) {
        g_Net.onlineIsMe[local] = 0;
        ReleaseName(local);
        g_Net.onlineAddr[local] = -1;
        --g_Net.onlinePlayerCount;
    }
    if (!Succeeded(KrCloseGULP(Gulp()))) return 0;
    if (!Succeeded(KrLeaveGame(Game()))) return 0;
    g_Net.joinState = -1;
    g_Net.host = 0;
    return 1;
}

int ONL_ReloadPlayerList(int) {
    return ONL_ListPlayers();
}

// After a host mark (NET_HostSession) the join state is 1 and the players are listed without a
// join: that finds players only when this process joined before.
int ONL_CreatePlayer(const char* name) {
    if (g_Net.joinState == -1) {
        if (!Succeeded(KrLoadGameDef(Def(), int16_t(NET_GAMEDEF_SIZE)))) return -1;
        SetDefName(name);
        if (!ONL_Join(0)) return -1;
    }
    ONL_ListPlayers();
    return LocalSlot();
}

int ONL_DestroyPlayer(int) {
    return ONL_Leave();
}

int ONL_EnumSessions() {
    return 0;
}

// Unless the definition says not to wait, the lobby's other players get 5 seconds to reach the
// server first. The wait sleeps in small steps, so it ends on a virtual clock as on a real one.
int ONL_JoinSession(int index) {
    if (DefWord(kDefNoWait) != 1) {
        uint32_t waited = 0;
        DWORD last = GetTickCount();
        while (waited < uint32_t(kJoinWaitMs)) {
            Sleep(kJoinWaitStepMs);
            const DWORD now = GetTickCount();
            waited += now - last;
            last = now;
        }
    }
    return ONL_Join(index);
}

int ONL_HostSession(const char*) {
    g_Net.joinState = 1;
    return 1;
}

}  // namespace

int NET_OnlinePlacePlayers(const uint32_t* list, size_t words, uint32_t own,
                           void (*fetchName)(uint32_t address, char* name, int size)) {
    ClearSlots();
    if (!list || words == 0) return 0;
    uint32_t listed = list[0];
    if (listed > words - 1) listed = uint32_t(words - 1);
    for (uint32_t i = 0; i < listed; ++i) {
        const uint32_t address = list[1 + i];
        if (address < 1 || address > uint32_t(NET_MAX_SLOTS)) continue;
        const int slot = int(address) - 1;
        if (g_Net.onlineAddr[slot] != -1) continue;
        g_Net.onlineAddr[slot] = int32_t(address);
        // A name of the full 16 characters needs the 17th byte for its end.
        char name[kNameField] = {};
        if (fetchName) fetchName(address, name, kNameField);
        name[NET_MAX_NAME] = 0;
        g_Net.onlineName[slot] = CopyText(name);
        g_Net.onlineIsMe[slot] = own == address ? 1 : 0;
        ++g_Net.onlinePlayerCount;
    }
    return g_Net.onlinePlayerCount;
}

const NetBackend g_NetOnline = {ONL_Start,          ONL_Shutdown,      ONL_Receive,          ONL_Send,
                                ONL_EnumConnections, ONL_InitConnection, ONL_Leave,           ONL_ReloadPlayerList,
                                ONL_CreatePlayer,   ONL_DestroyPlayer,  ONL_EnumSessions,     ONL_JoinSession,
                                ONL_HostSession};
