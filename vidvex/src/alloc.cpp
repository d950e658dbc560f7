// The allocator hooks: every allocation of the library goes through them, so a caller can count
// or redirect the library's memory. Defaults are the C runtime's malloc, calloc and free.
#include <cstdlib>

#include "vvl_internal.h"

namespace {
VvlMallocFn g_malloc = std::malloc;
VvlCallocFn g_calloc = std::calloc;
VvlFreeFn g_free = std::free;
}  // namespace

void* VVL_Alloc(size_t size) { return g_malloc(size); }
void* VVL_AllocZeroed(size_t count, size_t size) { return g_calloc(count, size); }
void VVL_Free(void* block) {
    if (block) g_free(block);
}

extern "C" VvlMallocFn Vidvex_Setmalloc(VvlMallocFn fn) {
    g_malloc = fn ? fn : std::malloc;
    return fn;
}
extern "C" VvlCallocFn Vidvex_Setcalloc(VvlCallocFn fn) {
    g_calloc = fn ? fn : std::calloc;
    return fn;
}
extern "C" VvlFreeFn Vidvex_Setfree(VvlFreeFn fn) {
    g_free = fn ? fn : std::free;
    return fn;
}
