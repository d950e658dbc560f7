// Threads, events, waits, critical sections, thread-local slots, interlocked operations, and the
// named mutexes and mappings shared between processes (checked with forked children).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "registry.h"
#include "winthread.h"

namespace {

// Runs `body` in a forked child and returns its exit code (-1 when it did not exit normally).
int InChild(const std::function<int()>& body) {
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// A name no other test run shares.
std::string UniqueName(const char* stem) {
    return std::string(stem) + "." + std::to_string(getpid()) + "." +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

DWORD ReportOwnId(void* out) {
    *static_cast<DWORD*>(out) = GetCurrentThreadId();
    return 77;
}

TEST(Threads, RunReportTheirIdAndExitCodeAndAreJoinedByTheWait) {
    DWORD seen = 0, id = 0;
    HANDLE t = CreateThread(nullptr, 0x20000, ReportOwnId, &seen, 0, &id);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(seen, id);
    EXPECT_NE(id, GetCurrentThreadId());
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, 77u);
    EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_OBJECT_0) << "an ended thread stays signalled";
    EXPECT_TRUE(CloseHandle(t));
}

struct SuspendedProbe {
    std::atomic<bool> ran{false};
    std::atomic<int> priority{-99};
};
DWORD ProbeRun(void* p) {
    auto* probe = static_cast<SuspendedProbe*>(p);
    probe->priority = GetThreadPriority(GetCurrentThread());
    probe->ran = true;
    return 0;
}

TEST(Threads, SuspendedStartWaitsForResumeAndPriorityIsRecorded) {
    SuspendedProbe probe;
    HANDLE t = CreateThread(nullptr, 0, ProbeRun, &probe, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_TIMEOUT);
    EXPECT_FALSE(probe.ran);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, (DWORD)STILL_ACTIVE);
    EXPECT_TRUE(SetThreadPriority(t, THREAD_PRIORITY_ABOVE_NORMAL));
    EXPECT_EQ(GetThreadPriority(t), THREAD_PRIORITY_ABOVE_NORMAL);
    EXPECT_EQ(ResumeThread(t), 1u);
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(probe.ran);
    EXPECT_EQ(probe.priority, THREAD_PRIORITY_ABOVE_NORMAL);
    CloseHandle(t);
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
}

DWORD Nothing(void*) {
    return 0;
}

TEST(Threads, ADuplicatedHandleOutlivesItsClosedSource) {
    HANDLE t = CreateThread(nullptr, 0, Nothing, nullptr, CREATE_SUSPENDED, nullptr);
    HANDLE copy = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), t, GetCurrentProcess(), &copy, 0, FALSE,
                                DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE));
    EXPECT_FALSE(CloseHandle(t)) << "the source was closed by the duplication";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    ResumeThread(copy);
    EXPECT_EQ(WaitForSingleObject(copy, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(copy));
}

TEST(Handles, UnknownAndClosedHandlesAreRefused) {
    HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_TRUE(CloseHandle(e));
    EXPECT_FALSE(CloseHandle(e));
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_FAILED);
    EXPECT_FALSE(SetEvent(e));
    EXPECT_FALSE(CloseHandle((HANDLE)(uintptr_t)0x12345678));
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
}

// ---- events and waits ----

TEST(Events, ManualResetReleasesEveryWaitUntilResetAutoResetOnlyOne) {
    struct Case {
        BOOL manual;
        DWORD secondWait;
    } cases[] = {{TRUE, WAIT_OBJECT_0}, {FALSE, WAIT_TIMEOUT}};
    for (const Case& c : cases) {
        HANDLE e = CreateEventA(nullptr, c.manual, FALSE, nullptr);
        EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
        EXPECT_TRUE(SetEvent(e));
        EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(e, 0), c.secondWait) << "manual=" << c.manual;
        EXPECT_TRUE(ResetEvent(e));
        EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
        CloseHandle(e);
    }
    HANDLE initially = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(initially, 0), WAIT_OBJECT_0);
    CloseHandle(initially);
}

struct Relay {
    HANDLE go;
    HANDLE done;
    std::atomic<int> woken{0};
};
DWORD WaitAndReport(void* p) {
    auto* r = static_cast<Relay*>(p);
    if (WaitForSingleObject(r->go, INFINITE) == WAIT_OBJECT_0) r->woken++;
    return 0;
}

TEST(Events, ASetWakesEveryBlockedWaiterOfAManualEvent) {
    Relay r;
    r.go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::vector<HANDLE> threads;
    for (int i = 0; i < 4; ++i) threads.push_back(CreateThread(nullptr, 0, WaitAndReport, &r, 0, nullptr));
    SetEvent(r.go);
    EXPECT_EQ(WaitForMultipleObjects((DWORD)threads.size(), threads.data(), TRUE, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(r.woken, 4);
    for (HANDLE t : threads) CloseHandle(t);
    CloseHandle(r.go);
}

TEST(Events, NamesAreSharedWithinTheProcess) {
    std::string name = UniqueName("event");
    HANDLE a = CreateEventA(nullptr, TRUE, FALSE, name.c_str());
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    HANDLE b = CreateEventA(nullptr, TRUE, FALSE, name.c_str());
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    SetEvent(a);
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_OBJECT_0);
    CloseHandle(a);
    CloseHandle(b);
}

TEST(Waits, AnyReturnsTheSignalledIndexAllNeedsEveryObject) {
    HANDLE e[3];
    for (HANDLE& h : e) h = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_TIMEOUT);
    SetEvent(e[2]);
    EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForSingleObject(e[2], 0), WAIT_TIMEOUT) << "the auto-reset event was taken";

    SetEvent(e[0]);
    SetEvent(e[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, e, TRUE, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(e[0], 0), WAIT_OBJECT_0) << "a failed wait-all takes nothing";
    SetEvent(e[0]);
    SetEvent(e[2]);
    EXPECT_EQ(WaitForMultipleObjects(3, e, TRUE, 0), WAIT_OBJECT_0);
    for (HANDLE h : e) EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_TIMEOUT);
    for (HANDLE h : e) CloseHandle(h);
    EXPECT_EQ(WaitForMultipleObjects(0, e, FALSE, 0), WAIT_FAILED);
}

// ---- critical sections, thread-local slots, interlocked ----

struct Counter {
    CRITICAL_SECTION lock;
    long value = 0;
    volatile LONG atomicValue = 0;
};
DWORD Bump(void* p) {
    auto* c = static_cast<Counter*>(p);
    for (int i = 0; i < 20000; ++i) {
        EnterCriticalSection(&c->lock);
        EnterCriticalSection(&c->lock); // recursive for its owner
        ++c->value;
        LeaveCriticalSection(&c->lock);
        LeaveCriticalSection(&c->lock);
        InterlockedIncrement(&c->atomicValue);
    }
    return 0;
}

TEST(CriticalSections, AreRecursiveAndExcludeOtherThreads) {
    Counter c;
    InitializeCriticalSection(&c.lock);
    HANDLE t[4];
    for (HANDLE& h : t) h = CreateThread(nullptr, 0, Bump, &c, 0, nullptr);
    WaitForMultipleObjects(4, t, TRUE, INFINITE);
    EXPECT_EQ(c.value, 80000);
    EXPECT_EQ(c.atomicValue, 80000);
    EnterCriticalSection(&c.lock);
    EXPECT_TRUE(TryEnterCriticalSection(&c.lock));
    LeaveCriticalSection(&c.lock);
    LeaveCriticalSection(&c.lock);
    DeleteCriticalSection(&c.lock);
    for (HANDLE h : t) CloseHandle(h);
}

TEST(Interlocked, OperationsReturnWhatWindowsReturns) {
    volatile LONG v = 5;
    EXPECT_EQ(InterlockedIncrement(&v), 6);
    EXPECT_EQ(InterlockedDecrement(&v), 5);
    EXPECT_EQ(InterlockedExchange(&v, 9), 5);
    EXPECT_EQ(InterlockedExchangeAdd(&v, 3), 9);
    EXPECT_EQ(v, 12);
    EXPECT_EQ(InterlockedCompareExchange(&v, 1, 7), 12) << "no exchange when the comparand differs";
    EXPECT_EQ(v, 12);
    EXPECT_EQ(InterlockedCompareExchange(&v, 1, 12), 12);
    EXPECT_EQ(v, 1);
}

struct SlotProbe {
    DWORD slot;
    void* seenBefore = (void*)1;
    void* seenAfter = nullptr;
};
DWORD UseSlot(void* p) {
    auto* s = static_cast<SlotProbe*>(p);
    s->seenBefore = TlsGetValue(s->slot);
    TlsSetValue(s->slot, (void*)(uintptr_t)0xBEEF);
    s->seenAfter = TlsGetValue(s->slot);
    return 0;
}

TEST(ThreadLocalSlots, HoldOneValuePerThread) {
    SlotProbe s;
    s.slot = TlsAlloc();
    ASSERT_NE(s.slot, TLS_OUT_OF_INDEXES);
    EXPECT_TRUE(TlsSetValue(s.slot, (void*)(uintptr_t)7));
    HANDLE t = CreateThread(nullptr, 0, UseSlot, &s, 0, nullptr);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_EQ(s.seenBefore, nullptr) << "a new thread starts empty";
    EXPECT_EQ(s.seenAfter, (void*)(uintptr_t)0xBEEF);
    SetLastError(1234);
    EXPECT_EQ(TlsGetValue(s.slot), (void*)(uintptr_t)7);
    EXPECT_EQ(GetLastError(), 0u) << "a successful read clears the last error";
    EXPECT_TRUE(TlsFree(s.slot));
    EXPECT_FALSE(TlsFree(TLS_OUT_OF_INDEXES));
}

// ---- named mutexes and mappings ----

TEST(NamedMutex, IsRecursiveOwnedAndOpenedByName) {
    std::string name = UniqueName("mutex");
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    HANDLE m = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    HANDLE again = CreateMutexA(nullptr, FALSE, name.c_str());
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    HANDLE opened = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
    EXPECT_NE(opened, nullptr);

    EXPECT_EQ(WaitForSingleObject(m, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(opened, 0), WAIT_OBJECT_0) << "the owner may take it again";
    EXPECT_TRUE(ReleaseMutex(again));
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_FALSE(ReleaseMutex(m)) << "no longer owned";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_OWNER);
    for (HANDLE h : {m, again, opened}) CloseHandle(h);
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()), nullptr) << "gone with its last handle";
}

TEST(NamedMutex, ExcludesOtherProcessesAndTimesOut) {
    std::string name = UniqueName("mutex");
    HANDLE m = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(m, nullptr);
    int code = InChild([&] {
        HANDLE mine = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
        if (!mine) return 10;
        return WaitForSingleObject(mine, 50) == WAIT_TIMEOUT ? 0 : 11;
    });
    EXPECT_EQ(code, 0) << "held by the parent, so the child's wait must time out";
    ReleaseMutex(m);
    CloseHandle(m);
}

TEST(NamedMutex, AnOwnerThatEndsHandsItOverAbandoned) {
    std::string name = UniqueName("mutex");
    HANDLE m = CreateMutexA(nullptr, FALSE, name.c_str());
    int code = InChild([&] {
        HANDLE mine = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
        return mine && WaitForSingleObject(mine, INFINITE) == WAIT_OBJECT_0 ? 0 : 1; // ends holding it
    });
    ASSERT_EQ(code, 0);
    EXPECT_EQ(WaitForSingleObject(m, 1000), WAIT_ABANDONED);
    EXPECT_TRUE(ReleaseMutex(m)) << "an abandoned mutex is owned by the waiter";
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
    ReleaseMutex(m);
    CloseHandle(m);
}

TEST(NamedMapping, IsSharedWithOtherProcessesUnderTheMutex) {
    std::string name = UniqueName("shared");
    HANDLE m = CreateMutexA(nullptr, FALSE, name.c_str());
    HANDLE map = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0x10000, name.c_str());
    ASSERT_NE(map, nullptr);
    auto* counter = static_cast<volatile uint32_t*>(MapViewOfFile(map, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(counter, nullptr);
    EXPECT_EQ(*counter, 0u) << "a new mapping is zero-filled";

    constexpr int kChildren = 3, kRounds = 500;
    std::vector<pid_t> children;
    for (int c = 0; c < kChildren; ++c) {
        pid_t pid = fork();
        if (pid == 0) {
            HANDLE cm = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
            HANDLE cmap = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
            auto* shared = static_cast<volatile uint32_t*>(MapViewOfFile(cmap, FILE_MAP_ALL_ACCESS, 0, 0, 4));
            if (!cm || !shared) _exit(1);
            for (int i = 0; i < kRounds; ++i) {
                WaitForSingleObject(cm, INFINITE);
                uint32_t v = *shared;
                *shared = v + 1;
                ReleaseMutex(cm);
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(*counter, (uint32_t)(kChildren * kRounds));
    EXPECT_TRUE(UnmapViewOfFile((const void*)counter));
    CloseHandle(map);
    CloseHandle(m);
}

TEST(NamedMapping, ANameLeftByEndedProcessesIsMadeAfresh) {
    std::string name = UniqueName("stale");
    int code = InChild([&] {
        HANDLE map = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0x10000, name.c_str());
        auto* v = static_cast<uint32_t*>(MapViewOfFile(map, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        if (!v) return 1;
        *v = 42;
        return 0; // ends without closing anything
    });
    ASSERT_EQ(code, 0);
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name.c_str()), nullptr);
    HANDLE map = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0x10000, name.c_str());
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS) << "made afresh, not found existing";
    auto* v = static_cast<uint32_t*>(MapViewOfFile(map, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(*v, 0u);
    *v = 7;
    // While this process holds it, another process finds it with its contents.
    code = InChild([&] {
        HANDLE again = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0x10000, name.c_str());
        if (GetLastError() != ERROR_ALREADY_EXISTS) return 2;
        auto* seen = static_cast<uint32_t*>(MapViewOfFile(again, FILE_MAP_READ, 0, 0, 4));
        return seen && *seen == 7 ? 0 : 3;
    });
    EXPECT_EQ(code, 0);
    UnmapViewOfFile(v);
    CloseHandle(map);
}

TEST(NamedMapping, ViewsMustStartOnTheGranularityAndStayInside) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    EXPECT_EQ(info.dwAllocationGranularity, 0x10000u);
    HANDLE map = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0x20000, nullptr);
    ASSERT_NE(map, nullptr);
    struct Case {
        DWORD offset;
        SIZE_T bytes;
        bool ok;
    } cases[] = {
        {0, 0, true}, {0x10000, 0x10000, true}, {0x10000, 0, true}, {0x1000, 16, false},
        {0x20000, 16, false}, {0x10000, 0x10001, false},
    };
    for (const Case& c : cases) {
        void* view = MapViewOfFile(map, FILE_MAP_ALL_ACCESS, 0, c.offset, c.bytes);
        EXPECT_EQ(view != nullptr, c.ok) << std::hex << c.offset << " " << c.bytes;
        if (view) {
            EXPECT_TRUE(FlushViewOfFile(view, 0));
            EXPECT_TRUE(UnmapViewOfFile(view));
        }
    }
    EXPECT_FALSE(UnmapViewOfFile(&info));
    EXPECT_EQ(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
    CloseHandle(map);
}

}  // namespace
