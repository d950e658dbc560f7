// Joining and leaving a game: CLIENT_JOIN on a first session to the game instance server, the
// lasting game session to the server the reply names, the join count, the game session's request
// handler (join and leave notices, remote close) and the join/leave notification ring with its
// enable and disable requests.
#include "krcgame_join.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "krerrno.h"
#include "krlog.h"
#include "krrq_sess.h"
#include "krxdr.h"
#include "krxdrtypes.h"

namespace {

constexpr char kKrModule[] = "krcgame_join";

constexpr uint32_t kCodeJoin = 16;
constexpr uint32_t kCodeLeave = 17;
constexpr uint32_t kCodeEnable = 20;
constexpr uint32_t kCodeDisable = 21;
constexpr uint32_t kStatusExists = 12;

enum : int32_t { kNotifyOff = 0, kNotifyDisabling = 1, kNotifyEnabling = 2, kNotifyOn = 3 };

HGAME HandleOf(const KRGAME_CB* slot) {
    for (HGAME g = 0; g < KR_MAX_GAMES; ++g)
        if (GetGamePtr(g) == slot) return g;
    return -1;
}

// ---- the notification ring (game lock held) ----

void Ref(KRJOINLEAVE_HNDL* r) {
    KrLockEnter(&r->lock);
    ++r->refs;
    KrLockLeave(&r->lock);
}

void Unlink(KRGAME_CB* slot, KRJOINLEAVE_HNDL* r) {
    if (r->next == r) {
        slot->notifyHead = nullptr;
    } else {
        r->prev->next = r->next;
        r->next->prev = r->prev;
        if (slot->notifyHead == r) slot->notifyHead = r->next;
    }
    r->next = r->prev = nullptr;
}

void Free(KRJOINLEAVE_HNDL* r) {
    KrLockDestroy(&r->lock);
    std::free(r);
}

// Drops a reference; the last one unlinks and frees the record.
void Deref(KRGAME_CB* slot, KRJOINLEAVE_HNDL* r) {
    KrLockEnter(&r->lock);
    const int32_t left = --r->refs;
    KrLockLeave(&r->lock);
    if (left > 0) return;
    if (r->next) Unlink(slot, r);
    Free(r);
}

void Link(KRGAME_CB* slot, KRJOINLEAVE_HNDL* r) {
    if (!slot->notifyHead) {
        r->next = r->prev = r;
        slot->notifyHead = r;
    } else {
        KRJOINLEAVE_HNDL* head = slot->notifyHead;
        r->next = head;
        r->prev = head->prev;
        head->prev->next = r;
        head->prev = r;
    }
    ++slot->notifyCount;
}

// A registered record with this callback and context, skipping disabled ones.
KRJOINLEAVE_HNDL* Find(KRGAME_CB* slot, KRJOINLEAVE_CBF callback, uintptr_t context) {
    KRJOINLEAVE_HNDL* head = slot->notifyHead;
    if (!head) return nullptr;
    KRJOINLEAVE_HNDL* r = head;
    do {
        if (!r->removed && r->callback == callback && r->context == context) return r;
        r = r->next;
    } while (r != head);
    return nullptr;
}

// Takes a registered record out: it is no longer found and goes when its last walk lets go.
void Remove(KRGAME_CB* slot, KRJOINLEAVE_HNDL* r) {
    r->removed = 1;
    --slot->notifyCount;
    Deref(slot, r);
}

// The completion of requests 20 and 21: stores the status and wakes the caller, under the game
// lock so that the signal cannot come before the caller waits.
struct NotifyWait {
    KRGAME_CB* slot;
    KrEvent event;
    bool done;
    uint32_t status;
};

void NotifyDone(KRSESS_HNDL*, uint32_t status, uint8_t*, uint32_t, void* context) {
    auto* w = static_cast<NotifyWait*>(context);
    KrLockEnter(&w->slot->lock);
    w->status = status;
    w->done = true;
    KrEventSignal(&w->event);
    KrLockLeave(&w->slot->lock);
}

// Sends request `code` on the game session and waits for its completion (game lock held, left
// while waiting). False when it could not be sent.
bool NotifyRequest(KRGAME_CB* slot, uint32_t code, uint32_t* status) {
    KRSESS_HNDL* session = slot->gameSession;
    if (!session || KrSessRefInc(session, KRSESS_DESTROYED) != 0) return false;
    NotifyWait w{slot, {}, false, 0};
    KrEventCreate(&w.event, nullptr);
    const int failed = KrCReq(session, code, nullptr, 0, NotifyDone, &w);
    KrSessRefDec(session);
    if (!failed)
        while (!w.done) KrEventWait(&w.event, &slot->lock, nullptr);
    KrEventDestroy(&w.event);
    *status = w.status;
    return !failed;
}

void JoinLeaveNotificationHndlr(KRSESS_HNDL* session, KRGAME_CB* slot, uint32_t code, uint8_t* data, uint32_t length,
                                KRREQ_HNDL* request) {
    KrLogAPICall("JoinLeaveNotificationHndlr");
    const int joined = code == kCodeJoin ? 1 : 0;
    KRGICS_CLIENT_INFO info{};
    if (!KrGameDecode(KRXDR_CAST(xdr_KRGICS_CLIENT_INFO), &info, data, length)) {
        KR_LOG(KrErr, "JoinLeaveNotificationHndlr: Failed to decode %s notification XDR message.",
               joined ? "join" : "leave");
    } else {
        KrLockEnter(&slot->lock);
        if (slot->gameSession != session) {
            // A notice still on its way when the game was left or its session replaced.
        } else if (slot->notifyState != kNotifyOn || !slot->notifyHead) {
            KR_LOG(KrWarning, "JoinLeaveNotificationHndlr: Notification received when not enabled; state %u",
                   (unsigned)slot->notifyState);
        } else {
            // The first record stays referenced, so it stays in the ring and the walk ends on it.
            KRJOINLEAVE_HNDL* first = slot->notifyHead;
            Ref(first);
            KRJOINLEAVE_HNDL* r = first;
            do {
                KRJOINLEAVE_HNDL* next;
                if (!r->removed) {
                    Ref(r);
                    slot->notifyCalling = r;
                    KrLockLeave(&slot->lock);
                    r->callback(info.address, info.name ? info.name : "", joined, r->context);
                    KrLockEnter(&slot->lock);
                    slot->notifyCalling = nullptr;
                    next = r->next;
                    Deref(slot, r);
                } else {
                    next = r->next;
                }
                r = next;
            } while (r && r != first && slot->notifyState == kNotifyOn);
            Deref(slot, first);
            if (slot->notifyState != kNotifyOn)
                KR_LOG(KrWarning, "JoinLeaveNotificationHndlr: State transitioned durent notification request processing; state %u",
                       (unsigned)slot->notifyState);
        }
        KrLockLeave(&slot->lock);
        krxdr_free(KRXDR_CAST(xdr_KRGICS_CLIENT_INFO), &info);
    }
    KrSReqComplete(session, request, 0, nullptr, 0);
    KrLogReturnVal("JoinLeaveNotificationHndlr", 0);
}

void CloseJoinSession(KRGAME_CB* slot) {
    if (slot->joinSession) KrSessClose(slot->joinSession);
    slot->joinSession = nullptr;
}

int JoinFailed(KRGAME_CB* slot, int code, const char* text, bool closeJoin) {
    KR_LOG(KrErr, "%s", text);
    if (closeJoin) CloseJoinSession(slot);
    return (int)KrLogReturnVal("KrJoinGame", code);
}

}  // namespace

// ---- shared helpers ----

KRSESS_HNDL* KrGameSessionRef(KRGAME_CB* slot) {
    KrLockEnter(&slot->lock);
    KRSESS_HNDL* s = slot->gameSession;
    if (s && KrSessRefInc(s, KRSESS_DESTROYED) != 0) s = nullptr;
    KrLockLeave(&slot->lock);
    return s;
}

bool KrGameEncode(xdrproc_t routine, void* record, char** bytes, uint32_t* length) {
    *bytes = nullptr;
    *length = 0;
    XDR xdrs;
    if (!xdrdmem_create(&xdrs, nullptr, 0, XDR_ENCODE)) return false;
    const bool ok = KrXdrCall(routine, &xdrs, record) != 0;
    *length = XDR_GETPOS(&xdrs);
    unsigned capacity = 0;
    if (ok) xdrdmem_takebuf(&xdrs, bytes, &capacity);
    XDR_DESTROY(&xdrs);
    if (!ok || (!*bytes && *length)) {
        std::free(*bytes);
        *bytes = nullptr;
        return false;
    }
    return true;
}

bool KrGameDecode(xdrproc_t routine, void* record, const void* data, uint32_t length) {
    if (!data || !length) return false;
    XDR xdrs;
    xdrdmem_create(&xdrs, static_cast<char*>(const_cast<void*>(data)), length, XDR_DECODE);
    const bool ok = KrXdrCall(routine, &xdrs, record) != 0;
    XDR_DESTROY(&xdrs);
    if (!ok) krxdr_free(routine, record);
    return ok;
}

KRTLADDR KrQualifiedTlAddr(KRADDR address, const KRTLADDR& inner) {
    KRTLADDR q{};
    q.family = KRTL_KRADDR;
    q.port = 0;
    q.addr = htonl(address);
    q.inner.family = inner.family;
    q.inner.port = inner.port;
    q.inner.addr = inner.addr;
    return q;
}

KRSESS_HNDL* KrGameSessOpen(KRADDR own, const KRTLADDR& remoteInner, KRADDR remote, KRSREQ_HNDLR handler,
                            void* context) {
    KRTLADDR zero{};
    zero.family = remoteInner.family;
    const KRTLADDR local = KrQualifiedTlAddr(own, zero);
    const KRTLADDR far = KrQualifiedTlAddr(remote, remoteInner);
    return KrSessOpenEx(0, &local, &far, handler, context, (uint32_t)KRSESS_OPTID_RXHB_CNT, (uintptr_t)5,
                        (uint32_t)KRSESS_OPTID_TXHB, (uintptr_t)60000, (uint32_t)KRSESS_OPTID_END);
}

// ---- join and leave ----

LOBBEX_API int KrJoinGame(int16_t game, const char* name) {
    KrLogAPICall("KrJoinGame");
    KRGAME_CB* slot = GetGamePtr(game);
    if (!slot) {
        KR_LOG(KrErr, "JoinGame::Unable to allocate Game Control Block");
        return (int)KrLogReturnVal("KrJoinGame", -47);
    }
    if (slot->state != KRGAME_PREPARED && slot->joinCount == 0) {
        KR_LOG(KrErr, "JoinGame::Attempt to Join Game that's either is session or not properly initialized");
        return (int)KrLogReturnVal("KrJoinGame", -46);
    }
    if (slot->joinCount != 0) {
        ++slot->joinCount;
        return (int)KrLogReturnVal("KrJoinGame", 0);
    }
    slot->state = KRGAME_FREE;
    const char* ipText = KrGetMyIPText();
    MakeKrAddress(&slot->ownAddress, ipText, 0, KRADDR_NONE);
    slot->localAddress = slot->ownAddress;
    slot->localAddress.in.sin_addr.s_addr = htonl(INADDR_ANY);
    slot->localAddress.in.sin_port = 0;
    slot->joinSession = KrSessOpen(0, slot->unreliable, nullptr, &slot->gicsAddress, nullptr, slot);
    if (!slot->joinSession) {
        KR_LOG(KrErr, "JoinGame::GICS not found.  Failed the initial KrSessOpen IP Connection to Game Instance Server");
        return (int)KrLogReturnVal("KrJoinGame", -41);
    }
    slot->playerName = name;
    std::memset(&slot->joinReply, 0, sizeof slot->joinReply);
    slot->state = KRGAME_JOINING;
    KRGICS_CLIENT_JOIN_REQ request{slot->joinWord, const_cast<char*>(name)};
    char* encoded = nullptr;
    uint32_t encodedLength = 0;
    if (!KrGameEncode(KRXDR_CAST(xdr_KRGICS_CLIENT_JOIN_REQ), &request, &encoded, &encodedLength))
        return JoinFailed(slot, -2, "KrJoinGame: Failed to encode CLIENT_JOIN request XDR message.", true);
    uint8_t response[KR_GAME_RESPONSE_SIZE];
    uint32_t got = 0;
    const uint32_t status =
        KrCReqSyncLen(slot->joinSession, kCodeJoin, encoded, encodedLength, response, sizeof response, &got);
    std::free(encoded);
    if (status != 0)
        return JoinFailed(slot, -44, "JoinGame::JoinGame request rejected by Game Instance Server.", true);
    KRGICS_CLIENT_JOIN_RESP reply{};
    if (!KrGameDecode(KRXDR_CAST(xdr_KRGICS_CLIENT_JOIN_RESP), &reply, response, got))
        return JoinFailed(slot, -3, "KrJoinGame: Failed to decode CLIENT_JOIN response XDR message.", true);
    slot->joinReply = {reply.own, reply.server, reply.serverAddress};
    slot->ownAddr = reply.own;
    slot->ownAddress.kraddr = htonl(reply.own);
    std::memset(&slot->serverAddress, 0, sizeof slot->serverAddress);
    slot->serverAddress.family = KR_AF_KRADDR;
    slot->serverAddress.kraddr = htonl(reply.server);
    slot->serverAddress.in.sin_family = AF_INET;
    slot->serverAddress.in.sin_port = reply.serverAddress.port;
    slot->serverAddress.in.sin_addr.s_addr = reply.serverAddress.addr;
    KRSESS_HNDL* session = KrGameSessOpen(reply.own, reply.serverAddress, reply.server, GICSReqHndlrCBF, slot);
    CloseJoinSession(slot);
    if (!session) {
        KR_LOG(KrErr, "JoinGame::JoinGame failed Kr connection to Server.");
        return (int)KrLogReturnVal("KrJoinGame", -45);
    }
    KrLockEnter(&slot->lock);
    slot->gameSession = session;
    KrLockLeave(&slot->lock);
    slot->state = KRGAME_JOINED;
    ++slot->joinCount;
    KrMonitorNotify(1, 0, (uintptr_t)game, 0, slot->ownAddr, 0, 0, 0);
    return (int)KrLogReturnVal("KrJoinGame", 0);
}

LOBBEX_API int16_t KrLeaveGame(int16_t game) {
    KrLogAPICall("KrLeaveGame");
    KRGAME_CB* slot = GetGamePtr(game);
    if (!slot) return (int16_t)KrLogReturnVal("KrLeaveGame", -130);
    if (slot->joinCount == 0) return (int16_t)KrLogReturnVal("KrLeaveGame", -131);
    if (slot->joinCount >= 2) {
        --slot->joinCount;
        return 0;
    }
    KrLockEnter(&slot->lock);
    KRSESS_HNDL* session = slot->gameSession;
    slot->gameSession = nullptr;
    KrLockLeave(&slot->lock);
    if (session) KrSessClose(session);
    slot->state = KRGAME_FREE;
    slot->joinCount = 0;
    JoinLeaveNotifyCleanup(slot);
    KrMonitorNotify(2, 0, (uintptr_t)game, 0, slot->ownAddr, 0, 0, 0);
    return 0;
}

// ---- the game session's handler (io thread, or the thread that ends the session) ----

void GICSReqHndlrCBF(KRSESS_HNDL* session, void* context, uint32_t code, uint8_t* data, uint32_t length,
                     KRREQ_HNDL* request) {
    auto* slot = static_cast<KRGAME_CB*>(context);
    if (!slot) {
        KR_LOG(KrErr, "GicsReqHndlrCBF:[0x%x]: Request %u for session with null game handle.",
               (unsigned)(uintptr_t)session, code);
        KrSReqComplete(session, request, 2, nullptr, 0);
        return;
    }
    if (code == kCodeJoin || code == kCodeLeave) {
        JoinLeaveNotificationHndlr(session, slot, code, data, length, request);
        return;
    }
    if (code == KRSESS_CODE_CLOSED) {
        const uint32_t error = length >= 4 && data ? ntohl(*reinterpret_cast<const uint32_t*>(data)) : 0;
        KrLockEnter(&slot->lock);
        const bool ours = slot->gameSession == session;
        if (ours) slot->gameSession = nullptr;
        KrLockLeave(&slot->lock);
        KR_LOG(KrErr, "GICSReqHndlrCBF:: Saw Remote Close (err:%d) from GICS.", (int)error);
        KrSReqNoRespComplete(session, request);
        if (ours) {
            KrMonitorNotify(4, error, (uintptr_t)HandleOf(slot), 0, (uintptr_t)session, 0, length, (uintptr_t)data);
            KrSessClose(session);
        }
        return;
    }
    if (code == KRSESS_CODE_OPENED) {
        KrSReqNoRespComplete(session, request);
        return;
    }
    KR_LOG(KrErr, "GICSReqHndlrCBF:: Unknown Request Code (%d) from GICS.", (int)code);
    KrSReqNoRespComplete(session, request);
}

// ---- join/leave notification ----

LOBBEX_API int KrEnableJoinLeaveNotification(int16_t game, KRJOINLEAVE_CBF callback, uintptr_t context) {
    KrLogAPICall("KrEnableJoinLeaveNotification");
    KRGAME_CB* slot = GetGamePtr(game);
    if (!slot || !callback) return -1;
    auto* r = static_cast<KRJOINLEAVE_HNDL*>(std::calloc(1, sizeof(KRJOINLEAVE_HNDL)));
    if (!r) {
        KR_LOG(KrErr, "KrEnableoinLeaveNotification: Unable to allocate Notification handle.");
        return (int)KrLogReturnVal("KrEnableJoinLeaveNotification", -181);
    }
    KrLockInit(&r->lock, 0);
    r->gameLock = &slot->lock;
    r->refs = 1;
    r->callback = callback;
    r->context = context;
    int result = 0;
    KrLockEnter(&slot->lock);
    for (bool again = true; again;) {
        again = false;
        switch (slot->notifyState) {
        case kNotifyOff: {
            Link(slot, r);
            slot->notifyState = kNotifyEnabling;
            uint32_t status = 0;
            if (!NotifyRequest(slot, kCodeEnable, &status)) {
                KR_LOG(KrErr, "KrEnableJoinLeaveNotification: Unable to issue enable notification request; error %u",
                       (unsigned)KrErrorGet());
                slot->notifyState = kNotifyOff;
                Remove(slot, r);
                result = -1;
            } else if (status == 0 || status == kStatusExists) {
                slot->notifyState = kNotifyOn;
            } else {
                slot->notifyState = kNotifyOff;
                Remove(slot, r);
                result = -1;
            }
            KrEventSignal(&slot->event);
            break;
        }
        case kNotifyDisabling:
        case kNotifyEnabling:
            if (slot->notifyState == kNotifyDisabling)
                KR_LOG(KrWarning, "KrEnableJoinLeaveNotification[0x%x]: Simultaneous disable and enable, blocking for completion of disable.",
                       (unsigned)game);
            KrEventWait(&slot->event, &slot->lock, nullptr);
            again = true;
            break;
        case kNotifyOn:
            if (!slot->notifyHead)
                KR_LOG(KrWarning, "KrEnableJoinLeaveNotification[0x%x]: Notification enabled, but notification list is empty; suspicious.",
                       (unsigned)game);
            if (Find(slot, callback, context)) {
                KR_LOG(KrErr, "KrEnableJoinLeaveNotification: Redundant enable request for callback 0x%x, context 0x%x",
                       (unsigned)(uintptr_t)callback, (unsigned)context);
                Free(r);
                result = -1;
            } else {
                Link(slot, r);
            }
            break;
        default:
            KR_INVARIANT(false);
            Free(r);
            result = -1;
        }
    }
    KrLockLeave(&slot->lock);
    if (result == -181) KrLogReturnVal("KrEnableJoinLeaveNotification", result);
    return result;
}

LOBBEX_API int KrDisableJoinLeaveNotification(int16_t game, KRJOINLEAVE_CBF callback, uintptr_t context) {
    KrLogAPICall("KrDisableJoinLeaveNotification");
    KRGAME_CB* slot = GetGamePtr(game);
    if (!slot) return -1;
    KrLockEnter(&slot->lock);
    KRJOINLEAVE_HNDL* r = Find(slot, callback, context);
    if (!r) {
        KrLockLeave(&slot->lock);
        KR_LOG(KrErr, "KrDisableJoinLeaveNotification: No notification handler found for callback 0x%x, context 0x%x",
               (unsigned)(uintptr_t)callback, (unsigned)context);
        return -1;
    }
    Ref(r); // kept while the lock is left below
    if (slot->notifyCount < 2 && slot->notifyState == kNotifyOn) {
        slot->notifyState = kNotifyDisabling;
        uint32_t status = 0;
        if (NotifyRequest(slot, kCodeDisable, &status)) {
            if (status != 0 && status != kStatusExists)
                KR_LOG(KrWarning, "KrDisableJoinLeaveNotification: Disable of join/leave notification failed, disabling anyway; status %u",
                       (unsigned)status);
            slot->notifyState = kNotifyOff;
        } else {
            KR_LOG(KrErr, "KrDisableJoinLeaveNotification: Unable to issue disable notification request; error %u",
                   (unsigned)KrErrorGet());
            slot->notifyState = kNotifyOn;
        }
        KrEventSignal(&slot->event);
    }
    // Another disable of the same record may have run while this one waited.
    if (!r->removed) Remove(slot, r);
    Deref(slot, r);
    KrLockLeave(&slot->lock);
    return 0;
}

void JoinLeaveNotifyCleanup(KRGAME_CB* slot) {
    KrLockEnter(&slot->lock);
    if (slot->notifyState != kNotifyOff && slot->notifyState != kNotifyOn)
        KR_LOG(KrErr, "JoinLeaveNotifyCleanup[0x%x]: notify-control block in unexpected state %u",
               (unsigned)(uintptr_t)slot, (unsigned)slot->notifyState);
    slot->notifyState = kNotifyOff;
    if (slot->notifyCalling) KR_LOG(KrAlert, "JoinLeaveNotifyCleanup[0x%x]: a callback is running; it is freed when it returns.",
                                    (unsigned)(uintptr_t)slot);
    std::vector<KRJOINLEAVE_HNDL*> registered;
    if (KRJOINLEAVE_HNDL* head = slot->notifyHead) {
        KRJOINLEAVE_HNDL* r = head;
        do {
            if (!r->removed) registered.push_back(r);
            r = r->next;
        } while (r != head);
    }
    for (KRJOINLEAVE_HNDL* r : registered) Remove(slot, r);
    KrLockLeave(&slot->lock);
}
