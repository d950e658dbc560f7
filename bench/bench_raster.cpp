// The software rasteriser on a fixed 640x480 scene: a textured floor of 2 x 16 x 12 triangles in
// perspective with Z, a layer of textured quads in front of it, and an additive layer on top,
// into a 16-bit target and into an 8-bit palettised one. Reports drawn pixels per second.
#include <benchmark/benchmark.h>

#include <cmath>
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

void DrawScene(benchmark::State& state, int bits) {
    static const Scene scene = MakeScene();
    std::vector<uint8_t> pixels(size_t(kW) * kH * (bits / 8));
    std::vector<uint16_t> z(size_t(kW) * kH);
    std::vector<PALETTEENTRY> palette;
    std::vector<uint8_t> inverse(32768);
    RasterTarget t;
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
        benchmark::DoNotOptimize(pixels.data());
    }
    state.counters["pixels"] = benchmark::Counter(scene.pixels * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_RasterScene16(benchmark::State& state) {
    DrawScene(state, 16);
}
void BM_RasterScene8(benchmark::State& state) {
    DrawScene(state, 8);
}
BENCHMARK(BM_RasterScene16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RasterScene8)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
