// Damaged frames: every truncation and many random byte changes of valid frames of each kind
// are decoded and drawn through the length-taking export; none may read or write outside the
// frame, the buffers or the screen (the sanitizer builds watch), and every result is one the
// library defines.
#include <gtest/gtest.h>

#include <random>

#include "datakit/vidvex_rowenc.h"
#include "datakit/vidvex_yuvenc.h"
#include "frames.h"
#include "test_support.h"

namespace {

using vvltest::Surface;
using vvltest::VideoTest;

using Mutation = VideoTest;

struct Sample {
    const char* what;
    std::vector<uint8_t> first;   // creates the image
    std::vector<uint8_t> frame;   // the frame damaged
};

std::vector<Sample> Samples() {
    std::vector<Sample> out;
    out.push_back({"hand-written key frame", vvltest::KeyFrame4x4(), vvltest::KeyFrame4x4()});
    out.push_back({"hand-written partial frame", vvltest::PartialFrame4x4(), vvltest::PartialFrame4x4()});
    out.push_back({"hand-written inter frame", vvltest::InterStreamKey8x4(), vvltest::InterStreamNext8x4()});
    vvltest::Frame key = vvltest::EncodeGradient(40, 16, false, true);
    out.push_back({"intra key frame", key.bytes, key.bytes});
    dk::VvlRowParams p;
    p.interStream = true;
    p.skipTolerance = 1;
    dk::VvlEncoded k = dk::VvlEncodeRowFrame(p, 40, 16, vvltest::Picture(40, 16, false, 0), nullptr);
    p.key = false;
    dk::VvlEncoded i = dk::VvlEncodeRowFrame(p, 40, 16, vvltest::Picture(40, 16, false, 4), &k.decoded);
    out.push_back({"inter frame", k.frame, i.frame});
    dk::VvlRowParams s;
    s.codec = 6;
    s.stretch = true;
    dk::VvlEncoded st = dk::VvlEncodeRowFrame(s, 24, 8, vvltest::Picture(24, 8, false), nullptr);
    out.push_back({"stretched frame", st.frame, st.frame});
    dk::VvlRowParams pp;
    dk::VvlEncoded part = dk::VvlEncodeRowPartial(pp, 4, 2, 16, 8, 40, 16, vvltest::Picture(16, 8, false, 2),
                                                  vvltest::Picture(16, 8, false), {1, 2, 3, 0, 0, 3, 2, 1});
    out.push_back({"partial frame", key.bytes, part.frame});
    dk::VvlYuvEncoder yenc(false);
    dk::VvlYuvPlanes planes;
    planes.width = 32;
    planes.height = 8;
    for (int n = 0; n < 256; ++n) planes.y.push_back(uint8_t(n));
    planes.u.assign(16, 100);
    planes.v.assign(16, 150);
    for (int variant : {4, 3, 2}) {
        dk::VvlEncoded y = yenc.Encode(planes, variant);
        out.push_back({"YUV frame", y.frame, y.frame});
    }
    return out;
}

bool Defined(int r) { return r == 0 || r == 1 || r == -5 || r == -6 || r == -7; }

TEST_F(Mutation, TruncatedAndDamagedFramesStayInBounds) {
    std::mt19937 rng(12345);
    for (const Sample& s : Samples()) {
        for (int quality : {0, 3, 5}) {
            XImage* im = Vvl_CreateXImageLen(s.first.data(), s.first.size());
            ASSERT_NE(im, nullptr) << s.what;
            Surface surf(96, 40);
            VScreen* scr = Vvl_CreateVScreen(surf.Base(), 2, surf.pitch, surf.height);
            Vvl_SetVScreenBlitQuality(scr, quality);
            Vvl_AlterVScreenView(scr, 0, 0, 96, 40);
            // Every truncation: each byte of the damaged copy lives in its own exact-size block,
            // so a read past it is a sanitizer report.
            for (size_t len = 0; len < s.frame.size(); ++len) {
                std::vector<uint8_t> cut(s.frame.begin(), s.frame.begin() + ptrdiff_t(len));
                int a = Vvl_AlterXImageDataLen(im, cut.data(), cut.size());
                ASSERT_TRUE(a == 0 || a == -5) << s.what << " length " << len;
                int r = Vvl_plixImageToVScreen(im, scr);
                ASSERT_TRUE(Defined(r)) << s.what << " length " << len << " gives " << r;
                r = Vvl_BlitXImageToVScreen(im, scr);
                ASSERT_TRUE(Defined(r)) << s.what << " length " << len << " gives " << r;
            }
            // Random changes of one to four bytes.
            for (int n = 0; n < 300; ++n) {
                std::vector<uint8_t> bad = s.frame;
                int changes = 1 + int(rng() % 4);
                for (int c = 0; c < changes; ++c) bad[rng() % bad.size()] ^= uint8_t(1 + rng() % 255);
                int a = Vvl_AlterXImageDataLen(im, bad.data(), bad.size());
                ASSERT_TRUE(a == 0 || a == -5) << s.what;
                Vvl_MoveXImage(im, 0, int(rng() % 80) - 40, int(rng() % 40) - 20);
                int r = Vvl_plixImageToVScreen(im, n % 3 ? scr : nullptr);
                ASSERT_TRUE(Defined(r)) << s.what << " gives " << r;
            }
            EXPECT_TRUE(surf.GuardsIntact()) << s.what << " quality " << quality;
            Vvl_DestroyXImage(im);
            Vvl_DestroyVScreen(scr);
        }
    }
}

// New images from damaged frames: a changed size may ask for large buffers, which the library
// allocates or refuses, but never overruns.
TEST_F(Mutation, ImagesCreatedFromDamagedFrames) {
    std::mt19937 rng(777);
    vvltest::Frame key = vvltest::EncodeGradient(24, 8, true, true);
    Surface surf(64, 32);
    VScreen* scr = Vvl_CreateVScreen(surf.Base(), 2, surf.pitch, surf.height);
    Vvl_AlterVScreenView(scr, 0, 0, 64, 32);
    for (int n = 0; n < 400; ++n) {
        std::vector<uint8_t> bad = key.bytes;
        // Keep the size small enough for quick buffers: change bytes past the width and height.
        size_t at = 8 + rng() % (bad.size() - 8);
        bad[at] ^= uint8_t(1 + rng() % 255);
        XImage* im = Vvl_CreateXImageLen(bad.data(), bad.size());
        if (!im) continue;
        int r = Vvl_plixImageToVScreen(im, scr);
        ASSERT_TRUE(Defined(r)) << r;
        Vvl_DestroyXImage(im);
    }
    EXPECT_TRUE(surf.GuardsIntact());
}

}  // namespace
