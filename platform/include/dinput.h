// DirectInput 5 as the game uses it: one DirectInput object, the system mouse and the system
// keyboard as buffered devices. Our own declarations, holding only what callers use.
//
// The devices are fed from the platform's raw input queue (plat_input.h): the first device that
// asks for data drains the queue and hands each event to every acquired device of its kind.
// Mouse events: relative X and Y motion (DIMOFS_X, DIMOFS_Y, the data a signed count) and
// buttons (DIMOFS_BUTTON0 + n, data 0x80 pressed, 0 released). Keyboard events: the offset is
// the scan code, data 0x80 pressed, 0 released.
//
// Focus: a foreground device is lost while the main window is minimised or the platform has no
// focus (plat::DinputSetFocus, the sdl window's focus): it is unacquired, its events are gone,
// and GetDeviceData answers DIERR_INPUTLOST until it is acquired again (or unacquired by the
// caller); Acquire answers DIERR_OTHERAPPHASPRIO until the focus is back. On the sdl backend an acquired exclusive mouse puts SDL in relative mouse mode.
#pragma once
#include <cstdint>

#include "plat.h"
#include "win32.h"

constexpr DWORD DIRECTINPUT_VERSION = 0x0500;

enum : HRESULT {
    DI_OK = 0,
    DI_BUFFEROVERFLOW = 1,  // success; some events were lost because the buffer was full
    DIERR_OTHERAPPHASPRIO = static_cast<HRESULT>(0x80070005u),
    DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu),
    DIERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu),
    DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001Eu),
    DIERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u),
    DIERR_ACQUIRED = static_cast<HRESULT>(0x800700AAu),
    DIERR_OLDDIRECTINPUTVERSION = static_cast<HRESULT>(0x8007047Eu),
    DIERR_DEVICENOTREG = static_cast<HRESULT>(0x80040154u),
    DIERR_NOTBUFFERED = static_cast<HRESULT>(0x80040207u),
    DIERR_GENERIC = static_cast<HRESULT>(0x80004005u),
};

// Cooperative levels.
enum : DWORD {
    DISCL_EXCLUSIVE = 0x1,
    DISCL_NONEXCLUSIVE = 0x2,
    DISCL_FOREGROUND = 0x4,
    DISCL_BACKGROUND = 0x8,
};

// Offsets of the standard mouse format.
enum : DWORD {
    DIMOFS_X = 0,
    DIMOFS_Y = 4,
    DIMOFS_Z = 8,
    DIMOFS_BUTTON0 = 12,
    DIMOFS_BUTTON1 = 13,
    DIMOFS_BUTTON2 = 14,
};

// Device GUIDs.
extern "C" PLATEXPORT const GUID GUID_SysMouse;
extern "C" PLATEXPORT const GUID GUID_SysKeyboard;

// The standard data formats; the platform knows them by address.
struct DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwDataSize;
    DWORD dwNumObjs;
};
extern "C" PLATEXPORT const DIDATAFORMAT c_dfDIMouse;
extern "C" PLATEXPORT const DIDATAFORMAT c_dfDIKeyboard;

// Properties.
struct DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;
    DWORD dwObj;
    DWORD dwHow;
};
struct DIPROPDWORD {
    DIPROPHEADER diph;
    DWORD dwData;
};
enum : DWORD { DIPH_DEVICE = 0 };
// Properties are named by small numbers in place of a GUID address.
#define DIPROP_BUFFERSIZE (reinterpret_cast<const GUID*>(uintptr_t(1)))

// One buffered event.
struct DIDEVICEOBJECTDATA {
    DWORD dwOfs;
    DWORD dwData;
    DWORD dwTimeStamp;
    DWORD dwSequence;
};

class IDirectInputDevice {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    virtual HRESULT SetProperty(const GUID* property, const DIPROPHEADER* header) = 0;
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    // Moves up to *count events (oldest first) into data and sets *count to the number moved.
    // objectDataSize must be sizeof(DIDEVICEOBJECTDATA); flags must be 0.
    virtual HRESULT GetDeviceData(DWORD objectDataSize, DIDEVICEOBJECTDATA* data, DWORD* count, DWORD flags) = 0;

protected:
    virtual ~IDirectInputDevice() = default;
};
typedef IDirectInputDevice* LPDIRECTINPUTDEVICE;

class IDirectInput {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT CreateDevice(REFGUID device, LPDIRECTINPUTDEVICE* out, void* outer) = 0;

protected:
    virtual ~IDirectInput() = default;
};
typedef IDirectInput* LPDIRECTINPUT;

// Versions up to 0x0500 are served; a later one gives DIERR_OLDDIRECTINPUTVERSION.
// The keyboard as it stands now (User's asynchronous key query), from the same key events that
// the input script and the SDL backend feed to the devices here: bit 0x8000 while the virtual key
// is held (either Shift for VK_SHIFT); 0 for a key that is up or that this layer does not know.
enum : int { VK_SHIFT = 16, VK_END = 35, VK_HOME = 36 };
PLATAPI int16_t GetAsyncKeyState(int virtualKey);

PLATAPI HRESULT DirectInputCreateA(HINSTANCE instance, DWORD version, LPDIRECTINPUT* out, void* outer);

namespace plat {

// Test controls of the input devices.
enum class DinputCall { Create, CreateDevice, SetDataFormat, SetCooperativeLevel, SetProperty, Acquire, GetDeviceData };
// Every later call of this kind fails with the code (S_OK restores normal answers).
PLATEXPORT void DinputSetFailure(DinputCall call, HRESULT code);
// The application's focus as the devices see it (true by default; the sdl backend follows its
// window's focus). Losing it makes every acquired foreground device lost.
PLATEXPORT void DinputSetFocus(bool focused);
// Devices and DirectInput objects not yet released.
PLATEXPORT int DinputLiveObjects();
// True while an exclusive mouse is acquired (relative mouse mode on the sdl backend).
PLATEXPORT bool DinputMouseCaptured();
// No failures, focus back; the devices that exist stay.
PLATEXPORT void DinputResetForTests();

}  // namespace plat
