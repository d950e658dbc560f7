// DirectDraw: the driver table, display modes, the flip chain and what a flip shows, colour fills
// in each pixel format, fast blits with source colour keys, locks, video memory and lost
// surfaces. Refused rectangles must leave every byte of a surface (its padding too) untouched.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display_fixture.h"

namespace {
using namespace displaytest;

class DirectDrawTest : public DisplayTest {};

constexpr GUID kCardA = {0x11111111u, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr GUID kCardB = {0x44444444u, 0x5555, 0x6666, {8, 7, 6, 5, 4, 3, 2, 1}};

plat::DisplayDriverSpec Driver(const GUID* guid, const char* description, uint32_t videoMemory) {
    plat::DisplayDriverSpec d;
    d.hasGuid = guid != nullptr;
    if (guid)
        d.guid = *guid;
    d.description = description;
    d.videoMemory = videoMemory;
    return d;
}

struct Seen {
    bool hasGuid;
    GUID guid;
    std::string description;
};
struct Enumeration {
    std::vector<Seen> seen;
    size_t stopAfter = 100;
};

BOOL Record(GUID* guid, LPSTR description, LPSTR, void* context) {
    auto* e = static_cast<Enumeration*>(context);
    e->seen.push_back(Seen{guid != nullptr, guid ? *guid : GUID{}, description});
    return e->seen.size() < e->stopAfter;
}

// The video memory total tells the drivers apart.
uint32_t VideoMemoryOf(IDirectDraw* dd) {
    DDCAPS caps{};
    caps.dwSize = sizeof caps;
    return dd->GetCaps(&caps, nullptr) == DD_OK ? caps.dwVidMemTotal : 0;
}

void Fill(IDirectDrawSurface3* s, uint32_t colour, const RECT* rect = nullptr) {
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = colour;
    ASSERT_EQ(s->Blt(rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
}

// Writes one row of 8-bit values (or 16-bit words) at row y.
void PutRow(IDirectDrawSurface3* s, int y, const std::vector<uint16_t>& values) {
    DDSURFACEDESC d = LockDesc();
    ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    auto* row = static_cast<uint8_t*>(d.lpSurface) + size_t(y) * size_t(d.lPitch);
    for (size_t x = 0; x < values.size(); ++x) {
        if (d.ddpfPixelFormat.dwRGBBitCount == 8)
            row[x] = uint8_t(values[x]);
        else
            std::memcpy(row + x * 2, &values[x], 2);
    }
    s->Unlock(nullptr);
}

std::vector<uint32_t> Row(IDirectDrawSurface3* s, int y, int width) {
    std::vector<uint32_t> out;
    for (int x = 0; x < width; ++x)
        out.push_back(PixelAt(s, x, y));
    return out;
}

uint32_t ShownPixel(int x, int y) {
    const uint32_t* frame = nullptr;
    int width = 0, height = 0;
    if (!plat::LastFrame(&frame, &width, &height) || x >= width || y >= height)
        return 0xFFFFFFFF;
    return frame[size_t(y) * size_t(width) + size_t(x)];
}
}  // namespace

TEST_F(DirectDrawTest, EnumeratesTheDriversInOrderAndStopsWhenAsked) {
    plat::SetDisplayDrivers({Driver(nullptr, "Primary", 1u << 20), Driver(&kCardA, "Card A", 2u << 20),
                             Driver(&kCardB, "Card B", 3u << 20)});
    Enumeration all;
    ASSERT_EQ(DirectDrawEnumerateA(Record, &all), DD_OK);
    ASSERT_EQ(all.seen.size(), 3u);
    EXPECT_FALSE(all.seen[0].hasGuid) << "the primary driver has no GUID";
    EXPECT_EQ(all.seen[0].description, "Primary");
    EXPECT_TRUE(all.seen[1].hasGuid && all.seen[1].guid == kCardA);
    EXPECT_TRUE(all.seen[2].hasGuid && all.seen[2].guid == kCardB);
    EXPECT_EQ(all.seen[2].description, "Card B");

    Enumeration first;
    first.stopAfter = 1;
    ASSERT_EQ(DirectDrawEnumerateA(Record, &first), DD_OK);
    EXPECT_EQ(first.seen.size(), 1u);
}

TEST_F(DirectDrawTest, CreatesTheDriverNamedByItsGuid) {
    struct Case {
        const char* name;
        std::vector<plat::DisplayDriverSpec> drivers;
        const GUID* guid;
        HRESULT result;
        uint32_t videoMemory;  // of the driver opened
    };
    plat::DisplayDriverSpec closed = Driver(&kCardB, "Card B", 3u << 20);
    closed.opens = false;
    const std::vector<plat::DisplayDriverSpec> two = {Driver(nullptr, "Primary", 1u << 20),
                                                      Driver(&kCardA, "Card A", 2u << 20), closed};
    const Case cases[] = {
        {"primary", two, nullptr, DD_OK, 1u << 20},
        {"second card", two, &kCardA, DD_OK, 2u << 20},
        {"card that does not open", two, &kCardB, DDERR_NODIRECTDRAWHW, 0},
        {"unknown card", {Driver(nullptr, "Primary", 1u << 20)}, &kCardA, DDERR_INVALIDPARAMS, 0},
        {"no display at all", {}, nullptr, DDERR_NODIRECTDRAWHW, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        plat::SetDisplayDrivers(c.drivers);
        GUID guid = c.guid ? *c.guid : GUID{};
        Ref<IDirectDraw> object;
        EXPECT_EQ(DirectDrawCreate(c.guid ? &guid : nullptr, object.out(), nullptr), c.result);
        EXPECT_EQ(object.get() != nullptr, c.result == DD_OK);
        if (object.get()) {
            EXPECT_EQ(VideoMemoryOf(object.get()), c.videoMemory);
        }
    }
}

TEST_F(DirectDrawTest, SetsOnlyTheModesTheDriverLists) {
    plat::DisplayDriverSpec only8 = Driver(nullptr, "8 bits only", 4u << 20);
    only8.modes = {{640, 480, 8}, {320, 240, 8}};
    struct Case {
        bool only8;
        int width, height, bits;
        HRESULT result;
    };
    const Case cases[] = {
        {false, 640, 480, 16, DD_OK},  {false, 320, 240, 8, DD_OK},
        {false, 1600, 1200, 16, DD_OK}, {false, 700, 500, 16, DDERR_UNSUPPORTEDMODE},
        {false, 640, 480, 32, DDERR_UNSUPPORTEDMODE}, {true, 640, 480, 8, DD_OK},
        {true, 640, 480, 16, DDERR_UNSUPPORTEDMODE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + "x" + std::to_string(c.bits));
        plat::SetDisplayDrivers({c.only8 ? only8 : plat::DisplayDriverSpec{}});
        Ref<IDirectDraw> object;
        ASSERT_EQ(DirectDrawCreate(nullptr, object.out(), nullptr), DD_OK);
        EXPECT_EQ(object->SetDisplayMode(c.width, c.height, c.bits), c.result);
    }

    plat::SetDisplayDrivers({plat::DisplayDriverSpec{}});
    OpenDisplay(640, 480, 16);
    struct Modes {
        std::vector<plat::DisplayModeSpec> seen;
        size_t stopAfter;
    } modes{{}, 100};
    auto collect = [](DDSURFACEDESC* d, void* context) -> HRESULT {
        auto* m = static_cast<Modes*>(context);
        m->seen.push_back({int(d->dwWidth), int(d->dwHeight), int(d->ddpfPixelFormat.dwRGBBitCount)});
        return m->seen.size() < m->stopAfter ? DDENUMRET_OK : DDENUMRET_CANCEL;
    };
    ASSERT_EQ(dd->EnumDisplayModes(0, nullptr, &modes, collect), DD_OK);
    EXPECT_EQ(modes.seen.size(), 20u);
    modes = {{}, 3};
    ASSERT_EQ(dd->EnumDisplayModes(0, nullptr, &modes, collect), DD_OK);
    EXPECT_EQ(modes.seen.size(), 3u);
}

TEST_F(DirectDrawTest, FlipChainNeedsExclusiveModeAndOneBackBuffer) {
    ASSERT_EQ(DirectDrawCreate(nullptr, first.out(), nullptr), DD_OK);
    ASSERT_EQ(first->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(dd.out())), DD_OK);
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS)
        << "exclusive mode needs a window";
    EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS) << "and full screen";

    DDSURFACEDESC chain = Desc(DDSD_CAPS | DDSD_BACKBUFFERCOUNT,
                               DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE);
    chain.dwBackBufferCount = 1;
    Ref<IDirectDrawSurface3> s;
    EXPECT_EQ(dd->CreateSurface(&chain, s.out(), nullptr), DDERR_NOEXCLUSIVEMODE);

    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX), DD_OK);
    DDSURFACEDESC twoBacks = chain;
    twoBacks.dwBackBufferCount = 2;
    EXPECT_EQ(dd->CreateSurface(&twoBacks, s.out(), nullptr), DDERR_INVALIDCAPS);
    ASSERT_EQ(dd->CreateSurface(&chain, s.out(), nullptr), DD_OK);
    Ref<IDirectDrawSurface3> again;
    EXPECT_EQ(dd->CreateSurface(&chain, again.out(), nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS);

    DDSURFACEDESC d = LockDesc();
    ASSERT_EQ(s->GetSurfaceDesc(&d), DD_OK);
    EXPECT_EQ(d.dwWidth, 640u) << "the primary surface has the display mode's size";
    EXPECT_GT(d.lPitch, 640 * 2) << "rows are padded: users must go by the pitch";

    s.reset();
    EXPECT_EQ(dd->CreateSurface(&chain, s.out(), nullptr), DD_OK) << "a released primary can be made again";
}

TEST_F(DirectDrawTest, FlipShowsTheBackBufferThroughThePalette) {
    OpenDisplay(320, 240, 8);
    MakeFlipChain();
    std::vector<PALETTEENTRY> entries(256, PALETTEENTRY{0, 0, 0, 0});
    entries[1] = {200, 10, 10, 0};
    entries[2] = {10, 10, 200, 0};
    Ref<IDirectDrawPalette> palette;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries.data(), palette.out(), nullptr), DD_OK);
    ASSERT_EQ(primary->SetPalette(palette.get()), DD_OK);
    ASSERT_EQ(back->SetPalette(palette.get()), DD_OK);

    Fill(back.get(), 0xF00000);  // nearest entry: 1
    RECT corner{0, 0, 2, 2};
    Fill(back.get(), 0x0000F0, &corner);  // entry 2
    ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    const uint32_t* frame = nullptr;
    int width = 0, height = 0;
    ASSERT_TRUE(plat::LastFrame(&frame, &width, &height));
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
    EXPECT_EQ(ShownPixel(0, 0), 0x0A0AC8u);
    EXPECT_EQ(ShownPixel(2, 0), 0xC80A0Au);
    EXPECT_EQ(ShownPixel(319, 239), 0xC80A0Au);
    EXPECT_EQ(PixelAt(back.get(), 5, 5), 0u) << "the back buffer now holds the old front buffer";

    // The palette is shared: a change shows at the next flip.
    entries[1] = {0, 255, 0, 0};
    ASSERT_EQ(palette->SetEntries(0, 1, 1, &entries[1]), DD_OK);
    ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(ShownPixel(5, 5), 0x00FF00u) << "entry 1 shown with its new colour";

    EXPECT_EQ(back->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
    Ref<IDirectDrawSurface3> other = Offscreen(4, 4);
    EXPECT_EQ(primary->Flip(other.get(), DDFLIP_WAIT), DDERR_INVALIDPARAMS);
}

TEST_F(DirectDrawTest, FlipShowsSixteenBitPixelsExpanded) {
    OpenDisplay(640, 480, 16);
    MakeFlipChain();
    const std::vector<uint16_t> pixels = {0xF800, 0x07E0, 0x001F, 0x8410, 0xFFFF, 0x0000};
    const std::vector<uint32_t> shown = {0xFF0000, 0x00FF00, 0x0000FF, 0x848284, 0xFFFFFF, 0x000000};
    PutRow(back.get(), 7, pixels);
    ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    for (size_t i = 0; i < pixels.size(); ++i)
        EXPECT_EQ(ShownPixel(int(i), 7), shown[i]) << "pixel " << std::hex << pixels[i];
}

TEST_F(DirectDrawTest, ColourFillIsConvertedToThePixelFormat) {
    struct Case {
        const char* name;
        int bits;
        bool palette;
        uint32_t colour;
        uint32_t pixel;
    };
    const Case cases[] = {
        {"orange in 5-6-5", 16, false, 0xFF8000, 0xFC00},
        {"truncated channels", 16, false, 0x123456, 0x11AA},
        {"white in 5-6-5", 16, false, 0xFFFFFF, 0xFFFF},
        {"nearest palette entry", 8, true, 0xF01010, 1},
        {"nearest of the blue ones", 8, true, 0x1020E0, 3},
        {"3-3-2 without a palette", 8, false, 0xFFFFFF, 255},
        {"black without a palette", 8, false, 0x000000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenDisplay(640, 480, c.bits);
        Ref<IDirectDrawSurface3> s = Offscreen(4, 3);
        if (c.palette) {
            std::vector<PALETTEENTRY> entries(256, PALETTEENTRY{128, 128, 128, 0});
            entries[1] = {250, 0, 0, 0};
            entries[2] = {0, 0, 128, 0};
            entries[3] = {0, 0, 250, 0};
            Ref<IDirectDrawPalette> palette;
            ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries.data(), palette.out(), nullptr), DD_OK);
            ASSERT_EQ(s->SetPalette(palette.get()), DD_OK);
        }
        RECT rect{1, 1, 3, 2};
        Fill(s.get(), c.colour, &rect);
        EXPECT_EQ(Row(s.get(), 0, 4), std::vector<uint32_t>(4, 0));
        EXPECT_EQ(Row(s.get(), 1, 4), (std::vector<uint32_t>{0, c.pixel, c.pixel, 0}));
        EXPECT_EQ(Row(s.get(), 2, 4), std::vector<uint32_t>(4, 0));
    }
}

TEST_F(DirectDrawTest, ColourFillRefusesRectanglesOutsideTheSurface) {
    OpenDisplay(640, 480, 16);
    Ref<IDirectDrawSurface3> s = Offscreen(4, 3);
    const std::vector<uint8_t> before = Snapshot(s.get());
    const RECT rects[] = {{-1, 0, 2, 2}, {0, 0, 5, 1}, {0, 2, 4, 4}, {2, 1, 2, 3}, {3, 2, 1, 1}};
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0xFFFFFF;
    for (const RECT& r : rects) {
        SCOPED_TRACE(std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
                     std::to_string(r.bottom));
        EXPECT_EQ(s->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DDERR_INVALIDRECT);
    }
    EXPECT_EQ(Snapshot(s.get()), before);
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_WAIT, &fx), DDERR_UNSUPPORTED) << "only colour fills";
}

TEST_F(DirectDrawTest, BltFastCopiesAndSkipsTheKeyRange) {
    OpenDisplay(640, 480, 8);
    Ref<IDirectDrawSurface3> source = Offscreen(4, 2);
    PutRow(source.get(), 0, {0, 1, 2, 3});
    PutRow(source.get(), 1, {4, 5, 0, 6});
    struct Case {
        const char* name;
        uint32_t flags;
        DDCOLORKEY key;
        std::vector<uint32_t> row1, row2;  // destination rows 1 and 2, all 9 before
    };
    const Case cases[] = {
        {"plain", DDBLTFAST_WAIT, {0, 0}, {9, 0, 1, 2, 3, 9}, {9, 4, 5, 0, 6, 9}},
        {"black is transparent", DDBLTFAST_WAIT | DDBLTFAST_SRCCOLORKEY, {0, 0}, {9, 9, 1, 2, 3, 9},
         {9, 4, 5, 9, 6, 9}},
        {"a range of keys", DDBLTFAST_SRCCOLORKEY, {2, 4}, {9, 0, 1, 9, 9, 9}, {9, 9, 5, 0, 6, 9}},
    };
    const std::vector<uint32_t> untouched(6, 9);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Ref<IDirectDrawSurface3> dest = Offscreen(6, 4);
        for (int y = 0; y < 4; ++y)
            PutRow(dest.get(), y, std::vector<uint16_t>(6, 9));
        ASSERT_EQ(source->SetColorKey(DDCKEY_SRCBLT, &c.key), DD_OK);
        ASSERT_EQ(dest->BltFast(1, 1, source.get(), nullptr, c.flags), DD_OK);
        EXPECT_EQ(Row(dest.get(), 0, 6), untouched);
        EXPECT_EQ(Row(dest.get(), 1, 6), c.row1);
        EXPECT_EQ(Row(dest.get(), 2, 6), c.row2);
        EXPECT_EQ(Row(dest.get(), 3, 6), untouched);
    }
}

TEST_F(DirectDrawTest, BltFastRefusesRectanglesOutsideEitherSurface) {
    OpenDisplay(640, 480, 16);
    Ref<IDirectDrawSurface3> source = Offscreen(4, 4);
    Fill(source.get(), 0xFFFFFF);
    Ref<IDirectDrawSurface3> dest = Offscreen(8, 6);
    const std::vector<uint8_t> before = Snapshot(dest.get());
    struct Case {
        const char* name;
        uint32_t x, y;
        RECT source;
    };
    const Case cases[] = {
        {"past the right edge", 5, 0, {0, 0, 4, 4}},
        {"past the bottom", 0, 3, {0, 0, 4, 4}},
        {"left of the surface (negative x)", uint32_t(-1), 0, {0, 0, 2, 2}},
        {"source past its right edge", 0, 0, {2, 0, 5, 2}},
        {"source above its top", 0, 0, {0, -1, 2, 2}},
        {"empty source", 0, 0, {1, 1, 1, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(dest->BltFast(c.x, c.y, source.get(), &c.source, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
    }
    EXPECT_EQ(Snapshot(dest.get()), before);
    EXPECT_EQ(dest->BltFast(4, 2, source.get(), nullptr, DDBLTFAST_WAIT), DD_OK) << "the last position that fits";
    EXPECT_EQ(PixelAt(dest.get(), 7, 5), 0xFFFFu);
}

TEST_F(DirectDrawTest, BltFastNeedsOneFormatAndAKey) {
    OpenDisplay(640, 480, 16);
    Ref<IDirectDrawSurface3> wide = Offscreen(4, 4);
    DDSURFACEDESC d = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT,
                           DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, 4, 4);
    d.ddpfPixelFormat = DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_PALETTEINDEXED8 | DDPF_RGB, 8, 0, 0, 0};
    Ref<IDirectDrawSurface3> narrow;
    ASSERT_EQ(dd->CreateSurface(&d, narrow.out(), nullptr), DD_OK);
    EXPECT_EQ(wide->BltFast(0, 0, narrow.get(), nullptr, DDBLTFAST_WAIT), DDERR_INVALIDPIXELFORMAT);
    Ref<IDirectDrawSurface3> other = Offscreen(4, 4);
    EXPECT_EQ(wide->BltFast(0, 0, other.get(), nullptr, DDBLTFAST_SRCCOLORKEY), DDERR_NOCOLORKEY);
    EXPECT_EQ(wide->BltFast(0, 0, nullptr, nullptr, 0), DDERR_INVALIDPARAMS);
}

TEST_F(DirectDrawTest, BltFastWithinOneSurfaceReadsBeforeWriting) {
    OpenDisplay(640, 480, 8);
    Ref<IDirectDrawSurface3> s = Offscreen(8, 1);
    PutRow(s.get(), 0, {1, 2, 3, 4, 5, 6, 7, 8});
    RECT left{0, 0, 7, 1};
    ASSERT_EQ(s->BltFast(1, 0, s.get(), &left, DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(Row(s.get(), 0, 8), (std::vector<uint32_t>{1, 1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(DirectDrawTest, LockGivesThePitchAndBlocksOtherUse) {
    OpenDisplay(640, 480, 16);
    MakeFlipChain();
    RECT part{3, 2, 6, 4};
    DDSURFACEDESC whole = LockDesc(), inner = LockDesc();
    ASSERT_EQ(back->Lock(nullptr, &whole, DDLOCK_WAIT, nullptr), DD_OK);
    const auto* base = static_cast<uint8_t*>(whole.lpSurface);
    EXPECT_EQ(back->Lock(nullptr, &inner, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    EXPECT_EQ(back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_SURFACEBUSY);
    EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACEBUSY);
    HDC dc = nullptr;
    EXPECT_EQ(back->GetDC(&dc), DDERR_SURFACEBUSY);
    ASSERT_EQ(back->Unlock(nullptr), DD_OK);
    EXPECT_EQ(back->Unlock(nullptr), DDERR_NOTLOCKED);

    ASSERT_EQ(back->Lock(&part, &inner, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(static_cast<uint8_t*>(inner.lpSurface), base + 2 * whole.lPitch + 3 * 2);
    ASSERT_EQ(back->Unlock(nullptr), DD_OK);
    RECT outside{600, 470, 641, 480};
    EXPECT_EQ(back->Lock(&outside, &inner, DDLOCK_WAIT, nullptr), DDERR_INVALIDRECT);
}

TEST_F(DirectDrawTest, SurfacesGoToVideoMemoryWhileItLasts) {
    // A card with just enough memory for the game's flip chain.
    OpenDisplay(640, 480, 16);
    MakeFlipChain();
    DDSURFACEDESC mode = LockDesc();
    ASSERT_EQ(primary->GetSurfaceDesc(&mode), DD_OK);
    const uint32_t chainBytes = uint32_t(2 * 480 * mode.lPitch);
    back.reset();
    primary.reset();
    plat::DisplayDriverSpec small;
    small.videoMemory = chainBytes;
    plat::SetDisplayDrivers({small});
    OpenDisplay(640, 480, 16);
    MakeFlipChain();
    uint32_t total = 0, free = 1;
    ASSERT_EQ(dd->GetAvailableVidMem(nullptr, &total, &free), DD_OK);
    EXPECT_EQ(total, chainBytes);
    EXPECT_EQ(free, 0u) << "the chain fills video memory";

    DDSURFACEDESC d = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, 16, 16);
    Ref<IDirectDrawSurface3> s;
    EXPECT_EQ(dd->CreateSurface(&d, s.out(), nullptr), DDERR_OUTOFVIDEOMEMORY);
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    ASSERT_EQ(dd->CreateSurface(&d, s.out(), nullptr), DD_OK);
    DDSCAPS caps{};
    s->GetCaps(&caps);
    EXPECT_TRUE(caps.dwCaps & DDSCAPS_SYSTEMMEMORY) << "without a placement it falls back to system memory";

    back.reset();
    primary.reset();
    ASSERT_EQ(dd->GetAvailableVidMem(nullptr, &total, &free), DD_OK);
    EXPECT_EQ(free, chainBytes) << "released surfaces give their memory back";
}

TEST_F(DirectDrawTest, LostSurfacesRefuseUseUntilRestored) {
    OpenDisplay(640, 480, 16);
    MakeFlipChain();
    Ref<IDirectDrawSurface3> system = Offscreen(8, 8);
    plat::LoseDisplaySurfaces();
    EXPECT_EQ(primary->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(back->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(system->IsLost(), DD_OK) << "system memory is never lost";

    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    DDSURFACEDESC d = LockDesc();
    EXPECT_EQ(back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_SURFACELOST);
    EXPECT_EQ(back->BltFast(0, 0, system.get(), nullptr, DDBLTFAST_WAIT), DDERR_SURFACELOST);
    EXPECT_EQ(back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
    const uint64_t frames = plat::FrameCount();

    ASSERT_EQ(primary->Restore(), DD_OK);
    EXPECT_EQ(back->IsLost(), DD_OK) << "restoring the front buffer restores its chain";
    EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(plat::FrameCount(), frames + 1);

    ASSERT_EQ(first->SetDisplayMode(320, 240, 16), DD_OK);
    EXPECT_EQ(primary->IsLost(), DDERR_SURFACELOST) << "a mode change loses display memory";
    EXPECT_EQ(system->IsLost(), DD_OK);
}

TEST_F(DirectDrawTest, PalettesAreCheckedAndAttachedOnlyToEightBitSurfaces) {
    OpenDisplay(640, 480, 16);
    std::vector<PALETTEENTRY> entries(256, PALETTEENTRY{1, 2, 3, 0});
    Ref<IDirectDrawPalette> palette, small;
    EXPECT_EQ(dd->CreatePalette(0, entries.data(), palette.out(), nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->CreatePalette(DDPCAPS_8BIT, nullptr, palette.out(), nullptr), DDERR_INVALIDPARAMS);
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_4BIT, entries.data(), small.out(), nullptr), DD_OK);
    PALETTEENTRY got[17];
    EXPECT_EQ(small->GetEntries(0, 0, 16, got), DD_OK);
    EXPECT_EQ(small->GetEntries(0, 0, 17, got), DDERR_INVALIDPARAMS);
    EXPECT_EQ(small->SetEntries(0, 10, 7, got), DDERR_INVALIDPARAMS);

    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries.data(), palette.out(), nullptr), DD_OK);
    Ref<IDirectDrawSurface3> s = Offscreen(4, 4);
    EXPECT_EQ(s->SetPalette(palette.get()), DDERR_INVALIDPIXELFORMAT) << "a 16-bit surface has no palette";
}
