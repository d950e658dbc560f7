// The session keys module's start and stop and a session's keys over its life (see krrq_key.h and
// krrq_sess.h): the shared plain-text handle of connect, ack, disconnect, heartbeat and option
// messages, a new session's plain-text control and data handles, the newest data handle that a
// client request is built under, the handle that decrypts a received request, the references
// requests hold, and the cleanup when the session is destroyed.
#include <atomic>
#include <cinttypes>
#include <mutex>

#include "krerrno.h"
#include "krlog.h"
#include "krrq_key.h"
#include "krrq_sess.h"

namespace {

constexpr char kKrModule[] = "krrq_crypt";

std::atomic<KRCRYPT_HNDL*> g_PlainText{nullptr};
std::mutex g_CryptInitLock;
int g_CryptInitCount = 0;

unsigned Tag(const void* p) { return (unsigned)(uintptr_t)p; }

}  // namespace

// ---- the module ----

int KrReqCryptModuleInit(void) {
    std::lock_guard<std::mutex> hold(g_CryptInitLock);
    if (g_CryptInitCount == 0) {
        if (KrReqCryptHndlHeapInit() != 0) return 1;
        KRCRYPT_HNDL* plain = crypt_alloc(0xFFFFFFFF);
        const KRCRYPT_KEY none = {KRCRYPT_KEY_NONE, {}};
        if (!plain || !crypt_set_key(plain, &none, 0)) {
            KR_LOG(KrAlert, "KrModuleInit: Failed to create plaintext encryption handle.");
            if (plain) crypt_free(plain);
            KrReqCryptHndlHeapDestroy();
            return 1;
        }
        g_PlainText.store(plain);
    }
    ++g_CryptInitCount;
    return 0;
}

void KrReqCryptModuleCleanup(void) {
    std::lock_guard<std::mutex> hold(g_CryptInitLock);
    if (g_CryptInitCount == 0 || --g_CryptInitCount > 0) return;
    KRCRYPT_HNDL* plain = g_PlainText.exchange(nullptr);
    if (plain) crypt_free(plain);
    KrReqCryptHndlHeapDestroy();
}

KRCRYPT_HNDL* KrReqCryptPlainText(void) { return g_PlainText.load(); }

// ---- a session's keys from its start to its end ----

int KrSessCryptInit(KRSESS_HNDL* session) {
    const KRCRYPT_KEY none = {KRCRYPT_KEY_NONE, {}};
    KRREQ_CRYPT_HNDL* control = KrReqCryptHndlAlloc(&none);
    if (!control) {
        const uint32_t error = KrErrorGet();
        KR_LOG(KrErr, "KrSessActiveInit[0x%x]: Failed to allocate plain-text control encryption handle: error %d.",
               Tag(session), (int)error);
        KrErrorSet(error);
        return 1;
    }
    KRREQ_CRYPT_HNDL* data = KrReqCryptHndlAlloc(&none);
    if (!data) {
        const uint32_t error = KrErrorGet();
        KR_LOG(KrErr, "KrSessActiveInit[0x%x]: Failed to allocate plain-text data encryption handle: error %d.",
               Tag(session), (int)error);
        KrReqCryptHndlFree(control);
        KrErrorSet(error);
        return 1;
    }
    control->state = KRREQ_CRYPT_ACTIVE;
    data->state = KRREQ_CRYPT_ACTIVE;
    data->references = 1; // the list's
    KrLockEnter(&session->lock);
    session->cntlCrypt = control;
    KrSessCryptInsertNL(session, data);
    KrLockLeave(&session->lock);
    return 0;
}

void KrSessCryptCleanup(KRSESS_HNDL* session) {
    KrLockEnter(&session->lock);
    if (session->cntlCrypt) KrReqCryptHndlFree(session->cntlCrypt);
    session->cntlCrypt = nullptr;
    // Every handle is retired and the list's reference dropped; a handle that a request still
    // holds leaves the list and goes with that request's last reference.
    while (KRREQ_CRYPT_HNDL* h = session->dataCrypt) {
        if (h->state != KRREQ_CRYPT_RETIRED) {
            h->state = KRREQ_CRYPT_RETIRED;
            if (h->references > 0) --h->references; // the list's own
        }
        if (h->references == 0) {
            KrSessCryptDestroyNL(session, h);
        } else {
            KR_LOG(KrWarning, "KrSessActiveCleanup[0x%x]: data key 0x%x still held by %u requests.", Tag(session),
                   Tag(h), h->references);
            KrSessCryptRemoveNL(session, h);
        }
    }
    KrLockLeave(&session->lock);
}

// ---- what requests use ----

KRREQ_CRYPT_HNDL* KrSessDataCryptRef(KRSESS_HNDL* session) {
    KRREQ_CRYPT_HNDL* h = session->dataCrypt;
    if (!h || !KrReqCryptRefNL(h)) return nullptr;
    return h;
}

KRCRYPT_HNDL* KrReqCryptLow(KRREQ_CRYPT_HNDL* handle) { return handle ? handle->crypt : nullptr; }

void KrReqCryptDeref(KRSESS_HNDL* session, KRREQ_CRYPT_HNDL* handle) {
    if (!handle) return;
    KrLockEnter(&session->lock);
    KrSessCryptDerefNL(session, handle);
    KrLockLeave(&session->lock);
}

// The references that requests (and a key change under way) hold: the list's own is not counted.
uint32_t KrReqCryptRefCount(const KRREQ_CRYPT_HNDL* handle) {
    if (!handle) return 0;
    const uint32_t listed = handle->inList && handle->state > KRREQ_CRYPT_RETIRED ? 1 : 0;
    return handle->references - listed;
}

KRREQ_CRYPT_HNDL* KrSessDataCryptDecrypt(KRSESS_HNDL* session, uint32_t sequence, const uint8_t* plainText,
                                         const uint8_t* body, uint32_t bodyLength, KRHDR* header, uint8_t* out,
                                         uint32_t outSize) {
    for (KRREQ_CRYPT_HNDL* h = KrSessCryptNextCandidateNL(session, nullptr, sequence, session->rxNewest); h;
         h = KrSessCryptNextCandidateNL(session, h, sequence, session->rxNewest)) {
        if (KrReqCTMsgDecrypt(h->crypt, plainText, body, bodyLength, header, out, outSize) == 0) {
            KrReqCryptRefNL(h);
            return h;
        }
    }
    return nullptr;
}
