// The call trace of the stand-ins: every stand-in records its call (name and arguments) here, so
// tests can compare the order of start-up, frame and shutdown calls as plain lists of strings.
// Tracing is off until a test switches it on; a program run records nothing. Tests can also
// choose what a stand-in returns and react to a call as it happens.
#pragma once
#include <functional>
#include <string>
#include <vector>

// Records "NAME" or "NAME(args)" where args is printf-formatted, when tracing is on. The call hook
// (if any) then sees the entry.
void STUB_Trace(const char* name, const char* argFormat = nullptr, ...)
    __attribute__((format(printf, 2, 3)));

void STUB_TraceEnable(bool on);
const std::vector<std::string>& STUB_TraceLog();
void STUB_TraceClear();

// Called with each recorded entry right after it is recorded (tracing on only).
void STUB_SetCallHook(std::function<void(const std::string& entry)> hook);

// The result a stand-in gives for NAME: the value set for it, else fallback.
int STUB_Result(const char* name, int fallback);
void STUB_SetResult(const char* name, int value);
// Forgets the trace, the hook and every result set; switches tracing off.
void STUB_ResetAll();
