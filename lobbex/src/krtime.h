// The library clock, time arithmetic and calendar dates (krtime). KrGetTime, KrGetLocalDate and
// KrTimeToLocalDate are exported (lobbex_exports.h).
#pragma once
#include <cstdint>
#include <ctime>

#include "lobbex_exports.h"

// Milliseconds of the library's tick clock (wraps like a 32-bit tick count). Real monotonic time
// unless a test has put its own clock in.
uint32_t KrTickCount(void);
// Puts in a tick source (tests; null restores the real clock) and re-bases the clock on it.
typedef uint32_t (*KRTICK_SOURCE)(void);
void KrTimeSetTickSource(KRTICK_SOURCE source);

// Re-bases the clock on the system time and the tick count now.
void KrModuleStartTimeReset(void);

void KrTimeNormalize(KRTIME* t);
int KrTimeEqual(const KRTIME* a, const KRTIME* b);
int KrTimeLess(const KRTIME* a, const KRTIME* b);
int KrTimeLessEqual(const KRTIME* a, const KRTIME* b);
int KrTimeGreater(const KRTIME* a, const KRTIME* b);
int KrTimeGreaterEqual(const KRTIME* a, const KRTIME* b);
void KrTimeAdd(const KRTIME* a, const KRTIME* b, KRTIME* out);
// The larger minus the smaller, in whichever order they come.
void KrTimeDiff(const KRTIME* a, const KRTIME* b, KRTIME* out);
// a - b; logs when that would be negative, and gives the difference anyway.
void KrTimeSubtract(const KRTIME* a, const KRTIME* b, KRTIME* out);
uint32_t KrTimeDiffMsec(const KRTIME* a, const KRTIME* b);
uint32_t KrTimeDiffSec(const KRTIME* a, const KRTIME* b);

// Counted: the first init starts the timeout module, the last cleanup stops it.
void KrTimeModuleInit(void);
void KrTimeModuleCleanup(void);

// Local calendar time of a count of seconds, and the zone's offset west of UTC in seconds.
// Every local-time conversion of the library goes through here: the runtime library's time-zone
// state is shared by all threads, so they take one lock. False (and *out zeroed) when the time
// has no calendar date.
bool KrLocalTime(time_t seconds, struct tm* out, long* zoneOffset);
