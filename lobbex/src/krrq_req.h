// Request handles and message building (module "krrq_req"). Every request, response and
// session control message is built here into one buffer: the plain-text part of the packed
// header, then the encrypted region (the rest of the header, the payload, zero pad and a 2-byte
// trailer). Request handles and message buffers come from two private heaps. Each session keeps
// its pending client requests, its completed server requests ("zombies", in sequence order) and
// its expired server requests in lists under the session's lock.
#pragma once
#include <cstdint>

#include "encryption.h"
#include "krevent.h"
#include "krhdr.h"

struct KRSESS_HNDL;
struct KRREQ_CRYPT_HNDL; // a session's crypt handle (its control or a data key)
struct KRREQ_HNDL;

// A client request's completion: (session, status, response payload, its length, context).
typedef void (*KRCREQ_CBF)(KRSESS_HNDL* session, uint32_t status, uint8_t* data, uint32_t length, void* context);

enum : uint32_t {
    KRREQ_STATE_BUILDING = 1,
    KRREQ_STATE_PENDING = 2,
    KRREQ_STATE_NORESP_DONE = 5, // answered without a response
};
// Client request states after sending, and server request states.
enum : uint32_t {
    KRCREQ_STATE_WAITING = 3,  // sent, timer armed
    KRCREQ_STATE_ANSWERED = 4,
    KRCREQ_STATE_ENDED = 5,    // timed out or ended
    KRCREQ_STATE_DONE = 6,     // failed or completed
    KRSREQ_STATE_RECEIVED = 1,
    KRSREQ_STATE_HANDLER = 2,  // handed to the request handler, waiting for its completion
    KRSREQ_STATE_BUILDING = 3, // response being built
    KRSREQ_STATE_ANSWERED = 4, // response sent, kept for duplicates
    KRSREQ_STATE_ENDED = 5,    // ended without a response
};
constexpr uint32_t KRREQ_FLAG_TIMER = 1u << 1; // a retransmission timer is armed
constexpr uint32_t KRREQ_FLAG_INTERNAL = 1u << 2; // an internal notice, never answered on the wire
constexpr uint32_t KRREQ_FLAG_EXPIRED = 1u << 3;  // in the session's expired list

struct KRREQ_HNDL {
    KRREQ_HNDL* next;
    KRREQ_HNDL* prev;
    KRSESS_HNDL* session;
    uintptr_t context;
    uint32_t code;
    uint32_t status;   // status or response code
    uint32_t sequence; // the low 16 bits travel
    uint8_t* txMessage;
    uint32_t txLength;
    uint8_t* rxData;
    uint32_t rxLength;
    uint32_t flags;
    KRREQ_CRYPT_HNDL* crypt; // referenced while the request lives
    uint32_t state;
    KRCREQ_CBF callback; // client side
    void* callbackContext;
    // Client side, once sent: tries left, the retransmission interval (ms) and the key its timer
    // is armed under. Both sides: where the received payload starts in rxData.
    uint32_t tries;
    uint32_t interval;
    uintptr_t timerKey;
    uint32_t rxOffset;
};

// A circular, doubly linked list of requests with its count.
struct KRREQ_LIST {
    KRREQ_HNDL* head;
    uint32_t count;
};
struct KRREQ_QUEUES {
    KRREQ_LIST pending; // client requests, in the order they were made
    KRREQ_LIST zombies; // completed server requests, in sequence order
    KRREQ_LIST expired; // server requests collected while still waiting for their completion
};

// ---- what this module asks of a session and its keys (the session layer provides them) ----
KRLOCK* KrSessLockOf(KRSESS_HNDL* session);
KRREQ_QUEUES* KrSessReqQueues(KRSESS_HNDL* session);
uint32_t KrSessPeerId(KRSESS_HNDL* session);
// Both with the session lock held: the next request sequence number (the counter moves on), and
// the newest data crypt handle with a reference taken (null when there is none).
uint32_t KrSessNextTxSeq(KRSESS_HNDL* session);
KRREQ_CRYPT_HNDL* KrSessDataCryptRef(KRSESS_HNDL* session);
KRCRYPT_HNDL* KrReqCryptLow(KRREQ_CRYPT_HNDL* handle);
void KrReqCryptDeref(KRSESS_HNDL* session, KRREQ_CRYPT_HNDL* handle);
// The retransmission timer of a client request (argument: the request).
void KrCReqTmo(uintptr_t request);

// ---- heaps ----
// Counted: the first init creates both heaps, the last cleanup destroys them. 0 on success.
int KrReqModuleInit(void);
void KrReqModuleCleanup(void);
int KrReqHndlHeapInit(void);
void KrReqHndlHeapDestroy(void);
int KrReqMsgHeapInit(void);
void KrReqMsgHeapDestroy(void);
// What the heaps hold now (0 when they are not made).
uint32_t KrReqHndlCount(void);
uint32_t KrReqMsgCount(void);

KRREQ_HNDL* KrReqHndlAlloc(KRSESS_HNDL* session, uintptr_t context);
void KrReqHndlFree(KRREQ_HNDL* handle);
uint8_t* KrReqMsgAlloc(uint32_t size);
void KrReqMsgFree(uint8_t* buffer);

// ---- building ----
// The largest zero pad a message is built with.
constexpr uint32_t KRREQ_MAX_BUILD_PAD = 16;
// A request or response: the header (kind 1; its sequence field is taken from `sequence`)
// packed for the crypt handle's block size, then the code field, the payload, the pad and the
// sequence number (big-endian) gathered under the crypt handle at the position `sequence`.
// 0, or 1 with the buffer null, the length 0 and KrErrno set.
int KrReqCTMsgAlloc(KRCRYPT_HNDL* crypt, uint32_t sequence, const KRHDR* header, const uint8_t* payload,
                    uint8_t** message, uint32_t* length);
// A session control message: the whole header (kind 2, all plain text), then the payload, the pad
// and a checksum trailer gathered under the crypt handle at `position`. The trailer is stored so
// that the Internet checksum of the whole message is 0.
int KrReqCTCntlMsgAlloc(KRCRYPT_HNDL* crypt, uint32_t position, const KRHDR* header, const uint8_t* payload,
                        uint8_t** message, uint32_t* length);

// ---- receive checks ----
// A received request or response: `plainText` holds the plain-text header part, `body` the rest
// (code field, payload, pad, trailer). Decrypts the body into `out` at the position of the
// header's sequence number, checks that its length agrees with the header and that the trailer
// equals the sequence number, and fills the whole header. The payload then starts at
// out + KrCTHdrPackedLen(plainText[0]). 0, or 1 with KrErrno 2 (1 for a small `out`).
int KrReqCTMsgDecrypt(KRCRYPT_HNDL* crypt, const uint8_t* plainText, const uint8_t* body, uint32_t bodyLength,
                      KRHDR* header, uint8_t* out, uint32_t outSize);
// A received control message (the key change): `headerBytes` holds its whole header, `body` the
// payload, pad and trailer, decrypted here in place at `position`. Checks the lengths against
// the header and that the checksum over header and body is 0; fills the header. 0, or 1 with
// KrErrno 2.
int KrReqCTCntlMsgDecrypt(KRCRYPT_HNDL* crypt, uint32_t position, const uint8_t* headerBytes, uint8_t* body,
                          uint32_t bodyLength, KRHDR* header);

// ---- client requests and the session's lists ----
// A new client request for `code` with its message built under the session's newest data key, in
// state 2 at the end of the pending list; null on failure (logged, nothing left behind).
KRREQ_HNDL* KrCReqCreate(KRSESS_HNDL* session, uint32_t code, const uint8_t* payload, uint32_t length);
// Out of the pending list (unless still being built), its timer stopped, its buffers, key
// reference and the handle freed.
void KrReqRelease(KRSESS_HNDL* session, KRREQ_HNDL* request);

// The plain forms need the session lock held; the others take it.
// A request circle: append at the tail; remove (nothing for a request in no circle).
void KrReqListAppend(KRREQ_LIST* list, KRREQ_HNDL* request);
void KrReqListRemove(KRREQ_LIST* list, KRREQ_HNDL* request);
void KrReqPendAppend(KRSESS_HNDL* session, KRREQ_HNDL* request);
void KrReqPendAppendNL(KRSESS_HNDL* session, KRREQ_HNDL* request);
void KrReqPendRemove(KRSESS_HNDL* session, KRREQ_HNDL* request);
void KrReqPendRemoveNL(KRSESS_HNDL* session, KRREQ_HNDL* request);
uint32_t KrReqPendCount(KRSESS_HNDL* session);
uint32_t KrReqPendCountNL(KRSESS_HNDL* session);
KRREQ_HNDL* KrReqPendFirst(KRSESS_HNDL* session);
KRREQ_HNDL* KrReqPendFirstNL(KRSESS_HNDL* session);
KRREQ_HNDL* KrReqPendFind(KRSESS_HNDL* session, uint32_t sequence);
KRREQ_HNDL* KrReqPendFindNL(KRSESS_HNDL* session, uint32_t sequence);
void KrReqZombieInsert(KRSESS_HNDL* session, KRREQ_HNDL* request);
void KrReqZombieInsertNL(KRSESS_HNDL* session, KRREQ_HNDL* request);
KRREQ_HNDL* KrReqZombieFind(KRSESS_HNDL* session, uint32_t sequence);
KRREQ_HNDL* KrReqZombieFindNL(KRSESS_HNDL* session, uint32_t sequence);
void KrReqZombieRemove(KRSESS_HNDL* session, KRREQ_HNDL* request);
void KrReqZombieRemoveNL(KRSESS_HNDL* session, KRREQ_HNDL* request);
