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
