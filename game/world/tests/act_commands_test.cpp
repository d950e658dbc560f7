// The command block of the HUD state: the camera words and the mode flags that choose the camera
// command, the hand-over of the steered member to and from its AI, orders at a point, and input
// the interface could not have meant, which changes nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ui/hud_records.h"
#include "world/act.h"
#include "world/bod.h"
#include "world/character.h"
#include "world/game_frame.h"
#include "world_fixture.h"

namespace {
using Calls = std::vector<std::string>;
constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

class ActCommandsTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        WH_BuildLandscape({{-3000, -3000, 3000, 3000, 0}}, {});
        for (int i = 0; i < 3; ++i) {
            members[i] = WH_MakeCharacter(BOD_CLASS_PLAYER, {float(100 * i), 0, 0}, 0.0f, 64.0f);
            WH_SetPlayer(i, members[i], i);
            WH_Character(members[i])->head.action = 18;
        }
        g_ActiveSlot = 0;
        g_FocusBod = members[0];
    }
    // A command block with no order, no camera word, member 0 steered.
    static HudState Block() {
        HudState h{};
        h.orderPoint[0] = h.orderPoint[1] = h.orderPoint[2] = -1.0f;
        return h;
    }
    Calls Apply(const HudState& h, const char* prefix) {
        const size_t mark = WH_TraceMark();
        ACT_ApplyPlayerCommands(&h);
        return WH_Calls(WH_TraceSince(mark), prefix);
    }
    Bod* members[3] = {};
};

TEST_F(ActCommandsTest, CameraWordsMapToCommands) {
    const struct {
        int flag, aiMode, a, b;
        Calls commands;
    } cases[] = {
        {0, 0, 1, 0, {"CAM_Command(1)"}},
        {0, 0, 2, 0, {"CAM_Command(2)"}},
        {0, 0, 0, 3, {"CAM_Command(4)"}},
        {0, 0, 0, 4, {"CAM_Command(3)"}},
        {0, 1, 2, 3, {"CAM_Command(2)", "CAM_Command(4)"}},
        {1, 1, 1, 0, {"CAM_Command(5)"}},
        {1, 1, 2, 4, {"CAM_Command(6)", "CAM_Command(3)"}},
        {1, 0, 1, 3, {}},
        {0, 0, 3, 1, {}},  // each word only in its own values
        {0, 0, 7, 0, {}},
        {0, 0, -1, 5, {}},
        {0, 0, 0, 0, {}},
    };
    for (const auto& c : cases) {
        HudState h = Block();
        h.panByPress = c.flag;
        h.teamMode = c.aiMode;
        h.panHorizontal = c.a;
        h.panVertical = c.b;
        EXPECT_EQ(Apply(h, "CAM_Command"), c.commands) << c.flag << " " << c.aiMode << " " << c.a << " " << c.b;
        EXPECT_EQ(g_FocusAiMode, c.aiMode);
    }
}

TEST_F(ActCommandsTest, ChangingTheSteeredMemberHandsItOver) {
    HudState h = Block();
    h.controlledMember = 2;
    const size_t mark = WH_TraceMark();
    ACT_ApplyPlayerCommands(&h);
    const Calls trace = WH_TraceSince(mark);
    EXPECT_EQ(WH_Calls(trace, "AI_"), (Calls{"AI_TakeBack(player0)", "AI_Release(player2)"}));
    EXPECT_EQ(g_ActiveSlot, 2);
    EXPECT_EQ(g_FocusBod, members[2]);
    EXPECT_EQ(WH_Character(members[2])->head.action, 11) << "the new member stands";
    EXPECT_EQ(WH_Character(members[0])->head.action, 18);
    // The same member again: nothing handed over.
    EXPECT_EQ(Apply(h, "AI_"), Calls{});
}

TEST_F(ActCommandsTest, InOrderModeTheMemberIsOnlyFollowed) {
    HudState h = Block();
    h.teamMode = 1;
    h.controlledMember = 1;
    EXPECT_EQ(Apply(h, "AI_"), Calls{});
    EXPECT_EQ(g_ActiveSlot, 1);
    EXPECT_EQ(g_FocusBod, members[1]);
    EXPECT_EQ(WH_Character(members[1])->head.action, 18);
}

TEST_F(ActCommandsTest, OrdersReachTheMemberAtThePoint) {
    const struct {
        int member;
        float x, y, z;
        Calls orders;
    } cases[] = {
        {0, 100, 5, -200, {"AI_OrderAtPoint(100.0,5.0,-200.0,0)"}},
        {1, -1.5f, 0, 30, {"AI_OrderAtPoint(-1.5,0.0,30.0,1)"}},
        {2, 0, -1, -1, {"AI_OrderAtPoint(0.0,-1.0,-1.0,2)"}},
        {0, -1.0f, 5, 5, {}},  // x exactly -1: no order
        {0, kNan, 0, 0, {}},
        {0, 10, kInf, 0, {}},
        {0, 10, 0, -kInf, {}},
    };
    for (const auto& c : cases) {
        HudState h = Block();
        h.teamMode = 1;
        h.controlledMember = c.member;
        h.orderPoint[0] = c.x;
        h.orderPoint[1] = c.y;
        h.orderPoint[2] = c.z;
        EXPECT_EQ(Apply(h, "AI_OrderAtPoint"), c.orders) << c.member << " " << c.x;
    }
}

TEST_F(ActCommandsTest, AMemberWithoutACharacterChangesNothing) {
    for (int member : {8, -1, 3, 1000000}) {
        HudState h = Block();
        h.controlledMember = member;
        h.orderPoint[0] = 10;
        h.orderPoint[1] = 0;
        h.orderPoint[2] = 10;
        const size_t mark = WH_TraceMark();
        ACT_ApplyPlayerCommands(&h);
        EXPECT_EQ(WH_Calls(WH_TraceSince(mark), "AI_"), Calls{}) << member;
        EXPECT_EQ(g_ActiveSlot, 0) << member;
        EXPECT_EQ(g_FocusBod, members[0]) << member;
        for (Bod* bod : members)
            EXPECT_EQ(WH_Character(bod)->head.action, 18) << member;
    }
}

}  // namespace
