// The GULP data channels: a table of 64 slots, each with its own lock, its session to the GULP
// server, its receive queue and its meter. What other modules of the library use of it.
#pragma once
#include <atomic>
#include <cstdint>

#include "krevent.h"
#include "krxdrtypes.h"
#include "lobbex_exports.h"

constexpr int KR_MAX_GULPS = 64;

// Slot states.
enum : uint16_t {
    KRGULP_FREE = 0,
    KRGULP_CLAIMED = 1,
    KRGULP_OPENING = 2,
    KRGULP_OPEN_SENT = 3,
    KRGULP_CONNECTED = 4,
};

// The receive queue keeps at most this many messages or bytes; beyond, the oldest is dropped.
constexpr uint32_t KRGULP_QUEUE_MAX_MESSAGES = 4096;
constexpr uint32_t KRGULP_QUEUE_MAX_BYTES = 4u << 20;

struct KRGULP_QENTRY {
    KRGULP_QENTRY* next;
    KRADDR sender;
    uint32_t length;
    uint8_t data[1]; // `length` bytes, allocated with the entry
};

struct KRGULP_CB {
    int16_t game;
    uint16_t state;             // under lock
    KRLOCK lock;                // state, session, info and the queue
    int16_t openStyle;
    uintptr_t context;
    KRSESS_HNDL* session;
    KRGICS_GULP_INFO info;
    KRGULP_OPEN_CBF openCallback;
    KRGULP_MSG_CBF messageCallback;
    KRGULP_QENTRY* head;
    KRGULP_QENTRY* tail;
    std::atomic<uint32_t> queued; // messages and bytes in the queue (changed under lock)
    uint32_t queuedBytes;
    std::atomic<uint32_t> firstLength; // length of the first queued message, 0 when none
    KRGULP_METER meter;         // under lock
    KRGULP_METER snapshot;
};

KRGULP_CB* GetGULPPtr(HGULP gulp);
// The slot's session, 0 for an invalid handle.
KRSESS_HNDL* GetGULPSession(HGULP gulp);
// The connected slot's session with an internal reference (drop it with KrSessRefDec), or null.
KRSESS_HNDL* KrGULPSessionRef(HGULP gulp);
// The request handler of every GULP session; its context is the HGULP.
void MultiCastReqHndlrCBF(KRSESS_HNDL* session, void* context, uint32_t code, uint8_t* data, uint32_t length,
                          KRREQ_HNDL* request);
// The GULP descriptions from the game instance server (krcgame_query.cpp): 0 or a negative code;
// the decoded record belongs to the caller (krxdr_free).
int KrQueryGULPInfo(int16_t game, KRADDR gulp, KRGICS_GULP_INFO* info);
int16_t KrFindGULPInfo(int16_t game, const char* name, KRGICS_GULP_INFO* info);

// The close of a GULP slot (KrCloseGULP, in krgulp_speech.cpp, stops a speech GULP's dispatcher
// first and then comes here).
void KrCloseGULPSlot(HGULP gulp);
// The message callback of a speech GULP with a dispatcher (context: the dispatcher), and what a
// remote close of such a GULP calls on the io thread after the slot has let go of it.
void KrSpeechRelay(HGULP gulp, uintptr_t context, KRADDR sender, const void* data, uint32_t length);
void KrSpeechGULPDetached(uintptr_t dispatcher);
// How many speech dispatchers exist (made and not yet freed by their threads).
int KrSpeechDispatcherCount(void);
