// The software rasteriser on fixed 640x480 scenes, into a 16-bit target and into an 8-bit
// palettised one:
// - Scene: a textured floor of 2 x 16 x 12 triangles in perspective with Z, a layer of textured
//   quads in front of it, and an additive layer on top (large triangles: the per-pixel cost);
// - GameScene: a frame made like the game's, several hundred small textured triangles with Z,
//   colour-keyed sprites and lines (the per-triangle set-up counts as much as the pixels).
// Each reports drawn pixels per second, and after the run its speed as a share of a plain fill of
// the same target measured in the same run, which is what the figures are compared by.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "d3d_raster.h"
#include "ddraw_internal.h"

namespace {
using namespace plat::detail;

constexpr int kW = 640, kH = 480;

struct Scene {
    std::vector<D3DTLVERTEX> floor, boxes, glow;
    std::vector<uint32_t> texels;
    double pixels = 0;  // triangle area drawn per frame
};

D3DTLVERTEX Tl(float x, float y, float viewZ, float u, float v, uint32_t colour) {
    // Depth as the renderer makes it: near 100, far 3000.
    const float sz = (viewZ - 100.0f) * 3000.0f / ((3000.0f - 100.0f) * viewZ);
    return D3DTLVERTEX{x, y, sz, 1.0f / viewZ, colour, 0, u, v};
}

double Area(const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c) {
    return std::fabs((b.sx - a.sx) * (c.sy - a.sy) - (c.sx - a.sx) * (b.sy - a.sy)) / 2.0;
}

Scene MakeScene() {
    Scene s;
    s.texels.resize(64 * 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            s.texels[y * 64 + x] = ((x / 8 + y / 8) & 1) ? 0xC0A060 : 0x406080;
    // The floor: rows farther up the screen are farther away.
    for (int j = 0; j < 12; ++j)
        for (int i = 0; i < 16; ++i) {
            const float x0 = float(i) * 40, x1 = x0 + 40, y0 = float(j) * 40, y1 = y0 + 40;
            const float z0 = 2900.0f - float(j) * 230.0f, z1 = z0 - 230.0f;
            const uint32_t c = 0x808080 + uint32_t(j) * 0x080808;
            const D3DTLVERTEX a = Tl(x0, y0, z0, float(i), float(j), c), b = Tl(x1, y0, z0, float(i + 1), float(j), c);
            const D3DTLVERTEX d = Tl(x1, y1, z1, float(i + 1), float(j + 1), c), e = Tl(x0, y1, z1, float(i), float(j + 1), c);
            s.floor.insert(s.floor.end(), {a, b, d, a, d, e});
        }
    for (int k = 0; k < 24; ++k) {
        const float x = float((k * 97) % 560), y = float((k * 53) % 400), z = 400.0f + float(k) * 50.0f;
        const D3DTLVERTEX a = Tl(x, y, z, 0, 0, 0xFFFFFF), b = Tl(x + 80, y, z, 1, 0, 0xFFFFFF);
        const D3DTLVERTEX d = Tl(x + 80, y + 80, z, 1, 1, 0xFFFFFF), e = Tl(x, y + 80, z, 0, 1, 0xFFFFFF);
        s.boxes.insert(s.boxes.end(), {a, b, d, a, d, e});
    }
    for (int k = 0; k < 12; ++k) {
        const float x = float((k * 151) % 520), y = float((k * 71) % 360);
        s.glow.insert(s.glow.end(), {Tl(x, y, 300, 0, 0, 0x302010), Tl(x + 120, y + 20, 300, 1, 0, 0x302010),
                                     Tl(x + 40, y + 120, 300, 0, 1, 0x302010)});
    }
    for (const auto* list : {&s.floor, &s.boxes, &s.glow})
        for (size_t i = 0; i + 3 <= list->size(); i += 3)
            s.pixels += Area((*list)[i], (*list)[i + 1], (*list)[i + 2]);
    return s;
}

struct Canvas {
    std::vector<uint8_t> pixels;
    std::vector<uint16_t> z;
    std::vector<PALETTEENTRY> palette;
    std::vector<uint8_t> inverse;
    RasterTarget t;

    explicit Canvas(int bits) : pixels(size_t(kW) * kH * size_t(bits / 8)), z(size_t(kW) * kH), inverse(32768) {
        t.pixels = pixels.data();
        t.pitch = kW * (bits / 8);
        t.bitsPerPixel = bits;
        t.z = z.data();
        t.zPitch = kW;
        t.x1 = kW;
        t.y1 = kH;
        if (bits == 8) {
            for (int i = 0; i < 256; ++i)
                palette.push_back(ThreeThreeTwoEntry(i));
            BuildInversePalette(palette.data(), 256, inverse.data());
            t.palette = palette.data();
            t.inverse = inverse.data();
        }
    }
};

void DrawScene(benchmark::State& state, int bits) {
    static const Scene scene = MakeScene();
    Canvas canvas(bits);
    const RasterTarget& t = canvas.t;
    std::vector<uint16_t>& z = canvas.z;
    const RasterTexture tex{scene.texels.data(), 64, 64};
    RasterState textured;
    textured.textured = true;
    textured.bilinear = true;
    textured.zTest = textured.zWrite = true;
    textured.zFunc = D3DCMP_LESS;
    RasterState additive = textured;
    additive.textured = false;
    additive.blend = true;
    additive.srcBlend = additive.destBlend = D3DBLEND_ONE;
    additive.zWrite = false;
    for (auto _ : state) {
        std::fill(z.begin(), z.end(), uint16_t(0xFFFF));
        for (const auto* list : {&scene.floor, &scene.boxes})
            for (size_t i = 0; i + 3 <= list->size(); i += 3)
                RasterTriangle(t, &tex, textured, (*list)[i], (*list)[i + 1], (*list)[i + 2]);
        for (size_t i = 0; i + 3 <= scene.glow.size(); i += 3)
            RasterTriangle(t, nullptr, additive, scene.glow[i], scene.glow[i + 1], scene.glow[i + 2]);
        benchmark::DoNotOptimize(canvas.pixels.data());
    }
    state.counters["pixels"] = benchmark::Counter(scene.pixels * double(state.iterations()), benchmark::Counter::kIsRate);
}

// A frame like the game's: small triangles of the world, keyed sprites over them, a few lines.
struct GameScene {
    std::vector<D3DTLVERTEX> world, sprites, lines;
    std::vector<uint32_t> texels, spriteTexels;
    double pixels = 0;
};

GameScene MakeGameScene() {
    GameScene s;
    uint32_t seed = 12345;
    auto next = [&seed](int n) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 8) % uint32_t(n));
    };
    s.texels.resize(32 * 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            s.texels[y * 32 + x] = ((x / 4 + y / 4) & 1) ? 0x90B070 : 0x305070;
    s.spriteTexels.resize(16 * 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const int dx = x - 8, dy = y - 8;
            s.spriteTexels[y * 16 + x] = dx * dx + dy * dy < 40 ? 0xE0C040 : kTexelKeyed;
        }
    // 400 triangles of 20 to 200 pixels each, at depths through the view.
    for (int k = 0; k < 400; ++k) {
        const float x = float(next(600)), y = float(next(440)), viewZ = 150.0f + float(next(2500));
        const float w = 6.0f + float(next(14)), h = 6.0f + float(next(14));
        const uint32_t c = 0x606060 + uint32_t(next(0x40)) * 0x020202;
        s.world.insert(s.world.end(), {Tl(x, y, viewZ, 0, 0, c), Tl(x + w, y + float(next(4)), viewZ * 1.05f, 1, 0, c),
                                       Tl(x + float(next(6)), y + h, viewZ * 0.95f, 0, 1, c)});
    }
    // 40 keyed sprites of 16 x 16 pixels facing the view.
    for (int k = 0; k < 40; ++k) {
        const float x = float(next(620)), y = float(next(460)), viewZ = 120.0f + float(next(400));
        const D3DTLVERTEX a = Tl(x, y, viewZ, 0, 0, 0xFFFFFF), b = Tl(x + 16, y, viewZ, 1, 0, 0xFFFFFF);
        const D3DTLVERTEX d = Tl(x + 16, y + 16, viewZ, 1, 1, 0xFFFFFF), e = Tl(x, y + 16, viewZ, 0, 1, 0xFFFFFF);
        s.sprites.insert(s.sprites.end(), {a, b, d, a, d, e});
    }
    // 60 lines of 10 to 70 pixels.
    for (int k = 0; k < 60; ++k) {
        const float x = float(next(560)), y = float(next(400));
        const float dx = float(next(70) - 35), dy = float(next(70) - 35);
        s.lines.insert(s.lines.end(), {Tl(x, y, 200, 0, 0, 0xFF4020), Tl(x + dx, y + dy, 200, 0, 0, 0x20FF40)});
        s.pixels += std::ceil(std::max(std::fabs(dx), std::fabs(dy)));
    }
    for (const auto* list : {&s.world, &s.sprites})
        for (size_t i = 0; i + 3 <= list->size(); i += 3)
            s.pixels += Area((*list)[i], (*list)[i + 1], (*list)[i + 2]);
    return s;
}

void DrawGameScene(benchmark::State& state, int bits) {
    static const GameScene scene = MakeGameScene();
    Canvas canvas(bits);
    const RasterTarget& t = canvas.t;
    const RasterTexture tex{scene.texels.data(), 32, 32}, spriteTex{scene.spriteTexels.data(), 16, 16};
    RasterState world;
    world.textured = true;
    world.zTest = world.zWrite = true;
    RasterState sprite = world;
    sprite.modulate = false;
    sprite.colourKey = true;
    sprite.perspective = false;
    RasterState line;
    line.zTest = true;
    for (auto _ : state) {
        std::fill(canvas.z.begin(), canvas.z.end(), uint16_t(0xFFFF));
        for (size_t i = 0; i + 3 <= scene.world.size(); i += 3)
            RasterTriangle(t, &tex, world, scene.world[i], scene.world[i + 1], scene.world[i + 2]);
        for (size_t i = 0; i + 3 <= scene.sprites.size(); i += 3)
            RasterTriangle(t, &spriteTex, sprite, scene.sprites[i], scene.sprites[i + 1], scene.sprites[i + 2]);
        for (size_t i = 0; i + 2 <= scene.lines.size(); i += 2)
            RasterLine(t, line, scene.lines[i], scene.lines[i + 1]);
        benchmark::DoNotOptimize(canvas.pixels.data());
    }
    state.counters["pixels"] = benchmark::Counter(scene.pixels * double(state.iterations()), benchmark::Counter::kIsRate);
}

// The baseline: every pixel of the same target written once, by the standard library.
void PlainFill(benchmark::State& state, int bits) {
    Canvas canvas(bits);
    uint16_t word = 0;
    for (auto _ : state) {
        ++word;
        if (bits == 16) {
            uint16_t* p = reinterpret_cast<uint16_t*>(canvas.pixels.data());
            std::fill(p, p + size_t(kW) * kH, word);
        } else {
            std::fill(canvas.pixels.begin(), canvas.pixels.end(), uint8_t(word));
        }
        benchmark::DoNotOptimize(canvas.pixels.data());
        benchmark::ClobberMemory();
    }
    state.counters["pixels"] = benchmark::Counter(double(kW) * kH * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_PlainFill16(benchmark::State& state) {
    PlainFill(state, 16);
}
void BM_PlainFill8(benchmark::State& state) {
    PlainFill(state, 8);
}
void BM_RasterScene16(benchmark::State& state) {
    DrawScene(state, 16);
}
void BM_RasterScene8(benchmark::State& state) {
    DrawScene(state, 8);
}
void BM_RasterGameScene16(benchmark::State& state) {
    DrawGameScene(state, 16);
}
void BM_RasterGameScene8(benchmark::State& state) {
    DrawGameScene(state, 8);
}
BENCHMARK(BM_PlainFill16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainFill8)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RasterScene16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RasterScene8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RasterGameScene16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RasterGameScene8)->Unit(benchmark::kMillisecond);

// Keeps the pixel rate of every run so that the ratios can be printed at the end.
class RateReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> rates;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const auto it = run.counters.find("pixels");
            if (it != run.counters.end() && run.run_type == Run::RT_Iteration)
                rates[run.benchmark_name()] = it->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    for (const char* bits : {"16", "8"}) {
        const auto fill = reporter.rates.find(std::string("BM_PlainFill") + bits);
        if (fill == reporter.rates.end() || !(fill->second > 0))
            continue;
        for (const char* scene : {"BM_RasterScene", "BM_RasterGameScene"}) {
            const auto it = reporter.rates.find(std::string(scene) + bits);
            if (it != reporter.rates.end())
                std::printf("%s%s: %.4f of a plain fill\n", scene, bits, it->second / fill->second);
        }
    }
    return 0;
}
