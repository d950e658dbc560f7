// Input polling: per-poll event scripts through the platform's raw input queue and DirectInput,
// checking the press, the double click and the cursor after every poll; held keys, key codes out
// of range, and a device lost with the focus.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "dinput.h"
#include "plat.h"
#include "plat_input.h"
#include "shell/inp.h"
#include "inp_fixture.h"
#include "win32.h"

namespace {

class InputTest : public inptest::InputWindowTest {
protected:
    void SetUp() override {
        InputWindowTest::SetUp();
        ASSERT_EQ(INP_Init(nullptr, window, 640, 480), 1);
        ASSERT_EQ(INP_AcquireMouse(), 1);
        ASSERT_EQ(INP_AcquireKeyboard(), 1);
    }

    // One poll's events, as words: L/l left down/up, R/r right down/up, M middle down, xN/yN
    // motion, kN/KN key N up/down.
    static void Push(const std::string& events) {
        std::istringstream in(events);
        for (std::string w; in >> w;) {
            plat::InputEvent e;
            const int n = w.size() > 1 ? std::stoi(w.substr(1)) : 0;
            switch (w[0]) {
            case 'L': case 'l': case 'R': case 'r': case 'M':
                e.kind = (w[0] == 'L' || w[0] == 'R' || w[0] == 'M') ? plat::InputKind::MouseDown : plat::InputKind::MouseUp;
                e.button = (w[0] == 'L' || w[0] == 'l') ? 0 : (w[0] == 'M' ? 2 : 1);
                break;
            case 'x': case 'y':
                e.kind = plat::InputKind::MouseMove;
                (w[0] == 'x' ? e.dx : e.dy) = n;
                break;
            case 'K': case 'k':
                e.kind = w[0] == 'K' ? plat::InputKind::KeyDown : plat::InputKind::KeyUp;
                e.scanCode = static_cast<uint8_t>(n);
                break;
            default:
                ADD_FAILURE() << "bad event word " << w;
                continue;
            }
            plat::PushInput(e);
        }
    }
};

struct Seen {
    int button;
    int doubleClick;
    bool operator==(const Seen& o) const { return button == o.button && doubleClick == o.doubleClick; }
};

void PrintTo(const Seen& s, std::ostream* os) {
    *os << "{button " << s.button << ", double " << s.doubleClick << "}";
}

struct ClickScript {
    const char* name;
    std::vector<const char*> polls;  // the events of each poll
    std::vector<Seen> expected;      // the state after each poll
};

void PrintTo(const ClickScript& c, std::ostream* os) {
    *os << c.name;
}

class ClickTest : public InputTest, public ::testing::WithParamInterface<ClickScript> {};

TEST_P(ClickTest, PressesAndDoubleClicksPollByPoll) {
    const ClickScript& c = GetParam();
    ASSERT_EQ(c.polls.size(), c.expected.size());
    for (size_t i = 0; i < c.polls.size(); ++i) {
        Push(c.polls[i]);
        EXPECT_EQ(INP_Poll(), 1);
        EXPECT_EQ((Seen{INP_GetMouseButton(), INP_GetDoubleClick()}), c.expected[i])
            << "after poll " << i << " (\"" << c.polls[i] << "\")";
    }
}

constexpr Seen kNone{0, 0}, kLeft{1, 0}, kRight{2, 0}, kLeftDouble{1, 1}, kRightDouble{2, 1};

INSTANTIATE_TEST_SUITE_P(
    Scripts, ClickTest,
    ::testing::Values(
        ClickScript{"PressAndReleaseInOnePollIsNoPress", {"L l", ""}, {kNone, kNone}},
        ClickScript{"AReleaseOfTheOtherButtonCancelsToo", {"L r"}, {kNone}},
        ClickScript{"TwoPressesThreePollsApartFivePixelsApartAreADoubleClick",
                    {"L", "l", "", "x5 y-5 L", "l"}, {kLeft, kNone, kNone, kLeftDouble, kNone}},
        // After a double click, a further press in the same poll is swallowed (the click stays
        // a double click); a press in the next poll is a new first click.
        ClickScript{"APressInTheSamePollAfterADoubleClickIsSwallowed",
                    {"L", "", "L L", "l L", "", "L"}, {kLeft, kNone, Seen{0, 1}, kLeft, kNone, kLeftDouble}},
        ClickScript{"ASecondPressInTheNextPollIsSwallowed", {"L", "l L", "l"}, {kLeft, kNone, kNone}},
        ClickScript{"ASecondPressInTheSamePollChangesNothing", {"L L"}, {kLeft}},
        ClickScript{"SevenPollsApartIsStillADoubleClick",
                    {"L", "", "", "", "", "", "", "L"}, {kLeft, kNone, kNone, kNone, kNone, kNone, kNone, kLeftDouble}},
        ClickScript{"EightPollsApartAreTwoFirstClicks",
                    {"L", "", "", "", "", "", "", "", "L", "", "L"},
                    {kLeft, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kLeft, kNone, kLeftDouble}},
        ClickScript{"TenPixelsAwayIsANewFirstClickThere",
                    {"L", "", "x10 L", "", "x-9 y9 L"}, {kLeft, kNone, kLeft, kNone, kLeftDouble}},
        ClickScript{"TenPixelsAwayInYToo", {"L", "", "y-10 L"}, {kLeft, kNone, kLeft}},
        ClickScript{"TheRightButtonHasItsOwnDoubleClick", {"R", "r", "R"}, {kRight, kNone, kRightDouble}},
        ClickScript{"AClickOfTheOtherButtonForgetsTheFirst",
                    {"L", "", "R", "", "L"}, {kLeft, kNone, kRight, kNone, kLeft}},
        ClickScript{"TheMiddleButtonNeitherPressesNorCancels", {"M", "L M"}, {kNone, kLeft}}),
    [](const ::testing::TestParamInfo<ClickScript>& info) { return std::string(info.param.name); });

TEST_F(InputTest, TheCursorStartsCentredAndStaysOnTheScreen) {
    EXPECT_EQ(INP_GetMouseX(), 320);
    EXPECT_EQ(INP_GetMouseY(), 240);
    const struct {
        const char* events;
        int x, y;
    } steps[] = {
        {"x-5 y7", 315, 247},  {"x-1000", 0, 247},     {"x2000 y-2000", 639, 0}, {"y479", 639, 479},
        {"y1", 639, 479},      {"x-1 x1 x1", 639, 479}, {"x-639 y-479", 0, 0},   {"x-1 y-1 x3", 3, 0},
    };
    for (const auto& step : steps) {
        Push(step.events);
        INP_Poll();
        EXPECT_EQ(INP_GetMouseX(), step.x) << step.events;
        EXPECT_EQ(INP_GetMouseY(), step.y) << step.events;
    }
    // The interface may put the cursor anywhere; motion goes on from there.
    EXPECT_EQ(INP_SetMouseX(100), 1);
    EXPECT_EQ(INP_SetMouseY(50), 1);
    Push("x1 y1");
    INP_Poll();
    EXPECT_EQ(INP_GetMouseX(), 101);
    EXPECT_EQ(INP_GetMouseY(), 51);
    // Even far outside the screen.
    INP_SetMouseX(2147483647);
    INP_SetMouseY(-2147483647 - 1);
    Push("x5 y-5");
    INP_Poll();
    EXPECT_EQ(INP_GetMouseX(), 639);
    EXPECT_EQ(INP_GetMouseY(), 0);
}

TEST_F(InputTest, APressStaysUntilTheNextPollOrUntilConsumed) {
    Push("L");
    INP_Poll();
    EXPECT_EQ(INP_GetMouseButton(), 1);
    EXPECT_EQ(INP_SetMouseButton(0), 1);
    EXPECT_EQ(INP_GetMouseButton(), 0);
    INP_Poll();
    EXPECT_EQ(INP_GetMouseButton(), 0);
}

TEST_F(InputTest, KeysAreHeldFromPressToRelease) {
    EXPECT_EQ(INP_AnyKeyDown(), 0);
    Push("K30 K200");
    INP_Poll();
    EXPECT_EQ(INP_IsKeyDown(30), 1);
    EXPECT_EQ(INP_IsKeyDown(200), 1);
    EXPECT_EQ(INP_AnyKeyDown(), 1);
    Push("k30");
    INP_Poll();
    EXPECT_EQ(INP_IsKeyDown(30), 0);
    EXPECT_EQ(INP_IsKeyDown(200), 1) << "no release, still held";
    EXPECT_EQ(INP_SetKeyState(200, 0), 1);  // consumed by the interface
    EXPECT_EQ(INP_AnyKeyDown(), 0);
    // Eighteen presses in one poll: the device holds sixteen; the rest are lost.
    std::string many;
    for (int code = 2; code < 20; ++code)
        many += " K" + std::to_string(code);
    Push(many);
    INP_Poll();
    for (int code = 2; code < 20; ++code)
        EXPECT_EQ(INP_IsKeyDown(code), code < 18 ? 1 : 0) << code;
}

TEST_F(InputTest, KeyCodesOutsideTheTableReadAsUpAndAreNotStored) {
    for (int code : {-1, -1000, 256, 257, 100000}) {
        EXPECT_EQ(INP_SetKeyState(code, 1), 1) << code;
        EXPECT_EQ(INP_IsKeyDown(code), 0) << code;
    }
    EXPECT_EQ(INP_AnyKeyDown(), 0) << "nothing outside the table was written into it";
    EXPECT_EQ(INP_SetKeyState(255, 7), 1);
    EXPECT_EQ(INP_IsKeyDown(255), 7);
    EXPECT_EQ(INP_SetKeyState(0, 1), 1);
    EXPECT_EQ(INP_IsKeyDown(0), 1);
}

TEST_F(InputTest, ALostDeviceLosesThatPollsEventsAndIsTakenBackWhenTheFocusReturns) {
    Push("K2");
    INP_Poll();
    ASSERT_EQ(INP_IsKeyDown(2), 1);
    plat::DinputSetFocus(false);
    Push("k2 K3 L");
    INP_Poll();
    EXPECT_EQ(INP_IsKeyDown(3), 0);
    EXPECT_EQ(INP_GetMouseButton(), 0);
    EXPECT_EQ(INP_IsKeyDown(2), 1) << "the release was lost with the focus";
    plat::DinputSetFocus(true);
    Push("K4");
    INP_Poll();  // re-acquires; this poll's events are lost
    EXPECT_EQ(INP_IsKeyDown(4), 0);
    Push("K5 L");
    INP_Poll();
    EXPECT_EQ(INP_IsKeyDown(5), 1);
    EXPECT_EQ(INP_GetMouseButton(), 1);
    EXPECT_TRUE(plat::DinputMouseCaptured());
}

}  // namespace
