// Map textures and their blend flags: the texture mode word becomes the texture's flag word, and a
// surface whose texture blends additively (flag value 4) is drawn only where the device can blend
// with factors one / one; other flag bits (value 8 included) do not hold a surface back.
#include <gtest/gtest.h>

#include "engine/rnd_draw.h"
#include "engine/rnd_texture.h"
#include "lnd_fixture.h"

namespace {
using lndtest::GridMap;
using lndtest::LndTest;

class TextureBlendTest : public LndTest {
protected:
    void SetUp() override {
        LndTest::SetUp();
        RND_SetTriangleHook([this](const RenderTriangle&) {
            ++drawn;
            return 1;
        });
    }
    void TearDown() override {
        g_CanBlendAdditive = 0;
        LndTest::TearDown();
    }
    int drawn = 0;
};

TEST_F(TextureBlendTest, AdditiveTexturesNeedTheDevicesOneOneBlend) {
    struct Case {
        int32_t mode;
        int32_t canBlendAdditive;
        int drawnTriangles;
    };
    const Case cases[] = {
        {0, 0, 2}, {0, 1, 2}, {4, 0, 0}, {4, 1, 2}, {2, 0, 2}, {8, 0, 2}, {5, 0, 0}, {6, 1, 2},
    };
    // Looking straight down on a 1 x 1 grid (two triangles) from above its middle.
    const Matrix34 camera{{1, 0, 0, 0, 0, -1, 0, 1, 0, -50, -50, 500}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", additive blend " << c.canBlendAdditive);
        dk::MapData map = GridMap(1, 100.0f);
        map.textures[0].mode = c.mode;
        LoadText(map);
        LND_LoadTextures(2);
        RenderTexture* texture = g_Landscape->textures[1].texture;
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->flags, uint32_t(c.mode)) << "the mode word is the flag word";
        g_CanBlendAdditive = c.canBlendAdditive;
        drawn = 0;
        LND_Draw(&camera, 1);
        EXPECT_EQ(drawn, c.drawnTriangles);
        MAP_UnloadMap();
    }
}

}  // namespace
