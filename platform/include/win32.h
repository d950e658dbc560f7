// Windows basics as the game and the libraries use them: types, the window and its message queue,
// clocks, debug output, message boxes, files, heaps and run-time loading. Our own declarations,
// holding only what callers use; implemented over Linux in platform/src/.
#pragma once
#include <cstddef>
#include <cstdint>

#if defined(PLATFORM_BUILD)
#define PLATAPI extern "C" __attribute__((visibility("default")))
#else
#define PLATAPI extern "C"
#endif

typedef int32_t BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef intptr_t LRESULT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef void* HANDLE;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef uint32_t ULONG;

// COM basics of the DirectX interfaces: result codes (negative = failure) and GUIDs.
typedef int32_t HRESULT;
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
enum : HRESULT { S_OK = 0, S_FALSE = 1 };
struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
typedef GUID* LPGUID;
typedef const GUID& REFGUID;
inline bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
        return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i])
            return false;
    return true;
}

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

struct PlatWindow;
typedef PlatWindow* HWND;
struct PlatInstance;
typedef PlatInstance* HINSTANCE;
struct PlatModule;
typedef PlatModule* HMODULE;
typedef void* HICON;
typedef void* HCURSOR;
typedef void* HBRUSH;

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);

// Messages the system sends or posts. Keyboard and mouse events never appear in the queue:
// the backend feeds them straight into the input layer's buffers.
enum : UINT {
    WM_NULL = 0x0000,
    WM_CREATE = 0x0001,
    WM_DESTROY = 0x0002,
    WM_SIZE = 0x0005,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_USER = 0x0400,
    MM_MCINOTIFY = 0x03B9,
};

// WM_SIZE wParam values, sent when the window is minimised and restored.
enum : WPARAM { SIZE_RESTORED = 0, SIZE_MINIMIZED = 1 };

struct POINT {
    LONG x, y;
};
struct RECT {
    LONG left, top, right, bottom;
};

#define LOWORD(v) ((WORD)((uintptr_t)(v) & 0xFFFF))
#define HIWORD(v) ((WORD)(((uintptr_t)(v) >> 16) & 0xFFFF))
#define MAKELPARAM(lo, hi) ((LPARAM)(DWORD)(((DWORD)(WORD)(lo)) | (((DWORD)(WORD)(hi)) << 16)))

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

enum : UINT { CS_VREDRAW = 0x1, CS_HREDRAW = 0x2, CS_OWNDC = 0x20 };
enum : DWORD { WS_POPUP = 0x80000000u, WS_EX_APPWINDOW = 0x00040000u };
enum : int { CW_USEDEFAULT = (int)0x80000000 };
enum : int { SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWMINIMIZED = 2, SW_SHOWDEFAULT = 10 };
enum : UINT { PM_NOREMOVE = 0, PM_REMOVE = 1 };
// Child windows, painting and commands, as the lobby plug-in's windows use them (platform/mfc).
// Plain constants, so that they combine with each other and with other flags without warnings.
inline constexpr DWORD WS_CHILD = 0x40000000u, WS_VISIBLE = 0x10000000u, WS_CAPTION = 0x00C00000u,
                       WS_BORDER = 0x00800000u, WS_SYSMENU = 0x00080000u, WS_VSCROLL = 0x00200000u,
                       WS_GROUP = 0x00020000u, WS_TABSTOP = 0x00010000u, WS_EX_STATICEDGE = 0x00020000u;
enum : int { SW_SHOW = 5 };
enum : UINT { WM_PAINT = 0x000F, WM_ERASEBKGND = 0x0014, WM_INITDIALOG = 0x0110, WM_COMMAND = 0x0111 };

struct WNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
};

// What WM_CREATE carries in lParam.
struct CREATESTRUCTA {
    void* lpCreateParams;
    HINSTANCE hInstance;
    void* hMenu;
    HWND hwndParent;
    int cy, cx, y, x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};

// Window class and window.
PLATAPI WORD RegisterClassExA(const WNDCLASSEXA* cls);
PLATAPI BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);
PLATAPI HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR caption, DWORD style, int x, int y,
                             int width, int height, HWND parent, void* menu, HINSTANCE instance, void* param);
PLATAPI BOOL ShowWindow(HWND window, int show);
PLATAPI BOOL UpdateWindow(HWND window);
PLATAPI BOOL DestroyWindow(HWND window);
PLATAPI BOOL IsIconic(HWND window);
PLATAPI BOOL IsWindow(HWND window);
PLATAPI LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
PLATAPI HINSTANCE GetModuleHandleA(LPCSTR name);
PLATAPI HICON LoadIconA(HINSTANCE instance, LPCSTR name);
PLATAPI HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
PLATAPI HBRUSH CreateSolidBrush(DWORD colour);
PLATAPI BOOL DeleteObject(void* object);
#define IDI_APPLICATION ((LPCSTR)(uintptr_t)32512)
#define IDC_ARROW ((LPCSTR)(uintptr_t)32512)

// Message queue (one per process: the game has one thread and one window; other threads may
// post). WM_QUIT is retrieved after everything posted before it, whatever the filter.
// GetMessageA on an empty queue: sdl waits for events; headless waits a moment for other threads,
// then plays the next input-script events early, and returns WM_QUIT (code 0) with a note on
// stderr when nothing can arrive any more, instead of hanging. SendMessageA calls the window
// procedure directly from the calling thread.
PLATAPI BOOL PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove);
PLATAPI BOOL GetMessageA(MSG* msg, HWND window, UINT first, UINT last);
PLATAPI BOOL TranslateMessage(const MSG* msg);
PLATAPI LRESULT DispatchMessageA(const MSG* msg);
PLATAPI BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
PLATAPI LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
PLATAPI void PostQuitMessage(int exitCode);

// Clocks. On the headless backend time is virtual: it starts at 0 and advances a fixed step per
// presented frame; Sleep on the main thread advances it instead of waiting (other threads really
// sleep). GetSystemTime there is 1998-06-15 12:00 UTC plus virtual time.
struct SYSTEMTIME {
    WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};
PLATAPI DWORD GetTickCount(void);
PLATAPI DWORD timeGetTime(void);
PLATAPI void GetSystemTime(SYSTEMTIME* time);
PLATAPI void Sleep(DWORD milliseconds);

// Diagnostics: debug output goes to stderr; message boxes print and answer with their default.
PLATAPI void OutputDebugStringA(LPCSTR text);
enum : UINT { MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_YESNO = 0x4, MB_ICONERROR = 0x10, MB_ICONEXCLAMATION = 0x30 };
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };
PLATAPI int MessageBoxA(HWND window, LPCSTR text, LPCSTR caption, UINT type);

// Process end. Every exit of the game goes through here, so tests can catch it.
PLATAPI __attribute__((noreturn)) void ExitProcess(UINT exitCode);

// Run-time loading: "VOX.DLL" is looked for as libvox.so beside the loading library and in
// PLATFORM_LIBRARY_PATH.
PLATAPI HMODULE LoadLibraryA(LPCSTR name);
PLATAPI void* GetProcAddress(HMODULE module, LPCSTR name);
PLATAPI BOOL FreeLibrary(HMODULE module);
