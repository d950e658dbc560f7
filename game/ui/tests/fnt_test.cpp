// Font and picture-holder tests on a headless 640 x 480 x 16 display: glyph pictures written as
// files (one byte by byte), text widths and alignments seen in the back buffer, refused fonts and
// alignments, the redraw count, and sets loaded twice or with missing pictures.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "datakit/bmp.h"
#include "engine/tests/rnd_display_fixture.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"
#include "ui/fnt.h"
#include "ui/img.h"

namespace {

constexpr uint32_t kWhite16 = 0xFFFF;

// S_AA.BMP ('a' of the small font): 8 x 15, 4 bits per pixel, every pixel palette entry 1 (white).
std::vector<uint8_t> SmallGlyphByHand() {
    std::vector<uint8_t> b = {
        0x42, 0x4D,              // "BM"
        0xB2, 0x00, 0x00, 0x00,  // file size 178
        0x00, 0x00, 0x00, 0x00,  // reserved
        0x76, 0x00, 0x00, 0x00,  // pixel data at 118 = 14 + 40 + 16 * 4
        0x28, 0x00, 0x00, 0x00,  // information header size 40
        0x08, 0x00, 0x00, 0x00,  // width 8
        0x0F, 0x00, 0x00, 0x00,  // height 15, bottom row first
        0x01, 0x00,              // planes
        0x04, 0x00,              // 4 bits per pixel
        0x00, 0x00, 0x00, 0x00,  // no compression
        0x3C, 0x00, 0x00, 0x00,  // image size 60 = 15 rows of 4 bytes
        0x00, 0x00, 0x00, 0x00,  // x pixels per metre
        0x00, 0x00, 0x00, 0x00,  // y pixels per metre
        0x10, 0x00, 0x00, 0x00,  // 16 colours used
        0x00, 0x00, 0x00, 0x00,  // all important
        0x00, 0x00, 0x00, 0x00,  // entry 0: black
        0xFF, 0xFF, 0xFF, 0x00,  // entry 1: white
    };
    b.resize(118, 0x00);                    // entries 2..15 black
    for (int row = 0; row < 15; ++row)
        b.insert(b.end(), {0x11, 0x11, 0x11, 0x11});
    return b;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
}

void Solid(const std::string& path, int w, int h, dk::Rgb colour) {
    dk::Bmp24 p(w, h);
    for (dk::Rgb& px : p.pixels)
        px = colour;
    WriteBytes(path, dk::EncodeBmp24(p));
}

void BlackFrame() {
    const float black[3] = {0.0f, 0.0f, 0.0f};
    RND_SetBackgroundColour(black);
    RND_BeginFrame();
    RND_EndScene();
}

class Fonts : public DisplayFixture {
protected:
    void SetUp() override {
        DisplayFixture::SetUp();
        OpenDisplay(640, 480, 16);
        WriteBytes("GRAPHICS/INTERFACE/FONTS/S_AA.BMP", SmallGlyphByHand());
        Solid("GRAPHICS/INTERFACE/FONTS/S_A.BMP", 9, 15, {255, 255, 255});
        Solid("GRAPHICS/INTERFACE/FONTS/L_B_A.BMP", 18, 34, {255, 255, 255});
        Solid("GRAPHICS/INTERFACE/FONTS/R_B_A.BMP", 18, 34, {255, 0, 0});
        FNT_LoadFonts();
        BlackFrame();
    }
    void TearDown() override {
        IMG_FreeOutgameBitmaps();
        DisplayFixture::TearDown();
    }
    // The columns of row y in [x0, x1) that hold a lit pixel.
    static std::string Row(int y, int x0, int x1) {
        std::string s;
        for (int x = x0; x < x1; ++x)
            s += PixelOf(g_Rnd.backBuffer, x, y) ? '#' : '.';
        return s;
    }
};

TEST_F(Fonts, CharacterNamesFollowTheLetterScheme) {
    struct Case { unsigned char code; bool extended; const char* want; } cases[] = {
        {'A', false, "A"}, {'a', false, "AA"}, {'z', true, "ZZ"}, {'7', false, "7"}, {',', false, "COM"},
        {' ', false, "SPCE"}, {'\\', false, "BSLSH"}, {'@', true, "AT"}, {'@', false, nullptr},
        {';', true, "SCOLON"}, {'#', true, nullptr}, {200, true, nullptr},
    };
    for (const Case& c : cases) {
        char buffer[8];
        const char* got = FNT_CharacterName(c.code, c.extended, buffer);
        EXPECT_STREQ(got, c.want) << int(c.code);
    }
}

TEST_F(Fonts, WidthsCountOnlyCodesBelow128) {
    struct Case { const char* text; int font, want; } cases[] = {
        {"aa", 3, 16}, {"Aa", 3, 17}, {"a.a", 3, 19}, {"a\xE9\xFF" "a", 3, 16}, {"Aa", 0, 32},
        {"Aa", 1, 32}, {"", 3, 0}, {nullptr, 3, 0}, {"Aa", 7, 0}, {"#", 2, 10},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FNT_TextWidth(c.text, c.font), c.want) << (c.text ? c.text : "null") << " font " << c.font;
}

TEST_F(Fonts, CentredTextStartsHalfItsWidthLeftAndIsVerticallyCentred) {
    ASSERT_EQ(FNT_DrawText("aa", 320, 100, 1, 3), 1);
    // Top = 100 - 15/2 = 93; left = 320 - 16/2 = 312.
    EXPECT_EQ(Row(93, 310, 330), "..################..");
    EXPECT_EQ(Row(107, 310, 330), "..################..");
    EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 312, 92), 0u);
    EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 312, 108), 0u);
    EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 312, 93), kWhite16);
}

TEST_F(Fonts, GapsForMissingPicturesAndNoAdvanceForHighCodes) {
    struct Case { const char* text; int alignment; const char* want; } cases[] = {
        {"a#a", 0, "########........########...."},   // '#' has no picture: 8 wide gap
        {"a\xE9" "a", 0, "################............"},  // skipped, no advance
        {"a#a", 2, "########........########...."},   // clipped blit, same places
        {"a#a", 4, "########........########...."},   // opaque
        {"a#a", 3, "....########........########"},   // centred: 24 wide at 20 -> 8
    };
    for (const Case& c : cases) {
        BlackFrame();
        EXPECT_EQ(FNT_DrawText(c.text, c.alignment == 3 ? 20 : 4, 50, c.alignment, 3), 1);
        EXPECT_EQ(Row(50, 4, 32), c.want) << c.text << " alignment " << c.alignment;
    }
}

TEST_F(Fonts, RefusedCallsAndFontNumbers) {
    EXPECT_EQ(FNT_DrawText(nullptr, 10, 10, 0, 3), 0);
    EXPECT_EQ(FNT_DrawText("a", 10, 10, 5, 3), 0);
    EXPECT_EQ(FNT_DrawText("a", 10, 10, -1, 3), 0);
    EXPECT_EQ(FNT_DrawText("a", 10, 10, 0, 7), 1);
    EXPECT_EQ(FNT_DrawText("a", 10, 10, 0, -2), 1);
    EXPECT_EQ(FNT_DrawText("", 10, 10, 0, 3), 1);
    EXPECT_EQ(Row(10, 0, 40), std::string(40, '.'));
}

TEST_F(Fonts, FontOneDrawsAsFontZeroAndFontTwoInItsOwnColour) {
    FNT_DrawText("A", 100, 200, 0, 0);
    const std::string zero = Row(200, 95, 125);
    const uint32_t white = PixelOf(g_Rnd.backBuffer, 100, 183);
    BlackFrame();
    FNT_DrawText("A", 100, 200, 0, 1);
    EXPECT_EQ(Row(200, 95, 125), zero);
    EXPECT_EQ(zero, ".....##################.......");
    EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 100, 183), white);  // top = 200 - 34/2
    EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 100, 182), 0u);
    BlackFrame();
    FNT_DrawText("A", 100, 200, 0, 2);
    EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 100, 200), 0xF800u);
}

TEST_F(Fonts, RedrawCountAndHolderSets) {
    ImageHolder h{};
    EXPECT_EQ(IMG_DrawBitmap(&h, 0, 0, 0, 8, 15, IMG_OPAQUE), 0);
    IMG_FreeBitmap(&h);  // empty: nothing happens
    Bitmap* first = IMG_LoadBitmap(&h, "GRAPHICS\\INTERFACE\\FONTS\\S_AA.BMP");
    ASSERT_NE(first, nullptr);
    // Loading again keeps the first picture.
    EXPECT_EQ(IMG_LoadBitmap(&h, "GRAPHICS\\INTERFACE\\FONTS\\S_A.BMP"), first);
    h.redraw = 3;
    std::string drawn;
    for (int i = 0; i < 5; ++i) {
        BlackFrame();
        EXPECT_EQ(IMG_DrawBitmap(&h, 0, 0, 0, 8, 15, IMG_KEYED), 1);
        drawn += PixelOf(g_Rnd.backBuffer, 0, 0) ? '#' : '.';
    }
    EXPECT_EQ(drawn, "###..");
    EXPECT_EQ(h.redraw, 0);
    BlackFrame();
    h.redraw = 1;
    EXPECT_EQ(IMG_DrawBitmap(&h, 0, 0, 0, 8, 15, 2), 1);  // unknown mode: counted, nothing drawn
    EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 0, 0), 0u);
    IMG_FreeBitmap(&h);
    EXPECT_EQ(h.loaded, 0);
    EXPECT_EQ(h.bitmap, nullptr);
    // A missing picture leaves the holder empty and draws nothing.
    EXPECT_EQ(IMG_LoadBitmap(&h, "GRAPHICS\\INTERFACE\\NOPE.BMP"), nullptr);
    EXPECT_EQ(h.loaded, 0);
    // A set with most pictures missing loads what exists, and can be freed and loaded again.
    Solid("GRAPHICS/INTERFACE/OUTGAME/BACKGROUNDS/MENUBACK.BMP", 640, 480, {0, 0, 255});
    IMG_LoadMenuBitmaps();
    EXPECT_EQ(g_ImgMenuBackgrounds[IMG_BACK_MENU].loaded, 1);
    EXPECT_EQ(g_ImgMenuBackgrounds[1].loaded, 0);
    IMG_FreeOutgameBitmaps();
    EXPECT_EQ(g_ImgMenuBackgrounds[IMG_BACK_MENU].loaded, 0);
    IMG_LoadMenuBitmaps();
    EXPECT_EQ(g_ImgMenuBackgrounds[IMG_BACK_MENU].loaded, 1);
}

}  // namespace
