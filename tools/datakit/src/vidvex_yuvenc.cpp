// Test encoder of the YUV nibble-delta codec (codec type 17).
#include "datakit/vidvex_yuvenc.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "vidvex_format.h"

namespace dk {
namespace {

using namespace vvlfmt;

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Decoded value of one chroma sample: (running sum + above) modulo 256.
uint8_t ChromaOf(int sum, int above) { return uint8_t((sum + above) & 0xFF); }

}  // namespace

uint16_t VvlYuvPixel(int yIndex, int uIndex, int vIndex, bool is565) {
    const int Y = 4 * yIndex;
    const double U = 4.0 * uIndex, V = 4.0 * vIndex;
    const int L = (4 * Y - 128) / 3;
    const int r = Clamp(int(std::trunc(V * kYuvRV + L - kYuvROff)), 0, 255);
    const int g = Clamp(int(std::trunc(L - V * kYuvGV - U * kYuvGU + kYuvGOff)), 0, 255);
    const int b = Clamp(int(std::trunc(U * kYuvBU + L - kYuvBOff)), 0, 255);
    if (is565) return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
    return uint16_t(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}

VvlYuvPlanes VvlYuvFromRgb(int width, int height, const std::vector<VvlRgb>& rgb) {
    VvlYuvPlanes p;
    p.width = width;
    p.height = height;
    const int cw = width / 4, ch = height / 4;
    p.y.resize(size_t(width) * size_t(height));
    p.u.resize(size_t(cw) * size_t(ch));
    p.v.resize(size_t(cw) * size_t(ch));
    std::vector<double> uSum(p.u.size(), 0), vSum(p.v.size(), 0);
    for (int yy = 0; yy < height; ++yy) {
        for (int xx = 0; xx < width; ++xx) {
            const VvlRgb& c = rgb[size_t(yy) * size_t(width) + size_t(xx)];
            // The decoder's conversion turned round: grey L plus colour differences, with
            // L = (4Y - 128) / 3 and each channel about L - 16 at neutral chroma.
            double lum = 0.299 * c.r + 0.587 * c.g + 0.114 * c.b;
            double L = lum + 16.0;
            p.y[size_t(yy) * size_t(width) + size_t(xx)] = uint8_t(Clamp(int(std::lround((3 * L + 128) / 4)), 0, 255));
            if (xx / 4 < cw && yy / 4 < ch) {
                size_t at = size_t(yy / 4) * size_t(cw) + size_t(xx / 4);
                uSum[at] += (c.b - lum) / kYuvBU + 128.0;
                vSum[at] += (c.r - lum) / kYuvRV + 128.0;
            }
        }
    }
    for (size_t i = 0; i < p.u.size(); ++i) {
        p.u[i] = uint8_t(Clamp(int(std::lround(uSum[i] / 16)), 0, 255));
        p.v[i] = uint8_t(Clamp(int(std::lround(vSum[i] / 16)), 0, 255));
    }
    return p;
}

void VvlYuvEncoder::Reset() {
    std::copy(std::begin(kYuvDeltas4), std::end(kYuvDeltas4), deltas_);
    codes_.assign(kYuvCodeBytes, 0);
}

VvlEncoded VvlYuvEncoder::Encode(const VvlYuvPlanes& src, int variant, uint8_t seed) {
    VvlEncoded out;
    const int w = src.width, h = src.height;
    if (w <= 0 || h <= 0 || w % 16 || h % 4) return out;
    const int cw = w / 4, ch = h / 4;
    const size_t e = size_t(cw) * size_t(ch), lumaBytes = size_t(w) * size_t(h) / 2;
    if (lumaBytes + e > kYuvCodeBytes || size_t(w) > kYuvMaxWidth || e > kYuvMaxChroma) return out;

    // The header's variant updates the working table first.
    int codeCount = 0;
    if (variant == 4) {
        std::copy(std::begin(kYuvDeltas4), std::end(kYuvDeltas4), deltas_);
        codeCount = 16;
    } else if (variant == 3) {
        std::copy(std::begin(kYuvDeltas3), std::end(kYuvDeltas3), deltas_);
        codeCount = 8;
    } else if (variant == 2) {
        std::copy(std::begin(kYuvDeltas2), std::end(kYuvDeltas2), deltas_);
        codeCount = 4;
    }
    auto setCode = [&](size_t index, int code) {
        uint8_t& b = codes_[index / 2];
        b = (index & 1) ? uint8_t((b & 0x0F) | (code << 4)) : uint8_t((b & 0xF0) | code);
    };
    auto getCode = [&](size_t index) { return (index & 1) ? (codes_[index / 2] >> 4) : (codes_[index / 2] & 15); };

    if (codeCount) {
        // Chroma: 8-bit running sums against the sample above, starting from 128.
        for (int plane = 0; plane < 2; ++plane) {
            const std::vector<uint8_t>& target = plane ? src.v : src.u;
            const size_t base = (lumaBytes + (plane ? e / 2 : 0)) * 2;
            std::vector<int> above(size_t(cw), 128);
            for (int r = 0; r < ch; ++r) {
                int sum = 0;
                for (int k = 0; k < cw; ++k) {
                    int want = target[size_t(r) * size_t(cw) + size_t(k)], best = 0, bestErr = 1 << 30;
                    for (int c = 0; c < codeCount; ++c) {
                        int err = std::abs(int(ChromaOf((sum + deltas_[c]) & 0xFF, above[size_t(k)])) - want);
                        if (err < bestErr) {
                            bestErr = err;
                            best = c;
                        }
                    }
                    sum = (sum + deltas_[best]) & 0xFF;
                    above[size_t(k)] = ChromaOf(sum, above[size_t(k)]);
                    setCode(base + size_t(r) * size_t(cw) + size_t(k), best);
                }
            }
        }
        // Luma: running sums against the row above, clamped to 0..255.
        std::vector<int> above(size_t(w), 0);
        for (int r = 0; r < h; ++r) {
            int sum = 0;
            for (int x = 0; x < w; ++x) {
                int want = src.y[size_t(r) * size_t(w) + size_t(x)], best = 0, bestErr = 1 << 30;
                for (int c = 0; c < codeCount; ++c) {
                    int err = std::abs(Clamp(sum + deltas_[c] + above[size_t(x)], 0, 255) - want);
                    if (err < bestErr) {
                        bestErr = err;
                        best = c;
                    }
                }
                sum += deltas_[best];
                above[size_t(x)] = Clamp(sum + above[size_t(x)], 0, 255);
                setCode(size_t(r) * size_t(w) + size_t(x), best);
            }
        }
    }

    // The frame: header, packed length, packed codes.
    VvlHeader hd;
    hd.seed = seed;
    hd.codec = kCodecYuv;
    hd.width = w;
    hd.height = h;
    hd.variant = variant;
    out.frame = VvlWriteHeader(hd);
    std::vector<uint8_t> packed;
    const size_t unpacked = lumaBytes + e;
    if (variant == 4) {
        packed.assign(codes_.begin(), codes_.begin() + ptrdiff_t(unpacked));
    } else if (variant == 3) {
        for (size_t g = 0; g < unpacked / 4; ++g) {
            uint32_t a = 0;
            for (size_t k = 0; k < 4; ++k) {
                uint8_t b = codes_[4 * g + k];
                a |= uint32_t(b & 7) << (6 * k) | uint32_t((b >> 4) & 7) << (6 * k + 3);
            }
            packed.push_back(uint8_t(a));
            packed.push_back(uint8_t(a >> 8));
            packed.push_back(uint8_t(a >> 16));
        }
    } else if (variant == 2) {
        for (size_t i = 0; i < unpacked / 2; ++i) {
            uint32_t a = 0;
            for (size_t k = 0; k < 2; ++k) {
                uint8_t b = codes_[2 * i + k];
                a |= uint32_t(b & 3) << (4 * k) | uint32_t((b >> 4) & 3) << (4 * k + 2);
            }
            packed.push_back(uint8_t(a));
        }
    }
    const uint32_t n = uint32_t(packed.size());
    for (int i = 0; i < 4; ++i) out.frame.push_back(uint8_t(n >> (8 * i)));
    out.frame.insert(out.frame.end(), packed.begin(), packed.end());

    // What the decoder makes of the codes it holds.
    decoded_.width = w;
    decoded_.height = h;
    decoded_.y.assign(size_t(w) * size_t(h), 0);
    decoded_.u.assign(e, 0);
    decoded_.v.assign(e, 0);
    for (int plane = 0; plane < 2; ++plane) {
        std::vector<uint8_t>& dst = plane ? decoded_.v : decoded_.u;
        const size_t base = (lumaBytes + (plane ? e / 2 : 0)) * 2;
        std::vector<int> above(size_t(cw), 128);
        for (int r = 0; r < ch; ++r) {
            int sum = 0;
            for (int k = 0; k < cw; ++k) {
                sum = (sum + deltas_[getCode(base + size_t(r) * size_t(cw) + size_t(k))]) & 0xFF;
                above[size_t(k)] = ChromaOf(sum, above[size_t(k)]);
                dst[size_t(r) * size_t(cw) + size_t(k)] = uint8_t(above[size_t(k)]);
            }
        }
    }
    std::vector<int> above(size_t(w), 0);
    out.decoded.assign(size_t(w) * size_t(h), 0);
    for (int r = 0; r < h; ++r) {
        int sum = 0;
        for (int x = 0; x < w; ++x) {
            sum += deltas_[getCode(size_t(r) * size_t(w) + size_t(x))];
            above[size_t(x)] = Clamp(sum + above[size_t(x)], 0, 255);
            const size_t at = size_t(r) * size_t(w) + size_t(x);
            decoded_.y[at] = uint8_t(above[size_t(x)]);
            const size_t c = size_t(r / 4) * size_t(cw) + size_t(x / 4);
            out.decoded[at] = VvlYuvPixel(above[size_t(x)] >> 2, decoded_.u[c] >> 2, decoded_.v[c] >> 2, is565_);
        }
    }
    return out;
}

}  // namespace dk
