// The library clock (a base time plus the ticks elapsed since the base), time arithmetic on
// KRTIME records, calendar dates, and the counted start and stop of the time module, which
// starts the timeout module.
//
// The clock runs on real time whatever the platform's backend: peers, retransmissions and
// heartbeats live in real time. Tests may put their own tick source in.
#include "krtime.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <mutex>

#include "krlog.h"
#include "krtmo.h"
#include "krtrace.h"

namespace {

constexpr char kKrModule[] = "krtime";

std::atomic<KRTICK_SOURCE> g_KrTickSource{nullptr};

uint32_t RealTicks() {
    using namespace std::chrono;
    return (uint32_t)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The clock base, written by the daily re-base on the timeout thread and read by every thread:
// the three words are read and written together.
struct ClockBase {
    uint32_t sec = 0;
    uint32_t msec = 0;
    uint32_t tick = 0;
    bool set = false;
};
std::mutex g_KrBaseLock;
ClockBase g_KrBase;

std::mutex g_KrLocaltimeLock; // serialises the runtime library's local-time conversions
std::mutex g_KrTimeInitLock;
int g_KrTimeInitCount = 0;

int Compare(const KRTIME* a, const KRTIME* b) {
    if (a->sec != b->sec) return a->sec < b->sec ? -1 : 1;
    if (a->msec != b->msec) return a->msec < b->msec ? -1 : 1;
    if (a->usec != b->usec) return a->usec < b->usec ? -1 : 1;
    return 0;
}

}  // namespace

uint32_t KrTickCount(void) {
    KRTICK_SOURCE source = g_KrTickSource.load();
    return source ? source() : RealTicks();
}

namespace {

// How far time() may lag the system clock when the two agree.
constexpr int64_t kClockSlackMs = 50;

int64_t SystemMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Re-bases the clock on the wall time and the current tick; with `swap`, the tick source is
// replaced in the same step. The source, the base and the tick read from it change under one
// lock, so that no reader ever pairs one source's ticks with a base taken from the other.
void Rebase(bool swap, KRTICK_SOURCE source) {
    // The seconds of time() and the milliseconds of the system clock are compared as whole
    // milliseconds, never as clock fields: a second may turn between two reads, and time() may
    // read a coarser clock that turns a few milliseconds late. So the system clock is read
    // before and after time(), and the two clocks disagree only when time()'s second, widened
    // by that slack, does not meet the span of the two readings. The base is then one moment:
    // the system clock's second and millisecond (time()'s second whenever the clocks agree).
    const int64_t before = SystemMs();
    const int64_t seconds = (int64_t)std::time(nullptr);
    const int64_t after = SystemMs();
    const bool agree = seconds * 1000 - kClockSlackMs <= after && before < seconds * 1000 + 1000 + kClockSlackMs;
    if (!agree)
        KR_LOG(KrWarning, "KrModuleStartTimeReset: disparity in seconds from 1970/1/1 0:0:0 UCT %u %u",
               (unsigned)seconds, (unsigned)((after / 1000) % 60));
    std::lock_guard<std::mutex> hold(g_KrBaseLock);
    if (swap) g_KrTickSource.store(source);
    g_KrBase.sec = (uint32_t)(agree ? after / 1000 : seconds);
    g_KrBase.msec = (uint32_t)(after % 1000);
    g_KrBase.tick = KrTickCount();
    g_KrBase.set = true;
}

}  // namespace

void KrTimeSetTickSource(KRTICK_SOURCE source) {
    Rebase(true, source);
}

void KrModuleStartTimeReset(void) {
    Rebase(false, nullptr);
}

LOBBEX_API void KrGetTime(KRTIME* now) {
    if (!now) return;
    ClockBase base;
    uint32_t tick = 0;
    {
        std::lock_guard<std::mutex> hold(g_KrBaseLock);
        base = g_KrBase;
        tick = KrTickCount();
    }
    if (!base.set) {
        KrModuleStartTimeReset();
        std::lock_guard<std::mutex> hold(g_KrBaseLock);
        base = g_KrBase;
        tick = KrTickCount();
    }
    const uint64_t ms = (uint64_t)base.msec + (uint32_t)(tick - base.tick);
    now->sec = base.sec + (uint32_t)(ms / 1000);
    now->msec = (uint32_t)(ms % 1000);
    now->usec = 0;
}

bool KrLocalTime(time_t seconds, struct tm* out, long* zoneOffset) {
    std::lock_guard<std::mutex> hold(g_KrLocaltimeLock);
    const struct tm* local = std::localtime(&seconds);
    if (!local) {
        std::memset(out, 0, sizeof *out);
        return false;
    }
    *out = *local;
    if (zoneOffset) *zoneOffset = timezone; // set by localtime's time-zone set-up
    return true;
}

LOBBEX_API void KrTimeToLocalDate(const KRTIME* time, KRDATE* date) {
    KR_PRECONDITION(time && date);
    if (!time || !date) return;
    struct tm local;
    long zoneOffset = 0;
    if (!KrLocalTime((time_t)time->sec, &local, &zoneOffset)) {
        KR_LOG(KrErr, "KrTimeToLocalDate: Failed to convert time %u to calendar date.", time->sec);
        std::memset(date, 0, sizeof *date);
        return;
    }
    date->year = local.tm_year + 1900;
    date->month = local.tm_mon;
    date->minute = local.tm_min;
    date->hour = local.tm_hour;
    date->day = local.tm_mday;
    date->weekDay = local.tm_wday;
    date->yearDay = local.tm_yday;
    date->second = local.tm_sec;
    date->msec = (int32_t)time->msec;
    date->dst = local.tm_isdst > 0 ? 1 : 0;
    date->tzOffset = (int32_t)zoneOffset;
}

LOBBEX_API void KrGetLocalDate(KRDATE* date) {
    KRTIME now;
    KrGetTime(&now);
    KrTimeToLocalDate(&now, date);
}

void KrTimeNormalize(KRTIME* t) {
    t->msec += t->usec / 1000;
    t->usec %= 1000;
    t->sec += t->msec / 1000;
    t->msec %= 1000;
}

int KrTimeEqual(const KRTIME* a, const KRTIME* b) {
    return Compare(a, b) == 0;
}

int KrTimeLess(const KRTIME* a, const KRTIME* b) {
    return Compare(a, b) < 0;
}

int KrTimeLessEqual(const KRTIME* a, const KRTIME* b) {
    return Compare(a, b) <= 0;
}

int KrTimeGreater(const KRTIME* a, const KRTIME* b) {
    return Compare(a, b) > 0;
}

int KrTimeGreaterEqual(const KRTIME* a, const KRTIME* b) {
    return Compare(a, b) >= 0;
}

void KrTimeAdd(const KRTIME* a, const KRTIME* b, KRTIME* out) {
    uint64_t usec = (uint64_t)a->usec + b->usec;
    uint64_t msec = (uint64_t)a->msec + b->msec + usec / 1000;
    out->usec = (uint32_t)(usec % 1000);
    out->sec = a->sec + b->sec + (uint32_t)(msec / 1000);
    out->msec = (uint32_t)(msec % 1000);
}

void KrTimeDiff(const KRTIME* a, const KRTIME* b, KRTIME* out) {
    const KRTIME* big = Compare(a, b) >= 0 ? a : b;
    const KRTIME* small = big == a ? b : a;
    int64_t usec = (int64_t)big->usec - small->usec;
    int64_t msec = (int64_t)big->msec - small->msec;
    int64_t sec = (int64_t)big->sec - small->sec;
    if (usec < 0) {
        usec += 1000;
        msec -= 1;
    }
    while (msec < 0) {
        msec += 1000;
        sec -= 1;
    }
    out->sec = (uint32_t)sec;
    out->msec = (uint32_t)msec;
    out->usec = (uint32_t)usec;
}

void KrTimeSubtract(const KRTIME* a, const KRTIME* b, KRTIME* out) {
    if (Compare(a, b) < 0) KR_LOG(KrCrit, "KrTimeSubtract: subtraction would yield negative time.");
    KrTimeDiff(a, b, out);
}

uint32_t KrTimeDiffMsec(const KRTIME* a, const KRTIME* b) {
    KRTIME d;
    KrTimeDiff(a, b, &d);
    return d.sec * 1000 + d.msec;
}

uint32_t KrTimeDiffSec(const KRTIME* a, const KRTIME* b) {
    KRTIME d;
    KrTimeDiff(a, b, &d);
    return d.sec;
}

void KrTimeModuleInit(void) {
    std::lock_guard<std::mutex> hold(g_KrTimeInitLock);
    if (g_KrTimeInitCount++ > 0) return;
    KR_TRACE_EVENT("tim_mini", KR_TRACE_MODULE_WIDE, 0, 0, 0, 0);
    KrTmoModuleInit();
}

void KrTimeModuleCleanup(void) {
    std::lock_guard<std::mutex> hold(g_KrTimeInitLock);
    if (g_KrTimeInitCount == 0 || --g_KrTimeInitCount > 0) return;
    KrTmoCleanup();
    KR_TRACE_EVENT("tim_mcle", KR_TRACE_MODULE_WIDE, 0, 0, 0, 0);
}
