// Drawing through the Direct3D device: DrawPrimitive inside a scene into the back buffer and its
// Z buffer, texture surfaces by handle (loaded from system to video memory, with a colour key),
// the texture formats offered, the 8-bit target with its palette, and the recording tests read.
#include <gtest/gtest.h>

#include <vector>

#include "d3d.h"
#include "d3d_record.h"
#include "display_fixture.h"

namespace {
using namespace displaytest;

class DrawTest : public DisplayTest {
protected:
    void TearDown() override {
        device.reset();
        zbuffer.reset();
        d3d.reset();
        DisplayTest::TearDown();
    }
    void Open(int bits) {
        OpenDisplay(320, 240, bits);
        MakeFlipChain();
        ASSERT_EQ(dd->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(d3d.out())), DD_OK);
        DDSURFACEDESC d = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_ZBUFFERBITDEPTH,
                               DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY, 320, 240);
        d.dwZBufferBitDepth = 16;
        ASSERT_EQ(dd->CreateSurface(&d, zbuffer.out(), nullptr), DD_OK);
        ASSERT_EQ(back->AddAttachedSurface(zbuffer.get()), DD_OK);
        DDSURFACEDESC l = LockDesc();  // cleared to the far value, as a frame starts
        ASSERT_EQ(zbuffer->Lock(nullptr, &l, DDLOCK_WAIT, nullptr), DD_OK);
        std::memset(l.lpSurface, 0xFF, size_t(l.lPitch) * l.dwHeight);
        zbuffer->Unlock(nullptr);
        ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DRampDevice, back.get(), device.out()), D3D_OK);
        for (auto [state, value] : {std::pair{D3DRENDERSTATE_ZENABLE, 1u}, {D3DRENDERSTATE_ZWRITEENABLE, 1u},
                                    {D3DRENDERSTATE_ZFUNC, uint32_t(D3DCMP_LESS)},
                                    {D3DRENDERSTATE_TEXTUREPERSPECTIVE, 1u},
                                    {D3DRENDERSTATE_TEXTUREMAPBLEND, uint32_t(D3DTBLEND_DECAL)}})
            device->SetRenderState(state, value);
    }
    // A w x h 16-bit texture surface in the given memory, filled with one 5-6-5 value.
    Ref<IDirectDrawSurface3> Texture(int w, int h, uint32_t memory, uint16_t value) {
        DDSURFACEDESC d = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT, DDSCAPS_TEXTURE | memory,
                               uint32_t(w), uint32_t(h));
        d.ddpfPixelFormat = DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F};
        Ref<IDirectDrawSurface3> s;
        EXPECT_EQ(dd->CreateSurface(&d, s.out(), nullptr), DD_OK);
        DDSURFACEDESC l = LockDesc();
        if (s.get() && s->Lock(nullptr, &l, DDLOCK_WAIT, nullptr) == DD_OK) {
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    std::memcpy(static_cast<uint8_t*>(l.lpSurface) + y * l.lPitch + x * 2, &value, 2);
            s->Unlock(nullptr);
        }
        return Ref<IDirectDrawSurface3>(std::exchange(s.p, nullptr));
    }
    // A screen-aligned quad x0..x1, y0..y1 at one depth as a triangle list.
    static std::vector<D3DTLVERTEX> Quad(float x0, float y0, float x1, float y1, float z, uint32_t colour) {
        const D3DTLVERTEX a{x0, y0, z, 1, colour, 0, 0, 0}, b{x1, y0, z, 1, colour, 0, 1, 0};
        const D3DTLVERTEX c{x1, y1, z, 1, colour, 0, 1, 1}, d{x0, y1, z, 1, colour, 0, 0, 1};
        return {a, b, c, a, c, d};
    }
    HRESULT Draw(std::vector<D3DTLVERTEX> v, uint32_t type = D3DPT_TRIANGLELIST) {
        return device->DrawPrimitive(type, D3DVT_TLVERTEX, v.data(), uint32_t(v.size()), D3DDP_DONOTCLIP);
    }

    Ref<IDirect3D2> d3d;
    Ref<IDirectDrawSurface3> zbuffer;
    Ref<IDirect3DDevice2> device;
};

TEST_F(DrawTest, DrawsOnlyInsideAScene) {
    Open(16);
    auto quad = Quad(0, 0, 10, 10, 0.5f, 0xFF0000);
    EXPECT_EQ(Draw(quad), D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_EQ(PixelAt(back.get(), 5, 5), 0u);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 1, quad.data(), 6, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DVT_TLVERTEX, nullptr, 6, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->DrawPrimitive(99, D3DVT_TLVERTEX, quad.data(), 6, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(Draw(quad), D3D_OK);
    EXPECT_EQ(PixelAt(back.get(), 5, 5), 0xF800u);
    EXPECT_EQ(PixelAt(back.get(), 10, 5), 0u);
    // The Z buffer attached to the target holds the depth: a farther quad stays behind.
    EXPECT_EQ(Draw(Quad(0, 0, 20, 20, 0.7f, 0x0000FF)), D3D_OK);
    EXPECT_EQ(PixelAt(back.get(), 5, 5), 0xF800u);
    EXPECT_EQ(PixelAt(back.get(), 15, 5), 0x001Fu);
    EXPECT_EQ(device->EndScene(), D3D_OK);
}

TEST_F(DrawTest, TexturesByHandleLoadedIntoVideoMemoryWithTheirColourKey) {
    Open(16);
    Ref<IDirectDrawSurface3> system = Texture(4, 4, DDSCAPS_SYSTEMMEMORY, 0x07E0);
    Ref<IDirectDrawSurface3> video = Texture(4, 4, DDSCAPS_VIDEOMEMORY | DDSCAPS_ALLOCONLOAD, 0);
    Ref<IDirect3DTexture2> from, to;
    ASSERT_EQ(system->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(from.out())), DD_OK);
    ASSERT_EQ(video->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(to.out())), DD_OK);
    ASSERT_EQ(to->Load(from.get()), D3D_OK);
    uint32_t handle = 0, again = 0;
    ASSERT_EQ(to->GetHandle(device.get(), &handle), D3D_OK);
    ASSERT_EQ(to->GetHandle(device.get(), &again), D3D_OK);
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(handle, again);
    // A surface that is no texture has no texture interface.
    Ref<IDirect3DTexture2> none;
    EXPECT_EQ(back->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(none.out())), DDERR_NOINTERFACE);

    // Black texels are keyed out once the key is on both the surface and the device.
    const uint16_t black = 0;
    DDSURFACEDESC l = LockDesc();
    ASSERT_EQ(video->Lock(nullptr, &l, DDLOCK_WAIT, nullptr), DD_OK);
    std::memcpy(l.lpSurface, &black, 2);
    video->Unlock(nullptr);
    DDCOLORKEY key{0, 0};
    ASSERT_EQ(video->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);

    ASSERT_EQ(device->BeginScene(), D3D_OK);
    device->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, handle);
    device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1);
    ASSERT_EQ(Draw(Quad(0, 0, 8, 8, 0.5f, 0xFFFFFF)), D3D_OK);
    EXPECT_EQ(PixelAt(back.get(), 5, 5), 0x07E0u);
    EXPECT_EQ(PixelAt(back.get(), 0, 0), 0u) << "keyed texel";
    // Lines are never textured.
    ASSERT_EQ(Draw({D3DTLVERTEX{20.5f, 20.5f, 0.1f, 1, 0xFF0000, 0xFF0000, 0, 0},
                    D3DTLVERTEX{30.5f, 20.5f, 0.1f, 1, 0xFF0000, 0xFF0000, 0, 0}},
                   D3DPT_LINELIST),
              D3D_OK);
    EXPECT_EQ(PixelAt(back.get(), 25, 20), 0xF800u);
    device->EndScene();
}

TEST_F(DrawTest, OffersPalettisedAndRgbTextureFormats) {
    Open(16);
    std::vector<DDPIXELFORMAT> formats;
    auto collect = [](DDSURFACEDESC* d, void* context) -> HRESULT {
        static_cast<std::vector<DDPIXELFORMAT>*>(context)->push_back(d->ddpfPixelFormat);
        return D3DENUMRET_OK;
    };
    ASSERT_EQ(device->EnumTextureFormats(collect, &formats), D3D_OK);
    ASSERT_EQ(formats.size(), 2u);
    EXPECT_EQ(formats[0].dwRGBBitCount, 8u);
    EXPECT_TRUE(formats[0].dwFlags & DDPF_PALETTEINDEXED8);
    EXPECT_EQ(formats[1].dwRGBBitCount, 16u);
    EXPECT_EQ(formats[1].dwRBitMask, 0xF800u);
    EXPECT_EQ(device->EnumTextureFormats(nullptr, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(DrawTest, EightBitTargetUsesItsPalette) {
    Open(8);
    std::vector<PALETTEENTRY> entries(256, PALETTEENTRY{0, 0, 0, 0});
    entries[17] = PALETTEENTRY{250, 10, 10, 0};
    entries[42] = PALETTEENTRY{10, 10, 250, 0};
    Ref<IDirectDrawPalette> palette;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries.data(), palette.out(), nullptr), DD_OK);
    ASSERT_EQ(back->SetPalette(palette.get()), DD_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(Draw(Quad(0, 0, 4, 4, 0.5f, 0xFF0000)), D3D_OK);
    ASSERT_EQ(Draw(Quad(4, 0, 8, 4, 0.5f, 0x0000C0)), D3D_OK);
    EXPECT_EQ(PixelAt(back.get(), 1, 1), 17u);
    EXPECT_EQ(PixelAt(back.get(), 5, 1), 42u);
    device->EndScene();
}

TEST_F(DrawTest, RecordingKeepsStatesAndDrawsInOrder) {
    Open(16);
    plat::D3DRecordDevice(device.get(), true);
    device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    device->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, 0);
    ASSERT_EQ(Draw(Quad(0, 0, 4, 4, 0.5f, 0x123456)), D3D_OK);
    device->EndScene();
    std::vector<D3DRecord> records = plat::D3DTakeRecords(device.get());
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].kind, D3DRecord::kState);
    EXPECT_EQ(records[0].state, uint32_t(D3DRENDERSTATE_ALPHABLENDENABLE));
    EXPECT_EQ(records[0].value, 1u);
    EXPECT_EQ(records[1].state, uint32_t(D3DRENDERSTATE_TEXTUREHANDLE));
    ASSERT_EQ(records[2].kind, D3DRecord::kDraw);
    EXPECT_EQ(records[2].primitive, uint32_t(D3DPT_TRIANGLELIST));
    EXPECT_EQ(records[2].flags, uint32_t(D3DDP_DONOTCLIP));
    ASSERT_EQ(records[2].vertices.size(), 6u);
    EXPECT_EQ(records[2].vertices[0].color, 0x123456u);
    EXPECT_EQ(records[2].states[D3DRENDERSTATE_ALPHABLENDENABLE], 1u);
    EXPECT_EQ(records[2].Texture(), 0u);
    EXPECT_TRUE(plat::D3DTakeRecords(device.get()).empty()) << "handed over";
    plat::D3DRecordDevice(device.get(), false);
    device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
    EXPECT_TRUE(plat::D3DTakeRecords(device.get()).empty());
}

}  // namespace
