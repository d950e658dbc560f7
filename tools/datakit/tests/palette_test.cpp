// Palette files: 256 red, green, blue triples; and the demo palette holds the title's colours.
#include <gtest/gtest.h>

#include "datakit/palette.h"

TEST(Palette, RedGreenBlueTriplesInEntryOrder) {
    dk::Palette palette{};
    palette[0] = {1, 2, 3};
    palette[255] = {0xFD, 0xFE, 0xFF};
    const std::vector<uint8_t> bytes = dk::EncodePalette(palette);
    ASSERT_EQ(bytes.size(), 768u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 6), (std::vector<uint8_t>{1, 2, 3, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 3, bytes.end()), (std::vector<uint8_t>{0xFD, 0xFE, 0xFF}));
}

TEST(Palette, DemoPaletteKeepsThePictureColoursAndFillsTheRest) {
    const dk::Palette p = dk::DemoGamePalette();
    EXPECT_EQ(p[dk::kDemoMoon].r, 236);
    EXPECT_EQ(p[dk::kDemoLetter].g, 220);
    EXPECT_EQ(p[dk::kDemoSky].b, 24);
    // A free entry holds its 3-3-2 colour: 255 is (224, 224, 192).
    EXPECT_EQ(p[255].r, 224);
    EXPECT_EQ(p[255].g, 224);
    EXPECT_EQ(p[255].b, 192);
}
