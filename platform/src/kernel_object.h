// Private to the platform: the objects behind HANDLE values (events, threads, mutexes, file
// mappings, files), the table that maps handle values to them, and the shared wait lock of the
// objects that in-process waits watch. Handle values are small numbers, never addresses, so a
// stale or foreign handle is refused instead of followed.
#pragma once
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "registry.h" // the shared ERROR_* codes
#include "winthread.h"

namespace plat::detail {

struct KernelObject {
    enum class Kind { Event, Thread, Mutex, Mapping, File };
    explicit KernelObject(Kind k) : kind(k) {}
    virtual ~KernelObject() = default;
    const Kind kind;
};

// Adds a handle for the object; null (and ERROR_NOT_ENOUGH_MEMORY) when the table is full.
HANDLE NewHandle(std::shared_ptr<KernelObject> object);
// The object of a handle, or null with ERROR_INVALID_HANDLE.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle, KernelObject::Kind kind) {
    std::shared_ptr<KernelObject> object = LookupHandle(handle);
    if (!object || object->kind != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return std::static_pointer_cast<T>(object);
}
// Removes the handle; false when it was not one.
bool DropHandle(HANDLE handle);

// One lock guards the state of every object that WaitForSingleObject/WaitForMultipleObjects
// watch in-process (events and threads); each waiting thread brings its own condition.
struct Waiter {
    std::condition_variable wake;
    // Wakers that took this waiter under WaitLock and notify it after leaving the lock: the waiter
    // stays (and keeps its condition variable) until they are done.
    std::atomic<int> notifying{0};
};
std::mutex& WaitLock();
struct WaitableObject : KernelObject {
    using KernelObject::KernelObject;
    std::vector<Waiter*> waiters; // under WaitLock
    // Under WaitLock: is the object signalled; take it (an auto-reset event resets).
    virtual bool SignalledLocked() const = 0;
    virtual void AcquireLocked() {}
    void WakeWaitersLocked() {
        for (Waiter* w : waiters) w->wake.notify_one();
    }
    // Under WaitLock: the waiters to wake once the lock is left (WakeTaken), each marked so that
    // it does not go away before then. A waiter woken while the waker still held the lock would
    // block on it at once: a second sleep and wake-up for every signal.
    struct Taken {
        Waiter* few[8];
        size_t count = 0;
        std::vector<Waiter*> more; // beyond the first eight
    };
    void TakeWaitersLocked(Taken* out) {
        for (Waiter* w : waiters) {
            w->notifying.fetch_add(1, std::memory_order_relaxed);
            if (out->count < 8)
                out->few[out->count++] = w;
            else
                out->more.push_back(w);
        }
    }
};

// After WaitLock is left: wakes the waiters taken by TakeWaitersLocked.
inline void WakeTaken(const WaitableObject::Taken& taken) {
    auto wake = [](Waiter* w) {
        w->wake.notify_one();
        w->notifying.fetch_sub(1, std::memory_order_release);
    };
    for (size_t i = 0; i < taken.count; ++i) wake(taken.few[i]);
    for (Waiter* w : taken.more) wake(w);
}


// Waits for a mutex (win32_named.cpp): WAIT_OBJECT_0, WAIT_ABANDONED, WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitNamedMutex(const std::shared_ptr<KernelObject>& mutex, DWORD milliseconds);

// Windows error code for an errno value.
DWORD ErrorFromErrno(int error);

}  // namespace plat::detail
