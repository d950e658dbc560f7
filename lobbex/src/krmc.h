// The two compressed multicast headers of the GULP data channels: the transmit header in front of
// every data-out payload (payload length and destinations) and the receive header in front of the
// payloads of a data-in request (each message's sender and length). Addresses and lengths travel
// as differences from the smallest one, packed with Kr31Pack and KrAddrPack.
#pragma once
#include <cstdint>

#include "krtypes.h"

// The plain header can name at most this many destinations (8 + 4n bytes up to 1024) and at most
// this many messages (4 + 8n bytes; the first byte cannot state more).
constexpr uint32_t KRMC_TX_MAX = 254;
constexpr uint32_t KRMC_RX_MAX = 127;
constexpr uint32_t KRMC_PLAIN_MAX = 1024;
// Room a packer may use in its output while it works (it refuses anything not shorter than the
// plain form, so a header that is sent is always below KRMC_PLAIN_MAX bytes).
constexpr uint32_t KRMC_PACK_ROOM = KRMC_PLAIN_MAX + 16;

struct KRMC_TXHDR {
    uint32_t length;
    uint32_t count;
    KRADDR dest[KRMC_TX_MAX];
};

struct KRMC_RXPAIR {
    KRADDR sender;
    uint32_t length;
};

struct KRMC_RXHDR {
    uint32_t count;
    KRMC_RXPAIR msg[KRMC_RX_MAX];
};

// The plain size in bytes that the packed header's first byte states (0 stands for 1024).
uint32_t KrMCHdrLen(const uint8_t* packed);
// Packers: the packed length written to `out` (KRMC_PACK_ROOM bytes of room), or 0 when the
// header cannot be described (too many entries, a value with bit 31 set) or would not be
// shorter than its plain form.
uint32_t KrMCTxHdrPack(const KRMC_TXHDR* plain, uint8_t* out);
uint32_t KrMCRxHdrPack(const KRMC_RXHDR* plain, uint8_t* out);
// Unpackers: read at most `available` bytes; the packed length read (where the payload starts),
// or 0 with KrErrno 2 and a log line when the header is malformed, runs past the bytes given or
// reaches its stated plain size.
uint32_t KrMCTxHdrUnpack(const uint8_t* packed, uint32_t available, KRMC_TXHDR* plain);
uint32_t KrMCRxHdrUnpack(const uint8_t* packed, uint32_t available, KRMC_RXHDR* plain);
