// The demo install's fallback texture: "deftxtr.bmp" in the install root, a 32 x 32 true-colour
// picture the platform's bitmap loader accepts, kept on disk by the archive step.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "datakit/demo_steps.h"
#include "gdi.h"
#include "plat.h"

namespace {

TEST(DemoFallbackTexture, IsALoadableCheckerOnDisk) {
    const std::string dir = plat::TempDir() + "/demo-texture";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    ASSERT_TRUE(dk::DemoFallbackTexture(dir));
    ASSERT_TRUE(dk::DemoArchives(dir));
    ASSERT_TRUE(std::filesystem::exists(dir + "/deftxtr.bmp")) << "not packed into an archive";

    auto bitmap = static_cast<HBITMAP>(
        LoadImageA(nullptr, (dir + "/deftxtr.bmp").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    ASSERT_GT(GetObjectA(bitmap, sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, 32);
    EXPECT_EQ(info.bmHeight, 32);
    EXPECT_EQ(info.bmBitsPixel, 24);
    // Blue, green, red bytes: the top left square is grey, the next one magenta.
    const auto* row = static_cast<const uint8_t*>(info.bmBits);
    EXPECT_EQ(row[0], 48);
    EXPECT_EQ(row[8 * 3 + 0], 200);
    EXPECT_EQ(row[8 * 3 + 1], 0);
    DeleteObject(bitmap);
    std::filesystem::remove_all(dir);
}

}  // namespace
