// The software rasteriser: triangles by edge functions in 28.4 fixed point with the top-left fill
// rule (a pixel whose centre lies on an edge belongs to the triangle on its right or below it, so
// triangles sharing an edge draw each of its pixels once), attributes by plane equations,
// textures perspective-correct through rhw with wrap addressing, colour key, blending and a
// 16-bit Z buffer. Lines by a DDA along their major axis.
//
// Each triangle is drawn by one row routine chosen from a table by its states (target depth,
// texture filter, modulate or decal, colour key, blending, Z test and Z write), each a separate
// instantiation of one template, so that no state is tested per pixel; pixels are packed and
// unpacked inline. Every routine does the same arithmetic as every other for what it draws, so
// the choice changes the speed and never a pixel.
#include "d3d_raster.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "ddraw_internal.h"

namespace plat::detail {
namespace {

constexpr float kMaxCoordinate = 65536.0f;  // screen positions beyond this are refused

int64_t FloorDiv(int64_t n, int64_t d) {  // d > 0
    int64_t q = n / d;
    if ((n % d) != 0 && n < 0)
        --q;
    return q;
}

struct Rgb {
    int r, g, b;
};

inline Rgb Unpack(uint32_t c) {
    return Rgb{int((c >> 16) & 0xFF), int((c >> 8) & 0xFF), int(c & 0xFF)};
}

// The 5-6-5 packing and unpacking of the display family, here so that they inline into the spans.
inline uint16_t Pack565(int r, int g, int b) {
    return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

inline Rgb Unpack565(uint16_t pixel) {
    const int r5 = (pixel >> 11) & 0x1F, g6 = (pixel >> 5) & 0x3F, b5 = pixel & 0x1F;
    return Rgb{(r5 << 3) | (r5 >> 2), (g6 << 2) | (g6 >> 4), (b5 << 3) | (b5 >> 2)};
}

// floor(f) as an integer for |f| < 2^31: truncation rounds towards zero, so negatives with a
// fraction go one down.
inline int FloorInt(float f) {
    const int i = int(f);
    return f < float(i) ? i - 1 : i;
}

inline int Factor(uint32_t blend, int src, int dst) {
    switch (blend) {
        case D3DBLEND_ZERO: return 0;
        case D3DBLEND_SRCCOLOR: return src;
        case D3DBLEND_DESTCOLOR: return dst;
        default: return 255;  // ONE and anything not offered
    }
}

inline int BlendChannel(const RasterState& s, int src, int dst) {
    const int v = (src * Factor(s.srcBlend, src, dst) + dst * Factor(s.destBlend, src, dst) + 127) / 255;
    return v > 255 ? 255 : v;
}

inline Rgb ReadPixel(const RasterTarget& t, int x, int y) {
    const uint8_t* row = t.pixels + size_t(y) * size_t(t.pitch);
    if (t.bitsPerPixel == 16) {
        uint16_t p;
        __builtin_memcpy(&p, row + x * 2, 2);
        return Unpack565(p);
    }
    const PALETTEENTRY& e = t.palette[row[x]];
    return Rgb{e.peRed, e.peGreen, e.peBlue};
}

inline void WritePixel(const RasterTarget& t, int x, int y, Rgb c) {
    uint8_t* row = t.pixels + size_t(y) * size_t(t.pitch);
    if (t.bitsPerPixel == 16) {
        const uint16_t p = Pack565(c.r, c.g, c.b);
        __builtin_memcpy(row + x * 2, &p, 2);
    } else {
        row[x] = t.inverse[((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3)];
    }
}

inline int Wrap(int i, int n, int mask) {
    if (mask >= 0)
        return i & mask;
    i %= n;
    return i < 0 ? i + n : i;
}

// A texel coordinate in texels; values too large to wrap exactly fall back to 0.
inline float Scaled(float t, int n) {
    const float f = t * float(n);
    return (f > -1.0e8f && f < 1.0e8f) ? f : 0.0f;
}

// The texture as the spans read it, held by value so that it stays in registers across the
// pixel writes.
struct Sampler {
    const uint32_t* texels;
    int width, height;
    int maskU, maskV;

    explicit Sampler(const RasterTexture* t)
        : texels(t ? t->texels : nullptr), width(t ? t->width : 0), height(t ? t->height : 0), maskU(-1), maskV(-1) {
        if (t) {
            maskU = (width & (width - 1)) == 0 ? width - 1 : -1;
            maskV = (height & (height - 1)) == 0 ? height - 1 : -1;
        }
    }
    uint32_t At(int x, int y) const {
        return texels[size_t(Wrap(y, height, maskV)) * size_t(width) + size_t(Wrap(x, width, maskU))];
    }
    // The texel at (u, v); with Keyed the result carries the key bit of the nearest texel, without
    // it the key bit is left out of a bilinear mix (nobody looks at it).
    template <bool Bilinear, bool Keyed>
    __attribute__((always_inline)) uint32_t Sample(float u, float v) const {
        const float fu = Scaled(u, width), fv = Scaled(v, height);
        if constexpr (!Bilinear) {
            return At(FloorInt(fu), FloorInt(fv));
        } else {
            // Whether a texel is keyed follows the nearest texel; the colour mixes the four around.
            uint32_t out = 0;
            if constexpr (Keyed)
                out = At(FloorInt(fu), FloorInt(fv)) & kTexelKeyed;
            const float bu = fu - 0.5f, bv = fv - 0.5f;
            const int x = FloorInt(bu), y = FloorInt(bv);
            const float iu = float(x), iv = float(y);
            const int wu = int((bu - iu) * 256.0f), wv = int((bv - iv) * 256.0f);
            const uint32_t t00 = At(x, y), t10 = At(x + 1, y), t01 = At(x, y + 1), t11 = At(x + 1, y + 1);
            for (int shift = 0; shift <= 16; shift += 8) {
                const int c00 = int((t00 >> shift) & 0xFF), c10 = int((t10 >> shift) & 0xFF);
                const int c01 = int((t01 >> shift) & 0xFF), c11 = int((t11 >> shift) & 0xFF);
                const int top = c00 * (256 - wu) + c10 * wu, bottom = c01 * (256 - wu) + c11 * wu;
                out |= uint32_t(((top * (256 - wv) + bottom * wv) >> 16) & 0xFF) << shift;
            }
            return out;
        }
    }
};

inline bool ZPasses(uint32_t func, uint16_t incoming, uint16_t stored) {
    switch (func) {
        case D3DCMP_NEVER: return false;
        case D3DCMP_LESS: return incoming < stored;
        case D3DCMP_EQUAL: return incoming == stored;
        case D3DCMP_ALWAYS: return true;
        default: return incoming <= stored;
    }
}

inline uint16_t ZValue(float z) {
    const float v = z * 65535.0f;
    if (!(v > 0.0f))
        return 0;
    return v >= 65535.0f ? 0xFFFF : uint16_t(v);
}

inline int Channel(float v) {
    if (!(v > 0.0f))
        return 0;
    return v >= 255.0f ? 255 : int(v);
}

// Attributes interpolated across a triangle, in this order.
enum { kZ, kW, kU, kV, kR, kG, kB, kAttributes };

bool Usable(const D3DTLVERTEX& v) {
    return std::fabs(v.sx) < kMaxCoordinate && std::fabs(v.sy) < kMaxCoordinate;
}

// A triangle ready for its rows: edges, the box of pixels it may cover, attribute planes, and the
// states the row routine reads that are not part of its choice.
struct TriangleSetup {
    const RasterTarget* t;
    Sampler sampler{nullptr};
    // The blend factors as 0/1 weights of source, destination and 255, so that any pair is
    // computed without a test per pixel.
    int srcWeights[3], destWeights[3];
    int64_t A[3], B[3], C[3];
    int bx0, bx1, by0, by1;
    float x0, y0;
    float attr0[kAttributes], ddx[kAttributes], ddy[kAttributes];
};

enum TextureMode { kUntextured, kNearest, kBilinear };
enum ZMode { kNoZTest, kZLess, kZLessEqual, kZEqual };

void FactorWeights(uint32_t blend, int* weights) {
    weights[0] = blend == D3DBLEND_SRCCOLOR;
    weights[1] = blend == D3DBLEND_DESTCOLOR;
    weights[2] = blend != D3DBLEND_ZERO && blend != D3DBLEND_SRCCOLOR && blend != D3DBLEND_DESTCOLOR;
}

inline int WeightedFactor(const int* w, int src, int dst) {
    return w[0] * src + w[1] * dst + w[2] * 255;
}

// The rows of one triangle for one combination of states.
template <int Bits, int Tex, bool Modulate, bool Keyed, bool Blend, int Z, bool ZWrite>
void DrawRows(const TriangleSetup& g) {
    constexpr bool kTextured = Tex != kUntextured;
    constexpr bool kColour = !kTextured || Modulate;
    constexpr bool kDepth = Z != kNoZTest || ZWrite;
    // Locals: the pixel stores below may alias anything reached through a pointer.
    const RasterTarget& t = *g.t;
    const Sampler sampler = g.sampler;
    const PALETTEENTRY* const palette = t.palette;
    const uint8_t* const inverse = t.inverse;
    const int srcWeights[3] = {g.srcWeights[0], g.srcWeights[1], g.srcWeights[2]};
    const int destWeights[3] = {g.destWeights[0], g.destWeights[1], g.destWeights[2]};
    auto blend = [&](int src, int dst) {
        // Every term is 0..255, so the sum divides as unsigned (cheaper than a signed divide).
        const int v = int(unsigned(src * WeightedFactor(srcWeights, src, dst) + dst * WeightedFactor(destWeights, src, dst) + 127) / 255u);
        return v > 255 ? 255 : v;
    };
    // Edge i at the centre of pixel (x, y) is 16 A x + k with k = B (16 y + 8) + C + 8 A, so the
    // pixels inside it on a row begin or end at floor(k / (16 |A|)). That quotient is stepped
    // from row to row exactly, as quotient and remainder, instead of divided anew.
    int64_t q[3], r[3], qStep[3], rStep[3], d[3];
    for (int i = 0; i < 3; ++i) {
        const int64_t k = g.B[i] * (int64_t(g.by0) * 16 + 8) + g.C[i] + 8 * g.A[i];
        d[i] = g.A[i] != 0 ? 16 * (g.A[i] > 0 ? g.A[i] : -g.A[i]) : 1;
        q[i] = FloorDiv(k, d[i]);
        r[i] = k - q[i] * d[i];
        qStep[i] = FloorDiv(16 * g.B[i], d[i]);
        rStep[i] = 16 * g.B[i] - qStep[i] * d[i];
    }
    for (int y = g.by0; y <= g.by1; ++y) {
        int64_t xs = g.bx0, xe = g.bx1;
        for (int i = 0; i < 3; ++i) {
            if (g.A[i] > 0)
                xs = std::max(xs, -q[i]);
            else if (g.A[i] < 0)
                xe = std::min(xe, q[i]);
            else if (q[i] < 0)  // k itself when A is 0
                xe = xs - 1;
            q[i] += qStep[i];
            r[i] += rStep[i];
            if (r[i] >= d[i]) {
                r[i] -= d[i];
                ++q[i];
            }
        }
        if (xs > xe)
            continue;
        const float fx = float(xs) + 0.5f - g.x0, fy = float(y) + 0.5f - g.y0;
        float val[kAttributes];
        for (int k = 0; k < kAttributes; ++k)
            val[k] = g.attr0[k] + g.ddx[k] * fx + g.ddy[k] * fy;
        float z = val[kZ], w = val[kW], u = val[kU], v = val[kV], r = val[kR], gr = val[kG], b = val[kB];
        const float dz = g.ddx[kZ], dw = g.ddx[kW], du = g.ddx[kU], dv = g.ddx[kV];
        const float dr = g.ddx[kR], dg = g.ddx[kG], db = g.ddx[kB];
        uint8_t* row = t.pixels + size_t(y) * size_t(t.pitch);
        uint16_t* zrow = kDepth ? t.z + size_t(y) * size_t(t.zPitch) : nullptr;
        for (int x = int(xs), end = int(xe); x <= end; ++x) {
            uint16_t zv = 0;
            bool draw = true;
            if constexpr (kDepth)
                zv = ZValue(z);
            if constexpr (Z == kZLess)
                draw = zv < zrow[x];
            else if constexpr (Z == kZLessEqual)
                draw = zv <= zrow[x];
            else if constexpr (Z == kZEqual)
                draw = zv == zrow[x];
            Rgb out{0, 0, 0};
            if (draw) {
                Rgb diffuse{0, 0, 0};
                if constexpr (kColour)
                    diffuse = Rgb{Channel(r), Channel(gr), Channel(b)};
                if constexpr (kTextured) {
                    const float iw = w != 0.0f ? 1.0f / w : 0.0f;
                    const uint32_t texel = sampler.Sample<Tex == kBilinear, Keyed>(u * iw, v * iw);
                    if (Keyed && (texel & kTexelKeyed)) {
                        draw = false;
                    } else {
                        const Rgb tc = Unpack(texel);
                        if constexpr (Modulate)
                            out = Rgb{int(unsigned(tc.r * diffuse.r) / 255u), int(unsigned(tc.g * diffuse.g) / 255u),
                                      int(unsigned(tc.b * diffuse.b) / 255u)};
                        else
                            out = tc;
                    }
                } else {
                    out = diffuse;
                }
            }
            if (draw) {
                if constexpr (Bits == 16) {
                    if constexpr (Blend) {
                        uint16_t p;
                        __builtin_memcpy(&p, row + x * 2, 2);
                        const Rgb d = Unpack565(p);
                        out = Rgb{blend(out.r, d.r), blend(out.g, d.g), blend(out.b, d.b)};
                    }
                    const uint16_t p = Pack565(out.r, out.g, out.b);
                    __builtin_memcpy(row + x * 2, &p, 2);
                } else {
                    if constexpr (Blend) {
                        const PALETTEENTRY& e = palette[row[x]];
                        out = Rgb{blend(out.r, e.peRed), blend(out.g, e.peGreen), blend(out.b, e.peBlue)};
                    }
                    row[x] = inverse[((out.r >> 3) << 10) | ((out.g >> 3) << 5) | (out.b >> 3)];
                }
                if constexpr (ZWrite)
                    zrow[x] = zv;
            }
            if constexpr (kDepth)
                z += dz;
            if constexpr (kTextured) {
                w += dw;
                u += du;
                v += dv;
            }
            if constexpr (kColour) {
                r += dr;
                gr += dg;
                b += db;
            }
        }
    }
}

// The table of row routines, indexed by RowIndex.
using RowRoutine = void (*)(const TriangleSetup&);
constexpr int kTextureCombinations = 9;  // untextured, or filter x modulate x key
constexpr int kRowRoutines = 2 * kTextureCombinations * 2 * 4 * 2;

constexpr int RowIndex(bool sixteen, int textureCombination, bool blend, int z, bool zWrite) {
    return (((int(sixteen) * kTextureCombinations + textureCombination) * 2 + int(blend)) * 4 + z) * 2 + int(zWrite);
}

template <size_t I>
constexpr RowRoutine RowAt() {
    constexpr int zWrite = I % 2, z = (I / 2) % 4, blend = (I / 8) % 2, tex = (I / 16) % kTextureCombinations;
    constexpr int sixteen = int(I) / (16 * kTextureCombinations);
    constexpr int mode = tex == 0 ? kUntextured : (((tex - 1) & 4) ? kBilinear : kNearest);
    constexpr bool modulate = tex != 0 && ((tex - 1) & 2) != 0, keyed = tex != 0 && ((tex - 1) & 1) != 0;
    return &DrawRows<sixteen ? 16 : 8, mode, modulate, keyed, blend != 0, z, zWrite != 0>;
}

template <size_t... I>
constexpr std::array<RowRoutine, sizeof...(I)> MakeRowTable(std::index_sequence<I...>) {
    return {RowAt<I>()...};
}

constexpr std::array<RowRoutine, kRowRoutines> kRows = MakeRowTable(std::make_index_sequence<kRowRoutines>());
static_assert(RowIndex(true, kTextureCombinations - 1, true, 3, true) == kRowRoutines - 1);

}  // namespace

RasterState RasterState::FromStates(const uint32_t* s, bool textured) {
    RasterState r;
    r.textured = textured;
    r.perspective = s[D3DRENDERSTATE_TEXTUREPERSPECTIVE] != 0;
    r.bilinear = s[D3DRENDERSTATE_TEXTUREMAG] == D3DFILTER_LINEAR;
    r.modulate = s[D3DRENDERSTATE_TEXTUREMAPBLEND] != D3DTBLEND_DECAL;
    r.gouraud = s[D3DRENDERSTATE_SHADEMODE] != D3DSHADE_FLAT;
    r.colourKey = s[D3DRENDERSTATE_COLORKEYENABLE] != 0;
    r.blend = s[D3DRENDERSTATE_ALPHABLENDENABLE] != 0;
    r.srcBlend = s[D3DRENDERSTATE_SRCBLEND] ? s[D3DRENDERSTATE_SRCBLEND] : D3DBLEND_ONE;
    r.destBlend = s[D3DRENDERSTATE_DESTBLEND] ? s[D3DRENDERSTATE_DESTBLEND] : D3DBLEND_ZERO;
    r.zTest = s[D3DRENDERSTATE_ZENABLE] != 0;
    r.zWrite = r.zTest && s[D3DRENDERSTATE_ZWRITEENABLE] != 0;
    r.zFunc = s[D3DRENDERSTATE_ZFUNC] ? s[D3DRENDERSTATE_ZFUNC] : D3DCMP_LESSEQUAL;
    return r;
}

void BuildInversePalette(const PALETTEENTRY* palette, int count, uint8_t* table) {
    for (int i = 0; i < 32768; ++i) {
        const int r = (i >> 10) & 31, g = (i >> 5) & 31, b = i & 31;
        table[i] = NearestPaletteIndex(palette, count, uint8_t((r << 3) | (r >> 2)), uint8_t((g << 3) | (g >> 2)),
                                       uint8_t((b << 3) | (b >> 2)));
    }
}

void RasterTriangle(const RasterTarget& t, const RasterTexture* texture, const RasterState& s, const D3DTLVERTEX& a,
                    const D3DTLVERTEX& b, const D3DTLVERTEX& c) {
    if (!Usable(a) || !Usable(b) || !Usable(c) || t.x0 >= t.x1 || t.y0 >= t.y1)
        return;
    const bool zTest = s.zTest && t.z;
    if (zTest && s.zFunc == D3DCMP_NEVER)
        return;  // no pixel passes
    const D3DTLVERTEX* v[3] = {&a, &b, &c};
    int64_t X[3], Y[3];
    for (int i = 0; i < 3; ++i) {
        X[i] = std::lrint(v[i]->sx * 16.0f);
        Y[i] = std::lrint(v[i]->sy * 16.0f);
    }
    int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
    if (area == 0)
        return;
    if (area < 0) {  // either winding is drawn: turn it round so that the inside is positive
        std::swap(v[1], v[2]);
        std::swap(X[1], X[2]);
        std::swap(Y[1], Y[2]);
        area = -area;
    }
    TriangleSetup g;
    g.t = &t;
    // Edge i runs from corner i to corner i + 1: E = A x + B y + C, positive inside.
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        g.A[i] = Y[i] - Y[j];
        g.B[i] = X[j] - X[i];
        g.C[i] = -g.B[i] * Y[i] - g.A[i] * X[i];
        const bool topLeft = g.A[i] > 0 || (g.A[i] == 0 && g.B[i] > 0);
        if (!topLeft)
            g.C[i] -= 1;  // a centre exactly on this edge stays outside
    }
    const int64_t minX = std::min({X[0], X[1], X[2]}), maxX = std::max({X[0], X[1], X[2]});
    const int64_t minY = std::min({Y[0], Y[1], Y[2]}), maxY = std::max({Y[0], Y[1], Y[2]});
    g.bx0 = int(std::max<int64_t>(t.x0, FloorDiv(minX - 8, 16)));
    g.bx1 = int(std::min<int64_t>(t.x1 - 1, FloorDiv(maxX - 8, 16) + 1));
    g.by0 = int(std::max<int64_t>(t.y0, FloorDiv(minY - 8, 16)));
    g.by1 = int(std::min<int64_t>(t.y1 - 1, FloorDiv(maxY - 8, 16) + 1));
    if (g.bx0 > g.bx1 || g.by0 > g.by1)
        return;

    // Plane equations of the attributes over the snapped corners.
    g.x0 = float(X[0]) / 16.0f;
    g.y0 = float(Y[0]) / 16.0f;
    const float dx1 = float(X[1] - X[0]) / 16.0f, dy1 = float(Y[1] - Y[0]) / 16.0f;
    const float dx2 = float(X[2] - X[0]) / 16.0f, dy2 = float(Y[2] - Y[0]) / 16.0f;
    const float det = float(area) / 256.0f;
    float attr[3][kAttributes];
    const Rgb flat = Unpack(a.color);
    for (int i = 0; i < 3; ++i) {
        const D3DTLVERTEX& p = *v[i];
        const float w = s.perspective ? p.rhw : 1.0f;
        const Rgb col = s.gouraud ? Unpack(p.color) : flat;
        attr[i][kZ] = p.sz;
        attr[i][kW] = w;
        attr[i][kU] = p.tu * w;
        attr[i][kV] = p.tv * w;
        attr[i][kR] = float(col.r);
        attr[i][kG] = float(col.g);
        attr[i][kB] = float(col.b);
    }
    for (int k = 0; k < kAttributes; ++k) {
        const float f1 = attr[1][k] - attr[0][k], f2 = attr[2][k] - attr[0][k];
        g.attr0[k] = attr[0][k];
        g.ddx[k] = (f1 * dy2 - f2 * dy1) / det;
        g.ddy[k] = (f2 * dx1 - f1 * dx2) / det;
    }

    const bool textured = s.textured && texture && texture->texels && texture->width > 0 && texture->height > 0;
    g.sampler = Sampler(textured ? texture : nullptr);
    FactorWeights(s.srcBlend, g.srcWeights);
    FactorWeights(s.destBlend, g.destWeights);
    const int textureCombination =
        textured ? 1 + (s.bilinear ? 4 : 0) + (s.modulate ? 2 : 0) + (s.colourKey ? 1 : 0) : 0;
    int z = kNoZTest;
    if (zTest)
        z = s.zFunc == D3DCMP_ALWAYS  ? kNoZTest
            : s.zFunc == D3DCMP_LESS  ? kZLess
            : s.zFunc == D3DCMP_EQUAL ? kZEqual
                                      : kZLessEqual;
    kRows[RowIndex(t.bitsPerPixel == 16, textureCombination, s.blend, z, s.zWrite && t.z)](g);
}

void RasterLine(const RasterTarget& t, const RasterState& s, const D3DTLVERTEX& a, const D3DTLVERTEX& b) {
    if (!Usable(a) || !Usable(b))
        return;
    const float dx = b.sx - a.sx, dy = b.sy - a.sy;
    const int steps = int(std::ceil(std::max(std::fabs(dx), std::fabs(dy))));
    if (steps <= 0)
        return;
    const Rgb ca = Unpack(a.color), cb = Unpack(b.color);
    for (int i = 0; i < steps; ++i) {  // the last pixel is left for a line that goes on from b
        const float f = float(i) / float(steps);
        const int x = int(std::floor(a.sx + dx * f)), y = int(std::floor(a.sy + dy * f));
        if (x < t.x0 || x >= t.x1 || y < t.y0 || y >= t.y1)
            continue;
        const uint16_t zv = ZValue(a.sz + (b.sz - a.sz) * f);
        uint16_t* zp = t.z ? t.z + size_t(y) * size_t(t.zPitch) + x : nullptr;
        if (s.zTest && zp && !ZPasses(s.zFunc, zv, *zp))
            continue;
        const Rgb c = s.gouraud ? Rgb{Channel(float(ca.r) + float(cb.r - ca.r) * f),
                                      Channel(float(ca.g) + float(cb.g - ca.g) * f),
                                      Channel(float(ca.b) + float(cb.b - ca.b) * f)}
                                : ca;
        Rgb out = c;
        if (s.blend) {
            const Rgb d = ReadPixel(t, x, y);
            out = Rgb{BlendChannel(s, c.r, d.r), BlendChannel(s, c.g, d.g), BlendChannel(s, c.b, d.b)};
        }
        WritePixel(t, x, y, out);
        if (s.zWrite && zp)
            *zp = zv;
    }
}

}  // namespace plat::detail
