// Row decoders of the row codec (codec types 1..16): the pair reader over the escape tables and
// the decoders of full rows and of partial-frame rows.
#pragma once
#include <cstdint>

#include "vvl_internal.h"

// Reads the code stream: each code byte selects an escape-table entry whose pairs are taken one
// at a time; code byte 0 is an escape that adds five times the first pair of the entry named by
// the byte after it.
struct PairReader {
    const EscapeTables* t = nullptr;
    FrameBytes* frame = nullptr;
    size_t codePos = 0;   // next code byte
    uint32_t pos = 0;     // entry * 4 + pair

    uint32_t NextByte() { return frame->At(codePos++); }

    // Seeds the entry from the first byte of the code stream.
    void Seed() { pos = NextByte() * 4; }

    // The delta of the next pair slot read from table T (luma or chroma words).
    uint32_t Read(const uint32_t* T) {
        uint32_t w = T[pos];
        uint32_t d = uint32_t(int32_t(w) >> 1);
        if (!(w & 1)) {
            ++pos;
            return d;
        }
        uint32_t b = NextByte();
        if (b) {
            pos = b * 4;
            return d;
        }
        uint32_t e = NextByte();
        uint32_t w2 = T[e * 4];
        d += 5u * uint32_t(int32_t(w2) >> 1);
        // An escaped entry of one pair is used up at once: the next byte selects the next entry.
        pos = (w2 & 1) ? NextByte() * 4 : e * 4 + 1;
        return d;
    }

    // The next selector value (partial frames); at an entry's end the next byte selects the next
    // entry without escape.
    uint32_t ReadSelector() {
        uint32_t w = t->sel[pos];
        pos = (w & 1) ? NextByte() * 4 : pos + 1;
        uint32_t v = w >> 1;
        return v > 24 ? 6 : v;
    }
};

// Decoder kinds by row: chroma once per block, chroma for each output word, luma only.
enum RowKind { kRowBlockChroma = 0, kRowPairChroma = 1, kRowLuma = 2 };

// The kind of row number `row` (1-based) for a header.
RowKind VVL_RowKind(const FrameHeader& h, int row);

// Decodes one full row: each word of cur = the word above + the running delta. map (1 bit per
// 4-pixel block, set = unchanged) may be null (every block coded). Pixels past the last whole
// block are cleared.
void VVL_DecodeRow(PairReader& pr, RowKind kind, uint8_t* cur, const uint8_t* above, int width,
                   const uint8_t* map);

// Decodes one row of a partial frame in place in row (the row above and the row decoded at once)
// with a 2-bit map, drawing the decoded and composed pixels of columns [c0, c1) straight onto
// dst (the target of column c0); dst null decodes without drawing.
void VVL_DecodePartialRow(PairReader& pr, RowKind kind, uint8_t* row, int width, const uint8_t* map2,
                          uint8_t* dst, int c0, int c1, bool is565);

// Composes one pixel by a pixel mode: 0 existing, 1 new, 2..4 blends of 1/4, 2/4, 3/4 new.
uint16_t VVL_ComposePixel(uint32_t mode, uint32_t fresh, uint32_t existing, bool is565);
