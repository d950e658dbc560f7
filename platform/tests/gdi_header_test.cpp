// A bitmap's information header through GetDIBits (size, depth and the resolution the file
// states) and the unscaled BitBlt into a surface's device context.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "display_fixture.h"
#include "gdi.h"

namespace {
using namespace displaytest;

// 2 x 1, 24 bits, 3780 x 1000 pixels per metre: a red pixel, then a blue one.
const std::vector<uint8_t> kTwoPixels = {
    0x42, 0x4D, 0x3E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x36, 0x00, 0x00, 0x00,  // file header
    0x28, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,              // 40, 2, 1
    0x01, 0x00, 0x18, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00,              // planes, 24, BI_RGB, 8
    0xC4, 0x0E, 0x00, 0x00, 0xE8, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00,  // blue, green, red; padding
};

class GdiHeaderTest : public DisplayTest {
protected:
    HBITMAP Load() {
        const std::string path = scratch + "/two.bmp";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(kTwoPixels.data()), long(kTwoPixels.size()));
        return static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    }
};

TEST_F(GdiHeaderTest, HeaderOfALoadedBitmap) {
    HBITMAP picture = Load();
    ASSERT_NE(picture, nullptr);
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    EXPECT_EQ(GetDIBits(nullptr, picture, 0, 0, nullptr, &h, DIB_RGB_COLORS), 1);
    EXPECT_EQ(h.biWidth, 2);
    EXPECT_EQ(h.biHeight, 1);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biXPelsPerMeter, 3780);
    EXPECT_EQ(h.biYPelsPerMeter, 1000);
    // Only the header query; a header whose size was not set, or no bitmap, is refused.
    std::vector<uint8_t> rows(8);
    EXPECT_EQ(GetDIBits(nullptr, picture, 0, 1, rows.data(), &h, DIB_RGB_COLORS), 0);
    BITMAPINFOHEADER unset{};
    EXPECT_EQ(GetDIBits(nullptr, picture, 0, 0, nullptr, &unset, DIB_RGB_COLORS), 0);
    EXPECT_EQ(GetDIBits(nullptr, nullptr, 0, 0, nullptr, &h, DIB_RGB_COLORS), 0);
    DeleteObject(picture);
}

TEST_F(GdiHeaderTest, BitBltCopiesUnscaled) {
    OpenDisplay(320, 240, 16);
    Ref<IDirectDrawSurface3> s = Offscreen(4, 2);
    HBITMAP picture = Load();
    ASSERT_NE(picture, nullptr);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, picture);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_TRUE(BitBlt(dc, 1, 1, 2, 1, memory, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(dc, 0, 0, 3, 1, memory, 0, 0, SRCCOPY)) << "wider than the bitmap";
    s->ReleaseDC(dc);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(picture);
    EXPECT_EQ(PixelAt(s.get(), 1, 1), 0xF800u);
    EXPECT_EQ(PixelAt(s.get(), 2, 1), 0x001Fu);
    EXPECT_EQ(PixelAt(s.get(), 0, 1), 0u);
    EXPECT_EQ(PixelAt(s.get(), 3, 0), 0u);
}

}  // namespace
