// Sequence windows (module "krrq_seq"). A request sequence number is 32 bits: an 18-bit epoch
// (bits 31-14) and a 14-bit offset (bits 13-0); the 16 bits on the wire are the offset and the
// low 2 bits of the epoch. Relative to a reference (the newest number seen) a number has a signed
// distance when it lies in the same, the next or the previous epoch; in any other epoch the two
// are incomparable. Epochs count modulo 2^18, so the 32-bit counter may wrap.
#pragma once
#include <cstdint>

constexpr uint32_t KR_SEQ_EPOCH_SIZE = 0x4000;    // numbers per epoch
constexpr uint32_t KR_SEQ_INCOMPARABLE = 0x10000; // what KrSeqDistance gives for incomparable numbers

// The 32-bit number nearest the reference for a received 16-bit value.
uint32_t KrSeqNormalize(uint32_t reference, uint16_t received);
// Comparable with the reference and -16384 < distance <= 16384.
int KrSeqInWindow(uint32_t reference, uint32_t x);
// |distance(a) - distance(b)|, or 0x10000 when either is incomparable.
uint32_t KrSeqDistance(uint32_t reference, uint32_t a, uint32_t b);
// Comparisons through the distances; comparing incomparable numbers is a failed module
// invariant and gives 0. Check KrSeqInWindow first.
int KrSeqNewer(uint32_t reference, uint32_t a, uint32_t b); // a after b
int KrSeqNewerOrEqual(uint32_t reference, uint32_t a, uint32_t b);
int KrSeqOlder(uint32_t reference, uint32_t a, uint32_t b); // a before b
int KrSeqOlderOrEqual(uint32_t reference, uint32_t a, uint32_t b);
int KrSeqEqual(uint32_t reference, uint32_t a, uint32_t b);
