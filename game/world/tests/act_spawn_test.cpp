// The character pools: the player and NPC bods of a level load, the placing of zombies (the look
// cursor that lives as long as the program) and humans into the lowest free NPC bod up to the
// 60th, spawns refused for bad looks and kinds or a model that does not load, and the player
// characters' frame hook.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/mem.h"
#include "engine/anm.h"
#include "engine/mdl.h"
#include "world/act.h"
#include "world/act_table.h"
#include "world/ai.h"
#include "world/bod.h"
#include "world/character.h"
#include "common/game_clock.h"
#include "world/game_frame.h"
#include "world_fixture.h"

namespace {

class SpawnTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        WH_BuildLandscape({{-5000, -5000, 5000, 5000, 120.0f}}, {});
    }
    // The two bodies and every skin of the kind tables, as the demo install has them.
    void WriteCharacterFiles() {
        for (const char* model : kActModelFiles)
            WH_WriteCharacterBody(model);
        for (const char* skin : kActSkinFiles)
            if (skin)
                WH_WriteSkin(skin);
    }
    // What the AI population does after a spawn: the bod gets its AI record and is taken.
    void GiveAi(int index) {
        auto* ai = static_cast<AICharacter*>(MEM_Alloc(sizeof(AICharacter), MEM_TAG_CHARACTER));
        ai->health = 64;
        WH_Character(g_NpcBods[index])->ai = ai;
    }
    static std::string SkinOf(const CharacterControl* c) {
        return c->instance && c->instance->skin ? c->instance->skin->name : "";
    }
    static std::string AnimationOf(const CharacterControl* c) {
        return c->instance->model.skinned->animations[c->instance->animation].name;
    }
};

TEST_F(SpawnTest, PoolsOfALevelLoad) {
    struct {
        bool network;
        int players;
    } cases[] = {{false, 4}, {true, 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.network ? "network game" : "single player");
        WH_Reset();
        if (c.network)
            WH_SetNetworkGame(true, 0);
        ACT_CreatePlayerBods();
        ACT_CreateNpcBods();
        EXPECT_EQ(g_WorldBods.count, uint32_t(c.players + BOD_NPC_POOL));
        for (int i = 0; i < BOD_PLAYER_SLOTS; ++i) {
            if (i >= c.players) {
                EXPECT_EQ(g_PlayerBods[i], nullptr) << i;
                continue;
            }
            ASSERT_NE(g_PlayerBods[i], nullptr) << i;
            EXPECT_EQ(g_PlayerBods[i]->classMask, uint32_t(BOD_CLASS_PLAYER));
            EXPECT_EQ(g_PlayerBods[i]->active, 1u);
            EXPECT_EQ(g_PlayerBods[i]->hook, &ACT_PlayerFrameHook);
            const CharacterControl* control = WH_Character(g_PlayerBods[i]);
            EXPECT_EQ(control->head.actionTable, g_ActionTable.data());
            EXPECT_EQ(control->head.action, ACTION_AI);
            EXPECT_EQ(control->instance, nullptr);
        }
        for (Bod* npc : g_NpcBods) {
            ASSERT_NE(npc, nullptr);
            EXPECT_EQ(npc->classMask, uint32_t(BOD_CLASS_NPC));
            EXPECT_EQ(npc->active, 0u);
            EXPECT_EQ(npc->hook, nullptr);
            const CharacterControl* control = WH_Character(npc);
            EXPECT_EQ(control->head.actionTable, g_ActionTable.data());
            EXPECT_EQ(control->ai, nullptr);
            EXPECT_EQ(control->dead, 0u);
            EXPECT_EQ(control->instance, nullptr);
        }
        // The bods are made in creation order: players first, then the pool.
        EXPECT_EQ(g_WorldBods.head, g_PlayerBods[0]);
        EXPECT_EQ(g_WorldBods.tail, g_NpcBods[BOD_NPC_POOL - 1]);
    }
}

// The look cursor lives as long as the program, so this is the one test that spawns with look -1
// (ctest runs every test in a process of its own).
TEST_F(SpawnTest, SixtyZombiesInLookOrderThenNoMore) {
    ASSERT_EQ(ACT_PeekLookCursor(), 0) << "the cursor starts at look 0 when the program starts";
    WriteCharacterFiles();
    ACT_CreateNpcBods();
    const std::vector<int> looks = {0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 15, 3};
    for (int i = 0; i < BOD_NPC_POOL; ++i) {
        SCOPED_TRACE("spawn " + std::to_string(i));
        const int index = ACT_SpawnZombie(100.0f + float(i), 0.0f, -50.0f, 1.5f, -1);
        ASSERT_EQ(index, i) << "the lowest bod without an AI record";
        const CharacterControl* c = WH_Character(g_NpcBods[i]);
        if (size_t(i) < looks.size()) {
            ActKindFiles files = {};
            ASSERT_TRUE(ACT_GetLookFiles(looks[size_t(i)], &files));
            EXPECT_NE(std::string(files.skinA).find(SkinOf(c)), std::string::npos) << SkinOf(c);
            EXPECT_FALSE(SkinOf(c).empty());
        }
        EXPECT_EQ(g_NpcBods[i]->classMask, uint32_t(BOD_CLASS_NPC));
        EXPECT_EQ(g_NpcBods[i]->active, 1u);
        EXPECT_EQ(c->playerId, -1) << "the look argument, -1 kept";
        EXPECT_EQ(c->gait, 1);
        EXPECT_EQ(AnimationOf(c), "zomwalk");
        EXPECT_NE(c->surface, 0u);
        EXPECT_FLOAT_EQ(c->transform.m[10], 120.0f - ANM_GetGroundOffset(c->instance)) << "on the ground";
        EXPECT_FLOAT_EQ(c->heading, 1.5f);
        // The spawn does not take the bod: a second spawn now lands in the same one.
        EXPECT_EQ(c->ai, nullptr);
        GiveAi(i);
    }
    const int cursor = ACT_PeekLookCursor();
    EXPECT_EQ(ACT_SpawnZombie(0, 0, 0, 0, -1), -1) << "the 61st";
    EXPECT_NE(ACT_PeekLookCursor(), cursor) << "the cursor moves on even when no bod is free";
    EXPECT_EQ(ACT_SpawnHuman(0, 0, 0, 0, 1), -1);
    // A freed bod (its AI record gone) is spawned into again.
    WH_Character(g_NpcBods[17])->ai = nullptr;
    EXPECT_EQ(ACT_SpawnZombie(0, 0, 0, 0, 13), 17);
    EXPECT_EQ(WH_Character(g_NpcBods[17])->playerId, 13);
}

TEST_F(SpawnTest, AHumanOfKindKReportsK) {
    WriteCharacterFiles();
    ACT_CreateNpcBods();
    GiveAi(0);
    for (int kind = 0; kind < ACT_HUMAN_KINDS; ++kind) {
        SCOPED_TRACE("kind " + std::to_string(kind));
        const int index = ACT_SpawnHuman(10.0f, 0.0f, 20.0f, 0.25f, kind);
        ASSERT_EQ(index, kind + 1);
        Bod* bod = g_NpcBods[index];
        const CharacterControl* c = WH_Character(bod);
        EXPECT_EQ(c->playerId, kind);
        EXPECT_EQ(bod->classMask, uint32_t(BOD_CLASS_HUMAN));
        EXPECT_EQ(bod->active, 1u);
        EXPECT_EQ(AnimationOf(c), "walk");
        ActKindFiles files = {};
        ASSERT_TRUE(ACT_GetKindFiles(kind, &files));
        ASSERT_NE(c->altSkin, nullptr);
        EXPECT_NE(std::string(files.skinB).find(c->altSkin->name), std::string::npos) << "skin B kept";
        EXPECT_NE(std::string(files.skinA).find(SkinOf(c)), std::string::npos) << "skin A worn";
        GiveAi(index);
    }
}

TEST_F(SpawnTest, RefusedSpawnsChangeNothing) {
    WriteCharacterFiles();
    ACT_CreateNpcBods();
    struct {
        const char* name;
        bool zombie;
        int value;
    } cases[] = {{"look 16", true, 16}, {"look -2", true, -2}, {"look 1000", true, 1000},
                 {"kind 8", false, ACT_HUMAN_KINDS}, {"kind -1", false, -1}, {"kind 99", false, 99}};
    for (const auto& c : cases) {
        const int cursor = ACT_PeekLookCursor();
        EXPECT_EQ(c.zombie ? ACT_SpawnZombie(0, 0, 0, 0, c.value) : ACT_SpawnHuman(0, 0, 0, 0, c.value), -1) << c.name;
        EXPECT_EQ(ACT_PeekLookCursor(), cursor) << c.name;
        EXPECT_EQ(g_NpcBods[0]->active, 0u) << c.name;
        EXPECT_EQ(WH_Character(g_NpcBods[0])->instance, nullptr) << c.name;
    }
}

// A body whose model file is missing stays an inactive, free pool bod: nothing would play it.
TEST_F(SpawnTest, AMissingModelGivesNoCharacter) {
    WH_WriteCharacterBody(kActModelFiles[1]);  // the male body only
    ACT_CreateNpcBods();
    EXPECT_EQ(ACT_SpawnZombie(0, 0, 0, 0, 0), -1) << "look 0 wears the female body";
    EXPECT_EQ(ACT_SpawnHuman(0, 0, 0, 0, 0), -1) << "kind 0 too";
    const CharacterControl* c = WH_Character(g_NpcBods[0]);
    EXPECT_EQ(g_NpcBods[0]->active, 0u);
    EXPECT_EQ(g_NpcBods[0]->classMask, uint32_t(BOD_CLASS_NPC));
    EXPECT_EQ(c->instance, nullptr);
    EXPECT_EQ(ACT_SpawnZombie(0, 0, 0, 0, 3), 0) << "a male look still spawns";
    EXPECT_EQ(ACT_SpawnHuman(0, 0, 0, 0, 1), 0) << "as does a male kind, into the same free bod";
}

TEST_F(SpawnTest, PlayerFrameHookRestoresLimbsOnceTheirTimeHasPassed) {
    WriteCharacterFiles();
    ACT_CreatePlayerBods();
    Bod* bod = g_PlayerBods[1];
    CharacterControl* c = WH_Character(bod);
    WH_GiveModel(bod, kActModelFiles[0]);
    g_GameClock.nowMs = 5000;
    struct {
        int32_t restoreAt;
        bool model;
        bool restored;
    } cases[] = {{0, true, false}, {5000, true, false}, {6000, true, false}, {4999, true, true}, {1, false, false}};
    for (const auto& k : cases) {
        SCOPED_TRACE("restore at " + std::to_string(k.restoreAt));
        c->limbsRestoreAt = k.restoreAt;
        ModelInstance* instance = c->instance;
        if (!k.model)
            c->instance = nullptr;
        const size_t mark = WH_TraceMark();
        BOD_RunBehaviour(bod, -1);
        const std::vector<std::string> expected =
            k.restored ? std::vector<std::string>{"CMB_RestoreLimbs(player1)", "AI_HeldCheck(player1)"}
                       : std::vector<std::string>{"AI_HeldCheck(player1)"};
        const std::vector<std::string> trace = WH_TraceSince(mark);
        std::vector<std::string> calls = WH_Calls(trace, "CMB_");
        for (const std::string& call : WH_Calls(trace, "AI_HeldCheck"))
            calls.push_back(call);
        EXPECT_EQ(calls, expected);
        EXPECT_EQ(c->limbsRestoreAt, k.restored ? 0 : k.restoreAt);
        c->instance = instance;
    }
}

}  // namespace
