// A session's control key and the data-key change with its peer (see krrq_key.h). The control key
// is set on both ends by their users, no message goes out. A new data key is announced by a
// change-key message (code 7) under the control key, numbered by the session's nonce counter,
// and becomes active when the peer's ack (code 8) comes back; requests from the announced
// sequence number on use it, older ones in flight are still accepted under the retired key.
//
// When every ack of a change is lost the initiator gives the new key up while the peer has applied
// it, and the two nonce counters no longer agree: the initiator's next change then carries the
// nonce of the peer's newest key and is answered as a repeat. The message transform is the same
// for every key type, so nothing is lost by it.
#include <cinttypes>

#include "krbytes.h"
#include "krerrno.h"
#include "krlog.h"
#include "krrq_key.h"
#include "krrq_sess.h"
#include "krtime.h"
#include "krtrace.h"

namespace {

constexpr char kKrModule[] = "krrq_crypt";

unsigned Tag(const KRSESS_HNDL* session) { return (unsigned)(uintptr_t)session; }

const char* ChangeKind(const KRSESS_HNDL* session) {
    return (session->flags & KRSESS_F_PEER_KEY) ? "remote" : "local";
}

// Moves a handle that is in the list behind every other one, so that it is no longer the newest.
void MoveToTailNL(KRSESS_HNDL* session, KRREQ_CRYPT_HNDL* h) {
    if (!h->inList || session->dataCrypt != h) return;
    session->dataCrypt = h->next; // in a circle the old head is now the tail
}

// Waits on the session event for up to `ms` milliseconds or until `h` is active; the session lock
// is held on entry and on return.
void WaitForActive(KRSESS_HNDL* session, KRREQ_CRYPT_HNDL* h, uint32_t ms) {
    const uint32_t start = KrTickCount();
    uint32_t left = ms;
    while (h->state != KRREQ_CRYPT_ACTIVE && left > 0) {
        const KRTIME wait = {left / 1000, left % 1000, 0};
        if (!KrEventWait(&session->event, &session->lock, &wait)) break; // the whole wait is over
        const uint32_t spent = KrTickCount() - start;
        left = spent >= ms ? 0 : ms - spent;
    }
}

}  // namespace

int KrSessCntlKeySetInternal(KRSESS_HNDL* session, const KRCRYPT_KEY* key) {
    KRREQ_CRYPT_HNDL* h = KrReqCryptHndlAlloc(key);
    if (!h) {
        KR_LOG(KrErr, "KrSessCntlKeySetInternal[0x%x]: Failed to allocate session control key encryption handle: error %u.",
               Tag(session), KrErrorGet());
        return 1;
    }
    h->state = KRREQ_CRYPT_ACTIVE;
    KrLockEnter(&session->lock);
    KRREQ_CRYPT_HNDL* old = session->cntlCrypt;
    session->cntlCrypt = h;
    KrLockLeave(&session->lock);
    if (old) KrReqCryptHndlFree(old);
    return 0;
}

int KrSessCntlKeyGetInternal(KRSESS_HNDL* session, KRCRYPT_KEY* key) {
    if (!session || !key) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    KrLockEnter(&session->lock);
    const int got = session->cntlCrypt && crypt_get_key(session->cntlCrypt->crypt, key);
    KrLockLeave(&session->lock);
    if (!got) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrSessCntlKeyGetInternal[0x%x]: Unable to retrieve control key 0x%x 0x%x", Tag(session),
               (unsigned)(uintptr_t)key, KrErrorGet());
        return 1;
    }
    return 0;
}

int KrSessDataKeyGetInternal(KRSESS_HNDL* session, KRCRYPT_KEY* key) {
    if (!session || !key) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    KrLockEnter(&session->lock);
    KRREQ_CRYPT_HNDL* head = session->dataCrypt;
    if (!head) {
        KrLockLeave(&session->lock);
        KrErrorSet(KRERR_BAD_DATA);
        KR_LOG(KrErr, "KrSessDataKeyGetInternal[0x%x]: No data key is active for this session.", Tag(session));
        return 1;
    }
    const int got = crypt_get_key(head->crypt, key);
    KrLockLeave(&session->lock);
    if (!got) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrSessDataKeyGetInternal[0x%x]: Unable to retrieve key from current data encryption handle 0x%x 0x%x",
               Tag(session), (unsigned)(uintptr_t)head, KrErrorGet());
        return 1;
    }
    return 0;
}

int KrSessDataKeySetInternal(KRSESS_HNDL* session, const KRCRYPT_KEY* key, int negotiate) {
    KRREQ_CRYPT_HNDL* h = KrReqCryptHndlAlloc(key);
    if (!h) {
        KR_LOG(KrErr, "KrSessDataKeySetInternal[0x%x]: Failed to allocate new crypt handle.", Tag(session));
        return 1;
    }
    KrLockEnter(&session->lock);
    if (!session->cntlCrypt) {
        KrLockLeave(&session->lock);
        KrReqCryptHndlFree(h);
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrSessDataKeySetInternal[0x%x]: Session does not have control-message encryption key set.",
               Tag(session));
        return 1;
    }
    if (session->flags & (KRSESS_F_LOCAL_KEY | KRSESS_F_PEER_KEY)) {
        const char* kind = ChangeKind(session);
        KrLockLeave(&session->lock);
        KrReqCryptHndlFree(h);
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrSessDataKeySetInternal[0x%x]: Session is currently processing a %s change-key request.",
               Tag(session), kind);
        return 1;
    }
    session->flags |= KRSESS_F_LOCAL_KEY;
    uint8_t* message = nullptr;
    uint32_t length = 0;
    const uint32_t nonce = session->nonce;
    if (negotiate) {
        uint8_t pair[8];
        KrPutBe32(pair, nonce);
        KrPutBe32(pair + 4, session->txSequence);
        if (KrReqCTChkeyMsgAlloc((uintptr_t)session, session->cntlCrypt->crypt, session->link.remoteId, nonce, key,
                                 pair, &message, &length, 0) != 0) {
            const uint32_t error = KrErrorGet();
            session->flags &= ~KRSESS_F_LOCAL_KEY;
            KrLockLeave(&session->lock);
            KrReqCryptHndlFree(h);
            KR_LOG(KrErr, "KrSessDataKeySetInternal[0x%x]: Unable to build transmit change-key control message; error %d.",
                   Tag(session), (int)error);
            KrErrorSet(error);
            return 1;
        }
    }
    // The previous newest handle and the new one are held across the exchange.
    KRREQ_CRYPT_HNDL* previous = session->dataCrypt;
    if (previous && !KrReqCryptRefNL(previous)) previous = nullptr;
    h->nonce = nonce;
    h->firstSeq = session->txSequence;
    h->state = negotiate ? KRREQ_CRYPT_WAITING : KRREQ_CRYPT_ACTIVE;
    h->references = 2; // the list's and the exchange's
    KrSessCryptInsertNL(session, h);

    int failed = 0;
    if (negotiate) {
        const uint32_t tries = session->options[KRSESS_OPT_CHKEY_TRIES];
        const uint32_t interval = session->options[KRSESS_OPT_CHKEY_INTERVAL];
        for (uint32_t i = 0; i < tries && h->state != KRREQ_CRYPT_ACTIVE; ++i) {
            KR_TRACE_EVENT("rq__chky", session, nonce, i, 0, 0);
            KrLockLeave(&session->lock);
            const int sent = KrSessTx(session, message, length); // marks the transmission
            KrLockEnter(&session->lock);
            if (sent != 0) break;
            WaitForActive(session, h, interval);
        }
        KrReqMsgFree(message);
        if (h->state != KRREQ_CRYPT_ACTIVE) {
            failed = 1;
            // Given up: the new key is retired before it was ever used for a sequence number of
            // its own, and the previous key stays the newest.
            h->state = KRREQ_CRYPT_RETIRED;
            h->lastSeq = h->firstSeq - 1;
            MoveToTailNL(session, h);
            KrSessCryptDerefNL(session, h); // the list's
        } else {
            ++session->nonce;
        }
    } else {
        h->firstSeq = session->rxNewest + 1;
    }
    session->flags &= ~KRSESS_F_LOCAL_KEY;
    if (!failed && previous && previous->state == KRREQ_CRYPT_ACTIVE)
        KrSessCryptRetireNL(session, previous, h->firstSeq - 1);
    if (previous) KrSessCryptDerefNL(session, previous);
    KrSessCryptDerefNL(session, h); // the exchange's
    KrLockLeave(&session->lock);
    if (failed) {
        KrErrorSet(KRERR_SESSION_STATE);
        return 1;
    }
    return 0;
}

// Checks and decodes a received change-key or ack-key message under the control key. True with the
// session lock held and `msg` filled; false (lock released, the reason logged) when the message is
// short, damaged or the session cannot take it.
static bool ReadKeyMessage(KRSESS_HNDL* session, const char* who, const char* kind, const KRHDR* header,
                           const uint8_t* payload, uint32_t length, KRREQ_CHKEY* msg) {
    if (length < 8) {
        KR_LOG(KrWarning, "%s: Invalid DataKeySet control message parameter size: 0x%x", who, length);
        return false;
    }
    KrLockEnter(&session->lock);
    if (!KrSessIsActive(session) || !session->cntlCrypt) {
        KrLockLeave(&session->lock);
        return false;
    }
    const int read = KrReqChkeyRead(session->cntlCrypt->crypt, session->nonce, header, payload, length, msg);
    if (read == KRREQ_CHKEY_SHORT || read == KRREQ_CHKEY_BOGUS) {
        KrLockLeave(&session->lock);
        KR_LOG(KrWarning, "%s[0x%x]: Bogus or corrupted %s control message", who, Tag(session), kind);
        return false;
    }
    if (read != KRREQ_CHKEY_OK) {
        KrLockLeave(&session->lock);
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "%s[0x%x]: Failed to decode korrin-crypt key XDR message.", who, Tag(session));
        return false;
    }
    return true;
}

void KrSessDataKeySetHndlr(KRSESS_HNDL* session, const KRHDR* header, const uint8_t* payload, uint32_t length) {
    KRREQ_CHKEY msg{};
    if (!ReadKeyMessage(session, "KrSessDataKeySetHndlr", "key-set", header, payload, length, &msg))
        return;
    KRREQ_CRYPT_HNDL* answered = nullptr;
    if (msg.nonce == session->nonce) {
        // A new change.
        if (session->flags & (KRSESS_F_LOCAL_KEY | KRSESS_F_PEER_KEY)) {
            const char* kind = ChangeKind(session);
            KrLockLeave(&session->lock);
            KrErrorSet(KRERR_PARAM);
            KR_LOG(KrErr, "KrSessDataKeySetHndlr[0x%x]: Session is currently processing a %s change-key request.",
                   Tag(session), kind);
            return;
        }
        session->flags |= KRSESS_F_PEER_KEY;
        KRREQ_CRYPT_HNDL* h = KrReqCryptHndlAlloc(&msg.key);
        if (!h) {
            session->flags &= ~KRSESS_F_PEER_KEY;
            KrLockLeave(&session->lock);
            KR_LOG(KrErr, "KrSessDataKeySetHndlr[0x%x]: Failed to allocate new crypt handle.", Tag(session));
            return;
        }
        KRREQ_CRYPT_HNDL* newest = session->dataCrypt;
        if (newest && newest->state == KRREQ_CRYPT_ACTIVE) KrSessCryptRetireNL(session, newest, msg.firstSeq - 1);
        h->state = KRREQ_CRYPT_ACTIVE;
        h->nonce = msg.nonce;
        h->firstSeq = msg.firstSeq;
        h->references = 1; // the list's
        KrSessCryptInsertNL(session, h);
        ++session->nonce;
        session->flags &= ~KRSESS_F_PEER_KEY;
        answered = h;
    } else if (session->dataCrypt && msg.nonce == session->dataCrypt->nonce) {
        answered = session->dataCrypt; // a repeat: answered again, nothing changes
    } else {
        KrLockLeave(&session->lock);
        KR_LOG(KrWarning, "KrSessDataKeySetHndlr[0x%x]: Nonce mismatch, possible replay attack.", Tag(session));
        return;
    }
    uint8_t pair[8];
    KrPutBe32(pair, answered->nonce);
    KrPutBe32(pair + 4, answered->firstSeq);
    uint8_t* ack = nullptr;
    uint32_t ackLength = 0;
    const int built = KrReqCTChkeyMsgAlloc((uintptr_t)session, session->cntlCrypt->crypt, session->link.remoteId,
                                           answered->nonce, &msg.key, pair, &ack, &ackLength, 1);
    KrLockLeave(&session->lock);
    if (built != 0) {
        KR_LOG(KrErr, "KrSessDataKeySetHndlr[0x%x]: Unable to build transmit ack-key control message; error %d.",
               Tag(session), (int)KrErrorGet());
        return;
    }
    if (KrSessTx(session, ack, ackLength) != 0)
        KR_LOG(KrErr, "KrSessDataKeySetHndlr[0x%x]: Unable to transmit ack-key control message; error %d.", Tag(session),
               (int)KrErrorGet());
    KrReqMsgFree(ack);
}

void KrSessDataKeyAckHndlr(KRSESS_HNDL* session, const KRHDR* header, const uint8_t* payload, uint32_t length) {
    KRREQ_CHKEY msg{};
    if (!ReadKeyMessage(session, "KrSessDataKeyAckHndlr", "key-ack", header, payload, length, &msg))
        return;
    KRREQ_CRYPT_HNDL* newest = session->dataCrypt;
    if (!newest || msg.nonce != newest->nonce) {
        KrLockLeave(&session->lock);
        KR_LOG(KrWarning, "KrSessDataKeyAckHndlr[0x%x]: Nonce mismatch, possilbe replay attack.", Tag(session));
        return;
    }
    if (!(session->flags & KRSESS_F_LOCAL_KEY)) {
        KrLockLeave(&session->lock);
        KR_LOG(KrErr, "KrSessDataKeyAckHndlr[0x%x]: Session is not currently processing a local change-key request.",
               Tag(session));
        return;
    }
    newest->state = KRREQ_CRYPT_ACTIVE;
    newest->firstSeq = msg.firstSeq;
    KrEventSignal(&session->event);
    KrLockLeave(&session->lock);
}
