// Big-endian (network order) words in byte buffers: the protocol's words are read and written
// byte by byte, whatever the host's order.
#pragma once
#include <cstdint>

inline uint32_t KrGetBe32(const uint8_t* p) {
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

inline void KrPutBe32(uint8_t* p, uint32_t v) {
    p[0] = (uint8_t)(v >> 24);
    p[1] = (uint8_t)(v >> 16);
    p[2] = (uint8_t)(v >> 8);
    p[3] = (uint8_t)v;
}
