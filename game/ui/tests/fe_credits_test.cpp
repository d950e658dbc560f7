// Credits tests: letters take their places by the markup (styles, centring, jumps, new lines),
// a full page falls away, a held key ends the run after one frame, and the window hands back to
// its return window.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "shell/inp.h"
#include "ui/fe_credits.h"
#include "ui/fnt.h"
#include "ui/gui.h"
#include "ui/gui_toolkit.h"
#include "win32.h"

namespace {

struct Credits : ::testing::Test {
    void SetUp() override {
        // Widths without pictures: the defaults and the letter tables.
        FNT_FreeFonts();
        FNT_LoadFonts();
        for (int k = 0; k < 256; ++k)
            INP_SetKeyState(k, 0);
    }
    void TearDown() override {
        g_CreditsText = nullptr;
        for (int k = 0; k < 256; ++k)
            INP_SetKeyState(k, 0);
    }
    static const CreditLetter* Letter(char c, int nth = 0) {
        for (const CreditLetter& l : g_CreditLetters)
            if (l.inUse && l.c == c && nth-- == 0)
                return &l;
        return nullptr;
    }
};

TEST_F(Credits, LettersTakeTheirPlacesByTheMarkup) {
    // Font 1 capitals are 18 wide, a blank 10, '^' 10; font 3 capitals 9 wide.
    g_CreditsText = "]AB C\n#D\n^EF\n}GH";
    const int frames = FE_RunCredits();
    struct Case { char c; float x, y; } cases[] = {
        {'A', 0, 32}, {'B', 18, 32}, {'C', 46, 32}, {'D', 300, 48},
        {'E', 320 - (10 + 18 + 18) / 2, 64}, {'F', 297 + 18, 64}, {'G', 0, 80}, {'H', 9, 80},
    };
    for (const Case& c : cases) {
        const CreditLetter* l = Letter(c.c);
        ASSERT_NE(l, nullptr) << c.c;
        EXPECT_EQ(l->tx, c.x) << c.c;
        EXPECT_EQ(l->ty, c.y) << c.c;
    }
    EXPECT_EQ(Letter('G')->style, 3);
    EXPECT_EQ(Letter('A')->style, 1);
    EXPECT_EQ(frames, 17);  // one character per frame, the end of the text on the last
}

TEST_F(Credits, APageHoldsThenFallsAndTheTableEmpties) {
    g_CreditsText = "]A~";
    const int frames = FE_RunCredits();
    // One character per frame; the "~" is the end of the text: done at once, nothing falls.
    EXPECT_EQ(frames, 3);
    // Three characters; 650 frames of hold, the last of which starts the fall; the fall ends in
    // its 101st frame; then "]", "B" and the end of the text.
    g_CreditsText = "]A\xA3]B";
    EXPECT_EQ(FE_RunCredits(), 3 + 649 + 101 + 3);
    EXPECT_EQ(Letter('A'), nullptr);  // fell away with its page
    ASSERT_NE(Letter('B'), nullptr);
    EXPECT_EQ(Letter('B')->tx, 0.0f);
    EXPECT_EQ(Letter('B')->ty, 32.0f);
}

TEST_F(Credits, AHeldKeyEndsAfterOneFrameAndTheWindowReturns) {
    GUI_Reset();
    ASSERT_EQ(FE_BuildCreditsWindow(), 1);
    const int back = GUI_CreateWindow(GUI_SHAPE_RECT);
    g_CreditsReturnWindow = back;
    GUI_OpenWindow(g_CreditsWindow);
    INP_SetKeyState(57, 1);
    g_CreditsText = "]ABCDEFG";
    GUI_DrawWindows();
    EXPECT_EQ(Letter('B'), nullptr);  // only the first frame ran
    EXPECT_EQ(GUI_IsWindowOpen(g_CreditsWindow), 0);
    EXPECT_EQ(GUI_IsWindowOpen(back), 1);
    EXPECT_EQ(g_CreditsReturnWindow, -1);
    FE_DestroyCreditsWindow();
}

// The credits run their own loop and dispatch no window messages: closing the window must still
// end the program, through the input poll, instead of waiting for the end of the text.
TEST_F(Credits, ClosingTheWindowEndsTheProgramFromInsideTheLoop) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            g_CreditsText = "]AB\xA3]CD";  // a 650-frame hold before the end
            PostMessageA(nullptr, WM_CLOSE, 0, 0);
            FE_RunCredits();
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
