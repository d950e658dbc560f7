// The renderer's frame on a real display: the background colour packed and filled in the
// display's own pixel format (16-bit 5-6-5 and 8-bit palettised), the fill switch, the frame
// start's Z clear, emptied queues and begun scene, the end of the scene drawing the batch, a lost
// display restored with the loaded textures moved to the unloaded list, and the mode switch with
// its texture-memory fall back.
#include "engine/rnd_mode.h"
#include "engine/rnd_view.h"
#include "rnd_fixture.h"

namespace {
using rndtest::Facing;
using rndtest::RenderFixture;

class FrameTest : public RenderFixture {
protected:
    void TearDown() override {
        const float black[3] = {0, 0, 0};
        RND_SetBackgroundColour(black);
        RenderFixture::TearDown();
    }
};

TEST_F(FrameTest, BackgroundColourIsPackedRoundedToEightBits) {
    struct Case {
        float rgb[3];
        uint32_t packed;
    };
    const Case cases[] = {{{1.0f, 0.5f, 0.0f}, 0xFF8000}, {{0, 0, 0}, 0},
                          {{0.2f, 0.4f, 0.6f}, 0x336699}, {{1.5f, -0.2f, 0.5f}, 0xFF0080},
                          {{0.001f, 0.998f, 1.0f}, 0x00FEFF}};
    for (const Case& c : cases) {
        RND_SetBackgroundColour(c.rgb);
        EXPECT_EQ(g_RndBackgroundColour, c.packed) << std::hex << c.packed;
        EXPECT_EQ(g_RndBackgroundFill, 1);
    }
    RND_SetBackgroundColour(nullptr);
    EXPECT_EQ(g_RndBackgroundFill, 0);
    EXPECT_EQ(g_RndBackgroundColour, 0x00FEFFu) << "null keeps the colour";
}

// The colour fill is converted to the back buffer's format: orange is 5-6-5 0xFC00 in 16 bits
// and the nearest palette entry (224, 128, 0) of the 3-3-2 palette in 8 bits.
TEST_F(FrameTest, BackgroundFillUsesThePixelFormatOfTheDisplay) {
    struct Case {
        int bits;
        uint32_t pixel;
    };
    for (const Case& c : {Case{16, 0xFC00}, Case{8, (7u << 5) | (4u << 2)}}) {
        SCOPED_TRACE(c.bits);
        g_Rnd.hardwareAllowed = c.bits == 16;
        OpenDisplay(640, 480, c.bits);
        RND_SetClipRectRaw(10, 20, 100, 200);
        const float orange[3] = {1.0f, 0.5f, 0.0f};
        RND_SetBackgroundColour(orange);
        ASSERT_EQ(RND_BeginFrame(), 1);
        RND_EndScene();
        EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 10, 20), c.pixel);
        EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 99, 199), c.pixel);
        EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 100, 100), 0u) << "only the clip rectangle is filled";
        EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 9, 100), 0u);
        g_Rnd.hardwareAllowed = 1;
    }
}

TEST_F(FrameTest, WithoutTheFillOnlyClearScreenAndClearRectFill) {
    const float blue[3] = {0, 0, 1};
    RND_SetBackgroundColour(blue);
    RND_SetBackgroundColour(nullptr);
    ASSERT_EQ(RND_BeginFrame(), 1);
    RND_EndScene();
    EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 5, 5), 0u) << "no fill at frame start";
    RND_ClearRect(0, 0, 10, 10);
    EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 5, 5), 0x001Fu);
    EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 50, 50), 0u);
    RND_ClearScreen();
    EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 639, 479), 0x001Fu);
}

TEST_F(FrameTest, FrameStartEmptiesTheQueuesAndEndOfSceneDrawsThem) {
    RenderTexture* texture = Texture(7);
    RenderTriangle t = Facing(500, 20, texture);
    ASSERT_EQ(RND_DrawTriangle(&t), 1);
    ASSERT_EQ(RND_BeginFrame(), 1);
    EXPECT_EQ(g_RndBatchUsed, 0);
    RND_EndScene();
    EXPECT_TRUE(Draws().empty()) << "the queue of the last frame was dropped";

    ASSERT_EQ(RND_BeginFrame(), 1);
    ASSERT_EQ(RND_DrawTriangle(&t), 1);
    RND_EndScene();
    const std::vector<D3DRecord> draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].Texture(), 7u);
    EXPECT_EQ(g_Rnd.device->EndScene(), D3DERR_SCENE_NOT_IN_SCENE) << "the scene was ended";
}

TEST_F(FrameTest, FrameStartClearsTheZBufferInsideTheClipRectangle) {
    // A near triangle fills Z; after the next frame start a farther one over it is drawn again.
    RenderTriangle nearer = Facing(200, 2000), farther = Facing(2000, 20000);
    for (auto& c : farther.colour)
        c[0] = c[1] = c[2] = 0.0f, c[2] = 1.0f;
    ASSERT_EQ(RND_BeginFrame(), 1);
    RND_DrawTriangle(&nearer);
    RND_DrawTriangle(&farther);
    RND_EndScene();
    const uint32_t centre = PixelOf(g_Rnd.backBuffer, 330, 230);
    EXPECT_EQ(centre, 0xFFFFu) << "the nearer white triangle hides the blue one";
    ASSERT_EQ(RND_BeginFrame(), 1);
    RND_DrawTriangle(&farther);
    RND_EndScene();
    EXPECT_EQ(PixelOf(g_Rnd.backBuffer, 330, 230), 0x001Fu);
}

TEST_F(FrameTest, AViewChangeEmptiesTheQueues) {
    RenderTexture* texture = Texture(7);
    ASSERT_EQ(RND_BeginFrame(), 1);
    RenderTriangle t = Facing(500, 20, texture);
    ASSERT_EQ(RND_DrawTriangle(&t), 1);
    RND_SetViewScale(0.5f);
    EXPECT_EQ(g_RndBatchUsed, 0);
    RND_EndScene();
    EXPECT_TRUE(Draws().empty()) << "the triangle queued for the old view is not drawn";
    // Out of the limits: nothing changes, the queue stays.
    ASSERT_EQ(RND_BeginFrame(), 1);
    ASSERT_EQ(RND_DrawTriangle(&t), 1);
    RND_SetViewScale(0.1f);
    EXPECT_EQ(g_RndBatchUsed, 1);
    RND_EndScene();
    EXPECT_EQ(Draws().size(), 1u);
    g_RndViewWidth = g_RndViewHeight = 0;
}

TEST_F(FrameTest, DebugTextIsWhiteAtItsFractionOfTheScreen) {
    RND_DrawDebugText(0.5f, 0.5f, nullptr);
    RND_DrawDebugText(0.5f, 0.5f, "MMMM");
    // Some white pixels right of and below (320, 240), none left of or above it.
    int white = 0, outside = 0;
    for (int y = 230; y < 260; ++y)
        for (int x = 310; x < 360; ++x) {
            const bool lit = PixelOf(g_Rnd.backBuffer, x, y) == 0xFFFFu;
            white += lit && x >= 320 && y >= 240;
            outside += lit && (x < 320 || y < 240);
        }
    EXPECT_GT(white, 10);
    EXPECT_EQ(outside, 0);
}

TEST_F(FrameTest, ALostDisplayIsRestoredAndLoadedTexturesWaitForTheirNextDraw) {
    for (int hardware : {1, 0}) {
        SCOPED_TRACE(hardware);
        g_Rnd.hardwareDevice = hardware;
        RenderTexture* a = Texture(3);
        RenderTexture* b = Texture(4);
        RenderTexture* unloadedOnLoadedList = Texture(5);
        unloadedOnLoadedList->loaded = 0;
        plat::LoseDisplaySurfaces();
        ASSERT_EQ(g_Rnd.primary->IsLost(), DDERR_SURFACELOST);
        RND_BeginFrame();
        RND_EndScene();
        EXPECT_EQ(g_Rnd.primary->IsLost(), DD_OK);
        int flushes = 0;
        for (const D3DRecord& r : plat::D3DTakeRecords(g_Rnd.device))
            flushes += r.kind == D3DRecord::kState && r.state == D3DRENDERSTATE_FLUSHBATCH;
        if (hardware) {
            EXPECT_EQ(flushes, 2);
            EXPECT_EQ(RND_FirstLoadedTexture(), unloadedOnLoadedList);
            EXPECT_EQ(RND_FirstUnloadedTexture(), b) << "each moved to the head, the walk restarting";
            EXPECT_EQ(a->loaded + b->loaded, 0);
        } else {
            EXPECT_EQ(flushes, 0) << "the Ramp device keeps its textures";
            EXPECT_EQ(RND_FirstLoadedTexture(), a);
            EXPECT_EQ(a->loaded + b->loaded, 2);
        }
        for (RenderTexture& t : textures_)
            LST_Remove(&t.link);
        textures_.clear();
    }
    g_Rnd.hardwareDevice = 1;
}

TEST_F(FrameTest, ModeSwitchFallsBackWhenTextureMemoryIsShort) {
    struct Case {
        const char* what;
        uint32_t videoMemory;
        int hardwareAllowed, check;
        int width, height;
    };
    const Case cases[] = {
        // 1024 x 768 x 16 on the HAL device takes 4.5 MB of video memory.
        {"plenty of memory", 16u << 20, 1, 1, 1024, 768},
        {"under 1 MB left, checked", 5u << 20, 1, 1, 320, 240},
        {"under 1 MB left, not checked", 5u << 20, 1, 0, 1024, 768},
        {"the Ramp device is never checked", 5u << 20, 0, 1, 1024, 768},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DSP_Release(window);
        std::vector<plat::DisplayDriverSpec> drivers = plat::DefaultDisplayDrivers();
        drivers[0].videoMemory = c.videoMemory;
        plat::SetDisplayDrivers(drivers);
        g_Rnd.hardwareAllowed = c.hardwareAllowed;
        ASSERT_EQ(DSP_CreateDevice(window), 1);
        EXPECT_EQ(RND_SetDisplayModeEx(1024, 768, 16, c.check), 1);
        EXPECT_EQ(g_Rnd.screenWidth, float(c.width));
        EXPECT_EQ(g_Rnd.screenHeight, float(c.height));
        EXPECT_EQ(g_DspModes[g_Rnd.modeRow].width, c.width);
        // The projection fits the new mode: the screen centre is the view axis.
        Vec3 s{};
        const Vec3 ahead{0, 0, 500};
        ASSERT_EQ(RND_ProjectPoint(&s, &ahead), 1);
        EXPECT_EQ(s.x, float(c.width) / 2);
    }
    g_Rnd.hardwareAllowed = 1;
    // A mode the table does not have fails.
    EXPECT_EQ(RND_SetDisplayMode(1000, 700, 16), 0);
    EXPECT_EQ(RND_SetDisplayMode(640, 480, 16), 1);
    EXPECT_EQ(g_Rnd.screenWidth, 640.0f);
    StartRecording();
}
}  // namespace
