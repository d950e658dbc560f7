// Named kernel objects shared between processes: mutexes (a robust, recursive, process-shared
// pthread mutex in POSIX shared memory) and page-file mappings (a shared memory object mapped by
// every process that opens the name).
//
// Windows removes a named object with its last handle; POSIX shared memory outlives every
// process. So liveness is kept explicitly: each process that holds a named object keeps a shared
// flock on its shared memory object. Opening a name whose object nobody holds (left over from
// processes that have ended, or new) makes it afresh, and the last process to close it removes
// it. Opening and closing are serialised by one exclusive flock on a guard object, so the check
// and the set-up are one step. One process keeps one mapping of each named mutex, so that every
// thread locks the same address.
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <thread>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "kernel_object.h"

namespace plat::detail {
namespace {

// A shared memory object as one process holds it.
struct Segment {
    std::string shmName; // empty: anonymous, never shared by name
    int fd = -1;
    uint64_t size = 0;
};

struct NamedRegistry {
    std::recursive_mutex lock; // the in-process half of the guard; also guards the maps
    int depth = 0;
    int guardFd = -1;
    std::map<std::string, std::weak_ptr<KernelObject>> objects; // by shared memory name
    std::vector<std::weak_ptr<Segment>> held;                    // for the release at exit
    bool exitHandler = false;
};
NamedRegistry& Registry() {
    static NamedRegistry* r = new NamedRegistry;
    return *r;
}

// Holds the guard: the registry lock in this process, an exclusive flock between processes.
class GuardHold {
public:
    GuardHold() : hold_(Registry().lock) {
        NamedRegistry& r = Registry();
        if (r.depth++ > 0) return;
        if (r.guardFd < 0) {
            std::string name = "/plat-" + std::to_string(getuid()) + "-named-guard";
            r.guardFd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        }
        if (r.guardFd >= 0) {
            while (flock(r.guardFd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~GuardHold() {
        NamedRegistry& r = Registry();
        if (--r.depth == 0 && r.guardFd >= 0) flock(r.guardFd, LOCK_UN);
    }
    GuardHold(const GuardHold&) = delete;
    GuardHold& operator=(const GuardHold&) = delete;

private:
    std::lock_guard<std::recursive_mutex> hold_;
};

uint64_t Fnv1a(const std::string& text) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

// "/plat-<uid>-<kind>-<readable part of the name>-<hash of the whole name>"
std::string ShmName(const char* kind, const std::string& name) {
    std::string readable;
    for (unsigned char c : name) {
        if (readable.size() >= 80) break;
        readable += (std::isalnum(c) || c == '.' || c == '_' || c == '-') ? (char)c : '_';
    }
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", (unsigned long long)Fnv1a(name));
    return "/plat-" + std::to_string(getuid()) + "-" + kind + "-" + readable + "-" + hash;
}

void ReleaseSegment(Segment& seg);

// A process that ends through exit() lets go of its named objects as Windows does at process
// end, so the last one out removes their names. (One that ends otherwise leaves them to be made
// afresh by the next process that opens the name.)
void ReleaseAllAtExit() {
    GuardHold guard;
    for (auto& weak : Registry().held) {
        if (auto seg = weak.lock()) ReleaseSegment(*seg);
    }
    Registry().held.clear();
}

// Opens (or, when allowed, makes) the named shared memory object under the guard. `created`
// tells whether it was made afresh (zero-filled, `size` bytes).
std::shared_ptr<Segment> OpenSegment(const std::string& shmName, uint64_t size, bool create, bool* created) {
    GuardHold guard;
    int fd = shm_open(shmName.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
    if (fd < 0) {
        SetLastError(errno == ENOENT ? (DWORD)ERROR_FILE_NOT_FOUND : ErrorFromErrno(errno));
        return nullptr;
    }
    auto seg = std::make_shared<Segment>();
    seg->shmName = shmName;
    seg->fd = fd;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // Nobody holds it: new, or left over from processes that have all ended.
        if (!create) {
            close(fd);
            shm_unlink(shmName.c_str());
            SetLastError(ERROR_FILE_NOT_FOUND);
            return nullptr;
        }
        if (ftruncate(fd, 0) != 0 || ftruncate(fd, (off_t)size) != 0) {
            SetLastError(ErrorFromErrno(errno));
            close(fd);
            return nullptr;
        }
        seg->size = size;
        *created = true;
    } else {
        struct stat st;
        if (fstat(fd, &st) != 0) {
            SetLastError(ErrorFromErrno(errno));
            close(fd);
            return nullptr;
        }
        seg->size = (uint64_t)st.st_size;
        *created = false;
    }
    flock(fd, LOCK_SH); // held for as long as this process keeps the object
    NamedRegistry& r = Registry();
    std::erase_if(r.held, [](const std::weak_ptr<Segment>& w) { return w.expired(); });
    r.held.push_back(seg);
    if (!r.exitHandler) {
        r.exitHandler = true;
        std::atexit(ReleaseAllAtExit);
    }
    return seg;
}

// An unnamed object: shared memory that no other process can open by name.
std::shared_ptr<Segment> AnonymousSegment(uint64_t size) {
    int fd = memfd_create("plat-anonymous", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, (off_t)size) != 0) {
        SetLastError(ErrorFromErrno(errno));
        if (fd >= 0) close(fd);
        return nullptr;
    }
    auto seg = std::make_shared<Segment>();
    seg->fd = fd;
    seg->size = size;
    return seg;
}

// Drops this process's hold; the last process to let go removes the name.
void ReleaseSegment(Segment& seg) {
    GuardHold guard;
    if (seg.fd < 0) return;
    close(seg.fd);
    seg.fd = -1;
    if (seg.shmName.empty()) return;
    int probe = shm_open(seg.shmName.c_str(), O_RDWR | O_CLOEXEC, 0600);
    if (probe < 0) return;
    if (flock(probe, LOCK_EX | LOCK_NB) == 0) shm_unlink(seg.shmName.c_str());
    close(probe);
}

// ---- mutexes ----

// The shared memory of a mutex: the pthread mutex, and its owner (a thread id, unique on the
// machine) with the owner's recursion count, so that a release by a thread that does not own it
// is refused before it reaches the pthread mutex.
struct SharedMutex {
    pthread_mutex_t mutex;
    uint32_t owner; // read without the lock, so with atomic operations
    uint32_t depth; // the owner's alone
};

struct MutexObject : KernelObject {
    MutexObject() : KernelObject(Kind::Mutex) {}
    ~MutexObject() override {
        if (shared) munmap(shared, mapped);
        if (seg) ReleaseSegment(*seg);
    }
    std::shared_ptr<Segment> seg;
    SharedMutex* shared = nullptr;
    size_t mapped = 0;
};

bool InitMutex(pthread_mutex_t* mutex) {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    int rc = pthread_mutex_init(mutex, &attr);
    pthread_mutexattr_destroy(&attr);
    return rc == 0;
}

std::shared_ptr<MutexObject> MapMutex(std::shared_ptr<Segment> seg, bool created) {
    auto object = std::make_shared<MutexObject>();
    size_t bytes = (size_t)sysconf(_SC_PAGESIZE);
    void* base = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, seg->fd, 0);
    object->seg = std::move(seg);
    if (base == MAP_FAILED) {
        SetLastError(ErrorFromErrno(errno));
        return nullptr;
    }
    static_assert(sizeof(SharedMutex) <= 4096, "a mutex fits one page");
    object->shared = static_cast<SharedMutex*>(base);
    object->mapped = bytes;
    if (created && !InitMutex(&object->shared->mutex)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return object;
}

// ---- mappings ----

struct MappingObject : KernelObject {
    MappingObject() : KernelObject(Kind::Mapping) {}
    ~MappingObject() override {
        if (seg) ReleaseSegment(*seg);
    }
    std::shared_ptr<Segment> seg;
};

struct Views {
    std::mutex lock;
    // A view keeps its mapping alive, as on Windows.
    std::map<uintptr_t, std::pair<size_t, std::shared_ptr<MappingObject>>> byAddress;
};
Views& AllViews() {
    static Views* v = new Views;
    return *v;
}

}  // namespace

DWORD WaitNamedMutex(const std::shared_ptr<KernelObject>& object, DWORD milliseconds) {
    SharedMutex* shared = static_cast<MutexObject&>(*object).shared;
    pthread_mutex_t* mutex = &shared->mutex;
    const uint32_t me = GetCurrentThreadId();
    auto taken = [&](bool afresh) {
        if (!afresh && __atomic_load_n(&shared->owner, __ATOMIC_RELAXED) == me) {
            shared->depth++;
        } else {
            __atomic_store_n(&shared->owner, me, __ATOMIC_RELAXED);
            shared->depth = 1;
        }
    };
    int rc;
    if (milliseconds == INFINITE) {
        rc = pthread_mutex_lock(mutex);
    } else {
        // A timed wait tries again every millisecond: unlike the timed lock, a try reports an
        // owner that ended in a way every checker (and the thread sanitizer) understands, and
        // timed waits on named mutexes are rare (closing the trace file).
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
        while ((rc = pthread_mutex_trylock(mutex)) == EBUSY) {
            if (Clock::now() >= deadline) {
                rc = ETIMEDOUT;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    switch (rc) {
    case 0: taken(false); return WAIT_OBJECT_0;
    case EOWNERDEAD:
        pthread_mutex_consistent(mutex);
        taken(true); // the ended owner's count means nothing now
        return WAIT_ABANDONED;
    case ETIMEDOUT: return WAIT_TIMEOUT;
    default: SetLastError(ErrorFromErrno(rc)); return WAIT_FAILED;
    }
}

}  // namespace plat::detail

using namespace plat::detail;

namespace {

// The process's object of a name (kept in the registry), or a new one from `make`.
template <class Make>
HANDLE OpenNamed(const std::string& shmName, Make make, bool* existedHere) {
    GuardHold guard;
    NamedRegistry& r = Registry();
    std::shared_ptr<KernelObject> object = r.objects[shmName].lock();
    *existedHere = object != nullptr;
    if (!object) {
        object = make();
        if (!object) {
            r.objects.erase(shmName);
            return nullptr;
        }
        r.objects[shmName] = object;
    }
    return NewHandle(object);
}

}  // namespace

PLATAPI HANDLE CreateMutexA(void*, BOOL initialOwner, LPCSTR name) {
    bool created = false;
    HANDLE handle;
    if (!name || !*name) {
        auto seg = AnonymousSegment((uint64_t)sysconf(_SC_PAGESIZE));
        if (!seg) return nullptr;
        auto object = MapMutex(seg, true);
        if (!object) return nullptr;
        created = true;
        handle = NewHandle(object);
    } else {
        std::string shmName = ShmName("mutex", name);
        bool here = false;
        handle = OpenNamed(
            shmName,
            [&]() -> std::shared_ptr<KernelObject> {
                auto seg = OpenSegment(shmName, (uint64_t)sysconf(_SC_PAGESIZE), true, &created);
                if (!seg) return nullptr;
                return MapMutex(seg, created);
            },
            &here);
        if (here) created = false;
    }
    if (!handle) return nullptr;
    if (created && initialOwner) WaitForSingleObject(handle, INFINITE);
    SetLastError(created ? (DWORD)ERROR_SUCCESS : (DWORD)ERROR_ALREADY_EXISTS);
    return handle;
}

PLATAPI HANDLE OpenMutexA(DWORD, BOOL, LPCSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string shmName = ShmName("mutex", name);
    bool here = false;
    HANDLE handle = OpenNamed(
        shmName,
        [&]() -> std::shared_ptr<KernelObject> {
            bool created = false;
            auto seg = OpenSegment(shmName, 0, false, &created);
            if (!seg) return nullptr;
            return MapMutex(seg, false);
        },
        &here);
    if (handle) SetLastError(ERROR_SUCCESS);
    return handle;
}

PLATAPI BOOL ReleaseMutex(HANDLE mutex) {
    auto object = LookupHandleAs<MutexObject>(mutex, KernelObject::Kind::Mutex);
    if (!object) return FALSE;
    SharedMutex* shared = object->shared;
    if (__atomic_load_n(&shared->owner, __ATOMIC_RELAXED) != GetCurrentThreadId() || shared->depth == 0) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    if (--shared->depth == 0) __atomic_store_n(&shared->owner, 0u, __ATOMIC_RELAXED);
    if (pthread_mutex_unlock(&shared->mutex) != 0) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    return TRUE;
}

PLATAPI HANDLE CreateFileMappingA(HANDLE file, void*, DWORD protect, DWORD sizeHigh, DWORD sizeLow, LPCSTR name) {
    if (file != INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    uint64_t size = ((uint64_t)sizeHigh << 32) | sizeLow;
    if (size == 0 || (protect != PAGE_READWRITE && protect != PAGE_READONLY)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    bool created = false;
    HANDLE handle;
    if (!name || !*name) {
        auto object = std::make_shared<MappingObject>();
        object->seg = AnonymousSegment(size);
        if (!object->seg) return nullptr;
        created = true;
        handle = NewHandle(object);
    } else {
        std::string shmName = ShmName("mapping", name);
        bool here = false;
        handle = OpenNamed(
            shmName,
            [&]() -> std::shared_ptr<KernelObject> {
                auto object = std::make_shared<MappingObject>();
                object->seg = OpenSegment(shmName, size, true, &created);
                if (!object->seg) return nullptr;
                return object;
            },
            &here);
        if (here) created = false;
    }
    if (handle) SetLastError(created ? (DWORD)ERROR_SUCCESS : (DWORD)ERROR_ALREADY_EXISTS);
    return handle;
}

PLATAPI HANDLE OpenFileMappingA(DWORD, BOOL, LPCSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string shmName = ShmName("mapping", name);
    bool here = false;
    HANDLE handle = OpenNamed(
        shmName,
        [&]() -> std::shared_ptr<KernelObject> {
            bool created = false;
            auto object = std::make_shared<MappingObject>();
            object->seg = OpenSegment(shmName, 0, false, &created);
            if (!object->seg) return nullptr;
            return object;
        },
        &here);
    if (handle) SetLastError(ERROR_SUCCESS);
    return handle;
}

PLATAPI void* MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes) {
    auto object = LookupHandleAs<MappingObject>(mapping, KernelObject::Kind::Mapping);
    if (!object) return nullptr;
    uint64_t offset = ((uint64_t)offsetHigh << 32) | offsetLow;
    uint64_t size = object->seg->size;
    if (offset % 0x10000 != 0 || offset >= size || (bytes != 0 && bytes > size - offset)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (bytes == 0) bytes = (SIZE_T)(size - offset);
    int prot = PROT_READ | ((access & FILE_MAP_WRITE) ? PROT_WRITE : 0);
    void* view = mmap(nullptr, bytes, prot, MAP_SHARED, object->seg->fd, (off_t)offset);
    if (view == MAP_FAILED) {
        SetLastError(ErrorFromErrno(errno));
        return nullptr;
    }
    Views& v = AllViews();
    std::lock_guard<std::mutex> hold(v.lock);
    v.byAddress[(uintptr_t)view] = {bytes, object};
    return view;
}

PLATAPI BOOL UnmapViewOfFile(const void* view) {
    std::shared_ptr<MappingObject> last; // released outside the lock
    Views& v = AllViews();
    std::lock_guard<std::mutex> hold(v.lock);
    auto it = v.byAddress.find((uintptr_t)view);
    if (it == v.byAddress.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    munmap(const_cast<void*>(view), it->second.first);
    last = std::move(it->second.second);
    v.byAddress.erase(it);
    return TRUE;
}

PLATAPI BOOL FlushViewOfFile(const void* view, SIZE_T bytes) {
    Views& v = AllViews();
    std::lock_guard<std::mutex> hold(v.lock);
    auto it = v.byAddress.upper_bound((uintptr_t)view);
    if (it == v.byAddress.begin()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    --it;
    uintptr_t start = it->first;
    size_t length = it->second.first;
    if ((uintptr_t)view >= start + length) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Shared memory has no backing file: the data is already visible to every process.
    (void)bytes;
    return TRUE;
}
