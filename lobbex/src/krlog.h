// What every module of the network library uses to report: the trace word's bits, the log macro
// that adds the module's file name and line, and the internal checks. Each module names itself
// once with a file-scope `kKrModule` ("krtmo", "krnetdb", ...).
#pragma once
#include <cstdint>

#include "lobbex_exports.h"

// The trace word. Byte 0 routes to message boxes, byte 2 to the trace file; within each byte:
constexpr uint32_t KR_TRACE_ABORT = 0x01;
constexpr uint32_t KR_TRACE_ERROR = 0x02;
constexpr uint32_t KR_TRACE_WARN = 0x04;  // and kr_log levels 0-4
constexpr uint32_t KR_TRACE_INFO = 0x08;  // and kr_log levels 5-6
constexpr uint32_t KR_TRACE_DEBUG = 0x10; // and kr_log level 7
constexpr int KR_TRACE_BOX_SHIFT = 0;
constexpr int KR_TRACE_FILE_SHIFT = 16;
// Byte 3.
constexpr uint32_t KR_TRACE_API_FILE = 0x01000000; // public calls and results to the trace file
constexpr uint32_t KR_TRACE_API_BOX = 0x02000000;  // and to message boxes
constexpr uint32_t KR_TRACE_RQ_EVENTS = 0x08000000; // the request-layer event trace file
constexpr uint32_t KR_TRACE_DEFAULT = 0x00FF0000;

// The library's last-error exemptions: ordinary outcomes, never recorded.
constexpr int KR_ERR_NOTHING_QUEUED = -101;
constexpr int KR_ERR_NOT_RECORDED = -110;

#define KR_LOG(level, ...) kr_log(kKrModule, __LINE__, (level), __VA_ARGS__)
#define KR_ERROR(level, ...) kr_error(kKrModule, __LINE__, (level), __VA_ARGS__)

// A failed internal check: prints "<file>:<line>:<kind>:" to standard output and calls
// KrProgramException; the caller then goes on.
void KrCheckFailed(const char* file, unsigned line, const char* kind);
#define KR_PRECONDITION(cond)                                                    \
    do {                                                                         \
        if (!(cond)) KrCheckFailed(kKrModule, __LINE__, "Precondition");         \
    } while (0)
#define KR_POSTCONDITION(cond)                                                   \
    do {                                                                         \
        if (!(cond)) KrCheckFailed(kKrModule, __LINE__, "Postcondition");        \
    } while (0)
#define KR_INVARIANT(cond)                                                       \
    do {                                                                         \
        if (!(cond)) KrCheckFailed(kKrModule, __LINE__, "ModuleInvariant");      \
    } while (0)

// How many failed checks and KrAbort calls the process has seen (for tests and tools).
uint32_t KrProgramExceptionCount(void);

// Message boxes of the library go through here (the platform's boxes never block headless).
int KrMessageBox(const char* text, const char* caption);
