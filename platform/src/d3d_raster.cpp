// The software rasteriser: triangles by edge functions in 28.4 fixed point with the top-left fill
// rule (a pixel whose centre lies on an edge belongs to the triangle on its right or below it, so
// triangles sharing an edge draw each of its pixels once), attributes by plane equations,
// textures perspective-correct through rhw with wrap addressing, colour key, blending and a
// 16-bit Z buffer. Lines by a DDA along their major axis.
#include "d3d_raster.h"

#include <algorithm>
#include <cmath>

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
        return Unpack(Rgb565ToXrgb(p));
    }
    const PALETTEENTRY& e = t.palette[row[x]];
    return Rgb{e.peRed, e.peGreen, e.peBlue};
}

inline void WritePixel(const RasterTarget& t, int x, int y, Rgb c) {
    uint8_t* row = t.pixels + size_t(y) * size_t(t.pitch);
    if (t.bitsPerPixel == 16) {
        const uint16_t p = PackRgb565(uint8_t(c.r), uint8_t(c.g), uint8_t(c.b));
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

struct Sampler {
    const RasterTexture* tex;
    int maskU, maskV;
    bool bilinear;

    explicit Sampler(const RasterTexture* t, bool linear) : tex(t), maskU(-1), maskV(-1), bilinear(linear) {
        if (t) {
            maskU = (t->width & (t->width - 1)) == 0 ? t->width - 1 : -1;
            maskV = (t->height & (t->height - 1)) == 0 ? t->height - 1 : -1;
        }
    }
    uint32_t At(int x, int y) const {
        return tex->texels[size_t(Wrap(y, tex->height, maskV)) * size_t(tex->width) + size_t(Wrap(x, tex->width, maskU))];
    }
    uint32_t Sample(float u, float v) const {
        const float fu = Scaled(u, tex->width), fv = Scaled(v, tex->height);
        if (!bilinear)
            return At(int(std::floor(fu)), int(std::floor(fv)));
        // Whether a texel is keyed follows the nearest texel; the colour mixes the four around.
        const uint32_t nearest = At(int(std::floor(fu)), int(std::floor(fv)));
        const float bu = fu - 0.5f, bv = fv - 0.5f;
        const float iu = std::floor(bu), iv = std::floor(bv);
        const int wu = int((bu - iu) * 256.0f), wv = int((bv - iv) * 256.0f);
        const int x = int(iu), y = int(iv);
        const uint32_t t00 = At(x, y), t10 = At(x + 1, y), t01 = At(x, y + 1), t11 = At(x + 1, y + 1);
        uint32_t out = nearest & kTexelKeyed;
        for (int shift = 0; shift <= 16; shift += 8) {
            const int c00 = int((t00 >> shift) & 0xFF), c10 = int((t10 >> shift) & 0xFF);
            const int c01 = int((t01 >> shift) & 0xFF), c11 = int((t11 >> shift) & 0xFF);
            const int top = c00 * (256 - wu) + c10 * wu, bottom = c01 * (256 - wu) + c11 * wu;
            out |= uint32_t(((top * (256 - wv) + bottom * wv) >> 16) & 0xFF) << shift;
        }
        return out;
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
    // Edge i runs from corner i to corner i + 1: E = A x + B y + C, positive inside.
    int64_t A[3], B[3], C[3];
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        A[i] = Y[i] - Y[j];
        B[i] = X[j] - X[i];
        C[i] = -B[i] * Y[i] - A[i] * X[i];
        const bool topLeft = A[i] > 0 || (A[i] == 0 && B[i] > 0);
        if (!topLeft)
            C[i] -= 1;  // a centre exactly on this edge stays outside
    }
    const int64_t minX = std::min({X[0], X[1], X[2]}), maxX = std::max({X[0], X[1], X[2]});
    const int64_t minY = std::min({Y[0], Y[1], Y[2]}), maxY = std::max({Y[0], Y[1], Y[2]});
    const int bx0 = int(std::max<int64_t>(t.x0, FloorDiv(minX - 8, 16)));
    const int bx1 = int(std::min<int64_t>(t.x1 - 1, FloorDiv(maxX - 8, 16) + 1));
    const int by0 = int(std::max<int64_t>(t.y0, FloorDiv(minY - 8, 16)));
    const int by1 = int(std::min<int64_t>(t.y1 - 1, FloorDiv(maxY - 8, 16) + 1));
    if (bx0 > bx1 || by0 > by1)
        return;

    // Plane equations of the attributes over the snapped corners.
    const float x0 = float(X[0]) / 16.0f, y0 = float(Y[0]) / 16.0f;
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
    float ddx[kAttributes], ddy[kAttributes];
    for (int k = 0; k < kAttributes; ++k) {
        const float f1 = attr[1][k] - attr[0][k], f2 = attr[2][k] - attr[0][k];
        ddx[k] = (f1 * dy2 - f2 * dy1) / det;
        ddy[k] = (f2 * dx1 - f1 * dx2) / det;
    }

    const bool textured = s.textured && texture && texture->texels && texture->width > 0 && texture->height > 0;
    const Sampler sampler(textured ? texture : nullptr, s.bilinear);
    const bool keyed = textured && s.colourKey;
    for (int y = by0; y <= by1; ++y) {
        const int64_t py = int64_t(y) * 16 + 8;
        int64_t xs = bx0, xe = bx1;
        for (int i = 0; i < 3 && xs <= xe; ++i) {
            const int64_t k = B[i] * py + C[i] + 8 * A[i];  // E at (16 x + 8) is 16 A x + k
            if (A[i] > 0)
                xs = std::max(xs, -FloorDiv(k, 16 * A[i]));
            else if (A[i] < 0)
                xe = std::min(xe, FloorDiv(k, -16 * A[i]));
            else if (k < 0)
                xe = xs - 1;
        }
        if (xs > xe)
            continue;
        const float fx = float(xs) + 0.5f - x0, fy = float(y) + 0.5f - y0;
        float val[kAttributes];
        for (int k = 0; k < kAttributes; ++k)
            val[k] = attr[0][k] + ddx[k] * fx + ddy[k] * fy;
        uint16_t* zrow = t.z ? t.z + size_t(y) * size_t(t.zPitch) : nullptr;
        for (int64_t xi = xs; xi <= xe; ++xi) {
            const int x = int(xi);
            const uint16_t zv = ZValue(val[kZ]);
            bool draw = !(s.zTest && zrow) || ZPasses(s.zFunc, zv, zrow[x]);
            Rgb out{0, 0, 0};
            if (draw) {
                const Rgb diffuse{Channel(val[kR]), Channel(val[kG]), Channel(val[kB])};
                if (textured) {
                    const float w = val[kW] != 0.0f ? 1.0f / val[kW] : 0.0f;
                    const uint32_t texel = sampler.Sample(val[kU] * w, val[kV] * w);
                    if (keyed && (texel & kTexelKeyed)) {
                        draw = false;
                    } else {
                        const Rgb tc = Unpack(texel);
                        out = s.modulate ? Rgb{tc.r * diffuse.r / 255, tc.g * diffuse.g / 255, tc.b * diffuse.b / 255}
                                         : tc;
                    }
                } else {
                    out = diffuse;
                }
            }
            if (draw) {
                if (s.blend) {
                    const Rgb d = ReadPixel(t, x, y);
                    out = Rgb{BlendChannel(s, out.r, d.r), BlendChannel(s, out.g, d.g), BlendChannel(s, out.b, d.b)};
                }
                WritePixel(t, x, y, out);
                if (s.zWrite && zrow)
                    zrow[x] = zv;
            }
            for (int k = 0; k < kAttributes; ++k)
                val[k] += ddx[k];
        }
    }
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
