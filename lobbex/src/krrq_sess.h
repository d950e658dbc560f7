// Sessions of the request layer (modules "krrq" and "krrq_sess"): the session record
// KRSESS_HNDL, the session registry with its internal and user references, open, connect,
// heartbeats and close, and what the session offers its neighbours: requests (krrq.cpp),
// options and the heartbeat change (krrq_opt*.cpp) and the session keys (krrq_key*.cpp).
//
// Every entry point validates a handle through the registry and holds an internal reference
// while it works; no session lock is held while the upper layer is called back.
#pragma once
#include <atomic>
#include <cstdint>

#include "encryption.h"
#include "krevent.h"
#include "krhdr.h"
#include "krmux.h"
#include "krrq_req.h"
#include "krtypes.h"
#include "lobbex_exports.h"

struct KROPT_HNDL; // a pending option-set exchange (krrq_opt.h)

// The request handler (session, context, request code, payload, its length, the server request
// to complete with KrSReqComplete / KrSReqNoRespComplete) and the destroy callback are declared
// with the exported calls (lobbex_exports.h).

enum : uint32_t {
    KRSESS_DESTROYED = 1,
    KRSESS_CLOSED = 2,
    KRSESS_PASSIVE = 3,
    KRSESS_ACTIVE = 4,
    KRSESS_CONNECTING = 5,
    KRSESS_ACCEPTED = 6,
    KRSESS_OPEN = 7,
};

// The flags word.
constexpr uint32_t KRSESS_F_REMOTE_CLOSED = 1u << 1; // closed by the peer or a failure
constexpr uint32_t KRSESS_F_USER_CLOSED = 1u << 2;
constexpr uint32_t KRSESS_F_LOCAL_KEY = 1u << 8;  // a local data-key change is in progress
constexpr uint32_t KRSESS_F_PEER_KEY = 1u << 9;   // a peer's data-key change is in progress
constexpr uint32_t KRSESS_F_LOCAL_HB = 1u << 10;  // a local heartbeat change is in progress
constexpr uint32_t KRSESS_F_PEER_HB = 1u << 11;   // a peer's heartbeat change is in progress
constexpr uint32_t KRSESS_F_UNCONFIRMED = 1u << 12; // a clone whose peer has not been heard since its connect

// A listening session holds at most this many clones that the network has opened and whose peer
// has not yet been heard beyond its connect; further connects are dropped until some are
// confirmed or closed. The binary value MAXUNCONFIRMEDSESSIONS of the install's MAIN key (32
// bits, little-endian) replaces it when present and not zero; it is read when the listening
// session opens.
constexpr uint32_t KRSESS_UNCONFIRMED_DEFAULT = 256;

// The option words.
enum : uint32_t {
    KRSESS_OPT_TXHB = 0,        // tx heartbeat interval, ms
    KRSESS_OPT_RXHB_CNT = 1,    // heartbeat intervals of silence allowed
    KRSESS_OPT_PEER_TXHB = 2,   // the peer's pair, from its connect or option-set
    KRSESS_OPT_PEER_RXHB_CNT = 3,
    KRSESS_OPT_REQ_TMO = 4,     // request timeout, ms, all tries together
    KRSESS_OPT_REQ_TRIES = 5,
    KRSESS_OPT_REQ_INTERVAL = 6,
    KRSESS_OPT_WINDOW = 7,      // sequence window size
    KRSESS_OPT_ZOMBIE_LIMIT = 8,
    KRSESS_OPT_CONN_TMO = 9,
    KRSESS_OPT_CONN_TRIES = 10,
    KRSESS_OPT_CONN_INTERVAL = 11,
    KRSESS_OPT_OPTSET_TMO = 12, // the option-set exchange
    KRSESS_OPT_OPTSET_TRIES = 13,
    KRSESS_OPT_OPTSET_INTERVAL = 14,
    KRSESS_OPT_CHKEY_TMO = 15,  // the data-key change exchange
    KRSESS_OPT_CHKEY_TRIES = 16,
    KRSESS_OPT_CHKEY_INTERVAL = 17,
    KRSESS_OPT_COUNT = 18,
};

// The public option ids; every other id is a channel option of the session's mux.
enum : uint32_t {
    KRSESS_OPTID_TXHB = 0x10000,
    KRSESS_OPTID_RXHB_CNT = 0x10001,
    KRSESS_OPTID_WINDOW = 0x10002,
    KRSESS_OPTID_ZOMBIE_LIMIT = 0x10003,
    KRSESS_OPTID_CONN_TMO = 0x10004,
    KRSESS_OPTID_CONN_TRIES = 0x10005,
    KRSESS_OPTID_REQ_TMO = 0x10006,
    KRSESS_OPTID_REQ_TRIES = 0x10007,
    KRSESS_OPTID_CNTL_KEY = 0x10008, // value: a KRCRYPT_KEY*
    KRSESS_OPTID_DATA_KEY = 0x10009, // value: a KRCRYPT_KEY*
    KRSESS_OPTID_END = 0xFFFFFFFF,   // ends a list of pairs
};
constexpr uint32_t KRSESS_MAX_OPT_PAIRS = 127;

// An (id, value) pair; the value is pointer-sized because the key options pass a key record.
struct KRSESS_OPT {
    uint32_t id;
    uintptr_t value;
};

// Control codes (the sequence field of a kind-2 header).
enum : uint32_t {
    KRSESS_CNTL_CONNECT = 1,
    KRSESS_CNTL_CONNECT_ACK = 2,
    KRSESS_CNTL_DISCONNECT = 3,
    KRSESS_CNTL_HEARTBEAT = 4,
    KRSESS_CNTL_OPT_SET = 5,
    KRSESS_CNTL_OPT_ACK = 6,
    KRSESS_CNTL_KEY_SET = 7,
    KRSESS_CNTL_KEY_ACK = 8,
};
constexpr uint32_t KRSESS_DISCONNECT_LEN = 16;

// Remote-close reasons, carried by the session-closed notice.
enum : uint32_t {
    KRSESS_REASON_DISCONNECT = 0,
    KRSESS_REASON_CONNECT = 1, // the connect handshake failed, or the mux closed
    KRSESS_REASON_HEARTBEAT = 2,
    KRSESS_REASON_ZOMBIES = 3,
};

// Request codes of the internal notices handed to the request handler.
constexpr uint32_t KRSESS_CODE_OPENED = 2034;
constexpr uint32_t KRSESS_CODE_CLOSED = 2035;

// The statistics record: 40 words.
constexpr uint32_t KRSESS_STAT_WORDS = 40;
enum : uint32_t {
    KRSTAT_CLONES = 0,
    KRSTAT_CLONES_CLOSED = 1,
    KRSTAT_LAST_REQRX = 2,  // 2-4
    KRSTAT_UNUSED_TIME = 5, // 5-7
    KRSTAT_LAST_RX = 8,     // 8-10
    KRSTAT_LAST_TX = 11,    // 11-13
    KRSTAT_SREQ = 14,       // 14, 15 count and bytes
    KRSTAT_OPENS_DROPPED = 16, // a listening session: connects dropped at its unconfirmed bound
    KRSTAT_SREQ_DROP = 18,  // 18, 19
    KRSTAT_SREQ_NORESP = 20,
    KRSTAT_SRESP = 21,      // 21, 22
    KRSTAT_SRESP_AGAIN = 23, // 23, 24
    KRSTAT_SREQ_NOKEY = 25, // 25, 26
    KRSTAT_CREQ = 27,       // 27, 28
    KRSTAT_CREQ_RETX = 29,  // 29, 30
    KRSTAT_NORESP = 31,     // 31, 32
    KRSTAT_CRESP = 33,      // 33, 34
    KRSTAT_CRESP_DROP = 35, // 35, 36
    KRSTAT_CREQ_TMO = 37,
    KRSTAT_CRESP_BAD = 38,  // 38, 39
};

struct KRSESS_HNDL {
    KRSESS_HNDL* chainNext; // the registry chain (under the module lock)
    KRLOCK lock;
    KrEvent event;          // connecting, key changes and heartbeat changes wait here
    KRSESS_HNDL* parent;    // a clone's listening session (referenced until the clone closes)
    uint32_t passive;       // 1 listening, 0 opened actively or cloned
    uint32_t flags;         // KRSESS_F_*
    uint32_t family;        // of the transport address the session was opened with
    uint32_t reliable;      // 1 TCP, 0 UDP
    KRSREQ_HNDLR handler;
    void* context;
    uint32_t state;         // KRSESS_* (under the module lock)
    int32_t refs;           // internal holders (under the module lock)
    int32_t userRefs;       // user holders (under the module lock)
    // The mux's view: the mux, the local and the peer's session id, the address words and the
    // session word. `link.owner` is this session.
    KRMUX_SESS link;
    KRTLADDR localAddr;     // as the mux reports them after the open
    KRTLADDR remoteAddr;
    uint32_t options[KRSESS_OPT_COUNT];
    // Keys (krrq_key*.cpp): the control handle, the data handles newest first (a circle), the
    // data-key nonce counter.
    KRREQ_CRYPT_HNDL* cntlCrypt;
    KRREQ_CRYPT_HNDL* dataCrypt;
    uint32_t dataCryptCount;
    uint32_t nonce;
    // Sequence numbers: the next request sent, the newest request received.
    uint32_t txSequence;
    uint32_t rxNewest;
    // Pending client requests, zombie and expired server requests.
    KRREQ_QUEUES queues;
    // Pending option-set exchanges (a circle) and the option-set counter.
    KROPT_HNDL* optHead;
    uint32_t optCount;
    uint32_t optSequence;
    // Last transmission, last reception, last request or response reception, and one no path sets.
    KRTIME lastTx;
    KRTIME lastRx;
    KRTIME lastReqRx;
    KRTIME unusedTime;
    uint32_t stats[KRSESS_STAT_WORDS];
    KRSESS_DESTROY_CBF destroyCallback;
    uint32_t timers;        // heartbeat timers armed: bit 0 tx, bit 1 rx
    KRTIME txDue;           // when the next heartbeat is due
    KRMUX_HNDL* mux;        // the session's own copy of link.mux, under its lock (null once detached)
    KRREQ_LIST notices;     // internal notices with the request handler, not completed yet
    // A listening session: its clones that carry KRSESS_F_UNCONFIRMED, and their bound.
    std::atomic<uint32_t> unconfirmed;
    uint32_t unconfirmedBound;
};

// ---- module ----
// Counted; the first creates the module lock and the registry.
int KrSessModuleInit(void);
void KrSessModuleCleanup(void);
// The initial sequence seed of KrRqModuleInit; session words are drawn from it.
uint32_t KrSessNextWord(void);
// Sessions in the registry (for checks).
uint32_t KrSessCount(void);
// A listening session's clones not confirmed yet (for checks).
uint32_t KrSessUnconfirmedCount(KRSESS_HNDL* listener);
// How many starts of the request layer are outstanding (KrRqModuleInit / KrRqModuleCleanup).
uint32_t KrRqModuleCount(void);

// ---- registry and references ----
// An internal reference on a live session whose state is above `minState`; 1 with KrErrno 1
// when the handle is not one.
int KrSessRefInc(KRSESS_HNDL* session, uint32_t minState);
// Drops it; the last one destroys the session (state 1, out of the registry, active cleanup,
// destroy callback).
void KrSessRefDec(KRSESS_HNDL* session);
int KrSessUserRefInc(KRSESS_HNDL* session);
int KrSessUserRefDec(KRSESS_HNDL* session);
// The session's state (KRSESS_DESTROYED when it is not in the registry).
uint32_t KrSessState(KRSESS_HNDL* session);

// ---- open and close ----
KRSESS_HNDL* KrSessOpenInternal(uint32_t passive, const KRTLADDR* local, const KRTLADDR* remote, KRSREQ_HNDLR handler,
                                void* context, const KRSESS_OPT* options, uint32_t count);
// A clone of a listening session for a peer's connect, in state 6.
KRSESS_HNDL* KrSessClone(KRSESS_HNDL* listener);
void KrSessRemoteClose(KRSESS_HNDL* session, uint32_t reason);
void KrSessDestroyCBFSet(KRSESS_HNDL* session, KRSESS_DESTROY_CBF callback);

// ---- accessors (no lock, no validation) ----
int KrSessIsActive(const KRSESS_HNDL* session);
int KrSessIsPassive(const KRSESS_HNDL* session);
uint32_t KrSessLocalAddrWord(const KRSESS_HNDL* session);
uint32_t KrSessRemoteAddrWord(const KRSESS_HNDL* session);
KRMUX_HNDL* KrSessMux(const KRSESS_HNDL* session);
// Time stamps: the NL forms need the session lock held.
void KrSessMarkTxNL(KRSESS_HNDL* session);
void KrSessMarkTx(KRSESS_HNDL* session);
void KrSessMarkRxNL(KRSESS_HNDL* session);
void KrSessMarkRx(KRSESS_HNDL* session);
void KrSessMarkReqRxNL(KRSESS_HNDL* session);
void KrSessMarkReqRx(KRSESS_HNDL* session);
// Adds to a statistics counter (and its byte total at word + 1 when `bytes` is given). NL: lock held.
void KrSessStatAddNL(KRSESS_HNDL* session, uint32_t word, uint32_t bytes);

// ---- heartbeats ----
// Start: the receive timer, then the transmit timer; stop: the other way. 0 on success.
int KrSessTimersStart(KRSESS_HNDL* session);
void KrSessTimersStop(KRSESS_HNDL* session);

// ---- transmit ----
// Sends a whole built message on the session's mux and marks the transmission; 0 when all of it
// was taken.
int KrSessTx(KRSESS_HNDL* session, const uint8_t* message, uint32_t length);
// Builds a control message (kind 2, `code`) carrying the peer's session id under the shared
// plain-text handle and sends it; 0 when sent whole.
int KrSessCntlTx(KRSESS_HNDL* session, uint32_t code, const uint8_t* payload, uint32_t length);

// ---- receive (called by the mux) ----
void KrSessControlHndlr(KRSESS_HNDL* session, const KRHDR* header, const uint8_t* payload, uint32_t length);
void KrSessConnectHndlr(KRSESS_HNDL* session, const KRHDR* header, const uint8_t* payload, uint32_t length);
void KrSessConnectAckHndlr(KRSESS_HNDL* session, const KRHDR* header, const uint8_t* payload, uint32_t length);

// ---- a session of no transport (a test seam) ----
// The local and peer session id of such a session.
constexpr uint32_t KRSESS_UNATTACHED_ID = 1;
// An open session on no mux or channel, with id KRSESS_UNATTACHED_ID on both ends, the given
// session word and unset address words: everything it sends fails, and nothing of it runs on
// another thread, so a test can feed it received datagrams without the io and timeout threads
// (only the session, request, key and receive-heap modules need to be started).
KRSESS_HNDL* KrSessOpenUnattached(uint32_t reliable, uint32_t sessionWord, KRSREQ_HNDLR handler, void* context);
// Takes `data` as one datagram received for the session and, on this thread before it returns,
// frames it as the mux's receive path does and dispatches each whole message as a mux holding
// only this session would: requests, responses and control codes 3 and up that name its id, a
// connect-ack whose words are its own; a connect finds no listening session.
void KrSessRxDatagram(KRSESS_HNDL* session, const uint8_t* data, uint32_t size);

// ---- handing requests up (krrq.cpp) ----
// Delivers a server request to the handler with the session lock released (an internal
// reference held across the call); a session without a handler ends it at once.
void KrSessUpperLayerSReqHndlr(KRSESS_HNDL* session, KRREQ_HNDL* request);
// Session lock held: a client request leaves the pending list, its timer and its timer key for
// good, before it is completed.
void KrCReqTakeNL(KRSESS_HNDL* session, KRREQ_HNDL* request);
// Calls a client request's completion once and releases the request.
void KrSessUpperLayerCReqHndlr(KRSESS_HNDL* session, KRREQ_HNDL* request);
// A received request or response message (the mux's packet as read), and its response path.
void KrSessRequestHndlr(KRSESS_HNDL* session, const KRMUX_RX* packet);
void KrSessResponseHndlr(KRSESS_HNDL* session, const KRMUX_RX* packet);
// The vector form of KrCReqEx.
// KrCReqSync that also reports how many response bytes arrived (0 for none), so that callers
// decode exactly the bytes the peer sent.
uint32_t KrCReqSyncLen(KRSESS_HNDL* session, uint32_t code, const void* data, uint32_t length, void* response,
                       uint32_t responseSize, uint32_t* responseLength);
int KrCReqV(KRSESS_HNDL* session, uint32_t code, const void* data, uint32_t length, KRCREQ_CBF callback, void* context,
            const KRSESS_OPT* options, uint32_t count);
// Callbacks of the library into the upper layer running on this thread (KrCReqSync refuses to
// block inside one).
void KrSessCallbackEnter(void);
void KrSessCallbackLeave(void);
// Logs a slow io thread around an upper-layer call: `after` 0 before the call ("internal
// processing"), 1 after it; `kind` "creq" or "sreq".
// The request's fields are passed by value: a server request may be gone once its handler returns.
void KrSessSlowCallbackLog(KRSESS_HNDL* session, uintptr_t request, uint32_t code, uint32_t status, uint32_t sequence,
                           const char* kind, int after);
// Zombie collection (session lock held); true when the expired requests reached the zombie limit
// and the session must be closed with reason 3.
bool KrSReqGC(KRSESS_HNDL* session);
// Destroy-time cleanup of the request lists: pending requests complete with status 19, zombies
// and expired requests are freed.
void KrSessReqCleanup(KRSESS_HNDL* session);
// An internal notice (2034 or 2035) as a server request delivered to the handler.
int KrSessInternalNotice(KRSESS_HNDL* session, uint32_t code, const uint8_t* payload, uint32_t length);

// ---- options (krrq_opt*.cpp) ----
// Applies session options (ids 0x10000-0x10009); `negotiate` 0 at open. 0, or 1 with KrErrno set.
int KrSessOptionsSetInternal(KRSESS_HNDL* session, const KRSESS_OPT* options, uint32_t count, int negotiate);
// The vector form behind KrSessOptionsSet/SetEx: session options first, then channel options.
int KrSessOptionsSetV(KRSESS_HNDL* session, const KRSESS_OPT* options, uint32_t count);
int KrSessOptionsGetInternal(KRSESS_HNDL* session, uint32_t id, uintptr_t* value);
// The defaults of a protocol (reliable 1: TCP).
void KrSessOptionsDefault(uint32_t* words, int reliable);
void KrSessOptSetHndlr(KRSESS_HNDL* session, const KRHDR* header, const uint8_t* payload, uint32_t length);
void KrSessOptAckHndlr(KRSESS_HNDL* session, const KRHDR* header, const uint8_t* payload, uint32_t length);
// Wakes and frees the pending option-set exchanges of a session that is going away.
void KrSessOptCleanup(KRSESS_HNDL* session);

// ---- the session keys (module "krrq_crypt", krrq_key*.cpp) ----
// Counted: the handle heap and the shared plain-text handle. 0 on success.
int KrReqCryptModuleInit(void);
void KrReqCryptModuleCleanup(void);
// The shared plain-text low-level handle of connect, ack, disconnect, heartbeat and option messages.
KRCRYPT_HNDL* KrReqCryptPlainText(void);
// A new session's plain-text control and data handles (key type 1); 0, or 1 with KrErrno set.
int KrSessCryptInit(KRSESS_HNDL* session);
// At destroy: the control handle freed, the remaining data handles retired and destroyed.
void KrSessCryptCleanup(KRSESS_HNDL* session);
// Session lock held: decrypts a received request (`plainText` its plain-text header part, `body`
// the rest) under the data handles, newest not waiting for its ack first, each active one or a
// usable one whose last sequence number is at or after `sequence`. The handle that decrypted it,
// referenced (KrReqCryptDeref), with `header` and `out` filled as by KrReqCTMsgDecrypt; null
// when none does.
KRREQ_CRYPT_HNDL* KrSessDataCryptDecrypt(KRSESS_HNDL* session, uint32_t sequence, const uint8_t* plainText,
                                         const uint8_t* body, uint32_t bodyLength, KRHDR* header, uint8_t* out,
                                         uint32_t outSize);
// Codes 7 and 8. `payload` lies in the received body, followed there by header->pad pad bytes
// and the 2-byte trailer; the packed header is KrHdrPack of `header` with the control handle's
// block size.
void KrSessDataKeySetHndlr(KRSESS_HNDL* session, const KRHDR* header, const uint8_t* payload, uint32_t length);
void KrSessDataKeyAckHndlr(KRSESS_HNDL* session, const KRHDR* header, const uint8_t* payload, uint32_t length);
// Options 0x10008 / 0x10009 and the exported key calls. 0, or 1 with KrErrno set.
int KrSessCntlKeySetInternal(KRSESS_HNDL* session, const KRCRYPT_KEY* key);
int KrSessCntlKeyGetInternal(KRSESS_HNDL* session, KRCRYPT_KEY* key);
int KrSessDataKeySetInternal(KRSESS_HNDL* session, const KRCRYPT_KEY* key, int negotiate);
int KrSessDataKeyGetInternal(KRSESS_HNDL* session, KRCRYPT_KEY* key);
// The references a handle holds now (for checks).
uint32_t KrReqCryptRefCount(const KRREQ_CRYPT_HNDL* handle);
