// Blitter rows: what the frame driver hands a row blitter, and the rows the registry holds.
#pragma once
#include <cstddef>
#include <cstdint>

// One row to draw. Source columns [c0, c0 + count) of the decoded row are drawn, starting at dst
// (the target of column c0). The stretching rows take count in whole groups of 4 (quality 0) or
// whole pixels (qualities 3 and 5).
struct BlitArgs {
    const uint8_t* cur = nullptr;   // decoded row, 16-bit pixels, column 0
    const uint8_t* prev = nullptr;  // the decoded row above (quality 5)
    int c0 = 0;
    int count = 0;
    int width = 0;                  // pixels in the decoded row
    uint8_t* dst = nullptr;
    ptrdiff_t pitch = 0;            // to the line below (quality 5)
    int dstParity = 0;              // target column parity of dst (8-bit colour tables)
    const uint8_t* mapCur = nullptr;   // changed-block bits of this row's group (mode 1)
    const uint8_t* mapPrev = nullptr;  // and of the row above (quality 5, mode 1)
    const uint8_t* table1 = nullptr;   // colour tables of 8-bit screens
    const uint8_t* table2 = nullptr;
    bool is565 = false;
};

using BlitRowFn = void (*)(const BlitArgs&);
using BlitSetupFn = int (*)(const BlitArgs&);

// Row functions by blit family (0: quality 0, 1: quality 3, 2: quality 5), target format
// (0: 16-bit, 1: 8-bit through colour tables) and drawing mode (0 rows, 1 changed blocks,
// 2 stretched).
BlitRowFn VVL_BlitRow(int family, int eightBit, int mode);

// Pixel helpers shared with the partial decoders and the screen copy.
// Per-channel average of two pixels, rounded down.
inline uint16_t VVL_Avg(uint32_t a, uint32_t b, bool is565) {
    const uint32_t m = is565 ? 0xF7DFu : 0x7BDFu;
    const uint32_t low = is565 ? 0x0820u : 0x0420u;
    return uint16_t((((a & m) + (b & m)) >> 1) + (a & b & low));
}
// The 15-bit 555 index of a pixel for the colour tables.
inline uint32_t VVL_Index555(uint32_t p, bool is565) {
    return is565 ? (((p >> 1) & 0x7FE0u) | (p & 0x1Fu)) : (p & 0x7FFFu);
}
