// The request layer's event trace (see krtrace.h): the file "krrq_trc_<pid>.txt" in the
// install's system directory, opened by the first switch-on, closed by the last switch-off, one
// line per event.
#include "krtrace.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include "krlog.h"
#include "krreg.h"
#include "krtime.h"
#include "winfile.h"

namespace {

constexpr char kKrModule[] = "krtrace";

struct RequestTrace {
    std::mutex lock; // the file and the open count
    HANDLE file = INVALID_HANDLE_VALUE;
    int openCount = 0;
    std::atomic<bool> enabled{false};
    std::atomic<uint32_t> mask{0};
};

RequestTrace& State() {
    static RequestTrace* t = new RequestTrace;
    return *t;
}

}  // namespace

void KrTraceModuleInit(void) {
    RequestTrace& t = State();
    bool failed = false;
    {
        std::lock_guard<std::mutex> hold(t.lock);
        if (++t.openCount == 1) {
            char dir[1024] = {};
            std::string path;
            if (LookupDirectory("System Directory", "Root Directory", "System", dir, sizeof dir, nullptr) == KR_DIR_FOUND) {
                char name[32];
                std::snprintf(name, sizeof name, "krrq_trc_%lx.txt", (unsigned long)GetCurrentProcessId());
                path = std::string(dir) + "\\" + name;
            }
            if (!path.empty() && path.size() <= 1023)
                t.file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            failed = t.file == INVALID_HANDLE_VALUE;
        }
    }
    if (failed) KR_LOG(KrAlert, "KrTraceModuleInit: Failed to open trace file.");
    t.enabled = true;
}

void KrTraceModuleCleanup(void) {
    RequestTrace& t = State();
    t.enabled = false;
    std::lock_guard<std::mutex> hold(t.lock);
    if (t.openCount > 0 && --t.openCount == 0 && t.file != INVALID_HANDLE_VALUE) {
        CloseHandle(t.file);
        t.file = INVALID_HANDLE_VALUE;
    }
}

bool KrTraceEnabled(void) {
    return State().enabled.load(std::memory_order_relaxed);
}

void KrTraceEvent(const char* tag, uintptr_t handle, uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4) {
    RequestTrace& t = State();
    if (!t.enabled) return;
    char line[128];
    const unsigned thread = (unsigned)(GetCurrentThreadId() & 0xFFFF);
    const unsigned tick = KrTickCount();
    int n;
    if (handle == KR_TRACE_MODULE_WIDE)
        n = std::snprintf(line, sizeof line, "%8.8s[%04x-%08x]      %08x %08x %08x %08x\n", tag, thread, tick, w1, w2, w3,
                          w4);
    else
        n = std::snprintf(line, sizeof line, "%8.8s[%04x:%04x-%08x] %08x %08x %08x %08x\n", tag, thread,
                          (unsigned)(handle & 0xFFFF), tick, w1, w2, w3, w4);
    std::lock_guard<std::mutex> hold(t.lock);
    if (t.file == INVALID_HANDLE_VALUE || n <= 0) return; // the file could not be opened: dropped
    DWORD written = 0;
    WriteFile(t.file, line, (DWORD)n, &written, nullptr);
}

void KrTraceMaskSet(unsigned bit) {
    if (bit < 32) State().mask.fetch_or(1u << bit);
}

void KrTraceMaskClear(unsigned bit) {
    if (bit < 32) State().mask.fetch_and(~(1u << bit));
}

uint32_t KrTraceMaskGet(void) {
    return State().mask.load();
}
