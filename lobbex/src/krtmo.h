// One-shot and periodic timers served by the timeout thread (krtmo). At most one timer exists
// per (callback, argument). A callback runs on the timeout thread with the module lock released:
// a one-shot timer is already gone when it runs, a periodic one already re-armed. Cancelling
// does not wait for a callback that has begun (or is about to begin): a callback must be able to
// tell from its argument whether what it works on still exists.
#pragma once
#include <cstdint>

#include "krtypes.h"

typedef void (*KRTMO_CBF)(uintptr_t argument);
struct KRTMO_REC;
typedef KRTMO_REC* KRTMO_HNDL;

constexpr uint32_t KR_TMO_MIN_PERIOD_MS = 10;

// 0, or 1 with KrErrno set (1 bad parameters or module not started, 6 the pair has a timer).
int KrTimeout(KRTMO_CBF callback, uintptr_t argument, uint32_t milliseconds, int periodic);
// 0, or 1 with KrErrno set (1 bad parameters, 4 no such timer).
int KrUntimeout(KRTMO_CBF callback, uintptr_t argument);

// Counted; the first init starts the timeout thread, the last cleanup stops and joins it.
void KrTmoModuleInit(void);
void KrTmoCleanup(void);
void KrTmoHndlFree(KRTMO_HNDL timer);

// For tests that drive the clock (KrTimeSetTickSource): wakes the thread so it looks at the
// time again, and reports the time of each finished pass over the due timers.
void KrTmoWakeup(void);
typedef void (*KRTMO_PASS_HOOK)(const KRTIME* now);
void KrTmoSetPassHook(KRTMO_PASS_HOOK hook);
