// Input start-up and shutdown: the result of each failing DirectInput call, a game without
// devices that still polls safely, the acquisition results, and nothing left behind; and the key
// texts of the name entry and key-binding screens.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "dinput.h"
#include "plat.h"
#include "plat_input.h"
#include "shell/inp.h"
#include "inp_fixture.h"
#include "win32.h"

namespace {

using InputSetupTest = inptest::InputWindowTest;

TEST_F(InputSetupTest, EachFailingCallEndsTheStartAndTheGameRunsWithoutInput) {
    for (plat::DinputCall call : {plat::DinputCall::Create, plat::DinputCall::CreateDevice,
                                  plat::DinputCall::SetDataFormat, plat::DinputCall::SetCooperativeLevel,
                                  plat::DinputCall::SetProperty}) {
        SCOPED_TRACE(static_cast<int>(call));
        plat::DinputSetFailure(call, DIERR_GENERIC);
        EXPECT_EQ(INP_Init(nullptr, window, 640, 480), 0);
        plat::DinputSetFailure(call, DI_OK);
        // Without its devices the game still polls, and the state is fresh.
        plat::InputEvent e;
        e.kind = plat::InputKind::MouseDown;
        plat::PushInput(e);
        EXPECT_EQ(INP_Poll(), 1);
        EXPECT_EQ(INP_GetMouseButton(), 0);
        EXPECT_EQ(INP_GetMouseX(), 320);
        EXPECT_EQ(INP_GetMouseY(), 240);
        EXPECT_EQ(INP_AnyKeyDown(), 0);
        EXPECT_EQ(INP_AcquireKeyboard(), 0);
        INP_Shutdown();
        EXPECT_EQ(plat::DinputLiveObjects(), 0);
    }
}

TEST_F(InputSetupTest, AcquisitionReportsOnlyTheListedRefusals) {
    ASSERT_EQ(INP_Init(nullptr, window, 640, 480), 1);
    const struct {
        HRESULT answer;
        int expected;
    } cases[] = {
        {DIERR_OTHERAPPHASPRIO, 0}, {DIERR_NOTACQUIRED, 0}, {DIERR_INVALIDPARAM, 0},
        {DIERR_GENERIC, 1},         {DIERR_INPUTLOST, 1},   {DI_OK, 1},
    };
    for (const auto& c : cases) {
        plat::DinputSetFailure(plat::DinputCall::Acquire, c.answer);
        EXPECT_EQ(INP_AcquireMouse(), c.expected) << std::hex << c.answer;
        EXPECT_EQ(INP_AcquireKeyboard(), c.expected) << std::hex << c.answer;
    }
    plat::DinputSetFailure(plat::DinputCall::Acquire, DI_OK);
    // Without a window the foreground devices cannot be set up at all.
    INP_Shutdown();
    EXPECT_EQ(INP_Init(nullptr, nullptr, 640, 480), 0);
    EXPECT_EQ(INP_AcquireKeyboard(), 0) << "a keyboard that was never made is not acquired";
}

TEST_F(InputSetupTest, StartingAgainClearsTheState) {
    ASSERT_EQ(INP_Init(nullptr, window, 640, 480), 1);
    INP_AcquireMouse();
    INP_AcquireKeyboard();
    INP_SetKeyState(30, 1);
    INP_SetMouseX(5);
    INP_SetMouseButton(2);
    INP_Shutdown();
    ASSERT_EQ(INP_Init(nullptr, window, 800, 600), 1);
    EXPECT_EQ(INP_GetMouseX(), 400);
    EXPECT_EQ(INP_GetMouseY(), 300);
    EXPECT_EQ(INP_GetMouseButton(), 0);
    EXPECT_EQ(INP_AnyKeyDown(), 0);
    EXPECT_EQ(g_ClickAge, -1);
    EXPECT_EQ(g_ClickX, -1);
    EXPECT_EQ(g_ClickY, -1);
}

// The poll takes only a close of the window, which ends the program; every other message stays
// for the message loop.
TEST_F(InputSetupTest, APollEndsTheProgramOnAWindowCloseAndLeavesOtherMessages) {
    ASSERT_EQ(INP_Init(nullptr, window, 640, 480), 1);
    PostMessageA(window, MM_MCINOTIFY, 1, 0);
    INP_Poll();
    MSG message{};
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, UINT(MM_MCINOTIFY));
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            PostMessageA(window, WM_CLOSE, 0, 0);
            INP_Poll();
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "");
}

struct KeyTextCase {
    int code;
    const char* plain;
    const char* shifted;
};

TEST(KeyText, EveryKindOfKeyWithAndWithoutShift) {
    const KeyTextCase cases[] = {
        {-1, "", ""},
        {-2, "", ""},
        {222, "", ""},
        {100000, "", ""},
        {0, "", ""},
        {1, "", ""},
        {2, "1", "!"},
        {3, "2", "\""},
        {4, "3", "\xA3"},
        {11, "0", ")"},
        {12, "-", "_"},
        {13, "=", "+"},
        {14, "", ""},
        {16, "q", "Q"},
        {25, "p", "P"},
        {26, "[", "{"},
        {30, "a", "A"},
        {38, "l", "L"},
        {40, "'", "@"},
        {41, "` \xAC", ""},
        {43, "\\", "|"},
        {44, "z", "Z"},
        {50, "m", "M"},
        {53, "/", "?"},
        {54, "", ""},
        {55, "*", "*"},
        {57, " ", " "},
        {59, "", ""},
        {68, "", ""},
        {69, "", ""},
        {71, "7", "7"},
        {74, "-", "-"},
        {78, "+", "+"},
        {83, ".", "."},
        {84, "", ""},
        {87, "", ""},
        {88, "", ""},
        {100, "", ""},
        {102, "", ""},
        {112, "", ""},
        {141, "=", "="},
        {145, "", ""},
        {151, "", ""},
        {156, "", ""},
        {181, "/", "/"},
        {183, "", ""},
        {200, "", ""},
        {202, "", ""},
        {211, "", ""},
        {219, "", ""},
        {220, "", ""},
        {221, "", ""},
    };
    for (const KeyTextCase& c : cases) {
        EXPECT_STREQ(INP_GetKeyText(c.code), c.plain) << c.code;
        EXPECT_STREQ(INP_GetShiftedKeyText(c.code), c.shifted) << c.code;
    }
    // The two special characters are single bytes, as the fonts index them.
    EXPECT_EQ(std::string(INP_GetShiftedKeyText(4)), std::string(1, '\xA3'));
    EXPECT_EQ(std::string(INP_GetKeyText(41)).size(), 3u);
    EXPECT_EQ(static_cast<unsigned char>(INP_GetKeyText(41)[2]), 0xACu);
}

// The chat line and the name entry append the text of every newly pressed key: a key that types
// no character must add nothing, with or without Shift.
TEST(KeyText, KeysThatTypeNoCharacterAddNothing) {
    const int codes[] = {
        29, 42, 54, 56, 157, 184, 58,         // Ctrl, Shift, Alt, Caps Lock
        1, 14, 15, 28, 156, 69, 70,           // Esc, Backspace, Tab, Enter, the locks
        199, 200, 201, 203, 205, 207, 211,    // navigation
        59, 68, 87, 88, 100, 102,             // function keys
        112, 148, 183, 197, 219, 220, 221,    // system and language keys, Pause, the Windows keys
        0, 84, 222, 223, 255,                 // codes of no known key
    };
    for (int code : codes) {
        EXPECT_STREQ(INP_GetKeyText(code), "") << code;
        EXPECT_STREQ(INP_GetShiftedKeyText(code), "") << code;
    }
    // Whatever a key gives is one character, except the grave accent key's two-sign text.
    for (int code = -1; code < INP_KEY_COUNT; ++code) {
        if (code == 41)
            continue;
        EXPECT_LE(std::string(INP_GetKeyText(code)).size(), 1u) << code;
        EXPECT_LE(std::string(INP_GetShiftedKeyText(code)).size(), 1u) << code;
    }
}

TEST(KeyText, LettersFollowTheKeyboardRows) {
    const char* rows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
    const int firstCodes[] = {16, 30, 44};
    for (int r = 0; r < 3; ++r) {
        for (int i = 0; rows[r][i]; ++i) {
            const char lower[2] = {rows[r][i], 0};
            const char upper[2] = {static_cast<char>(rows[r][i] - 'a' + 'A'), 0};
            EXPECT_STREQ(INP_GetKeyText(firstCodes[r] + i), lower);
            EXPECT_STREQ(INP_GetShiftedKeyText(firstCodes[r] + i), upper);
        }
    }
}

}  // namespace
