// The per-thread error value KrErrno, kept in a thread key made by KrErrorInit.
#include "krerrno.h"

#include <atomic>

#include "krlog.h"
#include "krthread.h"

namespace {
constexpr char kKrModule[] = "krerrno";
std::atomic<KRTHREAD_KEY> g_KrErrnoKey{KR_THREAD_NO_KEY};
}  // namespace

void KrErrorInit(void) {
    if (g_KrErrnoKey.load() != KR_THREAD_NO_KEY) return;
    KRTHREAD_KEY key;
    if (KrThreadKeyCreate(&key) != 0) {
        KR_LOG(KrCrit, "KrErrorInit: Failed to create per-thead errno key.");
        return;
    }
    KRTHREAD_KEY none = KR_THREAD_NO_KEY;
    if (!g_KrErrnoKey.compare_exchange_strong(none, key)) KrThreadKeyDestroy(key);
}

void KrErrorCleanup(void) {
    KRTHREAD_KEY key = g_KrErrnoKey.exchange(KR_THREAD_NO_KEY);
    if (key != KR_THREAD_NO_KEY) KrThreadKeyDestroy(key);
}

void KrErrorSet(uint32_t value) {
    KRTHREAD_KEY key = g_KrErrnoKey.load();
    if (key == KR_THREAD_NO_KEY || KrThreadSetSpecific(key, (void*)(uintptr_t)value) != 0)
        KR_LOG(KrCrit, "KrErrorSet: Failed to set per-thead error 0x%08x on thread 0x%x.", value,
               (unsigned)GetCurrentThreadId());
}

LOBBEX_API uint32_t KrErrorGet(void) {
    // A thread's value is read straight from its key; 0 is the ordinary "no error", not a
    // failed read, so nothing is logged.
    KRTHREAD_KEY key = g_KrErrnoKey.load();
    if (key == KR_THREAD_NO_KEY) return KRERR_NONE;
    return (uint32_t)(uintptr_t)KrThreadGetSpecific(key);
}
