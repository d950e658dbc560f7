// Client requests (module "krrq"): sending with the retransmission timer, the timer's
// retransmissions and time-out, received responses, synchronous and one-way requests, and the
// single completion of each request. The io thread (responses) and the timeout thread
// (retransmissions, time-outs) race for a request: whichever takes it out of the pending list in
// state 3 under the session lock completes it, and the other finds it gone. The timer's argument
// is a key that is looked up, never a pointer that could already be freed.
#include <cinttypes>
#include <cstdarg>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "krerrno.h"
#include "krio.h"
#include "krlog.h"
#include "krnetdb.h"
#include "krrq_opt.h"
#include "krrq_sess.h"
#include "krrq_seq.h"
#include "krtmo.h"
#include "krtrace.h"

namespace {

constexpr char kKrModule[] = "krrq";
unsigned Tag(const void* p) { return (unsigned)(uintptr_t)p; }

// Armed retransmission timers: key -> session. The key is never reused.
std::mutex g_TimerLock;
std::unordered_map<uintptr_t, KRSESS_HNDL*> g_Timers;
uintptr_t g_NextKey = 1;

// Callbacks of this library running on this thread (a synchronous request here would wait for
// a completion that needs this very thread).
thread_local int t_InCallback = 0;

uintptr_t TimerKeyNew(KRSESS_HNDL* s) {
    std::lock_guard<std::mutex> hold(g_TimerLock);
    uintptr_t key = g_NextKey++;
    g_Timers[key] = s;
    return key;
}

void TimerKeyDrop(uintptr_t key) {
    std::lock_guard<std::mutex> hold(g_TimerLock);
    g_Timers.erase(key);
}

KRSESS_HNDL* TimerKeySession(uintptr_t key) {
    std::lock_guard<std::mutex> hold(g_TimerLock);
    auto it = g_Timers.find(key);
    return it == g_Timers.end() ? nullptr : it->second;
}

}  // namespace

void KrCReqTakeNL(KRSESS_HNDL* s, KRREQ_HNDL* r) {
    KrReqPendRemoveNL(s, r);
    if (r->flags & KRREQ_FLAG_TIMER) {
        KrUntimeout(KrCReqTmo, r->timerKey);
        r->flags &= ~KRREQ_FLAG_TIMER;
    }
    if (r->timerKey) {
        TimerKeyDrop(r->timerKey);
        r->timerKey = 0;
    }
}

namespace {

enum SendResult { kSent = 0, kBadSession = 1, kNotSent = 4 };

// Requests up to this size are sent from a copy with the session lock left.
constexpr uint32_t kTxCopySize = 512;

struct ReqOptions {
    bool timeoutGiven = false, triesGiven = false;
    uint32_t timeout = 0, tries = 0;
};

// Reads the per-request pairs (0x10006, 0x10007); false for a refused value.
bool ReadOptions(KRSESS_HNDL* s, const KRSESS_OPT* options, uint32_t count, ReqOptions* out) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t value = (uint32_t)options[i].value;
        if (options[i].id == KRSESS_OPTID_REQ_TMO) {
            out->timeoutGiven = true;
            out->timeout = value;
        } else if (options[i].id == KRSESS_OPTID_REQ_TRIES) {
            if (value == 0) {
                // No try at all would make the retransmission interval a division by zero.
                KrErrorSet(KRERR_PARAM);
                KR_LOG(KrErr, "KrCReqInternal[0x%x]: request tries must be at least 1.", Tag(s));
                return false;
            }
            out->triesGiven = true;
            out->tries = value;
        }
    }
    return true;
}

int CReqInternal(KRSESS_HNDL* s, uint32_t code, const void* data, uint32_t length, KRCREQ_CBF callback, void* context,
                 const KRSESS_OPT* options, uint32_t count) {
    if (KrSessRefInc(s, KRSESS_CLOSED) != 0) return kBadSession;
    if (s->passive || (!data && length)) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrCReqInternal: Invalid parameters");
        KrSessRefDec(s);
        return kBadSession;
    }
    ReqOptions given;
    if (!ReadOptions(s, options, count, &given)) {
        KrSessRefDec(s);
        return kBadSession;
    }
    KrLockEnter(&s->lock);
    const uint32_t sessionTries = s->options[KRSESS_OPT_REQ_TRIES] ? s->options[KRSESS_OPT_REQ_TRIES] : 1;
    uint32_t timeout = given.timeoutGiven ? given.timeout : s->options[KRSESS_OPT_REQ_TMO];
    uint32_t tries = s->reliable ? 1 : s->options[KRSESS_OPT_REQ_TRIES];
    KrLockLeave(&s->lock);
    if (given.triesGiven) {
        if (s->reliable && given.tries != 1)
            KR_LOG(KrLevelInfo, "KrCReqInternal[0x%x]: request retry count cannot be specified for reliable sessions.",
                   Tag(s));
        else if (!s->reliable)
            tries = given.tries;
    }
    if (tries == 0) tries = 1;
    // The interval divides by the session's tries, not the request's.
    const uint32_t interval = timeout / sessionTries;
    KRREQ_HNDL* r = KrCReqCreate(s, code, static_cast<const uint8_t*>(data), length);
    if (!r) {
        KR_LOG(KrErr, "KrCReqInternal[0x%x]: KrCReqCreate failed; error: %u", Tag(s), KrErrorGet());
        KrSessRefDec(s);
        return kNotSent;
    }
    r->callback = callback;
    r->callbackContext = context;
    int result = kSent;
    KrLockEnter(&s->lock);
    // Everything about the request is settled before it goes out: once sent, its response may
    // complete and free it on the io thread as soon as the session lock is left.
    r->state = KRCREQ_STATE_WAITING;
    r->tries = tries - 1;
    r->interval = interval;
    r->timerKey = TimerKeyNew(s);
    if (KrTimeout(KrCReqTmo, r->timerKey, interval ? interval : 1, 0) == 0) r->flags |= KRREQ_FLAG_TIMER;
    KR_TRACE_EVENT("rq__rqtx", s, r->sequence, code, length, 0);
    // A message that fits the copy goes out with the session lock left, so that the io thread
    // handling its response does not wait for this send to finish; the request itself may be
    // completed and freed from then on, and is found again by its sequence number and its timer
    // key (never reused) only when the send failed.
    uint8_t copy[kTxCopySize];
    const uint32_t txLength = r->txLength, sequence = r->sequence;
    const uintptr_t key = r->timerKey;
    bool sent;
    if (txLength <= sizeof copy) {
        std::memcpy(copy, r->txMessage, txLength);
        KrLockLeave(&s->lock);
        sent = KrSessTx(s, copy, txLength) == 0;
        KrLockEnter(&s->lock);
        if (!sent) {
            KRREQ_HNDL* still = KrReqPendFindNL(s, sequence);
            r = still && still->timerKey == key && still->state == KRCREQ_STATE_WAITING ? still : nullptr;
        }
    } else {
        sent = KrSessTx(s, r->txMessage, txLength) == 0;
    }
    if (sent) {
        KrSessStatAddNL(s, KRSTAT_CREQ, txLength);
    } else if (r) {
        r->state = KRCREQ_STATE_DONE;
        KrCReqTakeNL(s, r);
        result = kNotSent;
    }
    // A request whose send failed but which its timer has meanwhile completed counts as sent: its
    // callback has been called.
    KrLockLeave(&s->lock);
    if (result != kSent) {
        KrErrorSet(KRERR_IO);
        r->state = KRREQ_STATE_BUILDING; // out of every list already
        KrReqRelease(s, r);
    }
    KrSessRefDec(s);
    return result;
}

// The calling thread's lock and event for its synchronous requests, made at its first one and
// kept while the thread lives: a request makes no handles of the platform.
struct SyncWaiter {
    KRLOCK lock;
    KrEvent event;
    SyncWaiter() {
        KrLockInit(&lock, 0);
        KrEventCreate(&event, nullptr);
    }
    ~SyncWaiter() {
        KrEventDestroy(&event);
        KrLockDestroy(&lock);
    }
    SyncWaiter(const SyncWaiter&) = delete;
    SyncWaiter& operator=(const SyncWaiter&) = delete;
};
thread_local SyncWaiter t_SyncWaiter;

struct SyncWait {
    KRLOCK* lock;
    KrEvent* event;
    bool done;
    uint32_t status;
    uint8_t* buffer;
    uint32_t size;
    uint32_t length; // of the response that arrived
};

void SyncDone(KRSESS_HNDL*, uint32_t status, uint8_t* data, uint32_t length, void* context) {
    auto* w = static_cast<SyncWait*>(context);
    KRLOCK* lock = w->lock;
    KrLockEnter(lock);
    uint32_t n = length < w->size ? length : w->size;
    if (n && data && w->buffer) std::memcpy(w->buffer, data, n);
    w->status = length > w->size ? 3u : status;
    w->length = n;
    w->done = true;
    KrEventSignal(w->event);
    KrLockLeave(lock);
}

}  // namespace

// ---- completion ----

void KrSessUpperLayerCReqHndlr(KRSESS_HNDL* session, KRREQ_HNDL* request) {
    if (request->callback) {
        uint8_t* payload = request->rxData ? request->rxData + request->rxOffset : nullptr;
        KrSessSlowCallbackLog(session, (uintptr_t)request, request->code, request->status, request->sequence, "creq", 0);
        ++t_InCallback;
        request->callback(session, request->status, request->rxLength ? payload : nullptr, request->rxLength,
                          request->callbackContext);
        --t_InCallback;
        KrSessSlowCallbackLog(session, (uintptr_t)request, request->code, request->status, request->sequence, "creq", 1);
    }
    request->state = KRREQ_STATE_BUILDING; // out of every list already
    KrReqRelease(session, request);
}

void KrSessSlowCallbackLog(KRSESS_HNDL* session, uintptr_t request, uint32_t code, uint32_t status, uint32_t sequence,
                           const char* kind, int after) {
    uint32_t elapsed = 0;
    if (KrIOThreadBlocked(&elapsed) == 0) return;
    char from[KR_TLADDR_TEXT] = "";
    KrLockEnter(&session->lock);
    KRTLADDRtostr(&session->remoteAddr, from);
    KrLockLeave(&session->lock);
    KR_LOG(KrErr, "KrSessUpperLayerSReqHndlr[0x%x]: %ums. delay on %s processing of %s[0x%x] code %u status %u seq %u from %s",
           Tag(session), elapsed, after ? "ULP" : "internal", kind, (unsigned)request, code, status, sequence, from);
}

void KrSessCallbackEnter(void) { ++t_InCallback; }
void KrSessCallbackLeave(void) { --t_InCallback; }

// ---- the retransmission timer ----

void KrCReqTmo(uintptr_t key) {
    KRSESS_HNDL* s = TimerKeySession(key);
    if (!s || KrSessRefInc(s, KRSESS_DESTROYED) != 0) return;
    KrLockEnter(&s->lock);
    KRREQ_HNDL* r = KrReqPendFirstNL(s);
    for (uint32_t i = 0, n = KrReqPendCountNL(s); r && i < n && r->timerKey != key; ++i) r = r->next;
    if (!r || r->timerKey != key || r->state != KRCREQ_STATE_WAITING) {
        KrLockLeave(&s->lock);
        KrSessRefDec(s);
        return;
    }
    r->flags &= ~KRREQ_FLAG_TIMER; // this one-shot has fired
    bool complete = true;
    if (r->tries > 0) {
        --r->tries;
        if (KrSessTx(s, r->txMessage, r->txLength) == 0) {
            KrSessStatAddNL(s, KRSTAT_CREQ_RETX, r->txLength);
            if (KrTimeout(KrCReqTmo, key, r->interval ? r->interval : 1, 0) == 0) r->flags |= KRREQ_FLAG_TIMER;
            complete = false;
        } else {
            KR_LOG(KrWarning, "KrCReqTmo[0x%x]: Failed to re-transmit request.", Tag(s));
            r->status = 8;
            r->state = KRCREQ_STATE_DONE;
        }
    } else {
        r->status = 13;
        r->state = KRCREQ_STATE_ENDED;
        KrSessStatAddNL(s, KRSTAT_CREQ_TMO, 0);
    }
    if (complete) KrCReqTakeNL(s, r);
    KrLockLeave(&s->lock);
    if (complete) KrSessUpperLayerCReqHndlr(s, r);
    KrSessRefDec(s);
}

// ---- received responses ----

// Session lock not held; the session is held by the caller.
void KrSessResponseHndlr(KRSESS_HNDL* s, const KRMUX_RX* packet) {
    const uint32_t bytes = packet->headerLen + packet->bodyLen;
    KrLockEnter(&s->lock);
    const uint32_t reference = s->txSequence - 1;
    const uint32_t seq = KrSeqNormalize(reference, (uint16_t)packet->hdr.sequence);
    if (!KrSeqInWindow(reference, seq)) {
        KrSessStatAddNL(s, KRSTAT_CRESP_DROP, bytes);
        KrLockLeave(&s->lock);
        KR_LOG(KrWarning, "KrRespHndlr[0x%x]: sequence number %u normalized to %u - out of window %u.", Tag(s),
               packet->hdr.sequence, seq, reference);
        KrErrorSet(KRERR_SEQUENCE);
        return;
    }
    KRREQ_HNDL* r = KrReqPendFindNL(s, seq);
    if (!r || r->state != KRCREQ_STATE_WAITING) {
        KrSessStatAddNL(s, KRSTAT_CRESP_DROP, bytes);
        KrLockLeave(&s->lock);
        if (!r) KR_LOG(KrLevelDebug, "KrRespHndlr[0x%x]: Received response for unknown request seq: %u.", Tag(s), seq);
        return;
    }
    // The check comes first: a response that fails it leaves the request waiting, its timer and
    // tries untouched.
    const int ctLen = KrCTHdrPackedLen(packet->header[0]);
    const uint32_t lead = (uint32_t)((4 - ctLen % 4) % 4);
    const uint32_t size = lead + packet->bodyLen + 4;
    uint8_t* buffer = KrReqMsgAlloc(size);
    KRHDR header{};
    if (!buffer || ctLen < 0 ||
        KrReqCTMsgDecrypt(KrReqCryptLow(r->crypt), packet->header, packet->body, packet->bodyLen, &header,
                          buffer + lead, size - lead) != 0 ||
        header.sequence != (seq & 0xFFFF)) {
        KrSessStatAddNL(s, KRSTAT_CRESP_BAD, bytes);
        KrSessStatAddNL(s, KRSTAT_CRESP_DROP, bytes);
        KrLockLeave(&s->lock);
        if (buffer) KrReqMsgFree(buffer);
        return;
    }
    r->state = KRCREQ_STATE_ANSWERED;
    KrCReqTakeNL(s, r);
    r->rxData = buffer;
    r->rxOffset = lead + (uint32_t)ctLen;
    r->rxLength = header.length;
    r->status = header.code;
    r->state = KRCREQ_STATE_DONE;
    KrSessStatAddNL(s, KRSTAT_CRESP, bytes);
    KrSessMarkReqRxNL(s);
    KR_TRACE_EVENT("rq__rehd", s, seq, header.code, header.length, 0);
    KrLockLeave(&s->lock);
    KrSessUpperLayerCReqHndlr(s, r);
}

// ---- the exported calls ----

LOBBEX_API int KrCReq(KRSESS_HNDL* session, uint32_t code, const void* data, uint32_t length, KRCREQ_CBF callback,
                      void* context) {
    return CReqInternal(session, code, data, length, callback, context, nullptr, 0) == kSent ? 0 : 1;
}

LOBBEX_API int KrCReqEx(KRSESS_HNDL* session, uint32_t code, const void* data, uint32_t length, KRCREQ_CBF callback,
                        void* context, ...) {
    KRSESS_OPT pairs[KRSESS_MAX_OPT_PAIRS];
    va_list args;
    va_start(args, context);
    int n = KrSessOptPairsRead(args, pairs);
    va_end(args);
    if (n < 0) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrCReqEx[0x%x]: Called specified an absurd number of optional parameters.Possibly missing terminator.",
               Tag(session));
        return 1;
    }
    return CReqInternal(session, code, data, length, callback, context, pairs, (uint32_t)n) == kSent ? 0 : 1;
}

int KrCReqV(KRSESS_HNDL* session, uint32_t code, const void* data, uint32_t length, KRCREQ_CBF callback, void* context,
            const KRSESS_OPT* options, uint32_t count) {
    return CReqInternal(session, code, data, length, callback, context, options, count) == kSent ? 0 : 1;
}

LOBBEX_API uint32_t KrCReqSync(KRSESS_HNDL* session, uint32_t code, const void* data, uint32_t length, void* response,
                               uint32_t responseSize) {
    return KrCReqSyncLen(session, code, data, length, response, responseSize, nullptr);
}

uint32_t KrCReqSyncLen(KRSESS_HNDL* session, uint32_t code, const void* data, uint32_t length, void* response,
                       uint32_t responseSize, uint32_t* responseLength) {
    if (responseLength) *responseLength = 0;
    if (t_InCallback) {
        // Its completion would need the thread this call would block.
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrCReqSync[0x%x]: called from within a callback of the library; refused.", Tag(session));
        return 4;
    }
    SyncWaiter& waiter = t_SyncWaiter;
    SyncWait w{};
    w.lock = &waiter.lock;
    w.event = &waiter.event;
    w.buffer = static_cast<uint8_t*>(response);
    w.size = response ? responseSize : 0;
    int sent = CReqInternal(session, code, data, length, SyncDone, &w, nullptr, 0);
    uint32_t status = (uint32_t)sent;
    if (sent == kSent) {
        // The completion leaves the lock last of all: once it is taken here with `done` set, the
        // record is no longer used by anyone.
        KrLockEnter(w.lock);
        while (!w.done) KrEventWait(w.event, w.lock, nullptr);
        status = w.status;
        if (responseLength) *responseLength = w.length;
        KrLockLeave(w.lock);
    }
    return status;
}

LOBBEX_API int KrCReqNoResp(KRSESS_HNDL* session, uint32_t code, const void* data, uint32_t length) {
    if (KrSessRefInc(session, KRSESS_CLOSED) != 0 ) {
        KR_LOG(KrErr, "KrCReqNoResp: Invalid parameters");
        return 1;
    }
    if (session->passive || (!data && length)) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrCReqNoResp: Invalid parameters");
        KrSessRefDec(session);
        return 1;
    }
    KRREQ_HNDL* r = KrCReqCreate(session, code, static_cast<const uint8_t*>(data), length);
    if (!r) {
        KR_LOG(KrErr, "KrCReqNoResp[0x%x]: Unable to allocate request handle.", Tag(session));
        KrSessRefDec(session);
        return 1;
    }
    KR_TRACE_EVENT("rq__notx", session, r->sequence, code, length, 0);
    KrLockEnter(&session->lock);
    KrReqPendRemoveNL(session, r);
    r->state = KRREQ_STATE_BUILDING;
    int failed = KrSessTx(session, r->txMessage, r->txLength);
    if (!failed) KrSessStatAddNL(session, KRSTAT_NORESP, r->txLength);
    KrLockLeave(&session->lock);
    KrReqRelease(session, r);
    KrSessRefDec(session);
    return failed ? 1 : 0;
}
