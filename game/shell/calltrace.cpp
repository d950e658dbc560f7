// Formatting of call-trace entries (see calltrace.h).
#include "shell/calltrace.h"

#include <cstdio>

void TRC_ReportV(CallTraceSink sink, const char* name, const char* format, va_list args) {
    if (!sink)
        return;
    char entry[400];
    if (format) {
        char text[320];
        std::vsnprintf(text, sizeof text, format, args);
        std::snprintf(entry, sizeof entry, "%s(%s)", name, text);
    } else {
        std::snprintf(entry, sizeof entry, "%s", name);
    }
    sink(entry);
}
