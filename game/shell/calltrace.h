// Call traces: a module that tests watch keeps one sink, null (off) by default, and reports each
// of its calls through it as "NAME" or "NAME(args)", so order tests compare plain lists.
#pragma once
#include <cstdarg>

typedef void (*CallTraceSink)(const char* entry);

// Formats the entry ("NAME(args)" with printf-style args, or "NAME" without a format) and hands
// it to sink; nothing at all when sink is null.
void TRC_ReportV(CallTraceSink sink, const char* name, const char* format, va_list args);
