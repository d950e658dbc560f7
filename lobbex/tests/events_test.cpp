// Locks, the broadcast condition KrEvent, thread creation and the per-thread error value.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "krerrno.h"
#include "krevent.h"
#include "krlog.h"
#include "krthread.h"
#include "test_machine.h"

namespace {

struct Shared {
    KRLOCK lock;
    KrEvent event;
    int value = 0;
    std::atomic<int> woken{0};
};

uint32_t Waiters(KrEvent* e) {
    KrLockEnter(&e->lock);
    uint32_t n = e->waiters;
    KrLockLeave(&e->lock);
    return n;
}

// Waits (with a guard against a hang, not a time measurement) until `n` threads wait.
bool UntilWaiting(KrEvent* e, uint32_t n) {
    for (int i = 0; i < 20000; ++i) {
        if (Waiters(e) == n) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

TEST(KrEvents, ASignalWithNobodyWaitingIsLost) {
    Shared s;
    KrLockInit(&s.lock, 0);
    KrEventCreate(&s.event, nullptr);
    EXPECT_EQ(s.event.state, KR_EVENT_RESET);
    KrEventSignal(&s.event);
    EXPECT_EQ(s.event.state, KR_EVENT_RESET);
    KrLockEnter(&s.lock);
    const KRTIME shortWait = {0, 20, 0};
    EXPECT_EQ(KrEventWait(&s.event, &s.lock, &shortWait), 0) << "times out: the signal was not kept";
    KrLockLeave(&s.lock);
    EXPECT_EQ(s.event.waiters, 0u);
    KrEventDestroy(&s.event);
    EXPECT_EQ(s.event.state, KR_EVENT_DESTROYED);
    KrLockDestroy(&s.lock);
}

DWORD WaitOnce(void* p) {
    auto* s = static_cast<Shared*>(p);
    KrLockEnter(&s->lock);
    if (KrEventWait(&s->event, &s->lock, nullptr) == 1) s->woken++;
    KrLockLeave(&s->lock);
    return 0;
}

TEST(KrEvents, OneSignalWakesEveryWaiterAndTheLastOneResetsIt) {
    Shared s;
    KrLockInit(&s.lock, 0);
    KrEventCreate(&s.event, nullptr);
    HANDLE a = KrThreadCreate(WaitOnce, &s, 1, 0);
    HANDLE b = KrThreadCreate(WaitOnce, &s, 1, 0);
    ASSERT_TRUE(UntilWaiting(&s.event, 2));
    KrEventSignal(&s.event);
    WaitForSingleObject(a, INFINITE);
    WaitForSingleObject(b, INFINITE);
    EXPECT_EQ(s.woken, 2);
    EXPECT_EQ(s.event.state, KR_EVENT_RESET);
    EXPECT_EQ(s.event.waiters, 0u);
    EXPECT_EQ(WaitForSingleObject(s.event.event, 0), WAIT_TIMEOUT) << "the event object is reset";
    CloseHandle(a);
    CloseHandle(b);
    KrEventDestroy(&s.event);
    KrLockDestroy(&s.lock);
}

// A consumer waits for values under the shared lock; the producer can only hand them over
// because the waiter gives the lock up while it waits.
DWORD Consume(void* p) {
    auto* s = static_cast<Shared*>(p);
    KrLockEnter(&s->lock);
    int taken = 0;
    while (taken < 1000) {
        while (s->value == 0) KrEventWait(&s->event, &s->lock, nullptr); // re-test after waking
        s->value = 0;
        ++taken;
        KrEventSignal(&s->event);
    }
    KrLockLeave(&s->lock);
    s->woken = taken;
    return 0;
}

TEST(KrEvents, WaitersGiveTheCallersLockUpAndHandOversAreNotLost) {
    Shared s;
    KrLockInit(&s.lock, 0);
    KrEventCreate(&s.event, nullptr);
    HANDLE consumer = KrThreadCreate(Consume, &s, 1, 0x20000);
    KrLockEnter(&s.lock);
    for (int i = 0; i < 1000; ++i) {
        while (s.value != 0) KrEventWait(&s.event, &s.lock, nullptr);
        s.value = 1;
        KrEventSignal(&s.event);
    }
    KrLockLeave(&s.lock);
    WaitForSingleObject(consumer, INFINITE);
    CloseHandle(consumer);
    EXPECT_EQ(s.woken, 1000);
    KrEventDestroy(&s.event);
    KrLockDestroy(&s.lock);
}

DWORD SetOwnErrno(void* p) {
    auto* seen = static_cast<uint32_t*>(p);
    seen[0] = KrErrorGet();
    KrErrorSet(0x30003);
    seen[1] = KrErrorGet();
    return 0;
}

TEST(KrErrno, IsKeptPerThreadAndReadingZeroLogsNothing) {
    const std::string dir = kt::FreshTraceDir();
    KrErrorInit();
    KrErrorSet(0x10002);
    uint32_t seen[2] = {9, 9};
    HANDLE t = KrThreadCreate(SetOwnErrno, seen, 0, 0);
    EXPECT_EQ(KrErrorGet(), 0u) << "creating a thread ends with no error";
    KrErrorSet(0x10002);
    ResumeThread(t);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_EQ(seen[0], 0u) << "a new thread starts with no error";
    EXPECT_EQ(seen[1], 0x30003u);
    EXPECT_EQ(KrErrorGet(), 0x10002u) << "the other thread's value is its own";
    KrErrorSet(0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(KrErrorGet(), 0u);
    KrTraceMsg("marker");
    EXPECT_EQ(kt::ReadFile(dir + "/krtrace.txt").find("KrErrorGet"), std::string::npos);
    KrTraceClose();
}

TEST(KrErrno, WithoutItsKeyReadsZeroAndSettingIsReported) {
    const std::string dir = kt::FreshTraceDir();
    KrErrorCleanup();
    EXPECT_EQ(KrErrorGet(), 0u);
    KrErrorSet(5);
    EXPECT_EQ(KrErrorGet(), 0u);
    EXPECT_NE(kt::ReadFile(dir + "/krtrace.txt").find("KrErrorSet: Failed to set per-thead error 0x00000005 on thread"),
              std::string::npos);
    KrErrorInit();
    KrErrorSet(5);
    EXPECT_EQ(KrErrorGet(), 5u);
    KrTraceClose();
}

DWORD ReportRan(void* p) {
    *static_cast<std::atomic<bool>*>(p) = true;
    return 3;
}

TEST(KrThreads, CreateRunsOrHoldsTheThreadAndGivesAHandle) {
    std::atomic<bool> ran{false};
    HANDLE held = KrThreadCreate(ReportRan, &ran, 0, 0x20000);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(WaitForSingleObject(held, 0), WAIT_TIMEOUT);
    EXPECT_FALSE(ran);
    ResumeThread(held);
    WaitForSingleObject(held, INFINITE);
    EXPECT_TRUE(ran);
    DWORD code = 0;
    GetExitCodeThread(held, &code);
    EXPECT_EQ(code, 3u);
    EXPECT_TRUE(CloseHandle(held));
}

}  // namespace
