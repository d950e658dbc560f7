// The renderer's sprites and 3D lines on the recording device: a sprite is drawn only between
// near + 1 and far - 1, as two queued triangles, cut one triangle at a time at the clip
// rectangle and faded beyond the fog start; a line is dropped when both ends are outside on one
// side, pulled in to near + 1 and far - 1 otherwise, and drawn at once with its colour as
// specular too.
#include <cmath>

#include "engine/rnd_line.h"
#include "engine/rnd_sprite.h"
#include "rnd_fixture.h"

namespace {
using rndtest::RenderFixture;

class SpriteTest : public rndtest::SceneFixture {};

TEST_F(SpriteTest, DrawnOnlyBetweenTheNearAndFarLimits) {
    RenderTexture* texture = Texture(5);
    const float white[3] = {1, 1, 1};
    struct Case {
        float z;
        int queued;
    };
    for (const Case& c : {Case{100.5f, 0}, Case{101.0f, 2}, Case{1500.0f, 2}, Case{2999.0f, 2}, Case{2999.5f, 0}}) {
        SCOPED_TRACE(c.z);
        const Vec3 centre{0, 0, c.z};
        RND_DrawSprite(texture, 10, 10, &centre, white);
        EXPECT_EQ(g_RndBatchUsed, c.queued);
        RND_FlushBatch();
    }
    const std::vector<D3DRecord> draws = Draws();
    ASSERT_EQ(draws.size(), 3u);
    // Corners (and uv) of the two triangles, in screen order after the winding fix.
    const D3DRecord& d = draws[1];
    ASSERT_EQ(d.vertices.size(), 6u);
    const float uv[6][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 1}, {0, 1}};
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(d.vertices[k].tu, uv[k][0]) << k;
        EXPECT_EQ(d.vertices[k].tv, uv[k][1]) << k;
        EXPECT_FLOAT_EQ(d.vertices[k].rhw, 1.0f / 1500.0f);
        EXPECT_EQ(d.vertices[k].color, 0xFFFFFFu);
    }
}

TEST_F(SpriteTest, EdgeCutsWorkOneTriangleAtATime) {
    RenderTexture* texture = Texture(5);
    const float white[3] = {1, 1, 1};
    // The left quarter of the sprite hangs over the left edge: the first triangle (one corner
    // outside) becomes two, the second (two corners outside) stays one.
    const float x = -320.0f / g_RndFactorX * 500.0f + 25.0f;
    const Vec3 centre{x, 0, 500};
    RND_DrawSprite(texture, 100, 100, &centre, white);
    EXPECT_EQ(g_RndBatchUsed, 3);
    RND_FlushBatch();
    const std::vector<D3DRecord> draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    for (const D3DTLVERTEX& v : draws[0].vertices)
        EXPECT_GE(v.sx, 0.0f);

    // Wholly off the screen: nothing queued.
    const Vec3 away{-100000, 0, 500};
    RND_DrawSprite(texture, 100, 100, &away, white);
    EXPECT_EQ(g_RndBatchUsed, 0);
}

TEST_F(SpriteTest, FogFadesASpriteBeyondTheFogStart) {
    RenderTexture* texture = Texture(5);
    RND_SetFogEnabled(1);
    RND_SetFogStart(1000.0f);
    const float white[3] = {1, 1, 1};
    struct Case {
        float z;
        uint32_t colour;
    };
    // far 3000: f = 1 - (z - 1000) / 2000.
    for (const Case& c : {Case{800, 0xFFFFFF}, Case{2000, 0x7F7F7F}, Case{2500, 0x3F3F3F}}) {
        SCOPED_TRACE(c.z);
        const Vec3 centre{0, 0, c.z};
        RND_DrawSprite(texture, 10, 10, &centre, white);
        RND_FlushBatch();
        const std::vector<D3DRecord> draws = Draws();
        ASSERT_EQ(draws.size(), 1u);
        for (const D3DTLVERTEX& v : draws[0].vertices)
            EXPECT_EQ(v.color, c.colour);
    }
}

TEST_F(SpriteTest, LinesAreRejectedPulledInAndDrawnAtOnce) {
    const float red[3] = {1, 0, 0}, blue[3] = {0, 0, 1};
    struct Case {
        const char* what;
        Vec3 a, b;
        bool drawn;
        float depthA, depthB;
    };
    const Case cases[] = {
        {"in view", {-10, 0, 500}, {10, 0, 600}, true, 500, 600},
        {"one end behind the eye: pulled to near + 1", {0, 0, 500}, {0, 0, -500}, true, 500, 101},
        {"one end beyond far: pulled to far - 1", {0, 0, 500}, {0, 0, 5000}, true, 500, 2999},
        {"both behind the eye", {0, 0, -5}, {10, 0, -50}, false, 0, 0},
        {"both left of the screen", {-5000, 0, 500}, {-6000, 0, 600}, false, 0, 0},
        {"both beyond far", {0, 0, 4000}, {0, 0, 5000}, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RND_DrawLine3D(&c.a, &c.b, red, blue);
        const std::vector<D3DRecord> draws = Draws();
        ASSERT_EQ(draws.size(), c.drawn ? 1u : 0u);
        if (!c.drawn)
            continue;
        const D3DRecord& d = draws[0];
        EXPECT_EQ(d.primitive, uint32_t(D3DPT_LINELIST));
        EXPECT_EQ(d.flags, 0u);
        EXPECT_EQ(d.Texture(), 0u);
        ASSERT_EQ(d.vertices.size(), 2u);
        EXPECT_NEAR(1.0f / d.vertices[0].rhw, c.depthA, 0.01f);
        EXPECT_NEAR(1.0f / d.vertices[1].rhw, c.depthB, 0.01f);
        EXPECT_EQ(d.vertices[0].color, 0xFF0000u);
        for (const D3DTLVERTEX& v : d.vertices) {
            EXPECT_EQ(v.specular, v.color);
            EXPECT_EQ(v.tu, 0.0f);
            EXPECT_EQ(v.tv, 0.0f);
        }
    }
    // The colour follows the pulled end: halfway from 500 to -500 lies just past the near limit.
    const Vec3 a{0, 0, 500}, b{0, 0, -500};
    RND_DrawLine3D(&a, &b, red, blue);
    const std::vector<D3DRecord> draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    // t = (500 - 101) / 1000 = 0.399: red 0.601, blue 0.399.
    EXPECT_EQ(draws[0].vertices[1].color, (uint32_t(0.601f * 255) << 16) | uint32_t(0.399f * 255));
}
}  // namespace
