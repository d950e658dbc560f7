// The library clock and time arithmetic: normalising, comparing, adding and subtracting KRTIME
// records, calendar dates in a given time zone, and the clock's ticks (from a test tick source,
// never measured against the wall clock).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

#include "krlog.h"
#include "krtime.h"
#include "test_machine.h"

namespace {

std::string Show(const KRTIME& t) {
    return "{" + std::to_string(t.sec) + "," + std::to_string(t.msec) + "," + std::to_string(t.usec) + "}";
}

TEST(TimeArithmetic, NormaliseCarriesWholeThousands) {
    struct Case {
        KRTIME in, out;
    } cases[] = {
        {{1, 1999, 2500}, {3, 1, 500}},
        {{0, 999, 999}, {0, 999, 999}},
        {{7, 0, 1000}, {7, 1, 0}},
    };
    for (const Case& c : cases) {
        KRTIME t = c.in;
        KrTimeNormalize(&t);
        EXPECT_EQ(Show(t), Show(c.out)) << Show(c.in);
    }
}

TEST(TimeArithmetic, ComparisonsAreLexicographic) {
    struct Case {
        KRTIME a, b;
        int order; // -1 a<b, 0 equal, 1 a>b
    } cases[] = {
        {{1, 0, 0}, {0, 999, 999}, 1}, {{5, 5, 5}, {5, 5, 5}, 0}, {{5, 5, 4}, {5, 5, 5}, -1}, {{5, 4, 999}, {5, 5, 0}, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KrTimeEqual(&c.a, &c.b), c.order == 0);
        EXPECT_EQ(KrTimeLess(&c.a, &c.b), c.order < 0);
        EXPECT_EQ(KrTimeLessEqual(&c.a, &c.b), c.order <= 0);
        EXPECT_EQ(KrTimeGreater(&c.a, &c.b), c.order > 0);
        EXPECT_EQ(KrTimeGreaterEqual(&c.a, &c.b), c.order >= 0);
    }
}

TEST(TimeArithmetic, AddDiffAndSubtractBorrowAndCarry) {
    KRTIME sum;
    const KRTIME a = {1, 999, 999}, one = {0, 0, 1};
    KrTimeAdd(&a, &one, &sum);
    EXPECT_EQ(Show(sum), "{2,0,0}");
    struct Case {
        KRTIME a, b, diff;
    } cases[] = {
        {{5, 200, 0}, {3, 900, 0}, {1, 300, 0}},
        {{3, 900, 0}, {5, 200, 0}, {1, 300, 0}}, // either order
        {{5, 0, 0}, {4, 999, 1}, {0, 0, 999}},
        {{9, 9, 9}, {9, 9, 9}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        KRTIME d;
        KrTimeDiff(&c.a, &c.b, &d);
        EXPECT_EQ(Show(d), Show(c.diff)) << Show(c.a) << " " << Show(c.b);
    }
    const KRTIME x = {5, 200, 0}, y = {3, 900, 0};
    EXPECT_EQ(KrTimeDiffMsec(&x, &y), 1300u);
    EXPECT_EQ(KrTimeDiffSec(&x, &y), 1u);
}

TEST(TimeArithmetic, SubtractingALaterTimeLogsAndGivesTheDifference) {
    const std::string dir = kt::FreshTraceDir();
    const uint32_t word = KrGetTrace();
    KrSetTrace(0x00FF0000);
    const KRTIME early = {3, 900, 0}, late = {5, 200, 0};
    KRTIME d;
    KrTimeSubtract(&late, &early, &d);
    EXPECT_EQ(kt::ReadFile(dir + "/krtrace.txt").find("negative"), std::string::npos);
    KrTimeSubtract(&early, &late, &d);
    EXPECT_EQ(Show(d), "{1,300,0}");
    EXPECT_NE(kt::ReadFile(dir + "/krtrace.txt").find("KrTimeSubtract: subtraction would yield negative time."),
              std::string::npos);
    KrSetTrace(word);
    KrTraceClose();
}

class TimeZone : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        hadTz_ = tz != nullptr;
        if (tz) savedTz_ = tz;
    }
    void TearDown() override {
        if (hadTz_)
            setenv("TZ", savedTz_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    bool hadTz_ = false;
    std::string savedTz_;
};

TEST_F(TimeZone, DatesAreLocalWithMinuteBeforeHour) {
    struct Case {
        const char* tz;
        KRTIME time;
        KRDATE date; // year, month, minute, hour, day, weekday, yearday, second, msec, dst, offset
    } cases[] = {
        {"UTC0", {0, 250, 0}, {1970, 0, 0, 0, 1, 4, 0, 0, 250, 0, 0}},
        {"EST5", {0, 0, 0}, {1969, 11, 0, 19, 31, 3, 364, 0, 0, 0, 18000}},
        {"UTC0", {951782399, 999, 0}, {2000, 1, 59, 23, 28, 1, 58, 59, 999, 0, 0}},
        {"JST-9", {3600 * 15 + 61, 7, 0}, {1970, 0, 1, 0, 2, 5, 1, 1, 7, 0, -32400}},
    };
    for (const Case& c : cases) {
        setenv("TZ", c.tz, 1);
        tzset();
        KRDATE d;
        std::memset(&d, 0x5A, sizeof d);
        KrTimeToLocalDate(&c.time, &d);
        EXPECT_EQ(std::memcmp(&d, &c.date, sizeof d), 0)
            << c.tz << " " << c.time.sec << ": " << d.year << "-" << d.month << "-" << d.day << " " << d.hour << ":"
            << d.minute << ":" << d.second << " wd " << d.weekDay << " yd " << d.yearDay << " off " << d.tzOffset;
    }
    ::testing::internal::CaptureStdout();
    KRDATE d;
    KrTimeToLocalDate(nullptr, &d);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("krtime:"), std::string::npos);
}

std::atomic<uint32_t> g_tick{0};
uint32_t Tick() {
    return g_tick.load();
}

TEST(Clock, AdvancesWithTheTicksAcrossTheirWrap) {
    struct Case {
        uint32_t start;
        uint32_t step;
    } cases[] = {{1000, 1500}, {0xFFFFFF00u, 0x200}, {5, 0}};
    for (const Case& c : cases) {
        g_tick = c.start;
        KrTimeSetTickSource(Tick);
        KRTIME before, after;
        KrGetTime(&before);
        g_tick = c.start + c.step;
        KrGetTime(&after);
        EXPECT_EQ(KrTimeDiffMsec(&after, &before), c.step) << c.start;
        EXPECT_TRUE(KrTimeGreaterEqual(&after, &before));
        EXPECT_EQ(after.usec, 0u);
        EXPECT_LT(after.msec, 1000u);
    }
    KrTimeSetTickSource(nullptr);
    KRDATE today;
    KrGetLocalDate(&today);
    EXPECT_GE(today.year, 2020) << "the real clock is back";
}

// Re-basing reads the wall clock twice (its seconds and its milliseconds): a second that turns
// between the two reads is no disparity between the clocks. Re-based without pause until the
// wall clock has turned a second, that moment falls between the reads of some re-base.
TEST(Clock, ReBasingAcrossASecondThatTurnsFindsNoDisparity) {
    const std::string dir = kt::FreshTraceDir();
    const uint32_t word = KrGetTrace();
    KrSetTrace(0x00FF0000);
    const time_t start = std::time(nullptr);
    while (std::time(nullptr) < start + 2) KrModuleStartTimeReset();
    KrSetTrace(word);
    KrTraceClose();
    const std::string trace = kt::ReadFile(dir + "/krtrace.txt");
    EXPECT_EQ(trace.find("disparity"), std::string::npos) << trace.substr(0, 600);
}

uint32_t FarTick() {
    return 5;
}

// Swapping the tick source while other threads read the clock: a reader must never pair one
// source's tick with the base taken for the other (which reads as a jump of weeks).
TEST(Clock, ReadersNeverMixTheTicksOfTwoSources) {
    std::atomic<bool> stop{false};
    std::atomic<uint32_t> wild{0};
    const time_t wall = std::time(nullptr);
    auto reader = [&] {
        while (!stop.load()) {
            KRTIME now;
            KrGetTime(&now);
            if (now.sec > (uint32_t)wall + 3600 || now.sec + 3600 < (uint32_t)wall) wild++;
        }
    };
    std::thread a(reader), b(reader);
    for (int i = 0; i < 20000; ++i) KrTimeSetTickSource(i % 2 ? FarTick : nullptr);
    stop = true;
    a.join();
    b.join();
    KrTimeSetTickSource(nullptr);
    EXPECT_EQ(wild.load(), 0u);
}

}  // namespace
