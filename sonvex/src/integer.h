// Signed sample arithmetic: the 32-bit sample word of sonvex_format.h (left channel as signed 16
// bits in the high half, right in the low half; mono repeated in both) and clamping to 16 bits.
#pragma once
#include <cstdint>

#include "sonvex_format.h"

using svxfmt::MonoWord;
using svxfmt::SampleWord;
using svxfmt::WordLeft;
using svxfmt::WordRight;

inline int32_t clamp16(int32_t v) {
    return v < -32768 ? -32768 : (v > 32767 ? 32767 : v);
}
