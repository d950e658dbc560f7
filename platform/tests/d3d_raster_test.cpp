// The software rasteriser on plain memory: which pixels a triangle covers under the top-left
// rule, meshes that cover every pixel once, Gouraud colour, perspective-correct texturing, wrap,
// nearest and bilinear filters, MODULATE and DECAL, colour key without Z writes, the blend factors,
// the 16-bit Z test, lines, and the 8-bit palettised target; random hostile triangles stay inside
// the target.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "../src/d3d_raster.h"
#include "../src/ddraw_internal.h"
#include "plat.h"

namespace {
using namespace plat::detail;

// A w x h target of 16 or 8 bits with a Z buffer cleared to the far value.
struct Canvas {
    int w, h, bits;
    std::vector<uint8_t> pixels;
    std::vector<uint16_t> z;
    std::vector<PALETTEENTRY> palette;
    std::vector<uint8_t> inverse;
    RasterTarget t;
    Canvas(int width, int height, int bitsPerPixel = 16) : w(width), h(height), bits(bitsPerPixel) {
        pixels.assign(size_t(w) * h * (bits / 8), 0);
        z.assign(size_t(w) * h, 0xFFFF);
        t.pixels = pixels.data();
        t.pitch = w * (bits / 8);
        t.bitsPerPixel = bits;
        t.z = z.data();
        t.zPitch = w;
        t.x1 = w;
        t.y1 = h;
        if (bits == 8) {
            for (int i = 0; i < 256; ++i)
                palette.push_back(ThreeThreeTwoEntry(i));
            inverse.resize(32768);
            BuildInversePalette(palette.data(), 256, inverse.data());
            t.palette = palette.data();
            t.inverse = inverse.data();
        }
    }
    uint32_t Rgb(int x, int y) const {
        if (bits == 8) {
            const PALETTEENTRY& e = palette[pixels[size_t(y) * w + x]];
            return (uint32_t(e.peRed) << 16) | (uint32_t(e.peGreen) << 8) | e.peBlue;
        }
        const uint16_t p = uint16_t(pixels[(size_t(y) * w + x) * 2] | (pixels[(size_t(y) * w + x) * 2 + 1] << 8));
        return Rgb565ToXrgb(p);
    }
    int Red(int x, int y) const { return int(Rgb(x, y) >> 16); }
    void Fill(uint32_t rgb) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (bits == 16) {
                    const uint16_t p = PackRgb565(uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb));
                    pixels[(size_t(y) * w + x) * 2] = uint8_t(p);
                    pixels[(size_t(y) * w + x) * 2 + 1] = uint8_t(p >> 8);
                } else {
                    pixels[size_t(y) * w + x] = inverse[((rgb >> 19) & 31) << 10 | ((rgb >> 11) & 31) << 5 | ((rgb >> 3) & 31)];
                }
            }
    }
    // The pixels whose red is nonzero, as a picture of '#' and '.'.
    std::string Picture() const {
        std::string s;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x)
                s += Red(x, y) ? '#' : '.';
            s += '\n';
        }
        return s;
    }
};

D3DTLVERTEX V(float x, float y, uint32_t colour = 0xFF0000, float z = 0.5f, float rhw = 1.0f, float u = 0, float v = 0) {
    return D3DTLVERTEX{x, y, z, rhw, colour, 0, u, v};
}

RasterState Flat() {
    RasterState s;
    s.perspective = true;
    return s;
}

// Additive drawing of a small red: the red of a pixel counts the triangles that covered it.
RasterState Counting() {
    RasterState s;
    s.blend = true;
    s.srcBlend = D3DBLEND_ONE;
    s.destBlend = D3DBLEND_ONE;
    return s;
}
constexpr uint32_t kOneCount = 0x080000;  // one step of 5-bit red

TEST(RasterFillRule, TrianglesCoverThePixelsTheirEdgesSay) {
    struct Case {
        const char* name;
        D3DTLVERTEX a, b, c;
        const char* picture;
    };
    const Case cases[] = {
        // Centres on the left and top edges belong to the triangle; on the slanted right one not.
        {"upper left half", V(0.5f, 0.5f), V(4.5f, 0.5f), V(0.5f, 4.5f), "####.\n###..\n##...\n#....\n.....\n"},
        // The other half: its slanted edge is a left edge, its right and bottom edges are not its own.
        {"lower right half", V(4.5f, 0.5f), V(4.5f, 4.5f), V(0.5f, 4.5f), ".....\n...#.\n..##.\n.###.\n.....\n"},
        // Either winding draws the same pixels.
        {"turned round", V(0.5f, 0.5f), V(0.5f, 4.5f), V(4.5f, 0.5f), "####.\n###..\n##...\n#....\n.....\n"},
        // Edges between centres: only centres strictly inside.
        {"between centres", V(0, 0), V(4, 0), V(0, 4), "###..\n##...\n#....\n.....\n.....\n"},
        {"degenerate", V(0, 0), V(4, 4), V(2, 2), ".....\n.....\n.....\n.....\n.....\n"},
        // The scissor is the surface: corners far outside cost nothing and draw only inside.
        {"beyond the surface", V(-1000, -1000), V(3000, -1000), V(-1000, 3000), "#####\n#####\n#####\n#####\n#####\n"},
        {"not finite", V(NAN, 0), V(4, 0), V(0, 4), ".....\n.....\n.....\n.....\n.....\n"},
    };
    for (const Case& c : cases) {
        Canvas canvas(5, 5);
        RasterTriangle(canvas.t, nullptr, Flat(), c.a, c.b, c.c);
        EXPECT_EQ(canvas.Picture(), c.picture) << c.name;
    }
}

TEST(RasterFillRule, SharedEdgesAreDrawnExactlyOnce) {
    // A grid of jittered corners (sub-pixel positions) cut into triangles both ways: every pixel
    // inside the grid is drawn exactly once.
    constexpr int kCells = 6, kStep = 10;
    float gx[kCells + 1][kCells + 1], gy[kCells + 1][kCells + 1];
    plat::srand(7);
    for (int j = 0; j <= kCells; ++j)
        for (int i = 0; i <= kCells; ++i) {
            const bool border = i == 0 || j == 0 || i == kCells || j == kCells;
            gx[j][i] = float(i * kStep) + (border ? 0.0f : float(plat::rand() % 64) / 16.0f - 2.0f);
            gy[j][i] = float(j * kStep) + (border ? 0.0f : float(plat::rand() % 64) / 16.0f - 2.0f);
        }
    Canvas canvas(kCells * kStep, kCells * kStep);
    for (int j = 0; j < kCells; ++j)
        for (int i = 0; i < kCells; ++i) {
            const D3DTLVERTEX p00 = V(gx[j][i], gy[j][i], kOneCount), p10 = V(gx[j][i + 1], gy[j][i + 1], kOneCount);
            const D3DTLVERTEX p01 = V(gx[j + 1][i], gy[j + 1][i], kOneCount);
            const D3DTLVERTEX p11 = V(gx[j + 1][i + 1], gy[j + 1][i + 1], kOneCount);
            if ((i + j) % 2) {
                RasterTriangle(canvas.t, nullptr, Counting(), p00, p10, p11);
                RasterTriangle(canvas.t, nullptr, Counting(), p00, p11, p01);
            } else {
                RasterTriangle(canvas.t, nullptr, Counting(), p00, p10, p01);
                RasterTriangle(canvas.t, nullptr, Counting(), p10, p11, p01);
            }
        }
    int wrong = 0;
    for (int y = 0; y < canvas.h; ++y)
        for (int x = 0; x < canvas.w; ++x)
            wrong += canvas.Red(x, y) != 8;
    EXPECT_EQ(wrong, 0);

    // A fan around an inside point: the same.
    Canvas fan(40, 40);
    const float cx = 17.3f, cy = 21.7f;
    const float ring[][2] = {{0, 0}, {13.25f, 0}, {40, 0}, {40, 19.5f}, {40, 40}, {22.6f, 40}, {0, 40}, {0, 9.1f}};
    for (int k = 0; k < 8; ++k) {
        const auto& p = ring[k];
        const auto& q = ring[(k + 1) % 8];
        RasterTriangle(fan.t, nullptr, Counting(), V(cx, cy, kOneCount), V(p[0], p[1], kOneCount),
                       V(q[0], q[1], kOneCount));
    }
    wrong = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            wrong += fan.Red(x, y) != 8;
    EXPECT_EQ(wrong, 0);
}

TEST(RasterShading, GouraudColoursMeetTheCornersAndFlatTakesTheFirst) {
    Canvas canvas(64, 64);
    RasterState s = Flat();
    RasterTriangle(canvas.t, nullptr, s, V(0, 0, 0xFF0000), V(64, 0, 0x00FF00), V(0, 64, 0x0000FF));
    const uint32_t nearRed = canvas.Rgb(0, 0), nearGreen = canvas.Rgb(62, 0), nearBlue = canvas.Rgb(0, 62);
    EXPECT_GE(nearRed >> 16, 0xF0u);
    EXPECT_GE((nearGreen >> 8) & 0xFF, 0xF0u);
    EXPECT_GE(nearBlue & 0xFF, 0xF0u);
    // Half way along the top edge: half red, half green.
    const uint32_t mid = canvas.Rgb(32, 0);
    EXPECT_NEAR(int(mid >> 16), 0x7F, 8);
    EXPECT_NEAR(int((mid >> 8) & 0xFF), 0x7F, 8);

    s.gouraud = false;
    Canvas flat(64, 64);
    RasterTriangle(flat.t, nullptr, s, V(0, 0, 0xFF0000), V(64, 0, 0x00FF00), V(0, 64, 0x0000FF));
    EXPECT_EQ(flat.Rgb(40, 10), 0xFF0000u);
}

// A 2 x 1 texture: black on the left, white on the right; a 4 x 4 with one keyed texel.
std::vector<uint32_t> g_Halves = {0x000000, 0xFFFFFF};

TEST(RasterTexture, PerspectiveGoesThroughRhwNotAffine) {
    // A quad whose right side is four times as far: the texture's middle (u = 0.5) lands where
    // u w / w = 0.5, at 80 % of the width; without perspective at 50 %.
    RasterTexture tex{g_Halves.data(), 2, 1};
    RasterState s = Flat();
    s.textured = true;
    s.modulate = false;
    for (bool perspective : {true, false}) {
        s.perspective = perspective;
        Canvas canvas(100, 4);
        const D3DTLVERTEX a = V(0, 0, 0, 0.1f, 1.0f, 0, 0), b = V(100, 0, 0, 0.9f, 0.25f, 1, 0);
        const D3DTLVERTEX c = V(100, 4, 0, 0.9f, 0.25f, 1, 1), d = V(0, 4, 0, 0.1f, 1.0f, 0, 1);
        RasterTriangle(canvas.t, &tex, s, a, b, c);
        RasterTriangle(canvas.t, &tex, s, a, c, d);
        int firstWhite = -1;
        for (int x = 0; x < 100 && firstWhite < 0; ++x)
            if (canvas.Rgb(x, 2) == 0xFFFFFF)
                firstWhite = x;
        EXPECT_EQ(firstWhite, perspective ? 80 : 50) << perspective;
    }
}

TEST(RasterTexture, FiltersWrapAndTextureBlends) {
    struct Case {
        const char* name;
        bool bilinear, modulate;
        float u0, u1;       // across the 8 pixels
        uint32_t colour;    // vertex colour
        int x;              // pixel looked at
        uint32_t expected;  // 0x00RRGGBB (5-6-5 exact values)
        int tolerance;
    };
    const Case cases[] = {
        {"nearest left texel", false, false, 0, 1, 0xFFFFFF, 1, 0x000000, 0},
        {"nearest right texel", false, false, 0, 1, 0xFFFFFF, 6, 0xFFFFFF, 0},
        {"wrap repeats", false, false, 1, 2, 0xFFFFFF, 6, 0xFFFFFF, 0},
        {"wrap below zero", false, false, -3, -2, 0xFFFFFF, 1, 0x000000, 0},
        // Centre 4.5 of 8 is u 0.5625, 1.125 texels: 5/8 of the way from the black to the white texel.
        {"bilinear mixes at the seam", true, false, 0, 1, 0xFFFFFF, 4, 0x9F9F9F, 6},
        {"bilinear left of the seam", true, false, 0, 1, 0xFFFFFF, 3, 0x606060, 6},
        {"modulate by the colour", false, true, 0, 1, 0x00FF00, 6, 0x00FF00, 0},
        {"decal ignores the colour", false, false, 0, 1, 0x00FF00, 6, 0xFFFFFF, 0},
    };
    RasterTexture tex{g_Halves.data(), 2, 1};
    for (const Case& c : cases) {
        RasterState s = Flat();
        s.textured = true;
        s.bilinear = c.bilinear;
        s.modulate = c.modulate;
        Canvas canvas(8, 1);
        RasterTriangle(canvas.t, &tex, s, V(0, 0, c.colour, 0.5f, 1, c.u0, 0), V(8, 0, c.colour, 0.5f, 1, c.u1, 0),
                       V(8, 1, c.colour, 0.5f, 1, c.u1, 0));
        RasterTriangle(canvas.t, &tex, s, V(0, 0, c.colour, 0.5f, 1, c.u0, 0), V(8, 1, c.colour, 0.5f, 1, c.u1, 0),
                       V(0, 1, c.colour, 0.5f, 1, c.u0, 0));
        const uint32_t got = canvas.Rgb(c.x, 0);
        for (int shift : {0, 8, 16})
            EXPECT_NEAR(int((got >> shift) & 0xFF), int((c.expected >> shift) & 0xFF), c.tolerance)
                << c.name << " got " << std::hex << got;
    }
}

TEST(RasterTexture, KeyedTexelsAreNeitherDrawnNorWrittenToZ) {
    std::vector<uint32_t> texels(16, 0x00FF00);
    texels[0] = kTexelKeyed;  // the top-left texel of a 4 x 4
    RasterTexture tex{texels.data(), 4, 4};
    RasterState s = Flat();
    s.textured = true;
    s.modulate = false;
    s.colourKey = true;
    s.zTest = s.zWrite = true;
    s.zFunc = D3DCMP_LESS;
    Canvas canvas(8, 8);
    const float z = 0.2f;
    RasterTriangle(canvas.t, &tex, s, V(0, 0, 0xFFFFFF, z, 1, 0, 0), V(8, 0, 0xFFFFFF, z, 1, 1, 0),
                   V(8, 8, 0xFFFFFF, z, 1, 1, 1));
    RasterTriangle(canvas.t, &tex, s, V(0, 0, 0xFFFFFF, z, 1, 0, 0), V(8, 8, 0xFFFFFF, z, 1, 1, 1),
                   V(0, 8, 0xFFFFFF, z, 1, 0, 1));
    EXPECT_EQ(canvas.Rgb(0, 0), 0u);
    EXPECT_EQ(canvas.z[0], 0xFFFF);
    EXPECT_EQ(canvas.Rgb(3, 3), 0x00FF00u);
    EXPECT_LT(canvas.z[3 * 8 + 3], 0xFFFF);
    // Something farther behind shows through the hole only.
    RasterState behind = Flat();
    behind.zTest = behind.zWrite = true;
    behind.zFunc = D3DCMP_LESS;
    RasterTriangle(canvas.t, nullptr, behind, V(-8, -8, 0xFF0000, 0.9f), V(24, -8, 0xFF0000, 0.9f),
                   V(-8, 24, 0xFF0000, 0.9f));
    EXPECT_EQ(canvas.Rgb(0, 0), 0xFF0000u);
    EXPECT_EQ(canvas.Rgb(3, 3), 0x00FF00u);
    // Without the colour key the keyed texel is drawn as its colour.
    s.colourKey = false;
    Canvas plain(8, 8);
    RasterTriangle(plain.t, &tex, s, V(0, 0, 0xFFFFFF, z, 1, 0, 0), V(8, 0, 0xFFFFFF, z, 1, 1, 0),
                   V(8, 8, 0xFFFFFF, z, 1, 1, 1));
    EXPECT_NE(plain.z[1], 0xFFFF);
}

TEST(RasterBlend, FactorsCombineSourceAndDestination) {
    struct Case {
        const char* name;
        uint32_t src, dst;
        uint32_t source, destination;  // colours
        uint32_t expected;
    };
    // The destination is stored at 5-6-5, hence the tolerance.
    const Case cases[] = {
        {"one one adds", D3DBLEND_ONE, D3DBLEND_ONE, 0x400000, 0x200040, 0x600040},
        {"one one saturates", D3DBLEND_ONE, D3DBLEND_ONE, 0xC00000, 0xC00000, 0xFF0000},
        // s s + d d against 2 s d on the same colours.
        {"source colour, destination colour", D3DBLEND_SRCCOLOR, D3DBLEND_DESTCOLOR, 0x808080, 0xFF4000, 0xFF5040},
        {"destination colour, source colour", D3DBLEND_DESTCOLOR, D3DBLEND_SRCCOLOR, 0x808080, 0xFF4000, 0xFF4000},
        {"zero keeps the destination", D3DBLEND_ZERO, D3DBLEND_ONE, 0xFF0000, 0x0000FF, 0x0000FF},
    };
    for (const Case& c : cases) {
        RasterState s = Flat();
        s.blend = true;
        s.srcBlend = c.src;
        s.destBlend = c.dst;
        Canvas canvas(4, 4);
        canvas.Fill(c.destination);
        RasterTriangle(canvas.t, nullptr, s, V(0, 0, c.source), V(8, 0, c.source), V(0, 8, c.source));
        const uint32_t got = canvas.Rgb(1, 1);
        for (int shift : {0, 8, 16})
            EXPECT_NEAR(int((got >> shift) & 0xFF), int((c.expected >> shift) & 0xFF), 10)
                << c.name << " got " << std::hex << got;
    }
}

TEST(RasterDepth, LessTestAndWriteEnable) {
    struct Case {
        const char* name;
        bool zTest, zWrite;
        float secondZ;
        uint32_t expected;  // the colour of the overlap
        bool zChanged;      // the second draw changed the stored depth
    };
    const Case cases[] = {
        {"nearer wins", true, true, 0.3f, 0x0000FF, true},
        {"farther hidden", true, true, 0.7f, 0xFF0000, false},
        {"equal hidden under LESS", true, true, 0.5f, 0xFF0000, false},
        {"no write keeps the depth", true, false, 0.3f, 0x0000FF, false},
        {"no test draws over", false, false, 0.7f, 0x0000FF, false},
    };
    for (const Case& c : cases) {
        RasterState first = Flat();
        first.zTest = first.zWrite = true;
        first.zFunc = D3DCMP_LESS;
        Canvas canvas(8, 8);
        RasterTriangle(canvas.t, nullptr, first, V(0, 0, 0xFF0000, 0.5f), V(16, 0, 0xFF0000, 0.5f),
                       V(0, 16, 0xFF0000, 0.5f));
        const uint16_t before = canvas.z[2 * 8 + 2];
        RasterState second = Flat();
        second.zTest = c.zTest;
        second.zWrite = c.zWrite;
        second.zFunc = D3DCMP_LESS;
        RasterTriangle(canvas.t, nullptr, second, V(0, 0, 0x0000FF, c.secondZ), V(16, 0, 0x0000FF, c.secondZ),
                       V(0, 16, 0x0000FF, c.secondZ));
        EXPECT_EQ(canvas.Rgb(2, 2), c.expected) << c.name;
        EXPECT_EQ(canvas.z[2 * 8 + 2] != before, c.zChanged) << c.name;
    }
}

TEST(RasterLine, DrawsAlongTheMajorAxisWithoutTheLastPixel) {
    Canvas canvas(8, 4);
    RasterLine(canvas.t, Flat(), V(0.5f, 1.5f, 0xFF0000), V(6.5f, 1.5f, 0xFF0000));
    RasterLine(canvas.t, Flat(), V(7.5f, 0.5f, 0xFF0000), V(7.5f, 3.5f, 0xFF0000));
    RasterLine(canvas.t, Flat(), V(-50, 3.5f, 0xFF0000), V(2.5f, 3.5f, 0xFF0000));  // scissored
    EXPECT_EQ(canvas.Picture(), ".......#\n######.#\n.......#\n##......\n");
}

TEST(RasterPalettised, EightBitTargetsTakeTheNearestPaletteEntry) {
    Canvas canvas(8, 8, 8);
    RasterTriangle(canvas.t, nullptr, Flat(), V(0, 0, 0xE0E0C0), V(16, 0, 0xE0E0C0), V(0, 16, 0xE0E0C0));
    EXPECT_EQ(canvas.pixels[9], 255);  // 3-3-2 entry 255 is (224, 224, 192)
    RasterTriangle(canvas.t, nullptr, Flat(), V(0, 0, 0x202040), V(16, 0, 0x202040), V(0, 16, 0x202040));
    EXPECT_EQ(canvas.pixels[9], (1 << 5) | (1 << 2) | 1);
    // Blending reads the destination through the palette.
    RasterState add = Counting();
    RasterTriangle(canvas.t, nullptr, add, V(0, 0, 0x200000), V(16, 0, 0x200000), V(0, 16, 0x200000));
    EXPECT_EQ(canvas.pixels[9], (2 << 5) | (1 << 2) | 1);
}

// Random triangles and lines of every kind a broken caller might send (huge, tiny, degenerate,
// off-screen, NaN and infinite positions and attributes) under random states, into a scissored
// window of a target that lies inside a larger buffer: nothing outside the window, colour or Z,
// may change.
TEST(RasterHostile, RandomTrianglesNeverWriteOutsideTheTarget) {
    constexpr int kBufW = 48, kBufH = 40, kLeft = 5, kTop = 4;  // the target's origin in the buffer
    constexpr int kX0 = 2, kY0 = 3, kX1 = 31, kY1 = 27;          // the scissor, in target pixels
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::mt19937 rng(46);
    auto pick = [&rng](int n) { return int(rng() % uint32_t(n)); };
    auto uniform = [&rng](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
    auto coordinate = [&](float centre) {
        switch (pick(10)) {
            case 0: return uniform(-70000.0f, 70000.0f);                        // huge, some refused
            case 1: return pick(2) ? 65535.9f : -65535.9f;                      // at the limit
            case 2: return pick(2) ? nan : (pick(2) ? kInf : -kInf);
            case 3: return pick(2) ? std::numeric_limits<float>::max() : -1e30f;
            case 4: return centre + uniform(-200.0f, 200.0f);                   // mostly off-screen
            default: return centre + uniform(-30.0f, 30.0f);
        }
    };
    auto attribute = [&](float lo, float hi) {
        switch (pick(12)) {
            case 0: return nan;
            case 1: return pick(2) ? kInf : -kInf;
            case 2: return pick(2) ? 1e30f : -1e30f;
            case 3: return 0.0f;
            default: return uniform(lo, hi);
        }
    };
    std::vector<uint32_t> texels(5 * 3), square(8 * 8);
    for (auto& t : texels)
        t = rng() & 0x01FFFFFFu;
    for (auto& t : square)
        t = rng() & 0x01FFFFFFu;
    std::vector<PALETTEENTRY> palette;
    for (int i = 0; i < 256; ++i)
        palette.push_back(ThreeThreeTwoEntry(i));
    std::vector<uint8_t> inverse(32768);
    BuildInversePalette(palette.data(), 256, inverse.data());
    const uint32_t blends[] = {D3DBLEND_ZERO, D3DBLEND_ONE, D3DBLEND_SRCCOLOR, D3DBLEND_DESTCOLOR};
    const uint32_t zFuncs[] = {D3DCMP_NEVER, D3DCMP_LESS, D3DCMP_EQUAL, D3DCMP_LESSEQUAL, D3DCMP_ALWAYS};
    for (int bits : {16, 8}) {
        const int bytes = bits / 8;
        std::vector<uint8_t> pixels(size_t(kBufW) * kBufH * bytes), before;
        std::vector<uint16_t> z(size_t(kBufW) * kBufH), zBefore;
        for (auto& p : pixels)
            p = uint8_t(rng());
        for (auto& q : z)
            q = uint16_t(rng());
        before = pixels;
        zBefore = z;
        RasterTarget t;
        t.pixels = pixels.data() + (size_t(kTop) * kBufW + kLeft) * bytes;
        t.pitch = kBufW * bytes;
        t.bitsPerPixel = bits;
        t.palette = palette.data();
        t.inverse = inverse.data();
        t.z = z.data() + size_t(kTop) * kBufW + kLeft;
        t.zPitch = kBufW;
        t.x0 = kX0;
        t.y0 = kY0;
        t.x1 = kX1;
        t.y1 = kY1;
        for (int round = 0; round < 4000; ++round) {
            RasterState s;
            s.textured = pick(3) != 0;
            s.perspective = pick(2) != 0;
            s.bilinear = pick(2) != 0;
            s.modulate = pick(2) != 0;
            s.gouraud = pick(2) != 0;
            s.colourKey = pick(2) != 0;
            s.blend = pick(2) != 0;
            s.srcBlend = blends[pick(4)];
            s.destBlend = blends[pick(4)];
            s.zTest = pick(2) != 0;
            s.zWrite = pick(2) != 0;
            s.zFunc = zFuncs[pick(5)];
            const RasterTexture texture = pick(2) ? RasterTexture{texels.data(), 5, 3} : RasterTexture{square.data(), 8, 8};
            D3DTLVERTEX v[3];
            for (auto& p : v)
                p = D3DTLVERTEX{coordinate(16.0f), coordinate(14.0f), attribute(-0.5f, 1.5f), attribute(0.001f, 4.0f),
                                uint32_t(rng()), 0, attribute(-40.0f, 40.0f), attribute(-40.0f, 40.0f)};
            switch (pick(4)) {
                case 0:  // tiny: within a pixel of the first corner
                    for (int i = 1; i < 3; ++i) {
                        v[i].sx = v[0].sx + uniform(-1.0f, 1.0f);
                        v[i].sy = v[0].sy + uniform(-1.0f, 1.0f);
                    }
                    break;
                case 1:  // degenerate: on one line, or two corners alike
                    v[2].sx = v[0].sx + (v[1].sx - v[0].sx) * 2.0f;
                    v[2].sy = v[0].sy + (v[1].sy - v[0].sy) * 2.0f;
                    if (pick(2))
                        v[1] = v[0];
                    break;
                default: break;
            }
            RasterTriangle(t, pick(8) ? &texture : nullptr, s, v[0], v[1], v[2]);
            if (pick(3) == 0)
                RasterLine(t, s, v[0], v[1]);
        }
        int changed = 0;
        for (int y = 0; y < kBufH; ++y)
            for (int x = 0; x < kBufW; ++x) {
                const size_t i = size_t(y) * kBufW + x;
                const bool inside = x >= kLeft + kX0 && x < kLeft + kX1 && y >= kTop + kY0 && y < kTop + kY1;
                bool same = z[i] == zBefore[i];
                for (int k = 0; k < bytes; ++k)
                    same = same && pixels[i * bytes + k] == before[i * bytes + k];
                if (inside)
                    changed += !same;
                else
                    ASSERT_TRUE(same) << bits << " bits: written outside the target at buffer (" << x << ", " << y << ")";
            }
        EXPECT_GT(changed, (kX1 - kX0) * (kY1 - kY0) / 2) << bits << " bits: the window itself was drawn";
    }
}

}  // namespace
