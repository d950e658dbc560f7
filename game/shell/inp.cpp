// Input: DirectInput start-up and shutdown, acquisition, the per-frame poll with its click and
// double-click state machine, and the accessors the interface uses. Main thread only.
#include "shell/inp.h"
#include "common/calltrace.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "dinput.h"
#include "common/app_services.h"

int32_t g_InputWidth = 0, g_InputHeight = 0;
int32_t g_MouseX = 0, g_MouseY = 0;
int32_t g_MouseButton = 0;
int32_t g_DoubleClick = 0;
int32_t g_ClickAge = -1, g_ClickX = -1, g_ClickY = -1, g_ClickButton = -1, g_ClickArmed = 0;
int32_t g_KeyDown[INP_KEY_COUNT] = {};

namespace {
LPDIRECTINPUT g_DirectInput = nullptr;
LPDIRECTINPUTDEVICE g_MouseDevice = nullptr;
LPDIRECTINPUTDEVICE g_KeyboardDevice = nullptr;
void (*g_InpTrace)(const char*) = nullptr;

constexpr DWORD kDeviceBufferSize = 16;
constexpr DWORD kMouseFetch = 200;
constexpr DWORD kKeyboardFetch = 16;
constexpr DWORD kPressedBit = 0x80;

void INP_Trace(const char* name, const char* format = nullptr, ...) __attribute__((format(printf, 2, 3)));
void INP_Trace(const char* name, const char* format, ...) {
    va_list list;
    va_start(list, format);
    TRC_ReportV(g_InpTrace, name, format, list);
    va_end(list);
}

HRESULT INP_SetBufferSize(LPDIRECTINPUTDEVICE device) {
    DIPROPDWORD property = {};
    property.diph.dwSize = sizeof(DIPROPDWORD);
    property.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    property.diph.dwObj = 0;
    property.diph.dwHow = DIPH_DEVICE;
    property.dwData = kDeviceBufferSize;
    return device->SetProperty(DIPROP_BUFFERSIZE, &property.diph);
}

int INP_AcquireResult(LPDIRECTINPUTDEVICE device) {
    if (!device)
        return 0;
    const HRESULT result = device->Acquire();
    return (result == DIERR_OTHERAPPHASPRIO || result == DIERR_NOTACQUIRED || result == DIERR_INVALIDPARAM) ? 0 : 1;
}

void INP_MoveCursor(int32_t* value, int32_t delta, int32_t size) {
    const int64_t moved = int64_t(*value) + delta;  // the interface may have put the cursor anywhere
    *value = static_cast<int32_t>(std::clamp<int64_t>(moved, 0, std::max(size - 1, 0)));
}

// A press of button (1 left, 2 right) at the cursor.
void INP_Press(int32_t button) {
    // A click armed on the other button is forgotten. After a double click nothing is armed and
    // the age stays below -1 until the next poll, so a further press in the same poll is
    // swallowed; the next poll ages it back to -1, where a press is a new first click.
    if (g_ClickArmed && g_ClickButton != button)
        g_ClickAge = -1;
    if (g_ClickAge == 0)
        return;  // a second press within the same poll as the first
    const bool nearFirst = std::abs(int64_t(g_MouseX) - g_ClickX) < INP_DOUBLE_CLICK_PIXELS &&
                           std::abs(int64_t(g_MouseY) - g_ClickY) < INP_DOUBLE_CLICK_PIXELS;
    if (g_ClickAge == 1 || g_ClickAge < -1) {
        g_MouseButton = 0;  // too soon after a click
    } else if (g_ClickAge >= 2 && nearFirst) {
        g_MouseButton = button;
        g_DoubleClick = 1;
        g_ClickAge = -2;
        g_ClickArmed = 0;
        g_ClickButton = -1;
    } else {
        // A first click (nothing pending, or the pending one too far away).
        g_MouseButton = button;
        g_ClickAge = 0;
        g_ClickX = g_MouseX;
        g_ClickY = g_MouseY;
        g_ClickArmed = 1;
        g_ClickButton = button;
    }
}

void INP_PollMouse() {
    if (!g_MouseDevice)
        return;
    g_MouseDevice->SetDataFormat(&c_dfDIMouse);
    g_MouseButton = 0;
    for (;;) {
        DIDEVICEOBJECTDATA events[kMouseFetch];
        DWORD count = kMouseFetch;
        const HRESULT result = g_MouseDevice->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), events, &count, 0);
        if (result == DIERR_INPUTLOST) {
            g_MouseDevice->Acquire();
            return;
        }
        if (FAILED(result) || count == 0)
            return;
        for (DWORD i = 0; i < std::min(count, kMouseFetch); ++i) {
            const DIDEVICEOBJECTDATA& e = events[i];
            const bool pressed = (e.dwData & kPressedBit) != 0;
            switch (e.dwOfs) {
            case DIMOFS_X:
                INP_MoveCursor(&g_MouseX, static_cast<int32_t>(e.dwData), g_InputWidth);
                break;
            case DIMOFS_Y:
                INP_MoveCursor(&g_MouseY, static_cast<int32_t>(e.dwData), g_InputHeight);
                break;
            case DIMOFS_BUTTON0:
            case DIMOFS_BUTTON1:
                if (pressed)
                    INP_Press(e.dwOfs == DIMOFS_BUTTON0 ? 1 : 2);
                else
                    g_MouseButton = 0;  // a release cancels a press made earlier in this poll
                break;
            default:
                break;
            }
        }
    }
}

void INP_PollKeyboard() {
    if (!g_KeyboardDevice)
        return;
    g_KeyboardDevice->SetDataFormat(&c_dfDIKeyboard);
    for (;;) {
        DIDEVICEOBJECTDATA events[kKeyboardFetch];
        DWORD count = kKeyboardFetch;
        const HRESULT result = g_KeyboardDevice->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), events, &count, 0);
        if (result == DIERR_INPUTLOST) {
            g_KeyboardDevice->Acquire();
            return;
        }
        if (FAILED(result) || count == 0)
            return;
        for (DWORD i = 0; i < std::min(count, kKeyboardFetch); ++i) {
            const DWORD code = events[i].dwOfs;
            if (code == 0 || code >= INP_KEY_COUNT)
                continue;
            g_KeyDown[code] = (events[i].dwData & kPressedBit) ? 1 : 0;
        }
    }
}

// Loops that run outside the message loop (the credits, key waits, waiting screens) poll input but
// dispatch no window messages: a close of the window is taken here and ends the program through
// the normal shutdown, wherever the poll runs. A quit message taken by the same look (it comes
// whatever the filter) is the same request.
void INP_ServeCloseRequest() {
    MSG message;
    if (PeekMessageA(&message, nullptr, WM_CLOSE, WM_CLOSE, PM_REMOVE))
        APP_Shutdown();
}

void INP_Release(LPDIRECTINPUTDEVICE* device) {
    if (!*device)
        return;
    (*device)->Unacquire();
    (*device)->Release();
    *device = nullptr;
}

// Creates one device with its format, cooperative level and buffer; false at the first failure
// (the device, when created, is kept for INP_Shutdown).
bool INP_CreateDevice(REFGUID guid, const DIDATAFORMAT* format, HWND window, DWORD cooperation,
                      LPDIRECTINPUTDEVICE* out) {
    if (FAILED(g_DirectInput->CreateDevice(guid, out, nullptr)) || !*out)
        return false;
    if (FAILED((*out)->SetDataFormat(format)))
        return false;
    if (FAILED((*out)->SetCooperativeLevel(window, cooperation)))
        return false;
    return SUCCEEDED(INP_SetBufferSize(*out));
}
}  // namespace

int INP_Init(HINSTANCE instance, HWND window, int width, int height) {
    INP_Trace("INP_Init", "%d,%d", width, height);
    // The state starts clean even when a device cannot be had: the game then runs without input.
    g_InputWidth = width;
    g_InputHeight = height;
    g_MouseX = width / 2;
    g_MouseY = height / 2;
    g_MouseButton = 0;
    g_DoubleClick = 0;
    std::fill(std::begin(g_KeyDown), std::end(g_KeyDown), 0);
    g_ClickAge = -1;
    g_ClickX = -1;
    g_ClickY = -1;
    g_ClickButton = -1;
    g_ClickArmed = 0;

    if (FAILED(DirectInputCreateA(instance, DIRECTINPUT_VERSION, &g_DirectInput, nullptr)) || !g_DirectInput)
        return 0;
    if (!INP_CreateDevice(GUID_SysMouse, &c_dfDIMouse, window, DISCL_EXCLUSIVE | DISCL_FOREGROUND, &g_MouseDevice))
        return 0;
    if (!INP_CreateDevice(GUID_SysKeyboard, &c_dfDIKeyboard, window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND,
                          &g_KeyboardDevice))
        return 0;
    return 1;
}

void INP_Shutdown() {
    INP_Trace("INP_Shutdown");
    INP_Release(&g_MouseDevice);
    INP_Release(&g_KeyboardDevice);
    if (g_DirectInput) {
        g_DirectInput->Release();
        g_DirectInput = nullptr;
    }
}

int INP_AcquireMouse() {
    INP_Trace("INP_AcquireMouse");
    return INP_AcquireResult(g_MouseDevice);
}

int INP_AcquireKeyboard() {
    INP_Trace("INP_AcquireKeyboard");
    return INP_AcquireResult(g_KeyboardDevice);
}

int INP_Poll() {
    INP_Trace("INP_Poll");
    g_DoubleClick = 0;
    if (g_ClickAge != -1 && ++g_ClickAge == INP_DOUBLE_CLICK_POLLS + 1)
        g_ClickAge = -1;
    INP_PollMouse();
    INP_PollKeyboard();
    INP_ServeCloseRequest();
    return 1;
}

int INP_GetMouseX() {
    return g_MouseX;
}

int INP_GetMouseY() {
    return g_MouseY;
}

int INP_SetMouseX(int value) {
    g_MouseX = value;
    return 1;
}

int INP_SetMouseY(int value) {
    g_MouseY = value;
    return 1;
}

int INP_GetMouseButton() {
    return g_MouseButton;
}

int INP_SetMouseButton(int value) {
    g_MouseButton = value;
    return 1;
}

int INP_GetDoubleClick() {
    return g_DoubleClick;
}

int INP_IsKeyDown(int scanCode) {
    return (scanCode >= 0 && scanCode < INP_KEY_COUNT) ? g_KeyDown[scanCode] : 0;
}

int INP_SetKeyState(int scanCode, int value) {
    if (scanCode >= 0 && scanCode < INP_KEY_COUNT)
        g_KeyDown[scanCode] = value;
    return 1;
}

int INP_AnyKeyDown() {
    return std::any_of(std::begin(g_KeyDown), std::end(g_KeyDown), [](int32_t k) { return k != 0; }) ? 1 : 0;
}

void INP_SetCallTrace(void (*trace)(const char* entry)) {
    g_InpTrace = trace;
}
