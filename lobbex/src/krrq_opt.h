// Session options (module "krrq_opt"): the pending option-set exchange KROPT_HNDL, kept in a
// circle on its session under the session lock, and the option-set / option-ack payload.
#pragma once
#include <cstdarg>
#include <cstdint>

#include "krevent.h"

struct KRSESS_HNDL;
struct KRSESS_OPT;

enum : uint32_t { KROPT_SENT = 1, KROPT_ACKED = 2 };
enum : uint32_t { KROPT_TYPE_HEARTBEAT = 1 };
// Option-ack status words.
enum : uint32_t { KROPT_STATUS_OK = 0, KROPT_STATUS_FAILED = 2, KROPT_STATUS_BUSY = 12 };
constexpr uint32_t KROPT_HEADER_LEN = 16; // sequence, type, status, data length
constexpr uint32_t KROPT_HB_DATA_LEN = 8; // tx interval, rx count

struct KROPT_HNDL {
    KROPT_HNDL* next;
    KROPT_HNDL* prev;
    uint32_t sequence;
    uint32_t status; // the peer's
    uint8_t* data;   // the caller's, filled from the ack
    uint32_t length;
    KrEvent event;
    uint32_t state;
};

// Reads (id, value) pairs from a variable argument list up to the KRSESS_OPTID_END terminator into
// pairs (room for KRSESS_MAX_OPT_PAIRS); the number read, or -1 when no terminator came in time.
int KrSessOptPairsRead(va_list args, KRSESS_OPT* pairs);

// The session's pending list; the NL forms need the session lock held.
void KrOptListAppendNL(KRSESS_HNDL* session, KROPT_HNDL* node);
void KrOptListRemoveNL(KRSESS_HNDL* session, KROPT_HNDL* node);
KROPT_HNDL* KrOptListFindNL(KRSESS_HNDL* session, uint32_t sequence);

// Sends an option-set of `type` with `data` and waits for its ack (session lock held, left while
// waiting); the acknowledged data is copied back into `data`. 0, or 1 with KrErrno 0x10001 (no
// ack), 0x10003 (the peer refused) or 3.
int KrSessOptSetReq(KRSESS_HNDL* session, uint32_t type, uint8_t* data, uint32_t length);
