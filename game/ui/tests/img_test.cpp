// Interface picture tests: the in-game set loads what exists and leaves missing pictures empty,
// a second load keeps the first pictures, a freed set loads again, the location map is loaded
// at the display's size and in design space, and world-object icons and faces are refused
// outside their tables.
#include <gtest/gtest.h>

#include <string>

#include "datakit/bmp.h"
#include "engine/rnd_bitmap.h"
#include "engine/tests/rnd_display_fixture.h"
#include "ui/img.h"

namespace {

class IngamePictures : public DisplayFixture {
protected:
    void Write(const std::string& path, int size) {
        dk::Bmp8 picture(size, size);
        picture.palette[1] = {0x10, 0x80, 0xF0};
        std::fill(picture.pixels.begin(), picture.pixels.end(), uint8_t(1));
        ASSERT_TRUE(dk::WriteBmp8(path, picture));
    }
    void TearDown() override {
        IMG_FreeIngameWindows();
        IMG_FreeFaces();
        DisplayFixture::TearDown();
    }
};

TEST_F(IngamePictures, LoadsWhatExistsKeepsTheFirstAndReloadsAfterAFree) {
    OpenDisplay(640, 480, 16);
    Write("GRAPHICS/INTERFACE/INGAME/ICONS/RADAR/RA_GLIP3.BMP", 8);
    Write("GRAPHICS/INTERFACE/INGAME/ROTATES/EYEBALL/IBAL0064.BMP", 16);
    Write("GRAPHICS/INTERFACE/INGAME/MAPS/AIRPORT.BMP", 32);
    Write("GRAPHICS/INTERFACE/INGAME/WINDOWS/CBF.BMP", 16);

    ASSERT_EQ(IMG_LoadIngameWindows(5), 1);
    EXPECT_NE(g_ImgRadarBlips[2][3].bitmap, nullptr);
    EXPECT_EQ(g_ImgRadarBlips[2][2].bitmap, nullptr) << "a missing picture leaves its holder empty";
    EXPECT_EQ(g_ImgRadarBlips[2][2].loaded, 0);
    EXPECT_NE(g_ImgEyeball[63].bitmap, nullptr);
    EXPECT_NE(g_ImgIngameWindows[1].bitmap, nullptr);
    EXPECT_NE(g_ImgLocationMap[0].bitmap, nullptr);
    EXPECT_NE(g_ImgLocationMap[1].bitmap, nullptr);

    Bitmap* first = g_ImgRadarBlips[2][3].bitmap;
    ASSERT_EQ(IMG_LoadIngameWindows(5), 1);
    EXPECT_EQ(g_ImgRadarBlips[2][3].bitmap, first) << "a second load keeps the first picture";

    IMG_FreeIngameWindows();
    EXPECT_EQ(g_ImgRadarBlips[2][3].bitmap, nullptr);
    EXPECT_EQ(g_ImgLocationMap[1].loaded, 0);
    ASSERT_EQ(IMG_LoadIngameWindows(5), 1);
    EXPECT_NE(g_ImgRadarBlips[2][3].bitmap, nullptr) << "a freed set loads again";
}

TEST_F(IngamePictures, TheLocationMapByLevelId) {
    struct Case { int level; const char* name; } cases[] = {
        {0, "GRAVE"}, {3, "MULTIPLEX"}, {10, "DOCKS"}, {16, "ESCAPE"}, {-1, nullptr}, {17, nullptr},
    };
    for (const Case& c : cases) {
        const char* name = IMG_LocationMapName(c.level);
        if (c.name)
            EXPECT_STREQ(name, c.name) << c.level;
        else
            EXPECT_EQ(name, nullptr) << c.level;
    }
    OpenDisplay(640, 480, 16);
    ASSERT_EQ(IMG_LoadIngameWindows(40), 1);  // no map for another value, the rest as usual
    EXPECT_EQ(g_ImgLocationMap[0].bitmap, nullptr);
}

TEST_F(IngamePictures, IconsAndFacesOnlyInsideTheirTables) {
    OpenDisplay(640, 480, 16);
    Write("GRAPHICS/INTERFACE/INGAME/ICONS/NORMAL/OBJ149.BMP", 8);
    Write("GRAPHICS/INTERFACE/INGAME/FACES/FACE53_3.BMP", 8);
    for (int type : {-1, 150, 162})
        EXPECT_EQ(IMG_LoadObjectIcons(type), 0) << type;
    EXPECT_EQ(IMG_LoadObjectIcons(149), 1);
    EXPECT_NE(g_ImgObjectIcons[149][0].bitmap, nullptr);
    EXPECT_EQ(g_ImgObjectIcons[149][1].bitmap, nullptr);

    IMG_LoadFaces();
    ASSERT_NE(IMG_Face(53, 2), nullptr);
    EXPECT_NE(IMG_Face(53, 2)->bitmap, nullptr);
    for (auto [character, variant] : {std::pair{-1, 0}, {54, 0}, {0, -1}, {0, 3}})
        EXPECT_EQ(IMG_Face(character, variant), nullptr) << character << "," << variant;
}

}  // namespace
