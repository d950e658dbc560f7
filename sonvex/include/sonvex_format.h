// Constants and arithmetic of the movie sound formats that both the decoders of libsonvex.so and
// an encoder need: the sample word packing, the 4-bit ADPCM magnitude table and the code step.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace svxfmt {

// Sample words: 32 bits, the left channel as signed 16 bits in the high half, the right in the
// low half; a mono value fills both halves. Only the low 16 bits of each value count.
constexpr uint32_t SampleWord(int32_t left, int32_t right) {
    return (static_cast<uint32_t>(left) << 16) | (static_cast<uint32_t>(right) & 0xFFFFu);
}
constexpr uint32_t MonoWord(int32_t v) {
    return (static_cast<uint32_t>(v) & 0xFFFFu) * 0x10001u;
}
constexpr int32_t WordLeft(uint32_t w) {
    return static_cast<int16_t>(w >> 16);
}
constexpr int32_t WordRight(uint32_t w) {
    return static_cast<int16_t>(w & 0xFFFFu);
}

// Step indices run 0..kMaxIndex.
constexpr int32_t kMaxIndex = 88;

// The published IMA ADPCM step sizes.
inline constexpr uint16_t kImaSteps[kMaxIndex + 1] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// The 44 rows whose step in this format is one above the published value.
constexpr bool RaisedRow(int i) {
    return i == 7 || i == 9 || i == 13 || i == 17 || i == 19 || (i >= 22 && i <= 28) || i == 32 ||
           (i >= 34 && i <= 37) || (i >= 40 && i <= 44) || i == 49 || i == 51 || i == 54 || i == 57 ||
           (i >= 60 && i <= 63) || (i >= 67 && i <= 70) || (i >= 72 && i <= 76) || (i >= 78 && i <= 80) ||
           i == 85 || i == 87;
}

using MagnitudeTable = std::array<std::array<uint16_t, 8>, kMaxIndex + 1>;

// Magnitude table: entry [i][m] = floor((2m + 1) * S[i] / 8), S being the step of row i.
constexpr MagnitudeTable MakeMagnitudes() {
    MagnitudeTable t{};
    for (int i = 0; i <= kMaxIndex; ++i) {
        const uint32_t s = kImaSteps[i] + (RaisedRow(i) ? 1u : 0u);
        for (uint32_t m = 0; m < 8; ++m)
            t[static_cast<size_t>(i)][m] = static_cast<uint16_t>((2 * m + 1) * s / 8);
    }
    return t;
}
inline constexpr MagnitudeTable kMagnitudes = MakeMagnitudes();

// The index update shared by every code: -1 for 0-3, +2/+4/+6/+8 for 4-7, kept in 0..88.
constexpr int32_t NextIndex(int32_t index, uint32_t magnitude) {
    const int32_t i = magnitude < 4 ? index - 1 : index + 2 * static_cast<int32_t>(magnitude) - 6;
    return i < 0 ? 0 : (i > kMaxIndex ? kMaxIndex : i);
}

// One channel's decoder state.
struct Channel {
    int32_t predictor = 0;
    int32_t index = 0;
};

// One code without clamping: the predictor runs on as a wrapping 32-bit value.
constexpr void StepFree(Channel& c, uint32_t code) {
    const uint32_t m = code & 7;
    const uint32_t d = kMagnitudes[static_cast<size_t>(c.index)][m];
    c.index = NextIndex(c.index, m);
    const uint32_t p = static_cast<uint32_t>(c.predictor);
    c.predictor = static_cast<int32_t>((code & 8) ? p - d : p + d);
}

// One code with the predictor limited to -32768..32767.
constexpr void StepClamped(Channel& c, uint32_t code) {
    const uint32_t m = code & 7;
    const int64_t d = kMagnitudes[static_cast<size_t>(c.index)][m];
    c.index = NextIndex(c.index, m);
    const int64_t p = (code & 8) ? int64_t{c.predictor} - d : int64_t{c.predictor} + d;
    c.predictor = static_cast<int32_t>(p < -32768 ? -32768 : (p > 32767 ? 32767 : p));
}

}  // namespace svxfmt
