// Shared helpers of the display tests (DirectDraw, Direct3D, GDI): a headless platform with the
// default display driver, a window to be exclusive with, owning pointers for the COM-style
// objects, and a check that every surface, palette and device was released.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "d3d.h"
#include "ddraw.h"
#include "platform_fixture.h"
#include "win32.h"

namespace displaytest {

// Releases what it holds.
template <class T>
struct Ref {
    T* p = nullptr;
    Ref() = default;
    explicit Ref(T* q) : p(q) {}
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { reset(); }
    void reset() {
        if (p)
            p->Release();
        p = nullptr;
    }
    T** out() {
        reset();
        return &p;
    }
    T* operator->() const { return p; }
    T* get() const { return p; }
};

inline DDSURFACEDESC Desc(uint32_t flags, uint32_t caps, uint32_t width = 0, uint32_t height = 0) {
    DDSURFACEDESC d{};
    d.dwSize = sizeof d;
    d.dwFlags = flags;
    d.ddsCaps.dwCaps = caps;
    d.dwWidth = width;
    d.dwHeight = height;
    return d;
}

inline DDSURFACEDESC LockDesc() {
    DDSURFACEDESC d{};
    d.dwSize = sizeof d;
    return d;
}

// Every byte of a surface, row by row including the padding beyond the pixels.
inline std::vector<uint8_t> Snapshot(IDirectDrawSurface3* s) {
    DDSURFACEDESC d = LockDesc();
    if (s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK)
        return {};
    const auto* p = static_cast<const uint8_t*>(d.lpSurface);
    std::vector<uint8_t> bytes(p, p + size_t(d.lPitch) * d.dwHeight);
    s->Unlock(nullptr);
    return bytes;
}

// One pixel (8 or 16 bits) of a surface.
inline uint32_t PixelAt(IDirectDrawSurface3* s, int x, int y) {
    DDSURFACEDESC d = LockDesc();
    if (s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK)
        return 0xFFFFFFFF;
    const auto* row = static_cast<const uint8_t*>(d.lpSurface) + size_t(y) * size_t(d.lPitch);
    uint32_t v = row[x];
    if (d.ddpfPixelFormat.dwRGBBitCount == 16) {
        uint16_t w;
        std::memcpy(&w, row + x * 2, 2);
        v = w;
    }
    s->Unlock(nullptr);
    return v;
}

class DisplayTest : public plattest::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        plat::SetDisplayDrivers(plat::DefaultDisplayDrivers());
        WNDCLASSEXA cls{};
        cls.lpfnWndProc = DefWindowProcA;
        cls.lpszClassName = "DisplayTest";
        RegisterClassExA(&cls);
        window = CreateWindowExA(0, "DisplayTest", "display", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        back.reset();
        primary.reset();
        dd.reset();
        first.reset();
        plat::SetDisplayDrivers(plat::DefaultDisplayDrivers());
        HeadlessTest::TearDown();
        EXPECT_EQ(plat::LiveDisplayObjects(), 0) << "a surface, palette or device was not released";
    }

    // A DirectDraw object of the default driver, exclusive, in the given mode, with its
    // IDirectDraw2 interface.
    void OpenDisplay(int width, int height, int bits) {
        ASSERT_EQ(DirectDrawCreate(nullptr, first.out(), nullptr), DD_OK);
        ASSERT_EQ(first->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(dd.out())), DD_OK);
        ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX), DD_OK);
        ASSERT_EQ(first->SetDisplayMode(width, height, bits), DD_OK);
    }
    // The primary surface with one back buffer (the game's caps) and the back buffer.
    void MakeFlipChain(uint32_t memory = DDSCAPS_VIDEOMEMORY) {
        DDSURFACEDESC d = Desc(DDSD_CAPS | DDSD_BACKBUFFERCOUNT, DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP |
                                                                     DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE | memory);
        d.dwBackBufferCount = 1;
        ASSERT_EQ(dd->CreateSurface(&d, primary.out(), nullptr), DD_OK);
        DDSCAPS caps{DDSCAPS_BACKBUFFER};
        ASSERT_EQ(primary->GetAttachedSurface(&caps, back.out()), DD_OK);
    }
    // An off-screen surface in system memory of the display's format.
    Ref<IDirectDrawSurface3> Offscreen(int width, int height) {
        Ref<IDirectDrawSurface3> s;
        DDSURFACEDESC d = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY,
                               uint32_t(width), uint32_t(height));
        EXPECT_EQ(dd->CreateSurface(&d, s.out(), nullptr), DD_OK);
        return Ref<IDirectDrawSurface3>(std::exchange(s.p, nullptr));
    }

    HWND window = nullptr;
    // Released in reverse order of declaration: surfaces before the DirectDraw object.
    Ref<IDirectDraw> first;
    Ref<IDirectDraw2> dd;
    Ref<IDirectDrawSurface3> primary, back;
};

}  // namespace displaytest
