// Input: the mouse and the keyboard through DirectInput, polled once a frame. The poll keeps a
// cursor in screen pixels moved by relative motion, the button pressed in this poll with its
// double-click detection, and the held keys by DirectInput scan code. The interface reads all of
// it through the accessors below and writes the button and key states to consume events.
#pragma once
#include <cstdint>

#include "win32.h"

// Input state.
extern int32_t g_InputWidth, g_InputHeight;  // the screen size given to INP_Init
extern int32_t g_MouseX, g_MouseY;           // the cursor, within 0..width-1 x 0..height-1
extern int32_t g_MouseButton;                // the press of the last poll: 0 none, 1 left, 2 right
extern int32_t g_DoubleClick;                // 1 when that press completed a double click
// Click tracking: polls since the first click (-1 none pending, -2 right after a double click),
// where it was, which button (1 left, 2 right, -1 none), and whether it waits for a second.
extern int32_t g_ClickAge, g_ClickX, g_ClickY, g_ClickButton, g_ClickArmed;
constexpr int INP_KEY_COUNT = 256;
extern int32_t g_KeyDown[INP_KEY_COUNT];     // nonzero while the key of that scan code is held

// A second click must come within this many polls of the first, and closer than this many
// pixels in x and in y.
constexpr int32_t INP_DOUBLE_CLICK_POLLS = 7;
constexpr int32_t INP_DOUBLE_CLICK_PIXELS = 10;

// Creates DirectInput, the system mouse (exclusive, foreground) and the system keyboard
// (non-exclusive, foreground), both buffered with 16 events; centres the cursor and clears the
// button, the keys and the click tracking. 0 at the first failing DirectInput call, else 1.
int INP_Init(HINSTANCE instance, HWND window, int width, int height);
// Unacquires and releases both devices and DirectInput.
void INP_Shutdown();
// Acquire a device: 0 when refused (another application has priority, not acquired, invalid
// parameter) or when the device does not exist, else 1.
int INP_AcquireMouse();
int INP_AcquireKeyboard();
// Reads the buffered mouse and keyboard events of this frame; 1.
int INP_Poll();

int INP_GetMouseX();
int INP_GetMouseY();
int INP_SetMouseX(int value);  // 1
int INP_SetMouseY(int value);  // 1
int INP_GetMouseButton();
int INP_SetMouseButton(int value);  // 1; the interface sets 0 to consume a press
int INP_GetDoubleClick();
// Key states by scan code. A code outside 0..255 reads as 0 and is ignored when set (key maps
// come from files and may hold anything).
int INP_IsKeyDown(int scanCode);
int INP_SetKeyState(int scanCode, int value);  // 1
int INP_AnyKeyDown();                          // 1 when any key is held

// The text a key types, without and with Shift (UK layout), for the name entry and the chat line.
// Texts are single-byte: the pound sign is 0xA3 and the not sign 0xAC, as the bitmap fonts index
// them by byte. A key that types no character (modifiers, control, navigation, function and
// system keys, -1, unknown codes) gives an empty text.
const char* INP_GetKeyText(int scanCode);
const char* INP_GetShiftedKeyText(int scanCode);

// Tests of the start-up order observe the calls here: each public call except the accessors is
// reported as "NAME" or "NAME(args)". Off (null) by default.
void INP_SetCallTrace(void (*trace)(const char* entry));
