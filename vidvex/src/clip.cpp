// Clipping of pictures against a screen's view, clip rectangle and surface.
#include "clip.h"

#include <algorithm>
#include <cstdlib>

namespace {
int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }
}  // namespace

TargetRect VVL_TargetRect(const VScreen& s, bool withClip) {
    const int bpp = VVL_PixelBytes(s.format);
    const int64_t surfW = std::abs(int64_t(s.pitch)) / bpp;
    const int64_t surfH = std::max<int64_t>(0, s.height);
    int64_t x = s.viewX, y = s.viewY;
    int64_t w = s.viewW ? s.viewW : surfW;
    int64_t h = s.viewH ? s.viewH : surfH;
    if (withClip) {
        x += s.clipX;
        y += s.clipY;
        if (s.clipW) w = s.clipW;
        if (s.clipH) h = s.clipH;
    }
    TargetRect r;
    int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
    int64_t x1 = std::min<int64_t>(x + std::max<int64_t>(w, 0), surfW);
    int64_t y1 = std::min<int64_t>(y + std::max<int64_t>(h, 0), surfH);
    r.x = x0;
    r.y = y0;
    r.w = std::max<int64_t>(0, x1 - x0);
    r.h = std::max<int64_t>(0, y1 - y0);
    return r;
}

Visible VVL_Visible(const Placement& p, const TargetRect& t) {
    Visible v;
    const int64_t groups = p.width > 0 ? p.width / p.gs : 0;
    const int64_t g0 = std::max<int64_t>(0, CeilDiv(t.x - p.ix, p.gt));
    const int64_t g1 = std::min<int64_t>(groups, FloorDiv(t.x + t.w - p.ix, p.gt));
    const int64_t r0 = std::max<int64_t>(1, 1 + CeilDiv(t.y - p.iy, p.rs));
    const int64_t r1 = std::min<int64_t>(p.rows, 1 + FloorDiv(t.y + t.h - p.iy - p.lh, p.rs));
    if (g1 <= g0 || r1 < r0) return v;
    v.none = false;
    v.all = g0 == 0 && g1 == groups && r0 == 1 && r1 == p.rows;
    v.r0 = int(r0);
    v.r1 = int(r1);
    v.c0 = int(g0 * p.gs);
    v.count = int((g1 - g0) * p.gs);
    v.col = p.ix + g0 * p.gt;
    return v;
}
