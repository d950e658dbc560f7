// The request layer's event trace: a file "krrq_trc_<pid>.txt" in the install's system
// directory, switched on and off by the trace word (bit 27, through KrSetTrace), with one line
// per event: an 8-character tag, the thread, the object, the tick count and four event words.
#pragma once
#include <cstdint>

// Switch on (opens the file on the first switch-on) and off (closes it on the last switch-off).
void KrTraceModuleInit(void);
void KrTraceModuleCleanup(void);
bool KrTraceEnabled(void);

// The handle value of events that concern a whole module rather than one object.
constexpr uintptr_t KR_TRACE_MODULE_WIDE = ~(uintptr_t)0;
void KrTraceEvent(const char* tag, uintptr_t handle, uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4);
#define KR_TRACE_EVENT(tag, handle, w1, w2, w3, w4)                                                   \
    do {                                                                                               \
        if (KrTraceEnabled()) KrTraceEvent((tag), (uintptr_t)(handle), (w1), (w2), (w3), (w4));       \
    } while (0)

// The event mask beside the trace (bit numbers 0-31; no event consults it).
void KrTraceMaskSet(unsigned bit);
void KrTraceMaskClear(unsigned bit);
uint32_t KrTraceMaskGet(void);
