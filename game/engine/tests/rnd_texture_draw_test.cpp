// Textures loaded from files and drawn through the batch on the hardware device with little
// video memory: the first flush that draws a texture uploads it, a texture drawn when memory is
// full pushes out the one drawn longest ago, and without any room the frame still ends, the
// texture drawn with handle 0.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datakit/bmp.h"
#include "datakit/bytes.h"
#include "rnd_fixture.h"
#include "testsupport/rnd_texture_device.h"

namespace {
using rndtest::Facing;
using rndtest::RenderFixture;

class TextureDrawTest : public RenderFixture {
protected:
    void TearDown() override {
        DSP_ReleaseTextureSurfaces();
        RenderFixture::TearDown();
    }
    // Opens the display again on a driver whose video memory holds the display and `budget`
    // bytes more.
    void OpenWithTextureMemory(uint32_t budget) {
        DDSCAPS caps{DDSCAPS_TEXTURE};
        uint32_t total = 0, free = 0;
        ASSERT_EQ(g_Rnd.directDraw->GetAvailableVidMem(&caps, &total, &free), DD_OK);
        DSP_Release(window);
        std::vector<plat::DisplayDriverSpec> drivers = plat::DefaultDisplayDrivers();
        drivers[0].videoMemory = total - free + budget;
        plat::SetDisplayDrivers(drivers);
        OpenDisplay(640, 480, 16);
        ASSERT_EQ(g_Rnd.hardwareDevice, 1);
        ASSERT_EQ(g_Rnd.directDraw->GetAvailableVidMem(&caps, &total, &free), DD_OK);
        ASSERT_EQ(free, budget);
    }
    RenderTexture* Load(const std::string& name, dk::Rgb colour) {
        dk::Bmp24 picture(16, 16);
        for (dk::Rgb& p : picture.pixels) p = colour;
        EXPECT_TRUE(dk::WriteFile(name, dk::EncodeBmp24(picture)));
        RenderTexture* t = RND_LoadTexture(name.c_str());
        EXPECT_NE(t, nullptr);
        return t;
    }
    // One frame drawing a triangle with each texture; the texture handle of each draw.
    std::vector<uint32_t> Frame(const std::vector<RenderTexture*>& textures) {
        EXPECT_EQ(RND_BeginFrame(), 1);
        plat::D3DTakeRecords(g_Rnd.device);
        for (RenderTexture* t : textures) {
            RenderTriangle triangle = Facing(500.0f, 100.0f, t);
            EXPECT_EQ(RND_DrawTriangle(&triangle), 1);
        }
        RND_EndScene();
        std::vector<uint32_t> handles;
        for (const D3DRecord& r : Draws()) handles.push_back(r.Texture());
        return handles;
    }
};

TEST_F(TextureDrawTest, DrawingMakesRoomByEvictingTheTextureDrawnLongestAgo) {
    OpenWithTextureMemory(TST_TextureVideoBytes(16, 16));
    RenderTexture* red = Load("red.bmp", {255, 0, 0});
    RenderTexture* blue = Load("blue.bmp", {0, 0, 255});
    ASSERT_EQ(red->loaded + blue->loaded, 0) << "not uploaded before they are drawn";

    const std::vector<uint32_t> first = Frame({red});
    EXPECT_EQ(red->loaded, 1);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_NE(first[0], 0u);
    EXPECT_EQ(first[0], red->handle);

    // Only one fits: drawing blue pushes red out.
    const std::vector<uint32_t> second = Frame({blue});
    EXPECT_EQ(blue->loaded, 1);
    EXPECT_EQ(red->loaded, 0);
    EXPECT_EQ(red->deviceSurface, nullptr);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0], blue->handle);
    EXPECT_EQ(RND_FirstLoadedTexture(), blue);
    EXPECT_EQ(RND_FirstUnloadedTexture(), red);

    // Both in one frame: each is uploaded in turn and each draw has a handle.
    const std::vector<uint32_t> both = Frame({red, blue});
    ASSERT_EQ(both.size(), 2u);
    for (uint32_t h : both) EXPECT_NE(h, 0u);
}

TEST_F(TextureDrawTest, NoTextureMemoryAtAllStillEndsTheFrame) {
    OpenWithTextureMemory(0);
    RenderTexture* red = Load("red.bmp", {255, 0, 0});
    RenderTexture* blue = Load("blue.bmp", {0, 0, 255});
    for (int frame = 0; frame < 2; ++frame) {
        const std::vector<uint32_t> handles = Frame({red, blue});
        EXPECT_EQ(handles, (std::vector<uint32_t>{0, 0})) << "drawn untextured, frame " << frame;
    }
    EXPECT_EQ(red->loaded + blue->loaded, 0);
    EXPECT_EQ(RND_FirstLoadedTexture(), nullptr);
}

}  // namespace
