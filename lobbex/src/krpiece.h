// A piece of a message: a pointer and a length. Messages are gathered from lists of pieces (the
// header, the payload, the pad, the trailer) by the ciphers, and summed by the checksum.
#pragma once
#include <cstdint>

struct KRPIECE {
    const void* data;
    uint32_t length;
};
