// Key capture tests: the lowest key down goes to the selected button, refused keys keep the
// capture waiting, Escape ends it without a change, and a new key unbinds only the functions of
// the selected button's conflict list.
#include <gtest/gtest.h>

#include "shell/inp.h"
#include "ui/fe_main_menu.h"
#include "ui/gui.h"
#include "ui/gui_toolkit.h"
#include "ui/key_capture.h"
#include "ui/keymap.h"

namespace {

struct KeyCapture : ::testing::Test {
    void SetUp() override {
        GUI_Reset();
        g_Options.cdMusic = 0;
        ReleaseKeys();
        CFG_SetDefaultKeys();
        for (int b = 0; b < KEY_BUTTON_COUNT; ++b)
            g_KeyConfig.values[b] = g_KeyMap.words[g_KeyButtonWords[b]];
        g_KeyConfig.selected = -1;
        g_KeyConfig.capturePending = 0;
    }
    void TearDown() override {
        ReleaseKeys();
        g_KeyConfig.capturePending = 0;
    }
    static void ReleaseKeys() {
        for (int k = 0; k < 256; ++k)
            INP_SetKeyState(k, 0);
    }
    static void Select(KeyButton b) {
        g_KeyConfig.selected = b;
        g_KeyConfig.capturePending = 1;
    }
    // One front-end frame with the given keys held.
    static void FrameWithKeys(std::initializer_list<int> keys) {
        ReleaseKeys();
        for (int k : keys)
            INP_SetKeyState(k, 0x80);
        FE_Frame();
    }
};

TEST_F(KeyCapture, NothingHappensUntilAKeyIsDownThenTheLowestOneIsTaken) {
    Select(KEY_SW);
    FrameWithKeys({});
    EXPECT_EQ(g_KeyConfig.capturePending, 1);
    FrameWithKeys({50, 45, 200});  // M, X and CursorUp: X (45) is the lowest
    EXPECT_EQ(g_KeyConfig.capturePending, 0);
    EXPECT_EQ(g_KeyConfig.values[KEY_SW], 45);
    EXPECT_EQ(g_KeyConfig.selected, -1);
}

TEST_F(KeyCapture, DigitsAndFunctionKeysAreRefusedAndEscapeKeepsTheOldKey) {
    Select(KEY_SW);
    for (int refused : {2, 6, 11, 59, 63, 88}) {
        FrameWithKeys({refused});
        EXPECT_EQ(g_KeyConfig.capturePending, 1) << refused;
        EXPECT_EQ(g_KeyConfig.values[KEY_SW], 37) << refused;
    }
    FrameWithKeys({1});
    EXPECT_EQ(g_KeyConfig.capturePending, 0);
    EXPECT_EQ(g_KeyConfig.values[KEY_SW], 37);
}

TEST_F(KeyCapture, ANewKeyUnbindsOnlyTheSelectedButtonsConflictList) {
    struct Case {
        KeyButton button;
        int code;
        KeyButton unbound;    // loses the key
        KeyButton kept;       // keeps it
    } cases[] = {
        {KEY_RA, 203, KEY_SL, KEY_DL},        // CursorLeft: list A only
        {KEY_OW, 203, KEY_DL, KEY_SL},        // CursorLeft: list B only
        {KEY_SW, 25, KEY_PA, KEY_PA},         // P: the pause key is in both lists
        {KEY_DF, 57, KEY_WORD36, KEY_SL},     // Space: word 36 has no button and loses it
        {KEY_PA, 200, KEY_SU, KEY_SU},        // the pause button clears both lists
    };
    for (const Case& c : cases) {
        SetUp();
        const int32_t keptBefore = g_KeyConfig.values[c.kept];
        Select(c.button);
        FrameWithKeys({c.code});
        EXPECT_EQ(g_KeyConfig.values[c.button], c.code) << c.button;
        EXPECT_EQ(g_KeyConfig.values[c.unbound], -1) << c.button;
        if (c.kept != c.unbound) {
            EXPECT_EQ(g_KeyConfig.values[c.kept], keptBefore) << c.button;
        }
    }
    // The pause key on the scroll-up button also left the dive-up button of list B without it.
    EXPECT_EQ(g_KeyConfig.values[KEY_DU], -1);
}

}  // namespace
