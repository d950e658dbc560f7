// Textures on the hardware device under a video-memory budget: lazy upload, the loaded list in
// most-recently-drawn order, eviction of the texture drawn longest ago, and giving up (never
// hanging) when nothing is left to evict.
#include <gtest/gtest.h>

#include <vector>

#include "rnd_texture_fixture.h"

namespace {

using Textures = std::vector<const RenderTexture*>;

class TextureBudgetTest : public TextureTest {
protected:
    // Opens the HAL device with room for `count` 16 x 16 textures and loads that many plus `extra`
    // 16 x 16 textures, all unloaded.
    void LoadSmall(uint32_t count, int extra) {
        small_ = TST_TextureVideoBytes(16, 16);
        ASSERT_GT(small_, 0u);
        Open(true, small_ * count);
        const dk::Rgb colours[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255}};
        for (int i = 0; i < int(count) + extra; ++i) {
            const std::string name = "t" + std::to_string(i) + ".bmp";
            PutPlain(name, 16, 16, colours[i % 5]);
            RenderTexture* t = RND_LoadTexture(name.c_str());
            ASSERT_NE(t, nullptr);
            ASSERT_EQ(t->loaded, 0);
            textures.push_back(t);
        }
    }
    std::vector<RenderTexture*> textures;
    uint32_t small_ = 0;
};

TEST_F(TextureBudgetTest, TheTextureDrawnLongestAgoMakesRoom) {
    LoadSmall(2, 1);
    RenderTexture *a = textures[0], *b = textures[1], *c = textures[2];
    EXPECT_EQ(List(g_RndUnloadedTextures), (Textures{a, b, c}));
    RND_MakeTextureResident(a);
    RND_MakeTextureResident(b);
    EXPECT_EQ(List(g_RndLoadedTextures), (Textures{b, a}));
    RND_TouchTexture(a);
    EXPECT_EQ(List(g_RndLoadedTextures), (Textures{a, b}));
    EXPECT_EQ(RND_FirstLoadedTexture(), a);
    EXPECT_EQ(RND_LastLoadedTexture(), b);

    // Video memory is full: c pushes out b, drawn longest ago.
    RND_MakeTextureResident(c);
    EXPECT_EQ(List(g_RndLoadedTextures), (Textures{c, a}));
    EXPECT_EQ(List(g_RndUnloadedTextures), (Textures{b}));
    EXPECT_EQ(b->loaded, 0);
    EXPECT_EQ(b->deviceSurface, nullptr);
    ASSERT_NE(b->systemSurface, nullptr) << "the pixels stay in system memory";
    EXPECT_EQ(c->loaded, 1);
    EXPECT_NE(c->handle, 0u);
    EXPECT_EQ(PixelOf(c->deviceSurface, 3, 3), 0x001Fu);

    // b comes back and pushes out a (drawn before c).
    RND_MakeTextureResident(b);
    EXPECT_EQ(List(g_RndLoadedTextures), (Textures{b, c}));
    EXPECT_EQ(List(g_RndUnloadedTextures), (Textures{a}));
    EXPECT_EQ(PixelOf(b->deviceSurface, 0, 0), 0x07E0u) << "uploaded again from its system copy";

    // A resident texture is only touched.
    IDirectDrawSurface3* surface = c->deviceSurface;
    RND_MakeTextureResident(c);
    EXPECT_EQ(c->deviceSurface, surface);
    EXPECT_EQ(List(g_RndLoadedTextures), (Textures{c, b}));
}

TEST_F(TextureBudgetTest, UnloadedTexturesAreUploadedAgain) {
    LoadSmall(2, 0);
    RenderTexture *a = textures[0], *b = textures[1];
    RND_MakeTextureResident(a);
    RND_MakeTextureResident(b);
    // As after a lost display: unload every texture, then draw again.
    RND_UnloadTexture(a);
    RND_UnloadTexture(b);
    EXPECT_TRUE(List(g_RndLoadedTextures).empty());
    EXPECT_EQ(List(g_RndUnloadedTextures), (Textures{b, a}));
    RND_MakeTextureResident(a);
    RND_MakeTextureResident(b);
    EXPECT_EQ(List(g_RndLoadedTextures), (Textures{b, a}));
    EXPECT_EQ(a->loaded + b->loaded, 2);
    RND_MoveToUnloaded(a);
    EXPECT_EQ(List(g_RndUnloadedTextures), (Textures{a}));
    EXPECT_EQ(RND_FirstUnloadedTexture(), a);
}

// Nothing left to evict: the texture stays unloaded (drawn with handle 0) and the call returns.
TEST_F(TextureBudgetTest, NoRoomAtAllLeavesTheTextureUnloaded) {
    LoadSmall(0, 1);
    RenderTexture* t = textures[0];
    RND_MakeTextureResident(t);
    EXPECT_EQ(t->loaded, 0);
    EXPECT_EQ(t->handle, 0u);
    EXPECT_EQ(t->deviceSurface, nullptr);
    EXPECT_TRUE(List(g_RndLoadedTextures).empty());
    EXPECT_EQ(List(g_RndUnloadedTextures), (Textures{t}));
    RND_MakeTextureResident(t);  // and again, next frame
    EXPECT_EQ(t->loaded, 0);
}

TEST_F(TextureBudgetTest, ATextureLargerThanVideoMemoryEvictsAllThenGivesUp) {
    LoadSmall(2, 0);
    PutPlain("big.bmp", 64, 64, dk::Rgb{255, 255, 255});
    RenderTexture* big = RND_LoadTexture("big.bmp");
    ASSERT_NE(big, nullptr);
    RND_MakeTextureResident(textures[0]);
    RND_MakeTextureResident(textures[1]);
    RND_MakeTextureResident(big);
    EXPECT_EQ(big->loaded, 0);
    EXPECT_EQ(big->handle, 0u);
    EXPECT_TRUE(List(g_RndLoadedTextures).empty());
    EXPECT_EQ(List(g_RndUnloadedTextures), (Textures{textures[1], textures[0], big})) << "evicted oldest first";
    // The small ones still fit afterwards.
    RND_MakeTextureResident(textures[1]);
    EXPECT_EQ(textures[1]->loaded, 1);
}

TEST_F(TextureBudgetTest, ARecordWithoutPicturesCountsAsLoaded) {
    LoadSmall(0, 0);
    RenderTexture* empty = RND_LoadTexture("nowhere.bmp");
    ASSERT_NE(empty, nullptr);
    RND_MakeTextureResident(empty);
    EXPECT_EQ(empty->loaded, 1);
    EXPECT_EQ(empty->handle, 0u);
    EXPECT_EQ(List(g_RndLoadedTextures), (Textures{empty}));
}

}  // namespace
