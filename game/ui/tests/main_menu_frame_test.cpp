// The main menu in rendered frames of the demo data: after start-up the background and the four
// button texts are drawn, the button under the pointer in the second font colour and the others in
// the first, and the quit dialog's texts appear over the menu once its exit button is pressed.
#include <string>

#include "datakit/demo_steps.h"
#include "shell/inp.h"
#include "common/mem.h"
#include "engine/tests/rnd_display_fixture.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"
#include "ui/fe_main_menu.h"
#include "ui/gui.h"
#include "ui/gui_toolkit.h"
#include "ui/txt.h"

namespace {

class MainMenuFrames : public DisplayFixture {
protected:
    void SetUp() override {
        DisplayFixture::SetUp();
        ASSERT_TRUE(dk::DemoInterface("."));
        ASSERT_TRUE(dk::DemoInterfaceText("."));
        OpenDisplay(640, 480, 16);
        MEM_ResetTracker();
        INP_SetMouseButton(0);
        ASSERT_EQ(GUI_Init(window), 1);
    }
    void TearDown() override {
        GUI_Shutdown();
        INP_SetMouseButton(0);
        DisplayFixture::TearDown();
    }
    // One front-end frame step and its drawing with the pointer at (x, y).
    void Frame(int x, int y, int button) {
        INP_SetMouseX(x);
        INP_SetMouseY(y);
        INP_SetMouseButton(button);
        GUI_Tick();
        const float black[3] = {0, 0, 0};
        RND_SetBackgroundColour(black);
        RND_BeginFrame();
        RND_EndScene();
        GUI_Draw();
    }
    // Lit text pixels at the start of the button row around y: white (the first font) and red
    // (the second).
    struct Lit { int white, red; };
    Lit TextPixels(int y) {
        Lit lit{0, 0};
        for (int py = y - 12; py < y + 12; ++py)
            for (int px = 0; px < 90; ++px) {  // left of the pointer
                const uint32_t v = PixelOf(g_Rnd.backBuffer, px, py);
                const uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63;
                lit.white += r >= 26 && g >= 52;
                lit.red += r >= 22 && g <= 16;
            }
        return lit;
    }
};

TEST_F(MainMenuFrames, TheButtonUnderThePointerIsDrawnInTheSecondFont) {
    EXPECT_TRUE(GUI_IsWindowOpen(g_MainMenuWindow));
    Frame(100, 360, 0);  // over multiplayer
    Frame(100, 360, 0);
    const int rows[] = {310, 360, 410, 460};
    for (int row : rows) {
        const Lit lit = TextPixels(row);
        if (row == 360) {
            EXPECT_GT(lit.red, 50) << row;
            EXPECT_EQ(lit.white, 0) << row;
        } else {
            EXPECT_GT(lit.white, 50) << row;
            EXPECT_EQ(lit.red, 0) << row;
        }
    }
    EXPECT_NE(PixelOf(g_Rnd.backBuffer, 320, 100), 0u) << "the background is drawn";
}

TEST_F(MainMenuFrames, ExitShowsTheQuitDialogOverTheMenu) {
    Frame(100, 460, 0);
    Frame(100, 460, 1);
    EXPECT_TRUE(GUI_IsWindowOpen(g_QuitDialog));
    EXPECT_EQ(g_QuitModal, 1);
    Frame(100, 460, 0);
    // The dialog's frame stands at the centre, 212 x 78, with the menu's exit texts in it.
    int lit = 0;
    for (int y = 205; y < 275; ++y)
        for (int x = 220; x < 420; ++x) {
            const uint32_t v = PixelOf(g_Rnd.backBuffer, x, y);
            lit += ((v >> 11) & 31) >= 26 && ((v >> 5) & 63) >= 52;
        }
    EXPECT_GT(lit, 50);
    EXPECT_TRUE(GUI_IsWindowOpen(g_MainMenuWindow)) << "the menu stays open behind it";
}

}  // namespace
