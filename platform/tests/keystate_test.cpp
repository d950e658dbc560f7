// The asynchronous key query: it answers from the key events that the backends push, whoever
// drains the queue, for the virtual keys it knows; the input script feeds it too.
#include <gtest/gtest.h>

#include <vector>

#include "plat_input.h"
#include "platform_fixture.h"
#include "dinput.h"
#include "win32.h"

namespace {

plat::InputEvent Key(uint8_t code, bool down) {
    plat::InputEvent e;
    e.kind = down ? plat::InputKind::KeyDown : plat::InputKind::KeyUp;
    e.scanCode = code;
    return e;
}

bool Held(int vk) {
    return (GetAsyncKeyState(vk) & 0x8000) != 0;
}

using KeyStateTest = plattest::HeadlessTest;

TEST_F(KeyStateTest, VirtualKeysFollowTheirScanCodes) {
    struct Case {
        const char* what;
        std::vector<plat::InputEvent> events;
        bool shift, home, end;
    } cases[] = {
        {"nothing pressed", {}, false, false, false},
        {"left Shift", {Key(0x2A, true)}, true, false, false},
        {"right Shift", {Key(0x36, true)}, true, false, false},
        {"Home", {Key(0xC7, true)}, false, true, false},
        {"End", {Key(0xCF, true)}, false, false, true},
        {"Home released", {Key(0xC7, true), Key(0xC7, false)}, false, false, false},
        {"one Shift of two released", {Key(0x2A, true), Key(0x36, true), Key(0x2A, false)}, true, false, false},
        // The keypad's 7 and 1 share Home's and End's low byte but are other keys.
        {"keypad 7 and 1", {Key(0x47, true), Key(0x4F, true)}, false, false, false},
        {"Shift with End", {Key(0x2A, true), Key(0xCF, true)}, true, false, true},
    };
    for (const Case& c : cases) {
        plat::ClearInput();
        for (const plat::InputEvent& e : c.events)
            plat::PushInput(e);
        EXPECT_EQ(Held(VK_SHIFT), c.shift) << c.what;
        EXPECT_EQ(Held(VK_HOME), c.home) << c.what;
        EXPECT_EQ(Held(VK_END), c.end) << c.what;
    }
}

TEST_F(KeyStateTest, HeldStateOutlivesTheQueueAndEndsWithClear) {
    plat::PushInput(Key(0xC7, true));
    EXPECT_EQ(plat::DrainInput().size(), 1u);  // DirectInput took the event
    EXPECT_TRUE(Held(VK_HOME));
    EXPECT_EQ(GetAsyncKeyState(0x41), 0) << "a key the query does not know";
    EXPECT_EQ(GetAsyncKeyState(-1), 0);
    plat::ClearInput();
    EXPECT_FALSE(Held(VK_HOME));
}

TEST_F(KeyStateTest, TheInputScriptHoldsKeysFromItsFrame) {
    plattest::WriteText(scratch + "/input.txt", "1 key down 0x2A\n1 key down 0xCF\n2 key up 0xCF\n");
    setenv("PLATFORM_INPUT", (scratch + "/input.txt").c_str(), 1);
    plat::ResetForTests();
    EXPECT_FALSE(Held(VK_END));
    static const std::vector<uint32_t> frame(640 * 480, 0);
    plat::PresentFrame(frame.data(), 640, 480);
    EXPECT_TRUE(Held(VK_SHIFT));
    EXPECT_TRUE(Held(VK_END));
    plat::PresentFrame(frame.data(), 640, 480);
    EXPECT_TRUE(Held(VK_SHIFT));
    EXPECT_FALSE(Held(VK_END));
    unsetenv("PLATFORM_INPUT");
}

}  // namespace
