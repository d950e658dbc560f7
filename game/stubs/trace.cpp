// The stand-ins' shared call trace and result table (see trace.h).
#include "stubs/trace.h"

#include <cstdarg>
#include <cstdio>
#include <map>

namespace {
bool g_TraceOn = false;
std::vector<std::string> g_TraceLog;
std::function<void(const std::string&)> g_CallHook;
std::map<std::string, int> g_Results;
}  // namespace

void STUB_Trace(const char* name, const char* argFormat, ...) {
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

void STUB_TraceEnable(bool on) {
    g_TraceOn = on;
}

const std::vector<std::string>& STUB_TraceLog() {
    return g_TraceLog;
}

void STUB_TraceClear() {
    g_TraceLog.clear();
}

void STUB_SetCallHook(std::function<void(const std::string& entry)> hook) {
    g_CallHook = std::move(hook);
}

int STUB_Result(const char* name, int fallback) {
    auto it = g_Results.find(name);
    return it == g_Results.end() ? fallback : it->second;
}

void STUB_SetResult(const char* name, int value) {
    g_Results[name] = value;
}

void STUB_ResetAll() {
    g_TraceOn = false;
    g_TraceLog.clear();
    g_CallHook = nullptr;
    g_Results.clear();
}
