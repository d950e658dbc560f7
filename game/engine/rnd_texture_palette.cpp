// Palettes of 8-bit textures and bitmaps (see rnd_texture_palette.h).
#include "engine/rnd_texture_palette.h"

#include "plat.h"
#include "engine/rnd_display.h"
#include "engine/rnd_state.h"

namespace {
IDirectDrawPalette* MakePalette(IDirectDraw2* directDraw, uint32_t caps, const PALETTEENTRY* entries) {
    IDirectDrawPalette* palette = nullptr;
    if (directDraw->CreatePalette(caps, entries, &palette, nullptr) != DD_OK)
        return nullptr;
    return palette;
}
}  // namespace

PALETTEENTRY RND_RampEntry(int index, uint8_t flags) {
    return PALETTEENTRY{uint8_t((index >> 5) << 5), uint8_t(((index >> 2) & 7) << 5), uint8_t((index & 3) << 6), flags};
}

IDirectDrawPalette* RND_SetPaletteFromBitmap(IDirectDraw2* directDraw, HBITMAP bitmap) {
    if (!directDraw)
        return nullptr;
    RGBQUAD table[RND_PALETTE_ENTRIES] = {};
    UINT count = 0;
    if (HDC dc = CreateCompatibleDC(nullptr)) {
        if (HGDIOBJ previous = SelectObject(dc, bitmap)) {
            count = GetDIBColorTable(dc, 0, RND_PALETTE_ENTRIES, table);
            SelectObject(dc, previous);
        }
        DeleteDC(dc);
    }
    // Entries the table does not give stay black. A short table still makes an 8-bit palette: a
    // 4-bit one cannot be set on an 8-bit texture surface, which would be left without any.
    PALETTEENTRY entries[RND_PALETTE_ENTRIES] = {};
    for (UINT i = 0; i < count && i < RND_PALETTE_ENTRIES; ++i)
        entries[i] = PALETTEENTRY{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
    if (count == 0)
        for (int i = 0; i < RND_PALETTE_ENTRIES; ++i)
            entries[i] = RND_RampEntry(i, 0);
    return MakePalette(directDraw, DDPCAPS_8BIT, entries);
}

IDirectDrawPalette* RND_ClonePalette(IDirectDraw2* directDraw) {
    if (!directDraw || !g_Rnd.palette)
        return nullptr;
    PALETTEENTRY entries[RND_PALETTE_ENTRIES] = {};
    uint32_t caps = 0;
    if (g_Rnd.palette->GetEntries(0, 0, RND_PALETTE_ENTRIES, entries) != DD_OK || g_Rnd.palette->GetCaps(&caps) != DD_OK)
        return nullptr;
    caps &= ~uint32_t(DDPCAPS_PRIMARYSURFACE | DDPCAPS_PRIMARYSURFACELEFT);
    return MakePalette(directDraw, caps, entries);
}

IDirectDrawPalette* RND_CreateDefaultPalette(IDirectDraw2* directDraw) {
    if (!directDraw)
        return nullptr;
    PALETTEENTRY entries[RND_PALETTE_ENTRIES];
    DSP_DefaultPaletteEntries(entries);
    return MakePalette(directDraw, DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries);
}
