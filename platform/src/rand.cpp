// The Windows runtime's 15-bit random generator, shared by the whole process: the game and the
// libraries call plat::rand()/plat::srand() wherever the design says rand/srand.
#include <atomic>

#include "plat.h"

namespace plat {
namespace {
std::atomic<uint32_t> g_RandState{1};
}

int rand() {
    // A compare-and-swap loop keeps the sequence intact when two threads draw at once.
    uint32_t old = g_RandState.load(std::memory_order_relaxed);
    uint32_t next;
    do {
        next = old * 214013u + 2531011u;
    } while (!g_RandState.compare_exchange_weak(old, next, std::memory_order_relaxed));
    return static_cast<int>((next >> 16) & 0x7FFFu);
}

void srand(unsigned seed) {
    g_RandState.store(seed, std::memory_order_relaxed);
}

}  // namespace plat
