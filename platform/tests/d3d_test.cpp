// Direct3D: the IDirect3D2 interface of a DirectDraw object, which device kinds a render target
// can have on which driver, the capabilities each reports, enumeration, viewports and their Z
// buffer clears, and scenes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "d3d.h"
#include "display_fixture.h"

namespace {
using namespace displaytest;

class Direct3DTest : public DisplayTest {
protected:
    void TearDown() override {
        viewport.reset();
        device.reset();
        zbuffer.reset();
        d3d.reset();
        DisplayTest::TearDown();
    }
    void OpenDirect3D() { ASSERT_EQ(dd->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(d3d.out())), DD_OK); }
    // A 16-bit Z buffer of the display's size attached to the back buffer.
    void AttachZBuffer(uint32_t memory) {
        DDSURFACEDESC mode = LockDesc();
        ASSERT_EQ(back->GetSurfaceDesc(&mode), DD_OK);
        DDSURFACEDESC d = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_ZBUFFERBITDEPTH, DDSCAPS_ZBUFFER | memory,
                               mode.dwWidth, mode.dwHeight);
        d.dwZBufferBitDepth = 16;
        ASSERT_EQ(dd->CreateSurface(&d, zbuffer.out(), nullptr), DD_OK);
        ASSERT_EQ(back->AddAttachedSurface(zbuffer.get()), DD_OK);
    }

    Ref<IDirect3D2> d3d;
    Ref<IDirectDrawSurface3> zbuffer;
    Ref<IDirect3DDevice2> device;
    Ref<IDirect3DViewport2> viewport;
};

D3DVIEWPORT2 Viewport(uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
    D3DVIEWPORT2 v{};
    v.dwSize = sizeof v;
    v.dwX = x;
    v.dwY = y;
    v.dwWidth = width;
    v.dwHeight = height;
    v.dvClipWidth = 10.0f * float(width);
    v.dvClipHeight = 10.0f * float(height);
    v.dvMaxZ = 1.0f;
    return v;
}
}  // namespace

TEST_F(Direct3DTest, DeviceKindDependsOnDriverTargetAndDepth) {
    struct Case {
        const char* name;
        bool halDriver;
        int bits;
        uint32_t memory;  // of the flip chain
        const GUID* kind;
        HRESULT result;
    };
    const Case cases[] = {
        {"HAL on a 16-bit chain in video memory", true, 16, DDSCAPS_VIDEOMEMORY, &IID_IDirect3DHALDevice, D3D_OK},
        {"HAL needs video memory", true, 16, DDSCAPS_SYSTEMMEMORY, &IID_IDirect3DHALDevice,
         D3DERR_SURFACENOTINVIDMEM},
        {"HAL renders 16 bits only", true, 8, DDSCAPS_VIDEOMEMORY, &IID_IDirect3DHALDevice,
         DDERR_INVALIDPIXELFORMAT},
        {"no HAL on a 2D card", false, 16, DDSCAPS_VIDEOMEMORY, &IID_IDirect3DHALDevice, D3DERR_INVALID_DEVICE},
        {"Ramp at 16 bits", false, 16, DDSCAPS_SYSTEMMEMORY, &IID_IDirect3DRampDevice, D3D_OK},
        {"Ramp at 8 bits", true, 8, DDSCAPS_VIDEOMEMORY, &IID_IDirect3DRampDevice, D3D_OK},
        {"unknown kind", true, 16, DDSCAPS_VIDEOMEMORY, &IID_IDirectDraw2, DDERR_INVALIDPARAMS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        plat::DisplayDriverSpec driver;
        driver.halDevice = c.halDriver;
        plat::SetDisplayDrivers({driver});
        OpenDisplay(640, 480, c.bits);
        MakeFlipChain(c.memory);
        OpenDirect3D();
        EXPECT_EQ(d3d->CreateDevice(*c.kind, back.get(), device.out()), c.result);
        EXPECT_EQ(device.get() != nullptr, c.result == D3D_OK);
        device.reset();
        d3d.reset();
        back.reset();
        primary.reset();
    }
}

TEST_F(Direct3DTest, RenderTargetMustBeAThreeDSurfaceOfThisObject) {
    OpenDisplay(640, 480, 16);
    OpenDirect3D();
    Ref<IDirectDrawSurface3> plain = Offscreen(8, 8);
    EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DRampDevice, plain.get(), device.out()), DDERR_INVALIDCAPS);
    EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DRampDevice, nullptr, device.out()), DDERR_INVALIDPARAMS);

    Ref<IDirectDraw> otherObject;
    ASSERT_EQ(DirectDrawCreate(nullptr, otherObject.out(), nullptr), DD_OK);
    DDSURFACEDESC d = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_3DDEVICE | DDSCAPS_OFFSCREENPLAIN, 8, 8);
    Ref<IDirectDrawSurface3> foreign;
    ASSERT_EQ(otherObject->CreateSurface(&d, foreign.out(), nullptr), DD_OK);
    EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DRampDevice, foreign.get(), device.out()), DDERR_INVALIDPARAMS);

    plat::DisplayDriverSpec noDirect3D;
    noDirect3D.direct3d = false;
    plat::SetDisplayDrivers({noDirect3D});
    Ref<IDirectDraw> old;
    Ref<IDirect3D2> none;
    ASSERT_EQ(DirectDrawCreate(nullptr, old.out(), nullptr), DD_OK);
    EXPECT_EQ(old->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(none.out())), DDERR_NOINTERFACE);
    EXPECT_EQ(none.get(), nullptr);
}

TEST_F(Direct3DTest, DevicesReportTheDriversCapabilities) {
    plat::DisplayDriverSpec driver;
    driver.halTextureCaps = 0;  // no perspective-correct texturing
    driver.halSrcBlendCaps = D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCCOLOR;
    driver.halDestBlendCaps = D3DPBLENDCAPS_ZERO;
    plat::SetDisplayDrivers({driver});
    OpenDisplay(640, 480, 16);
    MakeFlipChain();
    OpenDirect3D();

    D3DDEVICEDESC hardware{}, emulation{};
    hardware.dwSize = emulation.dwSize = sizeof(D3DDEVICEDESC);
    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, back.get(), device.out()), D3D_OK);
    ASSERT_EQ(device->GetCaps(&hardware, &emulation), D3D_OK);
    EXPECT_TRUE(hardware.dwFlags & D3DDD_TRICAPS);
    EXPECT_EQ(hardware.dpcTriCaps.dwTextureCaps, 0u);
    EXPECT_EQ(hardware.dpcTriCaps.dwSrcBlendCaps, uint32_t(D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCCOLOR));
    EXPECT_EQ(hardware.dpcTriCaps.dwDestBlendCaps, uint32_t(D3DPBLENDCAPS_ZERO));

    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DRampDevice, back.get(), device.out()), D3D_OK);
    ASSERT_EQ(device->GetCaps(&hardware, &emulation), D3D_OK);
    EXPECT_EQ(hardware.dwFlags, 0u) << "the Ramp device has no hardware description";
    EXPECT_TRUE(emulation.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_PERSPECTIVE);

    D3DDEVICEDESC wrongSize{};
    EXPECT_EQ(device->GetCaps(&wrongSize, &emulation), DDERR_INVALIDPARAMS);

    struct Listed {
        std::vector<std::string> names;
    } listed;
    auto record = [](GUID*, LPSTR description, LPSTR, D3DDEVICEDESC*, D3DDEVICEDESC*, void* context) -> HRESULT {
        static_cast<Listed*>(context)->names.push_back(description);
        return D3DENUMRET_OK;
    };
    ASSERT_EQ(d3d->EnumDevices(record, &listed), D3D_OK);
    EXPECT_EQ(listed.names, (std::vector<std::string>{"Ramp Emulation", "Direct3D HAL"}));
}

TEST_F(Direct3DTest, ViewportsBelongToOneDeviceAndLieInItsTarget) {
    OpenDisplay(320, 240, 16);
    MakeFlipChain();
    OpenDirect3D();
    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DRampDevice, back.get(), device.out()), D3D_OK);
    ASSERT_EQ(d3d->CreateViewport(viewport.out(), nullptr), D3D_OK);
    const D3DVIEWPORT2 whole = Viewport(0, 0, 320, 240);
    EXPECT_EQ(viewport->SetViewport2(&whole), D3DERR_VIEWPORTHASNODEVICE);
    EXPECT_EQ(device->SetCurrentViewport(viewport.get()), DDERR_INVALIDPARAMS) << "not added yet";

    ASSERT_EQ(device->AddViewport(viewport.get()), D3D_OK);
    EXPECT_EQ(device->AddViewport(viewport.get()), DDERR_INVALIDPARAMS);
    const D3DVIEWPORT2 tooWide = Viewport(10, 0, 320, 240);
    EXPECT_EQ(viewport->SetViewport2(&tooWide), DDERR_INVALIDPARAMS);
    ASSERT_EQ(viewport->SetViewport2(&whole), D3D_OK);
    ASSERT_EQ(device->SetCurrentViewport(viewport.get()), D3D_OK);

    D3DVIEWPORT2 read{};
    read.dwSize = sizeof read;
    ASSERT_EQ(viewport->GetViewport2(&read), D3D_OK);
    EXPECT_EQ(read.dwWidth, 320u);
    EXPECT_EQ(read.dvClipHeight, 2400.0f);
    Ref<IDirect3DViewport2> current;
    ASSERT_EQ(device->GetCurrentViewport(current.out()), D3D_OK);
    EXPECT_EQ(current.get(), viewport.get());
}

TEST_F(Direct3DTest, ClearsTheZBufferInsideTheViewportOnly) {
    OpenDisplay(320, 240, 16);
    MakeFlipChain();
    OpenDirect3D();
    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DRampDevice, back.get(), device.out()), D3D_OK);
    ASSERT_EQ(d3d->CreateViewport(viewport.out(), nullptr), D3D_OK);
    ASSERT_EQ(device->AddViewport(viewport.get()), D3D_OK);
    const D3DVIEWPORT2 inner = Viewport(10, 20, 100, 50);
    ASSERT_EQ(viewport->SetViewport2(&inner), D3D_OK);

    D3DRECT everything{-50, -50, 1000, 1000};
    EXPECT_EQ(viewport->Clear(1, &everything, D3DCLEAR_ZBUFFER), D3DERR_ZBUFFER_NOTPRESENT);
    AttachZBuffer(DDSCAPS_SYSTEMMEMORY);
    Ref<IDirectDrawSurface3> second;
    DDSURFACEDESC d = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_ZBUFFERBITDEPTH, DDSCAPS_ZBUFFER, 320, 240);
    d.dwZBufferBitDepth = 16;
    ASSERT_EQ(dd->CreateSurface(&d, second.out(), nullptr), DD_OK);
    EXPECT_EQ(back->AddAttachedSurface(second.get()), DDERR_SURFACEALREADYATTACHED);

    ASSERT_EQ(viewport->Clear(1, &everything, D3DCLEAR_ZBUFFER), D3D_OK);
    struct Probe {
        int x, y;
        uint32_t z;
    };
    const Probe probes[] = {{10, 20, 0xFFFF}, {109, 69, 0xFFFF}, {9, 20, 0}, {110, 20, 0}, {10, 70, 0}, {0, 0, 0}};
    for (const Probe& p : probes)
        EXPECT_EQ(PixelAt(zbuffer.get(), p.x, p.y), p.z) << p.x << "," << p.y;
    EXPECT_EQ(PixelAt(back.get(), 50, 50), 0u) << "the render target is left alone";

    DDSCAPS caps{DDSCAPS_ZBUFFER};
    Ref<IDirectDrawSurface3> attached;
    ASSERT_EQ(back->GetAttachedSurface(&caps, attached.out()), DD_OK);
    EXPECT_EQ(attached.get(), zbuffer.get());
}

TEST_F(Direct3DTest, ScenesNestNeitherWayAndNeedTheirTarget) {
    OpenDisplay(640, 480, 16);
    MakeFlipChain();
    OpenDirect3D();
    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, back.get(), device.out()), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_SCENE_IN_SCENE);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    plat::LoseDisplaySurfaces();
    EXPECT_EQ(device->BeginScene(), DDERR_SURFACELOST);
    primary->Restore();
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3D_OK);

    EXPECT_EQ(device->SetRenderState(7, 1), D3D_OK);
    uint32_t value = 0;
    ASSERT_EQ(device->GetRenderState(7, &value), D3D_OK);
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(device->SetRenderState(kD3DRenderStateCount, 1), DDERR_INVALIDPARAMS);
}

TEST_F(Direct3DTest, ReleasingInTheGamesOrderFreesEverything) {
    OpenDisplay(640, 480, 16);
    MakeFlipChain();
    AttachZBuffer(DDSCAPS_VIDEOMEMORY);
    OpenDirect3D();
    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, back.get(), device.out()), D3D_OK);
    ASSERT_EQ(d3d->CreateViewport(viewport.out(), nullptr), D3D_OK);
    ASSERT_EQ(device->AddViewport(viewport.get()), D3D_OK);
    // Device, viewport, Z buffer, back buffer, primary; then Direct3D and both DirectDraw interfaces.
    device.reset();
    viewport.reset();
    zbuffer.reset();
    back.reset();
    primary.reset();
    d3d.reset();
    dd.reset();
    first.reset();
    EXPECT_EQ(plat::LiveDisplayObjects(), 0);
}
