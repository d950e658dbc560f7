// The trace file "krtrace.txt" that every process of the library appends to: time-stamped lines
// at one shared write offset, guarded by one named mutex, the offset kept in a named shared
// block. The file is at most 2 MiB (writing starts over at the beginning when it is full), is
// cut at the shared offset when flushed, and is renamed to "krtrace2.txt" by every 30th process
// (counted in the registry as "KrTraceCount").
//
// Lines are written at the shared offset with ordinary file writes under the mutex; the file is
// never mapped, so cutting it can never pull pages from under another process. The named objects
// carry the directory in their names, so traces in different directories never share a lock.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "krlog.h"
#include "krreg.h"
#include "krtime.h"
#include "winfile.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

constexpr char kKrModule[] = "krtrace";
constexpr uint32_t kMaxSize = 0x200000;   // the file's maximum size
constexpr uint32_t kFlushEveryMs = 3000;
constexpr uint32_t kRotateAt = 30;        // processes per file
constexpr size_t kMaxPath = 300;

struct TraceFile {
    std::recursive_mutex lock; // this process's state; always taken before the named mutex
    DWORD countedPid = 0;      // the process that has counted itself in KrTraceCount
    bool setUp = false;        // the handles below are open
    bool failed = false;       // no trace file for this process (until KrTraceClose)
    bool settingUp = false;    // lines traced meanwhile (registry warnings) wait in `pending`
    std::vector<std::string> pending;
    std::string path, path2, objectSuffix;
    HANDLE mutex = nullptr;
    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE shared = nullptr;
    volatile uint32_t* offset = nullptr; // first word of the shared block: the write offset
    uint32_t granule = 0;
    uint32_t viewSize = 0;               // two granules; a line may take half of it
    bool flushTimed = false;
    uint32_t lastFlush = 0;
};

TraceFile& State() {
    // Never destroyed: other threads may still trace while the process ends. A leak checker
    // is told so, since a library unloaded with dlclose leaves it unreachable on purpose.
    static TraceFile* t = [] {
        auto* state = new TraceFile;
#if defined(__SANITIZE_ADDRESS__)
        __lsan_ignore_object(state);
#endif
        return state;
    }();
    return *t;
}

std::string Stamp() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const time_t seconds = system_clock::to_time_t(now);
    const int ms = (int)(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    struct tm local = {};
    KrLocalTime(seconds, &local, nullptr);
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%02d/%02d %02d:%02d:%02d.%03d Pr %lx Th %lx) ", local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, ms, (unsigned long)GetCurrentProcessId(),
                  (unsigned long)GetCurrentThreadId());
    return stamp;
}

std::string Hex(uint64_t v) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", (unsigned long long)v);
    return text;
}

uint64_t NameHash(const std::string& text) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : text) {
        h ^= (unsigned char)(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c == '/' ? '\\' : c);
        h *= 1099511628211ull;
    }
    return h;
}

uint32_t LoadLe32(const uint8_t* b) {
    return (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
}

void StoreLe32(uint8_t* b, uint32_t v) {
    b[0] = (uint8_t)v;
    b[1] = (uint8_t)(v >> 8);
    b[2] = (uint8_t)(v >> 16);
    b[3] = (uint8_t)(v >> 24);
}

bool OthersHoldTheTrace(const TraceFile& t) {
    HANDLE probe = OpenFileMappingA(FILE_MAP_READ, FALSE, ("krtracesharedvars." + t.objectSuffix).c_str());
    if (!probe) return false;
    CloseHandle(probe);
    return true;
}

// Counts this process; the 30th one renames the file to "krtrace2.txt" and starts the count
// again. Runs under the named mutex.
void CountAndRotate(TraceFile& t) {
    uint8_t bytes[4] = {};
    uint32_t size = sizeof bytes;
    uint32_t count = KrLoadBinaryObject("KrTraceCount", bytes, &size) == 0 ? LoadLe32(bytes) : 0;
    count += 1;
    // Renaming the file while another process writes to it would send that process's lines
    // into "krtrace2.txt": then the rotation waits for a process that starts alone.
    if (count >= kRotateAt && !OthersHoldTheTrace(t)) {
        DeleteFileA(t.path2.c_str());
        MoveFileA(t.path.c_str(), t.path2.c_str());
        count = 1;
    }
    StoreLe32(bytes, count);
    KrSaveBinaryObject("KrTraceCount", bytes, sizeof bytes);
}

void CloseHandles(TraceFile& t) {
    if (t.offset) UnmapViewOfFile((const void*)t.offset);
    if (t.shared) CloseHandle(t.shared);
    if (t.file != INVALID_HANDLE_VALUE) CloseHandle(t.file);
    if (t.mutex) CloseHandle(t.mutex);
    t.offset = nullptr;
    t.shared = nullptr;
    t.file = INVALID_HANDLE_VALUE;
    t.mutex = nullptr;
    t.setUp = false;
}

bool TakeMutex(HANDLE mutex, DWORD ms) {
    DWORD got = WaitForSingleObject(mutex, ms);
    return got == WAIT_OBJECT_0 || got == WAIT_ABANDONED;
}

// Opens the trace for this process: path, named objects, process count, file and shared
// offset. Runs with t.lock held; false leaves tracing off for this process.
bool SetUp(TraceFile& t) {
    char dir[kMaxPath + 1];
    if (LookupDirectory("System Directory", "Root Directory", "System", dir, sizeof dir, nullptr) != KR_DIR_FOUND)
        return false;
    t.path = std::string(dir) + "\\krtrace.txt";
    t.path2 = std::string(dir) + "\\krtrace2.txt";
    if (t.path.size() > kMaxPath) return false;
    t.objectSuffix = Hex(NameHash(t.path));

    t.mutex = CreateMutexA(nullptr, FALSE, ("krtracemutex." + t.objectSuffix).c_str());
    if (!t.mutex || !TakeMutex(t.mutex, INFINITE)) {
        CloseHandles(t);
        return false;
    }
    if (t.countedPid != GetCurrentProcessId()) {
        t.countedPid = GetCurrentProcessId();
        CountAndRotate(t);
    }
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    t.granule = info.dwAllocationGranularity;
    t.viewSize = 2 * t.granule;

    const std::string sharedName = "krtracesharedvars." + t.objectSuffix;
    t.shared = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, sharedName.c_str());
    const bool othersHoldIt = t.shared != nullptr;
    t.file = CreateFileA(t.path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (t.file == INVALID_HANDLE_VALUE) {
        ReleaseMutex(t.mutex);
        CloseHandles(t);
        return false;
    }
    if (!t.shared)
        t.shared = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, t.granule, sharedName.c_str());
    if (t.shared) t.offset = static_cast<volatile uint32_t*>(MapViewOfFile(t.shared, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!t.offset) {
        ReleaseMutex(t.mutex);
        CloseHandles(t);
        return false;
    }
    if (!othersHoldIt) {
        // The first process of a trace: append to what is there, unless the file is full, when
        // it counts as empty and is written over from the beginning.
        DWORD high = 0;
        DWORD size = GetFileSize(t.file, &high);
        *t.offset = (high != 0 || size == INVALID_FILE_SIZE || size >= kMaxSize) ? 0 : size;
    }
    ReleaseMutex(t.mutex);
    t.setUp = true;
    return true;
}

// A child forked from a process that had the trace open carries on with its handles, and is
// counted as a process of its own (it holds the trace itself, so it never rotates it).
bool CountForkedProcess(TraceFile& t) {
    if (!TakeMutex(t.mutex, INFINITE)) return false;
    t.countedPid = GetCurrentProcessId();
    CountAndRotate(t);
    ReleaseMutex(t.mutex);
    return true;
}

void WriteAt(TraceFile& t, uint32_t at, const std::string& line) {
    DWORD written = 0;
    SetFilePointer(t.file, (LONG)at, nullptr, FILE_BEGIN);
    WriteFile(t.file, line.data(), (DWORD)line.size(), &written, nullptr);
}

// Cuts the file at the shared offset after flushing it. Under the named mutex.
void FlushAndCut(TraceFile& t) {
    FlushFileBuffers(t.file);
    SetFilePointer(t.file, (LONG)*t.offset, nullptr, FILE_BEGIN);
    SetEndOfFile(t.file);
}

void Append(TraceFile& t, const std::string& line) {
    if (line.size() > t.viewSize / 2 - 1) return; // too long for the file's half view: dropped
    if (!TakeMutex(t.mutex, INFINITE)) return;
    uint32_t at = *t.offset;
    WriteAt(t, at, line);
    at += (uint32_t)line.size();
    if (at > kMaxSize - t.viewSize) {
        std::printf("Error: Hit trace file maximum size limit\n");
        std::fflush(stdout);
        const std::string notice = Stamp() + "Error: Hit trace file maximum size limit and restarted\r\n";
        WriteAt(t, 0, notice);
        at = (uint32_t)notice.size();
    }
    *t.offset = at;
    const uint32_t now = KrTickCount();
    if (!t.flushTimed) {
        t.flushTimed = true;
        t.lastFlush = now;
    } else if (now - t.lastFlush >= kFlushEveryMs &&
               GetThreadPriority(GetCurrentThread()) <= THREAD_PRIORITY_NORMAL) {
        // Threads above normal priority (the io and timeout threads) leave it to a later line.
        FlushAndCut(t);
        t.lastFlush = now;
    }
    ReleaseMutex(t.mutex);
}

}  // namespace

LOBBEX_API void KrTraceMsg(const char* text) {
    TraceFile& t = State();
    std::lock_guard<std::recursive_mutex> hold(t.lock);
    std::string line = Stamp() + (text ? text : "") + "\r\n";
    if (t.settingUp) {
        t.pending.push_back(std::move(line));
        return;
    }
    if (t.failed) return;
    if (!t.setUp || t.countedPid != GetCurrentProcessId()) {
        // Opening the trace, or a forked child that found it open: either way a process to count.
        t.settingUp = true;
        bool ok = t.setUp ? CountForkedProcess(t) : SetUp(t);
        t.settingUp = false;
        std::vector<std::string> waiting;
        waiting.swap(t.pending);
        if (!ok) {
            t.failed = true; // silently: the trace file cannot be written
            return;
        }
        for (const std::string& w : waiting) Append(t, w);
    }
    Append(t, line);
}

LOBBEX_API void KrTraceClose(void) {
    TraceFile& t = State();
    std::lock_guard<std::recursive_mutex> hold(t.lock);
    if (t.setUp) {
        // Another process may be writing: cut the file only while holding the mutex.
        if (TakeMutex(t.mutex, 10000)) {
            FlushAndCut(t);
            ReleaseMutex(t.mutex);
        }
        CloseHandles(t);
    }
    // The next line opens the trace afresh (the library may be started again); the process is
    // not counted twice.
    t.failed = false;
    t.flushTimed = false;
    t.pending.clear();
}
