// Private heaps (see krheap.h): every block carries a small header that links it into its
// heap's list, so the heap knows its blocks, can count them and release them all at the end.
#include "krheap.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

constexpr uint32_t kMagic = 0x4B724870; // "KrHp"

struct BlockHeader {
    BlockHeader* next;
    BlockHeader* prev;
    KRHEAP* heap;
    uint32_t magic;
    uint32_t spare;
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
    delete heap;
}

void* KrHeapAlloc(KRHEAP* heap, size_t size) {
    if (!heap || size > SIZE_MAX - sizeof(BlockHeader) || FailNow()) return nullptr;
    BlockHeader* block = static_cast<BlockHeader*>(calloc(1, sizeof(BlockHeader) + size));
    if (!block) return nullptr;
    block->heap = heap;
    block->magic = kMagic;
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
    std::lock_guard<std::mutex> hold(heap->lock);
    if (block->magic != kMagic || block->heap != heap) return 0;
    if (block->prev) block->prev->next = block->next;
    else heap->head = block->next;
    if (block->next) block->next->prev = block->prev;
    --heap->count;
    block->magic = 0;
    free(block);
    return 1;
}

uint32_t KrHeapCount(const KRHEAP* heap) {
    if (!heap) return 0;
    std::lock_guard<std::mutex> hold(const_cast<KRHEAP*>(heap)->lock);
    return heap->count;
}

void KrHeapFailAfter(int count) { g_FailAfter.store(count < 0 ? -1 : count); }
