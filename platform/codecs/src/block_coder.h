// The small lossy coder inside the speech codec stand-ins: a frame of 16-bit samples goes through
// a DCT, and only its largest coefficients are kept, each as an index and a value quantised
// against the frame's largest one. Decoding reads only what the coded bytes hold: indexes past the
// frame and scales that are not finite are ignored.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <vector>

namespace block_coder {

// The DCT-II basis of a frame of n samples, made once per size.
inline const std::vector<float>& Basis(int n) {
    static thread_local std::vector<float> basis;
    static thread_local int size = 0;
    if (size != n) {
        basis.resize((size_t)n * (size_t)n);
        for (int k = 0; k < n; ++k)
            for (int i = 0; i < n; ++i)
                basis[(size_t)k * (size_t)n + (size_t)i] =
                    (float)(std::cos(M_PI / n * (i + 0.5) * k) * std::sqrt((k ? 2.0 : 1.0) / n));
        size = n;
    }
    return basis;
}

inline int16_t Sample(const uint8_t* p) {
    return (int16_t)(uint16_t)(p[0] | p[1] << 8);
}

inline void Transform(const uint8_t* samples, int n, std::vector<float>* out) {
    const std::vector<float>& b = Basis(n);
    out->assign((size_t)n, 0.0f);
    for (int k = 0; k < n; ++k) {
        float sum = 0;
        for (int i = 0; i < n; ++i) sum += b[(size_t)k * (size_t)n + (size_t)i] * (float)Sample(samples + 2 * i);
        (*out)[(size_t)k] = sum;
    }
}

inline void Inverse(const std::vector<float>& coefficients, int n, uint8_t* samples) {
    const std::vector<float>& b = Basis(n);
    for (int i = 0; i < n; ++i) {
        float sum = 0;
        for (int k = 0; k < n; ++k)
            if (coefficients[(size_t)k] != 0) sum += b[(size_t)k * (size_t)n + (size_t)i] * coefficients[(size_t)k];
        const long v = std::lround(std::clamp(sum, -32768.0f, 32767.0f));
        samples[2 * i] = (uint8_t)(v & 0xFF);
        samples[2 * i + 1] = (uint8_t)((v >> 8) & 0xFF);
    }
}

// The indexes of the `keep` largest coefficients, largest first.
inline std::vector<int> Largest(const std::vector<float>& c, int keep) {
    std::vector<int> order(c.size());
    std::iota(order.begin(), order.end(), 0);
    keep = std::min<int>(keep, (int)c.size());
    std::partial_sort(order.begin(), order.begin() + keep, order.end(),
                      [&](int a, int b) { return std::fabs(c[(size_t)a]) > std::fabs(c[(size_t)b]); });
    order.resize((size_t)keep);
    return order;
}

inline void PutFloat(uint8_t* p, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    for (int i = 0; i < 4; ++i) p[i] = (uint8_t)(bits >> (8 * i));
}

inline float GetFloat(const uint8_t* p) {
    const uint32_t bits = (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
    float v;
    std::memcpy(&v, &bits, 4);
    return std::isfinite(v) ? v : 0.0f;
}

// Fixed-size frames: a 4-byte scale, then (codedBytes - 4) / 2 words of a 9-bit index and a 7-bit
// signed value (-63 to 63 steps of the scale). Frames of at most 512 samples.
inline void EncodeFixed(const uint8_t* samples, int n, uint8_t* coded, int codedBytes) {
    std::vector<float> c;
    Transform(samples, n, &c);
    const int pairs = (codedBytes - 4) / 2;
    const std::vector<int> keep = Largest(c, pairs);
    const float peak = keep.empty() ? 0.0f : std::fabs(c[(size_t)keep[0]]);
    const float scale = peak / 63.0f;
    std::memset(coded, 0, (size_t)codedBytes);
    PutFloat(coded, scale);
    for (size_t j = 0; j < keep.size(); ++j) {
        const long q = scale > 0 ? std::lround(c[(size_t)keep[j]] / scale) : 0;
        const uint16_t word = (uint16_t)(keep[j] << 7 | (q & 0x7F));
        coded[4 + 2 * j] = (uint8_t)(word & 0xFF);
        coded[5 + 2 * j] = (uint8_t)(word >> 8);
    }
}

inline void DecodeFixed(const uint8_t* coded, int codedBytes, int n, uint8_t* samples) {
    std::vector<float> c((size_t)n, 0.0f);
    const float scale = GetFloat(coded);
    for (int j = 0; 4 + 2 * j + 1 < codedBytes; ++j) {
        const uint16_t word = (uint16_t)(coded[4 + 2 * j] | coded[5 + 2 * j] << 8);
        const int index = word >> 7;
        const int q = (word & 0x40) ? (int)(word & 0x7F) - 128 : (int)(word & 0x7F);
        if (index < n && q) c[(size_t)index] = (float)q * scale;
    }
    Inverse(c, n, samples);
}

// Variable-size frames: a count byte, a 4-byte scale, then count entries of a 16-bit index and an
// 8-bit signed value (-127 to 127 steps of the scale). Only coefficients above 1/64 of the largest
// are kept, at most `maxPairs`: quiet frames code small.
inline int EncodeVariable(const uint8_t* samples, int n, uint8_t* coded, int maxPairs) {
    std::vector<float> c;
    Transform(samples, n, &c);
    std::vector<int> keep = Largest(c, maxPairs);
    const float peak = keep.empty() ? 0.0f : std::fabs(c[(size_t)keep[0]]);
    while (!keep.empty() && (peak == 0 || std::fabs(c[(size_t)keep.back()]) < peak / 64)) keep.pop_back();
    const float scale = peak / 127.0f;
    coded[0] = (uint8_t)keep.size();
    PutFloat(coded + 1, scale);
    for (size_t j = 0; j < keep.size(); ++j) {
        const long q = std::lround(c[(size_t)keep[j]] / scale);
        coded[5 + 3 * j] = (uint8_t)(keep[j] & 0xFF);
        coded[6 + 3 * j] = (uint8_t)(keep[j] >> 8);
        coded[7 + 3 * j] = (uint8_t)(int8_t)q;
    }
    return 5 + 3 * (int)keep.size();
}

// False when the coded bytes do not hold what their count says.
inline bool DecodeVariable(const uint8_t* coded, int codedBytes, int n, uint8_t* samples) {
    if (codedBytes < 5 || 5 + 3 * coded[0] > codedBytes) return false;
    std::vector<float> c((size_t)n, 0.0f);
    const float scale = GetFloat(coded + 1);
    for (int j = 0; j < coded[0]; ++j) {
        const int index = coded[5 + 3 * j] | coded[6 + 3 * j] << 8;
        if (index < n) c[(size_t)index] = (float)(int8_t)coded[7 + 3 * j] * scale;
    }
    Inverse(c, n, samples);
    return true;
}

}  // namespace block_coder
