// Server requests (module "krrq"): received requests checked against the window, duplicates
// answered again with the stored response bytes, new requests decrypted under the data keys and
// handed to the session's request handler, their completion with or without a response, the
// internal notices of a session opened or closed, zombie collection with the zombie limit, and
// the request lists' cleanup when a session is destroyed.
#include <cstring>

#include "krerrno.h"
#include "krlog.h"
#include "krrq_sess.h"
#include "krrq_seq.h"
#include "krtmo.h"
#include "krtrace.h"

namespace {

constexpr char kKrModule[] = "krrq";
unsigned Tag(const void* p) { return (unsigned)(uintptr_t)p; }

// Whether `r` is in the list, found by its address alone: a handle the upper layer passes in is
// read only once it is known to be one of the session's.
bool Contains(const KRREQ_LIST& list, const KRREQ_HNDL* r) {
    const KRREQ_HNDL* p = list.head;
    for (uint32_t i = 0; p && i < list.count; ++i, p = p->next)
        if (p == r) return true;
    return false;
}

void ExpiredAdd(KRSESS_HNDL* s, KRREQ_HNDL* r) {
    KrReqListAppend(&KrSessReqQueues(s)->expired, r);
    r->flags |= KRREQ_FLAG_EXPIRED;
}

void ExpiredRemove(KRSESS_HNDL* s, KRREQ_HNDL* r) {
    KrReqListRemove(&KrSessReqQueues(s)->expired, r);
    r->flags &= ~KRREQ_FLAG_EXPIRED;
}

bool InZombies(KRSESS_HNDL* s, const KRREQ_HNDL* r) { return Contains(KrSessReqQueues(s)->zombies, r); }

// A server request out of every list: its buffers, its key reference and the handle.
void SReqFree(KRSESS_HNDL* s, KRREQ_HNDL* r) {
    if (r->txMessage) KrReqMsgFree(r->txMessage);
    if (r->rxData) KrReqMsgFree(r->rxData);
    if (r->crypt) KrReqCryptDeref(s, r->crypt);
    KrReqHndlFree(r);
}

// The window a received request must fall in: comparable with the newest one and no further
// behind it than the zombies reach, so that a request whose zombie has already been collected
// is never taken for a new one.
bool InWindow(const KRSESS_HNDL* s, uint32_t seq) {
    if (!KrSeqInWindow(s->rxNewest, seq)) return false;
    if (!KrSeqOlder(s->rxNewest, seq, s->rxNewest)) return true;
    const uint32_t window = s->options[KRSESS_OPT_WINDOW] ? s->options[KRSESS_OPT_WINDOW] : 1;
    return KrSeqDistance(s->rxNewest, s->rxNewest, seq) <= window - 1;
}

}  // namespace

bool KrSReqGC(KRSESS_HNDL* s) {
    KRREQ_LIST& zombies = KrSessReqQueues(s)->zombies;
    const uint32_t window = s->options[KRSESS_OPT_WINDOW] ? s->options[KRSESS_OPT_WINDOW] : 1;
    const uint32_t floor = window - 1;
    while (zombies.head && (KrSeqDistance(s->rxNewest, s->rxNewest, zombies.head->sequence) > floor ||
                            zombies.count > window)) {
        KRREQ_HNDL* z = zombies.head;
        KrReqZombieRemoveNL(s, z);
        if (z->state == KRSREQ_STATE_HANDLER) {
            // Still with the upper layer: it stays until completed, and counts toward the limit.
            z->state = KRSREQ_STATE_ENDED;
            ExpiredAdd(s, z);
        } else {
            SReqFree(s, z);
        }
    }
    const uint32_t expired = KrSessReqQueues(s)->expired.count;
    const uint32_t limit = s->options[KRSESS_OPT_ZOMBIE_LIMIT];
    if (expired > 0 && expired >= limit) {
        KR_LOG(KrWarning, "KrSReqGC[0x%x]: Zombie list exceeded limit %u, shutting down session.", Tag(s), expired);
        return true;
    }
    return false;
}

void KrSessUpperLayerSReqHndlr(KRSESS_HNDL* session, KRREQ_HNDL* request) {
    KrLockEnter(&session->lock);
    KRSREQ_HNDLR handler = session->handler;
    void* context = session->context;
    KrLockLeave(&session->lock);
    const bool closing = KrSessState(session) <= KRSESS_CLOSED;
    if (!handler || (closing && request->code != KRSESS_CODE_CLOSED)) {
        KrSReqNoRespComplete(session, request);
        return;
    }
    uint8_t* payload = request->rxData ? request->rxData + request->rxOffset : nullptr;
    const uint32_t code = request->code, sequence = request->sequence;
    KrSessSlowCallbackLog(session, (uintptr_t)request, code, 0, sequence, "sreq", 0);
    KrSessCallbackEnter();
    handler(session, context, code, request->rxLength ? payload : nullptr, request->rxLength, request);
    KrSessCallbackLeave();
    KrSessSlowCallbackLog(session, (uintptr_t)request, code, 0, sequence, "sreq", 1);
}

int KrSessInternalNotice(KRSESS_HNDL* session, uint32_t code, const uint8_t* payload, uint32_t length) {
    KRREQ_HNDL* r = KrReqHndlAlloc(session, 0);
    uint8_t* data = length ? KrReqMsgAlloc(length) : nullptr;
    if (!r || (length && !data)) {
        if (r) KrReqHndlFree(r);
        if (data) KrReqMsgFree(data);
        KrErrorSet(KRERR_NO_MEMORY);
        return 1;
    }
    if (length) std::memcpy(data, payload, length);
    r->flags |= KRREQ_FLAG_INTERNAL;
    r->code = code;
    r->rxData = data;
    r->rxLength = length;
    KrLockEnter(&session->lock);
    r->sequence = session->rxNewest - 1;
    KrSessStatAddNL(session, KRSTAT_SREQ, 0);
    KrReqListAppend(&session->notices, r);
    KrLockLeave(&session->lock);
    r->state = KRSREQ_STATE_HANDLER;
    KrSessUpperLayerSReqHndlr(session, r);
    return 0;
}

void KrSessRequestHndlr(KRSESS_HNDL* s, const KRMUX_RX* packet) {
    if (KrSessRefInc(s, KRSESS_CLOSED) != 0) return;
    if (packet->hdr.flag == 1) {
        KrSessResponseHndlr(s, packet);
        KrSessRefDec(s);
        return;
    }
    const uint32_t bytes = packet->headerLen + packet->bodyLen;
    KrLockEnter(&s->lock);
    const uint32_t seq = KrSeqNormalize(s->rxNewest, (uint16_t)packet->hdr.sequence);
    KRREQ_HNDL* r = nullptr;
    bool close = false;
    if (!InWindow(s, seq)) {
        KrSessStatAddNL(s, KRSTAT_SREQ_DROP, bytes);
        KR_LOG(KrLevelDebug, "KrReqHdrHndlr[0x%x]: sequence %u normalized to %u - out of window %u.", Tag(s),
               packet->hdr.sequence, seq, s->options[KRSESS_OPT_WINDOW]);
    } else {
        const bool newer = KrSeqNewer(s->rxNewest, seq, s->rxNewest);
        KRREQ_HNDL* z = newer ? nullptr : KrReqZombieFindNL(s, seq);
        if (z) {
            KrSessMarkReqRxNL(s);
            if (z->state == KRSREQ_STATE_ANSWERED && z->txMessage) {
                // The same bytes again: the peer lost the response.
                if (KrSessTx(s, z->txMessage, z->txLength) == 0)
                    KrSessStatAddNL(s, KRSTAT_SRESP_AGAIN, z->txLength);
                else
                    KR_LOG(KrWarning, "KrReqHdrHndlr[0x%x]: Failed to re-transmit response. error %u", Tag(s),
                           KrErrorGet());
            } else {
                KrSessStatAddNL(s, KRSTAT_SREQ_DROP, bytes);
            }
        } else {
            const int ctLen = KrCTHdrPackedLen(packet->header[0]);
            const uint32_t lead = ctLen < 0 ? 0 : (uint32_t)((4 - ctLen % 4) % 4);
            const uint32_t size = lead + packet->bodyLen + 4;
            uint8_t* buffer = ctLen < 0 ? nullptr : KrReqMsgAlloc(size);
            KRHDR header{};
            KRREQ_CRYPT_HNDL* crypt = buffer ? KrSessDataCryptDecrypt(s, seq, packet->header, packet->body,
                                                                      packet->bodyLen, &header, buffer + lead,
                                                                      size - lead)
                                             : nullptr;
            if (buffer && !crypt) KrSessStatAddNL(s, KRSTAT_SREQ_NOKEY, bytes);
            if (crypt) {
                r = KrReqHndlAlloc(s, 0);
                if (!r) KR_LOG(KrErr, "KrSReqAlloc[0x%x]: Unable to allocate server request handle", Tag(s));
            }
            if (!r) {
                KrSessStatAddNL(s, KRSTAT_SREQ_DROP, bytes);
                if (buffer) KrReqMsgFree(buffer);
                if (crypt) KrReqCryptDeref(s, crypt);
            } else {
                r->state = KRSREQ_STATE_RECEIVED;
                r->code = header.code;
                r->sequence = seq;
                r->crypt = crypt;
                r->rxData = buffer;
                r->rxOffset = lead + (uint32_t)ctLen;
                r->rxLength = header.length;
                KrSessStatAddNL(s, KRSTAT_SREQ, header.length);
                KR_TRACE_EVENT("rq__rqhd", s, seq, header.code, header.length, 0);
                KrReqZombieInsertNL(s, r);
                if (newer) s->rxNewest = seq;
                KrSessMarkReqRxNL(s);
                r->state = KRSREQ_STATE_HANDLER;
            }
        }
    }
    close = KrSReqGC(s);
    KrLockLeave(&s->lock);
    if (r) KrSessUpperLayerSReqHndlr(s, r);
    if (close) KrSessRemoteClose(s, KRSESS_REASON_ZOMBIES);
    KrSessRefDec(s);
}

LOBBEX_API int KrSReqNoRespComplete(KRSESS_HNDL* session, KRREQ_HNDL* request) {
    if (!request || KrSessRefInc(session, KRSESS_DESTROYED) != 0) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    int result = 0;
    KRREQ_HNDL* freed = nullptr;
    KrLockEnter(&session->lock);
    if (Contains(session->notices, request)) {
        KrReqListRemove(&session->notices, request);
        KrSessStatAddNL(session, KRSTAT_SREQ_NORESP, 0);
        freed = request;
    } else if (Contains(KrSessReqQueues(session)->expired, request)) {
        ExpiredRemove(session, request);
        KrSessStatAddNL(session, KRSTAT_SREQ_NORESP, 0);
        freed = request;
    } else if (InZombies(session, request) && request->state == KRSREQ_STATE_HANDLER) {
        request->state = KRSREQ_STATE_ENDED; // a duplicate of it is dropped from now on
        KrSessStatAddNL(session, KRSTAT_SREQ_NORESP, 0);
    } else {
        KrErrorSet(KRERR_PARAM);
        result = 1;
    }
    if (result == 0) KR_TRACE_EVENT("rq__nocm", session, request->sequence, request->code, 0, 0);
    if (freed) SReqFree(session, freed);
    KrLockLeave(&session->lock);
    KrSessRefDec(session);
    return result;
}

LOBBEX_API int KrSReqComplete(KRSESS_HNDL* session, KRREQ_HNDL* request, uint32_t responseCode, const void* data,
                              uint32_t length) {
    if (!request || (!data && length) || KrSessRefInc(session, KRSESS_DESTROYED) != 0) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    KrLockEnter(&session->lock);
    if (Contains(session->notices, request)) {
        const uint32_t code = request->code;
        KrLockLeave(&session->lock);
        KR_LOG(KrLevelInfo, "KrSReqComplete called for internally generated request %u.  Using KrSReqNosRespComplete instead.",
               code);
        KrSessRefDec(session);
        return KrSReqNoRespComplete(session, request);
    }
    int result = 0;
    if (Contains(KrSessReqQueues(session)->expired, request)) {
        // Collected while the upper layer held it: nothing is sent any more.
        ExpiredRemove(session, request);
        KrSessStatAddNL(session, KRSTAT_SRESP, 0);
        SReqFree(session, request);
    } else if (InZombies(session, request) && request->state == KRSREQ_STATE_HANDLER) {
        request->state = KRSREQ_STATE_BUILDING;
        KRHDR h{};
        h.kind = KRHDR_KIND_REQUEST;
        h.id = KrSessPeerId(session);
        h.length = length;
        h.flag = 1;
        h.code = responseCode;
        if (KrReqCTMsgAlloc(KrReqCryptLow(request->crypt), request->sequence, &h, static_cast<const uint8_t*>(data),
                            &request->txMessage, &request->txLength) != 0) {
            KR_LOG(KrErr, "KrSReqComplete[0x%x]: Unable to build response message; error %u.", Tag(session),
                   KrErrorGet());
            request->state = KRSREQ_STATE_ENDED;
            result = 1;
        } else {
            request->state = KRSREQ_STATE_ANSWERED;
            if (request->rxData) {
                KrReqMsgFree(request->rxData);
                request->rxData = nullptr;
            }
            KR_TRACE_EVENT("rq__rqcm", session, request->sequence, responseCode, length, 0);
            KrSessTx(session, request->txMessage, request->txLength);
            KrSessStatAddNL(session, KRSTAT_SRESP, request->txLength);
        }
    } else {
        KrErrorSet(KRERR_PARAM);
        result = 1;
    }
    KrLockLeave(&session->lock);
    KrSessRefDec(session);
    return result;
}

void KrSessReqCleanup(KRSESS_HNDL* s) {
    // Nobody else holds the session any more: the lists are walked without racing anyone.
    for (;;) {
        KrLockEnter(&s->lock);
        KRREQ_HNDL* r = KrReqPendFirstNL(s);
        if (r) {
            KrCReqTakeNL(s, r);
            r->status = 19;
            r->state = KRCREQ_STATE_DONE;
        }
        KrLockLeave(&s->lock);
        if (!r) break;
        KrSessUpperLayerCReqHndlr(s, r);
    }
    KrLockEnter(&s->lock);
    while (KRREQ_HNDL* z = KrSessReqQueues(s)->zombies.head) {
        KrReqZombieRemoveNL(s, z);
        SReqFree(s, z);
    }
    const uint32_t expired = KrSessReqQueues(s)->expired.count;
    while (KRREQ_HNDL* e = KrSessReqQueues(s)->expired.head) {
        ExpiredRemove(s, e);
        SReqFree(s, e);
    }
    while (KRREQ_HNDL* n = s->notices.head) {
        KrReqListRemove(&s->notices, n);
        SReqFree(s, n);
    }
    KrLockLeave(&s->lock);
    if (expired) KR_LOG(KrWarning, "KrSessActiveCleanup[%x]: SReq zombie list isn't empty %d\n", Tag(s), (int)expired);
}
