// Game-state services: direct control in single player and on a network client (flags, messages
// 0x1c / 0x1d, and the refusal below ground that must come before any flag or message), the
// refresh of the selected member, team queries, carried items' sounds, the level frame counter,
// and the frags and end of a type-5 match (self-kill, frag limit on the host, message 16, ids no
// slot holds).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/calltrace.h"
#include "common/match.h"
#include "net/msg.h"
#include "ui/gui.h"
#include "ui/hud.h"
#include "ui/hud_records.h"
#include "world/character.h"
#include "world/game_state.h"
#include "world_fixture.h"

namespace {

using Calls = std::vector<std::string>;

Calls Matching(const std::string& prefix) {
    Calls out;
    for (const std::string& e : TRC_TraceLog())
        if (e.rfind(prefix, 0) == 0)
            out.push_back(e);
    return out;
}

std::vector<std::string> Sent() {
    std::vector<std::string> out;
    for (const WhMessage& m : WH_Messages())
        out.push_back(std::to_string(m.from) + ">" + std::to_string(m.to) + " " + WH_FormatMessage(m));
    return out;
}

class GameStateTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        WH_BuildLandscape({{-2000, -2000, 2000, 2000, 100.0f}}, {});
        WH_WriteCharacterBody("graphics\\models\\female.qkm");
        g_DirectControl = 0;
        for (TeamSlot& slot : g_TeamSlots) {
            slot = TeamSlot{};
            slot.characterId = -1;
        }
        for (int32_t& flag : g_MsgPlayerFlags)
            flag = 0;
    }
    void TearDown() override {
        g_DirectControl = 0;
        for (TeamSlot& slot : g_TeamSlots)
            slot = TeamSlot{};
        WorldTest::TearDown();
    }

    // Player index `index` with id, standing at height y (the floor is at 100) with a model.
    static Bod* Player(int index, int id, float y) {
        Bod* bod = WH_MakeCharacter(BOD_CLASS_PLAYER, {0, y, 0}, 0.0f, 64.0f);
        WH_GiveModel(bod, "graphics\\models\\female.qkm");
        WH_Character(bod)->surface = 1;
        WH_SetPlayer(index, bod, id);
        return bod;
    }
    static void Select(int slot, int id) {
        g_TeamSlots[slot].characterId = id;
        g_TeamSlots[slot].selected = 1;
    }
};

TEST_F(GameStateTest, SinglePlayerDirectControlTakesAndReleases) {
    Player(0, -1, 100.0f);
    APP_BeginDirectControl();
    EXPECT_EQ(APP_IsDirectControl(), 1);
    APP_EndDirectControl();
    EXPECT_EQ(APP_IsDirectControl(), 0);
    EXPECT_EQ(Matching("ACT_"), (Calls{"ACT_TakeDirectControl", "ACT_ReleaseDirectControl"}));
    EXPECT_TRUE(WH_Messages().empty());
}

TEST_F(GameStateTest, AClientTellsTheHostWhichOfItsCharactersItSteers) {
    WH_SetNetworkGame(false, 1);
    g_Match.slotPlayerIds[1][1] = 5;  // this machine owns ids 1 and 5
    Player(1, 1, 150.0f);
    Player(4, 5, 150.0f);
    Player(2, 2, 150.0f);  // another machine's
    Select(0, 5);
    APP_BeginDirectControl();
    EXPECT_EQ(APP_IsDirectControl(), 1);
    EXPECT_EQ(g_MsgPlayerFlags[4], 1);
    EXPECT_EQ(g_MsgPlayerFlags[1], 0);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"1>0 " + WH_FormatMessage({1, 0, {0x1d, 1}}),
                                                "1>0 " + WH_FormatMessage({1, 0, {0x1c, 4}})}));
    WH_ClearMessages();
    APP_EndDirectControl();
    EXPECT_EQ(g_MsgPlayerFlags[4], 0);
    EXPECT_EQ(Sent().size(), 2u) << "0x1d for each own character";
}

TEST_F(GameStateTest, BelowTheGroundDirectControlIsRefusedBeforeAnyFlagOrMessage) {
    WH_SetNetworkGame(false, 1);
    Player(1, 1, 50.0f);  // under the floor at 100
    Select(0, 1);
    g_MsgPlayerFlags[1] = 0;
    APP_BeginDirectControl();
    EXPECT_EQ(APP_IsDirectControl(), 0);
    EXPECT_EQ(g_MsgPlayerFlags[1], 0);
    EXPECT_TRUE(WH_Messages().empty());
    EXPECT_TRUE(Matching("ACT_TakeDirectControl").empty());
}

TEST_F(GameStateTest, RefreshRetakesOnlyForSelectedUnblockedSlots) {
    Player(0, -1, 100.0f);
    struct Case {
        const char* name;
        int member;
        int selected, blocked, held;
        size_t takes;
    };
    const Case cases[] = {
        {"the member's selected slot", 7, 1, 0, 0, 1}, {"not selected", 7, 0, 0, 0, 0},
        {"blocked", 7, 1, 1, 0, 0},                    {"another member", 8, 1, 0, 0, 0},
        {"-1 while held", -1, 1, 0, 1, 1},             {"-1 while not held", -1, 1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        g_TeamSlots[2].characterId = 7;
        g_TeamSlots[2].selected = c.selected;
        g_TeamSlots[2].blocked = c.blocked;
        g_DirectControl = c.held;
        TRC_TraceClear();
        APP_RefreshDirectControl(c.member);
        EXPECT_EQ(Matching("ACT_TakeDirectControl").size(), c.takes) << c.name;
    }
}

TEST_F(GameStateTest, TeamQueriesFollowTheSlots) {
    g_TeamSlots[0].characterId = 3;
    g_TeamSlots[1].characterId = 9;
    g_TeamSlots[1].selected = 1;
    APP_SelectTeamMember(3);
    EXPECT_EQ(APP_IsSelectedTeamMember(3), 1);
    EXPECT_EQ(APP_IsSelectedTeamMember(9), 0);
    Bod* bod = Player(0, -1, 100.0f);
    for (int action : {51, 58, 63, 64, 65, 68, 0, 50, 66}) {
        WH_Character(bod)->head.action = action;
        const bool busy = action != 0 && action != 50 && action != 66;
        EXPECT_EQ(APP_IsPlayerCharacterBusy(3), busy ? 1 : 0) << action;
    }
    EXPECT_EQ(APP_IsPlayerCharacterBusy(9), 0) << "slot 1 has no character";
    EXPECT_EQ(APP_IsPlayerCharacterBusy(-1), 0);
    EXPECT_EQ(APP_GetMemberOwnerName(3), nullptr) << "no network slot holds it";
}

TEST_F(GameStateTest, CarriedItemSoundsStopForAllNineEntries) {
    Bod* items[9];
    for (int e = 0; e < 9; ++e) {
        items[e] = WH_MakeObject(BOD_CLASS_OBJECT, 12, {0, 0, 0});
        g_TeamSlots[1].carriedBods[e] = items[e];
    }
    g_TeamSlots[1].characterId = 6;
    TRC_TraceClear();
    APP_StopCarriedItemSounds(6);
    EXPECT_EQ(Matching("SND_StopEmitter").size(), 9u);
    TRC_TraceClear();
    APP_StopCarriedItemSounds(-1);
    EXPECT_TRUE(Matching("SND_StopEmitter").empty());
}

TEST_F(GameStateTest, TheLevelFrameCounterHoldsAtFifty) {
    APP_ResetLevelFrameCount();
    for (int i = 0; i < 70; ++i)
        APP_CountLevelFrame();
    EXPECT_EQ(APP_GetLevelFrameCount(), 50);
    APP_SetFrameLightOverride(4.0f, 4.0f, 4.0f);
    EXPECT_EQ(g_FrameLight.active, 1);
    EXPECT_EQ(g_FrameLight.g, 4.0f);
}

class FragTest : public GameStateTest {
protected:
    void SetUp() override {
        GameStateTest::SetUp();
        WH_SetNetworkGame(true, 0);
        g_Match.settings.gameType = 5;
        g_Match.settings.fragLimit = 3;
        for (int32_t& frags : g_Match.slotFrags)
            frags = 0;
        WH_ClearMessages();
    }
    void TearDown() override {
        for (int32_t& frags : g_Match.slotFrags)
            frags = 0;
        GameStateTest::TearDown();
    }
};

TEST_F(FragTest, KillsSelfKillsAndEnvironmentKillsCount) {
    APP_RecordFrag(1, 2, 0, 0);   // slot 1 kills slot 2
    APP_RecordFrag(1, -1, 0, 0);  // an environment kill
    APP_RecordFrag(2, 2, 0, 0);   // a self-kill
    APP_RecordFrag(7, 1, 0, 0);   // an id no slot holds
    EXPECT_EQ(g_Match.slotFrags[1], 2);
    EXPECT_EQ(g_Match.slotFrags[2], -1);
    ASSERT_EQ(WH_Messages().size(), 4u);
    const std::vector<uint8_t> first = {16, 1, 2, 0, 1, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<uint8_t> self = {16, 2, 2, 0, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    const std::vector<uint8_t> unknown = {16, 7, 1, 0, 0xff, 0xff, 0xff, 0xff, 2, 0, 0, 0};
    EXPECT_EQ(WH_Messages()[0].bytes, first);
    EXPECT_EQ(WH_Messages()[2].bytes, self);
    EXPECT_EQ(WH_Messages()[3].bytes, unknown);
    EXPECT_EQ(WH_Messages()[0].to, -1) << "broadcast";
    EXPECT_EQ(g_Match.matchEnded, 0);
}

TEST_F(FragTest, TheHostEndsTheMatchAtTheFragLimitOnce) {
    for (int i = 0; i < 3; ++i)
        APP_RecordFrag(3, 0, 1, 1);
    EXPECT_TRUE(WH_Messages().empty()) << "noSend";
    EXPECT_EQ(g_Match.matchEnded, 1);
    EXPECT_EQ(g_Match.gameResult, 1);
    EXPECT_EQ(g_Match.fragLimitReached, 1);
    EXPECT_EQ(APP_GetLevelFrameCount(), 0);
    EXPECT_EQ(g_MatchFinished[0], 1);
    APP_RecordFrag(3, 0, 1, 1);
    EXPECT_EQ(g_Match.slotFrags[3], 3) << "the match is over";
    APP_EndMatch(0);
    EXPECT_EQ(g_Match.gameResult, 1) << "once per match";
}

TEST_F(FragTest, AClientOnlyCountsAndLearnsFromTheHost) {
    WH_SetNetworkGame(false, 1);
    for (int i = 0; i < 4; ++i)
        APP_RecordFrag(3, 0, 1, 0);
    EXPECT_EQ(g_Match.slotFrags[3], 4);
    EXPECT_EQ(g_Match.matchEnded, 0);
    EXPECT_TRUE(WH_Messages().empty());
    APP_SetFragCount(2, 9);
    EXPECT_EQ(g_Match.slotFrags[2], 9);
    int32_t before[GUI_MAX_SLOTS];
    std::copy(std::begin(g_Match.slotFrags), std::end(g_Match.slotFrags), before);
    for (int id : {-1, 7, 100})
        APP_SetFragCount(id, 5);
    EXPECT_TRUE(std::equal(std::begin(before), std::end(before), std::begin(g_Match.slotFrags)))
        << "ids that no slot holds change nothing";
}

TEST_F(FragTest, TheTimeLimitFlagHoldsOnceTheLimitIsReached) {
    struct Case {
        int limit, minutes, expected;
    };
    for (const Case& c : {Case{10, 9, 0}, Case{10, 10, 1}, Case{10, 12, 1}, Case{0, 12, 0}}) {
        g_Match.matchEnded = 0;
        g_Match.settings.timeLimit = c.limit;
        g_MatchClock.minutes = c.minutes;
        APP_EndMatch(0);
        EXPECT_EQ(g_Match.timeLimitReached, c.expected) << c.limit << "," << c.minutes;
    }
    g_MatchClock = {};
}

}  // namespace
