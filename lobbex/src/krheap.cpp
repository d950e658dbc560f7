// Private heaps (see krheap.h): every block carries a small header that links it into its
// heap's list, so the heap knows its blocks, can count them and release them all at the end.
// Freed blocks of up to 64 KB are kept in per-size free lists (a few of each size, powers of two
// from 64 bytes) and handed out again, so that a steady stream of requests and messages takes
// nothing from the process heap. A kept block is not counted and, under AddressSanitizer, is
// poisoned until it is handed out again.
#include "krheap.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define KR_HEAP_POISON(p, n) ASAN_POISON_MEMORY_REGION((p), (n))
#define KR_HEAP_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION((p), (n))
#else
#define KR_HEAP_POISON(p, n) ((void)(p), (void)(n))
#define KR_HEAP_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace {

constexpr uint32_t kMagic = 0x4B724870;     // "KrHp": a live block
constexpr uint32_t kKeptMagic = 0x4B72486B; // "KrHk": a freed block kept for reuse
constexpr int kSizeClasses = 11;            // 64 bytes << 0..10: up to 64 KB
constexpr size_t kSmallestClass = 64;
constexpr size_t kKeptBytesPerClass = 256 * 1024;
constexpr uint32_t kMostKeptPerClass = 64;

size_t ClassBytes(int sizeClass) { return kSmallestClass << sizeClass; }

// The size class a request of `size` bytes is served from, or -1 above the largest.
int SizeClass(size_t size) {
    for (int c = 0; c < kSizeClasses; ++c)
        if (size <= ClassBytes(c)) return c;
    return -1;
}

uint32_t MostKept(int sizeClass) {
    const size_t byBytes = kKeptBytesPerClass / ClassBytes(sizeClass);
    return (uint32_t)std::max<size_t>(2, std::min<size_t>(kMostKeptPerClass, byBytes));
}

thread_local uint32_t t_FreshBlocks = 0;

struct BlockHeader {
    BlockHeader* next;
    BlockHeader* prev;
    KRHEAP* heap;
    uint32_t magic;
    uint32_t sizeClass; // its size class + 1; 0 for a block above the largest class
};
static_assert(sizeof(BlockHeader) % 16 == 0, "blocks stay 16-byte aligned");

std::atomic<int> g_FailAfter{-1};

bool FailNow() {
    int left = g_FailAfter.load();
    while (left >= 0) {
        if (g_FailAfter.compare_exchange_weak(left, left - 1)) return left == 0;
    }
    return false;
}

}  // namespace

struct KRHEAP {
    std::mutex lock;
    std::string name;
    BlockHeader* head = nullptr;
    uint32_t count = 0;
    BlockHeader* kept[kSizeClasses] = {}; // freed blocks kept for reuse, linked by `next`
    uint32_t keptCount[kSizeClasses] = {};
};

KRHEAP* KrHeapCreate(const char* name) {
    if (FailNow()) return nullptr;
    KRHEAP* heap = new (std::nothrow) KRHEAP;
    if (heap) heap->name = name ? name : "";
    return heap;
}

void KrHeapDestroy(KRHEAP* heap) {
    if (!heap) return;
    BlockHeader* block = heap->head;
    while (block) {
        BlockHeader* next = block->next;
        block->magic = 0;
        free(block);
        block = next;
    }
    for (int c = 0; c < kSizeClasses; ++c) {
        for (BlockHeader* kept = heap->kept[c]; kept;) {
            BlockHeader* next = kept->next;
            KR_HEAP_UNPOISON(kept + 1, ClassBytes(c));
            kept->magic = 0;
            free(kept);
            kept = next;
        }
    }
    delete heap;
}

void* KrHeapAlloc(KRHEAP* heap, size_t size) {
    if (!heap || size > SIZE_MAX - sizeof(BlockHeader) || FailNow()) return nullptr;
    const int sizeClass = SizeClass(size);
    BlockHeader* block = nullptr;
    if (sizeClass >= 0) {
        std::lock_guard<std::mutex> hold(heap->lock);
        block = heap->kept[sizeClass];
        if (block) {
            heap->kept[sizeClass] = block->next;
            --heap->keptCount[sizeClass];
        }
    }
    if (block) {
        KR_HEAP_UNPOISON(block + 1, ClassBytes(sizeClass));
        std::memset(block + 1, 0, size);
    } else {
        const size_t room = sizeClass >= 0 ? ClassBytes(sizeClass) : size;
        block = static_cast<BlockHeader*>(calloc(1, sizeof(BlockHeader) + room));
        if (!block) return nullptr;
        ++t_FreshBlocks;
    }
    block->heap = heap;
    block->magic = kMagic;
    block->sizeClass = (uint32_t)(sizeClass + 1);
    block->prev = nullptr;
    std::lock_guard<std::mutex> hold(heap->lock);
    block->next = heap->head;
    if (heap->head) heap->head->prev = block;
    heap->head = block;
    ++heap->count;
    return block + 1;
}

int KrHeapFree(KRHEAP* heap, void* memory) {
    if (!heap || !memory) return 0;
    BlockHeader* block = static_cast<BlockHeader*>(memory) - 1;
    {
        std::lock_guard<std::mutex> hold(heap->lock);
        if (block->magic != kMagic || block->heap != heap) return 0;
        if (block->prev) block->prev->next = block->next;
        else heap->head = block->next;
        if (block->next) block->next->prev = block->prev;
        --heap->count;
        const int sizeClass = (int)block->sizeClass - 1;
        if (sizeClass >= 0 && heap->keptCount[sizeClass] < MostKept(sizeClass)) {
            block->magic = kKeptMagic;
            block->prev = nullptr;
            block->next = heap->kept[sizeClass];
            heap->kept[sizeClass] = block;
            ++heap->keptCount[sizeClass];
            KR_HEAP_POISON(block + 1, ClassBytes(sizeClass));
            return 1;
        }
        block->magic = 0;
    }
    free(block);
    return 1;
}

uint32_t KrHeapCount(const KRHEAP* heap) {
    if (!heap) return 0;
    std::lock_guard<std::mutex> hold(const_cast<KRHEAP*>(heap)->lock);
    return heap->count;
}

uint32_t KrHeapFreshBlocksOnThisThread() { return t_FreshBlocks; }

void KrHeapFailAfter(int count) { g_FailAfter.store(count < 0 ? -1 : count); }
