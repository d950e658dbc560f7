// The library's locks and its condition object KrEvent. A lock is recursive for its owning
// thread. A KrEvent is a broadcast condition: a signal wakes every thread waiting at that moment
// and is lost when nobody waits, so callers test their own condition under their own lock, wait
// while it is false, and test again after waking (a thread that starts to wait while a signal is
// still being delivered passes straight through).
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>

#include "krtypes.h"
#include "winthread.h"

typedef CRITICAL_SECTION KRLOCK;

void KrLockInit(KRLOCK* lock, int attribute); // the attribute is ignored
void KrLockDestroy(KRLOCK* lock);
void KrLockEnter(KRLOCK* lock);
void KrLockLeave(KRLOCK* lock);

enum : int { KR_EVENT_DESTROYED = 0, KR_EVENT_SIGNALLED = 1, KR_EVENT_RESET = 2 };

struct KrEvent {
    HANDLE event;     // manual-reset
    KRLOCK lock;      // guards the two fields below
    uint32_t waiters; // threads inside KrEventWait
    int state;
    // Signals that set the event, counted: a waiter spins briefly on it before it blocks.
    std::atomic<uint32_t> signals;
};

// How long KrEventWait spins before it blocks: a few microseconds, enough for a signal that is
// already on its way (a lock handed over, a completion being delivered), far less than a sleep.
constexpr uint32_t KR_EVENT_SPIN_NS = 4000;

void KrEventCreate(KrEvent* event, const char* name);
void KrEventDestroy(KrEvent* event);
// The caller holds `callerLock` on entry and again on return; it is left while waiting.
// `timeout` (seconds and milliseconds) null waits without limit. 1 when signalled, 0 on time-out.
int KrEventWait(KrEvent* event, KRLOCK* callerLock, const KRTIME* timeout);
// Waits on `event` (caller holding `callerLock`) until `done()` holds or `ms` milliseconds have
// passed, whatever wakes it meanwhile.
template <class Done>
void KrEventWaitFor(KrEvent* event, KRLOCK* callerLock, uint32_t ms, Done done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        const KRTIME wait{(uint32_t)(left.count() / 1000), (uint32_t)(left.count() % 1000), 0};
        KrEventWait(event, callerLock, &wait);
    }
}
void KrEventSignal(KrEvent* event);
