// The display's 8-bit palette: the palette file name (a level's own palette, or "def_pal.bin")
// and the palette made from it, or from the 3-3-2 ramp when the file cannot give all 256 entries.
#include <cstdio>
#include <cstring>

#include "plat.h"
#include "engine/rnd_display.h"
#include "engine/rnd_state.h"

namespace {
char g_DspPaletteName[DSP_PALETTE_NAME_SIZE] = "def_pal.bin";
constexpr size_t kPaletteFileBytes = DSP_PALETTE_ENTRIES * 3;
}  // namespace

void DSP_SetPaletteFileName(const char* name) {
    const size_t length = name ? std::strlen(name) : 0;
    if (!name || length >= sizeof g_DspPaletteName) {
        g_DspPaletteName[0] = '\0';
        return;
    }
    std::memcpy(g_DspPaletteName, name, length + 1);
}

const char* DSP_GetPaletteFileName() {
    return g_DspPaletteName;
}

void DSP_DefaultPaletteEntries(PALETTEENTRY entries[DSP_PALETTE_ENTRIES]) {
    // Only a whole file is used: a short one would leave entries undefined.
    uint8_t bytes[kPaletteFileBytes];
    bool whole = false;
    if (g_DspPaletteName[0]) {
        if (std::FILE* file = std::fopen(plat::ResolvePath(g_DspPaletteName).c_str(), "rb")) {
            whole = std::fread(bytes, 1, sizeof bytes, file) == sizeof bytes;
            std::fclose(file);
        }
    }
    for (int i = 0; i < DSP_PALETTE_ENTRIES; ++i) {
        if (whole)
            entries[i] = PALETTEENTRY{bytes[i * 3], bytes[i * 3 + 1], bytes[i * 3 + 2], D3DPAL_READONLY};
        else  // 3-3-2: entry r x 32 + g x 4 + b
            entries[i] = PALETTEENTRY{uint8_t((i >> 5) << 5), uint8_t(((i >> 2) & 7) << 5), uint8_t((i & 3) << 6),
                                      D3DPAL_READONLY};
    }
}

void DSP_LoadDefaultPalette() {
    PALETTEENTRY entries[DSP_PALETTE_ENTRIES];
    DSP_DefaultPaletteEntries(entries);
    if (!g_Rnd.palette) {
        if (!g_Rnd.directDraw || g_Rnd.directDraw->CreatePalette(DDPCAPS_8BIT, entries, &g_Rnd.palette, nullptr) != DD_OK)
            g_Rnd.palette = nullptr;
    } else {
        g_Rnd.palette->SetEntries(0, 0, DSP_PALETTE_ENTRIES, entries);
    }
    if (g_Rnd.palette) {
        if (g_Rnd.primary)
            g_Rnd.primary->SetPalette(g_Rnd.palette);
        if (g_Rnd.backBuffer)
            g_Rnd.backBuffer->SetPalette(g_Rnd.palette);
    }
}
