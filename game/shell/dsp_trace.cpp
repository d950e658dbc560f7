// The display's call trace: what the start-up order tests observe of the display (see dsp.h).
#include <cstdarg>
#include <cstdio>

#include "shell/dsp.h"

namespace {
void (*g_DspTrace)(const char*) = nullptr;
}  // namespace

void DSP_SetCallTrace(void (*trace)(const char* entry)) {
    g_DspTrace = trace;
}

void DSP_Trace(const char* name, const char* format, ...) {
    if (!g_DspTrace)
        return;
    char args[320] = "";
    if (format) {
        va_list list;
        va_start(list, format);
        std::vsnprintf(args, sizeof args, format, list);
        va_end(list);
    }
    char entry[400];
    if (format)
        std::snprintf(entry, sizeof entry, "%s(%s)", name, args);
    else
        std::snprintf(entry, sizeof entry, "%s", name);
    g_DspTrace(entry);
}
