// Greatest common divisor and reduced-fraction products.
#include "natural.h"

uint32_t gcd(uint32_t a, uint32_t b) {
    if (a == 0)
        return b;
    if (b == 0)
        return a;
    while (b != 0) {
        uint32_t r = a % b;
        a = b;
        b = r;
    }
    return a;
}

uint64_t ceilMulDiv(uint64_t x, uint32_t num, uint32_t den) {
    uint32_t g = gcd(num, den);
    num /= g;
    den /= g;
    uint64_t p = x * num;
    return (p + den - 1) / den;
}
