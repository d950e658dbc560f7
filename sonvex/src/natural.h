// Unsigned arithmetic the library shares: greatest common divisor and the reduced-fraction
// products used for ring sizes and clock conversions.
#pragma once
#include <cstdint>

// gcd(a, 0) = a, gcd(0, b) = b, else Euclid's remainder loop.
uint32_t gcd(uint32_t a, uint32_t b);

// ceil(x * num / den) with the fraction reduced first; den must not be 0.
uint64_t ceilMulDiv(uint64_t x, uint32_t num, uint32_t den);
