// The row codec: hand-written frames decode to the pictures worked out by hand, and frames of the
// kit's encoder decode bit for bit to the encoder's own reconstruction (key, inter and partial
// frames, every allowed codec type, delta set and escape source, 555 and 565).
#include <gtest/gtest.h>

#include <cstdlib>

#include "datakit/vidvex_rowenc.h"
#include "frames.h"
#include "test_support.h"
#include "vvl_internal.h"

namespace {

using vvltest::Surface;
using vvltest::VideoTest;

using RowCodec = VideoTest;

VScreen* ScreenOver(Surface& s, int quality = 0) {
    VScreen* v = Vvl_CreateVScreen(s.Base(), s.bpp == 2 ? 2 : 1, s.pitch, s.height);
    Vvl_SetVScreenBlitQuality(v, quality);
    return v;
}

// Mean and largest per-channel distance of two pictures, in 5-bit channel steps.
struct Distance {
    double mean = 0;
    int worst = 0;
};
Distance Compare(const std::vector<uint16_t>& a, const std::vector<uint16_t>& b, bool is565) {
    Distance d;
    long sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        int diff = dk::VvlChannelDiff(a[i], b[i], is565);
        sum += diff;
        d.worst = std::max(d.worst, diff);
    }
    d.mean = a.empty() ? 0 : double(sum) / double(a.size());
    return d;
}

TEST_F(RowCodec, HandWrittenKeyFrame) {
    std::vector<uint8_t> f = vvltest::KeyFrame4x4();
    XImage* im = Vvl_CreateXImageLen(f.data(), f.size());
    ASSERT_NE(im, nullptr);
    Surface s(4, 4);
    ASSERT_EQ(Vvl_plixImageToVScreen(im, ScreenOver(s)), 0);
    EXPECT_EQ(s.Crop(0, 0, 4, 4), vvltest::KeyFrame4x4Pixels());
    EXPECT_TRUE(s.GuardsIntact());
    // The decoder reads exactly the bytes of the frame: one byte less is a bad frame.
    ASSERT_EQ(Vvl_AlterXImageDataLen(im, f.data(), f.size() - 1), 0);
    EXPECT_EQ(Vvl_plixImageToVScreen(im, ScreenOver(s)), -7);
}

TEST_F(RowCodec, HandWrittenPartialFrameComposesOverTheScreen) {
    std::vector<uint8_t> f = vvltest::PartialFrame4x4();
    XImage* im = Vvl_CreateXImageLen(f.data(), f.size());
    ASSERT_NE(im, nullptr);
    EXPECT_EQ(Vvl_GetXImageType(im), 2);
    int x, y, w, h;
    Vvl_GetXImageXYWH(im, &x, &y, &w, &h);
    EXPECT_EQ(w, 8);  // the whole picture
    EXPECT_EQ(h, 6);
    Vvl_GetXImageDirtyXYWH(im, &x, &y, &w, &h);
    EXPECT_EQ(x, 2);
    EXPECT_EQ(y, 1);
    EXPECT_EQ(w, 4);
    Surface s(8, 6);
    const uint16_t grey = vvltest::P555(20, 20, 20);
    s.Fill(grey);
    ASSERT_EQ(Vvl_plixImageToVScreen(im, ScreenOver(s)), 0);
    EXPECT_EQ(s.Crop(2, 1, 4, 4), vvltest::PartialFrame4x4Pixels());
    for (int yy = 0; yy < 6; ++yy)
        for (int xx = 0; xx < 8; ++xx)
            if (xx < 2 || xx >= 6 || yy < 1 || yy >= 5) {
                EXPECT_EQ(s.Px(xx, yy), grey) << xx << "," << yy;
            }
    EXPECT_TRUE(s.GuardsIntact());
}

TEST_F(RowCodec, HandWrittenInterFrameKeepsItsUnchangedBlock) {
    std::vector<uint8_t> key = vvltest::InterStreamKey8x4(), next = vvltest::InterStreamNext8x4();
    XImage* im = Vvl_CreateXImageLen(key.data(), key.size());
    ASSERT_NE(im, nullptr);
    EXPECT_EQ(Vvl_GetXImageType(im), 1);
    Surface s(8, 4);
    VScreen* scr = ScreenOver(s);
    ASSERT_EQ(Vvl_plixImageToVScreen(im, scr), 0);
    for (int y = 0; y < 4; ++y) EXPECT_EQ(s.Crop(0, y, 8, 1), vvltest::InterStreamRow(false)) << y;
    ASSERT_EQ(Vvl_AlterXImageDataLen(im, next.data(), next.size()), 0);
    EXPECT_EQ(Vvl_IsXImageKeyFrame(im), 0);
    // Paint the unchanged block on the screen: drawn in place, only the changed block is written.
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) s.Set(x, y, 0x7FFF);
    ASSERT_EQ(Vvl_plixImageToVScreen(im, scr), 0);
    std::vector<uint16_t> row = vvltest::InterStreamRow(true);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(s.Px(x, y), x < 4 ? 0x7FFF : row[size_t(x)]) << x << "," << y;
    std::vector<uint16_t> buffer(32);
    std::memcpy(buffer.data(), Vvl_GetXImageFrameBuffer(im), 64);
    for (int y = 0; y < 4; ++y) EXPECT_EQ(std::vector<uint16_t>(buffer.begin() + 8 * y, buffer.begin() + 8 * y + 8), row);
    EXPECT_TRUE(s.GuardsIntact());
}

struct RoundTrip {
    int codec, deltaSet, escape, variant;
    bool is565;
    int w, h;
};

TEST_F(RowCodec, KeyFramesRoundTripBitExact) {
    const RoundTrip cases[] = {
        {2, 0, 1, 2, false, 32, 16}, {2, 0, 2, 2, false, 32, 16}, {2, 0, 3, 3, false, 32, 16},
        {1, 0, 2, 1, false, 32, 16}, {3, 1, 1, 2, false, 24, 12}, {4, 1, 3, 2, true, 24, 12},
        {6, 2, 2, 3, false, 40, 8},  {8, 3, 3, 2, true, 40, 8},   {2, 2, 1, 2, true, 48, 20},
        {2, 0, 2, 2, false, 18, 6},  {4, 0, 2, 2, false, 7, 5},   {2, 0, 2, 2, false, 400, 8},
    };
    for (const RoundTrip& c : cases) {
        dk::VvlRowParams p;
        p.codec = c.codec;
        p.deltaSet = c.deltaSet;
        p.escape = c.escape;
        p.variant = c.variant;
        p.is565 = c.is565;
        Vvl_Decompress16BitAs565(c.is565);
        std::vector<uint16_t> src = vvltest::Picture(c.w, c.h, c.is565);
        dk::VvlEncoded e = dk::VvlEncodeRowFrame(p, c.w, c.h, src, nullptr);
        ASSERT_FALSE(e.frame.empty()) << c.codec;
        XImage* im = Vvl_CreateXImageLen(e.frame.data(), e.frame.size());
        ASSERT_NE(im, nullptr) << c.codec;
        Surface s(c.w, c.h);
        VScreen* scr = ScreenOver(s);
        ASSERT_EQ(Vvl_plixImageToVScreen(im, scr), 0) << c.codec;
        EXPECT_EQ(s.Crop(0, 0, c.w, c.h), e.decoded) << "codec " << c.codec << " set " << c.deltaSet << " width " << c.w;
        EXPECT_TRUE(s.GuardsIntact());
        // The columns past the last whole block are black.
        for (int x = (c.w / 4) * 4; x < c.w; ++x) EXPECT_EQ(s.Px(x, 0), 0) << x;
        // Close to the source where whole blocks cover it (a mean of 2 of 32 steps; a misread stream
        // lands far off).
        if (c.deltaSet <= 1 && c.w % 4 == 0) {
            Distance d = Compare(s.Crop(0, 0, c.w, c.h), src, c.is565);
            EXPECT_LE(d.mean, 2.0) << "codec " << c.codec;
            EXPECT_LE(d.worst, 12) << "codec " << c.codec;
        }
        Vvl_DestroyXImage(im);
        Vvl_DestroyVScreen(scr);
    }
}

// A moving square over a still background: key frame, then inter frames whose unchanged blocks
// keep the frame buffer's pixels.
TEST_F(RowCodec, InterFramesRoundTripBitExact) {
    for (bool is565 : {false, true}) {
        Vvl_Decompress16BitAs565(is565);
        const int w = 48, h = 24;
        dk::VvlRowParams p;
        p.interStream = true;
        p.is565 = is565;
        p.skipTolerance = 1;
        std::vector<uint16_t> src = vvltest::Picture(w, h, is565, 0);
        dk::VvlEncoded key = dk::VvlEncodeRowFrame(p, w, h, src, nullptr);
        XImage* im = Vvl_CreateXImageLen(key.frame.data(), key.frame.size());
        ASSERT_NE(im, nullptr);
        Surface s(w, h);
        VScreen* scr = ScreenOver(s);
        ASSERT_EQ(Vvl_plixImageToVScreen(im, scr), 0);
        ASSERT_EQ(s.Crop(0, 0, w, h), key.decoded);
        std::vector<uint16_t> previous = key.decoded;
        p.key = false;
        std::vector<std::vector<uint8_t>> frames;  // kept alive while the image refers to them
        for (int shift = 2; shift <= 8; shift += 2) {
            std::vector<uint16_t> next = vvltest::Picture(w, h, is565, shift);
            dk::VvlEncoded e = dk::VvlEncodeRowFrame(p, w, h, next, &previous);
            ASSERT_FALSE(e.frame.empty());
            int still = 0;
            for (uint8_t u : e.unchanged) still += u;
            EXPECT_GT(still, 0);
            EXPECT_LT(still, int(e.unchanged.size()));
            frames.push_back(e.frame);
            ASSERT_EQ(Vvl_AlterXImageDataLen(im, frames.back().data(), frames.back().size()), 0);
            EXPECT_EQ(Vvl_IsXImageKeyFrame(im), 0);
            ASSERT_EQ(Vvl_plixImageToVScreen(im, scr), 0);
            EXPECT_EQ(s.Crop(0, 0, w, h), e.decoded) << "shift " << shift << " 565 " << is565;
            EXPECT_EQ(std::memcmp(Vvl_GetXImageFrameBuffer(im), e.decoded.data(), e.decoded.size() * 2), 0);
            Distance d = Compare(e.decoded, next, is565);
            EXPECT_LE(d.mean, 2.0);
            previous = e.decoded;
        }
        Vvl_DestroyXImage(im);
        Vvl_DestroyVScreen(scr);
    }
}

TEST_F(RowCodec, InterFrameWithEveryBlockUnchangedReadsNoCodes) {
    const int w = 32, h = 8;
    dk::VvlRowParams p;
    p.interStream = true;
    vvltest::Frame key = vvltest::EncodeGradient(w, h, true, true);
    XImage* im = Vvl_CreateXImageLen(key.bytes.data(), key.bytes.size());
    ASSERT_NE(im, nullptr);
    ASSERT_EQ(Vvl_plixImageToVScreen(im, nullptr), 0);
    p.key = false;
    dk::VvlEncoded e = dk::VvlEncodeRowFrame(p, w, h, key.decoded, &key.decoded);
    // Header, two map rows of ones and the seed byte: nothing else is read.
    ASSERT_EQ(e.frame.size(), 24u + 2 * 1 + 1);
    EXPECT_EQ(e.frame[24], 0xFF);
    ASSERT_EQ(Vvl_AlterXImageDataLen(im, e.frame.data(), e.frame.size()), 0);
    ASSERT_EQ(Vvl_plixImageToVScreen(im, nullptr), 0);
    EXPECT_EQ(std::memcmp(Vvl_GetXImageFrameBuffer(im), key.decoded.data(), key.decoded.size() * 2), 0);
}

TEST_F(RowCodec, PartialFramesWithEveryMapCode) {
    const int w = 16, h = 8, fullW = 40, fullH = 20, px = 6, py = 5;
    // Whatever the screen shows under the region: a key frame of the whole picture.
    vvltest::Frame key = vvltest::EncodeGradient(fullW, fullH, false, true);
    XImage* base = Vvl_CreateXImageLen(key.bytes.data(), key.bytes.size());
    Surface s(fullW, fullH);
    VScreen* scr = ScreenOver(s);
    ASSERT_EQ(Vvl_plixImageToVScreen(base, scr), 0);
    std::vector<uint16_t> under = s.Crop(px, py, w, h);
    std::vector<uint16_t> src = vvltest::Picture(w, h, false, 3);
    // Blocks: 4 per row of blocks, 2 rows of blocks: every code, in two orders.
    std::vector<uint8_t> codes = {0, 1, 2, 3, 3, 2, 1, 0};
    dk::VvlRowParams p;
    dk::VvlEncoded e = dk::VvlEncodeRowPartial(p, px, py, w, h, fullW, fullH, src, under, codes);
    ASSERT_FALSE(e.frame.empty());
    XImage* part = Vvl_CreateXImageLen(e.frame.data(), e.frame.size());
    ASSERT_NE(part, nullptr);
    std::vector<uint16_t> before = s.Crop(0, 0, fullW, fullH);
    ASSERT_EQ(Vvl_plixImageToVScreen(part, scr), 0);
    EXPECT_EQ(s.Crop(px, py, w, h), e.decoded);
    // Skipped blocks (code 0) keep the screen; outside the region nothing changes.
    for (int y = 0; y < fullH; ++y)
        for (int x = 0; x < fullW; ++x) {
            bool inside = x >= px && x < px + w && y >= py && y < py + h;
            bool skipped = inside && codes[size_t((y - py) / 4 * 4 + (x - px) / 4)] == 0;
            if (!inside || skipped) {
                EXPECT_EQ(s.Px(x, y), before[size_t(y * fullW + x)]) << x << "," << y;
            }
        }
    // Codes 2 and 3 compose in the same way.
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(s.Px(px + 8 + x, py + y), e.decoded[size_t(y * w + 8 + x)]);
    EXPECT_TRUE(s.GuardsIntact());
    // The encoder's own choice of codes: changed blocks only.
    dk::VvlEncoded auto_ = dk::VvlEncodeRowPartial(p, px, py, w, h, fullW, fullH, src, under, {});
    ASSERT_EQ(Vvl_AlterXImageDataLen(part, auto_.frame.data(), auto_.frame.size()), 0);
    Surface s2(fullW, fullH);
    VScreen* scr2 = ScreenOver(s2);
    ASSERT_EQ(Vvl_plixImageToVScreen(base, scr2), 0);
    ASSERT_EQ(Vvl_plixImageToVScreen(part, scr2), 0);
    EXPECT_EQ(s2.Crop(px, py, w, h), auto_.decoded);
    EXPECT_LE(Compare(auto_.decoded, src, false).mean, 2.0);
}

TEST_F(RowCodec, PartialFramesNeedA16BitScreen) {
    std::vector<uint8_t> f = vvltest::PartialFrame4x4();
    XImage* im = Vvl_CreateXImageLen(f.data(), f.size());
    Surface s8(8, 6, 1);
    VScreen* scr = Vvl_CreateVScreen(s8.Base(), 1, s8.pitch, 6);
    EXPECT_EQ(Vvl_plixImageToVScreen(im, scr), -6);
    EXPECT_EQ(Vvl_plixImageToVScreen(im, nullptr), -6);
    EXPECT_TRUE(s8.GuardsIntact());
}

TEST_F(RowCodec, NewFramesMustFitTheImagesBuffers) {
    vvltest::Frame small = vvltest::EncodeGradient(16, 8, true, true);
    XImage* im = Vvl_CreateXImageLen(small.bytes.data(), small.bytes.size());
    ASSERT_NE(im, nullptr);
    struct Next {
        int w, h;
        bool inter;
        int result;
    };
    // The frame buffer holds 9 rows of 16 pixels.
    const Next cases[] = {{16, 8, true, 0}, {16, 12, true, -5}, {32, 8, true, -5}, {32, 8, false, 0},
                          {72, 4, false, 0}, {73, 4, false, -5}};
    for (const Next& c : cases) {
        vvltest::Frame f = vvltest::EncodeGradient(c.w, c.h, c.inter, true);
        EXPECT_EQ(Vvl_AlterXImageDataLen(im, f.bytes.data(), f.bytes.size()), c.result) << c.w << "x" << c.h;
        if (c.result == 0) {
            Surface s(c.w, c.h);
            EXPECT_EQ(Vvl_plixImageToVScreen(im, ScreenOver(s)), 0);
            EXPECT_EQ(s.Crop(0, 0, c.w, c.h), f.decoded);
        } else {
            // The refused frame is not kept.
            EXPECT_EQ(Vvl_plixImageToVScreen(im, nullptr), 1);
        }
    }
    // A narrow intra image holds the shared row buffer of 1280 bytes: 320 pixels at most.
    vvltest::Frame narrow = vvltest::EncodeGradient(320, 4, false, true);
    XImage* n = Vvl_CreateXImageLen(narrow.bytes.data(), narrow.bytes.size());
    vvltest::Frame wide = vvltest::EncodeGradient(324, 4, false, true);
    EXPECT_EQ(Vvl_AlterXImageDataLen(n, wide.bytes.data(), wide.bytes.size()), -5);
}

}  // namespace
