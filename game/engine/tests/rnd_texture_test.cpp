// Texture loading: the bitmap file into a texture surface of the format the device offers, its
// palette, the square-texture option, names and the fallback picture, archives, colour keys and
// flag words, and release.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "datakit/muf_writer.h"
#include "engine/rnd_texture_create.h"
#include "engine/rnd_texture_palette.h"
#include "rnd_texture_fixture.h"

namespace {

// A 4 x 4 picture, 8 bits per pixel, with a colour table of 3 entries (0 black, 1 red, 2 a
// green-blue), 2835 pixels per metre, written out field by field:
//     rows, top first:  0 1 2 0 / 1 2 0 1 / 2 0 1 2 / 0 0 0 0
const std::vector<uint8_t> kThreeColourBmp = {
    // file header: "BM", file size 82, two reserved words, pixels at 66
    0x42, 0x4D, 0x52, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x42, 0x00, 0x00, 0x00,
    // information header: size 40, width 4, height 4 (bottom-up), planes 1, 8 bits
    0x28, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x01, 0x00, 0x08, 0x00,
    // no compression, image size 16, 2835 x 2835 pixels per metre, 3 colours used, 0 important
    0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x13, 0x0B, 0x00, 0x00, 0x13, 0x0B, 0x00, 0x00,
    0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    // colour table: blue, green, red, 0
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x80, 0xFF, 0x00, 0x00,
    // rows, bottom first
    0x00, 0x00, 0x00, 0x00,
    0x02, 0x00, 0x01, 0x02,
    0x01, 0x02, 0x00, 0x01,
    0x00, 0x01, 0x02, 0x00,
};
constexpr uint8_t kThreeColourPixels[4][4] = {{0, 1, 2, 0}, {1, 2, 0, 1}, {2, 0, 1, 2}, {0, 0, 0, 0}};

constexpr uint16_t kRed565 = 0xF800, kBlue565 = 0x001F;

std::vector<PALETTEENTRY> EntriesOf(IDirectDrawPalette* palette, uint32_t* caps = nullptr) {
    std::vector<PALETTEENTRY> entries(256);
    if (!palette || palette->GetEntries(0, 0, 256, entries.data()) != DD_OK)
        return {};
    if (caps)
        palette->GetCaps(caps);
    return entries;
}

bool Same(const PALETTEENTRY& a, const PALETTEENTRY& b) {
    return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue && a.peFlags == b.peFlags;
}

// ---- format choice ----

struct FormatCase {
    const char* what;
    uint32_t wanted;
    std::vector<DDPIXELFORMAT> offered;
    uint32_t chosenBits;   // 0: nothing chosen
    uint32_t chosenRMask;  // tells formats of one depth apart
};

DDPIXELFORMAT Fmt(uint32_t flags, uint32_t bits, uint32_t rMask = 0) {
    return DDPIXELFORMAT{sizeof(DDPIXELFORMAT), flags, bits, rMask, 0, 0};
}

TEST(TextureFormat, NearestCountAtOrAboveTheWantedOneWins) {
    const DDPIXELFORMAT pal8 = Fmt(DDPF_PALETTEINDEXED8, 8), rgb16 = Fmt(DDPF_RGB, 16, 0xF800),
                        rgb16b = Fmt(DDPF_RGB, 16, 0x7C00), rgb24 = Fmt(DDPF_RGB, 24, 0xFF0000),
                        rgb32 = Fmt(DDPF_RGB, 32, 0xFF0000), alpha16 = Fmt(DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x0F00),
                        alphaOnly = Fmt(DDPF_ALPHA, 8), plain8 = Fmt(DDPF_RGB, 8, 0xE0),
                        pal4 = Fmt(DDPF_PALETTEINDEXED8, 4), yuv16 = Fmt(0, 16, 0x1234);
    const FormatCase cases[] = {
        {"24-bit bitmap, 8/16/24 offered", 16, {pal8, rgb16, rgb24}, 16, 0xF800},
        {"8-bit bitmap, 8/16/24 offered", 8, {pal8, rgb16, rgb24}, 8, 0},
        {"a deeper format first gives way to a nearer one", 16, {rgb24, rgb16}, 16, 0xF800},
        {"a format below the wanted count gives way", 16, {pal8, rgb32}, 32, 0xFF0000},
        {"nearer of two above", 16, {rgb32, rgb24}, 24, 0xFF0000},
        {"on equal counts the first stays", 16, {rgb16, rgb16b}, 16, 0xF800},
        {"alpha formats are skipped", 16, {alpha16, alphaOnly, rgb24}, 24, 0xFF0000},
        {"8 bits count only palettised", 8, {plain8, rgb16}, 16, 0xF800},
        {"under 8 bits and non-RGB deeper formats are skipped", 16, {pal4, yuv16}, 0, 0},
        {"only an unsuitable depth: taken while none is chosen", 8, {rgb24}, 24, 0xFF0000},
        {"nothing offered", 16, {}, 0, 0},
    };
    for (const FormatCase& c : cases) {
        TextureFormatChoice choice{};
        choice.wantedBits = c.wanted;
        for (const DDPIXELFORMAT& f : c.offered) {
            DDSURFACEDESC desc{};
            desc.dwSize = sizeof desc;
            desc.ddpfPixelFormat = f;
            EXPECT_EQ(RND_TextureFormatCallback(&desc, &choice), D3DENUMRET_OK) << c.what;
        }
        EXPECT_EQ(choice.format.dwRGBBitCount, c.chosenBits) << c.what;
        EXPECT_EQ(choice.format.dwRBitMask, c.chosenRMask) << c.what;
    }
}

TEST(TextureFormat, SurfaceErrorNames) {
    const std::pair<HRESULT, const char*> cases[] = {
        {HRESULT(0x80070057u), "INVALIDPARAMS"},   {HRESULT(0x8007000Eu), "OUTOFMEMORY"},
        {HRESULT(0x88760091u), "INVALIDPIXELFORMAT"}, {HRESULT(0x887600B4u), "NOALPHAHW"},
        {HRESULT(0x887600E6u), "NOFLIPHW"},         {HRESULT(0x88760104u), "NOOVERLAYHW"},
        {HRESULT(0x8876017Cu), "OUTOFVIDEOMEMORY"}, {HRESULT(0x88760235u), "NOEMULATION"},
        {HRESULT(0x8876024Fu), "NOMIPMAPHW"},       {HRESULT(0x88760001u), "Unknown error"},
        {DD_OK, "Unknown error"},
    };
    for (const auto& [result, name] : cases) EXPECT_STREQ(RND_DirectDrawErrorName(result), name);
}

// ---- loading ----

TEST_F(TextureTest, EightBitBitmapOnTheHardwareDeviceTakesItsOwnColourTable) {
    Open(true);
    Put("three.bmp", kThreeColourBmp);
    RenderTexture* t = RND_LoadTexture("three.bmp");
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t->name, "three.bmp");
    EXPECT_EQ(t->name, t->nameBuffer);
    EXPECT_EQ(t->valid, 1);
    EXPECT_EQ(t->loaded, 0) << "uploaded when first drawn";
    EXPECT_EQ(t->deviceSurface, nullptr);
    EXPECT_EQ(t->material, nullptr) << "materials are for the Ramp device";
    EXPECT_EQ(t->handle, 0u);
    EXPECT_EQ(List(g_RndUnloadedTextures), std::vector<const RenderTexture*>{t});
    EXPECT_EQ((std::vector<int32_t>{t->width, t->height, t->xPelsPerMeter, t->yPelsPerMeter}),
              (std::vector<int32_t>{4, 4, 2835, 2835}));
    ASSERT_NE(t->systemSurface, nullptr);
    const DDSURFACEDESC d = DescOf(t->systemSurface);
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 8u);
    EXPECT_TRUE(d.ddsCaps.dwCaps & DDSCAPS_TEXTURE);
    EXPECT_TRUE(d.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelOf(t->systemSurface, x, y), kThreeColourPixels[y][x]) << x << "," << y;

    // Three entries: still an 8-bit palette (a 4-bit one does not fit an 8-bit surface), the
    // entries beyond the table black, and set on the surface.
    uint32_t caps = 0;
    const std::vector<PALETTEENTRY> e = EntriesOf(t->palette, &caps);
    ASSERT_EQ(e.size(), 256u);
    EXPECT_TRUE(caps & DDPCAPS_8BIT);
    EXPECT_FALSE(caps & DDPCAPS_4BIT);
    EXPECT_TRUE(Same(e[0], PALETTEENTRY{0, 0, 0, 0}));
    EXPECT_TRUE(Same(e[1], PALETTEENTRY{0xFF, 0, 0, 0}));
    EXPECT_TRUE(Same(e[2], PALETTEENTRY{0, 0xFF, 0x80, 0}));
    for (int i = 3; i < 256; ++i) EXPECT_TRUE(Same(e[size_t(i)], PALETTEENTRY{0, 0, 0, 0})) << i;
    IDirectDrawPalette* onSurface = nullptr;
    ASSERT_EQ(t->systemSurface->GetPalette(&onSurface), DD_OK);
    EXPECT_EQ(onSurface, t->palette);
    onSurface->Release();

    RND_MakeTextureResident(t);
    EXPECT_EQ(t->loaded, 1);
    EXPECT_NE(t->handle, 0u);
    ASSERT_NE(t->deviceSurface, nullptr);
    EXPECT_TRUE(DescOf(t->deviceSurface).ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY);
    EXPECT_EQ(PixelOf(t->deviceSurface, 2, 0), 2u) << "the pixels were loaded into video memory";
    EXPECT_EQ(RND_GetTextureHandle(t), t->handle);
    EXPECT_EQ(List(g_RndLoadedTextures), std::vector<const RenderTexture*>{t});
    EXPECT_TRUE(List(g_RndUnloadedTextures).empty());
}

TEST_F(TextureTest, RampDeviceLoadsAtOnceIntoTheSameSurface) {
    Open(false);
    PutPlain("red.bmp", 8, 4, dk::Rgb{255, 0, 0});
    RenderTexture* t = RND_LoadTexture("red.bmp");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->loaded, 1);
    EXPECT_EQ(t->deviceSurface, t->systemSurface);
    EXPECT_NE(t->handle, 0u);
    EXPECT_EQ(t->palette, nullptr) << "16-bit format";
    EXPECT_EQ(DescOf(t->systemSurface).ddpfPixelFormat.dwRGBBitCount, 16u) << "24-bit bitmaps get 16 bits";
    EXPECT_EQ(PixelOf(t->systemSurface, 7, 3), kRed565);
    EXPECT_EQ(List(g_RndLoadedTextures), std::vector<const RenderTexture*>{t});
    RND_MakeTextureResident(t);
    EXPECT_EQ(t->deviceSurface, t->systemSurface) << "nothing to upload";

    // Its material: white, the texture's handle, ramp size 16.
    ASSERT_NE(t->material, nullptr);
    EXPECT_NE(t->materialHandle, 0u);
    D3DMATERIAL m{};
    ASSERT_EQ(t->material->GetMaterial(&m), D3D_OK);
    EXPECT_EQ(m.hTexture, t->handle);
    EXPECT_EQ(m.dwRampSize, 16u);
    EXPECT_EQ((std::vector<float>{m.diffuse.r, m.diffuse.g, m.diffuse.b, m.diffuse.a}),
              (std::vector<float>{1, 1, 1, 1}));
    EXPECT_EQ((std::vector<float>{m.ambient.r, m.ambient.g, m.ambient.b, m.ambient.a}),
              (std::vector<float>{1, 1, 1, 0}));
    EXPECT_EQ((std::vector<float>{m.specular.r, m.emissive.g, m.power}), (std::vector<float>{0, 0, 0}));
}

// The Ramp device's 8-bit textures take the palette file, or the 3-3-2 ramp when the file is
// missing or short; in an 8-bit display a copy of the display palette.
TEST_F(TextureTest, RampPalettesComeFromThePaletteFileOrTheRamp) {
    struct Case {
        const char* what;
        int fileBytes;  // -1: no file
        PALETTEENTRY entry1, entry255;
    };
    const Case cases[] = {
        {"a whole file", 768, {1, 254, 0, D3DPAL_READONLY}, {255, 0, 127, D3DPAL_READONLY}},
        {"a short file", 767, {0, 0, 64, D3DPAL_READONLY}, {224, 224, 192, D3DPAL_READONLY}},
        {"no file", -1, {0, 0, 64, D3DPAL_READONLY}, {224, 224, 192, D3DPAL_READONLY}},
    };
    Open(false);
    Put("three.bmp", kThreeColourBmp);
    for (const Case& c : cases) {
        std::filesystem::remove(root_ / "def_pal.bin");
        if (c.fileBytes >= 0) {
            std::vector<uint8_t> bytes;
            for (int i = 0; i < 256; ++i) bytes.insert(bytes.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)});
            bytes.resize(size_t(c.fileBytes));
            Put("def_pal.bin", bytes);
        }
        RenderTexture* t = RND_LoadTexture("three.bmp");
        ASSERT_NE(t, nullptr) << c.what;
        uint32_t caps = 0;
        const std::vector<PALETTEENTRY> e = EntriesOf(t->palette, &caps);
        ASSERT_EQ(e.size(), 256u) << c.what;
        EXPECT_EQ(caps & (DDPCAPS_8BIT | DDPCAPS_ALLOW256), uint32_t(DDPCAPS_8BIT | DDPCAPS_ALLOW256)) << c.what;
        EXPECT_TRUE(Same(e[1], c.entry1)) << c.what;
        EXPECT_TRUE(Same(e[255], c.entry255)) << c.what;
        EXPECT_EQ(PixelOf(t->systemSurface, 1, 0), 1u) << "indices are copied: " << c.what;
    }

    // An 8-bit display: the display palette, without its primary-surface caps.
    PALETTEENTRY display[256];
    for (int i = 0; i < 256; ++i) display[i] = PALETTEENTRY{uint8_t(i), 7, uint8_t(255 - i), 0};
    ASSERT_EQ(g_Rnd.directDraw->CreatePalette(DDPCAPS_8BIT | DDPCAPS_PRIMARYSURFACE, display, &g_Rnd.palette, nullptr),
              DD_OK);
    g_Rnd.modeRow = DSP_FindMode(640, 480, 8);
    ASSERT_EQ(RND_GetBitDepth(), 8);
    RenderTexture* t = RND_LoadTexture("three.bmp");
    g_Rnd.modeRow = 0;
    g_Rnd.palette->Release();
    g_Rnd.palette = nullptr;
    ASSERT_NE(t, nullptr);
    uint32_t caps = 0;
    const std::vector<PALETTEENTRY> e = EntriesOf(t->palette, &caps);
    ASSERT_EQ(e.size(), 256u);
    EXPECT_TRUE(Same(e[200], display[200]));
    EXPECT_EQ(caps & DDPCAPS_PRIMARYSURFACE, 0u);
}

TEST_F(TextureTest, PaletteFromABitmapWithoutAColourTableIsTheRamp) {
    Open(true);
    PutPlain("plain.bmp", 2, 2, dk::Rgb{1, 2, 3});
    auto bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, "plain.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    ASSERT_NE(bitmap, nullptr);
    IDirectDrawPalette* palette = RND_SetPaletteFromBitmap(g_Rnd.directDraw, bitmap);
    DeleteObject(bitmap);
    uint32_t caps = 0;
    const std::vector<PALETTEENTRY> e = EntriesOf(palette, &caps);
    ASSERT_EQ(e.size(), 256u);
    EXPECT_TRUE(caps & DDPCAPS_8BIT);
    EXPECT_TRUE(Same(e[255], PALETTEENTRY{224, 224, 192, 0}));
    EXPECT_TRUE(Same(e[0x25], PALETTEENTRY{32, 32, 64, 0}));
    palette->Release();
}

TEST_F(TextureTest, SquareOptionMakesSquareSurfacesOf32AtLeast) {
    struct Case {
        int width, height, shrink;
        uint32_t side[2];
    };
    const Case cases[] = {
        {20, 10, 1, {32, 32}}, {64, 128, 1, {128, 128}}, {40, 20, 1, {40, 40}}, {32, 32, 1, {32, 32}},
        {20, 10, 0, {20, 10}}, {64, 128, 0, {64, 128}},
    };
    Open(false);
    for (const Case& c : cases) {
        // Left half red, right half blue.
        dk::Bmp24 picture(c.width, c.height);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) picture.at(x, y) = x < c.width / 2 ? dk::Rgb{255, 0, 0} : dk::Rgb{0, 0, 255};
        Put("pic.bmp", dk::EncodeBmp24(picture));
        RND_SetTextureShrink(c.shrink);
        RenderTexture* t = RND_LoadTexture("pic.bmp");
        ASSERT_NE(t, nullptr);
        const std::string what = std::to_string(c.width) + "x" + std::to_string(c.height) + " option " +
                                 std::to_string(c.shrink);
        const DDSURFACEDESC d = DescOf(t->systemSurface);
        EXPECT_EQ(d.dwWidth, c.side[0]) << what;
        EXPECT_EQ(d.dwHeight, c.side[1]) << what;
        EXPECT_EQ(t->width, c.width) << "the record keeps the bitmap's size: " << what;
        EXPECT_EQ(t->height, c.height) << what;
        // Stretched over the whole surface: the colour boundary sits in the middle.
        EXPECT_EQ(PixelOf(t->systemSurface, int(d.dwWidth / 4), int(d.dwHeight) - 1), kRed565) << what;
        EXPECT_EQ(PixelOf(t->systemSurface, int(d.dwWidth) - 1, 0), kBlue565) << what;
        EXPECT_EQ(PixelOf(t->systemSurface, int(d.dwWidth * 3 / 4), int(d.dwHeight / 2)), kBlue565) << what;
    }
}

TEST_F(TextureTest, NamesMissingFilesAndTheFallbackPicture) {
    Open(false);
    // A null name: a record without surfaces, never a look-up of a null name.
    RenderTexture* unnamed = RND_LoadTexture(nullptr);
    ASSERT_NE(unnamed, nullptr);
    EXPECT_STREQ(unnamed->name, "No texture filename!!");
    EXPECT_EQ(unnamed->systemSurface, nullptr);
    EXPECT_EQ(unnamed->handle, 0u);
    EXPECT_EQ(unnamed->valid, 1);
    EXPECT_EQ(unnamed->loaded, 0);
    RenderTexture* keyedUnnamed = RND_LoadTextureKeyed(nullptr);
    ASSERT_NE(keyedUnnamed, nullptr);
    EXPECT_STREQ(keyedUnnamed->name, "No texture filename!!");
    EXPECT_EQ(keyedUnnamed->flags, 1u);

    // A missing file without the fallback: a record without surfaces (drawn with handle 0).
    const std::string longName = std::string(100, 'x') + ".bmp";
    RenderTexture* missing = RND_LoadTexture(longName.c_str());
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(std::string(missing->name), longName.substr(0, 65)) << "cut to 65 characters";
    EXPECT_EQ(missing->systemSurface, nullptr);
    EXPECT_EQ(missing->handle, 0u);
    EXPECT_EQ((List(g_RndUnloadedTextures)), (std::vector<const RenderTexture*>{unnamed, keyedUnnamed, missing}));

    // With "deftxtr.bmp" in the game directory a missing file takes that picture.
    PutPlain("deftxtr.bmp", 6, 2, dk::Rgb{0, 0, 255});
    RenderTexture* fallback = RND_LoadTexture("gone.bmp");
    ASSERT_NE(fallback, nullptr);
    EXPECT_STREQ(fallback->name, "gone.bmp");
    ASSERT_NE(fallback->systemSurface, nullptr);
    EXPECT_EQ(fallback->width, 6);
    EXPECT_EQ(PixelOf(fallback->systemSurface, 0, 0), kBlue565);

    // A file that is not a bitmap falls back as well.
    Put("broken.bmp", {'B', 'M', 1, 2, 3});
    RenderTexture* broken = RND_LoadTexture("broken.bmp");
    ASSERT_NE(broken, nullptr);
    EXPECT_EQ(broken->width, 6);
}

TEST_F(TextureTest, WithoutADisplayNothingIsMade) {
    PutPlain("red.bmp", 2, 2, dk::Rgb{255, 0, 0});
    for (const char* name : {"red.bmp", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(RND_LoadTexture(name), nullptr);
        EXPECT_EQ(RND_LoadTextureKeyed(name), nullptr);
    }
    EXPECT_TRUE(List(g_RndLoadedTextures).empty());
    EXPECT_TRUE(List(g_RndUnloadedTextures).empty());
}

TEST_F(TextureTest, TexturesLoadFromArchives) {
    Open(false);
    dk::Bmp24 picture(4, 4);
    picture.at(3, 0) = dk::Rgb{255, 0, 0};
    std::vector<uint8_t> archive;
    ASSERT_TRUE(dk::MufArchiveBytes({{"tex/one.bmp", dk::EncodeBmp24(picture)}}, &archive));
    Put("tex.muf", archive);
    ASSERT_EQ(MUF_OpenArchive("tex.muf"), MUF_OK);
    RenderTexture* t = RND_LoadTexture("tex\\one.bmp");
    ASSERT_NE(t, nullptr);
    ASSERT_NE(t->systemSurface, nullptr) << "read from the archive, not the disk";
    EXPECT_EQ(PixelOf(t->systemSurface, 3, 0), kRed565);
    EXPECT_EQ(PixelOf(t->systemSurface, 0, 0), 0u);
}

TEST_F(TextureTest, ColourKeyAndFlagWords) {
    Open(false);
    // A keyed texture's black texels are not copied by a keyed blit.
    dk::Bmp24 picture(2, 1);
    picture.at(1, 0) = dk::Rgb{255, 0, 0};
    Put("key.bmp", dk::EncodeBmp24(picture));
    RenderTexture* keyed = RND_LoadTextureKeyed("key.bmp");
    ASSERT_NE(keyed, nullptr);
    EXPECT_EQ(keyed->flags, 1u);
    DDSURFACEDESC desc = DescOf(keyed->systemSurface);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    IDirectDrawSurface3* target = nullptr;
    ASSERT_EQ(g_Rnd.directDraw->CreateSurface(&desc, &target, nullptr), DD_OK);
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0xFFFFFF;
    ASSERT_EQ(target->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    ASSERT_EQ(target->BltFast(0, 0, keyed->systemSurface, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(PixelOf(target, 0, 0), 0xFFFFu) << "black is the key";
    EXPECT_EQ(PixelOf(target, 1, 0), kRed565);
    target->Release();

    RenderTexture* plain = RND_LoadTexture("key.bmp");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->flags, 0u);
    RND_SetTextureColourKey(plain);
    EXPECT_EQ(plain->flags, 1u);
    RND_SetTextureColourKey(nullptr);

    // Flag values: 1 keyed, 2 colour blend, 4 additive; the previous word comes back.
    struct Step {
        RenderTexture* texture;
        uint32_t set, previous;
    };
    const Step steps[] = {{plain, 4, 1}, {plain, 2, 4}, {plain, 6, 2}, {plain, 0, 6}, {nullptr, 4, 0}};
    for (const Step& s : steps) EXPECT_EQ(RND_SetTextureFlags(s.texture, s.set), s.previous) << s.set;
    EXPECT_EQ(plain->flags, 0u);
    EXPECT_EQ(uint32_t(RND_TEXTURE_BLEND_ADD), 4u);
    EXPECT_EQ(RND_GetTextureHandle(nullptr), 0u);
}

TEST_F(TextureTest, ReleaseLetsGoOfEverySurfaceAndPalette) {
    Open(false);
    {
        const int before = plat::LiveDisplayObjects();
        PutPlain("red.bmp", 2, 2, dk::Rgb{255, 0, 0});
        RenderTexture* t = RND_LoadTexture("red.bmp");
        ASSERT_NE(t, nullptr);
        ASSERT_NE(t->material, nullptr);
        RND_ReleaseTexture(t);
        EXPECT_EQ(t->material, nullptr);
        EXPECT_EQ(t->materialHandle, 0u);
        EXPECT_EQ(plat::LiveDisplayObjects(), before) << "the material and the shared surface are released";
    }
    Open(true);
    const int before = plat::LiveDisplayObjects();
    Put("three.bmp", kThreeColourBmp);
    RenderTexture* t = RND_LoadTexture("three.bmp");
    ASSERT_NE(t, nullptr);
    RND_MakeTextureResident(t);
    ASSERT_EQ(t->loaded, 1);
    EXPECT_GT(plat::LiveDisplayObjects(), before);
    RND_ReleaseTexture(t);
    EXPECT_EQ(t->systemSurface, nullptr);
    EXPECT_EQ(t->deviceSurface, nullptr);
    EXPECT_EQ(t->palette, nullptr);
    EXPECT_EQ(t->loaded, 0);
    EXPECT_EQ(plat::LiveDisplayObjects(), before);
    RND_ReleaseTexture(t);  // twice is harmless
    RND_ReleaseTexture(nullptr);
}

}  // namespace
