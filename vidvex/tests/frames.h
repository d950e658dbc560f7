// Frames for the video library's tests: a frame written out byte by byte from the format's
// layout, and pictures encoded with the data kit's encoders.
#pragma once
#include <cstdint>
#include <vector>

#include "datakit/vidvex_frame.h"
#include "datakit/vidvex_rowenc.h"
#include "test_support.h"

namespace vvltest {

// A 4x4 key frame of codec type 2 (delta set 0, escape source 2, variant 2, 555), written from
// the layout: length byte, chained header, then the code stream.
//   header length 24 (length byte 0x13); chain seed 0; h[1] codec 2, h[2] delta set 0,
//   h[3] escape source 2, h[4..5] height 4, h[6..7] width 4, h[10] revision 2, h[11] variant 2
//   code stream: seed entry 0xD2 (one pair, both indices 2: +1); then per slot
//   row 1 (chroma row): C +1 R/B, escape 00 D2 (+5 R/B) and D2 selects; L +1 -> D2; L +1 -> D2
//   row 2: L +1 -> 02 (entry 2: pairs 00 00 01); L 00
//   row 3: L 00; L 01 (second pixel -1) -> D2
//   row 4: L +1, escape 00 D2 (+5) and D2 selects; L +1 -> 01
inline std::vector<uint8_t> KeyFrame4x4() {
    return {
        0x13, 0x00, 0x02, 0x02, 0x00, 0x04, 0x04, 0x00,  // 0: L, seed, chain h[1..6]
        0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00,  // 8: chain h[7..14] (revision 2, variant 2)
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 16: chain h[15..21], padding to L = 24
        0xD2, 0x00, 0xD2, 0xD2, 0xD2, 0xD2, 0x02, 0xD2,  // 24: code stream
        0x00, 0xD2, 0xD2, 0x01,
    };
}
// Its picture (555, 5-bit channels r, g, b).
inline std::vector<uint16_t> KeyFrame4x4Pixels() {
    const uint16_t a = P555(7, 1, 7), b = P555(8, 2, 8), c = P555(9, 3, 9);
    return {
        a, a, b, b,  //
        b, b, c, c,  //
        b, b, c, b,  //
        P555(14, 8, 14), P555(14, 8, 14), P555(16, 10, 16), P555(15, 9, 15),
    };
}

// A test picture like a frame of film: brightness ramps down and across, the colour drifts
// slowly across, and a bright square of another colour sits on it (shifted right by `shift`).
inline std::vector<uint16_t> Picture(int w, int h, bool is565, int shift = 0) {
    std::vector<uint16_t> px(size_t(w) * size_t(h));
    const int ww = w ? w : 1, hh = h ? h : 1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int lum = 50 + (y * 110) / hh + (x * 50) / ww;
            int tint = (x * 60) / ww - 30;
            dk::VvlRgb c{lum + tint, lum, lum - tint};
            if (x >= w / 3 + shift && x < w / 3 + shift + w / 4 && y >= h / 4 && y < h / 4 + h / 3)
                c = {200, 180, 120};
            px[size_t(y) * size_t(w) + size_t(x)] = dk::VvlPack(c, is565);
        }
    return px;
}

struct Frame {
    std::vector<uint8_t> bytes;
    std::vector<uint16_t> decoded;
    std::vector<uint16_t> source;
};

// An encoded picture of the test scene.
inline Frame EncodeGradient(int w, int h, bool inter, bool key, dk::VvlRowParams p = {}) {
    p.interStream = inter;
    p.key = key;
    Frame f;
    f.source = Picture(w, h, p.is565);
    dk::VvlEncoded e = dk::VvlEncodeRowFrame(p, w, h, f.source, nullptr);
    f.bytes = e.frame;
    f.decoded = e.decoded;
    return f;
}

}  // namespace vvltest

namespace vvltest {

// A partial frame over the region (2, 1, 4, 4) of an 8x6 picture (codec 2, delta set 0, escape
// source 2, variant 2), written from the layout: one 2-bit map byte (block code 2: decode, then
// compose through selectors), then the code stream. Every slot uses a one-pair entry:
// 0xC0 = indices (0,0), 0xD2 = (2,2), 0xDB = (3,3), 0xC8 = (1,0), 0xCA = (1,2), 0xD4 = (2,4).
inline std::vector<uint8_t> PartialFrame4x4() {
    return {
        0x13, 0x00, 0x02, 0x02, 0x00, 0x06, 0x06, 0x0E,  // L 24, seed 0, codec 2, set 0, source 2,
        0x0E, 0x0E, 0x0E, 0x0C, 0x0E, 0x2E, 0x2E, 0x2C,  // height 6, width 8, revision 2, variant 2,
        0x2C, 0x2D, 0x2D, 0x29, 0x29, 0x2D, 0x2D, 0x00,  // flags 0x20, x 2, y 1, w 4, h 4; pad
        0x02,                                            // 24: map of the one block: code 2
        0xC0, 0xD2, 0xD2, 0xDB, 0xDB, 0xD2,              // row 1: seed, C 0, L +1, L +1, S (3,3) x2
        0xD2, 0xC8, 0xCA, 0xC0,                          // row 2: L +1, L +1, S (1,0), S (1,2)
        0xC0, 0xC0, 0xC0, 0xC0,                          // row 3: L 0, L 0, S (0,0) x2
        0xC0, 0xD4, 0xD4, 0x01,                          // row 4: L 0, L 0, S (2,4) x2
    };
}
// The region as the screen shows it over a grey of 20 (5-bit grey levels): composed from the
// decoded row (1 1 2 2 / 2 2 4 4 / 2 2 4 4 / 2 2 4 4) and the grey by the pixel modes.
inline std::vector<uint16_t> PartialFrame4x4Pixels() {
    const int g[16] = {10, 10, 11, 11, 2, 20, 4, 16, 20, 20, 20, 20, 15, 6, 16, 8};
    std::vector<uint16_t> px;
    for (int v : g) px.push_back(P555(v, v, v));
    return px;
}

}  // namespace vvltest

namespace vvltest {

// An 8x4 stream with inter frames (codec 2, delta set 0, escape source 2, variant 2), written
// from the layout. The key frame (flags 0x18) has no block map: row 1 takes six +1 slots (entry
// 0xD2), rows 2-4 zero slots (entry 0xC0). The inter frame (flags 0x08) has one map byte 0x01:
// block 0 unchanged (bits are read from the least significant end), block 1 coded: chroma
// (entry 0xD4: red +1, blue +3), then +1 and +1, and zero slots below.
inline std::vector<uint8_t> InterStreamKey8x4() {
    return {
        0x13, 0x00, 0x02, 0x02, 0x00, 0x04, 0x04, 0x0C,  // L 24, seed 0, codec 2, set 0, source 2,
        0x0C, 0x0C, 0x0C, 0x0E, 0x0C, 0x14, 0x14, 0x14,  // height 4, width 8, revision 2, variant 2,
        0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x00,  // flags 0x18; pad
        0xD2, 0xD2, 0xD2, 0xD2, 0xD2, 0xD2, 0xC0,        // seed, row 1
        0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0,  // rows 2-4
    };
}
inline std::vector<uint8_t> InterStreamNext8x4() {
    return {
        0x13, 0x00, 0x02, 0x02, 0x00, 0x04, 0x04, 0x0C,  // as the key frame,
        0x0C, 0x0C, 0x0C, 0x0E, 0x0C, 0x04, 0x04, 0x04,  // flags 0x08
        0x04, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04, 0x00,
        0x01,                                            // 24: map: block 0 unchanged
        0xD4, 0xD2, 0xD2, 0xC0,                          // seed, row 1 block 1: C, L, L
        0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0,              // rows 2-4 block 1: L, L
    };
}
// Every row of the two pictures (5-bit channels).
inline std::vector<uint16_t> InterStreamRow(bool next) {
    const uint16_t a = P555(2, 1, 2), b = P555(3, 2, 3);
    if (next) return {a, a, b, b, P555(5, 3, 7), P555(5, 3, 7), P555(6, 4, 8), P555(6, 4, 8)};
    return {a, a, b, b, P555(5, 3, 5), P555(5, 3, 5), P555(6, 4, 6), P555(6, 4, 6)};
}

}  // namespace vvltest
