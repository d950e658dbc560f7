// Locks and the condition object KrEvent (see krevent.h): a manual-reset event, its own lock,
// a count of waiting threads and a state. The event's lock is always taken inside the caller's
// lock, never the other way round while waiting: a waiter leaves the caller's lock before it
// blocks and takes it again before the event's lock.
#include "krevent.h"

#include <cstring>

#include "krlog.h"

namespace {
constexpr char kKrModule[] = "krevent";
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
    std::memset(event, 0, sizeof *event);
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
    KrLockLeave(&event->lock);

    KrLockLeave(callerLock);
    DWORD got = WaitForSingleObject(event->event, limit);
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
        KrLockLeave(&event->lock);
        KR_INVARIANT(set);
        return;
    }
    KrLockLeave(&event->lock); // nobody waits: the signal is not kept
}
