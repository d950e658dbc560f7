// Rational: construction and normalisation.
#include "rational.h"

#include "natural.h"
#include "sonvex_log.h"

Rational::Rational(uint32_t numerator, uint32_t denominator, bool negative) {
    if (denominator == 0)
        AUDIO_FATAL("Rational::Zero denominator");
    if (numerator == 0)
        return;
    uint32_t g = gcd(numerator, denominator);
    m_num = numerator / g;
    m_den = denominator / g;
    m_sign = negative ? -1 : 1;
}
