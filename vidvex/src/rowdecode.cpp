// Row decoders of the row codec. Pixels are handled two at a time as one 32-bit word (first
// pixel in the low half); a running delta D, zero at the start of every row, collects the pair
// deltas and each output word is the word above plus D in plain 32-bit arithmetic.
#include "rowdecode.h"

namespace {

inline bool MapBit(const uint8_t* map, int block) { return (map[block >> 3] >> (block & 7)) & 1; }
inline int MapCode(const uint8_t* map2, int block) { return (map2[block >> 2] >> ((block & 3) * 2)) & 3; }

template <RowKind K>
inline void DecodeBlock(PairReader& pr, uint32_t& d, uint8_t* c, const uint8_t* a) {
    const EscapeTables& t = *pr.t;
    if (K != kRowLuma) d += pr.Read(t.chroma);
    d += pr.Read(t.luma);
    uint32_t w0 = VVL_Ld32(a) + d;
    if (K == kRowPairChroma) d += pr.Read(t.chroma);
    d += pr.Read(t.luma);
    uint32_t w1 = VVL_Ld32(a + 4) + d;
    VVL_St32(c, w0);
    VVL_St32(c + 4, w1);
}

template <RowKind K>
void DecodeRowT(PairReader& pr, uint8_t* cur, const uint8_t* above, int blocks, const uint8_t* map) {
    uint32_t d = 0;
    for (int b = 0; b < blocks; ++b) {
        uint8_t* c = cur + 8 * b;
        const uint8_t* a = above + 8 * b;
        if (map && MapBit(map, b)) {
            // Unchanged: nothing is written, and the running delta continues from what the
            // block holds.
            d = VVL_Ld32(c + 4) - VVL_Ld32(a + 4);
            continue;
        }
        DecodeBlock<K>(pr, d, c, a);
    }
}

uint32_t Channel(uint32_t p, int shift, uint32_t mask) { return (p >> shift) & mask; }

template <RowKind K>
void DecodePartialT(PairReader& pr, uint8_t* row, int blocks, const uint8_t* map2, uint8_t* dst, int c0,
                    int c1, bool is565) {
    uint32_t d = 0;
    for (int b = 0; b < blocks; ++b) {
        uint8_t* w = row + 8 * b;
        int code = MapCode(map2, b);
        if (code == 0) {
            // Skipped: the screen keeps its pixels, the buffer's block is cleared.
            d = 0;
            std::memset(w, 0, 8);
            continue;
        }
        DecodeBlock<K>(pr, d, w, w);
        uint32_t sel[2] = {6, 6};  // new pixel, new pixel
        if (code >= 2) {
            sel[0] = pr.ReadSelector();
            sel[1] = pr.ReadSelector();
        }
        if (!dst) continue;
        for (int i = 0; i < 4; ++i) {
            int col = 4 * b + i;
            if (col < c0 || col >= c1) continue;
            uint8_t* out = dst + 2 * (col - c0);
            uint32_t fresh = VVL_Ld16(w + 2 * i);
            uint32_t v = sel[i >> 1];
            uint32_t mode = (i & 1) ? v / 5 : v % 5;
            VVL_St16(out, code >= 2 ? VVL_ComposePixel(mode, fresh, VVL_Ld16(out), is565) : uint16_t(fresh));
        }
    }
}

}  // namespace

RowKind VVL_RowKind(const FrameHeader& h, int row) {
    int phase = row & 3;
    int m = h.blockRowBits == 1 ? 1 : 3;
    if (((phase + 3) & m) != 0) return kRowLuma;
    return h.columnShift ? kRowPairChroma : kRowBlockChroma;
}

void VVL_DecodeRow(PairReader& pr, RowKind kind, uint8_t* cur, const uint8_t* above, int width,
                   const uint8_t* map) {
    int blocks = width / 4;
    switch (kind) {
        case kRowBlockChroma: DecodeRowT<kRowBlockChroma>(pr, cur, above, blocks, map); break;
        case kRowPairChroma: DecodeRowT<kRowPairChroma>(pr, cur, above, blocks, map); break;
        case kRowLuma: DecodeRowT<kRowLuma>(pr, cur, above, blocks, map); break;
    }
    // The decoders work in whole blocks: the last width mod 4 pixels are cleared so that what the
    // blitters copy from them never depends on earlier contents of the buffer.
    std::memset(cur + 8 * blocks, 0, size_t(width % 4) * 2);
}

void VVL_DecodePartialRow(PairReader& pr, RowKind kind, uint8_t* row, int width, const uint8_t* map2,
                          uint8_t* dst, int c0, int c1, bool is565) {
    int blocks = width / 4;
    switch (kind) {
        case kRowBlockChroma: DecodePartialT<kRowBlockChroma>(pr, row, blocks, map2, dst, c0, c1, is565); break;
        case kRowPairChroma: DecodePartialT<kRowPairChroma>(pr, row, blocks, map2, dst, c0, c1, is565); break;
        case kRowLuma: DecodePartialT<kRowLuma>(pr, row, blocks, map2, dst, c0, c1, is565); break;
    }
}

uint16_t VVL_ComposePixel(uint32_t mode, uint32_t fresh, uint32_t existing, bool is565) {
    if (mode == 0) return uint16_t(existing);
    if (mode == 1 || mode > 4) return uint16_t(fresh);
    const uint32_t w = mode - 1;  // quarters of the new pixel
    const int gShift = 5, rShift = is565 ? 11 : 10;
    const uint32_t gMask = is565 ? 0x3F : 0x1F;
    auto mix = [&](int shift, uint32_t mask) {
        return ((w * Channel(fresh, shift, mask) + (4 - w) * Channel(existing, shift, mask)) / 4) << shift;
    };
    return uint16_t(mix(0, 0x1F) | mix(gShift, gMask) | mix(rShift, 0x1F));
}
