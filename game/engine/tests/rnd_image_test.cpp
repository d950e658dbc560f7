// Whole frames drawn through the renderer into the software device and compared pixel for pixel
// with pictures kept in golden/ beside this file (drawn by this renderer and looked at before
// they were kept): Gouraud shading, Z overlap and 3D lines; a perspective-textured floor fading
// into the fog, a colour-keyed sprite and the two blend modes; each in 16 bits (HAL device) and
// 8 bits (Ramp device). A missing or different picture is written to the build folder.
#include <png.h>

#include <cstring>
#include <string>

#include "engine/rnd_line.h"
#include "engine/rnd_sprite.h"
#include "frame_golden.h"
#include "rnd_fixture.h"

namespace {
using rndtest::Corner;
using rndtest::RenderFixture;
using rndtest::Triangle;

using pngtest::Picture;
using pngtest::ReadPng;

Picture ShownFrame() { return pngtest::ShownFrame(); }

void ExpectGolden(const std::string& name, const Picture& actual) {
    pngtest::ExpectGoldenFrame(RND_GOLDEN_DIR, RND_ACTUAL_DIR, name, actual);
}

// A 16-bit 5-6-5 texture surface in system memory, known to the device by its handle.
struct TestTexture {
    IDirectDrawSurface3* surface = nullptr;
    IDirect3DTexture2* texture = nullptr;
};

class ImageTest : public RenderFixture, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        RenderFixture::SetUp();
        const int bits = GetParam();
        // The HAL device refuses 8-bit modes: those are drawn by the Ramp device.
        g_Rnd.hardwareAllowed = bits == 16;
        OpenDisplay(320, 240, bits);
        g_Rnd.hardwareAllowed = 1;
        RND_SetProjection(100.0f, 3000.0f, 3000.0f, 0.62831855f, 0.62831855f);
        const float grey[3] = {0.1f, 0.1f, 0.15f};
        RND_SetBackgroundColour(grey);
    }
    void TearDown() override {
        for (TestTexture& t : made_) {
            t.texture->Release();
            t.surface->Release();
        }
        made_.clear();
        const float black[3] = {0, 0, 0};
        RND_SetBackgroundColour(black);
        RenderFixture::TearDown();
    }
    // A w x h texture from a function of the texel giving 0xRRGGBB.
    template <typename F>
    RenderTexture* MakeTexture(int w, int h, uint32_t flags, F texel) {
        DDSURFACEDESC d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
        d.dwWidth = uint32_t(w);
        d.dwHeight = uint32_t(h);
        d.ddpfPixelFormat = DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F};
        TestTexture t;
        EXPECT_EQ(g_Rnd.directDraw->CreateSurface(&d, &t.surface, nullptr), DD_OK);
        if (!t.surface)
            return nullptr;
        DDSURFACEDESC l{};
        l.dwSize = sizeof l;
        if (t.surface->Lock(nullptr, &l, DDLOCK_WAIT, nullptr) == DD_OK) {
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const uint32_t c = texel(x, y);
                    const uint16_t v = uint16_t((c >> 8 & 0xF800) | (c >> 5 & 0x07E0) | (c >> 3 & 0x001F));
                    std::memcpy(static_cast<uint8_t*>(l.lpSurface) + y * l.lPitch + x * 2, &v, 2);
                }
            t.surface->Unlock(nullptr);
        }
        if (flags & RND_TEXTURE_KEYED) {
            DDCOLORKEY key{0, 0};
            t.surface->SetColorKey(DDCKEY_SRCBLT, &key);
        }
        EXPECT_EQ(t.surface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&t.texture)), DD_OK);
        uint32_t handle = 0;
        if (t.texture) {
            EXPECT_EQ(t.texture->GetHandle(g_Rnd.device, &handle), D3D_OK);
        }
        made_.push_back(t);
        return Texture(handle, flags);
    }
    // Begins a frame, draws, ends it and shows it.
    template <typename F>
    Picture Frame(F draw) {
        EXPECT_EQ(RND_BeginFrame(), 1);
        draw();
        RND_EndScene();
        RND_Flip();
        return ShownFrame();
    }
    std::string Name(const char* scene) { return std::string(scene) + "_" + std::to_string(GetParam()); }

    std::vector<TestTexture> made_;
};

TEST_P(ImageTest, GouraudTriangleZOverlapAndLines) {
    const Picture p = Frame([] {
        // Red, green and blue corners.
        RenderTriangle shaded = Triangle({-300, 250, 1000, 0, 0, 1, 0, 0}, {300, 150, 1000, 0, 0, 0, 1, 0},
                                         {-100, -300, 1000, 0, 0, 0, 0, 1});
        RND_DrawTriangle(&shaded);
        // Two triangles through each other: each is in front over part of the other.
        RenderTriangle a = Triangle({100, 100, 500, 0, 0, 1, 1, 1}, {400, 100, 900, 0, 0, 1, 1, 1},
                                    {100, -200, 500, 0, 0, 1, 1, 1});
        RenderTriangle b = Triangle({150, 50, 900, 0, 0, 1, 1, 0}, {400, 0, 500, 0, 0, 1, 1, 0},
                                    {200, -250, 700, 0, 0, 1, 1, 0});
        RND_DrawTriangle(&a);
        RND_DrawTriangle(&b);
        // Lines: one fading from cyan to magenta, one running behind the eye (cut at the near
        // plane), one wholly behind the eye (not drawn).
        const float cyan[3] = {0, 1, 1}, magenta[3] = {1, 0, 1}, white[3] = {1, 1, 1};
        const Vec3 l0{-400, -250, 800}, l1{400, 250, 800};
        RND_DrawLine3D(&l0, &l1, cyan, magenta);
        const Vec3 n0{-100, -100, 300}, n1{-100, -100, -300};
        RND_DrawLine3D(&n0, &n1, white, white);
        const Vec3 b0{0, 0, -10}, b1{50, 50, -20};
        RND_DrawLine3D(&b0, &b1, white, white);
    });
    ExpectGolden(Name("rnd_shaded"), p);
}

TEST_P(ImageTest, PerspectiveFloorInFogKeyedSpriteAndBlends) {
    RenderTexture* checker = MakeTexture(8, 8, 0, [](int x, int y) {
        return ((x / 4 + y / 4) % 2) ? 0xE0E0E0u : 0x3050C0u;
    });
    RenderTexture* keyed = MakeTexture(8, 8, RND_TEXTURE_KEYED, [](int x, int y) {
        const int dx = 2 * x - 7, dy = 2 * y - 7;
        return dx * dx + dy * dy <= 49 ? 0xF0C020u : 0u;  // a disc, black (keyed) around it
    });
    RenderTexture* add = MakeTexture(4, 4, RND_TEXTURE_BLEND_ADD, [](int, int) { return 0x600000u; });
    RenderTexture* colour = MakeTexture(4, 4, RND_TEXTURE_BLEND_COLOUR, [](int, int) { return 0x80FF80u; });
    ASSERT_TRUE(checker && keyed && add && colour);
    RND_SetFogEnabled(1);
    RND_SetFogStart(900.0f);
    const Picture p = Frame([&] {
        // A floor 200 below the eye from depth 150 to 2900, its texture repeated 8 times in depth.
        const Corner nearLeft{-600, -200, 150, 0, 0}, nearRight{600, -200, 150, 2, 0};
        const Corner farLeft{-600, -200, 2900, 0, 8}, farRight{600, -200, 2900, 2, 8};
        RenderTriangle f1 = Triangle(farLeft, farRight, nearRight, checker);
        RenderTriangle f2 = Triangle(farLeft, nearRight, nearLeft, checker);
        RND_DrawTriangle(&f1);
        RND_DrawTriangle(&f2);
        // Quads standing on the floor: additive on the left, colour-blended on the right.
        const Corner al{-350, 50, 600, 0, 0}, ar{-150, 50, 600, 1, 0}, bl{-350, -150, 600, 0, 1},
            br{-150, -150, 600, 1, 1};
        RenderTriangle a1 = Triangle(al, ar, br, add), a2 = Triangle(al, br, bl, add);
        const Corner cl{150, 50, 600, 0, 0}, cr{350, 50, 600, 1, 0}, dl{150, -150, 600, 0, 1},
            dr{350, -150, 600, 1, 1};
        RenderTriangle c1 = Triangle(cl, cr, dr, colour), c2 = Triangle(cl, dr, dl, colour);
        for (RenderTriangle* t : {&a1, &a2, &c1, &c2})
            RND_DrawTriangle(t);
        const float white[3] = {1, 1, 1};
        const Vec3 centre{0, 0, 400};
        RND_DrawSprite(keyed, 120, 120, &centre, white);
    });
    ExpectGolden(Name("rnd_textured"), p);
}

INSTANTIATE_TEST_SUITE_P(Depths, ImageTest, ::testing::Values(16, 8),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "bit"; });
}  // namespace
