// Test encoder of the row codec. It keeps its own model of what the decoder does with every code
// byte (pair deltas from the escape tables, the running delta along a row, words predicted from
// the row above, unchanged blocks, partial-frame composing), and chooses each entry of the code
// stream by trying every entry (and every escape) against the pixels it would produce next.
#include "datakit/vidvex_rowenc.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "datakit/vidvex_frame.h"
#include "vidvex_format.h"

namespace dk {
namespace {

using namespace vvlfmt;

// Pair deltas of the escape tables as the decoder sees them: for each entry up to four pairs of
// a luma word delta, a chroma word delta and the two pixel modes of a selector.
struct Tables {
    uint32_t luma[256][4] = {};
    uint32_t chroma[256][4] = {};
    uint8_t modeA[256][4] = {};  // first pixel
    uint8_t modeB[256][4] = {};  // second pixel
    int pairs[256] = {};
    int lumaStep[8] = {};    // per-pixel deltas of the delta set's indices
    int chromaStep[8] = {};
};

// A 32-bit word stored doubled with a flag bit in bit 0 and read back by an arithmetic shift:
// only its low 31 bits survive, sign-extended.
uint32_t Keep31(uint32_t v) { return uint32_t(int32_t(v << 1) >> 1); }

Tables MakeTables(int set, int source, bool is565) {
    Tables t;
    const int gShift = is565 ? 6 : 5, rShift = is565 ? 11 : 10;
    const uint32_t k = 1u + (1u << gShift) + (1u << rShift);
    const uint8_t* s = kEscapeSources[source].bytes;
    for (int i = 0; i < 8; ++i) {
        t.lumaStep[i] = kLumaDeltas[set][i] / 2 - (kLumaDeltas[set][i] < 0 && (kLumaDeltas[set][i] & 1) ? 1 : 0);
        t.chromaStep[i] = int8_t(kChromaDeltas[set][i] & 0xFF);
    }
    size_t at = 0;
    for (int e = 0; e < 256; ++e) {
        int n = s[at++] / 2;
        t.pairs[e] = n;
        for (int j = 0; j < n; ++j) {
            uint8_t b = s[at++];
            int ia = b >> 4, ib = b & 15;
            int32_t ya = kLumaDeltas[set][ia] / 2 - (kLumaDeltas[set][ia] < 0 && (kLumaDeltas[set][ia] & 1) ? 1 : 0);
            int32_t yb = kLumaDeltas[set][ib] / 2 - (kLumaDeltas[set][ib] < 0 && (kLumaDeltas[set][ib] & 1) ? 1 : 0);
            int32_t ca = int8_t(kChromaDeltas[set][ia] & 0xFF), cb = int8_t(kChromaDeltas[set][ib] & 0xFF);
            uint32_t grey = uint32_t(ya) * k + (uint32_t(yb) * k << 16);
            uint32_t rb = (uint32_t(cb) + (uint32_t(ca) << rShift)) * 0x10001u;
            t.luma[e][j] = Keep31(grey);
            t.chroma[e][j] = Keep31(rb);
            t.modeA[e][j] = uint8_t(ia > 4 ? 1 : ia);
            t.modeB[e][j] = uint8_t(ib > 4 ? 1 : ib);
        }
    }
    return t;
}

enum OpKind : uint8_t { kOpLuma, kOpChroma, kOpSelect, kOpAssign, kOpZero, kOpNone };
struct Op {
    OpKind kind;
    int word;        // the word written (luma), composed (select), or the block's words
    bool show;       // partial frames: the decoded word goes to the screen as it is
};

// Row kind by row number: chroma rows carry chroma pairs once per block or for every word.
int RowKind(int codec, int row) {
    int m = kBlockRowBits[codec] == 1 ? 1 : 3;
    if (((row & 3) + 3) & m) return 2;
    return kColumnShift[codec] ? 1 : 0;
}

class Encoder {
public:
    Encoder(const Tables& t, bool is565, bool partial, int w, int h, const std::vector<uint16_t>& src,
            const std::vector<uint16_t>* under)
        : t_(t), is565_(is565), partial_(partial), w_(w), h_(h), words_((w / 4) * 2), src_(src) {
        rows_.assign(size_t(h) + 1, std::vector<uint32_t>(size_t(words_), 0));
        for (int i = 0; i < 8; ++i) {
            lumaSteps_.push_back(t.lumaStep[i]);
            chromaSteps_.push_back(t.chromaStep[i]);
        }
        ops_.resize(size_t(h) + 1);
        if (under) shown_ = *under;
    }

    std::vector<std::vector<Op>>& Ops() { return ops_; }
    std::vector<std::vector<uint32_t>>& Rows() { return rows_; }
    std::vector<uint16_t>& Shown() { return shown_; }
    const std::vector<uint8_t>& Code() const { return code_; }

    // Chooses the whole code stream, committing each choice as the decoder would take it.
    void Run() {
        Choice c = Decide(1, -1, kOpNone, 0, false);
        code_.push_back(uint8_t(c.byte));
        entry_ = c.byte;
        pair_ = 0;
        for (int r = 1; r <= h_; ++r) {
            if (partial_) rows_[size_t(r)] = rows_[size_t(r) - 1];
            uint32_t d = 0;
            const auto& ops = ops_[size_t(r)];
            for (int j = 0; j < int(ops.size()); ++j) {
                const Op& op = ops[size_t(j)];
                const size_t q = size_t(op.word);
                if (op.kind == kOpAssign) {
                    d = rows_[size_t(r)][q] - rows_[size_t(r) - 1][q];
                    continue;
                }
                if (op.kind == kOpZero) {
                    d = 0;
                    rows_[size_t(r)][q] = rows_[size_t(r)][q + 1] = 0;
                    continue;
                }
                const bool last = pair_ == t_.pairs[entry_] - 1;
                if (op.kind == kOpSelect) {
                    int a = t_.modeA[entry_][pair_], b = t_.modeB[entry_][pair_];
                    if (last) TakeSelect(Decide(r, j, kOpSelect, d, false));
                    else ++pair_;
                    uint32_t fresh = rows_[size_t(r)][q];
                    Show(r, int(q), a, b, fresh);
                    continue;
                }
                const auto& table = op.kind == kOpLuma ? t_.luma : t_.chroma;
                d += table[entry_][pair_];
                if (last) {
                    Choice c2 = Decide(r, j, op.kind, d, true);
                    if (!c2.escape) {
                        TakeSelect(c2);
                    } else {
                        code_.push_back(0);
                        code_.push_back(uint8_t(c2.byte));
                        d += 5u * table[c2.byte][0];
                        if (t_.pairs[c2.byte] == 1) {
                            // An escaped entry of one pair is used up: the next byte selects.
                            TakeSelect(Decide(r, j, op.kind, d, false));
                        } else {
                            entry_ = c2.byte;
                            pair_ = 1;
                        }
                    }
                } else {
                    ++pair_;
                }
                if (op.kind == kOpLuma) {
                    uint32_t v = rows_[size_t(r) - 1][q] + d;
                    rows_[size_t(r)][q] = v;
                    if (op.show) Show(r, int(q), 1, 1, v);
                }
            }
        }
    }

private:
    struct Choice {
        bool escape = false;
        int byte = 1;
        double score = 0;
    };
    // Words written while trying a choice, over the committed rows.
    struct Scratch {
        int n = 0;
        int row[24];
        int word[24];
        uint32_t val[24];
        void Put(int r, int q, uint32_t v) {
            if (n < 24) {
                row[n] = r;
                word[n] = q;
                val[n] = v;
                ++n;
            }
        }
    };

    void TakeSelect(const Choice& c) {
        code_.push_back(uint8_t(c.byte));
        entry_ = c.byte;
        pair_ = 0;
    }

    uint32_t Word(int r, int q, const Scratch& s) const {
        for (int i = s.n - 1; i >= 0; --i)
            if (s.row[i] == r && s.word[i] == q) return s.val[i];
        return rows_[size_t(r)][size_t(q)];
    }

    uint16_t Src(int r, int px) const { return src_[size_t(r - 1) * size_t(w_) + size_t(px)]; }

    int PixErr(uint32_t a, uint16_t target) const {
        a &= 0xFFFF;
        if (is565_) {
            return std::abs(int((a >> 11) & 31) - int((target >> 11) & 31)) +
                   std::abs(int((a >> 5) & 63) - int((target >> 5) & 63)) / 2 + std::abs(int(a & 31) - int(target & 31));
        }
        return std::abs(int((a >> 10) & 31) - int((target >> 10) & 31)) +
               std::abs(int((a >> 5) & 31) - int((target >> 5) & 31)) + std::abs(int(a & 31) - int(target & 31)) +
               ((a & 0x8000) ? 8 : 0);
    }
    int WordErr(int r, int q, uint32_t v) const { return PixErr(v, Src(r, 2 * q)) + PixErr(v >> 16, Src(r, 2 * q + 1)); }

    uint16_t Compose(int mode, uint32_t fresh, uint32_t old) const {
        fresh &= 0xFFFF;
        old &= 0xFFFF;
        if (mode == 0) return uint16_t(old);
        if (mode == 1) return uint16_t(fresh);
        int wq = mode - 1;
        const int rShift = is565_ ? 11 : 10;
        const uint32_t gMask = is565_ ? 63 : 31;
        auto mix = [&](int shift, uint32_t mask) {
            uint32_t n = (fresh >> shift) & mask, o = (old >> shift) & mask;
            return ((uint32_t(wq) * n + uint32_t(4 - wq) * o) / 4) << shift;
        };
        return uint16_t(mix(0, 31) | mix(5, gMask) | mix(rShift, 31));
    }
    uint16_t Under(int r, int px) const { return shown_[size_t(r - 1) * size_t(w_) + size_t(px)]; }
    void Show(int r, int q, int modeA, int modeB, uint32_t fresh) {
        size_t at = size_t(r - 1) * size_t(w_) + size_t(2 * q);
        shown_[at] = Compose(modeA, fresh, shown_[at]);
        shown_[at + 1] = Compose(modeB, fresh >> 16, shown_[at + 1]);
    }
    int SelectErr(int r, int q, int modeA, int modeB, uint32_t fresh) const {
        return PixErr(Compose(modeA, fresh, Under(r, 2 * q)), Src(r, 2 * q)) +
               PixErr(Compose(modeB, fresh >> 16, Under(r, 2 * q + 1)), Src(r, 2 * q + 1));
    }

    // Channels of a pixel in 5-bit steps (green in its own width).
    void Channels(uint32_t p, int c[3]) const {
        p &= 0xFFFF;
        c[0] = int((p >> (is565_ ? 11 : 10)) & 31);
        c[1] = int((p >> 5) & (is565_ ? 63 : 31));
        c[2] = int(p & 31);
    }

    // The slot after (cr, cj), moving through unchanged and skipped blocks (which set the running
    // delta) and at most into the row after `limitRow`. Null when there is none.
    const Op* NextSlot(int& cr, int& cj, int limitRow, uint32_t& d, Scratch& s) const {
        for (;;) {
            ++cj;
            if (cj >= int(ops_[size_t(cr)].size())) {
                if (cr >= h_ || cr > limitRow) return nullptr;
                ++cr;
                cj = -1;
                d = 0;
                continue;
            }
            const Op& o = ops_[size_t(cr)][size_t(cj)];
            if (o.kind == kOpAssign) {
                d = rows_[size_t(cr)][size_t(o.word)] - Word(cr - 1, o.word, s);
            } else if (o.kind == kOpZero) {
                d = 0;
                s.Put(cr, o.word, 0);
                s.Put(cr, o.word + 1, 0);
            } else {
                return &o;
            }
        }
    }

    // An estimate of a slot that a later entry will fill: the best single delta per pixel (luma)
    // or per colour difference (chroma), or the best pixel modes (selector).
    double Continue(const Op& op, int cr, uint32_t& d, Scratch& s) const {
        const uint32_t k = 1u + (1u << (is565_ ? 6 : 5)) + (1u << (is565_ ? 11 : 10));
        if (op.kind == kOpLuma) {
            uint32_t pred = Word(cr - 1, op.word, s) + d;
            double cost = 0;
            uint32_t add = 0;
            for (int half = 0; half < 2; ++half) {
                int c[3], t[3];
                Channels(pred >> (16 * half), c);
                Channels(Src(cr, 2 * op.word + half), t);
                int bestErr = 1 << 30, bestY = 0;
                for (int y : lumaSteps_) {
                    int err = std::abs(c[0] + y - t[0]) + std::abs(c[1] + y - t[1]) / (is565_ ? 2 : 1) +
                              std::abs(c[2] + y - t[2]);
                    if (err < bestErr) {
                        bestErr = err;
                        bestY = y;
                    }
                }
                cost += bestErr;
                add += (uint32_t(bestY) * k) << (16 * half);
            }
            d += add;
            s.Put(cr, op.word, pred + add);
            return cost;
        }
        if (op.kind == kOpChroma) {
            // Aim the colour differences of the next word at the source's.
            int wq = std::min(op.word, words_ - 1);
            uint32_t pred = Word(cr - 1, wq, s) + d;
            int bestR = 0, bestB = 0, errR = 1 << 30, errB = 1 << 30;
            for (int cv : chromaSteps_) {
                int er = 0, eb = 0;
                for (int half = 0; half < 2; ++half) {
                    int c[3], t[3];
                    Channels(pred >> (16 * half), c);
                    Channels(Src(cr, 2 * wq + half), t);
                    int g = is565_ ? c[1] / 2 : c[1], tg = is565_ ? t[1] / 2 : t[1];
                    er += std::abs((c[0] + cv - g) - (t[0] - tg));
                    eb += std::abs((c[2] + cv - g) - (t[2] - tg));
                }
                if (er < errR) {
                    errR = er;
                    bestR = cv;
                }
                if (eb < errB) {
                    errB = eb;
                    bestB = cv;
                }
            }
            d += (uint32_t(bestB) + (uint32_t(bestR) << (is565_ ? 11 : 10))) * 0x10001u;
            return 0;
        }
        int best = 1 << 30;
        for (int a = 0; a < 5; ++a)
            for (int b = 0; b < 5; ++b) best = std::min(best, SelectErr(cr, op.word, a, b, Word(cr, op.word, s)));
        return best;
    }

    // Cost of a choice taken when the slot at (r, j) (of kind pending, running delta d with its
    // pair) ends an entry: the pending word and the next `window` slots, those past the choice's
    // pairs estimated.
    double Try(int r, int j, OpKind pending, uint32_t d, bool escape, int byte, int window) const {
        Scratch s;
        double cost = 0;
        if (escape) d += 5u * (pending == kOpLuma ? t_.luma[byte][0] : t_.chroma[byte][0]);
        if (pending == kOpLuma) {
            int q = ops_[size_t(r)][size_t(j)].word;
            uint32_t v = Word(r - 1, q, s) + d;
            s.Put(r, q, v);
            cost += WordErr(r, q, v);
        }
        int p = escape ? 1 : 0;
        if (escape && t_.pairs[byte] == 1) p = 4;  // used up: a later entry follows
        int cr = r, cj = j;
        for (int n = 0; n < window; ++n) {
            const Op* op = NextSlot(cr, cj, r, d, s);
            if (!op) break;
            if (p >= t_.pairs[byte]) {
                cost += Continue(*op, cr, d, s);
                continue;
            }
            if (op->kind == kOpChroma) {
                d += t_.chroma[byte][p];
            } else if (op->kind == kOpLuma) {
                d += t_.luma[byte][p];
                uint32_t v = Word(cr - 1, op->word, s) + d;
                s.Put(cr, op->word, v);
                cost += WordErr(cr, op->word, v);
            } else {
                cost += SelectErr(cr, op->word, t_.modeA[byte][p], t_.modeB[byte][p], Word(cr, op->word, s));
            }
            ++p;
        }
        return cost;
    }

    // Picks the next code byte (and whether it is an escape) at the slot (r, j).
    Choice Decide(int r, int j, OpKind pending, uint32_t d, bool allowEscape) const {
        std::vector<Choice> cands;
        cands.reserve(512);
        for (int b = allowEscape ? 1 : 0; b < 256; ++b) cands.push_back({false, b, 0});
        if (allowEscape)
            for (int e = 0; e < 256; ++e) cands.push_back({true, e, 0});
        // A short look first, then a full look at the best few.
        for (Choice& c : cands) c.score = Try(r, j, pending, d, c.escape, c.byte, 2);
        size_t keep = std::min<size_t>(16, cands.size());
        std::partial_sort(cands.begin(), cands.begin() + ptrdiff_t(keep), cands.end(),
                          [](const Choice& a, const Choice& b) { return a.score < b.score; });
        Choice best = cands[0];
        double bestScore = 1e300;
        for (size_t i = 0; i < keep; ++i) {
            double sc = Try(r, j, pending, d, cands[i].escape, cands[i].byte, 6);
            // Prefer plain entries over escapes at equal cost.
            if (sc < bestScore - 1e-9 || (sc < bestScore + 1e-9 && best.escape && !cands[i].escape)) {
                bestScore = sc;
                best = cands[i];
            }
        }
        return best;
    }

    const Tables& t_;
    std::vector<int> lumaSteps_, chromaSteps_;  // per-pixel deltas a single pair can give
    bool is565_;
    bool partial_;
    int w_, h_, words_;
    const std::vector<uint16_t>& src_;
    std::vector<std::vector<uint32_t>> rows_;
    std::vector<std::vector<Op>> ops_;
    std::vector<uint16_t> shown_;
    std::vector<uint8_t> code_;
    int entry_ = 0, pair_ = 0;
};

bool Encodable(const VvlRowParams& p) {
    if (p.codec < 1 || p.codec > 16 || !kCodecConfig[p.codec].allow[std::clamp(p.variant, 0, 3)]) return false;
    if (p.variant < 1 || p.variant > 3 || p.deltaSet < 0 || p.deltaSet >= kDeltaSets) return false;
    int source = (p.codec & 1) ? 1 : p.escape;
    return source >= 1 && source <= 3;
}

int SourceOf(const VvlRowParams& p) { return (p.codec & 1) ? 1 : p.escape; }

// The slots of one block of a full or partial row.
void BlockOps(std::vector<Op>& ops, int kind, int b, bool show) {
    int q = 2 * b;
    if (kind != 2) ops.push_back({kOpChroma, q, show});
    ops.push_back({kOpLuma, q, show});
    if (kind == 1) ops.push_back({kOpChroma, q + 1, show});
    ops.push_back({kOpLuma, q + 1, show});
}

VvlHeader BaseHeader(const VvlRowParams& p) {
    VvlHeader h;
    h.seed = p.seed;
    h.codec = p.codec;
    h.deltaSet = p.deltaSet;
    h.escape = p.escape;
    h.variant = p.variant;
    if (p.stretch) h.flags |= kFlagStretch;
    if (p.interStream) h.flags |= kFlagInter;
    if (p.interStream && p.key) h.flags |= kFlagKey;
    return h;
}

}  // namespace

VvlEncoded VvlEncodeRowFrame(const VvlRowParams& p, int w, int h, const std::vector<uint16_t>& source,
                             const std::vector<uint16_t>* previous) {
    VvlEncoded out;
    const bool inter = p.interStream && !p.key;
    if (!Encodable(p) || w < 0 || h < 0 || source.size() != size_t(w) * size_t(h)) return out;
    if (inter && (h % 4 || !previous || previous->size() != source.size())) return out;
    if (p.variant < 2 && (p.interStream || p.stretch)) return out;
    const Tables t = MakeTables(p.deltaSet, SourceOf(p), p.is565);
    Encoder enc(t, p.is565, false, w, h, source, nullptr);
    const int blocks = w / 4, step = (blocks + 7) >> 3;
    std::vector<uint8_t> maps;
    if (inter) {
        // The frame buffer holds the previous picture; blocks close enough to it stay.
        auto& rows = enc.Rows();
        for (int r = 1; r <= h; ++r)
            for (int q = 0; q < 2 * blocks; ++q)
                rows[size_t(r)][size_t(q)] = uint32_t((*previous)[size_t(r - 1) * size_t(w) + size_t(2 * q)]) |
                                             uint32_t((*previous)[size_t(r - 1) * size_t(w) + size_t(2 * q) + 1]) << 16;
        maps.assign(size_t(h / 4) * size_t(step), 0);
        out.unchanged.assign(size_t(h / 4) * size_t(blocks), 0);
        for (int g = 0; g < h / 4; ++g) {
            for (int b = 0; b < blocks; ++b) {
                int worst = 0;
                for (int y = 4 * g; y < 4 * g + 4; ++y)
                    for (int x = 4 * b; x < 4 * b + 4; ++x)
                        worst = std::max(worst, VvlChannelDiff(source[size_t(y) * size_t(w) + size_t(x)],
                                                               (*previous)[size_t(y) * size_t(w) + size_t(x)], p.is565));
                if (worst <= p.skipTolerance) {
                    maps[size_t(g) * size_t(step) + size_t(b >> 3)] |= uint8_t(1u << (b & 7));
                    out.unchanged[size_t(g) * size_t(blocks) + size_t(b)] = 1;
                }
            }
        }
    }
    for (int r = 1; r <= h; ++r) {
        int kind = RowKind(p.codec, r);
        auto& ops = enc.Ops()[size_t(r)];
        for (int b = 0; b < blocks; ++b) {
            if (inter && out.unchanged[size_t((r - 1) / 4) * size_t(blocks) + size_t(b)])
                ops.push_back({kOpAssign, 2 * b + 1, false});
            else
                BlockOps(ops, kind, b, false);
        }
    }
    enc.Run();

    VvlHeader hd = BaseHeader(p);
    hd.width = w;
    hd.height = h;
    out.frame = VvlWriteHeader(hd);
    out.frame.insert(out.frame.end(), maps.begin(), maps.end());
    out.frame.insert(out.frame.end(), enc.Code().begin(), enc.Code().end());
    out.decoded.assign(size_t(w) * size_t(h), 0);
    for (int r = 1; r <= h; ++r)
        for (int q = 0; q < 2 * blocks; ++q) {
            uint32_t v = enc.Rows()[size_t(r)][size_t(q)];
            out.decoded[size_t(r - 1) * size_t(w) + size_t(2 * q)] = uint16_t(v);
            out.decoded[size_t(r - 1) * size_t(w) + size_t(2 * q) + 1] = uint16_t(v >> 16);
        }
    return out;
}

VvlEncoded VvlEncodeRowPartial(const VvlRowParams& p, int x, int y, int w, int h, int fullW, int fullH,
                               const std::vector<uint16_t>& source, const std::vector<uint16_t>& under,
                               const std::vector<uint8_t>& codes) {
    VvlEncoded out;
    const size_t n = size_t(w) * size_t(h);
    if (!Encodable(p) || p.variant < 2 || p.interStream || w < 0 || h < 0 || h % 4) return out;
    if (source.size() != n || under.size() != n) return out;
    const int blocks = w / 4, step = (blocks + 3) >> 2, groups = h / 4;
    std::vector<uint8_t> code(size_t(groups) * size_t(blocks), 0);
    if (!codes.empty()) {
        if (codes.size() != code.size()) return out;
        code = codes;
    } else {
        for (int g = 0; g < groups; ++g)
            for (int b = 0; b < blocks; ++b) {
                bool same = true;
                for (int yy = 4 * g; yy < 4 * g + 4; ++yy)
                    for (int xx = 4 * b; xx < 4 * b + 4; ++xx)
                        same = same && source[size_t(yy) * size_t(w) + size_t(xx)] == under[size_t(yy) * size_t(w) + size_t(xx)];
                code[size_t(g) * size_t(blocks) + size_t(b)] = same ? 0 : 1;
            }
    }
    const Tables t = MakeTables(p.deltaSet, SourceOf(p), p.is565);
    Encoder enc(t, p.is565, true, w, h, source, &under);
    std::vector<uint8_t> maps(size_t(groups) * size_t(step), 0);
    for (int g = 0; g < groups; ++g)
        for (int b = 0; b < blocks; ++b)
            maps[size_t(g) * size_t(step) + size_t(b >> 2)] |=
                uint8_t((code[size_t(g) * size_t(blocks) + size_t(b)] & 3) << ((b & 3) * 2));
    for (int r = 1; r <= h; ++r) {
        int kind = RowKind(p.codec, r);
        auto& ops = enc.Ops()[size_t(r)];
        for (int b = 0; b < blocks; ++b) {
            int c = code[size_t((r - 1) / 4) * size_t(blocks) + size_t(b)] & 3;
            if (c == 0) {
                ops.push_back({kOpZero, 2 * b, false});
                continue;
            }
            BlockOps(ops, kind, b, c == 1);
            if (c >= 2) {
                ops.push_back({kOpSelect, 2 * b, false});
                ops.push_back({kOpSelect, 2 * b + 1, false});
            }
        }
    }
    enc.Run();

    VvlHeader hd = BaseHeader(p);
    hd.flags |= kFlagPartial;
    hd.width = fullW;
    hd.height = fullH;
    hd.partX = x;
    hd.partY = y;
    hd.partW = w;
    hd.partH = h;
    out.frame = VvlWriteHeader(hd);
    out.frame.insert(out.frame.end(), maps.begin(), maps.end());
    out.frame.insert(out.frame.end(), enc.Code().begin(), enc.Code().end());
    out.decoded = enc.Shown();
    return out;
}

}  // namespace dk
