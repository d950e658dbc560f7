// The level start steps: the reset of the frame state, the placing of the players (models and
// skins from the kind tables with skin B kept as the second skin, "hold_pos" and "stand", start
// health, start items as ammunition percentages, an empty slot in a network game), the grounding of
// the characters with the level hooks, and the level's init.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/anm.h"
#include "engine/mdl.h"
#include "world/act.h"
#include "world/lvl.h"
#include "common/calltrace.h"
#include "world/bod.h"
#include "world/character.h"
#include "world/clk.h"
#include "world/game_frame.h"
#include "world_fixture.h"

namespace {

class LevelStartTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        WH_WriteHumanoid("graphics\\models\\female.qkm");
        WH_WriteHumanoid("graphics\\models\\male.qkm");
        for (auto& record : records)
            for (int32_t& word : record)
                word = -1;
        // Member record 0 carries a grenade (type 27) at 75 percent in its second entry.
        records[0][2] = 27;
        records[0][11] = 75;
    }
    // Player bods for every slot, as the level load makes them.
    void MakePlayerBods() {
        for (int i = 0; i < BOD_PLAYER_SLOTS; ++i) {
            players[i] = WH_MakeCharacter(BOD_CLASS_PLAYER, {float(100 * i), 0, 0});
            g_PlayerBods[i] = players[i];
        }
    }
    int32_t records[GAME_MEMBER_RECORDS][GAME_MEMBER_WORDS];
    Bod* players[BOD_PLAYER_SLOTS] = {};
};

TEST_F(LevelStartTest, ResetClearsTheFrameStateAndStartsAtLevelOne) {
    g_ActiveSlot = 3, g_LastActiveSlot = 2, g_FocusAiMode = 1, g_LevelNumber = 9, g_FocusHeading = 2.0f;
    g_FriendlyFire = 1, g_LevelMs = 123456;
    GAME_ResetLevelState();
    EXPECT_EQ(g_ActiveSlot, 0);
    EXPECT_EQ(g_LastActiveSlot, 0);
    EXPECT_EQ(g_FocusAiMode, 0);
    EXPECT_EQ(g_LevelNumber, 1);
    EXPECT_EQ(g_FocusHeading, 0.0f);
    EXPECT_EQ(g_FriendlyFire, 0);
    EXPECT_EQ(g_LevelMs, 0);
}

TEST_F(LevelStartTest, NetworkGameWithAnEmptySlotFive) {
    WH_SetNetworkGame(true, 0);
    MakePlayerBods();
    const int32_t ids[8] = {0, 1, 2, 3, 0, -1, 2, 3};
    const int32_t healths[8] = {50, -1, 64, 0, -20, 64, 64, 64};
    const size_t mark = WH_TraceMark();
    GAME_PlacePlayers(9, ids, healths, records);

    EXPECT_EQ(g_PlayerBods[5], nullptr);
    CharacterControl* empty = WH_Character(players[5]);
    EXPECT_EQ(players[5]->active, 0u) << "the bod stays in the world, inactive";
    EXPECT_EQ(empty->playerId, -1);
    EXPECT_EQ(empty->head.action, 0);
    EXPECT_EQ(empty->instance, nullptr);
    for (int i : {0, 1, 2, 3, 4, 6, 7}) {
        SCOPED_TRACE("player " + std::to_string(i));
        ASSERT_EQ(g_PlayerBods[i], players[i]);
        CharacterControl* c = WH_Character(players[i]);
        EXPECT_EQ(players[i]->active, 1u);
        EXPECT_EQ(c->head.action, 18);
        EXPECT_EQ(c->playerId, ids[i]);
        EXPECT_EQ(c->startHealth, healths[i] < 0 ? 100 : healths[i]);
        EXPECT_FLOAT_EQ(c->angleStep, 0.0174533f);
        EXPECT_EQ(c->gait, 1);
        EXPECT_EQ(c->selectedSlot, 0u);
        ASSERT_NE(c->instance, nullptr);
        EXPECT_EQ(c->instance->kind, MDL_KIND_SKINNED);
        EXPECT_EQ(c->holdBone, MDL_FindBone(c->instance, "hold_pos"));
        EXPECT_GE(c->holdBone, 0);
        EXPECT_STREQ(c->instance->model.skinned->animations[c->instance->animation].name, "stand");
        ActKindFiles files = {};
        ASSERT_TRUE(ACT_GetKindFiles(ids[i], &files));
        ASSERT_NE(c->instance->skin, nullptr);
        ASSERT_NE(c->altSkin, nullptr);
        EXPECT_TRUE(std::string(files.skinA).find(c->instance->skin->name) != std::string::npos) << "skin A worn";
        EXPECT_TRUE(std::string(files.skinB).find(c->altSkin->name) != std::string::npos) << "skin B kept";
        EXPECT_EQ(c->items[0].itemType, 0u);
        for (int slot = 1; slot < ACT_ITEM_SLOTS; ++slot)
            EXPECT_EQ(c->items[slot].itemType, ACT_NO_ITEM);
    }
    // Member record 0 serves players 0 and 4.
    EXPECT_EQ(WH_Calls(WH_TraceSince(mark), "LVL_GiveStartItem"),
              (std::vector<std::string>{"LVL_GiveStartItem(75,player0,27)", "LVL_GiveStartItem(75,player4,27)"}));
    EXPECT_EQ(g_LevelNumber, 9);
    for (int w = 0; w < GAME_MAP_PARAMS; ++w)
        EXPECT_EQ(g_LevelMapParams[w], kGameLevelMapParams[9][w]);
}

TEST_F(LevelStartTest, SinglePlayerSetsUpFourPlayers) {
    MakePlayerBods();
    const int32_t ids[8] = {0, 1, 99, 3, 0, 1, 2, 3};
    const int32_t healths[8] = {64, 64, 64, 64, 64, 64, 64, 64};
    GAME_PlacePlayers(1, ids, healths, records);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(players[i]->active, 1u) << i;
    EXPECT_EQ(WH_Character(players[2])->instance, nullptr) << "a character id the kind table lacks has no model";
    EXPECT_EQ(WH_Character(players[2])->head.action, 18);
    for (int i = 4; i < 8; ++i) {
        EXPECT_EQ(g_PlayerBods[i], players[i]);
        EXPECT_EQ(WH_Character(players[i])->instance, nullptr) << i;
        EXPECT_EQ(WH_Character(players[i])->playerId, -1) << i;
    }
}

TEST_F(LevelStartTest, ALevelOutsideTheTableHasNoMapParameters) {
    MakePlayerBods();
    const int32_t ids[8] = {0, 1, 2, 3, 0, 1, 2, 3};
    const int32_t healths[8] = {};
    g_LevelMapParams[4] = 7.0f;
    GAME_PlacePlayers(17, ids, healths, records);
    EXPECT_EQ(g_LevelNumber, 17);
    for (float p : g_LevelMapParams)
        EXPECT_EQ(p, 0.0f);
}

TEST_F(LevelStartTest, HooksGroundThePlayersAndTheNpcsWithAnAiRecord) {
    WH_BuildLandscape({{-1000, -1000, 1000, 1000, 100}}, {});
    g_LevelNumber = 3;
    Bod* player = WH_MakeCharacter(BOD_CLASS_PLAYER, {50, 900, 60}, 7.0f);
    WH_GiveModel(player, "graphics\\models\\male.qkm");
    WH_Character(player)->limbsRestoreAt = 4000;
    g_PlayerBods[0] = player;
    Bod* npc = WH_MakeCharacter(BOD_CLASS_NPC, {-50, 900, -60}, 1.0f, 64.0f);
    WH_GiveModel(npc, "graphics\\models\\female.qkm");
    npc->active = 0;
    Bod* freeNpc = WH_MakeCharacter(BOD_CLASS_NPC, {10, 900, 10}, 1.0f);
    freeNpc->active = 0;
    WH_Character(freeNpc)->items[3] = {47, player, 0};
    g_NpcBods[0] = npc;
    g_NpcBods[7] = freeNpc;
    // The bodies of both models stand 12.5 below their origins in every animation.
    for (Bod* bod : {player, npc}) {
        SkinnedModel* model = WH_Character(bod)->instance->model.skinned;
        for (int a = 0; a < model->animationCount; ++a)
            model->animations[a].groundOffset = -12.5f;
    }

    LVL_SetLevelHooks();
    const float offset = ANM_GetGroundOffset(WH_Character(player)->instance);
    ASSERT_EQ(offset, -12.5f);
    CharacterControl* p = WH_Character(player);
    EXPECT_NEAR(p->heading, 7.0f - 6.28318530718f, 1e-5f);
    EXPECT_NEAR(p->transform.m[0], std::cos(p->heading), 1e-5f) << "the heading turned the body";
    EXPECT_NE(p->surface, 0u);
    EXPECT_FLOAT_EQ(p->transform.m[10], 100.0f - offset);
    EXPECT_EQ(p->limbsRestoreAt, 0);
    EXPECT_EQ(player->hook, g_LevelPlayerHooks[3]);
    EXPECT_EQ(p->head.action, 11);

    CharacterControl* n = WH_Character(npc);
    EXPECT_EQ(npc->active, 1u);
    EXPECT_FLOAT_EQ(n->transform.m[10], 100.0f - ANM_GetGroundOffset(n->instance));
    EXPECT_NE(n->surface, 0u);
    EXPECT_EQ(npc->hook, g_LevelNpcHooks[3]);

    CharacterControl* f = WH_Character(freeNpc);
    EXPECT_EQ(freeNpc->active, 0u) << "a free NPC bod stays out of play";
    EXPECT_EQ(f->transform.m[10], 900.0f);
    EXPECT_EQ(freeNpc->hook, g_LevelNpcHooks[3]);
    EXPECT_EQ(f->items[3].itemType, ACT_NO_ITEM) << "inventory cleared";
}

TEST_F(LevelStartTest, TheLevelsInitRunsWhenItHasOne) {
    const struct {
        int level;
        int result;
        std::vector<std::string> calls;
    } cases[] = {{1, 1, {"LVL_InitTown"}}, {2, 0, {}}, {16, 1, {"LVL_StartEscapeTimer"}}, {17, 0, {}}, {-1, 0, {}}};
    for (const auto& c : cases) {
        g_LevelNumber = c.level;
        const size_t mark = WH_TraceMark();
        EXPECT_EQ(LVL_RunLevelInit(), c.result) << c.level;
        EXPECT_EQ(WH_TraceSince(mark), c.calls) << c.level;
    }
}

}  // namespace
