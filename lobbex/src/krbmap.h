// Local session ids of a mux: a list of 1024-id blocks in ascending base order, each block 32
// words of bits (id = base + word * 32 + bit, bit 0 the least significant). Allocation fills the
// lowest free id, making a block where the walk finds a gap or every block full.
#pragma once
#include <cstdint>

#include "krevent.h"

struct KRBMAP_BLOCK {
    KRBMAP_BLOCK* next;
    KRBMAP_BLOCK* prev;
    uint32_t base;      // a multiple of 1024
    uint32_t freeCount; // 1024 when made
    uint32_t words[32];
};

struct KRBMAP_LIST {
    KRLOCK lock; // guards the block list only; the bits are changed under the owner's lock
    KRBMAP_BLOCK* first;
    uint32_t blocks;
};

constexpr uint32_t KR_BMAP_BLOCK_IDS = 1024;
// The highest id a request header can carry: a mux refuses a session whose id would be higher.
constexpr uint32_t KR_BMAP_MAX_SESSION_ID = 2046;

// A list holding one empty block of base 0; null with KrErrno 3 when memory runs out.
KRBMAP_LIST* KrBMapListCreate(void);
// Frees every block, then the list.
void KrBMapListDestroy(KRBMAP_LIST* list);
// The lowest free id into *id and 1; 0 (KrErrno 3, nothing changed) when no block can be made.
// The result tells failure apart from id 0, which is a valid first id.
int KrBMapAlloc(KRBMAP_LIST* list, uint32_t* id);
// Gives an id back; a block whose ids are all free again is freed. 1, or 0 for an id not held.
int KrBMapFree(KRBMAP_LIST* list, uint32_t id);
// Marks one id as used, making its block when missing. 1; 0 with KrErrno 1 when it is already
// used, or KrErrno 3 when its block cannot be made.
int KrBMapSet(KRBMAP_LIST* list, uint32_t id);
void KrBMapEntryFree(KRBMAP_BLOCK* block);
void KrBMapListFree(KRBMAP_LIST* list);
// Blocks the list holds now (for checks).
uint32_t KrBMapBlockCount(KRBMAP_LIST* list);
