// The YUV nibble-delta codec (codec type 17): luma at full resolution and two chroma planes with
// one sample per 4x4 block, each coded as 4-, 3- or 2-bit delta codes against the sample above
// and the running sum along the row, converted to 16-bit pixels through a 64x64x64 look-up.
// The working delta table and the unpacked codes carry over from frame to frame.
#include "yuv17.h"

#include <algorithm>
#include <iterator>

#include "clip.h"

namespace {

using namespace vvlfmt;

int g_deltas[16];
uint8_t g_codes[kYuvCodeBytes];
uint8_t g_above[kYuvMaxWidth];
uint16_t g_cells[kYuvMaxChroma];  // U & 0xFC in the low byte, V >> 2 in the high byte
uint16_t g_lookup[64 * 64 * 64];
int g_lookupFor = -1;
int g_lookupBuilds = 0;

int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

void BuildLookup(int is565) {
    for (int vi = 0; vi < 64; ++vi) {
        for (int ui = 0; ui < 64; ++ui) {
            for (int yi = 0; yi < 64; ++yi) {
                const double U = 4 * ui, V = 4 * vi;
                const int L = (4 * (4 * yi) - 128) / 3;
                int r = Clamp255(int(V * kYuvRV + L - kYuvROff));
                int g = Clamp255(int(L - V * kYuvGV - U * kYuvGU + kYuvGOff));
                int b = Clamp255(int(U * kYuvBU + L - kYuvBOff));
                uint16_t px = is565 ? uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3))
                                    : uint16_t(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
                g_lookup[yi | (ui << 6) | (vi << 12)] = px;
            }
        }
    }
    g_lookupFor = is565;
    ++g_lookupBuilds;
}

// Unpacks the frame's codes into the working buffer by the header's variant; `need` bytes of
// unpacked codes make a picture.
void Unpack(FrameBytes& f, size_t payload, int variant, size_t need) {
    const size_t at = payload + kYuvLengthField;
    uint32_t n = uint32_t(f.At(payload)) | uint32_t(f.At(payload + 1)) << 8 | uint32_t(f.At(payload + 2)) << 16 |
                 uint32_t(f.At(payload + 3)) << 24;
    if (variant == 4) {
        for (size_t i = 0; i < need; ++i) g_codes[i] = f.At(at + i);
    } else if (variant == 3) {
        // 8 codes of 3 bits in 3 bytes, read as one little-endian 24-bit value.
        size_t groups = std::min<size_t>(n / 3, (need + 3) / 4);
        for (size_t g = 0; g < groups; ++g) {
            uint32_t a = uint32_t(f.At(at + 3 * g)) | uint32_t(f.At(at + 3 * g + 1)) << 8 |
                         uint32_t(f.At(at + 3 * g + 2)) << 16;
            for (size_t k = 0; k < 4 && 4 * g + k < kYuvCodeBytes; ++k) {
                uint32_t lo = (a >> (6 * k)) & 7, hi = (a >> (6 * k + 3)) & 7;
                g_codes[4 * g + k] = uint8_t((hi << 4) | lo);
            }
        }
    } else if (variant == 2) {
        // 4 codes of 2 bits in a byte.
        size_t bytes = std::min<size_t>(n, (need + 1) / 2);
        for (size_t i = 0; i < bytes; ++i) {
            uint32_t a = f.At(at + i);
            for (size_t k = 0; k < 2 && 2 * i + k < kYuvCodeBytes; ++k) {
                uint32_t lo = (a >> (4 * k)) & 3, hi = (a >> (4 * k + 2)) & 3;
                g_codes[2 * i + k] = uint8_t((hi << 4) | lo);
            }
        }
    }
}

// One chroma plane: 8-bit running sums against the row above, starting from 128.
template <bool IsV>
void DecodeChroma(const uint8_t* codes, int cw, int ch) {
    std::memset(g_above, 128, size_t(cw));
    for (int row = 0; row < ch; ++row) {
        uint8_t s = 0;
        for (int k = 0; k < cw; ++k) {
            uint8_t byte = codes[(size_t(row) * cw + k) / 2];
            int code = (k & 1) ? (byte >> 4) : (byte & 15);
            s = uint8_t(s + g_deltas[code]);
            uint8_t v = uint8_t(s + g_above[k]);
            g_above[k] = v;
            uint16_t& cell = g_cells[size_t(row) * cw + k];
            if (IsV) cell = uint16_t((cell & 0xFF) | ((v >> 2) << 8));
            else cell = uint16_t(v & 0xFC);
        }
    }
}

}  // namespace

void VVL_YuvReset() {
    std::copy(std::begin(kYuvDeltas4), std::end(kYuvDeltas4), g_deltas);
    std::memset(g_codes, 0, sizeof(g_codes));
}

void VVL_YuvSelectTable(int variant) {
    if (variant == 4) std::copy(std::begin(kYuvDeltas4), std::end(kYuvDeltas4), g_deltas);
    else if (variant == 3) std::copy(std::begin(kYuvDeltas3), std::end(kYuvDeltas3), g_deltas);
    else if (variant == 2) std::copy(std::begin(kYuvDeltas2), std::end(kYuvDeltas2), g_deltas);
}

void VVL_YuvEnsureLookup(int is565) {
    is565 = is565 ? 1 : 0;
    if (g_lookupFor != is565) BuildLookup(is565);
}

int VVL_YuvLookupBuildCount() { return g_lookupBuilds; }
const int* VVL_YuvWorkingTable() { return g_deltas; }

int VVL_DrawYuv(const XImage& im, const VScreen& s, int64_t ix, int64_t iy) {
    const FrameHeader& h = im.hdr;
    const int w = im.width, ht = im.height;
    if (w % 16 || ht % 4) return kVvlCannotDraw;
    const size_t cw = size_t(w) / 4, ch = size_t(ht) / 4, e = cw * ch;
    const size_t lumaBytes = size_t(w) * size_t(ht) / 2;
    if (size_t(w) > kYuvMaxWidth || e > kYuvMaxChroma || lumaBytes + e > kYuvCodeBytes) return kVvlCannotDraw;
    if (VVL_PixelBytes(s.format) != 2) return kVvlCannotDraw;
    if (w == 0 || ht == 0) return kVvlOk;
    VVL_YuvEnsureLookup(h.is565);

    FrameBytes f{im.data, im.dataLength};
    Unpack(f, h.length, h.Variant(), lumaBytes + e);
    if (f.overrun) return kVvlBadHeader;
    DecodeChroma<false>(g_codes + lumaBytes, int(cw), int(ch));
    DecodeChroma<true>(g_codes + lumaBytes + e / 2, int(cw), int(ch));

    const bool doubled = s.quality == 3;
    Placement p;
    p.ix = ix;
    p.iy = iy;
    p.rows = ht;
    p.width = w;
    p.gt = doubled ? 2 : 1;
    p.rs = (s.quality == 3 || s.quality == 5) ? 2 : 1;
    const Visible v = VVL_Visible(p, VVL_TargetRect(s, true));

    uint16_t line[kYuvMaxWidth];
    std::memset(g_above, 0, size_t(w));
    for (int y = 0; y < ht; ++y) {
        const uint8_t* codes = g_codes + size_t(y) * size_t(w) / 2;
        const uint16_t* cells = g_cells + size_t(y / 4) * cw;
        int sum = 0;
        for (int x = 0; x < w; ++x) {
            uint8_t byte = codes[x >> 1];
            sum += g_deltas[(x & 1) ? (byte >> 4) : (byte & 15)];
            int Y = Clamp255(sum + g_above[x]);
            g_above[x] = uint8_t(Y);
            line[x] = g_lookup[uint32_t(Y >> 2) | (uint32_t(cells[x >> 2]) << 4)];
        }
        const int r = y + 1;
        if (v.none || r < v.r0 || r > v.r1) continue;
        uint8_t* dst = VVL_RowTarget(s, p, v, r);
        if (doubled) {
            for (int k = 0; k < v.count; ++k) {
                VVL_St16(dst + 4 * k, line[v.c0 + k]);
                VVL_St16(dst + 4 * k + 2, line[v.c0 + k]);
            }
        } else {
            std::memcpy(dst, line + v.c0, size_t(v.count) * 2);
        }
    }
    return kVvlOk;
}
