// Logging and error reporting of the network library: the trace word that routes each level to
// the trace file and to message boxes, kr_log and the direct message functions, the tracing of
// public calls and their results, the last error, the error texts and their message box, the
// monitor callback, the internal-check reports and the version query.
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "krerrtext.h"
#include "krlog.h"
#include "krreg.h"
#include "krtrace.h"
#include "win32.h"

namespace {

constexpr char kKrModule[] = "krerr";

std::atomic<uint32_t> g_KrTraceWord{KR_TRACE_DEFAULT};
std::atomic<int32_t> g_KrLastError{0};
std::atomic<int> g_KrAutoErrorBoxes{0};
std::atomic<KRMONITOR_CBF> g_KrMonitorCallback{nullptr};
std::atomic<uint32_t> g_KrExceptions{0};

constexpr const char* kLevelNames[8] = {"KrEmerg", "KrAlert", "KrCrit",  "KrErr",
                                        "KrWarn",  "KrNotice", "KrInfo", "KrDebug"};

const char* LevelName(int level) {
    return level >= 0 && level <= 7 ? kLevelNames[level] : "KrDebug";
}

// The bit of a kr_log level within a routing byte of the trace word.
uint32_t LevelBit(int level) {
    if (level >= 0 && level <= 4) return KR_TRACE_WARN;
    if (level == 5 || level == 6) return KR_TRACE_INFO;
    return KR_TRACE_DEBUG;
}

std::string FormatV(const char* format, va_list args) {
    char small[512];
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(small, sizeof small, format ? format : "", args);
    std::string out;
    if (n < 0) {
        out = "";
    } else if ((size_t)n < sizeof small) {
        out.assign(small, (size_t)n);
    } else {
        out.resize((size_t)n + 1);
        std::vsnprintf(out.data(), out.size(), format, again);
        out.resize((size_t)n);
    }
    va_end(again);
    return out;
}

std::string Format(const char* format, ...) KR_PRINTF(1, 2);
std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = FormatV(format, args);
    va_end(args);
    return out;
}

void LogV(const char* file, unsigned line, int level, const char* format, va_list args) {
    const uint32_t word = g_KrTraceWord.load(std::memory_order_relaxed);
    const uint32_t bit = LevelBit(level);
    const bool toFile = (word & (bit << KR_TRACE_FILE_SHIFT)) != 0;
    const bool toBox = (word & (bit << KR_TRACE_BOX_SHIFT)) != 0;
    if (!toFile && !toBox) return;
    std::string text = Format("File:%s:%d level=%s ", file ? file : "", (int)line, LevelName(level));
    text += FormatV(format, args);
    if (toFile) KrTraceMsg(text.c_str());
    if (toBox) KrMessageBox(text.c_str(), LevelName(level));
}

// The direct functions: the text alone, each routed by its own bit.
void DirectV(uint32_t bit, const char* caption, const char* format, va_list args) {
    const uint32_t word = g_KrTraceWord.load(std::memory_order_relaxed);
    const bool toFile = (word & (bit << KR_TRACE_FILE_SHIFT)) != 0;
    const bool toBox = (word & (bit << KR_TRACE_BOX_SHIFT)) != 0;
    if (!toFile && !toBox) return;
    std::string text = FormatV(format, args);
    if (toFile) KrTraceMsg(text.c_str());
    if (toBox) KrMessageBox(text.c_str(), caption);
}

}  // namespace

// ---- logging ----

LOBBEX_API void kr_log(const char* file, unsigned line, int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogV(file, line, level, format, args);
    va_end(args);
}

LOBBEX_API void kr_error(const char* file, unsigned line, int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogV(file, line, level, format, args);
    va_end(args);
}

LOBBEX_API void kr_exit(const char* file, unsigned line, int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogV(file, line, level, format, args);
    va_end(args);
    kr_log(file, line, KrCrit, "Exiting...");
    ExitProcess(1);
}

LOBBEX_API void kr_abort(const char* file, unsigned line, int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogV(file, line, level, format, args);
    va_end(args);
    kr_log(file, line, KrCrit, "Aborting...");
    KrProgramException();
}

LOBBEX_API void KrAbort(const char* format, ...) {
    va_list args;
    va_start(args, format);
    DirectV(KR_TRACE_ABORT, "KrAbort", format, args);
    va_end(args);
    KrProgramException();
}

LOBBEX_API void KrError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    DirectV(KR_TRACE_ERROR, "KrError", format, args);
    va_end(args);
}

LOBBEX_API void KrWarn(const char* format, ...) {
    va_list args;
    va_start(args, format);
    DirectV(KR_TRACE_WARN, "KrWarn", format, args);
    va_end(args);
}

LOBBEX_API void KrInfo(const char* format, ...) {
    va_list args;
    va_start(args, format);
    DirectV(KR_TRACE_INFO, "KrInfo", format, args);
    va_end(args);
}

LOBBEX_API void KrDebug(const char* format, ...) {
    va_list args;
    va_start(args, format);
    DirectV(KR_TRACE_DEBUG, "KrDebug", format, args);
    va_end(args);
}

LOBBEX_API void KrSetTrace(uint32_t word) {
    const uint32_t old = g_KrTraceWord.exchange(word);
    uint8_t bytes[4] = {};
    uint32_t size = sizeof bytes;
    if (LoadManifestEntry("MAIN", "TRACEOVERRIDE", bytes, &size, 0) == 0) {
        // A binary registry value: the 32-bit word as the original stored it, little-endian.
        uint32_t override = (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 |
                            (uint32_t)bytes[3] << 24;
        if (override != 0) {
            word = override;
            g_KrTraceWord.store(word);
        }
    }
    const bool was = (old & KR_TRACE_RQ_EVENTS) != 0;
    const bool now = (word & KR_TRACE_RQ_EVENTS) != 0;
    if (now && !was) KrTraceModuleInit();
    if (!now && was) KrTraceModuleCleanup();
}

LOBBEX_API uint32_t KrGetTrace(void) {
    return g_KrTraceWord.load();
}

LOBBEX_API void KrLogInit(void) {
    // Flat memory has no code segment number; the load address is that of LookupDirectory.
    KrInfo("KrLogInit called.  Code Segment: %lx  _LookupDirectory (and probably base text address) at %lx",
           0ul, (unsigned long)(uintptr_t)&LookupDirectory);
}

LOBBEX_API int KrLogInitNotice(void) {
    kr_log(kKrModule, __LINE__, KrLevelDebug, "LobbexInit called, and logging initialized");
    return 1;
}

// ---- API tracing and errors ----

LOBBEX_API int KrLogAPICall(const char* name) {
    const uint32_t word = g_KrTraceWord.load(std::memory_order_relaxed);
    if (word & (KR_TRACE_API_FILE | KR_TRACE_API_BOX)) {
        std::string text = Format("%s called", name ? name : "");
        if (word & KR_TRACE_API_FILE) KrTraceMsg(text.c_str());
        if (word & KR_TRACE_API_BOX) KrMessageBox(text.c_str(), "Torvane API called");
    }
    return 0;
}

LOBBEX_API intptr_t KrLogReturnVal(const char* name, intptr_t result) {
    const uint32_t word = g_KrTraceWord.load(std::memory_order_relaxed);
    if (word & (KR_TRACE_API_FILE | KR_TRACE_API_BOX)) {
        std::string text = Format("%s returned %d", name ? name : "", (int)result);
        if (word & KR_TRACE_API_FILE) KrTraceMsg(text.c_str());
        if (word & KR_TRACE_API_BOX) KrMessageBox(text.c_str(), "Torvane API returned");
    }
    // Only error codes are recorded: non-negative results, the two ordinary outcomes, and
    // anything outside the 32-bit code range (a handle, never a code) pass straight through.
    if (result >= 0 || result == KR_ERR_NOT_RECORDED || result == KR_ERR_NOTHING_QUEUED || result < INT32_MIN)
        return result;
    const int code = (int)result;
    g_KrLastError.store(code);
    if (g_KrAutoErrorBoxes.load()) KrDisplayError(code);
    char text[256];
    KrGetErrorText(code, text, 255);
    KrWarn("Error reported from API (and possibly to user): error number %d description: %s", code, text);
    return result;
}

LOBBEX_API int KrGetLastError(void) {
    return g_KrLastError.load();
}

LOBBEX_API int KrGetErrorText(int code, char* buffer, int size) {
    if (!buffer || size <= 0) return -1;
    buffer[0] = 0;
    const char* text = KrErrorTextFor(code);
    if (!text) return -1;
    // As the string loader does: at most size-1 characters and the terminator; a text that
    // could not be loaded at all (size 1) counts as missing.
    size_t copied = std::strlen(text);
    if (copied > (size_t)size - 1) copied = (size_t)size - 1;
    std::memcpy(buffer, text, copied);
    buffer[copied] = 0;
    return copied > 0 ? 0 : -1;
}

LOBBEX_API int KrDisplayError(int code) {
    char text[256];
    if (KrGetErrorText(code, text, sizeof text) != 0)
        std::strcpy(text, "Error occurred on Torvane, but unable to locate descriptive text.");
    return KrMessageBox(text, "Torvane Network Error");
}

LOBBEX_API void KrEnableAutoErrorMessageBoxes(int flag) {
    g_KrAutoErrorBoxes.store(flag);
}

LOBBEX_API uint32_t LobbexVersion(char* buffer, int size) {
    if (buffer && size > 0) strmcpy(buffer, "Lobbex v1.02.20", size - 1);
    return 0x01020020;
}

// ---- monitor and checks ----

LOBBEX_API int KrRegisterMonitorCallback(KRMONITOR_CBF callback) {
    g_KrMonitorCallback.store(callback);
    return 0;
}

LOBBEX_API void KrMonitorNotify(uintptr_t event, uintptr_t a1, uintptr_t a2, uintptr_t a3, uintptr_t a4, uintptr_t a5,
                                uintptr_t a6, uintptr_t a7) {
    if (KRMONITOR_CBF callback = g_KrMonitorCallback.load()) callback(event, a1, a2, a3, a4, a5, a6, a7);
}

LOBBEX_API void KrProgramException(void) {
    // The single point where failed checks and KrAbort end. The library goes on afterwards, so
    // this only counts; a debugger can stop here.
    g_KrExceptions.fetch_add(1);
}

uint32_t KrProgramExceptionCount(void) {
    return g_KrExceptions.load();
}

void KrCheckFailed(const char* file, unsigned line, const char* kind) {
    std::printf("%s:%d:%s:\n", file, (int)line, kind);
    std::fflush(stdout);
    KrProgramException();
}

int KrMessageBox(const char* text, const char* caption) {
    // The original owns its boxes by the focus window and brings them to the front; the
    // platform's boxes print and answer at once, so there is no owner to find.
    return MessageBoxA(nullptr, text, caption, MB_OK);
}
