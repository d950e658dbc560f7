// The bitmap writer against a 3 x 2 picture laid out byte by byte from the format's tables: file
// header, information header, palette in blue-green-red-0 order, bottom row first, rows padded to
// four bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "datakit/bmp.h"

TEST(Bmp8, ThreeByTwoPictureByteByByte) {
    dk::Bmp8 picture(3, 2);
    picture.palette[0] = {0x10, 0x20, 0x30};
    picture.palette[1] = {0xFF, 0x00, 0x80};
    picture.palette[255] = {1, 2, 3};
    picture.at(0, 0) = 1;  // top row: 1 0 2
    picture.at(2, 0) = 2;
    picture.at(1, 1) = 255;  // bottom row: 0 255 0

    const std::vector<uint8_t> header = {
        // file header: "BM", file size 1078 + 8, two reserved words, pixels at 1078
        0x42, 0x4D, 0x3E, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x36, 0x04, 0x00, 0x00,
        // information header: size 40, width 3, height 2 (bottom-up), 1 plane, 8 bits,
        // uncompressed, image 8 bytes, 2835 x 2835 pixels per metre, 256 colours, all important
        0x28, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x08, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x13, 0x0B, 0x00, 0x00, 0x13, 0x0B, 0x00, 0x00,
        0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        // palette entries 0 and 1: blue, green, red, 0
        0x30, 0x20, 0x10, 0x00, 0x80, 0x00, 0xFF, 0x00,
    };
    const std::vector<uint8_t> tail = {
        0x03, 0x02, 0x01, 0x00,  // palette entry 255
        0x00, 0xFF, 0x00, 0x00,  // bottom row and one byte of padding
        0x01, 0x00, 0x02, 0x00,  // top row and padding
    };

    const std::vector<uint8_t> bytes = dk::EncodeBmp8(picture);
    ASSERT_EQ(bytes.size(), 1078u + 8u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(header.size())), header);
    for (size_t i = header.size(); i < 54 + 255 * 4; ++i)
        EXPECT_EQ(bytes[i], 0) << "palette byte " << i;
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - long(tail.size()), bytes.end()), tail);
}

TEST(Bmp8, RefusesPixelsThatDoNotMatchTheSize) {
    dk::Bmp8 picture(4, 4);
    picture.pixels.pop_back();
    EXPECT_TRUE(dk::EncodeBmp8(picture).empty());
    EXPECT_TRUE(dk::EncodeBmp8(dk::Bmp8()).empty());
}

TEST(Bmp, FourBitsTopDownByteByByte) {
    dk::Bmp8 picture(3, 2);
    picture.palette[1] = {0xAA, 0xBB, 0xCC};
    picture.palette[15] = {1, 2, 3};
    picture.at(0, 0) = 1;  // top row: 1 0 15
    picture.at(2, 0) = 15;
    picture.at(1, 1) = 1;  // bottom row: 0 1 0
    const std::vector<uint8_t> bytes = dk::EncodeBmp(picture, 4, true);
    // 14 + 40 + 16 colours x 4 = 118 bytes before the pixels, 2 rows of 4 bytes.
    ASSERT_EQ(bytes.size(), 126u);
    const std::vector<uint8_t> fields = {
        0x7E, 0x00, 0x00, 0x00,  // file size 126
        0x00, 0x00, 0x00, 0x00,  // reserved
        0x76, 0x00, 0x00, 0x00,  // pixels at 118
        0x28, 0x00, 0x00, 0x00,  // information header size 40
        0x03, 0x00, 0x00, 0x00,  // width 3
        0xFE, 0xFF, 0xFF, 0xFF,  // height -2: top row first
        0x01, 0x00, 0x04, 0x00,  // 1 plane, 4 bits
        0x00, 0x00, 0x00, 0x00,  // uncompressed
        0x08, 0x00, 0x00, 0x00,  // image 8 bytes
    };
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 2, bytes.begin() + 38), fields);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 46, bytes.begin() + 50), (std::vector<uint8_t>{16, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 58, bytes.begin() + 62), (std::vector<uint8_t>{0xCC, 0xBB, 0xAA, 0}));
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 114, bytes.end()),
              (std::vector<uint8_t>{0x03, 0x02, 0x01, 0x00,  // colour 15, then the rows:
                                    0x10, 0xF0, 0x00, 0x00,  // 1 0 | 15 -
                                    0x01, 0x00, 0x00, 0x00}));  // 0 1 | 0 -
    picture.at(1, 0) = 16;
    EXPECT_TRUE(dk::EncodeBmp(picture, 4).empty()) << "16 does not fit in 4 bits";
    EXPECT_TRUE(dk::EncodeBmp(picture, 2).empty());
}

TEST(Bmp, TwentyFourBitsByteByByte) {
    dk::Bmp24 picture(2, 2);
    picture.at(0, 0) = {0xFF, 0x00, 0x00};
    picture.at(1, 0) = {0x01, 0x02, 0x03};
    picture.at(0, 1) = {0x10, 0x20, 0x30};
    const std::vector<uint8_t> bytes = dk::EncodeBmp24(picture);
    ASSERT_EQ(bytes.size(), 54u + 16u) << "no colour table, rows of 6 bytes padded to 8";
    EXPECT_EQ(bytes[10], 54) << "pixels right after the information header";
    EXPECT_EQ(bytes[28], 24);
    EXPECT_EQ(bytes[46], 0) << "no colours used";
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 54, bytes.end()),
              (std::vector<uint8_t>{0x30, 0x20, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00,     // bottom row, blue first
                                    0x00, 0x00, 0xFF, 0x03, 0x02, 0x01, 0x00, 0x00}));  // top row
}
