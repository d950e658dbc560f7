// Materials of the Direct3D object: they keep their description and have distinct handles.
#include <gtest/gtest.h>

#include "d3d.h"
#include "display_fixture.h"

namespace {
using namespace displaytest;

class MaterialTest : public DisplayTest {};

TEST_F(MaterialTest, KeepsItsDescriptionAndHasItsOwnHandle) {
    OpenDisplay(320, 240, 16);
    Ref<IDirect3D2> d3d;
    ASSERT_EQ(dd->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(d3d.out())), DD_OK);
    Ref<IDirect3DMaterial2> a, b;
    EXPECT_EQ(d3d->CreateMaterial(nullptr, nullptr), DDERR_INVALIDPARAMS);
    ASSERT_EQ(d3d->CreateMaterial(a.out(), nullptr), D3D_OK);
    ASSERT_EQ(d3d->CreateMaterial(b.out(), nullptr), D3D_OK);
    D3DMATERIAL m{};
    EXPECT_EQ(a->SetMaterial(&m), DDERR_INVALIDPARAMS) << "size not set";
    m.dwSize = sizeof m;
    m.diffuse = D3DCOLORVALUE{0.5f, 1, 1, 1};
    m.hTexture = 7;
    m.dwRampSize = 16;
    ASSERT_EQ(a->SetMaterial(&m), D3D_OK);
    D3DMATERIAL back{};
    ASSERT_EQ(a->GetMaterial(&back), D3D_OK);
    EXPECT_EQ(back.diffuse.r, 0.5f);
    EXPECT_EQ(back.hTexture, 7u);
    EXPECT_EQ(back.dwRampSize, 16u);
    // A handle needs a device; any device gives the material's one handle.
    uint32_t ha = 0, hb = 0;
    EXPECT_EQ(a->GetHandle(nullptr, &ha), DDERR_INVALIDPARAMS);
    DDSURFACEDESC d = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE |
                                                                  DDSCAPS_SYSTEMMEMORY, 8, 8);
    Ref<IDirectDrawSurface3> target;
    ASSERT_EQ(dd->CreateSurface(&d, target.out(), nullptr), DD_OK);
    Ref<IDirect3DDevice2> device;
    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DRampDevice, target.get(), device.out()), D3D_OK);
    ASSERT_EQ(a->GetHandle(device.get(), &ha), D3D_OK);
    ASSERT_EQ(b->GetHandle(device.get(), &hb), D3D_OK);
    EXPECT_NE(ha, 0u);
    EXPECT_NE(hb, 0u);
    EXPECT_NE(ha, hb);
}

}  // namespace
