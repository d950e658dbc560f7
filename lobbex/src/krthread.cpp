// Thread creation and the per-thread keys of the library (the shared header krthread).
#include "krthread.h"

#include "krerrno.h"
#include "krlog.h"

namespace {
constexpr char kKrModule[] = "krthread";
}

HANDLE KrThreadCreate(KRTHREAD_ROUTINE routine, void* argument, int run, uint32_t stackSize) {
    DWORD id = 0;
    HANDLE created = CreateThread(nullptr, stackSize, routine, argument, run ? 0u : (DWORD)CREATE_SUSPENDED, &id);
    HANDLE thread = nullptr;
    if (!created) {
        KR_LOG(KrAlert, "KrThreadCreate: Failed to create thread.");
    } else if (!DuplicateHandle(GetCurrentProcess(), created, GetCurrentProcess(), &thread, 0, FALSE,
                                DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE)) {
        KR_LOG(KrAlert, "KrThreadCreate: Failed to duplicate thread pseudo handle.");
        thread = created;
    }
    KrErrorSet(KRERR_NONE);
    return thread;
}

int KrThreadKeyCreate(KRTHREAD_KEY* key) {
    *key = TlsAlloc();
    return *key == TLS_OUT_OF_INDEXES ? 1 : 0;
}

void KrThreadKeyDestroy(KRTHREAD_KEY key) {
    if (!TlsFree(key)) KR_LOG(KrErr, "KrThreadKeyDestroy:  Free of key 0x%x failed.", (unsigned)key);
}

int KrThreadSetSpecific(KRTHREAD_KEY key, void* value) {
    return TlsSetValue(key, value) ? 0 : 1;
}

void* KrThreadGetSpecific(KRTHREAD_KEY key) {
    return TlsGetValue(key);
}
