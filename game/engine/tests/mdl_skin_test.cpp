// Skins: the ".bmp" rule, the skin cache (names with regard to case, the limit of 99), a skin
// that fails to load, and attaching to an instance.
#include <gtest/gtest.h>

#include <string>

#include "datakit/model_qmd.h"
#include "engine/mdl.h"
#include "mdl_fixture.h"
#include "common/mem.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"
#include "engine/rnd_texture.h"
#include "common/calltrace.h"
#include "testsupport/rnd_texture_device.h"

namespace {

class MdlSkin : public MdlTest {
protected:
    int Loads() {
        int n = 0;
        for (const std::string& e : TRC_TraceLog())
            if (e.rfind("RND_LoadTexture", 0) == 0) ++n;
        return n;
    }
};

TEST_F(MdlSkin, NamesAndResults) {
    TRC_TraceEnable(true);
    ModelInstance* cube = Load("cube.qmd", dk::QmdBytes(dk::QmdCube(1.0f)));
    ASSERT_NE(cube, nullptr);
    struct Case {
        const char* path;
        int result;
    };
    const Case cases[] = {{"", -1}, {"skin", -1}, {"skin.tga", -2}, {"graphics\\skins\\bob.bmpx", -2},
                          {"graphics\\skins\\Bob.BMP", 0}};
    for (const Case& c : cases) EXPECT_EQ(MDL_LoadSkin(cube, c.path), c.result) << c.path;
    EXPECT_EQ(MDL_LoadSkin(cube, nullptr), -1);
    ASSERT_NE(cube->skin, nullptr);
    EXPECT_STREQ(cube->skin->name, "Bob");
    EXPECT_STREQ(cube->skin->texture->name, "graphics\\skins\\Bob.BMP") << "loaded from the full path";
    EXPECT_EQ(Loads(), 1);
    // The same cache name again: attached without loading. Another case: another skin.
    ModelInstance* other = nullptr;
    ASSERT_EQ(MDL_Load("cube.qmd", &other), 0);
    EXPECT_EQ(MDL_LoadSkin(other, "elsewhere\\Bob.bmp"), 0);
    EXPECT_EQ(other->skin, cube->skin);
    EXPECT_EQ(Loads(), 1);
    EXPECT_EQ(MDL_LoadSkin(nullptr, "bob.bmp"), 0) << "no instance: only cached";
    EXPECT_EQ(g_SkinTextureCount, 2);
    EXPECT_EQ(Loads(), 2);
}

TEST_F(MdlSkin, AFailedSkinIsFreedAndTakesNoSlot) {
    const uint32_t before = g_MemBytes;
    // Without a display no texture can be made.
    TST_CloseTextureDevice();
    EXPECT_EQ(MDL_LoadSkin(nullptr, "broken.bmp"), -1);
    EXPECT_EQ(g_SkinTextureCount, 0);
    EXPECT_EQ(g_MemBytes, before);
    ASSERT_TRUE(TST_OpenTextureDevice(false));
    EXPECT_EQ(MDL_LoadSkin(nullptr, "broken.bmp"), 0);
    EXPECT_EQ(g_SkinTextureCount, 1);
}

TEST_F(MdlSkin, TheHundredthSkinIsRefused) {
    for (int i = 0; i < MDL_CACHE_MAX; ++i) ASSERT_EQ(MDL_LoadSkin(nullptr, ("s" + std::to_string(i) + ".bmp").c_str()), 0);
    EXPECT_EQ(MDL_LoadSkin(nullptr, "one-more.bmp"), MDL_ERR_SKIN_CACHE);
    EXPECT_EQ(MDL_LoadSkin(nullptr, "s5.bmp"), 0) << "cached skins are still found";
    MDL_FreeAll();
    EXPECT_EQ(g_SkinTextureCount, 0);
    EXPECT_EQ(g_MemBytes, 0u);
    EXPECT_EQ(MDL_LoadSkin(nullptr, "one-more.bmp"), 0);
}

}  // namespace
