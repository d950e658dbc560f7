// The session multiplexer (krmux): many sessions over one io channel between one local and one
// remote transport address. An active mux numbers its sessions with local ids; a passive mux
// listens and makes an active mux (a clone, "new" until its first connect) for every new peer.
// A mux reads packets off its channel and hands requests and responses to the session named by
// the header's id, and control messages to its own control handler (connect, connect-ack) or to
// that session. Closing a mux closes its sessions with reason 1.
//
// The mux sees a session only through the link record the session carries (KRMUX_SESS) and calls
// the session layer through the table it installs at its start (KrMuxSetSessOps); the mux lock is
// left around every such call, with the session held.
#pragma once
#include <cstdint>

#include "krhdr.h"
#include "krio.h"
#include "krmux_rx.h"
#include "krtypes.h"

struct KRMUX_HNDL;

// A session as the mux knows it. The mux writes these fields under its lock.
struct KRMUX_SESS {
    KRMUX_SESS* next; // the circle of the mux's list
    KRMUX_SESS* prev;
    KRMUX_HNDL* mux;
    uint32_t active;      // 1 opened actively or cloned for a peer; 0 listening
    uint32_t localId;     // given by an active mux
    uint32_t remoteId;    // the peer's id, learnt from its connect or connect-ack
    uint32_t localWord;   // address words (KRADDR_NONE when unset)
    uint32_t remoteWord;
    uint32_t sessionWord;
    uint32_t closed;      // the session is closed: lookups pass it by
    void* owner;          // the session this link belongs to
};

// The session layer's side. Every call is made with no mux lock held and the session held.
struct KRMUX_SESSOPS {
    void (*hold)(KRMUX_SESS* session);
    void (*release)(KRMUX_SESS* session);
    // A new session cloned from a listening one for a peer's connect (null: none made).
    KRMUX_SESS* (*clone)(KRMUX_SESS* listener);
    void (*connect)(KRMUX_SESS* session, const KRHDR* header, const uint8_t* payload, uint32_t length);
    void (*connectAck)(KRMUX_SESS* session, const KRHDR* header, const uint8_t* payload, uint32_t length);
    // Control codes 3 and up.
    void (*control)(KRMUX_SESS* session, const KRHDR* header, const uint8_t* payload, uint32_t length);
    // A request or response: the packet as read (its header's code still under the cipher).
    void (*request)(KRMUX_SESS* session, const KRMUX_RX* packet);
    void (*remoteClose)(KRMUX_SESS* session, uint32_t reason);
};

enum : uint32_t {
    KRMUX_DESTROYED = 0,
    KRMUX_DESTROYING = 1,
    KRMUX_CLOSING = 2,
    KRMUX_OPENING = 3,
    KRMUX_NEW = 4,
    KRMUX_OPEN = 5,
};

// Counted; the first start makes the receive heap and starts the io module.
int KrMuxModuleInit(void);
void KrMuxModuleCleanup(void);
void KrMuxSetSessOps(const KRMUX_SESSOPS* ops);

// `active` 1 or 0; a missing address is null. Options go only to the channel.
KRMUX_HNDL* KrMuxOpen(uint32_t active, const KRTLADDR* local, const KRTLADDR* remote,
                      const KRIO_OPTION* options, uint32_t count);
KRMUX_HNDL* KrMuxClone(KRMUX_HNDL* passive);
// With a reference taken: drop it with KrMuxRelease.
KRMUX_HNDL* KrMuxFindAddr(uint32_t active, const KRTLADDR* local, const KRTLADDR* remote);
void KrMuxRelease(KRMUX_HNDL* mux);
// 0, or 1 (KrErrno 1 bad parameters, 3 no id: an active mux gives no id above 2046).
int KrMuxSessAdd(KRMUX_SESS* session, const KRTLADDR* local, const KRTLADDR* remote, int open,
                 const KRIO_OPTION* options, uint32_t count);
void KrMuxSessRemove(KRMUX_SESS* session);
// The open session with that local id, held (release it through the session layer); null when none.
KRMUX_SESS* KrMuxLocalIdToSess(KRMUX_HNDL* mux, uint32_t id);
int KrMuxTxV(KRMUX_HNDL* mux, const KRIOVEC* vector, uint32_t count);
int KrMuxTx(KRMUX_HNDL* mux, const void* buffer, uint32_t length);
int KrMuxGetTlAddr(KRMUX_HNDL* mux, KRTLADDR* address, int remote);
int KrMuxOptionsSet(KRMUX_HNDL* mux, const KRIO_OPTION* options, uint32_t count);
int KrMuxOptionGet(KRMUX_HNDL* mux, uint32_t id, uint32_t* value);
void KrMuxClose(KRMUX_HNDL* mux);

// The io callbacks.
void KrMuxRxEventHndlr(void* argument, uint32_t eventClass);
void KrMuxAcceptEventHndlr(void* argument, uint32_t eventClass);

// For checks: the mux's state (KRMUX_DESTROYED when it is gone) and the live muxes.
uint32_t KrMuxState(KRMUX_HNDL* mux);
uint32_t KrMuxCount(void);
