// Call traces. Tests compare the order of start-up, frame and shutdown calls as plain lists of
// strings; two kinds of trace feed them:
// - a module that tests watch keeps one sink, null (off) by default, and reports each of its
//   calls through it as "NAME" or "NAME(args)" (TRC_ReportV);
// - the shared trace: stand-ins and a few real modules record their calls in one process-wide
//   list, off until a test switches it on (a program run records nothing). Tests can also choose
//   what a stand-in returns (TRC_Result) and react to a call as it happens (TRC_SetCallHook).
#pragma once
#include <cstdarg>
#include <functional>
#include <string>
#include <vector>

typedef void (*CallTraceSink)(const char* entry);

// Formats the entry ("NAME(args)" with printf-style args, or "NAME" without a format) and hands
// it to sink; nothing at all when sink is null.
void TRC_ReportV(CallTraceSink sink, const char* name, const char* format, va_list args);

// Records "NAME" or "NAME(args)" where args is printf-formatted, when the shared trace is on. The
// call hook (if any) then sees the entry.
void TRC_Trace(const char* name, const char* argFormat = nullptr, ...) __attribute__((format(printf, 2, 3)));

void TRC_TraceEnable(bool on);
const std::vector<std::string>& TRC_TraceLog();
void TRC_TraceClear();

// Called with each recorded entry right after it is recorded (tracing on only).
void TRC_SetCallHook(std::function<void(const std::string& entry)> hook);

// The result a stand-in gives for NAME: the value set for it, else fallback.
int TRC_Result(const char* name, int fallback);
void TRC_SetResult(const char* name, int value);
// Forgets the trace, the hook and every result set; switches tracing off.
void TRC_ResetAll();
