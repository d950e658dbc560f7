// DirectInput over the raw input queue: the DirectInput object, buffered mouse and keyboard
// devices, acquisition and loss of focus (see dinput.h). One lock guards every device; the raw
// queue is drained whenever a device needs its events, and each event goes to every acquired
// device of its kind.
#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <set>

#include "dinput.h"
#include "internal.h"
#include "plat_input.h"

extern "C" {
const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const DIDATAFORMAT c_dfDIMouse = {sizeof(DIDATAFORMAT), 2, 16, 7};
const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), 2, 256, 256};
}

namespace {

enum class Kind { Mouse, Keyboard };

// Buffers larger than this are served as this size.
constexpr DWORD kMaxBufferSize = 4096;

struct Device;

struct DiState {
    std::mutex lock;
    std::set<Device*> devices;
    int liveObjects = 0;
    std::map<plat::DinputCall, HRESULT> failures;
    bool focused = true;
    DWORD sequence = 0;
    bool relativeMouse = false;
};

DiState& S() {
    static DiState* s = new DiState;  // never destroyed: devices may outlive static teardown
    return *s;
}

using Lock = std::lock_guard<std::mutex>;

HRESULT Injected(DiState& s, plat::DinputCall call) {
    auto it = s.failures.find(call);
    return it == s.failures.end() ? DI_OK : it->second;
}

struct Device final : IDirectInputDevice {
    Kind kind;
    ULONG refs = 1;
    const DIDATAFORMAT* format = nullptr;
    DWORD cooperation = 0;
    HWND window = nullptr;
    DWORD bufferSize = 0;
    std::deque<DIDEVICEOBJECTDATA> buffer;
    bool overflow = false;
    bool acquired = false;
    bool lost = false;  // lost with its focus and not acquired since

    explicit Device(Kind k) : kind(k) {}

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT SetDataFormat(const DIDATAFORMAT* f) override;
    HRESULT SetCooperativeLevel(HWND w, DWORD flags) override;
    HRESULT SetProperty(const GUID* property, const DIPROPHEADER* header) override;
    HRESULT Acquire() override;
    HRESULT Unacquire() override;
    HRESULT GetDeviceData(DWORD objectDataSize, DIDEVICEOBJECTDATA* data, DWORD* count, DWORD flags) override;

    bool Foreground() const { return (cooperation & DISCL_FOREGROUND) != 0; }
    bool CapturesMouse() const { return kind == Kind::Mouse && (cooperation & DISCL_EXCLUSIVE) != 0; }
    void Push(DiState& s, DWORD offset, DWORD data, DWORD time);
};

// The sdl backend's relative mouse mode follows the acquired exclusive mouse. Lock held.
void UpdateMouseCapture(DiState& s) {
    bool captured = false;
    for (Device* d : s.devices)
        captured = captured || (d->acquired && d->CapturesMouse());
    if (captured == s.relativeMouse)
        return;
    s.relativeMouse = captured;
#if defined(PLATFORM_HAVE_SDL2)
    if (plat::CurrentBackend() == plat::Backend::Sdl)
        plat::detail::SdlSetRelativeMouse(captured);
#endif
}

bool HasFocus(DiState& s, HWND window) {
    if (!s.focused)
        return false;
    return !(window && IsIconic(window));
}

// A foreground device whose window lost the focus is lost: unacquired, its events gone, and its
// next GetDeviceData says so. Lock held.
void CheckFocus(DiState& s, Device& d) {
    if (!d.acquired || !d.Foreground() || HasFocus(s, d.window))
        return;
    d.acquired = false;
    d.lost = true;
    d.buffer.clear();
    d.overflow = false;
    UpdateMouseCapture(s);
}

void Device::Push(DiState& s, DWORD offset, DWORD data, DWORD time) {
    const DWORD capacity = std::min(bufferSize, kMaxBufferSize);
    if (buffer.size() >= capacity) {
        // A full buffer still sums further motion on the same axis into its last event, so a
        // fast mouse loses no distance; anything else is lost, as DirectInput does.
        const bool motion = kind == Kind::Mouse && (offset == DIMOFS_X || offset == DIMOFS_Y);
        if (motion && !buffer.empty() && buffer.back().dwOfs == offset) {
            buffer.back().dwData += data;
            return;
        }
        overflow = true;
        return;
    }
    buffer.push_back(DIDEVICEOBJECTDATA{offset, data, time, ++s.sequence});
}

// Hands every waiting raw event to the acquired devices of its kind. Lock held.
void Route(DiState& s) {
    for (Device* d : s.devices)
        CheckFocus(s, *d);
    const std::vector<plat::InputEvent> events = plat::DrainInput();
    for (const plat::InputEvent& ev : events) {
        for (Device* d : s.devices) {
            if (!d->acquired)
                continue;
            switch (ev.kind) {
            case plat::InputKind::KeyDown:
            case plat::InputKind::KeyUp:
                if (d->kind == Kind::Keyboard && ev.scanCode != 0)
                    d->Push(s, ev.scanCode, ev.kind == plat::InputKind::KeyDown ? 0x80 : 0, ev.time);
                break;
            case plat::InputKind::MouseMove:
                if (d->kind != Kind::Mouse)
                    break;
                if (ev.dx != 0)
                    d->Push(s, DIMOFS_X, static_cast<DWORD>(ev.dx), ev.time);
                if (ev.dy != 0)
                    d->Push(s, DIMOFS_Y, static_cast<DWORD>(ev.dy), ev.time);
                break;
            case plat::InputKind::MouseDown:
            case plat::InputKind::MouseUp:
                if (d->kind == Kind::Mouse && ev.button <= 2)
                    d->Push(s, DIMOFS_BUTTON0 + ev.button, ev.kind == plat::InputKind::MouseDown ? 0x80 : 0,
                            ev.time);
                break;
            }
        }
    }
}

ULONG Device::AddRef() {
    Lock guard(S().lock);
    return ++refs;
}

ULONG Device::Release() {
    DiState& s = S();
    Lock guard(s.lock);
    if (--refs > 0)
        return refs;
    s.devices.erase(this);
    --s.liveObjects;
    UpdateMouseCapture(s);
    delete this;
    return 0;
}

HRESULT Device::SetDataFormat(const DIDATAFORMAT* f) {
    DiState& s = S();
    Lock guard(s.lock);
    if (HRESULT r = Injected(s, plat::DinputCall::SetDataFormat))
        return r;
    if (acquired)
        return DIERR_ACQUIRED;
    const DIDATAFORMAT* expected = kind == Kind::Mouse ? &c_dfDIMouse : &c_dfDIKeyboard;
    if (f != expected)
        return DIERR_INVALIDPARAM;
    format = f;
    return DI_OK;
}

HRESULT Device::SetCooperativeLevel(HWND w, DWORD flags) {
    DiState& s = S();
    Lock guard(s.lock);
    if (HRESULT r = Injected(s, plat::DinputCall::SetCooperativeLevel))
        return r;
    const DWORD access = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
    const DWORD when = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
    if ((flags & ~0xFu) != 0 || (access != DISCL_EXCLUSIVE && access != DISCL_NONEXCLUSIVE) ||
        (when != DISCL_FOREGROUND && when != DISCL_BACKGROUND))
        return DIERR_INVALIDPARAM;
    if (when == DISCL_FOREGROUND && !IsWindow(w))
        return DIERR_INVALIDPARAM;
    if (acquired)
        return DIERR_ACQUIRED;
    cooperation = flags;
    window = w;
    return DI_OK;
}

HRESULT Device::SetProperty(const GUID* property, const DIPROPHEADER* header) {
    DiState& s = S();
    Lock guard(s.lock);
    if (HRESULT r = Injected(s, plat::DinputCall::SetProperty))
        return r;
    if (property != DIPROP_BUFFERSIZE || !header || header->dwSize != sizeof(DIPROPDWORD) ||
        header->dwHeaderSize != sizeof(DIPROPHEADER) || header->dwHow != DIPH_DEVICE || header->dwObj != 0)
        return DIERR_INVALIDPARAM;
    if (acquired)
        return DIERR_ACQUIRED;
    bufferSize = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
    return DI_OK;
}

HRESULT Device::Acquire() {
    DiState& s = S();
    Lock guard(s.lock);
    if (HRESULT r = Injected(s, plat::DinputCall::Acquire))
        return r;
    if (!format)
        return DIERR_INVALIDPARAM;
    if (Foreground() && !HasFocus(s, window))
        return DIERR_OTHERAPPHASPRIO;
    if (acquired)
        return S_FALSE;
    Route(s);  // what happened before the acquisition is not this device's
    acquired = true;
    lost = false;
    buffer.clear();
    overflow = false;
    UpdateMouseCapture(s);
    return DI_OK;
}

HRESULT Device::Unacquire() {
    DiState& s = S();
    Lock guard(s.lock);
    lost = false;
    if (!acquired)
        return S_FALSE;
    acquired = false;
    buffer.clear();
    overflow = false;
    UpdateMouseCapture(s);
    return DI_OK;
}

HRESULT Device::GetDeviceData(DWORD objectDataSize, DIDEVICEOBJECTDATA* data, DWORD* count, DWORD flags) {
    DiState& s = S();
    Lock guard(s.lock);
    if (HRESULT r = Injected(s, plat::DinputCall::GetDeviceData))
        return r;
    if (!count || objectDataSize != sizeof(DIDEVICEOBJECTDATA) || flags != 0)
        return DIERR_INVALIDPARAM;
    CheckFocus(s, *this);
    if (lost) {
        *count = 0;
        return DIERR_INPUTLOST;
    }
    if (!acquired) {
        *count = 0;
        return DIERR_NOTACQUIRED;
    }
    if (bufferSize == 0) {
        *count = 0;
        return DIERR_NOTBUFFERED;
    }
    Route(s);
    const DWORD n = std::min<DWORD>(*count, static_cast<DWORD>(buffer.size()));
    for (DWORD i = 0; i < n; ++i) {
        if (data)
            data[i] = buffer.front();
        buffer.pop_front();
    }
    *count = n;
    const bool lostSome = overflow;
    overflow = false;
    return lostSome ? DI_BUFFEROVERFLOW : DI_OK;
}

struct DirectInput final : IDirectInput {
    ULONG refs = 1;

    ULONG AddRef() override {
        Lock guard(S().lock);
        return ++refs;
    }
    ULONG Release() override {
        DiState& s = S();
        Lock guard(s.lock);
        if (--refs > 0)
            return refs;
        --s.liveObjects;
        delete this;
        return 0;
    }
    HRESULT CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE* out, void* outer) override {
        DiState& s = S();
        Lock guard(s.lock);
        if (HRESULT r = Injected(s, plat::DinputCall::CreateDevice))
            return r;
        if (!out || outer)
            return DIERR_INVALIDPARAM;
        *out = nullptr;
        Kind kind;
        if (guid == GUID_SysMouse)
            kind = Kind::Mouse;
        else if (guid == GUID_SysKeyboard)
            kind = Kind::Keyboard;
        else
            return DIERR_DEVICENOTREG;
        auto* d = new Device(kind);
        s.devices.insert(d);
        ++s.liveObjects;
        *out = d;
        return DI_OK;
    }
};

}  // namespace

PLATAPI HRESULT DirectInputCreateA(HINSTANCE, DWORD version, LPDIRECTINPUT* out, void* outer) {
    DiState& s = S();
    Lock guard(s.lock);
    if (HRESULT r = Injected(s, plat::DinputCall::Create))
        return r;
    if (!out || outer)
        return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (version > DIRECTINPUT_VERSION)
        return DIERR_OLDDIRECTINPUTVERSION;
    *out = new DirectInput;
    ++s.liveObjects;
    return DI_OK;
}

namespace plat {

void DinputSetFailure(DinputCall call, HRESULT code) {
    DiState& s = S();
    Lock guard(s.lock);
    if (code == DI_OK)
        s.failures.erase(call);
    else
        s.failures[call] = code;
}

void DinputSetFocus(bool focused) {
    DiState& s = S();
    Lock guard(s.lock);
    s.focused = focused;
    for (Device* d : s.devices)
        CheckFocus(s, *d);
}

int DinputLiveObjects() {
    DiState& s = S();
    Lock guard(s.lock);
    return s.liveObjects;
}

bool DinputMouseCaptured() {
    DiState& s = S();
    Lock guard(s.lock);
    return s.relativeMouse;
}

void DinputResetForTests() {
    DiState& s = S();
    Lock guard(s.lock);
    s.failures.clear();
    s.focused = true;
}

}  // namespace plat
