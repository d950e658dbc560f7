// The renderer's triangle path and batch on the recording device: near-plane splits drawn as a
// fan, the fog split with only the far piece faded, back faces dropped, uv brought near 0, the
// pool flushing at its capacity, one draw per texture and pass with blended textures held back
// to the second pass, and the per-texture state switching with its redundant states filtered.
#include <cmath>

#include "rnd_fixture.h"

namespace {
using rndtest::Corner;
using rndtest::Facing;
using rndtest::RenderFixture;
using rndtest::Triangle;

// Every test draws inside a begun scene.
class BatchTest : public rndtest::SceneFixture {};

// The view depth of a vertex.
float Depth(const D3DTLVERTEX& v) {
    return 1.0f / v.rhw;
}

TEST_F(BatchTest, NearPlaneSplitMakesAFanOfTwoTriangles) {
    // One corner nearer than near + 1: the triangle becomes a quad, drawn as two fan triangles.
    RenderTriangle t = Triangle({-50, 50, 50}, {50, 50, 500}, {50, -50, 500});
    EXPECT_EQ(RND_DrawTriangle(&t), 1);
    const std::vector<D3DRecord> draws = Draws();
    ASSERT_EQ(draws.size(), 2u) << "untextured triangles are drawn at once";
    int atNear = 0;
    for (const D3DRecord& d : draws) {
        EXPECT_EQ(d.primitive, uint32_t(D3DPT_TRIANGLELIST));
        EXPECT_EQ(d.flags, uint32_t(D3DDP_DONOTCLIP));
        ASSERT_EQ(d.vertices.size(), 3u);
        EXPECT_EQ(d.Texture(), 0u);
        for (const D3DTLVERTEX& v : d.vertices) {
            EXPECT_TRUE(std::fabs(Depth(v) - 101.0f) < 0.01f || std::fabs(Depth(v) - 500.0f) < 0.01f) << Depth(v);
            atNear += std::fabs(Depth(v) - 101.0f) < 0.01f;
            EXPECT_GE(v.sz, 0.0f);
            EXPECT_LE(v.sz, 1.0f);
        }
    }
    EXPECT_EQ(atNear, 3) << "the two crossings at near + 1, one of them shared by both fan triangles";

    // Wholly nearer than near + 1, or wholly beyond far - 1: nothing.
    for (float z : {100.5f, 2999.5f}) {
        RenderTriangle gone = Facing(z, 10);
        EXPECT_EQ(RND_DrawTriangle(&gone), 0) << z;
    }
    EXPECT_TRUE(Draws().empty());
}

TEST_F(BatchTest, FogFadesOnlyThePieceBeyondTheFogStart) {
    RND_SetFogEnabled(1);
    RND_SetFogStart(1000.0f);
    // far 3000: the fade is 1 - (z - 1000) / 2000.
    struct Case {
        const char* what;
        float z[3];
        size_t draws;
    };
    const Case cases[] = {
        {"wholly beyond: one draw, faded", {2000, 2000, 2000}, 1},
        {"straddling: a near quad (two draws) unfaded and a far triangle faded", {500, 500, 1500}, 3},
        {"wholly before: unfaded", {500, 500, 500}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RenderTriangle t = Triangle({-50, 50, c.z[0]}, {50, 50, c.z[1]}, {50, -50, c.z[2]});
        EXPECT_EQ(RND_DrawTriangle(&t), 1);
        const std::vector<D3DRecord> draws = Draws();
        ASSERT_EQ(draws.size(), c.draws);
        for (const D3DRecord& d : draws)
            for (const D3DTLVERTEX& v : d.vertices) {
                const float z = Depth(v);
                const float f = z <= 1000.5f ? 1.0f : 1.0f - (z - 1000.0f) / 2000.0f;
                const uint32_t grey = uint32_t(f * 255.0f);
                SCOPED_TRACE(testing::Message() << "z " << z);
                EXPECT_NEAR(double(v.color & 0xFF), double(grey), 1.0);
                EXPECT_EQ(v.color, (v.color & 0xFF) * 0x010101u) << "r, g and b fade alike";
            }
    }
    // A corner exactly at the fog start keeps its colour: the far piece starts there with f = 1.
    RenderTriangle t = Triangle({-50, 50, 2000}, {50, 50, 2000}, {50, -50, 2000});
    EXPECT_EQ(RND_DrawTriangle(&t), 1);
    const std::vector<D3DRecord> draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].vertices[0].color, 0x7F7F7Fu) << "f = 0.5 at 2000: 127.5 truncated";
}

TEST_F(BatchTest, BackFacesAreDroppedBeforeAnyScreenClip) {
    RenderTriangle front = Facing(500, 50);
    RenderTriangle back = Triangle({50, -50, 500}, {50, 50, 500}, {-50, 50, 500});
    EXPECT_EQ(RND_DrawTriangle(&back), 0);
    EXPECT_TRUE(Draws().empty());
    EXPECT_EQ(RND_DrawTriangle(&front), 1);
    ASSERT_EQ(Draws().size(), 1u);
    // Wholly off the clip rectangle: projected, then clipped away.
    RenderTriangle off = Facing(500, 50);
    for (Vec3& p : off.position)
        p.x += 5000;
    EXPECT_EQ(RND_DrawTriangle(&off), 0);
    EXPECT_TRUE(Draws().empty());
}

TEST_F(BatchTest, ScreenClipKeepsTheDrawWithinTheClipRectangle) {
    RND_SetClipRectRaw(100, 50, 300, 200);
    RenderTriangle big = Triangle({-2000, 2000, 500}, {2000, 2000, 500}, {2000, -2000, 500});
    EXPECT_EQ(RND_DrawTriangle(&big), 1);
    const std::vector<D3DRecord> draws = Draws();
    ASSERT_FALSE(draws.empty());
    for (const D3DRecord& d : draws)
        for (const D3DTLVERTEX& v : d.vertices) {
            EXPECT_GE(v.sx, 100.0f);
            EXPECT_LE(v.sx, 300.0f);
            EXPECT_GE(v.sy, 50.0f);
            EXPECT_LE(v.sy, 200.0f);
        }
}

TEST_F(BatchTest, TextureCoordinatesLoseTheirCommonWholeRepeats) {
    RenderTexture* texture = Texture(7);
    // Running truncated sums 5, 12, 18: 6 whole repeats come off u; v sums -1, -2, -5: -1 comes off.
    RenderTriangle t = Triangle({-50, 50, 500, 5.25f, -1.5f}, {50, 50, 500, 7.75f, -1.5f},
                                {50, -50, 500, 6.5f, -3.0f}, texture);
    EXPECT_EQ(RND_DrawTriangle(&t), 1);
    RND_FlushBatch();
    const std::vector<D3DRecord> draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    ASSERT_EQ(draws[0].vertices.size(), 3u);
    const float u[3] = {-0.75f, 1.75f, 0.5f}, v[3] = {-0.5f, -0.5f, -2.0f};
    for (int k = 0; k < 3; ++k) {
        EXPECT_FLOAT_EQ(draws[0].vertices[k].tu, u[k]) << k;
        EXPECT_FLOAT_EQ(draws[0].vertices[k].tv, v[k]) << k;
    }
}

// Coordinates whose sums an int cannot hold (a damaged model file's) keep their values: no
// repeats come off, and nothing is converted out of range (the sanitizer builds check).
TEST_F(BatchTest, TextureCoordinatesBeyondTheIntRangeAreKept) {
    RenderTexture* texture = Texture(7);
    struct Case {
        const char* what;
        float u[3], v[3];
    };
    const float nan = std::nanf("");
    const Case cases[] = {
        {"u of the first corner past 2^31", {3e9f, 0.5f, 0.25f}, {0, 0, 0}},
        {"v of the last corner at -1e30", {0.5f, 0.5f, 0.5f}, {1, 1, -1e30f}},
        {"a running sum past 2^31", {2e9f, 2e9f, 0}, {0, 0, 0}},
        {"not a number", {0.5f, nan, 0.5f}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RenderTriangle t = Triangle({-50, 50, 500, c.u[0], c.v[0]}, {50, 50, 500, c.u[1], c.v[1]},
                                    {50, -50, 500, c.u[2], c.v[2]}, texture);
        EXPECT_EQ(RND_DrawTriangle(&t), 1);
        RND_FlushBatch();
        const std::vector<D3DRecord> draws = Draws();
        ASSERT_EQ(draws.size(), 1u);
        ASSERT_EQ(draws[0].vertices.size(), 3u);
        for (int k = 0; k < 3; ++k) {
            if (std::isnan(c.u[k]))
                EXPECT_TRUE(std::isnan(draws[0].vertices[k].tu)) << k;
            else
                EXPECT_FLOAT_EQ(draws[0].vertices[k].tu, c.u[k]) << k;
            EXPECT_FLOAT_EQ(draws[0].vertices[k].tv, c.v[k]) << k;
        }
    }
}

TEST_F(BatchTest, TheThousandAndFirstTriangleFlushesTheFirstThousand) {
    RenderTexture* texture = Texture(7);
    RenderTriangle t = Facing(500, 20, texture);
    for (int i = 0; i < RND_BATCH_SIZE; ++i)
        ASSERT_EQ(RND_DrawTriangle(&t), 1);
    EXPECT_TRUE(Draws().empty()) << "textured triangles wait for the flush";
    EXPECT_EQ(g_RndBatchUsed, RND_BATCH_SIZE);
    EXPECT_EQ(RND_DrawTriangle(&t), 1);
    std::vector<D3DRecord> draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].vertices.size(), size_t(3 * RND_BATCH_SIZE));
    EXPECT_EQ(draws[0].flags, uint32_t(D3DDP_WAIT | D3DDP_DONOTCLIP));
    EXPECT_EQ(draws[0].Texture(), 7u);
    EXPECT_EQ(g_RndBatchUsed, 1);
    RND_FlushBatch();
    draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].vertices.size(), 3u) << "the 1001st is queued alone";
    EXPECT_EQ(g_RndBatchUsed, 0);
}

TEST_F(BatchTest, OneDrawPerTextureAndBlendedTexturesInTheSecondPass) {
    struct Expected {
        uint32_t handle;
        uint32_t blend, src, dest;
    };
    // On the loaded list in this order; each texture gets two triangles.
    RenderTexture* add = Texture(4, RND_TEXTURE_BLEND_ADD);
    RenderTexture* plain = Texture(1, 0);
    RenderTexture* colour = Texture(2, RND_TEXTURE_BLEND_COLOUR);
    RenderTexture* both = Texture(6, RND_TEXTURE_BLEND_COLOUR | RND_TEXTURE_BLEND_ADD);
    RenderTexture* keyed = Texture(9, RND_TEXTURE_KEYED);
    for (RenderTexture* texture : {both, colour, keyed, add, plain, plain, add, keyed, colour, both}) {
        RenderTriangle t = Facing(500, 20, texture);
        ASSERT_EQ(RND_DrawTriangle(&t), 1);
    }
    RND_FlushBatch();
    const std::vector<D3DRecord> draws = Draws();
    // Pass 0: the unblended textures in list order; pass 1: the blended ones in list order. The
    // value-2 texture after the value-4 one blends source colour / destination colour; the one
    // with both values is drawn without blending.
    const Expected expected[] = {
        {1, 0, D3DBLEND_DESTCOLOR, D3DBLEND_SRCCOLOR},
        {9, 0, D3DBLEND_DESTCOLOR, D3DBLEND_SRCCOLOR},
        {4, 1, D3DBLEND_ONE, D3DBLEND_ONE},
        {2, 1, D3DBLEND_SRCCOLOR, D3DBLEND_DESTCOLOR},
        {6, 0, D3DBLEND_SRCCOLOR, D3DBLEND_DESTCOLOR},
    };
    ASSERT_EQ(draws.size(), std::size(expected));
    for (size_t i = 0; i < draws.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "draw " << i);
        EXPECT_EQ(draws[i].Texture(), expected[i].handle);
        EXPECT_EQ(draws[i].vertices.size(), 6u);
        EXPECT_EQ(draws[i].states[D3DRENDERSTATE_ALPHABLENDENABLE], expected[i].blend);
        EXPECT_EQ(draws[i].states[D3DRENDERSTATE_SRCBLEND], expected[i].src);
        EXPECT_EQ(draws[i].states[D3DRENDERSTATE_DESTBLEND], expected[i].dest);
        EXPECT_EQ(draws[i].states[D3DRENDERSTATE_COLORKEYENABLE], expected[i].handle == 9 ? 1u : 0u);
    }
    // Drawn textures move to the head of the loaded list: most recently drawn first.
    EXPECT_EQ(RND_FirstLoadedTexture(), both);

    // The other way round: a value-4 texture right after a value-2 one blends additively.
    for (RenderTexture* texture : {colour, add}) {
        RenderTriangle t = Facing(500, 20, texture);
        ASSERT_EQ(RND_DrawTriangle(&t), 1);
    }
    RND_FlushBatch();
    const std::vector<D3DRecord> again = Draws();
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[0].Texture(), 2u) << "the list now holds the value-2 texture before the value-4 one";
    EXPECT_EQ(again[1].Texture(), 4u);
    EXPECT_EQ(again[1].states[D3DRENDERSTATE_ALPHABLENDENABLE], 1u);
    EXPECT_EQ(again[1].states[D3DRENDERSTATE_SRCBLEND], uint32_t(D3DBLEND_ONE));
    EXPECT_EQ(again[1].states[D3DRENDERSTATE_DESTBLEND], uint32_t(D3DBLEND_ONE));
}

TEST_F(BatchTest, TextureStatesAreSetOnlyWhenTheyChange) {
    using States = std::vector<std::pair<uint32_t, uint32_t>>;
    RenderTexture* keyedA = Texture(3, RND_TEXTURE_KEYED);
    RenderTexture* keyedB = Texture(5, RND_TEXTURE_KEYED);
    RenderTexture* plain = Texture(8, 0);
    const auto statesOf = [&](const RenderTexture* texture) {
        RND_SetTextureState(g_Rnd.device, texture);
        States states;
        for (const D3DRecord& r : plat::D3DTakeRecords(g_Rnd.device))
            if (r.kind == D3DRecord::kState)
                states.emplace_back(r.state, r.value);
        return states;
    };
    statesOf(nullptr);
    EXPECT_EQ(statesOf(keyedA), (States{{D3DRENDERSTATE_TEXTUREHANDLE, 3},
                                        {D3DRENDERSTATE_ALPHABLENDENABLE, 0},
                                        {D3DRENDERSTATE_COLORKEYENABLE, 1},
                                        {D3DRENDERSTATE_TEXTUREMAG, D3DFILTER_NEAREST},
                                        {D3DRENDERSTATE_TEXTUREMIN, D3DFILTER_NEAREST}}));
    EXPECT_EQ(statesOf(keyedB), (States{{D3DRENDERSTATE_TEXTUREHANDLE, 5}, {D3DRENDERSTATE_ALPHABLENDENABLE, 0}}));
    EXPECT_EQ(statesOf(keyedB), (States{{D3DRENDERSTATE_ALPHABLENDENABLE, 0}}));
    EXPECT_EQ(statesOf(plain), (States{{D3DRENDERSTATE_TEXTUREHANDLE, 8},
                                       {D3DRENDERSTATE_ALPHABLENDENABLE, 0},
                                       {D3DRENDERSTATE_COLORKEYENABLE, 0},
                                       {D3DRENDERSTATE_TEXTUREMAG, D3DFILTER_LINEAR},
                                       {D3DRENDERSTATE_TEXTUREMIN, D3DFILTER_LINEAR}}));
    const auto material = [] {
        uint32_t value = 0xDEAD;
        EXPECT_EQ(g_Rnd.device->GetLightState(D3DLIGHTSTATE_MATERIAL, &value), D3D_OK);
        return value;
    };
    EXPECT_EQ(material(), 0u) << "the HAL device draws without materials";
    // The Ramp device keeps its nearest filter: only the key switches; and each texture brings
    // its material.
    g_Rnd.hardwareDevice = 0;
    keyedA->materialHandle = 33;
    EXPECT_EQ(statesOf(keyedA), (States{{D3DRENDERSTATE_TEXTUREHANDLE, 3},
                                        {D3DRENDERSTATE_ALPHABLENDENABLE, 0},
                                        {D3DRENDERSTATE_COLORKEYENABLE, 1}}));
    EXPECT_EQ(material(), 33u);
    EXPECT_EQ(statesOf(nullptr), (States{{D3DRENDERSTATE_COLORKEYENABLE, 0}, {D3DRENDERSTATE_TEXTUREHANDLE, 0}}));
    EXPECT_EQ(material(), 0u);
    g_Rnd.hardwareDevice = 1;
}

TEST_F(BatchTest, TheWalkMakesUnloadedTexturesResidentAndDrawsEachOnce) {
    RenderTexture* loaded = Texture(1);
    RenderTexture* first = Texture(2);
    RenderTexture* second = Texture(3);
    for (RenderTexture* t : {first, second}) {
        t->loaded = 0;
        LST_Remove(&t->link);
        LST_AddTail(&g_RndUnloadedTextures, &t->link);
    }
    for (RenderTexture* texture : {second, loaded, first}) {
        RenderTriangle t = Facing(500, 20, texture);
        ASSERT_EQ(RND_DrawTriangle(&t), 1);
    }
    RND_FlushBatch();
    const std::vector<D3DRecord> draws = Draws();
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[0].Texture(), 1u);
    EXPECT_EQ(draws[1].Texture(), 2u);
    EXPECT_EQ(draws[2].Texture(), 3u);
    EXPECT_EQ(RND_FirstUnloadedTexture(), nullptr);
    EXPECT_EQ(RND_FirstLoadedTexture(), second);
}

TEST_F(BatchTest, TheRampDeviceDrawsInGrey) {
    g_Rnd.hardwareDevice = 0;
    RenderTriangle t = Facing(500, 20);
    for (auto& c : t.colour) {
        c[0] = 1.0f;
        c[1] = 0.5f;
        c[2] = 0.0f;
    }
    EXPECT_EQ(RND_DrawTriangle(&t), 1);
    g_Rnd.hardwareDevice = 1;
    const std::vector<D3DRecord> draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    // (1 + 0.5 + 0) x 0.33333334 x 255 = 127.5, truncated.
    for (const D3DTLVERTEX& v : draws[0].vertices)
        EXPECT_EQ(v.color, 0x7F7F7Fu);
}
}  // namespace
