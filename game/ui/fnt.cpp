// Bitmap fonts: the character file names, the width tables, loading and FNT_DrawText. Bytes are
// taken as unsigned: codes 128..255 are skipped and do not advance.
#include "ui/fnt.h"

#include <cstdio>
#include <cstring>

#include "ddraw.h"
#include "gdi.h"
#include "engine/rnd_display.h"
#include "engine/rnd_state.h"
#include "common/calltrace.h"

FontBlock g_Fonts[FNT_BLOCKS];
DesignRect g_FntClipRect = {0, 0, 640, 480};

namespace {

struct Word {
    char code;
    const char* name;
    int32_t smallWidth;
};
// Punctuation with names in every set, and the extras of the "S_" set.
constexpr Word kWords[] = {
    {',', "COM", 5},   {'"', "SPCH", 5},  {'.', "FULLS", 3}, {'!', "EXCLA", 3}, {'?', "QUEST", 9},
    {'-', "HYPH", 7},  {'<', "LAR", 7},   {'>', "RAR", 7},   {'/', "FSLSH", 9}, {'\\', "BSLSH", 9},
    {'_', "UNDR", 7},  {'=', "EQ", 7},    {'\'', "APOS", 5}, {' ', "SPCE", 5},  {':', "COLON", 5},
};
constexpr Word kExtraWords[] = {
    {'$', "DOLL", 8}, {'%', "PERC", 9}, {'^', "UPAR", 7}, {'*', "STAR", 7}, {'(', "LBRK", 5},
    {')', "RBRK", 5}, {'+', "PLUS", 7}, {';', "SCOLON", 5}, {'@', "AT", 9},
};

// Default width and height, and the widths of capitals, small letters and digits.
struct Metrics {
    int32_t width, height, upper, lower, digit;
    const char* prefix;
};
constexpr Metrics kLarge = {10, 34, 18, 14, 14, "GRAPHICS\\INTERFACE\\FONTS\\L_B_"};
constexpr Metrics kLargeRed = {10, 34, 18, 14, 14, "GRAPHICS\\INTERFACE\\FONTS\\R_B_"};
constexpr Metrics kSmall = {8, 15, 9, 8, 8, "GRAPHICS\\INTERFACE\\FONTS\\S_"};
constexpr Metrics kSmallLow = {8, 15, 9, 8, 8, "GRAPHICS\\INTERFACE\\FONTS\\L_"};

void SetMetrics(FontBlock& f, const Metrics& m, bool small) {
    for (int c = 0; c < FNT_CODES; ++c) {
        f.width[c] = m.width;
        f.height[c] = m.height;
    }
    for (int c = 'A'; c <= 'Z'; ++c)
        f.width[c] = m.upper;
    for (int c = 'a'; c <= 'z'; ++c)
        f.width[c] = m.lower;
    for (int c = '0'; c <= '9'; ++c)
        f.width[c] = m.digit;
    if (small) {
        for (const Word& w : kWords)
            f.width[static_cast<unsigned char>(w.code)] = w.smallWidth;
        for (const Word& w : kExtraWords)
            f.width[static_cast<unsigned char>(w.code)] = w.smallWidth;
    }
}

void LoadBlock(FontBlock& f, const Metrics& m, bool small, bool extended) {
    SetMetrics(f, m, small);
    for (int c = 1; c < 128; ++c) {
        char buffer[8];
        const char* name = FNT_CharacterName(static_cast<unsigned char>(c), extended, buffer);
        if (!name)
            continue;
        char path[96];
        std::snprintf(path, sizeof path, "%s%s.BMP", m.prefix, name);
        IMG_LoadBitmap(&f.pictures[c], path);
    }
}

// Font number -> block, or null for the system font and numbers outside -1..3.
FontBlock* Block(int font) {
    switch (font) {
    case 0:
    case 1: return &g_Fonts[FNT_LARGE];
    case 2: return &g_Fonts[FNT_LARGE_RED];
    case 3: return &g_Fonts[FNT_SMALL];
    default: return nullptr;
    }
}

void DrawSystemText(const char* text, int x, int y, int alignment) {
    const int len = static_cast<int>(std::strlen(text));
    if (alignment == 3) {
        x -= 4 * len;
        y -= 8;
    }
    if (!g_Rnd.backBuffer || len == 0)
        return;
    HDC dc = nullptr;
    if (g_Rnd.backBuffer->GetDC(&dc) != DD_OK)
        return;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    TextOutA(dc, x, y, text, len);
    g_Rnd.backBuffer->ReleaseDC(dc);
}

}  // namespace

const char* FNT_CharacterName(unsigned char code, bool extended, char (&buffer)[8]) {
    if (code >= 'A' && code <= 'Z') {
        buffer[0] = static_cast<char>(code);
        buffer[1] = '\0';
        return buffer;
    }
    if (code >= 'a' && code <= 'z') {
        buffer[0] = buffer[1] = static_cast<char>(code - 'a' + 'A');
        buffer[2] = '\0';
        return buffer;
    }
    if (code >= '0' && code <= '9') {
        buffer[0] = static_cast<char>(code);
        buffer[1] = '\0';
        return buffer;
    }
    for (const Word& w : kWords)
        if (static_cast<unsigned char>(w.code) == code)
            return w.name;
    if (extended)
        for (const Word& w : kExtraWords)
            if (static_cast<unsigned char>(w.code) == code)
                return w.name;
    return nullptr;
}

int FNT_LoadFonts() {
    LoadBlock(g_Fonts[FNT_LARGE], kLarge, false, false);
    LoadBlock(g_Fonts[FNT_LARGE_RED], kLargeRed, false, false);
    const bool low = g_DspWidth == 320;
    LoadBlock(g_Fonts[FNT_SMALL], low ? kSmallLow : kSmall, true, !low);
    return 1;
}

void FNT_FreeFonts() {
    for (FontBlock& f : g_Fonts)
        for (ImageHolder& h : f.pictures)
            IMG_FreeBitmap(&h);
}

int FNT_TextWidth(const char* text, int font) {
    const FontBlock* f = Block(font);
    if (!text || !f)
        return 0;
    int width = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        if (*p < 128)
            width += f->width[*p];
    return width;
}

int FNT_DrawText(const char* text, int x, int y, int alignment, int font) {
    if (!text || alignment < 0 || alignment > 4)
        return 0;
    TRC_Trace("FNT_DrawText", "%s,%d,%d,%d,%d", text, x, y, alignment, font);
    if (font == -1) {
        DrawSystemText(text, x, y, alignment);
        return 1;
    }
    FontBlock* f = Block(font);
    if (!f)
        return 1;
    int left = x;
    if (alignment == 1 || alignment == 3)
        left = x - FNT_TextWidth(text, font) / 2;
    const int top = y - f->height[0] / 2;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        const unsigned char c = *p;
        if (c >= 128)
            continue;
        ImageHolder& h = f->pictures[c];
        if (h.bitmap) {
            if (alignment == 2 || alignment == 3) {
                const DesignPoint at{static_cast<float>(left), static_cast<float>(top)};
                DSP_BlitBitmapPartKeyed(h.bitmap, &at, f->width[c], f->height[c], &g_FntClipRect);
            } else {
                h.redraw = 3;
                IMG_DrawBitmap(&h, 0, left, top, left + f->width[c], top + f->height[c],
                               alignment == 4 ? IMG_OPAQUE : IMG_KEYED);
            }
        }
        left += f->width[c];
    }
    return 1;
}
