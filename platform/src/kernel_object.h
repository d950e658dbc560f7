// Private to the platform: the objects behind HANDLE values (events, threads, mutexes, file
// mappings, files), the table that maps handle values to them, and the shared wait lock of the
// objects that in-process waits watch. Handle values are small numbers, never addresses, so a
// stale or foreign handle is refused instead of followed.
#pragma once
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
};

// Waits for a mutex (win32_named.cpp): WAIT_OBJECT_0, WAIT_ABANDONED, WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitNamedMutex(const std::shared_ptr<KernelObject>& mutex, DWORD milliseconds);

// Windows error code for an errno value.
DWORD ErrorFromErrno(int error);

}  // namespace plat::detail
