// A texture-capable renderer for tests (see rnd_texture_device.h).
#include "testsupport/rnd_texture_device.h"

#include "d3d.h"
#include "ddraw.h"
#include "engine/rnd_texture.h"
#include "engine/rnd_state.h"

namespace {
constexpr uint32_t kTargetSide = 64;
constexpr uint32_t kMeasuringMemory = 64u << 20;
IDirectDraw* g_TestDirectDraw = nullptr;
int32_t g_SavedHardwareDevice = 0;
bool g_Open = false;

template <class T>
void ReleaseOne(T*& object) {
    if (object)
        object->Release();
    object = nullptr;
}

void UseOneDriver(uint32_t videoMemory) {
    std::vector<plat::DisplayDriverSpec> drivers = plat::DefaultDisplayDrivers();
    drivers.resize(1);
    drivers[0].videoMemory = videoMemory;
    plat::SetDisplayDrivers(drivers);
}

DDSURFACEDESC SurfaceDesc(uint32_t caps, uint32_t width, uint32_t height) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddsCaps.dwCaps = caps;
    desc.ddpfPixelFormat = DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F};
    return desc;
}

// What a surface of this description takes of a fresh driver's video memory.
uint32_t MeasureVideoBytes(const DDSURFACEDESC& desc) {
    UseOneDriver(kMeasuringMemory);
    IDirectDraw* first = nullptr;
    IDirectDraw2* directDraw = nullptr;
    IDirectDrawSurface3* surface = nullptr;
    uint32_t used = 0;
    DDSCAPS caps{DDSCAPS_TEXTURE};
    uint32_t total = 0, before = 0, after = 0;
    if (DirectDrawCreate(nullptr, &first, nullptr) == DD_OK &&
        first->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&directDraw)) == DD_OK &&
        directDraw->GetAvailableVidMem(&caps, &total, &before) == DD_OK &&
        directDraw->CreateSurface(&desc, &surface, nullptr) == DD_OK &&
        directDraw->GetAvailableVidMem(&caps, &total, &after) == DD_OK)
        used = before - after;
    ReleaseOne(surface);
    ReleaseOne(directDraw);
    ReleaseOne(first);
    return used;
}

DDSURFACEDESC TargetDesc(bool hardware) {
    return SurfaceDesc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE |
                           (hardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY),
                       kTargetSide, kTargetSide);
}
}  // namespace

uint32_t TST_TextureVideoBytes(uint32_t width, uint32_t height) {
    const uint32_t bytes = MeasureVideoBytes(SurfaceDesc(DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY, width, height));
    plat::SetDisplayDrivers(plat::DefaultDisplayDrivers());
    return bytes;
}

bool TST_OpenTextureDevice(bool hardware, uint32_t textureBudget) {
    TST_CloseTextureDevice();
    g_SavedHardwareDevice = g_Rnd.hardwareDevice;
    g_Open = true;
    const DDSURFACEDESC target = TargetDesc(hardware);
    UseOneDriver((hardware ? MeasureVideoBytes(target) : 0) + textureBudget);

    g_Rnd.hardwareDevice = hardware ? 1 : 0;
    const bool made =
        DirectDrawCreate(nullptr, &g_TestDirectDraw, nullptr) == DD_OK &&
        g_TestDirectDraw->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&g_Rnd.directDraw)) == DD_OK &&
        g_Rnd.directDraw->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(&g_Rnd.direct3D)) == DD_OK &&
        g_Rnd.directDraw->CreateSurface(&target, &g_Rnd.backBuffer, nullptr) == DD_OK &&
        g_Rnd.direct3D->CreateDevice(hardware ? IID_IDirect3DHALDevice : IID_IDirect3DRampDevice, g_Rnd.backBuffer,
                                    &g_Rnd.device) == D3D_OK;
    RND_InitTextureLists();
    if (!made)
        TST_CloseTextureDevice();
    return made;
}

void TST_CloseTextureDevice() {
    RND_FreeAllTextures();
    RND_InitTextureLists();
    ReleaseOne(g_Rnd.device);
    ReleaseOne(g_Rnd.backBuffer);
    ReleaseOne(g_Rnd.direct3D);
    ReleaseOne(g_Rnd.directDraw);
    ReleaseOne(g_TestDirectDraw);
    if (g_Open)
        g_Rnd.hardwareDevice = g_SavedHardwareDevice;
    g_Open = false;
    plat::SetDisplayDrivers(plat::DefaultDisplayDrivers());
}
