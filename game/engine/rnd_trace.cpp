// The renderer's and the display's call traces (see rnd_trace.h and rnd_display.h).
#include "engine/rnd_trace.h"

#include "engine/rnd_display.h"
#include "common/calltrace.h"

#include <cstdarg>

namespace {
void (*g_RndTrace)(const char*) = nullptr;
void (*g_DspTrace)(const char*) = nullptr;
}  // namespace

void RND_SetCallTrace(void (*trace)(const char* entry)) {
    g_RndTrace = trace;
}

void RND_Trace(const char* name, const char* format, ...) {
    va_list list;
    va_start(list, format);
    TRC_ReportV(g_RndTrace, name, format, list);
    va_end(list);
}

void DSP_SetCallTrace(void (*trace)(const char* entry)) {
    g_DspTrace = trace;
}

void DSP_Trace(const char* name, const char* format, ...) {
    va_list list;
    va_start(list, format);
    TRC_ReportV(g_DspTrace, name, format, list);
    va_end(list);
}
