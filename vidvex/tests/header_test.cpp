// The frame header: length byte, chained body, codec configuration, variants and flags, the
// escape sources, and when the escape tables are built again.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "datakit/vidvex_frame.h"
#include "frames.h"
#include "test_support.h"
#include "vvl_internal.h"

namespace {

using vvltest::VideoTest;

std::vector<uint8_t> Header(const dk::VvlHeader& h) { return dk::VvlWriteHeader(h); }

dk::VvlHeader Base() {
    dk::VvlHeader h;
    h.codec = 2;
    h.deltaSet = 0;
    h.escape = 2;
    h.width = 32;
    h.height = 16;
    h.variant = 2;
    return h;
}

using HeaderParse = VideoTest;

TEST_F(HeaderParse, TheHandWrittenFrameReadsAsLaidOut) {
    std::vector<uint8_t> f = vvltest::KeyFrame4x4();
    FrameHeader h;
    ASSERT_EQ(VVL_ParseHeader(f.data(), f.size(), &h), 24);
    EXPECT_EQ(h.Codec(), 2);
    EXPECT_EQ(h.width, 4u);
    EXPECT_EQ(h.height, 4u);
    EXPECT_EQ(h.escapeSourceIndex, 2);
    EXPECT_EQ(h.Variant(), 2);
    EXPECT_EQ(h.depthCode, 2u);
    EXPECT_EQ(h.blockRowBits, 2);
    EXPECT_EQ(h.columnShift, 0);
    // The writer of the kit lays out the same bytes.
    dk::VvlHeader k = Base();
    k.seed = 0;
    k.width = k.height = 4;
    std::vector<uint8_t> written = Header(k);
    EXPECT_EQ(std::vector<uint8_t>(f.begin(), f.begin() + 24), written);
}

struct Case {
    const char* what;
    void (*edit)(dk::VvlHeader&);
    int result;  // parse result
};

TEST_F(HeaderParse, CaseTable) {
    const Case cases[] = {
        {"plain type 2 variant 2", [](dk::VvlHeader&) {}, 24},
        {"header length 127", [](dk::VvlHeader& h) { h.length = 127; }, 127},
        {"old header: length 10", [](dk::VvlHeader& h) { h.length = 10; }, -7},
        {"old header: revision 1", [](dk::VvlHeader& h) { h.revision = 1; }, -7},
        {"variant 0 allows no type", [](dk::VvlHeader& h) { h.variant = 0; }, -7},
        {"variant 1", [](dk::VvlHeader& h) { h.variant = 1; }, 24},
        {"variant 3", [](dk::VvlHeader& h) { h.variant = 3; }, 24},
        {"variant 4", [](dk::VvlHeader& h) { h.variant = 4; }, -7},
        {"codec 0: no picture", [](dk::VvlHeader& h) { h.codec = 0; }, 0},
        {"codec 1", [](dk::VvlHeader& h) { h.codec = 1; }, 24},
        {"codec 3", [](dk::VvlHeader& h) { h.codec = 3; }, 24},
        {"codec 4", [](dk::VvlHeader& h) { h.codec = 4; }, 24},
        {"codec 5 never allowed", [](dk::VvlHeader& h) { h.codec = 5; }, -7},
        {"codec 6", [](dk::VvlHeader& h) { h.codec = 6; }, 24},
        {"codec 7 never allowed", [](dk::VvlHeader& h) { h.codec = 7; }, -7},
        {"codec 8", [](dk::VvlHeader& h) { h.codec = 8; }, 24},
        {"codec 9 never allowed", [](dk::VvlHeader& h) { h.codec = 9; }, -7},
        {"codec 16 never allowed", [](dk::VvlHeader& h) { h.codec = 16; }, -7},
        {"codec 17 with any variant", [](dk::VvlHeader& h) { h.codec = 17; h.variant = 9; }, 24},
        {"codec 17 with an old header", [](dk::VvlHeader& h) { h.codec = 17; h.length = 16; h.revision = 0; }, 16},
        {"codec 18", [](dk::VvlHeader& h) { h.codec = 18; }, -7},
        {"delta set 3", [](dk::VvlHeader& h) { h.deltaSet = 3; }, 24},
        {"delta set 4 names no data", [](dk::VvlHeader& h) { h.deltaSet = 4; }, -7},
        {"escape table 0 for an even type", [](dk::VvlHeader& h) { h.escape = 0; }, -7},
        {"escape table 4 for an even type", [](dk::VvlHeader& h) { h.escape = 4; }, -7},
        {"escape table 0 for an odd type (source 1 forced)", [](dk::VvlHeader& h) { h.codec = 3; h.escape = 0; }, 24},
        {"partial key frame of an inter stream",
         [](dk::VvlHeader& h) { h.flags = 0x38; h.partW = 8; h.partH = 4; }, 24},
        {"partial inter frame that is not a key frame",
         [](dk::VvlHeader& h) { h.flags = 0x28; h.partW = 8; h.partH = 4; }, -7},
    };
    for (const Case& c : cases) {
        dk::VvlHeader h = Base();
        c.edit(h);
        std::vector<uint8_t> f = Header(h);
        FrameHeader out;
        EXPECT_EQ(VVL_ParseHeader(f.data(), f.size(), &out), c.result) << c.what;
    }
}

TEST_F(HeaderParse, LengthBytes) {
    struct LB {
        uint8_t b0;
        int result;
    };
    // 0x13: 24; 0x0F: below 16; 0x10: length 0 (an old header); 0xF3: bits 5-7 give the low bits.
    const LB cases[] = {{0x13, 24}, {0x0F, -7}, {0x00, -7}, {0xF3, 31}};
    for (const LB& c : cases) {
        std::vector<uint8_t> f = Header(Base());
        f.resize(64, 0);
        f[0] = c.b0;
        FrameHeader out;
        EXPECT_EQ(VVL_ParseHeader(f.data(), f.size(), &out), c.result) << int(c.b0);
    }
    // Length 0 from 0x10: a type-17 frame parses to 0, which creation treats as a failure.
    dk::VvlHeader h = Base();
    h.codec = 17;
    std::vector<uint8_t> f = Header(h);
    f[0] = 0x10;
    FrameHeader out;
    EXPECT_EQ(VVL_ParseHeader(f.data(), f.size(), &out), 0);
    EXPECT_EQ(Vvl_CreateXImage(f.data()), nullptr);
    EXPECT_EQ(dk::VvlLengthByte(24), 0x13);
    EXPECT_EQ(dk::VvlLengthByte(0), 0x10);
}

TEST_F(HeaderParse, FlagsAndPartialSize) {
    dk::VvlHeader h = Base();
    h.flags = 0x04 | 0x08 | 0x10;
    std::vector<uint8_t> f = Header(h);
    FrameHeader out;
    ASSERT_EQ(VVL_ParseHeader(f.data(), f.size(), &out), 24);
    EXPECT_EQ(out.stretch, 1);
    EXPECT_EQ(out.inter, 8);
    EXPECT_EQ(out.key, 16);
    EXPECT_EQ(out.partial, 0);
    h.flags = 0x20;
    h.partX = -6;
    h.partY = 3;
    h.partW = 12;
    h.partH = 8;
    f = Header(h);
    ASSERT_EQ(VVL_ParseHeader(f.data(), f.size(), &out), 24);
    EXPECT_EQ(out.width, 12u);
    EXPECT_EQ(out.height, 8u);
    EXPECT_EQ(out.S16(vvlfmt::kHdrPartX), -6);
    EXPECT_EQ(out.key, 1);
    // Flags mean nothing below variant 2.
    h.variant = 1;
    f = Header(h);
    ASSERT_EQ(VVL_ParseHeader(f.data(), f.size(), &out), 24);
    EXPECT_EQ(out.partial, 0);
    EXPECT_EQ(out.width, 32u);
}

TEST_F(HeaderParse, NarrowPicturesAreStretchedBelowVariant2) {
    struct W {
        int width, variant, stretch, displayed;
    };
    const W cases[] = {{175, 1, 0, 175}, {176, 1, 2, 264}, {212, 1, 2, 318}, {213, 1, 0, 213},
                       {176, 2, 0, 176}, {212, 2, 0, 212}, {176, 3, 0, 176}};
    for (const W& c : cases) {
        dk::VvlHeader h = Base();
        h.width = c.width;
        h.variant = c.variant;
        std::vector<uint8_t> f = Header(h);
        XImage* im = Vvl_CreateXImage(f.data());
        ASSERT_NE(im, nullptr) << c.width;
        EXPECT_EQ(im->hdr.stretch, c.stretch) << c.width << " v" << c.variant;
        int x, y, w, hh;
        Vvl_GetXImageXYWH(im, &x, &y, &w, &hh);
        EXPECT_EQ(w, c.displayed) << c.width << " v" << c.variant;
        Vvl_DestroyXImage(im);
    }
}

TEST_F(HeaderParse, FramesShorterThanTheirHeaderAreRefused) {
    std::vector<uint8_t> f = vvltest::KeyFrame4x4();
    XImage* im = Vvl_CreateXImageLen(f.data(), f.size());
    ASSERT_NE(im, nullptr);
    for (size_t len : {size_t(0), size_t(1), size_t(22), size_t(23)}) {
        // 23 bytes hold the header body but not its length of 24.
        EXPECT_EQ(Vvl_AlterXImageDataLen(im, f.data(), len), -5) << len;
        EXPECT_EQ(Vvl_CreateXImageLen(f.data(), len), nullptr) << len;
    }
    EXPECT_EQ(Vvl_AlterXImageDataLen(im, f.data(), 24), 0);
}

TEST_F(HeaderParse, EscapeTablesAreBuiltOnlyWhenAHeaderAsksForOthers) {
    dk::VvlHeader h = Base();
    std::vector<uint8_t> a = Header(h);
    FrameHeader out;
    int n0 = VVL_EscapeRebuildCount();
    ASSERT_EQ(VVL_ParseHeader(a.data(), a.size(), &out), 24);
    ASSERT_EQ(VVL_ParseHeader(a.data(), a.size(), &out), 24);
    EXPECT_EQ(VVL_EscapeRebuildCount(), n0 + 1);
    Vvl_Decompress16BitAs565(1);
    ASSERT_EQ(VVL_ParseHeader(a.data(), a.size(), &out), 24);
    EXPECT_EQ(out.is565, 1);
    EXPECT_EQ(VVL_EscapeRebuildCount(), n0 + 2);
    ASSERT_EQ(VVL_ParseHeader(a.data(), a.size(), &out), 24);
    EXPECT_EQ(VVL_EscapeRebuildCount(), n0 + 2);
    Vvl_Decompress16BitAs565(0);
    // An odd codec type with the same delta set and escape byte uses source 1: other tables.
    h.codec = 3;
    std::vector<uint8_t> b = Header(h);
    ASSERT_EQ(VVL_ParseHeader(b.data(), b.size(), &out), 24);
    EXPECT_EQ(out.escapeSourceIndex, 1);
    ASSERT_EQ(VVL_ParseHeader(a.data(), a.size(), &out), 24);
    EXPECT_EQ(out.escapeSourceIndex, 2);
    EXPECT_EQ(VVL_EscapeRebuildCount(), n0 + 4);
}

TEST_F(HeaderParse, AnImageDrawsWithItsOwnTablesWhateverWasParsedSince) {
    std::vector<uint8_t> f = vvltest::KeyFrame4x4();
    XImage* a = Vvl_CreateXImage(f.data());
    ASSERT_NE(a, nullptr);
    // Another image parsed after it selects source 3 and 565 output.
    Vvl_Decompress16BitAs565(1);
    dk::VvlHeader h = Base();
    h.escape = 3;
    std::vector<uint8_t> g = Header(h);
    g.resize(200, 0x01);
    ASSERT_NE(Vvl_CreateXImage(g.data()), nullptr);
    vvltest::Surface s(4, 4);
    VScreen* scr = Vvl_CreateVScreen(s.Base(), 2, s.pitch, 4);
    ASSERT_EQ(Vvl_plixImageToVScreen(a, scr), 0);
    EXPECT_EQ(s.Crop(0, 0, 4, 4), vvltest::KeyFrame4x4Pixels());
}

// The escape sources: the lengths, entry counts by size, index ranges and leading entries that
// the format fixes, and one single-pair entry for every index pair.
TEST(EscapeSources, MeetEveryStatedConstraint) {
    struct Want {
        size_t length;
        int maxIndex;
        std::map<int, int> counts;
        std::vector<std::vector<uint8_t>> first;
    };
    const Want want[4] = {
        {},
        {808, 6, {{8, 10}, {6, 69}, {4, 128}, {2, 49}},
         {{8, 0, 0, 0, 0}, {8, 0, 0, 0, 0}, {8, 0x10, 0, 0, 0}, {8, 0x01, 0, 0, 0}, {8, 0, 0x10, 0, 0}}},
        {768, 7, {{6, 64}, {4, 128}, {2, 64}}, {{6, 0, 0, 0}, {6, 0, 0, 0}, {6, 0, 0, 1}}},
        {785, 7, {{8, 9}, {6, 63}, {4, 120}, {2, 64}},
         {{8, 0, 0, 0, 0}, {8, 0, 0, 0, 0}, {8, 0x20, 0, 0, 0}, {8, 0, 0, 0, 1}}},
    };
    for (int s = 1; s <= 3; ++s) {
        const vvlfmt::EscapeSource& src = vvlfmt::kEscapeSources[s];
        EXPECT_EQ(src.length, want[s].length) << s;
        std::map<int, int> counts;
        std::set<int> singles;
        std::vector<std::vector<uint8_t>> entries;
        size_t at = 0;
        int maxIndex = 0;
        while (at < src.length) {
            int n = src.bytes[at];
            ASSERT_TRUE(n == 2 || n == 4 || n == 6 || n == 8) << s << " at " << at;
            ASSERT_LE(at + 1 + size_t(n / 2), src.length);
            entries.emplace_back(src.bytes + at, src.bytes + at + 1 + n / 2);
            for (int j = 0; j < n / 2; ++j) {
                uint8_t b = src.bytes[at + 1 + size_t(j)];
                maxIndex = std::max({maxIndex, b >> 4, b & 15});
                if (n == 2) singles.insert(b);
            }
            ++counts[n];
            at += 1 + size_t(n / 2);
        }
        EXPECT_EQ(entries.size(), 256u) << s;
        EXPECT_EQ(counts, want[s].counts) << s;
        EXPECT_EQ(maxIndex, want[s].maxIndex) << s;
        EXPECT_EQ(int(singles.size()), (want[s].maxIndex + 1) * (want[s].maxIndex + 1)) << s;
        for (size_t i = 0; i < want[s].first.size(); ++i) EXPECT_EQ(entries[i], want[s].first[i]) << s << " entry " << i;
    }
    // The hand-written frame relies on these entries of source 2.
    const uint8_t* s2 = vvlfmt::kEscapeSource2;
    size_t at = 0;
    for (int e = 0; e < 210; ++e) at += 1 + s2[at] / 2;
    EXPECT_EQ(s2[at], 2);
    EXPECT_EQ(s2[at + 1], 0x22);
}

}  // namespace
