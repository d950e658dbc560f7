// bench_fmv: the movie player's per-frame work on the demo intro (320x240 row codec, shown
// doubled on the 640x480 16-bit primary surface): FMV_DecodeFrame with its lock and presenting
// unlock, against copying the same decoded pictures (doubled) into the surface with the same
// lock and unlock. Prints the copy rate's share that the player reaches.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "datakit/demo_movies.h"
#include "ddraw.h"
#include "engine/rnd_state.h"
#include "movie/fmv_player.h"
#include "plat.h"
#include "win32.h"

namespace {

struct Display {
    IDirectDraw* directDraw = nullptr;
    IDirectDrawSurface3* primary = nullptr;
    dk::DemoMovie intro;

    Display() : intro(dk::BuildDemoMovie(*dk::FindDemoMovie("intro_01.avi"))) {
        DirectDrawCreate(nullptr, &directDraw, nullptr);
        DDSURFACEDESC desc = {};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
        directDraw->SetDisplayMode(640, 480, 16);
        directDraw->CreateSurface(&desc, &primary, nullptr);
        g_Rnd.primary = primary;
        g_Rnd.hardwareDevice = 1;
        g_FmvArea[0] = g_FmvArea[1] = 0;
        g_FmvArea[2] = 640;
        g_FmvArea[3] = 480;
    }
};

Display& D() {
    static Display d;
    return d;
}

void BM_IntroThroughThePlayer(benchmark::State& state) {
    Display& d = D();
    if (!d.primary || !FMV_InitVideo()) {
        state.SkipWithError("no display");
        return;
    }
    MovieContext& c = g_MovieContext;
    c = MovieContext{};
    const auto& frames = d.intro.video.frames;
    c.picture = Vvl_CreateXImageLen(frames[0].data(), frames[0].size());
    Vvl_AlterXImageSpriteModes(c.picture, 1, 0);
    Vvl_MoveXImage(c.picture, 0, 0, 0);
    for (auto _ : state)
        for (const auto& frame : frames) {
            c.frameData = frame.data();
            c.frameLength = int32_t(frame.size());
            benchmark::DoNotOptimize(FMV_DecodeFrame(&c, 1));
        }
    Vvl_DestroyXImage(c.picture);
    c.picture = nullptr;
    FMV_ExitVideo();
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(frames.size()));
}

void BM_IntroPlainCopy(benchmark::State& state) {
    Display& d = D();
    if (!d.primary) {
        state.SkipWithError("no display");
        return;
    }
    const auto& pictures = d.intro.pictures;
    std::vector<uint16_t> row(640);
    for (auto _ : state)
        for (const auto& picture : pictures) {
            DDSURFACEDESC desc = {};
            desc.dwSize = sizeof desc;
            if (d.primary->Lock(nullptr, &desc, 0, nullptr) != DD_OK)
                continue;
            auto* out = static_cast<uint8_t*>(desc.lpSurface);
            for (int y = 0; y < 240; ++y) {
                const uint16_t* in = picture.data() + size_t(y) * 320;
                for (int x = 0; x < 320; ++x)
                    row[size_t(2 * x)] = row[size_t(2 * x + 1)] = in[x];
                std::memcpy(out + size_t(2 * y) * size_t(desc.lPitch), row.data(), 1280);
                std::memcpy(out + size_t(2 * y + 1) * size_t(desc.lPitch), row.data(), 1280);
            }
            d.primary->Unlock(nullptr);
        }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(pictures.size()));
}

BENCHMARK(BM_IntroThroughThePlayer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IntroPlainCopy)->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (!r.error_occurred && r.run_type == Run::RT_Iteration)
                times_[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Ratio() const {
        auto p = times_.find("BM_IntroThroughThePlayer"), c = times_.find("BM_IntroPlainCopy");
        if (p != times_.end() && c != times_.end() && p->second > 0)
            std::printf("movie player: %.2f of the plain copy's frame rate (at least 0.1 wanted)\n",
                        c->second / p->second);
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.Ratio();
    benchmark::Shutdown();
    return 0;
}
