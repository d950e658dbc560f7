// Shared set-up of the texture tests: a scratch directory as the current directory (bitmap and
// palette files are read from it), a texture-capable device of the kind a test asks for, and at
// the end every texture record freed and every surface and palette released.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "datakit/bmp.h"
#include "datakit/bytes.h"
#include "ddraw.h"
#include "engine/rnd_options.h"
#include "engine/rnd_texture.h"
#include "plat.h"
#include "engine/rnd_display.h"
#include "common/muf.h"
#include "engine/rnd_state.h"
#include "testsupport/rnd_texture_device.h"

class TextureTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("PLATFORM_BACKEND", "headless", 1);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("rnd-texture-") + info->test_suite_name() + "-" + info->name();
        for (char& c : name)
            if (c == '/')
                c = '_';
        root_ = std::filesystem::path(plat::TempDir()) / name;
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(root_);
        g_MufReady = 1;
        DSP_SetPaletteFileName("def_pal.bin");
        RND_SetTextureShrink(0);
        savedModeRow_ = g_Rnd.modeRow;
        g_Rnd.modeRow = 0;
        objects_ = plat::LiveDisplayObjects();
        blocks_ = g_Rnd.liveBlocks;
    }

    void TearDown() override {
        TST_CloseTextureDevice();
        RND_SetTextureShrink(0);
        g_Rnd.modeRow = savedModeRow_;
        MUF_CloseAll();
        EXPECT_EQ(plat::LiveDisplayObjects(), objects_) << "a surface or palette was not released";
        EXPECT_EQ(g_Rnd.liveBlocks, blocks_) << "a texture record was not freed";
        std::filesystem::current_path(previous_);
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    void Open(bool hardware, uint32_t textureBudget = 4u << 20) {
        ASSERT_TRUE(TST_OpenTextureDevice(hardware, textureBudget));
    }
    void Put(const std::string& name, const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(dk::WriteFile((root_ / name).string(), bytes)) << name;
    }
    // A true-colour picture of one colour (r, g, b), written as a 24-bit bitmap file.
    void PutPlain(const std::string& name, int width, int height, dk::Rgb colour) {
        dk::Bmp24 picture(width, height);
        for (dk::Rgb& p : picture.pixels)
            p = colour;
        Put(name, dk::EncodeBmp24(picture));
    }

    // A pixel of a surface (8 or 16 bits); 0xFFFFFFFF when it cannot be read.
    static uint32_t PixelOf(IDirectDrawSurface3* surface, int x, int y) {
        DDSURFACEDESC d{};
        d.dwSize = sizeof d;
        if (!surface || surface->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK)
            return 0xFFFFFFFFu;
        const auto* row = static_cast<const uint8_t*>(d.lpSurface) + size_t(y) * size_t(d.lPitch);
        const uint32_t value = d.ddpfPixelFormat.dwRGBBitCount == 8
                                   ? row[x]
                                   : uint32_t(row[x * 2]) | (uint32_t(row[x * 2 + 1]) << 8);
        surface->Unlock(nullptr);
        return value;
    }
    static DDSURFACEDESC DescOf(IDirectDrawSurface3* surface) {
        DDSURFACEDESC d{};
        d.dwSize = sizeof d;
        surface->GetSurfaceDesc(&d);
        return d;
    }
    static std::vector<const RenderTexture*> List(const ListHeader& list) {
        std::vector<const RenderTexture*> out;
        for (const ListNode* n = list.headEnd.successor; n && n->successor; n = n->successor)
            out.push_back(reinterpret_cast<const RenderTexture*>(n));
        return out;
    }

    std::filesystem::path root_;

private:
    std::filesystem::path previous_;
    int32_t savedModeRow_ = 0;
    int objects_ = 0;
    int32_t blocks_ = 0;
};
