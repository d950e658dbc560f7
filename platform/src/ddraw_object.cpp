// DirectDraw objects and the machine's display drivers: enumeration and creation from the driver
// table (which tests replace), display modes, the cooperative level, video memory, and the
// creation of surfaces (the primary surface with its back buffer, Z buffers, off-screen
// surfaces and textures) and palettes.
#include <mutex>

#include "ddraw_internal.h"

namespace plat::detail {
namespace {
constexpr int kMaxSide = 8192;
std::atomic<int> g_LiveObjects{0};

std::mutex g_DriverLock;
std::vector<DisplayDriverSpec>& Drivers() {
    static auto* drivers = new std::vector<DisplayDriverSpec>(plat::DefaultDisplayDrivers());
    return *drivers;
}

std::vector<DisplayDriverSpec> CopyDrivers() {
    std::lock_guard<std::mutex> guard(g_DriverLock);
    return Drivers();
}

// The pixel format of a display depth: 8-bit palettised, or 16-bit 5-6-5 (5-5-5 on a driver
// whose 16-bit modes are laid out that way).
DDPIXELFORMAT ModeFormat(int bitsPerPixel, bool rgb555 = false) {
    if (bitsPerPixel == 8)
        return DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_PALETTEINDEXED8 | DDPF_RGB, 8, 0, 0, 0};
    if (rgb555)
        return DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_RGB, 16, 0x7C00, 0x03E0, 0x001F};
    return DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F};
}

const std::vector<DisplayModeSpec> ModesOf(const DisplayDriverSpec& spec) {
    return spec.modes.empty() ? plat::DefaultDisplayModes() : spec.modes;
}
}  // namespace

void CountObject(int delta) {
    g_LiveObjects += delta;
}

DirectDrawObject::DirectDrawObject(const DisplayDriverSpec& spec) : machine_(std::make_shared<DisplayMachine>()) {
    machine_->spec = spec;
    CountObject(1);
}

DirectDrawObject::~DirectDrawObject() {
    CountObject(-1);
}

HRESULT DirectDrawObject::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (IsEqualGUID(iid, IID_IDirectDraw2)) {
        AddRef();
        *out = static_cast<IDirectDraw2*>(this);
        return DD_OK;
    }
    if (IsEqualGUID(iid, IID_IDirect3D2) && machine_->spec.direct3d) {
        *out = CreateDirect3D(this);
        return DD_OK;
    }
    return DDERR_NOINTERFACE;
}

ULONG DirectDrawObject::AddRef() {
    return ++refs_;
}

ULONG DirectDrawObject::Release() {
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT DirectDrawObject::CreatePalette(uint32_t flags, const PALETTEENTRY* entries, IDirectDrawPalette** out,
                                        IUnknown* outer) {
    if (!out || !entries || outer)
        return DDERR_INVALIDPARAMS;
    *out = nullptr;
    const uint32_t size = flags & (DDPCAPS_4BIT | DDPCAPS_8BIT);
    if (size != DDPCAPS_4BIT && size != DDPCAPS_8BIT)
        return DDERR_INVALIDPARAMS;
    *out = new DirectDrawPalette(flags, entries);
    return DD_OK;
}

HRESULT DirectDrawObject::Place(uint32_t caps, uint64_t bytes, bool* videoMemory) {
    *videoMemory = false;
    if (caps & DDSCAPS_SYSTEMMEMORY)
        return DD_OK;
    const DisplayMachine& m = *machine_;
    if (m.videoUsed <= m.spec.videoMemory && bytes <= m.spec.videoMemory - m.videoUsed) {
        machine_->videoUsed += uint32_t(bytes);
        *videoMemory = true;
        return DD_OK;
    }
    // Without a placement asked for, a surface that does not fit goes to system memory.
    return (caps & DDSCAPS_VIDEOMEMORY) ? DDERR_OUTOFVIDEOMEMORY : DD_OK;
}

HRESULT DirectDrawObject::CreatePrimary(const DDSURFACEDESC& desc, IDirectDrawSurface3** out) {
    if (desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT))
        return DDERR_INVALIDPARAMS;
    if (machine_->primaryExists)
        return DDERR_PRIMARYSURFACEALREADYEXISTS;
    const uint32_t caps = desc.ddsCaps.dwCaps;
    const uint32_t backs = (desc.dwFlags & DDSD_BACKBUFFERCOUNT) ? desc.dwBackBufferCount : 0;
    const bool chain = caps & DDSCAPS_FLIP;
    if (chain != (backs > 0) || backs > 1 || (chain && !(caps & DDSCAPS_COMPLEX)))
        return DDERR_INVALIDCAPS;
    if (chain && !(machine_->cooperative & DDSCL_EXCLUSIVE))
        return DDERR_NOEXCLUSIVEMODE;

    const int width = machine_->width, height = machine_->height, bits = machine_->bitsPerPixel;
    const DDPIXELFORMAT format = ModeFormat(bits, machine_->spec.rgb555);
    const uint64_t bytes = uint64_t(DirectDrawSurface::PitchFor(width, bits)) * uint64_t(height) * (chain ? 2 : 1);
    bool video = false;
    if (HRESULT result = Place(caps, bytes, &video))
        return result;
    const uint32_t place = video ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY;
    const uint32_t base = caps & ~(DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY);
    auto* front = new DirectDrawSurface(machine_, base | place | (chain ? uint32_t(DDSCAPS_FRONTBUFFER) : 0u), width, height,
                                        format, video);
    if (chain)
        front->JoinChain(new DirectDrawSurface(machine_, (base & ~DDSCAPS_PRIMARYSURFACE) | DDSCAPS_BACKBUFFER | place,
                                               width, height, format, video));
    machine_->primaryExists = true;
    *out = front;
    return DD_OK;
}

HRESULT DirectDrawObject::CreateSurface(const DDSURFACEDESC* desc, IDirectDrawSurface3** out, IUnknown* outer) {
    if (!desc || !out || outer || desc->dwSize != sizeof(DDSURFACEDESC) || !(desc->dwFlags & DDSD_CAPS))
        return DDERR_INVALIDPARAMS;
    *out = nullptr;
    const uint32_t caps = desc->ddsCaps.dwCaps;
    if ((caps & DDSCAPS_VIDEOMEMORY) && (caps & DDSCAPS_SYSTEMMEMORY))
        return DDERR_INVALIDCAPS;
    if (caps & DDSCAPS_PRIMARYSURFACE)
        return CreatePrimary(*desc, out);
    if ((desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT) || desc->dwWidth == 0 ||
        desc->dwHeight == 0 || desc->dwWidth > kMaxSide || desc->dwHeight > kMaxSide)
        return DDERR_INVALIDPARAMS;

    DDPIXELFORMAT format = ModeFormat(machine_->bitsPerPixel, machine_->spec.rgb555);
    const DDPIXELFORMAT& asked = desc->ddpfPixelFormat;
    if (caps & DDSCAPS_ZBUFFER) {
        uint32_t depth = 0;
        if (desc->dwFlags & DDSD_ZBUFFERBITDEPTH)
            depth = desc->dwZBufferBitDepth;
        else if ((desc->dwFlags & DDSD_PIXELFORMAT) && (asked.dwFlags & DDPF_ZBUFFER))
            depth = asked.dwRGBBitCount;
        if (depth != 16)
            return DDERR_INVALIDPIXELFORMAT;
        if ((caps & DDSCAPS_VIDEOMEMORY) && !(machine_->spec.caps & DDCAPS_3D))
            return DDERR_NOZBUFFERHW;
        format = DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_ZBUFFER, 16, 0, 0, 0};
    } else if (desc->dwFlags & DDSD_PIXELFORMAT) {
        if ((asked.dwFlags & DDPF_PALETTEINDEXED8) && asked.dwRGBBitCount == 8)
            format = ModeFormat(8);
        else if ((asked.dwFlags & DDPF_RGB) && !(asked.dwFlags & DDPF_PALETTEINDEXED8) && asked.dwRGBBitCount == 16)
            format = asked;
        else
            return DDERR_INVALIDPIXELFORMAT;
        format.dwSize = sizeof(DDPIXELFORMAT);
    }

    const int width = int(desc->dwWidth), height = int(desc->dwHeight);
    const uint64_t bytes = uint64_t(DirectDrawSurface::PitchFor(width, int(format.dwRGBBitCount))) * uint64_t(height);
    bool video = false;
    if (HRESULT result = Place(caps, bytes, &video))
        return result;
    const uint32_t place = video ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY;
    *out = new DirectDrawSurface(machine_, (caps & ~(DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY)) | place, width,
                                 height, format, video);
    return DD_OK;
}

HRESULT DirectDrawObject::EnumDisplayModes(uint32_t, const DDSURFACEDESC* only, void* context,
                                           LPDDENUMMODESCALLBACK callback) {
    if (!callback)
        return DDERR_INVALIDPARAMS;
    for (const DisplayModeSpec& mode : ModesOf(machine_->spec)) {
        if (only && (((only->dwFlags & DDSD_WIDTH) && only->dwWidth != uint32_t(mode.width)) ||
                     ((only->dwFlags & DDSD_HEIGHT) && only->dwHeight != uint32_t(mode.height)) ||
                     ((only->dwFlags & DDSD_PIXELFORMAT) &&
                      only->ddpfPixelFormat.dwRGBBitCount != uint32_t(mode.bitsPerPixel))))
            continue;
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
        desc.dwWidth = uint32_t(mode.width);
        desc.dwHeight = uint32_t(mode.height);
        desc.lPitch = DirectDrawSurface::PitchFor(mode.width, mode.bitsPerPixel);
        desc.ddpfPixelFormat = ModeFormat(mode.bitsPerPixel, machine_->spec.rgb555);
        if (callback(&desc, context) == DDENUMRET_CANCEL)
            break;
    }
    return DD_OK;
}

HRESULT DirectDrawObject::GetAvailableVidMem(const DDSCAPS*, uint32_t* total, uint32_t* free) {
    const DisplayMachine& m = *machine_;
    if (total)
        *total = m.spec.videoMemory;
    if (free)
        *free = m.videoUsed <= m.spec.videoMemory ? m.spec.videoMemory - m.videoUsed : 0;
    return DD_OK;
}

HRESULT DirectDrawObject::GetCaps(DDCAPS* driver, DDCAPS* emulation) {
    if ((!driver && !emulation) || (driver && driver->dwSize != sizeof(DDCAPS)) ||
        (emulation && emulation->dwSize != sizeof(DDCAPS)))
        return DDERR_INVALIDPARAMS;
    uint32_t free = 0;
    GetAvailableVidMem(nullptr, nullptr, &free);
    if (driver)
        *driver = DDCAPS{sizeof(DDCAPS), machine_->spec.caps, machine_->spec.videoMemory, free};
    if (emulation)
        *emulation = DDCAPS{sizeof(DDCAPS), 0, 0, 0};
    return DD_OK;
}

HRESULT DirectDrawObject::SetCooperativeLevel(HWND window, uint32_t flags) {
    const bool exclusive = flags & DDSCL_EXCLUSIVE;
    if (exclusive != bool(flags & DDSCL_FULLSCREEN) || (exclusive && !IsWindow(window)) ||
        (!exclusive && !(flags & DDSCL_NORMAL)))
        return DDERR_INVALIDPARAMS;
    machine_->window = window;
    machine_->cooperative = flags;
    return DD_OK;
}

HRESULT DirectDrawObject::SetDisplayMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel) {
    for (const DisplayModeSpec& mode : ModesOf(machine_->spec)) {
        if (uint32_t(mode.width) != width || uint32_t(mode.height) != height ||
            uint32_t(mode.bitsPerPixel) != bitsPerPixel)
            continue;
        DisplayMachine& m = *machine_;
        if (m.width != mode.width || m.height != mode.height || m.bitsPerPixel != mode.bitsPerPixel)
            DirectDrawSurface::LoseVideoSurfaces(&m);  // what was in display memory is gone
        m.width = mode.width;
        m.height = mode.height;
        m.bitsPerPixel = mode.bitsPerPixel;
        return DD_OK;
    }
    return DDERR_UNSUPPORTEDMODE;
}

HRESULT DirectDrawObject::SetDisplayMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel, uint32_t,
                                         uint32_t) {
    return SetDisplayMode(width, height, bitsPerPixel);
}

}  // namespace plat::detail

using namespace plat::detail;

PLATAPI HRESULT DirectDrawEnumerateA(LPDDENUMCALLBACKA callback, void* context) {
    if (!callback)
        return DDERR_INVALIDPARAMS;
    for (plat::DisplayDriverSpec& driver : CopyDrivers()) {
        GUID guid = driver.guid;
        if (!callback(driver.hasGuid ? &guid : nullptr, driver.description.data(), driver.name.data(), context))
            break;
    }
    return DD_OK;
}

PLATAPI HRESULT DirectDrawCreate(GUID* guid, IDirectDraw** out, IUnknown* outer) {
    if (!out || outer)
        return DDERR_INVALIDPARAMS;
    *out = nullptr;
    for (const plat::DisplayDriverSpec& driver : CopyDrivers()) {
        if (guid ? !(driver.hasGuid && IsEqualGUID(driver.guid, *guid)) : driver.hasGuid)
            continue;
        if (!driver.opens)
            return DDERR_NODIRECTDRAWHW;
        *out = new DirectDrawObject(driver);
        return DD_OK;
    }
    return guid ? DDERR_INVALIDPARAMS : DDERR_NODIRECTDRAWHW;
}

namespace plat {

void SetDisplayDrivers(const std::vector<DisplayDriverSpec>& drivers) {
    std::lock_guard<std::mutex> guard(g_DriverLock);
    Drivers() = drivers;
}

std::vector<DisplayModeSpec> DefaultDisplayModes() {
    static constexpr int kSizes[][2] = {{320, 200}, {320, 240}, {512, 384}, {640, 400},   {640, 480},
                                        {800, 600}, {1024, 768}, {1152, 864}, {1280, 1024}, {1600, 1200}};
    std::vector<DisplayModeSpec> modes;
    for (int bits : {8, 16})
        for (const auto& size : kSizes)
            modes.push_back(DisplayModeSpec{size[0], size[1], bits});
    return modes;
}

std::vector<DisplayDriverSpec> DefaultDisplayDrivers() {
    return {DisplayDriverSpec{}};
}

void LoseDisplaySurfaces() {
    DirectDrawSurface::LoseVideoSurfaces(nullptr);
}

int LiveDisplayObjects() {
    return g_LiveObjects.load();
}

}  // namespace plat
