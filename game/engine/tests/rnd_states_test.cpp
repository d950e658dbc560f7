// The renderer's default render states, recorded from the device in the order they are set, for
// each device kind; and the display-mode check.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "d3d_record.h"
#include "engine/rnd_options.h"
#include "engine/rnd_states.h"
#include "engine/tests/rnd_display_fixture.h"

namespace {
using States = std::vector<std::pair<uint32_t, uint32_t>>;

class RenderStateTest : public DisplayFixture {
protected:
    States Defaults(int hardware) {
        g_Rnd.hardwareDevice = hardware;
        plat::D3DRecordDevice(g_Rnd.device, true);
        RND_SetDefaultRenderStates();
        States states;
        for (const D3DRecord& r : plat::D3DTakeRecords(g_Rnd.device))
            if (r.kind == D3DRecord::kState)
                states.emplace_back(r.state, r.value);
        plat::D3DRecordDevice(g_Rnd.device, false);
        return states;
    }
};

const States kCommon = {
    {D3DRENDERSTATE_ALPHABLENDENABLE, 0},   {D3DRENDERSTATE_COLORKEYENABLE, 0},
    {D3DRENDERSTATE_SRCBLEND, D3DBLEND_DESTCOLOR}, {D3DRENDERSTATE_DESTBLEND, D3DBLEND_SRCCOLOR},
    {D3DRENDERSTATE_SPECULARENABLE, 0},     {D3DRENDERSTATE_CULLMODE, D3DCULL_NONE},
    {D3DRENDERSTATE_TEXTUREPERSPECTIVE, 1}, {D3DRENDERSTATE_ZENABLE, 1},
    {D3DRENDERSTATE_ZWRITEENABLE, 1},       {D3DRENDERSTATE_ZFUNC, D3DCMP_LESS},
};

States With(States first) {
    first.insert(first.end(), kCommon.begin(), kCommon.end());
    return first;
}

TEST_F(RenderStateTest, DefaultsPerDeviceKindInOrder) {
    ASSERT_EQ(DSP_CreateDevice(window), 1);
    EXPECT_EQ(Defaults(1), With({{D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_MODULATE},
                                 {D3DRENDERSTATE_TEXTUREMAG, D3DFILTER_LINEAR},
                                 {D3DRENDERSTATE_TEXTUREMIN, D3DFILTER_LINEAR},
                                 {D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD},
                                 {D3DRENDERSTATE_DITHERENABLE, 1}}));
    EXPECT_EQ(Defaults(0), With({{D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD},
                                 {D3DRENDERSTATE_TEXTUREMAG, D3DFILTER_NEAREST},
                                 {D3DRENDERSTATE_TEXTUREMIN, D3DFILTER_NEAREST},
                                 {D3DRENDERSTATE_DITHERENABLE, 0},
                                 {D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_DECAL}}));
}

TEST_F(RenderStateTest, WithoutADeviceNothingIsSet) {
    ASSERT_EQ(g_Rnd.device, nullptr);
    RND_SetDefaultRenderStates();  // must not touch a missing device
}

TEST_F(RenderStateTest, DisplayModeCheck) {
    ASSERT_EQ(DSP_CreateDevice(window), 1);
    struct Case {
        int hardware, width, height, bpp, supported;
    };
    for (const Case& c : {Case{1, 640, 480, 16, 1}, Case{0, 640, 480, 16, 1}, Case{1, 640, 480, 8, 0},
                          Case{0, 640, 480, 8, 1}, Case{0, 641, 480, 16, 0}, Case{0, 640, 480, 24, 0}}) {
        SCOPED_TRACE(testing::Message() << c.hardware << " " << c.width << "x" << c.height << "x" << c.bpp);
        g_Rnd.hardwareDevice = c.hardware;
        EXPECT_EQ(RND_IsDisplayModeSupported(c.width, c.height, c.bpp), c.supported);
    }
}
TEST(RendererOptionsTest, VersionStringAndTextureShrinkSwitch) {
    EXPECT_STREQ(RND_GetVersionString(), "Trelis DirectX Version 1.2b");
    EXPECT_EQ(RND_GetTextureShrink(), 0);
    EXPECT_EQ(RND_SetTextureShrink(1), 0);
    EXPECT_EQ(RND_GetTextureShrink(), 1);
    EXPECT_EQ(RND_SetTextureShrink(0), 1);
}
}  // namespace
