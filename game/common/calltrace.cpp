// The call traces: sink formatting and the shared trace with its result table (see calltrace.h).
#include "common/calltrace.h"

#include <cstdio>
#include <map>

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

namespace {
bool g_TraceOn = false;
std::vector<std::string> g_TraceLog;
std::function<void(const std::string&)> g_CallHook;
std::map<std::string, int> g_Results;
}  // namespace

void TRC_Trace(const char* name, const char* argFormat, ...) {
    if (!g_TraceOn)
        return;
    std::string entry = name;
    if (argFormat) {
        char args[512];
        va_list list;
        va_start(list, argFormat);
        std::vsnprintf(args, sizeof args, argFormat, list);
        va_end(list);
        entry += '(';
        entry += args;
        entry += ')';
    }
    g_TraceLog.push_back(entry);
    if (g_CallHook) {
        // Copies: the hook may replace itself or record further calls.
        auto hook = g_CallHook;
        const std::string recorded = g_TraceLog.back();
        hook(recorded);
    }
}

void TRC_TraceEnable(bool on) {
    g_TraceOn = on;
}

const std::vector<std::string>& TRC_TraceLog() {
    return g_TraceLog;
}

void TRC_TraceClear() {
    g_TraceLog.clear();
}

void TRC_SetCallHook(std::function<void(const std::string& entry)> hook) {
    g_CallHook = std::move(hook);
}

int TRC_Result(const char* name, int fallback) {
    auto it = g_Results.find(name);
    return it == g_Results.end() ? fallback : it->second;
}

void TRC_SetResult(const char* name, int value) {
    g_Results[name] = value;
}

void TRC_ResetAll() {
    g_TraceOn = false;
    g_TraceLog.clear();
    g_CallHook = nullptr;
    g_Results.clear();
}
