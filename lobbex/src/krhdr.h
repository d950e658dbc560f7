// Packet headers (module "krhdr"): the unpacked header KRHDR and its seven wire forms A-G, told
// apart by a unary prefix in the first byte (1111111x is invalid), and the Internet checksum.
// A header has a plain-text part, which the receiver reads first, and for request/response
// messages a cipher-text part (the code field) that travels inside the encrypted region.
#pragma once
#include <cstdint>

#include "krpiece.h"

enum : uint32_t { KRHDR_KIND_REQUEST = 1, KRHDR_KIND_CONTROL = 2 };

struct KRHDR {
    uint32_t kind;     // 1 request/response, 2 session control
    uint32_t id;       // the session id at the receiving end, at most 11 bits
    uint32_t length;   // payload bytes
    uint32_t pad;      // zero pad bytes after the payload
    uint32_t sequence; // 16 bits: the request sequence number, or the control code of kind 2
    uint32_t flag;     // 1 bit: 0 request, 1 response
    uint32_t code;     // 8 or 16 bits by form: the request or response code
};

// The form letters, and the largest packed header.
enum KRHDR_FORM : int { KRHDR_A, KRHDR_B, KRHDR_C, KRHDR_D, KRHDR_E, KRHDR_F, KRHDR_G, KRHDR_INVALID };
constexpr uint32_t KRHDR_MAX_LEN = 12;
constexpr uint32_t KRHDR_MIN_PT_LEN = 3;
// The largest session id a request/response header carries, and a control header.
constexpr uint32_t KRHDR_MAX_REQUEST_ID = 2046;
constexpr uint32_t KRHDR_MAX_CONTROL_ID = 2047;

KRHDR_FORM KrHdrForm(uint8_t firstByte);

// Writes the smallest form that fits for the cipher block size, stores the pad it chose and
// returns the packed size (4, 5, 6, 8, 10 or 12); 0 with KrErrno 1 when no form fits.
uint32_t KrHdrPack(const KRHDR* header, uint8_t* buffer, uint32_t blockSize, uint32_t* padOut);

// Fills the header from a packed header; the buffer must hold the header's plain-text part
// (KrPTHdrPackedLen bytes), and the cipher-text part too when `withCode` is set. With `withCode`
// the code (kind 1) and the sequence field (kind 2) are filled as well, else they are 0.
// 0, or 1 with KrErrno 1 for the invalid prefix.
int KrHdrUnpack(const uint8_t* buffer, KRHDR* header, int withCode);
// The plain-text part only.
int KrHdrUnpackPT(const uint8_t* plainText, KRHDR* header);
// A plain-text part and a separately decrypted cipher-text part, with the code.
int KrHdrUnpackPTCT(const uint8_t* plainText, const uint8_t* cipherText, KRHDR* header);

// Sizes from the first byte (total, plain-text part, cipher-text part) and the pad carried in a
// packed header (its plain-text part); -1 with KrErrno 2 for the invalid prefix.
int KrHdrPackedLen(uint8_t firstByte);
int KrPTHdrPackedLen(uint8_t firstByte);
int KrCTHdrPackedLen(uint8_t firstByte);
int KrHdrPadLen(const uint8_t* plainText);

// The Internet checksum (RFC 1071) of the pieces taken as one run of bytes: the ones' complement
// of the ones' complement sum of big-endian 16-bit words, an odd last byte padded with zero.
// The result is a number whose big-endian bytes are the checksum bytes (the checksum of a run
// that holds a correct checksum is 0).
uint16_t KrInCksumV(const KRPIECE* pieces, int count);
uint16_t KrInCksum(const void* data, uint32_t length);
