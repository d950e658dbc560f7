// Stand-in for the session layer and the session keys until the sessions issue builds them: a
// session record holding only what message building and the request lists use (its lock, its
// request lists, the sent-request counter, the peer's id and one data crypt handle), and the
// calls that make and drop one. The issue that builds the sessions deletes this stand-in.
#pragma once
#include <cstdint>

#include "krrq_req.h"

struct KRREQ_CRYPT_HNDL {
    KRCRYPT_HNDL* crypt;
    uint32_t references;
};

struct KRSESS_HNDL {
    KRLOCK lock;
    KRREQ_QUEUES queues;
    uint32_t txSequence;
    uint32_t peerId;
    KRREQ_CRYPT_HNDL* data; // null: the session has no data key
};

// A session whose next request gets `firstSequence`, under a data key of `keyType` (0: none).
KRSESS_HNDL* KrSessStubCreate(uint32_t peerId, uint32_t firstSequence, uint32_t keyType);
void KrSessStubDestroy(KRSESS_HNDL* session);
