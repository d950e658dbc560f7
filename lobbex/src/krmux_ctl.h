// Control messages as the mux reads them: the whole header of a received packet, and the
// address words of connect and connect-ack payloads (big-endian 32-bit words), read only after
// their length has been checked against the bytes really received.
#pragma once
#include <cstdint>

#include "krhdr.h"
#include "krmux_rx.h"

constexpr uint32_t KR_SESS_VERSION = 102;
constexpr uint32_t KR_CONNECT_LEN = 24;     // connect and connect-ack
constexpr uint32_t KR_CONNECT_ACK_MIN = 16; // what the mux needs of a connect-ack
constexpr uint32_t KR_ADDR_WORD_UNSET = 0x7FFFFFFF;

struct KRMUX_CONNECT {
    uint32_t version;
    uint32_t sessionWord;
    uint32_t sourceWord; // the sender's local address word
    uint32_t destWord;   // the sender's remote address word
    uint32_t txInterval; // sender's heartbeat interval, ms (connect and a full connect-ack)
    uint32_t rxCount;    // sender's heartbeat count
};

// The complete header of a received packet (with its control code; a request's code is right only
// once its cipher text has been decrypted) and where its
// payload starts in the body; 0, or 1 when the header cannot be unpacked or the body does not
// hold the header's cipher-text part, payload, pad and trailer.
int KrMuxRxHeader(const KRMUX_RX* rx, KRHDR* header, uint32_t* payloadOffset, uintptr_t tag);
// A connect: fewer than 24 bytes are refused (1) with the session layer's log line, before any
// word is read.
int KrMuxConnectParse(const uint8_t* payload, uint32_t length, KRMUX_CONNECT* out, uintptr_t tag);
// A connect-ack as far as the mux needs it (words 1-3): fewer than 16 bytes are refused (1).
// The heartbeat words are read only when present (else 0).
int KrMuxConnectAckParse(const uint8_t* payload, uint32_t length, KRMUX_CONNECT* out, uintptr_t tag);
