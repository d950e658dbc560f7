// Hostile movie files through playmovie in-process: every truncation of the header region,
// seeded byte flips and cut chunks of the demo movies' kinds. Every run must end, and leave the
// video library ended, the sound stopped and the CD music resumed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "datakit/demo_movies.h"
#include "playmovie.h"
#include "plat.h"
#include "shell/cda.h"
#include "tool_test.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> g_Calls;

class PlaymovieHostile : public ::testing::Test {
protected:
    void SetUp() override { dir_ = tooltest::FreshTestDir("playmovie_hostile_"); }

    // One run of the bytes as a movie file; checks what every run must leave behind.
    void PlayBytes(const std::vector<uint8_t>& bytes, const std::string& what) {
        const fs::path path = dir_ / "hostile.avi";
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        plat::ResetForTests();
        g_Calls.clear();
        CDA_SetCallTrace([](const char* entry) { g_Calls.push_back(entry); });
        PlaymovieOptions options;
        options.movie = path.string();
        options.cdPlaying = true;
        FmvStats stats{};
        const uint64_t before = plat::FrameCount();
        ASSERT_TRUE(PLM_Run(options, &stats)) << what;
        CDA_SetCallTrace(nullptr);
        // Bounded: never more presents than a frame each, plus the screen it starts from and
        // the frames drawn before the pictures give out.
        EXPECT_LE(plat::FrameCount() - before, 2000u) << what;
        EXPECT_EQ(IsPlaying(), 0) << what << ": the sound still plays";
        char placeholder = 0;
        EXPECT_EQ(Vvl_CreateVScreen(&placeholder, 0, 512, 224), nullptr) << what << ": the video library still runs";
        EXPECT_EQ(std::count(g_Calls.begin(), g_Calls.end(), "CDA_Resume"), 1) << what << ": the CD was not resumed";
    }

    fs::path dir_;
};

// The bytes before the first frame: the header list and the start of the movie data.
size_t HeaderRegion(const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i + 4 <= bytes.size(); ++i)
        if (std::memcmp(bytes.data() + i, "movi", 4) == 0)
            return i + 4;
    return bytes.size();
}

std::vector<uint8_t> Small(const char* like, dk::DemoMovieSound sound, int codec) {
    return dk::DemoMovieFile(dk::BuildDemoMovie({like, codec, sound, 32, 24, 6, 15, 22050}));
}

TEST_F(PlaymovieHostile, EveryTruncationOfTheHeaderRegionEnds) {
    for (const auto& bytes : {Small("intro_01.avi", dk::DemoMovieSound::AdpcmStereo, 2),
                              Small("attract.avi", dk::DemoMovieSound::PcmMono, 17),
                              Small("labexps.avi", dk::DemoMovieSound::None, 17)}) {
        const size_t region = HeaderRegion(bytes);
        ASSERT_LT(region, bytes.size());
        for (size_t n = 0; n <= region + 8; ++n) {
            PlayBytes(std::vector<uint8_t>(bytes.begin(), bytes.begin() + ptrdiff_t(n)), "cut at " + std::to_string(n));
            if (HasFatalFailure())
                return;
        }
    }
}

TEST_F(PlaymovieHostile, SeededFlipsAndCutChunksEnd) {
    std::mt19937 random(20261211);
    const std::vector<std::vector<uint8_t>> movies = {
        dk::DemoMovieFile(dk::BuildDemoMovie(*dk::FindDemoMovie("intro_01.avi"))),
        dk::DemoMovieFile(dk::BuildDemoMovie(*dk::FindDemoMovie("attract.avi"))),
        dk::DemoMovieFile(dk::BuildDemoMovie(*dk::FindDemoMovie("labexps.avi"))),
        Small("intro_01.avi", dk::DemoMovieSound::AdpcmStereo, 2),
        Small("attract.avi", dk::DemoMovieSound::PcmMono, 17),
    };
    for (int run = 0; run < 60; ++run) {
        std::vector<uint8_t> bytes = movies[size_t(run) % movies.size()];
        const size_t region = HeaderRegion(bytes);
        std::string what = "run " + std::to_string(run);
        if (run % 3 == 2) {
            // Cut a piece out of the movie data.
            const size_t from = region + random() % (bytes.size() - region);
            const size_t count = std::min<size_t>(bytes.size() - from, 1 + random() % 4096);
            bytes.erase(bytes.begin() + ptrdiff_t(from), bytes.begin() + ptrdiff_t(from + count));
            what += ": cut " + std::to_string(count) + " at " + std::to_string(from);
        } else {
            // Flip bytes, most of them in the header region and the frames' own headers.
            const int flips = 1 + int(random() % 16);
            for (int i = 0; i < flips; ++i) {
                const size_t at = (random() % 2) ? random() % (region + 64) : random() % bytes.size();
                if (at < bytes.size())
                    bytes[at] = uint8_t(bytes[at] ^ (1u << (random() % 8)));
            }
            what += ": " + std::to_string(flips) + " flips";
        }
        PlayBytes(bytes, what);
        if (HasFatalFailure())
            return;
    }
}

}  // namespace
