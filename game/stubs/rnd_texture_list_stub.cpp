// Stand-in for the renderer's texture lists and palette helpers (see rnd_texture_list_stub.h).
#include "stubs/rnd_texture_list_stub.h"

#include "stubs/rnd_display_stub.h"

ListHeader g_RndLoadedTextures = {{&g_RndLoadedTextures.tailEnd, nullptr}, {nullptr, &g_RndLoadedTextures.headEnd}};
ListHeader g_RndUnloadedTextures = {{&g_RndUnloadedTextures.tailEnd, nullptr},
                                    {nullptr, &g_RndUnloadedTextures.headEnd}};

void RND_InitTextureLists() {
    LST_Init(&g_RndLoadedTextures);
    LST_Init(&g_RndUnloadedTextures);
}

void RND_ReleaseTexture(RenderTexture*) {}

IDirectDrawPalette* RND_ClonePalette(IDirectDraw2* directDraw) {
    if (!directDraw || !g_RndPalette)
        return nullptr;
    PALETTEENTRY entries[256] = {};
    uint32_t caps = 0;
    if (g_RndPalette->GetEntries(0, 0, 256, entries) != DD_OK || g_RndPalette->GetCaps(&caps) != DD_OK)
        return nullptr;
    caps &= ~uint32_t(DDPCAPS_PRIMARYSURFACE | DDPCAPS_PRIMARYSURFACELEFT);
    IDirectDrawPalette* palette = nullptr;
    return directDraw->CreatePalette(caps, entries, &palette, nullptr) == DD_OK ? palette : nullptr;
}

IDirectDrawPalette* RND_SetPaletteFromBitmap(IDirectDraw2* directDraw, HBITMAP bitmap) {
    if (!directDraw)
        return nullptr;
    RGBQUAD table[256] = {};
    UINT count = 0;
    if (HDC dc = CreateCompatibleDC(nullptr)) {
        HGDIOBJ previous = SelectObject(dc, bitmap);
        if (previous) {
            count = GetDIBColorTable(dc, 0, 256, table);
            SelectObject(dc, previous);
        }
        DeleteDC(dc);
    }
    PALETTEENTRY entries[256] = {};
    for (UINT i = 0; i < count; ++i)
        entries[i] = PALETTEENTRY{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
    if (count == 0)
        for (int i = 0; i < 256; ++i)
            entries[i] = PALETTEENTRY{uint8_t((i >> 5) << 5), uint8_t(((i >> 2) & 7) << 5), uint8_t((i & 3) << 6), 0};
    const uint32_t caps = (count > 16 || count == 0) ? DDPCAPS_8BIT : DDPCAPS_4BIT;
    IDirectDrawPalette* palette = nullptr;
    return directDraw->CreatePalette(caps, entries, &palette, nullptr) == DD_OK ? palette : nullptr;
}
