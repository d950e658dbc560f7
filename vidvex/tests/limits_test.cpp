// The largest picture: every export that sizes a buffer from a header (or from sizes the caller
// gives) refuses a picture above vvlfmt::kMaxPictureWidth x kMaxPictureHeight, and the
// length-taking creation refuses a frame too short for the picture it states, before anything
// is allocated. The allocator hooks count what the library asks for.
#include <gtest/gtest.h>

#include <random>

#include "datakit/vidvex_frame.h"
#include "frames.h"
#include "test_support.h"
#include "vidvex_format.h"

namespace {

using vvltest::Counting;
using vvltest::Surface;

using PictureLimit = vvltest::VideoTest;

// No buffer of an image may be larger than four bytes a pixel of the largest picture with one
// more row (the guard row of a frame buffer).
constexpr size_t kLargestBuffer = 4 * size_t{vvlfmt::kMaxPictureWidth} * (vvlfmt::kMaxPictureHeight + 1);

// A 40-byte frame: a 24-byte header and 16 payload bytes.
std::vector<uint8_t> Frame40(int codec, int width, int height, int flags, int partW = 0, int partH = 0) {
    dk::VvlHeader h;
    h.codec = codec;
    h.escape = 2;
    h.variant = codec == 17 ? 4 : 2;
    h.width = width;
    h.height = height;
    h.flags = flags;
    h.partW = partW;
    h.partH = partH;
    std::vector<uint8_t> f = dk::VvlWriteHeader(h);
    f.resize(40, 0x11);
    return f;
}

struct Hostile {
    const char* what;
    std::vector<uint8_t> frame;
    bool overLimit;  // false: inside the limit, but more than 40 bytes can hold
};

std::vector<Hostile> HostileFrames() {
    return {
        {"key frame 27454 x 29968", Frame40(2, 27454, 29968, 0), true},
        {"inter key frame 30000 x 30000", Frame40(2, 30000, 30000, 0x08 | 0x10), true},
        {"inter frame 65535 x 65535", Frame40(4, 65535, 65535, 0x08), true},
        {"partial frame of 30000 x 30000", Frame40(2, 64, 64, 0x20, 30000, 30000), true},
        {"partial frame of a 60000 x 60000 picture", Frame40(2, 60000, 60000, 0x20, 16, 16), true},
        {"YUV frame 40000 x 40000", Frame40(17, 40000, 40000, 0), true},
        {"one column too wide", Frame40(2, vvlfmt::kMaxPictureWidth + 1, 16, 0), true},
        {"one row too high", Frame40(2, 16, vvlfmt::kMaxPictureHeight + 1, 0), true},
        {"largest key frame in 40 bytes", Frame40(2, 4096, 4096, 0), false},
        {"largest inter frame in 40 bytes", Frame40(2, 4096, 4096, 0x08), false},
        {"largest partial frame in 40 bytes", Frame40(2, 4096, 4096, 0x20, 4096, 4096), false},
    };
}

TEST_F(PictureLimit, EveryExportRefusesHugeHeadersBeforeAllocating) {
    std::vector<uint8_t> small = vvltest::KeyFrame4x4();
    for (const Hostile& c : HostileFrames()) {
        // The length-taking exports refuse both kinds.
        Counting::largest = 0;
        EXPECT_EQ(Vvl_CreateXImageLen(c.frame.data(), c.frame.size()), nullptr) << c.what;
        XImage* im = Vvl_CreateXImageLen(small.data(), small.size());
        ASSERT_NE(im, nullptr);
        Counting::largest = 0;
        EXPECT_EQ(Vvl_AlterXImageDataLen(im, c.frame.data(), c.frame.size()), -5) << c.what;
        EXPECT_EQ(Vvl_AlterXImageData(im, c.frame.data()), -5) << c.what;
        EXPECT_EQ(Counting::largest, 0u) << c.what;
        Vvl_DestroyXImage(im);

        // The pointer-only exports trust the caller for the length, never for the size.
        Counting::largest = 0;
        XImage* trusted = Vvl_CreateXImage(c.frame.data());
        EXPECT_EQ(trusted == nullptr, c.overLimit) << c.what;
        Vvl_DestroyXImage(trusted);
        XImage* altered = Vvl_AlterXImage(nullptr, c.frame.data(), 0, 2, 0, 0);
        EXPECT_EQ(altered == nullptr, c.overLimit) << c.what;
        Vvl_DestroyXImage(altered);
        if (c.overLimit) {
            EXPECT_EQ(Counting::largest, 0u) << c.what;
        } else {
            EXPECT_LE(Counting::largest, kLargestBuffer) << c.what;
        }
    }
}

TEST_F(PictureLimit, SizesGivenByTheCallerAreHeldToTheSameLimit) {
    struct Case {
        int width, height, mode, depth;
        bool made;
    };
    const Case cases[] = {
        {30000, 30000, 1, 2, false},
        {30000, 30000, 0, 3, false},
        {vvlfmt::kMaxPictureWidth + 1, 4, 1, 2, false},
        {4, vvlfmt::kMaxPictureHeight + 1, 1, 3, false},
        {vvlfmt::kMaxPictureWidth, vvlfmt::kMaxPictureHeight, 1, 2, true},
        {vvlfmt::kMaxPictureWidth, vvlfmt::kMaxPictureHeight, 1, 3, true},
        {vvlfmt::kMaxPictureWidth, vvlfmt::kMaxPictureHeight, 0, 2, true},
    };
    for (const Case& c : cases) {
        Counting::largest = 0;
        XImage* a = Vvl_AlterXImage(nullptr, nullptr, c.mode, c.depth, c.width, c.height);
        EXPECT_EQ(a != nullptr, c.made) << c.width << "x" << c.height << " depth " << c.depth;
        Vvl_DestroyXImage(a);
        XImage* g = Vvl_CreateGenericXImage(nullptr, c.height, c.width, c.mode);
        EXPECT_EQ(g != nullptr, c.made) << c.width << "x" << c.height;
        Vvl_DestroyXImage(g);
        if (c.made) {
            EXPECT_LE(Counting::largest, kLargestBuffer);
        } else {
            EXPECT_EQ(Counting::largest, 0u) << c.width << "x" << c.height;
        }
    }
}

// A whole frame is always taken; cut short, it is refused at creation when it cannot hold the
// picture it states, and a cut that is taken draws as a bad frame inside its screen.
TEST_F(PictureLimit, ShortFramesAreRefusedAtCreationOrDrawnAsBad) {
    std::vector<std::vector<uint8_t>> frames = {vvltest::KeyFrame4x4(), vvltest::PartialFrame4x4(),
                                                vvltest::EncodeGradient(64, 16, false, true).bytes,
                                                vvltest::EncodeGradient(32, 8, true, true).bytes};
    Surface surf(96, 40);
    VScreen* scr = Vvl_CreateVScreen(surf.Base(), 2, surf.pitch, surf.height);
    Vvl_AlterVScreenView(scr, 0, 0, 96, 40);
    for (const std::vector<uint8_t>& whole : frames) {
        XImage* im = Vvl_CreateXImageLen(whole.data(), whole.size());
        ASSERT_NE(im, nullptr);
        Vvl_DestroyXImage(im);
        // From one byte on: no bytes at all (a null frame) make an image without data.
        for (size_t len = 1; len < whole.size(); ++len) {
            // Each cut lives in its own exact-size block, so a read past it is a sanitizer report.
            std::vector<uint8_t> cut(whole.begin(), whole.begin() + ptrdiff_t(len));
            XImage* c = Vvl_CreateXImageLen(cut.data(), cut.size());
            if (!c) continue;
            EXPECT_EQ(Vvl_plixImageToVScreen(c, scr), -7) << len;
            Vvl_DestroyXImage(c);
        }
    }
    EXPECT_TRUE(surf.GuardsIntact());
    Vvl_DestroyVScreen(scr);
}

// Random damage anywhere in a frame, its size fields included, never makes the library ask for
// more than the buffers of the largest picture.
TEST_F(PictureLimit, DamagedSizesNeverAllocateBeyondTheLimit) {
    std::mt19937 rng(4242);
    std::vector<std::vector<uint8_t>> frames = {vvltest::EncodeGradient(24, 8, true, true).bytes,
                                                vvltest::EncodeGradient(40, 8, false, true).bytes,
                                                vvltest::PartialFrame4x4()};
    for (const std::vector<uint8_t>& whole : frames) {
        for (int n = 0; n < 2000; ++n) {
            std::vector<uint8_t> bad = whole;
            const int changes = 1 + int(rng() % 3);
            for (int c = 0; c < changes; ++c) bad[rng() % 23] ^= uint8_t(1 + rng() % 255);
            Counting::largest = 0;
            XImage* len = Vvl_CreateXImageLen(bad.data(), bad.size());
            Vvl_DestroyXImage(len);
            XImage* ptr = Vvl_CreateXImage(bad.data());
            Vvl_DestroyXImage(ptr);
            ASSERT_LE(Counting::largest, kLargestBuffer) << "mutant " << n;
        }
    }
}

}  // namespace
