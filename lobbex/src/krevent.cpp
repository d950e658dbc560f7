// Locks and the condition object KrEvent (see krevent.h): a manual-reset event, its own lock,
// a count of waiting threads and a state. The event's lock is always taken inside the caller's
// lock, never the other way round while waiting: a waiter leaves the caller's lock before it
// blocks and takes it again before the event's lock.
#include "krevent.h"

#include <cstring>

#include "krlog.h"

namespace {
constexpr char kKrModule[] = "krevent";

// Spins up to KR_EVENT_SPIN_NS for the signal count to move on from `seen`; true when it did.
bool SpinFor(const KrEvent* event, uint32_t seen) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::nanoseconds(KR_EVENT_SPIN_NS);
    for (uint32_t round = 0;; ++round) {
        if (event->signals.load(std::memory_order_acquire) != seen) return true;
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
        if ((round & 15) == 15 && std::chrono::steady_clock::now() >= until) return false;
    }
}
}

void KrLockInit(KRLOCK* lock, int) {
    InitializeCriticalSection(lock);
}

void KrLockDestroy(KRLOCK* lock) {
    DeleteCriticalSection(lock);
}

void KrLockEnter(KRLOCK* lock) {
    EnterCriticalSection(lock);
}

void KrLockLeave(KRLOCK* lock) {
    LeaveCriticalSection(lock);
}

void KrEventCreate(KrEvent* event, const char* name) {
    event->waiters = 0;
    event->signals.store(0, std::memory_order_relaxed);
    event->event = CreateEventA(nullptr, TRUE, FALSE, name);
    KR_INVARIANT(event->event != nullptr);
    KrLockInit(&event->lock, 0);
    event->state = KR_EVENT_RESET;
}

void KrEventDestroy(KrEvent* event) {
    KR_PRECONDITION(event->state == KR_EVENT_RESET);
    if (!CloseHandle(event->event)) KR_LOG(KrErr, "KrEventDestroy: Unable to close event handle.");
    event->event = nullptr;
    KrLockDestroy(&event->lock);
    event->state = KR_EVENT_DESTROYED;
}

int KrEventWait(KrEvent* event, KRLOCK* callerLock, const KRTIME* timeout) {
    DWORD limit = INFINITE;
    if (timeout) {
        uint64_t ms = (uint64_t)timeout->sec * 1000u + timeout->msec;
        limit = ms >= INFINITE ? INFINITE - 1 : (DWORD)ms;
    }
    KrLockEnter(&event->lock);
    KR_INVARIANT(event->waiters > 0 || event->state == KR_EVENT_RESET);
    event->waiters++;
    const uint32_t seen = event->signals.load(std::memory_order_relaxed);
    KrLockLeave(&event->lock);

    KrLockLeave(callerLock);
    // A signal counted after this waiter was counted has set the event: it is taken as the wait
    // would take it, without blocking.
    const bool early = limit != 0 && SpinFor(event, seen);
    DWORD got = early ? WAIT_OBJECT_0 : WaitForSingleObject(event->event, limit);
    KR_INVARIANT(got == WAIT_OBJECT_0 || got == WAIT_TIMEOUT);
    KrLockEnter(callerLock);

    KrLockEnter(&event->lock);
    if (--event->waiters == 0) {
        event->state = KR_EVENT_RESET;
        ResetEvent(event->event);
    }
    KrLockLeave(&event->lock);
    return got == WAIT_OBJECT_0 ? 1 : 0;
}

void KrEventSignal(KrEvent* event) {
    KrLockEnter(&event->lock);
    KR_INVARIANT(event->waiters > 0 || event->state == KR_EVENT_RESET);
    if (event->waiters > 0 && event->state != KR_EVENT_SIGNALLED) {
        event->state = KR_EVENT_SIGNALLED;
        BOOL set = SetEvent(event->event);
        event->signals.fetch_add(1, std::memory_order_release);
        KrLockLeave(&event->lock);
        KR_INVARIANT(set);
        return;
    }
    KrLockLeave(&event->lock); // nobody waits: the signal is not kept
}
