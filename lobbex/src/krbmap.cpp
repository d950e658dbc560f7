// Local session ids of a mux (see krbmap.h). Blocks come from the module's own heap, so that a
// failure to make one can be forced and everything left over is counted.
#include "krbmap.h"

#include <atomic>

#include "krerrno.h"
#include "krheap.h"
#include "krlog.h"

namespace {

constexpr const char* kKrModule = "krbmap";

KRHEAP* Heap() {
    // Made on first use and kept for the life of the process: lists may outlive any module
    // start count. A creation that fails is tried again next time, so one failed allocation
    // does not leave the ids without a heap for good.
    static std::atomic<KRHEAP*> heap{nullptr};
    KRHEAP* current = heap.load();
    if (current) return current;
    KRHEAP* made = KrHeapCreate("Korrin Bitmap Heap");
    if (!made) return nullptr;
    if (!heap.compare_exchange_strong(current, made)) {
        KrHeapDestroy(made);
        return current;
    }
    return made;
}

KRBMAP_BLOCK* BlockMake(uint32_t base) {
    KRHEAP* heap = Heap();
    KRBMAP_BLOCK* block = heap ? (KRBMAP_BLOCK*)KrHeapAlloc(heap, sizeof(KRBMAP_BLOCK)) : nullptr;
    if (!block) return nullptr;
    block->base = base;
    block->freeCount = KR_BMAP_BLOCK_IDS;
    block->next = block->prev = block;
    return block;
}

// Puts `block` before `before` in the circle (at the tail when `before` is the first block or
// null), and makes it the first block when `asFirst`. Called with the list lock held.
void InsertBefore(KRBMAP_LIST* list, KRBMAP_BLOCK* block, KRBMAP_BLOCK* before, bool asFirst) {
    if (!list->first) {
        block->next = block->prev = block;
        list->first = block;
    } else {
        if (!before) before = list->first;
        block->next = before;
        block->prev = before->prev;
        before->prev->next = block;
        before->prev = block;
        if (asFirst) list->first = block;
    }
    ++list->blocks;
}

void Unlink(KRBMAP_LIST* list, KRBMAP_BLOCK* block) {
    if (block->next == block) {
        list->first = nullptr;
    } else {
        block->prev->next = block->next;
        block->next->prev = block->prev;
        if (list->first == block) list->first = block->next;
    }
    block->next = block->prev = block;
    --list->blocks;
}

// The block holding `base`, or null; also where a block of that base would go (the first block
// with a higher base, null for the tail). Called with the list lock held.
KRBMAP_BLOCK* Find(KRBMAP_LIST* list, uint32_t base, KRBMAP_BLOCK** insertBefore) {
    *insertBefore = nullptr;
    KRBMAP_BLOCK* block = list->first;
    for (uint32_t i = 0; block && i < list->blocks; ++i, block = block->next) {
        if (block->base == base) return block;
        if (block->base > base) {
            *insertBefore = block;
            return nullptr;
        }
    }
    return nullptr;
}

// Where one id lives: its block (null when there is none, with where a block for it would go),
// looked up under the list lock, and its word and bit in that block.
struct IdSlot {
    KRBMAP_BLOCK* block;
    KRBMAP_BLOCK* insertBefore;
    uint32_t base;
    uint32_t word;
    uint32_t mask;
};

// Fills *slot for `id`; false (KrErrno 1) for a null list.
bool Locate(KRBMAP_LIST* list, uint32_t id, IdSlot* slot) {
    if (!list) {
        KrErrorSet(KRERR_PARAM);
        return false;
    }
    *slot = IdSlot{};
    slot->base = id & ~(KR_BMAP_BLOCK_IDS - 1);
    slot->word = (id - slot->base) / 32;
    slot->mask = 1u << ((id - slot->base) % 32);
    KrLockEnter(&list->lock);
    slot->block = Find(list, slot->base, &slot->insertBefore);
    KrLockLeave(&list->lock);
    return true;
}

}  // namespace

KRBMAP_LIST* KrBMapListCreate(void) {
    KRHEAP* heap = Heap();
    KRBMAP_LIST* list = heap ? (KRBMAP_LIST*)KrHeapAlloc(heap, sizeof(KRBMAP_LIST)) : nullptr;
    if (!list) {
        KrErrorSet(KRERR_NO_MEMORY);
        return nullptr;
    }
    KRBMAP_BLOCK* block = BlockMake(0);
    if (!block) {
        KrHeapFree(heap, list);
        KrErrorSet(KRERR_NO_MEMORY);
        return nullptr;
    }
    KrLockInit(&list->lock, 0);
    InsertBefore(list, block, nullptr, true);
    return list;
}

void KrBMapListDestroy(KRBMAP_LIST* list) {
    if (!list) return;
    KrLockEnter(&list->lock);
    while (list->first) {
        KRBMAP_BLOCK* block = list->first;
        Unlink(list, block);
        KrBMapEntryFree(block);
    }
    KrLockLeave(&list->lock);
    KrLockDestroy(&list->lock);
    KrBMapListFree(list);
}

int KrBMapAlloc(KRBMAP_LIST* list, uint32_t* id) {
    if (!list || !id) {
        KrErrorSet(KRERR_PARAM);
        return 0;
    }
    KRBMAP_BLOCK* found = nullptr;
    KRBMAP_BLOCK* stop = nullptr; // where a new block goes; null: at the tail
    uint32_t expected = 0;
    KrLockEnter(&list->lock);
    KRBMAP_BLOCK* block = list->first;
    for (uint32_t i = 0; block && i < list->blocks; ++i, block = block->next) {
        if (block->base > expected) {
            stop = block;
            break;
        }
        if (block->freeCount != 0) {
            found = block;
            break;
        }
        expected += KR_BMAP_BLOCK_IDS;
    }
    KrLockLeave(&list->lock);
    if (!found) {
        found = BlockMake(expected);
        if (!found) {
            KrErrorSet(KRERR_NO_MEMORY);
            KR_LOG(1, "KrBMapAlloc: Failed to find a free Korrin Address, probably out of memory.");
            return 0;
        }
        KrLockEnter(&list->lock);
        InsertBefore(list, found, stop, stop && stop == list->first);
        KrLockLeave(&list->lock);
    }
    for (uint32_t w = 0; w < 32; ++w) {
        uint32_t word = found->words[w];
        if (word == 0xFFFFFFFFu) continue;
        uint32_t bit = (uint32_t)__builtin_ctz(~word);
        found->words[w] = word | (1u << bit);
        --found->freeCount;
        *id = found->base + w * 32 + bit;
        return 1;
    }
    KR_INVARIANT(false); // a block with a free count and no clear bit
    KrErrorSet(KRERR_NO_MEMORY);
    return 0;
}

int KrBMapFree(KRBMAP_LIST* list, uint32_t id) {
    IdSlot slot;
    if (!Locate(list, id, &slot)) return 0;
    KRBMAP_BLOCK* block = slot.block;
    if (!block) {
        KR_LOG(2, "KrBMapFree[0x%x]: Failed to find Korrin Bit Map Block to be freed.", id);
        KrErrorSet(KRERR_PARAM);
        return 0;
    }
    if (!(block->words[slot.word] & slot.mask)) {
        KR_INVARIANT(false); // the id was not in use
        KrErrorSet(KRERR_PARAM);
        return 0;
    }
    block->words[slot.word] &= ~slot.mask;
    if (++block->freeCount == KR_BMAP_BLOCK_IDS) {
        KrLockEnter(&list->lock);
        Unlink(list, block);
        KrLockLeave(&list->lock);
        KrBMapEntryFree(block);
    }
    return 1;
}

int KrBMapSet(KRBMAP_LIST* list, uint32_t id) {
    IdSlot slot;
    if (!Locate(list, id, &slot)) return 0;
    if (!slot.block) {
        slot.block = BlockMake(slot.base);
        if (!slot.block) {
            KR_LOG(1, "KrBMapSet[%x]: Failed to find Korrin Bit Map Block in which bit is to be set, probably out of memory.", id);
            KrErrorSet(KRERR_NO_MEMORY);
            return 0;
        }
        KrLockEnter(&list->lock);
        InsertBefore(list, slot.block, slot.insertBefore, slot.insertBefore && slot.insertBefore == list->first);
        KrLockLeave(&list->lock);
    }
    uint32_t& word = slot.block->words[slot.word];
    if (word & slot.mask) {
        KrErrorSet(KRERR_PARAM);
        return 0;
    }
    word |= slot.mask;
    --slot.block->freeCount;
    return 1;
}

void KrBMapEntryFree(KRBMAP_BLOCK* block) {
    if (!block) {
        KR_LOG(2, "KrBMapEntryFree: Attempt to free null Korrin Bitmap Block");
        return;
    }
    KrHeapFree(Heap(), block);
}

void KrBMapListFree(KRBMAP_LIST* list) {
    if (!list) {
        KR_LOG(2, "KrBMapListFree: Attempt to free null Korrin Bitmap List Handle");
        return;
    }
    KrHeapFree(Heap(), list);
}

uint32_t KrBMapBlockCount(KRBMAP_LIST* list) {
    if (!list) return 0;
    KrLockEnter(&list->lock);
    uint32_t n = list->blocks;
    KrLockLeave(&list->lock);
    return n;
}
