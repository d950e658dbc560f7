// Game queries at the game instance server on the game session: the player list and one player,
// a player's name, the GULP list, one GULP by address or by name, and GULP creation. Every reply
// is decoded from exactly the bytes that arrived.
#include <cstdlib>
#include <cstring>

#include "krcgame_join.h"
#include "krerrno.h"
#include "krgulp.h"
#include "krlog.h"
#include "krrq_sess.h"
#include "krxdr.h"
#include "krxdrtypes.h"

namespace {

constexpr char kKrModule[] = "krcgame_query";

constexpr uint32_t kCodeClientEnum = 18;
constexpr uint32_t kCodeClientQuery = 19;
constexpr uint32_t kCodeGulpCreate = 22;
constexpr uint32_t kCodeGulpEnum = 23;
constexpr uint32_t kCodeGulpFind = 24;
constexpr uint32_t kCodeGulpQuery = 25;
constexpr uint32_t kStatusExists = 12;
// The request's status when the game has no session to send it on.
constexpr uint32_t kStatusNoSession = 1;

// Sends `encoded` with `code` on the game session and waits; the reply lands in `response`.
uint32_t SyncRequest(KRGAME_CB* slot, uint32_t code, const char* encoded, uint32_t length, uint8_t* response,
                     uint32_t* got) {
    *got = 0;
    KRSESS_HNDL* session = KrGameSessionRef(slot);
    if (!session) return kStatusNoSession;
    const uint32_t status = KrCReqSyncLen(session, code, encoded, length, response, KR_GAME_RESPONSE_SIZE, got);
    KrSessRefDec(session);
    return status;
}

// The context of an asynchronous enumeration: its own lock and event, made for this call only.
struct EnumWait {
    KRLOCK lock;
    KrEvent event;
    bool done;
    uint32_t status;
    bool players;
    KRGICS_CLIENT_ENUMERATE_RESP clients;
    KRGICS_GULP_ENUMERATE_RESP gulps;
};

void EnumDone(KRSESS_HNDL*, uint32_t status, uint8_t* data, uint32_t length, void* context) {
    auto* w = static_cast<EnumWait*>(context);
    KrLockEnter(&w->lock);
    w->status = status;
    if (status == 0) {
        const bool ok = w->players ? KrGameDecode(KRXDR_CAST(xdr_KRGICS_CLIENT_ENUMERATE_RESP), &w->clients, data, length)
                                   : KrGameDecode(KRXDR_CAST(xdr_KRGICS_GULP_ENUMERATE_RESP), &w->gulps, data, length);
        if (!ok) {
            if (w->players) {
                KR_LOG(KrErr, "KrEnumPlayersCBF: Failed to decode CLIENT_ENUMERATE response XDR message.");
                std::memset(&w->clients, 0, sizeof w->clients);
            } else {
                KR_LOG(KrErr, "EnumGULPsMachineCBF: Failed to decode GULP_ENUMERATE response XDR message.");
                std::memset(&w->gulps, 0, sizeof w->gulps);
            }
        }
    }
    w->done = true;
    KrEventSignal(&w->event);
    KrLockLeave(&w->lock);
}

// Sends an enumeration and waits for its completion. -1 when it could not be sent.
int Enumerate(KRGAME_CB* slot, uint32_t code, EnumWait* w) {
    KRGICS_CLIENT_ENUMERATE_REQ request{0, 0}; // the GULP request has the same two words
    char* encoded = nullptr;
    uint32_t length = 0;
    if (!KrGameEncode(KRXDR_CAST(xdr_KRGICS_CLIENT_ENUMERATE_REQ), &request, &encoded, &length)) return -2;
    KrLockInit(&w->lock, 0);
    KrEventCreate(&w->event, nullptr);
    KRSESS_HNDL* session = KrGameSessionRef(slot);
    KrLockEnter(&w->lock);
    int failed = session ? KrCReq(session, code, encoded, length, EnumDone, w) : 1;
    if (session) KrSessRefDec(session);
    if (!failed)
        while (!w->done) KrEventWait(&w->event, &w->lock, nullptr);
    KrLockLeave(&w->lock);
    KrEventDestroy(&w->event);
    KrLockDestroy(&w->lock);
    std::free(encoded);
    return failed ? -1 : 0;
}

// The room rule: the count word, then as many addresses as fit. -153 when the list is cut.
int FillList(uint32_t* array, uint32_t bytes, uint32_t n, const KRADDR* (*at)(const void*, uint32_t),
             const void* list) {
    const uint32_t room = bytes / 4 - 1;
    const uint32_t given = n < room ? n : room;
    array[0] = given;
    for (uint32_t i = 0; i < given; ++i) array[1 + i] = *at(list, i);
    return n > room ? -153 : 0;
}

void CopyGulpInfo(const KRGICS_GULP_INFO& from, KRGULP_INFO* to) {
    std::memset(to, 0, sizeof *to);
    to->address = from.address;
    to->tlAddress = from.tlAddress;
    if (from.name) std::strncpy(to->name, from.name, sizeof to->name - 1);
    to->style = from.style ? from.style->style : 0;
    to->zero = 0;
}

}  // namespace

LOBBEX_API int KrEnumPlayers(int16_t game, uint32_t* array, uint32_t bytes) {
    KrLogAPICall("KrEnumPlayers");
    KRGAME_CB* slot = GetGamePtr(game);
    if (!slot) return (int)KrLogReturnVal("KrEnumPlayers", -150);
    // Too small for the count word: nothing is written.
    if (!array || bytes < 4) return (int)KrLogReturnVal("KrEnumPlayers", -153);
    EnumWait w{};
    w.players = true;
    const int sent = Enumerate(slot, kCodeClientEnum, &w);
    if (sent == -2) {
        KR_LOG(KrErr, "KrEnumPlayers: Failed to encode CLIENT_ENUMERATE request XDR message.");
        return (int)KrLogReturnVal("KrEnumPlayers", -2);
    }
    if (sent != 0) {
        KR_LOG(KrErr, "KrEnumPlayers: Failed to send CLIENT_ENUMERATE request. %d", (int)KrErrorGet());
        return (int)KrLogReturnVal("KrEnumPlayers", -151);
    }
    int result = 0;
    if (w.status != 0) {
        KR_LOG(KrErr, "KrEnumPlayers: KRGICS_CLIENT_ENUMERATE_REQ returned failure status. %d", (int)w.status);
        result = -151;
    } else if (w.clients.count == 0) {
        KR_LOG(KrErr, "KrEnumPlayers: KRGICS_CLIENT_ENUMERATE_REQ returned no clients.");
        result = -152;
    } else {
        // The stated count is bounded by the list that really came.
        const uint32_t n = w.clients.status < w.clients.count ? w.clients.status : w.clients.count;
        result = FillList(array, bytes, n,
                          [](const void* l, uint32_t i) -> const KRADDR* {
                              return &static_cast<const KRGICS_CLIENT_INFO*>(l)[i].address;
                          },
                          w.clients.clients);
    }
    krxdr_free(KRXDR_CAST(xdr_KRGICS_CLIENT_ENUMERATE_RESP), &w.clients);
    return (int)KrLogReturnVal("KrEnumPlayers", result);
}

LOBBEX_API int KrEnumGULPs(int16_t game, uint32_t* array, uint32_t bytes) {
    KrLogAPICall("KrEnumGULPs");
    KRGAME_CB* slot = GetGamePtr(game);
    if (!slot) return (int)KrLogReturnVal("KrEnumGULPs", -62);
    if (!array || bytes < 4) return (int)KrLogReturnVal("KrEnumGULPs", -153);
    EnumWait w{};
    w.players = false;
    const int sent = Enumerate(slot, kCodeGulpEnum, &w);
    if (sent == -2) {
        KR_LOG(KrErr, "KrEnumGULPs: Failed to encode GULP_ENUMERATE request XDR message.");
        return (int)KrLogReturnVal("KrEnumGULPs", -2);
    }
    if (sent != 0 || w.status != 0) {
        // A request that was not sent, failed or was never answered gives no list.
        if (sent != 0) KR_LOG(KrErr, "KrEnumGULPs:: GULP Enumerate Request rejected. KrCReq() err= %d", (int)KrErrorGet());
        array[0] = 0;
        krxdr_free(KRXDR_CAST(xdr_KRGICS_GULP_ENUMERATE_RESP), &w.gulps);
        return (int)KrLogReturnVal("KrEnumGULPs", -61);
    }
    const int result = FillList(array, bytes, w.gulps.count,
                                [](const void* l, uint32_t i) -> const KRADDR* {
                                    return &static_cast<const KRGICS_GULP_INFO*>(l)[i].address;
                                },
                                w.gulps.gulps);
    krxdr_free(KRXDR_CAST(xdr_KRGICS_GULP_ENUMERATE_RESP), &w.gulps);
    return (int)KrLogReturnVal("KrEnumGULPs", result);
}

LOBBEX_API int KrQueryPlayer(int16_t game, KRADDR address, KRPLAYER_INFO* record) {
    KrLogAPICall("KrQueryPlayer");
    KRGAME_CB* slot = GetGamePtr(game);
    if (!slot) return (int)KrLogReturnVal("KrQueryPlayer", -160);
    if (!record) return (int)KrLogReturnVal("KrQueryPlayer", -163);
    char* encoded = nullptr;
    uint32_t length = 0;
    if (!KrGameEncode(KRXDR_CAST(xdr_KRADDR), &address, &encoded, &length))
        return (int)KrLogReturnVal("KrQueryPlayer", -2);
    uint8_t response[KR_GAME_RESPONSE_SIZE];
    uint32_t got = 0;
    const uint32_t status = SyncRequest(slot, kCodeClientQuery, encoded, length, response, &got);
    std::free(encoded);
    if (status != 0) {
        KR_LOG(KrErr, "KrQueryPlayer: Query failed: status %x", status);
        return (int)KrLogReturnVal("KrQueryPlayer", -161);
    }
    KRGICS_CLIENT_INFO info{};
    if (!KrGameDecode(KRXDR_CAST(xdr_KRGICS_CLIENT_INFO), &info, response, got))
        return (int)KrLogReturnVal("KrQueryPlayer", -3);
    std::memset(record, 0, sizeof *record);
    record->address = info.address;
    record->number = info.number;
    if (info.name) std::strncpy(record->name, info.name, sizeof record->name - 1);
    krxdr_free(KRXDR_CAST(xdr_KRGICS_CLIENT_INFO), &info);
    return 0;
}

LOBBEX_API int KrGetNameByAddr(int16_t game, KRADDR address, char* buffer, int16_t size) {
    KrLogAPICall("KrGetNameByAddr");
    if (!buffer || size <= 0) return (int)KrLogReturnVal("KrGetNameByAddr", -170);
    buffer[0] = 0;
    KRPLAYER_INFO info{};
    const int queried = KrQueryPlayer(game, address, &info);
    if (queried != 0) return queried;
    const size_t length = std::strlen(info.name);
    if (length >= (size_t)size) return (int)KrLogReturnVal("KrGetNameByAddr", -170);
    std::memcpy(buffer, info.name, length + 1);
    return (int)KrLogReturnVal("KrGetNameByAddr", 0);
}

int KrQueryGULPInfo(int16_t game, KRADDR gulp, KRGICS_GULP_INFO* info) {
    KRGAME_CB* slot = GetGamePtr(game);
    if (!slot) return -142;
    std::memset(info, 0, sizeof *info);
    char* encoded = nullptr;
    uint32_t length = 0;
    if (!KrGameEncode(KRXDR_CAST(xdr_KRADDR), &gulp, &encoded, &length)) return -2;
    uint8_t response[KR_GAME_RESPONSE_SIZE];
    uint32_t got = 0;
    const uint32_t status = SyncRequest(slot, kCodeGulpQuery, encoded, length, response, &got);
    std::free(encoded);
    if (status != 0) {
        KR_LOG(KrErr, "KrQueryGULPInfo: Query failed: status %x", status);
        return -141;
    }
    if (!KrGameDecode(KRXDR_CAST(xdr_KRGICS_GULP_INFO), info, response, got)) {
        std::memset(info, 0, sizeof *info);
        return -3;
    }
    return 0;
}

LOBBEX_API int KrQueryGULP(int16_t game, KRADDR gulp, KRGULP_INFO* record) {
    KrLogAPICall("KrQueryGULP");
    if (!GetGamePtr(game)) return (int)KrLogReturnVal("KrQueryGULP", -142);
    KRGICS_GULP_INFO info{};
    const int queried = KrQueryGULPInfo(game, gulp, &info);
    if (queried != 0) return (int)KrLogReturnVal("KrQueryGULP", queried);
    if (record) CopyGulpInfo(info, record);
    krxdr_free(KRXDR_CAST(xdr_KRGICS_GULP_INFO), &info);
    return 0;
}

int16_t KrFindGULPInfo(int16_t game, const char* name, KRGICS_GULP_INFO* info) {
    std::memset(info, 0, sizeof *info);
    KRGAME_CB* slot = GetGamePtr(game);
    if (!slot) return -1;
    char* encoded = nullptr;
    uint32_t length = 0;
    char* key = const_cast<char*>(name);
    if (!KrGameEncode(KRXDR_CAST(xdr_KRGULP_NAME), &key, &encoded, &length)) return -1;
    uint8_t response[KR_GAME_RESPONSE_SIZE];
    uint32_t got = 0;
    const uint32_t status = SyncRequest(slot, kCodeGulpFind, encoded, length, response, &got);
    std::free(encoded);
    if (status != 0) {
        KR_LOG(KrErr, "KrFindGULPInfo: KrCReqSync failed: error code %x", status);
        return (int16_t)status;
    }
    if (!KrGameDecode(KRXDR_CAST(xdr_KRGICS_GULP_INFO), info, response, got)) {
        std::memset(info, 0, sizeof *info);
        return -1;
    }
    return 0;
}

LOBBEX_API int16_t KrFindGULP(int16_t game, const char* name, KRGULP_INFO* record) {
    KrLogAPICall("KrFindGULP");
    if (!GetGamePtr(game)) return -1;
    KRGICS_GULP_INFO info{};
    const int16_t found = KrFindGULPInfo(game, name, &info);
    if (found != 0) return found;
    if (record) CopyGulpInfo(info, record);
    krxdr_free(KRXDR_CAST(xdr_KRGICS_GULP_INFO), &info);
    return 0;
}

LOBBEX_API int KrCreateGULP(int16_t game, KRGICS_GULP_INFO* descriptor) {
    KrLogAPICall("KrCreateGULP");
    KRGAME_CB* slot = GetGamePtr(game);
    if (!slot) return (int)KrLogReturnVal("KrCreateGULP", -70);
    if (!descriptor) return (int)KrLogReturnVal("KrCreateGULP", -2);
    char* encoded = nullptr;
    uint32_t length = 0;
    if (!KrGameEncode(KRXDR_CAST(xdr_KRGICS_GULP_INFO), descriptor, &encoded, &length))
        return (int)KrLogReturnVal("KrCreateGULP", -2);
    uint8_t response[KR_GAME_RESPONSE_SIZE];
    uint32_t got = 0;
    const uint32_t status = SyncRequest(slot, kCodeGulpCreate, encoded, length, response, &got);
    std::free(encoded);
    if (status == kStatusExists) return (int)KrLogReturnVal("KrCreateGULP", 0);
    if (status != 0) {
        KR_LOG(KrErr, "KrCreateGULP: Create failed: status %x", status);
        return (int)KrLogReturnVal("KrCreateGULP", -73);
    }
    KRGICS_GULP_INFO made{};
    if (!KrGameDecode(KRXDR_CAST(xdr_KRGICS_GULP_INFO), &made, response, got))
        return (int)KrLogReturnVal("KrCreateGULP", -3);
    krxdr_free(KRXDR_CAST(xdr_KRGICS_GULP_INFO), &made);
    return (int)KrLogReturnVal("KrCreateGULP", 0);
}

namespace {

int CreateStyled(int16_t game, int32_t style, KRADDR address, const char* name, const uint32_t* p, uint32_t n) {
    KRGICS_GULP_STYLE params{};
    params.style = style;
    params.flag = (int32_t)p[0];
    for (uint32_t i = 1; i < n; ++i) params.words[i - 1] = p[i];
    KRGICS_GULP_INFO d{};
    d.styleWord = (uint32_t)style;
    d.word = 100;
    d.address = address;
    d.tlAddress.family = KRTL_TCP;
    d.name = const_cast<char*>(name);
    d.style = &params;
    return KrCreateGULP(game, &d);
}

}  // namespace

LOBBEX_API int KrCreateGULP_MC(int16_t game, KRADDR address, const char* name, uint32_t p1) {
    const uint32_t p[] = {p1};
    return CreateStyled(game, KRGULP_STYLE_MC, address, name, p, 1);
}

LOBBEX_API int KrCreateGULP_SI(int16_t game, KRADDR address, const char* name, uint32_t p1, uint32_t p2, uint32_t p3,
                               uint32_t p4) {
    const uint32_t p[] = {p1, p2, p3, p4};
    return CreateStyled(game, KRGULP_STYLE_SI, address, name, p, 4);
}

LOBBEX_API int KrCreateGULP_CS(int16_t game, KRADDR address, const char* name, uint32_t p1, uint32_t p2, uint32_t p3,
                               uint32_t p4, uint32_t p5, uint32_t p6, uint32_t p7) {
    const uint32_t p[] = {p1, p2, p3, p4, p5, p6, p7};
    return CreateStyled(game, KRGULP_STYLE_CS, address, name, p, 7);
}
