// Window classes, windows and the process-wide message queue. There is one queue for the whole
// process (the game has one thread and one window); other threads may post into it. Window
// procedures are always called without any platform lock held, so they may call back freely.
//
// Blocking: GetMessageA on an empty queue pumps the backend. On the sdl backend it waits for
// SDL events like Windows waits for input. On the headless backend nothing can arrive from a
// person, so it waits a short moment (kHeadlessIdleWaitMs of real time) for a post from another
// thread, then plays the next events of the input script at once if any are left, and when even
// that is exhausted it returns WM_QUIT (exit code 0) with a note on stderr instead of hanging.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "internal.h"

namespace plat::detail {
namespace {
constexpr int kHeadlessIdleWaitMs = 200;
constexpr int kSdlWaitSliceMs = 10;
constexpr int kDefaultWidth = 640, kDefaultHeight = 480;

struct ClassRec {
    std::string name;
    WNDPROC proc = nullptr;
    WORD atom = 0;
};

struct WindowRec {
    uintptr_t id = 0;
    WNDPROC proc = nullptr;
    std::string caption;
    int width = kDefaultWidth, height = kDefaultHeight;
    bool visible = false;
    bool iconic = false;
    bool destroying = false;
};

struct WindowState {
    std::mutex lock;
    std::condition_variable posted;
    std::vector<ClassRec> classes;
    WORD nextAtom = 0xC000;
    std::map<uintptr_t, WindowRec> windows; // ordered by creation
    uintptr_t nextId = 1;
    std::deque<MSG> queue;
    bool quitPosted = false;
    int quitCode = 0;
    bool sdlWindowOpen = false;
};
WindowState& S() {
    static WindowState* s = new WindowState; // never destroyed: exit handlers may still post
    return *s;
}

// Handles are small tagged numbers, not pointers, so a stale handle is simply unknown.
HWND ToHandle(uintptr_t id) {
    return reinterpret_cast<HWND>((id << 4) | 0x8);
}
uintptr_t ToId(HWND window) {
    uintptr_t v = reinterpret_cast<uintptr_t>(window);
    return (v & 0xF) == 0x8 ? (v >> 4) : 0;
}

// Lock held.
WindowRec* Find(WindowState& s, HWND window) {
    auto it = s.windows.find(ToId(window));
    return it == s.windows.end() ? nullptr : &it->second;
}
ClassRec* FindClass(WindowState& s, const char* name) {
    if (!name)
        return nullptr;
    for (ClassRec& c : s.classes)
        if (EqualNoCase(c.name, name))
            return &c;
    return nullptr;
}

bool Matches(const MSG& m, HWND window, UINT first, UINT last) {
    if (window && m.hwnd != window)
        return false;
    if (first == 0 && last == 0)
        return true;
    return m.message >= first && m.message <= last;
}

// Lets the backend deliver what it has: SDL events, and script events due at frame 0; and the
// CD device its completion, when due.
void Pump() {
    CdPoll();
    const Config& config = GetConfig();
#if defined(PLATFORM_HAVE_SDL2)
    if (config.backend == Backend::Sdl) {
        SdlPump(0);
        return;
    }
#endif
    if (config.backend == Backend::Headless)
        ScriptRunDue(FrameCount());
}

bool Take(MSG* msg, HWND window, UINT first, UINT last, bool remove) {
    WindowState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
        if (!Matches(*it, window, first, last))
            continue;
        if (msg)
            *msg = *it;
        if (remove)
            s.queue.erase(it);
        return true;
    }
    // WM_QUIT comes after everything posted before it, whatever the filter.
    if (s.quitPosted) {
        if (msg) {
            *msg = MSG{};
            msg->message = WM_QUIT;
            msg->wParam = static_cast<WPARAM>(s.quitCode);
            msg->time = GetTickCount();
        }
        if (remove)
            s.quitPosted = false;
        return true;
    }
    return false;
}

// Headless: waits for a post from another thread; true when something is waiting now.
bool WaitForPost(int ms) {
    WindowState& s = S();
    std::unique_lock<std::mutex> guard(s.lock);
    return s.posted.wait_for(guard, std::chrono::milliseconds(ms),
                             [&] { return !s.queue.empty() || s.quitPosted; });
}
}  // namespace

HWND MainWindow() {
    WindowState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    for (auto& [id, w] : s.windows)
        if (!w.destroying)
            return ToHandle(id);
    return nullptr;
}

void PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    PostMessageA(window, message, wParam, lParam);
}

void SetIconic(HWND window, bool iconic) {
    WPARAM kind;
    LPARAM size;
    {
        WindowState& s = S();
        std::lock_guard<std::mutex> guard(s.lock);
        WindowRec* w = Find(s, window);
        if (!w || w->iconic == iconic)
            return;
        w->iconic = iconic;
        kind = iconic ? SIZE_MINIMIZED : SIZE_RESTORED;
        size = iconic ? 0 : MAKELPARAM(w->width, w->height);
    }
    PostMessageA(window, WM_SIZE, kind, size);
}

void ResetWindows() {
    bool closeSdl;
    {
        WindowState& s = S();
        std::lock_guard<std::mutex> guard(s.lock);
        s.classes.clear();
        s.nextAtom = 0xC000;
        s.windows.clear();
        s.queue.clear();
        s.quitPosted = false;
        s.quitCode = 0;
        closeSdl = s.sdlWindowOpen;
        s.sdlWindowOpen = false;
    }
#if defined(PLATFORM_HAVE_SDL2)
    if (closeSdl)
        SdlCloseWindow();
#else
    (void)closeSdl;
#endif
}

}  // namespace plat::detail

using namespace plat::detail;

// ---- Window classes ----

PLATAPI WORD RegisterClassExA(const WNDCLASSEXA* cls) {
    if (!cls || !cls->lpszClassName || !*cls->lpszClassName || !cls->lpfnWndProc)
        return 0;
    WindowState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    if (FindClass(s, cls->lpszClassName))
        return 0; // already registered
    ClassRec c;
    c.name = cls->lpszClassName;
    c.proc = cls->lpfnWndProc;
    c.atom = s.nextAtom++;
    s.classes.push_back(c);
    return c.atom;
}

PLATAPI BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
    WindowState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    for (auto it = s.classes.begin(); it != s.classes.end(); ++it) {
        if (className && EqualNoCase(it->name, className)) {
            s.classes.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}

// ---- Windows ----

PLATAPI HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR caption, DWORD style, int x, int y,
                             int width, int height, HWND parent, void* menu, HINSTANCE instance,
                             void* param) {
    HWND handle;
    WindowRec rec;
    bool openSdl = false;
    const bool sdl = GetConfig().backend == plat::Backend::Sdl;
    {
        WindowState& s = S();
        std::lock_guard<std::mutex> guard(s.lock);
        ClassRec* c = FindClass(s, className);
        if (!c)
            return nullptr;
        rec.id = s.nextId++;
        rec.proc = c->proc;
        rec.caption = caption ? caption : "";
        rec.width = (width == CW_USEDEFAULT || width <= 0) ? kDefaultWidth : width;
        rec.height = (height == CW_USEDEFAULT || height <= 0) ? kDefaultHeight : height;
        s.windows[rec.id] = rec;
        handle = ToHandle(rec.id);
        if (!s.sdlWindowOpen && sdl) {
            s.sdlWindowOpen = true;
            openSdl = true;
        }
    }
#if defined(PLATFORM_HAVE_SDL2)
    if (openSdl && !SdlOpenWindow(rec.caption.c_str(), rec.width, rec.height)) {
        {
            WindowState& s = S();
            std::lock_guard<std::mutex> guard(s.lock);
            s.sdlWindowOpen = false;
        }
        FallBackToHeadless();
    }
#else
    (void)openSdl;
#endif
    CREATESTRUCTA cs{};
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.cy = rec.height;
    cs.cx = rec.width;
    cs.y = y;
    cs.x = x;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = caption;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    // Like Windows, a window procedure that answers WM_CREATE with -1 refuses the window.
    if (SendMessageA(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    return handle;
}

PLATAPI BOOL ShowWindow(HWND window, int show) {
    bool wasVisible;
    {
        WindowState& s = S();
        std::lock_guard<std::mutex> guard(s.lock);
        WindowRec* w = Find(s, window);
        if (!w)
            return FALSE;
        wasVisible = w->visible;
        w->visible = show != SW_HIDE;
    }
    if (show == SW_SHOWMINIMIZED)
        SetIconic(window, true);
    return wasVisible ? TRUE : FALSE;
}

PLATAPI BOOL UpdateWindow(HWND window) {
    return IsWindow(window);
}

PLATAPI BOOL DestroyWindow(HWND window) {
    {
        WindowState& s = S();
        std::lock_guard<std::mutex> guard(s.lock);
        WindowRec* w = Find(s, window);
        if (!w || w->destroying)
            return FALSE;
        w->destroying = true; // a WM_DESTROY handler calling DestroyWindow again gets FALSE
    }
    // The window is still valid while its procedure handles WM_DESTROY.
    if (WNDPROC proc = [&] {
            WindowState& s = S();
            std::lock_guard<std::mutex> guard(s.lock);
            WindowRec* w = Find(s, window);
            return w ? w->proc : nullptr;
        }())
        proc(window, WM_DESTROY, 0, 0);
    bool closeSdl = false;
    {
        WindowState& s = S();
        std::lock_guard<std::mutex> guard(s.lock);
        s.windows.erase(ToId(window));
        // Messages still waiting for a destroyed window are discarded, as on Windows.
        for (auto it = s.queue.begin(); it != s.queue.end();)
            it = (it->hwnd == window) ? s.queue.erase(it) : it + 1;
        if (s.windows.empty() && s.sdlWindowOpen) {
            s.sdlWindowOpen = false;
            closeSdl = true;
        }
    }
#if defined(PLATFORM_HAVE_SDL2)
    if (closeSdl)
        SdlCloseWindow();
#else
    (void)closeSdl;
#endif
    return TRUE;
}

PLATAPI BOOL IsIconic(HWND window) {
    WindowState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    WindowRec* w = Find(s, window);
    return (w && w->iconic) ? TRUE : FALSE;
}

PLATAPI BOOL IsWindow(HWND window) {
    WindowState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    return Find(s, window) ? TRUE : FALSE;
}

PLATAPI LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE)
        DestroyWindow(window);
    return 0;
}

// ---- Message queue ----

PLATAPI BOOL PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove) {
    Pump();
    // A minimised game presents no frames, so script events counted in frames would never come
    // due while it idles: on headless, after a run of empty peeks with the window minimised, the
    // next event is played at once.
    constexpr int kMinimisedIdlePeeks = 256;
    static std::atomic<int> idlePeeks{0};
    if (Take(msg, window, first, last, (remove & PM_REMOVE) != 0)) {
        idlePeeks = 0;
        return TRUE;
    }
    if (GetConfig().backend != plat::Backend::Headless || !IsIconic(MainWindow())) {
        idlePeeks = 0;
        return FALSE;
    }
    if (++idlePeeks < kMinimisedIdlePeeks || !ScriptRunNext())
        return FALSE;
    idlePeeks = 0;
    Pump();
    return Take(msg, window, first, last, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

PLATAPI BOOL GetMessageA(MSG* msg, HWND window, UINT first, UINT last) {
    if (!msg || (window && !IsWindow(window)))
        return -1;
    for (;;) {
        Pump();
        if (Take(msg, window, first, last, true))
            return msg->message == WM_QUIT ? FALSE : TRUE;
#if defined(PLATFORM_HAVE_SDL2)
        if (GetConfig().backend == plat::Backend::Sdl) {
            SdlPump(kSdlWaitSliceMs);
            continue;
        }
#endif
        if (WaitForPost(kHeadlessIdleWaitMs))
            continue;
        if (ScriptRunNext())
            continue;
        std::fprintf(stderr, "platform: message queue empty and no input can arrive; quitting\n");
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->time = GetTickCount();
        return FALSE;
    }
}

PLATAPI BOOL TranslateMessage(const MSG*) {
    // Keys never arrive as messages here, so there is nothing to translate.
    return FALSE;
}

PLATAPI LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg || !msg->hwnd)
        return 0;
    WNDPROC proc;
    {
        WindowState& s = S();
        std::lock_guard<std::mutex> guard(s.lock);
        WindowRec* w = Find(s, msg->hwnd);
        if (!w)
            return 0;
        proc = w->proc;
    }
    return proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

PLATAPI BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowState& s = S();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        // A null window posts a message for the thread itself; any other must exist.
        if (window && !Find(s, window))
            return FALSE;
        MSG m{};
        m.hwnd = window;
        m.message = message;
        m.wParam = wParam;
        m.lParam = lParam;
        m.time = GetTickCount();
        s.queue.push_back(m);
    }
    s.posted.notify_all();
    return TRUE;
}

// Calls the window procedure directly, from the calling thread.
PLATAPI LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc;
    {
        WindowState& s = S();
        std::lock_guard<std::mutex> guard(s.lock);
        WindowRec* w = Find(s, window);
        if (!w)
            return 0;
        proc = w->proc;
    }
    return proc(window, message, wParam, lParam);
}

PLATAPI void PostQuitMessage(int exitCode) {
    WindowState& s = S();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        s.quitPosted = true;
        s.quitCode = exitCode;
    }
    s.posted.notify_all();
}
