// DirectInput over the raw input queue: events routed to the buffered devices of their kind,
// buffer limits, acquisition and focus loss, parameter checks and injected failures, the input
// script feeding the devices, and pushes from another thread.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "dinput.h"
#include "plat_input.h"
#include "platform_fixture.h"
#include "win32.h"

namespace {

struct Event {
    DWORD offset;
    DWORD data;
    bool operator==(const Event& o) const { return offset == o.offset && data == o.data; }
};

void PrintTo(const Event& e, std::ostream* os) {
    *os << "{" << e.offset << ", 0x" << std::hex << e.data << std::dec << "}";
}

plat::InputEvent Key(uint8_t code, bool down) {
    plat::InputEvent e;
    e.kind = down ? plat::InputKind::KeyDown : plat::InputKind::KeyUp;
    e.scanCode = code;
    return e;
}

plat::InputEvent Move(int dx, int dy) {
    plat::InputEvent e;
    e.kind = plat::InputKind::MouseMove;
    e.dx = dx;
    e.dy = dy;
    return e;
}

plat::InputEvent Button(uint8_t button, bool down) {
    plat::InputEvent e;
    e.kind = down ? plat::InputKind::MouseDown : plat::InputKind::MouseUp;
    e.button = button;
    return e;
}

LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(w, m, wp, lp);
}

class DinputTest : public plattest::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        WNDCLASSEXA cls = {};
        cls.cbSize = sizeof cls;
        cls.lpfnWndProc = Proc;
        cls.lpszClassName = "DinputTest";
        RegisterClassExA(&cls);
        window = CreateWindowExA(0, "DinputTest", "t", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(DirectInputCreateA(nullptr, DIRECTINPUT_VERSION, &di, nullptr), DI_OK);
        mouse = Open(GUID_SysMouse, &c_dfDIMouse, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
        keyboard = Open(GUID_SysKeyboard, &c_dfDIKeyboard, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    }
    void TearDown() override {
        for (LPDIRECTINPUTDEVICE d : {mouse, keyboard})
            if (d) {
                d->Unacquire();
                d->Release();
            }
        if (di)
            di->Release();
        EXPECT_EQ(plat::DinputLiveObjects(), 0);
        HeadlessTest::TearDown();
    }

    LPDIRECTINPUTDEVICE Open(REFGUID guid, const DIDATAFORMAT* format, DWORD flags, DWORD bufferSize = 16) {
        LPDIRECTINPUTDEVICE d = nullptr;
        EXPECT_EQ(di->CreateDevice(guid, &d, nullptr), DI_OK);
        EXPECT_EQ(d->SetDataFormat(format), DI_OK);
        EXPECT_EQ(d->SetCooperativeLevel(window, flags), DI_OK);
        EXPECT_EQ(SetBuffer(d, bufferSize), DI_OK);
        EXPECT_EQ(d->Acquire(), DI_OK);
        return d;
    }

    static HRESULT SetBuffer(LPDIRECTINPUTDEVICE d, DWORD size) {
        DIPROPDWORD p = {};
        p.diph.dwSize = sizeof p;
        p.diph.dwHeaderSize = sizeof p.diph;
        p.diph.dwHow = DIPH_DEVICE;
        p.dwData = size;
        return d->SetProperty(DIPROP_BUFFERSIZE, &p.diph);
    }

    // Everything the device holds now, fetched `chunk` at a time; the last result in *result.
    static std::vector<Event> Drain(LPDIRECTINPUTDEVICE d, DWORD chunk = 5, HRESULT* result = nullptr) {
        std::vector<Event> out;
        for (;;) {
            DIDEVICEOBJECTDATA data[8];
            DWORD n = chunk;
            HRESULT r = d->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), data, &n, 0);
            if (result)
                *result = r;
            if (FAILED(r) || n == 0)
                return out;
            for (DWORD i = 0; i < n; ++i)
                out.push_back({data[i].dwOfs, data[i].dwData});
        }
    }

    HWND window = nullptr;
    LPDIRECTINPUT di = nullptr;
    LPDIRECTINPUTDEVICE mouse = nullptr;
    LPDIRECTINPUTDEVICE keyboard = nullptr;
};

TEST_F(DinputTest, EventsGoToTheDevicesOfTheirKindInOrder) {
    for (const plat::InputEvent& e :
         {Key(0x1E, true), Move(5, -3), Button(0, true), Move(0, 7), Key(0xC8, true), Button(1, true), Move(-2, 0),
          Button(0, false), Key(0x1E, false), Button(2, true), Key(0, true)})
        plat::PushInput(e);
    // The keyboard asks first: the mouse's events wait for it.
    EXPECT_EQ(Drain(keyboard), (std::vector<Event>{{0x1E, 0x80}, {0xC8, 0x80}, {0x1E, 0}}));
    EXPECT_EQ(Drain(mouse), (std::vector<Event>{{DIMOFS_X, 5},
                                                {DIMOFS_Y, static_cast<DWORD>(-3)},
                                                {DIMOFS_BUTTON0, 0x80},
                                                {DIMOFS_Y, 7},
                                                {DIMOFS_BUTTON1, 0x80},
                                                {DIMOFS_X, static_cast<DWORD>(-2)},
                                                {DIMOFS_BUTTON0, 0},
                                                {DIMOFS_BUTTON2, 0x80}}));
    EXPECT_TRUE(Drain(mouse).empty());
    EXPECT_TRUE(Drain(keyboard).empty());
}

TEST_F(DinputTest, TimestampsAndSequenceNumbersFollowTheEvents) {
    plat::InputEvent a = Key(2, true), b = Key(3, true);
    a.time = 100;
    b.time = 140;
    plat::PushInput(a);
    plat::PushInput(b);
    DIDEVICEOBJECTDATA data[4];
    DWORD n = 4;
    ASSERT_EQ(keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), data, &n, 0), DI_OK);
    ASSERT_EQ(n, 2u);
    EXPECT_EQ(data[0].dwTimeStamp, 100u);
    EXPECT_EQ(data[1].dwTimeStamp, 140u);
    EXPECT_LT(data[0].dwSequence, data[1].dwSequence);
}

TEST_F(DinputTest, AFullBufferLosesTheNewestEventsButSumsMotion) {
    for (int i = 0; i < 20; ++i)
        plat::PushInput(Key(static_cast<uint8_t>(2 + i), true));
    HRESULT result = DI_OK;
    DIDEVICEOBJECTDATA data[32];
    DWORD n = 32;
    result = keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), data, &n, 0);
    EXPECT_EQ(result, DI_BUFFEROVERFLOW);
    ASSERT_EQ(n, 16u);
    EXPECT_EQ(data[15].dwOfs, 17u) << "the oldest 16 are kept";
    n = 32;
    EXPECT_EQ(keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), data, &n, 0), DI_OK) << "reported once";
    EXPECT_EQ(n, 0u);

    // A full mouse buffer still adds motion on the axis of its last event.
    for (int i = 0; i < 15; ++i)
        plat::PushInput(Button(0, (i & 1) == 0));
    plat::PushInput(Move(3, 0));
    plat::PushInput(Move(4, 0));
    plat::PushInput(Move(-10, 0));
    plat::PushInput(Button(1, true));  // lost
    std::vector<Event> got = Drain(mouse, 8, &result);
    ASSERT_EQ(got.size(), 16u);
    EXPECT_EQ(got.back(), (Event{DIMOFS_X, static_cast<DWORD>(-3)}));
}

TEST_F(DinputTest, FocusLossLosesTheDevicesUntilTheyAreAcquiredAgain) {
    plat::PushInput(Key(5, true));
    plat::DinputSetFocus(false);
    plat::PushInput(Key(6, true));
    HRESULT result = DI_OK;
    EXPECT_TRUE(Drain(keyboard, 5, &result).empty());
    EXPECT_EQ(result, DIERR_INPUTLOST) << "the events of the lost device are gone";
    EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO) << "no foreground device without the focus";
    Drain(keyboard, 5, &result);
    EXPECT_EQ(result, DIERR_INPUTLOST) << "lost until acquired again";
    EXPECT_FALSE(plat::DinputMouseCaptured());

    plat::DinputSetFocus(true);
    plat::PushInput(Key(7, true));  // before the acquisition: not the device's
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), S_FALSE);
    plat::PushInput(Key(8, true));
    EXPECT_EQ(Drain(keyboard), (std::vector<Event>{{8, 0x80}}));
    EXPECT_EQ(Drain(mouse, 5, &result).size(), 0u);
    EXPECT_EQ(result, DIERR_INPUTLOST);
    EXPECT_EQ(mouse->Unacquire(), S_FALSE);
    Drain(mouse, 5, &result);
    EXPECT_EQ(result, DIERR_NOTACQUIRED) << "given up by the caller, no longer lost";
    EXPECT_EQ(mouse->Acquire(), DI_OK);
    EXPECT_TRUE(plat::DinputMouseCaptured());
}

TEST_F(DinputTest, AMinimisedWindowTakesTheFocusAndABackgroundDeviceKeepsIt) {
    LPDIRECTINPUTDEVICE background = Open(GUID_SysKeyboard, &c_dfDIKeyboard, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    ShowWindow(window, SW_SHOWMINIMIZED);
    plat::PushInput(Key(9, true));
    HRESULT result = DI_OK;
    Drain(keyboard, 5, &result);
    EXPECT_EQ(result, DIERR_INPUTLOST);
    EXPECT_EQ(Drain(background), (std::vector<Event>{{9, 0x80}}));
    EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(background->Acquire(), S_FALSE) << "still acquired";
    background->Unacquire();
    background->Release();
}

TEST_F(DinputTest, UnacquiredDevicesGetNothing) {
    EXPECT_TRUE(plat::DinputMouseCaptured());
    EXPECT_EQ(mouse->Unacquire(), DI_OK);
    EXPECT_EQ(mouse->Unacquire(), S_FALSE);
    EXPECT_FALSE(plat::DinputMouseCaptured()) << "the exclusive mouse is given back";
    plat::PushInput(Move(1, 1));
    plat::PushInput(Key(4, true));
    HRESULT result = DI_OK;
    EXPECT_TRUE(Drain(mouse, 5, &result).empty());
    EXPECT_EQ(result, DIERR_NOTACQUIRED);
    EXPECT_EQ(Drain(keyboard).size(), 1u);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    EXPECT_TRUE(Drain(mouse).empty()) << "motion from before the acquisition is not delivered";
}

struct BadCall {
    const char* name;
    HRESULT (*call)(LPDIRECTINPUT di, LPDIRECTINPUTDEVICE device, HWND window);
    HRESULT expected;
};

void PrintTo(const BadCall& c, std::ostream* os) {
    *os << c.name;
}

class DinputBadCallTest : public DinputTest, public ::testing::WithParamInterface<BadCall> {};

TEST_P(DinputBadCallTest, IsRefused) {
    EXPECT_EQ(GetParam().call(di, keyboard, window), GetParam().expected);
}

DIPROPDWORD BufferProperty(DWORD size) {
    DIPROPDWORD p = {};
    p.diph.dwSize = sizeof p;
    p.diph.dwHeaderSize = sizeof p.diph;
    p.diph.dwHow = DIPH_DEVICE;
    p.dwData = size;
    return p;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DinputBadCallTest,
    ::testing::Values(
        BadCall{"WrongFormatForTheKind", [](LPDIRECTINPUT, LPDIRECTINPUTDEVICE d, HWND) {
                    d->Unacquire();
                    return d->SetDataFormat(&c_dfDIMouse);
                }, DIERR_INVALIDPARAM},
        BadCall{"FormatWhileAcquired", [](LPDIRECTINPUT, LPDIRECTINPUTDEVICE d, HWND) {
                    return d->SetDataFormat(&c_dfDIKeyboard);
                }, DIERR_ACQUIRED},
        BadCall{"BothExclusiveAndNot", [](LPDIRECTINPUT, LPDIRECTINPUTDEVICE d, HWND w) {
                    d->Unacquire();
                    return d->SetCooperativeLevel(w, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
                }, DIERR_INVALIDPARAM},
        BadCall{"ForegroundWithoutWindow", [](LPDIRECTINPUT, LPDIRECTINPUTDEVICE d, HWND) {
                    d->Unacquire();
                    return d->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
                }, DIERR_INVALIDPARAM},
        BadCall{"PropertyHeaderOfTheWrongSize", [](LPDIRECTINPUT, LPDIRECTINPUTDEVICE d, HWND) {
                    d->Unacquire();
                    DIPROPDWORD p = BufferProperty(8);
                    p.diph.dwSize = sizeof p.diph;
                    return d->SetProperty(DIPROP_BUFFERSIZE, &p.diph);
                }, DIERR_INVALIDPARAM},
        BadCall{"DataOfTheWrongSize", [](LPDIRECTINPUT, LPDIRECTINPUTDEVICE d, HWND) {
                    DIDEVICEOBJECTDATA data[2];
                    DWORD n = 2;
                    return d->GetDeviceData(sizeof(DIDEVICEOBJECTDATA) - 4, data, &n, 0);
                }, DIERR_INVALIDPARAM},
        BadCall{"DataWithoutACount", [](LPDIRECTINPUT, LPDIRECTINPUTDEVICE d, HWND) {
                    DIDEVICEOBJECTDATA data[2];
                    return d->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), data, nullptr, 0);
                }, DIERR_INVALIDPARAM},
        BadCall{"UnbufferedDevice", [](LPDIRECTINPUT, LPDIRECTINPUTDEVICE d, HWND) {
                    d->Unacquire();
                    DIPROPDWORD p = BufferProperty(0);
                    d->SetProperty(DIPROP_BUFFERSIZE, &p.diph);
                    d->Acquire();
                    DIDEVICEOBJECTDATA data[2];
                    DWORD n = 2;
                    return d->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), data, &n, 0);
                }, DIERR_NOTBUFFERED},
        BadCall{"AcquireWithoutFormat", [](LPDIRECTINPUT di, LPDIRECTINPUTDEVICE, HWND) {
                    LPDIRECTINPUTDEVICE fresh = nullptr;
                    di->CreateDevice(GUID_SysKeyboard, &fresh, nullptr);
                    HRESULT r = fresh->Acquire();
                    fresh->Release();
                    return r;
                }, DIERR_INVALIDPARAM},
        BadCall{"UnknownDevice", [](LPDIRECTINPUT di, LPDIRECTINPUTDEVICE, HWND) {
                    GUID joystick = GUID_SysMouse;
                    joystick.Data1 ^= 0xFF;
                    LPDIRECTINPUTDEVICE d = reinterpret_cast<LPDIRECTINPUTDEVICE>(1);
                    HRESULT r = di->CreateDevice(joystick, &d, nullptr);
                    return d == nullptr ? r : DI_OK;
                }, DIERR_DEVICENOTREG},
        BadCall{"LaterVersion", [](LPDIRECTINPUT, LPDIRECTINPUTDEVICE, HWND) {
                    LPDIRECTINPUT other = nullptr;
                    return DirectInputCreateA(nullptr, 0x0700, &other, nullptr);
                }, DIERR_OLDDIRECTINPUTVERSION}),
    [](const ::testing::TestParamInfo<BadCall>& info) { return std::string(info.param.name); });

TEST_F(DinputTest, InjectedFailuresAnswerEachCallOfTheirKind) {
    const struct {
        plat::DinputCall call;
        HRESULT (*run)(LPDIRECTINPUT, LPDIRECTINPUTDEVICE);
    } cases[] = {
        {plat::DinputCall::Create, [](LPDIRECTINPUT, LPDIRECTINPUTDEVICE) {
             LPDIRECTINPUT o = nullptr;
             return DirectInputCreateA(nullptr, DIRECTINPUT_VERSION, &o, nullptr);
         }},
        {plat::DinputCall::CreateDevice, [](LPDIRECTINPUT di, LPDIRECTINPUTDEVICE) {
             LPDIRECTINPUTDEVICE d = nullptr;
             return di->CreateDevice(GUID_SysMouse, &d, nullptr);
         }},
        {plat::DinputCall::SetDataFormat, [](LPDIRECTINPUT, LPDIRECTINPUTDEVICE d) { return d->SetDataFormat(&c_dfDIKeyboard); }},
        {plat::DinputCall::SetCooperativeLevel,
         [](LPDIRECTINPUT, LPDIRECTINPUTDEVICE d) { return d->SetCooperativeLevel(nullptr, 0); }},
        {plat::DinputCall::SetProperty, [](LPDIRECTINPUT, LPDIRECTINPUTDEVICE d) { return d->SetProperty(nullptr, nullptr); }},
        {plat::DinputCall::Acquire, [](LPDIRECTINPUT, LPDIRECTINPUTDEVICE d) { return d->Acquire(); }},
        {plat::DinputCall::GetDeviceData, [](LPDIRECTINPUT, LPDIRECTINPUTDEVICE d) {
             DWORD n = 1;
             DIDEVICEOBJECTDATA data;
             return d->GetDeviceData(sizeof data, &data, &n, 0);
         }},
    };
    for (const auto& c : cases) {
        plat::DinputSetFailure(c.call, DIERR_GENERIC);
        EXPECT_EQ(c.run(di, keyboard), DIERR_GENERIC) << static_cast<int>(c.call);
        plat::DinputSetFailure(c.call, DI_OK);
    }
    EXPECT_EQ(plat::DinputLiveObjects(), 3);
}

TEST_F(DinputTest, TheInputScriptFeedsTheDevices) {
    plattest::WriteText(scratch + "/input.txt", "1 key down 0x1C\n1 mouse move 4 -2\n1 mouse down 1\n2 key up 0x1C\n");
    setenv("PLATFORM_INPUT", (scratch + "/input.txt").c_str(), 1);
    plat::ResetForTests();  // loads the script; windows and devices are gone or kept as they are
    EXPECT_EQ(Drain(keyboard).size(), 0u);
    static const std::vector<uint32_t> frame(640 * 480, 0);
    plat::PresentFrame(frame.data(), 640, 480);
    EXPECT_EQ(Drain(keyboard), (std::vector<Event>{{0x1C, 0x80}}));
    EXPECT_EQ(Drain(mouse), (std::vector<Event>{{DIMOFS_X, 4}, {DIMOFS_Y, static_cast<DWORD>(-2)}, {DIMOFS_BUTTON1, 0x80}}));
    plat::PresentFrame(frame.data(), 640, 480);
    EXPECT_EQ(Drain(keyboard), (std::vector<Event>{{0x1C, 0}}));
    unsetenv("PLATFORM_INPUT");
}

TEST_F(DinputTest, EventsPushedFromAnotherThreadAllArriveInOrder) {
    constexpr int kPushes = 2000;
    ASSERT_EQ(keyboard->Unacquire(), DI_OK);
    ASSERT_EQ(SetBuffer(keyboard, 4096), DI_OK);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    std::thread pusher([] {
        for (int i = 0; i < kPushes; ++i)
            plat::PushInput(Key(static_cast<uint8_t>(1 + i % 200), true));
    });
    std::vector<Event> seen;
    while (seen.size() < static_cast<size_t>(kPushes)) {
        std::vector<Event> got = Drain(keyboard, 8);
        seen.insert(seen.end(), got.begin(), got.end());
        if (got.empty())
            std::this_thread::yield();
    }
    pusher.join();
    EXPECT_TRUE(Drain(keyboard).empty());
    for (int i = 0; i < kPushes; ++i)
        ASSERT_EQ(seen[static_cast<size_t>(i)].offset, static_cast<DWORD>(1 + i % 200)) << i;
}

}  // namespace
