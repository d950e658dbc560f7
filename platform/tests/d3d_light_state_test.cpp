// Light states of a Direct3D device: kept per device, numbered from 1, 0 until set.
#include <gtest/gtest.h>

#include "d3d.h"
#include "display_fixture.h"

namespace {
using namespace displaytest;

class LightStateTest : public DisplayTest {};

TEST_F(LightStateTest, KeptPerDeviceWithinTheirRange) {
    OpenDisplay(320, 240, 16);
    Ref<IDirect3D2> d3d;
    ASSERT_EQ(dd->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(d3d.out())), DD_OK);
    DDSURFACEDESC d = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE |
                                                              DDSCAPS_SYSTEMMEMORY, 8, 8);
    Ref<IDirectDrawSurface3> target;
    ASSERT_EQ(dd->CreateSurface(&d, target.out(), nullptr), DD_OK);
    Ref<IDirect3DDevice2> a, b;
    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DRampDevice, target.get(), a.out()), D3D_OK);
    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DRampDevice, target.get(), b.out()), D3D_OK);
    uint32_t value = 99;
    ASSERT_EQ(a->GetLightState(D3DLIGHTSTATE_MATERIAL, &value), D3D_OK);
    EXPECT_EQ(value, 0u);
    ASSERT_EQ(a->SetLightState(D3DLIGHTSTATE_MATERIAL, 12), D3D_OK);
    ASSERT_EQ(a->GetLightState(D3DLIGHTSTATE_MATERIAL, &value), D3D_OK);
    EXPECT_EQ(value, 12u);
    ASSERT_EQ(b->GetLightState(D3DLIGHTSTATE_MATERIAL, &value), D3D_OK);
    EXPECT_EQ(value, 0u) << "each device keeps its own";
    for (uint32_t state : {0u, kD3DLightStateCount}) {
        EXPECT_EQ(a->SetLightState(state, 1), DDERR_INVALIDPARAMS) << state;
        EXPECT_EQ(a->GetLightState(state, &value), DDERR_INVALIDPARAMS) << state;
    }
    EXPECT_EQ(a->GetLightState(D3DLIGHTSTATE_MATERIAL, nullptr), DDERR_INVALIDPARAMS);
}

}  // namespace
