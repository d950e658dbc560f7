// Session crypt handles (see krrq_key.h): the module's handle heap, making and freeing handles,
// and the newest-first list of a session's data handles with its reference counting and the
// receive search over it.
#include <atomic>
#include <cinttypes>

#include "krerrno.h"
#include "krheap.h"
#include "krlog.h"
#include "krrq_key.h"
#include "krrq_sess.h"
#include "krrq_seq.h"

namespace {

constexpr char kKrModule[] = "krrq_crypt";

std::atomic<KRHEAP*> g_CryptHeap{nullptr};

// The window of every session crypt handle's low-level handle: the whole sequence space.
constexpr uint32_t kCryptWindow = 0xFFFFFFFF;

bool Usable(const KRREQ_CRYPT_HNDL* h) { return h->state >= KRREQ_CRYPT_RETIRED; }

// A session crypt handle and its low-level handle, in one block of the module's heap.
struct CryptBlock {
    KRREQ_CRYPT_HNDL handle; // first: a handle's address is its block's
    KRCRYPT_HNDL low;
};

}  // namespace

// ---- the handle heap ----

int KrReqCryptHndlHeapInit(void) {
    if (g_CryptHeap.load()) return 0;
    KRHEAP* heap = KrHeapCreate("KrReqCryptHndlHeap");
    if (!heap) {
        KR_LOG(KrAlert, "KrReqCryptHndlHeapInit: Couldn't create RR Handle Heap.");
        return 1;
    }
    g_CryptHeap.store(heap);
    return 0;
}

void KrReqCryptHndlHeapDestroy(void) {
    KRHEAP* heap = g_CryptHeap.exchange(nullptr);
    if (heap) KrHeapDestroy(heap);
}

uint32_t KrReqCryptHndlCount(void) {
    KRHEAP* heap = g_CryptHeap.load();
    return heap ? KrHeapCount(heap) : 0;
}

// ---- handles ----

KRREQ_CRYPT_HNDL* KrReqCryptHndlAlloc(const KRCRYPT_KEY* key) {
    if (!key) {
        KrErrorSet(KRERR_PARAM);
        return nullptr;
    }
    uint32_t blockSize;
    switch (key->type) {
    case KRCRYPT_KEY_NONE:
    case KRCRYPT_KEY_PAD:
        blockSize = 1;
        break;
    case KRCRYPT_KEY_IDEA:
        blockSize = 8;
        break;
    default:
        KrErrorSet(KRERR_NO_MEMORY);
        KR_LOG(KrErr, "KrReqCryptHndlAlloc: Unknown key type %d.", (int)key->type);
        return nullptr;
    }
    // The low-level handle lives in the same heap block, so that the heap's destruction at the
    // module's last cleanup takes along whatever sessions were still open.
    KRHEAP* heap = g_CryptHeap.load();
    CryptBlock* block = heap ? static_cast<CryptBlock*>(KrHeapAlloc(heap, sizeof(CryptBlock))) : nullptr;
    if (!block) {
        KrErrorSet(KRERR_NO_MEMORY);
        return nullptr;
    }
    KRCRYPT_HNDL* made = crypt_alloc(kCryptWindow);
    if (!made) {
        KrErrorSet(KRERR_PARAM);
        KrHeapFree(heap, block);
        return nullptr;
    }
    block->low = *made;
    crypt_free(made);
    KRREQ_CRYPT_HNDL* h = &block->handle;
    h->crypt = &block->low;
    if (!crypt_set_key(h->crypt, key, 0)) {
        KrErrorSet(KRERR_PARAM);
        KrHeapFree(heap, block);
        return nullptr;
    }
    h->state = KRREQ_CRYPT_NEW;
    h->blockSize = blockSize;
    return h;
}

void KrReqCryptHndlFree(KRREQ_CRYPT_HNDL* handle) {
    if (!handle) {
        KR_LOG(KrCrit, "KrReqCryptHndlFree: Attempt to free null KrReq encryption Handle.");
        return;
    }
    KRHEAP* heap = g_CryptHeap.load();
    if (heap) KrHeapFree(heap, reinterpret_cast<CryptBlock*>(handle));
}

// ---- a session's data handles ----

void KrSessCryptInsertNL(KRSESS_HNDL* session, KRREQ_CRYPT_HNDL* h) {
    KR_PRECONDITION(!h->inList);
    if (h->inList) return;
    KRREQ_CRYPT_HNDL* head = session->dataCrypt;
    if (!head) {
        h->next = h->prev = h;
    } else {
        KRREQ_CRYPT_HNDL* tail = head->prev;
        h->next = head;
        h->prev = tail;
        tail->next = h;
        head->prev = h;
    }
    session->dataCrypt = h;
    h->inList = 1;
    ++session->dataCryptCount;
}

void KrSessCryptRemoveNL(KRSESS_HNDL* session, KRREQ_CRYPT_HNDL* h) {
    if (!h->inList) return;
    if (h->next == h) {
        session->dataCrypt = nullptr;
    } else {
        h->prev->next = h->next;
        h->next->prev = h->prev;
        if (session->dataCrypt == h) session->dataCrypt = h->next;
    }
    h->next = h->prev = nullptr;
    h->inList = 0;
    --session->dataCryptCount;
}

uint32_t KrSessCryptCount(KRSESS_HNDL* session) {
    KrLockEnter(&session->lock);
    const uint32_t n = session->dataCryptCount;
    KrLockLeave(&session->lock);
    return n;
}

KRREQ_CRYPT_HNDL* KrSessCryptHead(KRSESS_HNDL* session) {
    KrLockEnter(&session->lock);
    KRREQ_CRYPT_HNDL* h = session->dataCrypt;
    KrLockLeave(&session->lock);
    return h;
}

int KrReqCryptRefNL(KRREQ_CRYPT_HNDL* h) {
    KR_PRECONDITION(h && Usable(h));
    if (!h || !Usable(h)) return 0;
    ++h->references;
    return 1;
}

int KrSessCryptDestroyNL(KRSESS_HNDL* session, KRREQ_CRYPT_HNDL* h) {
    if (h->references != 0 || h->state == KRREQ_CRYPT_ACTIVE) return 0;
    h->state = KRREQ_CRYPT_DESTROYING;
    if (session) KrSessCryptRemoveNL(session, h);
    KrReqCryptHndlFree(h);
    return 1;
}

int KrSessCryptDerefNL(KRSESS_HNDL* session, KRREQ_CRYPT_HNDL* h) {
    KR_PRECONDITION(h && h->references > 0);
    if (!h || h->references == 0) return 0;
    --h->references;
    if (h->references == 0 && h->state == KRREQ_CRYPT_RETIRED) return KrSessCryptDestroyNL(session, h);
    return 0;
}

int KrSessCryptRetireNL(KRSESS_HNDL* session, KRREQ_CRYPT_HNDL* h, uint32_t lastSeq) {
    h->state = KRREQ_CRYPT_RETIRED;
    h->lastSeq = lastSeq;
    return KrSessCryptDerefNL(session, h); // the list's reference goes with the retirement
}

KRREQ_CRYPT_HNDL* KrSessCryptNextCandidateNL(KRSESS_HNDL* session, const KRREQ_CRYPT_HNDL* after, uint32_t sequence,
                                             uint32_t reference) {
    KRREQ_CRYPT_HNDL* head = session->dataCrypt;
    if (!head) return nullptr;
    KRREQ_CRYPT_HNDL* h;
    if (!after) {
        // The newest handle that is not waiting for its ack.
        h = head;
        for (uint32_t i = 0; i < session->dataCryptCount && h->state == KRREQ_CRYPT_WAITING; ++i) h = h->next;
        if (h->state == KRREQ_CRYPT_WAITING) return nullptr;
    } else {
        if (!after->inList || after->next == head) return nullptr;
        h = after->next;
    }
    for (;;) {
        if (h->state == KRREQ_CRYPT_ACTIVE) return h;
        if (h->state == KRREQ_CRYPT_RETIRED && KrSeqInWindow(reference, h->lastSeq) &&
            KrSeqInWindow(reference, sequence) && KrSeqNewerOrEqual(reference, h->lastSeq, sequence))
            return h;
        if (h->next == head) return nullptr;
        h = h->next;
    }
}

