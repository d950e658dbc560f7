// Stand-in for the session layer and the session keys (see krrq_sess_stub.h).
#include "krrq_sess_stub.h"

#include <cstdlib>

KRLOCK* KrSessLockOf(KRSESS_HNDL* session) { return &session->lock; }
KRREQ_QUEUES* KrSessReqQueues(KRSESS_HNDL* session) { return &session->queues; }
uint32_t KrSessPeerId(KRSESS_HNDL* session) { return session->peerId; }
uint32_t KrSessNextTxSeq(KRSESS_HNDL* session) { return session->txSequence++; }

KRREQ_CRYPT_HNDL* KrSessDataCryptRef(KRSESS_HNDL* session) {
    if (session->data) ++session->data->references;
    return session->data;
}

KRCRYPT_HNDL* KrReqCryptLow(KRREQ_CRYPT_HNDL* handle) { return handle->crypt; }

void KrReqCryptDeref(KRSESS_HNDL* session, KRREQ_CRYPT_HNDL* handle) {
    KrLockEnter(&session->lock);
    --handle->references;
    KrLockLeave(&session->lock);
}

void KrCReqTmo(uintptr_t) {}

KRSESS_HNDL* KrSessStubCreate(uint32_t peerId, uint32_t firstSequence, uint32_t keyType) {
    KRSESS_HNDL* session = static_cast<KRSESS_HNDL*>(calloc(1, sizeof(KRSESS_HNDL)));
    KrLockInit(&session->lock, 0);
    session->peerId = peerId;
    session->txSequence = firstSequence;
    if (keyType) {
        session->data = static_cast<KRREQ_CRYPT_HNDL*>(calloc(1, sizeof(KRREQ_CRYPT_HNDL)));
        session->data->crypt = crypt_alloc(0xFFFFFFFF);
        KRCRYPT_KEY key = {keyType, {}};
        for (int i = 0; i < 16; ++i) key.key[i] = (uint8_t)(0x11 * i);
        crypt_set_key(session->data->crypt, &key, 0);
    }
    return session;
}

void KrSessStubDestroy(KRSESS_HNDL* session) {
    if (session->data) {
        crypt_free(session->data->crypt);
        free(session->data);
    }
    KrLockDestroy(&session->lock);
    free(session);
}
