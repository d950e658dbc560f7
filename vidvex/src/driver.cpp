// The frame driver and the blitter registry: positions an image on a screen's view, clips it,
// picks the blitter by blit quality, pixel format and drawing mode, and runs the frame row by
// row (a row decoder fills the decode buffer, the blitter writes the row to the screen). Partial
// frames draw through their own decoders; codec type 17 goes to its own decoder.
#include "blit.h"
#include "clip.h"
#include "rowdecode.h"
#include "vvl_internal.h"
#include "yuv17.h"

namespace {

// Drawing modes.
constexpr int kModeRows = 0;      // key frame or redraw everything
constexpr int kModeBlocks = 1;    // inter frame: changed blocks only
constexpr int kModeStretch = 2;
constexpr int kModePartial = 3;   // no blitter: partial frames draw through their decoders
constexpr int kModeCount = 5;     // mode 4 (8-bit screen copies) has no blitter either

struct Triple {
    BlitSetupFn setup = nullptr;
    BlitRowFn row = nullptr;
    BlitSetupFn finish = nullptr;
};
struct BlitterId {
    Triple modes[kModeCount];
    int family = 0;    // 0 quality 0, 1 quality 3, 2 quality 5
    int eightBit = 0;  // writes 8-bit pixels through colour tables
};

constexpr int kMaxIds = 32;
constexpr int kQualities = 10;
constexpr int kFormats = 7;
BlitterId g_ids[kMaxIds];
int g_idCount = 0;
int8_t g_idMap[kQualities][kFormats];

int NoOp(const BlitArgs&) { return 0; }

int AllocateId(int quality, int format) {
    if (g_idCount >= kMaxIds) return -1;
    int id = g_idCount++;
    g_idMap[quality][format] = int8_t(id);
    return id;
}

int RegisterMode(int id, int mode, BlitRowFn row, BlitSetupFn setup, BlitSetupFn finish) {
    if (id < 0 || id >= g_idCount || mode < 0 || mode >= kModeCount) return -1;
    g_ids[id].modes[mode] = Triple{setup, row, finish};
    return 0;
}

// The registered blitters, in the order their ids are handed out.
struct RegistryRow {
    int quality, format, family, eightBit;
};
constexpr RegistryRow kRegistry[] = {
    {0, 2, 0, 0}, {3, 2, 1, 0}, {5, 2, 2, 0}, {5, 1, 2, 1}, {3, 1, 1, 1}, {0, 1, 0, 1},
};

const BlitterId* LookupId(const VScreen& s) {
    int id = s.blitterOverride;
    if (id == -1) {
        if (s.quality < 0 || s.quality >= kQualities || s.format < 0 || s.format >= kFormats) return nullptr;
        id = g_idMap[s.quality][s.format];
    }
    if (id < 0 || id >= g_idCount) return nullptr;
    const BlitterId* b = &g_ids[id];
    // A blitter writes pixels of one size: it never draws on a screen of another.
    if (VVL_PixelBytes(s.format) != (b->eightBit ? 1 : 2)) return nullptr;
    return b;
}

// One map row per group of four picture rows, copied out of the frame through the bounded
// reader; the rows of two consecutive groups are kept.
constexpr int kMaxMapBytes = 4096;
struct MapRows {
    FrameBytes* frame = nullptr;
    size_t start = 0;
    int step = 0;
    uint8_t bytes[2][kMaxMapBytes];
    int group[2] = {-1, -1};

    const uint8_t* Get(int g) {
        if (step <= 0 || !frame) return nullptr;
        int slot = g & 1;
        if (group[slot] != g) {
            size_t at = start + size_t(g) * size_t(step);
            for (int i = 0; i < step; ++i) bytes[slot][i] = frame->At(at + size_t(i));
            group[slot] = g;
        }
        return bytes[slot];
    }
};

// The rows of the decode buffer: a frame buffer keeps every row below a guard row; a row buffer
// holds two rows that take turns as the row decoded and the row above.
struct BufferRows {
    uint8_t* buf;
    int64_t rowSize;
    int64_t advance;
    uint8_t* Cur(int i) const { return advance ? buf + i * rowSize : buf + ((i & 1) ? rowSize : 0); }
    uint8_t* Above(int i) const { return advance ? buf + (i - 1) * rowSize : buf + ((i & 1) ? 0 : rowSize); }
    // Partial frames decode in place: in the frame buffer's row of an inter stream (against the
    // previous frame), else in one row that carries down the picture.
    uint8_t* InPlace(int i, bool frameBuffer) const { return frameBuffer ? buf + i * advance : buf; }
};

}  // namespace

void VVL_BuildBlitterRegistry() {
    g_idCount = 0;
    for (auto& id : g_ids) id = BlitterId{};
    for (auto& row : g_idMap)
        for (auto& v : row) v = -1;
    for (const RegistryRow& r : kRegistry) {
        int id = AllocateId(r.quality, r.format);
        g_ids[id].family = r.family;
        g_ids[id].eightBit = r.eightBit;
        for (int mode = kModeRows; mode <= kModeStretch; ++mode)
            RegisterMode(id, mode, VVL_BlitRow(r.family, r.eightBit, mode), NoOp, NoOp);
    }
}

int VVL_Draw(XImage* image, VScreen* screen, bool redraw) {
    int r;
    XImage* im = VVL_CheckImage(image, &r);
    if (!im) return r;
    VScreen* s = nullptr;
    if (screen) {
        s = VVL_CheckScreen(screen, &r);
        if (!s) return r;
    }
    if (redraw && im->keptRows <= 0) redraw = false;
    const FrameHeader& h = im->hdr;
    const int codec = h.Codec();
    if (codec == vvlfmt::kCodecNone || !im->data) {
        if (!redraw) return 1;
        im->flags |= kImageRedrawAll;
    }
    const bool partial = h.partial != 0;
    if (s) {
        // Partial frames write 16-bit pixels straight onto the screen.
        if (partial && s->format != 2) return kVvlCannotDraw;
        if (s->lastImage != im) {
            im->flags |= kImageRedrawAll;
            s->lastImage = im;
        }
        // A screen over this image's own frame buffer: decode only.
        if (reinterpret_cast<uintptr_t>(s->surface) - uintptr_t(intptr_t(s->pitch)) ==
            reinterpret_cast<uintptr_t>(im->buffer))
            s = nullptr;
    }
    if (!s && (redraw || partial)) return kVvlCannotDraw;
    if (s && !s->surface) return kVvlCannotDraw;

    // Position on the screen (even column) and the row step.
    int64_t ix = 0, iy = 0;
    ptrdiff_t rowStep = 0;
    if (s) {
        ix = (int64_t(im->x) + (partial ? h.S16(vvlfmt::kHdrPartX) : 0) + s->viewX) & ~int64_t(1);
        iy = int64_t(im->y) + (partial ? h.S16(vvlfmt::kHdrPartY) : 0) + s->viewY;
        rowStep = (s->quality == 3 || s->quality == 5) ? 2 * ptrdiff_t(s->pitch) : ptrdiff_t(s->pitch);
    }
    if (codec == vvlfmt::kCodecYuv) return s ? VVL_DrawYuv(*im, *s, ix, iy) : kVvlOk;

    // Decode state.
    const int w = im->width, ht = im->height;
    const int64_t rowSize = int64_t(h.depthCode == 3 ? 3 : 2) * w;
    const bool key = Vvl_IsXImageKeyFrame(im) != 0;
    int step = 0;
    if (partial) step = ((w / 4) + 3) >> 2;
    else if (!key) step = ((w / 4) + 7) >> 3;
    if (!im->buffer) return kVvlCannotDraw;
    const int64_t size = im->bufferSize;
    BufferRows rows{im->buffer, rowSize, size >= (int64_t(ht) + 1) * rowSize ? rowSize : 0};
    if (!rows.advance && (h.inter || size < 2 * rowSize)) return kVvlCannotDraw;

    FrameBytes frame{im->data, im->data ? im->dataLength : 0};
    MapRows maps;
    maps.frame = im->data ? &frame : nullptr;
    maps.start = h.length;
    maps.step = step;
    PairReader pr;
    if (!redraw) {
        pr.t = &VVL_EnsureEscapeTables(h);
        pr.frame = &frame;
        pr.codePos = size_t(h.length) + size_t(ht / 4) * size_t(step);
        pr.Seed();
        std::memset(im->buffer, 0, size_t(rowSize));
    }
    auto decodeRow = [&](int i) {
        VVL_DecodeRow(pr, VVL_RowKind(h, i), rows.Cur(i), rows.Above(i), w, maps.Get((i - 1) / 4));
    };

    const BlitterId* id = s ? LookupId(*s) : nullptr;
    if (s && !partial) {
        if (!id) return kVvlCannotDraw;
        uintptr_t target = reinterpret_cast<uintptr_t>(s->surface) +
                           uintptr_t(ix * VVL_PixelBytes(s->format) + iy * s->pitch);
        bool moved = false;
        if (reinterpret_cast<uint8_t*>(target) != s->lastTarget) {
            im->flags |= kImageRedrawAll;
            s->lastTarget = reinterpret_cast<uint8_t*>(target);
            moved = true;
        }
        Placement p;
        p.ix = ix;
        p.iy = iy;
        p.rows = ht;
        p.rs = rowStep == s->pitch ? 1 : 2;
        p.lh = id->family == 2 ? 2 : 1;
        if (h.stretch) {
            p.width = (w / 4) * 4;
            p.gs = id->family == 0 ? 4 : 1;
            p.gt = id->family == 0 ? 6 : 3;
        } else {
            p.width = w;
            p.gt = id->family == 0 ? 1 : 2;
        }
        const Visible v = VVL_Visible(p, VVL_TargetRect(*s, true));
        const int clip = v.none ? 2 : (!v.all || moved) ? 1 : 0;
        if (!v.all) im->flags |= kImageRedrawAll;
        const int mode = h.stretch ? kModeStretch
                         : (key || (im->flags & kImageRedrawAll)) ? kModeRows
                                                                   : kModeBlocks;
        const Triple& tr = id->modes[mode];
        if (!tr.row) return kVvlCannotDraw;

        BlitArgs a;
        a.width = w;
        a.c0 = v.c0;
        a.count = v.count;
        a.pitch = s->pitch;
        a.dstParity = int(v.col & 1);
        a.table1 = s->table1;
        a.table2 = s->table2;
        a.is565 = h.is565 != 0;
        if (id->eightBit && (!a.table1 || !a.table2)) return kVvlCannotDraw;
        if (clip != 2 && tr.setup) tr.setup(a);
        // A redraw that nothing moved or clipped leaves out the last row.
        const int last = (redraw && clip == 0) ? ht - 1 : ht;
        for (int i = 1; i <= last; ++i) {
            if (!redraw) decodeRow(i);
            if (clip == 2 || i < v.r0 || i > v.r1) continue;
            a.cur = rows.Cur(i);
            a.prev = rows.Above(i);
            a.dst = VVL_RowTarget(*s, p, v, i);
            if (mode == kModeBlocks) {
                a.mapCur = maps.Get((i - 1) / 4);
                a.mapPrev = i > 1 ? maps.Get((i - 2) / 4) : a.mapCur;
            }
            tr.row(a);
        }
        if (tr.finish && clip != 2) tr.finish(a);
        if (clip != 2) im->flags &= ~kImageRedrawAll;
        return frame.overrun ? kVvlBadHeader : kVvlOk;
    }

    // Decoders alone: a frame decoded without a screen, or a partial frame drawn by its decoders.
    if (im->keptRows <= 0 && !partial) return kVvlOk;
    im->flags |= kImageRedrawAll;
    if (redraw) return kVvlOk;
    if (!partial) {
        for (int i = 1; i <= ht; ++i) decodeRow(i);
        return frame.overrun ? kVvlBadHeader : kVvlOk;
    }
    Placement p;
    p.ix = ix;
    p.iy = iy;
    p.rows = ht;
    p.width = w;
    p.rs = rowStep == s->pitch ? 1 : 2;
    const Visible v = VVL_Visible(p, VVL_TargetRect(*s, true));
    for (int i = 1; i <= ht; ++i) {
        bool shown = !v.none && i >= v.r0 && i <= v.r1;
        uint8_t* dst = shown ? VVL_RowTarget(*s, p, v, i) : nullptr;
        VVL_DecodePartialRow(pr, VVL_RowKind(h, i), rows.InPlace(i, h.inter && rows.advance), w, maps.Get((i - 1) / 4), dst, v.c0,
                             v.c0 + v.count, h.is565 != 0);
    }
    return frame.overrun ? kVvlBadHeader : kVvlOk;
}
