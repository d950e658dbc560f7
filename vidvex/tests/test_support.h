// Helpers of the video library's tests: memory surfaces with guard bytes around and between the
// rows, counting allocator hooks, and a fixture that starts and ends the library around a test.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "vidvex.h"

namespace vvltest {

// Caller memory for a screen: rows of `width` pixels `pitch` bytes apart, with guard bytes
// before the first row, after the last and at the end of every row.
struct Surface {
    static constexpr int kGuard = 256;
    static constexpr uint8_t kGuardByte = 0xA5;
    int width, height, bpp, pitch;
    std::vector<uint8_t> mem;

    Surface(int w, int h, int bytesPerPixel = 2, int pad = 8)
        : width(w), height(h), bpp(bytesPerPixel), pitch(w * bytesPerPixel + pad),
          mem(size_t(2 * kGuard + pitch * h), kGuardByte) {
        Fill(0);
    }
    uint8_t* Base() { return mem.data() + kGuard; }
    uint8_t* Row(int y) { return Base() + y * pitch; }
    uint16_t Px(int x, int y) {
        uint16_t v;
        std::memcpy(&v, Row(y) + 2 * x, 2);
        return v;
    }
    uint8_t Px8(int x, int y) { return Row(y)[x]; }
    void Set(int x, int y, uint16_t v) { std::memcpy(Row(y) + 2 * x, &v, 2); }
    void Fill(uint16_t v) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                if (bpp == 2) Set(x, y, v);
                else Row(y)[x] = uint8_t(v);
            }
    }
    bool GuardsIntact() const {
        for (int i = 0; i < kGuard; ++i)
            if (mem[size_t(i)] != kGuardByte || mem[mem.size() - 1 - size_t(i)] != kGuardByte) return false;
        for (int y = 0; y < height; ++y)
            for (int i = width * bpp; i < pitch; ++i)
                if (mem[size_t(kGuard + y * pitch + i)] != kGuardByte) return false;
        return true;
    }
    // The pixels of a rectangle, row by row.
    std::vector<uint16_t> Crop(int x, int y, int w, int h) {
        std::vector<uint16_t> out;
        for (int yy = y; yy < y + h; ++yy)
            for (int xx = x; xx < x + w; ++xx) out.push_back(bpp == 2 ? Px(xx, yy) : Px8(xx, yy));
        return out;
    }
};

// Allocator hooks that count live blocks and check that every block is freed by them.
struct Counting {
    static inline std::set<void*> live;
    static inline int allocations = 0;
    static inline bool foreignFree = false;
    static inline size_t failAbove = SIZE_MAX;  // allocations larger than this fail
    static inline size_t largest = 0;           // the largest block asked for
    static void* Malloc(size_t n) {
        largest = std::max(largest, n);
        if (n > failAbove) return nullptr;
        void* p = std::malloc(n ? n : 1);
        live.insert(p);
        ++allocations;
        return p;
    }
    static void* Calloc(size_t c, size_t n) {
        largest = std::max(largest, c * n);
        if (c * n > failAbove) return nullptr;
        void* p = std::calloc(c ? c : 1, n ? n : 1);
        live.insert(p);
        ++allocations;
        return p;
    }
    static void Free(void* p) {
        if (!p) return;
        if (!live.erase(p)) foreignFree = true;
        std::free(p);
    }
    static void Install() {
        live.clear();
        allocations = 0;
        foreignFree = false;
        failAbove = SIZE_MAX;
        largest = 0;
        Vidvex_Setmalloc(Malloc);
        Vidvex_Setcalloc(Calloc);
        Vidvex_Setfree(Free);
    }
};

// Starts the library with counting hooks and a few slots; at the end checks that the library
// gave back every block it took.
class VideoTest : public ::testing::Test {
protected:
    void SetUp() override {
        Counting::Install();
        Vvl_Decompress16BitAs565(0);
        ASSERT_EQ(Vvl_InitVideo(3, 3), 0);
    }
    void TearDown() override {
        Vvl_ExitVideo();
        EXPECT_TRUE(Counting::live.empty()) << Counting::live.size() << " blocks not freed";
        EXPECT_FALSE(Counting::foreignFree);
        Vvl_Decompress16BitAs565(0);
    }
};

// 555 pixel from 5-bit channels.
constexpr uint16_t P555(int r, int g, int b) { return uint16_t((r << 10) | (g << 5) | b); }

}  // namespace vvltest
