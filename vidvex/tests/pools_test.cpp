// Pools, handles and the exports that create, alter and query screens and images.
#include <gtest/gtest.h>

#include "frames.h"
#include "test_support.h"
#include "vvl_internal.h"

namespace {

using vvltest::Counting;
using vvltest::VideoTest;

using Pools = VideoTest;

TEST_F(Pools, FullPoolGivesNullAndAFreedSlotIsReusedWithItsRectangles) {
    int dummy[4];
    VScreen* s[3];
    for (auto& h : s) ASSERT_NE(h = Vvl_CreateVScreen(dummy, 2, 64, 10), nullptr);
    EXPECT_EQ(Vvl_CreateVScreen(dummy, 2, 64, 10), nullptr);
    ASSERT_EQ(Vvl_AlterVScreenView(s[0], 7, 3, 101, 50), 0);
    ASSERT_EQ(Vvl_AlterVScreenClip(s[0], 5, 1, 9, 2), 0);
    Vvl_DestroyVScreen(s[0]);
    EXPECT_EQ(Vvl_GetVScreenAddr(s[0]), nullptr);
    VScreen* again = Vvl_CreateVScreen(dummy, 2, 64, 10);
    EXPECT_EQ(again, s[0]);
    int x, y, w, h;
    ASSERT_EQ(Vvl_GetVScreenView(again, &x, &y, &w, &h), 0);
    EXPECT_EQ(x, 6);  // stored even
    EXPECT_EQ(y, 3);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 50);
    EXPECT_EQ(again->clipX, 4);
    EXPECT_EQ(again->clipW, 8);
}

TEST_F(Pools, KeepValuesLeaveFieldsAlone) {
    int a[2], b[2];
    VScreen* s = Vvl_CreateVScreen(a, 2, 64, 10);
    ASSERT_EQ(Vvl_AlterVScreen(s, nullptr, 0, -1, -1), 0);
    EXPECT_EQ(Vvl_GetVScreenAddr(s), a);
    EXPECT_EQ(s->format, 2);
    EXPECT_EQ(s->pitch, 64);
    EXPECT_EQ(s->height, 10);
    ASSERT_EQ(Vvl_AlterVScreen(s, b, 1, 32, -1), 0);
    EXPECT_EQ(Vvl_GetVScreenAddr(s), b);
    EXPECT_EQ(s->format, 1);
    EXPECT_EQ(s->pitch, 32);
    EXPECT_EQ(s->height, 10);
    Vvl_AlterVScreenView(s, 10, 20, 30, 40);
    Vvl_AlterVScreenView(s, -1, 5, -3, -1);
    int x, y, w, h;
    Vvl_GetVScreenView(s, &x, &y, &w, &h);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 5);
    EXPECT_EQ(w, 30);
    EXPECT_EQ(h, 40);
    EXPECT_EQ(Vvl_SetVScreenBlitQuality(s, 5), 0);
    EXPECT_EQ(Vvl_SetVScreenBlitQuality(s, 3), 5);
    EXPECT_EQ(Vvl_GetVScreenBlitQuality(s), 3);
}

TEST_F(Pools, NullFreeAndStrayHandlesAreRefused) {
    int mem[2];
    VScreen* s = Vvl_CreateVScreen(mem, 2, 8, 1);
    XImage* im = Vvl_CreateXImage(nullptr);
    ASSERT_NE(im, nullptr);
    VScreen* stray = reinterpret_cast<VScreen*>(reinterpret_cast<char*>(s) + 4);
    struct Case {
        const char* what;
        int got, want;
    };
    Vvl_DestroyXImage(im);
    const Case cases[] = {
        {"alter null screen", Vvl_AlterVScreen(nullptr, mem, 2, 8, 1), -2},
        {"alter stray screen", Vvl_AlterVScreen(stray, mem, 2, 8, 1), -1},
        {"view null", Vvl_AlterVScreenView(nullptr, 0, 0, 0, 0), -2},
        {"quality null", Vvl_SetVScreenBlitQuality(nullptr, 0), -2},
        {"get quality null", Vvl_GetVScreenBlitQuality(nullptr), 0},
        {"type null", Vvl_GetXImageType(nullptr), -2},
        {"type free", Vvl_GetXImageType(im), -1},
        {"move free", Vvl_MoveXImage(im, 0, 1, 1), -1},
        {"key null", Vvl_IsXImageKeyFrame(nullptr), -2},
        {"dirty null (reversed)", Vvl_GetXImageDirtyXYWH(nullptr, nullptr, nullptr, nullptr, nullptr), -1},
        {"dirty free (reversed)", Vvl_GetXImageDirtyXYWH(im, nullptr, nullptr, nullptr, nullptr), -2},
        {"blit all null", Vvl_SetXImageBlitAll(nullptr), -2},
        {"draw null", Vvl_plixImageToVScreen(nullptr, s), -2},
        {"draw free", Vvl_plixImageToVScreen(im, s), -1},
        {"alter data free", Vvl_AlterXImageData(im, nullptr), -1},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
    Vvl_DestroyXImage(nullptr);
    Vvl_DestroyVScreen(nullptr);
    Vvl_DestroyVScreen(stray);
    EXPECT_EQ(Vvl_GetVScreenAddr(s), mem);
}

TEST_F(Pools, HandlesOfAnEndedLibraryAreRefused) {
    int mem[2];
    VScreen* s = Vvl_CreateVScreen(mem, 2, 8, 1);
    XImage* im = Vvl_CreateXImage(nullptr);
    Vvl_ExitVideo();
    EXPECT_EQ(Vvl_AlterVScreen(s, mem, 2, 8, 1), -1);
    EXPECT_EQ(Vvl_MoveXImage(im, 0, 0, 0), -1);
    EXPECT_EQ(Vvl_GetVScreenAddr(s), nullptr);
    Vvl_DestroyXImage(im);
    ASSERT_EQ(Vvl_InitVideo(3, 3), 0);
}

TEST_F(Pools, ImageWithoutDataAndBadNewData) {
    XImage* im = Vvl_CreateXImage(nullptr);
    ASSERT_NE(im, nullptr);
    EXPECT_EQ(Vvl_GetXImageType(im), 0);
    std::vector<uint8_t> bad = vvltest::KeyFrame4x4();
    bad[0] = 0x0F;
    EXPECT_EQ(Vvl_AlterXImageData(im, bad.data()), -5);
    // An image made without data has no buffer: a frame cannot be taken into it.
    std::vector<uint8_t> good = vvltest::KeyFrame4x4();
    EXPECT_EQ(Vvl_AlterXImageData(im, good.data()), -5);
    EXPECT_EQ(Vvl_AlterXImageData(im, nullptr), 0);
    EXPECT_EQ(Vvl_plixImageToVScreen(im, nullptr), 1);
}

TEST_F(Pools, NarrowIntraImagesShareTheRowBuffer) {
    std::vector<uint8_t> f = vvltest::KeyFrame4x4();
    XImage* a = Vvl_CreateXImage(f.data());
    XImage* b = Vvl_CreateXImage(f.data());
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->buffer, b->buffer);
    EXPECT_EQ(a->bufferSize, 1280);
    int before = Counting::allocations;
    Vvl_DestroyXImage(a);
    XImage* c = Vvl_CreateXImage(f.data());
    EXPECT_EQ(c->buffer, b->buffer);
    EXPECT_EQ(Counting::allocations, before);  // the shared buffer is never allocated or freed
}

TEST_F(Pools, QueriesOfAParsedImage) {
    std::vector<uint8_t> f = vvltest::KeyFrame4x4();
    XImage* im = Vvl_CreateXImage(f.data());
    ASSERT_NE(im, nullptr);
    EXPECT_EQ(Vvl_GetXImageColorDepth(im), 2);
    EXPECT_EQ(Vvl_IsXImageKeyFrame(im), 1);
    Vvl_MoveXImage(im, 0, 5, 6);
    Vvl_MoveXImage(im, 1, -2, 1);
    int x, y, w, h;
    ASSERT_EQ(Vvl_GetXImageXYWH(im, &x, &y, &w, &h), 0);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 7);
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 4);
    EXPECT_EQ(Vvl_AlterXImageSpriteModes(im, 1, 0), 0);
    EXPECT_EQ(im->spriteA, 1);
    EXPECT_EQ(Vvl_GetXImageFrameBuffer(im), im->buffer + 8);
    // Only images with a frame buffer give a screen over it.
    EXPECT_EQ(Vvl_DeriveVScreenFromXImage(im), nullptr);
}

TEST_F(Pools, InterFrameKeyBitIsReportedAsStored) {
    vvltest::Frame f = vvltest::EncodeGradient(16, 8, /*inter*/ true, /*key*/ true);
    XImage* im = Vvl_CreateXImage(f.bytes.data());
    ASSERT_NE(im, nullptr);
    EXPECT_EQ(Vvl_IsXImageKeyFrame(im), 16);
    EXPECT_EQ(Vvl_GetXImageType(im), 1);
    EXPECT_EQ(im->keptRows, 8);
    EXPECT_EQ(im->bufferSize, 9 * 16 * 2);
}

TEST_F(Pools, Decompress565ReturnsThePreviousSetting) {
    EXPECT_EQ(Vvl_Decompress16BitAs565(1), 0);
    EXPECT_EQ(Vvl_Decompress16BitAs565(1), 1);
    EXPECT_EQ(Vvl_Decompress16BitAs565(0), 1);
}

TEST_F(Pools, GenericImagesAndDerivedScreens) {
    XImage* im = Vvl_CreateGenericXImage(nullptr, 6, 10, 1);
    ASSERT_NE(im, nullptr);
    EXPECT_EQ(Vvl_GetXImageType(im), 1);
    EXPECT_EQ(im->bufferSize, 7 * 10 * 2);
    VScreen* s = Vvl_DeriveVScreenFromXImage(im);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Vvl_GetVScreenAddr(s), im->buffer + 20);
    EXPECT_EQ(s->pitch, 20);
    EXPECT_EQ(s->height, 6);
    // Drawing the image onto its own screen only decodes; there is nothing to decode.
    EXPECT_EQ(Vvl_plixImageToVScreen(im, s), 1);
    XImage* plane = Vvl_AlterXImage(nullptr, nullptr, 0, 3, 8, 4);
    ASSERT_NE(plane, nullptr);
    EXPECT_EQ(Vvl_GetXImageColorDepth(plane), 3);
    EXPECT_EQ(plane->chromaEntries, 4 * 3);
    EXPECT_EQ(plane->buffer, plane->planeBlock + 4 * 12);
    EXPECT_EQ(Vvl_GetXImageFrameBuffer(plane), nullptr);
}

TEST(PoolLifetime, EveryBlockGoesBackAtExitAndARestartLeaksNothing) {
    Counting::Install();
    ASSERT_EQ(Vvl_InitVideo(2, 2), 0);
    std::vector<uint8_t> wide = vvltest::EncodeGradient(400, 4, false, true).bytes;  // own row buffer
    vvltest::Frame inter = vvltest::EncodeGradient(16, 8, true, true);
    ASSERT_NE(Vvl_CreateXImage(wide.data()), nullptr);
    ASSERT_NE(Vvl_CreateXImage(inter.bytes.data()), nullptr);
    std::vector<uint8_t> t1(32768, 1), t2(32768, 2);
    int mem[4];
    VScreen* s = Vvl_CreateVScreen(mem, 1, 8, 1);
    ASSERT_EQ(Vvl_SetVScreenCLUTs(s, t1.data(), t2.data(), 0), 0);
    Vvl_DestroyVScreen(s);  // the copied tables stay with the slot
    EXPECT_FALSE(Counting::live.empty());
    // A second start without an end releases the first pools.
    ASSERT_EQ(Vvl_InitVideo(1, 1), 0);
    Vvl_ExitVideo();
    EXPECT_TRUE(Counting::live.empty());
    EXPECT_FALSE(Counting::foreignFree);
}

TEST(PoolLifetime, OutOfMemoryAtInit) {
    Counting::Install();
    Counting::failAbove = sizeof(VScreen) * 4;
    EXPECT_EQ(Vvl_InitVideo(1, 100), -4);
    EXPECT_TRUE(Counting::live.empty());
    Counting::failAbove = SIZE_MAX;
}

}  // namespace
