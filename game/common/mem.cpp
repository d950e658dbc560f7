// The tracked heap: blocks from the general heap, each behind a MemBlockHeader that links it into
// one doubly linked list (newest at the head), so that shutdown can free every game block at once.
#include "common/mem.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "win32.h"

MemBlockHeader* g_MemHead = nullptr;
uint32_t g_MemBytes = 0;
uint32_t g_MemEnabled = 0;

namespace {

// Blocks are handed out at this alignment, the strictest any record may need.
constexpr size_t kBlockAlign = alignof(std::max_align_t) > 16 ? alignof(std::max_align_t) : 16;
// Distance from the start of the allocation to the caller's block: the header rounded up so that
// the block keeps the allocation's alignment.
constexpr size_t kHeaderSpan = (sizeof(MemBlockHeader) + kBlockAlign - 1) / kBlockAlign * kBlockAlign;
// Marks a header that belongs to a live block.
constexpr uint32_t kLiveMagic = 0x4B4C424Du;

MemBlockHeader* HeaderOf(void* block) {
    return reinterpret_cast<MemBlockHeader*>(static_cast<unsigned char*>(block) - kHeaderSpan);
}

void* BlockOf(MemBlockHeader* header) { return reinterpret_cast<unsigned char*>(header) + kHeaderSpan; }

// True when the header is on the live list. The candidate is only compared, never read: a foreign
// pointer or a block already freed may have no readable header at all.
bool IsLive(const MemBlockHeader* candidate) {
    for (const MemBlockHeader* h = g_MemHead; h; h = h->older) {
        if (h == candidate) return true;
    }
    return false;
}

void Unlink(MemBlockHeader* h) {
    if (h->newer) {
        h->newer->older = h->older;
    } else {
        g_MemHead = h->older;
    }
    if (h->older) h->older->newer = h->newer;
    g_MemBytes -= h->size;
    std::free(h);
}

void Report(const char* what, const void* block) {
    char line[96];
    std::snprintf(line, sizeof line, "MEM_Free: %s %p ignored\n", what, block);
    OutputDebugStringA(line);
}

}  // namespace

void* MEM_Alloc(uint32_t size, uint32_t tag) {
    if (!g_MemEnabled) return nullptr;
    // calloc zero-fills the header and the block; size is 32-bit, so the sum cannot wrap.
    auto* h = static_cast<MemBlockHeader*>(std::calloc(1, kHeaderSpan + size));
    if (!h) return nullptr;
    h->newer = nullptr;
    h->older = g_MemHead;
    h->size = size;
    h->tag = tag;
    h->magic = kLiveMagic;
    if (g_MemHead) g_MemHead->newer = h;
    g_MemHead = h;
    g_MemBytes += size;
    return BlockOf(h);
}

void MEM_Free(void* block) {
    if (!g_MemEnabled || !block) return;
    MemBlockHeader* h = HeaderOf(block);
    // Freeing a pointer that is not a live block (a foreign pointer, a second free) would corrupt
    // the list: it is refused and reported instead.
    if (!IsLive(h)) {
        Report("unknown or already freed block", block);
        return;
    }
    // A live header whose magic word is gone was overwritten by a write in front of its block;
    // its links cannot be trusted, so the block is left alone.
    if (h->magic != kLiveMagic) {
        Report("damaged header of block", block);
        return;
    }
    Unlink(h);
}

void MEM_FreeAll() {
    if (!g_MemEnabled) return;
    while (g_MemHead) Unlink(g_MemHead);
}

int MEM_ResetTracker() {
    MEM_FreeAll();
    g_MemHead = nullptr;
    g_MemBytes = 0;
    g_MemEnabled = 1;
    return 0;
}

uint32_t MEM_ByteSum(const void* buffer, uint32_t length) {
    if (!buffer) return 0;
    const auto* p = static_cast<const unsigned char*>(buffer);
    uint32_t sum = 0;
    for (uint32_t i = 0; i < length; ++i) sum += p[i];
    return sum;
}
