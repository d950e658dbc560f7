// 2D bitmaps: pictures written by the data kit, loaded and blitted whole, in part (clipped in the
// design space), with black transparent, and through the mapped blit, in 16-bit and 8-bit modes
// and in 320 x 240 (scaled design space); single pixels read back; load failures and release.
// Expected pixels are computed here from the pictures' own patterns.
#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "datakit/bmp.h"
#include "datakit/palette.h"
#include "rnd_display_fixture.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"

namespace {
struct Mode {
    int width, height, bits;
};

std::string Name(const Mode& m) {
    return std::to_string(m.width) + "x" + std::to_string(m.height) + "x" + std::to_string(m.bits);
}

// A palette without black: entry i is (i, 2i, 255 - i).
dk::Palette GradientPalette() {
    dk::Palette p{};
    for (int i = 0; i < 256; ++i)
        p[size_t(i)] = dk::Rgb{uint8_t(i), uint8_t(i * 2), uint8_t(255 - i)};
    return p;
}

uint8_t GradientIndex(int x, int y) {
    return uint8_t(x + 2 * y);
}

dk::Bmp8 Gradient(int width, int height) {
    dk::Bmp8 p(width, height);
    p.palette = GradientPalette();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.at(x, y) = GradientIndex(x, y);
    return p;
}

// A palettised colour in a 16-bit display: channels under 8 raised to 8 unless the colour is
// black, then 5-6-5 by truncation.
uint16_t In16Bits(dk::Rgb c) {
    if (c.r || c.g || c.b)
        for (uint8_t* channel : {&c.r, &c.g, &c.b})
            if (*channel < 8)
                *channel = 8;
    return uint16_t(((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3));
}

// What a display pixel holds for palette index i of a picture in the gradient palette.
uint32_t Expected(int bits, uint8_t index) {
    return bits == 16 ? In16Bits(GradientPalette()[index]) : index;
}

void Write(const std::vector<uint8_t>& bytes, const std::string& path) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
}

// 8-bit displays use the default palette: make it the pictures' palette.
void WriteDefaultPalette() {
    Write(dk::EncodePalette(GradientPalette()), "def_pal.bin");
}

// Every pixel of a surface, row by row.
std::vector<uint32_t> Grab(IDirectDrawSurface3* s, int* width = nullptr, int* height = nullptr) {
    DDSURFACEDESC d{};
    d.dwSize = sizeof d;
    if (s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK)
        return {};
    std::vector<uint32_t> pixels;
    for (uint32_t y = 0; y < d.dwHeight; ++y) {
        const auto* row = static_cast<const uint8_t*>(d.lpSurface) + size_t(y) * size_t(d.lPitch);
        for (uint32_t x = 0; x < d.dwWidth; ++x)
            pixels.push_back(d.ddpfPixelFormat.dwRGBBitCount == 16 ? uint32_t(row[x * 2]) | (uint32_t(row[x * 2 + 1]) << 8)
                                                                   : row[x]);
    }
    s->Unlock(nullptr);
    if (width)
        *width = int(d.dwWidth);
    if (height)
        *height = int(d.dwHeight);
    return pixels;
}

// A frame started on a black back buffer.
void BlackFrame() {
    const float black[3] = {0.0f, 0.0f, 0.0f};
    RND_SetBackgroundColour(black);
    RND_BeginFrame();
    RND_EndScene();
}

class BitmapTest : public DisplayFixture {};

const Mode kModes[] = {{640, 480, 16}, {640, 480, 8}, {320, 240, 16}, {320, 240, 8}};
}  // namespace

TEST_F(BitmapTest, WholePictureInEveryMode) {
    Write(dk::EncodeBmp8(Gradient(640, 480)), "gradient.bmp");
    WriteDefaultPalette();
    for (const Mode& m : kModes) {
        SCOPED_TRACE(Name(m));
        OpenDisplay(m.width, m.height, m.bits);
        Bitmap* b = DSP_LoadBitmap("gradient.bmp");
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->width, m.width) << "loaded already scaled to the mode";
        EXPECT_EQ(b->height, m.height);
        EXPECT_EQ(b->sourceBits, 8);
        EXPECT_EQ(b->palette != nullptr, m.bits == 8);
        BlackFrame();
        DesignPoint at = {0.0f, 0.0f};
        DSP_BlitBitmap(b, &at, 640, 480);
        int width = 0, height = 0;
        const std::vector<uint32_t> shown = Grab(g_Rnd.backBuffer, &width, &height);
        ASSERT_EQ(width, m.width);
        int wrong = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                wrong += shown[size_t(y * width + x)] !=
                         Expected(m.bits, GradientIndex(x * 640 / m.width, y * 480 / m.height));
        EXPECT_EQ(wrong, 0);

        // What the flip shows: 5-6-5 widened, or the palette's own colours.
        RND_Flip();
        const dk::Rgb c = GradientPalette()[GradientIndex(10 * 640 / m.width, 7 * 480 / m.height)];
        const uint32_t expected =
            m.bits == 8 ? (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b
                        : [&] {
                              const uint16_t p = In16Bits(c);
                              const uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, bl = p & 31;
                              return (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((bl << 3) | (bl >> 2));
                          }();
        EXPECT_EQ(Shown(10, 7), expected);
        DSP_FreeBitmap(b);
        DSP_Release(window);
    }
}

TEST_F(BitmapTest, PositionIsConvertedInPlaceAndBlitsOffTheScreenDrawNothing) {
    Write(dk::EncodeBmp8(Gradient(64, 48)), "small.bmp");
    OpenDisplay(320, 240, 16);
    Bitmap* b = DSP_LoadBitmap("small.bmp");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->width, 32);
    BlackFrame();
    DesignPoint at = {100.0f, 50.0f};
    DSP_BlitBitmap(b, &at, 64, 48);
    EXPECT_EQ(at.x, 50.0f) << "the caller's position now holds screen pixels";
    EXPECT_EQ(at.y, 25.0f);
    EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 50, 25), Expected(16, GradientIndex(0, 0)));
    EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 81, 48), Expected(16, GradientIndex(62, 46)));
    EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 82, 25), 0u);

    BlackFrame();
    const std::vector<uint32_t> before = Grab(g_Rnd.backBuffer);
    const DesignPoint refused[] = {{600.0f, 0.0f}, {-10.0f, 0.0f}, {0.0f, 450.0f}, {1e12f, 0.0f}};
    for (DesignPoint p : refused)
        DSP_BlitBitmapKeyed(b, &p, 64, 48);
    DesignPoint whole = {0.0f, 0.0f};
    DSP_BlitBitmap(b, &whole, 66, 48);  // wider than the picture
    EXPECT_EQ(Grab(g_Rnd.backBuffer), before);
    DSP_BlitBitmap(nullptr, &whole, 64, 48);
    DSP_FreeBitmap(b);
}

TEST_F(BitmapTest, PartBlitClipsInTheDesignSpace) {
    Write(dk::EncodeBmp8(Gradient(640, 480)), "gradient.bmp");
    const DesignRect clip = {100, 100, 200, 150};
    struct Case {
        const char* name;
        DesignPoint at;
        int width, height;
        bool drawn;
        DesignRect dest;  // in the design space
        int sourceX, sourceY;
    };
    const Case cases[] = {
        {"10 units left of the window", {90.0f, 120.0f}, 30, 20, true, {100, 120, 20, 20}, 10, 0},
        {"over the right and bottom edges", {250.0f, 200.0f}, 100, 100, true, {250, 200, 50, 50}, 0, 0},
        {"above and left", {95.5f, 80.0f}, 40, 40, true, {100, 100, 35, 20}, 5, 20},
        {"right of the window", {300.0f, 120.0f}, 10, 10, false, {}, 0, 0},
        {"below the window", {120.0f, 250.0f}, 10, 10, false, {}, 0, 0},
        {"clipped to nothing", {50.0f, 120.0f}, 50, 10, false, {}, 0, 0},
        {"no height", {120.0f, 120.0f}, 10, 0, false, {}, 0, 0},
    };
    for (const Mode& m : {Mode{640, 480, 16}, Mode{320, 240, 16}}) {
        OpenDisplay(m.width, m.height, m.bits);
        Bitmap* b = DSP_LoadBitmap("gradient.bmp");
        ASSERT_NE(b, nullptr);
        const double scaleX = double(m.width) / 640.0, scaleY = double(m.height) / 480.0;
        for (const Case& c : cases) {
            SCOPED_TRACE(Name(m) + ": " + c.name);
            BlackFrame();
            DSP_BlitBitmapPart(b, &c.at, c.width, c.height, &clip);
            // Each edge scaled on its own, truncated.
            const int left = int(scaleX * c.dest.x), top = int(scaleY * c.dest.y);
            const int right = left + int(scaleX * (c.sourceX + c.dest.width)) - int(scaleX * c.sourceX);
            const int bottom = top + int(scaleY * (c.sourceY + c.dest.height)) - int(scaleY * c.sourceY);
            const int sx = int(scaleX * c.sourceX), sy = int(scaleY * c.sourceY);
            int width = 0, height = 0, wrong = 0;
            const std::vector<uint32_t> shown = Grab(g_Rnd.backBuffer, &width, &height);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const bool inside = c.drawn && x >= left && x < right && y >= top && y < bottom;
                    const uint32_t expected =
                        inside ? Expected(16, GradientIndex((sx + x - left) * 640 / m.width, (sy + y - top) * 480 / m.height))
                               : 0;
                    wrong += shown[size_t(y * width + x)] != expected;
                }
            EXPECT_EQ(wrong, 0);
        }
        DSP_FreeBitmap(b);
        DSP_Release(window);
    }
}

TEST_F(BitmapTest, KeyedBlitLeavesBlackOutAndDarkColoursAreRaised) {
    dk::Bmp8 picture(4, 4);
    picture.palette[1] = {0, 5, 200};  // raised to (8, 8, 200) in a 16-bit display
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            picture.at(x, y) = uint8_t((x + y) & 1);
    Write(dk::EncodeBmp8(picture), "checker.bmp");
    const uint32_t raised = (1 << 11) | (2 << 5) | 25;
    struct Case {
        Mode mode;
        uint32_t colour, background;  // pixel values of entry 1 and of the white background
    };
    for (const Case& c : {Case{{640, 480, 16}, raised, 0xFFFF}, Case{{640, 480, 8}, 1, 255}}) {
        SCOPED_TRACE(Name(c.mode));
        OpenDisplay(c.mode.width, c.mode.height, c.mode.bits);
        Bitmap* b = DSP_LoadBitmap("checker.bmp");
        ASSERT_NE(b, nullptr);
        for (bool keyed : {true, false}) {
            const float white[3] = {1.0f, 1.0f, 1.0f};
            RND_SetBackgroundColour(white);
            RND_BeginFrame();
            RND_EndScene();
            DesignPoint at = {10.0f, 20.0f};
            if (keyed)
                DSP_BlitBitmapKeyed(b, &at, 4, 4);
            else
                DSP_BlitBitmap(b, &at, 4, 4);
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x) {
                    const bool black = ((x + y) & 1) == 0;
                    EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 10 + x, 20 + y),
                              black ? (keyed ? c.background : 0u) : c.colour)
                        << (keyed ? "keyed " : "plain ") << x << "," << y;
                }
        }
        EXPECT_EQ(DSP_ReadBitmapPixel(b, 1, 0), c.colour);
        EXPECT_EQ(DSP_ReadBitmapPixel(b, 0, 0), 0u);
        DSP_FreeBitmap(b);
        DSP_Release(window);
    }
}

TEST_F(BitmapTest, ReadPixelOutsideThePictureIsZero) {
    dk::Bmp8 picture = Gradient(8, 6);
    for (uint8_t& p : picture.pixels)
        p = uint8_t(p | 0x80);  // no index 0 inside
    Write(dk::EncodeBmp8(picture), "small.bmp");
    WriteDefaultPalette();
    struct Probe {
        int x, y;
        bool inside;
    };
    // -1 would still read column 0 in 320 x 240: the scaled coordinate is truncated toward zero.
    const Probe probes[] = {{0, 0, true},   {7, 5, true},   {8, 0, false},        {0, 6, false},
                            {-2, 0, false}, {0, -2, false}, {1000000, 0, false}, {-2000000000, 3, false}};
    for (const Mode& m : kModes) {
        SCOPED_TRACE(Name(m));
        OpenDisplay(m.width, m.height, m.bits);
        Bitmap* b = DSP_LoadBitmap("small.bmp");
        ASSERT_NE(b, nullptr);
        for (const Probe& p : probes) {
            const uint16_t value = DSP_ReadBitmapPixel(b, p.x, p.y);
            if (p.inside)
                EXPECT_EQ(value, Expected(m.bits, picture.at(p.x * m.width / 640 * 640 / m.width,
                                                             p.y * m.height / 480 * 480 / m.height)))
                    << p.x << "," << p.y;
            else
                EXPECT_EQ(value, 0u) << p.x << "," << p.y;
        }
        EXPECT_EQ(DSP_ReadBitmapPixel(nullptr, 0, 0), 0u);
        DSP_FreeBitmap(b);
        DSP_Release(window);
    }
}

TEST_F(BitmapTest, MappedBlitCopiesThroughTheMapping) {
    dk::Bmp8 square(256, 256);
    square.palette = GradientPalette();
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            square.at(x, y) = uint8_t((x ^ y) | 1);  // never black
    Write(dk::EncodeBmp8(square), "square.bmp");
    dk::Bmp8 small(100, 50);
    small.palette = GradientPalette();
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x)
            small.at(x, y) = uint8_t((x + y) | 1);
    Write(dk::EncodeBmp8(small), "small.bmp");
    WriteDefaultPalette();

    struct Case {
        const char* name;
        const char* file;
        BitmapMapping mapping;
        int shiftX, shiftY;  // destination (c, r) shows source (c + shiftX, r + shiftY)
    };
    const Case cases[] = {
        {"one to one", "square.bmp", {0, 0, 256, 0, 0, 256}, 0, 0},
        {"half a square to the right", "square.bmp", {128, 0, 384, 0, 128, 256}, 128, 0},
        {"half a square down", "square.bmp", {0, 128, 256, 128, 0, 384}, 0, 128},
        {"off the square altogether", "square.bmp", {256, 0, 512, 0, 256, 256}, 256, 0},
        {"a picture smaller than the square", "small.bmp", {0, 0, 256, 0, 0, 256}, 0, 0},
    };
    for (int bits : {16, 8}) {
        OpenDisplay(640, 480, bits);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(bits) + " bits: " + c.name);
            Bitmap* b = DSP_LoadBitmap(c.file);
            ASSERT_NE(b, nullptr);
            const dk::Bmp8& source = std::string(c.file) == "small.bmp" ? small : square;
            BlackFrame();
            DesignRect rect = {100, 50, 256, 256};
            DSP_BlitBitmapMapped(&rect, b, &c.mapping);
            int width = 0, height = 0, wrong = 0;
            const std::vector<uint32_t> shown = Grab(g_Rnd.backBuffer, &width, &height);
            for (int r = 0; r < 256; ++r)
                for (int col = 0; col < 256; ++col) {
                    const int sx = col + c.shiftX, sy = r + c.shiftY;
                    const bool inside = sx < source.width && sy < source.height;
                    const uint32_t expected =
                        inside ? Expected(bits, source.pixels[size_t(sy * source.width + sx)]) : 0u;
                    wrong += shown[size_t((50 + r) * width + 100 + col)] != expected;
                }
            EXPECT_EQ(wrong, 0);
            DSP_FreeBitmap(b);
        }

        // A rectangle running off the back buffer is drawn where it lies on it, and nowhere else.
        Bitmap* b = DSP_LoadBitmap("square.bmp");
        ASSERT_NE(b, nullptr);
        BlackFrame();
        const uint32_t background = PixelOf(g_Rnd.backBuffer, 300, 300);
        const BitmapMapping identity = {0, 0, 256, 0, 0, 256};
        for (DesignRect rect : {DesignRect{600, 450, 256, 256}, DesignRect{-200, -100, 256, 256}}) {
            const int x0 = rect.x, y0 = rect.y;
            DSP_BlitBitmapMapped(&rect, b, &identity);
            EXPECT_EQ(PixelOf(g_Rnd.backBuffer, std::max(x0, 0), std::max(y0, 0)),
                      Expected(bits, square.at(std::max(-x0, 0), std::max(-y0, 0))));
        }
        EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 300, 300), background);
        DSP_FreeBitmap(b);
        DSP_Release(window);
    }
}

TEST_F(BitmapTest, MappedBlitConvertsItsRectangleInPlace) {
    Write(dk::EncodeBmp8(Gradient(16, 16)), "small.bmp");
    OpenDisplay(320, 240, 16);
    Bitmap* b = DSP_LoadBitmap("small.bmp");
    ASSERT_NE(b, nullptr);
    const BitmapMapping mapping = {0, 0, 8, 0, 0, 8};
    DesignRect rect = {101, 51, 17, 9};
    DSP_BlitBitmapMapped(&rect, b, &mapping);
    EXPECT_EQ(rect.x, 50);
    EXPECT_EQ(rect.y, 25);
    EXPECT_EQ(rect.width, 8);
    EXPECT_EQ(rect.height, 4);
    DSP_BlitBitmapMapped(&rect, nullptr, &mapping);  // nothing to draw, but converted again
    EXPECT_EQ(rect.x, 25);
    DSP_FreeBitmap(b);
}

TEST_F(BitmapTest, FreeingReleasesTheSurfaceAndItsPalette) {
    Write(dk::EncodeBmp8(Gradient(16, 16)), "small.bmp");
    OpenDisplay(640, 480, 8);
    const int before = plat::LiveDisplayObjects();
    Bitmap* b = DSP_LoadBitmap("small.bmp");
    ASSERT_NE(b, nullptr);
    ASSERT_NE(b->palette, nullptr) << "an 8-bit picture surface gets a copy of the display palette";
    EXPECT_EQ(plat::LiveDisplayObjects(), before + 2);
    EXPECT_EQ(b->picture, nullptr) << "the file's bitmap is only held while loading";
    DSP_FreeBitmap(b);
    EXPECT_EQ(plat::LiveDisplayObjects(), before);
    DSP_FreeBitmap(nullptr);
}

TEST_F(BitmapTest, LoadFailuresLeaveNothingBehind) {
    std::vector<uint8_t> broken = dk::EncodeBmp8(Gradient(16, 16));
    broken[28] = 16;  // 16 bits per pixel: not a depth the reader takes
    Write(broken, "broken.bmp");
    Write(dk::EncodeBmp8(Gradient(1, 1)), "dot.bmp");
    OpenDisplay(320, 240, 16);
    const int objects = plat::LiveDisplayObjects();
    const int32_t blocks = g_Rnd.liveBlocks;
    EXPECT_EQ(DSP_LoadBitmap("missing.bmp"), nullptr);
    EXPECT_EQ(DSP_LoadBitmap("broken.bmp"), nullptr);
    EXPECT_EQ(DSP_LoadBitmap(nullptr), nullptr);
    EXPECT_EQ(DSP_LoadBitmap("dot.bmp"), nullptr) << "a 1 x 1 picture scales to nothing in 320 x 240";
    EXPECT_EQ(plat::LiveDisplayObjects(), objects);
    EXPECT_EQ(g_Rnd.liveBlocks, blocks);
    DSP_Release(window);
    EXPECT_EQ(DSP_LoadBitmap("dot.bmp"), nullptr) << "no display";
}

TEST_F(BitmapTest, DesignSizeSetsTheScale) {
    Write(dk::EncodeBmp8(Gradient(100, 60)), "panel.bmp");
    OpenDisplay(320, 240, 16);
    EXPECT_EQ(DSP_DesignToScreenX(100.0f), 50.0f);
    EXPECT_EQ(DSP_DesignToScreenY(100.0f), 50.0f);
    EXPECT_EQ(DSP_ScreenToDesignX(50.0f), 100.0f);
    EXPECT_EQ(DSP_ScreenToDesignY(50.0f), 100.0f);
    // The interface loads some pictures unscaled by making the design size the screen's.
    DSP_SetDesignSize(320, 240);
    Bitmap* b = DSP_LoadBitmap("panel.bmp");
    DSP_SetDesignSize(640, 480);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->width, 100);
    EXPECT_EQ(b->height, 60);
    DSP_FreeBitmap(b);
}
