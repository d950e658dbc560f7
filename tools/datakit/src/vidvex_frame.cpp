// Frame header writer and pixel helpers for the kit's video encoders.
#include "datakit/vidvex_frame.h"

#include <algorithm>
#include <cstdlib>

namespace dk {

uint8_t VvlLengthByte(int length) {
    uint8_t b0 = uint8_t(((length >> 3) & 0x0F) | ((length & 7) << 5));
    if (b0 < 16) b0 |= 0x10;
    return b0;
}

std::vector<uint8_t> VvlWriteHeader(const VvlHeader& h) {
    uint8_t body[22] = {};  // body[i] = h[i], i = 1..21
    body[1] = uint8_t(h.codec);
    body[2] = uint8_t(h.deltaSet);
    body[3] = uint8_t(h.escape);
    body[4] = uint8_t(h.height);
    body[5] = uint8_t(h.height >> 8);
    body[6] = uint8_t(h.width);
    body[7] = uint8_t(h.width >> 8);
    body[10] = uint8_t(h.revision);
    body[11] = uint8_t(h.variant);
    body[12] = uint8_t(h.flags);
    body[14] = uint8_t(h.partX);
    body[15] = uint8_t(h.partX >> 8);
    body[16] = uint8_t(h.partY);
    body[17] = uint8_t(h.partY >> 8);
    body[18] = uint8_t(h.partW);
    body[19] = uint8_t(h.partW >> 8);
    body[20] = uint8_t(h.partH);
    body[21] = uint8_t(h.partH >> 8);
    std::vector<uint8_t> out(size_t(std::max(h.length, 23)), 0);
    out[0] = VvlLengthByte(h.length);
    out[1] = h.seed;
    for (int i = 1; i <= 21; ++i) out[size_t(i) + 1] = uint8_t(out[size_t(i)] ^ body[i]);
    return out;
}

uint16_t VvlPack(VvlRgb c, bool is565) {
    auto cl = [](int v) { return std::clamp(v, 0, 255); };
    int r = cl(c.r), g = cl(c.g), b = cl(c.b);
    if (is565) return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
    return uint16_t(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}

VvlRgb VvlUnpack(uint16_t p, bool is565) {
    if (is565) return {((p >> 11) & 31) << 3, ((p >> 5) & 63) << 2, (p & 31) << 3};
    return {((p >> 10) & 31) << 3, ((p >> 5) & 31) << 3, (p & 31) << 3};
}

int VvlChannelDiff(uint16_t a, uint16_t b, bool is565) {
    VvlRgb x = VvlUnpack(a, is565), y = VvlUnpack(b, is565);
    int d = std::max({std::abs(x.r - y.r), std::abs(x.g - y.g), std::abs(x.b - y.b)});
    return d / 8;
}

}  // namespace dk
