// The library's start and stop under a start count, the table of 16 game slots, this machine's
// host name and address, the player address records, and the library's entry point (load and
// unload of the shared object).
#include "krcgame.h"

#include <cstdio>
#include <cstring>

#include "krcgame_modules.h"
#include "krlog.h"
#include "krsock.h"
#include "lobbex_exports.h"
#include "winsock.h"

namespace {
constexpr char kKrModule[] = "krcgame";

int32_t g_StartCount = 0;
char g_HostName[256] = {};
sockaddr_in g_OwnAddress = {};
char g_OwnIPText[16] = {};
KRGAME_CB g_Games[KR_MAX_GAMES] = {};

void IPText(uint32_t ip, char* text) {
    const uint8_t* b = reinterpret_cast<const uint8_t*>(&ip); // network order
    std::snprintf(text, 16, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
}

// The game locks are made once and live as long as the process: a notice that the io thread is
// already delivering when a game is left, or when the library stops, still takes its slot's lock.
bool g_GameLocksMade = false;

void InitGames() {
    for (KRGAME_CB& game : g_Games) {
        game.state = KRGAME_FREE;
        game.joinCount = 0;
        if (!g_GameLocksMade) KrLockInit(&game.lock, 0);
        KrEventCreate(&game.event, nullptr);
        game.notifyState = 0;
        game.notifyCalling = nullptr;
    }
    g_GameLocksMade = true;
}

void CleanupGames() {
    for (int i = 0; i < KR_MAX_GAMES; ++i) {
        KRGAME_CB& game = g_Games[i];
        if (game.state == KRGAME_JOINED) {
            KrWarn("CleanupGames:: Calling KrLeaveGame for abandoned game.\n(hGame:%d)(state:%d)", i, game.state);
            game.joinCount = 1;
            KrLeaveGame(HGAME(i));
        }
        KrEventDestroy(&game.event);
    }
}

void StartLibrary() {
    KrWinsockStartup(g_HostName, &g_OwnAddress);
    IPText(g_OwnAddress.sin_addr.s_addr, g_OwnIPText);
    KrLogInitNotice();
    KrLogInit();
    KrCacheLocksInit();
    KrSpeechCompressionInit();
    KrRqModuleInit();
    InitGames();
    InitGULPs();
    KrSpeechInit();
}

void StopLibrary() {
    KrSpeechDestroy();
    CleanupGULPs();
    CleanupGames();
    KrRqModuleCleanup();
    KrSpeechCompressionCleanup();
    KrCacheLocksDelete();
    KrTraceClose();
    KrWinsockCleanup();
}

// The entry point: nothing to keep at load (the error texts are built in); the trace file is
// closed at unload, after a stop that may already have closed it.
__attribute__((destructor)) void LobbexDetach() {
    KrTraceClose();
}
}  // namespace

LOBBEX_API int16_t LobbexInit(void) {
    KrLogAPICall("LobbexInit");
    if (g_StartCount == 0) StartLibrary();
    ++g_StartCount;
    return 0;
}

LOBBEX_API int16_t LobbexDestroy(void) {
    KrLogAPICall("LobbexDestroy");
    if (g_StartCount == 1) StopLibrary();
    if (g_StartCount > 0) --g_StartCount;
    return 0;
}

int32_t KrStartCount(void) {
    return g_StartCount;
}

LOBBEX_API const char* KrGetMyIPText(void) {
    KrLogAPICall("KrGetMyIPText");
    IPText(KrGetHostIPAddr(), g_OwnIPText);
    return g_OwnIPText;
}

LOBBEX_API const char* KrGetMyHostName(void) {
    KrLogAPICall("KrGetMyHostName");
    char name[256] = {};
    if (gethostname(name, 255) == 0) std::memcpy(g_HostName, name, sizeof g_HostName);
    return g_HostName;
}

KRGAME_CB* GetGamePtr(HGAME game) {
    return game >= 0 && game < KR_MAX_GAMES ? &g_Games[game] : nullptr;
}

LOBBEX_API KRADDR KrGetKrAddr(HGAME game) {
    KrLogAPICall("KrGetKrAddr");
    KRGAME_CB* slot = GetGamePtr(game);
    return slot ? slot->ownAddr : 0;
}

int MakeIPAddress(sockaddr_in* address, const char* host, int port) {
    std::memset(address, 0, sizeof *address);
    address->sin_family = AF_INET;
    address->sin_port = htons(uint16_t(port));
    in_addr_t ip = host ? inet_addr(host) : INADDR_NONE;
    if (ip == INADDR_NONE || !host) {
        hostent* entry = host ? gethostbyname(host) : nullptr;
        if (!entry || entry->h_addrtype != AF_INET || entry->h_length != 4 || !entry->h_addr_list[0]) {
            KrError("gethostbyname('%s') could not find that host.", host ? host : "");
            return -1;
        }
        std::memcpy(&ip, entry->h_addr_list[0], 4);
    }
    address->sin_addr.s_addr = ip;
    return 0;
}

int MakeKrAddress(KRQSOCKADDR* record, const char* host, int port, KRADDR kraddr) {
    std::memset(record, 0, sizeof *record);
    record->family = KR_AF_KRADDR;
    record->zero = 0;
    record->kraddr = htonl(kraddr);
    return MakeIPAddress(&record->in, host, port);
}

LOBBEX_API void FakeFindGame(const void* record) {
    KrLogAPICall("FakeFindGame");
    if (!record) return;
    const uint8_t* bytes = static_cast<const uint8_t*>(record);
    KRGAME_CB* slot = GetGamePtr(HGAME(uint16_t(bytes[0] | bytes[1] << 8)));
    if (!slot) return;
    slot->state = KRGAME_PREPARED;
    slot->unreliable = 0;
    slot->joinWord = uint32_t(bytes[8]) | uint32_t(bytes[9]) << 8 | uint32_t(bytes[10]) << 16 |
                     uint32_t(bytes[11]) << 24;
    MakeKrAddress(&slot->ownAddress, KrGetMyIPText(), 0, 0);
}

LOBBEX_API int FakeJoinGame(const char*, int, KRADDR, const char* hostB, int portB, KRADDR addrB) {
    KrLogAPICall("FakeJoinGame");
    g_Games[0].ownAddr = addrB;
    MakeKrAddress(&g_Games[0].ownAddress, hostB, portB, addrB);
    return 0;
}
