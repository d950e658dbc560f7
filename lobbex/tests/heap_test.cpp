// The library's private heaps: zeroed blocks that are counted while held, freed blocks of up to
// 64 KB kept per size and handed out again (zeroed, without taking memory from the process heap),
// a bounded number kept, and blocks of another heap or freed twice refused.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "krheap.h"

namespace {

struct Heap {
    KRHEAP* heap = KrHeapCreate("test heap");
    ~Heap() { KrHeapDestroy(heap); }
};

TEST(KrHeap, FreedBlocksComeBackZeroedWithoutNewMemory) {
    Heap h;
    ASSERT_NE(h.heap, nullptr);
    // Sizes at, below and above the edges of the size classes, up to the largest kept size.
    for (size_t size : {size_t(0), size_t(1), size_t(64), size_t(65), size_t(1000), size_t(4096), size_t(65536)}) {
        SCOPED_TRACE(size);
        auto* first = static_cast<uint8_t*>(KrHeapAlloc(h.heap, size));
        ASSERT_NE(first, nullptr);
        std::memset(first, 0xA5, size);
        EXPECT_EQ(KrHeapCount(h.heap), 1u);
        EXPECT_EQ(KrHeapFree(h.heap, first), 1);
        EXPECT_EQ(KrHeapCount(h.heap), 0u);
        const uint32_t fresh = KrHeapFreshBlocksOnThisThread();
        auto* again = static_cast<uint8_t*>(KrHeapAlloc(h.heap, size));
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(KrHeapFreshBlocksOnThisThread(), fresh) << "served from the kept block";
        EXPECT_EQ(again, first);
        EXPECT_EQ(std::vector<uint8_t>(again, again + size), std::vector<uint8_t>(size, 0)) << "zeroed again";
        EXPECT_EQ(KrHeapFree(h.heap, again), 1);
    }
}

TEST(KrHeap, LargeBlocksAndBlocksBeyondTheBoundAreReleased) {
    Heap h;
    // Above 64 KB nothing is kept.
    void* big = KrHeapAlloc(h.heap, 65537);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(KrHeapFree(h.heap, big), 1);
    uint32_t fresh = KrHeapFreshBlocksOnThisThread();
    big = KrHeapAlloc(h.heap, 65537);
    EXPECT_EQ(KrHeapFreshBlocksOnThisThread(), fresh + 1);
    KrHeapFree(h.heap, big);

    // 200 small blocks held at once: at most 64 are kept when they are freed, so the next 200
    // take some new memory again.
    std::vector<void*> blocks;
    for (int i = 0; i < 200; ++i) blocks.push_back(KrHeapAlloc(h.heap, 100));
    EXPECT_EQ(KrHeapCount(h.heap), 200u);
    for (void* b : blocks) EXPECT_EQ(KrHeapFree(h.heap, b), 1);
    blocks.clear();
    fresh = KrHeapFreshBlocksOnThisThread();
    for (int i = 0; i < 200; ++i) blocks.push_back(KrHeapAlloc(h.heap, 100));
    EXPECT_EQ(KrHeapFreshBlocksOnThisThread() - fresh, 200u - 64u);
    for (void* b : blocks) KrHeapFree(h.heap, b);
}

TEST(KrHeap, ForeignAndRepeatedFreesAreRefused) {
    Heap a, b;
    void* block = KrHeapAlloc(a.heap, 32);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(KrHeapFree(b.heap, block), 0) << "another heap's block";
    EXPECT_EQ(KrHeapCount(a.heap), 1u);
    EXPECT_EQ(KrHeapFree(a.heap, block), 1);
    EXPECT_EQ(KrHeapFree(a.heap, block), 0) << "a block already freed (and kept)";
    EXPECT_EQ(KrHeapCount(a.heap), 0u);
    EXPECT_EQ(KrHeapFree(a.heap, nullptr), 0);
}

}  // namespace
