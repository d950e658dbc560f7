// Stand-in for the session keys until krrq_key*.cpp builds them: the shared plain-text handle, a
// session's control handle and one data handle (a key set without negotiation replaces it; the
// replaced one lives on while requests hold it), the receive search over the data handles, and
// the key calls. No data-key change is negotiated: codes 7 and 8 are dropped with a log line.
// Every definition is weak, so the real module's definitions take their place at link time; the
// change that builds that module deletes this file.
#include <cstdlib>
#include <mutex>

#include "krerrno.h"
#include "krlog.h"
#include "krrq_sess.h"

#define KR_STAND_IN __attribute__((weak))

namespace {

constexpr char kKrModule[] = "krrq_crypt";

struct StubCrypt {
    StubCrypt* next; // older handles
    KRCRYPT_HNDL* crypt;
    uint32_t refs;
    uint32_t active;
};

std::mutex g_Lock;
uint32_t g_Count = 0;
KRCRYPT_HNDL* g_PlainText = nullptr;

StubCrypt* Of(KRREQ_CRYPT_HNDL* handle) { return reinterpret_cast<StubCrypt*>(handle); }
KRREQ_CRYPT_HNDL* As(StubCrypt* handle) { return reinterpret_cast<KRREQ_CRYPT_HNDL*>(handle); }

StubCrypt* Make(const KRCRYPT_KEY* key) {
    if (!key || key->type < KRCRYPT_KEY_NONE || key->type > KRCRYPT_KEY_PAD) {
        KrErrorSet(KRERR_NO_MEMORY);
        return nullptr;
    }
    auto* h = static_cast<StubCrypt*>(calloc(1, sizeof(StubCrypt)));
    if (!h) return nullptr;
    h->crypt = crypt_alloc(0xFFFFFFFF);
    if (!h->crypt || !crypt_set_key(h->crypt, key, 0)) {
        if (h->crypt) crypt_free(h->crypt);
        free(h);
        KrErrorSet(KRERR_PARAM);
        return nullptr;
    }
    return h;
}

void Free(StubCrypt* h) {
    if (!h) return;
    crypt_free(h->crypt);
    free(h);
}

// Frees the retired handles no request holds. Session lock held.
void Collect(KRSESS_HNDL* session) {
    StubCrypt* head = Of(session->dataCrypt);
    if (!head) return;
    for (StubCrypt** at = &head->next; *at;) {
        StubCrypt* h = *at;
        if (h->refs == 0) {
            *at = h->next;
            Free(h);
            --session->dataCryptCount;
        } else {
            at = &h->next;
        }
    }
}

}  // namespace

KR_STAND_IN int KrReqCryptModuleInit(void) {
    std::lock_guard<std::mutex> hold(g_Lock);
    if (g_Count == 0) {
        g_PlainText = crypt_alloc(0xFFFFFFFF);
        KRCRYPT_KEY none{KRCRYPT_KEY_NONE, {}};
        if (!g_PlainText || !crypt_set_key(g_PlainText, &none, 0)) {
            KR_LOG(KrErr, "KrModuleInit: Failed to create plaintext encryption handle.");
            if (g_PlainText) crypt_free(g_PlainText);
            g_PlainText = nullptr;
            return 1;
        }
    }
    ++g_Count;
    return 0;
}

KR_STAND_IN void KrReqCryptModuleCleanup(void) {
    std::lock_guard<std::mutex> hold(g_Lock);
    if (g_Count == 0 || --g_Count > 0) return;
    crypt_free(g_PlainText);
    g_PlainText = nullptr;
}

KR_STAND_IN KRCRYPT_HNDL* KrReqCryptPlainText(void) {
    std::lock_guard<std::mutex> hold(g_Lock);
    return g_PlainText;
}

KR_STAND_IN int KrSessCryptInit(KRSESS_HNDL* session) {
    KRCRYPT_KEY none{KRCRYPT_KEY_NONE, {}};
    StubCrypt* control = Make(&none);
    StubCrypt* data = Make(&none);
    if (!control || !data) {
        Free(control);
        Free(data);
        return 1;
    }
    data->active = 1;
    session->cntlCrypt = As(control);
    session->dataCrypt = As(data);
    session->dataCryptCount = 1;
    return 0;
}

KR_STAND_IN void KrSessCryptCleanup(KRSESS_HNDL* session) {
    Free(Of(session->cntlCrypt));
    session->cntlCrypt = nullptr;
    for (StubCrypt* h = Of(session->dataCrypt); h;) {
        StubCrypt* next = h->next;
        Free(h);
        h = next;
    }
    session->dataCrypt = nullptr;
    session->dataCryptCount = 0;
}

KR_STAND_IN KRREQ_CRYPT_HNDL* KrSessDataCryptDecrypt(KRSESS_HNDL* session, uint32_t, const uint8_t* plainText,
                                                     const uint8_t* body, uint32_t bodyLength, KRHDR* header,
                                                     uint8_t* out, uint32_t outSize) {
    for (StubCrypt* h = Of(session->dataCrypt); h; h = h->next) {
        if (KrReqCTMsgDecrypt(h->crypt, plainText, body, bodyLength, header, out, outSize) == 0) {
            ++h->refs;
            return As(h);
        }
    }
    return nullptr;
}

KR_STAND_IN void KrSessDataKeySetHndlr(KRSESS_HNDL* session, const KRHDR*, const uint8_t*, uint32_t length) {
    KR_LOG(KrWarning, "KrSessDataKeySetHndlr[0x%x]: key change not supported here, %u bytes dropped.",
           (unsigned)(uintptr_t)session, length);
}

KR_STAND_IN void KrSessDataKeyAckHndlr(KRSESS_HNDL* session, const KRHDR*, const uint8_t*, uint32_t length) {
    KR_LOG(KrWarning, "KrSessDataKeyAckHndlr[0x%x]: key change not supported here, %u bytes dropped.",
           (unsigned)(uintptr_t)session, length);
}

KR_STAND_IN int KrSessCntlKeySetInternal(KRSESS_HNDL* session, const KRCRYPT_KEY* key) {
    StubCrypt* h = Make(key);
    if (!h) return 1;
    KrLockEnter(&session->lock);
    StubCrypt* old = Of(session->cntlCrypt);
    session->cntlCrypt = As(h);
    KrLockLeave(&session->lock);
    Free(old);
    return 0;
}

KR_STAND_IN int KrSessCntlKeyGetInternal(KRSESS_HNDL* session, KRCRYPT_KEY* key) {
    KrLockEnter(&session->lock);
    int ok = session->cntlCrypt && crypt_get_key(Of(session->cntlCrypt)->crypt, key);
    KrLockLeave(&session->lock);
    return ok ? 0 : 1;
}

KR_STAND_IN int KrSessDataKeySetInternal(KRSESS_HNDL* session, const KRCRYPT_KEY* key, int) {
    StubCrypt* h = Make(key);
    if (!h) return 1;
    h->active = 1;
    KrLockEnter(&session->lock);
    StubCrypt* old = Of(session->dataCrypt);
    if (old) old->active = 0;
    h->next = old;
    session->dataCrypt = As(h);
    ++session->dataCryptCount;
    Collect(session);
    KrLockLeave(&session->lock);
    return 0;
}

KR_STAND_IN int KrSessDataKeyGetInternal(KRSESS_HNDL* session, KRCRYPT_KEY* key) {
    KrLockEnter(&session->lock);
    int ok = session->dataCrypt && crypt_get_key(Of(session->dataCrypt)->crypt, key);
    KrLockLeave(&session->lock);
    if (!ok) KrErrorSet(KRERR_BAD_DATA);
    return ok ? 0 : 1;
}

KR_STAND_IN KRREQ_CRYPT_HNDL* KrSessDataCryptRef(KRSESS_HNDL* session) {
    StubCrypt* h = Of(session->dataCrypt);
    if (h) ++h->refs;
    return As(h);
}

KR_STAND_IN KRCRYPT_HNDL* KrReqCryptLow(KRREQ_CRYPT_HNDL* handle) { return Of(handle)->crypt; }

KR_STAND_IN void KrReqCryptDeref(KRSESS_HNDL* session, KRREQ_CRYPT_HNDL* handle) {
    KrLockEnter(&session->lock);
    if (Of(handle)->refs > 0) --Of(handle)->refs;
    Collect(session);
    KrLockLeave(&session->lock);
}

KR_STAND_IN uint32_t KrReqCryptRefCount(const KRREQ_CRYPT_HNDL* handle) {
    return reinterpret_cast<const StubCrypt*>(handle)->refs;
}

namespace {
// The exported key calls: a live session that is not listening.
bool KeySession(KRSESS_HNDL* session, const void* key, const char* name) {
    if (!session || !key) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "%s(0x%x, 0x%x): Invalid parameters.", name, (unsigned)(uintptr_t)session,
               (unsigned)(uintptr_t)key);
        return false;
    }
    if (KrSessRefInc(session, KRSESS_CLOSED) != 0) {
        KR_LOG(KrErr, "%s[0x%x]: Invalid session handle.", name, (unsigned)(uintptr_t)session);
        return false;
    }
    if (session->passive) {
        KrSessRefDec(session);
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "%s[0x%x]: Can only set key on active sessions.", name, (unsigned)(uintptr_t)session);
        return false;
    }
    return true;
}
}  // namespace

LOBBEX_API KR_STAND_IN int KrSessCntlKeySet(KRSESS_HNDL* session, const KRCRYPT_KEY* key) {
    if (!KeySession(session, key, "KrSessCntlKeySet")) return 1;
    int result = KrSessCntlKeySetInternal(session, key);
    KrSessRefDec(session);
    return result;
}

LOBBEX_API KR_STAND_IN int KrSessCntlKeyGet(KRSESS_HNDL* session, KRCRYPT_KEY* key) {
    if (!KeySession(session, key, "KrSessCntlKeyGet")) return 1;
    int result = KrSessCntlKeyGetInternal(session, key);
    KrSessRefDec(session);
    return result;
}

LOBBEX_API KR_STAND_IN int KrSessDataKeySet(KRSESS_HNDL* session, const KRCRYPT_KEY* key, int negotiate) {
    if (!KeySession(session, key, "KrSessDataKeySet")) return 1;
    int result = KrSessDataKeySetInternal(session, key, negotiate);
    KrSessRefDec(session);
    return result;
}

LOBBEX_API KR_STAND_IN int KrSessDataKeyGet(KRSESS_HNDL* session, KRCRYPT_KEY* key) {
    if (!KeySession(session, key, "KrSessDataKeyGet")) return 1;
    int result = KrSessDataKeyGetInternal(session, key);
    KrSessRefDec(session);
    return result;
}
