// Display creation and release: the driver choice (a second, 3D-capable card when there are
// exactly two drivers), the DirectDraw and Direct3D interfaces, the display mode with its primary
// surface, back buffer, Z buffer, palette, device and viewport, and the release of all of it.
#include <cstdio>

#include "d3d.h"
#include "engine/rnd_batch.h"
#include "engine/rnd_clip.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_projection.h"
#include "engine/rnd_state.h"
#include "engine/rnd_states.h"
#include "engine/rnd_texture.h"
#include "engine/rnd_view.h"
#include "engine/rnd_display.h"

IDirectDraw* g_DspDirectDraw = nullptr;
int32_t g_DspWidth = 0, g_DspHeight = 0, g_DspBitsPerPixel = 0;
uint32_t g_DspDisplayReady = 0;
HWND g_DspWindow = nullptr;

namespace {
ListHeader g_DspDrivers = {{&g_DspDrivers.tailEnd, nullptr}, {nullptr, &g_DspDrivers.headEnd}};

constexpr uint32_t kCooperativeLevel = DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX;
constexpr uint32_t kPrimaryCaps =
    DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY;
constexpr float kClipNear = 100.0f, kClipFar = 5000.0f;
constexpr float kProjectionAngle = 0.314159f, kProjectionScale = 0.31415927f;

DisplayDriver* DSP_FirstDriver() {
    ListNode* node = g_DspDrivers.headEnd.successor;
    return node && node->successor ? reinterpret_cast<DisplayDriver*>(node) : nullptr;
}

DisplayDriver* DSP_LastDriver() {
    ListNode* node = g_DspDrivers.tailEnd.predecessor;
    return node && node->predecessor ? reinterpret_cast<DisplayDriver*>(node) : nullptr;
}

void DSP_FreeDriver(DisplayDriver* driver) {
    LST_Remove(&driver->link);
    RND_Free(driver->name);
    RND_Free(driver);
}

// The DirectDraw object of a driver (null: the primary one); the record is taken out of the list
// and freed. *has3D tells whether the driver reports 3D hardware. Null when it cannot be made.
IDirectDraw* DSP_OpenDriver(DisplayDriver* driver, bool* has3D) {
    *has3D = false;
    IDirectDraw* directDraw = nullptr;
    const HRESULT result = DirectDrawCreate(driver ? driver->guidPtr : nullptr, &directDraw, nullptr);
    if (driver)
        DSP_FreeDriver(driver);
    if (result != DD_OK)
        return nullptr;
    DDCAPS driverCaps{}, emulationCaps{};
    driverCaps.dwSize = emulationCaps.dwSize = sizeof(DDCAPS);
    if (directDraw->GetCaps(&driverCaps, &emulationCaps) == DD_OK)
        *has3D = driverCaps.dwCaps & DDCAPS_3D;
    return directDraw;
}

template <class T>
void DSP_ReleaseOne(T*& object) {
    if (object)
        object->Release();
    object = nullptr;
}
}  // namespace

BOOL DSP_EnumDriverCallback(GUID* guid, LPSTR description, LPSTR, void* list) {
    auto* driver = static_cast<DisplayDriver*>(RND_Alloc(sizeof(DisplayDriver)));
    if (!driver)
        return TRUE;
    *driver = DisplayDriver{};
    driver->name = static_cast<char*>(RND_Alloc(DSP_DRIVER_NAME_SIZE));
    if (!driver->name) {
        RND_Free(driver);
        return TRUE;
    }
    std::snprintf(driver->name, DSP_DRIVER_NAME_SIZE, "%s", description ? description : "");
    if (guid) {
        driver->guid = *guid;
        driver->guidPtr = &driver->guid;
    }
    LST_AddTail(static_cast<ListHeader*>(list), &driver->link);
    return TRUE;
}

int DSP_CreateDevice(HWND window) {
    g_DspWindow = window;
    LST_Init(&g_DspDrivers);
    DSP_ReleaseAll(1);
    DirectDrawEnumerateA(DSP_EnumDriverCallback, &g_DspDrivers);

    IDirectDraw* directDraw = nullptr;
    bool has3D = false;
    // Exactly two drivers: the second is a separate 3D card, taken when it says it is one.
    if (g_Rnd.hardwareAllowed && LST_Count(&g_DspDrivers) == 2) {
        g_Rnd.hardwareDevice = 1;
        directDraw = DSP_OpenDriver(DSP_LastDriver(), &has3D);
        if (directDraw && !has3D)
            DSP_ReleaseOne(directDraw);
    }
    if (!directDraw) {
        g_Rnd.hardwareDevice = 0;
        directDraw = DSP_OpenDriver(DSP_FirstDriver(), &has3D);
        if (directDraw && has3D)
            g_Rnd.hardwareDevice = g_Rnd.hardwareAllowed;
    }
    // The records not taken (with three drivers or more) go as well.
    while (DisplayDriver* driver = DSP_FirstDriver())
        DSP_FreeDriver(driver);
    if (!directDraw)
        return 0;
    g_DspDirectDraw = directDraw;

    if (g_DspDirectDraw->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&g_Rnd.directDraw)) != DD_OK ||
        g_Rnd.directDraw->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(&g_Rnd.direct3D)) != DD_OK ||
        g_Rnd.directDraw->SetCooperativeLevel(window, kCooperativeLevel) != DD_OK)
        return 0;
    if (!DSP_SetMode(640, 480, 16) && !DSP_SetMode(640, 480, 8))
        return 0;

    RND_SetClipPlanes(kClipNear, kClipFar);
    // The mode row is the mode really set, 8 bits when 16 could not be had, so that the renderer
    // and the bitmaps work in the depth the display has.
    g_Rnd.modeRow = DSP_FindMode(g_DspWidth, g_DspHeight, g_DspBitsPerPixel);
    const DisplayMode& mode = g_DspModes[g_Rnd.modeRow];
    RND_SetProjection(kClipNear, kClipFar, kClipFar, kProjectionAngle,
                      kProjectionScale * float(mode.height) / float(mode.width));

    RND_InitTextureLists();
    g_DspDisplayReady = 1;
    for (int frame = 0; frame < 2; ++frame) {
        RND_BeginFrame();
        RND_FlushBatch();
        g_Rnd.device->EndScene();
        g_Rnd.primary->Flip(nullptr, DDFLIP_WAIT);
    }
    return 1;
}

int DSP_SetMode(int32_t width, int32_t height, int32_t bitsPerPixel) {
    if (g_DspDisplayReady && width == g_DspWidth && height == g_DspHeight && bitsPerPixel == g_DspBitsPerPixel)
        return 1;
    if (!g_DspDirectDraw || !g_Rnd.directDraw || !g_Rnd.direct3D ||
        g_DspDirectDraw->SetDisplayMode(uint32_t(width), uint32_t(height), uint32_t(bitsPerPixel)) != DD_OK)
        return 0;
    g_DspWidth = width;
    g_DspHeight = height;
    g_DspBitsPerPixel = bitsPerPixel;
    DSP_ReleaseAll(0);

    // The flip chain, in video memory if it fits.
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = kPrimaryCaps;
    desc.dwBackBufferCount = 1;
    if (g_Rnd.directDraw->CreateSurface(&desc, &g_Rnd.primary, nullptr) != DD_OK) {
        desc.ddsCaps.dwCaps &= ~uint32_t(DDSCAPS_VIDEOMEMORY);
        g_Rnd.directDraw->CreateSurface(&desc, &g_Rnd.primary, nullptr);
    }
    DDSCAPS backCaps{DDSCAPS_BACKBUFFER};
    if (!g_Rnd.primary || g_Rnd.primary->GetAttachedSurface(&backCaps, &g_Rnd.backBuffer) != DD_OK)
        return 0;
    if (bitsPerPixel == 8)
        DSP_LoadDefaultPalette();

    // The Z buffer goes where the device chosen so far wants it.
    DDSURFACEDESC z{};
    z.dwSize = sizeof z;
    z.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_ZBUFFERBITDEPTH;
    z.dwWidth = uint32_t(width);
    z.dwHeight = uint32_t(height);
    z.dwZBufferBitDepth = 16;
    z.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | (g_Rnd.hardwareDevice ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
    if (g_Rnd.directDraw->CreateSurface(&z, &g_Rnd.zBuffer, nullptr) != DD_OK ||
        g_Rnd.backBuffer->AddAttachedSurface(g_Rnd.zBuffer) != DD_OK)
        return 0;

    // The HAL device when allowed and able to texture in perspective, else the Ramp device.
    if (g_Rnd.hardwareAllowed) {
        g_Rnd.hardwareDevice = 1;
        if (g_Rnd.direct3D->CreateDevice(IID_IDirect3DHALDevice, g_Rnd.backBuffer, &g_Rnd.device) == D3D_OK) {
            D3DDEVICEDESC hardware{}, emulation{};
            hardware.dwSize = emulation.dwSize = sizeof(D3DDEVICEDESC);
            if (g_Rnd.device->GetCaps(&hardware, &emulation) == D3D_OK && (hardware.dwFlags & D3DDD_TRICAPS)) {
                const D3DPRIMCAPS& tri = hardware.dpcTriCaps;
                if ((tri.dwSrcBlendCaps & D3DPBLENDCAPS_ONE) && (tri.dwDestBlendCaps & D3DPBLENDCAPS_ONE))
                    g_Rnd.canBlendAdditive = 1;
                if (!(tri.dwTextureCaps & D3DPTEXTURECAPS_PERSPECTIVE))
                    DSP_ReleaseOne(g_Rnd.device);
            }
        }
    }
    if (!g_Rnd.device) {
        g_Rnd.hardwareDevice = 0;
        if (g_Rnd.direct3D->CreateDevice(IID_IDirect3DRampDevice, g_Rnd.backBuffer, &g_Rnd.device) != D3D_OK)
            return 0;
    }

    if (g_Rnd.direct3D->CreateViewport(&g_Rnd.viewport, nullptr) != D3D_OK)
        return 0;
    g_Rnd.device->AddViewport(g_Rnd.viewport);
    D3DVIEWPORT2 viewport{};
    viewport.dwSize = sizeof viewport;
    viewport.dwWidth = uint32_t(width);
    viewport.dwHeight = uint32_t(height);
    viewport.dvClipWidth = 10.0f * float(width);
    viewport.dvClipHeight = 10.0f * float(height);
    viewport.dvMaxZ = 1.0f;
    if (g_Rnd.viewport->SetViewport2(&viewport) != D3D_OK || g_Rnd.device->SetCurrentViewport(g_Rnd.viewport) != D3D_OK)
        return 0;

    RND_SetDefaultRenderStates();
    g_Rnd.screenWidth = float(width);
    g_Rnd.screenHeight = float(height);
    RND_SetClipRectRaw(0, 0, width, height);
    DDBLTFX black{};
    black.dwSize = sizeof black;
    for (int frame = 0; frame < 2; ++frame) {
        g_Rnd.backBuffer->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &black);
        g_Rnd.primary->Flip(nullptr, DDFLIP_WAIT);
    }
    return 1;
}

void DSP_ReleaseAll(uint32_t all) {
    DSP_ReleaseOne(g_Rnd.device);
    DSP_ReleaseOne(g_Rnd.viewport);
    DSP_ReleaseOne(g_Rnd.zBuffer);
    DSP_ReleaseOne(g_Rnd.backBuffer);
    DSP_ReleaseOne(g_Rnd.primary);
    DSP_ReleaseOne(g_Rnd.palette);
    if (all) {
        DSP_ReleaseOne(g_Rnd.direct3D);
        DSP_ReleaseOne(g_Rnd.directDraw);
        DSP_ReleaseOne(g_DspDirectDraw);
    }
}

void DSP_Release(HWND) {
    DSP_Trace("DSP_Release");
    DSP_ReleaseAll(1);
    g_DspDisplayReady = 0;
}

void DSP_ReleaseTextureSurfaces() {
    if (!g_DspDisplayReady)
        return;
    RND_FreeAllTextures();
}
