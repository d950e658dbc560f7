// Threads of the library and its per-thread key values.
#pragma once
#include <cstdint>

#include "winthread.h"

typedef DWORD (*KRTHREAD_ROUTINE)(void* argument);

// Starts a thread (suspended unless `run`); the handle is the caller's to close. Null on failure.
HANDLE KrThreadCreate(KRTHREAD_ROUTINE routine, void* argument, int run, uint32_t stackSize);

typedef DWORD KRTHREAD_KEY;
constexpr KRTHREAD_KEY KR_THREAD_NO_KEY = TLS_OUT_OF_INDEXES;
// 0 on success.
int KrThreadKeyCreate(KRTHREAD_KEY* key);
void KrThreadKeyDestroy(KRTHREAD_KEY key);
int KrThreadSetSpecific(KRTHREAD_KEY key, void* value);
void* KrThreadGetSpecific(KRTHREAD_KEY key);
