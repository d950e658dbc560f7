// worldsim as a person runs it: the help with the scenario format, a level's frames with the pass
// order and the world updated after the scene and before the flip, nothing updated while halted,
// actions, removals and message bytes, and scenarios it cannot read.
#include <gtest/gtest.h>

#include "worldsim_run.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class WorldsimTest : public WorldsimFolderTest {
protected:
    // The lines of one frame's report, without their indentation.
    static std::vector<std::string> Frame(const std::string& out, int frame) {
        std::istringstream lines(out);
        std::vector<std::string> report;
        std::string line;
        bool inside = false;
        while (std::getline(lines, line)) {
            if (line.rfind("frame ", 0) == 0) {
                inside = line.rfind("frame " + std::to_string(frame) + " ", 0) == 0;
                continue;
            }
            if (inside)
                report.push_back(line.substr(2));
        }
        return report;
    }
    static size_t At(const std::vector<std::string>& report, const std::string& line) {
        return size_t(std::find(report.begin(), report.end(), line) - report.begin());
    }
};

TEST_F(WorldsimTest, HelpDescribesTheScenarioFormat) {
    const Output run = Worldsim("--help");
    EXPECT_EQ(run.code, 0);
    for (const char* part : {"worldsim [--frames N] SCENARIO", "at FRAME action BOD A", "game single|host|client",
                             "message BYTES", "floor X0 Z0 X1 Z1 Y", "handlers logging|game",
                             "at FRAME command BOD turn|move|attack|use|push|kick|gait VALUE", "at FRAME select BOD TYPE",
                             "anim BOD NAME", "health BOD N"})
        EXPECT_NE(run.out.find(part), std::string::npos) << part;
}

TEST_F(WorldsimTest, FramesShowThePassOrderAndTheWorldBetweenSceneAndFlip) {
    const Output run = Worldsim(Scenario("level 2\n"
                                      "floor -1000 -1000 1000 1000 0\n"
                                      "player 0 0 0 0\n"
                                      "npc 0 0 0 300 64 3\n"
                                      "at 2 halt\n"
                                      "at 3 resume\n") +
                             " --frames 3");
    ASSERT_EQ(run.code, 0) << run.out;
    const std::vector<std::string> first = Frame(run.out, 1);
    const std::vector<std::string> order = {
        "call GAME_Update", "call GUI_Tick", "call GAME_Frame", "call CAM_Follow", "call RND_BeginFrame",
        "call HUD_EraseOverlays", "call GAME_Pass(landscape,1)", "call GAME_Pass(clock,1)",
        "call PTC_UpdateAndDraw", "call GAME_Pass(bods,1)", "call GAME_Pass(camera,1)", "call CAM_AutoSwitch",
        "call GAME_Pass(objects,1)", "call GAME_Pass(explosions,1)", "call EXP_Update", "call RND_EndScene",
        "call GUI_Draw", "call GAME_UpdateWorld", "call BOD_Handler(player0,18)", "call BOD_Handler(npc0,3)",
        "call AI_Tick", "call RND_Flip"};
    size_t last = 0;
    for (const std::string& step : order) {
        const size_t at = At(first, step);
        ASSERT_LT(at, first.size()) << step << " missing in\n" << run.out;
        EXPECT_GE(at, last) << step << " out of order";
        last = at;
    }
    EXPECT_EQ(std::count(first.begin(), first.end(), "call RND_FlushBatch"), 6) << "one flush per pass";

    const std::vector<std::string> halted = Frame(run.out, 2);
    EXPECT_LT(At(halted, "call GAME_Pass(landscape,1)"), halted.size()) << "a halted level is still drawn";
    EXPECT_LT(At(halted, "call RND_Flip"), halted.size());
    for (const char* absent : {"call GAME_UpdateWorld", "call BOD_Handler(player0,18)", "call BOD_Handler(npc0,3)",
                               "call AI_Tick", "call PTC_UpdateAndDraw"})
        EXPECT_EQ(At(halted, absent), halted.size()) << absent;
    EXPECT_LT(At(Frame(run.out, 3), "call BOD_Handler(npc0,3)"), Frame(run.out, 3).size()) << "resumed";
}

TEST_F(WorldsimTest, ActionsRemovalsAndMessageBytes) {
    const Output run = Worldsim(Scenario("game host 0\n"
                                      "player 0 0 0 0\n"
                                      "player 2 0 0 100\n"
                                      "npc 4 0 0 300\n"
                                      "object 47 0 0 50\n"
                                      "at 1 action player0 76   # a throw of this machine's player\n"
                                      "at 1 action npc4 70\n"
                                      "at 2 remote player2 16\n"
                                      "at 2 remove object0\n") +
                             " --frames 2");
    ASSERT_EQ(run.code, 0) << run.out;
    const std::vector<std::string> first = Frame(run.out, 1);
    EXPECT_LT(At(first, "action player0 18 -> 76"), first.size()) << run.out;
    EXPECT_LT(At(first, "message S 00 4C"), first.size());
    EXPECT_LT(At(first, "message u 04 46"), first.size());
    const std::vector<std::string> second = Frame(run.out, 2);
    EXPECT_LT(At(second, "action player2 18 -> 16"), second.size());
    EXPECT_LT(At(second, "removed object0"), second.size());
    EXPECT_EQ(std::count_if(second.begin(), second.end(), [](const std::string& l) { return l.rfind("message", 0) == 0; }),
              0);
}

TEST_F(WorldsimTest, ScenariosItCannotReadAreRefusedWithTheLine) {
    struct {
        const char* text;
        const char* line;
    } cases[] = {{"level 2\nplayer 9 0 0 0\n", "line 2"},
                 {"level 17\n", "line 1"},
                 {"frames 2\nat 0 halt\n", "line 2"},
                 {"game lan\n", "line 1"},
                 {"npc 1 0 0\n", "line 1"},
                 {"teleport player0\n", "line 1"},
                 {"frames 2\nhandlers real\n", "line 2"},
                 {"handlers game extra\n", "line 1"},
                 {"frames 2\n\nat 1 command player0 fly 1\n", "line 3"},
                 {"at 1 command player0 move\n", "line 1"},
                 {"at 1 select player0 162\n", "line 1"},
                 {"at 1 select player0 -2\n", "line 1"},
                 {"at 1 select player0 2.5\n", "line 1"}};
    for (const auto& c : cases) {
        const Output run = Worldsim(Scenario(c.text));
        EXPECT_EQ(run.code, 2) << c.text;
        EXPECT_NE(run.out.find(c.line), std::string::npos) << c.text << run.out;
    }
    EXPECT_EQ(Worldsim((dir / "missing.txt").string()).code, 2);
    EXPECT_EQ(Worldsim("").code, 2);
}

TEST_F(WorldsimTest, CameraAndTeamEventsItCannotReadAreRefused) {
    const char* const cases[] = {
        "frames 1\nat 1 key sideways 0xC7\n", "frames 1\nat 1 key down 256\n", "frames 1\nat 1 key down 0xZZ\n",
        "frames 1\nat 1 key down\n",          "frames 1\nat 1 cam\n",          "frames 1\nat 1 orders 0 1 2\n",
        "frames 1\nat 1 radar 1 2 3\n",        "frames 1\nprint radar\n",      "frames 1\nprint camera now\n",
        "frames 1\nat 1 place player0 1 2\n",
    };
    for (const char* text : cases) {
        const Output run = Worldsim(Scenario(text));
        EXPECT_EQ(run.code, 2) << text;
        EXPECT_NE(run.out.find("line 2"), std::string::npos) << text << run.out;
    }
}

}  // namespace
