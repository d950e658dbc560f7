// Private heaps of the library's modules: growable heaps of zeroed blocks that count what they
// hold, so that a module's cleanup can tell (and tests can check) that nothing it allocated is
// left. Freed blocks of up to 64 KB are kept (a bounded few of each size) and handed out again,
// so that steady traffic takes no memory from the process heap. Destroying a heap releases
// whatever is left in it, kept blocks included.
#pragma once
#include <cstddef>
#include <cstdint>

struct KRHEAP;

KRHEAP* KrHeapCreate(const char* name);
void KrHeapDestroy(KRHEAP* heap);
// A zeroed block, or null when memory runs out.
void* KrHeapAlloc(KRHEAP* heap, size_t size);
// 1 when the block was this heap's and is freed; 0 for null or a block of another heap.
int KrHeapFree(KRHEAP* heap, void* block);
// Blocks held by the heap now.
uint32_t KrHeapCount(const KRHEAP* heap);

// For checks: how many blocks this thread's allocations took from the process heap (rather than
// from the kept blocks) since it started.
uint32_t KrHeapFreshBlocksOnThisThread();

// For tests: the next `count` allocations succeed and the one after fails (once); -1 switches
// the failure off.
void KrHeapFailAfter(int count);
