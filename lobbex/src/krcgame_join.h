// What the game API's modules share inside the library: the join/leave notification record,
// the game session taken with a reference, the handler of the game session, and the XDR helpers
// of the game requests (encode into a growable stream, decode exactly the bytes that arrived).
#pragma once
#include <rpc/xdr.h>

#include <cstdint>

#include "krcgame.h"
#include "krevent.h"
#include "lobbex_exports.h"

// One registered join/leave callback, a member of its game's circular ring. It holds one
// reference while it is registered and one more for each walk that is calling it; it leaves the
// ring and is freed when the last one drops (under the game lock).
struct KRJOINLEAVE_HNDL {
    KRJOINLEAVE_HNDL* next;
    KRJOINLEAVE_HNDL* prev;
    KRLOCK lock;      // guards refs
    KRLOCK* gameLock; // of the slot owning the ring
    int32_t refs;
    KRJOINLEAVE_CBF callback;
    uintptr_t context;
    int32_t removed;  // disabled: no longer found, freed when the last walk lets go
};

// The game session with an internal reference (drop it with KrSessRefDec), or null when the game
// has none. Read under the game lock, so a remote close cannot free it in between.
KRSESS_HNDL* KrGameSessionRef(KRGAME_CB* slot);

// The game session's request handler: join and leave notices, the remote close, unknown codes.
void GICSReqHndlrCBF(KRSESS_HNDL* session, void* context, uint32_t code, uint8_t* data, uint32_t length,
                     KRREQ_HNDL* request);
// Releases the notification ring of a slot that has been left.
void JoinLeaveNotifyCleanup(KRGAME_CB* slot);

// The bytes `routine` encodes for `record`, in a heap buffer the caller frees; false on failure.
bool KrGameEncode(xdrproc_t routine, void* record, char** bytes, uint32_t* length);
// Decodes `record` from exactly `length` bytes; on failure whatever was decoded is released.
bool KrGameDecode(xdrproc_t routine, void* record, const void* data, uint32_t length);

// The room of a synchronous reply.
constexpr uint32_t KR_GAME_RESPONSE_SIZE = 1024;

// A KRADDR-qualified transport address (family 4) around `inner` (a tcp or udp address).
KRTLADDR KrQualifiedTlAddr(KRADDR address, const KRTLADDR& inner);
// Opens an active session with the game's heartbeats (60000 ms, 5 missed).
KRSESS_HNDL* KrGameSessOpen(KRADDR own, const KRTLADDR& remoteInner, KRADDR remote, KRSREQ_HNDLR handler,
                            void* context);
