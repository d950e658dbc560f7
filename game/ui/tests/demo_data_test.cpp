// The demo install's interface data: its text file fills every slot the screens read, and its
// font glyphs load and draw readable, correctly sized letters.
#include <string>

#include "datakit/demo_steps.h"
#include "datakit/ui_text.h"
#include "common/mem.h"
#include "engine/tests/rnd_display_fixture.h"
#include "engine/rnd_frame.h"
#include "engine/rnd_state.h"
#include "ui/fnt.h"
#include "ui/txt.h"

namespace {

TEST(DemoText, FillsEverySlot) {
    MEM_ResetTracker();
    TXT_FreeTexts();
    const std::string text = dk::InterfaceText();
    TXT_ParseBuffer(text.data(), uint32_t(text.size()));
    for (int k = 0; k < TXT_MENU_KEY_COUNT; ++k)
        EXPECT_NE(g_MenuTexts[k], nullptr) << g_TxtMenuKeyNames[k];
    char** locationSlots[] = {g_LocationNames, g_LoadingTexts, g_LevelWonTexts, g_LevelFailedTexts, g_LocationTitles};
    for (char** slots : locationSlots)
        for (int i = 0; i < TXT_LOCATIONS; ++i)
            EXPECT_NE(slots[i], nullptr) << g_TxtLocationKeyNames[i];
    for (char* s : {g_LoadingKeypress, g_LoadingLoading, g_LevelWonKeypress, g_LevelWonLoading,
                    g_LevelFailedKeypress, g_LevelFailedLoading})
        EXPECT_NE(s, nullptr);
    for (int i = 0; i < TXT_OBJECT_NAMES; ++i)
        EXPECT_NE(g_ObjectNames[i], nullptr) << i;
    for (int i = 0; i < TXT_CHARACTER_TEXTS; ++i)
        EXPECT_NE(g_CharacterTexts[i], nullptr) << i;
    EXPECT_STREQ(TXT_Menu(TXT_mm_ex), "Exit");  // CR LF line ends leave no CR behind
    TXT_FreeTexts();
}

class DemoFonts : public DisplayFixture {};

TEST_F(DemoFonts, GlyphsLoadForEveryFontAndDrawInsideTheirCells) {
    ASSERT_TRUE(dk::DemoInterface("."));
    OpenDisplay(640, 480, 16);
    FNT_LoadFonts();
    for (int block = 0; block < FNT_BLOCKS; ++block)
        for (const char* s = "AZaz09,.!?- :"; *s; ++s)
            EXPECT_NE(g_Fonts[block].pictures[static_cast<unsigned char>(*s)].bitmap, nullptr)
                << block << " '" << *s << "'";
    EXPECT_NE(g_Fonts[FNT_SMALL].pictures['@'].bitmap, nullptr);  // an extra of the small set
    const float black[3] = {0, 0, 0};
    RND_SetBackgroundColour(black);
    RND_BeginFrame();
    RND_EndScene();
    // "E" in the large font: 18 wide cell, the shape 10 x 28 in its middle; nothing outside.
    FNT_DrawText("E", 100, 100, 0, 1);
    int lit = 0, outside = 0;
    for (int y = 70; y < 130; ++y)
        for (int x = 90; x < 130; ++x) {
            const bool on = PixelOf(g_Rnd.backBuffer, x, y) != 0;
            const bool inCell = x >= 100 && x < 118 && y >= 83 && y < 117;
            lit += on && inCell;
            outside += on && !inCell;
        }
    EXPECT_GT(lit, 100);
    EXPECT_EQ(outside, 0);
    IMG_FreeOutgameBitmaps();
}

}  // namespace
