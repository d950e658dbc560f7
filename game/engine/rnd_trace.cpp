// The renderer's call trace (see rnd_trace.h).
#include "engine/rnd_trace.h"

#include <cstdarg>
#include <cstdio>

namespace {
void (*g_RndTrace)(const char*) = nullptr;
}  // namespace

void RND_SetCallTrace(void (*trace)(const char* entry)) {
    g_RndTrace = trace;
}

void RND_Trace(const char* name, const char* format, ...) {
    if (!g_RndTrace)
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
    g_RndTrace(entry);
}
