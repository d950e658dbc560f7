// Entering a level in a real window: the main menu's single-player button opens the level map,
// whose start button (centre (590, 440)) loads level 0 at once; the window then shows the level's
// landscape (its checkered floor, a strong magenta on dark), and the close button ends the game
// with code 0.
#include "window_fixture.h"

namespace wt {
namespace {

constexpr int kSingleX = 100, kSingleY = 310;  // the main menu's single-player button
constexpr int kStartX = 590, kStartY = 440;    // the level map's start button

// A good part of the screen is the landscape's floor, and the main menu is gone.
bool LevelShown(const Screen& s) {
    if (!s.Valid() || MenuShown(s)) return false;
    int floor = 0;
    for (uint32_t p : s.pixels) {
        const int r = (p >> 16) & 0xff, g = (p >> 8) & 0xff, b = p & 0xff;
        // The demo landscape's two floors: green, and brown.
        floor += (g > r + 15 && g > b + 40) || (r > g + 15 && g > b + 15);
    }
    return floor > 20000;
}

TEST_F(WindowTest, SinglePlayerThenStartEntersTheLevel) {
    Start({{"PLATFORM_SCREENSHOT", Path("level.png")}});
    ASSERT_TRUE(WaitForMenu()) << game_->Errors();
    EXPECT_FALSE(LevelShown(Now()));
    ClickAt(kSingleX, kSingleY, [](const Screen&) { return true; });
    ClickAt(kStartX, kStartY, LevelShown);
    ASSERT_TRUE(WaitFor(LevelShown, kStepSeconds)) << "the start button enters the level\n" << game_->Errors();
    ASSERT_TRUE(display_->RequestClose(window_));
    EXPECT_EQ(game_->Wait(kStepSeconds), 0) << game_->Errors();
    EXPECT_TRUE(LevelShown(FromPng(Path("level.png")))) << "the last frame is the level";
}

}  // namespace
}  // namespace wt
