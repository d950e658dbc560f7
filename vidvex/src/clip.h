// Where a picture lands on a screen and which of its rows and columns may be drawn: the target
// rectangle (view, clip rectangle and the surface itself) and the placement of source rows and
// columns on target lines and columns.
#pragma once
#include <cstdint>

#include "vvl_internal.h"

struct TargetRect {
    int64_t x = 0, y = 0, w = 0, h = 0;
};

// The rectangle a screen may be drawn in: the clip rectangle inside the view (a width or height
// of 0 taking the view's, and then the surface's), limited to the surface (|pitch| / pixel bytes
// columns, height rows). withClip false leaves the clip rectangle out.
TargetRect VVL_TargetRect(const VScreen& s, bool withClip);

// How source pixels and rows map onto the target: a group of `gs` source pixels covers `gt`
// target pixels; row r (from 1) covers lines iy + (r-1)*rs up to lh lines.
struct Placement {
    int64_t ix = 0, iy = 0;  // target position of source column 0, row 1
    int rows = 0;
    int width = 0;           // source pixels that may be drawn
    int gs = 1, gt = 1;
    int rs = 1, lh = 1;
};

// The rows and columns of a placement that fall wholly inside a target rectangle.
struct Visible {
    int r0 = 1, r1 = 0;      // rows, inclusive
    int c0 = 0, count = 0;   // source columns
    int64_t col = 0;         // target column of c0
    bool none = true;        // nothing visible
    bool all = false;        // every row and column visible
};
Visible VVL_Visible(const Placement& p, const TargetRect& t);

// Target address of row r of a visible placement.
inline uint8_t* VVL_RowTarget(const VScreen& s, const Placement& p, const Visible& v, int r) {
    int64_t line = p.iy + int64_t(r - 1) * p.rs;
    return s.surface + line * s.pitch + v.col * VVL_PixelBytes(s.format);
}
