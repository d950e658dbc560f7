// The credits scroller and its window. Markup in the text: "}" big letters (font 3), "]" normal
// letters (font 1), "^" centres the line, "#" jumps to x 300, line feed starts a new line, "~"
// ends a page (hold 400 frames, then the page falls and the motion changes), byte 163 ends a page
// with a hold of 650 frames.
#include "ui/fe_credits.h"

#include <cmath>
#include <cstring>

#include "plat.h"
#include "shell/inp.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"
#include "ui/fe_main_menu.h"
#include "ui/fnt.h"
#include "ui/gui_toolkit.h"
#include "ui/gui.h"

CreditLetter g_CreditLetters[FE_CREDIT_LETTERS];
int32_t g_CreditsWindow = -1;
int32_t g_CreditsReturnWindow = -1;

namespace {

constexpr char kCredits[] =
    "}\n\n\n^GHOULDEN\n\n^]made by the rebuild team\n~"
    "}\n\n^DESIGN AND CODE\n\n]^the interface people\n^the world people\n^the network people\n~"
    "}\n\n^PICTURES AND SOUND\n\n]^placeholder art by the data kit\n^music made of plain tones\n\xA3"
    "}\n\n^THANK YOU\n\n]^for playing\n";

constexpr float kXStep[5] = {0.03f, 0.06f, 0.03f, 0.05f, 0.05f};
constexpr float kYStep[7] = {0.04f, 0.02f, 0.07f, 0.2f, 0.06f, 0.45f, 0.063f};

int FontOfStyle(int style) {
    return style == 3 ? 3 : (style == 2 ? 2 : 1);
}

int CharWidth(unsigned char c, int font) {
    const char s[2] = {static_cast<char>(c), '\0'};
    return FNT_TextWidth(s, font);
}

}  // namespace

const char* g_CreditsText = kCredits;

int FE_BuildCreditsWindow() {
    if (g_CreditsWindow != -1)
        GUI_DestroyWindow(g_CreditsWindow);
    g_CreditsWindow = GUI_CreateWindow(GUI_SHAPE_RECT);
    if (g_CreditsWindow == -1)
        return 0;
    GUI_SetWindowPos(g_CreditsWindow, 320, 240);
    GUI_SetWindowSize(g_CreditsWindow, 319, 190);
    GUI_ShowWindow(g_CreditsWindow);
    GUI_SetWindowDrawCallback(g_CreditsWindow, FE_DrawCreditsWindow);
    return 1;
}

void FE_DestroyCreditsWindow() {
    if (g_CreditsWindow != -1)
        GUI_DestroyWindow(g_CreditsWindow);
    g_CreditsWindow = -1;
}

void FE_DrawCreditsWindow(int) {
    FE_RunCredits();
    INP_SetMouseButton(0);
    GUI_CloseWindow(g_CreditsWindow);
    GUI_OpenWindow(g_CreditsReturnWindow);
    g_CreditsReturnWindow = -1;
}

int FE_RunCredits() {
    const unsigned char* text = reinterpret_cast<const unsigned char*>(g_CreditsText ? g_CreditsText : "");
    const size_t length = std::strlen(reinterpret_cast<const char*>(text));
    for (CreditLetter& l : g_CreditLetters)
        l = CreditLetter{};
    size_t pos = 0;
    int x = 0, y = 32, style = 0, p = 0, q = 0, hold = 0, fallFrames = 0, frames = 0;
    float a1 = 0.0f, a2 = 7.8f;
    bool active = true, fallPending = false, falling = false, done = false;
    const float black[3] = {0.0f, 0.0f, 0.0f};
    while (!done) {
        INP_Poll();
        if (INP_AnyKeyDown())
            done = true;
        const int ex = static_cast<int>(std::sin(a1) * 280.0f + 320.0f);
        const int ey = static_cast<int>(std::cos(a2) * 190.0f + 240.0f);
        a1 += kXStep[p];
        a2 += kYStep[q];
        if (hold > 0) {
            --hold;
        } else if (active) {
            if (pos >= length) {
                done = true;
                pos = 0;
            } else {
                const unsigned char c = text[pos++];
                if (c == '}') {
                    style = 3;
                } else if (c == ']') {
                    style = 1;
                } else if (c == '^') {
                    int w = 0;
                    for (size_t i = pos - 1; i < length && text[i] != '\n'; ++i)
                        w += CharWidth(text[i], FontOfStyle(style));
                    x = 320 - w / 2;
                } else if (c == '#') {
                    x = 300;
                } else if (c == '\n') {
                    y += 16;
                    x = 0;
                } else if (c == ' ') {
                    if (style == 1 || style == 3)
                        x += CharWidth(' ', style == 3 ? 3 : 1);
                } else if (c == '~' || c == 163) {
                    hold = c == '~' ? 400 : 650;
                    active = false;
                    fallPending = true;
                    if (c == '~') {
                        p = (p + 1) % 5;
                        q = (q + 1) % 7;
                    }
                    if (pos >= length)
                        done = true;
                } else {
                    for (CreditLetter& l : g_CreditLetters) {
                        if (l.inUse)
                            continue;  // a full table drops the letter
                        l = CreditLetter{static_cast<char>(c), style, float(ex), float(ey), float(x), float(y),
                                         float(ex - x) * 0.05f, float(ey - y) * 0.05f, 1, 0};
                        break;
                    }
                    x += CharWidth(c, style == 3 ? 3 : 1);
                    if (x >= 640) {
                        x = 0;
                        y += 16;
                    }
                }
            }
        }
        if (!active && hold == 0 && fallPending) {
            for (CreditLetter& l : g_CreditLetters)
                l.vx = (plat::rand() & 4096) < 2048 ? -float(plat::rand() & 16) : float(plat::rand() & 16);
            fallPending = false;
            falling = true;
            fallFrames = 0;
        }
        if (falling) {
            for (CreditLetter& l : g_CreditLetters)
                if (l.inUse) {
                    l.x -= l.vx;
                    l.y += l.vy;
                    l.vy += 1.0f;
                }
            if (++fallFrames > 100) {
                for (CreditLetter& l : g_CreditLetters)
                    l = CreditLetter{};
                x = 0;
                y = 32;
                active = true;
                falling = false;
            }
        }
        if (active || fallPending)
            for (CreditLetter& l : g_CreditLetters)
                if (l.inUse && l.counter < 20) {
                    l.x -= l.vx;
                    l.y -= l.vy;
                    if (++l.counter == 20) {
                        l.x = l.tx;
                        l.y = l.ty;
                    }
                }
        RND_SetBackgroundColour(black);
        RND_BeginFrame();
        RND_EndScene();
        const int letterWidth = g_Fonts[FNT_SMALL].width['W'];
        const int letterHeight = g_Fonts[FNT_SMALL].height[0];
        for (const CreditLetter& l : g_CreditLetters) {
            if (!l.inUse)
                continue;
            const int lx = static_cast<int>(l.x), ly = static_cast<int>(l.y);
            if (lx < 0 || lx + letterWidth > 640 || ly < 0 || ly + letterHeight > 480)
                continue;  // off the screen: kept, not drawn
            const char s[2] = {l.c, '\0'};
            FNT_DrawText(s, lx, ly, 0, FontOfStyle(l.style));
        }
        RND_Flip();
        ++frames;
    }
    for (int i = 0; i < 2; ++i) {
        RND_BeginFrame();
        RND_EndScene();
        RND_Flip();
    }
    RND_SetBackgroundColour(nullptr);
    g_MainMenuRedraw = 2;
    return frames;
}
