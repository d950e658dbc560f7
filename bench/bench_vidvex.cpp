// Decode speed of the video library: a 640x480 row-codec movie (a key frame, then inter frames
// of a moving picture) and a 320x240 YUV movie drawn at double size onto a 640x480 screen,
// each against a plain memory copy of the same decoded frames onto the same screen. The ratio
// of decoding to copying is printed at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "datakit/vidvex_frame.h"
#include "datakit/vidvex_rowenc.h"
#include "datakit/vidvex_yuvenc.h"
#include "vidvex.h"

namespace {

constexpr int kW = 640, kH = 480, kFrames = 8;

struct Movie {
    int w = 0, h = 0, quality = 0;
    std::vector<std::vector<uint8_t>> frames;
    std::vector<std::vector<uint16_t>> shown;  // what each frame puts on the screen
};

dk::VvlRgb Scene(int x, int y, int w, int h, int t) {
    int lum = 40 + (y * 150) / h + (x * 40) / w;
    int tint = (x * 50) / w - 25;
    dk::VvlRgb c{lum + tint, lum, lum - tint};
    int cx = w / 4 + 8 * t, cy = h / 3 + 4 * t;
    if (x >= cx && x < cx + w / 5 && y >= cy && y < cy + h / 4) c = {210, 190, 70};
    return c;
}

const Movie& RowMovie() {
    static Movie m = [] {
        Movie mv;
        mv.w = kW;
        mv.h = kH;
        dk::VvlRowParams p;
        p.interStream = true;
        p.skipTolerance = 1;
        std::vector<uint16_t> previous;
        for (int t = 0; t < kFrames; ++t) {
            std::vector<uint16_t> src;
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x) src.push_back(dk::VvlPack(Scene(x, y, kW, kH, t), false));
            p.key = t == 0;
            dk::VvlEncoded e = dk::VvlEncodeRowFrame(p, kW, kH, src, t ? &previous : nullptr);
            previous = e.decoded;
            mv.frames.push_back(e.frame);
            mv.shown.push_back(e.decoded);
        }
        return mv;
    }();
    return m;
}

const Movie& YuvMovie() {
    static Movie m = [] {
        Movie mv;
        mv.w = 320;
        mv.h = 240;
        mv.quality = 3;
        dk::VvlYuvEncoder enc(false);
        for (int t = 0; t < kFrames; ++t) {
            std::vector<dk::VvlRgb> rgb;
            for (int y = 0; y < 240; ++y)
                for (int x = 0; x < 320; ++x) rgb.push_back(Scene(x, y, 320, 240, t));
            dk::VvlEncoded e = enc.Encode(dk::VvlYuvFromRgb(320, 240, rgb), 4);
            mv.frames.push_back(e.frame);
            // Double width on every second line.
            std::vector<uint16_t> shown(size_t(kW) * kH, 0);
            for (int y = 0; y < 240; ++y)
                for (int x = 0; x < 640; ++x) shown[size_t(2 * y) * kW + size_t(x)] = e.decoded[size_t(y) * 320 + size_t(x / 2)];
            mv.shown.push_back(shown);
        }
        return mv;
    }();
    return m;
}

void Decode(benchmark::State& state, const Movie& m) {
    std::vector<uint16_t> screen(size_t(kW) * kH, 0);
    Vvl_InitVideo(1, 1);
    Vvl_Decompress16BitAs565(0);
    VScreen* s = Vvl_CreateVScreen(screen.data(), 2, kW * 2, kH);
    Vvl_AlterVScreenView(s, 0, 0, kW, kH);
    Vvl_SetVScreenBlitQuality(s, m.quality);
    XImage* im = Vvl_CreateXImageLen(m.frames[0].data(), m.frames[0].size());
    for (auto _ : state) {
        for (const auto& f : m.frames) {
            Vvl_AlterXImageDataLen(im, f.data(), f.size());
            if (Vvl_plixImageToVScreen(im, s) != 0) state.SkipWithError("draw failed");
        }
        benchmark::DoNotOptimize(screen.data());
        benchmark::ClobberMemory();
    }
    if (screen != m.shown.back()) state.SkipWithError("decoded picture differs from the encoder's");
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(m.frames.size()));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(m.frames.size()) * kW * kH * 2);
    Vvl_ExitVideo();
}

void Copy(benchmark::State& state, const Movie& m) {
    std::vector<uint16_t> screen(size_t(kW) * kH, 0);
    for (auto _ : state) {
        for (const auto& f : m.shown) std::memcpy(screen.data(), f.data(), f.size() * 2);
        benchmark::DoNotOptimize(screen.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(m.shown.size()));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(m.shown.size()) * kW * kH * 2);
}

void BM_RowMovie640x480_Decode(benchmark::State& s) { Decode(s, RowMovie()); }
void BM_RowMovie640x480_Copy(benchmark::State& s) { Copy(s, RowMovie()); }
void BM_YuvMovie320x240Doubled_Decode(benchmark::State& s) { Decode(s, YuvMovie()); }
void BM_YuvMovie320x240Doubled_Copy(benchmark::State& s) { Copy(s, YuvMovie()); }
BENCHMARK(BM_RowMovie640x480_Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RowMovie640x480_Copy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_YuvMovie320x240Doubled_Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_YuvMovie320x240Doubled_Copy)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's time per iteration, to print decode/copy ratios after the run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (!r.error_occurred && r.run_type == Run::RT_Iteration) times_[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Ratios() const {
        for (const char* movie : {"BM_RowMovie640x480", "BM_YuvMovie320x240Doubled"}) {
            auto d = times_.find(std::string(movie) + "_Decode"), c = times_.find(std::string(movie) + "_Copy");
            if (d != times_.end() && c != times_.end() && c->second > 0)
                std::printf("%s: decoding takes %.1f times as long as copying the decoded frames\n", movie,
                            d->second / c->second);
        }
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.Ratios();
    benchmark::Shutdown();
    return 0;
}
