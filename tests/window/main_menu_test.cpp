// The main menu and its quit dialog in a real window: what the menu shows (compared by regions at
// exit), EXIT then YES ends the game with code 0, EXIT then NO leaves the menu open, the window's
// close button ends it with code 0, and the drawn YES outline, found by its colour in a first
// run's screenshot, is where a click answers yes.
#include <fstream>

#include "window_fixture.h"

namespace wt {
namespace {

// The centres of the main menu's EXIT button and of the quit dialog's answers.
constexpr int kExitX = 30, kExitY = 460;
constexpr int kYesX = 341, kNoX = 389, kAnswerY = 240;

TEST_F(WindowTest, TheMainMenuShowsItsButtonsAndTheCloseButtonEndsTheGame) {
    Start({{"PLATFORM_SCREENSHOT", Path("menu.png")}});
    ASSERT_TRUE(WaitForMenu()) << game_->Errors();
    ASSERT_TRUE(display_->RequestClose(window_));
    EXPECT_EQ(game_->Wait(kStepSeconds), 0) << game_->Errors();

    const Screen s = FromPng(Path("menu.png"));
    ASSERT_TRUE(s.Valid()) << "no 640 x 480 screenshot at exit";
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE("button " + std::to_string(i));
        const int top = 290 + 50 * i, bottom = top + 39;
        // The outline runs round the whole hit region: top and bottom edges, left and right ends.
        for (int x = 0; x < 580; x += 29) {
            EXPECT_TRUE(Near(s.At(x, top), kButtonOutline)) << x;
            EXPECT_TRUE(Near(s.At(x, bottom), kButtonOutline)) << x;
        }
        for (int y = top; y <= bottom; y += 3) {
            EXPECT_TRUE(Near(s.At(0, y), kButtonOutline)) << y;
            EXPECT_TRUE(Near(s.At(579, y), kButtonOutline)) << y;
        }
        // Just outside the region, no outline.
        EXPECT_FALSE(Near(s.At(300, top - 3), kButtonOutline));
        EXPECT_FALSE(Near(s.At(583, top + 20), kButtonOutline));
        // The art's label at the right end, and the screen's own text at the left end.
        int label = 0, text = 0;
        for (int y = top + 4; y < bottom - 3; ++y) {
            for (int x = 470; x < 576; ++x) label += Near(s.At(x, y), kButtonOutline);
            for (int x = 4; x < 120; ++x) text += !Near(s.At(x, y), s.At(300, top + 20)) && !Near(s.At(x, y), kButtonOutline);
        }
        EXPECT_GT(label, 20) << "the label in the outline";
        EXPECT_GT(text, 100) << "the button's text";
    }
    // Above the buttons the menu background, and no quit dialog anywhere.
    EXPECT_FALSE(Near(s.At(320, 100), kButtonOutline));
    EXPECT_EQ(s.Count(kYesOutline), 0);
    EXPECT_EQ(s.Count(kNoOutline), 0);
}

TEST_F(WindowTest, ExitThenYesEndsTheGameAndExitThenNoKeepsTheMenu) {
    struct Case {
        const char* answer;
        int x;
        bool ends;
    } const cases[] = {{"no", kNoX, false}, {"yes", kYesX, true}};
    Start({{"PLATFORM_SCREENSHOT", Path("after.png")}});
    ASSERT_TRUE(WaitForMenu()) << game_->Errors();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        ClickAt(kExitX, kExitY, DialogShown);
        ASSERT_TRUE(WaitFor(DialogShown, kStepSeconds)) << "EXIT opens the quit dialog\n" << game_->Errors();
        ClickAt(c.x, kAnswerY, c.ends ? Ended : MenuWithoutDialog);
        if (c.ends) {
            EXPECT_EQ(game_->Wait(kStepSeconds), 0) << game_->Errors();
        } else {
            EXPECT_TRUE(WaitFor(MenuWithoutDialog, kStepSeconds))
                << "NO closes the dialog and leaves the menu\n" << game_->Errors();
            EXPECT_TRUE(game_->Running());
        }
    }
}

TEST_F(WindowTest, TheYesOutlineOfAFirstRunIsWhereTheSecondRunClicks) {
    // First run, headless with the same pointer path as below (from the centre to EXIT, click):
    // it stops on the open dialog and its screenshot shows where YES is drawn.
    {
        std::ofstream script(Path("to-dialog.txt"));
        script << "300 mouse move " << kExitX - kWidth / 2 << " " << kExitY - kHeight / 2 << "\n"
               << "302 mouse down 0\n303 mouse up 0\n";
    }
    std::unique_ptr<GameRun> first =
        Run({{"PLATFORM_BACKEND", "headless"}, {"PLATFORM_INPUT", Path("to-dialog.txt")}, {"PLATFORM_FRAMES", "340"},
             {"PLATFORM_SCREENSHOT", Path("dialog.png")}},
            "first-stderr.txt");
    ASSERT_EQ(first->Wait(kStartSeconds), 0) << first->Errors();
    const Screen shot = FromPng(Path("dialog.png"));
    ASSERT_TRUE(DialogShown(shot)) << "the first run stops on the open dialog";
    int minX = kWidth, maxX = -1, minY = kHeight, maxY = -1;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (Near(shot.At(x, y), kYesOutline)) {
                minX = std::min(minX, x), maxX = std::max(maxX, x);
                minY = std::min(minY, y), maxY = std::max(maxY, y);
            }
    const int yesX = (minX + maxX) / 2, yesY = (minY + maxY) / 2;

    // Second run, in the window: the same prefix, then a click on the centre of the outline found.
    Start();
    ASSERT_TRUE(WaitForMenu()) << game_->Errors();
    ClickAt(kExitX, kExitY, DialogShown);
    ASSERT_TRUE(WaitFor(DialogShown, kStepSeconds)) << game_->Errors();
    ClickAt(yesX, yesY, Ended);
    EXPECT_EQ(game_->Wait(kStepSeconds), 0) << "a click at (" << yesX << ", " << yesY << ") answers yes\n"
                                             << game_->Errors();
}

}  // namespace
}  // namespace wt
