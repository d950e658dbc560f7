// Session keys (module "krrq_crypt"): the session crypt handles that wrap a low-level crypt
// handle (encryption.h) with the state of a data-key change, a session's newest-first list of
// data handles (the session record's dataCrypt circle), the change-key and ack control messages
// (codes 7 and 8) and the search for the data handle that decrypts a received request. The
// session-level calls (control key, data-key change, the handlers of codes 7 and 8) are declared
// with the session record in krrq_sess.h.
//
// A handle is "usable" in state 3 or above and "active" in state 5. The list holds one reference
// on each handle until it is retired; client requests hold one on the newest data handle from
// their creation, server requests one on the handle that decrypted them. A retired handle goes
// when its last reference does.
#pragma once
#include <cstdint>

#include "encryption.h"
#include "krhdr.h"

struct KRSESS_HNDL;

enum : uint32_t {
    KRREQ_CRYPT_NEW = 1,
    KRREQ_CRYPT_DESTROYING = 2,
    KRREQ_CRYPT_RETIRED = 3,
    KRREQ_CRYPT_WAITING = 4, // change sent, waiting for the peer's ack
    KRREQ_CRYPT_ACTIVE = 5,
};

struct KRREQ_CRYPT_HNDL {
    KRREQ_CRYPT_HNDL* next; // circular list, newest first
    KRREQ_CRYPT_HNDL* prev;
    uint32_t state;
    KRCRYPT_HNDL* crypt;
    uint32_t nonce;      // of the change that made it
    uint32_t references; // the list's own and the requests'
    uint32_t inList;
    uint32_t blockSize;  // 1 for key types 1 and 3, 8 for type 2
    uint32_t firstSeq;   // the first request sequence number it applies to
    uint32_t lastSeq;    // once retired, the last
};

// ---- the handle heap ----
int KrReqCryptHndlHeapInit(void);
void KrReqCryptHndlHeapDestroy(void);
// Handles the heap holds now (0 when it is not made).
uint32_t KrReqCryptHndlCount(void);

// A zeroed handle in state 1 for the key, with its low-level handle made and keyed; null with
// KrErrno 3 (no memory, unknown key type) or 1 (the low-level handle cannot be made).
KRREQ_CRYPT_HNDL* KrReqCryptHndlAlloc(const KRCRYPT_KEY* key);
void KrReqCryptHndlFree(KRREQ_CRYPT_HNDL* handle);

// ---- a session's data handles; the NL forms need the session lock held ----
// At the head (the handle must not be in a list). Takes no reference.
void KrSessCryptInsertNL(KRSESS_HNDL* session, KRREQ_CRYPT_HNDL* handle);
void KrSessCryptRemoveNL(KRSESS_HNDL* session, KRREQ_CRYPT_HNDL* handle);
uint32_t KrSessCryptCount(KRSESS_HNDL* session);
KRREQ_CRYPT_HNDL* KrSessCryptHead(KRSESS_HNDL* session);
// A reference on a usable handle; 1 when taken.
int KrReqCryptRefNL(KRREQ_CRYPT_HNDL* handle);
// Drops a reference; a retired handle without references leaves the list and is freed. 1 when
// the handle was freed.
int KrSessCryptDerefNL(KRSESS_HNDL* session, KRREQ_CRYPT_HNDL* handle);
// Frees a handle that has no references and is not active (out of the list first); 1 when freed.
int KrSessCryptDestroyNL(KRSESS_HNDL* session, KRREQ_CRYPT_HNDL* handle);
// Retires a handle at `lastSeq` and drops the list's reference on it. 1 when it was freed.
int KrSessCryptRetireNL(KRSESS_HNDL* session, KRREQ_CRYPT_HNDL* handle, uint32_t lastSeq);

// The receive search: the handles, in list order from the newest that is not waiting for its ack,
// that may decrypt a request of sequence number `sequence` (active, or usable with a last
// sequence number at or after it; `reference` is the newest received number, against which the
// two are compared). Call with `after` null for the first, then with the previous answer.
KRREQ_CRYPT_HNDL* KrSessCryptNextCandidateNL(KRSESS_HNDL* session, const KRREQ_CRYPT_HNDL* after, uint32_t sequence,
                                             uint32_t reference);

// ---- the change-key messages ----
// The key union's size on the wire for a key type: 4, 36 or 12 bytes (0 for another type).
uint32_t KrReqKeyUnionLen(uint32_t keyType);
// Builds a change-key message (ack 0: code 7 with the key) or its ack (ack 1: code 8, a key union
// of the key's type with every key byte zero) under the control crypt handle at the position
// `nonce`. `pair` holds the nonce and the first sequence number, already big-endian. `headerId`
// is the id the header carries: the peer's id of the session. `tag` names the session in log
// lines. 0, or 1 with the message null, the length 0 and KrErrno set.
int KrReqCTChkeyMsgAlloc(uintptr_t tag, KRCRYPT_HNDL* control, uint32_t headerId, uint32_t nonce,
                         const KRCRYPT_KEY* key, const uint8_t pair[8], uint8_t** message, uint32_t* length,
                         int ack);

struct KRREQ_CHKEY {
    uint32_t nonce;
    uint32_t firstSeq;
    KRCRYPT_KEY key;
};
enum : int { KRREQ_CHKEY_OK = 0, KRREQ_CHKEY_SHORT = 1, KRREQ_CHKEY_BOGUS = 2, KRREQ_CHKEY_UNDECODABLE = 3 };
// A received code 7 or 8 as the mux hands it over: its header and its payload, which the mux has
// checked to be followed by the header's pad and the 2-byte trailer. Checks the length (at least
// 8 bytes), decrypts a copy under the control handle at `position` and checks the checksum over
// the whole message (the header as packed under the control handle's block size), then reads the
// nonce, the first sequence number and the key union. Logs nothing.
int KrReqChkeyRead(KRCRYPT_HNDL* control, uint32_t position, const KRHDR* header, const uint8_t* payload,
                   uint32_t length, KRREQ_CHKEY* out);
