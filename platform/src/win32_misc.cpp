// Clocks, debug output, message boxes and the harmless resource handles (icons, cursors,
// brushes). On the headless backend time is virtual: it starts at 0, steps kHeadlessFrameMs per
// presented frame and moves on when the main thread sleeps, so runs are reproducible.
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include <sys/syscall.h>
#include <unistd.h>

#include "internal.h"

namespace plat::detail {
namespace {
std::atomic<uint32_t> g_VirtualMs{0};
const auto g_Start = std::chrono::steady_clock::now();

// Headless date: 1998-06-15 12:00:00 UTC plus virtual time.
constexpr int64_t kHeadlessEpochDays = 10392; // days from 1970-01-01 to 1998-06-15
constexpr int64_t kHeadlessEpochMs = kHeadlessEpochDays * 86400000LL + 12LL * 3600000LL;

bool OnMainThread() {
    return static_cast<pid_t>(syscall(SYS_gettid)) == getpid();
}

bool Headless() {
    return GetConfig().backend == Backend::Headless;
}

// Calendar date of a day count since 1970-01-01 (proleptic Gregorian).
void CivilFromDays(int64_t z, int* year, int* month, int* day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    *year = static_cast<int>(yoe + era * 400 + (m <= 2));
    *month = static_cast<int>(m);
    *day = static_cast<int>(d);
}

void FillSystemTime(int64_t msSinceEpoch, SYSTEMTIME* t) {
    int64_t days = msSinceEpoch / 86400000LL;
    int64_t rest = msSinceEpoch % 86400000LL;
    if (rest < 0) {
        rest += 86400000LL;
        --days;
    }
    int y, m, d;
    CivilFromDays(days, &y, &m, &d);
    t->wYear = static_cast<WORD>(y);
    t->wMonth = static_cast<WORD>(m);
    t->wDay = static_cast<WORD>(d);
    t->wDayOfWeek = static_cast<WORD>(((days % 7) + 7 + 4) % 7); // 1970-01-01 was a Thursday
    t->wHour = static_cast<WORD>(rest / 3600000);
    t->wMinute = static_cast<WORD>(rest / 60000 % 60);
    t->wSecond = static_cast<WORD>(rest / 1000 % 60);
    t->wMilliseconds = static_cast<WORD>(rest % 1000);
}
}  // namespace

uint32_t VirtualNow() {
    return g_VirtualMs.load(std::memory_order_relaxed);
}

void ResetClock() {
    g_VirtualMs.store(0, std::memory_order_relaxed);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace plat::detail

namespace plat {
void SetVirtualTime(uint32_t ms) {
    detail::g_VirtualMs.store(ms, std::memory_order_relaxed);
}
void AdvanceVirtualTime(uint32_t ms) {
    detail::g_VirtualMs.fetch_add(ms, std::memory_order_relaxed);
}
}  // namespace plat

using namespace plat::detail;

PLATAPI DWORD GetTickCount(void) {
    if (Headless())
        return VirtualNow();
    auto elapsed = std::chrono::steady_clock::now() - g_Start;
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

PLATAPI DWORD timeGetTime(void) {
    return GetTickCount();
}

PLATAPI void GetSystemTime(SYSTEMTIME* time) {
    if (!time)
        return;
    if (Headless()) {
        FillSystemTime(kHeadlessEpochMs + VirtualNow(), time);
        return;
    }
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    FillSystemTime(static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000, time);
}

// Headless: the main thread's sleeps move virtual time on instead of waiting. Other threads
// (network pollers and the like) really sleep and leave the clock alone, so they can neither
// spin nor race the game's time forward.
PLATAPI void Sleep(DWORD milliseconds) {
    if (Headless() && OnMainThread()) {
        plat::AdvanceVirtualTime(milliseconds);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

PLATAPI void OutputDebugStringA(LPCSTR text) {
    if (!text)
        return;
    std::fputs(text, stderr);
    std::fflush(stderr);
}

PLATAPI int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    std::fprintf(stderr, "[%s] %s\n", caption ? caption : "Error", text ? text : "");
    std::fflush(stderr);
    switch (type & 0xF) {
    case MB_YESNO:
        return IDYES;
    default:
        return IDOK; // MB_OK and MB_OKCANCEL answer with their first button
    }
}

// ---- Harmless handles: the callers only pass them on or delete them. ----
namespace {
char g_Instance, g_Icon, g_Cursor, g_Brush;
}

PLATAPI HICON LoadIconA(HINSTANCE, LPCSTR) {
    return &g_Icon;
}

PLATAPI HCURSOR LoadCursorA(HINSTANCE, LPCSTR) {
    return &g_Cursor;
}

PLATAPI HBRUSH CreateSolidBrush(DWORD) {
    return &g_Brush;
}

PLATAPI BOOL DeleteObject(void* object) {
    const int gdi = GdiDeleteObject(object);
    if (gdi >= 0)
        return gdi;
    return object ? TRUE : FALSE;
}

PLATAPI HINSTANCE GetModuleHandleA(LPCSTR name) {
    // The program's own instance; named modules are loaded libraries, which have no instance
    // handle of this kind here.
    return name ? nullptr : reinterpret_cast<HINSTANCE>(&g_Instance);
}
