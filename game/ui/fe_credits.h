// The credits: a modal scroller in which the letters of the built-in credits text fly in from a
// wandering point to their places, stay, and fall away page by page until a key is pressed or
// the text ends; and the credits window whose draw callback runs it.
#pragma once
#include <cstdint>

constexpr int FE_CREDIT_LETTERS = 2000;

struct CreditLetter {
    char c;
    int32_t style;  // 0, 1 or 3
    float x, y;     // current position
    float tx, ty;   // target
    float vx, vy;
    int32_t inUse;
    int32_t counter;
};
extern CreditLetter g_CreditLetters[FE_CREDIT_LETTERS];

extern int32_t g_CreditsWindow;
extern int32_t g_CreditsReturnWindow;
extern const char* g_CreditsText;  // the built-in text; tests may point it at their own

int FE_BuildCreditsWindow();
void FE_DestroyCreditsWindow();
// The window's draw callback: runs the scroller, then closes the window and opens the return one.
void FE_DrawCreditsWindow(int window);
// The scroller itself; returns the number of frames it drew.
int FE_RunCredits();
