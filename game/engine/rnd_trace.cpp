// The renderer's call trace (see rnd_trace.h).
#include "engine/rnd_trace.h"
#include "common/calltrace.h"

#include <cstdarg>

namespace {
void (*g_RndTrace)(const char*) = nullptr;
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
