// Threads and in-process synchronisation over pthreads: the handle table, the last error,
// threads (suspended start, exit code, recorded priority, joined when waited on), critical
// sections, events, the wait functions, thread-local storage slots and the system information.
// Named mutexes and file mappings are in win32_named.cpp.
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <unordered_map>

#include "kernel_object.h"

namespace plat::detail {
namespace {

thread_local DWORD t_lastError = 0;

// Handle values: multiples of 4 from 0x1000, like Windows handles; never reused while the table
// still holds them.
struct HandleTable {
    std::mutex lock;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
    uintptr_t next = 0x1000;
};
HandleTable& Handles() {
    static HandleTable* table = new HandleTable; // lives until the process ends
    return *table;
}

}  // namespace

HANDLE NewHandle(std::shared_ptr<KernelObject> object) {
    HandleTable& t = Handles();
    std::lock_guard<std::mutex> hold(t.lock);
    uintptr_t value = t.next;
    while (t.objects.count(value) != 0 || value == 0 || value == (uintptr_t)INVALID_HANDLE_VALUE) value += 4;
    t.next = value + 4;
    t.objects.emplace(value, std::move(object));
    return (HANDLE)value;
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
    HandleTable& t = Handles();
    std::lock_guard<std::mutex> hold(t.lock);
    auto it = t.objects.find((uintptr_t)handle);
    if (it == t.objects.end()) {
        t_lastError = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    return it->second;
}

bool DropHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> last; // released outside the table lock
    HandleTable& t = Handles();
    std::lock_guard<std::mutex> hold(t.lock);
    auto it = t.objects.find((uintptr_t)handle);
    if (it == t.objects.end()) return false;
    last = std::move(it->second);
    t.objects.erase(it);
    return true;
}

std::mutex& WaitLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return 3; // ERROR_PATH_NOT_FOUND
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC: return 112; // ERROR_DISK_FULL
    case EINVAL: return ERROR_INVALID_PARAMETER;
    default: return ERROR_ACCESS_DENIED;
    }
}

namespace {

// ---- threads ----

struct ThreadObject : WaitableObject {
    ThreadObject() : WaitableObject(Kind::Thread) {}
    ~ThreadObject() override {
        if (started && !joined) pthread_detach(thread);
    }
    bool SignalledLocked() const override { return ended; }

    pthread_t thread{};
    bool started = false;
    LPTHREAD_START_ROUTINE start = nullptr;
    void* parameter = nullptr;
    // Under WaitLock.
    bool suspended = false;
    bool ended = false;
    DWORD tid = 0;
    DWORD exitCode = STILL_ACTIVE;
    std::condition_variable gate; // tid published, resumed
    std::atomic<int> priority{THREAD_PRIORITY_NORMAL};
    std::mutex joinLock;
    bool joined = false; // under joinLock
};

thread_local ThreadObject* t_self = nullptr;        // the running thread's object, when made here
thread_local int t_foreignPriority = THREAD_PRIORITY_NORMAL; // threads not made by CreateThread

// Not cached: a forked child's thread has a new id.
DWORD CurrentTid() {
    return (DWORD)syscall(SYS_gettid);
}

void* ThreadMain(void* raw) {
    auto* holder = static_cast<std::shared_ptr<ThreadObject>*>(raw);
    std::shared_ptr<ThreadObject> self = *holder;
    delete holder;
    t_self = self.get();
    {
        std::unique_lock<std::mutex> hold(WaitLock());
        self->tid = CurrentTid();
        self->gate.notify_all();
        self->gate.wait(hold, [&] { return !self->suspended; });
    }
    DWORD code = self->start(self->parameter);
    {
        std::lock_guard<std::mutex> hold(WaitLock());
        self->exitCode = code;
        self->ended = true;
        self->WakeWaitersLocked();
    }
    t_self = nullptr;
    return nullptr; // `self` may be the last reference: the object then detaches this thread
}

void JoinEnded(ThreadObject& t) {
    std::lock_guard<std::mutex> hold(t.joinLock);
    if (!t.joined && t.started) {
        pthread_join(t.thread, nullptr);
        t.joined = true;
    }
}

// ---- events ----

struct EventObject : WaitableObject {
    EventObject(bool manual, bool initial) : WaitableObject(Kind::Event), manualReset(manual), signalled(initial) {}
    bool SignalledLocked() const override { return signalled; }
    void AcquireLocked() override {
        if (!manualReset) signalled = false;
    }
    const bool manualReset;
    bool signalled; // under WaitLock
};

struct NamedEvents {
    std::mutex lock;
    std::map<std::string, std::weak_ptr<EventObject>> byName;
};
NamedEvents& Named() {
    static NamedEvents* n = new NamedEvents;
    return *n;
}

std::shared_ptr<WaitableObject> LookupWaitable(HANDLE handle) {
    std::shared_ptr<KernelObject> object = LookupHandle(handle);
    if (!object) return nullptr;
    if (object->kind != KernelObject::Kind::Event && object->kind != KernelObject::Kind::Thread) return nullptr;
    return std::static_pointer_cast<WaitableObject>(object);
}

// Waits for one or all of the objects; returns the index of the one taken (0 for all), -1 on
// time-out.
int WaitObjects(const std::vector<std::shared_ptr<WaitableObject>>& objects, bool all, DWORD milliseconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    Waiter me;
    std::unique_lock<std::mutex> hold(WaitLock());
    bool registered = false;
    int result = -1;
    for (;;) {
        if (all) {
            bool every = std::all_of(objects.begin(), objects.end(),
                                     [](const std::shared_ptr<WaitableObject>& o) { return o->SignalledLocked(); });
            if (every) {
                for (auto& o : objects) o->AcquireLocked();
                result = 0;
                break;
            }
        } else {
            for (size_t i = 0; i < objects.size(); ++i) {
                if (objects[i]->SignalledLocked()) {
                    objects[i]->AcquireLocked();
                    result = (int)i;
                    break;
                }
            }
            if (result >= 0) break;
        }
        if (milliseconds == 0) break;
        if (!registered) {
            for (auto& o : objects) o->waiters.push_back(&me);
            registered = true;
        }
        if (milliseconds == INFINITE) {
            me.wake.wait(hold);
        } else if (me.wake.wait_until(hold, deadline) == std::cv_status::timeout && Clock::now() >= deadline) {
            // one last look below: a signal may have come with the time-out
            milliseconds = 0;
        }
    }
    if (registered) {
        for (auto& o : objects) {
            auto& w = o->waiters;
            w.erase(std::remove(w.begin(), w.end(), &me), w.end());
        }
    }
    hold.unlock();
    // A waker that took this waiter before it left the lists is between the lock and its notify.
    while (me.notifying.load(std::memory_order_acquire) != 0) std::this_thread::yield();
    return result;
}

}  // namespace

}  // namespace plat::detail

using namespace plat::detail;

PLATAPI DWORD GetLastError(void) {
    return t_lastError;
}

PLATAPI void SetLastError(DWORD error) {
    t_lastError = error;
}

PLATAPI BOOL CloseHandle(HANDLE object) {
    if (!DropHandle(object)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

PLATAPI BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, HANDLE* target, DWORD,
                             BOOL, DWORD options) {
    if (sourceProcess != GetCurrentProcess() || targetProcess != GetCurrentProcess() || !target) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<KernelObject> object = LookupHandle(source);
    if (!object) return FALSE;
    HANDLE copy = NewHandle(object);
    if (!copy) return FALSE;
    if (options & DUPLICATE_CLOSE_SOURCE) DropHandle(source);
    *target = copy;
    return TRUE;
}

PLATAPI HANDLE GetCurrentProcess(void) {
    return (HANDLE)(intptr_t)-1;
}

PLATAPI HANDLE GetCurrentThread(void) {
    return (HANDLE)(intptr_t)-2;
}

PLATAPI DWORD GetCurrentProcessId(void) {
    return (DWORD)getpid();
}

PLATAPI DWORD GetCurrentThreadId(void) {
    return CurrentTid();
}

PLATAPI HANDLE CreateThread(void*, SIZE_T stackSize, LPTHREAD_START_ROUTINE start, void* parameter, DWORD flags,
                            DWORD* threadId) {
    if (!start) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto object = std::make_shared<ThreadObject>();
    object->start = start;
    object->parameter = parameter;
    object->suspended = (flags & CREATE_SUSPENDED) != 0;

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    constexpr SIZE_T kReserve = 1u << 20; // Windows reserves 1 MiB whatever the commit asked for
    pthread_attr_setstacksize(&attr, std::max<SIZE_T>(stackSize, kReserve));
    auto* holder = new std::shared_ptr<ThreadObject>(object);
    int rc = pthread_create(&object->thread, &attr, ThreadMain, holder);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete holder;
        SetLastError(ErrorFromErrno(rc));
        return nullptr;
    }
    object->started = true;
    {
        std::unique_lock<std::mutex> hold(WaitLock());
        object->gate.wait(hold, [&] { return object->tid != 0; });
    }
    if (threadId) *threadId = object->tid;
    return NewHandle(object);
}

PLATAPI DWORD ResumeThread(HANDLE thread) {
    auto object = LookupHandleAs<ThreadObject>(thread, KernelObject::Kind::Thread);
    if (!object) return (DWORD)-1;
    std::lock_guard<std::mutex> hold(WaitLock());
    DWORD previous = object->suspended ? 1 : 0;
    object->suspended = false;
    object->gate.notify_all();
    return previous;
}

PLATAPI BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
    auto object = LookupHandleAs<ThreadObject>(thread, KernelObject::Kind::Thread);
    if (!object || !exitCode) return FALSE;
    std::lock_guard<std::mutex> hold(WaitLock());
    *exitCode = object->exitCode;
    return TRUE;
}

PLATAPI BOOL SetThreadPriority(HANDLE thread, int priority) {
    if (thread == GetCurrentThread()) {
        if (t_self)
            t_self->priority = priority;
        else
            t_foreignPriority = priority;
        return TRUE;
    }
    auto object = LookupHandleAs<ThreadObject>(thread, KernelObject::Kind::Thread);
    if (!object) return FALSE;
    object->priority = priority;
    return TRUE;
}

PLATAPI int GetThreadPriority(HANDLE thread) {
    if (thread == GetCurrentThread()) return t_self ? t_self->priority.load() : t_foreignPriority;
    auto object = LookupHandleAs<ThreadObject>(thread, KernelObject::Kind::Thread);
    if (!object) return THREAD_PRIORITY_ERROR_RETURN;
    return object->priority;
}

// ---- critical sections ----

PLATAPI void InitializeCriticalSection(CRITICAL_SECTION* section) {
    section->impl = new std::recursive_mutex;
}

PLATAPI void DeleteCriticalSection(CRITICAL_SECTION* section) {
    delete static_cast<std::recursive_mutex*>(section->impl);
    section->impl = nullptr;
}

// A section held by another thread is usually left within a few microseconds: it is tried again
// for that long (as a Windows critical section's spin count does) before the thread blocks.
PLATAPI void EnterCriticalSection(CRITICAL_SECTION* section) {
    auto* mutex = static_cast<std::recursive_mutex*>(section->impl);
    if (mutex->try_lock()) return;
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(4);
    for (uint32_t round = 1;; ++round) {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
        if (mutex->try_lock()) return;
        if ((round & 15) == 0 && std::chrono::steady_clock::now() >= until) break;
    }
    mutex->lock();
}

PLATAPI BOOL TryEnterCriticalSection(CRITICAL_SECTION* section) {
    return static_cast<std::recursive_mutex*>(section->impl)->try_lock() ? TRUE : FALSE;
}

PLATAPI void LeaveCriticalSection(CRITICAL_SECTION* section) {
    static_cast<std::recursive_mutex*>(section->impl)->unlock();
}

// ---- events ----

PLATAPI HANDLE CreateEventA(void*, BOOL manualReset, BOOL initialState, LPCSTR name) {
    std::shared_ptr<EventObject> object;
    bool existed = false;
    if (name && *name) {
        NamedEvents& n = Named();
        std::lock_guard<std::mutex> hold(n.lock);
        auto& slot = n.byName[name];
        object = slot.lock();
        existed = object != nullptr;
        if (!object) {
            object = std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE);
            slot = object;
        }
    } else {
        object = std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE);
    }
    HANDLE handle = NewHandle(object);
    if (handle) SetLastError(existed ? (DWORD)ERROR_ALREADY_EXISTS : (DWORD)ERROR_SUCCESS);
    return handle;
}

PLATAPI BOOL SetEvent(HANDLE event) {
    auto object = LookupHandleAs<EventObject>(event, KernelObject::Kind::Event);
    if (!object) return FALSE;
    WaitableObject::Taken taken;
    {
        std::lock_guard<std::mutex> hold(WaitLock());
        object->signalled = true;
        object->TakeWaitersLocked(&taken);
    }
    WakeTaken(taken);
    return TRUE;
}

PLATAPI BOOL ResetEvent(HANDLE event) {
    auto object = LookupHandleAs<EventObject>(event, KernelObject::Kind::Event);
    if (!object) return FALSE;
    std::lock_guard<std::mutex> hold(WaitLock());
    object->signalled = false;
    return TRUE;
}

// ---- waits ----

PLATAPI DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    std::shared_ptr<KernelObject> any = LookupHandle(object);
    if (!any) return WAIT_FAILED;
    if (any->kind == KernelObject::Kind::Mutex) return WaitNamedMutex(any, milliseconds);
    auto waitable = LookupWaitable(object);
    if (!waitable) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    int got = WaitObjects({waitable}, false, milliseconds);
    if (got < 0) return WAIT_TIMEOUT;
    if (waitable->kind == KernelObject::Kind::Thread) JoinEnded(static_cast<ThreadObject&>(*waitable));
    return WAIT_OBJECT_0;
}

PLATAPI DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD milliseconds) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !objects) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<WaitableObject>> list;
    for (DWORD i = 0; i < count; ++i) {
        auto waitable = LookupWaitable(objects[i]);
        if (!waitable) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        list.push_back(std::move(waitable));
    }
    int got = WaitObjects(list, waitAll != FALSE, milliseconds);
    if (got < 0) return WAIT_TIMEOUT;
    for (auto& w : list) {
        if (w->kind == KernelObject::Kind::Thread && (waitAll || w == list[got]))
            JoinEnded(static_cast<ThreadObject&>(*w));
    }
    return WAIT_OBJECT_0 + (DWORD)got;
}

// ---- thread-local storage ----

PLATAPI DWORD TlsAlloc(void) {
    pthread_key_t key;
    int rc = pthread_key_create(&key, nullptr);
    if (rc != 0) {
        SetLastError(ErrorFromErrno(rc));
        return TLS_OUT_OF_INDEXES;
    }
    static_assert(sizeof(pthread_key_t) <= sizeof(DWORD), "a key fits a slot index");
    if ((DWORD)key == TLS_OUT_OF_INDEXES) { // never handed out as a slot
        pthread_key_delete(key);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return TLS_OUT_OF_INDEXES;
    }
    return (DWORD)key;
}

PLATAPI BOOL TlsFree(DWORD index) {
    if (index == TLS_OUT_OF_INDEXES || pthread_key_delete((pthread_key_t)index) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

PLATAPI void* TlsGetValue(DWORD index) {
    if (index == TLS_OUT_OF_INDEXES) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return pthread_getspecific((pthread_key_t)index);
}

PLATAPI BOOL TlsSetValue(DWORD index, void* value) {
    if (index == TLS_OUT_OF_INDEXES || pthread_setspecific((pthread_key_t)index, value) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

PLATAPI void GetSystemInfo(SYSTEM_INFO* info) {
    *info = SYSTEM_INFO{};
    info->dwPageSize = (DWORD)sysconf(_SC_PAGESIZE);
    info->dwAllocationGranularity = 0x10000;
    long processors = sysconf(_SC_NPROCESSORS_ONLN);
    info->dwNumberOfProcessors = processors > 0 ? (DWORD)processors : 1;
    info->dwActiveProcessorMask = 1;
    info->lpMinimumApplicationAddress = (void*)(uintptr_t)0x10000;
    info->lpMaximumApplicationAddress = (void*)(uintptr_t)0x7FFFFFFEFFFFull;
}
