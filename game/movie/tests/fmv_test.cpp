// The movie player on a headless 640x480 16-bit display: the outer steps of FMV_PlayMovie (no
// movie in a network game, the path under the install source), frames that fall behind the
// clock decoded without being drawn, and a surface that cannot be locked left alone.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/calltrace.h"
#include "common/match.h"
#include "common/muf.h"
#include "datakit/demo_movies.h"
#include "ddraw.h"
#include "engine/rnd_state.h"
#include "movie/fmv.h"
#include "movie/fmv_player.h"
#include "plat.h"
#include "shell/cda.h"

namespace {

namespace fs = std::filesystem;

class Fmv : public ::testing::Test {
protected:
    void SetUp() override {
        plat::ResetForTests();
        dir_ = fs::path(plat::TempDir()) / ("fmv_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ASSERT_EQ(DirectDrawCreate(nullptr, &directDraw_, nullptr), DD_OK);
        DDSURFACEDESC desc = {};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        ASSERT_EQ(directDraw_->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
        ASSERT_EQ(directDraw_->SetDisplayMode(640, 480, 16), DD_OK);
        ASSERT_EQ(directDraw_->CreateSurface(&desc, &primary_, nullptr), DD_OK);
        saved_ = g_Rnd;
        g_Rnd.primary = primary_;
        g_Rnd.hardwareDevice = 1;
        g_Rnd.screenWidth = 640.0f;
        g_Rnd.screenHeight = 480.0f;
        g_FmvArea[0] = g_FmvArea[1] = 0;
        g_FmvArea[2] = 640;
        g_FmvArea[3] = 480;
    }
    void TearDown() override {
        g_Rnd = saved_;
        if (primary_)
            primary_->Release();
        if (directDraw_)
            directDraw_->Release();
        g_Match.mpGameRunning = 0;
        TRC_TraceEnable(false);
        TRC_TraceClear();
    }
    std::string Movie(const std::string& name, int frames) {
        const dk::DemoMovie m = dk::BuildDemoMovie({"t.avi", 2, dk::DemoMovieSound::None, 32, 24, frames, 15, 22050});
        const std::vector<uint8_t> bytes = dk::DemoMovieFile(m);
        std::ofstream((dir_ / name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                              std::streamsize(bytes.size()));
        return (dir_ / name).string();
    }

    fs::path dir_;
    IDirectDraw* directDraw_ = nullptr;
    IDirectDrawSurface3* primary_ = nullptr;
    RndState saved_;
};

TEST_F(Fmv, ANetworkGamePlaysNoMovieAndTheMovieIsTakenFromTheInstallSource) {
    TRC_TraceEnable(true);
    g_Match.mpGameRunning = 1;
    EXPECT_NE(FMV_PlayMovie("graphics\\movies\\attract.avi"), 0);
    EXPECT_TRUE(TRC_TraceLog().empty());

    g_Match.mpGameRunning = 0;
    EXPECT_EQ(FMV_PlayMovie("graphics\\movies\\attract.avi"), 0);
    ASSERT_FALSE(TRC_TraceLog().empty());
    EXPECT_EQ(TRC_TraceLog().front(), std::string("FMV_PlayMovie(") + MUF_MakeSourcePath("movies\\attract.avi") + ")");
}

TEST_F(Fmv, FramesThreeOrMoreBehindTheClockAreDecodedButNotDrawn) {
    const std::string path = Movie("behind.avi", 12);
    // The clock jumps a second ahead as the third frame is presented: 15 frames are due.
    uint64_t presents = 0;
    plat::SetFrameObserver([&](const uint32_t*, int, int, uint64_t) {
        if (++presents == 3)
            plat::AdvanceVirtualTime(1000);
    });
    FMV_Play(path.c_str(), FMV_BUFFER_BYTES);
    plat::SetFrameObserver(nullptr);
    EXPECT_EQ(g_FmvStats.decoded, 12);
    // Frames 0 and 1 are drawn before the jump. Then each pass decodes a frame while the clock
    // gains a third of one (a present is 20 ms), so the player stays 3 or more behind to the end.
    EXPECT_EQ(g_FmvStats.shown, 2);
}

TEST_F(Fmv, ASurfaceThatCannotBeLockedIsNotDrawnInto) {
    const std::string path = Movie("locked.avi", 6);
    // Someone else holds the lock from before the movie: every frame is only decoded.
    DDSURFACEDESC held = {};
    held.dwSize = sizeof held;
    ASSERT_EQ(primary_->Lock(nullptr, &held, 0, nullptr), DD_OK);
    std::memset(held.lpSurface, 0x5A, size_t(held.lPitch) * 480);
    const uint64_t before = plat::FrameCount();
    FMV_Play(path.c_str(), FMV_BUFFER_BYTES);
    EXPECT_EQ(g_FmvStats.decoded, 6);
    EXPECT_EQ(g_FmvStats.shown, 0);
    const auto* pixels = static_cast<const uint8_t*>(held.lpSurface);
    for (size_t i = 0; i < size_t(held.lPitch) * 480; ++i)
        ASSERT_EQ(pixels[i], 0x5A) << "byte " << i;
    // Only the player's closing unlock, which ends any lock, presented.
    EXPECT_EQ(plat::FrameCount(), before + 1);
}

}  // namespace
