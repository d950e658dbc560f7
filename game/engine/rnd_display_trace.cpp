// The display's call trace: what the start-up order tests observe of the display (see dsp.h).
#include <cstdarg>
#include <cstdio>

#include "engine/rnd_display.h"
#include "common/calltrace.h"

namespace {
void (*g_DspTrace)(const char*) = nullptr;
}  // namespace

void DSP_SetCallTrace(void (*trace)(const char* entry)) {
    g_DspTrace = trace;
}

void DSP_Trace(const char* name, const char* format, ...) {
    va_list list;
    va_start(list, format);
    TRC_ReportV(g_DspTrace, name, format, list);
    va_end(list);
}
