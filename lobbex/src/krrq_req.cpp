// Request handles: the module's two private heaps (request handles and the "Parameter List
// Heap" of message buffers), handle and buffer allocation, client request creation, release,
// and the session's pending and zombie lists (see krrq_req.h).
#include <atomic>
#include <cinttypes>
#include <mutex>

#include "krerrno.h"
#include "krheap.h"
#include "krlog.h"
#include "krrq_req.h"
#include "krtmo.h"

namespace {

constexpr char kKrModule[] = "krrq_req";

std::atomic<KRHEAP*> g_ReqHndlHeap{nullptr};
std::atomic<KRHEAP*> g_ReqMsgHeap{nullptr};
std::mutex g_ReqInitLock;
int g_ReqInitCount = 0;

void ListAppend(KRREQ_LIST* list, KRREQ_HNDL* r) {
    if (!list->head) {
        r->next = r->prev = r;
        list->head = r;
    } else {
        KRREQ_HNDL* tail = list->head->prev;
        r->prev = tail;
        r->next = list->head;
        tail->next = r;
        list->head->prev = r;
    }
    ++list->count;
}

// After `at`, or first when `at` is null.
void ListInsertAfter(KRREQ_LIST* list, KRREQ_HNDL* at, KRREQ_HNDL* r) {
    if (!at) {
        ListAppend(list, r);
        list->head = r; // appended at the tail, which in a ring is just before the head
        return;
    }
    r->prev = at;
    r->next = at->next;
    at->next->prev = r;
    at->next = r;
    ++list->count;
}

void ListRemove(KRREQ_LIST* list, KRREQ_HNDL* r) {
    if (!r->next) return; // in no list
    if (r->next == r) {
        list->head = nullptr;
    } else {
        r->prev->next = r->next;
        r->next->prev = r->prev;
        if (list->head == r) list->head = r->next;
    }
    r->next = r->prev = nullptr;
    --list->count;
}

KRREQ_HNDL* ListFind(const KRREQ_LIST* list, uint32_t sequence) {
    KRREQ_HNDL* r = list->head;
    for (uint32_t i = 0; r && i < list->count; ++i, r = r->next) {
        if (r->sequence == sequence) return r;
    }
    return nullptr;
}

// Sequence order that survives the 32-bit counter's wrap.
bool After(uint32_t a, uint32_t b) { return (int32_t)(a - b) > 0; }

class SessionLock {
public:
    explicit SessionLock(KRSESS_HNDL* session) : lock_(KrSessLockOf(session)) { KrLockEnter(lock_); }
    ~SessionLock() { KrLockLeave(lock_); }
    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;

private:
    KRLOCK* lock_;
};

}  // namespace

void KrReqListAppend(KRREQ_LIST* list, KRREQ_HNDL* request) { ListAppend(list, request); }
void KrReqListRemove(KRREQ_LIST* list, KRREQ_HNDL* request) { ListRemove(list, request); }

// ---- heaps ----

int KrReqHndlHeapInit(void) {
    KRHEAP* heap = KrHeapCreate("krrq request handles");
    if (!heap) {
        KR_LOG(KrAlert, "KrReqHndlHeapInit: Couldn't create RR Handle Heap.");
        return 1;
    }
    g_ReqHndlHeap.store(heap);
    return 0;
}

void KrReqHndlHeapDestroy(void) { KrHeapDestroy(g_ReqHndlHeap.exchange(nullptr)); }

int KrReqMsgHeapInit(void) {
    KRHEAP* heap = KrHeapCreate("Parameter List Heap");
    if (!heap) {
        KR_LOG(KrAlert, "KrReqMsgHeapInit: Couldn't create Parameter List Heap.");
        return 1;
    }
    g_ReqMsgHeap.store(heap);
    return 0;
}

void KrReqMsgHeapDestroy(void) { KrHeapDestroy(g_ReqMsgHeap.exchange(nullptr)); }

int KrReqModuleInit(void) {
    std::lock_guard<std::mutex> hold(g_ReqInitLock);
    if (g_ReqInitCount == 0) {
        if (KrReqHndlHeapInit() != 0) return 1;
        if (KrReqMsgHeapInit() != 0) {
            KrReqHndlHeapDestroy();
            return 1;
        }
    }
    ++g_ReqInitCount;
    return 0;
}

void KrReqModuleCleanup(void) {
    std::lock_guard<std::mutex> hold(g_ReqInitLock);
    if (g_ReqInitCount == 0 || --g_ReqInitCount > 0) return;
    KrReqMsgHeapDestroy();
    KrReqHndlHeapDestroy();
}

uint32_t KrReqHndlCount(void) { return KrHeapCount(g_ReqHndlHeap.load()); }
uint32_t KrReqMsgCount(void) { return KrHeapCount(g_ReqMsgHeap.load()); }

KRREQ_HNDL* KrReqHndlAlloc(KRSESS_HNDL* session, uintptr_t context) {
    KRREQ_HNDL* handle = static_cast<KRREQ_HNDL*>(KrHeapAlloc(g_ReqHndlHeap.load(), sizeof(KRREQ_HNDL)));
    if (!handle) {
        KrErrorSet(KRERR_NO_MEMORY);
        return nullptr;
    }
    handle->session = session;
    handle->context = context;
    return handle;
}

void KrReqHndlFree(KRREQ_HNDL* handle) {
    if (!handle) KR_LOG(KrCrit, "KrReqHndlFree: Attempt to free null Kr Request/Response Handle.");
    KrHeapFree(g_ReqHndlHeap.load(), handle);
}

uint8_t* KrReqMsgAlloc(uint32_t size) {
    uint8_t* buffer = static_cast<uint8_t*>(KrHeapAlloc(g_ReqMsgHeap.load(), size));
    if (!buffer) KrErrorSet(KRERR_NO_MEMORY);
    return buffer;
}

void KrReqMsgFree(uint8_t* buffer) {
    if (!buffer) KR_LOG(KrCrit, "KrReqMsgFree: Attempt to free null reques message buffer.");
    KrHeapFree(g_ReqMsgHeap.load(), buffer);
}

// ---- client requests ----

KRREQ_HNDL* KrCReqCreate(KRSESS_HNDL* session, uint32_t code, const uint8_t* payload, uint32_t length) {
    KRREQ_HNDL* request = KrReqHndlAlloc(session, 0);
    if (!request) {
        KR_LOG(KrErr, "KrCReqCreate[0x%" PRIxPTR "]: Unable to allocate request handle.", (uintptr_t)session);
        return nullptr;
    }
    request->state = KRREQ_STATE_BUILDING;
    request->code = code;
    {
        SessionLock hold(session);
        request->sequence = KrSessNextTxSeq(session);
        request->crypt = KrSessDataCryptRef(session);
    }
    KRHDR header = {};
    header.kind = KRHDR_KIND_REQUEST;
    header.id = KrSessPeerId(session);
    header.length = length;
    header.flag = 0;
    header.code = code;
    int failed = 1;
    if (request->crypt) {
        failed = KrReqCTMsgAlloc(KrReqCryptLow(request->crypt), request->sequence, &header, payload,
                                 &request->txMessage, &request->txLength);
    } else {
        KrErrorSet(KRERR_PARAM); // the session has no data key
    }
    if (failed) {
        KR_LOG(KrErr, "KrCReqCreate[0x%" PRIxPTR "]: Unable to build transmit response message; error %d.",
               (uintptr_t)session, (int)KrErrorGet());
        KrReqRelease(session, request);
        return nullptr;
    }
    request->state = KRREQ_STATE_PENDING;
    KrReqPendAppend(session, request);
    return request;
}

void KrReqRelease(KRSESS_HNDL* session, KRREQ_HNDL* request) {
    if (!request) return;
    if (request->state != KRREQ_STATE_BUILDING) KrReqPendRemove(session, request);
    if (request->flags & KRREQ_FLAG_TIMER) {
        KrUntimeout(KrCReqTmo, (uintptr_t)request);
        request->flags &= ~KRREQ_FLAG_TIMER;
    }
    if (request->txMessage) KrReqMsgFree(request->txMessage);
    if (request->rxData) KrReqMsgFree(request->rxData);
    if (request->crypt) KrReqCryptDeref(session, request->crypt);
    KrReqHndlFree(request);
}

// ---- the session's lists ----

void KrReqPendAppendNL(KRSESS_HNDL* session, KRREQ_HNDL* request) {
    ListAppend(&KrSessReqQueues(session)->pending, request);
}
void KrReqPendAppend(KRSESS_HNDL* session, KRREQ_HNDL* request) {
    SessionLock hold(session);
    KrReqPendAppendNL(session, request);
}

void KrReqPendRemoveNL(KRSESS_HNDL* session, KRREQ_HNDL* request) {
    ListRemove(&KrSessReqQueues(session)->pending, request);
}
void KrReqPendRemove(KRSESS_HNDL* session, KRREQ_HNDL* request) {
    SessionLock hold(session);
    KrReqPendRemoveNL(session, request);
}

uint32_t KrReqPendCountNL(KRSESS_HNDL* session) { return KrSessReqQueues(session)->pending.count; }
uint32_t KrReqPendCount(KRSESS_HNDL* session) {
    SessionLock hold(session);
    return KrReqPendCountNL(session);
}

KRREQ_HNDL* KrReqPendFirstNL(KRSESS_HNDL* session) { return KrSessReqQueues(session)->pending.head; }
KRREQ_HNDL* KrReqPendFirst(KRSESS_HNDL* session) {
    SessionLock hold(session);
    return KrReqPendFirstNL(session);
}

KRREQ_HNDL* KrReqPendFindNL(KRSESS_HNDL* session, uint32_t sequence) {
    return ListFind(&KrSessReqQueues(session)->pending, sequence);
}
KRREQ_HNDL* KrReqPendFind(KRSESS_HNDL* session, uint32_t sequence) {
    SessionLock hold(session);
    return KrReqPendFindNL(session, sequence);
}

void KrReqZombieInsertNL(KRSESS_HNDL* session, KRREQ_HNDL* request) {
    // From the newest end back to the first zombie that is not after it.
    KRREQ_LIST* list = &KrSessReqQueues(session)->zombies;
    KRREQ_HNDL* at = list->head ? list->head->prev : nullptr;
    for (uint32_t i = 0; at && i < list->count && After(at->sequence, request->sequence); ++i) {
        at = at == list->head ? nullptr : at->prev;
    }
    ListInsertAfter(list, at, request);
}
void KrReqZombieInsert(KRSESS_HNDL* session, KRREQ_HNDL* request) {
    SessionLock hold(session);
    KrReqZombieInsertNL(session, request);
}

KRREQ_HNDL* KrReqZombieFindNL(KRSESS_HNDL* session, uint32_t sequence) {
    return ListFind(&KrSessReqQueues(session)->zombies, sequence);
}
KRREQ_HNDL* KrReqZombieFind(KRSESS_HNDL* session, uint32_t sequence) {
    SessionLock hold(session);
    return KrReqZombieFindNL(session, sequence);
}

void KrReqZombieRemoveNL(KRSESS_HNDL* session, KRREQ_HNDL* request) {
    ListRemove(&KrSessReqQueues(session)->zombies, request);
}
void KrReqZombieRemove(KRSESS_HNDL* session, KRREQ_HNDL* request) {
    SessionLock hold(session);
    KrReqZombieRemoveNL(session, request);
}
