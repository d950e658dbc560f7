// The YUV nibble-delta codec (codec type 17): a frame written from the layout, the unpacking of
// 4-, 3- and 2-bit codes, the working delta table from frame to frame, the colour look-up, blit
// qualities, refusals and clipping, and round trips through the kit's encoder.
#include <gtest/gtest.h>

#include <cmath>

#include "datakit/vidvex_yuvenc.h"
#include "frames.h"
#include "test_support.h"
#include "vvl_internal.h"

namespace {

using vvltest::Surface;
using vvltest::VideoTest;

using Yuv = VideoTest;

// The colour conversion, from its formula.
uint16_t Convert(int yi, int ui, int vi, bool is565) {
    const int L = (4 * (4 * yi) - 128) / 3;
    const double U = 4.0 * ui, V = 4.0 * vi;
    auto clamp = [](double v) { return std::min(255, std::max(0, int(std::trunc(v)))); };
    int r = clamp(V * 1.370705 + L - 191.45029);
    int g = clamp(L - V * 0.698001 - U * 0.337633 + 116.56116);
    int b = clamp(U * 1.732446 + L - 237.7534);
    return is565 ? uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3))
                 : uint16_t(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}

// A 16x4 frame, variant 4 (4-bit codes), written from the layout:
//   length byte 0x13 (24), chain seed 0, h[1] codec 17, h[4..5] height 4, h[6..7] width 16,
//   h[11] variant 4; payload: packed length 36, then 32 bytes of luma codes (low nibble first),
//   2 bytes of U codes and 2 bytes of V codes.
//   luma rows: +144 then +1s; -1s; +1s; -8 then +1s
//   U codes +2 -3 +8 -1 (U 130 127 135 134), V codes +18 -18 +36 -36 (V 146 128 164 128)
std::vector<uint8_t> YuvFrame16x4() {
    std::vector<uint8_t> f = {
        0x13, 0x00, 0x11, 0x11, 0x11, 0x15, 0x15, 0x05, 0x05, 0x05, 0x05, 0x05,
        0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x00,
        0x24, 0x00, 0x00, 0x00,                          // packed length 36
        0x0E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // row 0
        0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,  // row 1
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // row 2
        0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // row 3
        0x32, 0x14,                                      // U
        0x76, 0x98,                                      // V
    };
    return f;
}
uint16_t YuvFrame16x4Pixel(int x, int y, bool is565) {
    const int luma[4] = {144 + x, 143, 144 + x, 136 + 2 * x};
    const int u[4] = {32, 31, 33, 33}, v[4] = {36, 32, 41, 32};
    return Convert(luma[y] >> 2, u[x / 4], v[x / 4], is565);
}

VScreen* Screen(Surface& s, int quality) {
    VScreen* v = Vvl_CreateVScreen(s.Base(), 2, s.pitch, s.height);
    Vvl_SetVScreenBlitQuality(v, quality);
    return v;
}

TEST_F(Yuv, HandWrittenFrame) {
    for (bool is565 : {false, true}) {
        Vvl_Decompress16BitAs565(is565);
        std::vector<uint8_t> f = YuvFrame16x4();
        XImage* im = Vvl_CreateXImageLen(f.data(), f.size());
        ASSERT_NE(im, nullptr);
        Surface s(16, 4);
        VScreen* scr = Screen(s, 0);
        ASSERT_EQ(Vvl_plixImageToVScreen(im, scr), 0);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 16; ++x) EXPECT_EQ(s.Px(x, y), YuvFrame16x4Pixel(x, y, is565)) << x << "," << y;
        EXPECT_TRUE(s.GuardsIntact());
        // One byte short of the codes: a bad frame, nothing drawn.
        s.Fill(0);
        ASSERT_EQ(Vvl_AlterXImageDataLen(im, f.data(), f.size() - 1), 0);
        EXPECT_EQ(Vvl_plixImageToVScreen(im, scr), -7);
        EXPECT_EQ(s.Px(0, 0), 0);
        Vvl_DestroyXImage(im);
        Vvl_DestroyVScreen(scr);
    }
}

// Every luma code +1: a ramp along the first row, each row adding it again, clamped at 255.
TEST_F(Yuv, AllPlusOneCodesGiveARamp) {
    const int w = 64, h = 16, cw = w / 4, ch = h / 4;
    dk::VvlHeader hd;
    hd.codec = 17;
    hd.width = w;
    hd.height = h;
    hd.variant = 4;
    std::vector<uint8_t> f = dk::VvlWriteHeader(hd);
    const int bytes = w * h / 2 + cw * ch;
    for (int i = 0; i < 4; ++i) f.push_back(uint8_t(bytes >> (8 * i)));
    f.insert(f.end(), size_t(w * h / 2), 0x00);   // luma: code 0 (+1) everywhere
    f.insert(f.end(), size_t(cw * ch), 0x10);     // chroma: +1, -1 in turn
    XImage* im = Vvl_CreateXImageLen(f.data(), f.size());
    Surface s(w, h);
    ASSERT_EQ(Vvl_plixImageToVScreen(im, Screen(s, 0)), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int Y = std::min(255, (y + 1) * (x + 1));
            // Chroma row r: even columns 128 + r + 1, odd columns 128.
            int r = y / 4, c = (x / 4) % 2 ? 128 : 128 + r + 1;
            ASSERT_EQ(s.Px(x, y), Convert(Y >> 2, c >> 2, c >> 2, false)) << x << "," << y;
        }
}

// The same codes packed 4, 3 and 2 bits wide; each variant also sets its own deltas.
TEST_F(Yuv, PackedCodeWidths) {
    const int w = 16, h = 8, n = w * h + 2 * (w / 4) * (h / 4);  // codes
    std::vector<int> codes(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) codes[size_t(i)] = (i * 7 + i / 5) % 4;
    for (int variant : {4, 3, 2}) {
        ASSERT_EQ(Vvl_InitVideo(3, 3), 0);  // a fresh working table
        dk::VvlHeader hd;
        hd.codec = 17;
        hd.width = w;
        hd.height = h;
        hd.variant = variant;
        std::vector<uint8_t> f = dk::VvlWriteHeader(hd), packed;
        if (variant == 4) {
            for (int i = 0; i < n; i += 2) packed.push_back(uint8_t(codes[size_t(i)] | codes[size_t(i + 1)] << 4));
        } else if (variant == 3) {
            for (int i = 0; i < n; i += 8) {
                uint32_t a = 0;
                for (int k = 0; k < 8; ++k) a |= uint32_t(codes[size_t(i + k)]) << (3 * k);
                packed.push_back(uint8_t(a));
                packed.push_back(uint8_t(a >> 8));
                packed.push_back(uint8_t(a >> 16));
            }
        } else {
            for (int i = 0; i < n; i += 4) {
                uint32_t a = 0;
                for (int k = 0; k < 4; ++k) a |= uint32_t(codes[size_t(i + k)]) << (2 * k);
                packed.push_back(uint8_t(a));
            }
        }
        for (int i = 0; i < 4; ++i) f.push_back(uint8_t(packed.size() >> (8 * i)));
        f.insert(f.end(), packed.begin(), packed.end());
        XImage* im = Vvl_CreateXImageLen(f.data(), f.size());
        Surface s(w, h);
        ASSERT_EQ(Vvl_plixImageToVScreen(im, Screen(s, 0)), 0) << variant;
        // Decode the codes here with the variant's deltas.
        const int* d = variant == 4 ? vvlfmt::kYuvDeltas4 : variant == 3 ? vvlfmt::kYuvDeltas3 : vvlfmt::kYuvDeltas2;
        const int cw = w / 4, ch = h / 4, lumaCodes = w * h;
        std::vector<int> u(size_t(cw * ch)), v(size_t(cw * ch));
        for (int plane = 0; plane < 2; ++plane) {
            std::vector<int>& out = plane ? v : u;
            std::vector<int> above(size_t(cw), 128);
            for (int r = 0; r < ch; ++r) {
                int sum = 0;
                for (int k = 0; k < cw; ++k) {
                    sum = (sum + d[codes[size_t(lumaCodes + plane * cw * ch + r * cw + k)]]) & 255;
                    above[size_t(k)] = (sum + above[size_t(k)]) & 255;
                    out[size_t(r * cw + k)] = above[size_t(k)];
                }
            }
        }
        std::vector<int> above(size_t(w), 0);
        for (int y = 0; y < h; ++y) {
            int sum = 0;
            for (int x = 0; x < w; ++x) {
                sum += d[codes[size_t(y * w + x)]];
                above[size_t(x)] = std::min(255, std::max(0, sum + above[size_t(x)]));
                int c = (y / 4) * cw + x / 4;
                ASSERT_EQ(s.Px(x, y), Convert(above[size_t(x)] >> 2, u[size_t(c)] >> 2, v[size_t(c)] >> 2, false))
                    << "variant " << variant << " at " << x << "," << y;
            }
        }
    }
}

TEST_F(Yuv, WorkingTableAndCodesCarryOverFromFrameToFrame) {
    dk::VvlYuvEncoder enc(false);
    dk::VvlYuvPlanes planes = dk::VvlYuvFromRgb(32, 8, [] {
        std::vector<dk::VvlRgb> px;
        for (int i = 0; i < 32 * 8; ++i) px.push_back({(i * 5) % 256, 90, (i * 3) % 256});
        return px;
    }());
    XImage* im = nullptr;
    Surface s(32, 8);
    VScreen* scr = Screen(s, 0);
    struct Step {
        int variant;
        std::vector<int> table;
    };
    const Step steps[] = {
        {4, {1, -1, 2, -3, 8, -8, 18, -18, 36, -36, 54, -54, 96, -96, 144, -144}},
        {3, {2, -3, 8, -8, 18, -18, 36, -36, 36, -36, 54, -54, 96, -96, 144, -144}},
        {2, {5, -7, 36, -36, 18, -18, 36, -36, 36, -36, 54, -54, 96, -96, 144, -144}},
        {1, {5, -7, 36, -36, 18, -18, 36, -36, 36, -36, 54, -54, 96, -96, 144, -144}},
        {4, {1, -1, 2, -3, 8, -8, 18, -18, 36, -36, 54, -54, 96, -96, 144, -144}},
    };
    std::vector<std::vector<uint8_t>> frames;
    for (const Step& st : steps) {
        dk::VvlEncoded e = enc.Encode(planes, st.variant);
        ASSERT_FALSE(e.frame.empty());
        frames.push_back(e.frame);
        if (!im) im = Vvl_CreateXImageLen(frames.back().data(), frames.back().size());
        else ASSERT_EQ(Vvl_AlterXImageDataLen(im, frames.back().data(), frames.back().size()), 0);
        EXPECT_EQ(std::vector<int>(VVL_YuvWorkingTable(), VVL_YuvWorkingTable() + 16), st.table) << st.variant;
        ASSERT_EQ(Vvl_plixImageToVScreen(im, scr), 0);
        EXPECT_EQ(s.Crop(0, 0, 32, 8), e.decoded) << "variant " << st.variant;
    }
    // The variant-1 frame carries no codes: header and packed length alone.
    EXPECT_EQ(frames[3].size(), 28u);
}

TEST_F(Yuv, LookupIsRebuiltWhenTheLayoutChanges) {
    std::vector<uint8_t> f = YuvFrame16x4();
    FrameHeader h;
    ASSERT_EQ(VVL_ParseHeader(f.data(), f.size(), &h), 24);
    int n = VVL_YuvLookupBuildCount();
    ASSERT_EQ(VVL_ParseHeader(f.data(), f.size(), &h), 24);
    EXPECT_EQ(VVL_YuvLookupBuildCount(), n);
    Vvl_Decompress16BitAs565(1);
    ASSERT_EQ(VVL_ParseHeader(f.data(), f.size(), &h), 24);
    ASSERT_EQ(VVL_ParseHeader(f.data(), f.size(), &h), 24);
    EXPECT_EQ(VVL_YuvLookupBuildCount(), n + 1);
}

// At neutral chroma the three channels miss 16 by different fractions: green can come out one
// step above red and blue.
TEST_F(Yuv, NeutralChromaIsNotQuiteGrey) {
    EXPECT_EQ(Convert(14, 32, 32, false), vvltest::P555(1, 2, 1));
    EXPECT_EQ(Convert(14, 32, 32, true), uint16_t((1 << 11) | (4 << 5) | 1));
    for (bool is565 : {false, true}) {
        Vvl_Decompress16BitAs565(is565);
        dk::VvlYuvEncoder enc(is565);
        dk::VvlYuvPlanes p;
        p.width = 16;
        p.height = 4;
        p.y.assign(64, 57);
        p.u.assign(4, 128);
        p.v.assign(4, 128);
        dk::VvlEncoded e = enc.Encode(p, 4);
        XImage* im = Vvl_CreateXImageLen(e.frame.data(), e.frame.size());
        Surface s(16, 4);
        ASSERT_EQ(Vvl_plixImageToVScreen(im, Screen(s, 0)), 0);
        const dk::VvlYuvPlanes& d = enc.Decoded();
        int checked = 0;
        for (int x = 0; x < 16; ++x)
            if (d.y[size_t(x)] >> 2 == 14 && d.u[size_t(x / 4)] >> 2 == 32 && d.v[size_t(x / 4)] >> 2 == 32) {
                EXPECT_EQ(s.Px(x, 0), Convert(14, 32, 32, is565));
                ++checked;
            }
        EXPECT_GT(checked, 0);
        Vvl_DestroyXImage(im);
    }
}

TEST_F(Yuv, BlitQualities) {
    std::vector<uint8_t> f = YuvFrame16x4();
    XImage* im = Vvl_CreateXImageLen(f.data(), f.size());
    const uint16_t mark = 0x5A5A;
    for (int quality : {0, 3, 5}) {
        Surface s(40, 10);
        s.Fill(mark);
        ASSERT_EQ(Vvl_plixImageToVScreen(im, Screen(s, quality)), 0);
        const int sx = quality == 3 ? 2 : 1, sy = quality ? 2 : 1;
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 40; ++x) {
                bool drawn = y % sy == 0 && y / sy < 4 && x < 16 * sx;
                uint16_t want = drawn ? YuvFrame16x4Pixel(x / sx, y / sy, false) : mark;
                ASSERT_EQ(s.Px(x, y), want) << "quality " << quality << " at " << x << "," << y;
            }
        EXPECT_TRUE(s.GuardsIntact());
    }
}

TEST_F(Yuv, ClippedAndRefusedDraws) {
    std::vector<uint8_t> f = YuvFrame16x4();
    XImage* im = Vvl_CreateXImageLen(f.data(), f.size());
    // Double size placed left of and above a small screen, as a centred movie on a small display.
    Surface s(20, 6, 2, 0);
    VScreen* scr = Screen(s, 3);
    Vvl_MoveXImage(im, 0, -6, -2);
    ASSERT_EQ(Vvl_plixImageToVScreen(im, scr), 0);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 20; ++x) {
            int sx = x + 6, sy = y + 2;  // on the unclipped double-size picture
            bool drawn = sy % 2 == 0 && sy / 2 < 4 && sx < 32;
            EXPECT_EQ(s.Px(x, y), drawn ? YuvFrame16x4Pixel(sx / 2, sy / 2, false) : 0) << x << "," << y;
        }
    EXPECT_TRUE(s.GuardsIntact());
    // Pictures the codec's storage cannot hold, widths off the 16-pixel grid, 8-bit screens.
    struct Case {
        int w, h, format, result;
    };
    const Case cases[] = {{320, 240, 2, 0}, {336, 240, 2, -6}, {320, 244, 2, -6}, {24, 4, 2, -6},
                          {16, 6, 2, -6},   {16, 4, 1, -6}};
    for (const Case& c : cases) {
        dk::VvlHeader hd;
        hd.codec = 17;
        hd.width = c.w;
        hd.height = c.h;
        hd.variant = 4;
        std::vector<uint8_t> g = dk::VvlWriteHeader(hd);
        g.resize(g.size() + 4 + size_t(c.w * c.h), 0);
        XImage* x = Vvl_CreateXImageLen(g.data(), g.size());
        ASSERT_NE(x, nullptr);
        Surface big(c.w, c.h, c.format == 2 ? 2 : 1);
        VScreen* b = Vvl_CreateVScreen(big.Base(), c.format, big.pitch, c.h);
        EXPECT_EQ(Vvl_plixImageToVScreen(x, b), c.result) << c.w << "x" << c.h;
        EXPECT_TRUE(big.GuardsIntact());
        Vvl_DestroyXImage(x);
        Vvl_DestroyVScreen(b);
    }
}

TEST_F(Yuv, EncoderRoundTrips) {
    std::vector<dk::VvlRgb> rgb;
    const int w = 48, h = 24;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) rgb.push_back({40 + 4 * x, 60 + 5 * y, 200 - 3 * x});
    dk::VvlYuvPlanes src = dk::VvlYuvFromRgb(w, h, rgb);
    for (bool is565 : {false, true}) {
        Vvl_Decompress16BitAs565(is565);
        for (int variant : {4, 3, 2}) {
            ASSERT_EQ(Vvl_InitVideo(3, 3), 0);
            dk::VvlYuvEncoder enc(is565);
            dk::VvlEncoded e = enc.Encode(src, variant);
            XImage* im = Vvl_CreateXImageLen(e.frame.data(), e.frame.size());
            Surface s(w, h);
            ASSERT_EQ(Vvl_plixImageToVScreen(im, Screen(s, 0)), 0);
            EXPECT_EQ(s.Crop(0, 0, w, h), e.decoded) << "variant " << variant;
            // Luma within a few steps of the source at 4 bits; coarser codes follow more slowly.
            long sum = 0;
            for (size_t i = 0; i < src.y.size(); ++i) sum += std::abs(int(src.y[i]) - int(enc.Decoded().y[i]));
            EXPECT_LE(double(sum) / double(src.y.size()), variant == 4 ? 1.5 : 6.0) << variant;
        }
    }
}

}  // namespace
