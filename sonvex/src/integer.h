// Signed sample arithmetic: the 32-bit sample word (left channel as signed 16 bits in the high
// half, right in the low half; mono repeated in both) and clamping to 16 bits.
#pragma once
#include <cstdint>

inline int32_t clamp16(int32_t v) {
    return v < -32768 ? -32768 : (v > 32767 ? 32767 : v);
}

// The word of one stereo frame from two 16-bit values (only their low 16 bits count).
inline uint32_t sampleWord(int32_t left, int32_t right) {
    return (static_cast<uint32_t>(left) << 16) | (static_cast<uint32_t>(right) & 0xFFFFu);
}
// A mono value in both halves.
inline uint32_t monoWord(int32_t v) {
    return (static_cast<uint32_t>(v) & 0xFFFFu) * 0x10001u;
}
inline int32_t wordLeft(uint32_t w) {
    return static_cast<int16_t>(w >> 16);
}
inline int32_t wordRight(uint32_t w) {
    return static_cast<int16_t>(w & 0xFFFFu);
}
