// Display start-up: the mode table, which driver and which device the creation takes on which
// machine, where the Z buffer goes, the mode set and its no-op, release, the palette file rules,
// the start-up order of GAME_InitGraphics and the release of the texture records.
#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "d3d.h"
#include "engine/rnd_texture.h"
#include "rnd_display_fixture.h"
#include "common/lst.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_view.h"
#include "world/game_frame.h"

namespace {
using Calls = std::vector<std::string>;

constexpr GUID kCard = {0x3D3D3D3Du, 0x0001, 0x0002, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr GUID kOther = {0x12345678u, 0x0003, 0x0004, {8, 7, 6, 5, 4, 3, 2, 1}};

// A driver told apart from the others by its amount of video memory.
plat::DisplayDriverSpec Driver(const GUID* guid, uint32_t megabytes, bool threeD) {
    plat::DisplayDriverSpec d;
    d.hasGuid = guid != nullptr;
    if (guid)
        d.guid = *guid;
    d.videoMemory = megabytes << 20;
    d.caps = threeD ? uint32_t(DDCAPS_3D) : 0u;
    d.halDevice = threeD;
    return d;
}

uint32_t OpenedDriverMegabytes() {
    DDCAPS caps{};
    caps.dwSize = sizeof caps;
    return g_DspDirectDraw && g_DspDirectDraw->GetCaps(&caps, nullptr) == DD_OK ? caps.dwVidMemTotal >> 20 : 0;
}

bool DeviceIsHal() {
    D3DDEVICEDESC hardware{}, emulation{};
    hardware.dwSize = emulation.dwSize = sizeof(D3DDEVICEDESC);
    return g_Rnd.device && g_Rnd.device->GetCaps(&hardware, &emulation) == D3D_OK && hardware.dwFlags != 0;
}

bool InVideoMemory(IDirectDrawSurface3* s) {
    DDSCAPS caps{};
    return s && s->GetCaps(&caps) == DD_OK && (caps.dwCaps & DDSCAPS_VIDEOMEMORY);
}

class DisplayStartTest : public DisplayFixture {};
}  // namespace

TEST(DisplayModes, FindModeOverTheTable) {
    struct Case {
        int width, height, bits, row;
    };
    const Case cases[] = {
        {640, 480, 16, 15}, {0, 0, 8, 1},     {0, 0, 0, 0},    {700, 0, 0, 0},   {320, 240, 0, 2},
        {0, 0, 16, 11},     {1600, 1200, 16, 20}, {0, 1200, 0, 10}, {640, 480, 8, 5}, {640, 480, 32, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DSP_FindMode(c.width, c.height, c.bits), c.row) << c.width << " x " << c.height << " x " << c.bits;
    for (int row = 1; row <= DSP_MODE_COUNT; ++row) {
        const DisplayMode& m = g_DspModes[row];
        EXPECT_EQ(DSP_FindMode(m.width, m.height, m.bitsPerPixel), row) << "every row is found by its own values";
        EXPECT_EQ(m.unused, 0);
    }
}

TEST_F(DisplayStartTest, DriverAndDeviceChoice) {
    plat::DisplayDriverSpec noPerspective = Driver(nullptr, 4, true);
    noPerspective.halTextureCaps = 0;
    plat::DisplayDriverSpec halOn2D = Driver(nullptr, 4, false);
    halOn2D.halDevice = true;
    plat::DisplayDriverSpec noBlend = Driver(nullptr, 4, true);
    noBlend.halDestBlendCaps = D3DPBLENDCAPS_ZERO;
    plat::DisplayDriverSpec only8 = Driver(nullptr, 4, true);
    only8.modes = {{640, 480, 8}, {320, 240, 8}};
    plat::DisplayDriverSpec closedCard = Driver(&kCard, 8, true);
    closedCard.opens = false;
    plat::DisplayDriverSpec no3DInterface = Driver(nullptr, 4, true);
    no3DInterface.direct3d = false;
    plat::DisplayDriverSpec noVga = Driver(nullptr, 4, true);
    noVga.modes = {{800, 600, 16}};

    struct Case {
        const char* name;
        std::vector<plat::DisplayDriverSpec> drivers;
        int hardwareAllowed;
        int result;
        uint32_t megabytes;  // of the driver opened
        int hardwareFlag;
        bool hal;
        bool zInVideoMemory;
        int bits, modeRow, additive;
    };
    const Case cases[] = {
        {"one 3D card", {Driver(nullptr, 4, true)}, 1, 1, 4, 1, true, true, 16, 15, 1},
        {"hardware not allowed", {Driver(nullptr, 4, true)}, 0, 1, 4, 0, false, false, 16, 15, 0},
        {"a 3D card beside the display", {Driver(nullptr, 2, false), Driver(&kCard, 8, true)}, 1, 1, 8, 1, true, true,
         16, 15, 1},
        {"a second card without 3D", {Driver(nullptr, 2, true), Driver(&kCard, 8, false)}, 1, 1, 2, 1, true, true, 16,
         15, 1},
        {"two cards, hardware not allowed", {Driver(nullptr, 2, true), Driver(&kCard, 8, true)}, 0, 1, 2, 0, false,
         false, 16, 15, 0},
        {"three drivers: the primary", {Driver(nullptr, 2, true), Driver(&kOther, 1, false), Driver(&kCard, 8, true)},
         1, 1, 2, 1, true, true, 16, 15, 1},
        {"a 3D card that does not open", {Driver(nullptr, 2, true), closedCard}, 1, 1, 2, 1, true, true, 16, 15, 1},
        {"HAL without perspective texturing", {noPerspective}, 1, 1, 4, 0, false, true, 16, 15, 1},
        {"no blend factor ONE", {noBlend}, 1, 1, 4, 1, true, true, 16, 15, 0},
        // No 3D caps: the Z buffer goes to system memory, then the mode set tries the HAL anyway.
        {"HAL on a card without 3D caps", {halOn2D}, 1, 1, 4, 1, true, false, 16, 15, 1},
        // Only 8 bits: the HAL renders 16 bits only, and the mode row is the 8-bit one.
        {"8-bit modes only", {only8}, 1, 1, 4, 0, false, true, 8, 5, 0},
        {"no display", {}, 1, 0, 0, 0, false, false, 0, 0, 0},
        {"no Direct3D", {no3DInterface}, 1, 0, 4, 1, false, false, 0, 0, 0},
        {"no 640 x 480 mode", {noVga}, 1, 0, 4, 1, false, false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        plat::SetDisplayDrivers(c.drivers);
        g_Rnd.hardwareAllowed = c.hardwareAllowed;
        g_Rnd.canBlendAdditive = 0;
        g_Rnd.modeRow = 0;
        g_DspBitsPerPixel = 0;
        EXPECT_EQ(DSP_CreateDevice(window), c.result);
        EXPECT_EQ(OpenedDriverMegabytes(), c.megabytes);
        EXPECT_EQ(g_Rnd.hardwareDevice, c.hardwareFlag);
        EXPECT_EQ(g_DspDisplayReady, uint32_t(c.result));
        if (c.result) {
            EXPECT_EQ(DeviceIsHal(), c.hal);
            EXPECT_EQ(InVideoMemory(g_Rnd.zBuffer), c.zInVideoMemory);
            EXPECT_EQ(g_DspBitsPerPixel, c.bits);
            EXPECT_EQ(g_Rnd.modeRow, c.modeRow);
            EXPECT_EQ(RND_GetBitDepth(), c.bits) << "the renderer reports the depth the display has";
            EXPECT_EQ(g_Rnd.palette != nullptr, c.bits == 8);
            EXPECT_EQ(g_Rnd.canBlendAdditive, c.additive);
        }
        DSP_Release(window);
        EXPECT_EQ(plat::LiveDisplayObjects(), 0);
    }
}

TEST_F(DisplayStartTest, CreationLeavesAReadyDisplayOnBlackFrames) {
    const uint64_t frames = plat::FrameCount();
    const int32_t blocks = g_Rnd.liveBlocks;
    ASSERT_EQ(DSP_CreateDevice(window), 1);
    EXPECT_EQ(plat::FrameCount(), frames + 4) << "two black frames of the mode set, two of the start";
    EXPECT_EQ(Shown(320, 240), 0u);
    EXPECT_EQ(g_Rnd.screenWidth, 640.0f);
    EXPECT_EQ(g_Rnd.screenHeight, 480.0f);
    EXPECT_EQ(g_Rnd.clipRect.right, 640);
    EXPECT_EQ(g_Rnd.clipRect.bottom, 480);
    EXPECT_EQ(g_RndNear, 100.0f);
    EXPECT_EQ(g_RndFar, 5000.0f);
    D3DVIEWPORT2 viewport{};
    viewport.dwSize = sizeof viewport;
    ASSERT_EQ(g_Rnd.viewport->GetViewport2(&viewport), D3D_OK);
    EXPECT_EQ(viewport.dwWidth, 640u);
    EXPECT_EQ(viewport.dvClipWidth, 6400.0f);
    EXPECT_EQ(viewport.dvClipHeight, 4800.0f);
    EXPECT_EQ(viewport.dvMaxZ, 1.0f);
    IDirect3DViewport2* current = nullptr;
    ASSERT_EQ(g_Rnd.device->GetCurrentViewport(&current), D3D_OK);
    EXPECT_EQ(current, g_Rnd.viewport);
    current->Release();
    DDSCAPS zCaps{DDSCAPS_ZBUFFER};
    IDirectDrawSurface3* attached = nullptr;
    ASSERT_EQ(g_Rnd.backBuffer->GetAttachedSurface(&zCaps, &attached), DD_OK);
    EXPECT_EQ(attached, g_Rnd.zBuffer);
    attached->Release();
    EXPECT_EQ(g_Rnd.liveBlocks, blocks) << "the driver records are all freed";
}

TEST_F(DisplayStartTest, SetModeOfTheCurrentModeTouchesNothing) {
    OpenDisplay(640, 480, 16);
    IDirectDrawSurface3* primary = g_Rnd.primary;
    IDirect3DDevice2* device = g_Rnd.device;
    const uint64_t frames = plat::FrameCount();
    EXPECT_EQ(DSP_SetMode(640, 480, 16), 1);
    EXPECT_EQ(g_Rnd.primary, primary);
    EXPECT_EQ(g_Rnd.device, device);
    EXPECT_EQ(plat::FrameCount(), frames);

    g_Rnd.modeRow = DSP_FindMode(320, 240, 16);
    ASSERT_EQ(DSP_SetMode(320, 240, 16), 1);
    EXPECT_EQ(plat::FrameCount(), frames + 2);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(g_Rnd.backBuffer->GetSurfaceDesc(&desc), DD_OK);
    EXPECT_EQ(desc.dwWidth, 320u);
    EXPECT_EQ(g_Rnd.screenWidth, 320.0f);
    EXPECT_EQ(g_Rnd.clipRect.right, 320);
    EXPECT_EQ(g_Rnd.clipRect.bottom, 240);

    // A mode the driver refuses: nothing changes.
    IDirectDrawSurface3* small = g_Rnd.primary;
    EXPECT_EQ(DSP_SetMode(700, 500, 16), 0);
    EXPECT_EQ(g_DspWidth, 320);
    EXPECT_EQ(g_Rnd.primary, small);
}

TEST_F(DisplayStartTest, SetModeOverTheModeTable) {
    // A card with room for every mode: 16-bit rows get the HAL device, 8-bit rows the Ramp device
    // (the card renders 16 bits only) and the display palette.
    plat::DisplayDriverSpec big;
    big.videoMemory = 64u << 20;
    plat::SetDisplayDrivers({big});
    for (int row = 1; row <= DSP_MODE_COUNT; ++row) {
        const DisplayMode& m = g_DspModes[row];
        SCOPED_TRACE(std::to_string(m.width) + " x " + std::to_string(m.height) + " x " +
                     std::to_string(m.bitsPerPixel));
        ASSERT_EQ(DSP_CreateDevice(window), 1);
        g_Rnd.modeRow = row;
        ASSERT_EQ(DSP_SetMode(m.width, m.height, m.bitsPerPixel), 1);
        EXPECT_EQ(RND_GetBitDepth(), m.bitsPerPixel);
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        for (IDirectDrawSurface3* s : {g_Rnd.primary, g_Rnd.backBuffer, g_Rnd.zBuffer}) {
            ASSERT_EQ(s->GetSurfaceDesc(&desc), DD_OK);
            EXPECT_EQ(int(desc.dwWidth), m.width);
            EXPECT_EQ(int(desc.dwHeight), m.height);
        }
        ASSERT_EQ(g_Rnd.backBuffer->GetSurfaceDesc(&desc), DD_OK);
        EXPECT_EQ(int(desc.ddpfPixelFormat.dwRGBBitCount), m.bitsPerPixel);
        EXPECT_EQ(DeviceIsHal(), m.bitsPerPixel == 16);
        EXPECT_EQ(g_Rnd.hardwareDevice, m.bitsPerPixel == 16 ? 1 : 0);
        EXPECT_EQ(g_Rnd.palette != nullptr, m.bitsPerPixel == 8);
        EXPECT_EQ(g_Rnd.screenWidth, float(m.width));
        EXPECT_EQ(g_Rnd.screenHeight, float(m.height));
        EXPECT_EQ(g_Rnd.clipRect.right, m.width);
        EXPECT_EQ(g_Rnd.clipRect.bottom, m.height);
        D3DVIEWPORT2 viewport{};
        viewport.dwSize = sizeof viewport;
        ASSERT_EQ(g_Rnd.viewport->GetViewport2(&viewport), D3D_OK);
        EXPECT_EQ(int(viewport.dwWidth), m.width);
        EXPECT_EQ(viewport.dvClipHeight, 10.0f * float(m.height));
        EXPECT_EQ(Shown(m.width - 1, m.height - 1), 0u) << "the mode starts on black frames";
        DSP_Release(window);
    }
}

TEST_F(DisplayStartTest, ZBufferThatDoesNotFitFailsTheMode) {
    // Room for the flip chain but not for a Z buffer in video memory.
    plat::DisplayDriverSpec tight;
    tight.videoMemory = 2 * 480 * (640 * 2 + 16) + 4096;
    plat::SetDisplayDrivers({tight});
    EXPECT_EQ(DSP_CreateDevice(window), 0) << "16 bits fail at the Z buffer, 8 bits (a smaller chain) too";
}

TEST_F(DisplayStartTest, PrimaryFallsBackToSystemMemory) {
    plat::DisplayDriverSpec tiny;  // a 2D card with almost no memory: everything in system memory
    tiny.videoMemory = 1024;
    tiny.caps = 0;
    tiny.halDevice = false;
    plat::SetDisplayDrivers({tiny});
    g_Rnd.hardwareAllowed = 1;
    ASSERT_EQ(DSP_CreateDevice(window), 1);
    EXPECT_FALSE(InVideoMemory(g_Rnd.primary));
    EXPECT_FALSE(DeviceIsHal());
}

TEST_F(DisplayStartTest, ReleaseAllKeepsTheInterfacesUnlessAll) {
    OpenDisplay(640, 480, 8);
    DSP_ReleaseAll(0);
    EXPECT_EQ(g_Rnd.device, nullptr);
    EXPECT_EQ(g_Rnd.viewport, nullptr);
    EXPECT_EQ(g_Rnd.zBuffer, nullptr);
    EXPECT_EQ(g_Rnd.backBuffer, nullptr);
    EXPECT_EQ(g_Rnd.primary, nullptr);
    EXPECT_EQ(g_Rnd.palette, nullptr);
    EXPECT_NE(g_Rnd.directDraw, nullptr);
    EXPECT_NE(g_Rnd.direct3D, nullptr);
    EXPECT_NE(g_DspDirectDraw, nullptr);
    EXPECT_EQ(g_DspDisplayReady, 1u);
    DSP_Release(window);
    EXPECT_EQ(g_Rnd.directDraw, nullptr);
    EXPECT_EQ(g_Rnd.direct3D, nullptr);
    EXPECT_EQ(g_DspDirectDraw, nullptr);
    EXPECT_EQ(g_DspDisplayReady, 0u);
    EXPECT_EQ(plat::LiveDisplayObjects(), 0);
    EXPECT_EQ(DSP_SetMode(640, 480, 16), 0) << "no display to set a mode on";
}

TEST_F(DisplayStartTest, PaletteFileRules) {
    std::vector<uint8_t> full(768);
    for (size_t i = 0; i < full.size(); ++i)
        full[i] = uint8_t(i * 7 + 1);
    struct Case {
        const char* name;
        const char* paletteName;
        size_t fileBytes;  // written under "Graphics/Maps/Grave.bin"; 0: no file
        bool fromFile;
    };
    const std::string longName(300, 'a');
    const Case cases[] = {
        {"no file", "graphics\\maps\\grave.bin", 0, false},
        {"a short file", "graphics\\maps\\grave.bin", 767, false},
        {"a whole file", "graphics\\maps\\grave.bin", 768, true},
        {"a name too long for the buffer", longName.c_str(), 768, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(dir_ + "/Graphics");
        if (c.fileBytes) {
            std::filesystem::create_directories(dir_ + "/Graphics/Maps");
            std::ofstream(dir_ + "/Graphics/Maps/Grave.bin", std::ios::binary)
                .write(reinterpret_cast<const char*>(full.data()), long(c.fileBytes));
        }
        DSP_SetPaletteFileName(c.paletteName);
        OpenDisplay(640, 480, 8);
        ASSERT_NE(g_Rnd.palette, nullptr);
        PALETTEENTRY entries[256];
        ASSERT_EQ(g_Rnd.palette->GetEntries(0, 0, 256, entries), DD_OK);
        for (int i : {0, 1, 37, 255}) {
            const PALETTEENTRY expected =
                c.fromFile ? PALETTEENTRY{full[size_t(i) * 3], full[size_t(i) * 3 + 1], full[size_t(i) * 3 + 2], 0x40}
                           : PALETTEENTRY{uint8_t((i >> 5) << 5), uint8_t(((i >> 2) & 7) << 5), uint8_t((i & 3) << 6),
                                          0x40};
            EXPECT_EQ(entries[i].peRed, expected.peRed) << "entry " << i;
            EXPECT_EQ(entries[i].peGreen, expected.peGreen) << "entry " << i;
            EXPECT_EQ(entries[i].peBlue, expected.peBlue) << "entry " << i;
            EXPECT_EQ(entries[i].peFlags, 0x40) << "entry " << i;
        }
        if (!c.fromFile) {
            EXPECT_EQ(entries[255].peRed, 224);
            EXPECT_EQ(entries[255].peBlue, 192);
        }
        for (IDirectDrawSurface3* s : {g_Rnd.primary, g_Rnd.backBuffer}) {
            IDirectDrawPalette* attached = nullptr;
            ASSERT_EQ(s->GetPalette(&attached), DD_OK);
            EXPECT_EQ(attached, g_Rnd.palette);
            attached->Release();
        }
        DSP_Release(window);
    }
    EXPECT_STREQ(DSP_GetPaletteFileName(), "") << "nothing is opened under a cut name";
    DSP_SetPaletteFileName("def_pal.bin");
    EXPECT_STREQ(DSP_GetPaletteFileName(), "def_pal.bin");
}

TEST_F(DisplayStartTest, LoadingThePaletteAgainRefreshesTheSameOne) {
    OpenDisplay(640, 480, 8);
    IDirectDrawPalette* palette = g_Rnd.palette;
    std::vector<uint8_t> file(768, 0x55);
    std::ofstream("def_pal.bin", std::ios::binary).write(reinterpret_cast<const char*>(file.data()), 768);
    DSP_LoadDefaultPalette();
    EXPECT_EQ(g_Rnd.palette, palette);
    PALETTEENTRY entry{};
    ASSERT_EQ(g_Rnd.palette->GetEntries(0, 200, 1, &entry), DD_OK);
    EXPECT_EQ(entry.peGreen, 0x55);
}

TEST_F(DisplayStartTest, GameInitGraphicsRunsTheStartUpInOrder) {
    const Calls creation = {"RND_SetClipRectRaw(0,0,640,480)", "RND_BeginFrame", "RND_FlushBatch", "RND_BeginFrame",
                            "RND_FlushBatch"};
    Calls expected = {"GAME_InitGraphics", "RND_SetHardwareAllowed(1)", "RND_InitDisplay"};
    expected.insert(expected.end(), creation.begin(), creation.end());
    expected.insert(expected.end(), {"APP_ProbeDisplayModes", "DSP_Release", "RND_SetHardwareAllowed(1)"});
    expected.insert(expected.end(), creation.begin(), creation.end());
    expected.insert(expected.end(), {"LND_ResetView", "LND_SetDynamicLighting(1)", "LND_SetAmbientLight(0.1,0.1,0.1,0)",
                                     "RND_SetBackgroundColour(null)",
                                     "LND_SetViewProjection(100.0,2500.0,2500.0,0.6283,0.4712)",
                                     "APP_SetDisplayMode(7,1)", "CAM_Reset"});
    g_GraphicsReady = 0;
    g_Rnd.hardwareAllowed = 0;
    EXPECT_EQ(GAME_InitGraphics(window), 0);
    EXPECT_EQ(TRC_TraceLog(), expected);
    EXPECT_EQ(g_GraphicsReady, 1u);
    EXPECT_EQ(g_DspDisplayReady, 1u);
    EXPECT_EQ(g_Rnd.hardwareAllowed, 1);

    // Without a HAL device the option is the software 640 x 480 x 16 mode.
    DSP_Release(window);
    plat::DisplayDriverSpec software;
    software.halDevice = false;
    plat::SetDisplayDrivers({software});
    TRC_TraceClear();
    EXPECT_EQ(GAME_InitGraphics(window), 0);
    const Calls& log = TRC_TraceLog();
    EXPECT_NE(std::find(log.begin(), log.end(), "APP_SetDisplayMode(6,1)"), log.end());
}

TEST_F(DisplayStartTest, GameInitGraphicsFailsWithoutADisplay) {
    plat::SetDisplayDrivers({});
    g_GraphicsReady = 0;
    EXPECT_EQ(GAME_InitGraphics(window), -1);
    EXPECT_EQ(TRC_TraceLog(), (Calls{"GAME_InitGraphics", "RND_SetHardwareAllowed(1)", "RND_InitDisplay"}));
    EXPECT_EQ(g_GraphicsReady, 0u);
    EXPECT_EQ(g_DspDisplayReady, 0u);
}

TEST_F(DisplayStartTest, TextureRecordsAreFreedOnlyWhileTheDisplayIsReady) {
    // Records as the texture loader makes them, without surfaces.
    auto add = [](ListHeader* list) {
        auto* r = static_cast<RenderTexture*>(RND_Alloc(sizeof(RenderTexture)));
        *r = RenderTexture{};
        LST_AddTail(list, &r->link);
    };
    OpenDisplay(640, 480, 16);  // the display start-up makes both lists empty
    add(&g_RndLoadedTextures);
    add(&g_RndLoadedTextures);
    add(&g_RndUnloadedTextures);
    const int32_t live = g_Rnd.liveBlocks;
    g_DspDisplayReady = 0;
    DSP_ReleaseTextureSurfaces();
    EXPECT_EQ(LST_Count(&g_RndLoadedTextures), 2u) << "not while the display is not ready";
    g_DspDisplayReady = 1;
    DSP_ReleaseTextureSurfaces();
    EXPECT_EQ(LST_Count(&g_RndLoadedTextures), 0u);
    EXPECT_EQ(LST_Count(&g_RndUnloadedTextures), 0u);
    EXPECT_EQ(g_Rnd.liveBlocks, live - 3);
}

TEST_F(DisplayStartTest, FrameStartRestoresLostSurfaces) {
    OpenDisplay(640, 480, 16);
    plat::LoseDisplaySurfaces();
    EXPECT_EQ(g_Rnd.primary->IsLost(), DDERR_SURFACELOST);
    RND_BeginFrame();
    EXPECT_EQ(g_Rnd.primary->IsLost(), DD_OK);
    EXPECT_EQ(g_Rnd.zBuffer->IsLost(), DD_OK);
    RND_EndScene();
    const uint64_t frames = plat::FrameCount();
    RND_Flip();
    EXPECT_EQ(plat::FrameCount(), frames + 1);
}
