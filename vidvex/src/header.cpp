// The frame header: length byte, chained header body, codec configuration, and the escape
// tables of the row codec that a header selects (built from a delta set and an escape source,
// and kept until a header asks for others).
#include "vvl_internal.h"

namespace {

using namespace vvlfmt;

// The escape sources are constant data: check at compile time that each is a well-formed
// stream of 256 entries with indices inside the delta arrays, so the table build never reads
// or indexes past them.
constexpr bool WellFormed(const uint8_t* bytes, size_t length, int maxIndex) {
    size_t pos = 0;
    for (int k = 0; k < kEscapeEntries; ++k) {
        if (pos >= length) return false;
        int n = bytes[pos];
        if (n != 2 && n != 4 && n != 6 && n != 8) return false;
        if (pos + 1 + size_t(n / 2) > length) return false;
        for (int j = 0; j < n / 2; ++j) {
            uint8_t b = bytes[pos + 1 + size_t(j)];
            if ((b >> 4) > maxIndex || (b & 15) > maxIndex) return false;
        }
        pos += 1 + size_t(n / 2);
    }
    return pos == length;
}
static_assert(WellFormed(kEscapeSource1, sizeof(kEscapeSource1), 6));
static_assert(WellFormed(kEscapeSource2, sizeof(kEscapeSource2), 7));
static_assert(WellFormed(kEscapeSource3, sizeof(kEscapeSource3), 7));

EscapeTables g_tables;
// What the tables were last built from: delta set, escape source and 16-bit layout.
int g_cacheSet = 255;
int g_cacheSource = 255;
int g_cache565 = -1;
int g_rebuilds = 0;

// A selector index names the pixel mode of one pixel (0 existing, 1 new, 2..4 blends); the
// sources carry indices up to 7, and a mode above 4 means the new pixel.
uint32_t PixelMode(int index) { return index > 4 ? 1u : uint32_t(index); }

void Build(int set, int source, int is565) {
    const int g = is565 ? 6 : 5;
    const int r = is565 ? 11 : 10;
    const uint32_t k = 1u + (1u << g) + (1u << r);
    const EscapeSource& src = kEscapeSources[source];
    size_t pos = 0;
    for (int e = 0; e < kEscapeEntries; ++e) {
        int pairs = src.bytes[pos] / 2;
        for (int j = 0; j < pairs; ++j) {
            uint8_t b = src.bytes[pos + 1 + size_t(j)];
            int ia = b >> 4, ib = b & 15;
            uint32_t ya = uint32_t(int32_t(kLumaDeltas[set][ia]) >> 1);
            uint32_t yb = uint32_t(int32_t(kLumaDeltas[set][ib]) >> 1);
            uint32_t ca = uint32_t(int32_t(int8_t(uint8_t(kChromaDeltas[set][ia] & 0xFF))));
            uint32_t cb = uint32_t(int32_t(int8_t(uint8_t(kChromaDeltas[set][ib] & 0xFF))));
            uint32_t luma = ((ya * k) + ((yb * k) << 16)) * 2u;
            uint32_t chroma = (cb + (ca << r)) * 0x20002u;
            uint32_t sel = PixelMode(ib) * 10u + PixelMode(ia) * 2u;
            uint32_t last = (j == pairs - 1) ? 1u : 0u;
            g_tables.luma[e * 4 + j] = (luma & ~1u) | last;
            g_tables.chroma[e * 4 + j] = (chroma & ~1u) | last;
            g_tables.sel[e * 4 + j] = (sel & ~1u) | last;
        }
        pos += 1 + size_t(pairs);
    }
    g_cacheSet = set;
    g_cacheSource = source;
    g_cache565 = is565;
    ++g_rebuilds;
}

}  // namespace

void VVL_ResetEscapeCache() {
    g_cacheSet = 255;
    g_cacheSource = 255;
    g_cache565 = -1;
}

int VVL_EscapeRebuildCount() { return g_rebuilds; }

const EscapeTables& VVL_EnsureEscapeTables(const FrameHeader& h) {
    int set = h.DeltaSet(), source = h.escapeSourceIndex, is565 = h.is565 ? 1 : 0;
    if (set < kDeltaSets && source >= 1 && source <= 3 &&
        (set != g_cacheSet || source != g_cacheSource || is565 != g_cache565))
        Build(set, source, is565);
    return g_tables;
}

int VVL_ParseHeader(const uint8_t* f, size_t length, FrameHeader* out) {
    FrameHeader& hd = *out;
    hd.is565 = int16_t(VVL_Is565());
    if (length < 1 || f[0] < kMinLengthByte) return kVvlBadHeader;
    // The header body is always read in full: a frame shorter than that is refused.
    if (length < kHeaderBytesRead) return kVvlBadHeader;
    const int L = HeaderLength(f[0]);
    if (size_t(L) > length) return kVvlBadHeader;
    hd.length = uint16_t(L);
    hd.h[0] = 0;
    for (int i = 1; i <= 21; ++i) hd.h[i] = uint8_t(f[i + 1] ^ f[i]);
    const int codec = hd.Codec();

    if (codec == kCodecYuv) {
        hd.stretch = hd.inter = hd.partial = 0;
        hd.key = 1;
        hd.width = uint32_t(hd.U16(kHdrWidth));
        hd.height = uint32_t(hd.U16(kHdrHeight));
        if (!PictureFits(hd.width, hd.height)) return kVvlBadHeader;
        for (int i = kHdrPartX; i < kHdrPartX + 4; ++i) hd.h[i] = 0;
        hd.blockRowBits = hd.blockRowMask = hd.columnShift = 0;
        hd.depthCode = 2;
        VVL_YuvSelectTable(hd.Variant());
        VVL_YuvEnsureLookup(hd.is565);
        return L;
    }

    int variant;
    if (L <= 10 || hd.h[kHdrRevision] < 2) {
        hd.h[kHdrRevision] = 2;
        hd.h[kHdrVariant] = 0;
        variant = 0;
        hd.stretch = hd.inter = hd.partial = 0;
        hd.key = 1;
    } else {
        variant = hd.Variant();
        if (variant > 3) return kVvlBadHeader;
        if (variant >= 2) {
            uint8_t fl = hd.h[kHdrFlags];
            hd.stretch = (fl & kFlagStretch) ? 1 : 0;
            hd.inter = fl & kFlagInter;
            hd.key = hd.inter ? (fl & kFlagKey) : 1;
            hd.partial = fl & kFlagPartial;
        } else {
            hd.stretch = hd.inter = hd.partial = 0;
            hd.key = 1;
        }
    }
    if (hd.partial) {
        hd.width = uint32_t(hd.U16(kHdrPartW));
        hd.height = uint32_t(hd.U16(kHdrPartH));
    } else {
        hd.width = uint32_t(hd.U16(kHdrWidth));
        hd.height = uint32_t(hd.U16(kHdrHeight));
        if (variant < 2 && hd.width >= 176 && hd.width <= 212) hd.stretch = 2;
    }

    // A partial frame states the whole picture as well, which callers size their screens by.
    if (!PictureFits(hd.width, hd.height) || !PictureFits(hd.U16(kHdrWidth), hd.U16(kHdrHeight)))
        return kVvlBadHeader;
    if (codec == kCodecNone) return 0;
    if (codec > 16) return kVvlBadHeader;
    if (!kCodecConfig[codec].allow[variant]) return kVvlBadHeader;
    hd.depthCode = kCodecConfig[codec].depth;
    // A partial frame of an inter stream that is not a key frame would carry block maps of the
    // wrong width for the partial decoders.
    if (hd.partial && !hd.key) return kVvlBadHeader;
    // Only delta sets 0..3 and escape sources 1..3 exist.
    if (hd.DeltaSet() >= kDeltaSets) return kVvlBadHeader;
    int source = ((codec & 1) && variant != 0) ? 1 : hd.h[kHdrEscape];
    if (source < 1 || source > 3) return kVvlBadHeader;
    hd.escapeSourceIndex = source;
    hd.escapeSource = kEscapeSources[source].bytes;
    VVL_EnsureEscapeTables(hd);

    hd.blockRowBits = kBlockRowBits[codec];
    hd.blockRowMask = (1 << hd.blockRowBits) - 1;
    hd.columnShift = kColumnShift[codec];
    return L;
}

uint64_t VVL_LeastPayload(const FrameHeader& h) {
    const int codec = h.Codec();
    // The YUV codec keeps codes from frame to frame, so a short frame can still be whole.
    if (codec == kCodecNone || codec == kCodecYuv) return 0;
    const uint64_t blocks = h.width / 4, rows = h.height;
    if (h.partial || !h.key) {
        // One map row per group of four rows; every block may be unchanged or skipped, so the
        // code stream may be empty.
        const uint64_t step = h.partial ? (blocks + 3) >> 2 : (blocks + 7) >> 3;
        return rows / 4 * step;
    }
    // A key frame codes every block of every row with at least two luma pairs, and one code
    // byte gives at most the four pairs of its table entry.
    return blocks * rows * 2 / 4;
}
