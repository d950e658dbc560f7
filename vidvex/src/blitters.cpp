// Blitter rows: copy one decoded row of 16-bit pixels onto a screen at normal size (quality 0),
// doubled with every second line left alone (quality 3) or doubled and smoothed between rows
// (quality 5), each as a plain copy (mode 0), a copy of the changed 4x4 blocks (mode 1) or a
// stretch to 3/2 of the width (mode 2); onto 16-bit screens directly, onto 8-bit screens through
// the screen's two colour tables (even target columns table 1, odd columns table 2).
#include "blit.h"
#include "vvl_internal.h"

namespace {

struct Write16 {
    static void Put(const BlitArgs&, uint8_t* line, int k, uint16_t p) { VVL_St16(line + 2 * k, p); }
};
struct Write8 {
    static void Put(const BlitArgs& a, uint8_t* line, int k, uint16_t p) {
        const uint8_t* t = ((a.dstParity + k) & 1) ? a.table2 : a.table1;
        line[k] = t[VVL_Index555(p, a.is565)];
    }
};

inline uint16_t Px(const uint8_t* row, int c) { return VVL_Ld16(row + 2 * c); }
inline bool Unchanged(const uint8_t* map, int block) { return map && ((map[block >> 3] >> (block & 7)) & 1); }

// Whether source column c lies in a block the frame left unchanged (remainder columns past the
// last whole block always count as changed).
inline bool SkipColumn(const BlitArgs& a, int c, bool withPrev) {
    int b = c >> 2;
    if (b >= a.width / 4) return false;
    return Unchanged(a.mapCur, b) && (!withPrev || Unchanged(a.mapPrev, b));
}

// The stretched-by-three form of source column c: s, s, avg(s, next); the last pixel of a row
// has no next and is averaged with itself.
inline void Stretch3(const BlitArgs& a, const uint8_t* row, int c, uint16_t out[3]) {
    uint16_t s = Px(row, c);
    uint16_t n = (c + 1 < a.width) ? Px(row, c + 1) : s;
    out[0] = s;
    out[1] = s;
    out[2] = VVL_Avg(s, n, a.is565);
}

// Quality 0.
template <class W>
void Q0Rows(const BlitArgs& a) {
    for (int k = 0; k < a.count; ++k) W::Put(a, a.dst, k, Px(a.cur, a.c0 + k));
}
template <>
void Q0Rows<Write16>(const BlitArgs& a) {
    std::memcpy(a.dst, a.cur + 2 * a.c0, size_t(a.count) * 2);
}
template <class W>
void Q0Blocks(const BlitArgs& a) {
    for (int k = 0; k < a.count; ++k) {
        int c = a.c0 + k;
        if (SkipColumn(a, c, false)) continue;
        W::Put(a, a.dst, k, Px(a.cur, c));
    }
}
template <class W>
void Q0Stretch(const BlitArgs& a) {
    for (int g = 0; g < a.count / 4; ++g) {
        int c = a.c0 + 4 * g;
        uint16_t p0 = Px(a.cur, c), p1 = Px(a.cur, c + 1), p2 = Px(a.cur, c + 2), p3 = Px(a.cur, c + 3);
        int t = 6 * g;
        W::Put(a, a.dst, t, p0);
        W::Put(a, a.dst, t + 1, VVL_Avg(p0, p1, a.is565));
        W::Put(a, a.dst, t + 2, p1);
        W::Put(a, a.dst, t + 3, p2);
        W::Put(a, a.dst, t + 4, VVL_Avg(p2, p3, a.is565));
        W::Put(a, a.dst, t + 5, p3);
    }
}

// Quality 3: every pixel twice side by side; the row step of two lines leaves the line between
// untouched.
template <class W>
void Q3Rows(const BlitArgs& a) {
    for (int k = 0; k < a.count; ++k) {
        uint16_t p = Px(a.cur, a.c0 + k);
        W::Put(a, a.dst, 2 * k, p);
        W::Put(a, a.dst, 2 * k + 1, p);
    }
}
template <class W>
void Q3Blocks(const BlitArgs& a) {
    for (int k = 0; k < a.count; ++k) {
        int c = a.c0 + k;
        if (SkipColumn(a, c, false)) continue;
        uint16_t p = Px(a.cur, c);
        W::Put(a, a.dst, 2 * k, p);
        W::Put(a, a.dst, 2 * k + 1, p);
    }
}
template <class W>
void Q3Stretch(const BlitArgs& a) {
    uint16_t s[3];
    for (int k = 0; k < a.count; ++k) {
        Stretch3(a, a.cur, a.c0 + k, s);
        for (int i = 0; i < 3; ++i) W::Put(a, a.dst, 3 * k + i, s[i]);
    }
}

// Quality 5: the row above doubled on the target line, and on the line below the average of the
// row above and this row, doubled.
template <class W>
void Q5Pixel(const BlitArgs& a, uint8_t* below, int k, int c) {
    uint16_t up = Px(a.prev, c), now = Px(a.cur, c);
    uint16_t mid = VVL_Avg(up, now, a.is565);
    W::Put(a, a.dst, 2 * k, up);
    W::Put(a, a.dst, 2 * k + 1, up);
    W::Put(a, below, 2 * k, mid);
    W::Put(a, below, 2 * k + 1, mid);
}
template <class W>
void Q5Rows(const BlitArgs& a) {
    uint8_t* below = a.dst + a.pitch;
    for (int k = 0; k < a.count; ++k) Q5Pixel<W>(a, below, k, a.c0 + k);
}
template <class W>
void Q5Blocks(const BlitArgs& a) {
    uint8_t* below = a.dst + a.pitch;
    for (int k = 0; k < a.count; ++k) {
        int c = a.c0 + k;
        // The two lines depend on this row and the row above: a block is redrawn when either
        // changed.
        if (SkipColumn(a, c, true)) continue;
        Q5Pixel<W>(a, below, k, c);
    }
}
template <class W>
void Q5Stretch(const BlitArgs& a) {
    uint8_t* below = a.dst + a.pitch;
    uint16_t up[3], now[3];
    for (int k = 0; k < a.count; ++k) {
        int c = a.c0 + k;
        // The line kept from the row above, stretched: the target line; the line below is its
        // average with this row's stretched line.
        Stretch3(a, a.prev, c, up);
        Stretch3(a, a.cur, c, now);
        for (int i = 0; i < 3; ++i) {
            W::Put(a, a.dst, 3 * k + i, up[i]);
            W::Put(a, below, 3 * k + i, VVL_Avg(up[i], now[i], a.is565));
        }
    }
}

constexpr BlitRowFn kRows[3][2][3] = {
    {{Q0Rows<Write16>, Q0Blocks<Write16>, Q0Stretch<Write16>}, {Q0Rows<Write8>, Q0Blocks<Write8>, Q0Stretch<Write8>}},
    {{Q3Rows<Write16>, Q3Blocks<Write16>, Q3Stretch<Write16>}, {Q3Rows<Write8>, Q3Blocks<Write8>, Q3Stretch<Write8>}},
    {{Q5Rows<Write16>, Q5Blocks<Write16>, Q5Stretch<Write16>}, {Q5Rows<Write8>, Q5Blocks<Write8>, Q5Stretch<Write8>}},
};

}  // namespace

BlitRowFn VVL_BlitRow(int family, int eightBit, int mode) {
    if (family < 0 || family > 2 || eightBit < 0 || eightBit > 1 || mode < 0 || mode > 2) return nullptr;
    return kRows[family][eightBit][mode];
}
