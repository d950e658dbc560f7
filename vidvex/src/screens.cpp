// Screen operations without an image: copying one screen's pixels onto another through the
// blitters, the two colour tables of 8-bit screens, and clearing a screen's view.
#include <algorithm>
#include <cstdlib>

#include "blit.h"
#include "clip.h"
#include "vvl_internal.h"

namespace {
constexpr size_t kTableBytes = 32768;

VScreen* Live(VScreen* s) {
    int r;
    return VVL_CheckScreen(s, &r);
}
}  // namespace

extern "C" {

VvlResult Vvl_BlitVScreenToVScreen(VScreen* source, VScreen* target) {
    VScreen* S = Live(source);
    VScreen* T = Live(target);
    if (!S || !T) return kVvlCannotDraw;
    if (S->surface == T->surface) return kVvlOk;
    // Mode 0 copies a 16-bit source; an 8-bit source (mode 4) has no blitter.
    if (S->format != 2 || !S->surface || !T->surface) return kVvlCannotDraw;
    int family;
    if (T->quality == 0) family = 0;
    else if (T->quality == 3) family = 1;
    else if (T->quality == 5) family = 2;
    else return kVvlCannotDraw;
    const int eightBit = T->format == 1 ? 1 : 0;
    if (!eightBit && T->format != 2) return kVvlCannotDraw;
    if (eightBit && (!T->table1 || !T->table2)) return kVvlCannotDraw;

    const int ps = VVL_PixelBytes(S->format);
    const int width = std::abs(int(S->pitch)) / ps;
    // Rows 1 .. height-1 of the source are drawn; quality 5 averages each pair of neighbouring
    // source rows, starting with the first two.
    const int rows = int(S->height) - 1;
    Placement p;
    p.ix = T->viewX & ~1;
    p.iy = T->viewY;
    p.rows = rows;
    p.width = width;
    p.gt = family == 0 ? 1 : 2;
    p.rs = family == 0 ? 1 : 2;
    p.lh = family == 2 ? 2 : 1;
    // The copy stays inside the target's view and surface.
    const Visible v = VVL_Visible(p, VVL_TargetRect(*T, false));
    if (v.none) return kVvlOk;

    BlitArgs a;
    a.width = width;
    a.c0 = v.c0;
    a.count = v.count;
    a.pitch = T->pitch;
    a.dstParity = int(v.col & 1);
    a.table1 = T->table1;
    a.table2 = T->table2;
    a.is565 = VVL_Is565() != 0;
    BlitRowFn row = VVL_BlitRow(family, eightBit, 0);
    const int first = family == 2 ? 1 : 0;  // source row of the first drawn row
    for (int i = v.r0; i <= v.r1; ++i) {
        int src = first + i - 1;
        a.cur = S->surface + ptrdiff_t(src) * S->pitch;
        a.prev = family == 2 ? S->surface + ptrdiff_t(src - 1) * S->pitch : a.cur;
        a.dst = VVL_RowTarget(*T, p, v, i);
        row(a);
    }
    return kVvlOk;
}

VvlResult Vvl_SetVScreenCLUTs(VScreen* screen, const void* table1, const void* table2, int shared) {
    VScreen* s = Live(screen);
    if (!s) return kVvlNotInUse;
    if (shared) {
        if (s->flags & kScreenOwnTables) VVL_Free(const_cast<uint8_t*>(s->table1));
        s->flags &= ~kScreenOwnTables;
        s->table1 = static_cast<const uint8_t*>(table1);
        s->table2 = static_cast<const uint8_t*>(table2);
        return kVvlOk;
    }
    if (!table1 || !table2) return kVvlNotInUse;
    // The new copy is made before the old one goes, so a failed allocation leaves the screen's
    // tables as they were.
    auto copy = static_cast<uint8_t*>(VVL_Alloc(2 * kTableBytes));
    if (!copy) return kVvlNotInUse;
    std::memcpy(copy, table1, kTableBytes);
    std::memcpy(copy + kTableBytes, table2, kTableBytes);
    if (s->flags & kScreenOwnTables) VVL_Free(const_cast<uint8_t*>(s->table1));
    s->table1 = copy;
    s->table2 = copy + kTableBytes;
    s->flags |= kScreenOwnTables;
    return kVvlOk;
}

void Vvl_ResetVScreenCLUTs(VScreen* screen) {
    VScreen* s = Live(screen);
    if (!s || !(s->flags & kScreenOwnTables)) return;
    VVL_Free(const_cast<uint8_t*>(s->table1));
    s->flags &= ~kScreenOwnTables;
    s->table1 = nullptr;
    s->table2 = nullptr;
}

void Vvl_EraseVScreen(VScreen* screen) {
    VScreen* s = Live(screen);
    if (!s || !s->surface) return;
    const int bpp = VVL_PixelBytes(s->format);
    const TargetRect t = VVL_TargetRect(*s, false);
    // The view's own width and height: a view of width 0 clears nothing.
    const int64_t w = std::min<int64_t>(t.w, std::max<int16_t>(s->viewW, 0));
    const int64_t h = std::min<int64_t>(t.h, std::max<int16_t>(s->viewH, 0));
    for (int64_t y = 0; y < h; ++y)
        std::memset(s->surface + (t.y + y) * s->pitch + t.x * bpp, 0, size_t(w * bpp));
}

}  // extern "C"
