// The chase camera seen through the renderer: a small textured map written by the data kit (a
// lit floor of 4 x 4 squares whose quartered texture shows any turn or mirror), the camera behind
// a character turned by 0.3 at each of the eight presets after it has settled, each frame compared pixel for pixel with a
// picture kept in golden/ beside this file (drawn by this renderer and looked at before it was
// kept). A missing or different picture is written to the build folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/game_clock.h"
#include "common/mem.h"
#include "common/muf.h"
#include "datakit/bmp.h"
#include "datakit/map_data.h"
#include "datakit/map_demo.h"
#include "datakit/map_zlm.h"
#include "engine/landscape_query.h"
#include "engine/lnd.h"
#include "engine/lnd_draw.h"
#include "engine/lnd_material.h"
#include "engine/map_load.h"
#include "engine/rnd_batch.h"
#include "engine/rnd_display.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"
#include "plat.h"
#include "frame_golden.h"
#include "tool_test.h"
#include "win32.h"
#include "world/bod_record.h"
#include "world/cam.h"
#include "world/character.h"
#include "world/game_frame.h"

namespace {
constexpr const char* kTexture = "tiles.bmp";
constexpr const char* kMap = "campicture.zlm";

// Four quarters (red, green, blue, yellow) with a white corner: any turn or mirror shows.
dk::Bmp24 Tiles() {
    dk::Bmp24 picture(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            picture.at(x, y) = y < 8 ? (x < 8 ? dk::Rgb{200, 40, 40} : dk::Rgb{40, 200, 40})
                                     : (x < 8 ? dk::Rgb{40, 40, 200} : dk::Rgb{200, 200, 40});
    picture.at(0, 0) = dk::Rgb{255, 255, 255};
    return picture;
}

dk::MapData PictureMap() {
    dk::MapData m = dk::UprightTextureMap("camera pictures", kTexture, 0.2f);
    // The floor: 4 x 4 squares of 400 from -800 to 800.
    int grid[5][5];
    for (int row = 0; row < 5; ++row)
        for (int column = 0; column < 5; ++column)
            grid[row][column] = dk::AddMapVertex(&m, -800.0f + 400.0f * float(column), 0.0f, -800.0f + 400.0f * float(row));
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            dk::AddMapSquare(&m, grid[row][column], grid[row][column + 1], grid[row + 1][column + 1], grid[row + 1][column]);
    dk::MapLight light;
    light.type = 1;
    light.direction = {0.3f, -1.0f, 0.5f};
    light.colour = {0.8f, 0.8f, 0.8f};
    m.lights.push_back(light);
    dk::LinkMapTwins(&m);
    dk::CompleteMapData(&m);
    return m;
}

pngtest::Picture ShownFrame() { return pngtest::ShownFrame(); }

void ExpectGolden(const std::string& name, const pngtest::Picture& actual) {
    pngtest::ExpectGoldenFrame(CAM_GOLDEN_DIR, CAM_ACTUAL_DIR, name, actual);
}

class CamPictureTest : public ::testing::Test {
protected:
    std::filesystem::path dir, previous;
    HWND window = nullptr;

    void SetUp() override {
        setenv("PLATFORM_BACKEND", "headless", 1);
        plat::ResetForTests();
        dir = tooltest::FreshTestDir("campicture-");
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        ASSERT_TRUE(dk::WriteBmp24(kTexture, Tiles()));
        ASSERT_TRUE(dk::WriteZlm(kMap, PictureMap()));
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.lpszClassName = "CamPicture";
        RegisterClassExA(&windowClass);
        window = CreateWindowExA(0, "CamPicture", "camera", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr,
                                 nullptr);
        ASSERT_NE(window, nullptr);
        MUF_Init();
        MEM_ResetTracker();
        ASSERT_EQ(GAME_InitGraphics(window), 0);
        Matrix34 start;
        MTH_MatrixIdentity(&start);
        ASSERT_TRUE(MAP_LoadMap(&start, kMap));
        LND_LoadTextures(2);
        CAM_ResetForTests();
    }
    void TearDown() override {
        CAM_ResetForTests();
        g_GameClock = {};
        g_FocusAiMode = 0;
        if (g_Landscape)
            MAP_UnloadMap();
        if (window) {
            DSP_Release(window);
            DestroyWindow(window);
        }
        MUF_CloseAll();
        MEM_FreeAll();
        std::filesystem::current_path(previous);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

TEST_F(CamPictureTest, BehindACharacterAtEachPreset) {
    CharacterControl character{};
    MTH_MatrixIdentity(&character.transform);
    const Vec3 feet{-100.0f, 0.0f, -200.0f};
    BOD_SetPosition(&character, feet);
    character.heading = 0.3f;
    character.surface = uint32_t(LND_LocateSurface(0, &feet));
    ASSERT_GT(character.surface, 0u);
    for (int mode = 0; mode < 8; ++mode) {
        CAM_SetMode(mode);
        // A long frame: the camera settles at its place at once.
        g_GameClock.deltaSeconds = 1.0f;
        CAM_Follow(&character);
        Pose viewPose;
        Matrix34 view;
        MTH_PoseInverse(&viewPose, CAM_GetPose());
        MTH_PoseToMatrix(&viewPose, &view);
        const float black[3] = {0.0f, 0.0f, 0.0f};
        RND_SetBackgroundColour(black);
        LND_SetTime(0.0f);
        RND_BeginFrame();
        LND_Draw(&view, CAM_GetCameraSurface());
        RND_FlushBatch();
        LND_DrawObjects(&view);
        RND_FlushBatch();
        RND_EndScene();
        RND_Flip();
        ExpectGolden("cam_preset_" + std::to_string(mode), ShownFrame());
    }
}

}  // namespace
