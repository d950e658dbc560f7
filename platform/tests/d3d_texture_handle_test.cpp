// Texture handles do not keep their textures: a released texture surface gives back its video
// memory, its handle then draws untextured, and its slot goes to the next texture asking.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "d3d.h"
#include "display_fixture.h"

namespace {
using namespace displaytest;

class TextureHandleTest : public DisplayTest {
protected:
    void TearDown() override {
        device.reset();
        d3d.reset();
        DisplayTest::TearDown();
    }
    void Open() {
        OpenDisplay(320, 240, 16);
        MakeFlipChain();
        ASSERT_EQ(dd->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(d3d.out())), DD_OK);
        ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DRampDevice, back.get(), device.out()), D3D_OK);
        device->SetRenderState(D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_DECAL);
    }
    // A 16 x 16 16-bit texture in video memory filled with one value, and its handle.
    Ref<IDirectDrawSurface3> Texture(uint16_t value, uint32_t* handle) {
        DDSURFACEDESC d = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT,
                               DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY, 16, 16);
        d.ddpfPixelFormat = DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F};
        Ref<IDirectDrawSurface3> s;
        EXPECT_EQ(dd->CreateSurface(&d, s.out(), nullptr), DD_OK);
        DDSURFACEDESC l = LockDesc();
        if (s.get() && s->Lock(nullptr, &l, DDLOCK_WAIT, nullptr) == DD_OK) {
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    std::memcpy(static_cast<uint8_t*>(l.lpSurface) + y * l.lPitch + x * 2, &value, 2);
            s->Unlock(nullptr);
        }
        Ref<IDirect3DTexture2> t;
        *handle = 0;
        if (s.get() && s->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(t.out())) == DD_OK) {
            EXPECT_EQ(t->GetHandle(device.get(), handle), D3D_OK);
        }
        return Ref<IDirectDrawSurface3>(std::exchange(s.p, nullptr));
    }
    uint32_t FreeVideoMemory() {
        DDSCAPS caps{DDSCAPS_TEXTURE};
        uint32_t total = 0, free = 0;
        EXPECT_EQ(dd->GetAvailableVidMem(&caps, &total, &free), DD_OK);
        return free;
    }
    // A textured quad over (0, 0)-(8, 8) with the given handle, white vertices.
    void DrawWith(uint32_t handle) {
        const D3DTLVERTEX a{0, 0, 0.5f, 1, 0xFFFFFF, 0, 0, 0}, b{8, 0, 0.5f, 1, 0xFFFFFF, 0, 1, 0};
        const D3DTLVERTEX c{8, 8, 0.5f, 1, 0xFFFFFF, 0, 1, 1}, d{0, 8, 0.5f, 1, 0xFFFFFF, 0, 0, 1};
        std::vector<D3DTLVERTEX> v{a, b, c, a, c, d};
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        device->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, handle);
        ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DVT_TLVERTEX, v.data(), 6, D3DDP_DONOTCLIP), D3D_OK);
        ASSERT_EQ(device->EndScene(), D3D_OK);
    }

    Ref<IDirect3D2> d3d;
    Ref<IDirect3DDevice2> device;
};

TEST_F(TextureHandleTest, AReleasedTextureGivesBackItsVideoMemoryAndItsHandle) {
    Open();
    const uint32_t before = FreeVideoMemory();
    uint32_t green = 0;
    Ref<IDirectDrawSurface3> first = Texture(0x07E0, &green);
    ASSERT_NE(green, 0u);
    EXPECT_LT(FreeVideoMemory(), before);
    DrawWith(green);
    EXPECT_EQ(PixelAt(back.get(), 4, 4), 0x07E0u);

    first.reset();
    EXPECT_EQ(FreeVideoMemory(), before) << "the handle held no reference";
    DrawWith(green);
    EXPECT_EQ(PixelAt(back.get(), 4, 4), 0xFFFFu) << "a handle of a released texture draws untextured";

    uint32_t red = 0;
    Ref<IDirectDrawSurface3> second = Texture(0xF800, &red);
    EXPECT_EQ(red, green) << "the empty slot is reused";
    DrawWith(red);
    EXPECT_EQ(PixelAt(back.get(), 4, 4), 0xF800u);
}

}  // namespace
