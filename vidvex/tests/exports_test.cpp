// The export table of libvidvex.so: every export resolves by its plain name, nothing of the
// library's inside does, and the library loaded on its own works.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Exports, TheSharedLibraryExportsItsTableAndNothingElse) {
    void* lib = dlopen(VIDVEX_SO_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    const char* exported[] = {
        "Vvl_InitVideo", "Vvl_ExitVideo", "Vvl_CreateVScreen", "Vvl_DestroyVScreen", "Vvl_AlterVScreen",
        "Vvl_AlterVScreenClip", "Vvl_AlterVScreenView", "Vvl_AlterVScreenBackground", "Vvl_CreateXImage",
        "Vvl_CreateXImageLen", "Vvl_DestroyXImage", "Vvl_AlterXImageData", "Vvl_AlterXImageDataLen",
        "Vvl_MoveXImage", "Vvl_AlterXImageSpriteModes", "Vvl_GetXImageColorDepth", "Vvl_GetXImageDirtyXYWH",
        "Vvl_GetXImageXYWH", "Vvl_GetXImageType", "Vvl_plixImageToVScreen", "Vvl_IsXImageKeyFrame",
        "Vvl_GetVScreenView", "Vvl_DeriveVScreenFromXImage", "Vvl_SetVScreenBlitQuality",
        "Vvl_GetVScreenBlitQuality", "Vvl_GetVScreenAddr", "Vvl_CreateGenericXImage", "Vvl_EraseVScreen",
        "Vvl_BlitXImageToVScreen", "Vvl_BlitVScreenToVScreen", "Vvl_GetXImageFrameBuffer", "Vvl_AlterXImage",
        "Vvl_SetVScreenCLUTs", "Vvl_ResetVScreenCLUTs", "AnnDone", "Announcement", "Vvl_Decompress16BitAs565",
        "ErrorBuffer", "Vvl_SetXImageBlitAll", "Vidvex_Setmalloc", "Vidvex_Setcalloc", "Vidvex_Setfree",
    };
    for (const char* name : exported) EXPECT_NE(dlsym(lib, name), nullptr) << name;
    for (const char* inner : {"VVL_Draw", "VVL_ParseHeader", "VVL_Alloc", "_Z8VVL_DrawP6XImageP7VScreenb"})
        EXPECT_EQ(dlsym(lib, inner), nullptr) << inner;

    using ErrorBufferFn = char* (*)(char*);
    using AnnouncementFn = int (*)(const char*);
    using InitFn = int (*)(int, int);
    using ExitFn = void (*)();
    char buffer[2048];
    reinterpret_cast<ErrorBufferFn>(dlsym(lib, "ErrorBuffer"))(buffer);
    auto announce = reinterpret_cast<AnnouncementFn>(dlsym(lib, "Announcement"));
    EXPECT_EQ(announce("FATAL "), 6);
    EXPECT_EQ(announce("ERROR"), 5);
    EXPECT_STREQ(buffer, "FATAL ERROR");
    reinterpret_cast<ErrorBufferFn>(dlsym(lib, "ErrorBuffer"))(nullptr);
    EXPECT_EQ(reinterpret_cast<InitFn>(dlsym(lib, "Vvl_InitVideo"))(1, 1), 0);
    reinterpret_cast<ExitFn>(dlsym(lib, "Vvl_ExitVideo"))();
    dlclose(lib);
}

}  // namespace
