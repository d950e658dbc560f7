// The service's servers as the game instance server knows them (enumerate, query by address,
// find by name; requests 28, 30 and 29 on the game's GICS session), and the pings that measure a
// request's round trip on a session, a GULP, a game or a transport address. Every call blocks its
// thread until the answer has come; each query waits on an event and a lock of its own, and the
// reply is decoded on the completing thread from exactly the bytes that arrived.
#include <cstdlib>
#include <cstring>

#include "krcgame.h"
#include "krcgame_join.h"
#include "krcserver.h"
#include "krevent.h"
#include "krgulp.h"
#include "krlog.h"
#include "krrq_sess.h"
#include "krtime.h"
#include "krxdr.h"
#include "krxdrtypes.h"
#include "lobbex_exports.h"
#include "winsock.h"

namespace {
constexpr char kKrModule[] = "krcserver";
constexpr uint32_t kCodeServerEnum = 28, kCodeServerFind = 29, kCodeServerQuery = 30, kCodePing = 2032;
constexpr uint32_t kStatusNoPlace = 3, kStatusUndecodable = 3;
constexpr uint32_t kNoTime = 99999999;

struct Wait {
    KRLOCK lock;
    KrEvent event;
    bool done;
    uint32_t status;
    xdrproc_t routine;
    void* record; // where the reply goes; null: nowhere
    const char* what;
};

void Completed(KRSESS_HNDL*, uint32_t status, uint8_t* data, uint32_t length, void* context) {
    auto* w = static_cast<Wait*>(context);
    KrLockEnter(&w->lock);
    w->status = status;
    if (status == 0 && !w->record) {
        w->status = kStatusNoPlace;
    } else if (status == 0 && !KrGameDecode(w->routine, w->record, data, length)) {
        // A reply that does not decode is a failed request, not an empty success.
        KR_LOG(KrErr, "%sCompleteCBF: Failed to decode the response XDR message.", w->what);
        w->status = kStatusUndecodable;
    }
    w->done = true;
    KrEventSignal(&w->event);
    KrLockLeave(&w->lock);
}

// Sends the encoded request on the game's GICS session and waits for its completion: 0 when the
// request went (w->status then holds its status), -1 when it was refused.
int Ask(KRGAME_CB* slot, uint32_t code, const char* encoded, uint32_t length, Wait* w) {
    KrLockInit(&w->lock, 0);
    KrEventCreate(&w->event, nullptr);
    KRSESS_HNDL* session = KrGameSessionRef(slot);
    KrLockEnter(&w->lock);
    const int failed = session ? KrCReq(session, code, encoded, length, Completed, w) : 1;
    if (session) KrSessRefDec(session);
    if (!failed)
        while (!w->done) KrEventWait(&w->event, &w->lock, nullptr);
    KrLockLeave(&w->lock);
    KrEventDestroy(&w->event);
    KrLockDestroy(&w->lock);
    return failed ? -1 : 0;
}

// A text of at most 127 characters into its field: zero-filled, terminated only when shorter.
void PutText(uint8_t* field, const char* text) {
    std::memset(field, 0, 127);
    if (text) std::memcpy(field, text, std::min<size_t>(std::strlen(text), 127));
}

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = (uint8_t)(v >> (8 * i));
}

}  // namespace

void KrServerInfoFlatten(const KRSERVER_INFO& info, uint8_t* flat) {
    std::memset(flat, 0, KRSERVER_FLAT_SIZE);
    PutLe32(flat, info.address);
    std::memcpy(flat + 4, &info.tlAddress, sizeof info.tlAddress);
    PutText(flat + 20, info.name);
    PutText(flat + 147, info.text);
    PutLe32(flat + 276, info.number);
    PutLe32(flat + 280, info.dataLength);
    if (info.data) std::memcpy(flat + 284, info.data, std::min<uint32_t>(info.dataLength, KRSERVER_FLAT_DATA));
}

namespace {

// Query and find: one server record into the caller's flat copy.
int OneServer(const char* name, int16_t game, uint32_t code, xdrproc_t requestRoutine, void* request, void* flat) {
    KRGAME_CB* slot = GetGamePtr(game);
    if (!slot) return (int)KrLogReturnVal(name, -142);
    char* encoded = nullptr;
    uint32_t length = 0;
    if (!KrGameEncode(requestRoutine, request, &encoded, &length)) {
        KrError(code == kCodeServerFind ? "KrFindServer: Failed to encode GICS_FIND_SERVER request XDR message."
                                        : "KrQueryServer: Failed to encode GICS_QUERY_SERVER request XDR message.");
        return (int)KrLogReturnVal(name, -2);
    }
    KRSERVER_INFO info{};
    Wait w{};
    w.routine = KRXDR_CAST(xdr_KRSERVER_INFO);
    w.record = &info;
    w.what = name;
    const int sent = Ask(slot, code, encoded, length, &w);
    std::free(encoded);
    if (sent != 0) {
        KrError(code == kCodeServerFind ? "KrFindServer: Find failed: krreq status %x" : "KrQueryServer: Query failed: krreq status %x",
                (unsigned)KrErrorGet());
        return (int)KrLogReturnVal(name, -141);
    }
    if (w.status != 0) {
        KrError(code == kCodeServerFind ? "KrFindServer: Find failed: return status %x"
                                        : "KrQueryServer: Query failed: return status %x",
                (unsigned)w.status);
        return (int)KrLogReturnVal(name, -141);
    }
    int result = 0;
    if (flat)
        KrServerInfoFlatten(info, static_cast<uint8_t*>(flat));
    else
        result = (int)KrLogReturnVal(name, -1);
    krxdr_free(KRXDR_CAST(xdr_KRSERVER_INFO), &info);
    return result;
}
}  // namespace

LOBBEX_API int KrEnumServers(int16_t game, uint32_t* array, uint32_t bytes, KRADDR address, const char* text,
                             uint32_t word) {
    KrLogAPICall("KrEnumServers");
    KRGAME_CB* slot = GetGamePtr(game);
    if (!slot) return (int)KrLogReturnVal("KrEnumServers", -62);
    // Too small for the count word: refused, nothing written.
    if (!array || bytes < 4) return (int)KrLogReturnVal("KrEnumServers", -153);
    KRGICS_SERVER_ENUMERATE_REQ request{address, 0, const_cast<char*>(text ? text : ""), word};
    char* encoded = nullptr;
    uint32_t length = 0;
    if (!KrGameEncode(KRXDR_CAST(xdr_KRGICS_SERVER_ENUMERATE_REQ), &request, &encoded, &length)) {
        KrError("KrEnumServers: Failed to encode SERVER_ENUMERATE request XDR message.");
        return (int)KrLogReturnVal("KrEnumServers", -2);
    }
    KRGICS_SERVER_ENUMERATE_RESP reply{};
    Wait w{};
    w.routine = KRXDR_CAST(xdr_KRGICS_SERVER_ENUMERATE_RESP);
    w.record = &reply;
    w.what = "KrEnumServers";
    const int sent = Ask(slot, kCodeServerEnum, encoded, length, &w);
    std::free(encoded);
    if (sent != 0) {
        KrError("KrEnumServers::Server Enumerate Request rejected. KrCReq() err=%d", (int)KrErrorGet());
        return (int)KrLogReturnVal("KrEnumServers", -61);
    }
    if (w.status != 0) return (int)KrLogReturnVal("KrEnumServers", -61);
    const uint32_t room = bytes / 4 - 1;
    const uint32_t n = reply.count < room ? reply.count : room;
    array[0] = n;
    for (uint32_t i = 0; i < n; ++i) array[1 + i] = reply.servers[i].address;
    const int result = reply.count > room ? -153 : 0;
    krxdr_free(KRXDR_CAST(xdr_KRGICS_SERVER_ENUMERATE_RESP), &reply);
    return (int)KrLogReturnVal("KrEnumServers", result);
}

LOBBEX_API int KrQueryServer(int16_t game, KRADDR server, void* record) {
    KrLogAPICall("KrQueryServer");
    return OneServer("KrQueryServer", game, kCodeServerQuery, KRXDR_CAST(xdr_KRADDR), &server, record);
}

LOBBEX_API int KrFindServer(int16_t game, const char* name, void* record) {
    KrLogAPICall("KrFindServer");
    char* key = const_cast<char*>(name ? name : "");
    return OneServer("KrFindServer", game, kCodeServerFind, KRXDR_CAST(xdr_KRSERVER_NAME), &key, record);
}

LOBBEX_API int KrPingSession(KRSESS_HNDL* session, uint32_t* ms) {
    KrLogAPICall("KrPingSession");
    if (ms) *ms = kNoTime;
    const uint32_t start = KrTickCount();
    if (!session) return -1;
    const uint32_t status = KrCReqSync(session, kCodePing, nullptr, 0, nullptr, 0);
    if (status != 0) {
        KrError("PingServer::Ping Request Rejected by KrCReqSync (err:%d)", (int)status);
        return -2;
    }
    if (ms) *ms = KrTickCount() - start;
    return 0;
}

LOBBEX_API int KrPingKrTlAddr(const KRTLADDR* address, uint32_t* ms) {
    KrLogAPICall("KrPingKrTlAddr");
    if (ms) *ms = kNoTime;
    sockaddr_in remote{};
    int type = 0;
    if (!address || KrTlToSockAddr(address, reinterpret_cast<sockaddr*>(&remote), &type) != 0) {
        KrError("PingKrTlAddr::KrTlToSockAddr complained");
        return -1;
    }
    KRSESS_HNDL* session = KrSessOpen(0, address->family == KRTL_TCP ? 0 : 1, nullptr, &remote, nullptr, nullptr);
    if (!session) {
        KrError("PingKrTlAddr::KrSessOpen failed.");
        return -3;
    }
    const int result = KrPingSession(session, ms);
    KrSessClose(session);
    return result;
}

LOBBEX_API int KrPingGULP(HGULP gulp, uint32_t* ms) {
    KrLogAPICall("KrPingGULP");
    if (ms) *ms = kNoTime;
    KRGULP_CB* g = GetGULPPtr(gulp);
    KRSESS_HNDL* session = g ? KrGULPSessionRef(gulp) : nullptr;
    if (!session) {
        KrError("KrPingGULP::Invalid GULP handle (%d).", gulp);
        return -1;
    }
    const int result = KrPingSession(session, ms);
    KrSessRefDec(session);
    return result;
}

LOBBEX_API int KrPingGame(int16_t game, uint32_t* ms) {
    KrLogAPICall("KrPingGame");
    KRGAME_CB* slot = GetGamePtr(game);
    if (!slot) {
        KrError("KrPingGame::Invalid GAME handle (%d).", game);
        return -1;
    }
    KRSESS_HNDL* session = KrGameSessionRef(slot);
    const int result = KrPingSession(session, ms);
    if (session) KrSessRefDec(session);
    return result;
}
