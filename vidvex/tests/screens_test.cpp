// Screen operations without an image: screen-to-screen copies, colour tables and erase.
#include <gtest/gtest.h>

#include "test_support.h"
#include "vvl_internal.h"

namespace {

using vvltest::Counting;
using vvltest::Surface;
using vvltest::VideoTest;

using Screens = VideoTest;

constexpr uint16_t kMarker = 0x5A5A;

uint16_t Avg(uint16_t a, uint16_t b) {
    int r = (((a >> 10) & 31) + ((b >> 10) & 31)) / 2;
    int g = (((a >> 5) & 31) + ((b >> 5) & 31)) / 2;
    int bl = ((a & 31) + (b & 31)) / 2;
    return uint16_t((r << 10) | (g << 5) | bl);
}

void FillPattern(Surface& s) {
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) s.Set(x, y, vvltest::P555((x * 3) % 32, (y * 7) % 32, (x + y) % 32));
}

TEST_F(Screens, CopyOntoTheSameMemoryDoesNothing) {
    Surface a(8, 4, 2, 0);
    FillPattern(a);
    std::vector<uint16_t> before = a.Crop(0, 0, 8, 4);
    VScreen* s = Vvl_CreateVScreen(a.Base(), 2, a.pitch, 4);
    VScreen* t = Vvl_CreateVScreen(a.Base(), 2, a.pitch, 4);
    Vvl_AlterVScreenView(t, 2, 1, 4, 2);
    EXPECT_EQ(Vvl_BlitVScreenToVScreen(s, t), 0);
    EXPECT_EQ(a.Crop(0, 0, 8, 4), before);
}

TEST_F(Screens, CopiesEveryRowButTheLastToTheViewOrigin) {
    Surface src(10, 4, 2, 0);  // pitch 20: 10 pixels a row
    FillPattern(src);
    Surface dst(16, 8);
    dst.Fill(kMarker);
    VScreen* s = Vvl_CreateVScreen(src.Base(), 2, src.pitch, 4);
    VScreen* t = Vvl_CreateVScreen(dst.Base(), 2, dst.pitch, 8);
    Vvl_AlterVScreenView(t, 3, 2, 12, 6);  // x stored as 2
    ASSERT_EQ(Vvl_BlitVScreenToVScreen(s, t), 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            bool copied = x >= 2 && x < 12 && y >= 2 && y < 5;
            EXPECT_EQ(dst.Px(x, y), copied ? src.Px(x - 2, y - 2) : kMarker) << x << "," << y;
        }
    EXPECT_TRUE(dst.GuardsIntact());
}

TEST_F(Screens, SmoothedCopyAveragesNeighbouringSourceRows) {
    Surface src(6, 4, 2, 0);
    FillPattern(src);
    Surface dst(12, 8);
    dst.Fill(kMarker);
    VScreen* s = Vvl_CreateVScreen(src.Base(), 2, src.pitch, 4);
    VScreen* t = Vvl_CreateVScreen(dst.Base(), 2, dst.pitch, 8);
    Vvl_SetVScreenBlitQuality(t, 5);
    ASSERT_EQ(Vvl_BlitVScreenToVScreen(s, t), 0);
    for (int r = 0; r < 3; ++r)
        for (int x = 0; x < 12; ++x) {
            EXPECT_EQ(dst.Px(x, 2 * r), src.Px(x / 2, r)) << x << "," << r;
            EXPECT_EQ(dst.Px(x, 2 * r + 1), Avg(src.Px(x / 2, r), src.Px(x / 2, r + 1))) << x << "," << r;
        }
    EXPECT_EQ(dst.Px(0, 6), kMarker);
}

TEST_F(Screens, CopiesStayInsideTheTargetsViewAndSurface) {
    Surface src(40, 30, 2, 0);
    FillPattern(src);
    for (int quality : {0, 3, 5}) {
        Surface dst(16, 10, 2, 0);  // no row padding: without a view the pitch is the width
        dst.Fill(kMarker);
        VScreen* s = Vvl_CreateVScreen(src.Base(), 2, src.pitch, 30);
        VScreen* t = Vvl_CreateVScreen(dst.Base(), 2, dst.pitch, 10);
        Vvl_SetVScreenBlitQuality(t, quality);
        Vvl_AlterVScreenView(t, 4, 2, 8, 6);
        ASSERT_EQ(Vvl_BlitVScreenToVScreen(s, t), 0);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 16; ++x) {
                bool inView = x >= 4 && x < 12 && y >= 2 && y < 8;
                if (!inView) {
                    EXPECT_EQ(dst.Px(x, y), kMarker) << quality << " " << x << "," << y;
                }
            }
        EXPECT_NE(dst.Px(4, 2), kMarker);
        EXPECT_TRUE(dst.GuardsIntact()) << quality;
        // A view larger than the surface is cut to it.
        Vvl_AlterVScreenView(t, 0, 0, 0, 0);
        ASSERT_EQ(Vvl_BlitVScreenToVScreen(s, t), 0);
        EXPECT_TRUE(dst.GuardsIntact()) << quality;
        Vvl_DestroyVScreen(s);
        Vvl_DestroyVScreen(t);
    }
}

TEST_F(Screens, CopiesThatCannotBeDrawn) {
    Surface a(8, 4), b(8, 4);
    VScreen* s16 = Vvl_CreateVScreen(a.Base(), 2, a.pitch, 4);
    VScreen* s8 = Vvl_CreateVScreen(b.Base(), 1, b.pitch, 4);
    struct Case {
        const char* what;
        VScreen *from, *to;
        int result;
    };
    const Case cases[] = {
        {"null source", nullptr, s16, -6},
        {"null target", s16, nullptr, -6},
        {"8-bit source", s8, s16, -6},
        {"8-bit target without tables", s16, s8, -6},
    };
    for (const Case& c : cases) EXPECT_EQ(Vvl_BlitVScreenToVScreen(c.from, c.to), c.result) << c.what;
    Vvl_SetVScreenBlitQuality(s8, 1);
    EXPECT_EQ(Vvl_BlitVScreenToVScreen(s16, s8), -6);
}

TEST_F(Screens, EraseClearsExactlyTheView) {
    struct Case {
        int format, bpp;
        int vx, vy, vw, vh;
        int clearedX, clearedW;  // in bytes
    };
    // The view (10, 2, 6, 3) of a 16-bit screen: 3 rows of 12 bytes from 2 * pitch + 20. A
    // width of 7 is stored as 6.
    const Case cases[] = {
        {2, 2, 10, 2, 6, 3, 20, 12}, {2, 2, 10, 2, 7, 3, 20, 12}, {1, 1, 4, 1, 10, 2, 4, 10},
        {3, 3, 2, 1, 4, 2, 6, 12},   {2, 2, 30, 0, 40, 2, 60, 4},
    };
    for (const Case& c : cases) {
        Surface s(32, 8, c.bpp, 0);
        std::fill(s.mem.begin() + Surface::kGuard, s.mem.end() - Surface::kGuard, 0x77);
        VScreen* v = Vvl_CreateVScreen(s.Base(), c.format, s.pitch, 8);
        Vvl_AlterVScreenView(v, c.vx, c.vy, c.vw, c.vh);
        Vvl_EraseVScreen(v);
        for (int y = 0; y < 8; ++y)
            for (int i = 0; i < 32 * c.bpp; ++i) {
                bool cleared = y >= c.vy && y < c.vy + c.vh && i >= c.clearedX && i < c.clearedX + c.clearedW;
                ASSERT_EQ(s.Row(y)[i], cleared ? 0 : 0x77) << "format " << c.format << " byte " << i << " row " << y;
            }
        EXPECT_TRUE(s.GuardsIntact());
        Vvl_DestroyVScreen(v);
    }
}

TEST_F(Screens, SharedAndCopiedColourTables) {
    std::vector<uint8_t> t1(32768, 1), t2(32768, 2);
    Surface src(4, 2, 2, 0), dst(8, 2, 1);
    src.Fill(vvltest::P555(1, 2, 3));
    VScreen* s = Vvl_CreateVScreen(src.Base(), 2, src.pitch, 2);
    VScreen* t = Vvl_CreateVScreen(dst.Base(), 1, dst.pitch, 2);
    const uint16_t idx = vvltest::P555(1, 2, 3);
    // Shared: used in place, so a change to the caller's table shows at the next draw.
    ASSERT_EQ(Vvl_SetVScreenCLUTs(t, t1.data(), t2.data(), 1), 0);
    ASSERT_EQ(Vvl_BlitVScreenToVScreen(s, t), 0);
    EXPECT_EQ(dst.Px8(0, 0), 1);
    EXPECT_EQ(dst.Px8(1, 0), 2);
    t1[idx] = 9;
    ASSERT_EQ(Vvl_BlitVScreenToVScreen(s, t), 0);
    EXPECT_EQ(dst.Px8(0, 0), 9);
    // Copied: the screen's own, independent of the caller's.
    ASSERT_EQ(Vvl_SetVScreenCLUTs(t, t1.data(), t2.data(), 0), 0);
    t1[idx] = 5;
    ASSERT_EQ(Vvl_BlitVScreenToVScreen(s, t), 0);
    EXPECT_EQ(dst.Px8(0, 0), 9);
    EXPECT_EQ(Counting::live.size(), 3u);  // two pools and the copy
    // A second copy replaces the first; a failed copy keeps the tables the screen had.
    ASSERT_EQ(Vvl_SetVScreenCLUTs(t, t1.data(), t2.data(), 0), 0);
    EXPECT_EQ(Counting::live.size(), 3u);
    Counting::failAbove = 1000;
    EXPECT_EQ(Vvl_SetVScreenCLUTs(t, t2.data(), t2.data(), 0), -1);
    Counting::failAbove = SIZE_MAX;
    ASSERT_EQ(Vvl_BlitVScreenToVScreen(s, t), 0);
    EXPECT_EQ(dst.Px8(0, 0), 5);
    // Reset frees the copy once; a second reset, or shared tables after it, free nothing.
    Vvl_ResetVScreenCLUTs(t);
    EXPECT_EQ(Counting::live.size(), 2u);
    Vvl_ResetVScreenCLUTs(t);
    ASSERT_EQ(Vvl_SetVScreenCLUTs(t, t1.data(), t2.data(), 1), 0);
    Vvl_ResetVScreenCLUTs(t);
    EXPECT_EQ(Counting::live.size(), 2u);
    EXPECT_FALSE(Counting::foreignFree);
    // Shared tables after a copy give the copy back.
    ASSERT_EQ(Vvl_SetVScreenCLUTs(t, t1.data(), t2.data(), 0), 0);
    ASSERT_EQ(Vvl_SetVScreenCLUTs(t, t1.data(), t2.data(), 1), 0);
    EXPECT_EQ(Counting::live.size(), 2u);
}

}  // namespace
