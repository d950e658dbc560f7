// DirectDraw palettes: 16 or 256 entries that 8-bit surfaces are shown and filled through.
#include <mutex>
#include <set>

#include "ddraw_internal.h"

namespace plat::detail {
namespace {
std::mutex g_PaletteLock;
std::set<const IDirectDrawPalette*>& Palettes() {
    static auto* palettes = new std::set<const IDirectDrawPalette*>;
    return *palettes;
}
}  // namespace

DirectDrawPalette::DirectDrawPalette(uint32_t caps, const PALETTEENTRY* entries)
    : caps_(caps), count_((caps & DDPCAPS_8BIT) ? 256 : 16) {
    for (int i = 0; i < count_; ++i)
        entries_[i] = entries[i];
    std::lock_guard<std::mutex> guard(g_PaletteLock);
    Palettes().insert(this);
    CountObject(1);
}

DirectDrawPalette::~DirectDrawPalette() {
    std::lock_guard<std::mutex> guard(g_PaletteLock);
    Palettes().erase(this);
    CountObject(-1);
}

DirectDrawPalette* DirectDrawPalette::From(IDirectDrawPalette* palette) {
    std::lock_guard<std::mutex> guard(g_PaletteLock);
    return Palettes().count(palette) ? static_cast<DirectDrawPalette*>(palette) : nullptr;
}

HRESULT DirectDrawPalette::QueryInterface(REFIID, void** out) {
    if (out)
        *out = nullptr;
    return DDERR_NOINTERFACE;
}

ULONG DirectDrawPalette::AddRef() {
    return ++refs_;
}

ULONG DirectDrawPalette::Release() {
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT DirectDrawPalette::GetCaps(uint32_t* caps) {
    if (!caps)
        return DDERR_INVALIDPARAMS;
    *caps = caps_;
    return DD_OK;
}

HRESULT DirectDrawPalette::GetEntries(uint32_t, uint32_t start, uint32_t count, PALETTEENTRY* entries) {
    if (!entries || start > uint32_t(count_) || count > uint32_t(count_) - start)
        return DDERR_INVALIDPARAMS;
    for (uint32_t i = 0; i < count; ++i)
        entries[i] = entries_[start + i];
    return DD_OK;
}

HRESULT DirectDrawPalette::SetEntries(uint32_t, uint32_t start, uint32_t count, const PALETTEENTRY* entries) {
    if (!entries || start > uint32_t(count_) || count > uint32_t(count_) - start)
        return DDERR_INVALIDPARAMS;
    for (uint32_t i = 0; i < count; ++i)
        entries_[start + i] = entries[i];
    return DD_OK;
}

}  // namespace plat::detail
