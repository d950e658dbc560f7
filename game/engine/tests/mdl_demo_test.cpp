// The demo install's models: written by the data kit, packed into data.muf by the archive step,
// and loaded from there by the game's loader under the names the game uses.
#include <gtest/gtest.h>

#include <filesystem>

#include "datakit/demo_steps.h"
#include "engine/anm.h"
#include "engine/mdl.h"
#include "mdl_fixture.h"
#include "common/muf.h"

namespace {

class MdlDemo : public MdlTest {};

TEST_F(MdlDemo, ModelsLoadFromTheDataArchive) {
    const std::string dir = (root / "install").string();
    ASSERT_TRUE(dk::DemoModels(dir));
    ASSERT_TRUE(dk::DemoArchives(dir));
    EXPECT_FALSE(std::filesystem::exists(root / "install" / "graphics" / "models" / "female.qkm")) << "packed";
    ASSERT_EQ(MUF_OpenArchive((root / "install" / "data.muf").string().c_str()), MUF_OK);
    struct Case {
        const char* path;
        int32_t kind;
    };
    for (const Case& c : {Case{"graphics\\models\\female.qkm", MDL_KIND_SKINNED},
                          Case{"graphics\\models\\male.qkm", MDL_KIND_SKINNED},
                          Case{"graphics\\models\\weapons\\axe.qmd", MDL_KIND_RIGID}}) {
        SCOPED_TRACE(c.path);
        ModelInstance* instance = nullptr;
        ASSERT_EQ(MDL_Load(c.path, &instance), MDL_OK);
        ASSERT_NE(instance, nullptr);
        EXPECT_EQ(instance->kind, c.kind);
        EXPECT_NE(ANM_SetByName(instance, "stand", 1), -1);
        if (c.kind == MDL_KIND_SKINNED) {
            EXPECT_EQ(MDL_FindBone(instance, "hold_pos"), 10);
            for (int k = 0; k < MDL_NAMED_BONE_COUNT; ++k) EXPECT_GE(instance->model.skinned->namedBones[k], 0) << k;
        }
    }
    EXPECT_EQ(MDL_LoadSkin(nullptr, "graphics\\models\\weapons\\axe.bmp"), 0);
    EXPECT_EQ(g_SkinnedModelCount, 2);
    EXPECT_EQ(g_RigidModelCount, 1);
}

}  // namespace
