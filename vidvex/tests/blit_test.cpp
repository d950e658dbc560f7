// Drawing decoded frames onto screens: blit qualities 0, 3 and 5 in their three drawing modes,
// 8-bit screens through colour tables, clipping against view, clip rectangle and surface, the
// redraw-everything rules and redraws.
#include <gtest/gtest.h>

#include "datakit/vidvex_rowenc.h"
#include "frames.h"
#include "test_support.h"
#include "vvl_internal.h"

namespace {

using vvltest::Surface;
using vvltest::VideoTest;

using Blit = VideoTest;

constexpr uint16_t kMarker = 0x5A5A;

// Per-channel average of two 555 pixels, rounded down, one channel at a time.
uint16_t Avg(uint16_t a, uint16_t b) {
    int r = (((a >> 10) & 31) + ((b >> 10) & 31)) / 2;
    int g = (((a >> 5) & 31) + ((b >> 5) & 31)) / 2;
    int bl = ((a & 31) + (b & 31)) / 2;
    return uint16_t((r << 10) | (g << 5) | bl);
}

// A decoded picture and what each blit quality makes of it.
struct Pic {
    int w, h;
    std::vector<uint16_t> px;
    uint16_t At(int x, int y) const { return y < 0 ? 0 : px[size_t(y * w + x)]; }
    // Stretched by three: s, s, avg(s, next); the last pixel of a row is its own next.
    uint16_t Three(int t, int y) const {
        int c = t / 3;
        uint16_t s = At(c, y);
        if (t % 3 < 2) return s;
        return Avg(s, c + 1 < w ? At(c + 1, y) : s);
    }
};

// Expected screen (width W, height H, marker where nothing is drawn) for a picture drawn at the
// top left corner.
std::vector<uint16_t> Expected(const Pic& p, int quality, bool stretch, int W, int H) {
    std::vector<uint16_t> out(size_t(W * H), kMarker);
    auto put = [&](int x, int y, uint16_t v) {
        if (x < W && y < H) out[size_t(y * W + x)] = v;
    };
    const int groups = p.w / 4;
    for (int y = 0; y < p.h; ++y) {
        if (quality == 0 && !stretch) {
            for (int x = 0; x < p.w; ++x) put(x, y, p.At(x, y));
        } else if (quality == 0) {
            for (int g = 0; g < groups; ++g) {
                uint16_t a = p.At(4 * g, y), b = p.At(4 * g + 1, y), c = p.At(4 * g + 2, y), d = p.At(4 * g + 3, y);
                const uint16_t six[6] = {a, Avg(a, b), b, c, Avg(c, d), d};
                for (int i = 0; i < 6; ++i) put(6 * g + i, y, six[i]);
            }
        } else if (quality == 3 && !stretch) {
            for (int x = 0; x < p.w; ++x) {
                put(2 * x, 2 * y, p.At(x, y));
                put(2 * x + 1, 2 * y, p.At(x, y));
            }
        } else if (quality == 3) {
            for (int t = 0; t < 12 * groups; ++t) put(t, 2 * y, p.Three(t, y));
        } else if (!stretch) {
            for (int x = 0; x < p.w; ++x) {
                uint16_t up = p.At(x, y - 1), mid = Avg(p.At(x, y - 1), p.At(x, y));
                put(2 * x, 2 * y, up);
                put(2 * x + 1, 2 * y, up);
                put(2 * x, 2 * y + 1, mid);
                put(2 * x + 1, 2 * y + 1, mid);
            }
        } else {
            for (int t = 0; t < 12 * groups; ++t) {
                uint16_t up = y > 0 ? p.Three(t, y - 1) : 0;
                put(t, 2 * y, up);
                put(t, 2 * y + 1, Avg(up, p.Three(t, y)));
            }
        }
    }
    return out;
}

struct Encoded {
    std::vector<uint8_t> frame;
    Pic pic;
};
Encoded Make(int w, int h, bool inter, bool stretch, int shift = 0) {
    dk::VvlRowParams p;
    p.interStream = inter;
    p.stretch = stretch;
    std::vector<uint16_t> src = vvltest::Picture(w, h, false, shift);
    dk::VvlEncoded e = dk::VvlEncodeRowFrame(p, w, h, src, nullptr);
    return {e.frame, {w, h, e.decoded}};
}

VScreen* Screen(Surface& s, int quality) {
    VScreen* v = Vvl_CreateVScreen(s.Base(), s.bpp == 2 ? 2 : 1, s.pitch, s.height);
    Vvl_SetVScreenBlitQuality(v, quality);
    return v;
}

TEST_F(Blit, QualitiesAndModesDrawWhatTheirRulesSay) {
    struct Case {
        int quality;
        bool inter, stretch;
    };
    const Case cases[] = {{0, false, false}, {0, true, false}, {3, false, false}, {3, true, false},
                          {5, false, false}, {5, true, false}, {0, false, true},  {3, false, true},
                          {5, false, true},  {5, true, true}};
    for (const Case& c : cases) {
        Encoded e = Make(20, 8, c.inter, c.stretch);
        XImage* im = Vvl_CreateXImageLen(e.frame.data(), e.frame.size());
        ASSERT_NE(im, nullptr);
        const int W = 64, H = 20;
        Surface s(W, H);
        s.Fill(kMarker);
        VScreen* scr = Screen(s, c.quality);
        ASSERT_EQ(Vvl_plixImageToVScreen(im, scr), 0);
        EXPECT_EQ(s.Crop(0, 0, W, H), Expected(e.pic, c.quality, c.stretch, W, H))
            << "quality " << c.quality << " inter " << c.inter << " stretch " << c.stretch;
        EXPECT_TRUE(s.GuardsIntact());
        Vvl_DestroyXImage(im);
        Vvl_DestroyVScreen(scr);
    }
}

TEST_F(Blit, EightBitScreensGoThroughTheColourTables) {
    // Table 1 gives the low byte of the 555 index, table 2 the high byte.
    std::vector<uint8_t> t1(32768), t2(32768);
    for (int i = 0; i < 32768; ++i) {
        t1[size_t(i)] = uint8_t(i & 0xFF);
        t2[size_t(i)] = uint8_t(i >> 8);
    }
    for (int quality : {0, 3, 5}) {
        for (bool is565 : {false, true}) {
            Vvl_Decompress16BitAs565(is565);
            dk::VvlRowParams p;
            p.is565 = is565;
            std::vector<uint16_t> src = vvltest::Picture(12, 4, is565);
            dk::VvlEncoded e = dk::VvlEncodeRowFrame(p, 12, 4, src, nullptr);
            XImage* im = Vvl_CreateXImageLen(e.frame.data(), e.frame.size());
            Surface s(30, 10, 1);
            VScreen* scr = Screen(s, quality);
            // A reused slot keeps the tables of its last use: none here.
            Vvl_SetVScreenCLUTs(scr, nullptr, nullptr, 1);
            EXPECT_EQ(Vvl_plixImageToVScreen(im, scr), -6);
            ASSERT_EQ(Vvl_SetVScreenCLUTs(scr, t1.data(), t2.data(), 1), 0);
            ASSERT_EQ(Vvl_plixImageToVScreen(im, scr), 0);
            auto index = [&](uint16_t v) {
                return is565 ? uint16_t(((v >> 1) & 0x7FE0) | (v & 0x1F)) : uint16_t(v & 0x7FFF);
            };
            const int sc = quality ? 2 : 1;
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 12 * sc; ++x) {
                    uint16_t v = e.decoded[size_t(y * 12 + x / sc)];
                    if (quality == 5) v = y > 0 ? e.decoded[size_t((y - 1) * 12 + x / sc)] : 0;
                    uint8_t want = (x & 1) ? uint8_t(index(v) >> 8) : uint8_t(index(v) & 0xFF);
                    ASSERT_EQ(s.Px8(x, y * sc), want) << quality << " " << x << "," << y;
                }
            EXPECT_TRUE(s.GuardsIntact());
            Vvl_DestroyXImage(im);
            Vvl_DestroyVScreen(scr);
        }
    }
}

// A draw clipped by view, clip rectangle or surface equals the same draw on a large screen, cut.
TEST_F(Blit, ClippedDrawsEqualTheCropOfUnclippedOnes) {
    struct Case {
        const char* what;
        int quality;
        bool stretch;
        int x, y;           // image position in the view
        int vx, vy, vw, vh; // view
        int cx, cy, cw, ch; // clip rectangle
    };
    const Case cases[] = {
        {"left and top cut by the surface", 0, false, -6, -3, 0, 0, 0, 0, 0, 0, 0, 0},
        {"right and bottom cut", 0, false, 10, 5, 0, 0, 0, 0, 0, 0, 0, 0},
        {"view and clip rectangle", 0, false, -2, -2, 4, 2, 16, 8, 2, 2, 8, 4},
        {"double size cut left", 3, false, -8, -4, 0, 0, 0, 0, 0, 0, 0, 0},
        {"smoothed cut right and top", 5, false, 6, -6, 0, 0, 0, 0, 0, 0, 0, 0},
        {"smoothed in a view", 5, false, -4, -2, 2, 2, 30, 14, 0, 0, 0, 0},
        {"stretched cut on a group", 0, true, -12, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {"stretched double size", 3, true, -6, 2, 0, 0, 36, 0, 0, 0, 0, 0},
        {"stretched smoothed", 5, true, -6, -2, 0, 0, 36, 0, 0, 0, 0, 0},
        {"view wider than the surface", 0, false, 8, 0, 10, 0, 200, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        for (bool inter : {false, true}) {
            Encoded e = Make(32, 16, inter, c.stretch);
            XImage* im = Vvl_CreateXImageLen(e.frame.data(), e.frame.size());
            ASSERT_NE(im, nullptr);
            Vvl_MoveXImage(im, 0, c.x, c.y);
            const int W = 40, H = 20, M = 100;
            // Rows without padding: with no view width the whole pitch is the surface's width.
            Surface small(W, H, 2, 0), big(W + 2 * M, H + 2 * M);
            small.Fill(kMarker);
            big.Fill(kMarker);
            VScreen* ss = Screen(small, c.quality);
            VScreen* bs = Screen(big, c.quality);
            Vvl_AlterVScreenView(ss, c.vx, c.vy, c.vw, c.vh);
            Vvl_AlterVScreenClip(ss, c.cx, c.cy, c.cw, c.ch);
            Vvl_AlterVScreenView(bs, M + c.vx, M + c.vy, 0, 0);
            ASSERT_EQ(Vvl_plixImageToVScreen(im, bs), 0);
            ASSERT_EQ(Vvl_plixImageToVScreen(im, ss), 0) << c.what;
            // The rectangle the small screen may be drawn in.
            int tx = c.vx + c.cx, ty = c.vy + c.cy;
            int tw = c.cw ? c.cw : (c.vw ? c.vw : W), th = c.ch ? c.ch : (c.vh ? c.vh : H);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) {
                    bool inside = x >= tx && x < tx + tw && y >= ty && y < ty + th;
                    uint16_t want = inside ? big.Px(x + M, y + M) : kMarker;
                    ASSERT_EQ(small.Px(x, y), want) << c.what << " inter " << inter << " at " << x << "," << y;
                }
            EXPECT_TRUE(small.GuardsIntact()) << c.what;
            Vvl_DestroyXImage(im);
            Vvl_DestroyVScreen(ss);
            Vvl_DestroyVScreen(bs);
        }
    }
}

// Inter frames drawn in place write only the blocks that changed; moving forces a full draw.
TEST_F(Blit, InterFramesDrawChangedBlocksUntilTheImageMoves) {
    for (int quality : {0, 3, 5}) {
        const int w = 32, h = 16;
        dk::VvlRowParams p;
        p.interStream = true;
        p.skipTolerance = 1;
        dk::VvlEncoded key = dk::VvlEncodeRowFrame(p, w, h, vvltest::Picture(w, h, false, 0), nullptr);
        p.key = false;
        dk::VvlEncoded next = dk::VvlEncodeRowFrame(p, w, h, vvltest::Picture(w, h, false, 4), &key.decoded);
        XImage* im = Vvl_CreateXImageLen(key.frame.data(), key.frame.size());
        const int W = 2 * w + 8, H = 2 * h + 4, sc = quality ? 2 : 1;
        Surface s(W, H);
        VScreen* scr = Screen(s, quality);
        ASSERT_EQ(Vvl_plixImageToVScreen(im, scr), 0);
        EXPECT_FALSE(im->flags & 8);
        // Mark one unchanged and one changed block on the screen (lines of row 6).
        int still = -1, moved = -1;
        for (int b = 0; b < w / 4; ++b) {
            (next.unchanged[size_t(w / 4 + b)] ? still : moved) = b;
        }
        ASSERT_GE(still, 0);
        ASSERT_GE(moved, 0);
        const int line = 5 * sc;
        for (int b : {still, moved})
            for (int x = 4 * b * sc; x < 4 * (b + 1) * sc; ++x) s.Set(x, line, kMarker);
        ASSERT_EQ(Vvl_AlterXImageDataLen(im, next.frame.data(), next.frame.size()), 0);
        ASSERT_EQ(Vvl_plixImageToVScreen(im, scr), 0);
        EXPECT_EQ(s.Px(4 * still * sc + 1, line), kMarker) << quality;
        EXPECT_NE(s.Px(4 * moved * sc + 1, line), kMarker) << quality;
        // Everywhere else the screen shows the new picture as a full draw would.
        std::vector<uint16_t> want = Expected({w, h, next.decoded}, quality, false, W, H);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                if (y == line && x / (4 * sc) == still) continue;
                if (want[size_t(y * W + x)] != kMarker) {
                    ASSERT_EQ(s.Px(x, y), want[size_t(y * W + x)]) << quality << " " << x << "," << y;
                }
            }
        // Moved by two pixels: a full draw, marker gone.
        Vvl_MoveXImage(im, 1, 2, 0);
        ASSERT_EQ(Vvl_plixImageToVScreen(im, scr), 0);
        std::vector<uint16_t> shifted = Expected({w, h, next.decoded}, quality, false, W, H);
        for (int y = 0; y < H; ++y)
            for (int x = 2; x < W; ++x) {
                uint16_t v = shifted[size_t(y * W + x - 2)];
                if (v != kMarker) {
                    ASSERT_EQ(s.Px(x, y), v) << quality << " moved " << x << "," << y;
                }
            }
        EXPECT_TRUE(s.GuardsIntact());
        Vvl_DestroyXImage(im);
        Vvl_DestroyVScreen(scr);
    }
}

TEST_F(Blit, AnImageOutsideTheViewDecodesAndStaysMarkedForAFullDraw) {
    Encoded e = Make(16, 8, true, false);
    XImage* im = Vvl_CreateXImageLen(e.frame.data(), e.frame.size());
    Surface s(32, 16);
    s.Fill(kMarker);
    VScreen* scr = Screen(s, 0);
    Vvl_AlterVScreenView(scr, 8, 0, 16, 16);
    for (int x : {-40, -16, 16, 17}) {
        Vvl_MoveXImage(im, 0, x, 0);
        ASSERT_EQ(Vvl_plixImageToVScreen(im, scr), 0) << x;
        EXPECT_TRUE(im->flags & 8) << x;
        EXPECT_EQ(s.Crop(0, 0, 32, 16), std::vector<uint16_t>(32 * 16, kMarker)) << x;
        EXPECT_EQ(std::memcmp(Vvl_GetXImageFrameBuffer(im), e.pic.px.data(), e.pic.px.size() * 2), 0);
    }
    // Two columns inside (the image starts on an even column: -15 + 8 becomes -8 + 2).
    Vvl_MoveXImage(im, 0, -13, 0);
    ASSERT_EQ(Vvl_plixImageToVScreen(im, scr), 0);
    EXPECT_FALSE(im->flags & 8);
    EXPECT_EQ(s.Px(7, 0), kMarker);
    EXPECT_EQ(s.Px(8, 0), e.pic.At(14, 0));
    EXPECT_EQ(s.Px(9, 5), e.pic.At(15, 5));
    EXPECT_EQ(s.Px(10, 0), kMarker);
    EXPECT_TRUE(s.GuardsIntact());
}

TEST_F(Blit, ScreensWithoutABlitterRefuseToDraw) {
    Encoded e = Make(8, 4, false, false);
    XImage* im = Vvl_CreateXImageLen(e.frame.data(), e.frame.size());
    Surface s(16, 8);
    struct Case {
        int format, quality, result;
    };
    const Case cases[] = {{2, 1, -6}, {2, 2, -6}, {2, 4, -6}, {2, 9, -6}, {2, 12, -6},
                          {3, 0, -6}, {5, 0, -6}, {6, 0, -6}, {2, 0, 0},  {2, 3, 0}};
    for (const Case& c : cases) {
        VScreen* scr = Vvl_CreateVScreen(s.Base(), c.format, s.pitch, 8);
        Vvl_SetVScreenBlitQuality(scr, c.quality);
        EXPECT_EQ(Vvl_plixImageToVScreen(im, scr), c.result) << c.format << " q" << c.quality;
        Vvl_DestroyVScreen(scr);
    }
    EXPECT_TRUE(s.GuardsIntact());
}

TEST_F(Blit, OddViewColumnsBecomeEven) {
    Encoded e = Make(8, 4, false, false);
    XImage* im = Vvl_CreateXImageLen(e.frame.data(), e.frame.size());
    Surface s(16, 4);
    s.Fill(kMarker);
    VScreen* scr = Screen(s, 0);
    Vvl_AlterVScreenView(scr, 3, 0, 12, 4);
    Vvl_MoveXImage(im, 0, 1, 0);  // 1 + 2: column 2
    ASSERT_EQ(Vvl_plixImageToVScreen(im, scr), 0);
    EXPECT_EQ(s.Px(1, 0), kMarker);
    EXPECT_EQ(s.Px(2, 0), e.pic.At(0, 0));
    EXPECT_EQ(s.Px(9, 3), e.pic.At(7, 3));
}

TEST_F(Blit, RedrawsDrawTheKeptFrameWithoutDecoding) {
    Encoded e = Make(16, 8, true, false);
    XImage* im = Vvl_CreateXImageLen(e.frame.data(), e.frame.size());
    Surface s(24, 12);
    VScreen* scr = Screen(s, 0);
    ASSERT_EQ(Vvl_plixImageToVScreen(im, scr), 0);
    s.Fill(kMarker);
    // Nothing moved: every row but the last is drawn again.
    ASSERT_EQ(Vvl_BlitXImageToVScreen(im, scr), 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) EXPECT_EQ(s.Px(x, y), y < 7 ? e.pic.At(x, y) : kMarker) << x << "," << y;
    // Moved: the whole frame at the new place.
    Vvl_MoveXImage(im, 0, 4, 2);
    ASSERT_EQ(Vvl_BlitXImageToVScreen(im, scr), 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) EXPECT_EQ(s.Px(x + 4, y + 2), e.pic.At(x, y));
    // No screen: a redraw has nowhere to go.
    EXPECT_EQ(Vvl_BlitXImageToVScreen(im, nullptr), -6);
    // An intra-only image keeps no rows: a redraw decodes again.
    Encoded intra = Make(16, 8, false, false);
    XImage* in = Vvl_CreateXImageLen(intra.frame.data(), intra.frame.size());
    s.Fill(kMarker);
    Vvl_MoveXImage(in, 0, 0, 0);
    ASSERT_EQ(Vvl_BlitXImageToVScreen(in, scr), 0);
    EXPECT_EQ(s.Px(3, 7), intra.pic.At(3, 7));
    EXPECT_EQ(Vvl_plixImageToVScreen(in, nullptr), 0);
    EXPECT_TRUE(s.GuardsIntact());
}

}  // namespace
