// GDI: bitmap files read from hand-laid bytes (both row orders, 1, 4, 8 and 24 bits), files whose
// header fields disagree with their bytes refused, the nearest-neighbour stretch into 8- and
// 16-bit surfaces with its clipping, colour tables, text in the built-in font, and handle checks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "display_fixture.h"
#include "gdi.h"

namespace {
using namespace displaytest;
using Bytes = std::vector<uint8_t>;

// 3 x 2, 8 bits per pixel, bottom row first, a table of 4 colours.
const Bytes kEightBit = {
    // file header: "BM", file size 78, reserved, pixels at 70
    0x42, 0x4D, 0x4E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46, 0x00, 0x00, 0x00,
    // information header: 40 bytes, width 3, height 2, 1 plane, 8 bits, uncompressed, image 8
    // bytes, 2835 x 2835 pixels per metre, 4 colours used, 0 important
    0x28, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x08, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x13, 0x0B, 0x00, 0x00, 0x13, 0x0B, 0x00, 0x00,
    0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    // colours (blue, green, red, 0): black, (200, 0, 0), (0, 5, 200), white
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC8, 0x00, 0xC8, 0x05, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00,
    // bottom row 3 0 1 and a padding byte, then the top row 1 2 3
    0x03, 0x00, 0x01, 0x00,
    0x01, 0x02, 0x03, 0x00,
};

// 10 x 2, 1 bit per pixel, top row first (negative height), the full table of 2 colours.
const Bytes kOneBitTopDown = {
    // file header: file size 70, pixels at 62
    0x42, 0x4D, 0x46, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3E, 0x00, 0x00, 0x00,
    // information header: width 10, height -2, 1 plane, 1 bit, uncompressed, image size 0,
    // resolution 0, colours used 0 (all), important 0
    0x28, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x00, 0xFE, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x01, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    // colours: black, (10, 20, 30)
    0x00, 0x00, 0x00, 0x00, 0x1E, 0x14, 0x0A, 0x00,
    // top row 1011000011, bottom row 0100111101, each padded to 4 bytes
    0xB0, 0xC0, 0x00, 0x00,
    0x4F, 0x40, 0x00, 0x00,
};

void Put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// A bitmap file from its parts, laid out as in the tables above: rows given top first, each
// already padded.
Bytes Build(int width, int height, int bits, const std::vector<RGBQUAD>& table, const std::vector<Bytes>& rows,
            bool topDown) {
    Bytes b(54, 0);
    b[0] = 'B';
    b[1] = 'M';
    const uint32_t offset = uint32_t(54 + table.size() * 4);
    Put32(b, 10, offset);
    Put32(b, 14, 40);
    Put32(b, 18, uint32_t(width));
    Put32(b, 22, uint32_t(topDown ? -height : height));
    b[26] = 1;
    b[28] = uint8_t(bits);
    Put32(b, 46, uint32_t(table.size()));
    for (const RGBQUAD& c : table)
        b.insert(b.end(), {c.rgbBlue, c.rgbGreen, c.rgbRed, 0});
    for (int i = 0; i < height; ++i) {
        const Bytes& row = rows[size_t(topDown ? i : height - 1 - i)];
        b.insert(b.end(), row.begin(), row.end());
    }
    Put32(b, 2, uint32_t(b.size()));
    return b;
}

class GdiTest : public DisplayTest {
protected:
    std::string Write(const Bytes& bytes, const std::string& name = "picture.bmp") {
        const std::string path = scratch + "/" + name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
        return path;
    }
    HBITMAP Load(const Bytes& bytes) {
        return static_cast<HBITMAP>(LoadImageA(nullptr, Write(bytes).c_str(), IMAGE_BITMAP, 0, 0,
                                               LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    }
    // Stretches the whole picture onto (x, y, w, h) of a surface; false when StretchBlt refused.
    bool Stretch(IDirectDrawSurface3* s, HBITMAP picture, int x, int y, int w, int h) {
        BITMAP info{};
        EXPECT_EQ(GetObjectA(picture, sizeof info, &info), int(sizeof info));
        HDC memory = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(memory, picture);
        HDC dc = nullptr;
        EXPECT_EQ(s->GetDC(&dc), DD_OK);
        SetStretchBltMode(dc, COLORONCOLOR);
        const BOOL ok = StretchBlt(dc, x, y, w, h, memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
        s->ReleaseDC(dc);
        SelectObject(memory, old);
        DeleteDC(memory);
        return ok;
    }
    std::vector<std::vector<uint32_t>> Pixels(IDirectDrawSurface3* s, int width, int height) {
        std::vector<std::vector<uint32_t>> rows(static_cast<size_t>(height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                rows[size_t(y)].push_back(PixelAt(s, x, y));
        return rows;
    }
};

using Grid = std::vector<std::vector<uint32_t>>;

// Every byte of every row beyond `usedBytes` (the padding) is still 0.
bool PaddingUntouched(IDirectDrawSurface3* s, size_t usedBytes) {
    DDSURFACEDESC d = LockDesc();
    s->GetSurfaceDesc(&d);
    const Bytes all = Snapshot(s);
    for (size_t y = 0; y < d.dwHeight; ++y)
        for (size_t x = usedBytes; x < size_t(d.lPitch); ++x)
            if (all[y * size_t(d.lPitch) + x] != 0)
                return false;
    return true;
}
}  // namespace

TEST_F(GdiTest, ReadsTheHandLaidFiles) {
    struct Case {
        const char* name;
        const Bytes* file;
        int bits;  // of the display
        int width, height, sourceBits;
        Grid pixels;
    };
    const Case cases[] = {
        {"8 bits into 5-6-5", &kEightBit, 16, 3, 2, 8, {{0xC800, 0x0039, 0xFFFF}, {0xFFFF, 0x0000, 0xC800}}},
        {"8 bits into 8 bits: the indices", &kEightBit, 8, 3, 2, 8, {{1, 2, 3}, {3, 0, 1}}},
        {"1 bit, top row first", &kOneBitTopDown, 8, 10, 2, 1,
         {{1, 0, 1, 1, 0, 0, 0, 0, 1, 1}, {0, 1, 0, 0, 1, 1, 1, 1, 0, 1}}},
        {"1 bit into 5-6-5", &kOneBitTopDown, 16, 10, 2, 1,
         {{0x08A3, 0, 0x08A3, 0x08A3, 0, 0, 0, 0, 0x08A3, 0x08A3}, {0, 0x08A3, 0, 0, 0x08A3, 0x08A3, 0x08A3, 0x08A3, 0, 0x08A3}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenDisplay(640, 480, c.bits);
        HBITMAP picture = Load(*c.file);
        ASSERT_NE(picture, nullptr);
        BITMAP info{};
        ASSERT_EQ(GetObjectA(picture, sizeof info, &info), int(sizeof info));
        EXPECT_EQ(info.bmWidth, c.width);
        EXPECT_EQ(info.bmHeight, c.height);
        EXPECT_EQ(info.bmBitsPixel, c.sourceBits);
        Ref<IDirectDrawSurface3> s = Offscreen(c.width, c.height);
        ASSERT_TRUE(Stretch(s.get(), picture, 0, 0, c.width, c.height));
        EXPECT_EQ(Pixels(s.get(), c.width, c.height), c.pixels);
        EXPECT_TRUE(DeleteObject(picture));
    }
}

TEST_F(GdiTest, GivesTheColourTable) {
    HBITMAP picture = Load(kEightBit);
    ASSERT_NE(picture, nullptr);
    HDC memory = CreateCompatibleDC(nullptr);
    SelectObject(memory, picture);
    RGBQUAD table[256] = {};
    ASSERT_EQ(GetDIBColorTable(memory, 0, 256, table), 4u) << "the 4 colours the file uses";
    EXPECT_EQ(table[2].rgbRed, 0);
    EXPECT_EQ(table[2].rgbGreen, 5);
    EXPECT_EQ(table[2].rgbBlue, 200);
    EXPECT_EQ(GetDIBColorTable(memory, 3, 10, table), 1u);
    EXPECT_EQ(GetDIBColorTable(memory, 4, 10, table), 0u);
    DeleteDC(memory);
    EXPECT_TRUE(DeleteObject(picture));
}

TEST_F(GdiTest, RefusesFilesWhoseFieldsDisagreeWithTheBytes) {
    struct Patch {
        const char* name;
        size_t at;
        Bytes bytes;
    };
    const Patch patches[] = {
        {"not BM", 1, {'X'}},
        {"an OS/2 header", 14, {12, 0, 0, 0}},
        {"an unknown header size", 14, {41, 0, 0, 0}},
        {"header beyond the file", 14, {0x7C, 0, 0, 0}},
        {"width 0", 18, {0, 0, 0, 0}},
        {"negative width", 18, {0xFD, 0xFF, 0xFF, 0xFF}},
        {"height 0", 22, {0, 0, 0, 0}},
        {"a huge height", 22, {0, 0, 0, 0x40}},
        {"two planes", 26, {2, 0}},
        {"16 bits", 28, {16, 0}},
        {"32 bits", 28, {32, 0}},
        {"run-length compressed", 30, {1, 0, 0, 0}},
        {"image size too small", 34, {4, 0, 0, 0}},
        {"image size beyond the file", 34, {9, 0, 0, 0}},
        {"more colours than 8 bits hold", 46, {1, 1, 0, 0}},
        {"more important colours than used", 50, {5, 0, 0, 0}},
        {"pixels inside the colour table", 10, {0x40, 0, 0, 0}},
        {"pixels running past the end", 10, {0x48, 0, 0, 0}},
        {"file size beyond the file", 2, {0x4F, 0, 0, 0}},
        {"file size short of the pixels", 2, {0x4D, 0, 0, 0}},
        {"a colour table without room (256 colours)", 46, {0, 1, 0, 0}},
    };
    for (const Patch& p : patches) {
        SCOPED_TRACE(p.name);
        Bytes file = kEightBit;
        std::copy(p.bytes.begin(), p.bytes.end(), file.begin() + long(p.at));
        EXPECT_EQ(Load(file), nullptr);
    }
    for (const Bytes* good : {&kEightBit, &kOneBitTopDown})
        for (size_t size = 0; size < good->size(); ++size)
            EXPECT_EQ(Load(Bytes(good->begin(), good->begin() + long(size))), nullptr) << "cut to " << size;

    // File size and image size 0 mean "not given".
    Bytes unsized = kEightBit;
    Put32(unsized, 2, 0);
    Put32(unsized, 34, 0);
    HBITMAP picture = Load(unsized);
    EXPECT_NE(picture, nullptr);
    DeleteObject(picture);
}

TEST_F(GdiTest, ReadsFourAndTwentyFourBitsInBothRowOrders) {
    const std::vector<RGBQUAD> table = {{0, 0, 0, 0}, {0, 0, 255, 0}, {0, 255, 0, 0}};
    // 4 bits: 3 x 2, rows 0 1 2 / 2 1 0 (nibbles, high first).
    const std::vector<Bytes> fourRows = {{0x01, 0x20, 0, 0}, {0x21, 0x00, 0, 0}};
    // 24 bits: 2 x 2, blue green red per pixel, rows padded to 8 bytes.
    const std::vector<Bytes> trueRows = {{0xFF, 0, 0, 0, 0xFF, 0, 0, 0}, {0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0}};
    for (bool topDown : {false, true}) {
        SCOPED_TRACE(topDown ? "top row first" : "bottom row first");
        OpenDisplay(640, 480, 16);
        HBITMAP four = Load(Build(3, 2, 4, table, fourRows, topDown));
        ASSERT_NE(four, nullptr);
        Ref<IDirectDrawSurface3> s = Offscreen(3, 2);
        ASSERT_TRUE(Stretch(s.get(), four, 0, 0, 3, 2));
        EXPECT_EQ(Pixels(s.get(), 3, 2), (Grid{{0, 0xF800, 0x07E0}, {0x07E0, 0xF800, 0}}));
        DeleteObject(four);

        HBITMAP rgb = Load(Build(2, 2, 24, {}, trueRows, topDown));
        ASSERT_NE(rgb, nullptr);
        Ref<IDirectDrawSurface3> t = Offscreen(2, 2);
        ASSERT_TRUE(Stretch(t.get(), rgb, 0, 0, 2, 2));
        EXPECT_EQ(Pixels(t.get(), 2, 2), (Grid{{0x001F, 0x07E0}, {0xF800, 0xFFFF}}));
        DeleteObject(rgb);
    }
}

TEST_F(GdiTest, StretchesByNearestNeighbour) {
    OpenDisplay(640, 480, 8);
    const std::vector<RGBQUAD> table(8, RGBQUAD{0, 0, 0, 0});
    HBITMAP picture = Load(Build(4, 2, 8, table, {{0, 1, 2, 3}, {4, 5, 6, 7}}, false));
    ASSERT_NE(picture, nullptr);
    struct Case {
        int width, height;
        Grid pixels;
    };
    const Case cases[] = {
        {8, 4, {{0, 0, 1, 1, 2, 2, 3, 3}, {0, 0, 1, 1, 2, 2, 3, 3}, {4, 4, 5, 5, 6, 6, 7, 7}, {4, 4, 5, 5, 6, 6, 7, 7}}},
        {2, 1, {{0, 2}}},
        {6, 2, {{0, 0, 1, 2, 2, 3}, {4, 4, 5, 6, 6, 7}}},
        {3, 3, {{0, 1, 2}, {0, 1, 2}, {4, 5, 6}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        Ref<IDirectDrawSurface3> s = Offscreen(c.width, c.height);
        ASSERT_TRUE(Stretch(s.get(), picture, 0, 0, c.width, c.height));
        EXPECT_EQ(Pixels(s.get(), c.width, c.height), c.pixels);
    }
    DeleteObject(picture);
}

TEST_F(GdiTest, StretchIsClippedToTheSurface) {
    OpenDisplay(640, 480, 16);
    const std::vector<RGBQUAD> table = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    HBITMAP picture = Load(Build(2, 2, 8, table, {{1, 1, 0, 0}, {1, 1, 0, 0}}, false));
    ASSERT_NE(picture, nullptr);
    struct Case {
        const char* name;
        int x, y, w, h;
        int inked;  // pixels of the 5 x 5 surface drawn white
    };
    const Case cases[] = {
        {"over the top left corner", -3, -3, 6, 6, 9},
        {"over the bottom right corner", 3, 3, 8, 8, 4},
        {"larger than the surface", -10, -10, 40, 40, 25},
        {"outside altogether", 100, 0, 4, 4, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Ref<IDirectDrawSurface3> s = Offscreen(5, 5);
        ASSERT_TRUE(Stretch(s.get(), picture, c.x, c.y, c.w, c.h));
        int inked = 0;
        for (const auto& row : Pixels(s.get(), 5, 5))
            for (uint32_t p : row)
                inked += p == 0xFFFF;
        EXPECT_EQ(inked, c.inked);
        EXPECT_TRUE(PaddingUntouched(s.get(), 5 * 2));
    }
    DeleteObject(picture);
}

TEST_F(GdiTest, TrueColourTakesTheNearestPaletteEntry) {
    OpenDisplay(640, 480, 8);
    HBITMAP picture = Load(Build(3, 1, 24, {}, {{0, 0, 250, 120, 0, 0, 200, 200, 200, 0, 0, 0}}, false));
    ASSERT_NE(picture, nullptr);
    std::vector<PALETTEENTRY> entries(256, PALETTEENTRY{0, 0, 0, 0});
    entries[10] = {255, 0, 0, 0};
    entries[20] = {0, 0, 128, 0};
    entries[30] = {255, 255, 255, 0};
    Ref<IDirectDrawPalette> palette;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries.data(), palette.out(), nullptr), DD_OK);
    Ref<IDirectDrawSurface3> s = Offscreen(3, 1);
    ASSERT_EQ(s->SetPalette(palette.get()), DD_OK);
    ASSERT_TRUE(Stretch(s.get(), picture, 0, 0, 3, 1));
    EXPECT_EQ(Pixels(s.get(), 3, 1), (Grid{{10, 20, 30}}));
    DeleteObject(picture);
}

TEST_F(GdiTest, AChangedColourTableShowsInTheNextStretch) {
    OpenDisplay(640, 480, 16);
    HBITMAP picture = Load(kEightBit);
    ASSERT_NE(picture, nullptr);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ stock = SelectObject(memory, picture);
    const RGBQUAD raised = {200, 8, 8, 0};  // (8, 8, 200)
    ASSERT_EQ(SetDIBColorTable(memory, 2, 1, &raised), 1u);
    SelectObject(memory, stock);
    DeleteDC(memory);
    Ref<IDirectDrawSurface3> s = Offscreen(3, 2);
    ASSERT_TRUE(Stretch(s.get(), picture, 0, 0, 3, 2));
    EXPECT_EQ(PixelAt(s.get(), 1, 0), uint32_t((1 << 11) | (2 << 5) | 25));
    DeleteObject(picture);
}

TEST_F(GdiTest, TextDrawsTheBuiltInGlyphs) {
    OpenDisplay(640, 480, 16);
    Ref<IDirectDrawSurface3> s = Offscreen(14, 12);
    HFONT font = CreateFontA(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             NONANTIALIASED_QUALITY, VARIABLE_PITCH, "Terminal");
    ASSERT_NE(font, nullptr);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    ASSERT_TRUE(TextOutA(dc, 1, 0, "H.", 2));
    s->ReleaseDC(dc);
    // The 5 x 7 glyphs sit in the middle of their 12-row, 6-column cells.
    const std::vector<std::string> expected = {
        "..............", "..............", ".#...#........", ".#...#........", ".#...#........",
        ".#####........", ".#...#........", ".#...#..##....", ".#...#..##....", "..............",
        "..............", "..............",
    };
    std::vector<std::string> drawn;
    for (const auto& row : Pixels(s.get(), 14, 12)) {
        std::string line;
        for (uint32_t p : row)
            line += p == 0xFFFF ? '#' : '.';
        drawn.push_back(line);
    }
    EXPECT_EQ(drawn, expected);

    // Opaque cells fill their background; text running off every edge stays inside.
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, RGB(0, 0, 255));
    SetTextColor(dc, RGB(255, 0, 0));
    ASSERT_TRUE(TextOutA(dc, -4, -5, "\xA3 long text running off", 23));
    ASSERT_TRUE(TextOutA(dc, 10, 9, "edge", 4));
    s->ReleaseDC(dc);
    EXPECT_EQ(PixelAt(s.get(), 0, 0), 0x001Fu) << "the first cell's background, the pound sign has no glyph";
    EXPECT_TRUE(PaddingUntouched(s.get(), 14 * 2));
    EXPECT_TRUE(DeleteObject(font));
}

TEST_F(GdiTest, HandlesAreCheckedAndASelectedBitmapIsKept) {
    OpenDisplay(640, 480, 16);
    HBITMAP picture = Load(kEightBit);
    ASSERT_NE(picture, nullptr);
    HDC one = CreateCompatibleDC(nullptr), two = CreateCompatibleDC(nullptr);
    HGDIOBJ stock = SelectObject(one, picture);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(SelectObject(two, picture), nullptr) << "a bitmap is in one context at a time";
    EXPECT_FALSE(DeleteObject(picture)) << "still selected";
    EXPECT_EQ(SelectObject(one, stock), picture);
    EXPECT_TRUE(DeleteObject(picture));
    EXPECT_EQ(GetObjectA(picture, sizeof(BITMAP), nullptr), 0) << "a deleted bitmap is unknown";
    int notAnObject = 0;
    EXPECT_EQ(GetObjectA(&notAnObject, sizeof(BITMAP), nullptr), 0);
    EXPECT_EQ(SelectObject(reinterpret_cast<HDC>(&notAnObject), stock), nullptr);

    Ref<IDirectDrawSurface3> s = Offscreen(4, 4);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_FALSE(DeleteDC(dc)) << "a surface's context goes back with ReleaseDC";
    EXPECT_FALSE(StretchBlt(dc, 0, 0, 4, 4, one, 0, 0, 1, 1, SRCCOPY)) << "the stock bitmap is not a picture";
    HBITMAP again = Load(kEightBit);
    SelectObject(two, again);
    EXPECT_FALSE(StretchBlt(dc, 0, 0, 4, 4, two, 1, 0, 3, 2, SRCCOPY)) << "source beyond the picture";
    EXPECT_FALSE(StretchBlt(dc, 0, 0, 4, 4, two, 0, 0, 3, 2, 0x00EE0086)) << "only SRCCOPY";
    EXPECT_FALSE(StretchBlt(dc, 0, 0, -4, 4, two, 0, 0, 3, 2, SRCCOPY)) << "no mirroring";
    EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
    DeleteDC(one);
    DeleteDC(two);
    EXPECT_TRUE(DeleteObject(again)) << "deleting its context let it go";
}

TEST_F(GdiTest, LoadsGamePathsAndNothingElse) {
    std::filesystem::create_directories(scratch + "/Graphics/Interface");
    Write(kEightBit, "Graphics/Interface/Title.BMP");
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(scratch);
    HANDLE found = LoadImageA(nullptr, "graphics\\interface\\title.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    HANDLE missing = LoadImageA(nullptr, "graphics\\interface\\none.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    HANDLE resource = LoadImageA(nullptr, "graphics\\interface\\title.bmp", IMAGE_BITMAP, 0, 0, 0);
    HANDLE scaled = LoadImageA(nullptr, "graphics\\interface\\title.bmp", IMAGE_BITMAP, 6, 4, LR_LOADFROMFILE);
    std::filesystem::current_path(previous);
    EXPECT_NE(found, nullptr);
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(resource, nullptr) << "only files";
    EXPECT_EQ(scaled, nullptr) << "no scaling at load";
    DeleteObject(found);
}
