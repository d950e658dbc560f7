// Test helper: replaces the program's global operator new and delete (over malloc and free) so
// that a test can see the largest block that anything in the process, a library linked in or
// loaded beside it included, asks for while it watches. Include it in exactly one source file of
// a test program.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace alloctest {

inline std::atomic<bool> g_watching{false};
inline std::atomic<size_t> g_largest{0};

inline void Note(size_t n) {
    if (!g_watching.load(std::memory_order_relaxed))
        return;
    size_t seen = g_largest.load(std::memory_order_relaxed);
    while (n > seen && !g_largest.compare_exchange_weak(seen, n, std::memory_order_relaxed)) {
    }
}

// Watches for as long as it lives; largest() is the largest block asked for meanwhile.
class Watch {
public:
    Watch() {
        g_largest = 0;
        g_watching = true;
    }
    ~Watch() { g_watching = false; }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;
    size_t largest() const { return g_largest.load(); }
};

}  // namespace alloctest

// Every block is malloc'd and freed here, so new and delete match even where the compiler sees
// free reached from a delete expression.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t n) {
    alloctest::Note(n);
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    return ::operator new(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    alloctest::Note(n);
    return std::malloc(n ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept {
    return ::operator new(n, t);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

#pragma GCC diagnostic pop
