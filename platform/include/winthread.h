// Windows threads and synchronisation as the network library uses them: kernel handles, threads
// with a recorded priority, critical sections, manual and auto-reset events with timed waits,
// thread-local storage slots, interlocked operations, and named mutexes and page-file mappings
// that are shared between processes. Our own declarations, holding only what callers use;
// implemented over pthreads and POSIX shared memory in platform/src/win32_thread.cpp.
//
// Waits measure real time (a monotonic clock) on every backend: they serve threads that talk to
// other processes, never the game's virtual frame clock.
#pragma once
#include "win32.h"

typedef uint64_t ULONG64;
typedef uintptr_t SIZE_T;
typedef DWORD (*LPTHREAD_START_ROUTINE)(void* parameter);

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
enum : DWORD { INFINITE = 0xFFFFFFFFu };

// Results of the wait functions.
enum : DWORD {
    WAIT_OBJECT_0 = 0x00000000u,
    WAIT_ABANDONED = 0x00000080u, // a mutex whose owner ended without releasing it (now owned)
    WAIT_TIMEOUT = 0x00000102u,
    WAIT_FAILED = 0xFFFFFFFFu,
};
enum : DWORD { MAXIMUM_WAIT_OBJECTS = 64 };

// Error codes of this family (GetLastError). The registry's codes live in registry.h.
enum : DWORD {
    ERROR_NOT_ENOUGH_MEMORY = 8,
    ERROR_NOT_SUPPORTED = 50,
    ERROR_FILE_EXISTS = 80,
    ERROR_ALREADY_EXISTS = 183,
    ERROR_NOT_OWNER = 288,
};
PLATAPI DWORD GetLastError(void);
PLATAPI void SetLastError(DWORD error);

// Handles. Every handle made here is closed with CloseHandle; the object goes away with its last
// handle (and, for a thread, once the thread has ended).
PLATAPI BOOL CloseHandle(HANDLE object);
enum : DWORD { DUPLICATE_CLOSE_SOURCE = 0x1, DUPLICATE_SAME_ACCESS = 0x2 };
// Only handles of this process, duplicated into this process.
PLATAPI BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, HANDLE* target,
                             DWORD access, BOOL inherit, DWORD options);
PLATAPI HANDLE GetCurrentProcess(void); // pseudo handle
PLATAPI HANDLE GetCurrentThread(void);  // pseudo handle
PLATAPI DWORD GetCurrentProcessId(void);
PLATAPI DWORD GetCurrentThreadId(void);

// Threads. A thread handle is signalled when the thread has ended; waiting on it also joins it.
enum : DWORD { CREATE_SUSPENDED = 0x4, STILL_ACTIVE = 259 };
enum : int {
    THREAD_PRIORITY_IDLE = -15,
    THREAD_PRIORITY_LOWEST = -2,
    THREAD_PRIORITY_BELOW_NORMAL = -1,
    THREAD_PRIORITY_NORMAL = 0,
    THREAD_PRIORITY_ABOVE_NORMAL = 1,
    THREAD_PRIORITY_HIGHEST = 2,
    THREAD_PRIORITY_TIME_CRITICAL = 15,
    THREAD_PRIORITY_ERROR_RETURN = 0x7FFFFFFF,
};
// stackSize is a minimum: every thread gets at least the usual 1 MiB reserve.
PLATAPI HANDLE CreateThread(void* security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start, void* parameter,
                            DWORD flags, DWORD* threadId);
PLATAPI DWORD ResumeThread(HANDLE thread);
PLATAPI BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
// Priorities are recorded, not applied: code asks them back (GetThreadPriority) to decide what a
// thread may do. Threads not made by CreateThread run at THREAD_PRIORITY_NORMAL.
PLATAPI BOOL SetThreadPriority(HANDLE thread, int priority);
PLATAPI int GetThreadPriority(HANDLE thread);

// Critical sections: recursive locks for the threads of one process.
struct CRITICAL_SECTION {
    void* impl;
};
PLATAPI void InitializeCriticalSection(CRITICAL_SECTION* section);
PLATAPI void DeleteCriticalSection(CRITICAL_SECTION* section);
PLATAPI void EnterCriticalSection(CRITICAL_SECTION* section);
PLATAPI BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);
PLATAPI void LeaveCriticalSection(CRITICAL_SECTION* section);

// Events. A name, when given, is shared within the process (the same name gives the same event
// and ERROR_ALREADY_EXISTS).
PLATAPI HANDLE CreateEventA(void* security, BOOL manualReset, BOOL initialState, LPCSTR name);
PLATAPI BOOL SetEvent(HANDLE event);
PLATAPI BOOL ResetEvent(HANDLE event);

// Waits on events, threads and mutexes. WaitForMultipleObjects takes events and threads only.
PLATAPI DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
PLATAPI DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD milliseconds);

// Mutexes, owned by a thread and recursive. A named mutex is shared by every process that opens
// the name; one whose owner ended (even another process) is handed over with WAIT_ABANDONED.
// A named object lives while some process holds a handle to it: a name left over from processes
// that have all ended is made afresh.
enum : DWORD { SYNCHRONIZE = 0x00100000u, MUTEX_ALL_ACCESS = 0x001F0001u };
PLATAPI HANDLE CreateMutexA(void* security, BOOL initialOwner, LPCSTR name);
PLATAPI HANDLE OpenMutexA(DWORD access, BOOL inherit, LPCSTR name);
PLATAPI BOOL ReleaseMutex(HANDLE mutex);

// File mappings over the page file (file handle INVALID_HANDLE_VALUE), named or not; views are
// shared between every process that maps the same name. Mappings over files are not offered.
enum : DWORD { PAGE_READONLY = 0x02, PAGE_READWRITE = 0x04 };
enum : DWORD { FILE_MAP_WRITE = 0x2, FILE_MAP_READ = 0x4, FILE_MAP_ALL_ACCESS = 0xF001F };
PLATAPI HANDLE CreateFileMappingA(HANDLE file, void* security, DWORD protect, DWORD sizeHigh, DWORD sizeLow,
                                  LPCSTR name);
PLATAPI HANDLE OpenFileMappingA(DWORD access, BOOL inherit, LPCSTR name);
// offsets are multiples of the allocation granularity; bytes 0 maps to the end of the mapping.
PLATAPI void* MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes);
PLATAPI BOOL UnmapViewOfFile(const void* view);
PLATAPI BOOL FlushViewOfFile(const void* view, SIZE_T bytes);

// The allocation granularity is 64 KiB, as on Windows, whatever the machine's page size.
struct SYSTEM_INFO {
    DWORD dwPageSize;
    void* lpMinimumApplicationAddress;
    void* lpMaximumApplicationAddress;
    uintptr_t dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
};
PLATAPI void GetSystemInfo(SYSTEM_INFO* info);

// Thread-local storage slots.
enum : DWORD { TLS_OUT_OF_INDEXES = 0xFFFFFFFFu };
PLATAPI DWORD TlsAlloc(void);
PLATAPI BOOL TlsFree(DWORD index);
PLATAPI void* TlsGetValue(DWORD index); // sets the last error to 0 on success
PLATAPI BOOL TlsSetValue(DWORD index, void* value);

// Interlocked operations: sequentially consistent, on 32-bit values.
inline LONG InterlockedIncrement(volatile LONG* value) {
    return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(volatile LONG* value) {
    return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchange(volatile LONG* target, LONG value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchangeAdd(volatile LONG* target, LONG value) {
    return __atomic_fetch_add(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand) {
    __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}
