// Timers on the timeout thread, driven by a test clock: the time only moves when a test moves it,
// and each check waits until the thread has finished a pass at that time. One-shot and periodic
// timers, their order and catch-up, duplicates and limits, cancelling (also a timer whose
// callback is about to run), callbacks that arm and cancel, and the module's stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <vector>

#include "krerrno.h"
#include "krlog.h"
#include "krtime.h"
#include "krtmo.h"

namespace {

std::atomic<uint32_t> g_now{0};
uint32_t TestTick() {
    return g_now.load();
}

// What the callbacks saw, and how far the thread has got.
struct Record {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::pair<uintptr_t, uint32_t>> fired; // argument, test time when it ran
    KRTIME lastPass = {0, 0, 0};
    uint64_t passes = 0;
};
Record* g_record = nullptr;

void PassDone(const KRTIME* now) {
    std::lock_guard<std::mutex> hold(g_record->lock);
    g_record->lastPass = *now;
    g_record->passes++;
    g_record->changed.notify_all();
}

void Fire(uintptr_t argument) {
    std::lock_guard<std::mutex> hold(g_record->lock);
    g_record->fired.emplace_back(argument, g_now.load());
    g_record->changed.notify_all();
}

class Timers : public ::testing::Test {
protected:
    void SetUp() override {
        g_record = &record_;
        g_now = 50000;
        KrTimeSetTickSource(TestTick);
        KrTmoSetPassHook(PassDone);
        KrErrorInit();
        KrTimeModuleInit();
    }
    void TearDown() override {
        KrTimeModuleCleanup();
        KrTmoSetPassHook(nullptr);
        KrTimeSetTickSource(nullptr);
        g_record = nullptr;
    }

    // Moves the clock `ms` on and waits until the thread has finished a pass at that time.
    void Advance(uint32_t ms) {
        g_now += ms;
        KRTIME target;
        KrGetTime(&target);
        KrTmoWakeup();
        std::unique_lock<std::mutex> hold(record_.lock);
        // The limit only guards against a hung thread; no result depends on it.
        ASSERT_TRUE(record_.changed.wait_for(hold, std::chrono::seconds(20), [&] {
            return KrTimeGreaterEqual(&record_.lastPass, &target);
        })) << "the timeout thread made no pass at the new time";
    }
    // Waits until `count` callbacks have run (without moving the clock).
    void WaitFired(size_t count) {
        std::unique_lock<std::mutex> hold(record_.lock);
        ASSERT_TRUE(record_.changed.wait_for(hold, std::chrono::seconds(20),
                                             [&] { return record_.fired.size() >= count; }));
    }
    std::vector<std::pair<uintptr_t, uint32_t>> Fired() {
        std::lock_guard<std::mutex> hold(record_.lock);
        return record_.fired;
    }
    std::vector<uintptr_t> FiredArguments() {
        std::vector<uintptr_t> out;
        for (auto& f : Fired()) out.push_back(f.first);
        return out;
    }

    Record record_;
};

TEST_F(Timers, OneShotsFireWhenDueInExpiryOrder) {
    std::mt19937 random(12345);
    std::map<uintptr_t, uint32_t> delays;
    const uint32_t start = g_now;
    for (uintptr_t i = 1; i <= 100; ++i) {
        uint32_t delay = 10 + random() % 990;
        if (i == 2) delay = delays[1]; // two timers with the same expiry
        delays[i] = delay;
        ASSERT_EQ(KrTimeout(Fire, i, delay, 0), 0);
    }
    for (uint32_t step = 0; step < 100; ++step) {
        Advance(10);
        const uint32_t now = g_now - start;
        std::set<uintptr_t> due, fired;
        for (auto& [argument, delay] : delays) {
            if (delay <= now) due.insert(argument);
        }
        for (uintptr_t a : FiredArguments()) EXPECT_TRUE(fired.insert(a).second) << "fired twice: " << a;
        ASSERT_EQ(fired, due) << "at +" << now << " ms";
    }
    auto fired = Fired();
    for (size_t i = 1; i < fired.size(); ++i) EXPECT_LE(fired[i - 1].second, fired[i].second);
    for (auto& [argument, at] : fired) {
        EXPECT_GE(at - start, delays[argument]);
        EXPECT_LT(at - start, delays[argument] + 10) << "ran in the first pass after its expiry";
    }
}

TEST_F(Timers, AZeroTimerFiresWithoutTheClockMoving) {
    ASSERT_EQ(KrTimeout(Fire, 7, 0, 0), 0);
    WaitFired(1);
    EXPECT_EQ(Fired()[0], std::make_pair((uintptr_t)7, g_now.load()));
}

TEST_F(Timers, OnePairOneTimerAndParametersChecked) {
    ASSERT_EQ(KrTimeout(Fire, 1, 100, 0), 0);
    KrErrorSet(0);
    EXPECT_EQ(KrTimeout(Fire, 1, 500, 1), 1) << "the pair exists, whatever the interval";
    EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_TIMER_EXISTS);
    EXPECT_EQ(KrTimeout(Fire, 2, 100, 0), 0) << "another argument is another pair";
    struct Case {
        KRTMO_CBF callback;
        uint32_t ms;
        int periodic;
        int result;
    } cases[] = {{Fire, 9, 1, 1}, {Fire, 10, 1, 0}, {nullptr, 100, 0, 1}, {Fire, 9, 0, 0}};
    uintptr_t argument = 100;
    for (const Case& c : cases) {
        KrErrorSet(0);
        EXPECT_EQ(KrTimeout(c.callback, ++argument, c.ms, c.periodic), c.result) << c.ms << " " << c.periodic;
        EXPECT_EQ(KrErrorGet(), c.result ? (uint32_t)KRERR_PARAM : 0u);
    }
    Advance(100);
    auto args = FiredArguments();
    EXPECT_EQ(std::count(args.begin(), args.end(), 1u), 1) << "the first timer kept its 100 ms";
    EXPECT_EQ(std::count(args.begin(), args.end(), 2u), 1);
}

uint32_t g_slowBy = 0;
void SlowPeriodic(uintptr_t argument) {
    Fire(argument);
    if (g_slowBy) {
        g_now += g_slowBy; // the callback takes that long
        g_slowBy = 0;
    }
}

TEST_F(Timers, APeriodicTimerCatchesUpByWholeIntervals) {
    g_slowBy = 35;
    const uint32_t start = g_now;
    ASSERT_EQ(KrTimeout(SlowPeriodic, 1, 10, 1), 0);
    Advance(10); // first run at +10, which takes the clock to +45
    Advance(0);
    auto fired = Fired();
    ASSERT_EQ(fired.size(), 4u) << "+10, then the runs due at +20, +30 and +40 back to back";
    for (size_t i = 1; i < 4; ++i) EXPECT_EQ(fired[i].second - start, 45u);
    Advance(155); // +200
    EXPECT_EQ(Fired().size(), 20u) << "every 10 ms from +10 to +200";
    EXPECT_EQ(KrUntimeout(SlowPeriodic, 1), 0);
    Advance(100);
    EXPECT_EQ(Fired().size(), 20u);
}

void RearmSelf(uintptr_t argument) {
    Fire(argument);
    if (argument < 3) Fire(100 + (uintptr_t)KrTimeout(RearmSelf, argument + 1, 10, 0));
}

std::atomic<int> g_periodicRuns{0};
std::atomic<int> g_untimeoutResult{-1};
void StopMyself(uintptr_t argument) {
    g_periodicRuns++;
    g_untimeoutResult = KrUntimeout(StopMyself, argument);
}

TEST_F(Timers, CallbacksMayArmAndCancelTheirOwnPairs) {
    ASSERT_EQ(KrTimeout(RearmSelf, 1, 10, 0), 0);
    Advance(10);
    Advance(10);
    Advance(10);
    // Each run recorded its argument and what arming the next one gave (100 + result).
    EXPECT_EQ(FiredArguments(), (std::vector<uintptr_t>{1, 100, 2, 100, 3}));

    ASSERT_EQ(KrTimeout(StopMyself, 9, 10, 1), 0);
    Advance(10);
    EXPECT_EQ(g_periodicRuns, 1);
    EXPECT_EQ(g_untimeoutResult, 0) << "a periodic timer is re-armed before its callback runs";
    Advance(100);
    EXPECT_EQ(g_periodicRuns, 1) << "and never fires again once cancelled";
}

TEST_F(Timers, CancelledTimersNeverFire) {
    ASSERT_EQ(KrTimeout(Fire, 1, 100, 0), 0);
    ASSERT_EQ(KrTimeout(Fire, 2, 100, 1), 0);
    EXPECT_EQ(KrUntimeout(Fire, 1), 0);
    EXPECT_EQ(KrUntimeout(Fire, 2), 0);
    Advance(300);
    EXPECT_TRUE(Fired().empty());
    KrErrorSet(0);
    EXPECT_EQ(KrUntimeout(Fire, 1), 1);
    EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_NO_ENTRY);
    EXPECT_EQ(KrUntimeout(nullptr, 1), 1);
    EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_PARAM);
}

struct Latch {
    std::mutex lock;
    std::condition_variable cv;
    bool entered = false;
    bool released = false;
};
Latch* g_latch = nullptr;

void BlockingCallback(uintptr_t argument) {
    {
        std::unique_lock<std::mutex> hold(g_latch->lock);
        g_latch->entered = true;
        g_latch->cv.notify_all();
        g_latch->cv.wait(hold, [] { return g_latch->released; });
    }
    Fire(argument);
}

TEST_F(Timers, ATimerTakenToRunCannotBeCancelledAndItsPairIsFree) {
    Latch latch;
    g_latch = &latch;
    ASSERT_EQ(KrTimeout(BlockingCallback, 5, 10, 0), 0);
    g_now += 10;
    KrTmoWakeup();
    {
        std::unique_lock<std::mutex> hold(latch.lock);
        ASSERT_TRUE(latch.cv.wait_for(hold, std::chrono::seconds(20), [&] { return latch.entered; }));
    }
    // Its record is gone before the callback runs: cancelling finds nothing, and touches nothing.
    KrErrorSet(0);
    EXPECT_EQ(KrUntimeout(BlockingCallback, 5), 1);
    EXPECT_EQ(KrErrorGet(), (uint32_t)KRERR_NO_ENTRY);
    EXPECT_EQ(KrTimeout(BlockingCallback, 5, 50, 0), 0) << "the pair may be armed again";
    {
        std::lock_guard<std::mutex> hold(latch.lock);
        latch.released = true;
        latch.cv.notify_all();
    }
    WaitFired(1);
    Advance(50);
    EXPECT_EQ(FiredArguments(), (std::vector<uintptr_t>{5, 5}));
    g_latch = nullptr;
}

TEST_F(Timers, CancelRacingTheThreadEitherCancelsOrLetsItRunOnce) {
    std::set<uintptr_t> cancelled;
    for (uintptr_t i = 1; i <= 300; ++i) {
        ASSERT_EQ(KrTimeout(Fire, i, 0, 0), 0); // due at once: the thread races the cancel
        if (KrUntimeout(Fire, i) == 0) cancelled.insert(i);
    }
    WaitFired(300 - cancelled.size());
    Advance(10); // a pass that surely started after the last cancel
    std::multiset<uintptr_t> fired;
    for (uintptr_t a : FiredArguments()) fired.insert(a);
    for (uintptr_t i = 1; i <= 300; ++i)
        EXPECT_EQ(fired.count(i), cancelled.count(i) ? 0u : 1u) << i;
}

TEST_F(Timers, StoppingFreesWhatIsLeftAndTheModuleStartsAgain) {
    for (uintptr_t i = 1; i <= 20; ++i) ASSERT_EQ(KrTimeout(Fire, i, 1000 * (uint32_t)i, i % 2), 0);
    KrTimeModuleCleanup(); // joins the thread; the address sanitizer finds any record left
    KrErrorSet(0);
    EXPECT_EQ(KrTimeout(Fire, 1, 10, 0), 1) << "no timers without the module";
    KrTimeModuleInit();
    ASSERT_EQ(KrTimeout(Fire, 1, 10, 0), 0);
    Advance(10);
    EXPECT_EQ(FiredArguments(), (std::vector<uintptr_t>{1}));
}

TEST_F(Timers, InitAndCleanupAreCounted) {
    KrTimeModuleInit(); // second holder
    KrTimeModuleCleanup();
    ASSERT_EQ(KrTimeout(Fire, 3, 10, 0), 0) << "still running for the first holder";
    Advance(10);
    EXPECT_EQ(Fired().size(), 1u);
}

}  // namespace
