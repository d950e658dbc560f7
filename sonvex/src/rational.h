// A normalised fraction: magnitude numerator, sign and denominator, reduced by their gcd. The
// library uses it for the time offset of a held-over sample in the rate converters.
#pragma once
#include <cstdint>

class Rational {
public:
    Rational() = default;
    // A numerator of 0 gives 0/1 with sign 0; a zero denominator is fatal.
    Rational(uint32_t numerator, uint32_t denominator, bool negative = false);
    uint32_t numerator() const { return m_num; }
    uint32_t denominator() const { return m_den; }
    int32_t sign() const { return m_sign; }
    bool isZero() const { return m_num == 0; }
    bool operator==(const Rational& o) const {
        return m_num == o.m_num && m_den == o.m_den && m_sign == o.m_sign;
    }

private:
    uint32_t m_num = 0;
    int32_t m_sign = 0;
    uint32_t m_den = 1;
};
