// The receive framing of a mux: reads one packet at a time off its channel (the first 3 header
// bytes, the rest of the plain-text header, then the body) and says what became of it. Over a
// byte stream a bad header closes the mux; over datagrams a message starts at a datagram start
// and goes on into the next datagram only from a full one, so a lost, repeated or cut datagram
// damages at most the message it belongs to and the next one, and a bad header drops only its
// datagram. A body longer than any sender builds is never allocated: it is read away (stream) or
// its datagram dropped.
#pragma once
#include <cstdint>

#include "krhdr.h"
#include "krio.h"

// The largest body accepted: more than the largest message a sender builds.
constexpr uint32_t KR_MUX_MAX_BODY = 65536;

// Where the bytes come from: the mux's channel, or a test's feed. `rx` gives the bytes read, 0
// when none are there yet, below 0 on error; `mark` gives 0 and the datagram mark for a datagram
// source, non-zero for a stream; `discard` drops the rest of the current datagram.
struct KRMUX_RXSRC {
    void* context;
    int (*rx)(void* context, void* buffer, uint32_t length);
    int (*mark)(void* context, KRIO_RXMARK* mark);
    uint32_t (*discard)(void* context);
};

enum KRMUX_RXSTATE : uint32_t {
    KRMUX_RX_IDLE = 0,
    KRMUX_RX_PREFIX = 1,   // reading the first 3 header bytes
    KRMUX_RX_HEADER = 2,   // reading the rest of the plain-text header
    KRMUX_RX_HDRDONE = 3,
    KRMUX_RX_BODY = 4,
    KRMUX_RX_SKIP = 5,     // reading a body away
    KRMUX_RX_COMPLETE = 6,
};

struct KRMUX_RX {
    uint32_t state;
    uint8_t header[KRHDR_MAX_LEN];
    uint32_t headerLen; // the plain-text part's length
    KRHDR hdr;          // the plain-text part unpacked (no code or control code yet)
    uint8_t* body;      // the cipher-text part of the header, payload, pad and trailer
    uint32_t bodyLen;
    uint32_t expected;  // bytes of the current part
    uint32_t resid;     // of them still to read
    uint32_t firstDatagram; // datagram count where the message started (datagram sources)
};

enum KRMUX_RXRESULT : int {
    KRMUX_RX_WAIT = 0,    // nothing complete yet: call again on the next readable event
    KRMUX_RX_MESSAGE = 1, // a whole packet: header, headerLen, hdr, body and bodyLen
    KRMUX_RX_DROPPED = 2, // a packet was read and dropped
    KRMUX_RX_CLOSE = 3,   // the stream cannot go on: close the mux
};

// The receive buffer heap, counted over module starts; 0 on success.
int KrMuxRxBufHeapInit(void);
void KrMuxRxBufHeapDestroy(void);
void KrMuxRxBufFree(void* buffer);
// Blocks the heap holds (for checks).
uint32_t KrMuxRxBufCount(void);

// Runs the framing until a short read or one packet is complete or dropped. After
// KRMUX_RX_MESSAGE the body belongs to the caller (KrMuxRxBufFree) and the framing is idle.
KRMUX_RXRESULT KrMuxRxRun(KRMUX_RX* rx, const KRMUX_RXSRC* source, uintptr_t tag);
// Back to idle, freeing a partly read body.
void KrMuxRxReset(KRMUX_RX* rx);
