// The HUD message list: refresh instead of duplicates, the replacement rule when all eight lines
// are taken, frame messages, ageing out after 50 draws with the lines moving up, the refusals at
// the end of a level, and long texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/calltrace.h"
#include "ui/gui.h"
#include "ui/hud.h"

namespace {
class HudMessagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_HudMessages = {};
        for (int32_t& life : g_HudMessages.life)
            life = -1;
        g_Match.levelWon = 0;
        g_Match.levelFailed = 0;
        TRC_ResetAll();
        TRC_TraceEnable(true);
    }
    void TearDown() override {
        TRC_ResetAll();
        g_Match.levelWon = 0;
        g_Match.levelFailed = 0;
    }

    // Draws one frame; the texts drawn, top line first.
    static std::vector<std::string> Draw() {
        TRC_TraceClear();
        HUD_DrawMessages();
        std::vector<std::string> drawn = TRC_TraceLog();
        TRC_TraceClear();
        return drawn;
    }
    static int Holding(const char* text) {
        int lines = 0;
        for (const auto& line : g_HudMessages.text)
            lines += std::strcmp(line, text) == 0;
        return lines;
    }
};

std::string At(const std::string& text, int line) {
    return "FNT_DrawText(" + text + ",0," + std::to_string(8 + 16 * line) + ",0,3)";
}
}  // namespace

TEST_F(HudMessagesTest, SameTextOnlyGetsItsLifeBack) {
    ASSERT_EQ(HUD_AddMessage("Picked up shotgun"), 1);
    for (int i = 0; i < 10; ++i)
        Draw();
    EXPECT_EQ(HUD_AddMessage("Picked up shotgun"), 1);
    EXPECT_EQ(Holding("Picked up shotgun"), 1);
    // 10 draws already, yet 50 more follow the refresh.
    int drawn = 0;
    for (int i = 0; i < 60; ++i)
        drawn += int(Draw().size());
    EXPECT_EQ(drawn, 50);
}

TEST_F(HudMessagesTest, NinthTextReplacesTheLastOfTheLowestLives) {
    for (int i = 0; i < 8; ++i)
        ASSERT_EQ(HUD_AddMessage(("m" + std::to_string(i)).c_str()), 1);
    ASSERT_EQ(HUD_AddMessage("m8"), 1);
    EXPECT_STREQ(g_HudMessages.text[7], "m8") << "all lives equal: the last line is taken";
    EXPECT_EQ(Holding("m7"), 0);

    // After a draw every line has 49; refreshing m2 gives it 50, so m8 and m2 stay.
    Draw();
    HUD_AddMessage("m2");
    HUD_AddMessage("m9");
    EXPECT_EQ(Holding("m2"), 1);
    EXPECT_EQ(Holding("m9"), 1);
    EXPECT_EQ(Holding("m8"), 0) << "the last of the lowest lives (49) after ordering";
}

TEST_F(HudMessagesTest, FrameMessageRepeatedEveryFrameShowsOnce) {
    HUD_AddMessage("Picked up crowbar");
    for (int frame = 0; frame < 5; ++frame) {
        ASSERT_EQ(HUD_AddFrameMessage("04:59"), 1);
        const auto drawn = Draw();
        EXPECT_EQ(std::count(drawn.begin(), drawn.end(), At("04:59", 0)), 1) << "frame " << frame;
        EXPECT_EQ(std::count(drawn.begin(), drawn.end(), At("Picked up crowbar", 1)), 1);
    }
    EXPECT_EQ(Holding("04:59"), 0) << "gone once a frame passes without it";
}

TEST_F(HudMessagesTest, MessageAgesOutAfterFiftyDrawsAndTheRestMoveUp) {
    HUD_AddMessage("old");
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(Draw(), std::vector<std::string>{At("old", 0)});
    HUD_AddMessage("new");
    for (int i = 10; i < 50; ++i)
        EXPECT_EQ(Draw(), (std::vector<std::string>{At("old", 0), At("new", 1)})) << "draw " << i;
    EXPECT_EQ(Holding("old"), 0);
    EXPECT_EQ(Draw(), std::vector<std::string>{At("new", 0)});
}

TEST_F(HudMessagesTest, RefusalsAtTheEndOfALevel) {
    EXPECT_EQ(HUD_AddMessage(nullptr), 0);
    EXPECT_EQ(HUD_AddFrameMessage(nullptr), 0);
    g_Match.levelWon = 1;
    EXPECT_EQ(HUD_AddMessage("won"), 0);
    EXPECT_EQ(HUD_AddFrameMessage("countdown"), 1) << "frame messages have no level guard";
    g_Match.levelWon = 0;
    g_Match.levelFailed = 1;
    EXPECT_EQ(HUD_AddMessage("failed"), 0);
    EXPECT_EQ(Holding("won") + Holding("failed"), 0);
}

TEST_F(HudMessagesTest, LongTextIsCutAndStillRecognised) {
    const std::string longText(300, 'x');
    ASSERT_EQ(HUD_AddMessage(longText.c_str()), 1);
    ASSERT_EQ(HUD_AddMessage(longText.c_str()), 1);
    int lines = 0;
    for (const auto& line : g_HudMessages.text) {
        if (line[0] == '\0')
            continue;
        ++lines;
        EXPECT_EQ(std::strlen(line), size_t(HUD_MESSAGE_CHARS - 1));
    }
    EXPECT_EQ(lines, 1);
}
